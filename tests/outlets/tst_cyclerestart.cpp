#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "room/Room.h"
#include "tests/common/ConsoleProcess.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/OutletActions.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>

namespace {

// Starts one power cycle (address, outlet, delay) once the device at that address has answered.
bool startCycle(const QStringList& listArgs)
{
    // The operator says yes to "Power cycle ...?".
    COutletActions::setPromptHandler([](QWidget*, bool, const QString&, const QString&) { return true; });
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        if (listArgs.size() == 3 && pPdu->sendAddress().toString() == listArgs[0] && pPdu->bMacKnown &&
            COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pPdu, listArgs[1].toInt(),
                                        listArgs[2].toInt()))
            return true;
    return false;
}

} // namespace

// A console that ends in the middle of a power cycle, by SIGKILL or SIGTERM, never leaves the outlet dark.
class TestCycleRestart : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    ConsoleChildren m_consoles;

    QString address()
    {
        return QHostAddress(m_sim.call([](CSimFleet& f) { return f.device(1)->st.ip; })).toString();
    }
    bool simOn(int iOutlet)
    {
        return m_sim.call([=](CSimFleet& f) { return (f.device(1)->st.outletStatus >> (iOutlet - 1)) & 1; });
    }
    // Starts a 10 s cycle of the outlet in a console and returns once the device has switched it off.
    QProcess* cycling(int iOutlet)
    {
        QProcess* pConsole = m_consoles.start({address(), QString::number(iOutlet), QStringLiteral("10")});
        QByteArray baOut; // read as it comes: every check reads again
        [&] {
            QTRY_VERIFY_WITH_TIMEOUT((baOut += pConsole->readAllStandardOutput()).contains("started"), 20000);
        }();
        [&] { QTRY_VERIFY_WITH_TIMEOUT(!simOn(iOutlet), 10000); }();
        return pConsole;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        QVERIFY(ConsoleChildren::prepareHome());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 outlets 255")).last(), QStringLiteral("ok"));
    }
    void cleanup() { m_consoles.killAll(); }
    void cleanupTestCase() { m_sim.stopFleet(); }

    // Killed two seconds into a 10 s cycle: started again, the console finds the cycle and the outlet is
    // on within the delay plus a few seconds, "completed after restart" in the event log.
    void killedMidCycleCompletesAfterRestart()
    {
        QProcess* pFirst = cycling(2);
        QTest::qWait(2000); // two seconds into the cycle
        pFirst->kill();
        QVERIFY(pFirst->waitForFinished(5000));
        QVERIFY(!simOn(2));
        QElapsedTimer sinceRestart;
        sinceRestart.start();
        QProcess* pSecond = m_consoles.start({});
        // How soon is a figure of the machine as much as of the console (its start-up): printed.
        QTRY_VERIFY_WITH_TIMEOUT(simOn(2), 60000);
        qInfo("on %lld ms after the restart", sinceRestart.elapsed());
        // Done once the console has seen it on: the journal is empty then.
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(COutletControl::defaultJournalPath()), 10000);
        ::kill(pid_t(pSecond->processId()), SIGTERM);
        QVERIFY(pSecond->waitForFinished(15000));
        const auto listEvents = CHistoryReader(CHistoryStore::defaultPath()).events({});
        QVERIFY(std::any_of(listEvents.begin(), listEvents.end(), [](const HistoryEvent& e) {
            return e.iKind == HistoryEvent::CycleCompleted &&
                   e.strDetail.contains(QLatin1String("completed after restart"));
        }));
    }

    // SIGTERM (logout, shutdown) two seconds into a cycle ends the console as Quit does: the outlet is on.
    void terminatedMidCycleSendsItsOn()
    {
        QProcess* pConsole = cycling(4);
        QTest::qWait(2000);
        ::kill(pid_t(pConsole->processId()), SIGTERM);
        QVERIFY(pConsole->waitForFinished(15000));
        QCOMPARE(pConsole->exitStatus(), QProcess::NormalExit);
        QTRY_VERIFY_WITH_TIMEOUT(simOn(4), 10000);
    }
};

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--console") == 0)
        return runConsoleProcess(argc, argv, startCycle);
    QApplication app(argc, argv);
    TestCycleRestart test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cyclerestart.moc"
