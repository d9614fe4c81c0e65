#include "ui/alarms/AlarmMarks.h"

#include "device/AlarmTracker.h"
#include "device/Pdu.h"

CAlarmMarks::CAlarmMarks(QObject* parent) : QObject(parent) {}

void CAlarmMarks::setAlarmTracker(CAlarmTracker* pTracker)
{
    if (m_pTracker)
        disconnect(m_pTracker, nullptr, this, nullptr);
    m_pTracker = pTracker;
    m_bStale = true;
    if (!pTracker)
        return;
    connect(pTracker, &CAlarmTracker::signalAlarmsChanged, this, [this] { m_bStale = true; });
    connect(pTracker, &QObject::destroyed, this, [this] { m_bStale = true; });
}

const AlarmMark& CAlarmMarks::markOf(const CPdu* pPdu)
{
    // A storm of changes (a room losing its feed) costs one pass over the alarms when next asked.
    if (m_bStale) {
        m_bStale = false;
        m_hashMarks.clear();
        const QList<ActiveAlarm> listAlarms = m_pTracker ? m_pTracker->activeAlarms() : QList<ActiveAlarm>();
        for (const ActiveAlarm& alarm : listAlarms) {
            if (!alarm.pPdu)
                continue;
            AlarmMark& mark = m_hashMarks[alarm.pPdu.data()];
            mark.listConditions << alarm.iCondition;
            if (!alarm.bAcknowledged)
                mark.state = AlarmMark::Unacknowledged;
            else if (mark.state == AlarmMark::None)
                mark.state = AlarmMark::Acknowledged;
        }
    }
    static const AlarmMark s_none;
    const auto it = m_hashMarks.constFind(pPdu);
    return it == m_hashMarks.cend() ? s_none : *it;
}
