#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <cmath>
#include <csignal>

namespace {
const QString kPhysical = QStringLiteral(".1.3.6.1.2.1.47.1.1.1.1.");
const QString kSensor = QStringLiteral(".1.3.6.1.2.1.99.1.1.1.");
} // namespace

// What a management system sees of the room through the machine's snmpd: every PDU the command line
// lists, by name, MAC and readings; and the service serving again once snmpd has been restarted.
class TestSnmpBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(m_dir.isValid());
        // snmpd runs as nobody: its folder is open to it.
        QVERIFY(QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7711)));
        // Its state files go apart from its configuration, which they would otherwise replace.
        for (const char* pszFolder : {"snmpd", "snmpd/state"}) {
            QVERIFY(QDir(m_dir.path()).mkpath(QLatin1String(pszFolder)));
            QVERIFY(QFile::setPermissions(m_dir.filePath(QLatin1String(pszFolder)),
                                          QFileDevice::Permissions(0x7777)));
        }
        m_strSocket = m_dir.filePath(QStringLiteral("snmpd/agentx"));
        m_uiPort = freeUdpPort();
        m_uiTrapPort = freeUdpPort();
        const quint16 uiTrapPort = m_uiTrapPort;
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("snmpd/snmpd.conf")),
                          "agentaddress udp:127.0.0.1:" + QByteArray::number(m_uiPort) +
                              "\nmaster agentx\nagentXSocket " + m_strSocket.toUtf8() +
                              "\nagentXPerms 0660 0771\nrocommunity public 127.0.0.1\ntrap2sink 127.0.0.1:" +
                              QByteArray::number(uiTrapPort) + " public\n"));
        QVERIFY(
            writeFile(m_dir.filePath(QStringLiteral("snmpd/snmptrapd.conf")),
                      "authCommunity log public\ncreateUser traps SHA-256 \"auth pass \\\"phrase\\\"\" AES "
                      "priv-passphrase\nauthUser log traps\n"));
        m_traps.setProcessEnvironment(snmpEnvironment());
        m_traps.start(QStringLiteral("setpriv"),
                      {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                       QStringLiteral("--clear-groups"), QStringLiteral("snmptrapd"), QStringLiteral("-f"),
                       QStringLiteral("-Lo"), QStringLiteral("-On"), QStringLiteral("-C"),
                       QStringLiteral("-c"), m_dir.filePath(QStringLiteral("snmpd/snmptrapd.conf")),
                       QStringLiteral("udp:127.0.0.1:%1").arg(uiTrapPort)});
        QVERIFY(m_traps.waitForStarted());

        g_settings.snmpEnabled = true;
        g_settings.snmpAgentXSocket = m_strSocket;
        saveSettings();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("RACKMIND_SNMP_MODULE"), QStringLiteral(SNMP_MODULE));
        m_service.setProcessEnvironment(env);
        m_service.setWorkingDirectory(m_dir.path());
        m_service.start(QStringLiteral(RACKMINDD), {});
        // No master yet: the service says so and runs on.
        QVERIFY2(waitLog(QStringLiteral(
                             "snmp: the master agent at %1 cannot be reached: no master agent listens there")
                             .arg(m_strSocket)),
                 qPrintable(m_strLog));
        startSnmpd();
        QVERIFY2(waitLog(QStringLiteral("snmp: serving through the master agent at ") + m_strSocket),
                 qPrintable(m_strLog));
        // The PDUs come once the master is there: their coming is a change of the entity table.
        QVERIFY(startQuietFleet(m_sim));
        for (const char* pszSet : {"set 1 name RackA voltage 231", "set 2 name RackB", "set 3 name 机柜三"})
            QCOMPARE(m_sim.command(QString::fromUtf8(pszSet)).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.47.2.0.1")), qPrintable(m_strTraps));
    }
    void cleanupTestCase()
    {
        m_service.terminate();
        m_service.waitForFinished(30000);
        m_snmpd.kill();
        m_snmpd.waitForFinished();
        m_traps.kill();
        m_traps.waitForFinished();
        m_sim.stopFleet();
    }

#ifdef SNMP_FLOOD
    // Every PDU of a large room silent at once: more notifications than the sockets between the service
    // and snmpd hold unread. snmpd answers on, each going offline arrives or is counted as not sent, and
    // the service ends at SIGTERM.
    void silentRoom()
    {
        const int iPdus = qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT");
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), iPdus, 180000);
        const QString strOffline = QStringLiteral("OID: .1.3.6.1.2.1.131.0.2");
        const QRegularExpression reDropped(QStringLiteral("not sent since the start: (\\d+)"));
        waitLog(QStringLiteral("no such text"), 0, 100);
        const int iFrom = m_strTraps.size();
        const int iLogFrom = m_strLog.size();
        QCOMPARE(m_sim.command(QStringLiteral("silent all")).last(), QStringLiteral("ok"));
        // snmpd's traps are datagrams: what the receiver's socket had no room for is counted by the kernel.
        const int iDropsBefore = receiverDrops();
        int iAccounted = 0;
        QElapsedTimer timer;
        timer.start();
        while (iAccounted < iPdus && timer.elapsed() < 180000) {
            // Both read all the time: a receiver blocked on its full output would lose datagrams.
            m_traps.waitForReadyRead(100);
            m_strTraps += QString::fromUtf8(m_traps.readAllStandardOutput() + m_traps.readAllStandardError());
            m_strLog +=
                QString::fromUtf8(m_service.readAllStandardOutput() + m_service.readAllStandardError());
            QRegularExpressionMatch last;
            for (auto it = reDropped.globalMatch(m_strLog, iLogFrom); it.hasNext();)
                last = it.next();
            iAccounted = m_strTraps.mid(iFrom).count(strOffline) + last.captured(1).toInt() +
                         receiverDrops() - iDropsBefore;
        }
        QVERIFY2(iAccounted >= iPdus, qPrintable(QStringLiteral("%1 of %2 told; agent: %3")
                                                     .arg(iAccounted)
                                                     .arg(iPdus)
                                                     .arg(m_strLog.mid(iLogFrom).right(600))));
        QProcess get;
        get.start(QStringLiteral("snmpget"),
                  {QStringLiteral("-v2c"), QStringLiteral("-cpublic"), QStringLiteral("-t10"),
                   QStringLiteral("-r2"), QStringLiteral("127.0.0.1:%1").arg(m_uiPort),
                   QStringLiteral(".1.3.6.1.2.1.1.3.0")});
        QVERIFY(get.waitForFinished(60000));
        QCOMPARE(get.exitCode(), 0);
        m_service.terminate();
        QVERIFY2(m_service.waitForFinished(60000), qPrintable(m_strLog.mid(iLogFrom)));
        QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
    }
#else
    void walkMatchesTheList()
    {
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), 3, 30000);
        QProcess ctl;
        ctl.start(QStringLiteral(RACKMIND_CTL), {QStringLiteral("list"), QStringLiteral("--json")});
        QVERIFY(ctl.waitForFinished(60000));
        const QJsonArray array = QJsonDocument::fromJson(ctl.readAllStandardOutput()).array();
        QCOMPARE(array.size(), 3);
        // The chassis by serial number (the MAC), its name, and its voltage and current sensors.
        const QMap<QString, QString> mapSerials = walk(kPhysical + QStringLiteral("11"));
        const QMap<QString, QString> mapNames = walk(kPhysical + QStringLiteral("7"));
        const QMap<QString, QString> mapValues = walk(kSensor + QStringLiteral("4"));
        for (const QJsonValue& value : array) {
            const QJsonObject pdu = value.toObject();
            const QString strIndex = mapSerials.key(pdu.value(QStringLiteral("mac")).toString().toUpper());
            QVERIFY2(!strIndex.isEmpty(), qPrintable(pdu.value(QStringLiteral("mac")).toString()));
            const quint32 uiChassis = strIndex.toUInt();
            QCOMPARE(mapNames.value(strIndex), pdu.value(QStringLiteral("name")).toString());
            QCOMPARE(mapValues.value(QString::number(uiChassis + 1)).toInt(),
                     pdu.value(QStringLiteral("voltage")).toInt());
            QCOMPARE(mapValues.value(QString::number(uiChassis + 2)).toLong(),
                     std::lround(pdu.value(QStringLiteral("current")).toDouble() * 10));
        }
    }

    // Another subagent of the machine's snmpd already serves the tables (here a second service, in a
    // network and IPC namespace of its own so that it polls apart, with its own data folder): the master
    // refuses the registrations, and it must say so, not that it serves; the first serves on.
    void secondServiceRefused()
    {
        QProcess second;
        QProcessEnvironment env = m_service.processEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("second")));
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(m_dir.path());
        second.start(QStringLiteral("unshare"),
                     {QStringLiteral("--net"), QStringLiteral("--ipc"), QStringLiteral(RACKMINDD)});
        QString strLog;
        const bool bRefused = waitFor(second, strLog, QStringLiteral("refuse"), 0, 30000);
        second.terminate();
        second.waitForFinished(30000);
        QVERIFY2(bRefused && strLog.indexOf(QStringLiteral("snmp: serving"),
                                            strLog.indexOf(QStringLiteral("refuse"))) < 0,
                 qPrintable(strLog));
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), 3, 30000);
    }

    // A silent PDU: entStateOperDisabled with its name, its sensors unavailable; back: entStateOperEnabled.
    void silencedPdu()
    {
        const quint32 uiChassis = chassisOf(QStringLiteral("RackB"));
        QVERIFY(uiChassis > 0);
        const int iFrom = m_strTraps.size();
        QCOMPARE(m_sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.131.0.2"), iFrom), qPrintable(m_strTraps));
        QVERIFY2(
            m_strTraps.indexOf(
                QStringLiteral("%1.%2 = STRING: \"RackB\"").arg(kPhysical + QLatin1Char('7')).arg(uiChassis),
                iFrom) >= 0,
            qPrintable(m_strTraps.mid(iFrom)));
        const QMap<QString, QString> mapStatus = walk(kSensor + QStringLiteral("5"));
        for (quint32 ui = uiChassis + 1; ui <= uiChassis + 4; ++ui)
            QCOMPARE(mapStatus.value(QString::number(ui)), QStringLiteral("2"));
        QCOMPARE(m_sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.131.0.1"), iFrom), qPrintable(m_strTraps));
    }

    // A PDU made hot: one notification when its alarm begins, one when it ends, from the tracker that mails.
    void hotPdu()
    {
        const quint32 uiSensor = chassisOf(QStringLiteral("RackA")) + 3;
        const int iFrom = m_strTraps.size();
        QCOMPARE(m_sim.command(QStringLiteral("set 1 tempHigh 40 temperature 60")).last(),
                 QStringLiteral("ok"));
        const QString strRising = QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.2");
        const QString strFalling = QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.3");
        QVERIFY2(waitTrap(strRising, iFrom), qPrintable(m_strTraps.mid(iFrom)));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 temperature 25")).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(strFalling, iFrom), qPrintable(m_strTraps.mid(iFrom)));
        // Nothing more follows the end.
        waitTrap(QStringLiteral("no such text"), iFrom, 3000);
        const QString strSent = m_strTraps.mid(iFrom);
        QCOMPARE(strSent.count(strRising), 1);
        QCOMPARE(strSent.count(strFalling), 1);
        QVERIFY2(strSent.contains(QStringLiteral("OID: ") + kSensor + QStringLiteral("4.") +
                                  QString::number(uiSensor)),
                 qPrintable(strSent));
        QVERIFY2(strSent.contains(QStringLiteral("STRING: \"temperature\"")), qPrintable(strSent));
    }

    // snmpd killed and started again: the subagent finds it and serves the same tables.
    void masterRestarted()
    {
        const QString strServing = QStringLiteral("snmp: serving through the master agent at ") + m_strSocket;
        const int iFrom = m_strLog.size();
        m_snmpd.kill();
        QVERIFY(m_snmpd.waitForFinished());
        // Said at once, however the master's leaving is noticed.
        QVERIFY2(waitLog(QStringLiteral("snmp: the master agent at ") + m_strSocket, iFrom),
                 qPrintable(m_strLog));
        // An alarm meanwhile: its notification cannot go, and the operator learns that it did not.
        QCOMPARE(m_sim.command(QStringLiteral("set 1 tempHigh 40 temperature 60")).last(),
                 QStringLiteral("ok"));
        QVERIFY2(waitLog(QStringLiteral("not sent"), iFrom), qPrintable(m_strLog.mid(iFrom)));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 temperature 25")).last(), QStringLiteral("ok"));
        startSnmpd();
        QVERIFY2(waitLog(strServing, iFrom, 60000), qPrintable(m_strLog.mid(iFrom)));
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), 3, 30000);
        // Its times are of the restarted master's clock: none lies after its sysUpTime.0, so that a
        // management system's age of a reading (sysUpTime.0 less the stamp) is not negative.
        QProcess get;
        get.start(QStringLiteral("snmpget"),
                  {QStringLiteral("-v2c"), QStringLiteral("-cpublic"), QStringLiteral("-Oqvt"),
                   QStringLiteral("127.0.0.1:%1").arg(m_uiPort), QStringLiteral(".1.3.6.1.2.1.1.3.0"),
                   QStringLiteral(".1.3.6.1.2.1.47.1.4.1.0"),
                   kSensor + QStringLiteral("7.%1").arg(chassisOf(QStringLiteral("RackA")) + 1)});
        QVERIFY(get.waitForFinished(30000));
        const QStringList listTicks =
            QString::fromLatin1(get.readAllStandardOutput()).split(QLatin1Char('\n'));
        QVERIFY2(listTicks.size() >= 3, qPrintable(listTicks.join(QLatin1Char(' '))));
        for (int i : {1, 2})
            QVERIFY2(listTicks.at(i).toUInt() <= listTicks.at(0).toUInt(),
                     qPrintable(listTicks.join(QLatin1Char(' '))));
    }

    // Switched off in the settings: taken at SIGHUP, and the tables leave snmpd.
    void switchedOffOnSighup()
    {
        g_settings.snmpEnabled = false;
        saveSettings();
        const int iFrom = m_strLog.size();
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("snmp: off"), iFrom), qPrintable(m_strLog.mid(iFrom)));
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), 0, 30000);
    }

    // The service's own agent, switched on at a SIGHUP after the subagent in the same process: the page's
    // version only, with its community, or its V3 user with both keys at authPriv.
    void embeddedAccess_data()
    {
        QTest::addColumn<int>("iVersion"); // the page's: 1 V2C, 2 V3
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("bAnswers");
        const QStringList v3{"-v3", "-uops", "-aSHA-256"};
        QTest::newRow("v2c, its community") << 1 << QStringList{"-v2c", "-cr00m"} << true;
        QTest::newRow("v2c, another community") << 1 << QStringList{"-v2c", "-cpublic"} << false;
        QTest::newRow("v1, its community") << 1 << QStringList{"-v1", "-cr00m"} << false;
        QTest::newRow("v3, its keys")
            << 2 << v3 + QStringList{"-lauthPriv", "-A", kAuth, "-xAES", "-X", kPriv} << true;
        QTest::newRow("v3, wrong auth")
            << 2 << v3 + QStringList{"-lauthPriv", "-A", "wrong pass phrase", "-xAES", "-X", kPriv} << false;
        QTest::newRow("v3, wrong priv")
            << 2 << v3 + QStringList{"-lauthPriv", "-A", kAuth, "-xAES", "-X", "wrong-passphrase"} << false;
        QTest::newRow("v3, no priv") << 2 << v3 + QStringList{"-lauthNoPriv", "-A", kAuth} << false;
        QTest::newRow("v3, unknown user")
            << 2
            << QStringList{"-v3", "-uother", "-aSHA-256", "-lauthPriv", "-A", kAuth, "-xAES", "-X", kPriv}
            << false;
        QTest::newRow("v2c to the v3 user") << 2 << QStringList{"-v2c", "-cops"} << false;
        QTest::newRow("v3, no auth") << 2 << QStringList{"-v3", "-uops", "-lnoAuthNoPriv"} << false;
        QTest::newRow("v3, the trap user")
            << 2
            << QStringList{"-v3", "-utraps", "-aSHA-256", "-lauthPriv", "-A", kAuth, "-xAES", "-X", kPriv}
            << false;
    }
    void embeddedAccess()
    {
        QFETCH(int, iVersion);
        QFETCH(QStringList, args);
        QFETCH(bool, bAnswers);
        if (g_settings.snmpMode != QLatin1String("embedded") || g_settings.snmpAgentProVer != iVersion) {
            embeddedOn(iVersion);
            g_settings.snmpAuthPassphrase = QLatin1String(kAuth);
            g_settings.snmpPrivPassphrase = QLatin1String(kPriv);
            g_settings.snmpTrapProVer = 1;
            g_settings.snmpTrapAccount = QStringLiteral("traps");
            reload(QStringLiteral("snmp: serving on UDP port %1").arg(m_uiPort));
        }
        m_walkArgs = args + QStringList{"-t1", "-r0"};
        QCOMPARE(chassisCount(), bAnswers ? 3 : 0);
        // The library's folder is its own: no passphrase in it, nothing others may read.
        const QString strState = QFileInfo(findState()).path();
        QVERIFY(!strState.isEmpty());
        QCOMPARE(QFileInfo(strState).permissions() & QFileDevice::Permissions(0x0077),
                 QFileDevice::Permissions());
        for (const QFileInfo& info : QDir(strState).entryInfoList(QDir::Files))
            QVERIFY2(!readFile(info.filePath()).contains(kAuth), qPrintable(info.filePath()));
    }

    // Embedded, notifications go to the page's receivers as V2C informs: a hot PDU's alarm reaches one.
    // Its end too, across a change of receivers.
    void embeddedReceiver()
    {
        g_settings.snmpAgentProVer = 1;
        g_settings.snmpAgentAccount = QStringLiteral("r00m");
        g_settings.snmpTrapProVer = 0;
        g_settings.snmpTrapAccount = QStringLiteral("public");
        g_settings.snmpTrapReceivers = QStringLiteral("127.0.0.1:9, 127.0.0.1:%1 nms:x").arg(m_uiTrapPort);
        reload(
            QStringLiteral("snmp: serving on UDP port %1 (SNMPv2c); notifications to 2 of 3 receivers (not "
                           "used: \"nms:x\" is not host or host:port)")
                .arg(m_uiPort));
        const int iFrom = m_strTraps.size();
        QCOMPARE(m_sim.command(QStringLiteral("set 1 tempHigh 40 temperature 60")).last(),
                 QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.2"), iFrom),
                 qPrintable(m_strTraps.mid(iFrom)));
        // Receivers changed: the agent starts again with the new ones only, and the end reaches them.
        g_settings.snmpTrapReceivers = QStringLiteral("127.0.0.1:%1").arg(m_uiTrapPort);
        reload(QStringLiteral("notifications to 1 of 1 receivers"));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 temperature 25")).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.3"), iFrom),
                 qPrintable(m_strTraps.mid(iFrom)));
    }

    // V3 informs reach a receiver that answers, learning its engine first, while another receiver never
    // answers.
    void embeddedV3Receiver()
    {
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        g_settings.snmpTrapProVer = 1;
        g_settings.snmpTrapAccount = QStringLiteral("traps");
        g_settings.snmpTrapReceivers =
            QStringLiteral("127.0.0.1:%1, 127.0.0.1:%2").arg(silent.localPort()).arg(m_uiTrapPort);
        reload(QStringLiteral("notifications to 2 of 2 receivers"));
        const int iFrom = m_strTraps.size();
        QCOMPARE(m_sim.command(QStringLiteral("set 1 tempHigh 40 temperature 60")).last(),
                 QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.2"), iFrom),
                 qPrintable(m_strTraps.mid(iFrom)));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 temperature 25")).last(), QStringLiteral("ok"));
        QVERIFY2(waitTrap(QStringLiteral("OID: .1.3.6.1.2.1.88.2.0.3"), iFrom),
                 qPrintable(m_strTraps.mid(iFrom)));
    }

    // A port another program holds: the service names it and runs on.
    void embeddedPortHeld()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
        g_settings.snmpAgentPort = holder.localPort();
        reload(QStringLiteral("snmp: not serving: UDP port %1 is held by another program (process %2 ")
                   .arg(holder.localPort())
                   .arg(QCoreApplication::applicationPid()));
    }

    // A V3 receiver that never answers (its engine is learnt before the first inform to it): the agent
    // answers requests meanwhile.
    void embeddedSilentReceiver()
    {
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        embeddedOn(2);
        g_settings.snmpTrapProVer = 1;
        g_settings.snmpTrapAccount = QStringLiteral("ops");
        g_settings.snmpTrapReceivers = QStringLiteral("127.0.0.1:%1").arg(silent.localPort());
        g_settings.snmpAgentTimeout = 10000;
        g_settings.snmpAgentRetry = 1;
        reload(QStringLiteral("snmp: serving on UDP port %1").arg(m_uiPort));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 tempHigh 40 temperature 60")).last(),
                 QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingDatagrams(), 30000);
        m_walkArgs = QStringList{"-v3",   "-uops", "-aSHA-256", "-lauthPriv", "-A", kAuth,
                                 "-xAES", "-X",    kPriv,       "-t3",        "-r0"};
        const int iCount = chassisCount();
        g_settings.snmpTrapReceivers.clear();
        g_settings.snmpAgentTimeout = 500;
        reload(QStringLiteral("snmp: serving on UDP port %1").arg(m_uiPort));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 temperature 25")).last(), QStringLiteral("ok"));
        QCOMPARE(iCount, 3);
    }

    // The engine's boot count never goes back for the same engine ID, or a request recorded before would
    // be taken again: however the file that keeps it is lost or cannot be written, each start gives a
    // manager that discovers the agent a new ID or a higher count (or no V3 at all).
    void embeddedEngineBoots_data()
    {
        QTest::addColumn<QString>("strHow");
        QTest::newRow("kept: the same ID") << "kept";
        QTest::newRow("lost at each start") << "lost";
        QTest::newRow("cannot be written") << "immutable";
        QTest::newRow("a folder in its place") << "folder";
    }
    void embeddedEngineBoots()
    {
        QFETCH(QString, strHow);
        const QString strEngine = findState();
        QVERIFY(!strEngine.isEmpty());
        if (strHow == QLatin1String("immutable"))
            QCOMPARE(QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), strEngine}), 0);
        if (strHow == QLatin1String("folder"))
            QVERIFY(QFile::remove(strEngine) && QDir().mkdir(strEngine));
        QStringList listSeen{engineAndBoots()};
        for (int i = 0; i < 2; ++i) {
            if (strHow == QLatin1String("lost"))
                QFile::remove(strEngine);
            g_settings.snmpEnabled = false;
            reload(QStringLiteral("snmp: off"));
            g_settings.snmpEnabled = true;
            reload(QStringLiteral("snmp: serving on UDP port %1").arg(m_uiPort));
            listSeen << engineAndBoots();
        }
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), strEngine});
        QDir(strEngine).removeRecursively();
        if (strHow == QLatin1String("kept"))
            QCOMPARE(listSeen.at(2).section(QLatin1Char(' '), 0, 0),
                     listSeen.at(0).section(QLatin1Char(' '), 0, 0));
        for (int i = 1; i < listSeen.size(); ++i) {
            const QString strBefore = listSeen.at(i - 1), strNow = listSeen.at(i);
            QVERIFY2(strNow.isEmpty() ||
                         strNow.section(QLatin1Char(' '), 0, 0) !=
                             strBefore.section(QLatin1Char(' '), 0, 0) ||
                         strNow.section(QLatin1Char(' '), 1).toInt() >
                             strBefore.section(QLatin1Char(' '), 1).toInt(),
                     qPrintable(listSeen.join(QStringLiteral(", "))));
        }
    }

    // A V2C agent sending V3 informs: the trap user's keys are checked as the agent's are, and the service
    // says which is wrong instead of opening receivers with no key (or crashing on an unknown protocol).
    void embeddedTrapKeys_data()
    {
        QTest::addColumn<QString>("strAuthProtocol");
        QTest::addColumn<QString>("strAuthPassphrase");
        QTest::addColumn<QString>("strWhy");
        QTest::newRow("unknown protocol") << "MD4" << kAuth << "the authentication protocol \"MD4\"";
        QTest::newRow("short passphrase") << "SHA"
                                          << "short"
                                          << "the authentication passphrase has fewer";
    }
    void embeddedTrapKeys()
    {
        QFETCH(QString, strAuthProtocol);
        QFETCH(QString, strAuthPassphrase);
        QFETCH(QString, strWhy);
        embeddedOn(1);
        g_settings.snmpTrapProVer = 1;
        g_settings.snmpTrapAccount = QStringLiteral("traps");
        g_settings.snmpTrapReceivers = QStringLiteral("127.0.0.1:%1").arg(m_uiTrapPort);
        g_settings.snmpAuthProtocol = strAuthProtocol;
        g_settings.snmpAuthPassphrase = strAuthPassphrase;
        reload(strWhy);
        g_settings.snmpAuthProtocol = QStringLiteral("SHA-256");
        g_settings.snmpAuthPassphrase = QLatin1String(kAuth);
        g_settings.snmpTrapReceivers.clear();
        reload(QStringLiteral("snmp: serving on UDP port %1").arg(m_uiPort));
    }

    // How a receiver is written: a port beyond 65535 is no port (not another one), an IPv6 address in
    // brackets needs no port.
    void embeddedReceiverNames_data()
    {
        QTest::addColumn<QString>("strReceiver");
        QTest::addColumn<bool>("bUsed");
        QTest::newRow("port beyond 65535") << "127.0.0.1:70000" << false;
        QTest::newRow("IPv6 in brackets") << "[::1]" << true;
        QTest::newRow("IPv6 in brackets, port") << "[::1]:1162" << true;
        QTest::newRow("unresolvable") << "nms.invalid" << false;
    }
    void embeddedReceiverNames()
    {
        QFETCH(QString, strReceiver);
        QFETCH(bool, bUsed);
        embeddedOn(1);
        g_settings.snmpTrapProVer = 0;
        g_settings.snmpTrapReceivers = strReceiver;
        reload(QStringLiteral("notifications to %1 of 1 receivers").arg(bUsed ? 1 : 0));
    }

#endif

private:
    // Datagrams the trap receiver's socket had no room for.
    int receiverDrops()
    {
        QFile file(QStringLiteral("/proc/self/net/udp"));
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        const QString strLocal = QStringLiteral(":%1").arg(m_uiTrapPort, 4, 16, QLatin1Char('0')).toUpper();
        for (const QByteArray& baLine : file.readAll().split('\n')) {
            const QList<QByteArray> listFields = baLine.simplified().split(' ');
            if (listFields.size() > 12 && listFields.at(1).endsWith(strLocal.toLatin1()))
                return listFields.last().toInt();
        }
        return 0;
    }
    static constexpr const char* kAuth = "auth pass \"phrase\"";
    static constexpr const char* kPriv = "priv-passphrase";

    // The service's own agent on a new port, for the page's version (1 V2C, 2 V3) with its community or user.
    void embeddedOn(int iVersion)
    {
        m_uiPort = freeUdpPort();
        g_settings.snmpEnabled = true;
        g_settings.snmpMode = QStringLiteral("embedded");
        g_settings.snmpAgentPort = m_uiPort;
        g_settings.snmpAgentProVer = iVersion;
        g_settings.snmpAgentAccount = iVersion == 2 ? QStringLiteral("ops") : QStringLiteral("r00m");
    }
    // Saves the settings, sends SIGHUP and waits for the log line.
    void reload(const QString& strLine)
    {
        saveSettings();
        const int iFrom = m_strLog.size();
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(strLine, iFrom), qPrintable(m_strLog.mid(iFrom)));
    }
    // The engine ID and boot count the agent gives a manager discovering it ("ID boots"; empty for no
    // answer): a request of no user is answered by a report that carries them.
    QString engineAndBoots()
    {
        QUdpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_uiPort);
        socket.write(
            QByteArray::fromHex("3038020103300e02014d020300ffe30401040201030410300e040002010002010004000400"
                                "0400301104000400a00b0201010201000201003000"));
        if (!socket.waitForReadyRead(5000))
            return QString();
        const QByteArray baReply = socket.receiveDatagram().data();
        // The message, its version and header, then its security parameters: the engine ID and boots.
        int i = 0;
        ber(baReply, &i, true);
        ber(baReply, &i);
        ber(baReply, &i);
        const QByteArray baSecurity = ber(baReply, &i);
        int j = 0;
        ber(baSecurity, &j, true);
        const QByteArray baEngine = ber(baSecurity, &j);
        const QByteArray baBoots = ber(baSecurity, &j);
        return QString::fromLatin1(baEngine.toHex()) + QLatin1Char(' ') +
               QString::number(baBoots.toHex().toLongLong(nullptr, 16));
    }
    // The value of the BER item at *pi, which moves past it (bInto: into it).
    static QByteArray ber(const QByteArray& ba, int* pi, bool bInto = false)
    {
        int i = *pi + 1;
        int iLength = i < ba.size() ? quint8(ba.at(i++)) : 0;
        if (iLength & 0x80)
            for (int iBytes = iLength & 0x7f, iByte = iLength = 0; iByte < iBytes && i < ba.size(); ++iByte)
                iLength = iLength << 8 | quint8(ba.at(i++));
        *pi = bInto ? i : i + iLength;
        return ba.mid(i, iLength);
    }
    // The SNMP library's state file of the service.
    static QString findState()
    {
        QDirIterator it(qEnvironmentVariable("XDG_DATA_HOME"), {QStringLiteral("engine")}, QDir::Files,
                        QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }
    static quint16 freeUdpPort()
    {
        QUdpSocket socket;
        return socket.bind(QHostAddress::LocalHost, 0) ? socket.localPort() : 0;
    }
    QProcessEnvironment snmpEnvironment()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), m_dir.filePath(QStringLiteral("snmpd/state")));
        return env;
    }
    // The chassis number of the PDU of that name; 0 for none.
    quint32 chassisOf(const QString& strName)
    {
        return walk(kPhysical + QLatin1Char('7')).key(strName).toUInt();
    }
    // The text in what the process has written (snmptrapd to its output, the service to its errors), after
    // iFrom characters.
    static bool waitFor(QProcess& process, QString& strOut, const QString& strText, int iFrom, int iMsec)
    {
        QElapsedTimer timer;
        timer.start();
        while (strOut.indexOf(strText, iFrom) < 0 && timer.elapsed() < iMsec) {
            process.waitForReadyRead(200);
            strOut += QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
        }
        return strOut.indexOf(strText, iFrom) >= 0;
    }
    bool waitTrap(const QString& strText, int iFrom = 0, int iMsec = 30000)
    {
        return waitFor(m_traps, m_strTraps, strText, iFrom, iMsec);
    }
    void startSnmpd()
    {
        m_snmpd.setProcessEnvironment(snmpEnvironment());
        m_snmpd.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_snmpd.setStandardOutputFile(m_dir.filePath(QStringLiteral("snmpd/log")), QIODevice::Append);
        m_snmpd.start(QStringLiteral("setpriv"),
                      {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                       QStringLiteral("--clear-groups"), QStringLiteral("snmpd"), QStringLiteral("-f"),
                       QStringLiteral("-Lo"), QStringLiteral("-C"), QStringLiteral("-c"),
                       m_dir.filePath(QStringLiteral("snmpd/snmpd.conf"))});
        QVERIFY(m_snmpd.waitForStarted());
    }
    // The instances of a column by index, strings as their UTF-8 (snmpwalk writes them in hex).
    QMap<QString, QString> walk(const QString& strColumn)
    {
        QProcess process;
        process.start(QStringLiteral("snmpwalk"),
                      m_walkArgs + QStringList{QStringLiteral("-Oqnx"),
                                               QStringLiteral("127.0.0.1:%1").arg(m_uiPort), strColumn});
        process.waitForFinished(30000);
        QMap<QString, QString> map;
        // A long string in hex goes on over further lines.
        const QString strOut = QString::fromUtf8(process.readAllStandardOutput())
                                   .replace(QStringLiteral(" \n"), QStringLiteral(" "));
        for (const QString& strLine : strOut.split(QLatin1Char('\n'))) {
            if (!strLine.startsWith(strColumn + QLatin1Char('.')))
                continue;
            const QString strIndex = strLine.section(QLatin1Char(' '), 0, 0).mid(strColumn.size() + 1);
            QString strValue = strLine.section(QLatin1Char(' '), 1);
            if (strValue.startsWith(QLatin1Char('"')))
                strValue =
                    QString::fromUtf8(QByteArray::fromHex(strValue.remove(QLatin1Char('"')).toLatin1()));
            map.insert(strIndex, strValue);
        }
        return map;
    }
    int chassisCount()
    {
        return walk(kPhysical + QStringLiteral("5")).values().count(QStringLiteral("3"));
    }
    bool waitLog(const QString& strText, int iFrom = 0, int iMsec = 30000)
    {
        return waitFor(m_service, m_strLog, strText, iFrom, iMsec);
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QProcess m_snmpd;
    QProcess m_traps;
    QString m_strTraps;
    QString m_strLog;
    QString m_strSocket;
    quint16 m_uiPort = 0;
    quint16 m_uiTrapPort = 0;
    QStringList m_walkArgs{QStringLiteral("-v2c"), QStringLiteral("-cpublic")};
};

QTEST_GUILESS_MAIN(TestSnmpBed)
#include "tst_snmp_bed.moc"
