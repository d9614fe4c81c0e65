#include "SimConsole.h"
#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimThread.h"

#include <QtTest>

#include <memory>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QStringList sources(const QList<QNetworkDatagram>& list)
{
    QStringList listOut;
    for (const QNetworkDatagram& dg : list)
        listOut << QStringLiteral("%1:%2").arg(dg.senderAddress().toString()).arg(dg.senderPort());
    listOut.sort();
    return listOut;
}

QList<QNetworkDatagram> withCommand(const QList<QNetworkDatagram>& list, quint8 cmd)
{
    QList<QNetworkDatagram> listOut;
    for (const QNetworkDatagram& dg : list)
        if (dg.data().size() > 2 && quint8(dg.data()[2]) == cmd)
            listOut << dg;
    return listOut;
}

} // namespace

// A fleet of four simulated PDUs in the bed's device namespace, met over real UDP from the console's.
class TestSimFleet : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<CSimThread> m_sim;
    std::unique_ptr<SimConsole> m_console;

    void command(const QString& strLine)
    {
        const QStringList listOut = m_sim->command(strLine);
        QVERIFY2(listOut.last() == QLatin1String("ok"),
                 qPrintable(strLine + QLatin1String(": ") + listOut.join(QLatin1Char('\n'))));
    }
    QByteArray reply(int iDevice, quint8 cmd)
    {
        return m_sim->call([=](CSimFleet& fleet) { return fleet.device(iDevice)->replyFrame(cmd); });
    }
    QByteArray statusOf(const QString& strAddr)
    {
        m_console->sendTo(hex("A7 40 06 00 EC"), strAddr);
        const QList<QNetworkDatagram> list = m_console->collect(1, 3000, 0);
        return list.isEmpty() ? QByteArray() : list.first().data();
    }

private slots:
    void init()
    {
        CSimConfig config;
        config.bNoise = false;
        config.dDelayUnit = 0;
        m_sim = std::make_unique<CSimThread>();
        QString strError;
        QVERIFY2(m_sim->startFleet(config, &strError), qPrintable(strError));
        m_console = std::make_unique<SimConsole>();
        QVERIFY2(m_console->open(), qPrintable(m_console->errorString()));
    }
    void cleanup()
    {
        m_console.reset();
        m_sim.reset();
    }

    void everyDeviceAnswersEveryQueryFromItsOwnAddress()
    {
        QCOMPARE(m_sim->call([](CSimFleet& f) { return f.deviceCount(); }), 4);
        m_console->pollAll();
        const QList<QNetworkDatagram> list = m_console->collect(24);
        QCOMPARE(list.size(), 24);
        for (quint8 cmd : {0x01, 0x02, 0x06, 0x08, 0x0E, 0x10}) {
            const QList<QNetworkDatagram> listCmd = withCommand(list, cmd);
            QCOMPARE(sources(listCmd), QStringList({"10.200.1.1:51230", "10.200.1.2:51230",
                                                    "10.200.1.3:51230", "10.200.1.4:51230"}));
            for (const QNetworkDatagram& dg : listCmd) {
                const int iDevice = int(dg.senderAddress().toIPv4Address() & 0xFF);
                QCOMPARE(dg.data(), reply(iDevice, cmd));
                QCOMPARE(dg.destinationPort(), 51230);
            }
        }
        // The network reply tells the device's own address and port.
        const QByteArray baNet = withCommand(list, 0x01).first().data();
        QCOMPARE(baNet.mid(4, 4), QByteArray(1, char(10)) + char(200) + char(1) + char(baNet[7]));
        QCOMPARE(baNet.mid(22, 2), hex("1E C8"));
    }

    void replyBytesOnTheWire()
    {
        command(QStringLiteral("set 2 voltage 220 current 5.3 temperature 25 humidity 50 outlets 5"));
        command(QStringLiteral("set 2 currentWarn 10.5 currentOverload 16 voltageWarn 250 voltageOverload "
                               "265 tempLow 5 tempHigh 45 humidityWarn 80"));
        QCOMPARE(SimFrame::toHex(statusOf(QStringLiteral("10.200.1.2"))),
                 SimFrame::toHex(hex("A7 42 06 08 DC 00 05 00 03 19 32 05 2B")));
        m_console->sendTo(hex("A7 40 08 00 EE"), QStringLiteral("10.200.1.2"));
        const QList<QNetworkDatagram> list = m_console->collect(1);
        QCOMPARE(list.size(), 1);
        QCOMPARE(SimFrame::toHex(list.first().data()),
                 SimFrame::toHex(hex("A7 42 08 0D 0A 00 05 10 00 00 FA 00 09 01 05 2D 50 A3")));
    }

    void unicastQueryIsAnsweredByThatDeviceAlone()
    {
        m_console->sendTo(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.3"));
        const QList<QNetworkDatagram> list = m_console->collect(1);
        QCOMPARE(sources(list), QStringList({"10.200.1.3:51230"}));
        // Another port than the device's, or a spare address: nobody answers.
        m_console->sendTo(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.3"), 6000);
        m_console->sendTo(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.5"));
        QVERIFY(m_console->quiet(300).isEmpty());
    }

    void broadcastOnAnotherSegmentIsNotHeard()
    {
        // The bed's second link reaches the device namespace too, but no device sits on it.
        QUdpSocket socket;
        QVERIFY2(socket.bind(QHostAddress(QStringLiteral("10.201.0.1")), 51230),
                 qPrintable(socket.errorString()));
        for (const QByteArray& ba : SimConsole::queries())
            socket.writeDatagram(ba, QHostAddress::Broadcast, 51230);
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(m_console->collect(4).size(), 4);
        QVERIFY(!socket.waitForReadyRead(300));
        QCOMPARE(m_sim->call([](CSimFleet& f) { return f.stats().ignored; }), 6ull);
    }

    void setFramesAreApplied_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("thresholds") << hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7E");
        QTest::newRow("delays") << hex("A7 41 0E 10 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 8E");
        QTest::newRow("outlet names") << SimFrame::build(0x41, 0x10, QByteArray(80, 'n'));
        QTest::newRow("network, same address") << SimFrame::build(
            0x41, 0x01,
            hex("0A C8 01 02 FF FF 00 00 0A C8 00 FE 02 50 44 00 00 02 1E C8") + QByteArray(32, 'p'));
    }
    void setFramesAreApplied()
    {
        QFETCH(QByteArray, frame);
        const quint8 cmd = quint8(frame[2]);
        const QByteArray baOther = reply(3, cmd);
        m_console->sendTo(frame, QStringLiteral("10.200.1.2"));
        QByteArray expected = frame;
        expected[1] = char(0x42);
        expected[expected.size() - 1] = char(quint8(expected.back()) + 1);
        QTRY_COMPARE(reply(2, cmd), expected);
        // Only the device it was sent to.
        QCOMPARE(reply(3, cmd), baOther);
        m_console->sendTo(SimFrame::build(0x40, cmd, QByteArray()), QStringLiteral("10.200.1.2"));
        const QList<QNetworkDatagram> list = m_console->collect(1);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().data(), expected);
    }

    void broadcastOrMalformedSetFramesAreIgnored_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<bool>("broadcast");
        const QByteArray baGood = hex("A7 41 08 0D 07 00 00 09 00 05 F5 00 FF 00 0A 28 46 7E");
        QTest::newRow("broadcast") << baGood << true;
        QByteArray ba = baGood;
        ba[ba.size() - 1] = char(0x7F);
        QTest::newRow("bad check byte") << ba << false;
        QTest::newRow("truncated") << baGood.left(12) << false;
        ba = baGood;
        ba[3] = char(0x0C);
        ba[ba.size() - 1] = char(0x7D);
        QTest::newRow("length byte says 12") << ba << false;
        QTest::newRow("wrong size for thresholds") << SimFrame::build(0x41, 0x08, QByteArray(12, 1)) << false;
    }
    void broadcastOrMalformedSetFramesAreIgnored()
    {
        QFETCH(QByteArray, frame);
        QFETCH(bool, broadcast);
        const QByteArray baBefore = reply(2, 0x08);
        const QByteArray baBeforeOther = reply(1, 0x08);
        if (broadcast)
            m_console->broadcast(frame);
        else
            m_console->sendTo(frame, QStringLiteral("10.200.1.2"));
        // A query sent after the frame is handled after it: its answer shows the state.
        m_console->sendTo(hex("A7 40 08 00 EE"), QStringLiteral("10.200.1.2"));
        const QList<QNetworkDatagram> list = m_console->collect(1);
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().data(), baBefore);
        QCOMPARE(reply(1, 0x08), baBeforeOther);
    }

    void outletSwitchHonoursDelays()
    {
        command(QStringLiteral("set 1 outlets 0 openDelay 2 3 closeDelay 2 0"));
        command(QStringLiteral("delayunit 0.2"));
        QElapsedTimer clock;
        clock.start();
        m_console->sendTo(SimFrame::build(0x41, 0x0C, hex("01 02")), QStringLiteral("10.200.1.1"));
        QTRY_VERIFY(m_sim->call([](CSimFleet& f) { return f.device(1)->isSwitchPending(2); }));
        QCOMPARE(quint8(statusOf(QStringLiteral("10.200.1.1")).at(11)), quint8(0x00));
        QTRY_COMPARE_WITH_TIMEOUT(quint8(statusOf(QStringLiteral("10.200.1.1")).at(11)), quint8(0x02), 5000);
        QVERIFY2(clock.elapsed() >= 590, qPrintable(QString::number(clock.elapsed())));
        // Switching off: delay 0, at once.
        m_console->sendTo(hex("A7 41 0C 02 02 02 FA"), QStringLiteral("10.200.1.1"));
        QTRY_COMPARE(quint8(statusOf(QStringLiteral("10.200.1.1")).at(11)), quint8(0x00));
    }

    void readdressedByNetworkSettings()
    {
        // Device 4 moves to the first spare address and to port 6000.
        QByteArray baPayload = reply(4, 0x01).mid(4, 52);
        baPayload.replace(0, 4, hex("0A C8 01 05"));
        baPayload.replace(18, 2, hex("70 17"));
        m_console->sendTo(SimFrame::build(0x41, 0x01, baPayload), QStringLiteral("10.200.1.4"));
        QTRY_COMPARE(m_sim->call([](CSimFleet& f) { return f.device(4)->st.udpPort; }), quint16(6000));

        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(sources(m_console->collect(3)),
                 QStringList({"10.200.1.1:51230", "10.200.1.2:51230", "10.200.1.3:51230"}));
        m_console->broadcast(hex("A7 40 01 00 E8"), 6000);
        const QList<QNetworkDatagram> list = m_console->collect(1);
        QCOMPARE(sources(list), QStringList({"10.200.1.5:6000"}));
        QCOMPARE(list.first().data(), SimFrame::build(0x42, 0x01, baPayload));
        // The old address is empty now.
        m_console->sendTo(hex("A7 40 01 00 E8"), QStringLiteral("10.200.1.4"));
        m_console->sendTo(hex("A7 40 01 00 E8"), QStringLiteral("10.200.1.4"), 6000);
        QVERIFY(m_console->quiet(300).isEmpty());

        // And on through the control channel, back to the first port.
        command(QStringLiteral("readdress 4 10.200.1.6 51230"));
        QCOMPARE(m_sim->call([](CSimFleet& f) { return f.ports(); }), QList<quint16>({51230}));
        QCOMPARE(m_sim->command(QStringLiteral("spares")), QStringList({"10.200.1.4", "10.200.1.5", "ok"}));
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(sources(m_console->collect(4)), QStringList({"10.200.1.1:51230", "10.200.1.2:51230",
                                                              "10.200.1.3:51230", "10.200.1.6:51230"}));
    }

    void deviceMovedOffTheNetworkFallsSilentAlone()
    {
        command(QStringLiteral("readdress 2 10.99.0.7"));
        m_console->pollAll();
        const QList<QNetworkDatagram> list = m_console->collect(18);
        QCOMPARE(list.size(), 18);
        QVERIFY(!sources(list).contains(QStringLiteral("10.99.0.7:51230")));
    }

    void silentAndBack()
    {
        command(QStringLiteral("silent 2"));
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(sources(m_console->collect(3)),
                 QStringList({"10.200.1.1:51230", "10.200.1.3:51230", "10.200.1.4:51230"}));
        command(QStringLiteral("resume 2"));
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(m_console->collect(4).size(), 4);
        // Silent for a while: back on its own.
        command(QStringLiteral("silent 1-3 0.5"));
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(sources(m_console->collect(1)), QStringList({"10.200.1.4:51230"}));
        QTest::qWait(600);
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QCOMPARE(m_console->collect(4).size(), 4);
    }

    void lateReplies()
    {
        command(QStringLiteral("late 3 400"));
        QElapsedTimer clock;
        clock.start();
        m_console->broadcast(hex("A7 40 02 00 E9"));
        QList<QNetworkDatagram> list = m_console->collect(3, 5000, 0);
        QCOMPARE(sources(list), QStringList({"10.200.1.1:51230", "10.200.1.2:51230", "10.200.1.4:51230"}));
        QVERIFY(clock.elapsed() < 390);
        list = m_console->collect(1, 5000, 0);
        QCOMPARE(sources(list), QStringList({"10.200.1.3:51230"}));
        QVERIFY2(clock.elapsed() >= 395, qPrintable(QString::number(clock.elapsed())));
    }

    void droppedQueries()
    {
        command(QStringLiteral("drop 1 1"));
        command(QStringLiteral("drop 2 0.5"));
        for (int i = 0; i < 50; ++i)
            m_console->pollAll();
        const QList<QNetworkDatagram> list = m_console->collect(600, 3000);
        const QStringList listFrom = sources(list);
        QCOMPARE(listFrom.count(QStringLiteral("10.200.1.1:51230")), 0);
        QVERIFY2(listFrom.count(QStringLiteral("10.200.1.2:51230")) > 100 &&
                     listFrom.count(QStringLiteral("10.200.1.2:51230")) < 200,
                 qPrintable(QString::number(listFrom.count(QStringLiteral("10.200.1.2:51230")))));
        QCOMPARE(listFrom.count(QStringLiteral("10.200.1.3:51230")), 300);
    }

    void burstOfReplies()
    {
        command(QStringLiteral("burst 4 3"));
        m_console->sendTo(hex("A7 40 10 00 F7"), QStringLiteral("10.200.1.4"));
        const QList<QNetworkDatagram> list = m_console->collect(3);
        QCOMPARE(list.size(), 3);
        for (const QNetworkDatagram& dg : list)
            QCOMPARE(dg.data(), reply(4, 0x10));
    }

    void malformedReplies()
    {
        command(QStringLiteral("malform 1 check 6"));
        command(QStringLiteral("malform 2 truncated"));
        m_console->broadcast(hex("A7 40 06 00 EC"));
        m_console->broadcast(hex("A7 40 02 00 E9"));
        const QList<QNetworkDatagram> list = m_console->collect(8);
        QCOMPARE(list.size(), 8);
        for (const QNetworkDatagram& dg : list) {
            const int iDevice = int(dg.senderAddress().toIPv4Address() & 0xFF);
            const QByteArray baGood = reply(iDevice, quint8(dg.data()[2]));
            if (iDevice == 1 && quint8(dg.data()[2]) == 0x06)
                QCOMPARE(dg.data().back(), char(baGood.back() + 1));
            else if (iDevice == 2)
                QCOMPARE(dg.data(), baGood.left(baGood.size() - 3));
            else
                QCOMPARE(dg.data(), baGood);
        }
    }

    void malformedQueriesAreRecordedNotAnswered()
    {
        m_console->broadcast(hex("A7 40 01 00 E7")); // bad check byte
        m_console->broadcast(hex("A7 40 03 00 EA")); // a query nobody answers
        m_console->broadcast(hex("A7 42 06 00 ED")); // another device's reply type
        QVERIFY(m_console->quiet(300).isEmpty());
        m_console->sendTo(hex("A7 40 02 00 E9"), QStringLiteral("10.200.1.1"));
        QCOMPARE(m_console->collect(1).size(), 1);

        const QStringList listRecord = m_sim->command(QStringLiteral("record 1"));
        QCOMPARE(listRecord.size(), 5);
        QVERIFY(listRecord[0].endsWith(
            QLatin1String(" 10.200.0.1:51230 -> 255.255.255.255:51230 A7 40 01 00 E7")));
        QVERIFY(
            listRecord[3].endsWith(QLatin1String(" 10.200.0.1:51230 -> 10.200.1.1:51230 A7 40 02 00 E9")));
        const QVector<SimFrameRecord> vec = m_sim->call([](CSimFleet& f) { return f.device(2)->received(); });
        QCOMPARE(vec.size(), 3);
        QCOMPARE(vec[1].baFrame, hex("A7 40 03 00 EA"));
        QCOMPARE(vec[1].srcIp, SimConsole::address().toIPv4Address());
        QCOMPARE(vec[1].srcPort, quint16(51230));
        QVERIFY(qAbs(vec[1].msecsSinceEpoch - QDateTime::currentMSecsSinceEpoch()) < 5000);
        command(QStringLiteral("record all clear"));
        QCOMPARE(m_sim->command(QStringLiteral("record all")), QStringList({"ok"}));
    }

    void controlLanguage_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("last");
        QTest::newRow("unknown command") << "explode 1"
                                         << "error: unknown command \"explode\" (try help)";
        QTest::newRow("device out of range") << "silent 5"
                                             << "error: no such device: 5 (there are 4)";
        QTest::newRow("no device") << "late"
                                   << "error: late: which device?";
        QTest::newRow("bad share") << "drop 1 1.5"
                                   << "error: usage: drop DEV SHARE (0..1)";
        QTest::newRow("bad field") << "set 1 colour red"
                                   << "error: unknown field \"colour\" (see help)";
        QTest::newRow("bad outlet") << "set 1 outlet 9 on"
                                    << "error: usage: set DEV outlet OUTLET(1-8) VALUE";
        QTest::newRow("unknown address") << "show 10.200.1.9"
                                         << "error: no device at 10.200.1.9";
        QTest::newRow("comment") << "# nothing"
                                 << "ok";
        QTest::newRow("by address") << "set 10.200.1.2 name \"Rack Two\""
                                    << "ok";
    }
    void controlLanguage()
    {
        QFETCH(QString, line);
        QFETCH(QString, last);
        QCOMPARE(m_sim->command(line).last(), last);
    }

    void showAndList()
    {
        command(QStringLiteral("set 3 name \"Rack Three\" position \"Row C\" outlet 1 on outlet 2 off "
                               "outletName 8 \"Last one\""));
        const QStringList listShow = m_sim->command(QStringLiteral("show 3"));
        QVERIFY(listShow.contains(QStringLiteral("3 name=Rack Three")));
        QVERIFY(listShow.contains(QStringLiteral("3 position=Row C")));
        QVERIFY(listShow.contains(QStringLiteral("3 ip=10.200.1.3")));
        QVERIFY(listShow.contains(QStringLiteral(
            "3 outletName=Outlet 1,Outlet 2,Outlet 3,Outlet 4,Outlet 5,Outlet 6,Outlet 7,Last one")));
        const QStringList listAll = m_sim->command(QStringLiteral("list"));
        QCOMPARE(listAll.size(), 5);
        QVERIFY(listAll[2].startsWith(QLatin1String("3 10.200.1.3:51230 \"Rack Three\" \"Row C\" ")));
        QVERIFY(listAll[2].contains(QLatin1String("outlets=10")));
    }
};

QTEST_GUILESS_MAIN(TestSimFleet)
#include "tst_simfleet.moc"
