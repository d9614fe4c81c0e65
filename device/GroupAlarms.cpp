#include "device/GroupAlarms.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/AlarmSettings.h"
#include "settings/GroupSettings.h"

#include <QSet>

#include <algorithm>

namespace {
const int kConditions[2] = {ActiveAlarm::kGroupOverBudget, ActiveAlarm::kGroupAtBreaker};

// strLimit: the limit as shown; "none" once the group's budget is taken away.
QString mailText(int iCondition, const QString& strGroup, double dLoad, const QString& strLimit)
{
    const bool bBreaker = iCondition == ActiveAlarm::kGroupAtBreaker;
    return QStringLiteral("%1\n\nValue:%2\n%3:%4\n\nGroup:%5")
        .arg(bBreaker ? QStringLiteral("Group Load At Breaker Rating")
                      : QStringLiteral("Group Load Over Budget"),
             CGroupAlarms::ampsText(dLoad), bBreaker ? QStringLiteral("Breaker") : QStringLiteral("Budget"),
             strLimit, mailLineText(strGroup));
}
} // namespace

CGroupAlarms::CGroupAlarms(CRackmind* pRegistry, CAlarmTracker* pTracker, QObject* parent)
    : QObject(parent), m_pRegistry(pRegistry), m_pTracker(pTracker)
{
    connect(pRegistry, &CRackmind::signalDeviceMacKnown, this, &CGroupAlarms::slotMacKnown);
    connect(&m_timer, &QTimer::timeout, this, &CGroupAlarms::check);
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    m_timer.start(1000);
    applySavedGroups();
}

CGroupAlarms::~CGroupAlarms()
{
    if (m_pTracker)
        m_pTracker->groupsGone();
}

QString CGroupAlarms::ampsText(double dAmps)
{
    return currentInMail(dAmps) + QStringLiteral(" A");
}

QHash<QString, double> CGroupAlarms::groupLoads(const QList<CPdu*>& listPdu)
{
    QHash<QString, double> hashLoad;
    for (const CPdu* pPdu : listPdu) {
        double& dLoad = hashLoad[pPdu->strGroup];
        if (pPdu->isOnline() && pPdu->hasReported(kCmdStatus))
            dLoad += pPdu->stInfo.current;
    }
    return hashLoad;
}

void CGroupAlarms::applySavedGroups()
{
    for (CPdu* pPdu : qAsConst(m_pRegistry->listPdu))
        if (pPdu->bMacKnown)
            putInKeptGroup(pPdu, true);
}

void CGroupAlarms::slotMacKnown(CPdu* pPdu)
{
    // A device that told another MAC before is another unit now answering from its address: the group
    // of the one before is not its group.
    const QString strMac = macDisplay(pPdu->stInfo.mac);
    QString& strSeen = m_hashMacSeen[pPdu];
    const bool bOtherUnit = !strSeen.isEmpty() && strSeen != strMac;
    strSeen = strMac;
    putInKeptGroup(pPdu, bOtherUnit);
}

void CGroupAlarms::putInKeptGroup(CPdu* pPdu, bool bForgotten)
{
    // The factory default MAC is every new unit's: no group is kept for it.
    QString strGroup = pPdu->hasKnownMac() ? savedGroup(macDisplay(pPdu->stInfo.mac)) : QString();
    if (strGroup.isEmpty() && bForgotten)
        strGroup = QStringLiteral("Default");
    if (strGroup.isEmpty() || strGroup == pPdu->strGroup)
        return;
    pPdu->strGroup = strGroup;
    emit signalDeviceGroupChanged(pPdu);
}

void CGroupAlarms::check()
{
    CAlarmTracker* pTracker = m_pTracker.data();
    if (!pTracker)
        return;
    const QHash<QString, GroupBudget> hashBudgets = groupBudgets();
    // Restored alarms wait for their group to be heard whole: few, and gone once taken up.
    const QStringList listStanding = pTracker->standingGroups();
    // Without budgets there is nothing to judge: a room without circuits pays nothing.
    if (hashBudgets.isEmpty() && m_hashState.isEmpty() && listStanding.isEmpty())
        return;
    const QHash<QString, double> hashLoad = groupLoads(m_pRegistry->listPdu);
    QSet<QString> setUnheard;
    for (const CPdu* pPdu : qAsConst(m_pRegistry->listPdu))
        if (!pPdu->isOnline() || !pPdu->hasReported(kCmdStatus))
            setUnheard.insert(pPdu->strGroup);
    const QString strNone = QStringLiteral("none");
    // A group whose budget was taken away is no longer judged: what stood ends.
    for (auto it = m_hashState.begin(); it != m_hashState.end();) {
        if (hashBudgets.contains(it.key())) {
            ++it;
            continue;
        }
        for (int k = 0; k < 2; ++k)
            if (it->abActive[k])
                pTracker->groupAlarmEnded(
                    it.key(), kConditions[k],
                    mailText(kConditions[k], it.key(), hashLoad.value(it.key()), strNone));
        it = m_hashState.erase(it);
    }
    for (const QString& strGroup : listStanding)
        if (!hashBudgets.contains(strGroup))
            for (int iCondition : kConditions)
                if (pTracker->groupWasStanding(strGroup, iCondition))
                    pTracker->groupAlarmEnded(
                        strGroup, iCondition,
                        mailText(iCondition, strGroup, hashLoad.value(strGroup), strNone));

    const double dLower = 1.0 - g_alarmSettings.hysteresisPercent / 100.0;
    for (auto it = hashBudgets.cbegin(); it != hashBudgets.cend(); ++it) {
        const double dLoad = hashLoad.value(it.key());
        const double dBudget = it->budgetAmps();
        const double dBreaker = it->dBreakerAmps;
        // First, so that an alarm ending now is logged with the load that ended it.
        pTracker->setGroupReading(it.key(), ampsText(dLoad));
        // Without a margin an alarm ends exactly when its condition stops holding.
        const bool bWhole = !setUnheard.contains(it.key());
        judge(it.key(), 0, dLoad > dBudget, !(dLoad > dBudget * dLower), bWhole, dLoad, dBudget);
        judge(it.key(), 1, dLoad >= dBreaker, !(dLoad >= dBreaker * dLower), bWhole, dLoad, dBreaker);
    }
}

bool CGroupAlarms::keptMembersPresent(const QString& strGroup) const
{
    const QStringList listMacs = savedMacs(strGroup);
    if (listMacs.isEmpty())
        return true;
    QSet<QString> setPresent;
    for (const CPdu* pPdu : qAsConst(m_pRegistry->listPdu))
        if (pPdu->bMacKnown && pPdu->strGroup == strGroup)
            setPresent.insert(macDisplay(pPdu->stInfo.mac));
    return std::all_of(listMacs.cbegin(), listMacs.cend(),
                       [&](const QString& strMac) { return setPresent.contains(strMac); });
}

void CGroupAlarms::judge(const QString& strGroup, int iIndex, bool bHolds, bool bClear, bool bWhole,
                         double dLoad, double dLimit)
{
    CAlarmTracker* pTracker = m_pTracker.data();
    GroupState& state = m_hashState[strGroup];
    const int iCondition = kConditions[iIndex];
    int& iHolds = state.aiHolds[iIndex];
    bool& bActive = state.abActive[iIndex];
    iHolds = bHolds ? iHolds + 1 : 0;
    const QString strText = mailText(iCondition, strGroup, dLoad, ampsText(dLimit));
    if (pTracker->groupWasStanding(strGroup, iCondition)) {
        // It stood before the restart: it stands on while the load is not clear, without waiting to be
        // confirmed again. A load of devices not yet heard from is not clear: the registry fills as they
        // answer after the start.
        if (!bClear) {
            bActive = true;
            pTracker->groupAlarmBegan(strGroup, iCondition, ampsText(dLoad), ampsText(dLimit), strText);
        } else if (bWhole && keptMembersPresent(strGroup)) {
            pTracker->groupAlarmEnded(strGroup, iCondition, strText);
        }
    } else if (bActive) {
        // What a silent PDU drew is not known to be gone.
        if (bClear && bWhole) {
            bActive = false;
            pTracker->groupAlarmEnded(strGroup, iCondition, strText);
        }
    } else if (bHolds && iHolds >= g_alarmSettings.debouncePolls) {
        iHolds = 0;
        bActive = true;
        pTracker->groupAlarmBegan(strGroup, iCondition, ampsText(dLoad), ampsText(dLimit), strText);
    }
}
