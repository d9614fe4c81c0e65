#include "device/MetaTypes.h"
#include "device/UdpDriver.h"
#include "tests/common/NetBed.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QList<QByteArray> kQueries = {
    QByteArray::fromHex("A7400100E8"), QByteArray::fromHex("A7400200E9"), QByteArray::fromHex("A7400600EC"),
    QByteArray::fromHex("A7400800EE"), QByteArray::fromHex("A7400E00F5"), QByteArray::fromHex("A7401000F7"),
};
const QByteArray kOutlet3Off = QByteArray::fromHex("A7410C020204FC");
constexpr uint kNoTick = 3600 * 1000; // a period that never elapses within a test

NetInterfaceInfo netIf(const char* name, QNetworkInterface::InterfaceFlags flags, const QStringList& addrs)
{
    NetInterfaceInfo info{QString::fromLatin1(name), flags, {}};
    for (const QString& str : addrs)
        info.addresses.append(QHostAddress(str));
    return info;
}

struct Captured
{
    int iLink;
    quint16 uiPort;
    QNetworkDatagram ndDatagram;
};

} // namespace

Q_DECLARE_METATYPE(QList<NetInterfaceInfo>)

// Stands in for the login dialog and the registry: the two ends that talk to the driver across threads.
class CDriverPeer : public QObject
{
    Q_OBJECT
signals:
    void signalStartBroadcast(bool& bResult, uint uiUdpLocalPort, uint uiUpdateRate);
    void signalStopBroadcast();
    void signalUpdateDevicePort(QList<uint> listDevicePort);
    void signalSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort);
};

class TestUdpDriver : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dirWork;
    QList<QHostAddress> m_listConsole;

    void started(CUdpDriver& driver, uint uiRate = kNoTick)
    {
        bool bResult = false;
        driver.slotStartBroadcast(bResult, 51230, uiRate);
        QVERIFY(bResult);
        QCOMPARE(driver.listUdpSocket.size(), driver.listLocalAddr.size());
    }

    // Device-side sockets on every link and port, each recording what its interface carries.
    QList<Captured>* capture(QObject* pScope, const QList<quint16>& listPort)
    {
        auto* pList = new QList<Captured>;
        connect(pScope, &QObject::destroyed, [pList] { delete pList; });
        const QStringList ifs = netbed::deviceIfs();
        for (int i = 0; i < ifs.size(); ++i) {
            for (quint16 uiPort : listPort) {
                QUdpSocket* pSocket =
                    netbed::openDeviceSocket(pScope, QHostAddress(QHostAddress::AnyIPv4), uiPort, ifs.at(i));
                if (!pSocket)
                    return nullptr;
                connect(pSocket, &QUdpSocket::readyRead, pScope, [pSocket, pList, i, uiPort] {
                    while (pSocket->hasPendingDatagrams())
                        pList->append({i, uiPort, pSocket->receiveDatagram()});
                });
            }
        }
        return pList;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "must run inside scripts/netbed");
        registerDeviceMetaTypes();
        QVERIFY(m_dirWork.isValid());
        QVERIFY(QDir::setCurrent(m_dirWork.path()));
        for (const QString& str : netbed::consoleAddrs())
            m_listConsole.append(QHostAddress(str));
        QCOMPARE(m_listConsole.size(), 2);
    }

    void constructedState()
    {
        CUdpDriver driver(QList<NetInterfaceInfo>{});
        QCOMPARE(driver.objectName(), QStringLiteral("UdpDriver"));
        QVERIFY(!driver.parent());
        QCOMPARE(driver.listDevicePort, QList<uint>{51230});
        QVERIFY(driver.pTimer && driver.pTimer->parent() == &driver);
        QVERIFY(!driver.pTimer->isActive());
        QVERIFY(driver.listUdpSocket.isEmpty());

        // The slots' order is part of the driver's meta-object contract.
        const QMetaObject* pMeta = driver.metaObject();
        QStringList methods;
        for (int i = pMeta->methodOffset(); i < pMeta->methodCount(); ++i)
            methods << QString::fromLatin1(pMeta->method(i).name());
        QCOMPARE(methods, (QStringList{"signalRcvData", "slotStartBroadcast", "slotStartBroadcast",
                                       "slotStartBroadcast", "slotStopBroadcast", "slotUpdateDevicePort",
                                       "slotSndData", "slotUdpRead", "slotBroadcastTimeout"}));
    }

    void interfaceFilter_data()
    {
        using F = QNetworkInterface;
        const F::InterfaceFlags up = F::IsUp | F::CanBroadcast;
        const F::InterfaceFlags running = up | F::IsRunning;
        QTest::addColumn<QList<NetInterfaceInfo>>("interfaces");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("two running") << QList<NetInterfaceInfo>{netIf("eth0", running, {"10.200.0.1"}),
                                                                netIf("eth1", running, {"10.201.0.1"})}
                                     << QStringList{"10.200.0.1", "10.201.0.1"};
        QTest::newRow("up, not running")
            << QList<NetInterfaceInfo>{netIf("eth0", up, {"10.200.0.1"})} << QStringList{};
        QTest::newRow("loopback") << QList<NetInterfaceInfo>{netIf("lo", running | F::IsLoopBack,
                                                                   {"127.0.0.1", "127.0.0.2"})}
                                  << QStringList{};
        QTest::newRow("ipv6 only") << QList<NetInterfaceInfo>{netIf("eth0", running, {"fd00::1", "fe80::1"})}
                                   << QStringList{};
        QTest::newRow("running but not up")
            << QList<NetInterfaceInfo>{netIf("eth0", F::IsRunning, {"10.200.0.1"})}
            << QStringList{"10.200.0.1"};
        QTest::newRow("entries in order, v6 and localhost skipped")
            << QList<NetInterfaceInfo>{netIf("eth0", running,
                                             {"fd00::1", "192.168.0.100", "127.0.0.1", "10.0.0.9"}),
                                       netIf("lo", running | F::IsLoopBack, {"127.0.0.1"}),
                                       netIf("eth1", running, {"172.16.5.4"})}
            << QStringList{"192.168.0.100", "10.0.0.9", "172.16.5.4"};
    }

    void interfaceFilter()
    {
        QFETCH(QList<NetInterfaceInfo>, interfaces);
        QFETCH(QStringList, expected);
        CUdpDriver driver(interfaces);
        QStringList seen;
        QList<uint> listExpectedIPv4;
        for (const QHostAddress& a : driver.listLocalAddr)
            seen << a.toString();
        for (const QString& str : expected)
            listExpectedIPv4 << QHostAddress(str).toIPv4Address();
        QCOMPARE(seen, expected);
        QCOMPARE(driver.listLocalIPv4, listExpectedIPv4);
    }

    void ipv4ValueHasFirstOctetOnTop()
    {
        CUdpDriver driver({netIf("eth0", QNetworkInterface::IsRunning, {"192.168.0.100"})});
        QCOMPARE(driver.listLocalIPv4, QList<uint>{0xC0A80064u});
    }

    // Real interfaces of the console namespace: a link that is up without carrier, one that carries
    // only IPv6 and the loopback must not get a socket.
    void bedInterfacesGiveSockets()
    {
        QVERIFY(netbed::ip({"link", "add", "rxnocarrier", "type", "veth", "peer", "name", "rxpeer"}));
        QVERIFY(netbed::ip({"link", "add", "rxv6", "type", "veth", "peer", "name", "rxv6peer"}));
        auto cleanup = qScopeGuard([] {
            netbed::ip({"link", "del", "rxnocarrier"});
            netbed::ip({"link", "del", "rxv6"});
        });
        QVERIFY(netbed::ip({"addr", "add", "10.202.0.1/24", "dev", "rxnocarrier"}));
        QVERIFY(netbed::ip({"link", "set", "rxnocarrier", "up"}));
        QVERIFY(netbed::ip({"-6", "addr", "add", "fd00:5::1/64", "dev", "rxv6", "nodad"}));
        QVERIFY(netbed::ip({"link", "set", "rxv6", "up"}));
        QVERIFY(netbed::ip({"link", "set", "rxv6peer", "up"}));

        QTRY_VERIFY(QNetworkInterface::interfaceFromName(QStringLiteral("rxv6")).flags() &
                    QNetworkInterface::IsRunning);
        const QNetworkInterface noCarrier =
            QNetworkInterface::interfaceFromName(QStringLiteral("rxnocarrier"));
        // Administratively up (IFF_UP) but without carrier.
        QFile sysFlags(QStringLiteral("/sys/class/net/rxnocarrier/flags"));
        QVERIFY(sysFlags.open(QIODevice::ReadOnly));
        QVERIFY(sysFlags.readAll().trimmed().toUInt(nullptr, 16) & 0x1);
        QVERIFY(!(noCarrier.flags() & QNetworkInterface::IsRunning));

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
        QList<Captured>* pCaptured = capture(&scope, {51230, 6000});
        QVERIFY(pCaptured);
        CUdpDriver driver;
        driver.slotUpdateDevicePort({51230, 6000});
        started(driver);
        driver.slotBroadcastTimeout();

        QTRY_COMPARE(pCaptured->size(), 24);
        QTest::qWait(200); // nothing more may follow
        QCOMPARE(pCaptured->size(), 24);
        for (int iLink = 0; iLink < 2; ++iLink) {
            for (quint16 uiPort : {quint16(51230), quint16(6000)}) {
                QList<QByteArray> frames;
                for (const Captured& c : *pCaptured) {
                    if (c.iLink != iLink || c.uiPort != uiPort)
                        continue;
                    QCOMPARE(c.ndDatagram.senderAddress(), m_listConsole.at(iLink));
                    QCOMPARE(c.ndDatagram.senderPort(), 51230);
                    QCOMPARE(c.ndDatagram.destinationAddress(), QHostAddress(QHostAddress::Broadcast));
                    frames << c.ndDatagram.data();
                }
                QCOMPARE(frames, kQueries);
            }
        }
    }

    void timerDrivesTicks()
    {
        QObject scope;
        QList<Captured>* pCaptured = capture(&scope, {51230});
        QVERIFY(pCaptured);
        CUdpDriver driver;
        started(driver, 50);
        QCOMPARE(driver.pTimer->interval(), 50);
        QTRY_VERIFY(pCaptured->size() >= 3 * 12);
        driver.slotStopBroadcast();
        QVERIFY(!driver.pTimer->isActive());
        QVERIFY(driver.listUdpSocket.isEmpty());
        // A port list that changes while running is used from the next tick on.
        driver.slotUpdateDevicePort({6000});
        QList<Captured>* pOther = capture(&scope, {6000});
        QVERIFY(pOther);
        started(driver, 50);
        QTRY_VERIFY(pOther->size() >= 12);
    }

    void replyForwardedOwnDropped()
    {
        QObject scope;
        CUdpDriver driver;
        started(driver);
        QSignalSpy spy(&driver, &CUdpDriver::signalRcvData);

        // Another program of this machine, sending from each of the console's own addresses.
        for (const QHostAddress& own : m_listConsole) {
            QUdpSocket sender;
            QVERIFY(sender.bind(own, 0));
            for (const QHostAddress& target : m_listConsole)
                QCOMPARE(sender.writeDatagram("own", target, 51230), qint64(3));
        }
        QList<QUdpSocket*> devices;
        for (int iLink = 0; iLink < 2; ++iLink) {
            QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(iLink), 51230);
            QVERIFY(pDevice);
            QCOMPARE(pDevice->writeDatagram(kOutlet3Off, m_listConsole.at(iLink), 51230),
                     qint64(kOutlet3Off.size()));
        }
        QTRY_COMPARE(spy.size(), 2);
        QTest::qWait(200);
        QCOMPARE(spy.size(), 2);
        QSet<QString> senders;
        for (const QList<QVariant>& args : spy) {
            const auto nd = args.at(0).value<QNetworkDatagram>();
            QCOMPARE(nd.data(), kOutlet3Off);
            QCOMPARE(nd.senderPort(), 51230);
            senders << nd.senderAddress().toString();
        }
        QCOMPARE(senders, (QSet<QString>{"10.200.0.254", "10.201.0.254"}));
    }

    // Garbage is read and passed on like anything else: telling frames apart is the devices' business.
    void emptyAndOddDatagramsForwarded()
    {
        QObject scope;
        CUdpDriver driver;
        started(driver);
        QSignalSpy spy(&driver, &CUdpDriver::signalRcvData);
        QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(0), 51230);
        QVERIFY(pDevice);
        const QList<QByteArray> payloads = {QByteArray(), QByteArray("x"), QByteArray(1400, '\xA7')};
        for (const QByteArray& ba : payloads)
            pDevice->writeDatagram(ba, m_listConsole.at(0), 51230);
        QTRY_COMPARE(spy.size(), payloads.size());
        for (int i = 0; i < payloads.size(); ++i)
            QCOMPARE(spy.at(i).at(0).value<QNetworkDatagram>().data(), payloads.at(i));
    }

    void startFailsWhenAddressTaken_data()
    {
        QTest::addColumn<int>("taken");
        QTest::newRow("first") << 0;
        QTest::newRow("second") << 1;
        QTest::newRow("third") << 2;
    }

    void startFailsWhenAddressTaken()
    {
        QFETCH(int, taken);
        const QString ifSecond = netbed::consoleIfs().at(1);
        QVERIFY(netbed::ip({"addr", "add", "10.201.0.2/16", "dev", ifSecond}));
        auto cleanup = qScopeGuard([&] { netbed::ip({"addr", "del", "10.201.0.2/16", "dev", ifSecond}); });

        CUdpDriver driver;
        QCOMPARE(driver.listLocalAddr.size(), 3);
        QUdpSocket blocker;
        QVERIFY(blocker.bind(driver.listLocalAddr.at(taken), 51230, QUdpSocket::DontShareAddress));

        bool bResult = true;
        driver.slotStartBroadcast(bResult, 51230, 1000);
        QVERIFY(!bResult);
        QVERIFY(driver.listUdpSocket.isEmpty());
        QVERIFY(driver.findChildren<QUdpSocket*>().isEmpty());
        QVERIFY(!driver.pTimer->isActive());
        // Nothing of the failed start may hold the port any longer.
        for (int i = 0; i < driver.listLocalAddr.size(); ++i) {
            if (i == taken)
                continue;
            QUdpSocket probe;
            QVERIFY2(probe.bind(driver.listLocalAddr.at(i), 51230, QUdpSocket::DontShareAddress),
                     qPrintable(probe.errorString()));
        }
    }

    void restartRebindsCleanly()
    {
        CUdpDriver driver;
        started(driver);
        started(driver);
        QCOMPARE(driver.findChildren<QUdpSocket*>().size(), 2);
        QVERIFY(driver.pTimer->isActive());
    }

    void sendWithoutSocket()
    {
        CUdpDriver driver;
        bool bResult = true;
        driver.slotSndData(bResult, kOutlet3Off, netbed::deviceGateway(0), 6000);
        QVERIFY(!bResult);

        started(driver);
        driver.slotStopBroadcast();
        bResult = true;
        driver.slotSndData(bResult, kOutlet3Off, netbed::deviceGateway(0), 6000);
        QVERIFY(!bResult);
    }

    void sendThroughEverySocket_data()
    {
        QTest::addColumn<uint>("port");
        QTest::newRow("6000") << 6000u;
        QTest::newRow("port taken as 16 bits") << 65536u + 6000u;
    }

    void sendThroughEverySocket()
    {
        QFETCH(uint, port);
        QObject scope;
        QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(0), 6000);
        QVERIFY(pDevice);
        QList<QNetworkDatagram> received;
        connect(pDevice, &QUdpSocket::readyRead, &scope, [&] {
            while (pDevice->hasPendingDatagrams())
                received << pDevice->receiveDatagram();
        });
        CUdpDriver driver;
        started(driver);
        bool bResult = false;
        driver.slotSndData(bResult, kOutlet3Off, netbed::deviceGateway(0), port);
        QVERIFY(bResult);
        QTRY_COMPARE(received.size(), 2);
        QSet<QString> senders;
        for (const QNetworkDatagram& nd : received) {
            QCOMPARE(nd.data(), kOutlet3Off);
            senders << nd.senderAddress().toString();
        }
        QCOMPARE(senders, (QSet<QString>{m_listConsole.at(0).toString(), m_listConsole.at(1).toString()}));
    }

    void portFile_data()
    {
        QTest::addColumn<QList<uint>>("before");
        QTest::addColumn<QList<uint>>("update");
        QTest::addColumn<QStringList>("expected"); // "index=port" of every key in the file afterwards
        QTest::newRow("equal list still written")
            << QList<uint>{} << QList<uint>{51230} << QStringList{"0=51230"};
        QTest::newRow("new list") << QList<uint>{51230} << QList<uint>{6000, 51230, 7000}
                                  << QStringList{"0=6000", "1=51230", "2=7000"};
        QTest::newRow("shorter list leaves higher keys")
            << QList<uint>{1, 2, 3} << QList<uint>{7000} << QStringList{"0=7000", "1=2", "2=3"};
        QTest::newRow("empty list") << QList<uint>{5} << QList<uint>{} << QStringList{"0=5"};
    }

    void portFile()
    {
        QFETCH(QList<uint>, before);
        QFETCH(QList<uint>, update);
        QFETCH(QStringList, expected);
        QFile::remove(QStringLiteral("port.prt"));
        {
            QSettings settings(QStringLiteral("port.prt"), QSettings::IniFormat);
            for (int i = 0; i < before.size(); ++i)
                settings.setValue(QStringLiteral("%1/port").arg(i), before.at(i));
        }
        CUdpDriver driver(QList<NetInterfaceInfo>{});
        driver.slotUpdateDevicePort(update);
        QCOMPARE(driver.listDevicePort, update);

        QSettings settings(QStringLiteral("port.prt"), QSettings::IniFormat);
        QStringList seen;
        for (const QString& group : settings.childGroups())
            seen << group + QLatin1Char('=') + settings.value(group + QStringLiteral("/port")).toString();
        seen.sort();
        QCOMPARE(seen, expected);
    }

    // The list is announced once per new device; a file that holds it already is not written again
    // (a write replaces the file), one that differs anywhere in the list is.
    void portFileWrittenOnlyWhenItDiffers()
    {
        const auto inode = [] {
            struct stat st
            {
            };
            return ::stat("port.prt", &st) == 0 ? quint64(st.st_ino) : 0;
        };
        QFile::remove(QStringLiteral("port.prt"));
        CUdpDriver driver(QList<NetInterfaceInfo>{});
        driver.slotUpdateDevicePort({51230, 6000});
        const quint64 uiFirst = inode();
        QVERIFY(uiFirst != 0);
        driver.slotUpdateDevicePort({51230, 6000});
        driver.slotUpdateDevicePort({51230});
        QCOMPARE(inode(), uiFirst);
        // The calls above came as one burst, which is written once, after it.
        QCoreApplication::processEvents();
        QCOMPARE(inode(), uiFirst);

        driver.slotUpdateDevicePort({51230, 7000});
        QVERIFY(inode() != uiFirst);
        QSettings settings(QStringLiteral("port.prt"), QSettings::IniFormat);
        QCOMPARE(settings.value(QStringLiteral("0/port")).toUInt(), 51230u);
        QCOMPARE(settings.value(QStringLiteral("1/port")).toUInt(), 7000u);
        QCOMPARE(driver.listDevicePort, (QList<uint>{51230, 7000}));
    }

    void metaTypes()
    {
        QCOMPARE(QMetaType::type("bool&"), int(QMetaType::Bool));
        const int iList = QMetaType::type("QList<unsigned int>");
        QCOMPARE(iList, qMetaTypeId<QList<uint>>());
        QVERIFY(QMetaType::hasRegisteredConverterFunction(
            iList, qMetaTypeId<QtMetaTypePrivate::QSequentialIterableImpl>()));
        QCOMPARE(QMetaType::type("QNetworkDatagram"), qMetaTypeId<QNetworkDatagram>());
        QCOMPARE(QMetaType::type("QHostAddress"), qMetaTypeId<QHostAddress>());
    }

    // The driver in "UdpThread", wired as the program wires it: a blocking start that reports back,
    // queued port list and sends, and a burst of replies within one tick that all come through.
    void threadedBurst()
    {
        QObject scope;
        CDriverPeer peer;
        QThread thread;
        thread.setObjectName(QStringLiteral("UdpThread"));
        auto* pDriver = new CUdpDriver;
        pDriver->moveToThread(&thread);
        connect(&peer, &CDriverPeer::signalStartBroadcast, pDriver, &CUdpDriver::slotStartBroadcast,
                Qt::BlockingQueuedConnection);
        connect(&peer, &CDriverPeer::signalStopBroadcast, pDriver, &CUdpDriver::slotStopBroadcast,
                Qt::BlockingQueuedConnection);
        connect(&peer, &CDriverPeer::signalUpdateDevicePort, pDriver, &CUdpDriver::slotUpdateDevicePort);
        connect(&peer, &CDriverPeer::signalSndData, pDriver, &CUdpDriver::slotSndData);
        QList<QByteArray> received;
        connect(pDriver, &CUdpDriver::signalRcvData, &scope, [&](const QNetworkDatagram& nd) {
            QCOMPARE(QThread::currentThread(), QCoreApplication::instance()->thread());
            received << nd.data();
        });
        thread.start();
        auto cleanup = qScopeGuard([&] {
            emit peer.signalStopBroadcast();
            thread.quit();
            thread.wait();
            delete pDriver;
        });

        QFile::remove(QStringLiteral("port.prt"));
        emit peer.signalUpdateDevicePort({51230, 6000});
        bool bResult = false;
        emit peer.signalStartBroadcast(bResult, 51230, 1000);
        QVERIFY(bResult);
        QTRY_VERIFY(QFile::exists(QStringLiteral("port.prt")));

        QUdpSocket* pDevice = netbed::openDeviceSocket(&scope, netbed::deviceGateway(0), 6000);
        QVERIFY(pDevice);
        bool bIgnored = true;
        emit peer.signalSndData(bIgnored, kOutlet3Off, netbed::deviceGateway(0), 6000);
        QTRY_VERIFY(pDevice->hasPendingDatagrams());
        QCOMPARE(pDevice->receiveDatagram().data(), kOutlet3Off);

        const int iBurst = 600;
        for (int i = 0; i < iBurst; ++i) {
            QByteArray ba = QByteArray::fromHex("A74206080000000000000000");
            ba[4] = char(i & 0xFF);
            ba[5] = char(i >> 8);
            QCOMPARE(pDevice->writeDatagram(ba, m_listConsole.at(0), 51230), qint64(ba.size()));
        }
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), iBurst, 10000);
        for (int i = 0; i < iBurst; ++i)
            QCOMPARE(uchar(received.at(i).at(4)) | uchar(received.at(i).at(5)) << 8, i);
    }

    // Program end: the thread is finished first, then the driver is pulled back and stopped directly.
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
        // Already back, with its poll timer stopped: nothing of it is left queued for a thread that
        // will not run it.
        QCOMPARE(pDriver->thread(), QThread::currentThread());
        QVERIFY(!pDriver->pTimer->isActive());
        pDriver->moveToThread(QThread::currentThread());
        QCOMPARE(pDriver->thread(), QThread::currentThread());
        pDriver->slotStopBroadcast();
        QVERIFY(pDriver->listUdpSocket.isEmpty());
        delete pDriver;
    }
};

QTEST_GUILESS_MAIN(TestUdpDriver)
#include "tst_udpdriver.moc"
