#pragma once

#include "device/AlarmNotifier.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class CPdu;

// One alarm condition that holds now on one device.
struct ActiveAlarm
{
    quint64 uiId = 0; // unique for the run of the program
    QPointer<CPdu> pPdu;
    // The device as it was when the alarm began: its MAC and the address it answered from (a MAC alone
    // may be shared, by factory-default units for one).
    QString strMac;
    QString strAddress;
    int iCondition = 0; // CPdu::Alarm, or a group's condition below
    // A group's alarm (no device): the group, and its load and limit as the panel shows them. Kept as a
    // device's is, with kGroupMac for the MAC (no MAC reads so) and the group in place of the address.
    QString strGroup;
    QString strValue;
    QString strLimit;
    static constexpr int kGroupOverBudget = 6; // after CPdu's conditions
    static constexpr int kGroupAtBreaker = 7;
    static constexpr const char* kGroupMac = "group";
    bool isGroupAlarm() const { return !strGroup.isEmpty(); }
    QDateTime dtSince;
    // It began before the program was last started and stood all along: not a new alarm.
    bool bResumed = false;
    bool bAcknowledged = false;
    QDateTime dtAcknowledged;
    QString strAcknowledgedBy;

    // Overloads outrank warnings.
    int severity() const;
};
Q_DECLARE_METATYPE(ActiveAlarm)

// Every alarm condition that holds now, across all devices: what the devices' ticks report as begun and
// ended, who acknowledged what, and the mails that go with them (one each, or combined per window; a
// notice when an alarm clears), handed to its notifiers. Windows and the event log follow it through its
// signals. One per room, made by whoever assembles the room and handed to those who use it.
class CAlarmTracker : public QObject
{
    Q_OBJECT
public:
    explicit CAlarmTracker(QObject* parent = nullptr);

    // Every notice goes to each notifier added, in order; the tracker does not own them.
    void addNotifier(CAlarmNotifier* pNotifier);

    // The most severe first, the newest first among equals.
    QList<ActiveAlarm> activeAlarms() const;
    int unacknowledgedCount() const;
    // False when no such alarm holds or it was acknowledged already.
    bool acknowledge(quint64 uiId);
    // The same on record for strBy (a user of the API).
    bool acknowledge(quint64 uiId, const QString& strBy);
    void acknowledgeAll();
    // Who acknowledges at this console.
    static QString acknowledger();

    // From a device's tick: a condition has counted (strText is its alarm mail), or it has ended
    // (strText is the same mail with the reading now).
    void alarmBegan(CPdu* pPdu, int iCondition, const QString& strText);
    void alarmEnded(CPdu* pPdu, int iCondition, const QString& strText);

    // The same for a group's condition: strValue and strLimit are its load and the limit it passed.
    void groupAlarmBegan(const QString& strGroup, int iCondition, const QString& strValue,
                         const QString& strLimit, const QString& strText);
    void groupAlarmEnded(const QString& strGroup, int iCondition, const QString& strText);
    // The load a standing group alarm shows, kept up to date by the group's check.
    void setGroupReading(const QString& strGroup, const QString& strValue);
    bool groupWasStanding(const QString& strGroup, int iCondition) const;
    // The groups are no longer judged (their checker is gone, as a device's alarms go with the device):
    // their alarms leave the list without ending, so that the store keeps them standing.
    void groupsGone();
    // Groups with an alarm restored and not yet taken up.
    QStringList standingGroups() const;

    // The alarms that stood when the program last stopped (pPdu null), each taken up again by its
    // device's first check: resumed with its start and acknowledgement while the reading is not yet
    // clear, ended otherwise.
    void restore(const QList<ActiveAlarm>& listStanding);
    bool wasStanding(const CPdu* pPdu, int iCondition) const;

    // Sends the combined mail once its window has passed, or at once when combining is off now.
    void flushDue();
    // Sends whatever waits to be combined, now.
    void flush();

    // "2d 03:04:05", days only when there are any.
    static QString durationText(qint64 iSecs);

signals:
    void signalAlarmBegan(const ActiveAlarm& alarm);
    void signalAlarmEnded(const ActiveAlarm& alarm, const QDateTime& dtEnded);
    void signalAlarmAcknowledged(const ActiveAlarm& alarm);
    // Any change of the list or of an acknowledgement.
    void signalAlarmsChanged();

private:
    void slotDeviceGone();
    void notify(const QString& strSubject, const QString& strText);
    void send(const QString& strSubject, const QString& strText);
    int indexOfRestored(const CPdu* pPdu, int iCondition) const;
    int indexOfRestoredGroup(const QString& strGroup, int iCondition) const;
    // Takes up an alarm, resumed (iRestored) or new, and tells of it.
    void begin(ActiveAlarm alarm, int iRestored, const QString& strText);
    // Makes a restored alarm active again so that it can end.
    void takeUpRestored(int iRestored, CPdu* pPdu);
    // Ends the first active alarm that fnMatch picks.
    void end(const std::function<bool(const ActiveAlarm&)>& fnMatch, const QString& strText);

    QList<ActiveAlarm> m_listAlarms;
    QList<ActiveAlarm> m_listRestored;
    quint64 m_uiLastId = 0;
    QList<AlarmNotice> m_listWaiting;
    QList<CAlarmNotifier*> m_listNotifiers;
    qint64 m_iWindowEndMsecs = 0; // on the monotonic clock
    QTimer m_timerFlush;
};
