#include "device/Protocol.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestFrames.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimThread.h"

#include <QLocalSocket>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

// The console's end of the wire, kept bare: one socket on the bed's console address.
class BareConsole
{
public:
    bool open()
    {
        // Room for a whole fleet's burst of replies (the kernel caps it at rmem_max).
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
        return m_socket.bind(QHostAddress(QStringLiteral("10.200.0.1")), 51230);
    }
    void send(const QByteArray& baFrame, const QString& strAddr = QString(), quint16 uiPort = 51230)
    {
        m_socket.writeDatagram(
            baFrame, strAddr.isEmpty() ? QHostAddress(QHostAddress::Broadcast) : QHostAddress(strAddr),
            uiPort);
    }
    void pollAll(quint16 uiPort = 51230)
    {
        for (const QByteArray& ba : queryFrames())
            send(ba, QString(), uiPort);
    }
    // Replies until iCount have come (and iLingerMs more for surplus ones) or iTimeoutMs has passed.
    QList<QNetworkDatagram> collect(int iCount, int iTimeoutMs = 5000, int iLingerMs = 150)
    {
        QList<QNetworkDatagram> list;
        QElapsedTimer clock;
        clock.start();
        qint64 deadline = iTimeoutMs;
        while (clock.elapsed() < deadline) {
            while (m_socket.hasPendingDatagrams())
                list.append(m_socket.receiveDatagram());
            if (list.size() >= iCount && deadline == iTimeoutMs)
                deadline = clock.elapsed() + iLingerMs;
            m_socket.waitForReadyRead(10);
        }
        return list;
    }
    QStringList sources(int iCount, int iTimeoutMs = 5000)
    {
        return sourcesOf(collect(iCount, iTimeoutMs, 150));
    }
    static QStringList sourcesOf(const QList<QNetworkDatagram>& list)
    {
        QStringList listOut;
        for (const QNetworkDatagram& dg : list)
            listOut << QStringLiteral("%1:%2").arg(dg.senderAddress().toString()).arg(dg.senderPort());
        listOut.sort();
        return listOut;
    }

private:
    QUdpSocket m_socket;
};

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

QStringList first(int n, int iFrom = 1)
{
    QStringList list;
    for (int i = iFrom; i < iFrom + n; ++i)
        list << QStringLiteral("10.200.1.%1:51230").arg(i);
    return list;
}

} // namespace

// The simulator: one device on its own; a fleet of four met over real UDP from the bed's console
// namespace, on a thread of this process; the pdusim program as the demo and manual work use it.
class TestPdusim : public QObject
{
    Q_OBJECT
    std::unique_ptr<CSimThread> m_sim;
    std::unique_ptr<BareConsole> m_console;
    QTemporaryDir m_dir;

    void startFleet()
    {
        CSimConfig config;
        config.iDevices = 4;
        m_sim = std::make_unique<CSimThread>();
        QVERIFY(startQuietFleet(*m_sim, Switching::AtOnce, config));
    }
    void command(const QString& strLine)
    {
        const QStringList listOut = m_sim->command(strLine);
        QVERIFY2(listOut.last() == QLatin1String("ok"),
                 qPrintable(strLine + QLatin1String(": ") + listOut.join(' ')));
    }
    QByteArray reply(int iDevice, quint8 cmd)
    {
        return m_sim->call([=](CSimFleet& fleet) { return fleet.device(iDevice)->replyFrame(cmd); });
    }
    QByteArray query(quint8 cmd, const QString& strAddr, int iTimeoutMs = 3000)
    {
        m_console->send(SimFrame::build(0x40, cmd, QByteArray()), strAddr);
        const QList<QNetworkDatagram> list = m_console->collect(1, iTimeoutMs, 0);
        return list.isEmpty() ? QByteArray() : list.first().data();
    }
    bool startProgram(QProcess& process, const QStringList& listArgs)
    {
        process.setProgram(QStringLiteral(PDUSIM_PROGRAM));
        process.setArguments(
            QStringList{QStringLiteral("--netns"), qEnvironmentVariable("RACKMIND_BED_DEVICE_NS")} +
            listArgs);
        process.start();
        return process.waitForStarted();
    }

private slots:
    void init()
    {
        m_console = std::make_unique<BareConsole>();
        QVERIFY(m_console->open());
    }
    void cleanup()
    {
        m_console.reset();
        m_sim.reset();
    }

    void unicastAndSegments()
    {
        startFleet();
        // The bed's second link reaches the device namespace too, but no device sits on it.
        QUdpSocket socket;
        QVERIFY2(socket.bind(QHostAddress(QStringLiteral("10.201.0.1")), 51230),
                 qPrintable(socket.errorString()));
        for (const QByteArray& ba : queryFrames())
            socket.writeDatagram(ba, QHostAddress::Broadcast, 51230);
        // All six taken in and let be, and nothing came back.
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->call([](CSimFleet& f) { return f.stats().ignored; }), 6ull, 10000);
        QVERIFY(!socket.waitForReadyRead(300));
        m_console->send(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.3"));
        QCOMPARE(m_console->sources(1), first(1, 3));
        // Another port than the device's, or a spare address: nobody answers.
        m_console->send(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.3"), 6000);
        m_console->send(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.5"));
        // Malformed queries neither.
        m_console->send(hex("A7 40 01 00 E7")); // bad check byte
        m_console->send(hex("A7 40 03 00 EA")); // a query nobody answers
        m_console->send(hex("A7 42 06 00 ED")); // another device's reply type
        QVERIFY(m_console->collect(INT_MAX, 300).isEmpty());
    }

    void setFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("broadcast");
        QTest::addColumn<bool>("applied");
        const QByteArray baGood = hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7E");
        QTest::newRow("thresholds") << baGood << false << true;
        QTest::newRow("broadcast") << baGood << true << false;
        QTest::newRow("bad check byte") << QByteArray(baGood).replace(17, 1, "\x7F") << false << false;
    }
    void setFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, broadcast);
        QFETCH(bool, applied);
        startFleet();
        const quint8 cmd = quint8(frame[2]);
        const QByteArray baBefore = reply(2, cmd);
        const QByteArray baOther = reply(3, cmd);
        m_console->send(frame, broadcast ? QString() : QStringLiteral("10.200.1.2"));
        QByteArray expected = frame;
        expected[1] = char(0x42);
        expected[expected.size() - 1] = char(quint8(expected.back()) + 1);
        // A query sent after the frame is handled after it: its answer shows the state.
        QCOMPARE(query(cmd, QStringLiteral("10.200.1.2")), applied ? expected : baBefore);
        QCOMPARE(reply(3, cmd), baOther);
    }

    // What the simulator does on command: take new values, fall silent, answer late, drop queries,
    // answer thrice.
    void faultsOnCommand()
    {
        startFleet();
        command(QStringLiteral("set 10.200.1.3 name \"Rack Three\" outlet 1 on outlet 2 off"));
        QVERIFY(m_sim->command(QStringLiteral("list"))[2].startsWith(
            QLatin1String("3 10.200.1.3:51230 \"Rack Three\" ")));
        QCOMPARE(m_sim->call([](CSimFleet& f) { return f.device(3)->st.outletStatus & 3; }), 1);
        command(QStringLiteral("silent 2"));
        m_console->send(hex("A7 40 02 00 E9"));
        QCOMPARE(m_console->sources(3),
                 QStringList({"10.200.1.1:51230", "10.200.1.3:51230", "10.200.1.4:51230"}));
        command(QStringLiteral("resume 2"));
        command(QStringLiteral("late 3 400"));
        command(QStringLiteral("drop 1 1"));
        command(QStringLiteral("burst 4 3"));
        QElapsedTimer clock;
        clock.start();
        m_console->send(hex("A7 40 02 00 E9"));
        // The late one comes after the others, however slow the machine, and not before its time (a
        // coarse timer may fire 5 % early).
        QList<QNetworkDatagram> list = m_console->collect(5, 10000, 0);
        QVERIFY2(clock.elapsed() >= 380, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(list.size(), 5);
        QCOMPARE(BareConsole::sourcesOf({list.takeLast()}), first(1, 3));
        QCOMPARE(BareConsole::sourcesOf(list), QStringList({"10.200.1.2:51230", "10.200.1.4:51230",
                                                            "10.200.1.4:51230", "10.200.1.4:51230"}));
    }

    void demoRackProgram()
    {
        const QString strControl = m_dir.filePath(QStringLiteral("demo.ctl"));
        QProcess process;
        QVERIFY(startProgram(process, {"--demo", "--control", strControl}));
        QLocalSocket socket;
        QTRY_VERIFY_WITH_TIMEOUT(
            (socket.abort(), socket.connectToServer(strControl), socket.waitForConnected(100)), 10000);
        socket.write("list\n");
        QStringList listDevices;
        while (!listDevices.contains(QStringLiteral("ok")) && socket.waitForReadyRead(5000))
            while (socket.canReadLine())
                listDevices << QString::fromUtf8(socket.readLine()).trimmed();
        QCOMPARE(listDevices.size(), 13);
        QVERIFY(
            listDevices[0].startsWith(QLatin1String("1 10.200.1.1:51230 \"Core-SW-A\" \"Row A Rack 01\"")));
        QVERIFY(listDevices[11].startsWith(QLatin1String("12 10.200.1.12:6000 \"Lab-Bench\"")));

        m_console->pollAll(51230);
        m_console->pollAll(6000);
        const QList<QNetworkDatagram> list = m_console->collect(72);
        QCOMPARE(list.size(), 72);
        for (const QNetworkDatagram& nd : list)
            QCOMPARE(nd.senderPort() == 6000, nd.senderAddress().toString() == QLatin1String("10.200.1.12"));
        process.terminate();
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFile::exists(strControl));
    }

    void commandsOnStdinAndScenarios()
    {
        const QString strScenario = m_dir.filePath(QStringLiteral("late.scn"));
        QVERIFY(writeFile(
            strScenario,
            "# device 2 falls silent a moment after the start\nset 2 voltage 251\nat 0.5 silent 2\n"));
        QProcess process;
        QVERIFY(startProgram(process, {"--devices", "3", "--scenario", strScenario}));
        // Device 2 falls silent while its neighbour answers; however late the program came up, it is
        // seen silent then, and its value from the scenario's first line is there when it resumes.
        QTRY_VERIFY_WITH_TIMEOUT(!query(0x06, QStringLiteral("10.200.1.1"), 1000).isEmpty() &&
                                     query(0x06, QStringLiteral("10.200.1.2"), 1000).isEmpty(),
                                 20000);
        process.write("resume 2\n");
        QByteArray baStatus;
        QTRY_VERIFY_WITH_TIMEOUT(!(baStatus = query(0x06, QStringLiteral("10.200.1.2"), 1000)).isEmpty(),
                                 10000);
        QCOMPARE(quint8(baStatus[4]) + 256 * quint8(baStatus[5]), 251);
        process.write("set 2 voltage 219\n");
        QTRY_COMPARE_WITH_TIMEOUT(query(0x06, QStringLiteral("10.200.1.2"), 1000).append(5, '\0').at(4),
                                  char(219), 10000);
        process.write("show 9\nquit\n");
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray baOut = process.readAllStandardOutput();
        QVERIFY2(baOut.startsWith("ok\nok\nerror: no such device: 9 (there are 3)\nok\n"), baOut.constData());

        // A scenario with a fault stops the start.
        QVERIFY(writeFile(strScenario, "set 1 voltage 230\nset 1 wattage 5\n"));
        QVERIFY(startProgram(process, {"--devices", "1", "--scenario", strScenario}));
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("late.scn:2: error: unknown field \"wattage\""));
    }

    // The device on its own: what it answers, what it accepts, how it switches.
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
        QByteArray baNames;
        for (char c = '1'; c <= '8'; ++c)
            baNames += hex("4F 75 74 6C 65 74 20") + c + QByteArray(2, '\0'); // "Outlet N"
        QTest::newRow("outlet names") << 0x10 << hex("A7 42 10 50") + baNames + hex("D5");
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

    void tenthsCarryIntoAmperes()
    {
        CSimDevice device(1, 0, 51230, 1, nullptr);
        // 5.96 A travels as 6.0 A, not as 5 and ten tenths.
        device.setCurrent(5.96);
        QCOMPARE(device.replyFrame(0x06).mid(6, 3), hex("06 00 00"));
    }

    void incomingFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("valid");
        QTest::newRow("query 0x01") << hex("A7 40 01 00 E8") << true;
        QTest::newRow("query 0x06 with the sum") << hex("A7 40 06 00 ED") << true;
        QTest::newRow("query 0x06 one below the sum") << hex("A7 40 06 00 EC") << true;
        QTest::newRow("query 0x10") << hex("A7 40 10 00 F7") << true;
        QTest::newRow("query 0x01 one below the sum") << hex("A7 40 01 00 E7") << false;
        QTest::newRow("query 0x06 two below the sum") << hex("A7 40 06 00 EB") << false;
        QTest::newRow("set 0x06 one below the sum") << hex("A7 41 06 00 ED") << false;
        QTest::newRow("bad check byte")
            << hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7F") << false;
        QTest::newRow("length byte too big")
            << hex("A7 41 0E 11 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 8F") << false;
        QTest::newRow("truncated") << hex("A7 41 0E 10 01 02 03 04 05 06 07") << false;
        QTest::newRow("too short") << hex("A7 41 0C") << false;
        QTest::newRow("wrong header") << hex("A6 41 0C 02 02 04 FB") << false;
        // Well-formed set frames that a device still must not take.
        QTest::newRow("thresholds one byte short")
            << SimFrame::build(0x41, 0x08, hex("07 00 00 09 00 05 F5 00 FF 00 0A 28")) << true;
        QTest::newRow("unknown command") << hex("A7 41 03 02 01 01 EF") << true;
        QTest::newRow("device information cannot be set")
            << SimFrame::build(0x41, 0x02, QByteArray(24, 'x')) << true;
        QTest::newRow("switch action 3") << hex("A7 41 0C 02 03 04 FD") << true;
    }
    void incomingFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, valid);
        CSimDevice device(1, 0, 51230, 1, nullptr);
        makeKnown(device);
        const QByteArray baBefore = allReplies(device);
        const SimFrame::Incoming in = SimFrame::parse(frame);
        QCOMPARE(in.bValid, valid);
        if (in.bValid)
            QCOMPARE(in.cmd, quint8(frame[2]));
        if (in.bValid && in.type == 0x41)
            QVERIFY(!device.applySet(in.cmd, in.baPayload, 0.0));
        QCOMPARE(allReplies(device), baBefore);
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
        QTRY_COMPARE_WITH_TIMEOUT(bool(device.st.outletStatus & bit), on, 20000);
        QVERIFY2(clock.elapsed() >= 290, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(1).toInt(), outlet);
    }
};

QTEST_GUILESS_MAIN(TestPdusim)
#include "tst_pdusim.moc"
