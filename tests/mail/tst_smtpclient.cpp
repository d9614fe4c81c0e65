#include "MailTestServers.h"

#include "mail/EmailAddress.h"
#include "mail/MailDelivery.h"
#include "mail/MailQueue.h"
#include "mail/MimeMessage.h"
#include "mail/SmtpClient.h"
#include "settings/Catalogues.h"

#include <QRegularExpression>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpServer>
#include <QtTest>

using Steps = QList<ScriptedServer::Step>;
using S = ScriptedServer;
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(MailJob)

namespace {
const QString kUser = QStringLiteral("alarm@rack.test");
const QString kPassword = QStringLiteral("s3cr\u20ac t");
// The client's waits for a connection and for each reply. Waits that must be cut short are told from
// such a wait by being clearly shorter than it, however busy the machine; no test bounds the speed.
constexpr qint64 kClientWaitMs = 5000;

enum Mode
{
    Plain,
    Tls,
    StartTls
};

// Over a plain connection the password may go unencrypted unless told otherwise.
MailJob jobFor(quint16 uiPort, int iMode = Plain, bool bAllowUnencrypted = true)
{
    MailJob job;
    job.host = iMode == Plain ? QStringLiteral("127.0.0.1") : QStringLiteral("localhost");
    job.port = uiPort;
    job.ssl = iMode == Tls;
    job.startTls = iMode == StartTls;
    job.allowUnencryptedPassword = bAllowUnencrypted;
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
    return {S::send(baGreeting),
            S::line(),
            S::send(baEhlo.left(iHalf)),
            S::send(baEhlo.mid(iHalf), 150),
            S::line(),
            S::send("235 ok\r\n")};
}

Steps envelopeAndData()
{
    return {S::line(), S::send("250 ok\r\n"), S::line(), S::send("250 ok\r\n"),
            S::line(), S::send("354 go\r\n"), S::data(), S::send("250 queued\r\n"),
            S::line()};
}
} // namespace

using ScriptRow = std::tuple<Steps, int, QString, bool>;
Q_DECLARE_METATYPE(ScriptRow)

using ServerRow = std::tuple<QStringList, MailJob, QString, QString>;
Q_DECLARE_METATYPE(ServerRow)

// The SMTP dialogue against a real server (aiosmtpd in the kinds sites relay through) and against a
// scripted one for the replies a real server will not give; every delivery ends within the client's
// time-outs (5 s to connect, 5 s for each reply), and one that fails says why.
class TestSmtpClient : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QSslSocket::supportsSsl(), "no TLS backend");
        // Trust the test CA the way an installation trusts its own: verification itself stays on.
        QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
        QVERIFY(conf.addCaCertificates(testCertFile(QStringLiteral("ca.crt"))));
        QSslConfiguration::setDefaultConfiguration(conf);
    }
    void dataToWire_data()
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
        QTest::newRow("smuggled end")
            << "x\r\n.\r\nMAIL FROM:<e@vil>" << QByteArray("x\r\n..\r\nMAIL FROM:<e@vil>");
        QTest::newRow("utf-8") << QStringLiteral("温度\n.度")
                               << QString(QStringLiteral("温度\r\n..度")).toUtf8();
    }
    void dataToWire()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, wire);
        QCOMPARE(SmtpClient::dataToWire(text), wire);
    }
    void realServer_data()
    {
        // mechanism: what the server saw, empty for no AUTH
        // why: in the failure's text; empty when delivered
        QTest::addColumn<ServerRow>("row");
        const auto job = [](int iMode, bool bAllowUnencrypted = true, const QString& strAccount = kUser,
                            const QString& strSender = QString()) {
            MailJob job = jobFor(0, iMode, bAllowUnencrypted);
            job.account = strAccount;
            job.sender = strSender;
            return job;
        };
        MailJob wrong = job(Plain);
        wrong.password = QStringLiteral("guess");
        const auto row = [](const char* pszName, const QStringList& listOptions, const MailJob& job,
                            const char* pszMechanism, const char* pszWhy) {
            QTest::newRow(pszName) << ServerRow(listOptions, job, QString::fromLatin1(pszMechanism),
                                                QString::fromLatin1(pszWhy));
        };
        const QStringList starttls{QStringLiteral("cert:localhost"), QStringLiteral("--starttls")};
        const auto withStartTls = [](const char* pszCert) {
            return QStringList{QString::fromLatin1(pszCert), QStringLiteral("--starttls")};
        };
        const QStringList relay{QStringLiteral("--relay")}, strict{QStringLiteral("--strict-sender")};
        const char* const pszUnknownCa = "TLS handshake with localhost:%1 failed: The issuer certificate";
        row("plain", {}, job(Plain), "PLAIN", "");
        row("plain: no password in clear unless allowed", {}, job(Plain, false), "",
            "password would go unencrypted");
        row("wrong password", {}, wrong, "PLAIN", "refused the login: 535 5.7.8");
        row("implicit TLS", {QStringLiteral("cert:localhost")}, job(Tls, false), "PLAIN", "");
        row("TLS, another host name", {QStringLiteral("cert:other")}, job(Tls), "",
            "TLS handshake with localhost:%1 failed: The host name did not match");
        row("TLS, unknown CA", {QStringLiteral("cert:stranger")}, job(Tls), "", pszUnknownCa);
        row("STARTTLS", starttls, job(StartTls, false), "PLAIN", "");
        row("STARTTLS, unknown CA", withStartTls("cert:stranger"), job(StartTls), "", pszUnknownCa);
        row("STARTTLS, another host name", withStartTls("cert:other"), job(StartTls), "",
            "failed: The host name did not match");
        row("STARTTLS, self-signed", withStartTls("cert:selfsigned"), job(StartTls), "",
            "failed: The certificate is self-signed");
        row("STARTTLS, expired", withStartTls("cert:expired"), job(StartTls), "",
            "failed: The certificate has expired");
        row("STARTTLS required, client in clear", starttls, job(Plain), "",
            "refused the login: 530 Must issue a STARTTLS command first");
        row("relay, no account", relay, job(Plain, false, QString(), kUser), "", "");
        row("relay, neither account nor sender", relay, job(Plain, false, QString()), "",
            "no sender address: set a sender or an account");
        row("relay, account given", relay, job(Plain), "", "refused the login: 502 5.5.1");
        row("AUTH LOGIN only", {QStringLiteral("--login-only")}, job(Plain), "LOGIN", "");
        row("sender without @ refused", strict, job(Plain, true, QStringLiteral("alarm")), "PLAIN",
            "refused the sender <alarm>: 553 5.1.7");
        row("sender set", strict, job(Plain, true, QStringLiteral("alarm"), QStringLiteral("pdu@rack.test")),
            "PLAIN", "");
    }

    void realServer()
    {
        QFETCH(ServerRow, row);
        auto& [options, job, mechanism, why] = row;
        AiosmtpdServer server;
        QVERIFY2(server.start(job.account, kPassword, options), qPrintable(server.errorString()));
        job.port = server.port();
        SmtpFailure failure;
        QCOMPARE(deliverMail(job, nullptr, &failure), why.isEmpty());
        QVERIFY2(failure.text().contains(
                     QString(why).replace(QStringLiteral("%1"), QString::number(server.port()))),
                 qPrintable(failure.text()));
        // No password reaches a server that is not trusted, or one in clear that the operator did not allow.
        const QJsonObject auth = server.takeEvent(QStringLiteral("auth"), mechanism.isEmpty() ? 300 : 10000);
        QCOMPARE(auth.value(QStringLiteral("mechanism")).toString(), mechanism);
        if (!mechanism.isEmpty()) {
            QCOMPARE(auth.value(QStringLiteral("user")).toString(), job.account);
            QCOMPARE(auth.value(QStringLiteral("password")).toString(), job.password);
        }
        if (!why.isEmpty()) {
            QVERIFY(server.takeEvent(QStringLiteral("mail"), 300).isEmpty());
            return;
        }
        const QJsonObject mail = server.takeEvent(QStringLiteral("mail"));
        QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), job.senderAddress());
        QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray(),
                 QJsonArray{QStringLiteral("ops@site.test")});

        // The message as rendered, the dots of its body unstuffed again by the server.
        const QByteArray baData =
            QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1());
        QVERIFY2(baData.startsWith("From: <" + job.senderAddress().toUtf8() +
                                   ">\r\nTo: <ops@site.test>\r\nSubject: PDU Warning\r\n"),
                 baData.constData());
        QVERIFY(baData.contains(
            "\r\n\r\nVoltage Warn\r\n\r\nValue:251\r\n.\r\nLocation:机房 A\r\n..two\r\nend\r\n--"));
    }
    void scriptedServer_data()
    {
        // why: in the failure's text; empty when delivered. timesOut: whether the 5 s time-out, and nothing
        // sooner or later, ends the delivery; otherwise it ends at once.
        QTest::addColumn<ScriptRow>("row");
        const auto row = [](const char* name, const Steps& steps, const char* pszWhy, int iMode = Plain,
                            bool bTimesOut = false) {
            QTest::newRow(name) << ScriptRow(steps, iMode, QString::fromUtf8(pszWhy), bTimesOut);
        };
        QByteArray baHundred;
        for (int i = 0; i < 99; ++i)
            baHundred += "250-capability " + QByteArray::number(i) + "\r\n";
        const QByteArray baLong = "220 " + QByteArray(4092, 'w') + "\r\n";
        const QByteArray baOk = "250 ok\r\n";
        const Steps envelope = envelopeAndData();
        row("code-only lines", login("220\r\n", "250\r\n") + envelope, "");
        row("multi-line replies",
            login("220-a\r\n220 b\r\n", "250-a\r\n250-AUTH PLAIN\r\n250 8BITMIME\r\n") + envelope, "");
        row("bare LF line ends", login("220 hi\n", "250-a\n250 ok\n") + envelope, "");
        row("4 KiB line", login(baLong, baOk) + envelope, "");
        row("100 lines", login("220 hi\r\n", baHundred + "250 last\r\n") + envelope, "");
        row("line over 4 KiB", login("220 w" + baLong.mid(4), baOk), "reply to the greeting is unusable");
        row("101 lines", login("220 hi\r\n", baHundred + "250-one more\r\n250 last\r\n"),
            "reply to EHLO is unusable");
        row("greeting refused", {S::send("554 go away\r\n")}, "refused the connection: 554 go away");
        row("EHLO refused", login("220 hi\r\n", "421 busy\r\n"), "refused EHLO: 421 busy");
        row("code not a number", {S::send("2x0 hi\r\n"), S::silence(3000)}, "refused the connection: 2x0 hi");
        // A reply's text reaches logs and the page as one line without controls, whatever the server put in.
        row("reply with a line separator and controls",
            {S::send("220 hi\r\n"), S::line(), S::send(baOk), S::line(),
             S::send("535 a\xe2\x80\xa8"
                     "b\xe2\x80\xae"
                     "c\x1b"
                     "[2J\r\n"),
             S::silence(3000)},
            "refused the login: 535 a b c [2J");
        row("535 to AUTH",
            {S::send("220 hi\r\n"), S::line(), S::send(baOk), S::line(), S::send("535 no\r\n"),
             S::silence(3000)},
            "refused the login: 535 no");
        row("250 to AUTH",
            Steps{S::send("220 hi\r\n"), S::line(), S::send(baOk), S::line(), S::send(baOk)} + envelope,
            "refused the login: 250 ok");
        row("550 to RCPT",
            login("220 hi\r\n", baOk)
                << S::line() << S::send(baOk) << S::line() << S::send("550 no\r\n") << S::silence(3000),
            "refused the receiver <ops@site.test>: 550 no");
        row("disconnect in mid-dialogue", {S::send("220 hi\r\n"), S::line(), S::close()},
            "closed the connection while the reply to EHLO");
        row("endless line", {S::send("220 "), S::flood()}, "reply to the greeting is unusable");
        row("TLS: plain text instead of a handshake", {S::send("220 hi\r\n"), S::silence(3000)},
            "TLS handshake with", Tls);
        row("no greeting", {S::silence(8000)}, "no reply from the mail server to the greeting within 5 s",
            Plain, true);
        // A byte every 200 ms: the 5 s bound the reply, not each byte.
        row("reply trickles forever", {S::send("220-"), S::trickle({}, 200)}, "within 5 s", Plain, true);
        row("TLS: handshake trickles forever",
            {S::trickle(QByteArray("\x16\x03\x03\x40\x00", 5), 200), S::trickle({}, 200)},
            "no handshake within 5 s", Tls, true);
        // STARTTLS asked for: nothing but EHLO goes out in clear, and a handshake that fails ends in time.
        const Steps starttlsOffered{S::send("220 hi\r\n"), S::line(), S::send("250-hi\r\n250 STARTTLS\r\n"),
                                    S::line()};
        row("STARTTLS not offered",
            {S::send("220 hi\r\n"), S::line(), S::send("250-hi\r\n250 AUTH PLAIN\r\n"), S::silence(1000)},
            "does not offer STARTTLS", StartTls);
        row("STARTTLS refused",
            starttlsOffered + Steps{S::send("454 4.7.0 TLS not available\r\n"), S::silence(1000)},
            "refused STARTTLS: 454 4.7.0 TLS not available", StartTls);
        row("STARTTLS, then plain text",
            starttlsOffered + Steps{S::send("220 go\r\n"), S::send("250 hi\r\n", 100), S::silence(1000)},
            "TLS handshake with", StartTls);
        // Replies slipped in before the handshake are no replies to what is sent over TLS.
        row("STARTTLS, replies injected in clear",
            starttlsOffered +
                Steps{S::send("220 go\r\n250-injected\r\n250 AUTH LOGIN\r\n"),
                      S::tls(testCertFile(QStringLiteral("localhost.crt"))), S::line(),
                      S::send("250-hi\r\n250 AUTH PLAIN\r\n"), S::line(), S::send("235 ok\r\n")} +
                envelope,
            "", StartTls);
        row("STARTTLS, then silence", starttlsOffered + Steps{S::send("220 go\r\n"), S::silence(8000)},
            "no handshake within 5 s", StartTls, true);
    }
    void scriptedServer()
    {
        QFETCH(ScriptRow, row);
        const auto& [steps, mode, why, timesOut] = row;
        ScriptedServer server(steps);
        QVERIFY2(server.port() != 0, qPrintable(server.errorString()));
        MailJob job = jobFor(server.port(), mode);
        SmtpFailure failure;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(deliverMail(job, nullptr, &failure), why.isEmpty());
        const qint64 iMs = timer.elapsed();
        // A silent or trickling server gets the whole wait and no more: a wait that started again with
        // every byte would never end. Any other failure is the server's answer, not a wait run out.
        if (timesOut)
            QVERIFY2(iMs >= kClientWaitMs - 200 && iMs < 2 * kClientWaitMs,
                     qPrintable(QStringLiteral("%1 ms").arg(iMs)));
        else
            QVERIFY2(!failure.text().contains(QLatin1String(" within ")), qPrintable(failure.text()));
        QVERIFY(server.waitDone(3000));
        QVERIFY2(failure.text().contains(why), qPrintable(failure.text()));
        QByteArray baReceived = server.received();
        if (!why.isEmpty()) {
            QVERIFY(!baReceived.contains("DATA"));
            QVERIFY(mode == Plain || !baReceived.contains("AUTH"));
            return;
        }
        // Nothing was sent ahead of a reply still coming in; the body went dot-stuffed, in CRLF lines.
        if (mode == StartTls)
            baReceived.remove(0, baReceived.indexOf("STARTTLS\r\n") + 10);
        QVERIFY2(
            baReceived.startsWith("EHLO localhost\r\nAUTH PLAIN AGFsYXJtQHJhY2sudGVzdABzM2Ny4oKsIHQ=\r\n"
                                  "MAIL FROM: <alarm@rack.test>\r\nRCPT TO: <ops@site.test>\r\nDATA\r\n"),
            baReceived.constData());
        QVERIFY(baReceived.endsWith("\r\n.\r\nQUIT\r\n"));
        const QByteArray baData = baReceived.mid(baReceived.indexOf("DATA\r\n") + 6).chopped(6);
        QVERIFY(
            !QString::fromLatin1(baData).contains(QRegularExpression(QStringLiteral("\r(?!\n)|(?<!\r)\n"))));
        QCOMPARE(baData.count("\r\n.\r\n"), 1);
        QVERIFY(baData.contains(
            "\r\n\r\nVoltage Warn\r\n\r\nValue:251\r\n..\r\nLocation:机房 A\r\n...two\r\nend\r\n--"));
    }
    void lineBreakInjection_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        const auto row = [](const char* pszName, const char* pszField, const QString& strValue) {
            QTest::newRow(pszName) << QString::fromLatin1(pszField) << strValue;
        };
        row("sender CRLF", "sender", "a@b\r\nRCPT TO: <spy@evil.test>");
        row("recipient LF", "recipient", "ops@site.test\nRCPT TO: <spy@evil.test>");
        row("subject CR", "subject", "PDU\rBcc: spy@evil.test");
        row("subject LF", "subject", "PDU\n\r\n.\r\nQUIT");
        row("sender NUL", "sender", QStringLiteral("a@b") + QChar(0) + QStringLiteral("spy@evil.test"));
        row("recipient NUL", "recipient",
            QStringLiteral("ops@site.test") + QChar(0) + QStringLiteral(">,<spy@evil"));
        row("subject escape", "subject", "PDU\x1b[2J");
    }

    void lineBreakInjection()
    {
        QFETCH(QString, field);
        QFETCH(QString, value);
        ScriptedServer server(S::greetAndLogin() << S::silence(300));
        MailJob job = jobFor(server.port());
        (field == QLatin1String("sender")      ? job.sender
         : field == QLatin1String("recipient") ? job.receiver
                                               : job.subject) = value;
        // The whole delivery refuses such a mail before it connects, as the client refuses such a name ...
        SmtpFailure failure;
        QVERIFY(!deliverMail(job, nullptr, &failure));
        QCOMPARE(failure.text(),
                 QStringLiteral("a line break or control character in the sender, receiver or subject"));
        SmtpClient named(QStringLiteral("127.0.0.1"), server.port());
        named.setName(QStringLiteral("localhost\r\nMAIL FROM: <x@y>"));
        QVERIFY(!named.connectToHost());
        QTest::qWait(100);
        QVERIFY(!server.accepted());
        // ... and the client does not send it either.
        SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
        client.setUser(kUser);
        client.setAllowUnencryptedPassword(true);
        MimeMessage message;
        message.setSender(new EmailAddress(job.senderAddress()));
        message.addRecipient(new EmailAddress(job.receiver));
        message.setSubject(job.subject);
        QVERIFY(client.connectToHost());
        QVERIFY(client.login());
        QVERIFY(!client.sendMail(message));
        QTest::qWait(100);
        QCOMPARE(server.received().count('\n'), 2); // EHLO and AUTH
    }
    void connectionRefused()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        const quint16 uiPort = probe.serverPort();
        probe.close();
        for (const auto type : {SmtpClient::TcpConnection, SmtpClient::SslConnection}) {
            SmtpClient client(QStringLiteral("127.0.0.1"), uiPort, type);
            QVERIFY(!client.connectToHost());
            QCOMPARE(client.lastFailure().text(),
                     QStringLiteral("no connection to the mail server 127.0.0.1:%1: Connection refused")
                         .arg(uiPort));
        }
    }
    // The event log keeps the English reason; shown in Chinese, the phrase is translated and what the server
    // said stays as it was.
    void storedReasonsReadTranslated_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("translated");
        QTest::addColumn<QString>("kept"); // parts that stay as they were, "|" between them
        QTest::newRow("server reply") << "the mail server refused the sender <alarm>: 553 5.1.7 no %2 here"
                                      << true << "<alarm>|553 5.1.7 no %2 here";
        QTest::newRow("TLS problem")
            << "the TLS handshake with mail.site:587 failed: The host name did not match" << true
            << "mail.site:587|The host name did not match";
        QTest::newRow("earlier wording") << "no connection to the mail server" << true << "";
        QTest::newRow("no mail reason") << "Voltage Warn" << false << "";
    }
    void storedReasonsReadTranslated()
    {
        QFETCH(QString, text);
        QFETCH(bool, translated);
        QFETCH(QString, kept);
        createCatalogues();
        installCatalogues(2);
        const QString strShown = SmtpFailure::translate(text);
        installCatalogues(1);
        QCOMPARE(strShown != text, translated);
        for (const QString& strPart : kept.split(QLatin1Char('|'), Qt::SkipEmptyParts))
            QVERIFY2(strShown.contains(strPart), qPrintable(strShown));
    }
    void abortTimeCutsWaits()
    {
        ScriptedServer server({S::silence(8000)});
        SmtpClient client(QStringLiteral("127.0.0.1"), server.port());
        // Waits far longer than the server's silence: only the abort time can end this one early.
        client.setConnectionTimeout(600000);
        client.setResponseTimeout(600000);
        std::atomic<qint64> iAbortAt{SmtpClient::monotonicMsecs() + 300};
        client.setAbortTime(&iAbortAt);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!client.connectToHost());
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
    }
    // Alarms invented faster than a hanging server takes them: enqueueing never waits, the queue holds a
    // bounded number of mails and refuses the rest, and exit gives them their budget and no more.
    void waitingMailsAreBounded()
    {
        ScriptedServer server({S::silence(8000)});
        CMailQueue queue;
        CMailQueue* pQueue = &queue;
        const MailJob job = jobFor(server.port());
        QElapsedTimer timer;
        timer.start();
        QVERIFY(pQueue->enqueue(job));
        QVERIFY2(timer.elapsed() < kClientWaitMs, qPrintable(QString::number(timer.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(server.accepted(), 5000);
        // A mail dropped is told as not delivered, with its reason, as one that failed is.
        auto pToldDropped = std::make_shared<std::atomic<int>>(0);
        connect(
            pQueue, &CMailQueue::signalMailResult, this,
            [pToldDropped, job](const QString& strSubject, const QString&, bool bDelivered,
                                const QString& strWhy) {
                *pToldDropped += strSubject == job.subject && !bDelivered && !strWhy.isEmpty() ? 1 : 0;
            },
            Qt::DirectConnection);
        timer.restart();
        int iRefused = 0;
        for (int i = 0; i < CMailQueue::kMaxWaiting + 100; ++i)
            iRefused += pQueue->enqueue(job) ? 0 : 1;
        QVERIFY2(timer.elapsed() < kClientWaitMs, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(iRefused, 100);
        QVERIFY2(pToldDropped->load() >= 100, qPrintable(QString::number(pToldDropped->load())));
        QCOMPARE(pQueue->pending(), CMailQueue::kMaxWaiting + 1);
        timer.restart();
        QVERIFY(pQueue->shutdown(1000));
        QVERIFY2(timer.elapsed() < kClientWaitMs, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(pQueue->pending(), 0);
    }
};

QTEST_GUILESS_MAIN(TestSmtpClient)
#include "tst_smtpclient.moc"
