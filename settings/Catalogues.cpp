#include "settings/Catalogues.h"

#include <QCoreApplication>
#include <QString>
#include <QTranslator>

QTranslator* g_pTranslatorZhCN = nullptr;
QTranslator* g_pTranslatorQtZhCN = nullptr;
QTranslator* g_pTranslatorZhTW = nullptr;
QTranslator* g_pTranslatorQtZhTW = nullptr;

namespace {

struct Catalogue
{
    QTranslator** ppTranslator;
    const char* pszPath;
};

const Catalogue s_catalogues[] = {
    {&g_pTranslatorZhCN, ":/Language/Language/zh_CN.qm"},
    {&g_pTranslatorQtZhCN, ":/Language/Language/qt_zh_CN.qm"},
    {&g_pTranslatorZhTW, ":/Language/Language/zh_TW.qm"},
    {&g_pTranslatorQtZhTW, ":/Language/Language/qt_zh_TW.qm"},
};

} // namespace

void createCatalogues()
{
    for (const Catalogue& catalogue : s_catalogues) {
        if (*catalogue.ppTranslator)
            continue;
        *catalogue.ppTranslator = new QTranslator;
        (*catalogue.ppTranslator)->load(QString::fromLatin1(catalogue.pszPath));
    }
}

void installCatalogues(int iLanguage)
{
    createCatalogues();
    for (const Catalogue& catalogue : s_catalogues)
        QCoreApplication::removeTranslator(*catalogue.ppTranslator);
    if (iLanguage == 2) {
        QCoreApplication::installTranslator(g_pTranslatorZhCN);
        QCoreApplication::installTranslator(g_pTranslatorQtZhCN);
    } else if (iLanguage == 3) {
        QCoreApplication::installTranslator(g_pTranslatorZhTW);
        QCoreApplication::installTranslator(g_pTranslatorQtZhTW);
    }
}

void deleteCatalogues()
{
    for (const Catalogue& catalogue : s_catalogues) {
        if (!*catalogue.ppTranslator)
            continue;
        QCoreApplication::removeTranslator(*catalogue.ppTranslator);
        delete *catalogue.ppTranslator;
        *catalogue.ppTranslator = nullptr;
    }
}
