#include "device/MetaTypes.h"
#include "device/Pdu.h"
#include "device/PduInfo.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "tests/common/NetBed.h"
#include "tests/device/PduInfoCompare.h"
#include "tools/pdusim/SimThread.h"

#include <QElapsedTimer>
#include <QtTest>

#include <memory>

namespace {
// What the console should hold for a simulated device: its six replies as it sends them now.
PduInfo reportedBy(const CSimDevice& device)
{
    PduInfo info;
    for (quint8 cmd :
         {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}) {
        const QByteArray payload = framePayload(device.replyFrame(cmd));
        switch (cmd) {
        case kCmdNetwork:
            decodeNetworkPayload(payload, info);
            break;
        case kCmdDeviceInfo:
            decodeDeviceInfoPayload(payload, info);
            break;
        case kCmdStatus:
            decodeStatusPayload(payload, info);
            break;
        case kCmdThresholds:
            decodeThresholdsPayload(payload, info);
            break;
        case kCmdOutletDelays:
            decodeOutletDelaysPayload(payload, info);
            break;
        default:
            decodeOutletNamesPayload(payload, info);
            break;
        }
    }
    return info;
}
} // namespace

// The console's device machinery as the login wires it: the transport on "UdpThread", the registry
// on this thread, queued signals between them.
class CConsole
{
public:
    CConsole()
    {
        m_thread.setObjectName(QStringLiteral("UdpThread"));
        m_pDriver = new CUdpDriver;
        m_pDriver->moveToThread(&m_thread);
        m_thread.start();
        registry = std::make_unique<CRackmind>();
        g_pRackmind = registry.get();
        QObject::connect(registry.get(), &CRackmind::signalUpdateDevicePort, m_pDriver,
                         &CUdpDriver::slotUpdateDevicePort);
        QObject::connect(registry.get(), &CRackmind::signalSndData, m_pDriver, &CUdpDriver::slotSndData);
        QObject::connect(m_pDriver, &CUdpDriver::signalRcvData, registry.get(), &CRackmind::slotRcvData);
    }

    ~CConsole()
    {
        QMetaObject::invokeMethod(
            m_pDriver, [this] { m_pDriver->slotStopBroadcast(); }, Qt::BlockingQueuedConnection);
        registry.reset();
        QMetaObject::invokeMethod(
            m_pDriver, [this] { delete m_pDriver; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }

    bool start()
    {
        emit registry->signalUpdateDevicePort(registry->listDevicePort);
        bool bResult = false;
        QMetaObject::invokeMethod(
            m_pDriver, [&] { m_pDriver->slotStartBroadcast(bResult, 51230, 1000); },
            Qt::BlockingQueuedConnection);
        return bResult;
    }

    CPdu* find(quint32 uiIp) const
    {
        for (CPdu* pPdu : qAsConst(registry->listPdu)) {
            if (ipv4ToUint(pPdu->stInfo.ip) == uiIp) {
                return pPdu;
            }
        }
        return nullptr;
    }

    CUdpDriver* driver() const { return m_pDriver; }

    std::unique_ptr<CRackmind> registry;

private:
    QThread m_thread;
    CUdpDriver* m_pDriver = nullptr;
};

class TestRackmindBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    std::unique_ptr<QTemporaryDir> m_pWorkDir;

    quint32 simAddress(int iIndex)
    {
        return m_sim.call([iIndex](CSimFleet& fleet) { return fleet.device(iIndex)->st.ip; });
    }

    // Starts the console and waits until it knows the simulated device iIndex.
    CPdu* discovered(CConsole& console, int iIndex)
    {
        if (!console.start()) {
            return nullptr;
        }
        const PduInfo expected =
            m_sim.call([iIndex](CSimFleet& fleet) { return reportedBy(*fleet.device(iIndex)); });
        const quint32 uiIp = ipv4ToUint(expected.ip);
        const bool bSettled = QTest::qWaitFor(
            [&] { return console.find(uiIp) && sameInfo(console.find(uiIp)->stInfo, expected); }, 5000);
        return bSettled ? console.find(uiIp) : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        registerDeviceMetaTypes();
        qRegisterMetaType<CPdu*>();
        CSimConfig config;
        config.bNoise = false;
        QString strError;
        QVERIFY2(m_sim.startFleet(config, &strError), qPrintable(strError));
        QCOMPARE(m_sim.call([](CSimFleet& fleet) { return fleet.deviceCount(); }), 100);
    }

    void cleanupTestCase() { m_sim.stopFleet(); }

    // Every case starts with an empty working directory, so "port.prt" starts afresh.
    void init()
    {
        m_pWorkDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pWorkDir->path()));
    }

    void cleanup() { QVERIFY(QDir::setCurrent(QDir::tempPath())); }

    void discoversEveryDeviceOnce()
    {
        CConsole console;
        QHash<quint32, int> hashSeen;
        QHash<quint32, qint64> hashFirstMs;
        QElapsedTimer clock;
        QObject::connect(console.registry.get(), &CRackmind::signalNewDevice, this, [&](CPdu* pPdu) {
            const quint32 uiIp = ipv4ToUint(pPdu->stInfo.ip);
            hashFirstMs.insert(uiIp, clock.elapsed());
            ++hashSeen[uiIp];
        });
        clock.start();
        QVERIFY(console.start());
        QTRY_COMPARE_WITH_TIMEOUT(console.registry->listPdu.size(), 100, 5000);
        const qint64 allMs = *std::max_element(hashFirstMs.cbegin(), hashFirstMs.cend());
        qInfo("100 devices discovered %lld ms after the start", allMs);
        QVERIFY2(allMs <= 2000, qPrintable(QStringLiteral("%1 ms").arg(allMs)));

        const QList<quint32> listSimIp = m_sim.call([](CSimFleet& fleet) {
            QList<quint32> list;
            for (const CSimDevice* pDevice : fleet.devices()) {
                list << pDevice->st.ip;
            }
            return list;
        });
        QCOMPARE(hashSeen.size(), 100);
        for (quint32 uiIp : listSimIp) {
            QCOMPARE(hashSeen.value(uiIp), 1);
        }

        // Every device's record settles on what it reports: names and readings included.
        auto mismatches = [&] {
            const QList<PduInfo> listExpected = m_sim.call([](CSimFleet& fleet) {
                QList<PduInfo> list;
                for (const CSimDevice* pDevice : fleet.devices()) {
                    list << reportedBy(*pDevice);
                }
                return list;
            });
            QStringList listBad;
            for (const PduInfo& expected : listExpected) {
                const CPdu* pPdu = console.find(ipv4ToUint(expected.ip));
                if (!pPdu || !sameInfo(pPdu->stInfo, expected)) {
                    listBad << ipv4ToString(expected.ip);
                }
            }
            return listBad;
        };
        QTRY_COMPARE_WITH_TIMEOUT(mismatches(), QStringList(), 4000);
        const CPdu* pFirst = console.find(listSimIp.first());
        QCOMPARE(textToString(pFirst->stInfo.name, 16), QStringLiteral("PDU-001"));
        QCOMPARE(console.registry->onlineCount(), 100);
        QCOMPARE(console.registry->listPdu.size(), 100);
    }

    void deviceMovedByDownloadKeepsItsObject()
    {
        CConsole console;
        CPdu* pPdu = discovered(console, 1);
        QVERIFY(pPdu);
        const quint32 uiOld = ipv4ToUint(pPdu->stInfo.ip);
        const quint32 uiNew = m_sim.call([](CSimFleet& fleet) { return fleet.spareAddresses().first(); });
        QSignalSpy changeSpy(console.registry.get(), &CRackmind::signalChangeIP);

        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(uiNew, pPdu->stSetInfo.ip);
        QCOMPARE(pPdu->needDownload(), QList<int>{0x01});
        pPdu->download();

        QTRY_COMPARE(simAddress(1), uiNew);
        QTRY_COMPARE_WITH_TIMEOUT(ipv4ToUint(pPdu->stInfo.ip), uiNew, 4000);
        QCOMPARE(changeSpy.count(), 1);
        QCOMPARE(changeSpy.at(0).at(0).toUInt(), uiOld);
        QCOMPARE(changeSpy.at(0).at(1).toUInt(), uiNew);
        QVERIFY(pPdu->needDownload().isEmpty());
        // A further poll answered from the new address still reaches the same object.
        const QDateTime dtBefore = pPdu->dtLastRcv;
        QTRY_VERIFY_WITH_TIMEOUT(pPdu->dtLastRcv > dtBefore, 3000);
        QVERIFY(pPdu->isOnline());
        int iAtNew = 0;
        for (const CPdu* p : qAsConst(console.registry->listPdu)) {
            iAtNew += ipv4ToUint(p->stInfo.ip) == uiNew ? 1 : 0;
        }
        QCOMPARE(iAtNew, 1);
        QVERIFY(!console.find(uiOld) || console.find(uiOld) != pPdu);

        // Back where it was, for the cases that follow.
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(uiOld, pPdu->stSetInfo.ip);
        pPdu->download();
        QTRY_COMPARE(simAddress(1), uiOld);
    }

    void downloadOfNewPortIsPolled()
    {
        CConsole console;
        CPdu* pPdu = discovered(console, 2);
        QVERIFY(pPdu);
        QCOMPARE(pPdu->stInfo.udpPort, 51230u);
        const int iDevices = console.registry->listPdu.size();

        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->stSetInfo.udpPort = 6000;
        pPdu->download();
        QVERIFY(console.registry->listDevicePort.contains(6000));

        QTRY_COMPARE(m_sim.call([](CSimFleet& fleet) { return fleet.device(2)->st.udpPort; }), quint16(6000));
        // The device is now heard only through the polls on 6000.
        QTRY_COMPARE_WITH_TIMEOUT(pPdu->stInfo.udpPort, 6000u, 4000);
        QVERIFY(pPdu->needDownload().isEmpty());
        QTRY_VERIFY(pPdu->isOnline());
        QCOMPARE(console.find(simAddress(2)), pPdu);
        QVERIFY(console.registry->listPdu.size() >= iDevices);

        auto portsInFile = [] {
            QSettings portFile(QStringLiteral("port.prt"), QSettings::IniFormat);
            QList<uint> list;
            for (const QString& group : portFile.childGroups()) {
                list << portFile.value(group + QStringLiteral("/port")).toUInt();
            }
            return list;
        };
        QTRY_VERIFY(portsInFile().contains(6000));
        QVERIFY(portsInFile().contains(51230));

        // Back on the default port.
        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->stSetInfo.udpPort = 51230;
        pPdu->download();
        QTRY_COMPARE(m_sim.call([](CSimFleet& fleet) { return fleet.device(2)->st.udpPort; }),
                     quint16(51230));
    }

    void strayDatagramCreatesNoDevice()
    {
        CConsole console;
        QVERIFY(console.start());
        QTRY_VERIFY_WITH_TIMEOUT(console.registry->listPdu.size() >= 100, 5000);
        const int iDevices = console.registry->listPdu.size();

        const quint32 uiStray = m_sim.call([](CSimFleet& fleet) { return fleet.spareAddresses().last(); });
        QUdpSocket* pSocket = netbed::openDeviceSocket(this, QHostAddress(uiStray), 40000);
        QVERIFY(pSocket);
        // Counted after the registry has seen each one: both are queued to this thread in this order.
        int iArrived = 0;
        QObject::connect(console.driver(), &CUdpDriver::signalRcvData, this, [&](const QNetworkDatagram& nd) {
            iArrived += nd.senderAddress().toIPv4Address() == uiStray ? 1 : 0;
        });
        const QHostAddress console0(netbed::consoleAddrs().first());
        const QList<QByteArray> listStray = {
            QByteArray("hello"), queryFrames().at(0), buildOutletSwitchFrame(1, true),
            buildFrame(kFrameReply, kCmdStatus, QByteArray(9, '\0')),
            buildFrame(kFrameReply, kCmdOutletSwitch, QByteArray::fromHex("0101"))};
        for (const QByteArray& baData : listStray) {
            QCOMPARE(pSocket->writeDatagram(baData, console0, 51230), qint64(baData.size()));
        }
        QTRY_COMPARE(iArrived, listStray.size());
        QCOMPARE(console.find(uiStray), nullptr);
        QCOMPARE(console.registry->listPdu.size(), iDevices);
    }
};

QTEST_MAIN(TestRackmindBed)
#include "tst_rackmind_bed.moc"
