#pragma once

#include "ui/frame/BaseDialog.h"

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;

// Chooses the interface language; OK stores the choice as the language code (index + 1) and saves
// the settings. Its texts are the languages' own names and are never translated.
class CLanguageSelectDialog : public CBaseDialog
{
    Q_OBJECT

public:
    explicit CLanguageSelectDialog(QWidget* parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

public slots:
    void on_BtnOk_clicked();

private:
    QLabel* m_pLabelLanguage;
    QComboBox* m_pComboLanguage;
    QHBoxLayout* m_pLayoutCenter;
    QPushButton* m_pBtnOk;
    QHBoxLayout* m_pLayoutBottom;
};

// Runs the language dialog modally; after OK installs the catalogues of the new language and returns
// true. Returns false and changes nothing when the dialog was closed without OK.
bool runLanguageSelection();
