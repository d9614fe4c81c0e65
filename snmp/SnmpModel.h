#pragma once

#include "snmp/EntityIndexes.h"
#include "snmp/SnmpAgent.h"
#include "snmp/SnmpSnapshot.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

struct ActiveAlarm;
class CAlarmTracker;
class CPdu;
class CRackmind;

// The room as the ENTITY tables show it: once a second, on the thread of the registry, the devices and
// the alarm tracker's active alarms become a new immutable snapshot, which the agent's thread takes
// whole. Per PDU (with a MAC of its own): the chassis; its voltage, current, temperature and humidity
// sensors; its eight outlets (energy objects), each holding a truth-value sensor of its switch.
class CSnmpModel : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMsec = 1000;
    // Entity numbers within a PDU's block.
    enum Part
    {
        PartChassis = 0,
        PartVoltage = 1,
        PartCurrent = 2,
        PartTemperature = 3,
        PartHumidity = 4,
        PartOutlet = 11,      // 11..18
        PartOutletSwitch = 21 // 21..28
    };

    // strIndexFile keeps the PDUs' numbers (CEntityIndexes).
    explicit CSnmpModel(const QString& strIndexFile, QObject* parent = nullptr);

    // Reads the numbers kept; false with the reason (errorString()) when they cannot be: then no PDU is
    // published until they can.
    bool loadIndexes();
    QString errorString() const { return m_indexes.errorString(); }
    // Why PDUs found since are left out (their numbers cannot be written); empty while all are numbered.
    QString indexTrouble() const { return m_strIndexTrouble; }

    // Where the devices and alarms come from; the snapshot is rebuilt every kRefreshMsec while both are
    // set. Either may be null.
    void setSources(CRackmind* pRegistry, CAlarmTracker* pTracker);

    // Builds the snapshot of these devices and alarms now and publishes it.
    std::shared_ptr<const CSnmpSnapshot> refresh(const QList<CPdu*>& listPdu,
                                                 const QList<ActiveAlarm>& listAlarms);
    // The same from the sources set, when both are.
    void refreshFromSources();
    // The last one published, from any thread; an empty one before the first.
    std::shared_ptr<const CSnmpSnapshot> snapshot() const;

    // An alarm of the tracker began or ended: its notification, from a snapshot that shows it.
    void alarmChanged(const ActiveAlarm& alarm, bool bBegan);

    // entConfigChange goes out at most once in this many ms (RFC 6933); a later change waits for the window.
    static constexpr qint64 kConfigChangeGapMs = 5000;

    // The agent's clock: TimeStamp values count hundredths of a second from this moment (Clock::elapsedMs).
    qint64 startMsecs() const { return m_iStartMsecs; }
    quint32 ticksAt(qint64 iMsecs) const;

signals:
    // A notification to send: PDUs came or went, one went offline or online, an alarm began or ended.
    void signalNotification(const SnmpNotification& notification);
    // indexTrouble() changed.
    void signalIndexTrouble();

private:
    // What changed between the last two snapshots, as notifications.
    void tellChanges(const CSnmpSnapshot& before, const CSnmpSnapshot& after);
    // Fills the chassis, its sensors and outlets of one PDU numbered uiBase.
    void addPdu(CSnmpSnapshot& snap, const CPdu& pdu, quint32 uiBase, const quint8 (&auiAlarms)[5]);
    // Keeps when each entity's operational state or alarms last changed.
    void stamp(SnmpEntity& entity);

    CEntityIndexes m_indexes;
    QString m_strIndexTrouble;
    QPointer<CRackmind> m_pRegistry;
    QPointer<CAlarmTracker> m_pTracker;
    QTimer m_timerRefresh;
    qint64 m_iStartMsecs = 0;
    mutable QMutex m_mutex;
    std::shared_ptr<const CSnmpSnapshot> m_pSnapshot;

    struct Seen
    {
        int iOper = 0;
        quint8 uiAlarm = 0;
        QByteArray baLastChanged;
        quint32 uiRefresh = 0; // the last refresh that had the entity
    };
    // The unit published under each MAC in the last snapshot (of two telling one MAC, the first heard).
    QHash<QString, const CPdu*> m_hashPublished;
    // Kept in place from one refresh to the next (a thousand PDUs are 21,000 entities each second).
    QHash<quint32, Seen> m_hashSeen;
    quint32 m_uiRefresh = 0;
    size_t m_uiPhysicalDigest = 0;
    quint32 m_uiLastChangeTicks = 0;
    bool m_bBuilt = false;
    qint64 m_iConfigToldMs = 0;
    bool m_bConfigToldEver = false;
    bool m_bConfigPending = false;
};
