#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/mail/MailTestServers.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/ServiceLog.h"

#include <QTemporaryDir>
#include <QtTest>

// The shipped rules and Alertmanager configuration as an operator installs them, with their waits cut to a
// second: a PDU's alarm reaches the mail server through Prometheus and Alertmanager, to the address its
// severity is routed to, and a second mail says when it ended.
class TestAlertsBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(startQuietFleet(m_sim));
        // A relay that asks for no login: Alertmanager's LOGIN and the server's differ in their prompts.
        QVERIFY2(m_smtp.start(QStringLiteral("alerts@example.org"), QStringLiteral("pw"),
                              {QStringLiteral("--relay")}),
                 qPrintable(m_smtp.errorString()));
        QVERIFY(writeFile(path("smtp.secret"), "pw"));

        const quint16 uiMetrics = freePort();
        startProcess(
            m_service, QStringLiteral(RACKMINDD),
            {QStringLiteral("--metrics"), QStringLiteral("--metrics-port"), QString::number(uiMetrics)});
        QVERIFY2(waitForLog(m_service, m_strLog, QStringLiteral("new PDU 10.200.1.2")), qPrintable(m_strLog));

        QVERIFY(shipped("rackmind-alerts.yml", "rules.yml",
                        {{"for: 30s", "for: 1s"}, {"keep_firing_for: 2m", "keep_firing_for: 1s"}}));
        QVERIFY(shipped("alertmanager.yml", "alertmanager.yml",
                        {{"mail.example.org:587", "127.0.0.1:" + QByteArray::number(m_smtp.port())},
                         {"smtp_require_tls: true", "smtp_require_tls: false"},
                         {"/etc/prometheus/alertmanager-smtp.secret", path("smtp.secret").toUtf8()},
                         {"group_wait: 30s", "group_wait: 1s"},
                         {"group_interval: 5m", "group_interval: 1s"}}));
        const quint16 uiAlertmanager = freePort();
        m_alertmanager.setStandardErrorFile(path("alertmanager.log"));
        m_prometheus.setStandardErrorFile(path("prometheus.log"));
        startProcess(m_alertmanager, QStringLiteral("prometheus-alertmanager"),
                     {QStringLiteral("--config.file=") + path("alertmanager.yml"),
                      QStringLiteral("--storage.path=") + path("am"),
                      QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(uiAlertmanager),
                      QStringLiteral("--cluster.listen-address=")});
        QVERIFY(writeFile(path("prometheus.yml"),
                          "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\nrule_files: ['" +
                              path("rules.yml").toUtf8() +
                              "']\nalerting:\n  alertmanagers:\n    - static_configs:\n        - targets: "
                              "['127.0.0.1:" +
                              QByteArray::number(uiAlertmanager) +
                              "']\nscrape_configs:\n  - job_name: rackmind\n    static_configs:\n"
                              "      - targets: ['127.0.0.1:" +
                              QByteArray::number(uiMetrics) + "']\n        labels: {room: hall-a}\n"));
        startProcess(m_prometheus, QStringLiteral("prometheus"),
                     {QStringLiteral("--config.file=") + path("prometheus.yml"),
                      QStringLiteral("--storage.tsdb.path=") + path("tsdb"),
                      QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(freePort())});
        QVERIFY(m_alertmanager.waitForStarted() && m_prometheus.waitForStarted());
    }
    void mailedAndResolved_data()
    {
        QTest::addColumn<QString>("pdu");
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("alert");
        QTest::addColumn<QByteArray>("to");
        QTest::newRow("hot: warning")
            << "1"
            << "temperature"
            << "60" << QByteArray("PduTemperature") << QByteArray("room-ops@example.org");
        QTest::newRow("overload: critical")
            << "2"
            << "current"
            << "17" << QByteArray("PduCurrentOverload") << QByteArray("oncall@example.org");
    }
    void mailedAndResolved()
    {
        QFETCH(QString, pdu);
        QFETCH(QString, reading);
        QFETCH(QString, value);
        QFETCH(QByteArray, alert);
        QFETCH(QByteArray, to);
        QCOMPARE(m_sim.command(QStringLiteral("set %1 %2 %3").arg(pdu, reading, value)).last(),
                 QStringLiteral("ok"));
        const QByteArray baFiring = nextMail(alert, to);
        QVERIFY2(baFiring.contains("[FIRING:1]") && baFiring.contains("hall-a") &&
                     baFiring.contains("10.200.1." + pdu.toUtf8()),
                 baFiring.constData());
        QCOMPARE(m_sim.command(QStringLiteral("clear %1 %2").arg(pdu, reading)).last(), QStringLiteral("ok"));
        const QByteArray baResolved = nextMail(alert, to);
        QVERIFY2(baResolved.contains("[RESOLVED]"), baResolved.constData());
    }
    // The overload held back its own warning: nobody was mailed about PDU 2's current warning.
    void warningUnderOverloadInhibited()
    {
        for (const QJsonObject& mail : m_smtp.events())
            QVERIFY(!decoded(mail).contains("PduCurrentWarn"));
    }
    void cleanupTestCase()
    {
        for (QProcess* pProcess : {&m_prometheus, &m_alertmanager, &m_service}) {
            pProcess->terminate();
            pProcess->waitForFinished(10000);
        }
    }

private:
    static QByteArray decoded(const QJsonObject& mail)
    {
        // Quoted-printable lines joined, so that a label is not split by a soft break.
        return QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1())
            .replace("=\r\n", "")
            .replace("=3D", "=");
    }
    // The next mail about the alert, to the given address only; the wait covers Prometheus's first
    // scrapes and a rule's time.
    QByteArray nextMail(const QByteArray& baAlert, const QByteArray& baTo)
    {
        for (QJsonObject mail; !(mail = m_smtp.takeEvent(QStringLiteral("mail"), 90000)).isEmpty();) {
            const QByteArray baMail = decoded(mail);
            if (!baMail.contains(baAlert))
                continue;
            if (mail.value(QStringLiteral("rcpt_tos")).toArray() != QJsonArray{QString::fromUtf8(baTo)})
                return "sent to " + QJsonDocument(mail).toJson() + baMail;
            return baMail;
        }
        return "no mail about " + baAlert + "; Alertmanager said:\n" +
               readFile(path("alertmanager.log")).right(3000) + "\nPrometheus said:\n" +
               readFile(path("prometheus.log")).right(3000);
    }
    // A shipped file under docs/ with the given edits, each of which must apply.
    bool shipped(const char* pszName, const char* pszCopy, const QList<QPair<QByteArray, QByteArray>>& edits)
    {
        QByteArray baText = readFile(qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QStringLiteral("/docs/") +
                                     QLatin1String(pszName));
        for (const auto& edit : edits) {
            if (!baText.contains(edit.first)) {
                qWarning("%s no longer holds %s", pszName, edit.first.constData());
                return false;
            }
            baText.replace(edit.first, edit.second);
        }
        return writeFile(path(pszCopy), baText);
    }
    QString path(const char* pszName) const { return m_dir.filePath(QLatin1String(pszName)); }
    void startProcess(QProcess& process, const QString& strProgram, const QStringList& listArgs)
    {
        process.setWorkingDirectory(m_dir.path());
        process.start(strProgram, listArgs);
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    AiosmtpdServer m_smtp;
    QProcess m_service;
    QProcess m_alertmanager;
    QProcess m_prometheus;
    QString m_strLog;
};

QTEST_GUILESS_MAIN(TestAlertsBed)
#include "tst_alerts_bed.moc"
