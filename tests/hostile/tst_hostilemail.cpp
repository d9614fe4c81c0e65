#include "app/Settings.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "mail/MailDelivery.h"
#include "mail/MailQueue.h"
#include "tests/common/ConsoleRig.h"
#include "tests/hostile/HostileNet.h"
#include "tests/hostile/SlowSmtpServer.h"
#include "tests/mail/MailTestServers.h"
#include "tools/pdusim/SimThread.h"

#include <QtTest>

using Step = ScriptedServer::Step;
using Steps = QList<Step>;
Q_DECLARE_METATYPE(Steps)

namespace {
MailJob jobFor(quint16 uiPort, bool bSsl)
{
    MailJob job;
    job.host = QStringLiteral("127.0.0.1");
    job.port = uiPort;
    job.ssl = bSsl;
    job.account = QStringLiteral("alarm@rack.test");
    job.password = QStringLiteral("pw");
    job.receiver = QStringLiteral("ops@site.test");
    job.subject = QStringLiteral("PDU Warning");
    job.body = QStringLiteral("line one\n.\nline three\rafter a bare CR\n..\n");
    return job;
}

// The rest of a good dialogue after the login: envelope, data, the final reply, QUIT.
Steps envelopeAndData()
{
    return {ScriptedServer::line(), ScriptedServer::send("250 ok\r\n"),
            ScriptedServer::line(), ScriptedServer::send("250 ok\r\n"),
            ScriptedServer::line(), ScriptedServer::send("354 go\r\n"),
            ScriptedServer::data(), ScriptedServer::send("250 queued\r\n"),
            ScriptedServer::line()};
}

// A whole good dialogue whose every reply is written one byte at a time.
Steps trickledDialogue(int iByteMsec, const QByteArray& baGreeting)
{
    Steps steps{ScriptedServer::trickle(baGreeting, iByteMsec)};
    for (const QByteArray& baReply :
         {QByteArray("250 a\r\n"), QByteArray("235 a\r\n"), QByteArray("250 a\r\n"), QByteArray("250 a\r\n"),
          QByteArray("354 a\r\n")})
        steps << ScriptedServer::line() << ScriptedServer::trickle(baReply, iByteMsec);
    steps << ScriptedServer::data() << ScriptedServer::trickle("250 a\r\n", iByteMsec)
          << ScriptedServer::line();
    return steps;
}
} // namespace

// Mail servers that misbehave, against the program's one delivery sequence: every delivery ends within
// the client's time-outs (5 s to connect, 5 s for each reply), and while deliveries hang on the mail
// thread the console goes on polling its devices.
class TestHostileMail : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { qRegisterMetaType<CPdu*>(); }

    void everyDeliveryEndsInTime_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<bool>("ssl");
        QTest::addColumn<bool>("delivered");
        // The delivery must end within [minMs, maxMs]: a time-out row shows that the time-out, and
        // nothing sooner, ended it.
        QTest::addColumn<int>("minMs");
        QTest::addColumn<int>("maxMs");

        const Steps login = ScriptedServer::greetAndLogin();
        QTest::newRow("no greeting") << Steps{ScriptedServer::silence(8000)} << false << false << 4800
                                     << 6500;
        QTest::newRow("multi-line EHLO")
            << (Steps{ScriptedServer::send("220 hi\r\n"), ScriptedServer::line(),
                      ScriptedServer::send("250-first\r\n250-SIZE 1000\r\n250 AUTH PLAIN\r\n"),
                      ScriptedServer::line(), ScriptedServer::send("235 ok\r\n")}
                << envelopeAndData())
            << false << true << 0 << 2000;
        QTest::newRow("code-only lines") << (Steps{ScriptedServer::send("220\r\n"), ScriptedServer::line(),
                                                   ScriptedServer::send("250\r\n"), ScriptedServer::line(),
                                                   ScriptedServer::send("235\r\n")}
                                             << envelopeAndData())
                                         << false << true << 0 << 2000;
        QTest::newRow("535 to AUTH") << Steps{ScriptedServer::send("220 hi\r\n"),
                                              ScriptedServer::line(),
                                              ScriptedServer::send("250 ok\r\n"),
                                              ScriptedServer::line(),
                                              ScriptedServer::send("535 5.7.8 no\r\n"),
                                              ScriptedServer::silence(3000)}
                                     << false << false << 0 << 1500;
        QTest::newRow("550 to RCPT") << (Steps(login)
                                         << ScriptedServer::line() << ScriptedServer::send("250 ok\r\n")
                                         << ScriptedServer::line()
                                         << ScriptedServer::send("550 5.1.1 no such user\r\n")
                                         << ScriptedServer::silence(3000))
                                     << false << false << 0 << 1500;
        QTest::newRow("disconnect in mid-dialogue")
            << Steps{ScriptedServer::send("220 hi\r\n"), ScriptedServer::line(), ScriptedServer::close()}
            << false << false << 0 << 1500;
        QTest::newRow("closes at once") << Steps{ScriptedServer::close()} << false << false << 0 << 1500;
        QTest::newRow("endless line")
            << Steps{ScriptedServer::send("220 "), ScriptedServer::flood()} << false << false << 0 << 2000;
        QTest::newRow("dots and a bare CR in the body")
            << (Steps(login) << envelopeAndData()) << false << true << 0 << 2000;
        QTest::newRow("silent after the data")
            << (Steps(login) << ScriptedServer::line() << ScriptedServer::send("250 ok\r\n")
                             << ScriptedServer::line() << ScriptedServer::send("250 ok\r\n")
                             << ScriptedServer::line() << ScriptedServer::send("354 go\r\n")
                             << ScriptedServer::silence(8000))
            << false << false << 4800 << 6500;
        // Short replies at 200 ms a byte take 1.4 s each: slow, but each within its 5 s.
        QTest::newRow("one byte per 200 ms")
            << trickledDialogue(200, "220 a\r\n") << false << true << 9000 << 20000;
        // A 34-byte greeting at 200 ms a byte would take 6.8 s: it is cut at 5 s.
        QTest::newRow("one byte per 200 ms, long lines")
            << trickledDialogue(200, "220 mail.example.org ESMTP ready\r\n") << false << false << 4800
            << 6500;
        QTest::newRow("trickles forever")
            << Steps{ScriptedServer::send("220-"), ScriptedServer::trickle({}, 200)} << false << false << 4800
            << 6500;
        Steps endlessLines;
        for (int i = 0; i < 200; ++i)
            endlessLines << ScriptedServer::send("220-more\r\n", 100);
        QTest::newRow("continuation lines forever") << endlessLines << false << false << 4800 << 6500;
        QTest::newRow("TLS: no handshake")
            << Steps{ScriptedServer::silence(8000)} << true << false << 4800 << 6500;
        QTest::newRow("TLS: plain text instead of a handshake")
            << Steps{ScriptedServer::send("220 hi\r\n"), ScriptedServer::silence(3000)} << true << false << 0
            << 1500;
        QTest::newRow("TLS: handshake trickles forever")
            << Steps{ScriptedServer::trickle(QByteArray("\x16\x03\x03\x40\x00", 5), 200),
                     ScriptedServer::trickle({}, 200)}
            << true << false << 4800 << 6500;
    }

    void everyDeliveryEndsInTime()
    {
        QFETCH(Steps, steps);
        QFETCH(bool, ssl);
        QFETCH(bool, delivered);
        QFETCH(int, minMs);
        QFETCH(int, maxMs);
        ScriptedServer server(steps);
        QVERIFY(server.port() != 0);
        QElapsedTimer timer;
        timer.start();
        const bool bDelivered = deliverMail(jobFor(server.port(), ssl));
        const qint64 iMs = timer.elapsed();
        qInfo("%s: %s after %lld ms", QTest::currentDataTag(), bDelivered ? "delivered" : "failed", iMs);
        QCOMPARE(bDelivered, delivered);
        QVERIFY2(iMs >= minMs && iMs <= maxMs, qPrintable(QStringLiteral("%1 ms").arg(iMs)));
    }

    // Alarms invented faster than a server takes them: the queue holds a bounded number of mails and
    // drops the rest as they come, and what is queued still goes within the exit budget.
    void waitingMailsAreBounded()
    {
        SlowSmtpServer server(200, true);
        CMailQueue* pQueue = CMailQueue::instance();
        const MailJob job = jobFor(server.port(), false);
        QVERIFY(pQueue->enqueue(job));
        QTRY_COMPARE_WITH_TIMEOUT(server.connections(), 1, 5000);
        const qint64 iRssBefore = hostile::residentKiB();
        int iRefused = 0;
        for (int i = 0; i < CMailQueue::kMaxWaiting + 100; ++i)
            iRefused += pQueue->enqueue(job) ? 0 : 1;
        qInfo("queue bound: %d mails waiting, %d refused, %lld KiB for the waiting mails",
              pQueue->pending() - 1, iRefused, hostile::residentKiB() - iRssBefore);
        QCOMPARE(iRefused, 100);
        QCOMPARE(pQueue->pending(), CMailQueue::kMaxWaiting + 1);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(pQueue->shutdown(1000));
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(pQueue->pending(), 0);
    }

    // Alarm mails for ten PDUs go to a server that never finishes its greeting: each delivery hangs
    // for its 5 s on the mail thread, one after another. The console goes on polling meanwhile, and
    // exit gives the mail its bounded time and no more.
    void consoleKeepsPollingWhileMailHangs()
    {
        constexpr int kDevices = 10;
        CSimThread sim;
        CSimConfig config;
        config.bNoise = false;
        QString strError;
        QVERIFY2(sim.startFleet(config, &strError), qPrintable(strError));
        QCOMPARE(sim.call([](CSimFleet& fleet) { return fleet.deviceCount(); }), kDevices);

        SlowSmtpServer server(200, true);
        QVERIFY(server.port() != 0);
        g_settings = AppSettings();
        g_settings.smtpHost = QStringLiteral("127.0.0.1");
        g_settings.smtpPort = server.port();
        g_settings.smtpAccount = QStringLiteral("alarm@rack.test");
        g_settings.smtpPassword = QStringLiteral("pw");
        g_settings.smtpReceiver = QStringLiteral("ops@site.test");

        ConsoleRig rig;
        QVERIFY(rig.start());
        CRackmind* pRegistry = rig.registry();
        const auto online = [pRegistry] { return pRegistry->onlineCount(); };
        QTRY_COMPARE_WITH_TIMEOUT(online(), kDevices, 10000);

        CMailQueue* pQueue = CMailQueue::instance();
        QCOMPARE(sim.command(QStringLiteral("set all voltage 251")).last(), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(pQueue->pending() >= kDevices, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(server.connections() >= 1, 5000);

        int iMinOnline = kDevices;
        hostile::GuiProbe probe([&] { iMinOnline = qMin(iMinOnline, online()); });
        QElapsedTimer clock;
        clock.start();
        // A change at one PDU reaches the console while the mail thread is stuck.
        QTest::qWait(4000);
        QCOMPARE(sim.command(QStringLiteral("set 3 voltage 230")).last(), QStringLiteral("ok"));
        CPdu* pThird = nullptr;
        const quint32 uiThird = sim.call([](CSimFleet& fleet) { return fleet.device(3)->st.ip; });
        for (CPdu* pPdu : qAsConst(pRegistry->listPdu))
            if (ipv4ToUint(pPdu->stInfo.ip) == uiThird)
                pThird = pPdu;
        QVERIFY(pThird);
        QTRY_COMPARE_WITH_TIMEOUT(pThird->stInfo.voltage, quint16(230), 3000);
        QTest::qWait(6000);
        const int iStillPending = pQueue->pending();
        qInfo(
            "mail hang: %d connections to the endless server, %d mails still pending after %lld ms; devices "
            "online at least %d of %d; GUI max gap %lld ms over %lld ticks",
            server.connections(), iStillPending, clock.elapsed(), iMinOnline, kDevices, probe.iMaxGapMs,
            probe.iTicks);
        QCOMPARE(iMinOnline, kDevices);
        QVERIFY2(probe.iMaxGapMs < 500, qPrintable(QString::number(probe.iMaxGapMs)));
        QVERIFY(iStillPending >= 5);

        // Exit: the mail in progress and those queued get their 20 s in all, then are dropped.
        QElapsedTimer exitTimer;
        exitTimer.start();
        QVERIFY(pQueue->shutdown());
        const qint64 iExitMs = exitTimer.elapsed();
        qInfo("mail hang: exit took %lld ms with %d mails pending (budget %d ms)", iExitMs, iStillPending,
              CMailQueue::kExitBudgetMsec);
        QCOMPARE(pQueue->pending(), 0);
        QVERIFY2(iExitMs <= CMailQueue::kExitBudgetMsec + 1000, qPrintable(QString::number(iExitMs)));
        QCOMPARE(server.mailsTaken(), 0);
    }
};

QTEST_MAIN(TestHostileMail)
#include "tst_hostilemail.moc"
