#include "MailTestServers.h"

#include "mail/EmailAddress.h"
#include "mail/MailDelivery.h"
#include "mail/MimeMessage.h"
#include "mail/MimeText.h"
#include "mail/SmtpClient.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

using Step = ScriptedServer::Step;
using ErrorList = QList<int>;

// The SMTP dialogue against a real server (aiosmtpd, plain and implicit TLS) and against a scripted one
// for the replies a real server will not give.
class TestSmtpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void dataToWire_data();
    void dataToWire();
    void deliverToRealServer_data();
    void deliverToRealServer();
    void untrustedCertificate_data();
    void untrustedCertificate();
    void wrongPasswordOnRealServer();
    void connectReplies_data();
    void connectReplies();
    void noGreeting();
    void endlessLine();
    void authRefused();
    void disconnectMidDialogue();
    void recipientRefused();
    void bodyOnTheWire();
    void lineBreakInjection_data();
    void lineBreakInjection();
    void connectionRefused();
    void abortTimeCutsWaits();

private:
    TestCa m_ca;
    TestCa m_stranger;
};

namespace {
const QString kUser = QStringLiteral("alarm@rack.test");
const QString kPassword = QStringLiteral("s3cr\u20ac t");

ErrorList errors(const QSignalSpy& spy)
{
    ErrorList list;
    for (const QList<QVariant>& args : spy)
        list << args.first().toInt();
    return list;
}

// The bytes a receiving server stores for a message: the wire form without the dot-stuffing.
QByteArray unstuffed(const QByteArray& baWire)
{
    QList<QByteArray> listLines = baWire.split('\n');
    for (QByteArray& baLine : listLines)
        if (baLine.startsWith('.'))
            baLine.remove(0, 1);
    return listLines.join('\n');
}

bool onlyCrlfLineEnds(const QByteArray& ba)
{
    for (int i = 0; i < ba.size(); ++i) {
        if (ba.at(i) == '\r' && (i + 1 >= ba.size() || ba.at(i + 1) != '\n'))
            return false;
        if (ba.at(i) == '\n' && (i == 0 || ba.at(i - 1) != '\r'))
            return false;
    }
    return true;
}

QByteArray mailAfterData(const QByteArray& baReceived)
{
    const int iStart = baReceived.indexOf("DATA\r\n");
    const int iEnd = baReceived.indexOf("\r\n.\r\n", iStart);
    return iStart < 0 || iEnd < 0 ? QByteArray() : baReceived.mid(iStart + 6, iEnd + 5 - (iStart + 6));
}
} // namespace

void TestSmtpClient::initTestCase()
{
    qRegisterMetaType<SmtpClient::SmtpError>();
    QVERIFY2(QSslSocket::supportsSsl(), "no TLS backend");
    QVERIFY2(m_ca.create(QStringLiteral("Rackmind Test CA")), qPrintable(m_ca.errorString()));
    QVERIFY2(m_ca.issue(QStringLiteral("localhost"), QStringLiteral("DNS:localhost")),
             qPrintable(m_ca.errorString()));
    QVERIFY2(m_ca.issue(QStringLiteral("other"), QStringLiteral("DNS:mail.other.test")),
             qPrintable(m_ca.errorString()));
    QVERIFY2(m_stranger.create(QStringLiteral("Stranger CA")), qPrintable(m_stranger.errorString()));
    QVERIFY2(m_stranger.issue(QStringLiteral("stranger"), QStringLiteral("DNS:localhost")),
             qPrintable(m_stranger.errorString()));

    // Trust the test CA the way an installation trusts its own: verification itself stays on.
    QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
    QVERIFY(conf.addCaCertificates(m_ca.caCert()));
    QSslConfiguration::setDefaultConfiguration(conf);
    QCOMPARE(conf.peerVerifyMode(), QSslSocket::AutoVerifyPeer);
}

void TestSmtpClient::dataToWire_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("CRLF kept") << "a\r\nb\r\n" << QByteArray("a\r\nb\r\n");
    QTest::newRow("bare LF") << "a\nb\n\nc" << QByteArray("a\r\nb\r\n\r\nc");
    QTest::newRow("bare CR") << "a\rb\r" << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF CR is two line ends") << "a\n\rb" << QByteArray("a\r\n\r\nb");
    QTest::newRow("lone dot line") << "x\n.\ny" << QByteArray("x\r\n..\r\ny");
    QTest::newRow("dot at start") << ".first" << QByteArray("..first");
    QTest::newRow("dots after CR") << "a\r.b\r\n..c" << QByteArray("a\r\n..b\r\n...c");
    QTest::newRow("dot inside a line") << "a.b\n a." << QByteArray("a.b\r\n a.");
    QTest::newRow("smuggled end") << "x\r\n.\r\nMAIL FROM:<e@vil>"
                                  << QByteArray("x\r\n..\r\nMAIL FROM:<e@vil>");
    QTest::newRow("utf-8") << QStringLiteral("温度\n.度") << QString(QStringLiteral("温度\r\n..度")).toUtf8();
    QTest::newRow("empty") << "" << QByteArray();
}

void TestSmtpClient::dataToWire()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, wire);
    QCOMPARE(SmtpClient::dataToWire(text), wire);
}

void TestSmtpClient::deliverToRealServer_data()
{
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain") << false;
    QTest::newRow("implicit TLS") << true;
}

void TestSmtpClient::deliverToRealServer()
{
    QFETCH(bool, tls);
    AiosmtpdServer server;
    QVERIFY2(tls ? server.start(kUser, kPassword, m_ca.cert(QStringLiteral("localhost")),
                                m_ca.key(QStringLiteral("localhost")))
                 : server.start(kUser, kPassword),
             qPrintable(server.errorString()));

    MailJob job;
    job.host = tls ? QStringLiteral("localhost") : QStringLiteral("127.0.0.1");
    job.port = server.port();
    job.ssl = tls;
    job.account = kUser;
    job.password = kPassword;
    job.receiver = QStringLiteral("ops@site.test");
    job.subject = QStringLiteral("PDU Warning");
    job.body = QStringLiteral("Voltage Warn\n\nValue:251\n.\nLocation:机房 A");
    QVERIFY(deliverMail(job));

    const QJsonObject auth = server.takeEvent(QStringLiteral("auth"));
    QCOMPARE(auth.value(QStringLiteral("mechanism")).toString(), QStringLiteral("PLAIN"));
    QCOMPARE(auth.value(QStringLiteral("user")).toString(), kUser);
    QCOMPARE(auth.value(QStringLiteral("password")).toString(), kPassword);
    QVERIFY(auth.value(QStringLiteral("ok")).toBool());

    const QJsonObject mail = server.takeEvent(QStringLiteral("mail"));
    QVERIFY(!mail.isEmpty());
    QCOMPARE(mail.value(QStringLiteral("user")).toString(), kUser);
    QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), kUser);
    QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("ops@site.test")});

    QString strData =
        QString::fromUtf8(QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
    const QRegularExpressionMatch boundary =
        QRegularExpression(QStringLiteral("boundary=([0-9a-f]{32})\r\n")).match(strData);
    QVERIFY(boundary.hasMatch());
    const QString strB = boundary.captured(1);
    const QRegularExpression reVarying(
        QStringLiteral("\r\nDate: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} \\d\\d:\\d\\d:\\d\\d "
                       "[+-]\\d{4}\r\nMessage-ID: <[0-9a-f-]{36}@rack\\.test>\r\n"));
    QVERIFY2(strData.contains(reVarying), qPrintable(strData));
    strData.replace(reVarying, QStringLiteral("\r\n"));
    const QString strExpected = QStringLiteral("From: <alarm@rack.test>\r\n"
                                               "To: <ops@site.test>\r\n"
                                               "Subject: PDU Warning\r\n"
                                               "MIME-Version: 1.0\r\n"
                                               "Content-Type: multipart/related; boundary=") +
                                strB +
                                QStringLiteral("\r\nContent-Transfer-Encoding: 8bit\r\n"
                                               "\r\n"
                                               "--") +
                                strB +
                                QStringLiteral("\r\nContent-Type: text/plain; charset=utf-8\r\n"
                                               "Content-Transfer-Encoding: 8bit\r\n"
                                               "\r\n"
                                               "Voltage Warn\r\n\r\nValue:251\r\n.\r\nLocation:机房 A\r\n"
                                               "--") +
                                strB + QStringLiteral("--\r\n\r\n\r\n");
    QCOMPARE(strData, strExpected);
}

void TestSmtpClient::untrustedCertificate_data()
{
    QTest::addColumn<QString>("which");
    QTest::newRow("another host name") << "other";
    QTest::newRow("unknown CA") << "stranger";
}

void TestSmtpClient::untrustedCertificate()
{
    QFETCH(QString, which);
    const TestCa& ca = which == QLatin1String("stranger") ? m_stranger : m_ca;
    AiosmtpdServer server;
    QVERIFY2(server.start(kUser, kPassword, ca.cert(which), ca.key(which)), qPrintable(server.errorString()));

    SmtpClient client(QStringLiteral("localhost"), server.port(), SmtpClient::SslConnection);
    client.setUser(kUser);
    client.setPassword(kPassword);
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.connectToHost());
    QVERIFY(timer.elapsed() < 4000);
    QCOMPARE(errors(spy), ErrorList{SmtpClient::ConnectionTimeoutError});

    MailJob job;
    job.host = QStringLiteral("localhost");
    job.port = server.port();
    job.ssl = true;
    job.account = kUser;
    job.password = kPassword;
    job.receiver = QStringLiteral("ops@site.test");
    QVERIFY(!deliverMail(job));
    QCOMPARE(server.events().size(), 0); // no credential, no mail reached the server
}

void TestSmtpClient::wrongPasswordOnRealServer()
{
    AiosmtpdServer server;
    QVERIFY2(server.start(kUser, kPassword), qPrintable(server.errorString()));
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    client.setUser(kUser);
    client.setPassword(QStringLiteral("guess"));
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QVERIFY(client.connectToHost());
    QVERIFY(!client.login());
    QCOMPARE(client.getResponseText(), QStringLiteral("535 5.7.8 Authentication credentials invalid\r\n"));
    QCOMPARE(errors(spy), (ErrorList{SmtpClient::ClientError, SmtpClient::AuthenticationFailedError}));
    QCOMPARE(server.takeEvent(QStringLiteral("auth")).value(QStringLiteral("ok")).toBool(), false);
}

void TestSmtpClient::connectReplies_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("ehloReply");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("lastLine");
    QTest::addColumn<ErrorList>("errors");

    QByteArray baHundred;
    for (int i = 0; i < 99; ++i)
        baHundred += "250-capability " + QByteArray::number(i) + "\r\n";
    const QByteArray baLong = "220 " + QByteArray(4092, 'w') + "\r\n";

    QTest::newRow("code-only lines") << QByteArray("220\r\n") << QByteArray("250\r\n") << true << "250\r\n"
                                     << ErrorList{};
    QTest::newRow("multi-line EHLO") << QByteArray("220-first\r\n220 hi\r\n")
                                     << QByteArray("250-smtp.test\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n")
                                     << true << "250 8BITMIME\r\n"
                                     << ErrorList{};
    QTest::newRow("bare LF line ends")
        << QByteArray("220 hi\n") << QByteArray("250-a\n250 ok\n") << true << "250 ok\n"
        << ErrorList{};
    QTest::newRow("4 KiB line") << baLong << QByteArray("250 ok\r\n") << true << "250 ok\r\n" << ErrorList{};
    QTest::newRow("100 lines") << QByteArray("220 hi\r\n") << QByteArray(baHundred + "250 last\r\n") << true
                               << "250 last\r\n"
                               << ErrorList{};
    QTest::newRow("line over 4 KiB") << QByteArray("220 w" + baLong.mid(4)) << QByteArray() << false << ""
                                     << ErrorList{SmtpClient::ServerError};
    QTest::newRow("101 lines") << QByteArray("220 hi\r\n")
                               << QByteArray(baHundred + "250-one more\r\n250 last\r\n") << false
                               << "250-one more\r\n"
                               << ErrorList{SmtpClient::ServerError};
    QTest::newRow("greeting refused")
        << QByteArray("554 go away\r\n") << QByteArray() << false << "554 go away\r\n"
        << ErrorList{SmtpClient::ClientError, SmtpClient::ServerError};
    QTest::newRow("EHLO refused") << QByteArray("220 hi\r\n") << QByteArray("421 busy\r\n") << false
                                  << "421 busy\r\n"
                                  << ErrorList{SmtpClient::ServerError, SmtpClient::ServerError};
    QTest::newRow("code not a number") << QByteArray("2x0 hi\r\n") << QByteArray() << false << "2x0 hi\r\n"
                                       << ErrorList{SmtpClient::ServerError};
}

void TestSmtpClient::connectReplies()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, ehloReply);
    QFETCH(bool, connected);
    QFETCH(QString, lastLine);
    QFETCH(ErrorList, errors);

    // The EHLO reply goes out in pieces, so the client has to read across packets.
    const int iHalf = ehloReply.size() / 2;
    ScriptedServer server({Step{Step::Send, greeting, 0}, ScriptedServer::line(),
                           ScriptedServer::send(ehloReply.left(iHalf)),
                           ScriptedServer::send(ehloReply.mid(iHalf), 150), ScriptedServer::silence(3000)});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(client.connectToHost(), connected);
    QVERIFY2(timer.elapsed() < 2500, "a reply was waited for past its end");
    QCOMPARE(client.getResponseText(), lastLine);
    QCOMPARE(::errors(spy), errors);
    // Nothing was sent ahead of a reply that was still coming in.
    QCOMPARE(server.received(), ehloReply.isEmpty() ? QByteArray() : QByteArray("EHLO localhost\r\n"));
}

void TestSmtpClient::noGreeting()
{
    ScriptedServer server({ScriptedServer::silence(8000)});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.connectToHost());
    const qint64 iElapsed = timer.elapsed();
    QVERIFY2(iElapsed >= 4900 && iElapsed < 6500, qPrintable(QString::number(iElapsed)));
    QCOMPARE(errors(spy), ErrorList{SmtpClient::ResponseTimeoutError});
}

void TestSmtpClient::endlessLine()
{
    ScriptedServer server({ScriptedServer::send("220 "), ScriptedServer::flood()});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.connectToHost());
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(errors(spy), ErrorList{SmtpClient::ServerError});
    QVERIFY(client.getSocket()->bytesAvailable() < 1024 * 1024);
}

void TestSmtpClient::authRefused()
{
    ScriptedServer server({ScriptedServer::send("220 hi\r\n"), ScriptedServer::line(),
                           ScriptedServer::send("250 ok\r\n"), ScriptedServer::line(),
                           ScriptedServer::send("535 5.7.8 credentials invalid\r\n")});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    client.setUser(QStringLiteral("user"));
    client.setPassword(QStringLiteral("pass"));
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QVERIFY(client.connectToHost());
    QVERIFY(!client.login());
    QCOMPARE(errors(spy), (ErrorList{SmtpClient::ClientError, SmtpClient::AuthenticationFailedError}));
    QVERIFY(server.waitDone(3000));
    QCOMPARE(server.received(), QByteArray("EHLO localhost\r\nAUTH PLAIN AHVzZXIAcGFzcw==\r\n"));
}

void TestSmtpClient::disconnectMidDialogue()
{
    ScriptedServer server({ScriptedServer::send("220 hi\r\n"), ScriptedServer::line(),
                           ScriptedServer::send("250 ok\r\n"), ScriptedServer::line(),
                           ScriptedServer::close()});
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    QSignalSpy spy(&client, &SmtpClient::smtpError);
    QVERIFY(client.connectToHost());
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!client.login());
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(errors(spy),
             (ErrorList{SmtpClient::ResponseTimeoutError, SmtpClient::AuthenticationFailedError}));
}

void TestSmtpClient::recipientRefused()
{
    QList<Step> listSteps = ScriptedServer::greetAndLogin();
    listSteps << ScriptedServer::line() << ScriptedServer::send("250 ok\r\n") << ScriptedServer::line()
              << ScriptedServer::send("550 5.1.1 no such user\r\n") << ScriptedServer::silence(500);
    ScriptedServer server(listSteps);
    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    MimeMessage message;
    message.setSender(new EmailAddress(kUser));
    message.addRecipient(new EmailAddress(QStringLiteral("nobody@site.test")));
    message.addRecipient(new EmailAddress(QStringLiteral("second@site.test")));
    QVERIFY(client.connectToHost());
    QVERIFY(client.login());
    QVERIFY(!client.sendMail(message));
    QVERIFY(server.waitDone(3000));
    const QByteArray baReceived = server.received();
    QVERIFY(baReceived.endsWith("MAIL FROM: <alarm@rack.test>\r\nRCPT TO: <nobody@site.test>\r\n"));
    QVERIFY(!baReceived.contains("DATA"));
}

void TestSmtpClient::bodyOnTheWire()
{
    QList<Step> listSteps = ScriptedServer::greetAndLogin();
    for (int i = 0; i < 2; ++i)
        listSteps << ScriptedServer::line() << ScriptedServer::send("250 ok\r\n");
    listSteps << ScriptedServer::line() << ScriptedServer::send("354 go ahead\r\n") << ScriptedServer::data()
              << ScriptedServer::send("250 queued\r\n") << ScriptedServer::line();
    ScriptedServer server(listSteps);

    SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
    MimeMessage message;
    message.setSender(new EmailAddress(kUser));
    message.addRecipient(new EmailAddress(QStringLiteral("ops@site.test")));
    message.setSubject(QStringLiteral("dots"));
    MimeText text;
    const QString strBody = QStringLiteral(".\nfirst\n.\nmid\rdle\r\n..two\n.");
    text.setText(strBody);
    message.addPart(&text);
    QVERIFY(client.connectToHost());
    QVERIFY(client.login());
    QVERIFY(client.sendMail(message));
    QElapsedTimer timer;
    timer.start();
    client.quit();
    QVERIFY(timer.elapsed() < 200); // no wait for the 221 that never comes
    QVERIFY(server.waitDone(3000));

    const QByteArray baReceived = server.received();
    QVERIFY(baReceived.endsWith("\r\n.\r\nQUIT\r\n"));
    const QByteArray baData = mailAfterData(baReceived);
    QVERIFY(onlyCrlfLineEnds(baData));
    // Exactly one line holds a lone dot: the end of the data.
    QCOMPARE(baData.count("\r\n.\r\n"), 1);
    QVERIFY(baData.endsWith("--\r\n\r\n\r\n.\r\n"));
    QVERIFY(baData.contains("\r\n\r\n..\r\nfirst\r\n..\r\nmid\r\ndle\r\n...two\r\n..\r\n--"));
    QVERIFY(unstuffed(baData).contains("\r\n\r\n.\r\nfirst\r\n.\r\nmid\r\ndle\r\n..two\r\n.\r\n--"));
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
    QTest::newRow("client name CRLF") << "name"
                                      << "localhost\r\nMAIL FROM: <x@y>";
}

void TestSmtpClient::lineBreakInjection()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    {
        QList<Step> listSteps = ScriptedServer::greetAndLogin();
        listSteps << ScriptedServer::silence(300);
        ScriptedServer server(listSteps);
        SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
        MimeMessage message;
        message.setSender(new EmailAddress(field == QLatin1String("sender") ? value : kUser));
        message.addRecipient(
            new EmailAddress(field == QLatin1String("recipient") ? value : QStringLiteral("o@s.test")));
        message.setSubject(field == QLatin1String("subject") ? value : QStringLiteral("s"));
        if (field == QLatin1String("name")) {
            client.setName(value);
            QVERIFY(!client.connectToHost());
            QTest::qWait(100);
            QVERIFY(!server.accepted());
            return;
        }
        QVERIFY(client.connectToHost());
        QVERIFY(client.login());
        const QByteArray baBefore = server.received();
        QVERIFY(!client.sendMail(message));
        QVERIFY(server.waitDone(3000));
        QCOMPARE(server.received(), baBefore);
    }
    // The whole delivery refuses such a mail before it connects.
    ScriptedServer server(ScriptedServer::greetAndLogin());
    MailJob job;
    job.host = QStringLiteral("127.0.0.1");
    job.port = server.port();
    job.account = field == QLatin1String("sender") ? value : kUser;
    job.receiver = field == QLatin1String("recipient") ? value : QStringLiteral("o@s.test");
    job.subject = field == QLatin1String("subject") ? value : QStringLiteral("s");
    QVERIFY(!deliverMail(job));
    QVERIFY(!server.accepted());
}

void TestSmtpClient::connectionRefused()
{
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 uiPort = probe.serverPort();
    probe.close();
    for (const auto type : {SmtpClient::TcpConnection, SmtpClient::SslConnection}) {
        SmtpClient client(QStringLiteral("127.0.0.1"), uiPort, type);
        QSignalSpy spy(&client, &SmtpClient::smtpError);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!client.connectToHost());
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(errors(spy), ErrorList{SmtpClient::ConnectionTimeoutError});
    }
    // No host at all fails the same way, at once.
    SmtpClient client(QString(), 25);
    QVERIFY(!client.connectToHost());
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

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
