#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

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
    int iCondition = 0; // CPdu::Alarm
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
// notice when an alarm clears). Windows and a future event log follow it through its signals.
class CAlarmTracker : public QObject
{
    Q_OBJECT
public:
    // The process-wide tracker, created on first use.
    static CAlarmTracker* instance();

    // The most severe first, the newest first among equals.
    QList<ActiveAlarm> activeAlarms() const;
    int unacknowledgedCount() const;
    // False when no such alarm holds or it was acknowledged already.
    bool acknowledge(quint64 uiId);
    void acknowledgeAll();
    // Who acknowledges at this console.
    static QString acknowledger();

    // From a device's tick: a condition has counted (strText is its alarm mail), or it has ended
    // (strText is the same mail with the reading now).
    void alarmBegan(CPdu* pPdu, int iCondition, const QString& strText);
    void alarmEnded(CPdu* pPdu, int iCondition, const QString& strText);

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
    explicit CAlarmTracker(QObject* parent = nullptr);
    void slotDeviceGone();
    void notify(const QString& strSubject, const QString& strText);

    struct Notice
    {
        QString strSubject;
        QString strText;
    };
    int indexOfRestored(const CPdu* pPdu, int iCondition) const;

    QList<ActiveAlarm> m_listAlarms;
    QList<ActiveAlarm> m_listRestored;
    quint64 m_uiLastId = 0;
    QList<Notice> m_listWaiting;
    QDateTime m_dtWindowEnd;
    QTimer m_timerFlush;
};
