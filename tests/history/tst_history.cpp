#include "common/Clock.h"
#include "common/Energy.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"
#include "metrics/MetricsExporter.h"
#include "tests/common/TestFiles.h"

#include <QProcess>
#include <QSemaphore>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <atomic>
#include <csignal>
#include <ctime>
#include <grp.h>
#include <unistd.h>

namespace {
constexpr qint64 kMinute = 60000;
constexpr qint64 kHour = 60 * kMinute;
std::atomic<qint64> s_iNow{0};
const QString kMac = QStringLiteral("00:04:A3:12:34:56");

HistorySample sampleAt(qint64 iMsecs, quint16 uiVoltage)
{
    HistorySample s;
    s.iMsecs = iMsecs;
    s.bOnline = true;
    s.uiVoltage = uiVoltage;
    s.uiCentiAmps = quint16(uiVoltage * 2);
    s.uiTemperature = 30;
    s.uiHumidity = 40;
    s.uiOutlets = 0x5A;
    return s;
}

// Wall-clock reads answer s_iNow until the guard goes.
auto steppedClock()
{
    Clock::setSource([] { return QDateTime::fromMSecsSinceEpoch(s_iNow.load(), Qt::UTC); });
    return qScopeGuard([] { Clock::setSource(nullptr); });
}

// The events of these kinds in the file, newest first.
QVector<HistoryEvent> eventsOf(const QString& strPath, const QList<int>& listKinds)
{
    CHistoryReader::EventFilter filter;
    filter.listKinds = listKinds;
    return CHistoryReader(strPath).events(filter);
}

QString integrity(const QString& strPath)
{
    QString strResult;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(strPath);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("PRAGMA integrity_check")) && query.next())
            strResult = query.value(0).toString();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return strResult;
}

// The child of the kill case: records a sample every 20 ms until it is killed.
int recordUntilKilled(const QString& strPath)
{
    CHistoryStore store(strPath);
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { store.addSample(kMac, sampleAt(QDateTime::currentMSecsSinceEpoch(), 230)); });
    timer.start(20);
    return QCoreApplication::exec();
}
} // namespace

using ReadRow = std::tuple<qint64, qint64, int, int, qint64>;
Q_DECLARE_METATYPE(ReadRow)

using PendingRow = std::tuple<int, int, int, int>;
Q_DECLARE_METATYPE(PendingRow)

using UnusableRow = std::tuple<QByteArray, QString, bool>;
Q_DECLARE_METATYPE(UnusableRow)

using DroppedRow = std::tuple<QList<int>, qint64, QStringList>;
Q_DECLARE_METATYPE(DroppedRow)

// The store: summaries by age through the clock seam, files it must not or cannot use, a kill while
// writing, and the export format.
class TestHistory : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void dataFolderIsTheTestsOwn()
    {
        QVERIFY(CHistoryStore::defaultPath().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    }

    void thinsByAgeAndSurvivesARestartWithinASpan()
    {
        const auto clock = steppedClock();
        const QString strPath = m_dir.filePath(QStringLiteral("thin.sqlite"));
        const qint64 iStart = 1700000000000 - 1700000000000 % (24 * kHour); // midnight UTC
        auto store = std::make_unique<CHistoryStore>(strPath);
        store->setRetention({1, 1, 730, 730});
        // Three hours of a sample every 10 s; the voltage is the minute's number within the hour.
        for (qint64 t = iStart; t < iStart + 3 * kHour; t += 10000) {
            s_iNow = t;
            store->addSample(kMac, sampleAt(t, quint16(200 + (t - iStart) / kMinute % 60)));
            if (t == iStart + 90 * kMinute + 20000) {
                store.reset(); // a restart in the middle of a minute and an hour
                store = std::make_unique<CHistoryStore>(strPath);
                store->setRetention({1, 1, 730, 730});
            }
            if (t % (10 * kMinute) == 0)
                store->flush();
        }
        store->flush();
        const qint64 iEnd = iStart + 3 * kHour;
        CHistoryReader reader(strPath);
        const auto vecPolls = reader.series(kMac, iStart, iEnd, CHistoryReader::EveryPoll);
        QVERIFY(!vecPolls.isEmpty());
        QVERIFY2(vecPolls.first().iMsecs >= iEnd - kHour - kMinute,
                 "polls older than the retention are kept");
        const auto vecMinutes = reader.series(kMac, iStart, iEnd, CHistoryReader::Minutes);
        QCOMPARE(vecMinutes.size(), 179); // the last minute is still being filled
        for (const HistoryAggregate& a : vecMinutes) {
            const quint16 uiVolts = quint16(200 + (a.iMsecs - iStart) / kMinute % 60);
            QCOMPARE(a.uiSamples, quint16(6));
            QCOMPARE(a.aVoltage[1], uiVolts);
            QCOMPARE(a.aCentiAmps[2], quint16(uiVolts * 2));
        }
        const auto vecHours = reader.series(kMac, iStart, iEnd, CHistoryReader::Hours);
        QCOMPARE(vecHours.size(), 2);
        for (const HistoryAggregate& a : vecHours) {
            QCOMPARE(a.uiSamples, quint16(360));
            QCOMPARE(a.aVoltage[0], quint16(200));
            QCOMPARE(a.aVoltage[2], quint16(259));
            QCOMPARE(a.aVoltage[1], quint16(230)); // 229.5 rounded
            QCOMPARE(a.uiOutlets, quint8(0x5A));
        }
        // Two days on, the minutes are gone and the hours stay.
        s_iNow = iEnd + 2 * 24 * kHour;
        store->record(HistoryEvent::MonitoringStopped, QString(), QString(), QString());
        store->flush();
        QCOMPARE(reader.series(kMac, iStart, iEnd, CHistoryReader::Minutes).size(), 0);
        QCOMPARE(reader.series(kMac, iStart, iEnd, CHistoryReader::Hours).size(), 2);
    }

    // Energy of a series with a step in load, a gap, an offline poll, a restart and a meter fault, across a
    // minute and an hour: the same from the polls, the minute sums and the hour sums, and the counter
    // never goes back.
    void energyOfAKnownSeries()
    {
        const auto clock = steppedClock();
        const QString strPath = m_dir.filePath(QStringLiteral("energy.sqlite"));
        const qint64 iHour = 1700000000000 - 1700000000000 % kHour;
        const qint64 iStart = iHour - 30000;
        auto store = std::make_unique<CHistoryStore>(strPath);
        store->setRetention({1, 1, 730, 730});
        auto poll = [&](int iSecond, quint16 uiVolts, quint16 uiCentiAmps, bool bOnline = true) {
            HistorySample s = sampleAt(iStart + iSecond * 1000, uiVolts);
            s.uiCentiAmps = uiCentiAmps;
            s.bOnline = bOnline;
            s.bNoEnergy = bOnline && uiVolts == 0; // as the recorder marks it
            s_iNow = s.iMsecs;
            store->addSample(kMac, s);
        };
        for (int i = 0; i <= 19; ++i)
            poll(i, 230, 500); // 19 s at 1150 VA: 21850 VAs
        poll(21, 230, 1000);   // 2 s from 1150 to 2300 VA: 3450 VAs
        for (int i = 40; i <= 49; ++i)
            poll(i, 230, 1000); // after a 19 s gap (nothing), 9 s at 2300 VA: 20700 VAs
        poll(50, 0, 0, false);  // offline: nothing on either side
        for (int i = 51; i <= 64; ++i) {
            if (i == 56) {
                store.reset(); // a restart inside the hour, 1 s between the polls around it
                store = std::make_unique<CHistoryStore>(strPath);
                store->setRetention({1, 1, 730, 730});
            }
            poll(i, i == 61 ? 0 : 230, 500); // 9 s, then 2 s, at 1150 VA (61 s reads 0 V): 12650 VAs
        }
        store->flush();
        const qint64 iUnitsPerVas = Energy::kUnitsPerVah / 3600;
        const qint64 iWhole = 58650 * iUnitsPerVas;
        QCOMPARE(store->energyTotals().value(kMac), iWhole);
        CHistoryReader reader(strPath);
        bool bComplete = false;
        QCOMPARE(reader.energy(kMac, iStart - kMinute, iStart + 2 * kMinute, &bComplete), iWhole);
        QVERIFY(bComplete);
        QCOMPARE(reader.energy(kMac, iStart, iHour), 25300 * iUnitsPerVas);
        // The 0 V poll is kept as read, but makes no minimum of its minute (nor a peak of a glitch).
        QCOMPARE(reader.polls(kMac, iStart + 61000, iStart + 61000).value(0).uiVoltage, quint16(0));
        // Hours on, the polls are thinned away and the minute sums give the same; days on, the hour sums.
        for (qint64 iLater : {3 * kHour, 3 * 24 * kHour}) {
            s_iNow = iStart + iLater;
            store->addSample(kMac, sampleAt(s_iNow, 0));
            store->flush();
            QVERIFY(reader.polls(kMac, iStart, iStart + kMinute).isEmpty());
            if (iLater == 3 * kHour)
                QCOMPARE(reader.series(kMac, iHour, iHour, CHistoryReader::Minutes).value(0).aVoltage[0],
                         quint16(230));
            QCOMPARE(reader.energy(kMac, iHour - kHour, iHour + kHour, &bComplete), iWhole);
            QVERIFY(bComplete);
        }
        // The counter comes back from the file, and a clock set back adds nothing and takes nothing.
        store.reset();
        store = std::make_unique<CHistoryStore>(strPath);
        QCOMPARE(store->energyTotals().value(kMac), iWhole);
        poll(0, 230, 500);
        poll(1, 230, 500);
        store->flush();
        QCOMPARE(store->energyTotals().value(kMac), iWhole + 1150 * iUnitsPerVas);
    }

    // Files the store cannot use: the console runs on, says why, and records once the file is fixed.
    void unusableFile_data()
    {
        // baContent: "dir" for a folder
        // bRecovers: by removing what stood in the way
        QTest::addColumn<UnusableRow>("row");
        QTest::newRow("folder") << UnusableRow(QByteArray("dir"), QStringLiteral("folder"), true);
        QTest::newRow("garbage") << UnusableRow(QByteArray(8192, '\x5a'), QStringLiteral("cannot be read"),
                                                true);
        QTest::newRow("newer") << UnusableRow(QByteArray("newer"), QStringLiteral("newer version"), false);
    }
    void unusableFile()
    {
        QFETCH(UnusableRow, row);
        const auto& [baContent, strReason, bRecovers] = row;
        const QString strPath = m_dir.filePath(QStringLiteral("bad-%1.sqlite").arg(QTest::currentDataTag()));
        if (baContent == "dir") {
            QVERIFY(QDir().mkpath(strPath));
        } else if (baContent == "newer") {
            {
                QSqlDatabase db =
                    QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
                db.setDatabaseName(strPath);
                QVERIFY(db.open());
                QSqlQuery(db).exec(
                    QStringLiteral("PRAGMA user_version=%1").arg(CHistoryStore::kSchemaVersion + 1));
                QSqlQuery(db).exec(QStringLiteral("CREATE TABLE future (x)"));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        } else {
            QVERIFY(writeFile(strPath, baContent));
        }
        const QByteArray baBefore = readFile(strPath);
        CHistoryStore store(strPath);
        QVERIFY(!store.isAvailable());
        QVERIFY2(store.unavailableReason().contains(strReason), qPrintable(store.unavailableReason()));
        store.addSample(kMac, sampleAt(QDateTime::currentMSecsSinceEpoch(), 231));
        store.record(HistoryEvent::MonitoringStarted, QString(), QString(), QString());
        store.flush();
        QCOMPARE(readFile(strPath), baBefore);
        if (!bRecovers)
            return;
        QVERIFY(QFileInfo(strPath).isDir() ? QDir(strPath).removeRecursively() : QFile::remove(strPath));
        QSignalSpy spy(&store, &CHistoryStore::signalAvailabilityChanged);
        store.flush();
        QVERIFY2(store.isAvailable(), qPrintable(store.unavailableReason()));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(CHistoryReader(strPath).events({}).size(), 1); // what waited went in
    }

    // A file written before standing alarms were kept: it gains their table and records on.
    void earlierFile()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("earlier.sqlite"));
        delete new CHistoryStore(strPath);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("earlier"));
            db.setDatabaseName(strPath);
            QVERIFY(db.open());
            for (const char* pszSql :
                 {"DROP TABLE alarm_state", "DROP TABLE raw_open", "DROP TABLE energy_total",
                  "DROP TABLE budget", "ALTER TABLE pdu_label DROP COLUMN grp", "PRAGMA user_version=1"})
                QVERIFY(QSqlQuery(db).exec(QString::fromLatin1(pszSql)));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("earlier"));
        QVERIFY(CHistoryReader(strPath).labels(kMac).isEmpty()); // read as it stands before an upgrade
        CHistoryStore store(strPath);
        store.setLabel(kMac, QStringLiteral("pdu"), QString(), QStringLiteral("10.0.0.7"),
                       QStringLiteral("Rack A"));
        StoredAlarm alarm;
        alarm.strMac = kMac;
        alarm.strAddress = QStringLiteral("10.0.0.7");
        alarm.iSince = 1000;
        store.keepAlarm(alarm);
        store.addSample(kMac, sampleAt(QDateTime::currentMSecsSinceEpoch(), 231));
        store.flush();
        QVERIFY2(store.isAvailable(), qPrintable(store.unavailableReason()));
        QCOMPARE(CHistoryReader(strPath).standingAlarms().size(), 1);
        QCOMPARE(CHistoryReader(strPath).devices().value(0).strGroup, QStringLiteral("Rack A"));
    }

    // An unreadable file: reported, left as it is, the program runs on.
    void unreadableFile()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                      QFileDevice::ExeOwner | QFileDevice::ExeOther));
        const QString strPath = dir.filePath(QStringLiteral("locked.sqlite"));
        delete new CHistoryStore(strPath);
        QVERIFY(QFile::setPermissions(strPath, {}));
        const QByteArray baBefore = readFile(strPath);
        QVERIFY(!baBefore.isEmpty());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HISTORY_OPEN_AS_NOBODY"), strPath);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(20000));
        const QString strReason = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(child.exitCode() == 0 && strReason.contains(strPath), qPrintable(strReason));
        QCOMPARE(readFile(strPath), baBefore);
    }

    // A full disk: a small file system of the test's own fills up, then grows.
    void fullDisk()
    {
        QTemporaryDir dirMount;
        if (QProcess::execute(QStringLiteral("mount"),
                              {"-t", "tmpfs", "-o", "size=160k", "tmpfs", dirMount.path()}) != 0)
            QSKIP("no tmpfs can be mounted here");
        auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {dirMount.path()}); });
        const QString strPath = dirMount.filePath(QStringLiteral("history.sqlite"));
        CHistoryStore store(strPath);
        QVERIFY(store.isAvailable());
        qint64 t = QDateTime::currentMSecsSinceEpoch();
        for (int iRound = 0; iRound < 400 && store.isAvailable(); ++iRound) {
            for (int i = 0; i < 200; ++i)
                store.record(HistoryEvent::Download, kMac, QStringLiteral("pdu"), QStringLiteral("Name"),
                             QString(64, QLatin1Char('o')), QString(64, QLatin1Char('n')));
            store.addSample(kMac, sampleAt(t += 1000, 230));
            store.flush();
        }
        QVERIFY(!store.isAvailable());
        QVERIFY2(store.unavailableReason().contains(QStringLiteral("full")),
                 qPrintable(store.unavailableReason()));
        // A retry opens the full file well and fails its write: still unavailable, nothing to tell.
        QSignalSpy spyFlap(&store, &CHistoryStore::signalAvailabilityChanged);
        store.addSample(kMac, sampleAt(t += 1000, 230));
        store.flush();
        QCOMPARE(spyFlap.size(), 0);
        QCOMPARE(QProcess::execute(QStringLiteral("mount"), {"-o", "remount,size=64m", dirMount.path()}), 0);
        store.record(HistoryEvent::MonitoringStopped, QString(), QString(), QString());
        store.flush();
        QVERIFY2(store.isAvailable(), qPrintable(store.unavailableReason()));
        QCOMPARE(eventsOf(strPath, {HistoryEvent::MonitoringStopped}).size(), 1);
        QCOMPARE(integrity(strPath), QStringLiteral("ok"));
    }

    void killedWhileRecording()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("killed.sqlite"));
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HISTORY_RECORD_UNTIL_KILLED"), strPath);
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        // Killed once it has written for a while, however slowly the machine lets it: every row a reader
        // saw then is there after the kill, in a whole file.
        const qint64 iFrom = QDateTime::currentMSecsSinceEpoch() - kHour;
        const auto rows = [&] {
            return CHistoryReader(strPath).series(kMac, iFrom, iFrom + 2 * kHour, CHistoryReader::EveryPoll);
        };
        int iSeen = 0;
        QTRY_VERIFY_WITH_TIMEOUT((iSeen = rows().size()) > 50, 60000);
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());
        QCOMPARE(integrity(strPath), QStringLiteral("ok"));
        CHistoryStore store(strPath);
        QVERIFY2(store.isAvailable(), qPrintable(store.unavailableReason()));
        QVERIFY2(rows().size() >= iSeen,
                 qPrintable(QStringLiteral("%1 of %2").arg(rows().size()).arg(iSeen)));
    }

    // A meter that flickers between 0 V and its reading, poll after poll: one entry for the episode,
    // not one for every flicker (a day of them would be tens of thousands of entries, kept for years).
    void flickeringMeterLoggedOnce()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("flicker.sqlite"));
        CHistoryStore store(strPath);
        CHistoryRecorder recorder(&store, nullptr);
        CPdu pdu;
        const quint8 aMac[6] = {0x00, 0x04, 0xA3, 0x00, 0x00, 0x7F};
        std::copy(std::begin(aMac), std::end(aMac), pdu.stInfo.mac);
        recorder.slotNewDevice(&pdu);
        emit pdu.signalReplyDecoded(kCmdNetwork);
        for (int i = 0; i < 40; ++i) {
            pdu.stInfo.voltage = i % 2 ? 230 : 0;
            emit pdu.signalReplyDecoded(kCmdStatus);
        }
        store.flush();
        QCOMPARE(eventsOf(strPath, {HistoryEvent::ImplausibleReading}).size(), 1);
    }

    // A wall clock ahead for an hour, then corrected: polls go on being recorded after the correction,
    // those recorded before the step are all kept, the rows stamped ahead are thinned, and the log says
    // what happened to the clock both times.
    void clockSteppedForwardThenBack_data()
    {
        QTest::addColumn<qint64>("iStep");
        QTest::newRow("8 hours") << 8 * kHour;
        QTest::newRow("a year") << 365 * 24 * kHour;
    }
    void clockSteppedForwardThenBack()
    {
        QFETCH(qint64, iStep);
        qint64 iMono = 1000000;
        const auto clock = steppedClock();
        Clock::setElapsedSource([&] { return iMono; });
        auto restore = qScopeGuard([] { Clock::setElapsedSource(nullptr); });
        const QString strPath =
            m_dir.filePath(QLatin1String(QTest::currentDataTag()) + QLatin1String(".sqlite"));
        const qint64 iStart = 1790000000000 - 1790000000000 % kHour;
        CHistoryStore store(strPath);
        CHistoryRecorder recorder(&store, nullptr);
        for (int i = 0; i < 3 * 360; ++i) { // an hour each: before, ahead, corrected
            iMono += 10000;
            s_iNow = iStart + qint64(i) * 10000 + (i >= 360 && i < 720 ? iStep : 0);
            store.addSample(kMac, sampleAt(s_iNow, 230));
            recorder.slotTick();
            if (i % 60 == 59)
                store.flush();
        }
        store.flush();
        CHistoryReader reader(strPath);
        // The hours before and after, the later one recorded after the clock went back.
        QCOMPARE(reader.series(kMac, iStart, iStart + 3 * kHour, CHistoryReader::EveryPoll).size(), 2 * 360);
        // The hour stamped ahead stays while the clock now could be the wrong one (a machine started
        // with a dead clock battery must not lose its history); once the clock has stood a day, nothing
        // stamped after now is left.
        const auto aheadPolls = [&] {
            return reader.series(kMac, s_iNow + 1, iStart + iStep + 3 * kHour, CHistoryReader::EveryPoll)
                .size();
        };
        QCOMPARE(aheadPolls(), 360);
        iMono += 24 * kHour;
        s_iNow += 24 * kHour;
        store.flush();
        QCOMPARE(aheadPolls(), 0);
        // A program started with its clock a year behind the file (a dead clock battery, no time
        // source) records on for days and keeps the history it found.
        const int iKept = reader.series(kMac, iStart, iStart + 3 * kHour, CHistoryReader::EveryPoll).size() +
                          reader.series(kMac, iStart, iStart + 3 * kHour, CHistoryReader::Minutes).size();
        QVERIFY(iKept > 0);
        s_iNow = iStart - 365 * 24 * kHour;
        CHistoryStore behind(strPath);
        for (int iDay = 0; iDay < 3; ++iDay) {
            iMono += 24 * kHour;
            s_iNow += 24 * kHour;
            behind.addSample(kMac, sampleAt(s_iNow, 230));
            behind.flush();
        }
        QVERIFY(reader.series(kMac, iStart, iStart + 3 * kHour, CHistoryReader::EveryPoll).size() +
                    reader.series(kMac, iStart, iStart + 3 * kHour, CHistoryReader::Minutes).size() >=
                iKept);
        QStringList listSteps;
        for (const HistoryEvent& e : eventsOf(strPath, {HistoryEvent::ClockChanged}))
            listSteps << e.strSubject + QLatin1Char(' ') + e.strDetail;
        listSteps.sort();
        const QString strStep = QStringLiteral(" %1 s").arg(iStep / 1000);
        QCOMPARE(listSteps, (QStringList{"set back" + strStep, "set forward" + strStep}));
    }

    // Reads find what the file holds: a past span whose polls are thinned shows its minutes, and an
    // hourly read starting within an hour includes that hour.
    void readsWhatIsThere_data()
    {
        // iFromOffset: from the first sample
        // iResolution: -1: the one the reader picks
        QTest::addColumn<ReadRow>("row");
        QTest::newRow("2 hours, 3 days ago")
            << ReadRow(qint64(0), 2 * kHour, -1, int(CHistoryReader::Minutes), qint64(0));
        QTest::newRow("hours from 10:30") << ReadRow(30 * kMinute, 2 * kHour, int(CHistoryReader::Hours),
                                                     int(CHistoryReader::Hours), qint64(0));
        QTest::newRow("minutes from 10:30:30")
            << ReadRow(30 * kMinute + 30000, kHour, int(CHistoryReader::Minutes),
                       int(CHistoryReader::Minutes), 30 * kMinute);
    }
    void readsWhatIsThere()
    {
        QFETCH(ReadRow, row);
        const auto& [iFromOffset, iSpan, iResolution, iPicked, iFirstOffset] = row;
        const QString strPath = m_dir.filePath(QStringLiteral("past.sqlite"));
        const qint64 iStart = 1790000000000 - 1790000000000 % (24 * kHour) + 10 * kHour; // 10:00 UTC
        if (!QFileInfo::exists(strPath)) {
            const auto clock = steppedClock();
            auto pStore = std::make_unique<CHistoryStore>(strPath);
            for (qint64 t = iStart; t < iStart + 3 * kHour; t += 10000) {
                s_iNow = t;
                pStore->addSample(kMac, sampleAt(t, 230));
            }
            s_iNow = iStart + 3 * 24 * kHour; // three days on: the polls are thinned
            pStore.reset();
        }
        CHistoryReader reader(strPath);
        const qint64 iFrom = iStart + iFromOffset;
        const auto resolution = iResolution < 0 ? reader.resolutionHolding(kMac, iFrom, iFrom + iSpan)
                                                : CHistoryReader::Resolution(iResolution);
        QCOMPARE(int(resolution), iPicked);
        const auto vec = reader.series(kMac, iFrom, iFrom + iSpan, resolution);
        QVERIFY(!vec.isEmpty());
        QCOMPARE(vec.first().iMsecs - iStart, iFirstOffset);
    }

    // A device heard only since a minute before the hour: its hour and minute summaries are stamped at
    // their starts, earlier than its first poll, yet hold nothing older than the polls show. The last
    // hour is read poll by poll, not as one hourly point.
    void recentPollsAcrossTheHourAreReadAsPolls()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("across-hour.sqlite"));
        const qint64 iHour = 1790000000000 - 1790000000000 % kHour;
        const auto clock = steppedClock();
        {
            CHistoryStore store(strPath);
            for (qint64 t = iHour - kMinute; t <= iHour + kMinute; t += 1000) {
                s_iNow = t;
                store.addSample(kMac, sampleAt(t, 230));
            }
            store.flush();
        }
        CHistoryReader reader(strPath);
        const qint64 iTo = iHour + kMinute;
        QCOMPARE(int(reader.resolutionHolding(kMac, iTo - kHour, iTo)), int(CHistoryReader::EveryPoll));
        QCOMPARE(reader.series(kMac, iTo - kHour, iTo, CHistoryReader::EveryPoll).size(), 121);
    }

    // A writer that falls behind (held while a flood of polls arrives): what it turns away is told in
    // the event log with the count since the last time, at most once a minute, and counted on the
    // metrics page.
    void droppedSamplesAreTold_data()
    {
        // floods: polls beyond the queue's room, one flood each
        // iBetween: time passed between floods
        // told: counts in the log, newest first
        QTest::addColumn<DroppedRow>("row");
        QTest::newRow("one flood") << DroppedRow({5}, qint64(0), {"5"});
        QTest::newRow("again within the minute: waits") << DroppedRow({5, 3}, 30 * 1000LL, {"5"});
        QTest::newRow("again a minute on: what came since") << DroppedRow({5, 3}, kMinute, {"3", "5"});
    }

    void droppedSamplesAreTold()
    {
        QFETCH(DroppedRow, row);
        const auto& [floods, iBetween, told] = row;
        std::atomic<qint64> iMono{kHour};
        Clock::setElapsedSource([&] { return iMono.load(); });
        auto restore = qScopeGuard([] { Clock::setElapsedSource(nullptr); });
        const QString strPath =
            m_dir.filePath(QStringLiteral("drops-%1.sqlite").arg(QTest::currentDataTag()));
        CHistoryStore store(strPath);
        // The writer is held where it has just written a batch of events, until the flood is in.
        std::atomic<bool> bHold{false};
        QSemaphore semHeld, semGo;
        connect(
            &store, &CHistoryStore::signalEventsWritten, &store,
            [&] {
                if (bHold.exchange(false)) {
                    semHeld.release();
                    semGo.acquire();
                }
            },
            Qt::DirectConnection);
        const qint64 t = QDateTime::currentMSecsSinceEpoch();
        qint64 iTotal = 0;
        for (const int iOver : floods) {
            bHold = true;
            store.record(HistoryEvent::MonitoringStarted, QString(), QString(), QString());
            QVERIFY(semHeld.tryAcquire(1, 60000));
            for (int i = 0; i < CHistoryWriter::kMaxPendingSamples + iOver; ++i)
                store.addSample(kMac, sampleAt(t, 230));
            semGo.release();
            store.flush();
            iTotal += iOver;
            iMono += iBetween;
        }
        QStringList listTold;
        for (const HistoryEvent& event : eventsOf(strPath, {HistoryEvent::SamplesDropped}))
            listTold << event.strSubject;
        QCOMPARE(listTold, told);
        QCOMPARE(store.droppedSamples(), iTotal);
        CMetricsExporter exporter;
        exporter.setHistoryStore(&store);
        QVERIFY(exporter.refresh().contains("\nrackmind_history_samples_dropped_total " +
                                            QByteArray::number(iTotal) + '\n'));
    }

    // While the file cannot be used, polls wait for it up to half a minute of the room, whatever its
    // size and poll interval; beyond that they are dropped (the queue as the writer keeps it).
    void pendingSamplesHoldSecondsOfTheRoom_data()
    {
        // iEvery: seconds between polls
        QTest::addColumn<PendingRow>("row");
        QTest::newRow("one PDU, 40 s") << PendingRow(1, 1, 40, 10);
        QTest::newRow("2000 PDUs, 29 s") << PendingRow(2000, 1, 29, 0);
        QTest::newRow("2000 PDUs, 31 s") << PendingRow(2000, 1, 31, 2000);
        QTest::newRow("10 PDUs every 5 s, 50 s") << PendingRow(10, 5, 10, 40);
        QTest::newRow("found PDU by PDU") << PendingRow(-100, 1, 20, 0);
    }

    void pendingSamplesHoldSecondsOfTheRoom()
    {
        QFETCH(PendingRow, row);
        const auto& [iPdus, iEvery, iPolls, iDropped] = row;
        CHistoryWriter::RoomRate rate;
        int iPending = 0, iOffered = 0;
        for (int iPoll = 0; iPoll < iPolls; ++iPoll) {
            // Negative: the room grows by that many PDUs a poll, its replies spread over the second.
            const int iNow = iPdus < 0 ? -iPdus * (iPoll + 1) : iPdus;
            for (int i = 0; i < iNow; ++i, ++iOffered) {
                rate.offer(qint64(iPoll) * iEvery * 1000 + i * 900 / iNow);
                iPending += iPending < rate.cap() ? 1 : 0;
            }
        }
        QCOMPARE(iOffered - iPending, iDropped);
    }

    // Thinning walks the key device by device (or an index): never a scan of a whole table.
    void thinningUsesTheKey()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("plan.sqlite"));
        delete new CHistoryStore(strPath);
        QStringList listPlans;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("plan"));
            db.setDatabaseName(strPath);
            QVERIFY(db.open());
            for (const char* pszTable : {"raw", "raw_open", "agg_minute", "agg_hour", "event"})
                for (bool bFuture : {false, true}) {
                    QSqlQuery query(db);
                    const QString strSql = CHistoryWriter::thinStatement(pszTable, bFuture);
                    QVERIFY(query.prepare(QStringLiteral("EXPLAIN QUERY PLAN ") + strSql));
                    for (int i = strSql.count(QLatin1Char('?')); i > 0; --i)
                        query.addBindValue(0);
                    QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
                    while (query.next())
                        listPlans << QLatin1String(pszTable) + QLatin1String(": ") +
                                         query.value(3).toString();
                }
        }
        QSqlDatabase::removeDatabase(QStringLiteral("plan"));
        for (const QString& strPlan : qAsConst(listPlans))
            QVERIFY2(!strPlan.contains(QLatin1String("SCAN")), qPrintable(listPlans.join(QLatin1Char('\n'))));
    }

    // The events of one PDU (the log's filter, the API's events?mac=) are found by an index: a quiet
    // PDU's page must not read two years of everyone's events.
    void eventsOfOnePduUseAnIndex()
    {
        const QString strPath = m_dir.filePath(QStringLiteral("eventplan.sqlite"));
        delete new CHistoryStore(strPath);
        QString strPlan;
        {
            QSqlDatabase db =
                QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("eventplan"));
            db.setDatabaseName(strPath);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(
                query.prepare(QStringLiteral("EXPLAIN QUERY PLAN SELECT t, id FROM event WHERE t >= ? AND "
                                             "(t < ? OR (t = ? AND id < ?)) AND mac = ? "
                                             "ORDER BY t DESC, id DESC LIMIT 101")));
            for (const QVariant& value : {QVariant(0), QVariant(5), QVariant(5), QVariant(1),
                                          QVariant(QStringLiteral("02:50:44:00:00:01"))})
                query.addBindValue(value);
            QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
            while (query.next())
                strPlan += query.value(3).toString() + u'\n';
        }
        QSqlDatabase::removeDatabase(QStringLiteral("eventplan"));
        QVERIFY2(strPlan.contains(QLatin1String("mac=?")), qPrintable(strPlan));
    }

    // Local times with their offset: the hour the clocks go back in reads differently the second time.
    void csvTimesAcrossTheAutumnChange()
    {
        const QByteArray baTz = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        tzset();
        QStringList listTimes;
        const qint64 iFrom = QDateTime(QDate(2026, 10, 24), QTime(23, 0), Qt::UTC).toMSecsSinceEpoch();
        for (qint64 t = iFrom; t < iFrom + 4 * kHour; t += 15 * kMinute) {
            listTimes << HistoryCsv::time(t);
            QCOMPARE(QDateTime::fromString(listTimes.last(), Qt::ISODate).toMSecsSinceEpoch(), t);
        }
        baTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", baTz);
        tzset();
        QCOMPARE(QSet<QString>(listTimes.begin(), listTimes.end()).size(), listTimes.size());
        QVERIFY2(listTimes.contains(QStringLiteral("2026-10-25T02:30:00+02:00")) &&
                     listTimes.contains(QStringLiteral("2026-10-25T02:30:00+01:00")),
                 qPrintable(listTimes.join(QLatin1Char(' '))));
    }

    // Fields come back as written, quotes and commas included, line breaks and other controls as escapes
    // (one record per line); whatever a spreadsheet would evaluate stays text, plain numbers stay numbers.
    void csvRoundTrips_data()
    {
        QTest::addColumn<QStringList>("listFields");
        QTest::addColumn<QString>("strFirstRead"); // empty: the first field as written
        const auto row = [](const char* pszName, const QString& strFirst, const QString& strSecond,
                            const QString& strFirstRead = QString()) {
            QTest::newRow(pszName) << QStringList{strFirst, strSecond} << strFirstRead;
        };
        row("plain", QStringLiteral("PDU 1"), QStringLiteral("230"));
        row("comma", QStringLiteral("Rack 12, left"), QString());
        row("quote", QStringLiteral("the \"big\" one"), QStringLiteral("\""));
        row("line break", QStringLiteral("two\nlines"), QStringLiteral("x"), QStringLiteral("two\\nlines"));
        row("CR LF", QStringLiteral("crlf\r\nend"), QString(), QStringLiteral("crlf\\r\\nend"));
        row("chinese", QStringLiteral("机柜，一"), QStringLiteral("-12"));
        row("formula", QStringLiteral("=1+1"), QString(), QStringLiteral("'=1+1"));
        row("sum after minus", QStringLiteral("-1+1"), QString(), QStringLiteral("'-1+1"));
        row("plus call", QStringLiteral("+SUM(A1)"), QString(), QStringLiteral("'+SUM(A1)"));
        row("at", QStringLiteral("@cmd"), QString(), QStringLiteral("'@cmd"));
        row("leading tab", QStringLiteral("\t=1"), QString(), QStringLiteral("\\t=1"));
        row("leading CR", QStringLiteral("\r=1"), QString(), QStringLiteral("\\r=1"));
        row("negative decimal", QStringLiteral("-0.25"), QString());
        row("exponent", QStringLiteral("-1e3"), QString());
    }
    void csvRoundTrips()
    {
        QFETCH(QStringList, listFields);
        QFETCH(QString, strFirstRead);
        const QString strText = HistoryCsv::line(listFields) + HistoryCsv::line({QStringLiteral("x")});
        const QList<QStringList> listRows = HistoryCsv::parse(strText);
        QCOMPARE(listRows.size(), 2);
        if (!strFirstRead.isEmpty())
            listFields[0] = strFirstRead;
        QCOMPARE(listRows.first(), listFields);
    }
};

// The child of the unreadable case: as a user that may not read the file (the tests run as root, who
// may), it opens the store, tries to record, and prints why it could not.
int openAsNobody(const QString& strPath)
{
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0)
        return 2;
    CHistoryStore store(strPath);
    store.addSample(kMac, sampleAt(QDateTime::currentMSecsSinceEpoch(), 232));
    store.flush();
    QTextStream(stdout) << store.unavailableReason();
    return store.isAvailable() ? 1 : 0;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("HISTORY_OPEN_AS_NOBODY"))
        return openAsNobody(qEnvironmentVariable("HISTORY_OPEN_AS_NOBODY"));
    if (qEnvironmentVariableIsSet("HISTORY_RECORD_UNTIL_KILLED"))
        return recordUntilKilled(qEnvironmentVariable("HISTORY_RECORD_UNTIL_KILLED"));
    TestHistory test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_history.moc"
