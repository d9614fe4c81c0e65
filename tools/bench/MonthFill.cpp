#include "tools/bench/MonthFill.h"
#include "history/TimeSpans.h"

#include "tools/bench/HistoryFigures.h"

#include "history/HistoryCodec.h"
#include "history/HistoryStore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

#include <algorithm>
#include <cstdio>

namespace {
using namespace TimeSpans;
constexpr quint16 kVolts = 230;

HistoryAggregate minuteOf(int iPdu, qint64 iMinute)
{
    // Sixty polls at a steady load, summarised as the writer would.
    HistoryAggregate agg;
    agg.iMsecs = iMinute;
    const quint16 uiCenti = quint16(fillCentiAmps(iPdu, iMinute));
    std::fill(std::begin(agg.aVoltage), std::end(agg.aVoltage), kVolts);
    std::fill(std::begin(agg.aCentiAmps), std::end(agg.aCentiAmps), uiCenti);
    std::fill(std::begin(agg.aTemperature), std::end(agg.aTemperature), quint8(28));
    std::fill(std::begin(agg.aHumidity), std::end(agg.aHumidity), quint8(40));
    agg.uiOutlets = 0xFF;
    agg.uiOnline = agg.uiSamples = 60;
    agg.bEnergy = true;
    // Sixty one-second intervals (the trapezoid of equal ends).
    agg.iEnergy = 2LL * kVolts * uiCenti * kMinute;
    return agg;
}

bool put(QSqlQuery& query, qint64 iPdu, qint64 iTime, const QByteArray& baData)
{
    query.bindValue(0, iPdu);
    query.bindValue(1, iTime);
    query.bindValue(2, baData);
    if (query.exec())
        return true;
    std::fprintf(stderr, "bench: %s\n", qPrintable(query.lastError().text()));
    return false;
}
} // namespace

int fillCentiAmps(int iPdu, qint64 iMinuteMsecs)
{
    // A base load per device, busier in the day than at night, and a little wander per minute.
    const int iHourOfDay = int((iMinuteMsecs - floorTo(iMinuteMsecs, kDay)) / kHour);
    const int iDaytime = iHourOfDay >= 8 && iHourOfDay < 20 ? 150 : 0;
    return 200 + (iPdu * 37) % 400 + iDaytime + int((iMinuteMsecs / kMinute + iPdu) % 7) * 5;
}

bool fillMonth(const QString& strPath, int iPdus, int iGroups, qint64 iFromMsecs, qint64 iToMsecs)
{
    {
        CHistoryStore schema(strPath);
    }
    const QString strConnection = QStringLiteral("monthfill");
    bool bOk = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), strConnection);
        db.setDatabaseName(strPath);
        bOk = db.open() && QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=OFF")) && db.transaction();
        QSqlQuery pdu(db), label(db), raw(db), minute(db), hour(db), open(db);
        bOk = bOk && pdu.prepare(QStringLiteral("INSERT INTO pdu (id, mac) VALUES (?, ?)")) &&
              label.prepare(QStringLiteral("INSERT INTO pdu_label (pdu, t, name, position, address, grp) "
                                           "VALUES (?, ?, ?, '', ?, ?)")) &&
              raw.prepare(QStringLiteral("INSERT INTO raw (pdu, t, data) VALUES (?, ?, ?)")) &&
              open.prepare(QStringLiteral("INSERT INTO raw_open (pdu, t, data) VALUES (?, ?, ?)")) &&
              minute.prepare(QStringLiteral("INSERT INTO agg_minute (pdu, t, data) VALUES (?, ?, ?)")) &&
              hour.prepare(QStringLiteral("INSERT INTO agg_hour (pdu, t, data) VALUES (?, ?, ?)"));
        const qint64 iFirstMinute = floorTo(iFromMsecs, kMinute);
        const qint64 iMinutesFrom = qMax(iFirstMinute, floorTo(iToMsecs - 30 * kDay, kHour));
        const qint64 iPollsFrom = qMax(iFirstMinute, floorTo(iToMsecs - 2 * kHour, kMinute));
        const qint64 iOpenMinute = floorTo(iToMsecs, kMinute);
        for (int i = 1; bOk && i <= iPdus; ++i) {
            pdu.addBindValue(i);
            pdu.addBindValue(benchMac(i));
            label.addBindValue(i);
            label.addBindValue(iFromMsecs);
            label.addBindValue(QStringLiteral("PDU %1").arg(i));
            label.addBindValue(QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 0xFF).arg(i & 0xFF));
            label.addBindValue(QStringLiteral("Group %1").arg((i - 1) % iGroups + 1));
            bOk = pdu.exec() && label.exec();
            QVector<HistoryAggregate> vecMinutes, vecHours;
            for (qint64 iMinute = iFirstMinute; bOk && iMinute < iOpenMinute; iMinute += kMinute) {
                const HistoryAggregate agg = minuteOf(i, iMinute);
                if (iMinute >= iPollsFrom) {
                    QVector<HistorySample> vecPolls;
                    for (int k = 0; k < 60; ++k) {
                        HistorySample s;
                        s.iMsecs = iMinute + k * 1000;
                        s.bOnline = true;
                        s.uiVoltage = kVolts;
                        s.uiCentiAmps = agg.aCentiAmps[1];
                        vecPolls << s;
                    }
                    bOk = put(raw, i, iMinute, HistoryCodec::packSamples(vecPolls, iMinute, true));
                }
                if (iMinute >= iMinutesFrom)
                    vecMinutes << agg;
                if (vecHours.isEmpty() || vecHours.last().iMsecs != floorTo(iMinute, kHour)) {
                    HistoryAggregate h;
                    h.iMsecs = floorTo(iMinute, kHour);
                    vecHours << h;
                }
                vecHours.last().add(agg);
                const bool bHourEnds = floorTo(iMinute + kMinute, kHour) != floorTo(iMinute, kHour);
                if (bHourEnds && !vecMinutes.isEmpty()) {
                    const qint64 iRow = floorTo(vecMinutes.first().iMsecs, kHour);
                    bOk = bOk && put(minute, i, iRow, HistoryCodec::packAggregates(vecMinutes, iRow, true));
                    vecMinutes.clear();
                }
                if (floorTo(iMinute + kMinute, kDay) != floorTo(iMinute, kDay)) {
                    // The hour just ended is finished; the day's row is complete.
                    bOk = bOk && put(hour, i, floorTo(iMinute, kDay),
                                     HistoryCodec::packAggregates(vecHours, floorTo(iMinute, kDay), true));
                    vecHours.clear();
                }
            }
            // Finished hours of the last day, the minutes of the hour in progress, the minute in progress.
            if (bOk && !vecHours.isEmpty() && vecHours.last().iMsecs == floorTo(iOpenMinute, kHour))
                vecHours.removeLast();
            if (bOk && !vecHours.isEmpty())
                bOk = put(
                    hour, i, floorTo(vecHours.first().iMsecs, kDay),
                    HistoryCodec::packAggregates(vecHours, floorTo(vecHours.first().iMsecs, kDay), false));
            if (bOk && !vecMinutes.isEmpty())
                bOk = put(minute, i, floorTo(vecMinutes.first().iMsecs, kHour),
                          HistoryCodec::packAggregates(vecMinutes, floorTo(vecMinutes.first().iMsecs, kHour),
                                                       false));
            if (bOk && iToMsecs > iOpenMinute) {
                QVector<HistorySample> vecPolls;
                for (qint64 t = iOpenMinute; t < iToMsecs; t += 1000) {
                    HistorySample s;
                    s.iMsecs = t;
                    s.bOnline = true;
                    s.uiVoltage = kVolts;
                    s.uiCentiAmps = quint16(fillCentiAmps(i, iOpenMinute));
                    vecPolls << s;
                }
                bOk = put(open, i, iOpenMinute, HistoryCodec::packSamples(vecPolls, iOpenMinute, false));
            }
        }
        bOk = bOk && db.commit();
        if (!bOk)
            std::fprintf(stderr, "bench: the month cannot be filled: %s\n",
                         qPrintable(db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(strConnection);
    return bOk;
}
