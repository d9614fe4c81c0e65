#include "../mail/MailTestServers.h"

#include "app/Settings.h"
#include "device/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "mail/MailQueue.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cstring>

namespace {
const QString kUser = QStringLiteral("alarm@rack.test");
const QString kPassword = QStringLiteral("pw");

QByteArray reply(quint8 cmd, const PduInfo& info)
{
    return buildFrame(kFrameReply, cmd, payloadFor(cmd, info));
}

// The text part of a stored mail, with its line ends as the alarm wrote them.
QString bodyOf(const QJsonObject& mail)
{
    const QString strData =
        QString::fromUtf8(QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
    const QString strStart =
        QStringLiteral("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n");
    const int iStart = strData.indexOf(strStart) + strStart.size();
    const int iEnd = strData.indexOf(QStringLiteral("\r\n--"), iStart);
    if (iStart < strStart.size() || iEnd < 0)
        return QStringLiteral("<no text part>");
    return strData.mid(iStart, iEnd - iStart).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The outcomes of the mail worker's jobs, collected on this thread (the worker signals from its own).
struct FinishedMails
{
    FinishedMails()
    {
        QObject::connect(CMailQueue::instance(), &CMailQueue::signalMailFinished, &context,
                         [this](bool bDelivered) { listDelivered << bDelivered; });
    }
    QObject context;
    QList<bool> listDelivered;
};

QString where(const QString& strName = QStringLiteral("IP PDU"),
              const QString& strPosition = QStringLiteral("office"))
{
    return QStringLiteral("\n\nIP:10.200.1.1\nName:") + strName + QStringLiteral("\nLocation:") + strPosition;
}
} // namespace

// Alarm mails from the one-second tick, delivered to a real SMTP server in the background.
class TestPduAlarm : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void voltageWarnOncePerCondition();
    void conditions_data();
    void conditions();
    void emptyHostFailsAndFlagStays();
    void settingsTakenWhenQueued();
    void devicesMailInOrder();
    void silentServerDoesNotStallTheInterface();
    void exitBudgetDropsWhatIsLeft();
    void queuedMailGoesOutAtExit();

private:
    CPdu* newDevice();
    void feed(CPdu& pdu, quint8 cmd, const PduInfo& info);
    void tick(CPdu& pdu);
    QStringList takeBodies(int iCount);
    bool noFurtherMail();

    AiosmtpdServer m_server;
    QDateTime m_dtNow = QDateTime(QDate(2026, 12, 6), QTime(21, 0, 0));
    QList<CPdu*> m_listDevices;
};

void TestPduAlarm::initTestCase()
{
    QVERIFY2(m_server.start(kUser, kPassword), qPrintable(m_server.errorString()));
    Clock::setSource([this] { return m_dtNow; });
}

void TestPduAlarm::init()
{
    qDeleteAll(m_listDevices);
    m_listDevices.clear();
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = m_server.port();
    g_settings.smtpSsl = false;
    g_settings.smtpAccount = kUser;
    g_settings.smtpPassword = kPassword;
    g_settings.smtpReceiver = QStringLiteral("ops@site.test");
    QTRY_COMPARE_WITH_TIMEOUT(CMailQueue::instance()->pending(), 0, 15000);
}

CPdu* TestPduAlarm::newDevice()
{
    auto* pPdu = new CPdu;
    // The test drives the ticks itself.
    pPdu->timerEmail.stop();
    ipv4FromUint(0x0AC80101, pPdu->stInfo.ip); // 10.200.1.1
    m_listDevices << pPdu;
    return pPdu;
}

void TestPduAlarm::feed(CPdu& pdu, quint8 cmd, const PduInfo& info)
{
    pdu.slotRcvData(reply(cmd, info));
}

void TestPduAlarm::tick(CPdu& pdu)
{
    m_dtNow = m_dtNow.addSecs(1);
    pdu.slotEmailTimer();
}

QStringList TestPduAlarm::takeBodies(int iCount)
{
    QStringList listBodies;
    for (int i = 0; i < iCount; ++i) {
        const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"), 15000);
        if (mail.isEmpty())
            break;
        listBodies << bodyOf(mail);
    }
    return listBodies;
}

bool TestPduAlarm::noFurtherMail()
{
    return QTest::qWaitFor([] { return CMailQueue::instance()->pending() == 0; }, 15000) &&
           m_server.takeEvent(QStringLiteral("mail"), 300).isEmpty();
}

void TestPduAlarm::voltageWarnOncePerCondition()
{
    CPdu& pdu = *newDevice();
    PduInfo info;
    info.voltage = 251;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    const QStringList listBodies = takeBodies(1);
    QCOMPARE(listBodies, QStringList{QStringLiteral("Voltage Warn\n\nValue:251\nWarn Limit:250") + where()});
    QVERIFY(pdu.bAlarm[CPdu::AlarmVoltageWarn]);

    tick(pdu);
    tick(pdu);
    QVERIFY(noFurtherMail());

    info.voltage = 249;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QVERIFY(!pdu.bAlarm[CPdu::AlarmVoltageWarn]);
    info.voltage = 251;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QCOMPARE(takeBodies(1), listBodies);
    QVERIFY(noFurtherMail());

    // A device that falls silent keeps its last readings: the condition holds on and mails no more.
    m_dtNow = m_dtNow.addSecs(10);
    QVERIFY(!pdu.isOnline());
    tick(pdu);
    QVERIFY(noFurtherMail());
}

void TestPduAlarm::conditions_data()
{
    QTest::addColumn<quint32>("voltage");
    QTest::addColumn<double>("current");
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("humidity");
    QTest::addColumn<double>("currentWarn");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QStringList>("mails");

    const QByteArray baName("IP PDU");
    QTest::newRow("defaults hold nothing") << 220u << 0.0 << 25 << 50 << 5.0 << baName << QStringList{};
    QTest::newRow("305 V: warn, then overload")
        << 305u << 0.0 << 25 << 50 << 5.0 << baName
        << QStringList{QStringLiteral("Voltage Warn\n\nValue:305\nWarn Limit:250") + where(),
                       QStringLiteral("Voltage Overload\n\nValue:305\nOverload Limit:300") + where()};
    QTest::newRow("5.0 A at a 5.0 A limit")
        << 220u << 5.0 << 25 << 50 << 5.0 << baName
        << QStringList{QStringLiteral("Current Warn\n\nValue:5\nWarn Limit:5") + where()};
    QTest::newRow("6.3 A over both, limit 5.3")
        << 220u << 6.3 << 25 << 50 << 5.3 << baName
        << QStringList{QStringLiteral("Current Warn\n\nValue:6.3\nWarn Limit:5.3") + where(),
                       QStringLiteral("Current Overload\n\nValue:6.3\nWarn Limit:6") + where()};
    QTest::newRow("4.9 A under the limit") << 220u << 4.9 << 25 << 50 << 5.0 << baName << QStringList{};
    QTest::newRow("temperature at the upper limit")
        << 220u << 0.0 << 50 << 50 << 5.0 << baName
        << QStringList{QStringLiteral("Temprature Warn\n\nValue:50\nUpper Limit:50\nLower Limit:5") +
                       where()};
    QTest::newRow("temperature at the lower limit")
        << 220u << 0.0 << 5 << 50 << 5.0 << baName
        << QStringList{QStringLiteral("Temprature Warn\n\nValue:5\nUpper Limit:50\nLower Limit:5") + where()};
    QTest::newRow("temperature 0")
        << 220u << 0.0 << 0 << 50 << 5.0 << baName
        << QStringList{QStringLiteral("Temprature Warn\n\nValue:0\nUpper Limit:50\nLower Limit:5") + where()};
    QTest::newRow("humidity at the limit")
        << 220u << 0.0 << 25 << 80 << 5.0 << baName
        << QStringList{QStringLiteral("Humidity Warn\n\nValue:80\nWarn Limit:80") + where()};
    QTest::newRow("everything, in order")
        << 400u << 7.0 << 90 << 99 << 5.0 << baName
        << QStringList{QStringLiteral("Voltage Warn\n\nValue:400\nWarn Limit:250") + where(),
                       QStringLiteral("Voltage Overload\n\nValue:400\nOverload Limit:300") + where(),
                       QStringLiteral("Current Warn\n\nValue:7\nWarn Limit:5") + where(),
                       QStringLiteral("Current Overload\n\nValue:7\nWarn Limit:6") + where(),
                       QStringLiteral("Temprature Warn\n\nValue:90\nUpper Limit:50\nLower Limit:5") + where(),
                       QStringLiteral("Humidity Warn\n\nValue:99\nWarn Limit:80") + where()};
    QTest::newRow("name of 16 bytes, a '%' and UTF-8")
        << 251u << 0.0 << 25 << 50 << 5.0 << QString(QStringLiteral("机柜%1 A7%2xyz")).toUtf8()
        << QStringList{QStringLiteral("Voltage Warn\n\nValue:251\nWarn Limit:250") +
                       where(QStringLiteral("机柜%1 A7%2xyz"))};
    QTest::newRow("dot lines stay in the text")
        << 251u << 0.0 << 25 << 50 << 5.0 << QByteArray(".")
        << QStringList{QStringLiteral("Voltage Warn\n\nValue:251\nWarn Limit:250") +
                       where(QStringLiteral("."))};
}

void TestPduAlarm::conditions()
{
    QFETCH(quint32, voltage);
    QFETCH(double, current);
    QFETCH(int, temperature);
    QFETCH(int, humidity);
    QFETCH(double, currentWarn);
    QFETCH(QByteArray, name);
    QFETCH(QStringList, mails);
    QVERIFY(name.size() <= 16);

    CPdu& pdu = *newDevice();
    PduInfo info;
    ipv4FromUint(0x0AC80101, info.ip);
    std::memset(info.name, 0, sizeof info.name);
    std::memcpy(info.name, name.constData(), static_cast<size_t>(name.size()));
    info.voltage = voltage;
    info.current = current;
    info.temperature = static_cast<quint8>(temperature);
    info.humidity = static_cast<quint8>(humidity);
    info.currentWarn = currentWarn;
    feed(pdu, kCmdNetwork, info);
    feed(pdu, kCmdThresholds, info);
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QCOMPARE(takeBodies(mails.size()), mails);
    tick(pdu);
    QVERIFY(noFurtherMail());
}

void TestPduAlarm::emptyHostFailsAndFlagStays()
{
    g_settings.smtpHost.clear();
    FinishedMails finished;
    CPdu& pdu = *newDevice();
    PduInfo info;
    info.humidity = 85;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QVERIFY(pdu.bAlarm[CPdu::AlarmHumidity]);
    QTRY_COMPARE_WITH_TIMEOUT(finished.listDelivered.size(), 1, 15000);
    QCOMPARE(finished.listDelivered.first(), false);
    tick(pdu);
    tick(pdu);
    QVERIFY(pdu.bAlarm[CPdu::AlarmHumidity]);
    QVERIFY(noFurtherMail());
    QCOMPARE(finished.listDelivered.size(), 1); // no second attempt while the condition lasts
}

void TestPduAlarm::settingsTakenWhenQueued()
{
    CPdu& pdu = *newDevice();
    PduInfo info;
    info.voltage = 260;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    // Changed right after queueing: the queued mail keeps the values it was made with.
    g_settings.smtpPort = 1;
    g_settings.smtpReceiver = QStringLiteral("changed@site.test");
    const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"), 15000);
    QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray(), QJsonArray{QStringLiteral("ops@site.test")});
    QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), kUser);
    QVERIFY(bodyOf(mail).startsWith(QStringLiteral("Voltage Warn\n\nValue:260\n")));
}

void TestPduAlarm::devicesMailInOrder()
{
    QList<CPdu*> listPdu;
    for (int i = 0; i < 3; ++i) {
        CPdu& pdu = *newDevice();
        PduInfo info;
        ipv4FromUint(0x0AC80101 + static_cast<quint32>(i), info.ip);
        info.humidity = static_cast<quint8>(81 + i);
        feed(pdu, kCmdNetwork, info);
        feed(pdu, kCmdStatus, info);
        listPdu << &pdu;
    }
    for (CPdu* pPdu : qAsConst(listPdu))
        tick(*pPdu);
    const QStringList listBodies = takeBodies(3);
    QCOMPARE(listBodies.size(), 3);
    for (int i = 0; i < 3; ++i)
        QVERIFY2(listBodies.at(i).startsWith(QStringLiteral("Humidity Warn\n\nValue:%1\n").arg(81 + i)) &&
                     listBodies.at(i).contains(QStringLiteral("IP:10.200.1.%1\n").arg(1 + i)),
                 qPrintable(listBodies.at(i)));
}

void TestPduAlarm::silentServerDoesNotStallTheInterface()
{
    ScriptedServer silent({ScriptedServer::silence(8000)});
    g_settings.smtpPort = silent.port();
    FinishedMails finished;
    CPdu& pdu = *newDevice();
    PduInfo info;
    info.voltage = 251;
    feed(pdu, kCmdStatus, info);

    // A 10 ms timer on the GUI thread measures how long the event loop goes unserved.
    QElapsedTimer clock;
    qint64 iLast = 0;
    qint64 iLongestStall = 0;
    QTimer probe;
    probe.setInterval(10);
    connect(&probe, &QTimer::timeout, this, [&] {
        iLongestStall = qMax(iLongestStall, clock.elapsed() - iLast);
        iLast = clock.elapsed();
    });
    clock.start();
    probe.start();
    QElapsedTimer tickTime;
    tickTime.start();
    tick(pdu);
    const qint64 iTickMsec = tickTime.elapsed();
    QTRY_COMPARE_WITH_TIMEOUT(finished.listDelivered.size(), 1, 15000);
    probe.stop();
    QCOMPARE(finished.listDelivered.first(), false); // the silent server never greets
    QVERIFY(clock.elapsed() >= 4900);
    qInfo("alarm tick took %lld ms; longest GUI stall while the mail waited %lld ms over %lld ms", iTickMsec,
          iLongestStall, clock.elapsed());
    QVERIFY2(iTickMsec < 100, qPrintable(QString::number(iTickMsec)));
    QVERIFY2(iLongestStall < 1000, qPrintable(QString::number(iLongestStall)));
}

void TestPduAlarm::exitBudgetDropsWhatIsLeft()
{
    ScriptedServer silent({ScriptedServer::silence(8000)});
    g_settings.smtpPort = silent.port();
    FinishedMails finished;
    CPdu& pdu = *newDevice();
    PduInfo info;
    info.voltage = 305;
    info.humidity = 90;
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QCOMPARE(CMailQueue::instance()->pending(), 3);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(CMailQueue::instance()->shutdown(1500));
    const qint64 iElapsed = timer.elapsed();
    qInfo("three mails to a silent server given 1500 ms: stopped after %lld ms", iElapsed);
    QVERIFY2(iElapsed >= 1300 && iElapsed < 3500, qPrintable(QString::number(iElapsed)));
    QCOMPARE(CMailQueue::instance()->pending(), 0);
    QTRY_COMPARE(finished.listDelivered, (QList<bool>{false, false, false}));

    // Mail queued afterwards starts the worker again.
    g_settings.smtpPort = m_server.port();
    PduInfo calm;
    feed(pdu, kCmdStatus, calm);
    tick(pdu);
    feed(pdu, kCmdStatus, info);
    tick(pdu);
    QCOMPARE(takeBodies(3).size(), 3);
}

void TestPduAlarm::queuedMailGoesOutAtExit()
{
    // A child process queues three mails and leaves its event loop at once; its exit waits for them.
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MAIL_EXIT_CHILD_PORT"), QString::number(m_server.port()));
    child.setProcessEnvironment(env);
    QElapsedTimer timer;
    timer.start();
    child.start(QCoreApplication::applicationFilePath(), QStringList());
    QVERIFY(child.waitForFinished(30000));
    QCOMPARE(child.exitCode(), 0);
    qInfo("child with three queued mails exited after %lld ms", timer.elapsed());
    QStringList listBodies = takeBodies(3);
    listBodies.sort();
    QCOMPARE(listBodies,
             (QStringList{QStringLiteral("exit 0"), QStringLiteral("exit 1"), QStringLiteral("exit 2")}));
}

// The child side of queuedMailGoesOutAtExit.
static int queueAndExit(int argc, char** argv, quint16 uiPort)
{
    QCoreApplication app(argc, argv);
    for (int i = 0; i < 3; ++i) {
        MailJob job;
        job.host = QStringLiteral("127.0.0.1");
        job.port = uiPort;
        job.account = kUser;
        job.password = kPassword;
        job.receiver = QStringLiteral("ops@site.test");
        job.subject = QStringLiteral("PDU Warning");
        job.body = QStringLiteral("exit %1").arg(i);
        CMailQueue::instance()->enqueue(job);
    }
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}

int main(int argc, char** argv)
{
    const quint16 uiChildPort = static_cast<quint16>(qEnvironmentVariableIntValue("MAIL_EXIT_CHILD_PORT"));
    if (uiChildPort != 0)
        return queueAndExit(argc, argv, uiChildPort);
    QApplication app(argc, argv);
    TestPduAlarm test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_pdualarm.moc"
