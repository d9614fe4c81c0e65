#include "app/AppShell.h"
#include "common/UnixSignals.h"
#include "device/MetaTypes.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "room/Room.h"
#include "tests/common/ConsoleLogin.h"
#include "tests/common/NetBed.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/OutletActions.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/MainDialog.h"

#include <QtTest>

#include <csignal>

// The console's login in the bed, as the program runs it: beside another program that holds the device
// port, and ended by SIGTERM as it is accepted.
class TestLoginBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        CSimConfig config;
        config.bNoise = false;
        config.dDelayUnit = 0;
        QString strError;
        QVERIFY2(m_sim.startFleet(config, &strError), qPrintable(strError));
        consolelogin::storeAutoLogin();
        createSharedResources();
        QVERIFY(prepareLanguage());
        registerDeviceMetaTypes();
    }

    // Another program holds the device port in the console's network: the console says who, offers a
    // free port, and polling from it finds the PDUs and switches them (they answer the port a query came
    // from).
    void pollsFromAFreePort_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("address");
        QTest::newRow("any IPv4 address") << QStringLiteral("AF_INET") << QStringLiteral("0.0.0.0");
        QTest::newRow("the interface's address")
            << QStringLiteral("AF_INET") << netbed::consoleAddrs().value(0);
        QTest::newRow("any IPv6 address") << QStringLiteral("AF_INET6") << QStringLiteral("::");
    }
    void pollsFromAFreePort()
    {
        QFETCH(QString, family);
        QFETCH(QString, address);
        QProcess holder;
        holder.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QStringLiteral("import socket, sys\n"
                                                           "s = socket.socket(socket.%1, socket.SOCK_DGRAM)\n"
                                                           "s.bind(('%2', 51230))\n"
                                                           "print('held', flush=True)\n"
                                                           "sys.stdin.read()\n")
                                                .arg(family, address)});
        QVERIFY(holder.waitForReadyRead(30000));
        QCOMPARE(holder.readAllStandardOutput().trimmed(), QByteArray("held"));

        createLongLivedWindows();
        QStringList listTold;
        QVERIFY(consolelogin::loginAnsweringYes(&listTold));
        QCOMPARE(listTold.size(), 1);
        for (const QString& strNamed : {QString::number(holder.processId()), QStringLiteral("51230")})
            QVERIFY2(listTold.first().contains(strNamed), qPrintable(listTold.first()));
        QTRY_COMPARE_WITH_TIMEOUT(g_pRackmind->listPdu.size(),
                                  qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT"), 20000);
        for (CPdu* pPdu : g_pRackmind->listPdu)
            QTRY_VERIFY_WITH_TIMEOUT(pPdu->isOnline() && pPdu->hasReported(kCmdStatus), 20000);
        // A switch from the free port reaches its PDU, and the PDU's new state comes back there.
        consolelogin::switchReachesUnit(m_sim, g_pRackmind->listPdu.last(), 2);
        runExitSequence();
        QVERIFY(!g_pUdpThread);
        holder.closeWriteChannel();
        QVERIFY(holder.waitForFinished(30000));
    }

    // SIGTERM (a logout, a shutdown) while the login is being accepted: the quit wins, the room stops in
    // its safe order and the main window never runs. Last: the application stays asked to quit.
    void quitAsTheLoginIsAcceptedWins()
    {
        quitOnUnixSignals();
        auto* pSignals = qApp->findChild<CUnixSignals*>();
        QVERIFY(pSignals);
        QSignalSpy spyTerm(pSignals, &CUnixSignals::signalReceived);
        createLongLivedWindows();
        // The signal is taken in the same turn of the login's event loop that accepts it.
        bool bPolling = false;
        connect(g_pLoginDialog, &QDialog::accepted, this, [&] {
            bPolling = consoleRoom()->isRunning();
            ::raise(SIGTERM);
            QDeadlineTimer deadline(30000);
            while (spyTerm.isEmpty() && !deadline.hasExpired())
                QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        });
        QVERIFY(!runLogin());
        QVERIFY(bPolling);
        QCOMPARE(spyTerm.size(), 1);
        QCOMPARE(runMainWindow(), 0);
        QVERIFY(!g_pMainDialog->isVisible());
        runExitSequence();
        QVERIFY(!g_pUdpThread);
        QVERIFY(!g_pUdpDriver);
        QVERIFY(!g_pRackmind);

        // Asked before the login was shown: no polling starts for a program on its way out.
        createLongLivedWindows();
        QVERIFY(!runLogin());
        QVERIFY(!consoleRoom()->isRunning());
        QVERIFY(!g_pUdpThread);
        runExitSequence();
    }

    void cleanupTestCase() { m_sim.stopFleet(); }
};

QTEST_MAIN(TestLoginBed)
#include "tst_loginbed.moc"
