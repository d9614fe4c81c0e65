#include "app/AppShell.h"
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

#include <QtTest>

// The console's login in the bed, as the program runs it: beside another program that holds the device
// port.
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

    void cleanupTestCase() { m_sim.stopFleet(); }
};

QTEST_MAIN(TestLoginBed)
#include "tst_loginbed.moc"
