#include "tools/bench/ThinningFigures.h"

#include "tools/bench/HistoryFigures.h"

#include "history/HistoryCodec.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QVariant>

#include <cstdio>

namespace {
constexpr qint64 kMinute = 60000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// The tables as the store fills them: a minute of polls, an hour of minutes, a day of hours.
const struct
{
    const char* pszTable;
    qint64 iSpan;
    int iRows;
    int iRecords; // per row
} kTables[] = {
    {"raw", kMinute, 24 * 60, 60}, {"agg_minute", kHour, 30 * 24, 60}, {"agg_hour", kDay, 730, 24}};

// A row the store could have written: readings with a little noise (mains 229-231 V, about 3 A), packed
// and compressed as the writer does, so that the file holds rows of the real size that read back.
QByteArray realRow(const char* pszTable, int iRecords)
{
    quint32 uiSeed = 12345;
    auto noise = [&uiSeed](int iRange) {
        uiSeed = uiSeed * 1103515245u + 12345u;
        return int((uiSeed >> 16) % quint32(iRange));
    };
    QVector<HistorySample> vecSamples;
    QVector<HistoryAggregate> vecAggs;
    const qint64 iStep =
        qstrcmp(pszTable, "agg_hour") == 0 ? kHour : (qstrcmp(pszTable, "raw") == 0 ? 1000 : kMinute);
    for (int i = 0; i < iRecords; ++i) {
        HistorySample s;
        s.iMsecs = i * iStep;
        s.bOnline = true;
        s.uiVoltage = quint16(229 + noise(3));
        s.uiCentiAmps = quint16(290 + noise(25));
        s.uiTemperature = quint8(25 + noise(2));
        s.uiHumidity = quint8(44 + noise(3));
        s.uiOutlets = 0xF7;
        vecSamples << s;
        HistoryAggregate agg;
        agg.iMsecs = s.iMsecs;
        agg.add(s);
        s.uiCentiAmps = quint16(s.uiCentiAmps + noise(10));
        agg.add(s);
        agg.iEnergy = 2LL * s.uiVoltage * s.uiCentiAmps * iStep;
        vecAggs << agg;
    }
    return qstrcmp(pszTable, "raw") == 0 ? HistoryCodec::packSamples(vecSamples, 0, true)
                                         : HistoryCodec::packAggregates(vecAggs, 0, true);
}

bool exec(QSqlDatabase& db, const QString& strSql, const QVariantList& listBind = {})
{
    QSqlQuery query(db);
    query.prepare(strSql);
    for (const QVariant& value : listBind)
        query.addBindValue(value);
    if (query.exec())
        return true;
    std::fprintf(stderr, "bench: %s: %s\n", qPrintable(strSql), qPrintable(query.lastError().text()));
    return false;
}

// The file as the store leaves it after two years of iPdus PDUs, its newest rows ending now.
bool fill(const QString& strPath, int iPdus, qint64 iNow)
{
    {
        CHistoryStore schema(strPath);
    }
    bool bOk = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(strPath);
        bOk = db.open() && exec(db, QStringLiteral("PRAGMA journal_mode=OFF")) &&
              exec(db, QStringLiteral("PRAGMA synchronous=OFF")) && db.transaction();
        QSqlQuery pdu(db);
        pdu.prepare(QStringLiteral("INSERT INTO pdu (id, mac) VALUES (?, ?)"));
        for (int i = 1; bOk && i <= iPdus; ++i) {
            pdu.addBindValue(i);
            pdu.addBindValue(benchMac(i));
            bOk = pdu.exec();
        }
        for (const auto& t : kTables) {
            const qint64 iNewest = iNow - iNow % t.iSpan;
            bOk = bOk &&
                  exec(db,
                       QStringLiteral("INSERT INTO %1 (pdu, t, data) SELECT p.id, ? - c.i * ?, ? "
                                      "FROM pdu p, (WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 "
                                      "FROM c WHERE i < ?) SELECT i FROM c) c ORDER BY p.id, c.i DESC")
                           .arg(QLatin1String(t.pszTable)),
                       {iNewest, t.iSpan, realRow(t.pszTable, t.iRecords), t.iRows});
        }
        bOk = bOk && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return bOk;
}

// One thinning pass a minute on, in a transaction rolled back so that every pass sees the same file.
double thinMsecs(const QString& strPath, qint64 iNow, bool bAlongTheKey, int* piDeleted)
{
    double dMsecs = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("thin"));
        db.setDatabaseName(strPath);
        if (db.open() && db.transaction()) {
            QElapsedTimer clock;
            clock.start();
            *piDeleted = 0;
            const HistoryRetention retention;
            const qint64 aiKeep[] = {retention.iRawHours * kHour, retention.iMinuteDays * kDay,
                                     retention.iHourDays * kDay};
            for (int k = 0; k < 3; ++k) {
                const char* pszTable = kTables[k].pszTable;
                QSqlQuery query(db);
                query.prepare(
                    bAlongTheKey
                        ? CHistoryWriter::thinStatement(pszTable, false)
                        : QStringLiteral("DELETE FROM %1 WHERE t <= ?").arg(QLatin1String(pszTable)));
                query.addBindValue(iNow + kMinute - aiKeep[k] - kTables[k].iSpan);
                query.exec();
                *piDeleted += query.numRowsAffected();
                if (bAlongTheKey) {
                    query.prepare(CHistoryWriter::thinStatement(pszTable, true));
                    query.addBindValue(iNow + kMinute);
                    query.addBindValue(iNow + kMinute);
                    query.exec();
                }
            }
            dMsecs = clock.nsecsElapsed() / 1e6;
            db.rollback();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("thin"));
    return dMsecs;
}

// Every PDU's poll each second for iSeconds through the store on its own thread, with the real clock:
// the writer thins each minute meanwhile.
void live(const QString& strPath, int iPdus, int iSeconds, qint64* piDropped, double* pdFlushMsecs)
{
    CHistoryStore store(strPath);
    QVector<QString> vecMacs;
    for (int i = 1; i <= iPdus; ++i)
        vecMacs << benchMac(i);
    QElapsedTimer clock;
    clock.start();
    for (int iSecond = 0; iSecond < iSeconds; ++iSecond) {
        HistorySample s;
        s.iMsecs = QDateTime::currentMSecsSinceEpoch();
        s.bOnline = true;
        s.uiVoltage = 230;
        s.uiCentiAmps = 320;
        s.uiTemperature = 25;
        s.uiHumidity = 45;
        s.uiOutlets = 0xF7;
        for (const QString& strMac : qAsConst(vecMacs))
            store.addSample(strMac, s);
        const qint64 iWait = (iSecond + 1) * 1000LL - clock.elapsed();
        if (iWait > 0)
            QThread::msleep(ulong(iWait));
    }
    QElapsedTimer clockFlush;
    clockFlush.start();
    store.flush();
    *pdFlushMsecs = clockFlush.nsecsElapsed() / 1e6;
    *piDropped = store.droppedSamples();
}
} // namespace

int runThinningFigures(const QList<int>& listSizes, int iLiveSeconds)
{
    std::printf("| PDUs | file | fill | one thinning pass: along the key / whole tables | rows thinned | "
                "live %d s: samples dropped | backlog at the end |\n|---:|---:|---:|---:|---:|---:|---:|\n",
                iLiveSeconds);
    std::fflush(stdout);
    for (int iPdus : listSizes) {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("full.sqlite"));
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        QElapsedTimer clockFill;
        clockFill.start();
        if (!fill(strPath, iPdus, iNow))
            return 1;
        const double dFill = clockFill.elapsed() / 1000.0;
        int iDeletedKey = 0, iDeletedScan = 0;
        thinMsecs(strPath, iNow, true, &iDeletedKey); // warms the page cache for both
        const double dKey = thinMsecs(strPath, iNow, true, &iDeletedKey);
        const double dScan = thinMsecs(strPath, iNow, false, &iDeletedScan);
        qint64 iDropped = 0;
        double dFlush = 0;
        live(strPath, iPdus, iLiveSeconds, &iDropped, &dFlush);
        std::printf("| %d | %.2f GB | %.0f s | %.1f ms / %.0f ms | %d / %d | %lld | %.0f ms |\n", iPdus,
                    QFileInfo(strPath).size() / 1e9, dFill, dKey, dScan, iDeletedKey, iDeletedScan,
                    static_cast<long long>(iDropped), dFlush);
        std::fflush(stdout);
    }
    return 0;
}
