#include "MailTestServers.h"

#include "mail/EmailAddress.h"
#include "mail/MailDelivery.h"
#include "mail/MailQueue.h"
#include "mail/MimeMessage.h"
#include "mail/SmtpClient.h"

#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

using Steps = QList<ScriptedServer::Step>;
Q_DECLARE_METATYPE(Steps)

// The SMTP dialogue against a real server (aiosmtpd, plain and implicit TLS) and against a scripted one
// for the replies a real server will not give; every delivery ends within the client's time-outs (5 s
// to connect, 5 s for each reply).
class TestSmtpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dataToWire_data();
    void dataToWire();
    void realServer_data();
    void realServer();
    void scriptedServer_data();
    void scriptedServer();
    void lineBreakInjection_data();
    void lineBreakInjection();
    void connectionRefused();
    void abortTimeCutsWaits();
    void waitingMailsAreBounded();
};

namespace {
const QString kUser = QStringLiteral("alarm@rack.test");
const QString kPassword = QStringLiteral("s3cr\u20ac t");

MailJob jobFor(quint16 uiPort, bool bSsl = false)
{
    MailJob job;
    job.host = bSsl ? QStringLiteral("localhost") : QStringLiteral("127.0.0.1");
    job.port = uiPort;
    job.ssl = bSsl;
    job.account = kUser;
    job.password = kPassword;
    job.receiver = QStringLiteral("ops@site.test");
    job.subject = QStringLiteral("PDU Warning");
    job.body = QStringLiteral("Voltage Warn\n\nValue:251\n.\nLocation:机房 A\n..two\rend");
    return job;
}

// Greeting and EHLO reply as given (the latter in two pieces 150 ms apart, so that the client has to
// read across packets), then AUTH accepted.
Steps login(const QByteArray& baGreeting, const QByteArray& baEhlo)
{
    const int iHalf = baEhlo.size() / 2;
    return {ScriptedServer::send(baGreeting),
            ScriptedServer::line(),
            ScriptedServer::send(baEhlo.left(iHalf)),
            ScriptedServer::send(baEhlo.mid(iHalf), 150),
            ScriptedServer::line(),
            ScriptedServer::send("235 ok\r\n")};
}

Steps envelopeAndData()
{
    return {ScriptedServer::line(), ScriptedServer::send("250 ok\r\n"),
            ScriptedServer::line(), ScriptedServer::send("250 ok\r\n"),
            ScriptedServer::line(), ScriptedServer::send("354 go\r\n"),
            ScriptedServer::data(), ScriptedServer::send("250 queued\r\n"),
            ScriptedServer::line()};
}
} // namespace

void TestSmtpClient::initTestCase()
{
    QVERIFY2(QSslSocket::supportsSsl(), "no TLS backend");
    // Trust the test CA the way an installation trusts its own: verification itself stays on.
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    QVERIFY(conf.addCaCertificates(testCertFile(QStringLiteral("ca.crt"))));
    QSslConfiguration::setDefaultConfiguration(conf);
}

void TestSmtpClient::dataToWire_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("CRLF kept") << "a\r\nb\r\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("bare LF") << "a\nb\n\nc" << QByteArray("a\r\nb\r\n\r\nc");
    QTest::newRow("bare CR") << "a\rb\r" << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF CR is two line ends") << "a\n\rb" << QByteArray("a\r\n\r\nb");
    QTest::newRow("dot at start") << ".first" << QByteArray("..first");
    QTest::newRow("dots after CR") << "a\r.b\r\n..c" << QByteArray("a\r\n..b\r\n...c");
    QTest::newRow("dot inside a line") << "a.b\n a." << QByteArray("a.b\r\n a.");
    QTest::newRow("smuggled end") << "x\r\n.\r\nMAIL FROM:<e@vil>"
                                  << QByteArray("x\r\n..\r\nMAIL FROM:<e@vil>");
    QTest::newRow("utf-8") << QStringLiteral("温度\n.度") << QString(QStringLiteral("温度\r\n..度")).toUtf8();
}

void TestSmtpClient::dataToWire()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QCOMPARE(SmtpClient::dataToWire(text), wire);
}

void TestSmtpClient::realServer_data()
{
    QTest::addColumn<QString>("cert"); // empty: plain
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("plain") << "" << kPassword << true;
    QTest::newRow("implicit TLS") << "localhost" << kPassword << true;
    QTest::newRow("wrong password") << ""
                                    << "guess" << false;
    QTest::newRow("TLS, another host name") << "other" << kPassword << false;
    QTest::newRow("TLS, unknown CA") << "stranger" << kPassword << false;
}

void TestSmtpClient::realServer()
{
    QFETCH(QString, cert);
    QFETCH(QString, password);
    QFETCH(bool, delivered);
    AiosmtpdServer server;
    QVERIFY2(cert.isEmpty() ? server.start(kUser, kPassword)
                            : server.start(kUser, kPassword, testCertFile(cert + QStringLiteral(".crt")),
                                           testCertFile(cert + QStringLiteral(".key"))),
             qPrintable(server.errorString()));
    MailJob job = jobFor(server.port(), !cert.isEmpty());
    job.password = password;
    QCOMPARE(deliverMail(job), delivered);
    if (!delivered) {
        // An untrusted server gets no credential at all; a wrong password no mail.
        QCOMPARE(server.events().size(), cert.isEmpty() ? 1 : 0);
        return;
    }
    const QJsonObject auth = server.takeEvent(QStringLiteral("auth"));
    QCOMPARE(auth.value(QStringLiteral("mechanism")).toString(), QStringLiteral("PLAIN"));
    QCOMPARE(auth.value(QStringLiteral("user")).toString(), kUser);
    QCOMPARE(auth.value(QStringLiteral("password")).toString(), kPassword);
    const QJsonObject mail = server.takeEvent(QStringLiteral("mail"));
    QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), kUser);
    QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("ops@site.test")});

    // The message as rendered, the dots of its body unstuffed again by the server.
    const QByteArray baData =
        QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1());
    QVERIFY2(baData.startsWith("From: <alarm@rack.test>\r\nTo: <ops@site.test>\r\nSubject: PDU Warning\r\n"),
             baData.constData());
    QVERIFY(baData.contains(
        "\r\n\r\nVoltage Warn\r\n\r\nValue:251\r\n.\r\nLocation:机房 A\r\n..two\r\nend\r\n--"));
}

void TestSmtpClient::scriptedServer_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<bool>("ssl");
    QTest::addColumn<bool>("delivered");
    // Whether the 5 s time-out, and nothing sooner or later, ends the delivery; otherwise it ends at once.
    QTest::addColumn<bool>("timesOut");
    using S = ScriptedServer;
    const auto row = [](const char* name, const Steps& steps, bool bDelivered, bool bSsl = false,
                        bool bTimesOut = false) {
        QTest::newRow(name) << steps << bSsl << bDelivered << bTimesOut;
    };
    QByteArray baHundred;
    for (int i = 0; i < 99; ++i)
        baHundred += "250-capability " + QByteArray::number(i) + "\r\n";
    const QByteArray baLong = "220 " + QByteArray(4092, 'w') + "\r\n";
    const QByteArray baOk = "250 ok\r\n";
    const Steps envelope = envelopeAndData();
    row("code-only lines", login("220\r\n", "250\r\n") + envelope, true);
    row("multi-line replies",
        login("220-a\r\n220 b\r\n", "250-a\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n") + envelope, true);
    row("bare LF line ends", login("220 hi\n", "250-a\n250 ok\n") + envelope, true);
    row("4 KiB line", login(baLong, baOk) + envelope, true);
    row("100 lines", login("220 hi\r\n", baHundred + "250 last\r\n") + envelope, true);
    row("line over 4 KiB", login("220 w" + baLong.mid(4), baOk), false);
    row("101 lines", login("220 hi\r\n", baHundred + "250-one more\r\n250 last\r\n"), false);
    row("greeting refused", {S::send("554 go away\r\n")}, false);
    row("EHLO refused", login("220 hi\r\n", "421 busy\r\n"), false);
    row("code not a number", {S::send("2x0 hi\r\n"), S::silence(3000)}, false);
    row("535 to AUTH",
        {S::send("220 hi\r\n"), S::line(), S::send(baOk), S::line(), S::send("535 no\r\n"), S::silence(3000)},
        false);
    row("250 to AUTH", Steps{S::send("220 hi\r\n"), S::line(), S::send(baOk), S::line(), S::send(baOk)} + envelope,
        false);
    row("550 to RCPT",
        login("220 hi\r\n", baOk) << S::line() << S::send(baOk) << S::line() << S::send("550 no\r\n")
                                  << S::silence(3000),
        false);
    row("disconnect in mid-dialogue", {S::send("220 hi\r\n"), S::line(), S::close()}, false);
    row("endless line", {S::send("220 "), S::flood()}, false);
    row("TLS: plain text instead of a handshake", {S::send("220 hi\r\n"), S::silence(3000)}, false, true);
    row("no greeting", {S::silence(8000)}, false, false, true);
    // A byte every 200 ms: the 5 s bound the reply, not each byte.
    row("reply trickles forever", {S::send("220-"), S::trickle({}, 200)}, false, false, true);
    row("TLS: handshake trickles forever",
        {S::trickle(QByteArray("\x16\x03\x03\x40\x00", 5), 200), S::trickle({}, 200)}, false, true, true);
}

void TestSmtpClient::scriptedServer()
{
    QFETCH(Steps, steps);
    QFETCH(bool, ssl);
    QFETCH(bool, delivered);
    QFETCH(bool, timesOut);
    ScriptedServer server(steps);
    QVERIFY2(server.port() != 0, qPrintable(server.errorString()));
    MailJob job = jobFor(server.port(), ssl);
    job.host = QStringLiteral("127.0.0.1");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(deliverMail(job), delivered);
    const qint64 iMs = timer.elapsed();
    QVERIFY2(timesOut ? iMs >= 4800 && iMs <= 6500 : iMs < 2000,
             qPrintable(QStringLiteral("%1 ms").arg(iMs)));
    QVERIFY(server.waitDone(3000));
    const QByteArray baReceived = server.received();
    if (!delivered) {
        QVERIFY(!baReceived.contains("DATA"));
        return;
    }
    // Nothing was sent ahead of a reply still coming in; the body went dot-stuffed, in CRLF lines.
    QVERIFY2(baReceived.startsWith("EHLO localhost\r\nAUTH PLAIN AGFsYXJtQHJhY2sudGVzdABzM2Ny4oKsIHQ=\r\n"
                                   "MAIL FROM: <alarm@rack.test>\r\nRCPT TO: <ops@site.test>\r\nDATA\r\n"),
             baReceived.constData());
    QVERIFY(baReceived.endsWith("\r\n.\r\nQUIT\r\n"));
    const QByteArray baData = baReceived.mid(baReceived.indexOf("DATA\r\n") + 6).chopped(6);
    QVERIFY(!QString::fromLatin1(baData).contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
    QCOMPARE(baData.count("\r\n.\r\n"), 1);
    QVERIFY(baData.contains(
        "\r\n\r\nVoltage Warn\r\n\r\nValue:251\r\n..\r\nLocation:机房 A\r\n...two\r\nend\r\n--"));
}

void TestSmtpClient::lineBreakInjection_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::newRow("sender CRLF") << "sender"
                                 << "a@b\r\nRCPT TO: <spy@evil.test>";
    QTest::newRow("recipient LF") << "recipient"
                                  << "ops@site.test\nRCPT TO: <spy@evil.test>";
    QTest::newRow("subject CR") << "subject"
                                << "PDU\rBcc: spy@evil.test";
    QTest::newRow("subject LF") << "subject"
                                << "PDU\n\r\n.\r\nQUIT";
}

void TestSmtpClient::lineBreakInjection()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    ScriptedServer server(ScriptedServer::greetAndLogin() << ScriptedServer::silence(300));
    MailJob job = jobFor(server.port());
    (field == QLatin1String("sender")      ? job.account
     : field == QLatin1String("recipient") ? job.receiver
                                           : job.subject) = value;
    // The whole delivery refuses such a mail before it connects, as the client refuses such a name ...
    QVERIFY(!deliverMail(job));
    SmtpClient named(QStringLiteral("127.0.0.1"), server.port());
    named.setName(QStringLiteral("localhost\r\nMAIL FROM: <x@y>"));
    QVERIFY(!named.connectToHost());
    QTest::qWait(100);
    QVERIFY(!server.accepted());
    // ... and the client does not send it either.
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    MimeMessage message;
    message.setSender(new EmailAddress(job.account));
    message.addRecipient(new EmailAddress(job.receiver));
    message.setSubject(job.subject);
    QVERIFY(client.connectToHost());
    QVERIFY(client.login());
    QVERIFY(!client.sendMail(message));
    QTest::qWait(100);
    QCOMPARE(server.received().count('\n'), 2); // EHLO and AUTH
}

void TestSmtpClient::connectionRefused()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 uiPort = probe.serverPort();
    probe.close();
    for (const auto type : {SmtpClient::TcpConnection, SmtpClient::SslConnection}) {
        SmtpClient client(QStringLiteral("127.0.0.1"), uiPort, type);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!client.connectToHost());
        QVERIFY(timer.elapsed() < 2000);
    }
    QVERIFY(!SmtpClient(QString(), 25).connectToHost());
}

void TestSmtpClient::abortTimeCutsWaits()
{
    ScriptedServer server({ScriptedServer::silence(8000)});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    std::atomic<qint64> iAbortAt{SmtpClient::monotonicMsecs() + 300};
    client.setAbortTime(&iAbortAt);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.connectToHost());
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
}

// Alarms invented faster than a hanging server takes them: enqueueing never waits, the queue holds a
// bounded number of mails and refuses the rest, and exit gives them their budget and no more.
void TestSmtpClient::waitingMailsAreBounded()
{
    ScriptedServer server({ScriptedServer::silence(8000)});
    CMailQueue* pQueue = CMailQueue::instance();
    const MailJob job = jobFor(server.port());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(pQueue->enqueue(job));
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(server.accepted(), 5000);
    timer.restart();
    int iRefused = 0;
    for (int i = 0; i < CMailQueue::kMaxWaiting + 100; ++i)
        iRefused += pQueue->enqueue(job) ? 0 : 1;
    QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(iRefused, 100);
    QCOMPARE(pQueue->pending(), CMailQueue::kMaxWaiting + 1);
    timer.restart();
    QVERIFY(pQueue->shutdown(1000));
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(pQueue->pending(), 0);
}

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
