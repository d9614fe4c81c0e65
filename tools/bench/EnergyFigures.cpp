#include "tools/bench/EnergyFigures.h"

#include "tools/bench/HistoryFigures.h"
#include "tools/bench/MonthFill.h"

#include "common/Energy.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>
#include <ctime>

namespace {
double threadCpuMsecs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// The writer's energy work for iSeconds batches of iPdus polls: the CPU it took, per second.
double accountingMsecsPerSecond(const QString& strPath, int iPdus, int iSeconds)
{
    {
        CHistoryStore schema(strPath);
    }
    double dMsecs = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("energy"));
        db.setDatabaseName(strPath);
        db.open();
        QSqlQuery(db).exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        QSqlQuery(db).exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
        QSqlQuery put(db);
        put.prepare(QStringLiteral("INSERT OR REPLACE INTO energy_total (pdu, total) VALUES (?, ?)"));
        QVector<HistorySample> vecLast(iPdus);
        QVector<qint64> vecTotal(iPdus);
        const qint64 iStart = QDateTime::currentMSecsSinceEpoch();
        for (int iSecond = 0; iSecond < iSeconds; ++iSecond) {
            db.transaction();
            const double dBefore = threadCpuMsecs();
            for (int i = 0; i < iPdus; ++i) {
                HistorySample s;
                s.iMsecs = iStart + iSecond * 1000;
                s.bOnline = true;
                s.uiVoltage = 230;
                s.uiCentiAmps = quint16(fillCentiAmps(i + 1, s.iMsecs));
                vecTotal[i] += Energy::between(vecLast.at(i), s);
                vecLast[i] = s;
                put.bindValue(0, i + 1);
                put.bindValue(1, vecTotal.at(i));
                put.exec();
            }
            dMsecs += threadCpuMsecs() - dBefore;
            db.commit();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("energy"));
    return dMsecs / iSeconds;
}
} // namespace

int runEnergyFigures(int iPdus, int iSeconds)
{
    QTemporaryDir dir;
    const double dAccounting =
        accountingMsecsPerSecond(dir.filePath(QStringLiteral("accounting.sqlite")), iPdus, qMax(1, iSeconds));
    const QString strPath = dir.filePath(QStringLiteral("month.sqlite"));
    const QDateTime dtNow = QDateTime::currentDateTime();
    const QDate dThisMonth(dtNow.date().year(), dtNow.date().month(), 1);
    const qint64 iFrom = QDateTime(dThisMonth.addMonths(-1), QTime(0, 0)).toMSecsSinceEpoch();
    QElapsedTimer timer;
    timer.start();
    if (!fillMonth(strPath, iPdus, 30, iFrom - 24 * 3600 * 1000LL, dtNow.toMSecsSinceEpoch()))
        return 1;
    const double dFill = timer.elapsed() / 1000.0;
    const qint64 aBounds[] = {iFrom, QDateTime(dThisMonth, QTime(0, 0)).toMSecsSinceEpoch(),
                              QDateTime(dtNow.date(), QTime(0, 0)).toMSecsSinceEpoch(),
                              dtNow.toMSecsSinceEpoch()};
    timer.restart();
    double dKvah = 0;
    {
        CHistoryReader reader(strPath);
        for (int i = 1; i <= iPdus; ++i) {
            const QString strMac = benchMac(i);
            dKvah += Energy::toKvah(reader.energy(strMac, aBounds[0], aBounds[1]));
            dKvah += Energy::toKvah(reader.energy(strMac, aBounds[1], aBounds[3]));
            dKvah += Energy::toKvah(reader.energy(strMac, aBounds[2], aBounds[3]));
        }
    }
    std::printf("| PDUs | energy accounting per second | share of a core | month file fill | every PDU's "
                "energy of last month, this month and today | sum |\n|---:|---:|---:|---:|---:|---:|\n"
                "| %d | %.2f ms | %.2f %% | %.1f s | %.2f s | %.0f kVAh |\n",
                iPdus, dAccounting, dAccounting / 10.0, dFill, timer.elapsed() / 1000.0, dKvah);
    return 0;
}
