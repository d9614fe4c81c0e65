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
    QLabel* m_pLabelAccount;
    QLineEdit* m_pLineEditAccount;
    QLabel* m_pLabelPassword;
    QLineEdit* m_pLineEditPassword;
    QLabel* m_pLabelHost;
    QLineEdit* m_pLineEditHost;
    QCheckBox* m_pCheckSSL;
    QLabel* m_pLabelPort;
    QSpinBox* m_pSpinPort;
    QLabel* m_pLabelReciever;
    QLineEdit* m_pLineEditReciever;
    QPushButton* m_pBtnOK;
    QPushButton* m_pBtnTest;
    QGridLayout* m_pLayoutBase;
};
