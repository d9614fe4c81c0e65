#pragma once

#include "device/Pdu.h"
#include "history/HistoryCodec.h"

#include <QHash>
#include <QObject>
#include <QPointer>

struct ActiveAlarm;
class CAlarmTracker;
struct OutletOperation;
class CHistoryStore;
class CRackmind;
class QTimer;

// Feeds the store from the device registry: a sample per status reply of every identified device, an
// offline sample per second while one is silent, and the events a console sees happen (appeared,
// offline, back online, alarm conditions, outlet switches, downloads, alarm mail). Lives on the
// registry's thread; everything it hands over returns at once.
class CHistoryRecorder : public QObject
{
    Q_OBJECT
public:
    CHistoryRecorder(CHistoryStore* pStore, CRackmind* pRegistry, QObject* parent = nullptr);

    // The recorder as the console and the service run it, a child of the registry: the alarms in the
    // log are pTracker's, and the alarms that stood when the program last stopped are handed back to
    // it (none: the recorder derives alarm conditions from the replies). The mails' outcome comes in
    // through slotMailResult, connected by whoever owns the mail.
    static CHistoryRecorder* attach(CHistoryStore* pStore, CRackmind* pRegistry, CAlarmTracker* pTracker);

    // Alarm conditions are derived from each reply until an alarm tracker records them itself.
    void setDeriveAlarms(bool bDerive) { m_bDeriveAlarms = bDerive; }
    // The text a device is known by: its MAC address, upper case, colon separated.
    static QString macText(const PduInfo& info);

public slots:
    void slotNewDevice(CPdu* pPdu);
    // Once a second: online changes, offline samples and changed labels.
    void slotTick();
    void slotMailResult(QString strSubject, QString strReceiver, bool bDelivered, QString strWhy);
    // The tracker's alarms: each begins, is acknowledged and ends once, the later entries naming the
    // start of theirs; the store keeps every standing one for the next start.
    void slotAlarmBegan(const ActiveAlarm& alarm);
    void slotAlarmEnded(const ActiveAlarm& alarm, const QDateTime& dtEnded);
    void slotAlarmAcknowledged(const ActiveAlarm& alarm);
    // Power cycles, refused switches, protection and group writes (plain switches come from the device).
    void slotOutletOperation(const OutletOperation& op);

private:
    struct Tracked
    {
        QPointer<CPdu> pPdu;
        QString strMac;            // empty until the device's network reply arrived
        bool bLimits = false;      // its thresholds reply arrived: until then stInfo holds factory limits
        bool bImplausible = false; // its readings cannot be right (and were logged so)
        int iPlausible = 0;        // plausible status replies in a row since the last implausible one
        QString strGroup;          // the group in its last label
        bool bOnline = true;
        bool aAlarm[CPdu::AlarmCount] = {};
        bool bLabelled = false; // a label was handed to the store, made from the fields below
        char acLabelName[sizeof PduInfo::name] = {};
        char acLabelPosition[sizeof PduInfo::position] = {};
        quint32 uiLabelAddress = 0;
    };
    void onReply(Tracked& t, int iCommand);
    // The sample of a status reply, marked to count no energy while its readings cannot be right.
    HistorySample sample(Tracked& t);
    void deriveAlarms(Tracked& t);
    void recordDownload(const Tracked& t, const PduInfo& before, const PduInfo& after);
    void recordAlarm(int iKind, const ActiveAlarm& alarm, const QString& strDetail, qint64 iMsecs = 0);
    void keepAlarm(const ActiveAlarm& alarm, bool bEnded);
    // Logs a step of the wall clock against the monotonic one (samples keep their wall-clock stamps).
    void checkClock();

    CHistoryStore* m_pStore;
    QTimer* m_pTimer;
    QHash<CPdu*, Tracked> m_hashTracked;
    bool m_bDeriveAlarms = true;
    // Wall clock minus monotonic clock at the last tick; a change beyond kClockStepMsecs is a step.
    qint64 m_iClockOffset = 0;
    bool m_bClockOffset = false;
    static constexpr qint64 kClockStepMsecs = 2000;
    // An implausible episode ends after this many plausible status replies in a row: a meter that
    // flickers is one episode, not an entry per flicker.
    static constexpr int kPlausibleToEnd = 10;
};
