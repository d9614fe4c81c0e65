#include "../mail/MailTestServers.h"

#include "common/DeviceText.h"
#include "device/Protocol.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "room/RoomAlarms.h"
#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tools/common/ConsoleRig.h"
#include "tools/pdusim/SimThread.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QtTest>

// One PDU is one device in the console whatever address it reports, against the simulator in the bed.
class TestIdentityBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    AiosmtpdServer m_server;
    QTemporaryDir m_dir;

    quint32 simIp()
    {
        return m_sim.call([](CSimFleet& fleet) { return fleet.device(1)->st.ip; });
    }
    quint32 spare(int i)
    {
        return m_sim.call([i](CSimFleet& fleet) { return fleet.spareAddresses().at(i); });
    }
    // Polls the simulated PDU has received: one network query each.
    int polls()
    {
        return m_sim.call([](CSimFleet& fleet) {
            int iPolls = 0;
            for (const SimFrameRecord& rec : fleet.device(1)->received())
                iPolls += rec.baFrame.startsWith(QByteArray::fromHex("A74001"));
            return iPolls;
        });
    }
    int voltageWarnMails()
    {
        int iMails = 0;
        for (const QJsonObject& event : m_server.events())
            iMails += QByteArray::fromBase64(event.value(QStringLiteral("data")).toString().toLatin1())
                          .contains("Voltage Warn\r\n");
        return iMails;
    }
    // The rig polls every 50 ms instead of every second, so that 60 polls take 3 seconds.
    static void startFast(ConsoleRig& rig, uint uiRate = 50) { QVERIFY(rig.start(uiRate)); }
    static int rows(ConsoleRig& rig) { return rig.overview.treeWidget()->topLevelItem(0)->childCount(); }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY2(m_server.start(QStringLiteral("alarm@rack.test"), QStringLiteral("pw")),
                 qPrintable(m_server.errorString()));
        m_server.useForAlarms(QStringLiteral("ops@rack.test"));
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
    }
    void cleanupTestCase() { m_sim.stopFleet(); }

    // A stale configured address: the PDU answers from its own and reports the factory default.
    void pduReportingAnotherAddressIsOneDevice()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 1 reportip 192.168.0.100 voltage 260")).last(),
                 QStringLiteral("ok"));
        m_sim.command(QStringLiteral("record 1 clear"));
        ConsoleRig rig;
        CRoomAlarms alarms; // the alarm mail, as the programs hand it to their registry
        rig.registry()->setAlarmTracker(&alarms.tracker);
        QElapsedTimer clock;
        clock.start();
        startFast(rig);
        QTRY_VERIFY_WITH_TIMEOUT(polls() >= 60, 15000);
        qInfo("60 polls in %lld ms: %d devices, %d rows, ports %d", clock.elapsed(),
              rig.registry()->listPdu.size(), rows(rig), rig.registry()->listDevicePort.size());
        QCOMPARE(rig.registry()->listPdu.size(), 1);
        QCOMPARE(rows(rig), 1);
        CPdu* pPdu = rig.registry()->listPdu.first();
        QCOMPARE(ipv4ToString(pPdu->stInfo.ip), QStringLiteral("192.168.0.100"));
        QTRY_COMPARE_WITH_TIMEOUT(voltageWarnMails(), 1, 10000);

        // The switches reach the PDU where it answers from, not where it says it is.
        QTreeWidgetItem* pRow = nullptr;
        QTRY_VERIFY((pRow = rig.overview.rowOf(pPdu)));
        QCOMPARE(pRow->text(CDeviceOverviewWidget::ColumnIPAddress), QStringLiteral("192.168.0.100"));
        rig.overview.treeWidget()->setCurrentItem(pRow);
        auto* pSwitch = rig.overview.findChild<QCheckBox*>(QStringLiteral("CheckOutlet3"));
        const bool bOn = !pSwitch->isChecked();
        pSwitch->click();
        QTRY_COMPARE(m_sim.call([](CSimFleet& fleet) { return fleet.device(1)->st.outletStatus >> 2 & 1; }),
                     int(bOn));

        // Re-addressed by a download, it is followed to its new address and reports it from there.
        const quint32 uiNew = spare(0);
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(uiNew, pPdu->stSetInfo.ip);
        pPdu->download();
        QTRY_COMPARE(simIp(), uiNew);
        QTRY_COMPARE_WITH_TIMEOUT(ipv4ToUint(pPdu->stInfo.ip), uiNew, 20000);
        const QDateTime dtMoved = pPdu->dtLastRcv;
        QTRY_VERIFY(pPdu->dtLastRcv > dtMoved);
        QCOMPARE(pPdu->uiSourceIP, uiNew);
        QCOMPARE(rig.registry()->listPdu.size(), 1);
        QCOMPARE(rows(rig), 1);
        qInfo("whole case %lld ms, %d mail(s)", clock.elapsed(), voltageWarnMails());
        QCOMPARE(voltageWarnMails(), 1);
    }

    // Thresholds, delays and names go out with a network change, to a PDU that moves at once.
    void oneDownloadReachesAPduThatMovesAtOnce()
    {
        m_sim.command(QStringLiteral("set 1 reportip off"));
        ConsoleRig rig;
        startFast(rig);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.registry()->listPdu.isEmpty(), 20000);
        CPdu* pPdu = rig.registry()->listPdu.first();
        QTRY_COMPARE(ipv4ToUint(pPdu->stInfo.ip), simIp());
        pPdu->stSetInfo = pPdu->stInfo;
        ipv4FromUint(spare(0), pPdu->stSetInfo.ip);
        pPdu->stSetInfo.udpPort = 6000;
        pPdu->stSetInfo.voltageWarn = 255;
        pPdu->stSetInfo.outletOpenDelay[0] = 7;
        storeDeviceText(QStringLiteral("fan"), pPdu->stSetInfo.outletName[0], 10);
        QCOMPARE(pPdu->needDownload(), (QList<int>{0x01, 0x08, 0x0E, 0x10}));
        pPdu->download();
        QTRY_VERIFY_WITH_TIMEOUT(pPdu->needDownload().isEmpty(), 20000);
        QCOMPARE(m_sim.call([](CSimFleet& fleet) {
            const SimPduState& st = fleet.device(1)->st;
            return QStringLiteral("%1 %2 %3 %4")
                .arg(st.udpPort)
                .arg(st.voltageWarn)
                .arg(st.outletOpenDelay[0])
                .arg(QString::fromLatin1(st.outletName[0].left(3)));
        }),
                 QStringLiteral("6000 255 7 fan"));
        QCOMPARE(rig.registry()->listPdu.size(), 1);
    }

    // A PDU given a new address outside this console (the simulator moves it, as its front panel would):
    // one device, one row, one history, its alarm still standing.
    void pduMovedOutsideThisConsoleStaysOneDevice()
    {
        const auto readdress = [this](quint32 uiIp) {
            return m_sim.command(QStringLiteral("readdress 1 %1 51230").arg(ipv4ToString(uiIp))).last();
        };
        QCOMPARE(readdress(spare(0)), QStringLiteral("ok"));
        m_sim.command(QStringLiteral("set 1 reportip off voltage 260"));
        const QString strPath = m_dir.filePath(QStringLiteral("moved.sqlite"));
        CHistoryStore store(strPath);
        ConsoleRig rig(nullptr, &store);
        startFast(rig);
        QTRY_COMPARE_WITH_TIMEOUT(rig.registry()->listPdu.size(), 1, 20000);
        CPdu* pPdu = rig.registry()->listPdu.first();
        QTRY_VERIFY_WITH_TIMEOUT(pPdu->bAlarm[CPdu::AlarmVoltageWarn], 10000);

        const quint32 uiNew = spare(0);
        QCOMPARE(readdress(uiNew), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(pPdu->uiSourceIP, uiNew, 20000);
        QTRY_COMPARE(ipv4ToUint(pPdu->stInfo.ip), uiNew);
        QTRY_VERIFY(pPdu->isOnline());
        QCOMPARE(rig.registry()->listPdu.size(), 1);
        QCOMPARE(rows(rig), 1);
        QTreeWidgetItem* pRow = rig.overview.rowOf(pPdu);
        QVERIFY(pRow);
        QCOMPARE(pRow->text(CDeviceOverviewWidget::ColumnIPAddress), ipv4ToString(uiNew));
        QVERIFY(pPdu->bAlarm[CPdu::AlarmVoltageWarn]);
        rig.room().recorder()->slotTick();
        store.flush();
        CHistoryReader reader(strPath);
        const auto vecDevices = reader.devices();
        QCOMPARE(vecDevices.size(), 1);
        QCOMPARE(vecDevices.first().strAddress, ipv4ToString(uiNew));
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::Appeared};
        QCOMPARE(reader.events(filter).size(), 1);
    }

    // Valid network replies from one host, each reporting a new address and port.
    void oneHostCannotGrowThePortList()
    {
        ConsoleRig rig;
        startFast(rig, 3600 * 1000); // no polls: only this host speaks
        const int iPorts = rig.registry()->listDevicePort.size();
        int iAnswered = 0;
        connect(rig.registry(), &CRackmind::signalDeviceAnswered, this, [&] { ++iAnswered; });
        QUdpSocket* pHost = netbed::openDeviceSocket(this, netbed::deviceGateway(0), 0);
        QVERIFY(pHost);
        const QHostAddress addrConsole(netbed::consoleAddrs().first());
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 5000; ++i) {
            PduInfo info;
            ipv4FromUint(0x0A640000u + uint(i), info.ip);
            info.udpPort = 10000u + uint(i);
            pHost->writeDatagram(buildFrame(kFrameReply, kCmdNetwork, networkPayload(info)), addrConsole,
                                 51230);
            if (i % 500 == 499)
                QTRY_COMPARE(iAnswered, i + 1);
        }
        qInfo("5000 replies in %lld ms: %d devices, %d rows, ports %d before, %d after", clock.elapsed(),
              rig.registry()->listPdu.size(), rows(rig), iPorts, rig.registry()->listDevicePort.size());
        QCOMPARE(rig.registry()->listPdu.size(), 1);
        QVERIFY(rig.registry()->listDevicePort.size() <= iPorts + 1);
    }
};

QTEST_MAIN(TestIdentityBed)
#include "tst_identity_bed.moc"
