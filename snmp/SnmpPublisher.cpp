#include "snmp/SnmpPublisher.h"

#include "snmp/SnmpAgentLoader.h"
#include "snmp/SnmpModel.h"

#include "device/AlarmTracker.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

CSnmpPublisher::CSnmpPublisher(const QString& strIndexFile, QObject* parent)
    : QObject(parent), m_pModel(new CSnmpModel(strIndexFile, this)),
      m_strStateDir(QFileInfo(strIndexFile).dir().filePath(QStringLiteral("snmp")))
{
    m_timerWatch.setInterval(500);
    connect(&m_timerWatch, &QTimer::timeout, this, &CSnmpPublisher::slotWatch);
    connect(m_pModel, &CSnmpModel::signalNotification, this, [this](const SnmpNotification& notification) {
        if (m_pAgent && m_bRunning)
            m_pAgent->notify(notification);
    });
    connect(m_pModel, &CSnmpModel::signalIndexTrouble, this, &CSnmpPublisher::slotWatch);
}

CSnmpPublisher::~CSnmpPublisher()
{
    stopAgent();
}

void CSnmpPublisher::setSources(CRackmind* pRegistry, CAlarmTracker* pTracker)
{
    m_pModel->setSources(pRegistry, pTracker);
    if (m_pTracker)
        disconnect(m_pTracker, nullptr, this, nullptr);
    m_pTracker = pTracker;
    if (!pTracker)
        return;
    // The same alarms as the mail: begun and ended by the one tracker.
    connect(pTracker, &CAlarmTracker::signalAlarmBegan, this,
            [this](const ActiveAlarm& alarm) { m_pModel->alarmChanged(alarm, true); });
    connect(pTracker, &CAlarmTracker::signalAlarmEnded, this,
            [this](const ActiveAlarm& alarm) { m_pModel->alarmChanged(alarm, false); });
}

namespace {

// "host host:port, [v6]:port": separated by spaces, commas or semicolons.
QStringList snmpReceivers(const QString& strList)
{
    return strList.split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts);
}

} // namespace

SnmpAgentConfig CSnmpPublisher::configFromSettings(const QString& strStateDir, QString* pstrWhy)
{
    SnmpAgentConfig config;
    if (g_settings.snmpMode == QLatin1String("embedded"))
        config.eMode = SnmpAgentConfig::Embedded;
    else if (g_settings.snmpMode != QLatin1String("agentx"))
        *pstrWhy = QStringLiteral("the mode \"%1\" is neither agentx nor embedded").arg(g_settings.snmpMode);
    config.strSocket = g_settings.snmpAgentXSocket;
    if (config.eMode == SnmpAgentConfig::AgentX)
        return config;
    if (g_settings.snmpAgentPort < 1 || g_settings.snmpAgentPort > 65535)
        *pstrWhy = QStringLiteral("the agent port %1 is not one of 1 to 65535").arg(g_settings.snmpAgentPort);
    if (g_settings.snmpAgentProVer < 0 || g_settings.snmpAgentProVer > 2)
        *pstrWhy = QStringLiteral("the protocol version %1 is not 0 (V1), 1 (V2C) or 2 (V3)")
                       .arg(g_settings.snmpAgentProVer);
    config.uiPort = quint16(g_settings.snmpAgentPort);
    config.iVersion = g_settings.snmpAgentProVer;
    config.baUser = g_settings.snmpAgentAccount.toUtf8();
    config.strAuthProtocol = g_settings.snmpAuthProtocol;
    config.baAuthPassphrase = g_settings.snmpAuthPassphrase.toUtf8();
    config.strPrivProtocol = g_settings.snmpPrivProtocol;
    config.baPrivPassphrase = g_settings.snmpPrivPassphrase.toUtf8();
    config.strStateDir = strStateDir;
    config.listReceivers = snmpReceivers(g_settings.snmpTrapReceivers);
    config.uiTrapPort = quint16(qBound(1, g_settings.snmpTrapPort, 65535));
    config.bTrapV3 = g_settings.snmpTrapProVer == 1;
    config.baTrapUser = g_settings.snmpTrapAccount.toUtf8();
    config.iTimeoutMs = qMax(1, g_settings.snmpAgentTimeout);
    config.iRetries = qMax(0, g_settings.snmpAgentRetry);
    return config;
}

void CSnmpPublisher::stopAgent()
{
    if (m_bRunning && !m_pAgent->stop()) {
        // Its thread still uses it.
        setStatus(m_pAgent->status());
        (void)m_pAgent.release();
    }
    m_bRunning = false;
    m_pAgent.reset();
}

void CSnmpPublisher::stop()
{
    stopAgent();
    m_timerWatch.stop();
    setStatus({SnmpAgentStatus::Stopped, QStringLiteral("off")});
}

void CSnmpPublisher::applySettings()
{
    QString strWhy;
    const SnmpAgentConfig config = configFromSettings(m_strStateDir, &strWhy);
    if (!g_settings.snmpEnabled || !strWhy.isEmpty()) {
        stop();
        if (g_settings.snmpEnabled)
            setStatus({SnmpAgentStatus::Stopped, strWhy});
        return;
    }
    // An agent that stopped by itself (its port held) is tried again.
    if (m_bRunning && config == m_config && m_pAgent->status().eState != SnmpAgentStatus::Stopped)
        return;
    // The library keeps one agent a process: the one serving ends before the next starts.
    stopAgent();
    if (!m_pModel->loadIndexes()) {
        setStatus({SnmpAgentStatus::Stopped,
                   QStringLiteral("the PDUs' numbers cannot be read: %1").arg(m_pModel->errorString())});
        return;
    }
    m_pAgent = CSnmpAgentLoader::load(&strWhy);
    if (!m_pAgent) {
        setStatus({SnmpAgentStatus::Stopped, strWhy});
        return;
    }
    m_config = config;
    CSnmpModel* pModel = m_pModel;
    m_pModel->refreshFromSources();
    m_pAgent->start(config, [pModel] { return pModel->snapshot(); });
    m_bRunning = true;
    m_timerWatch.start();
    slotWatch();
}

void CSnmpPublisher::slotWatch()
{
    if (m_pAgent && m_bRunning)
        setStatus(m_pAgent->status());
}

void CSnmpPublisher::setStatus(SnmpAgentStatus status)
{
    // Else only the model would know, and the operator would miss PDUs without a word.
    if (m_bRunning && !m_pModel->indexTrouble().isEmpty())
        status.strText +=
            QStringLiteral("; PDUs found since are left out, as their numbers cannot be kept: %1")
                .arg(m_pModel->indexTrouble());
    if (status == m_status)
        return;
    m_status = status;
    emit signalStatus(status);
}
