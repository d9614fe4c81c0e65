#include "device/Clock.h"
#include "device/Pdu.h"
#include "device/PduInfo.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QtTest>

namespace {
QNetworkDatagram datagramFrom(const char* sender, const QByteArray& baData)
{
    QNetworkDatagram nd(baData);
    nd.setSender(QHostAddress(QString::fromLatin1(sender)), 51230);
    return nd;
}

QByteArray statusReply(quint32 voltage)
{
    PduInfo info;
    info.voltage = voltage;
    return buildFrame(kFrameReply, kCmdStatus, statusPayload(info));
}

QByteArray networkReply(quint32 ip, uint port)
{
    PduInfo info;
    ipv4FromUint(ip, info.ip);
    info.udpPort = port;
    return buildFrame(kFrameReply, kCmdNetwork, networkPayload(info));
}
using PortEntries = QList<QPair<int, QString>>;
} // namespace

class TestRackmind : public QObject
{
    Q_OBJECT
private:
    QDateTime m_dtNow = QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0));
    std::unique_ptr<QTemporaryDir> m_pWorkDir;

    void writePortFile(const PortEntries& entries)
    {
        QSettings portFile(QStringLiteral("port.prt"), QSettings::IniFormat);
        for (const auto& entry : entries) {
            portFile.setValue(QStringLiteral("%1/port").arg(entry.first), entry.second);
        }
    }

private slots:
    void initTestCase()
    {
        qRegisterMetaType<CPdu*>();
        Clock::setSource([this] { return m_dtNow; });
    }
    void cleanupTestCase() { Clock::setSource({}); }

    // Each case gets an empty working directory, where "port.prt" lives.
    void init()
    {
        m_pWorkDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pWorkDir->path()));
    }

    void portList_data()
    {
        QTest::addColumn<PortEntries>("entries");
        QTest::addColumn<QList<uint>>("expected");
        QTest::newRow("no file") << PortEntries{} << QList<uint>{51230};
        QTest::newRow("groups 0, 2 and 7") << PortEntries{{0, QStringLiteral("51230")},
                                                          {2, QStringLiteral("6000")},
                                                          {7, QStringLiteral("6000")}}
                                           << QList<uint>{51230, 6000};
        QTest::newRow("index 1023 read, 1024 not")
            << PortEntries{{1023, QStringLiteral("7000")}, {1024, QStringLiteral("8000")}}
            << QList<uint>{51230, 7000};
        QTest::newRow("file order is index order")
            << PortEntries{{9, QStringLiteral("9")}, {3, QStringLiteral("3")}} << QList<uint>{51230, 3, 9};
        QTest::newRow("not a number reads as 0 once")
            << PortEntries{{1, QStringLiteral("abc")}, {4, QStringLiteral("-5")}} << QList<uint>{51230, 0};
    }

    void portList()
    {
        QFETCH(PortEntries, entries);
        QFETCH(QList<uint>, expected);
        if (!entries.isEmpty()) {
            writePortFile(entries);
        }
        CRackmind registry;
        QCOMPARE(registry.listDevicePort, expected);
    }

    void portFileThatIsADirectory()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("port.prt")));
        CRackmind registry;
        QCOMPARE(registry.listDevicePort, QList<uint>{51230});
    }

    void emptyRegistryCountsNothing()
    {
        CRackmind registry;
        QVERIFY(registry.listPdu.isEmpty());
        QCOMPARE(registry.onlineCount(), 0);
        QCOMPARE(registry.abnormalCount(), 0);
    }

    void firstReplyCreatesOneDevice()
    {
        CRackmind registry;
        QStringList log;
        connect(&registry, &CRackmind::signalUpdateDevicePort, this,
                [&](QList<uint>) { log << QStringLiteral("ports"); });
        connect(&registry, &CRackmind::signalNewDevice, this, [&](CPdu* pPdu) {
            // Announced before the datagram is decoded into it.
            log << QStringLiteral("new %1").arg(pPdu->stInfo.voltage);
        });
        connect(&registry, &CRackmind::signalDeviceAnswered, this,
                [&](CPdu* pPdu) { log << QStringLiteral("answered %1").arg(pPdu->stInfo.voltage); });

        registry.slotRcvData(datagramFrom("192.168.0.50", statusReply(231)));
        QCOMPARE(registry.listPdu.size(), 1);
        CPdu* pPdu = registry.listPdu.first();
        QCOMPARE(pPdu->parent(), &registry);
        QCOMPARE(pPdu->objectName(), QStringLiteral("Pdu"));
        QCOMPARE(ipv4ToString(pPdu->stInfo.ip), QStringLiteral("192.168.0.50"));
        QCOMPARE(pPdu->stInfo.voltage, 231u);
        QVERIFY(pPdu->isOnline());
        QCOMPARE(log, (QStringList{QStringLiteral("ports"), QStringLiteral("new 220"),
                                   QStringLiteral("answered 231")}));

        registry.slotRcvData(datagramFrom("192.168.0.50", statusReply(232)));
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 232u);
        QCOMPARE(log.size(), 4);
        QCOMPARE(registry.onlineCount(), 1);
    }

    void strayDatagramsCreateNothing_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("garbage") << QByteArray("hello");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another console's query") << queryFrames().at(0);
        QTest::newRow("bad check byte") << QByteArray::fromHex("A7420608DC00050003193205"
                                                               "2C");
        QTest::newRow("outlet switch reply") << buildFrame(kFrameReply, kCmdOutletSwitch, "\x02\x04");
        QTest::newRow("status reply of the wrong size")
            << buildFrame(kFrameReply, kCmdStatus, QByteArray(9, '\0'));
    }

    void strayDatagramsCreateNothing()
    {
        QFETCH(QByteArray, data);
        CRackmind registry;
        QSignalSpy newSpy(&registry, &CRackmind::signalNewDevice);
        QSignalSpy portSpy(&registry, &CRackmind::signalUpdateDevicePort);
        registry.slotRcvData(datagramFrom("10.201.9.9", data));
        QVERIFY(registry.listPdu.isEmpty());
        QCOMPARE(newSpy.count(), 0);
        QCOMPARE(portSpy.count(), 0);
    }

    void anyDatagramKeepsAKnownDeviceAlive()
    {
        CRackmind registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(220)));
        CPdu* pPdu = registry.listPdu.first();
        const QDateTime start = m_dtNow;
        m_dtNow = start.addSecs(5);
        QCOMPARE(registry.onlineCount(), 0);
        QSignalSpy answered(&registry, &CRackmind::signalDeviceAnswered);
        registry.slotRcvData(datagramFrom("10.201.0.2", QByteArray("junk")));
        QCOMPARE(registry.onlineCount(), 1);
        QCOMPARE(answered.count(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 220u);
        m_dtNow = start;
    }

    void devicesSharingAPortAddItOnce()
    {
        CRackmind registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", networkReply(0x0AC90002, 6000)));
        registry.slotRcvData(datagramFrom("10.201.0.3", networkReply(0x0AC90003, 6000)));
        QSignalSpy portSpy(&registry, &CRackmind::signalUpdateDevicePort);
        registry.updateDevicePort();
        QCOMPARE(registry.listDevicePort, (QList<uint>{51230, 6000}));
        // Announced even when nothing was added.
        QCOMPARE(portSpy.count(), 1);
        QCOMPARE(portSpy.at(0).at(0).value<QList<uint>>(), (QList<uint>{51230, 6000}));
    }

    void reAddressedDeviceKeepsItsObject()
    {
        CRackmind registry;
        QSignalSpy changeSpy(&registry, &CRackmind::signalChangeIP);
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(220)));
        CPdu* pPdu = registry.listPdu.first();

        registry.slotRcvData(datagramFrom("10.201.0.2", networkReply(0x0AC90063, 51230)));
        QCOMPARE(changeSpy.count(), 1);
        QCOMPARE(changeSpy.at(0).at(0).toUInt(), 0x0AC90002u);
        QCOMPARE(changeSpy.at(0).at(1).toUInt(), 0x0AC90063u);

        // It is still the host it answers from; the address it reports is nobody's source.
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(226)));
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 226u);
        registry.slotRcvData(datagramFrom("10.201.0.99", statusReply(225)));
        QCOMPARE(registry.listPdu.size(), 2);
        QCOMPARE(pPdu->stInfo.voltage, 226u);
    }

    // A device answers from its new address at once: it stays the same device, and its own network
    // reply then moves it for good.
    void deviceMovedByDownloadKeepsItsObject()
    {
        CRackmind registry;
        g_pRackmind = &registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", networkReply(0x0AC90002, 51230)));
        CPdu* pPdu = registry.listPdu.first();
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(0x0AC90063, pPdu->stSetInfo.ip);
        int iSent = 0;
        connect(&registry, &CRackmind::signalSndData, this, [&] { ++iSent; });
        pPdu->download();
        QCOMPARE(iSent, 1);
        QCOMPARE(pPdu->uiPendingIP, 0x0AC90063u);

        QSignalSpy changeSpy(&registry, &CRackmind::signalChangeIP);
        QSignalSpy newSpy(&registry, &CRackmind::signalNewDevice);
        registry.slotRcvData(datagramFrom("10.201.0.99", statusReply(229)));
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 229u);
        QCOMPARE(changeSpy.count(), 0);

        registry.slotRcvData(datagramFrom("10.201.0.99", networkReply(0x0AC90063, 51230)));
        QCOMPARE(changeSpy.count(), 1);
        QCOMPARE(changeSpy.at(0).at(0).toUInt(), 0x0AC90002u);
        QCOMPARE(pPdu->uiPendingIP, 0u);
        QVERIFY(pPdu->needDownload().isEmpty());
        QCOMPARE(newSpy.count(), 0);

        // A late reply from the old address, sent before the move, does not end the move early.
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(0x0AC90064, pPdu->stSetInfo.ip);
        pPdu->download();
        registry.slotRcvData(datagramFrom("10.201.0.99", networkReply(0x0AC90063, 51230)));
        QCOMPARE(pPdu->uiPendingIP, 0x0AC90064u);
        registry.slotRcvData(datagramFrom("10.201.0.100", statusReply(230)));
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 230u);
        g_pRackmind = nullptr;
    }

    void firstMatchingDeviceWins()
    {
        CRackmind registry;
        CPdu* pFirst = registry.addPdu(0x0AC90002);
        CPdu* pSecond = registry.addPdu(0x0AC90002);
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(240)));
        QCOMPARE(pFirst->stInfo.voltage, 240u);
        QCOMPARE(pSecond->stInfo.voltage, 220u);
    }

    // A device reporting another device's address takes nothing from it: each stays its own host.
    void routingFollowsMovesBetweenDevices()
    {
        CRackmind registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(221)));
        registry.slotRcvData(datagramFrom("10.201.0.3", statusReply(222)));
        CPdu* pFirst = registry.listPdu.at(0);
        CPdu* pSecond = registry.listPdu.at(1);

        registry.slotRcvData(datagramFrom("10.201.0.2", networkReply(0x0AC90003, 51230)));
        registry.slotRcvData(datagramFrom("10.201.0.3", statusReply(230)));
        QCOMPARE(pFirst->stInfo.voltage, 221u);
        QCOMPARE(pSecond->stInfo.voltage, 230u);
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(231)));
        QCOMPARE(pFirst->stInfo.voltage, 231u);
        QCOMPARE(registry.listPdu.size(), 2);
    }

    // A record changed directly (as the screens and tests may) still decides where datagrams go.
    void routingFollowsRecordsChangedDirectly()
    {
        CRackmind registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(221)));
        CPdu* pPdu = registry.listPdu.first();
        pPdu->uiSourceIP = 0x0AC90009;
        registry.slotRcvData(datagramFrom("10.201.0.9", statusReply(224)));
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, 224u);
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(225)));
        QCOMPARE(registry.listPdu.size(), 2);
        QCOMPARE(pPdu->stInfo.voltage, 224u);
    }

    void relaysDeviceFrames()
    {
        CRackmind registry;
        CPdu* pPdu = registry.addPdu(0x0AC90002);
        int iSent = 0;
        connect(&registry, &CRackmind::signalSndData, this,
                [&](bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort) {
                    ++iSent;
                    QVERIFY(bResult);
                    QCOMPARE(baData, QByteArray::fromHex("A7410C020204FC"));
                    QCOMPARE(addrDestIP, QHostAddress(QStringLiteral("10.201.0.2")));
                    QCOMPARE(uiDestPort, 51230u);
                });
        bool bResult = true;
        emit pPdu->signalSndData(bResult, buildOutletSwitchFrame(3, false), QHostAddress(0x0AC90002u), 51230);
        QCOMPARE(iSent, 1);
    }

    void countsOnlineAndAbnormal()
    {
        CRackmind registry;
        registry.slotRcvData(datagramFrom("10.201.0.2", statusReply(220)));
        registry.slotRcvData(datagramFrom("10.201.0.3", statusReply(250)));
        registry.addPdu(0x0AC90004); // never heard
        QCOMPARE(registry.onlineCount(), 2);
        QCOMPARE(registry.abnormalCount(), 1);
        const QDateTime start = m_dtNow;
        m_dtNow = start.addSecs(4);
        QCOMPARE(registry.onlineCount(), 0);
        QCOMPARE(registry.abnormalCount(), 1);
        m_dtNow = start;
    }

    void forgetsItselfAsTheGlobalRegistry()
    {
        auto* pRegistry = new CRackmind;
        g_pRackmind = pRegistry;
        delete pRegistry;
        QCOMPARE(g_pRackmind, nullptr);
    }
};

QTEST_MAIN(TestRackmind)
#include "tst_rackmind.moc"
