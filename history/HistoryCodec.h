#pragma once

#include "common/HistorySample.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// Minimum, average and maximum of the online samples of one span (a minute or an hour), the outlet
// bits last seen and how many samples went in (offline ones included in iSamples, not in iOnline).
struct HistoryAggregate
{
    qint64 iMsecs = 0; // start of the span
    quint16 aVoltage[3] = {0, 0, 0};
    quint16 aCentiAmps[3] = {0, 0, 0};
    quint8 aTemperature[3] = {0, 0, 0};
    quint8 aHumidity[3] = {0, 0, 0};
    quint8 uiOutlets = 0;
    quint16 uiOnline = 0;
    quint16 uiSamples = 0;
    // Energy of the span in Energy units (see common/Energy.h): the intervals between answered polls
    // that end in the span. Rows written before energy was kept have none (bEnergy false).
    qint64 iEnergy = 0;
    bool bEnergy = false;
    // Running sums behind the averages while folding (not stored), so that rounding does not build up.
    qint64 aSum[4] = {0, 0, 0, 0};

    // Folds a sample or a finer aggregate in; iMsecs is the caller's.
    void add(const HistorySample& sample);
    void add(const HistoryAggregate& finer);
};

// Rows hold a span's records packed field by field (similar values sit together and compress well),
// with a leading format byte: 0 plain, 1 zlib. Offsets are relative to the row's start time.
namespace HistoryCodec {
QByteArray packSamples(const QVector<HistorySample>& vecSamples, qint64 iRowStart, bool bCompress);
QVector<HistorySample> unpackSamples(const QByteArray& baRow, qint64 iRowStart);
QByteArray packAggregates(const QVector<HistoryAggregate>& vecAggs, qint64 iRowStart, bool bCompress);
QVector<HistoryAggregate> unpackAggregates(const QByteArray& baRow, qint64 iRowStart);
} // namespace HistoryCodec
