#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "room/Room.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/OutletActions.h"

#include <QtTest>
#include <QtWidgets>

#include <csignal>
#include <cstdio>

namespace {

// The console as its executable runs it (the same start-up, signals and exit), which starts one power
// cycle once the device at the given address has answered, and says so on stdout.
int runConsole(int argc, char* argv[])
{
    QApplication app(argc, argv);
    quitOnUnixSignals();
    createSharedResources();
    if (!prepareLanguage())
        return 3;
    registerDeviceMetaTypes();
    createLongLivedWindows();
    if (!runLogin())
        return 3;
    const QStringList listArgs = QCoreApplication::arguments().mid(2);
    QTimer timerStart;
    // The operator says yes to "Power cycle ...?".
    COutletActions::setPromptHandler([](QWidget*, bool, const QString&, const QString&) { return true; });
    if (listArgs.size() == 3) {
        QObject::connect(&timerStart, &QTimer::timeout, [&] {
            for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
                if (pPdu->sendAddress().toString() == listArgs[0] && pPdu->bMacKnown &&
                    COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pPdu,
                                                listArgs[1].toInt(), listArgs[2].toInt())) {
                    timerStart.stop();
                    std::printf("started\n");
                    std::fflush(stdout);
                }
        });
        timerStart.start(100);
    }
    const int iExit = runMainWindow();
    runExitSequence();
    return iExit;
}

} // namespace

// A console that ends in the middle of a power cycle, by SIGKILL or SIGTERM, never leaves the outlet dark.
class TestCycleRestart : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    QList<QProcess*> m_listConsoles;

    QString address()
    {
        return QHostAddress(m_sim.call([](CSimFleet& f) { return f.device(1)->st.ip; })).toString();
    }
    bool simOn(int iOutlet)
    {
        return m_sim.call([=](CSimFleet& f) { return (f.device(1)->st.outletStatus >> (iOutlet - 1)) & 1; });
    }
    QProcess* console(const QStringList& listArgs)
    {
        auto* pProcess = new QProcess(this);
        pProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pProcess->start(QCoreApplication::applicationFilePath(),
                        QStringList{QStringLiteral("--console")} + listArgs);
        m_listConsoles << pProcess;
        return pProcess;
    }
    // Starts a 10 s cycle of the outlet in a console and returns once the device has switched it off.
    QProcess* cycling(int iOutlet)
    {
        QProcess* pConsole = console({address(), QString::number(iOutlet), QStringLiteral("10")});
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
        // Nothing of an earlier run: no journal, no event log.
        QVERIFY(QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively());
        const QString strConfig = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Orvane");
        QVERIFY(QDir().mkpath(strConfig));
        QVERIFY(writeFile(strConfig + QStringLiteral("/Rackmind.conf"),
                          "Language=1\n[Login]\nAutoLogin=true\nRememberPassword=true\n"));
        qputenv("RACKMIND_PROTECTION_LIST", qgetenv("XDG_CONFIG_HOME") + "/protected-outlets");
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 outlets 255")).last(), QStringLiteral("ok"));
    }
    void cleanup()
    {
        for (QProcess* pProcess : qAsConst(m_listConsoles)) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
        qDeleteAll(m_listConsoles);
        m_listConsoles.clear();
    }
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
        QProcess* pSecond = console({});
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
        return runConsole(argc, argv);
    QApplication app(argc, argv);
    TestCycleRestart test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_cyclerestart.moc"
