#include "device/MetaTypes.h"
#include "device/Protocol.h"
#include "device/UdpDriver.h"
#include "tools/pdusim/SimThread.h"

#include <QSet>
#include <QThread>
#include <QTimer>
#include <QtTest>

// The console's transport against a hundred simulated PDUs, each answering from its own address:
// every tick must bring back all six replies of every device, tick after tick.
class TestUdpDriverFleet : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { registerDeviceMetaTypes(); }

    void pollsHundredDevicesTickAfterTick()
    {
        constexpr int kDevices = 100;
        constexpr int kTicks = 5;
        CSimThread sim;
        CSimConfig config;
        config.iDevices = kDevices;
        QString strError;
        QVERIFY2(sim.startFleet(config, &strError), qPrintable(strError));

        QThread thread;
        thread.setObjectName(QStringLiteral("UdpThread"));
        auto* pDriver = new CUdpDriver;
        pDriver->setObjectName(QStringLiteral("UdpDriver"));
        pDriver->moveToThread(&thread);

        // Replies are filed under the tick whose queries they answer: the tick's mark reaches this
        // thread before any reply to its queries does.
        QList<QList<QNetworkDatagram>> listTicks;
        connect(
            pDriver->pTimer, &QTimer::timeout, this,
            [&listTicks]() { listTicks.append(QList<QNetworkDatagram>()); }, Qt::QueuedConnection);
        connect(pDriver, &CUdpDriver::signalRcvData, this, [&listTicks](const QNetworkDatagram& nd) {
            if (!listTicks.isEmpty())
                listTicks.last().append(nd);
        });
        thread.start();
        bool bResult = false;
        QMetaObject::invokeMethod(
            pDriver, [&]() { pDriver->slotStartBroadcast(bResult, 51230, 1000); },
            Qt::BlockingQueuedConnection);
        QVERIFY(bResult);

        QTRY_VERIFY_WITH_TIMEOUT(listTicks.size() > kTicks, (kTicks + 5) * 1000);
        QMetaObject::invokeMethod(
            pDriver, [&]() { pDriver->slotStopBroadcast(); }, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        delete pDriver;

        // Every tick but the last, which may still have been arriving when the driver stopped.
        for (int iTick = 0; iTick < kTicks; ++iTick) {
            const QList<QNetworkDatagram>& list = listTicks[iTick];
            QSet<QPair<quint32, int>> setSeen;
            for (const QNetworkDatagram& nd : list) {
                QVERIFY2(isAcceptedReply(nd.data()), nd.data().toHex(' ').constData());
                QCOMPARE(nd.senderPort(), 51230);
                setSeen.insert({nd.senderAddress().toIPv4Address(), quint8(nd.data()[2])});
            }
            QVERIFY2(list.size() == kDevices * 6,
                     qPrintable(QStringLiteral("tick %1: %2 replies").arg(iTick).arg(list.size())));
            QCOMPARE(setSeen.size(), kDevices * 6);
        }
        QCOMPARE(sim.call([](CSimFleet& f) { return f.stats().queries; }), quint64(listTicks.size() * 6));
    }
};

QTEST_GUILESS_MAIN(TestUdpDriverFleet)
#include "tst_udpdriver_fleet.moc"
