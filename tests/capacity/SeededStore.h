#pragma once

#include "history/HistoryCodec.h"

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QVector>

// Minute or hour summaries written straight into a history file that a store has made, packed as the
// writer packs them: a month of readings in a moment.
namespace SeededStore {
constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;

// One summary per step from iFirst on, with these average currents (cA; -1: the device was offline)
// and maxima iSpike above them.
inline bool write(const QString& strPath, const QString& strMac, bool bHours, qint64 iFirst,
                  const QVector<int>& vecAverages, int iSpike)
{
    const qint64 iStep = bHours ? kHour : kMinute;
    const qint64 iRow = bHours ? 24 * kHour : kHour;
    QMap<qint64, QVector<HistoryAggregate>> mapRows;
    for (int i = 0; i < vecAverages.size(); ++i) {
        HistoryAggregate a;
        a.iMsecs = iFirst - iFirst % iStep + i * iStep;
        a.uiSamples = bHours ? 3600 : 60;
        if (vecAverages.at(i) >= 0) {
            a.uiOnline = a.uiSamples;
            a.aVoltage[0] = a.aVoltage[1] = a.aVoltage[2] = 230;
            a.aCentiAmps[0] = a.aCentiAmps[1] = quint16(vecAverages.at(i));
            a.aCentiAmps[2] = quint16(vecAverages.at(i) + iSpike);
        }
        mapRows[a.iMsecs - a.iMsecs % iRow] << a;
    }
    bool bOk = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(strPath);
        QSqlQuery query(db);
        bOk = db.open() && query.prepare(QStringLiteral("INSERT OR IGNORE INTO pdu (mac) VALUES (?)"));
        query.addBindValue(strMac);
        bOk = bOk && query.exec() && query.prepare(QStringLiteral("SELECT id FROM pdu WHERE mac = ?"));
        query.addBindValue(strMac);
        bOk = bOk && query.exec() && query.next();
        const qint64 iPdu = bOk ? query.value(0).toLongLong() : 0;
        for (auto it = mapRows.cbegin(); bOk && it != mapRows.cend(); ++it) {
            bOk = query.prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (pdu, t, data) VALUES (?, ?, ?)")
                                    .arg(bHours ? QLatin1String("agg_hour") : QLatin1String("agg_minute")));
            query.addBindValue(iPdu);
            query.addBindValue(it.key());
            query.addBindValue(HistoryCodec::packAggregates(it.value(), it.key(), true));
            bOk = bOk && query.exec();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
    return bOk;
}
} // namespace SeededStore
