#include "device/MetaTypes.h"
#include "device/UdpDriver.h"
#include "tests/common/DataRows.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFrames.h"
#include "tests/device/PduInfoCompare.h"
#include "tools/common/ConsoleRig.h"
#include "tools/pdusim/SimThread.h"

#include <QtTest>

#include <sys/stat.h>

namespace {
constexpr uint kNoTick = 3600 * 1000; // a period that never elapses within a test

NetInterfaceInfo netIf(const char* name, QNetworkInterface::InterfaceFlags flags, const QStringList& addrs)
{
    NetInterfaceInfo info{QString::fromLatin1(name), flags, {}, {}};
    for (const QString& str : addrs)
        info.addresses.append(QHostAddress(str));
    return info;
}
} // namespace

using PortFileRow = std::tuple<QList<uint>, QList<uint>, QStringList, bool>;
Q_DECLARE_METATYPE(PortFileRow)

// The transport on the bed's two links, each with a console address and a device side.
class TestUdpDriver : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dirWork;
    QList<QHostAddress> m_listConsole;
    const QByteArray m_baOutlet3Off = hex("A7 41 0C 02 02 04 FC");

    void started(CUdpDriver& driver)
    {
        bool bResult = false;
        driver.slotStartBroadcast(bResult, 51230, kNoTick);
        QVERIFY(bResult);
        QCOMPARE(driver.listUdpSocket.size(), driver.listLocalAddr.size());
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "must run inside scripts/netbed");
        registerDeviceMetaTypes();
        QVERIFY(QDir::setCurrent(m_dirWork.path()));
        for (const QString& str : netbed::consoleAddrs())
            m_listConsole.append(QHostAddress(str));
        QCOMPARE(m_listConsole.size(), 2);
    }

    // Sockets go on the IPv4 addresses of running interfaces, in order; loopback, IPv6 and localhost
    // addresses get none.
    void interfaceFilter()
    {
        using F = QNetworkInterface;
        const F::InterfaceFlags running = F::IsUp | F::CanBroadcast | F::IsRunning;
        CUdpDriver driver({netIf("eth0", running, {"fd00::1", "192.168.0.100", "127.0.0.1", "10.0.0.9"}),
                           netIf("lo", running | F::IsLoopBack, {"127.0.0.2"}),
                           netIf("eth1", F::IsUp | F::CanBroadcast, {"10.1.1.1"}),
                           netIf("eth2", F::IsRunning, {"172.16.5.4"})});
        QCOMPARE(driver.listLocalAddr, (QList<QHostAddress>{QHostAddress(QStringLiteral("192.168.0.100")),
                                                            QHostAddress(QStringLiteral("10.0.0.9")),
                                                            QHostAddress(QStringLiteral("172.16.5.4"))}));
        QCOMPARE(driver.listLocalIPv4, (QList<uint>{0xC0A80064u, 0x0A000009u, 0xAC100504u}));
    }

    // Real interfaces of the console namespace: a link that is up without carrier and the loopback get
    // no socket.
    void bedInterfacesGiveSockets()
    {
        QVERIFY(netbed::ip({"link", "add", "rxnocarrier", "type", "veth", "peer", "name", "rxpeer"}));
        auto cleanup = qScopeGuard([] { netbed::ip({"link", "del", "rxnocarrier"}); });
        QVERIFY(netbed::ip({"addr", "add", "10.202.0.1/24", "dev", "rxnocarrier"}));
        QVERIFY(netbed::ip({"link", "set", "rxnocarrier", "up"}));

        CUdpDriver driver;
        QCOMPARE(driver.listLocalAddr, m_listConsole);
        started(driver);
        for (int i = 0; i < m_listConsole.size(); ++i) {
            QCOMPARE(driver.listUdpSocket.at(i)->localAddress(), m_listConsole.at(i));
            QCOMPARE(driver.listUdpSocket.at(i)->localPort(), quint16(51230));
        }
    }

    // Two addresses on two links and two device ports: one tick is 2 x 2 x 6 broadcasts, and each
    // link carries only the datagrams of its own address.
    void broadcastFanOut()
    {
        QObject scope;
        QStringList listSeen; // link, port, sender, destination, command
        for (int iLink = 0; iLink < 2; ++iLink) {
            for (quint16 uiPort : {quint16(51230), quint16(6000)}) {
                QUdpSocket* pSocket = netbed::openDeviceSocket(&scope, QHostAddress(QHostAddress::AnyIPv4),
                                                               uiPort, netbed::deviceIfs().at(iLink));
                QVERIFY(pSocket);
                connect(pSocket, &QUdpSocket::readyRead, &scope, [=, &listSeen] {
                    while (pSocket->hasPendingDatagrams()) {
                        const QNetworkDatagram nd = pSocket->receiveDatagram();
                        listSeen << QStringLiteral("%1 %2 %3:%4 %5 %6")
                                        .arg(iLink)
                                        .arg(uiPort)
                                        .arg(nd.senderAddress().toString())
                                        .arg(nd.senderPort())
                                        .arg(nd.destinationAddress().toString())
                                        .arg(QString::fromLatin1(nd.data().toHex()));
                    }
                });
            }
        }
        CUdpDriver driver;
        driver.slotUpdateDevicePort({51230, 6000});
        started(driver);
        driver.slotBroadcastTimeout();
        QTRY_COMPARE(listSeen.size(), 24);
        QTest::qWait(200); // nothing more may follow
        QStringList listExpected;
        for (int iLink = 0; iLink < 2; ++iLink)
            for (int uiPort : {51230, 6000})
                for (const QByteArray& baQuery : queryFrames())
                    listExpected << QStringLiteral("%1 %2 %3:51230 255.255.255.255 %4")
                                        .arg(iLink)
                                        .arg(uiPort)
                                        .arg(m_listConsole.at(iLink).toString())
                                        .arg(QString::fromLatin1(baQuery.toHex()));
        listSeen.sort();
        listExpected.sort();
        QCOMPARE(listSeen, listExpected);
    }

    // A round of queries every period: about twenty in a second at 50 ms. A late tick is dropped, not
    // made up, so the floor is loose, but far above what a period several times too long gives.
    void pollsOncePerPeriod()
    {
        QObject scope;
        QUdpSocket* pSocket = netbed::openDeviceSocket(&scope, QHostAddress(QHostAddress::AnyIPv4), 51230,
                                                       netbed::deviceIfs().at(0));
        QVERIFY(pSocket);
        CUdpDriver driver;
        bool bResult = false;
        driver.slotStartBroadcast(bResult, 51230, 50);
        QVERIFY(bResult);
        QTest::qWait(1000);
        int iDatagrams = 0;
        for (; pSocket->hasPendingDatagrams(); ++iDatagrams)
            pSocket->receiveDatagram();
        const int iRounds = iDatagrams / queryFrames().size();
        QVERIFY2(iRounds >= 10 && iRounds <= 30, qPrintable(QString::number(iRounds)));
    }

    void replyForwardedOwnDropped_data() { addFalseTrueRows("batch", "one by one", "batch path"); }

    // Everything from elsewhere is passed on as it came, empty datagrams included (telling frames apart
    // is the devices' business); what this console sent itself is not. Both paths alike.
    void replyForwardedOwnDropped()
    {
        QFETCH(bool, batch);
        QObject scope;
        CUdpDriver driver;
        started(driver);
        QStringList listSeen;
        const auto seen = [&](const QHostAddress& addr, quint16 uiPort, const QByteArray& baData) {
            listSeen << QStringLiteral("%1:%2 %3").arg(addr.toString()).arg(uiPort).arg(baData.size());
        };
        if (batch)
            connect(&driver, &CUdpDriver::signalRcvBatch, &scope, [&](std::shared_ptr<CReplyQueue> pQueue) {
                bool bMore = false;
                for (const DatagramBatch& b : pQueue->take(1000, &bMore))
                    for (const DatagramBatch::Entry& e : b.vecEntry)
                        seen(QHostAddress(e.uiSender), e.uiPort, b.data(e));
            });
        else
            connect(&driver, &CUdpDriver::signalRcvData, &scope, [&](const QNetworkDatagram& nd) {
                seen(nd.senderAddress(), quint16(nd.senderPort()), nd.data());
            });
        for (const QHostAddress& own : m_listConsole) {
            QUdpSocket sender;
            QVERIFY(sender.bind(own, 0));
            for (const QHostAddress& target : m_listConsole)
                QCOMPARE(sender.writeDatagram("own", target, 51230), qint64(3));
        }
        for (int iLink = 0; iLink < 2; ++iLink) {
            QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(iLink), 51230);
            QVERIFY(pDevice);
            pDevice->writeDatagram(QByteArray(iLink * 1400, '\xA7'), m_listConsole.at(iLink), 51230);
        }
        QTRY_COMPARE(listSeen.size(), 2);
        QTest::qWait(200); // nothing more may follow
        listSeen.sort();
        QCOMPARE(listSeen, (QStringList{"10.200.0.254:51230 0", "10.201.0.254:51230 1400"}));
    }

    // A burst far past the read limit of one notification, while nobody takes: one wake-up for all of
    // it, every datagram kept, each sender's in the order sent; the next burst wakes the taker again.
    void batchBurstWakesOnceKeepsOrder()
    {
        QObject scope;
        CUdpDriver driver;
        started(driver);
        int iWakeUps = 0;
        std::shared_ptr<CReplyQueue> pQueue;
        connect(&driver, &CUdpDriver::signalRcvBatch, &scope, [&](std::shared_ptr<CReplyQueue> p) {
            ++iWakeUps;
            pQueue = p;
        });
        QList<QUdpSocket*> listDevice;
        for (int i = 1; i <= 3; ++i)
            listDevice << netbed::openDeviceSocket(&scope, QHostAddress(QStringLiteral("10.200.1.%1").arg(i)),
                                                   51230);
        const int iPerDevice = CUdpDriver::kMaxReadsPerNotification * 2;
        qint64 iBytesSent = 0;
        const auto burst = [&](int iFrom, int iCount) {
            for (int n = iFrom; n < iFrom + iCount; ++n)
                for (QUdpSocket* pDevice : listDevice) {
                    if (pDevice->writeDatagram(QByteArray::number(n), m_listConsole.at(0), 51230) < 0)
                        return false;
                    iBytesSent += QByteArray::number(n).size() + CUdpDriver::kQueuedOverheadBytes;
                }
            return true;
        };
        QVERIFY(burst(0, iPerDevice));
        QTRY_COMPARE(driver.queuedBytes(), iBytesSent);
        QCOMPARE(iWakeUps, 1);
        const auto takeAll = [&] {
            QHash<quint32, QList<int>> hashSeen;
            bool bMore = true;
            while (bMore)
                for (const DatagramBatch& b : pQueue->take(500, &bMore))
                    for (const DatagramBatch::Entry& e : b.vecEntry)
                        hashSeen[e.uiSender] << b.data(e).toInt();
            return hashSeen;
        };
        const QHash<quint32, QList<int>> hashSeen = takeAll();
        QCOMPARE(hashSeen.size(), 3);
        QList<int> listExpected;
        for (int n = 0; n < iPerDevice; ++n)
            listExpected << n;
        for (const QList<int>& listSeen : hashSeen)
            QCOMPARE(listSeen, listExpected);
        QCOMPARE(driver.queuedBytes(), qint64(0));
        iBytesSent = 0;
        QVERIFY(burst(iPerDevice, 10));
        QTRY_COMPARE(driver.queuedBytes(), iBytesSent);
        QCOMPARE(iWakeUps, 2);
        QCOMPARE(takeAll().value(QHostAddress(QStringLiteral("10.200.1.2")).toIPv4Address()).size(), 10);
    }

    // The second address is taken: the socket already bound on the first is let go again.
    void startFailsWhenAddressTaken()
    {
        CUdpDriver driver;
        QUdpSocket blocker;
        QVERIFY(blocker.bind(m_listConsole.at(1), 51230, QUdpSocket::DontShareAddress));
        bool bResult = true;
        driver.slotStartBroadcast(bResult, 51230, 1000);
        QVERIFY(!bResult);
        QVERIFY(driver.findChildren<QUdpSocket*>().isEmpty());
        QVERIFY(!driver.pTimer->isActive());
        QUdpSocket probe;
        QVERIFY2(probe.bind(m_listConsole.at(0), 51230, QUdpSocket::DontShareAddress),
                 qPrintable(probe.errorString()));
    }

    // Sent through every socket; the port is taken as 16 bits.
    void sendThroughEverySocket()
    {
        const uint port = 65536u + 6000u;
        QObject scope;
        QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(0), 6000);
        QVERIFY(pDevice);
        QList<QNetworkDatagram> received;
        connect(pDevice, &QUdpSocket::readyRead, &scope, [&] {
            while (pDevice->hasPendingDatagrams())
                received << pDevice->receiveDatagram();
        });
        CUdpDriver driver;
        bool bResult = true;
        driver.slotSndData(bResult, m_baOutlet3Off, netbed::deviceGateway(0), port);
        QVERIFY(!bResult); // not started
        started(driver);
        started(driver); // a restart rebinds cleanly
        QCOMPARE(driver.findChildren<QUdpSocket*>().size(), 2);
        driver.slotSndData(bResult, m_baOutlet3Off, netbed::deviceGateway(0), port);
        QVERIFY(bResult);
        QTRY_COMPARE(received.size(), 2);
        QSet<QString> senders;
        for (const QNetworkDatagram& nd : received) {
            QCOMPARE(nd.data(), m_baOutlet3Off);
            senders << nd.senderAddress().toString();
        }
        QCOMPARE(senders, (QSet<QString>{m_listConsole.at(0).toString(), m_listConsole.at(1).toString()}));
        driver.slotStopBroadcast();
        QVERIFY(!driver.pTimer->isActive());
        driver.slotSndData(bResult, m_baOutlet3Off, netbed::deviceGateway(0), port);
        QVERIFY(!bResult); // nothing to send through once stopped
    }

    // The file is written only where it differs from the list (a write replaces it); keys of a longer
    // former list stay.
    void portFile_data()
    {
        // expected: "index=port" of every key in the file afterwards
        QTest::addColumn<PortFileRow>("row");
        QTest::newRow("same list") << PortFileRow({51230, 6000}, {51230, 6000}, {"0=51230", "1=6000"}, false);
        QTest::newRow("last entry differs")
            << PortFileRow({51230, 6000}, {51230, 7000}, {"0=51230", "1=7000"}, true);
        QTest::newRow("longer list, same start")
            << PortFileRow({51230}, {51230, 6000}, {"0=51230", "1=6000"}, true);
        QTest::newRow("shorter list leaves higher keys")
            << PortFileRow({1, 2, 3}, {7000}, {"0=7000", "1=2", "2=3"}, true);
        QTest::newRow("empty list") << PortFileRow({5}, {}, {"0=5"}, false);
    }

    void portFile()
    {
        QFETCH(PortFileRow, row);
        const auto& [before, update, expected, rewritten] = row;
        const auto inode = [] {
            struct stat st = {};
            return ::stat("port.prt", &st) == 0 ? quint64(st.st_ino) : 0;
        };
        QFile::remove(QStringLiteral("port.prt"));
        {
            QSettings settings(QStringLiteral("port.prt"), QSettings::IniFormat);
            for (int i = 0; i < before.size(); ++i)
                settings.setValue(QStringLiteral("%1/port").arg(i), before.at(i));
        }
        const quint64 uiBefore = inode();
        CUdpDriver driver(QList<NetInterfaceInfo>{});
        driver.slotUpdateDevicePort(update);
        QCOMPARE(driver.listDevicePort, update);
        QCOMPARE(inode() != uiBefore, rewritten);
        QSettings settings(QStringLiteral("port.prt"), QSettings::IniFormat);
        QStringList seen;
        for (const QString& group : settings.childGroups())
            seen << group + QLatin1Char('=') + settings.value(group + QStringLiteral("/port")).toString();
        seen.sort();
        QCOMPARE(seen, expected);
    }

    // A rack of 100 simulated PDUs met by the console as the login wires it: each device is announced
    // once and its record settles on exactly what it reports.
    void rackDiscoveredWhole()
    {
        CSimThread sim;
        QVERIFY(startQuietFleet(sim));
        auto stop = qScopeGuard([&] { sim.stopFleet(); });
        const QList<QByteArray> listReplies = sim.call([](CSimFleet& fleet) {
            QList<QByteArray> list;
            for (const CSimDevice* pDevice : fleet.devices())
                for (quint8 cmd : kReplyCommands)
                    list << pDevice->replyFrame(cmd);
            return list;
        });
        QCOMPARE(listReplies.size(), 100 * 6);
        QFile::remove(QStringLiteral("port.prt"));
        QList<PduInfo> listExpected;
        for (int i = 0; i < 100; ++i) {
            CPdu reported;
            for (const QByteArray& baFrame : listReplies.mid(i * 6, 6))
                reported.slotRcvData(baFrame);
            listExpected << reported.stInfo;
        }

        ConsoleRig rig;
        QHash<CPdu*, int> hashAnnounced;
        connect(rig.registry(), &CRackmind::signalNewDevice, this,
                [&](CPdu* pPdu) { ++hashAnnounced[pPdu]; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(rig.start());
        QTRY_COMPARE_WITH_TIMEOUT(rig.registry()->listPdu.size(), 100, 20000);
        qInfo("100 devices discovered after %lld ms", clock.elapsed());
        const auto mismatches = [&] {
            QStringList listBad;
            QList<CPdu*> listLeft = rig.registry()->listPdu;
            for (const PduInfo& expected : listExpected) {
                const auto it = std::find_if(listLeft.begin(), listLeft.end(),
                                             [&](CPdu* pPdu) { return sameInfo(pPdu->stInfo, expected); });
                if (it == listLeft.end())
                    listBad << ipv4ToString(expected.ip);
                else
                    listLeft.erase(it);
            }
            return listBad;
        };
        QTRY_COMPARE_WITH_TIMEOUT(mismatches(), QStringList(), 20000);
        QCOMPARE(hashAnnounced.size(), 100);
        QCOMPARE(hashAnnounced.values().count(1), 100);
        QCOMPARE(rig.registry()->onlineCount(), 100);
        QCOMPARE(rig.registry()->abnormalCount(), 0);
    }

    // Program end: once the thread has finished, the driver is back here with its poll timer stopped, and
    // stops directly.
    void tearDownAfterThreadFinished()
    {
        QThread thread;
        auto* pDriver = new CUdpDriver;
        pDriver->moveToThread(&thread);
        thread.start();
        bool bResult = false;
        QMetaObject::invokeMethod(
            pDriver, [&] { pDriver->slotStartBroadcast(bResult); }, Qt::BlockingQueuedConnection);
        QVERIFY(bResult);
        thread.quit();
        thread.wait();
        QCOMPARE(pDriver->thread(), QThread::currentThread());
        QVERIFY(!pDriver->pTimer->isActive());
        pDriver->slotStopBroadcast();
        QVERIFY(pDriver->listUdpSocket.isEmpty());
        delete pDriver;
    }
};

QTEST_MAIN(TestUdpDriver)
#include "tst_udpdriver.moc"
