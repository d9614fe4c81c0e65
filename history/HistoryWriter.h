#pragma once

#include "common/HistoryEvent.h"
#include "history/HistoryCodec.h"
#include "history/HistoryStore.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVector>

#include <array>
#include <mutex>

class QTimer;

// The store's worker on "HistoryThread": owns the one writing connection, takes what callers queued
// once per batch interval and writes it in one transaction, finishing minutes and hours into their
// summaries as samples of a later span arrive.
class CHistoryWriter : public QObject
{
    Q_OBJECT
public:
    CHistoryWriter(CHistoryStore* pStore, const QString& strPath);
    ~CHistoryWriter() override;

    // Queued from any thread.
    void enqueueSample(const QString& strMac, const HistorySample& sample);
    void enqueueLabel(const QString& strMac, const QStringList& listLabel);
    void enqueueEvent(const HistoryEvent& event);
    void enqueueAlarm(const StoredAlarm& alarm);
    void enqueueBudget(const QString& strGroup, double dBreakerAmps, double dDerating);
    QHash<QString, qint64> energyTotals()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_hashTotals;
    }
    void setRetention(const HistoryRetention& retention);
    // Samples turned away because the queue was full, since the start.
    qint64 droppedSamples()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_iDroppedSamples;
    }
    // Samples waiting for the file now.
    qint64 pendingSamples()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_vecSamples.size();
    }
    // The statement that thins a table: rows aged out (one bound value), or (bFuture) rows stamped after
    // now up to a newest stamp (two).
    static QString thinStatement(const char* pszTable, bool bFuture);

    // Bounds on what waits while the file cannot be written: the newest events are kept longest.
    // Samples wait for kPendingSeconds of the room's polls (RoomRate); kMaxPendingSamples bounds the
    // memory whatever the rate.
    static constexpr int kPendingSeconds = 30;
    static constexpr int kMaxPendingSamples = 200000;
    // How many samples may wait: kPendingSeconds of those offered, at the average rate of the whole
    // seconds in the last kWindow, once kSettle have passed (a room found PDU by PDU at start would look
    // small). Half a minute lets several retries of the file and another writer's lock time-out pass
    // without a loss, and shows a file that stays unusable in the dropped count within half a minute,
    // in a room of one PDU as of thousands.
    class RoomRate
    {
    public:
        static constexpr int kWindow = 60;
        static constexpr int kSettle = 5;
        // A sample offered at iMsecs of a clock that only runs forward.
        void offer(qint64 iMsecs);
        int cap() const { return m_iCap; }

    private:
        std::array<qint64, kWindow> m_aiOffered{}; // by second modulo kWindow
        qint64 m_iSum = 0;                         // of the whole seconds among them
        qint64 m_iSecond = -1;                     // the second being counted
        qint64 m_iFirst = 0;                       // the first second counted
        int m_iCap = kMaxPendingSamples;
    };
    static constexpr int kMaxPendingEvents = 20000;
    static constexpr int kRetryMsec = 5000;
    // Samples turned away are told at most this often, so that a room the file cannot keep up with does
    // not fill the log it is told in.
    static constexpr qint64 kDropReportMsec = 60000;
    // A large room rewrites one row per device every second (its minute in progress, in a small table
    // of its own): checkpoints copy each page once per many batches rather than after every one, and
    // the pages stay cached.
    static constexpr int kCheckpointPages = 10000;
    static constexpr int kCacheKib = 64 * 1024;

public slots:
    void slotStart();
    void slotBatch();
    void slotStop();
    // Stores what is pending and thins at once, trying the file again without waiting for the retry.
    void slotFlush();

private:
    struct PduState
    {
        qint64 iId = 0;
        qint64 iMinute = -1;       // start of the minute being filled
        qint64 iNewestMinute = -1; // the newest minute the file holds among the finished ones
        QVector<HistorySample> vecMinute;
        qint64 iHour = -1; // start of the hour whose minutes are being filled
        QVector<HistoryAggregate> vecHour;
        bool bDirty = false;
        // The last poll before the minute being filled: the first interval of the minute ends it.
        HistorySample before;
        // The poll that came last, in the order polls came, and the energy since the file first saw the
        // device: a clock set back adds nothing, never takes away.
        HistorySample last;
        qint64 iTotal = 0;
        bool bTotalDirty = false;
    };

    bool open();
    void close(const QString& strReason);
    bool exec(const QString& strSql);
    bool writeBatch();
    bool writeAlarms(const QVector<StoredAlarm>& vecAlarms);
    bool writeBudgets(const QVector<QPair<QString, QPair<double, double>>>& vecBudgets);
    bool upgrade(int iVersion);
    bool thin(qint64 iNow);
    // The time rows age by: the wall clock, except just after it jumped ahead of the time that passed.
    qint64 agingNow(qint64 iNow);
    PduState* state(const QString& strMac);
    bool addSample(PduState& state, const HistorySample& sample);
    bool finishMinute(PduState& state);
    bool finishHour(PduState& state);
    bool putRow(const char* pszTable, qint64 iPdu, qint64 iTime, const QByteArray& baData);
    bool putOpen(const char* pszTable, qint64 iPdu, qint64 iValue, const QByteArray& baData);
    HistorySample lastBefore(qint64 iPdu, qint64 iMinute);
    QByteArray getRow(const char* pszTable, qint64 iPdu, qint64 iTime, bool* pFound = nullptr);
    QString failure(const QString& strWhat) const;
    // Tells of samples turned away since the last time, once kDropReportMsec have passed since then.
    void reportDrops();
    // After a write that failed the file counts as available again only once a batch went in: a full
    // disk opens well and fails the next write, which would otherwise flap every retry.
    void writtenAgain();

    CHistoryStore* m_pStore;
    QString m_strPath;
    QString m_strConnection;
    QSqlDatabase m_db;
    bool m_bOpen = false;
    bool m_bWriteFailed = false; // the last write failed: see writtenAgain()
    QElapsedTimer m_timerRetry;
    QTimer* m_pTimer = nullptr;
    QHash<QString, PduState> m_hashPdu;
    // Prepared row writes by table name (names are literals, compared by address).
    QHash<const char*, QSqlQuery> m_hashPut;
    qint64 m_iLastThinMinute = -1;
    // The last wall time rows were aged by, with the monotonic clock then; when the wall clock began
    // running ahead of the time that passed (-1: it does not). A step ahead is trusted after
    // kTrustAheadMsecs.
    qint64 m_iAgedWall = -1;
    qint64 m_iAgedMono = 0;
    qint64 m_iAheadSinceMono = -1;
    // When the writer started or last saw the wall clock set back (-1: before its first thinning).
    qint64 m_iBehindSinceMono = -1;
    // The newest sample stamp this run wrote (-1: none yet).
    qint64 m_iNewestWritten = -1;
    static constexpr qint64 kTrustAheadMsecs = 24 * 60 * 60 * 1000;
    qint64 m_iReportedDrops = 0;
    qint64 m_iDropReportMono = 0;
    bool m_bDropsReported = false;

    std::mutex m_mutex;
    QVector<QPair<QString, HistorySample>> m_vecSamples;
    QVector<QPair<QString, QStringList>> m_vecLabels;
    QVector<HistoryEvent> m_vecEvents;
    QVector<StoredAlarm> m_vecAlarms;
    QVector<QPair<QString, QPair<double, double>>> m_vecBudgets;
    QHash<QString, qint64> m_hashTotals;
    HistoryRetention m_retention;
    qint64 m_iDroppedSamples = 0;
    // Measured on the writer's own clock, as its batches run: a test that steps the program's clock
    // through hours hands them over in a moment, and the writer takes them at its real pace.
    QElapsedTimer m_timerRate;
    RoomRate m_rate;
};
