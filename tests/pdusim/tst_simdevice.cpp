#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimFrame.h"

#include <QElapsedTimer>
#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray text(const char* str, int n)
{
    QByteArray ba(str);
    ba.append(QByteArray(n - ba.size(), '\0'));
    return ba;
}

// A device in a known state: every reply can then be written out by hand.
void makeKnown(CSimDevice& device)
{
    SimPduState& st = device.st;
    st.ip = 0xC0A80064; // 192.168.0.100
    st.subNetMask = 0xFFFFFF00;
    st.gateway = 0xC0A80001;
    st.mac = hex("00 04 A3 12 34 56");
    st.udpPort = 51230;
    st.name = text("PDU-A", 16);
    st.position = text("Rack 7 U12", 16);
    st.productType = text("RPDU-8S-16A", 16);
    st.firmwareVer = text("V2.1.7", 8);
    st.outletStatus = 0x05;
    st.currentWarn = SimAmps{10, 5};
    st.currentOverload = SimAmps{16, 0};
    st.voltageWarn = 250;
    st.voltageOverload = 265;
    st.temperatureLowLimit = 5;
    st.temperatureHighLimit = 45;
    st.humidityWarn = 80;
    for (int i = 0; i < 8; ++i) {
        st.outletOpenDelay[i] = quint8(i);
        st.outletCloseDelay[i] = quint8(10 + i);
        st.outletName[i] = text(qPrintable(QStringLiteral("Outlet %1").arg(i + 1)), 10);
    }
    device.setVoltage(220);
    device.setCurrent(5.3);
    device.setTemperature(25);
    device.setHumidity(50);
}

QByteArray allReplies(const CSimDevice& device)
{
    QByteArray ba;
    for (int cmd : {0x01, 0x02, 0x06, 0x08, 0x0E, 0x10})
        ba += device.replyFrame(quint8(cmd));
    return ba;
}

} // namespace

// The simulator's device on its own: what it answers, what it accepts, how it switches.
class TestSimDevice : public QObject
{
    Q_OBJECT
private slots:
    void replyFrames_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("network")
            << 0x01
            << hex("A7 42 01 34 C0 A8 00 64 FF FF FF 00 C0 A8 00 01 00 04 A3 12 34 56 1E C8 "
                   "50 44 55 2D 41 00 00 00 00 00 00 00 00 00 00 00 "
                   "52 61 63 6B 20 37 20 55 31 32 00 00 00 00 00 00 80");
        QTest::newRow("device information")
            << 0x02
            << hex("A7 42 02 18 52 50 44 55 2D 38 53 2D 31 36 41 00 00 00 00 00 56 32 2E 31 2E 37 00 00 17");
        QTest::newRow("status") << 0x06 << hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B");
        QTest::newRow("thresholds") << 0x08 << hex("A7 42 08 0D 0A 00 05 10 00 00 FA 00 09 01 05 2D 50 A3");
        QTest::newRow("delays") << 0x0E
                                << hex("A7 42 0E 10 00 01 02 03 04 05 06 07 0A 0B 0C 0D 0E 0F 10 11 8F");
        QTest::newRow("outlet names")
            << 0x10
            << hex("A7 42 10 50 4F 75 74 6C 65 74 20 31 00 00 4F 75 74 6C 65 74 20 32 00 00 4F 75 74 6C 65 "
                   "74 20 33 00 00 "
                   "4F 75 74 6C 65 74 20 34 00 00 4F 75 74 6C 65 74 20 35 00 00 4F 75 74 6C 65 74 20 36 00 "
                   "00 "
                   "4F 75 74 6C 65 74 20 37 00 00 4F 75 74 6C 65 74 20 38 00 00 D5");
        QTest::newRow("outlet switch is not answered") << 0x0C << QByteArray();
        QTest::newRow("unknown command is not answered") << 0x03 << QByteArray();
    }
    void replyFrames()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, expected);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        QCOMPARE(SimFrame::toHex(device.replyFrame(quint8(cmd))), SimFrame::toHex(expected));
        QCOMPARE(device.outgoingFrame(quint8(cmd)), expected);
    }

    void currentIsTheSumOfOutletsOn()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        device.setCurrent(std::nullopt);
        device.tick(false);
        device.st.load = {0.5, 1.0, 1.5, 2.0, 0.1, 0.2, 0.3, 0.4};
        device.st.outletStatus = 0x0B; // outlets 1, 2 and 4
        QCOMPARE(device.currentAmps().whole, quint16(3));
        QCOMPARE(device.currentAmps().tenths, quint8(5));
        device.st.outletStatus = 0;
        QCOMPARE(device.current(), 0.0);
        // 5.96 A travels as 6.0 A, not as 5 and ten tenths.
        device.setCurrent(5.96);
        QCOMPARE(device.replyFrame(0x06).mid(6, 3), hex("06 00 00"));
    }

    void readingsLookReal()
    {
        // Each device has its own level; mains stays within 220-240 V, the room drifts slowly.
        QSet<quint16> setVoltages;
        for (int i = 1; i <= 20; ++i) {
            CSimDevice device(i, 0, 51230, 7, nullptr);
            int iLastTemp = device.temperature();
            for (int t = 0; t < 300; ++t) {
                device.tick(true);
                QVERIFY(device.voltage() >= 220 && device.voltage() <= 240);
                QVERIFY(qAbs(int(device.temperature()) - iLastTemp) <= 1);
                iLastTemp = device.temperature();
                QVERIFY(device.humidity() >= 20 && device.humidity() <= 70);
            }
            setVoltages.insert(device.voltage());
        }
        QVERIFY(setVoltages.size() > 3);
    }

    void setFramesApplied_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("cmd");
        QTest::newRow("network")
            << hex("A7 41 01 34 0A C8 01 06 FF FF 00 00 0A C8 00 FE 02 50 44 00 00 09 70 17 "
                   "4D 6F 76 65 64 2D 50 44 55 2D 4E 61 6D 65 31 36 "
                   "52 6F 77 20 5A 20 52 61 63 6B 20 39 39 00 00 00 F5")
            << 0x01;
        QTest::newRow("thresholds") << hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7E") << 0x08;
        QTest::newRow("delays") << hex("A7 41 0E 10 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 8E")
                                << 0x0E;
        QTest::newRow("outlet names") << hex("A7 41 10 50 53 65 72 76 65 72 2D 30 31 00 53 65 72 76 65 72 2D "
                                             "30 32 00 53 65 72 76 65 72 2D 30 33 00 "
                                             "53 65 72 76 65 72 2D 30 34 00 53 65 72 76 65 72 2D 30 35 00 53 "
                                             "65 72 76 65 72 2D 30 36 00 "
                                             "53 65 72 76 65 72 2D 30 37 00 53 65 72 76 65 72 2D 30 38 00 8C")
                                      << 0x10;
    }
    void setFramesApplied()
    {
        // These sections have one layout for reading and writing: the reply must carry what was set.
        QFETCH(QByteArray, frame);
        QFETCH(int, cmd);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        QSignalSpy spyNetwork(&device, &CSimDevice::signalNetworkChanged);
        const SimFrame::Incoming in = SimFrame::parse(frame);
        QVERIFY(in.bValid);
        QCOMPARE(int(in.type), 0x41);
        QVERIFY(device.applySet(in.cmd, in.baPayload, 1.0));
        QByteArray expected = frame;
        expected[1] = char(0x42);
        expected[expected.size() - 1] = char(quint8(expected.back()) + 1);
        QCOMPARE(SimFrame::toHex(device.replyFrame(quint8(cmd))), SimFrame::toHex(expected));
        QCOMPARE(spyNetwork.count(), cmd == 0x01 ? 1 : 0);
        if (cmd == 0x01) {
            QCOMPARE(device.st.ip, 0x0AC80106u);
            QCOMPARE(device.st.udpPort, quint16(6000));
            QCOMPARE(spyNetwork.first().at(1).toUInt(), 0xC0A80064u);
            QCOMPARE(spyNetwork.first().at(2).value<quint16>(), quint16(51230));
        }
    }

    void networkFrameWithSameAddressMovesNothing()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        QSignalSpy spyNetwork(&device, &CSimDevice::signalNetworkChanged);
        QByteArray baPayload = device.replyFrame(0x01).mid(4, 52);
        baPayload.replace(20, 16, text("Renamed", 16));
        QVERIFY(device.applySet(0x01, baPayload, 1.0));
        QCOMPARE(device.st.name, text("Renamed", 16));
        QCOMPARE(spyNetwork.count(), 0);
    }

    void malformedFramesIgnored_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("parses");
        QTest::newRow("bad check byte")
            << hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7F") << false;
        QTest::newRow("length byte too big")
            << hex("A7 41 0E 11 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 8F") << false;
        QTest::newRow("truncated") << hex("A7 41 0E 10 01 02 03 04 05 06 07") << false;
        QTest::newRow("too short") << hex("A7 41 0C") << false;
        QTest::newRow("wrong header") << hex("A6 41 0C 02 02 04 FB") << false;
        // Well-formed frames that a device still must not take.
        QTest::newRow("thresholds one byte short")
            << SimFrame::build(0x41, 0x08, hex("07 00 00 09 00 05 F5 00 FF 00 0A 28")) << true;
        QTest::newRow("unknown command") << hex("A7 41 03 02 01 01 EF") << true;
        QTest::newRow("device information cannot be set")
            << SimFrame::build(0x41, 0x02, QByteArray(24, 'x')) << true;
        QTest::newRow("switch action 3") << hex("A7 41 0C 02 03 04 FD") << true;
    }
    void malformedFramesIgnored()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, parses);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        const QByteArray baBefore = allReplies(device);
        const SimFrame::Incoming in = SimFrame::parse(frame);
        QCOMPARE(in.bValid, parses);
        if (in.bValid)
            QVERIFY(!device.applySet(in.cmd, in.baPayload, 0.0));
        QCOMPARE(allReplies(device), baBefore);
    }

    void queriesAsConsolesSendThem_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("0x01") << hex("A7 40 01 00 E8") << true;
        QTest::newRow("0x02") << hex("A7 40 02 00 E9") << true;
        QTest::newRow("0x06 one below the sum") << hex("A7 40 06 00 EC") << true;
        QTest::newRow("0x06 with the sum") << hex("A7 40 06 00 ED") << true;
        QTest::newRow("0x08 one below the sum") << hex("A7 40 08 00 EE") << true;
        QTest::newRow("0x08 with the sum") << hex("A7 40 08 00 EF") << true;
        QTest::newRow("0x0E") << hex("A7 40 0E 00 F5") << true;
        QTest::newRow("0x10") << hex("A7 40 10 00 F7") << true;
        QTest::newRow("0x01 one below the sum") << hex("A7 40 01 00 E7") << false;
        QTest::newRow("0x06 two below the sum") << hex("A7 40 06 00 EB") << false;
        QTest::newRow("set 0x06 one below the sum") << hex("A7 41 06 00 ED") << false;
    }
    void queriesAsConsolesSendThem()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, accepted);
        const SimFrame::Incoming in = SimFrame::parse(frame);
        QCOMPARE(in.bValid, accepted);
        if (accepted)
            QCOMPARE(in.cmd, quint8(frame[2]));
    }

    void malformedReplies_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("check") << int(SimMalform::Check) << hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2C");
        QTest::newRow("length") << int(SimMalform::Length) << hex("A7 42 06 09 DC 00 05 00 03 19 32 05 2C");
        QTest::newRow("unknown") << int(SimMalform::Unknown) << hex("A7 42 03 08 DC 00 05 00 03 19 32 05 28");
        QTest::newRow("type") << int(SimMalform::Type) << hex("A7 40 06 08 DC 00 05 00 03 19 32 05 29");
        QTest::newRow("truncated") << int(SimMalform::Truncated) << hex("A7 42 06 08 DC 00 05 00 03 19");
        QTest::newRow("oversize") << int(SimMalform::Oversize)
                                  << hex("A7 42 06 09 DC 00 05 00 03 19 32 05 00 2C");
    }
    void malformedReplies()
    {
        QFETCH(int, kind);
        QFETCH(QByteArray, expected);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        device.malform = SimMalform(kind);
        QCOMPARE(SimFrame::toHex(device.outgoingFrame(0x06)), SimFrame::toHex(expected));
        // Limited to one command, the others stay sound.
        device.malformCmd = 0x08;
        QCOMPARE(device.outgoingFrame(0x06), device.replyFrame(0x06));
        QVERIFY(device.outgoingFrame(0x08) != device.replyFrame(0x08));
    }

    void switchingWithoutDelay()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        QVERIFY(device.applySet(0x0C, hex("02 04"), 1.0)); // outlet 3 off; its close delay is 12 units
        QVERIFY(device.isSwitchPending(3));
        QVERIFY(device.applySet(0x0C, hex("01 80"), 0.0)); // outlet 8 on, unit 0: at once
        QCOMPARE(device.st.outletStatus, quint8(0x85));
        QVERIFY(!device.isSwitchPending(8));
        device.st.outletOpenDelay[1] = 0;
        QVERIFY(device.applySet(0x0C, hex("01 02"), 1.0)); // outlet 2: delay 0
        QCOMPARE(device.st.outletStatus, quint8(0x87));
    }

    void switchingHonoursDelays_data()
    {
        QTest::addColumn<bool>("on");
        QTest::addColumn<int>("outlet");
        QTest::newRow("outlet 2 on after its open delay") << true << 2;
        QTest::newRow("outlet 1 off after its close delay") << false << 1;
    }
    void switchingHonoursDelays()
    {
        QFETCH(bool, on);
        QFETCH(int, outlet);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        device.st.outletOpenDelay[outlet - 1] = 3;
        device.st.outletCloseDelay[outlet - 1] = 3;
        const quint8 bit = quint8(1u << (outlet - 1));
        QCOMPARE(bool(device.st.outletStatus & bit), !on);
        QSignalSpy spy(&device, &CSimDevice::signalOutletChanged);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(device.applySet(0x0C, QByteArray(1, char(on ? 1 : 2)) + QByteArray(1, char(bit)), 0.1));
        QCOMPARE(bool(device.st.outletStatus & bit), !on);
        QTRY_COMPARE_WITH_TIMEOUT(bool(device.st.outletStatus & bit), on, 5000);
        QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(1).toInt(), outlet);
    }

    void newerSwitchReplacesPendingOne()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        device.st.outletOpenDelay[1] = 2;
        device.st.outletCloseDelay[1] = 0;
        QVERIFY(device.applySet(0x0C, hex("01 02"), 0.05)); // on in 100 ms
        QVERIFY(device.applySet(0x0C, hex("02 02"), 0.05)); // off at once, cancelling the pending on
        QTest::qWait(300);
        QCOMPARE(device.st.outletStatus & 0x02, 0);
    }

    void recordKeepsTheNewestFrames()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        device.setRecordLimit(3);
        for (int i = 0; i < 5; ++i) {
            SimFrameRecord rec;
            rec.msecsSinceEpoch = i;
            device.record(rec);
        }
        QVector<SimFrameRecord> vec = device.received();
        QCOMPARE(vec.size(), 3);
        QCOMPARE(vec[0].msecsSinceEpoch, 2);
        QCOMPARE(vec[2].msecsSinceEpoch, 4);
        device.setRecordLimit(2);
        vec = device.received();
        QCOMPARE(vec.size(), 2);
        QCOMPARE(vec[0].msecsSinceEpoch, 3);
        device.clearReceived();
        QVERIFY(device.received().isEmpty());
    }

    void demoRackScenarioIsWellFormed()
    {
        const QString strText = CSimControl::demoRackText();
        QVERIFY(strText.contains(QLatin1String("port 6000")));
        QVERIFY(strText.count(QLatin1String("\nset ")) >= CSimControl::kDemoRackSize);
    }
};

QTEST_GUILESS_MAIN(TestSimDevice)
#include "tst_simdevice.moc"
