#pragma once

#include "history/HistoryCodec.h"
#include "history/HistoryEvent.h"
#include "history/HistoryStore.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVector>

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

    // Readings of one device between two times, each point a summary (a poll is its own minimum,
    // average and maximum). Empty on failure, with the reason in error().
    QVector<HistoryAggregate> series(const QString& strMac, qint64 iFrom, qint64 iTo, Resolution resolution);

    struct EventFilter
    {
        qint64 iFrom = 0;
        qint64 iTo = 0;       // 0: no end
        QString strMac;       // empty: every device
        QList<int> listKinds; // empty: every kind
        QString strText;      // found in any text field, case-insensitively
        int iLimit = 5000;
    };
    // Newest first.
    QVector<HistoryEvent> events(const EventFilter& filter);

    struct Device
    {
        QString strMac;
        QString strName;
        QString strPosition;
        QString strAddress;
    };
    // Every device the file knows, with its latest name, position and address.
    QVector<Device> devices();

    // The alarms that stood when the program last stopped.
    QVector<StoredAlarm> standingAlarms();

    QString error() const { return m_strError; }

private:
    bool ready();
    QString m_strPath;
    QString m_strConnection;
    QSqlDatabase m_db;
    QString m_strError;
};
