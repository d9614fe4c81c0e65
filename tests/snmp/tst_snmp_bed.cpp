#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <cmath>

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
        QVERIFY(startQuietFleet(m_sim));
        for (const char* pszSet : {"set 1 name RackA voltage 231", "set 2 name RackB", "set 3 name 机柜三"})
            QCOMPARE(m_sim.command(QString::fromUtf8(pszSet)).last(), QStringLiteral("ok"));
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
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("snmpd/snmpd.conf")),
                          "agentaddress udp:127.0.0.1:" + QByteArray::number(m_uiPort) +
                              "\nmaster agentx\nagentXSocket " + m_strSocket.toUtf8() +
                              "\nagentXPerms 0660 0771\nrocommunity public 127.0.0.1\n"));

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
    }
    void cleanupTestCase()
    {
        m_service.terminate();
        m_service.waitForFinished(30000);
        m_snmpd.kill();
        m_snmpd.waitForFinished();
        m_sim.stopFleet();
    }

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
        startSnmpd();
        QVERIFY2(waitLog(strServing, iFrom, 60000), qPrintable(m_strLog.mid(iFrom)));
        QTRY_COMPARE_WITH_TIMEOUT(chassisCount(), 3, 30000);
    }

private:
    static quint16 freeUdpPort()
    {
        QUdpSocket socket;
        return socket.bind(QHostAddress::LocalHost, 0) ? socket.localPort() : 0;
    }
    void startSnmpd()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("SNMP_PERSISTENT_DIR"), m_dir.filePath(QStringLiteral("snmpd/state")));
        m_snmpd.setProcessEnvironment(env);
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
                      {QStringLiteral("-v2c"), QStringLiteral("-cpublic"), QStringLiteral("-Oqnx"),
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
    int chassisCount() { return walk(kPhysical + QStringLiteral("5")).values().count(QStringLiteral("3")); }
    // The text in the service's log, after iFrom characters.
    bool waitLog(const QString& strText, int iFrom = 0, int iMsec = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        while (m_strLog.indexOf(strText, iFrom) < 0 && timer.elapsed() < iMsec) {
            m_service.waitForReadyRead(200);
            m_strLog += QString::fromLocal8Bit(m_service.readAllStandardError());
        }
        return m_strLog.indexOf(strText, iFrom) >= 0;
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QProcess m_snmpd;
    QString m_strLog;
    QString m_strSocket;
    quint16 m_uiPort = 0;
};

QTEST_GUILESS_MAIN(TestSnmpBed)
#include "tst_snmp_bed.moc"
