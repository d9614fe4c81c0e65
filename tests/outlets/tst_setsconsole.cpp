#include "device/OutletControl.h"
#include "device/OutletSetControl.h"
#include "device/Protocol.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "room/Room.h"
#include "tests/common/ConsoleProcess.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>

namespace {

// Starts "set NAME DELAY" (a cycle) or "sequence NAME"; refused, with nothing sent, until every PDU
// of it has answered.
bool startSetOrSequence(const QStringList& listArgs)
{
    COutletSetControl* pSets = consoleRoom()->outletControl()->outletSets();
    QString strWhy;
    return (listArgs.value(0) == QLatin1String("set")
                ? pSets->runSet(listArgs.value(1), COutletSetControl::Cycle, listArgs.value(2).toInt(), false,
                                &strWhy)
                : pSets->startSequence(listArgs.value(1), false, &strWhy)) == COutletSetControl::Accepted;
}

} // namespace

// The console runs outlet sets across two simulated PDUs: a dual-corded cycle, and a sequence killed in
// the middle, which the next start reports and does not go on with.
class TestSetsConsole : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    ConsoleChildren m_consoles;

    bool simOn(int iDevice, int iOutlet)
    {
        return m_sim.call(
            [=](CSimFleet& f) { return (f.device(iDevice)->st.outletStatus >> (iOutlet - 1)) & 1; });
    }
    QString mac(int iDevice)
    {
        return QString::fromLatin1(
            m_sim.call([=](CSimFleet& f) { return f.device(iDevice)->st.mac; }).toHex().toUpper());
    }
    // The switch frames each device received, "HH:mm:ss.zzz dev N off/on outlet", oldest first, and their
    // times in milliseconds since the epoch.
    QList<QPair<qint64, QString>> timeline()
    {
        QList<QPair<qint64, QString>> list;
        for (int i = 1; i <= 2; ++i)
            for (const SimFrameRecord& rec :
                 m_sim.call([=](CSimFleet& f) { return f.device(i)->received(); }))
                if (rec.baFrame.size() == 7 && quint8(rec.baFrame.at(2)) == kCmdOutletSwitch)
                    list << qMakePair(rec.msecsSinceEpoch,
                                      QStringLiteral("PDU %1 outlet %2 %3")
                                          .arg(i)
                                          .arg(qCountTrailingZeroBits(quint8(rec.baFrame.at(5))) + 1)
                                          .arg(rec.baFrame.at(4) == 1 ? "on" : "off"));
        std::sort(list.begin(), list.end());
        for (const auto& entry : list)
            qInfo("%s %s", qPrintable(QDateTime::fromMSecsSinceEpoch(entry.first).toString("HH:mm:ss.zzz")),
                  qPrintable(entry.second));
        return list;
    }
    bool started(QProcess* pConsole)
    {
        QByteArray baOut;
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT((baOut += pConsole->readAllStandardOutput()).contains("started"), 30000);
        }();
        return baOut.contains("started");
    }
    void terminate(QProcess* pConsole)
    {
        ::kill(pid_t(pConsole->processId()), SIGTERM);
        QVERIFY(pConsole->waitForFinished(15000));
    }
    QVector<HistoryEvent> events() { return CHistoryReader(CHistoryStore::defaultPath()).events({}); }
    // A console cycling db-07, killed once both cords are off.
    void killWhileSetOff()
    {
        QProcess* pFirst =
            m_consoles.start({QStringLiteral("set"), QStringLiteral("db-07"), QStringLiteral("10")});
        QVERIFY(started(pFirst));
        QTRY_VERIFY_WITH_TIMEOUT(!simOn(1, 3) && !simOn(2, 3), 10000);
        pFirst->kill();
        QVERIFY(pFirst->waitForFinished(5000));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        QVERIFY(ConsoleChildren::prepareHome());
        qputenv("RACKMIND_OUTLET_SETS", qgetenv("XDG_CONFIG_HOME") + "/outlet-sets");
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        for (int i = 1; i <= 2; ++i)
            QCOMPARE(m_sim.command(QStringLiteral("set %1 outlets 255").arg(i)).last(), QStringLiteral("ok"));
        QVERIFY(writeFile(
            qEnvironmentVariable("RACKMIND_OUTLET_SETS"),
            QStringLiteral(
                R"({"sets":[{"name":"db-07","outlets":["%1/3","%2/3"]}],)"
                R"("sequences":[{"name":"power-down","steps":[{"set":"db-07","on":false,"wait":30},)"
                R"({"outlet":"%2/5","on":false,"wait":0}]}]})")
                .arg(mac(1), mac(2))
                .toUtf8()));
    }
    void cleanup()
    {
        m_consoles.killAll();
        m_sim.command(QStringLiteral("resume all"));
    }
    void cleanupTestCase() { m_sim.stopFleet(); }

    // Both cords off together for at least the delay, then both on; completed in the event log for each.
    void dualCordedCycle()
    {
        QProcess* pConsole =
            m_consoles.start({QStringLiteral("set"), QStringLiteral("db-07"), QStringLiteral("3")});
        QVERIFY(started(pConsole));
        QTRY_VERIFY_WITH_TIMEOUT(!simOn(1, 3) && !simOn(2, 3), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(simOn(1, 3) && simOn(2, 3), 30000);
        const auto list = timeline();
        QCOMPARE(list.size(), 4);
        QVERIFY(list.at(0).second.endsWith(QLatin1String("off")) &&
                list.at(1).second.endsWith(QLatin1String("off")));
        QVERIFY(list.at(2).second.endsWith(QLatin1String(" on")) &&
                list.at(3).second.endsWith(QLatin1String(" on")));
        qInfo("between the two offs %lld ms, the two ons %lld ms, last off to first on %lld ms",
              list.at(1).first - list.at(0).first, list.at(3).first - list.at(2).first,
              list.at(2).first - list.at(1).first);
        QVERIFY(list.at(2).first - list.at(1).first >= 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(COutletControl::defaultJournalPath()), 10000);
        terminate(pConsole);
        const auto listEvents = events();
        QCOMPARE(std::count_if(listEvents.begin(), listEvents.end(),
                               [](const HistoryEvent& e) {
                                   return e.iKind == HistoryEvent::CycleCompleted &&
                                          e.strSubject == QLatin1String("3");
                               }),
                 2);
    }

    // Killed while both cords are off: the next start finds the cycle in the journal and brings both on.
    void killedMidSetCycleCompletes()
    {
        killWhileSetOff();
        if (QTest::currentTestFailed())
            return;
        QProcess* pSecond = m_consoles.start({});
        QTRY_VERIFY_WITH_TIMEOUT(simOn(1, 3) && simOn(2, 3), 60000);
        // Over once the console has seen both on: the journal is empty then.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(COutletControl::defaultJournalPath()), 10000);
        terminate(pSecond);
    }

    // Killed while the first step's wait runs: the next start says where the sequence stopped and does
    // not go on; the outlet of the second step is never touched.
    void killedMidSequenceReported()
    {
        QProcess* pFirst = m_consoles.start({QStringLiteral("sequence"), QStringLiteral("power-down")});
        QVERIFY(started(pFirst));
        QTRY_VERIFY_WITH_TIMEOUT(!simOn(1, 3) && !simOn(2, 3), 10000);
        // The step has shown its state once the journal names it as running: then the wait runs.
        QTRY_VERIFY_WITH_TIMEOUT(readFile(COutletControl::defaultJournalPath()).contains("\"step\":0") &&
                                     !readFile(COutletControl::defaultJournalPath()).contains("\"set\""),
                                 10000);
        pFirst->kill();
        QVERIFY(pFirst->waitForFinished(5000));
        QProcess* pSecond = m_consoles.start({});
        const auto reported = [this] {
            const auto listEvents = events();
            return std::any_of(listEvents.begin(), listEvents.end(), [](const HistoryEvent& e) {
                return e.strSubject == QLatin1String("sequence power-down") &&
                       e.strDetail.contains(QLatin1String("found interrupted at start, at step 1 of 2"));
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(reported(), 60000);
        QVERIFY(!readFile(COutletControl::defaultJournalPath()).contains("sequence"));
        terminate(pSecond);
        QCOMPARE(pSecond->exitStatus(), QProcess::NormalExit);
        QVERIFY(simOn(2, 5));
        QVERIFY(!simOn(1, 3) && !simOn(2, 3));
        timeline();
    }

    // Killed while both cords are off, and one PDU of the set silent when the console starts again: the
    // cord whose PDU answers must get its power back (as a running cycle does when a PDU goes silent),
    // not wait dark for the other PDU for ever.
    void killedMidSetCycleOnePduGone()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set all outlets 255")).last(), QStringLiteral("ok"));
        killWhileSetOff();
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(m_sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QProcess* pSecond = m_consoles.start({});
        QTRY_VERIFY2_WITH_TIMEOUT(
            simOn(1, 3), "the cord of the answering PDU stayed off while the other was silent", 60000);
        QCOMPARE(m_sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(simOn(1, 3) && simOn(2, 3), 60000);
        terminate(pSecond);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--console") == 0)
        return runConsoleProcess(argc, argv, startSetOrSequence);
    QApplication app(argc, argv);
    TestSetsConsole test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_setsconsole.moc"
