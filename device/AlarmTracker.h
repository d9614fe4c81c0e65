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
    int iCondition = 0; // CPdu::Alarm
    QDateTime dtSince;
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
    QList<ActiveAlarm> m_listAlarms;
    quint64 m_uiLastId = 0;
    QList<Notice> m_listWaiting;
    qint64 m_iWindowEndMsecs = 0; // on the monotonic clock
    QTimer m_timerFlush;
};
