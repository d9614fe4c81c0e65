#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CAlarmTracker;
class CPdu;
class CRackmind;

// Groups as circuits: puts a device into the group kept for its MAC once the MAC is known, and once a
// second judges each group that has a budget. A group's load is the sum of the currents of its online
// PDUs; "over budget" holds above the derated budget, "at the breaker rating" at or above the breaker's.
// Both count, end and are mailed through the alarm tracker with the Alarms page's debounce and margin.
// An alarm ends only on a load heard whole: not while a PDU of the group does not answer, and after a
// restart not before every PDU kept in the group has answered.
class CGroupAlarms : public QObject
{
    Q_OBJECT
public:
    // Reports to pTracker, which may go first (at the end of the program).
    CGroupAlarms(CRackmind* pRegistry, CAlarmTracker* pTracker, QObject* parent = nullptr);
    ~CGroupAlarms() override;

    // Puts every device whose MAC has a kept group into it, and one whose group is no longer kept back
    // into "Default" (after the settings were read again).
    void applySavedGroups();
    // One judgement of every group; the timer runs it each second.
    void check();
    // Every group's load now, in amperes: the sum of the currents of its online PDUs.
    static QHash<QString, double> groupLoads(const QList<CPdu*>& listPdu);
    // The amperes of a load or limit as the mails and the alarm panel show them.
    static QString ampsText(double dAmps);

signals:
    // A device was put into its kept group.
    void signalDeviceGroupChanged(CPdu* pPdu);

private:
    void slotMacKnown(CPdu* pPdu);
    // bForgotten: a device with no kept group goes back into "Default", else it stays where it is.
    void putInKeptGroup(CPdu* pPdu, bool bForgotten);
    // Every MAC kept in the group belongs to a device of the registry in it.
    bool keptMembersPresent(const QString& strGroup) const;
    // bWhole: every PDU of the group answers, so that the load is known and not only a part of it.
    void judge(const QString& strGroup, int iIndex, bool bHolds, bool bClear, bool bWhole, double dLoad,
               double dLimit);

    struct GroupState
    {
        int aiHolds[2] = {};
        bool abActive[2] = {};
    };
    CRackmind* m_pRegistry;
    // Gone at the program's end before the registry may be.
    QPointer<CAlarmTracker> m_pTracker;
    QHash<QString, GroupState> m_hashState;
    // The MAC each device last told (only compared, never followed).
    QHash<const CPdu*, QString> m_hashMacSeen;
    QTimer m_timer;
};
