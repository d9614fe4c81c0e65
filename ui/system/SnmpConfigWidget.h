#pragma once

#include <QWidget>

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

// Edits the SNMP agent and trap parameters kept in the settings store.
class CSnmpConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CSnmpConfigWidget(QWidget* parent = nullptr);

    void retranslate();

private slots:
    void on_BtnOK_clicked();

private:
    QGroupBox* m_pGroupAgent;
    QGridLayout* m_pLayoutAgent;
    QLabel* m_pAgentUserName;
    QLineEdit* m_pLineEditAgentUserName;
    QLabel* m_pLabelAgentPort;
    QSpinBox* m_pSpinAgentPort;
    QLabel* m_pAgentTimeout;
    QSpinBox* m_pSpinAgentTimeout;
    QLabel* m_pLabelAgentRetry;
    QSpinBox* m_pSpinAgentRetry;
    QLabel* m_pLabelAgentProVer;
    QComboBox* m_pComboAgentProVer;
    QGroupBox* m_pGroupTrap;
    QGridLayout* m_pLayoutTrap;
    QLabel* m_pLabelTrapUserName;
    QLineEdit* m_pLineEditTrapUserName;
    QLabel* m_pLabelTrapPort;
    QSpinBox* m_pSpinTrapPort;
    QLabel* m_pLabelTrapProVer;
    QComboBox* m_pComboTrapProVer;
    QPushButton* m_pBtnOK;
    QVBoxLayout* m_pLayoutBase;
};
