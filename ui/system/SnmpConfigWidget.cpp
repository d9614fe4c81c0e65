#include "ui/system/SnmpConfigWidget.h"

#include "settings/Settings.h"
#include "snmp/SnmpPublisher.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* pObject, const char* szName)
{
    pObject->setObjectName(QLatin1String(szName));
    return pObject;
}

QSpinBox* makeSpin(QWidget* parent, const char* szName, int iMin, int iMax)
{
    auto* pSpin = named(new QSpinBox(parent), szName);
    pSpin->setRange(iMin, iMax);
    return pSpin;
}

QComboBox* makeCombo(QWidget* parent, const char* szName, const QStringList& items)
{
    auto* pCombo = named(new QComboBox(parent), szName);
    pCombo->addItems(items);
    return pCombo;
}

QLineEdit* makePassphrase(QWidget* parent, const char* szName)
{
    auto* pEdit = named(new QLineEdit(parent), szName);
    pEdit->setEchoMode(QLineEdit::Password);
    return pEdit;
}

// Lays out a grid of (label, editor) pairs, two pairs a row, labels right-aligned.
void layOutPairs(QGridLayout* pLayout, const QList<QPair<QLabel*, QWidget*>>& pairs)
{
    pLayout->setContentsMargins(16, 16, 16, 16);
    pLayout->setSpacing(8);
    for (int i = 0; i < pairs.size(); ++i) {
        pLayout->addWidget(pairs[i].first, i / 2, (i % 2) * 2, Qt::AlignRight | Qt::AlignVCenter);
        pLayout->addWidget(pairs[i].second, i / 2, (i % 2) * 2 + 1);
    }
    // Editors of both columns share the width alike, whatever their labels.
    pLayout->setColumnStretch(1, 1);
    pLayout->setColumnStretch(3, 1);
}

} // namespace

CSnmpConfigWidget::CSnmpConfigWidget(QWidget* parent)
    : QWidget(parent), m_pGroupPublish(named(new QGroupBox(this), "GroupPublish")),
      m_pLayoutPublish(named(new QGridLayout(m_pGroupPublish), "LayoutPublish")),
      m_pCheckPublish(named(new QCheckBox(m_pGroupPublish), "CheckPublish")),
      m_pLabelMode(named(new QLabel(m_pGroupPublish), "LabelMode")),
      m_pComboMode(named(new QComboBox(m_pGroupPublish), "ComboMode")),
      m_pLabelSocket(named(new QLabel(m_pGroupPublish), "LabelSocket")),
      m_pLineEditSocket(named(new QLineEdit(m_pGroupPublish), "LineEditSocket")),
      m_pLabelStatus(named(new QLabel(m_pGroupPublish), "LabelStatus")),
      m_pGroupAgent(named(new QGroupBox(this), "GroupAgent")),
      m_pLayoutAgent(named(new QGridLayout(m_pGroupAgent), "LayoutAgent")),
      m_pAgentUserName(named(new QLabel(m_pGroupAgent), "AgentUserName")),
      m_pLineEditAgentUserName(named(new QLineEdit(m_pGroupAgent), "LineEditAgentUserName")),
      m_pLabelAgentPort(named(new QLabel(m_pGroupAgent), "LabelAgentPort")),
      m_pSpinAgentPort(makeSpin(m_pGroupAgent, "SpinAgentPort", 0, 65535)),
      m_pAgentTimeout(named(new QLabel(m_pGroupAgent), "AgentTimeout")),
      m_pSpinAgentTimeout(makeSpin(m_pGroupAgent, "SpinAgentTimeout", 100, 99999)),
      m_pLabelAgentRetry(named(new QLabel(m_pGroupAgent), "LabelAgentRetry")),
      m_pSpinAgentRetry(makeSpin(m_pGroupAgent, "SpinAgentRetry", 0, 9)),
      m_pLabelAgentProVer(named(new QLabel(m_pGroupAgent), "LabelAgentProVer")),
      m_pComboAgentProVer(makeCombo(m_pGroupAgent, "ComboAgentProVer",
                                    {QStringLiteral("V1"), QStringLiteral("V2C"), QStringLiteral("V3")})),
      m_pLabelAuthProtocol(named(new QLabel(m_pGroupAgent), "LabelAuthProtocol")),
      m_pComboAuthProtocol(named(new QComboBox(m_pGroupAgent), "ComboAuthProtocol")),
      m_pLabelAuthPassphrase(named(new QLabel(m_pGroupAgent), "LabelAuthPassphrase")),
      m_pLineEditAuthPassphrase(makePassphrase(m_pGroupAgent, "LineEditAuthPassphrase")),
      m_pLabelPrivProtocol(named(new QLabel(m_pGroupAgent), "LabelPrivProtocol")),
      m_pComboPrivProtocol(named(new QComboBox(m_pGroupAgent), "ComboPrivProtocol")),
      m_pLabelPrivPassphrase(named(new QLabel(m_pGroupAgent), "LabelPrivPassphrase")),
      m_pLineEditPrivPassphrase(makePassphrase(m_pGroupAgent, "LineEditPrivPassphrase")),
      m_pGroupTrap(named(new QGroupBox(this), "GroupTrap")),
      m_pLayoutTrap(named(new QGridLayout(m_pGroupTrap), "LayoutTrap")),
      m_pLabelTrapUserName(named(new QLabel(m_pGroupTrap), "LabelTrapUserName")),
      m_pLineEditTrapUserName(named(new QLineEdit(m_pGroupTrap), "LineEditTrapUserName")),
      m_pLabelTrapPort(named(new QLabel(m_pGroupTrap), "LabelTrapPort")),
      m_pSpinTrapPort(makeSpin(m_pGroupTrap, "SpinTrapPort", 0, 65535)),
      m_pLabelTrapProVer(named(new QLabel(m_pGroupTrap), "LabelTrapProVer")),
      m_pComboTrapProVer(
          makeCombo(m_pGroupTrap, "ComboTrapProVer", {QStringLiteral("v1/v2c"), QStringLiteral("v3")})),
      m_pLabelReceivers(named(new QLabel(m_pGroupTrap), "LabelReceivers")),
      m_pLineEditReceivers(named(new QLineEdit(m_pGroupTrap), "LineEditReceivers")),
      m_pLabelTrapNote(named(new QLabel(m_pGroupTrap), "LabelTrapNote")),
      m_pBtnOK(named(new QPushButton(this), "BtnOK")),
      m_pLayoutBase(named(new QVBoxLayout(this), "LayoutBase"))
{
    layOutPairs(m_pLayoutAgent, {{m_pAgentUserName, m_pLineEditAgentUserName},
                                 {m_pLabelAgentPort, m_pSpinAgentPort},
                                 {m_pAgentTimeout, m_pSpinAgentTimeout},
                                 {m_pLabelAgentRetry, m_pSpinAgentRetry},
                                 {m_pLabelAgentProVer, m_pComboAgentProVer},
                                 {m_pLabelAuthProtocol, m_pComboAuthProtocol},
                                 {m_pLabelAuthPassphrase, m_pLineEditAuthPassphrase},
                                 {m_pLabelPrivProtocol, m_pComboPrivProtocol},
                                 {m_pLabelPrivPassphrase, m_pLineEditPrivPassphrase}});
    layOutPairs(m_pLayoutTrap, {{m_pLabelTrapUserName, m_pLineEditTrapUserName},
                                {m_pLabelTrapPort, m_pSpinTrapPort},
                                {m_pLabelTrapProVer, m_pComboTrapProVer},
                                {m_pLabelReceivers, m_pLineEditReceivers}});
    m_pLayoutTrap->addWidget(m_pLabelTrapNote, 2, 0, 1, 4);
    m_pLabelTrapNote->setWordWrap(true);
    m_pLineEditReceivers->setPlaceholderText(QStringLiteral("192.0.2.10 nms.example.org:1162"));
    // The protocols as the settings name them; "none" items are named in retranslate().
    for (const char* pszName : {"SHA-256", "SHA-384", "SHA-512", "SHA-224", "SHA", "none"})
        m_pComboAuthProtocol->addItem(QLatin1String(pszName), QLatin1String(pszName));
    for (const char* pszName : {"AES", "none"})
        m_pComboPrivProtocol->addItem(QLatin1String(pszName), QLatin1String(pszName));
    // Their long "none" items must not take the width of the editors beside them.
    for (QComboBox* pCombo : {m_pComboAuthProtocol, m_pComboPrivProtocol}) {
        pCombo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        pCombo->setMinimumContentsLength(8);
    }

    m_pLayoutPublish->setContentsMargins(16, 16, 16, 16);
    m_pLayoutPublish->setSpacing(8);
    m_pLayoutPublish->addWidget(m_pCheckPublish, 0, 0, 1, 4);
    m_pLayoutPublish->addWidget(m_pLabelMode, 1, 0, Qt::AlignRight | Qt::AlignVCenter);
    m_pLayoutPublish->addWidget(m_pComboMode, 1, 1);
    m_pLayoutPublish->addWidget(m_pLabelSocket, 1, 2, Qt::AlignRight | Qt::AlignVCenter);
    m_pLayoutPublish->addWidget(m_pLineEditSocket, 1, 3);
    m_pLayoutPublish->addWidget(m_pLabelStatus, 2, 0, 1, 4);
    m_pLabelStatus->setWordWrap(true);
    m_pLineEditSocket->setPlaceholderText(QStringLiteral("/var/agentx/master"));
    // Each item carries the stored name.
    m_pComboMode->addItem(QString(), QStringLiteral("agentx"));
    m_pComboMode->addItem(QString(), QStringLiteral("embedded"));

    m_pLayoutBase->setContentsMargins(200, 20, 200, 20);
    m_pLayoutBase->setSpacing(8);
    m_pLayoutBase->addWidget(m_pGroupPublish);
    m_pLayoutBase->addWidget(m_pGroupAgent);
    m_pLayoutBase->addWidget(m_pGroupTrap);
    m_pLayoutBase->addWidget(m_pBtnOK, 0, Qt::AlignRight | Qt::AlignVCenter);

    // Spin boxes clamp stored values into their ranges; a version index outside the items leaves the
    // combo box without a current item.
    m_pLineEditAgentUserName->setText(g_settings.snmpAgentAccount);
    m_pSpinAgentPort->setValue(g_settings.snmpAgentPort);
    m_pSpinAgentTimeout->setValue(g_settings.snmpAgentTimeout);
    m_pSpinAgentRetry->setValue(g_settings.snmpAgentRetry);
    m_pComboAgentProVer->setCurrentIndex(g_settings.snmpAgentProVer);
    m_pLineEditTrapUserName->setText(g_settings.snmpTrapAccount);
    m_pSpinTrapPort->setValue(g_settings.snmpTrapPort);
    m_pComboTrapProVer->setCurrentIndex(g_settings.snmpTrapProVer);
    m_pCheckPublish->setChecked(g_settings.snmpEnabled);
    m_pComboMode->setCurrentIndex(qMax(0, m_pComboMode->findData(g_settings.snmpMode)));
    m_pLineEditSocket->setText(g_settings.snmpAgentXSocket);
    // A protocol the page does not offer stays what it is until another is chosen.
    const auto choose = [](QComboBox* pCombo, const QString& strName) {
        if (pCombo->findData(strName) < 0)
            pCombo->addItem(strName, strName);
        pCombo->setCurrentIndex(pCombo->findData(strName));
    };
    choose(m_pComboAuthProtocol, g_settings.snmpAuthProtocol);
    choose(m_pComboPrivProtocol, g_settings.snmpPrivProtocol);
    m_pLineEditAuthPassphrase->setText(g_settings.snmpAuthPassphrase);
    m_pLineEditPrivPassphrase->setText(g_settings.snmpPrivPassphrase);
    m_pLineEditReceivers->setText(g_settings.snmpTrapReceivers);

    retranslate();
    QMetaObject::connectSlotsByName(this);
    for (QComboBox* pCombo :
         {m_pComboMode, m_pComboAgentProVer, m_pComboTrapProVer, m_pComboAuthProtocol, m_pComboPrivProtocol})
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &CSnmpConfigWidget::showMode);
    showMode();
}

void CSnmpConfigWidget::retranslate()
{
    m_pGroupAgent->setTitle(tr("AgentSettings"));
    m_pGroupTrap->setTitle(tr("TrapSettings"));
    m_pAgentUserName->setText(tr("User"));
    m_pLabelTrapUserName->setText(tr("User"));
    m_pLabelAgentPort->setText(tr("PortNum"));
    m_pLabelTrapPort->setText(tr("PortNum"));
    m_pAgentTimeout->setText(tr("Timeout"));
    m_pLabelAgentRetry->setText(tr("RetryTimes"));
    m_pLabelAgentProVer->setText(tr("ProtocolVer"));
    m_pLabelTrapProVer->setText(tr("ProtocolVer"));
    m_pBtnOK->setText(tr("OK"));
    m_pGroupPublish->setTitle(tr("Publish the room"));
    m_pCheckPublish->setText(tr("Publish every PDU, its sensors and outlets over SNMP"));
    m_pLabelMode->setText(tr("Mode"));
    m_pComboMode->setItemText(0, tr("AgentX subagent of snmpd"));
    m_pComboMode->setItemText(1, tr("Own agent on the agent port (no snmpd)"));
    m_pLabelSocket->setText(tr("AgentX socket"));
    m_pLabelAuthProtocol->setText(tr("Authentication"));
    m_pLabelAuthPassphrase->setText(tr("Auth passphrase"));
    m_pLabelPrivProtocol->setText(tr("Privacy"));
    m_pLabelPrivPassphrase->setText(tr("Privacy passphrase"));
    m_pComboAuthProtocol->setItemText(m_pComboAuthProtocol->findData(QStringLiteral("none")),
                                      tr("None (no authentication, no privacy)"));
    m_pComboPrivProtocol->setItemText(m_pComboPrivProtocol->findData(QStringLiteral("none")),
                                      tr("None (authentication only)"));
    m_pLabelReceivers->setText(tr("Receivers"));
    showMode();
    showStatus();
}

void CSnmpConfigWidget::showMode()
{
    const bool bEmbedded = m_pComboMode->currentData().toString() == QLatin1String("embedded");
    m_pLineEditSocket->setEnabled(!bEmbedded);
    m_pLineEditReceivers->setEnabled(bEmbedded);
    const bool bV3 = m_pComboAgentProVer->currentIndex() == 2 || m_pComboTrapProVer->currentIndex() == 1;
    const bool bAuth = bV3 && m_pComboAuthProtocol->currentData().toString() != QLatin1String("none");
    m_pComboAuthProtocol->setEnabled(bV3);
    m_pLineEditAuthPassphrase->setEnabled(bAuth);
    m_pComboPrivProtocol->setEnabled(bAuth);
    m_pLineEditPrivPassphrase->setEnabled(bAuth && m_pComboPrivProtocol->currentData().toString() !=
                                                       QLatin1String("none"));
    m_pLabelTrapNote->setText(
        bEmbedded
            ? tr("Notifications go to the receivers (host or host:port, separated by spaces) as informs, "
                 "each waiting the agent's time-out, retried the agent's retry count; for v3 with the "
                 "user above and the agent's SNMPv3 keys.")
            : tr("In AgentX mode snmpd sends the notifications to its own trap destinations "
                 "(trap2sink, informsink or trapsess in snmpd.conf); the receivers here are not used."));
}

void CSnmpConfigWidget::setPublisher(CSnmpPublisher* pPublisher)
{
    if (m_pPublisher)
        disconnect(m_pPublisher.data(), nullptr, this, nullptr);
    m_pPublisher = pPublisher;
    if (m_pPublisher)
        connect(m_pPublisher, &CSnmpPublisher::signalStatus, this, &CSnmpConfigWidget::showStatus);
    showStatus();
}

QString CSnmpConfigWidget::statusText(const SnmpAgentStatus& status)
{
    // The detail names files and sockets as the log does; the sentence around it is the operator's language.
    switch (status.eState) {
    case SnmpAgentStatus::Serving:
        return tr("Serving: %1").arg(status.strText);
    case SnmpAgentStatus::Connecting:
        return tr("Not serving yet: %1").arg(status.strText);
    case SnmpAgentStatus::Stopped:
        break;
    }
    return status.strText.isEmpty() || status.strText == QLatin1String("off")
               ? tr("Off")
               : tr("Not serving: %1").arg(status.strText);
}

void CSnmpConfigWidget::showStatus()
{
    m_pLabelStatus->setText(m_pPublisher ? statusText(m_pPublisher->status())
                                         : tr("This program does not publish the room"));
}

void CSnmpConfigWidget::on_BtnOK_clicked()
{
    g_settings.snmpAgentAccount = m_pLineEditAgentUserName->text();
    g_settings.snmpAgentPort = m_pSpinAgentPort->value();
    g_settings.snmpAgentTimeout = m_pSpinAgentTimeout->value();
    g_settings.snmpAgentRetry = m_pSpinAgentRetry->value();
    g_settings.snmpAgentProVer = m_pComboAgentProVer->currentIndex();
    g_settings.snmpTrapAccount = m_pLineEditTrapUserName->text();
    g_settings.snmpTrapPort = m_pSpinTrapPort->value();
    g_settings.snmpTrapProVer = m_pComboTrapProVer->currentIndex();
    g_settings.snmpEnabled = m_pCheckPublish->isChecked();
    g_settings.snmpMode = m_pComboMode->currentData().toString();
    g_settings.snmpAgentXSocket = m_pLineEditSocket->text().trimmed();
    g_settings.snmpAuthProtocol = m_pComboAuthProtocol->currentData().toString();
    g_settings.snmpAuthPassphrase = m_pLineEditAuthPassphrase->text();
    g_settings.snmpPrivProtocol = m_pComboPrivProtocol->currentData().toString();
    g_settings.snmpPrivPassphrase = m_pLineEditPrivPassphrase->text();
    g_settings.snmpTrapReceivers = m_pLineEditReceivers->text().simplified();
    saveSettings();
    if (m_pPublisher)
        m_pPublisher->applySettings();
}
