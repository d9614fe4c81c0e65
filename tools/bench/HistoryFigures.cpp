#include "tools/bench/HistoryFigures.h"

#include "common/Clock.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "ui/history/HistoryWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace {
constexpr qint64 kMinute = 60000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;
std::atomic<qint64> s_iNow{0};

// Mains with a little noise, a load drifting slowly, a room's climate: what a rack reports.
struct Room
{
    QRandomGenerator rng{20261207};
    double dLoad = 3.2;
    HistorySample next(qint64 t, int i)
    {
        HistorySample s;
        s.iMsecs = t;
        s.bOnline = true;
        s.uiVoltage = quint16(229 + rng.bounded(3));
        dLoad = qBound(0.5, dLoad + (rng.bounded(200) - 100) / 10000.0, 12.0);
        s.uiCentiAmps = quint16(std::lround(dLoad * 100) + i % 7);
        s.uiTemperature = quint8(24 + (t / (3 * kHour) + i) % 3);
        s.uiHumidity = quint8(44 + (t / (5 * kHour) + i) % 4);
        s.uiOutlets = 0xF7;
        return s;
    }
};

qint64 tableBytes(const QString& strPath, const char* pszTable)
{
    qint64 iBytes = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("figures"));
        db.setDatabaseName(strPath);
        QSqlQuery query(db);
        if (db.open() &&
            query.exec(QStringLiteral("SELECT sum(length(data)) + 16 * count(*) FROM %1")
                           .arg(QLatin1String(pszTable))) &&
            query.next())
            iBytes = query.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("figures"));
    return iBytes;
}

// A day and two hours of polls every second for a few PDUs, through the store as the program feeds it.
void bytesPerDay()
{
    const int iPdus = 20;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("day.sqlite"));
    const qint64 iStart = 1767225600000; // a midnight
    Clock::setSource([] { return QDateTime::fromMSecsSinceEpoch(s_iNow.load(), Qt::UTC); });
    Room room;
    QElapsedTimer clock;
    clock.start();
    {
        CHistoryStore store(strPath);
        for (qint64 t = iStart; t < iStart + kDay + 2 * kHour; t += 1000) {
            s_iNow = t;
            for (int i = 0; i < iPdus; ++i)
                store.addSample(benchMac(i), room.next(t, i));
            if (t % kMinute == 0)
                store.flush();
        }
        store.flush();
    }
    const double dSeconds = clock.elapsed() / 1000.0;
    Clock::setSource(nullptr);
    const double dRaw = double(tableBytes(strPath, "raw")) / iPdus;                     // the last 24 hours
    const double dMinute = double(tableBytes(strPath, "agg_minute")) / iPdus / 26 * 24; // per day
    const double dHour = double(tableBytes(strPath, "agg_hour")) / iPdus / 26 * 24;
    // Page overhead: what the file holds beyond the rows' bytes.
    const double dRows = (dRaw + dMinute / 24 * 26 + dHour / 24 * 26) * iPdus;
    const double dOverhead = dRows > 0 ? double(QFileInfo(strPath).size()) / dRows : 1;
    const double dSteady = (dRaw + 30 * dMinute + 730 * dHour) * std::max(1.0, dOverhead);
    std::printf("| polls per PDU per day (1 s) | 86400 |\n");
    std::printf("| every poll, 24 hours | %.0f bytes per PDU |\n", dRaw);
    std::printf("| one-minute summaries | %.0f bytes per PDU per day |\n", dMinute);
    std::printf("| one-hour summaries | %.0f bytes per PDU per day |\n", dHour);
    std::printf("| written per PDU per day | %.0f bytes |\n", dRaw + dMinute + dHour);
    std::printf("| file / row bytes | %.2f |\n", dOverhead);
    std::printf("| per PDU at default retention (24 h, 30 d, 2 y) | %.2f MB |\n", dSteady / 1e6);
    std::printf("| 1000 PDUs at default retention | %.2f GB |\n", dSteady * 1000 / 1e9);
    std::printf("| wall time to store %d PDU-days | %.1f s |\n", iPdus, dSeconds);
}

// 2000 PDUs with a week of minutes and hours, written straight into the file, then the window.
void chartOpenTime()
{
    const int iPdus = 2000;
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("week.sqlite"));
    const qint64 iEnd = 1767225600000;
    const qint64 iStart = iEnd - 7 * kDay;
    {
        CHistoryStore schema(strPath);
    }
    Room room;
    QVector<QByteArray> vecHours, vecDays;
    for (qint64 h = iStart; h < iEnd; h += kHour) {
        QVector<HistoryAggregate> vec;
        for (qint64 m = h; m < h + kHour; m += kMinute) {
            HistoryAggregate agg;
            agg.iMsecs = m;
            for (qint64 t = m; t < m + kMinute; t += 1000)
                agg.add(room.next(t, 1));
            vec << agg;
        }
        vecHours << HistoryCodec::packAggregates(vec, h, true);
    }
    QElapsedTimer clockFill;
    clockFill.start();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(strPath);
        db.open();
        db.transaction();
        QSqlQuery pdu(db), row(db);
        pdu.prepare(QStringLiteral("INSERT INTO pdu (id, mac) VALUES (?, ?)"));
        row.prepare(QStringLiteral("INSERT INTO agg_minute (pdu, t, data) VALUES (?, ?, ?)"));
        for (int i = 1; i <= iPdus; ++i) {
            pdu.addBindValue(i);
            pdu.addBindValue(benchMac(i));
            pdu.exec();
            for (int h = 0; h < vecHours.size(); ++h) {
                row.addBindValue(i);
                row.addBindValue(iStart + h * kHour);
                row.addBindValue(vecHours.at(h));
                row.exec();
            }
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    std::printf("| store with %d PDUs x 7 days of minutes | %.0f MB (filled in %.1f s) |\n", iPdus,
                QFileInfo(strPath).size() / 1e6, clockFill.elapsed() / 1000.0);

    s_iNow = iEnd;
    Clock::setSource([] { return QDateTime::fromMSecsSinceEpoch(s_iNow.load(), Qt::UTC); });
    CHistoryStore store(strPath);
    QVector<double> vecOpen;
    int iPoints = 0;
    for (int iRun = 0; iRun < 5; ++iRun) {
        QElapsedTimer clock;
        clock.start();
        auto* pWindow = new CHistoryWindow(benchMac(1 + iRun * 397), nullptr, &store);
        pWindow->findChild<QComboBox*>(QStringLiteral("ComboSpan"))->setCurrentIndex(2);
        pWindow->show();
        QApplication::processEvents();
        vecOpen << clock.nsecsElapsed() / 1e6;
        iPoints = pWindow->points().size();
        delete pWindow;
    }
    Clock::setSource(nullptr);
    std::sort(vecOpen.begin(), vecOpen.end());
    std::printf("| 7-day chart of one PDU, opened and drawn (%d points) | median %.0f ms, max %.0f ms |\n",
                iPoints, vecOpen.at(vecOpen.size() / 2), vecOpen.last());
}
} // namespace

QString benchMac(int i)
{
    return QStringLiteral("00:04:A3:%1:%2:%3")
        .arg((i >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((i >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg(i & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

int runHistoryFigures()
{
    std::printf("| history store | figure |\n|---|---:|\n");
    std::fflush(stdout);
    bytesPerDay();
    std::fflush(stdout);
    chartOpenTime();
    return 0;
}
