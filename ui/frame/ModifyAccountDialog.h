#pragma once

#include "ui/frame/BaseDialog.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

// Replaces the local login account and password after checking the current ones. Success also
// switches off automatic login and the remembered password, and saves the settings.
class CModifyAccountDialog : public CBaseDialog
{
    Q_OBJECT

public:
    explicit CModifyAccountDialog(QWidget* parent = nullptr, Qt::WindowFlags f = Qt::WindowFlags());

    void retranslate() override;

public slots:
    void on_BtnOK_clicked();

private:
    QLineEdit* createField(const char* pszObjectName, bool bPassword);
    QLabel* createLabel(const char* pszObjectName);
    // The first failed check's text, or an empty string when every check passes.
    QString firstProblem() const;

    QLabel* m_pLabelOriAccount;
    QLineEdit* m_pLineEditOriAccount;
    QLabel* m_pLableOriPassword;
    QLineEdit* m_pLineEditOriPassword;
    QLabel* m_pLabelCurAccount;
    QLineEdit* m_pLineEditCurAccount;
    QLabel* m_pLabelCurPassword;
    QLineEdit* m_pLineEditCurPassword;
    QLabel* m_pLabelCurPasswordAck;
    QLineEdit* m_pLineEditCurPasswordAck;
    QPushButton* m_pBtnOK;
    QGridLayout* m_pLayoutBase;
};
