#pragma once

#include "common/HistoryEvent.h"
#include "history/HistoryCodec.h"

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

class CHistoryWriter;

// An alarm that stands, as the store keeps it across a restart of the program.
struct StoredAlarm
{
    QString strMac;
    QString strAddress;
    int iCondition = 0;
    qint64 iSince = 0;        // msecs since the epoch
    qint64 iAcknowledged = 0; // 0 while not acknowledged
    QString strAcknowledgedBy;
    bool bEnded = false; // as handed to the store: the alarm is over and its entry goes
};

// How long the store keeps each resolution; older rows are thinned away by the store itself.
struct HistoryRetention
{
    int iRawHours = 24;
    int iMinuteDays = 30;
    int iHourDays = 730;
    int iEventDays = 730;
};

// The history file: every poll of every PDU, thinned into one-minute and one-hour summaries as it
// ages, and the event log. Callers hand samples and events in from any thread and return at once; a
// writer on "HistoryThread" stores them in batched transactions. A file that cannot be opened or
// written leaves the console running: the store reports why and retries now and then.
class CHistoryStore : public QObject
{
    Q_OBJECT
public:
    explicit CHistoryStore(const QString& strPath = defaultPath(), QObject* parent = nullptr);
    // Writes what is pending, then stops the writer.
    ~CHistoryStore() override;

    // "history.sqlite" in the application's data folder.
    static QString defaultPath();
    // Before SQLite opens strPath by name: neither the store nor the files it keeps beside it is a link,
    // a second name or a file of a stranger, so that root reading or writing a store in the service's
    // folder reaches nothing else. False, with "the history file ... cannot be opened" and why, when not.
    static bool checkFiles(const QString& strPath, QString* pstrWhy);
    static constexpr int kSchemaVersion = 3;
    static constexpr int kBatchMsec = 1000;

    QString path() const { return m_strPath; }
    void setRetention(const HistoryRetention& retention);

    void addSample(const QString& strMac, const HistorySample& sample);
    // Name, position, address and group of a device, kept with the time they were first seen.
    void setLabel(const QString& strMac, const QString& strName, const QString& strPosition,
                  const QString& strAddress, const QString& strGroup = QString());
    // A group's budget (breaker 0: none), kept with the time it was set when it differs from the last.
    void setBudget(const QString& strGroup, double dBreakerAmps, double dDerating);
    // Every device's energy since the file first recorded it (Energy units), by MAC: never smaller than
    // an earlier answer, across restarts too (the file keeps the totals).
    QHash<QString, qint64> energyTotals() const;
    // The event log's one entry point, for every part of the program.
    void record(HistoryEvent event);
    void record(int iKind, const QString& strMac, const QString& strPdu, const QString& strSubject,
                const QString& strOld = QString(), const QString& strNew = QString(),
                const QString& strLimit = QString(), const QString& strDetail = QString());

    // Keeps (or, once ended, drops) a standing alarm with its acknowledgement.
    void keepAlarm(const StoredAlarm& alarm);

    // Blocking: stores what is pending now, then thins by the clock (tests, benchmarks, shutdown).
    void flush();

    // Samples the writer's queue had no room for since the start (it holds some seconds of the room's
    // polls), and those waiting in it now.
    qint64 droppedSamples() const;
    qint64 pendingSamples() const;

    bool isAvailable() const;
    // Why the store cannot be used, in the user's language; empty while it can.
    QString unavailableReason() const;

signals:
    void signalAvailabilityChanged(bool bAvailable, QString strReason);
    // After a batch with events went in, so that an open events window can follow.
    void signalEventsWritten();
    // On the writer's thread, at most once a minute while samples are being turned away: how many were
    // since the last time (the event log has the same entry).
    void signalSamplesDropped(qint64 iCount);

private:
    friend class CHistoryWriter;
    void setAvailability(bool bAvailable, const QString& strReason);

    QString m_strPath;
    QThread m_thread;
    CHistoryWriter* m_pWriter = nullptr;
    mutable QMutex m_mutexState;
    bool m_bAvailable = false;
    QString m_strReason;
};
