#include "snmp/SnmpPublisher.h"

#include "snmp/SnmpAgentLoader.h"
#include "snmp/SnmpModel.h"

#include "device/AlarmTracker.h"

CSnmpPublisher::CSnmpPublisher(const QString& strIndexFile, QObject* parent)
    : QObject(parent), m_pModel(new CSnmpModel(strIndexFile, this))
{
    m_timerWatch.setInterval(500);
    connect(&m_timerWatch, &QTimer::timeout, this, &CSnmpPublisher::slotWatch);
    connect(m_pModel, &CSnmpModel::signalNotification, this, [this](const SnmpNotification& notification) {
        if (m_pAgent && m_bRunning)
            m_pAgent->notify(notification);
    });
}

CSnmpPublisher::~CSnmpPublisher()
{
    if (m_pAgent)
        m_pAgent->stop();
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

void CSnmpPublisher::apply(bool bEnabled, const QString& strSocket)
{
    if (!bEnabled) {
        if (m_bRunning) {
            m_pAgent->stop();
            m_bRunning = false;
        }
        m_timerWatch.stop();
        setStatus({SnmpAgentStatus::Stopped, QStringLiteral("off")});
        return;
    }
    if (m_bStarted) {
        if (!m_bRunning || strSocket != m_strSocket)
            setStatus(
                {m_status.eState, QStringLiteral("%1 (a changed setting takes effect at the next start)")
                                      .arg(m_status.strText.section(QStringLiteral(" (a changed"), 0, 0))});
        return;
    }
    if (!m_pModel->loadIndexes()) {
        setStatus({SnmpAgentStatus::Stopped,
                   QStringLiteral("the PDUs' numbers cannot be read: %1").arg(m_pModel->errorString())});
        return;
    }
    QString strWhy;
    m_pAgent = CSnmpAgentLoader::load(&strWhy);
    if (!m_pAgent) {
        setStatus({SnmpAgentStatus::Stopped, strWhy});
        return;
    }
    m_strSocket = strSocket;
    CSnmpModel* pModel = m_pModel;
    m_pModel->refreshFromSources();
    m_pAgent->start(strSocket, [pModel] { return pModel->snapshot(); });
    m_bStarted = true;
    m_bRunning = true;
    m_timerWatch.start();
    slotWatch();
}

void CSnmpPublisher::slotWatch()
{
    if (m_pAgent && m_bRunning)
        setStatus(m_pAgent->status());
}

void CSnmpPublisher::setStatus(const SnmpAgentStatus& status)
{
    if (status == m_status)
        return;
    m_status = status;
    emit signalStatus(status);
}
