#pragma once

#include <QWidget>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// Edits the alarm mail settings; "Test" sends a test mail with the values in the fields, saved or not.
class CSmtpConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CSmtpConfigWidget(QWidget* parent = nullptr);

    void retranslate();

private slots:
    void on_BtnOK_clicked();
    void on_BtnTest_clicked();

private:
    // The sender address as typed; false, after telling the operator, when it cannot be used.
    bool checkSender();
    void showResult(bool bCritical, const QString& strTitle, const QString& strText,
                    const QString& strDetail);

    QLabel* m_pLabelAccount;
    QLineEdit* m_pLineEditAccount;
    QLabel* m_pLabelPassword;
    QLineEdit* m_pLineEditPassword;
    QLabel* m_pLabelHost;
    QLineEdit* m_pLineEditHost;
    QCheckBox* m_pCheckSSL;
    QCheckBox* m_pCheckStartTLS;
    QLabel* m_pLabelPort;
    QSpinBox* m_pSpinPort;
    QLabel* m_pLabelReciever;
    QLineEdit* m_pLineEditReciever;
    QLabel* m_pLabelSender;
    QLineEdit* m_pLineEditSender;
    QCheckBox* m_pCheckUnencryptedPassword;
    QPushButton* m_pBtnOK;
    QPushButton* m_pBtnTest;
    QGridLayout* m_pLayoutBase;
};
