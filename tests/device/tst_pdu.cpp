#include "device/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "tests/device/PduInfoCompare.h"
#include "ui/device/OutletStatusWidget.h"

#include <QtTest>

#include <cstring>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray reply(quint8 cmd, const PduInfo& info)
{
    return buildFrame(kFrameReply, cmd, payloadFor(cmd, info));
}

struct SentFrame
{
    QByteArray baData;
    QHostAddress addrDestIP;
    uint uiDestPort;
};
} // namespace

class TestPdu : public QObject
{
    Q_OBJECT
private:
    QDateTime m_dtNow = QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0));
    QTemporaryDir m_workDir;

private slots:
    void initTestCase()
    {
        QVERIFY(QDir::setCurrent(m_workDir.path()));
        Clock::setSource([this] { return m_dtNow; });
    }

    void cleanupTestCase() { Clock::setSource({}); }

    void init() { g_pRackmind = nullptr; }

    void newDeviceHasDefaults()
    {
        CPdu pdu;
        QCOMPARE(pdu.objectName(), QStringLiteral("Pdu"));
        QCOMPARE(pdu.strGroup, QStringLiteral("Default"));
        QVERIFY(!pdu.dtLastRcv.isValid());
        QVERIFY(pdu.timerEmail.isActive());
        QCOMPARE(pdu.timerEmail.interval(), 1000);
        for (bool bFlag : pdu.bAlarm) {
            QVERIFY(!bFlag);
        }
        QVERIFY(pdu.pOutletStatusWidget);
        QCOMPARE(pdu.pOutletStatusWidget->objectName(), QStringLiteral("OutletStatusWidget"));
        QVERIFY(!pdu.pOutletStatusWidget->parent());

        const PduInfo& i = pdu.stInfo;
        QCOMPARE(ipv4ToString(i.ip), QStringLiteral("192.168.0.100"));
        QCOMPARE(ipv4ToString(i.subNetMask), QStringLiteral("255.255.255.0"));
        QCOMPARE(ipv4ToString(i.gateway), QStringLiteral("192.168.0.1"));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(i.mac), 6), hex("00 04 A3 00 00 00"));
        QCOMPARE(i.udpPort, 51230u);
        QCOMPARE(QByteArray(i.name, 16), QByteArray("IP PDU\0\0\0\0\0\0\0\0\0\0", 16));
        QCOMPARE(textToString(i.position, 16), QStringLiteral("office"));
        QCOMPARE(textToString(i.productType, 16), QStringLiteral("IP PDU"));
        QCOMPARE(textToString(i.firmwareVer, 8), QStringLiteral("1.0.0"));
        QCOMPARE(i.voltage, 220u);
        QCOMPARE(i.current, 0.0);
        QCOMPARE(int(i.temperature), 25);
        QCOMPARE(int(i.humidity), 50);
        QCOMPARE(int(i.outletStatus), 0);
        QCOMPARE(i.currentWarn, 5.0);
        QCOMPARE(i.currentOverload, 6.0);
        QCOMPARE(i.voltageWarn, 250u);
        QCOMPARE(i.voltageOverload, 300u);
        QCOMPARE(int(i.temperatureLowLimit), 5);
        QCOMPARE(int(i.temperatureHighLimit), 50);
        QCOMPARE(int(i.humidityWarn), 80);
        for (int n = 0; n < 8; ++n) {
            QCOMPARE(int(i.outletOpenDelay[n]), 5 + n);
            QCOMPARE(int(i.outletCloseDelay[n]), 5 + n);
            QCOMPARE(textToString(i.outletName[n], 10), QStringLiteral("outlet%1").arg(n + 1));
        }
        QVERIFY(!pdu.isAbnormal());
        QVERIFY(pdu.needDownload().isEmpty());
    }

    void needsNetworkDownloadRightAfterCreation()
    {
        CRackmind registry;
        CPdu* pPdu = registry.addPdu(0xC0A80032);
        QCOMPARE(pPdu->needDownload(), QList<int>{0x01});
    }

    void onlineWindow_data()
    {
        QTest::addColumn<int>("msecsLater");
        QTest::addColumn<bool>("online");
        QTest::newRow("at once") << 0 << true;
        QTest::newRow("3 s") << 3000 << true;
        QTest::newRow("3.9 s is still 3 whole seconds") << 3900 << true;
        QTest::newRow("4 s") << 4000 << false;
        QTest::newRow("clock set back 3 s") << -3000 << true;
        QTest::newRow("clock set back 4 s") << -4000 << false;
    }

    void onlineWindow()
    {
        QFETCH(int, msecsLater);
        QFETCH(bool, online);
        CPdu pdu;
        QVERIFY(!pdu.isOnline());
        const QDateTime start = m_dtNow;
        pdu.slotRcvData(reply(kCmdStatus, PduInfo()));
        m_dtNow = start.addMSecs(msecsLater);
        QCOMPARE(pdu.isOnline(), online);
        m_dtNow = start;
    }

    void malformedDatagramIsALifeSign()
    {
        CPdu pdu;
        const QDateTime start = m_dtNow;
        pdu.slotRcvData(hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B"));
        m_dtNow = start.addSecs(10);
        QVERIFY(!pdu.isOnline());

        const PduInfo before = pdu.stInfo;
        pdu.slotRcvData(hex("A7 42 06 08 DC 00 06 00 03 19 32 05 2B")); // stale check byte
        QVERIFY(pdu.isOnline());
        QCOMPARE(pdu.dtLastRcv, m_dtNow);
        QVERIFY(sameInfo(pdu.stInfo, before));
        m_dtNow = start;
    }

    void decodesStatusExample()
    {
        CPdu pdu;
        pdu.slotRcvData(hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B"));
        QCOMPARE(pdu.stInfo.voltage, 220u);
        QCOMPARE(pdu.stInfo.current, 5.3);
        QCOMPARE(int(pdu.stInfo.temperature), 25);
        QCOMPARE(int(pdu.stInfo.humidity), 50);
        QCOMPARE(int(pdu.stInfo.outletStatus), 0x05);
    }

    void ignoredRepliesChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("outlet switch reply") << buildFrame(kFrameReply, kCmdOutletSwitch, hex("02 04"));
        QTest::newRow("unknown command") << buildFrame(kFrameReply, 0x03, QByteArray(8, '\x01'));
        QTest::newRow("status with 9 bytes") << buildFrame(kFrameReply, kCmdStatus, QByteArray(9, '\x01'));
        QTest::newRow("query") << buildFrame(kFrameQuery, kCmdStatus, QByteArray(8, '\x01'));
        QTest::newRow("set") << buildFrame(kFrameSet, kCmdThresholds, QByteArray(13, '\x01'));
        QTest::newRow("short") << hex("A7 42 06");
    }

    void ignoredRepliesChangeNothing()
    {
        QFETCH(QByteArray, frame);
        CPdu pdu;
        const PduInfo before = pdu.stInfo;
        pdu.slotRcvData(frame);
        QVERIFY(sameInfo(before, pdu.stInfo));
        QVERIFY(pdu.isOnline());
    }

    // Every reply stores its own fields and no others.
    void decodesEveryReply()
    {
        PduInfo dev;
        ipv4FromUint(0x0AC90105, dev.ip);
        ipv4FromUint(0xFFFF0000, dev.subNetMask);
        ipv4FromUint(0x0AC90101, dev.gateway);
        const quint8 mac[6] = {1, 2, 3, 4, 5, 6};
        std::memcpy(dev.mac, mac, 6);
        dev.udpPort = 6000;
        std::memcpy(dev.name, "ABCDEFGHIJKLMNOP", 16);
        textFromString(QStringLiteral("rack 7"), dev.position, 16);
        textFromString(QStringLiteral("PDU-8"), dev.productType, 16);
        std::memcpy(dev.firmwareVer, "2.10.777", 8);
        dev.voltage = 231;
        dev.current = 12.5;
        dev.temperature = 31;
        dev.humidity = 42;
        dev.outletStatus = 0x81;
        dev.currentWarn = 10.2;
        dev.currentOverload = 16.0;
        dev.voltageWarn = 240;
        dev.voltageOverload = 260;
        dev.temperatureLowLimit = 1;
        dev.temperatureHighLimit = 45;
        dev.humidityWarn = 90;
        for (int n = 0; n < 8; ++n) {
            dev.outletOpenDelay[n] = quint8(100 + n);
            dev.outletCloseDelay[n] = quint8(200 + n);
            textFromString(QStringLiteral("socket %1").arg(n), dev.outletName[n], 10);
        }
        dev.outletName[7][9] = 'z';

        CPdu pdu;
        ipv4FromUint(0x0AC90105, pdu.stInfo.ip);
        for (quint8 cmd :
             {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}) {
            pdu.slotRcvData(reply(cmd, dev));
        }
        QVERIFY(sameInfo(dev, pdu.stInfo));
        QCOMPARE(textToString(pdu.stInfo.name, 16), QStringLiteral("ABCDEFGHIJKLMNOP"));
        QCOMPARE(textToString(pdu.stInfo.firmwareVer, 8), QStringLiteral("2.10.777"));
        QCOMPARE(textToString(pdu.stInfo.outletName[7], 10), QStringLiteral("socket 7"));
        // The edit copy is never touched by replies.
        QVERIFY(sameInfo(pdu.stSetInfo, PduInfo()));
    }

    void changeOfAddressIsAnnouncedOnce()
    {
        CPdu pdu;
        ipv4FromUint(0xC0A80032, pdu.stInfo.ip);
        QSignalSpy spy(&pdu, &CPdu::signalChangeIP);

        PduInfo dev;
        ipv4FromUint(0xC0A80032, dev.ip);
        pdu.slotRcvData(reply(kCmdNetwork, dev));
        QCOMPARE(spy.count(), 0);

        ipv4FromUint(0xC0A80033, dev.ip);
        pdu.slotRcvData(reply(kCmdNetwork, dev));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toUInt(), 0xC0A80032u);
        QCOMPARE(spy.at(0).at(1).toUInt(), 0xC0A80033u);
        QCOMPARE(ipv4ToUint(pdu.stInfo.ip), 0xC0A80033u);

        pdu.slotRcvData(reply(kCmdNetwork, dev));
        QCOMPARE(spy.count(), 1);
    }

    void needDownloadByField_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<QList<int>>("expected");
        const QList<int> net{0x01}, thr{0x08}, del{0x0E}, names{0x10};
        int f = 0;
        QTest::newRow("byte after the NUL in the name") << f++ << net;
        QTest::newRow("last byte of the position") << f++ << net;
        QTest::newRow("gateway") << f++ << net;
        QTest::newRow("mac") << f++ << net;
        QTest::newRow("port") << f++ << net;
        QTest::newRow("current warn") << f++ << thr;
        QTest::newRow("current overload NaN") << f++ << thr;
        QTest::newRow("humidity warn") << f++ << thr;
        QTest::newRow("last close delay") << f++ << del;
        QTest::newRow("byte after the NUL in an outlet name") << f++ << names;
        QTest::newRow("everything") << f++ << QList<int>{0x01, 0x08, 0x0E, 0x10};
        QTest::newRow("readings only") << f++ << QList<int>{};
    }

    void needDownloadByField()
    {
        QFETCH(int, field);
        QFETCH(QList<int>, expected);
        CPdu pdu;
        PduInfo& s = pdu.stSetInfo;
        switch (field) {
        case 0:
            s.name[10] = 'x';
            break;
        case 1:
            s.position[15] = 'x';
            break;
        case 2:
            s.gateway[3] = 254;
            break;
        case 3:
            s.mac[5] = 1;
            break;
        case 4:
            s.udpPort = 6000;
            break;
        case 5:
            s.currentWarn = 5.1;
            break;
        case 6:
            s.currentOverload = qQNaN();
            pdu.stInfo.currentOverload = qQNaN();
            break;
        case 7:
            s.humidityWarn = 81;
            break;
        case 8:
            s.outletCloseDelay[7] = 0;
            break;
        case 9:
            s.outletName[3][9] = 'x';
            break;
        case 10:
            s.ip[0] = 10;
            s.voltageOverload = 301;
            s.outletOpenDelay[0] = 0;
            s.outletName[0][0] = 'O';
            break;
        case 11:
            s.voltage = 1;
            s.current = 3.0;
            s.temperature = 0;
            s.humidity = 1;
            s.outletStatus = 0xFF;
            textFromString(QStringLiteral("other"), s.productType, 16);
            break;
        }
        QCOMPARE(pdu.needDownload(), expected);
    }

    void downloadSendsSetFramesInOrder()
    {
        CRackmind registry;
        g_pRackmind = &registry;
        CPdu* pPdu = registry.addPdu(0x0AC90107);
        pPdu->stInfo.udpPort = 51230;
        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->stSetInfo.voltageWarn = 245;
        pPdu->stSetInfo.currentWarn = 5.96;
        pPdu->stSetInfo.outletOpenDelay[2] = 0;
        textFromString(QStringLiteral("fan"), pPdu->stSetInfo.outletName[0], 10);
        pPdu->stSetInfo.subNetMask[2] = 0;

        QList<SentFrame> sent;
        connect(&registry, &CRackmind::signalSndData, this,
                [&](bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort) {
                    QVERIFY(bResult);
                    sent.append({baData, addrDestIP, uiDestPort});
                });
        QSignalSpy portSpy(&registry, &CRackmind::signalUpdateDevicePort);
        pPdu->download();

        QCOMPARE(sent.size(), 4);
        // The network settings last: a device may move at once.
        const quint8 cmds[4] = {kCmdThresholds, kCmdOutletDelays, kCmdOutletNames, kCmdNetwork};
        for (int n = 0; n < 4; ++n) {
            QCOMPARE(sent[n].addrDestIP, QHostAddress(QStringLiteral("10.201.1.7")));
            QCOMPARE(sent[n].uiDestPort, 51230u);
            QCOMPARE(sent[n].baData, buildSetFrame(cmds[n], payloadFor(cmds[n], pPdu->stSetInfo)));
        }
        QCOMPARE(sent[0].baData.left(7), hex("A7 41 08 0D 06 00 00"));
        QCOMPARE(sent[3].baData.size(), 57);
        QCOMPARE(sent[2].baData.size(), 85);
        QCOMPARE(portSpy.count(), 0); // the port did not change
        g_pRackmind = nullptr;
    }

    void downloadOfNewPort_data()
    {
        QTest::addColumn<uint>("port");
        QTest::addColumn<bool>("announced");
        QTest::newRow("new port 6000") << 6000u << true;
        QTest::newRow("port already polled") << 7000u << false;
    }

    void downloadOfNewPort()
    {
        QFETCH(uint, port);
        QFETCH(bool, announced);
        CRackmind registry;
        g_pRackmind = &registry;
        registry.listDevicePort << 7000;
        CPdu* pPdu = registry.addPdu(0x0AC90107);
        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->stSetInfo.udpPort = port;

        // One log of both signals shows their order.
        QStringList log;
        connect(&registry, &CRackmind::signalSndData, this,
                [&](bool&, QByteArray, QHostAddress, uint uiDestPort) {
                    log << QStringLiteral("frame to %1").arg(uiDestPort);
                });
        connect(&registry, &CRackmind::signalUpdateDevicePort, this, [&](QList<uint> listDevicePort) {
            log << QStringLiteral("ports %1").arg(listDevicePort.size());
        });
        pPdu->download();

        QStringList expected{QStringLiteral("frame to 51230")};
        if (announced) {
            expected << QStringLiteral("ports 3");
        }
        QCOMPARE(log, expected);
        QCOMPARE(registry.listDevicePort,
                 (QList<uint>{51230, 7000} << (announced ? QList<uint>{port} : QList<uint>{})));
        g_pRackmind = nullptr;
    }

    void downloadWithoutRegistryStillSends()
    {
        CPdu pdu;
        pdu.stSetInfo.udpPort = 6000;
        int iSent = 0;
        connect(&pdu, &CPdu::signalSndData, this, [&] { ++iSent; });
        pdu.download();
        QCOMPARE(iSent, 1);
    }

    void abnormal_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<int>("value");
        QTest::addColumn<bool>("abnormal");
        QTest::newRow("voltage 249") << 0 << 249 << false;
        QTest::newRow("voltage at warn 250") << 0 << 250 << true;
        QTest::newRow("voltage 301") << 0 << 301 << true;
        QTest::newRow("current 4.9") << 1 << 49 << false;
        QTest::newRow("current at warn 5.0") << 1 << 50 << true;
        QTest::newRow("temperature 6") << 2 << 6 << false;
        QTest::newRow("temperature at low limit 5") << 2 << 5 << true;
        QTest::newRow("temperature 0") << 2 << 0 << true;
        QTest::newRow("temperature 49") << 2 << 49 << false;
        QTest::newRow("temperature at high limit 50") << 2 << 50 << true;
        QTest::newRow("humidity 79") << 3 << 79 << false;
        QTest::newRow("humidity at warn 80") << 3 << 80 << true;
    }

    void abnormal()
    {
        QFETCH(int, field);
        QFETCH(int, value);
        QFETCH(bool, abnormal);
        CPdu pdu;
        switch (field) {
        case 0:
            pdu.stInfo.voltage = uint(value);
            break;
        case 1:
            pdu.stInfo.current = value / 10.0;
            break;
        case 2:
            pdu.stInfo.temperature = quint8(value);
            break;
        case 3:
            pdu.stInfo.humidity = quint8(value);
            break;
        }
        QCOMPARE(pdu.isAbnormal(), abnormal);
    }

    void adoptedPainterOutlivesDevice()
    {
        QWidget tree;
        QPointer<COutletStatusWidget> adopted;
        QPointer<COutletStatusWidget> orphan;
        {
            CPdu a;
            CPdu b;
            a.pOutletStatusWidget->setParent(&tree);
            adopted = a.pOutletStatusWidget.data();
            orphan = b.pOutletStatusWidget.data();
        }
        QVERIFY(adopted);
        QVERIFY(!orphan);
        adopted->resize(180, 30);
        adopted->grab(); // paints with its device gone
    }
};

QTEST_MAIN(TestPdu)
#include "tst_pdu.moc"
