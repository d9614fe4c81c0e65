#pragma once

#include "common/HistoryEvent.h"
#include "history/HistoryCodec.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QSet>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// Reads the history file on the calling thread through a read-only connection of its own; the writer
// keeps writing meanwhile (the file's journal lets readers and the writer pass each other).
class CHistoryReader
{
public:
    explicit CHistoryReader(const QString& strPath);
    ~CHistoryReader();
    CHistoryReader(const CHistoryReader&) = delete;
    CHistoryReader& operator=(const CHistoryReader&) = delete;

    enum Resolution
    {
        EveryPoll,
        Minutes,
        Hours
    };
    // The finest resolution kept for a span this long: every poll up to 3 hours, minutes up to 8 days.
    static Resolution resolutionFor(qint64 iSpanMsecs);
    // What to read a device's span at: the finest resolution the span's length allows whose rows reach
    // back to the span's start (polls are thinned after a day, minutes after a month); failing that, the
    // finest one holding anything of the span.
    Resolution resolutionHolding(const QString& strMac, qint64 iFrom, qint64 iTo);

    // Readings of one device between two times, each point a summary (a poll is its own minimum,
    // average and maximum). Empty on failure, with the reason in error().
    QVector<HistoryAggregate> series(const QString& strMac, qint64 iFrom, qint64 iTo, Resolution resolution);
    // The polls themselves between two times (where the file still keeps them), in time order.
    QVector<HistorySample> polls(const QString& strMac, qint64 iFrom, qint64 iTo);

    struct EventFilter
    {
        qint64 iFrom = 0;
        qint64 iTo = 0;       // 0: no end
        QString strMac;       // empty: every device
        QList<int> listKinds; // empty: every kind
        QString strText;      // found in any text field, case-insensitively
        int iLimit = 5000;    // 0: every event
        // Only events after this one in the order read (newest first): a page that goes on where the
        // last one ended, however many events have come since. iAfterMsecs < 0: from the newest.
        qint64 iAfterMsecs = -1;
        qint64 iAfterId = 0;
    };
    // Newest first.
    QVector<HistoryEvent> events(const EventFilter& filter);
    // The same, one event at a time, without holding them all (an export of two years of events).
    bool forEachEvent(const EventFilter& filter, const std::function<void(const HistoryEvent&)>& fnEach);

    struct Device
    {
        QString strMac;
        QString strName;
        QString strPosition;
        QString strAddress;
        QString strGroup;
    };
    // Every device the file knows, with its latest name, position, address and group.
    QVector<Device> devices();

    // A device's names, positions, addresses and groups over time, oldest first: each holds from its
    // time until the next one's.
    struct Label
    {
        qint64 iMsecs = 0;
        QString strName;
        QString strPosition;
        QString strAddress;
        QString strGroup; // empty in entries written before groups were kept
    };
    QVector<Label> labels(const QString& strMac);

    // Group budgets over time, oldest first; each holds for its group from its time until the group's
    // next one. A breaker of 0 means the group had none from then on.
    struct Budget
    {
        qint64 iMsecs = 0;
        QString strGroup;
        double dBreakerAmps = 0;
        double dDerating = 0.8;
    };
    QVector<Budget> budgets();

    // Energy (Energy units) of a device's intervals that end in [iFrom, iTo): exact from the polls where
    // the file still holds them, from the minute and hour sums beyond. *pbComplete (when given) turns
    // false when part of the span lies in rows written before energy was kept.
    qint64 energy(const QString& strMac, qint64 iFrom, qint64 iTo, bool* pbComplete = nullptr);

    // The alarms that stood when the program last stopped.
    QVector<StoredAlarm> standingAlarms();

    QString error() const { return m_strError; }

private:
    bool ready();
    QString groupColumn() const;
    bool forEachRow(int iResolution, const QString& strMac, qint64 iFrom, qint64 iTo,
                    const std::function<void(qint64, const QByteArray&)>& fnRow);
    // Energy of whole spans from one summary table (hours or minutes) that lie in [iFrom, iTo),
    // marking each span used.
    qint64 summedEnergy(qint64 iPdu, int iResolution, qint64 iFrom, qint64 iTo, QSet<qint64>& setUsed,
                        bool* pbComplete);
    int m_iVersion = 0;
    QString m_strPath;
    QString m_strConnection;
    QSqlDatabase m_db;
    QString m_strError;
};
