#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "mail/MailQueue.h"
#include "settings/Settings.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/mail/MailTestServers.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/ServiceLog.h"
#include "tests/service/TlsFixture.h"
#include "tools/pdusim/SimThread.h"

#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <csignal>

// The headless service as an operator runs it: its own process with no display, simulated PDUs, a real
// Prometheus scraping it once a second, a mail server, and the signals a service manager sends.
namespace {
// PDU 3's name: "é", two CJK characters and its 16-byte field filled to the last byte.
const QString kName3 = QStringLiteral("Caf\u00e9-\u6771\u4eac1234");
// PDU 1's name, all 16 bytes: a line break before a line of the log's own, an escape sequence, an override.
const QByteArray kName1("x\nstopped\x1b[2J\xe2\x80\xae", 16);
const QString kLogged1 = QStringLiteral("PDU 10.200.1.1 \"x\\nstopped\\x1b[2J\\u202e\" ");
} // namespace

class TestServiceBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(startQuietFleet(m_sim));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 voltage 231")).last(), QStringLiteral("ok"));
        QCOMPARE(m_sim.command(QStringLiteral("set 2 outlets 5")).last(), QStringLiteral("ok"));
        QCOMPARE(m_sim.command(QStringLiteral("set 3 name ") + kName3).last(), QStringLiteral("ok"));
        m_sim.call([](CSimFleet& fleet) { fleet.device(1)->st.name = kName1; });

        // The mail server answers the end of the mail only after a pause, long enough for a SIGTERM.
        using S = ScriptedServer;
        QList<S::Step> steps = S::greetAndLogin();
        steps << S::line() << S::send("250 ok\r\n") << S::line() << S::send("250 ok\r\n") << S::line()
              << S::send("354 go\r\n") << S::data() << S::send("250 queued\r\n", 4000) << S::line()
              << S::send("221 bye\r\n");
        m_pSmtp = std::make_unique<ScriptedServer>(steps);
        QVERIFY2(m_pSmtp->port(), qPrintable(m_pSmtp->errorString()));

        m_uiMetricsPort = freePort();
        g_settings.language = 1;
        g_settings.smtpHost = QStringLiteral("127.0.0.1");
        g_settings.smtpPort = m_pSmtp->port();
        g_settings.smtpAccount = QStringLiteral("room@example.org");
        g_settings.smtpAllowUnencryptedPassword = true;
        g_settings.smtpPassword = QStringLiteral("pw");
        g_settings.smtpReceiver = QStringLiteral("ops@example.org");
        g_settings.metricsPort = m_uiMetricsPort;
        saveSettings();
        QVERIFY(makeTlsFiles(QDir(m_dir.path())));
        writeWebConfig("s3cret");
        // Metrics off in the store, on by the command line, over TLS with a password.
        startProcess(m_service, QStringLiteral(RACKMINDD),
                     {QStringLiteral("--metrics"), QStringLiteral("--web.config.file"),
                      m_dir.filePath(QStringLiteral("web.yml"))});
        QVERIFY2(
            waitLog(QStringLiteral("metrics: serving https://127.0.0.1:%1/metrics").arg(m_uiMetricsPort)),
            qPrintable(m_strLog));
        QVERIFY2(waitLog(QStringLiteral("new PDU 10.200.1.3")), qPrintable(m_strLog));

        m_uiPrometheusPort = freePort();
        const QString strConfig = m_dir.filePath(QStringLiteral("prometheus.yml"));
        QVERIFY(writeFile(
            strConfig,
            "global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: room\n    scheme: https\n"
            "    tls_config:\n      ca_file: " +
                m_dir.filePath(QStringLiteral("ca.crt")).toUtf8() +
                "\n    basic_auth:\n      username: prom\n      password: s3cret\n    static_configs:\n"
                "      - targets: ['127.0.0.1:" +
                QByteArray::number(m_uiMetricsPort) + "']\n"));
        startProcess(m_prometheus, QStringLiteral("prometheus"),
                     {QStringLiteral("--config.file=") + strConfig,
                      QStringLiteral("--storage.tsdb.path=") + m_dir.filePath(QStringLiteral("tsdb")),
                      QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_uiPrometheusPort)});
        QVERIFY(m_prometheus.waitForStarted());
    }
    // One line per event, whatever a unit's name holds: its line break, escape and override show as escapes.
    void hostileNameKeepsToItsLine()
    {
        QVERIFY2(waitLog(kLogged1 + QStringLiteral("online\n")), qPrintable(m_strLog));
        for (const QString& strLine : m_strLog.split(QLatin1Char('\n')))
            QVERIFY2(!strLine.startsWith(QLatin1String("stopped")) && !strLine.contains(QChar(0x1b)) &&
                         !strLine.contains(QChar(0x202e)),
                     qPrintable(m_strLog));
    }
    void prometheusSeesTheRoom()
    {
        // Series carry the MAC; the address comes from the info series, joined as an operator would.
        const QString strJoin =
            QStringLiteral(" * on(mac) group_left(address) rackmind_pdu_info{address=\"%1\"}");
        QTRY_COMPARE_WITH_TIMEOUT(
            query(QStringLiteral("rackmind_pdu_voltage_volts") + strJoin.arg("10.200.1.1")),
            QStringLiteral("231"), 60000);
        QTRY_COMPARE_WITH_TIMEOUT(
            query(QStringLiteral("rackmind_pdu_outlet_on{outlet=\"3\"}") + strJoin.arg("10.200.1.2")),
            QStringLiteral("1"), 30000);
        QCOMPARE(query(QStringLiteral("rackmind_pdu_outlet_on{outlet=\"2\"}") + strJoin.arg("10.200.1.2")),
                 QStringLiteral("0"));
        QCOMPARE(query(QStringLiteral("up{job=\"room\"}")), QStringLiteral("1"));
        QCOMPARE(query(QStringLiteral("rackmind_pdu_info{address=\"10.200.1.3\",name=\"%1\"}").arg(kName3)),
                 QStringLiteral("1"));
        QCOMPARE(promtoolCheckMetrics(
                     curlBody(QStringLiteral("https://127.0.0.1:%1/metrics").arg(m_uiMetricsPort),
                              {"--cacert", m_dir.filePath(QStringLiteral("ca.crt")), "-u", "prom:s3cret"})),
                 QString());
        // The first look at the page of the room shows the room, not a page that asks for a reload.
        const QByteArray baPage =
            curlBody(QStringLiteral("https://127.0.0.1:%1/").arg(m_uiMetricsPort),
                     {"--cacert", m_dir.filePath(QStringLiteral("ca.crt")), "-u", "prom:s3cret"});
        QVERIFY2(baPage.contains(kName3.toUtf8()), baPage.left(400).constData());
    }
    // A changed password is taken at the next SIGHUP; the one before stops working.
    void webConfigChangedOnSighup()
    {
        writeWebConfig("n3w-secret");
        const int iServing = m_strLog.count(QStringLiteral("metrics: serving https://"));
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QTRY_VERIFY_WITH_TIMEOUT((waitLog(QStringLiteral("settings reloaded"), 200),
                                  m_strLog.count(QStringLiteral("metrics: serving https://")) > iServing),
                                 30000);
        QCOMPARE(scrapeStatus("s3cret"), QByteArray("401"));
        QCOMPARE(scrapeStatus("n3w-secret"), QByteArray("200"));
        writeWebConfig("s3cret");
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QTRY_COMPARE_WITH_TIMEOUT(scrapeStatus("s3cret"), QByteArray("200"), 30000);
    }
    void secondInstanceRefused()
    {
        QProcess second;
        startProcess(second, QStringLiteral(RACKMINDD), {});
        QVERIFY(second.waitForFinished(30000));
        // Told who polls from the device port, with the status the unit does not restart on.
        QCOMPARE(second.exitCode(), 75);
        QVERIFY(second.readAllStandardError().contains(QByteArray::number(m_service.processId())));
        QCOMPARE(m_service.state(), QProcess::Running);
    }
    void reloadOntoTakenPort()
    {
        QTcpServer holder;
        QVERIFY(holder.listen(QHostAddress::LocalHost));
        // The command line's --metrics still holds; the port comes from the store again. Without a mail
        // server the log says so at once, not at the first alarm.
        g_settings.metricsPort = holder.serverPort();
        g_settings.smtpHost.clear();
        saveSettings();
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(holder.serverPort())),
                 qPrintable(m_strLog));
        QVERIFY(httpGet(m_uiMetricsPort, "/metrics").isEmpty());
        QVERIFY2(m_strLog.contains(QStringLiteral("alarm mail: no SMTP server set")), qPrintable(m_strLog));
        // Still watching the room without metrics.
        QCOMPARE(m_sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QVERIFY2(waitLog(QStringLiteral("PDU 10.200.1.2 \"PDU-002\" offline")), qPrintable(m_strLog));
        QCOMPARE(m_sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        g_settings.metricsPort = m_uiMetricsPort;
        g_settings.smtpHost = QStringLiteral("127.0.0.1");
        saveSettings();
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QTRY_COMPARE_WITH_TIMEOUT(scrapeStatus("s3cret"), QByteArray("200"), 30000);
    }
    // A reload polls the ports port.prt lists now, and a PDU on an added port is heard, one on a removed
    // port lost; a broken file keeps the ports polled.
    void reloadChangesPolledPorts()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 1 port 6000")).last(), QStringLiteral("ok"));
        QVERIFY2(waitLog(kLogged1 + QStringLiteral("offline")), qPrintable(m_strLog));
        const QStringList steps[] = {
            {"[0]\nport=51230\n[1]\nport=6000\n", "polling ports 51230,6000 (added 6000, removed none)",
             "online"},
            {"[0]\nport=51230\n[1]\nport=60000x\n", "port list not reloaded", ""},
            {"[0]\nport=51230\n", "polling ports 51230 (added none, removed 6000)", "offline"},
            // No file, as at a first start: the default port alone.
            {"[0]\nport=6000\n", "polling ports 51230,6000 (added 6000, removed none)", "online"},
            {"", "polling ports 51230 (added none, removed 6000)", "offline"}};
        for (const QStringList& step : steps) {
            QFile file(m_dir.filePath(QStringLiteral("port.prt")));
            QVERIFY(step[0].isEmpty() ? file.remove()
                                      : file.open(QIODevice::WriteOnly) && file.write(step[0].toUtf8()) > 0);
            file.close();
            m_strLog.clear();
            ::kill(pid_t(m_service.processId()), SIGHUP);
            QVERIFY2(waitLog(step[1]) && (step[2].isEmpty() || waitLog(kLogged1 + step[2])),
                     qPrintable(m_strLog));
        }
        QCOMPARE(m_sim.command(QStringLiteral("set 1 port 51230")).last(), QStringLiteral("ok"));
    }
    void sigtermWhileMailIsSent()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 3 humidity 90")).last(), QStringLiteral("ok"));
        QVERIFY2(waitLog(QStringLiteral("alarm humidity on PDU 10.200.1.3 \"%1\"").arg(kName3)),
                 qPrintable(m_strLog));
        // The mail is under way; the server holds back its answer to the message.
        QVERIFY2(waitLog(QStringLiteral("alarm mail \"PDU Warning\" to ops@example.org queued")),
                 qPrintable(m_strLog));
        QTRY_VERIFY_WITH_TIMEOUT(m_pSmtp->received().contains("\r\n.\r\n"), 30000);
        QVERIFY(m_pSmtp->received().contains("Humidity Warn"));
        QVERIFY(m_pSmtp->received().contains(QStringLiteral("Name:%1\r\n").arg(kName3).toUtf8()));
        ::kill(pid_t(m_service.processId()), SIGTERM);
        QVERIFY(m_service.waitForFinished(CMailQueue::kExitBudgetMsec + 10000));
        QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_service.exitCode(), 0);
        m_strLog += QString::fromLocal8Bit(m_service.readAllStandardError());
        QVERIFY2(m_strLog.contains(QStringLiteral("alarm mails still going out")) &&
                     m_strLog.endsWith(QStringLiteral("stopped\n")),
                 qPrintable(m_strLog));
        // The alarm, its mail queued and the mail delivered, in the order they happened.
        const QString strMail = QStringLiteral("alarm mail \"PDU Warning\" to ops@example.org ");
        const int iAlarm = m_strLog.indexOf(QStringLiteral("alarm humidity on PDU 10.200.1.3"));
        const int iQueued = m_strLog.indexOf(strMail + QStringLiteral("queued"));
        QVERIFY2(0 <= iAlarm && iAlarm < iQueued &&
                     iQueued < m_strLog.indexOf(strMail + QStringLiteral("delivered")),
                 qPrintable(m_strLog));
        // The mail was let finish: the client waited for the answer and said goodbye.
        QVERIFY2(m_pSmtp->waitDone(10000), m_pSmtp->received().constData());
        QVERIFY(m_pSmtp->received().endsWith("QUIT\r\n"));
    }
    void acknowledgedAcrossRestart()
    {
        // The humidity alarm stood when the service stopped; acknowledged meanwhile in the service's file,
        // it stands on through the restart, acknowledged, with its start and without a second "began".
        QString strPath;
        QDirIterator it(qEnvironmentVariable("XDG_DATA_HOME"), {QStringLiteral("history.sqlite")},
                        QDir::Files, QDirIterator::Subdirectories);
        while (strPath.isEmpty() && it.hasNext())
            strPath = it.next().contains(QLatin1String("rackmindd")) ? it.filePath() : QString();
        QVERIFY(!strPath.isEmpty());
        QVector<StoredAlarm> vecStanding = CHistoryReader(strPath).standingAlarms();
        // The file lives on in the test's home folder from one run to the next: count what this run adds.
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::AlarmBegan};
        const int iBegan = CHistoryReader(strPath).events(filter).size();
        QCOMPARE(vecStanding.size(), 1);
        StoredAlarm acknowledged = vecStanding.first();
        acknowledged.iAcknowledged = acknowledged.iSince + 5000;
        acknowledged.strAcknowledgedBy = QStringLiteral("ops@desk");
        {
            CHistoryStore store(strPath);
            store.keepAlarm(acknowledged);
        }
        m_strLog.clear();
        startProcess(m_service, QStringLiteral(RACKMINDD), {QStringLiteral("--no-metrics")});
        QVERIFY2(waitLog(QStringLiteral("alarm humidity on PDU 10.200.1.3")), qPrintable(m_strLog));
        ::kill(pid_t(m_service.processId()), SIGTERM);
        QVERIFY(m_service.waitForFinished(CMailQueue::kExitBudgetMsec + 10000));
        CHistoryReader reader(strPath);
        vecStanding = reader.standingAlarms();
        QCOMPARE(vecStanding.size(), 1);
        QCOMPARE(vecStanding.first().iSince, acknowledged.iSince);
        QCOMPARE(vecStanding.first().iAcknowledged, acknowledged.iAcknowledged);
        QCOMPARE(vecStanding.first().strAcknowledgedBy, acknowledged.strAcknowledgedBy);
        QCOMPARE(reader.events(filter).size(), iBegan);
    }
    void cleanupTestCase()
    {
        m_prometheus.terminate();
        m_prometheus.waitForFinished(10000);
        m_service.kill();
        m_service.waitForFinished();
    }

private:
    bool waitLog(const QString& strText, int iMsec = 30000)
    {
        return waitForLog(m_service, m_strLog, strText, iMsec);
    }
    QString query(const QString& strExpression)
    {
        const QByteArray response = httpExchange(
            m_uiPrometheusPort,
            "GET /api/v1/query?query=" + QUrl::toPercentEncoding(strExpression) + " HTTP/1.0\r\n\r\n");
        const QJsonObject reply =
            QJsonDocument::fromJson(response.mid(response.indexOf("\r\n\r\n") + 4)).object();
        const QJsonArray result =
            reply.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
        return result.size() == 1
                   ? result[0].toObject().value(QStringLiteral("value")).toArray()[1].toString()
                   : QString();
    }
    // TLS with basic authentication for the given password of the user "prom".
    void writeWebConfig(const QByteArray& baPassword)
    {
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("web.yml")),
                          "tls_server_config:\n  cert_file: server.crt\n  key_file: "
                          "server.key\nbasic_auth_users:\n  prom: " +
                              bcryptHash(baPassword) + "\n"));
    }
    QByteArray scrapeStatus(const QByteArray& baPassword)
    {
        return curlStatus(QStringLiteral("https://127.0.0.1:%1/metrics").arg(m_uiMetricsPort),
                          {"--cacert", m_dir.filePath(QStringLiteral("ca.crt")), "-u",
                           QString::fromUtf8("prom:" + baPassword)});
    }
    void startProcess(QProcess& process, const QString& strProgram, const QStringList& listArgs)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // Nothing to draw on: the service must not need it.
        for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(pszName));
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(strProgram, listArgs);
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QProcess m_prometheus;
    QString m_strLog;
    quint16 m_uiMetricsPort = 0;
    quint16 m_uiPrometheusPort = 0;
    std::unique_ptr<ScriptedServer> m_pSmtp;
};

QTEST_GUILESS_MAIN(TestServiceBed)
#include "tst_service_bed.moc"
