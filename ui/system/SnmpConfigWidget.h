#pragma once

#include "snmp/SnmpAgent.h"

#include <QPointer>
#include <QWidget>

class CSnmpPublisher;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;

// Edits the SNMP agent and trap parameters kept in the settings store, and whether (and how) this program
// publishes the room over SNMP, with a line on how its agent stands.
class CSnmpConfigWidget : public QWidget
{
    Q_OBJECT
public:
    explicit CSnmpConfigWidget(QWidget* parent = nullptr);

    void retranslate();
    // The program's publisher, switched as "OK" stores the switch; none shows the switch only.
    void setPublisher(CSnmpPublisher* pPublisher);
    // The status line for an agent's standing.
    static QString statusText(const SnmpAgentStatus& status);

private slots:
    void on_BtnOK_clicked();

private:
    void showStatus();
    // Greys out what the chosen mode and versions do not use.
    void showMode();

    QGroupBox* m_pGroupPublish;
    QGridLayout* m_pLayoutPublish;
    QCheckBox* m_pCheckPublish;
    QLabel* m_pLabelMode;
    QComboBox* m_pComboMode;
    QLabel* m_pLabelSocket;
    QLineEdit* m_pLineEditSocket;
    QLabel* m_pLabelStatus;
    QPointer<CSnmpPublisher> m_pPublisher;
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
    QLabel* m_pLabelAuthProtocol;
    QComboBox* m_pComboAuthProtocol;
    QLabel* m_pLabelAuthPassphrase;
    QLineEdit* m_pLineEditAuthPassphrase;
    QLabel* m_pLabelPrivProtocol;
    QComboBox* m_pComboPrivProtocol;
    QLabel* m_pLabelPrivPassphrase;
    QLineEdit* m_pLineEditPrivPassphrase;
    QGroupBox* m_pGroupTrap;
    QGridLayout* m_pLayoutTrap;
    QLabel* m_pLabelTrapUserName;
    QLineEdit* m_pLineEditTrapUserName;
    QLabel* m_pLabelTrapPort;
    QSpinBox* m_pSpinTrapPort;
    QLabel* m_pLabelTrapProVer;
    QComboBox* m_pComboTrapProVer;
    QLabel* m_pLabelReceivers;
    QLineEdit* m_pLineEditReceivers;
    QLabel* m_pLabelTrapNote;
    QPushButton* m_pBtnOK;
    QVBoxLayout* m_pLayoutBase;
};
