#pragma once

#include "history/HistoryCodec.h"

#include <QHash>
#include <QString>
#include <QVector>
#include <QtGlobal>

#include <atomic>

// What the capacity window shows beside the live load, read from the history file: each PDU's and each
// group's peak and 95th percentile of current over the last 24 hours (from minute summaries) and the last
// 30 days (from hour summaries), and its energy today, this month and last month (local time).
//
// A PDU's peak is the highest current of any poll the summaries saw; its 95th percentile is the
// nearest-rank percentile of the summaries' averages. A group's figures come from the sum of its PDUs'
// averages in each minute or hour: its peak is the highest such sum, a peak of averages, which a short
// surge shared by several PDUs can exceed.
namespace CapacityFigures {

enum EnergySpan
{
    Today,
    ThisMonth,
    LastMonth,
    EnergySpanCount
};

// Amperes; NaN where the file holds no online reading for the span.
struct Current
{
    double dPeak = qQNaN();
    double dP95 = qQNaN();
};

struct Figures
{
    Current day;   // the last 24 hours
    Current month; // the last 30 days
    // Energy units (common/Energy.h); incomplete where part of the span lies in rows written before
    // energy was kept.
    qint64 aEnergy[EnergySpanCount] = {0, 0, 0};
    bool aEnergyComplete[EnergySpanCount] = {true, true, true};
};

struct Member
{
    QString strMac;
    QString strGroup;
    bool operator==(const Member& other) const
    {
        return strMac == other.strMac && strGroup == other.strGroup;
    }
    bool operator!=(const Member& other) const { return !(*this == other); }
};

struct Result
{
    QHash<QString, Figures> hashPdus;   // by MAC
    QHash<QString, Figures> hashGroups; // by group name
    qint64 iNow = 0;
    bool bCancelled = false;
    QString strError; // why the file could not be read; empty when it could
};

// Reads every member's figures as of iNow, on up to iThreads threads (0: as many as the machine has, at
// most four), each with a reader of its own. Setting *pbCancel stops it between devices.
Result compute(const QString& strPath, const QVector<Member>& vecMembers, qint64 iNow, int iThreads = 0,
               const std::atomic<bool>* pbCancel = nullptr);

// The nearest-rank percentile (the smallest value with at least dPercent % of the values at or below
// it); NaN for no values.
double nearestRank(QVector<double> vecValues, double dPercent);
// Peak (of the maxima) and 95th percentile (of the averages) of the online summaries, in amperes.
Current currentOf(const QVector<HistoryAggregate>& vecSummaries);
// Where a span of energy starts, in local time: today's midnight, the first of this month or of the
// month before.
qint64 spanStart(EnergySpan span, qint64 iNow);
// Where it ends: now, or the first of this month for last month.
qint64 spanEnd(EnergySpan span, qint64 iNow);

} // namespace CapacityFigures
