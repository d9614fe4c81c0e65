#include "cli/CtlTarget.h"
#include "device/Protocol.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/common/ConsoleRig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>

// PDUs behind a router (scripts/netbed --routed), where no broadcast of the console's reaches: found by
// a listed address and by a swept subnet, polled by unicast, lost and found again, and switched by
// rackmind-ctl --target.
class TestRoutedBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    ConsoleRig* m_pRig = nullptr;

    QString ip(int iUnit)
    {
        return ipv4ToString(m_sim.call([=](CSimFleet& fleet) { return fleet.device(iUnit)->st.ip; }));
    }
    // Queries unit iUnit received: by unicast to its own address, and in all.
    QPair<int, int> queries(int iUnit, quint8 cmd)
    {
        return m_sim.call([=](CSimFleet& fleet) {
            QPair<int, int> counts{0, 0};
            const CSimDevice* pDevice = fleet.device(iUnit);
            for (const SimFrameRecord& rec : pDevice->received())
                if (rec.baFrame.startsWith(QByteArray::fromHex("A740") + char(cmd))) {
                    counts.first += rec.dstIp == pDevice->st.ip;
                    ++counts.second;
                }
            return counts;
        });
    }
    static PollTargetList targets(const QStringList& listText)
    {
        PollTargetList list;
        QString strWhy;
        PollTargets::parseList(listText, &list.listTarget, &strWhy);
        return list;
    }
    int ctl(const QStringList& listArgs, QByteArray* pOut = nullptr)
    {
        QProcess process;
        process.start(qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl"),
                      listArgs);
        if (!process.waitForFinished(60000))
            return -1;
        if (pOut)
            *pOut = process.readAllStandardOutput();
        qInfo("rackmind-ctl %s: %s", qPrintable(listArgs.join(QLatin1Char(' '))),
              process.readAllStandardError().constData());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active() && !netbed::routerNs().isEmpty());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        QCOMPARE(m_sim.command(QStringLiteral("set all outlets 255")).last(), QStringLiteral("ok"));
    }
    void cleanupTestCase()
    {
        delete m_pRig;
        m_sim.stopFleet();
    }

    // The service reads target.prt again on SIGHUP; a broken file keeps what it polls.
    void serviceReloadsItsTargets()
    {
        QTemporaryDir dir;
        QProcess service;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("TMPDIR"), dir.path());
        service.setProcessEnvironment(env);
        service.setWorkingDirectory(dir.path());
        service.start(QStringLiteral(RACKMINDD), {QStringLiteral("--no-metrics")});
        QString strLog;
        const auto waitLog = [&](const QString& strText) {
            QElapsedTimer timer;
            timer.start();
            while (!strLog.contains(strText) && timer.elapsed() < 30000) {
                service.waitForReadyRead(200);
                strLog += QString::fromLocal8Bit(service.readAllStandardError());
            }
            return strLog.contains(strText);
        };
        QVERIFY2(waitLog(QStringLiteral("polling ports")), qPrintable(strLog));
        const std::pair<QByteArray, QString> steps[] = {
            {"[0]\ntarget=10.210.1.0/24\n", "target list reloaded: polling by unicast: 10.210.1.0/24"},
            {"[0]\ntarget=10.210.1.0/24\n[1]\ntarget=10.210.1.999\n", "target list not reloaded"},
        };
        for (const auto& [baFile, strSaid] : steps) {
            QVERIFY(writeFile(dir.filePath(QString::fromLatin1(PollTargets::kFileName)), baFile));
            ::kill(pid_t(service.processId()), SIGHUP);
            QVERIFY2(waitLog(strSaid), qPrintable(strLog));
        }
        QVERIFY2(waitLog(QStringLiteral("new PDU ") + ip(3)), qPrintable(strLog));
        QVERIFY2(strLog.contains(QStringLiteral("still polling 10.210.1.0/24")), qPrintable(strLog));
        ::kill(pid_t(service.processId()), SIGTERM);
        QVERIFY(service.waitForFinished(30000));
    }

    void broadcastReachesNoneBehindTheRouter()
    {
        QVERIFY(PollTargets::writeFile(QString::fromLatin1(PollTargets::kFileName), PollTargetList()));
        const int iHeard = queries(1, kCmdNetwork).second; // the service's, just before
        ConsoleRig rig;
        QSignalSpy spyPolled(rig.driver(), &CUdpDriver::signalPolled);
        QVERIFY(rig.start(250));
        QTRY_VERIFY_WITH_TIMEOUT(spyPolled.count() >= 8, 30000);
        QVERIFY(rig.registry()->listPdu.isEmpty());
        QCOMPARE(queries(1, kCmdNetwork).second, iHeard);
    }

    void listedAndSweptAreFoundAndPolledByUnicast()
    {
        m_pRig = new ConsoleRig(this);
        QVERIFY(m_pRig->registry()->setTargets(targets({ip(1), QStringLiteral("10.210.1.0/24")})));
        QVERIFY(m_pRig->start());
        CRackmind* pRegistry = m_pRig->registry();
        QTRY_VERIFY_WITH_TIMEOUT(pRegistry->onlineCount() == 3, 30000);
        QCOMPARE(pRegistry->listPdu.size(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(m_pRig->driver()->sweepFound(), 2, 10000);
        for (int iUnit = 1; iUnit <= 3; ++iUnit) {
            CPdu* pPdu = pduOfUnit(*pRegistry, m_sim, iUnit);
            QVERIFY(pPdu && pPdu->sendAddress().toString() == ip(iUnit));
            // Every query by unicast, and once a second: the status count keeps growing.
            for (quint8 cmd : {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays,
                               kCmdOutletNames}) {
                const QPair<int, int> counts = queries(iUnit, cmd);
                QVERIFY(counts.first > 0 && counts.first == counts.second);
            }
            const int iStatus = queries(iUnit, kCmdStatus).first;
            QTRY_VERIFY_WITH_TIMEOUT(queries(iUnit, kCmdStatus).first >= iStatus + 3, 15000);
        }
        // The console's own frames reach it at the address it answers from.
        CPdu* pPdu = pduOfUnit(*pRegistry, m_sim, 1);
        bool bResult = false;
        emit pPdu->signalSndData(bResult, buildOutletSwitchFrame(2, false), pPdu->sendAddress(),
                                 pPdu->stInfo.udpPort);
        QTRY_COMPARE_WITH_TIMEOUT(
            m_sim.call([](CSimFleet& fleet) { return fleet.device(1)->st.outletStatus; }), quint8(0xFD),
            10000);
    }

    void silentPduFallsBackToTheSweepAndReturns()
    {
        QVERIFY(m_pRig);
        CPdu* pPdu = pduOfUnit(*m_pRig->registry(), m_sim, 2);
        QVERIFY(pPdu);
        QCOMPARE(m_sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(!pPdu->isOnline(), 15000);
        QTRY_COMPARE_WITH_TIMEOUT(m_pRig->driver()->sweepFound(), 1, CTargetPoll::kLostMsecs + 15000);
        QCOMPARE(m_sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(pPdu->isOnline() && m_pRig->driver()->sweepFound() == 2, 30000);
        QCOMPARE(m_pRig->registry()->listPdu.size(), 3);
    }

    void ctlFindsAndSwitchesThroughTargets()
    {
        QByteArray baOut;
        QCOMPARE(ctl({"list", "--json", "--target", "10.210.1.0/24"}, &baOut), int(kExitOk));
        QStringList listGot;
        for (const QJsonValue& value : QJsonDocument::fromJson(baOut).array())
            listGot << value.toObject().value(QStringLiteral("address")).toString();
        listGot.sort();
        QCOMPARE(listGot, (QStringList{ip(1), ip(2), ip(3)}));
        QCOMPARE(ctl({"list", "--target", "10.210.1.0/12"}), int(kExitUsage));

        QCOMPARE(ctl({"outlet", ip(3), "5", "off", "--target", ip(3)}), int(kExitOk));
        QCOMPARE(m_sim.call([](CSimFleet& fleet) { return fleet.device(3)->st.outletStatus; }), quint8(0xEF));
    }
};

QTEST_MAIN(TestRoutedBed)
#include "tst_routed_bed.moc"
