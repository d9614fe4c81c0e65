#pragma once

class QTranslator;

// The four translation catalogues: the application's and the toolkit's, for Simplified and for
// Traditional Chinese. Null until createCatalogues() has run.
extern QTranslator* g_pTranslatorZhCN;
extern QTranslator* g_pTranslatorQtZhCN;
extern QTranslator* g_pTranslatorZhTW;
extern QTranslator* g_pTranslatorQtZhTW;

// Creates the four translators (once) and loads their catalogues from the resources; a catalogue
// that does not load is left empty. Needs the application object.
void createCatalogues();
// Removes all four from the application, then installs the pair of iLanguage (2 Simplified Chinese,
// 3 Traditional Chinese; the application catalogue first). Any other code leaves the English texts.
void installCatalogues(int iLanguage);
// Removes and deletes the four translators and sets the pointers back to null.
void deleteCatalogues();
