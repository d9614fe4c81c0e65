#include "common/Clock.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "settings/Settings.h"
#include "tests/common/DataRows.h"
#include "tests/common/TestFrames.h"
#include "tests/device/PduInfoCompare.h"
#include "ui/device/OutletStatusWidget.h"

#include <QtTest>

using Edit = std::function<void(PduInfo&)>;
Q_DECLARE_METATYPE(Edit)

namespace {
void receive(CRackmind& registry, const char* sender, const QByteArray& baData)
{
    QNetworkDatagram nd(baData);
    nd.setSender(QHostAddress(QString::fromLatin1(sender)), 51230);
    registry.slotRcvData(nd);
}

QByteArray status(quint32 voltage)
{
    PduInfo info;
    info.voltage = voltage;
    return replyFrame(kCmdStatus, info);
}

QByteArray network(quint32 ip, uint port = 51230)
{
    PduInfo info;
    ipv4FromUint(ip, info.ip);
    info.udpPort = port;
    return replyFrame(kCmdNetwork, info);
}
using PortEntries = QList<QPair<int, QString>>;

// A device at 10.201.0.2 told by a download to move to 10.201.0.99.
CPdu* movedByDownload(CRackmind& registry)
{
    g_pRackmind = &registry;
    receive(registry, "10.201.0.2", network(0x0AC90002));
    CPdu* pPdu = registry.listPdu.first();
    pPdu->stSetInfo = pPdu->stInfo;
    ipv4FromUint(0x0AC90063, pPdu->stSetInfo.ip);
    pPdu->download();
    return pPdu;
}
} // namespace

using ExpiryRow = std::tuple<int, bool, int, bool>;
Q_DECLARE_METATYPE(ExpiryRow)

using MoveRow = std::tuple<int, bool, int, int>;
Q_DECLARE_METATYPE(MoveRow)

using OnlineRow = std::tuple<int, int, bool>;
Q_DECLARE_METATYPE(OnlineRow)

using PortListRow = std::tuple<PortEntries, QList<uint>, QStringList>;
Q_DECLARE_METATYPE(PortListRow)

using SharingRow = std::tuple<int, bool, int>;
Q_DECLARE_METATYPE(SharingRow)

// The device registry and the devices it holds, with the outlet painter each device owns.
class TestRackmind : public QObject
{
    Q_OBJECT
    QDateTime m_dtNow = QDateTime(QDate(2026, 1, 1), QTime(12, 0, 0));
    std::unique_ptr<QTemporaryDir> m_pWorkDir;

private slots:
    void initTestCase()
    {
        qRegisterMetaType<CPdu*>();
        Clock::setSource([this] { return m_dtNow; });
    }

    // Each case gets an empty working directory, where "port.prt" lives.
    void init()
    {
        m_pWorkDir = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(m_pWorkDir->path()));
        g_pRackmind = nullptr;
    }

    // The window is measured on the monotonic clock: a wall clock stepped either way changes nothing.
    void onlineWindow_data()
    {
        QTest::addColumn<OnlineRow>("row");
        QTest::newRow("at once") << OnlineRow(0, 0, true);
        QTest::newRow("3 s") << OnlineRow(3000, 0, true);
        QTest::newRow("3.9 s is still 3 whole seconds") << OnlineRow(3900, 0, true);
        QTest::newRow("4 s") << OnlineRow(4000, 0, false);
        QTest::newRow("wall clock set back 8 h") << OnlineRow(1000, -8 * 3600000, true);
        QTest::newRow("wall clock set forward 8 h") << OnlineRow(1000, 8 * 3600000, true);
        QTest::newRow("silent, wall clock set back") << OnlineRow(4000, -4000, false);
    }

    void onlineWindow()
    {
        QFETCH(OnlineRow, row);
        const auto& [msecsLater, wallStep, online] = row;
        qint64 iMono = 5000;
        Clock::setElapsedSource([&] { return iMono; });
        auto restore = qScopeGuard([] { Clock::setElapsedSource(nullptr); });
        CPdu pdu;
        QVERIFY(!pdu.isOnline());
        pdu.slotRcvData(replyFrame(kCmdStatus, PduInfo()));
        m_dtNow = m_dtNow.addMSecs(wallStep);
        iMono += msecsLater;
        QCOMPARE(pdu.isOnline(), online);
    }

    // Every reply stores exactly its own fields; the edit copy is never touched by replies.
    void decodesEveryReply()
    {
        const PduInfo dev = filledInfo();
        for (quint8 cmd : kReplyCommands) {
            CPdu one;
            one.slotRcvData(replyFrame(cmd, dev));
            for (quint8 other : kReplyCommands)
                QCOMPARE(payloadFor(other, one.stInfo), payloadFor(other, other == cmd ? dev : PduInfo()));
        }
        CPdu pdu;
        for (quint8 cmd : kReplyCommands)
            pdu.slotRcvData(replyFrame(cmd, dev));
        QVERIFY(sameInfo(dev, pdu.stInfo));
        QVERIFY(sameInfo(pdu.stSetInfo, PduInfo()));
    }

    void needDownloadByField_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QList<int>>("expected");
        const QList<int> net{0x01}, thr{0x08}, del{0x0E}, names{0x10};
        const auto row = [](const char* pszName, const QList<int>& listExpected, const Edit& edit) {
            QTest::newRow(pszName) << edit << listExpected;
        };
        row("byte after the NUL in the name", net, [](PduInfo& s) { s.name[10] = 'x'; });
        row("last byte of the position", net, [](PduInfo& s) { s.position[15] = 'x'; });
        row("gateway", net, [](PduInfo& s) { s.gateway[3] = 254; });
        row("mac", net, [](PduInfo& s) { s.mac[5] = 1; });
        row("port", net, [](PduInfo& s) { s.udpPort = 6000; });
        row("current warn", thr, [](PduInfo& s) { s.currentWarn = 5.1; });
        row("lower temperature limit", thr, [](PduInfo& s) { s.temperatureLowLimit = 4; });
        row("humidity warn", thr, [](PduInfo& s) { s.humidityWarn = 81; });
        row("last close delay", del, [](PduInfo& s) { s.outletCloseDelay[7] = 0; });
        row("byte after the NUL in an outlet name", names, [](PduInfo& s) { s.outletName[3][9] = 'x'; });
        row("everything", {0x01, 0x08, 0x0E, 0x10}, [](PduInfo& s) { s = filledInfo(); });
        row("readings only", {},
            [](PduInfo& s) { decodeStatusPayload(payloadFor(kCmdStatus, filledInfo()), s); });
        row("current overload NaN on both sides", thr, [](PduInfo& s) { s.currentOverload = qQNaN(); });
    }

    void needDownloadByField()
    {
        QFETCH(Edit, edit);
        QFETCH(QList<int>, expected);
        CPdu pdu;
        edit(pdu.stSetInfo);
        // An unordered comparison counts as a change, so a NaN limit is sent again.
        if (qIsNaN(pdu.stSetInfo.currentOverload))
            pdu.stInfo.currentOverload = qQNaN();
        QCOMPARE(pdu.needDownload(), expected);
    }

    // Set frames go out in command order to the device's reported address and port; a port not yet
    // polled joins the polled ones right after the network frame, one already polled does not.
    void downloadSendsSetFramesInOrder()
    {
        CRackmind registry;
        g_pRackmind = &registry;
        registry.listDevicePort << 7000;
        CPdu* pPdu = registry.addPdu(0x0AC90107);
        QCOMPARE(pPdu->needDownload(), QList<int>{kCmdNetwork}); // the edit copy holds the default address
        pPdu->stSetInfo = pPdu->stInfo;
        pPdu->stSetInfo.udpPort = 6000;
        pPdu->stSetInfo.currentWarn = 5.96;
        pPdu->stSetInfo.outletOpenDelay[2] = 0;
        pPdu->stSetInfo.outletName[0][0] = 'f';
        SentFrames sent(&registry);
        QList<int> listSentWhenAnnounced;
        connect(&registry, &CRackmind::signalUpdateDevicePort, this,
                [&](QList<uint>) { listSentWhenAnnounced << sent.list.size(); });
        pPdu->download();
        QCOMPARE(sent.commands(),
                 (QList<int>{kCmdThresholds, kCmdOutletDelays, kCmdOutletNames, kCmdNetwork}));
        for (const SentFrame& frame : qAsConst(sent.list)) {
            QCOMPARE(frame.addrDestIP, QHostAddress(QStringLiteral("10.201.1.7")));
            QCOMPARE(frame.uiDestPort, 51230u);
            const quint8 cmd = quint8(frame.baData.at(2));
            QCOMPARE(frame.baData, buildSetFrame(cmd, payloadFor(cmd, pPdu->stSetInfo)));
        }
        QCOMPARE(sent.list[0].baData.left(7), hex("A7 41 08 0D 06 00 00"));
        QCOMPARE(listSentWhenAnnounced, QList<int>{4});
        QCOMPARE(registry.listDevicePort, (QList<uint>{51230, 7000, 6000}));

        pPdu->stSetInfo.udpPort = 7000;
        pPdu->download();
        QCOMPARE(listSentWhenAnnounced.size(), 1);
        g_pRackmind = nullptr;
        SentFrames sentAlone(pPdu); // without a registry the frames still go out
        pPdu->download();
        QCOMPARE(sentAlone.list.size(), 4);
    }

    // Each reading against its limits, at and next to them: what the tick raises is what counts as
    // abnormal. Alarms are listed as "v" and "V" (voltage warn, overload), "c" and "C", "t" and "h".
    void alarmLimits_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<QByteArray>("alarms");
        const auto row = [](const char* pszName, const char* pszAlarms, const Edit& edit) {
            QTest::newRow(pszName) << edit << QByteArray(pszAlarms);
        };
        row("voltage 249", "", [](PduInfo& i) { i.voltage = 249; });
        row("voltage at warn 250", "v", [](PduInfo& i) { i.voltage = 250; });
        row("voltage at overload 300", "vV", [](PduInfo& i) { i.voltage = 300; });
        row("voltage overload, warn above", "V", [](PduInfo& i) { i.voltage = 300, i.voltageWarn = 400; });
        row("current 4.9", "", [](PduInfo& i) { i.current = 4.9; });
        row("current at warn 5.0", "c", [](PduInfo& i) { i.current = 5.0; });
        row("current overload, warn above", "C", [](PduInfo& i) { i.current = 6.0, i.currentWarn = 9.0; });
        row("temperature 6", "", [](PduInfo& i) { i.temperature = 6; });
        row("temperature at low limit 5", "t", [](PduInfo& i) { i.temperature = 5; });
        row("temperature 49", "", [](PduInfo& i) { i.temperature = 49; });
        row("temperature at high limit 50", "t", [](PduInfo& i) { i.temperature = 50; });
        row("humidity 79", "", [](PduInfo& i) { i.humidity = 79; });
        row("humidity at warn 80", "h", [](PduInfo& i) { i.humidity = 80; });
    }

    void alarmLimits()
    {
        QFETCH(Edit, edit);
        QFETCH(QByteArray, alarms);
        g_settings.smtpHost.clear(); // the mails fail at once; tst_pdualarm follows them to a server
        CPdu pdu;
        pdu.timerEmail.stop();
        // As a device reports them: who it is, its limits, its readings.
        PduInfo info;
        edit(info);
        for (quint8 cmd : {kCmdNetwork, kCmdThresholds, kCmdStatus})
            pdu.slotRcvData(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
        QCOMPARE(pdu.isAbnormal(), !alarms.isEmpty());
        pdu.slotEmailTimer();
        QByteArray raised;
        for (int i = 0; i < CPdu::AlarmCount; ++i)
            if (pdu.bAlarm[i])
                raised += "vVcCth"[i];
        QCOMPARE(raised, alarms);
    }

    // Outlet n (1..8) is bit n-1; circles sit left to right, one per pitch of min(width / 8, height).
    void paintsOutletStates_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("status");
        QTest::newRow("tree cell") << QSize(180, 30) << 0x81;
        QTest::newRow("wide, pitch is the height") << QSize(400, 30) << 0x35;
        QTest::newRow("tall, pitch is an eighth of the width") << QSize(160, 100) << 0x0F;
    }

    void paintsOutletStates()
    {
        QFETCH(QSize, size);
        QFETCH(int, status);
        const auto paint = [&](int iStatus) {
            CPdu pdu;
            pdu.stInfo.outletStatus = quint8(iStatus);
            COutletStatusWidget* pPainter = COutletStatusWidget::attach(&pdu);
            pPainter->resize(size);
            return pPainter->grab().toImage();
        };
        const QImage image = paint(status), allOn = paint(0xFF), allOff = paint(0x00);
        const int s = qMin(size.width() / 8, size.height());
        const auto cell = [&](const QImage& img, int i) { return img.copy(i * s, 0, s, size.height()); };
        for (int i = 0; i < 8; ++i) {
            const bool bOn = (status >> i) & 1;
            QCOMPARE(cell(image, i) == cell(allOn, i), bOn);
            QCOMPARE(cell(image, i) == cell(allOff, i), !bOn);
        }
        // On is green, off is red.
        const QRgb on =
            cell(allOn, 0).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
        const QRgb off =
            cell(allOff, 0).scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).pixel(0, 0);
        QVERIFY(qGreen(on) > qRed(on) && qRed(off) > qGreen(off));
    }

    // The overview adopts the painter; it then outlives its device.
    void adoptedPainterOutlivesDevice()
    {
        QWidget tree;
        QPointer<COutletStatusWidget> adopted, orphan;
        {
            CPdu a, b;
            adopted = COutletStatusWidget::attach(&a);
            adopted->setParent(&tree);
            orphan = COutletStatusWidget::attach(&b);
        }
        QVERIFY(adopted && !orphan);
        adopted->resize(180, 30);
        adopted->grab(); // paints with its device gone
    }
    void portList_data()
    {
        QTest::addColumn<PortListRow>("row");
        QTest::newRow("no file") << PortListRow({}, {51230}, {});
        QTest::newRow("groups 0, 2 and 7")
            << PortListRow({{0, "51230"}, {2, "6000"}, {7, "6000"}}, {51230, 6000}, {});
        QTest::newRow("index 1023 read, 1024 not")
            << PortListRow({{1023, "7000"}, {1024, "8000"}}, {51230, 7000}, {});
        QTest::newRow("file order is index order") << PortListRow({{9, "9"}, {3, "3"}}, {51230, 3, 9}, {});
        QTest::newRow("not a port: each named and skipped")
            << PortListRow({{1, "abc"}, {2, "6000"}, {4, "-5"}, {5, "0"}, {6, "65536"}}, {51230, 6000},
                           {"abc", "-5", "0", "65536"});
    }

    void portList()
    {
        QFETCH(PortListRow, row);
        const auto& [entries, expected, warned] = row;
        {
            QSettings portFile(QStringLiteral("port.prt"), QSettings::IniFormat);
            for (const auto& entry : entries)
                portFile.setValue(QStringLiteral("%1/port").arg(entry.first), entry.second);
        }
        static QStringList s_listWarnings;
        s_listWarnings.clear();
        const QtMessageHandler previous =
            qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& strText) {
                if (type == QtWarningMsg)
                    s_listWarnings << strText;
            });
        CRackmind registry;
        qInstallMessageHandler(previous);
        QCOMPARE(registry.listDevicePort, expected);
        // One warning per entry, naming the file and what it holds there.
        QCOMPARE(s_listWarnings.size(), warned.size());
        for (int i = 0; i < warned.size(); ++i)
            QVERIFY2(s_listWarnings.at(i).contains(QStringLiteral("port.prt")) &&
                         s_listWarnings.at(i).contains(QStringLiteral("=") + warned.at(i) + QLatin1Char(' ')),
                     qPrintable(s_listWarnings.at(i)));
    }

    // A new sender becomes one device: the polled ports are announced (with the port of every device
    // known so far, each once), then the device, then its answer.
    void firstReplyCreatesOneDevice()
    {
        CRackmind registry;
        QStringList log;
        connect(&registry, &CRackmind::signalUpdateDevicePort, this,
                [&](QList<uint> list) { log << QStringLiteral("ports %1").arg(list.size()); });
        // Announced before the datagram is decoded into it.
        connect(&registry, &CRackmind::signalNewDevice, this,
                [&](CPdu* pPdu) { log << QStringLiteral("new %1").arg(pPdu->stInfo.voltage); });
        connect(&registry, &CRackmind::signalDeviceAnswered, this,
                [&](CPdu* pPdu) { log << QStringLiteral("answered %1").arg(pPdu->stInfo.voltage); });
        receive(registry, "192.168.0.50", status(231));
        receive(registry, "192.168.0.50", status(232));
        receive(registry, "10.201.0.2", network(0x0AC90002, 6000));
        receive(registry, "10.201.0.3", network(0x0AC90003, 6000));
        receive(registry, "10.201.0.4", network(0x0AC90004, 6000));
        QCOMPARE(log, (QStringList{"ports 1", "new 220", "answered 231", "answered 232", "ports 1", "new 220",
                                   "answered 220", "ports 2", "new 220", "answered 220", "ports 2", "new 220",
                                   "answered 220"}));
        QCOMPARE(registry.listPdu.size(), 4);
        QCOMPARE(registry.listPdu.first()->parent(), &registry);
        QCOMPARE(ipv4ToString(registry.listPdu.first()->stInfo.ip), QStringLiteral("192.168.0.50"));
        QCOMPARE(registry.listDevicePort, (QList<uint>{51230, 6000}));
    }

    // Anything but an accepted reply: from a stranger it makes no device; from a known device it is a
    // sign of life that changes none of its fields.
    void unacceptedDatagrams_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("garbage") << QByteArray("hello");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("another console's query") << queryFrames().at(0);
        QTest::newRow("stale check byte") << hex("A7 42 06 08 DC 00 06 00 03 19 32 05 2B");
        QTest::newRow("outlet switch reply") << buildFrame(kFrameReply, kCmdOutletSwitch, "\x02\x04");
        QTest::newRow("status reply of the wrong size")
            << buildFrame(kFrameReply, kCmdStatus, QByteArray(9, '\x01'));
        QTest::newRow("set frame") << buildFrame(kFrameSet, kCmdThresholds, QByteArray(13, '\x01'));
    }

    void unacceptedDatagrams()
    {
        QFETCH(QByteArray, data);
        CRackmind registry;
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, filledInfo()));
        CPdu* pPdu = registry.listPdu.first();
        const PduInfo before = pPdu->stInfo;
        QSignalSpy newSpy(&registry, &CRackmind::signalNewDevice);
        QSignalSpy portSpy(&registry, &CRackmind::signalUpdateDevicePort);
        QSignalSpy answered(&registry, &CRackmind::signalDeviceAnswered);
        receive(registry, "10.201.9.9", data);
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(newSpy.count() + portSpy.count(), 0);

        m_dtNow = m_dtNow.addSecs(5);
        QVERIFY(!pPdu->isOnline());
        receive(registry, "10.201.0.2", data);
        QVERIFY(pPdu->isOnline());
        QCOMPARE(answered.count(), 1);
        QVERIFY(sameInfo(pPdu->stInfo, before));
    }

    // Datagrams go to the first device that answers from the sender's address, whatever address its
    // replies report; reporting another device's address takes nothing from that device.
    void routingFollowsMoves()
    {
        CRackmind registry;
        QSignalSpy changeSpy(&registry, &CRackmind::signalChangeIP);
        receive(registry, "10.201.0.2", status(221));
        receive(registry, "10.201.0.3", status(222));
        CPdu* pFirst = registry.listPdu.at(0);
        CPdu* pSecond = registry.listPdu.at(1);

        receive(registry, "10.201.0.2", network(0x0AC90003));
        QCOMPARE(changeSpy.size(), 1);
        QCOMPARE(changeSpy.at(0), (QList<QVariant>{0x0AC90002u, 0x0AC90003u}));
        receive(registry, "10.201.0.3", status(230));
        QCOMPARE(pFirst->stInfo.voltage, 221u);
        QCOMPARE(pSecond->stInfo.voltage, 230u);

        receive(registry, "10.201.0.2", status(231));
        QCOMPARE(pFirst->stInfo.voltage, 231u);
        QCOMPARE(registry.listPdu.size(), 2);

        // Changed behind the address index: the old address is a new host now, not the moved device.
        pFirst->uiSourceIP = 0x0AC90009;
        receive(registry, "10.201.0.2", status(226));
        QCOMPARE(pFirst->stInfo.voltage, 231u);
        receive(registry, "10.201.0.9", status(224));
        QCOMPARE(pFirst->stInfo.voltage, 224u);
        receive(registry, "10.201.0.3", status(225));
        QCOMPARE(pSecond->stInfo.voltage, 225u);
        QCOMPARE(registry.listPdu.size(), 3);
    }

    // A device answers from its new address at once: it stays the same device, and its own network
    // reply then moves it for good.
    void deviceMovedByDownloadKeepsItsObject()
    {
        CRackmind registry;
        CPdu* pPdu = movedByDownload(registry);
        QCOMPARE(pPdu->uiPendingIP, 0x0AC90063u);

        QSignalSpy changeSpy(&registry, &CRackmind::signalChangeIP);
        receive(registry, "10.201.0.99", status(229));
        QCOMPARE(pPdu->stInfo.voltage, 229u);
        QCOMPARE(changeSpy.count(), 0);
        receive(registry, "10.201.0.99", network(0x0AC90063));
        QCOMPARE(changeSpy.count(), 1);
        QCOMPARE(pPdu->uiPendingIP, 0u);
        QVERIFY(pPdu->needDownload().isEmpty());

        // A late reply from the old address, sent before the move, does not end the move early.
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(0x0AC90064, pPdu->stSetInfo.ip);
        pPdu->download();
        receive(registry, "10.201.0.99", network(0x0AC90063));
        QCOMPARE(pPdu->uiPendingIP, 0x0AC90064u);
        QCOMPARE(changeSpy.count(), 1); // the same address is not announced again
        receive(registry, "10.201.0.100", status(230));
        QCOMPARE(pPdu->stInfo.voltage, 230u);
        QCOMPARE(registry.listPdu.size(), 1);
    }

    // A PDU readdressed outside this console answers from a new address with its own MAC: it stays the
    // one device once its old address has gone silent past the online window, with its replies held
    // until its MAC is known. A host claiming the MAC of a device still answering is another device.
    void moveOutsideThisConsole_data()
    {
        // iPassingSenders: each heard once, long before the move
        QTest::addColumn<MoveRow>("row");
        QTest::newRow("moved after going silent") << MoveRow(5000, false, 1, 0);
        QTest::newRow("claimed while answering") << MoveRow(2000, false, 2, 0);
        QTest::newRow("factory default MAC") << MoveRow(5000, true, 2, 0);
        QTest::newRow("moved after many passing senders") << MoveRow(5000, false, 1, CRackmind::kHeldSenders);
    }
    void moveOutsideThisConsole()
    {
        QFETCH(MoveRow, row);
        const auto& [iSilentMsecs, bFactoryMac, iDevices, iPassingSenders] = row;
        CRackmind registry;
        PduInfo info = filledInfo();
        if (bFactoryMac)
            std::memcpy(info.mac, PduInfo().mac, sizeof info.mac);
        ipv4FromUint(0x0AC90002, info.ip);
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
        CPdu* pPdu = registry.listPdu.first();
        for (int i = 0; i < iPassingSenders; ++i)
            receive(registry, qPrintable(QStringLiteral("10.202.%1.%2").arg(i / 200).arg(i % 200 + 1)),
                    status(230));
        m_dtNow = m_dtNow.addMSecs(iPassingSenders ? CRackmind::kHoldMsecs : 0);
        if (iPassingSenders)
            receive(registry, "10.201.0.2", status(230));
        m_dtNow = m_dtNow.addMSecs(iSilentMsecs);
        info.voltage = 241;
        ipv4FromUint(0x0AC90032, info.ip);
        receive(registry, "10.201.0.50", replyFrame(kCmdStatus, info));
        // The first address goes on answering unless the device has moved.
        for (int i = 0; i < 7; ++i) {
            receive(registry, "10.201.0.50", replyFrame(kCmdNetwork, info));
            m_dtNow = m_dtNow.addMSecs(2000);
            if (iSilentMsecs < CPdu::kOnlineMsecs)
                receive(registry, "10.201.0.2", status(230));
        }
        QCOMPARE(registry.listPdu.size(), iDevices);
        CPdu* pAt50 = registry.listPdu.last();
        QCOMPARE(pAt50->uiSourceIP, 0x0AC90032u);
        QCOMPARE(pAt50->stInfo.voltage, 241u); // the reply held back is not lost
        QCOMPARE(pPdu == pAt50, iDevices == 1);
        QCOMPARE(pPdu->uiSourceIP, iDevices == 1 ? 0x0AC90032u : 0x0AC90002u); // not handed back and forth
    }

    // Two PDUs swap addresses (a DHCP server handing out leases anew): each stays its own device, found
    // at its new address, with its own readings. A unit given the MAC of another that still answers where
    // it is stays the device at its own address: nothing meant for the other reaches it.
    void swappedAddressesKeepEachDevice_data()
    {
        QTest::addColumn<bool>("bSwap");
        QTest::newRow("addresses swapped") << true;
        QTest::newRow("second unit given the first's MAC") << false;
    }
    void swappedAddressesKeepEachDevice()
    {
        QFETCH(bool, bSwap);
        CRackmind registry;
        PduInfo a = filledInfo();
        PduInfo b = a;
        b.mac[5] ^= 0x55;
        const auto answer = [&registry](const char* pszSender, PduInfo& info, quint32 uiVoltage) {
            ipv4FromUint(QHostAddress(QLatin1String(pszSender)).toIPv4Address(), info.ip);
            info.voltage = uiVoltage;
            receive(registry, pszSender, replyFrame(kCmdNetwork, info));
            receive(registry, pszSender, replyFrame(kCmdStatus, info));
        };
        answer("10.201.0.2", a, 230);
        answer("10.201.0.3", b, 231);
        CPdu* pA = registry.listPdu.at(0);
        CPdu* pB = registry.listPdu.at(1);
        for (int iPoll = 0; iPoll < 2; ++iPoll) {
            m_dtNow = m_dtNow.addMSecs(1000);
            answer("10.201.0.2", bSwap ? b : a, 242);
            answer("10.201.0.3", a, 241);
        }
        QCOMPARE(registry.listPdu.size(), 2);
        CPdu* pAt2 = bSwap ? pB : pA;
        CPdu* pAt3 = bSwap ? pA : pB;
        QCOMPARE(QStringList({ipv4ToString(pAt2->uiSourceIP), ipv4ToString(pAt3->uiSourceIP)}),
                 QStringList({QStringLiteral("10.201.0.2"), QStringLiteral("10.201.0.3")}));
        QCOMPARE(pAt2->stInfo.voltage, 242u);
        QCOMPARE(pAt3->stInfo.voltage, 241u);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(pB->stInfo.mac), 6),
                 QByteArray(reinterpret_cast<const char*>((bSwap ? b : a).mac), 6));
        QVERIFY(pA->isOnline() && pB->isOnline());
    }

    // Two units answering from one address (both fell back to the factory address) stay two devices,
    // each with its own MAC and readings, whether they answer each poll query by query or each in one
    // burst; a unit found there after the first went silent replaced it.
    void unitsSharingAnAddress_data()
    {
        // iGapMsecs: the first unit's silence before the second answers
        QTest::addColumn<SharingRow>("row");
        QTest::newRow("both answering, each in one burst") << SharingRow(500, false, 2);
        QTest::newRow("both answering, query by query") << SharingRow(500, true, 2);
        QTest::newRow("replaced after silence") << SharingRow(int(CPdu::kOnlineMsecs) + 1000, false, 1);
    }
    void unitsSharingAnAddress()
    {
        QFETCH(SharingRow, row);
        const auto& [iGapMsecs, bQueryByQuery, iDevices] = row;
        CRackmind registry;
        QSignalSpy spyMac(&registry, &CRackmind::signalDeviceMacKnown);
        QHash<CPdu*, QSet<quint32>> hashVoltages;
        connect(&registry, &CRackmind::signalDeviceAnswered, this, [&hashVoltages](CPdu* pPdu) {
            if (pPdu->hasReported(kCmdStatus))
                hashVoltages[pPdu] << pPdu->stInfo.voltage;
        });
        PduInfo a = filledInfo();
        PduInfo b = a;
        b.mac[5] ^= 0x55;
        a.voltage = 230;
        b.voltage = 241;
        ipv4FromUint(0xC0A80064, a.ip);
        ipv4FromUint(0xC0A80064, b.ip);
        const auto reply = [&registry](int iCommand, const PduInfo& info) {
            receive(registry, "10.201.0.2", replyFrame(quint8(iCommand), info));
        };
        reply(kCmdNetwork, a);
        reply(kCmdStatus, a);
        m_dtNow = m_dtNow.addMSecs(iGapMsecs);
        QList<const PduInfo*> listUnits{&b};
        if (iDevices == 2)
            listUnits << &a;
        for (int i = 0; i < 5; ++i) {
            for (int iCommand : {kCmdNetwork, kCmdStatus})
                for (const PduInfo* pUnit : listUnits)
                    if (bQueryByQuery)
                        reply(iCommand, *pUnit);
            for (const PduInfo* pUnit : listUnits)
                for (int iCommand : {kCmdNetwork, kCmdStatus})
                    if (!bQueryByQuery)
                        reply(iCommand, *pUnit);
            m_dtNow = m_dtNow.addMSecs(1000);
        }
        QCOMPARE(registry.listPdu.size(), iDevices);
        QCOMPARE(spyMac.size(), 2); // each MAC told once
        CPdu* pB = registry.listPdu.last();
        QCOMPARE(pB->stInfo.mac[5], b.mac[5]);
        QVERIFY(pB->isOnline());
        CPdu* pA = registry.listPdu.first();
        if (iDevices == 2) {
            QCOMPARE(pA->stInfo.mac[5], a.mac[5]);
            QVERIFY(pA->isOnline());
            QCOMPARE(pA->uiSourceIP, pB->uiSourceIP);
            QCOMPARE(hashVoltages.value(pA), QSet<quint32>{230});
            QCOMPARE(hashVoltages.value(pB), QSet<quint32>{241});
        }
    }

    // A host at a PDU's address inventing MACs makes a few devices, not a room: one that tells each new MAC
    // once is never a second unit, one that tells each twice around the PDU's own gets no more than the
    // units an address holds.
    void oneAddressCannotFillTheRoom_data()
    {
        QTest::addColumn<bool>("bTwice");
        QTest::addColumn<int>("iDevices");
        QTest::newRow("each MAC once") << false << 1;
        QTest::newRow("each MAC twice around the PDU's own") << true << int(CRackmind::kUnitsPerAddress);
    }
    void oneAddressCannotFillTheRoom()
    {
        QFETCH(bool, bTwice);
        QFETCH(int, iDevices);
        CRackmind registry;
        const PduInfo own = filledInfo();
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, own));
        PduInfo info = own;
        for (int i = 1; i < 4 * CRackmind::kUnitsPerAddress; ++i) {
            info.mac[4] = quint8(i);
            receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
            receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, own));
            if (bTwice)
                receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
        }
        QCOMPARE(registry.listPdu.size(), iDevices);
    }

    // Fresh units come to the address they all fall back to two at a time and each leaves for an address
    // of its own: the units gone from there leave room for the next pair, however many went before.
    void unitsLeavingASharedAddressMakeRoom()
    {
        CRackmind registry;
        PduInfo info = filledInfo();
        for (int iPair = 0; iPair < 2 * CRackmind::kUnitsPerAddress; ++iPair) {
            info.mac[4] = quint8(iPair);
            for (quint8 uiUnit : {0, 1, 0, 1}) {
                info.mac[5] = uiUnit;
                receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
            }
            QCOMPARE(registry.listPdu.size(), 2 * (iPair + 1));
            m_dtNow = m_dtNow.addMSecs(CPdu::kOnlineMsecs + 1000);
            for (quint8 uiUnit : {0, 1}) {
                info.mac[5] = uiUnit;
                const QByteArray baAddress =
                    QStringLiteral("10.201.1.%1").arg(2 * iPair + uiUnit + 1).toLatin1();
                receive(registry, baAddress.constData(), replyFrame(kCmdNetwork, info));
            }
            QCOMPARE(registry.listPdu.size(), 2 * (iPair + 1));
        }
    }

    // Three fresh units answer one address each poll: the two never heard are units of their own within a
    // few polls, and the readings of all three reach them, not waiting for ever on each other's MACs.
    void threeUnitsAtOneAddressAllGetTheirReadings()
    {
        CRackmind registry;
        QVector<PduInfo> vecUnits(3, filledInfo());
        for (int i = 0; i < 3; ++i)
            vecUnits[i].mac[5] = quint8(0x10 + i);
        for (int iPoll = 0; iPoll < 4; ++iPoll) {
            m_dtNow = m_dtNow.addMSecs(1000);
            for (PduInfo& unit : vecUnits) {
                unit.voltage = quint32(200 + 10 * iPoll + unit.mac[5] - 0x10);
                receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, unit));
                receive(registry, "10.201.0.2", replyFrame(kCmdStatus, unit));
            }
        }
        QCOMPARE(registry.listPdu.size(), 3);
        for (CPdu* pPdu : qAsConst(registry.listPdu)) {
            QVERIFY(pPdu->isOnline());
            QCOMPARE(pPdu->stInfo.voltage, quint32(230 + pPdu->stInfo.mac[5] - 0x10));
        }
    }

    // A second unit comes to a PDU's address and one network reply of the PDU is lost meanwhile: the PDU
    // keeps its own MAC and the newcomer is a device of its own.
    void lostReplyKeepsTheDeviceItsMac()
    {
        CRackmind registry;
        PduInfo own = filledInfo();
        PduInfo other = own;
        other.mac[5] ^= 0x5a;
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, own));
        CPdu* pPdu = registry.listPdu.value(0);
        QVERIFY(pPdu);
        for (int iPoll = 0; iPoll < 4; ++iPoll) {
            m_dtNow = m_dtNow.addMSecs(1000);
            if (iPoll != 1)
                receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, own));
            receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, other));
        }
        QCOMPARE(registry.listPdu.size(), 2);
        QCOMPARE(pPdu->stInfo.mac[5], own.mac[5]);
    }

    // A MAC written from here, or by another program: the unit's next network replies tell it from the same
    // address, and it is the same device with its new MAC and its readings, not a second unit beside it.
    void macWrittenIsTheSameDevice_data() { addFalseTrueRows("bHere", "by another program", "from here"); }
    void macWrittenIsTheSameDevice()
    {
        QFETCH(bool, bHere);
        CRackmind registry;
        g_pRackmind = &registry;
        PduInfo info = filledInfo();
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
        CPdu* pPdu = registry.listPdu.value(0);
        QVERIFY(pPdu);
        if (bHere) {
            pPdu->stSetInfo = pPdu->stInfo;
            pPdu->stSetInfo.mac[5] ^= 0x33;
            pPdu->download();
        }
        info.mac[5] ^= 0x33;
        for (int i = 0; i < 3; ++i) {
            m_dtNow = m_dtNow.addMSecs(500);
            info.voltage = quint32(220 + i);
            receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, info));
            receive(registry, "10.201.0.2", replyFrame(kCmdStatus, info));
        }
        g_pRackmind = nullptr;
        QCOMPARE(registry.listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.mac[5], info.mac[5]);
        QCOMPARE(pPdu->stInfo.voltage, info.voltage);
        QVERIFY(pPdu->isOnline());
        if (bHere)
            QVERIFY(pPdu->needDownload().isEmpty());
    }

    // Two units share an address; a unit known elsewhere comes to it, alone or swapping with one of the
    // two: each keeps its own readings, and none is taken offline while it answers.
    void unitComingToASharedAddress_data()
    {
        addFalseTrueRows("bSwap", "joining the two", "swapping with one there");
    }
    void unitComingToASharedAddress()
    {
        QFETCH(bool, bSwap);
        CRackmind registry;
        QHash<CPdu*, QSet<quint32>> hashVoltages;
        connect(&registry, &CRackmind::signalDeviceAnswered, this, [&hashVoltages](CPdu* pPdu) {
            if (pPdu->hasReported(kCmdStatus))
                hashVoltages[pPdu] << pPdu->stInfo.voltage;
        });
        QVector<PduInfo> vecUnits(3, filledInfo());
        for (int i = 0; i < vecUnits.size(); ++i) {
            vecUnits[i].mac[5] = quint8(0x10 + i);
            vecUnits[i].voltage = quint32(230 + i);
        }
        const auto round = [&registry, &vecUnits](const QVector<QPair<const char*, int>>& vecAnswers) {
            for (int iCommand : {kCmdNetwork, kCmdStatus})
                for (const auto& answer : vecAnswers)
                    receive(registry, answer.first, replyFrame(quint8(iCommand), vecUnits.at(answer.second)));
        };
        for (int i = 0; i < 2; ++i) // the second unit at .2 is one once both told their MACs twice
            round({{"10.201.0.2", 0}, {"10.201.0.2", 1}, {"10.201.0.3", 2}});
        QCOMPARE(registry.listPdu.size(), 3);
        // Long enough for a unit that left to be found where it went.
        const int iRounds = int(CRackmind::kHoldMsecs / 1000) + 4;
        for (int i = 0; i < iRounds; ++i) {
            if (i == iRounds - 3)
                hashVoltages.clear();
            m_dtNow = m_dtNow.addMSecs(1000);
            if (bSwap)
                round({{"10.201.0.2", 1}, {"10.201.0.2", 2}, {"10.201.0.3", 0}});
            else
                round({{"10.201.0.2", 0}, {"10.201.0.2", 1}, {"10.201.0.2", 2}});
        }
        QCOMPARE(registry.listPdu.size(), 3);
        for (CPdu* pPdu : qAsConst(registry.listPdu)) {
            QVERIFY(pPdu->isOnline());
            QCOMPARE(hashVoltages.value(pPdu), QSet<quint32>{quint32(230 + pPdu->stInfo.mac[5] - 0x10)});
        }
    }

    // A unit that leaves the factory with a MAC another PDU already reports (a cloned configuration):
    // the MAC is the first device's, as heard, and a move to a new address is that device's.
    void sharedMacBelongsToTheFirstDevice()
    {
        CRackmind registry;
        const PduInfo cloned = filledInfo(7);
        receive(registry, "10.201.0.2", network(0x0AC90002));
        receive(registry, "10.201.0.3", replyFrame(kCmdNetwork, cloned));
        receive(registry, "10.201.0.2", replyFrame(kCmdNetwork, cloned));
        CPdu* pFirst = registry.listPdu.at(0);
        m_dtNow = m_dtNow.addSecs(5);
        receive(registry, "10.201.0.3", status(230));
        QVERIFY(!pFirst->isOnline());

        receive(registry, "10.201.0.9", replyFrame(kCmdNetwork, cloned));
        QCOMPARE(registry.listPdu.size(), 2);
        QCOMPARE(pFirst->uiSourceIP, 0x0AC90009u);
        QVERIFY(pFirst->isOnline());
    }

    // A move set by a download completes only on a genuine reply from the new address, and only for a
    // while: afterwards whoever answers there is a new device.
    void pendingMoveExpires_data()
    {
        QTest::addColumn<ExpiryRow>("row");
        QTest::newRow("valid reply in time") << ExpiryRow(10000, true, 1, true);
        QTest::newRow("stray datagram in time") << ExpiryRow(10000, false, 1, false);
        QTest::newRow("valid reply after the move expired") << ExpiryRow(31000, true, 2, false);
    }
    void pendingMoveExpires()
    {
        QFETCH(ExpiryRow, row);
        const auto& [iAfterMsecs, bValid, iDevices, bMoved] = row;
        CRackmind registry;
        CPdu* pPdu = movedByDownload(registry);
        m_dtNow = m_dtNow.addMSecs(iAfterMsecs);
        receive(registry, "10.201.0.99", bValid ? status(229) : QByteArray("hello"));
        QCOMPARE(registry.listPdu.size(), iDevices);
        QCOMPARE(pPdu->uiSourceIP == 0x0AC90063u, bMoved);
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
