#include "device/AlarmTracker.h"

#include "common/Clock.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QSysInfo>

#include <algorithm>
#include <utility>

namespace {
const QString kAlarmSubject = QStringLiteral("PDU Warning");
const QString kClearedSubject = QStringLiteral("PDU Warning Cleared");

// The alarm mail's text turned into its notice of the end: "<condition> Cleared" on the first line, and
// how long it lasted after the limits, before the device's address.
QString clearedText(QString strText, qint64 iSecs)
{
    const int iWhere = strText.indexOf(QStringLiteral("\n\nIP:"));
    strText.insert(iWhere < 0 ? strText.size() : iWhere,
                   QStringLiteral("\nLasted:") + CAlarmTracker::durationText(iSecs));
    const int iHeading = strText.indexOf(QLatin1Char('\n'));
    strText.insert(iHeading < 0 ? strText.size() : iHeading, QStringLiteral(" Cleared"));
    return strText;
}
} // namespace

static_assert(ActiveAlarm::kGroupOverBudget >= CPdu::AlarmCount, "a group's condition is no device's");

int ActiveAlarm::severity() const
{
    if (isGroupAlarm())
        return iCondition == kGroupAtBreaker ? 2 : 1;
    return iCondition == CPdu::AlarmVoltageOverload || iCondition == CPdu::AlarmCurrentOverload ? 2 : 1;
}

CAlarmTracker::CAlarmTracker(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<ActiveAlarm>();
    connect(&m_timerFlush, &QTimer::timeout, this, &CAlarmTracker::flushDue);
    m_timerFlush.start(1000);
    // What waits to be combined goes to the mail worker, which delivers it on the way out.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &CAlarmTracker::flush);
}

void CAlarmTracker::addNotifier(CAlarmNotifier* pNotifier)
{
    if (pNotifier && !m_listNotifiers.contains(pNotifier))
        m_listNotifiers << pNotifier;
}

void CAlarmTracker::send(const QString& strSubject, const QString& strText)
{
    const AlarmNotice notice{strSubject, strText};
    for (CAlarmNotifier* pNotifier : qAsConst(m_listNotifiers))
        pNotifier->notify(notice);
}

QList<ActiveAlarm> CAlarmTracker::activeAlarms() const
{
    QList<ActiveAlarm> listAlarms = m_listAlarms;
    std::stable_sort(listAlarms.begin(), listAlarms.end(), [](const ActiveAlarm& a, const ActiveAlarm& b) {
        if (a.severity() != b.severity())
            return a.severity() > b.severity();
        return a.dtSince > b.dtSince;
    });
    return listAlarms;
}

int CAlarmTracker::unacknowledgedCount() const
{
    return int(std::count_if(m_listAlarms.cbegin(), m_listAlarms.cend(),
                             [](const ActiveAlarm& alarm) { return !alarm.bAcknowledged; }));
}

bool CAlarmTracker::acknowledge(quint64 uiId)
{
    return acknowledge(uiId, acknowledger());
}

bool CAlarmTracker::acknowledge(quint64 uiId, const QString& strBy)
{
    for (ActiveAlarm& alarm : m_listAlarms) {
        if (alarm.uiId != uiId || alarm.bAcknowledged)
            continue;
        alarm.bAcknowledged = true;
        alarm.dtAcknowledged = Clock::now();
        alarm.strAcknowledgedBy = strBy;
        emit signalAlarmAcknowledged(alarm);
        emit signalAlarmsChanged();
        return true;
    }
    return false;
}

void CAlarmTracker::acknowledgeAll()
{
    const QList<ActiveAlarm> listAlarms = m_listAlarms;
    for (const ActiveAlarm& alarm : listAlarms)
        acknowledge(alarm.uiId);
}

QString CAlarmTracker::acknowledger()
{
    return g_settings.loginAccount + QLatin1Char('@') + QSysInfo::machineHostName();
}

void CAlarmTracker::restore(const QList<ActiveAlarm>& listStanding)
{
    for (const ActiveAlarm& alarm : listStanding) {
        const bool bGroup = alarm.strMac == QLatin1String(ActiveAlarm::kGroupMac) &&
                            !alarm.strAddress.isEmpty() &&
                            (alarm.iCondition == ActiveAlarm::kGroupOverBudget ||
                             alarm.iCondition == ActiveAlarm::kGroupAtBreaker);
        if (!bGroup && (alarm.iCondition < 0 || alarm.iCondition >= CPdu::AlarmCount))
            continue;
        if (!alarm.dtSince.isValid())
            continue;
        ActiveAlarm restored = alarm;
        restored.pPdu = nullptr;
        restored.strGroup = bGroup ? alarm.strAddress : QString();
        restored.bResumed = true;
        // One entry per device and condition, the latest handed in.
        m_listRestored.erase(std::remove_if(m_listRestored.begin(), m_listRestored.end(),
                                            [&](const ActiveAlarm& a) {
                                                return a.strMac == restored.strMac &&
                                                       a.strAddress == restored.strAddress &&
                                                       a.iCondition == restored.iCondition;
                                            }),
                             m_listRestored.end());
        m_listRestored << restored;
    }
}

int CAlarmTracker::indexOfRestored(const CPdu* pPdu, int iCondition) const
{
    if (!pPdu || m_listRestored.isEmpty())
        return -1;
    // The MAC and the address together: a twin reporting the same MAC elsewhere must not take over
    // another unit's alarm and its acknowledgement.
    const QString strMac = macDisplay(pPdu->stInfo.mac);
    const QString strAddress = pPdu->sendAddress().toString();
    for (int i = 0; i < m_listRestored.size(); ++i) {
        const ActiveAlarm& alarm = m_listRestored.at(i);
        if (alarm.iCondition == iCondition && alarm.strMac == strMac && alarm.strAddress == strAddress &&
            !alarm.isGroupAlarm())
            return i;
    }
    return -1;
}

int CAlarmTracker::indexOfRestoredGroup(const QString& strGroup, int iCondition) const
{
    for (int i = 0; i < m_listRestored.size(); ++i) {
        const ActiveAlarm& alarm = m_listRestored.at(i);
        if (alarm.iCondition == iCondition && alarm.strGroup == strGroup)
            return i;
    }
    return -1;
}

bool CAlarmTracker::groupWasStanding(const QString& strGroup, int iCondition) const
{
    return indexOfRestoredGroup(strGroup, iCondition) >= 0;
}

QStringList CAlarmTracker::standingGroups() const
{
    QStringList list;
    for (const ActiveAlarm& alarm : m_listRestored)
        if (alarm.isGroupAlarm() && !list.contains(alarm.strGroup))
            list << alarm.strGroup;
    return list;
}

bool CAlarmTracker::wasStanding(const CPdu* pPdu, int iCondition) const
{
    return indexOfRestored(pPdu, iCondition) >= 0;
}

void CAlarmTracker::alarmBegan(CPdu* pPdu, int iCondition, const QString& strText)
{
    connect(pPdu, &QObject::destroyed, this, &CAlarmTracker::slotDeviceGone, Qt::UniqueConnection);
    ActiveAlarm alarm;
    alarm.pPdu = pPdu;
    alarm.strMac = macDisplay(pPdu->stInfo.mac);
    alarm.strAddress = pPdu->sendAddress().toString();
    alarm.iCondition = iCondition;
    begin(alarm, indexOfRestored(pPdu, iCondition), strText);
}

void CAlarmTracker::groupAlarmBegan(const QString& strGroup, int iCondition, const QString& strValue,
                                    const QString& strLimit, const QString& strText)
{
    ActiveAlarm alarm;
    alarm.strMac = QLatin1String(ActiveAlarm::kGroupMac);
    alarm.strAddress = strGroup;
    alarm.strGroup = strGroup;
    alarm.strValue = strValue;
    alarm.strLimit = strLimit;
    alarm.iCondition = iCondition;
    begin(alarm, indexOfRestoredGroup(strGroup, iCondition), strText);
}

void CAlarmTracker::begin(ActiveAlarm alarm, int iRestored, const QString& strText)
{
    if (iRestored >= 0) {
        const ActiveAlarm restored = m_listRestored.takeAt(iRestored);
        alarm.dtSince = restored.dtSince;
        alarm.bResumed = true;
        alarm.bAcknowledged = restored.bAcknowledged;
        alarm.dtAcknowledged = restored.dtAcknowledged;
        alarm.strAcknowledgedBy = restored.strAcknowledgedBy;
    } else {
        alarm.dtSince = Clock::now();
    }
    alarm.uiId = ++m_uiLastId;
    m_listAlarms << alarm;
    if (!alarm.bResumed || g_alarmSettings.mailStandingAfterRestart)
        notify(kAlarmSubject, strText);
    emit signalAlarmBegan(alarm);
    emit signalAlarmsChanged();
}

void CAlarmTracker::alarmEnded(CPdu* pPdu, int iCondition, const QString& strText)
{
    takeUpRestored(indexOfRestored(pPdu, iCondition), pPdu);
    end([&](const ActiveAlarm& alarm) { return alarm.pPdu == pPdu && alarm.iCondition == iCondition; },
        strText);
}

void CAlarmTracker::groupAlarmEnded(const QString& strGroup, int iCondition, const QString& strText)
{
    takeUpRestored(indexOfRestoredGroup(strGroup, iCondition), nullptr);
    end(
        [&](const ActiveAlarm& alarm) {
            return alarm.strGroup == strGroup && alarm.iCondition == iCondition;
        },
        strText);
}

void CAlarmTracker::takeUpRestored(int iRestored, CPdu* pPdu)
{
    // One that stood before the restart and is over by the first check ends as any other.
    if (iRestored < 0)
        return;
    ActiveAlarm alarm = m_listRestored.takeAt(iRestored);
    alarm.uiId = ++m_uiLastId;
    alarm.pPdu = pPdu;
    m_listAlarms << alarm;
}

void CAlarmTracker::end(const std::function<bool(const ActiveAlarm&)>& fnMatch, const QString& strText)
{
    for (int i = 0; i < m_listAlarms.size(); ++i) {
        const ActiveAlarm alarm = m_listAlarms.at(i);
        if (!fnMatch(alarm))
            continue;
        m_listAlarms.removeAt(i);
        const QDateTime dtEnded = Clock::now();
        if (g_alarmSettings.mailOnClear)
            notify(kClearedSubject, clearedText(strText, alarm.dtSince.secsTo(dtEnded)));
        emit signalAlarmEnded(alarm, dtEnded);
        emit signalAlarmsChanged();
        return;
    }
}

void CAlarmTracker::setGroupReading(const QString& strGroup, const QString& strValue)
{
    for (ActiveAlarm& alarm : m_listAlarms)
        if (alarm.strGroup == strGroup)
            alarm.strValue = strValue;
}

void CAlarmTracker::notify(const QString& strSubject, const QString& strText)
{
    if (!g_alarmSettings.combineMails && m_listWaiting.isEmpty()) {
        send(strSubject, strText);
        return;
    }
    if (m_listWaiting.isEmpty())
        m_iWindowEndMsecs = Clock::elapsedMs() + qint64(g_alarmSettings.combineWindowSecs) * 1000;
    m_listWaiting << AlarmNotice{strSubject, strText};
    if (!g_alarmSettings.combineMails)
        flush();
}

void CAlarmTracker::flushDue()
{
    if (!m_listWaiting.isEmpty() &&
        (!g_alarmSettings.combineMails || Clock::elapsedMs() >= m_iWindowEndMsecs))
        flush();
}

void CAlarmTracker::flush()
{
    if (m_listWaiting.isEmpty())
        return;
    const QList<AlarmNotice> listNotices = std::exchange(m_listWaiting, {});
    // One notice alone goes out as it would have without combining.
    if (listNotices.size() == 1) {
        send(listNotices.first().strSubject, listNotices.first().strText);
        return;
    }
    int iCleared = 0;
    QStringList listTexts;
    for (const AlarmNotice& notice : listNotices) {
        iCleared += notice.strSubject == kClearedSubject ? 1 : 0;
        listTexts << notice.strText;
    }
    const QString strHead =
        QStringLiteral("Alarms:%1\nCleared:%2\n\n").arg(listNotices.size() - iCleared).arg(iCleared);
    send(iCleared == listNotices.size() ? kClearedSubject : kAlarmSubject,
         strHead + listTexts.join(QStringLiteral("\n\n--------\n\n")));
}

void CAlarmTracker::groupsGone()
{
    const auto itEnd = std::remove_if(m_listAlarms.begin(), m_listAlarms.end(),
                                      [](const ActiveAlarm& alarm) { return alarm.isGroupAlarm(); });
    if (itEnd == m_listAlarms.end())
        return;
    m_listAlarms.erase(itEnd, m_listAlarms.end());
    emit signalAlarmsChanged();
}

void CAlarmTracker::slotDeviceGone()
{
    // The device's pointers are already cleared while it is destroyed.
    const auto itEnd = std::remove_if(m_listAlarms.begin(), m_listAlarms.end(), [](const ActiveAlarm& alarm) {
        return alarm.pPdu.isNull() && !alarm.isGroupAlarm();
    });
    if (itEnd == m_listAlarms.end())
        return;
    m_listAlarms.erase(itEnd, m_listAlarms.end());
    emit signalAlarmsChanged();
}

QString CAlarmTracker::durationText(qint64 iSecs)
{
    iSecs = qMax<qint64>(0, iSecs);
    const QString strTime = QStringLiteral("%1:%2:%3")
                                .arg((iSecs / 3600) % 24, 2, 10, QLatin1Char('0'))
                                .arg((iSecs / 60) % 60, 2, 10, QLatin1Char('0'))
                                .arg(iSecs % 60, 2, 10, QLatin1Char('0'));
    return iSecs >= 86400 ? QStringLiteral("%1d ").arg(iSecs / 86400) + strTime : strTime;
}
