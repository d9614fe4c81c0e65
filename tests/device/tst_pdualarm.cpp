#include "../mail/MailTestServers.h"

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "room/RoomAlarms.h"
#include "settings/Settings.h"
#include "tests/common/TestFrames.h"

#include <QtTest>

#include <memory>

namespace {
const QString kUser = QStringLiteral("alarm@rack.test");
const QString kPassword = QStringLiteral("pw");
const QString kReceiver = QStringLiteral("ops@site.test");

// The text part of a stored mail, with its line ends as the alarm wrote them.
QString bodyOf(const QJsonObject& mail)
{
    const QString strData =
        QString::fromUtf8(QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
    const int iStart = strData.lastIndexOf(QStringLiteral("8bit\r\n\r\n")) + 8;
    return strData.mid(iStart, strData.indexOf(QStringLiteral("\r\n--"), iStart) - iStart)
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

// Alarm mails from the one-second tick through the room's tracker and alarm mail, delivered to a real SMTP
// server in the background.
class TestPduAlarm : public QObject
{
    Q_OBJECT
    AiosmtpdServer m_server;
    CRoomAlarms m_alarms;
    QDateTime m_dtNow = QDateTime(QDate(2026, 12, 6), QTime(21, 0, 0));

    // A device that has reported info; the test drives its ticks.
    std::unique_ptr<CPdu> device(const PduInfo& info)
    {
        auto pPdu = std::make_unique<CPdu>();
        pPdu->timerEmail.stop();
        pPdu->pAlarmTracker = &m_alarms.tracker;
        for (quint8 cmd : kReplyCommands)
            pPdu->slotRcvData(replyFrame(cmd, info));
        return pPdu;
    }
    void tick(CPdu& pdu)
    {
        m_dtNow = m_dtNow.addSecs(1);
        pdu.slotEmailTimer();
    }
    QStringList takeBodies(int iCount)
    {
        QStringList listBodies;
        for (int i = 0; i < iCount; ++i) {
            const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"), 15000);
            if (mail.isEmpty())
                break;
            const bool bAddressed = mail.value(QStringLiteral("mail_from")).toString() == kUser &&
                                    mail.value(QStringLiteral("rcpt_tos")).toArray() == QJsonArray{kReceiver};
            listBodies << (bAddressed ? bodyOf(mail) : QStringLiteral("misaddressed"));
        }
        return listBodies;
    }
    bool noFurtherMail()
    {
        return QTest::qWaitFor([this] { return m_alarms.mailQueue.pending() == 0; }, 15000) &&
               m_server.takeEvent(QStringLiteral("mail"), 300).isEmpty();
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(kUser, kPassword), qPrintable(m_server.errorString()));
        Clock::setSource([this] { return m_dtNow; });
    }

    void init()
    {
        m_server.useForAlarms(kReceiver);
        QTRY_COMPARE_WITH_TIMEOUT(m_alarms.mailQueue.pending(), 0, 15000);
    }

    // Every condition mails once as it starts, in the order checked, with the settings of when it was
    // queued; it mails again only after it has cleared, a failed mail is not retried, and a device fallen
    // silent keeps its last readings without mailing more. A name of 16 bytes with a '%' and UTF-8 arrives
    // whole; line breaks in a location show as escapes on its line (or a unit's settings could fake
    // readings).
    void mailsOncePerCondition()
    {
        PduInfo info = filledInfo(); // 10.200.1.5
        std::memcpy(info.name, QStringLiteral("机柜%1 A7%2xyz").toUtf8().constData(), 16);
        storeDeviceText(QStringLiteral("A\r\n.\nB\u2028C\x1b["), info.position, 16);
        info.voltage = 260;
        info.current = 16.0;
        info.temperature = 45;
        info.humidity = 90;
        const std::unique_ptr<CPdu> pPdu = device(info);
        tick(*pPdu);
        // Changed right after queueing: the queued mails keep the settings they were made with.
        g_settings.smtpPort = 1;
        g_settings.smtpReceiver = QStringLiteral("changed@site.test");
        const QString strWhere =
            QStringLiteral("\n\nIP:10.200.1.5\nName:机柜%1 A7%2xyz\nLocation:A\\r\\n.\\nB\\u2028C\\x1b[");
        const QStringList listExpected{
            QStringLiteral("Voltage Warn\n\nValue:260\nWarn Limit:240") + strWhere,
            QStringLiteral("Voltage Overload\n\nValue:260\nOverload Limit:260") + strWhere,
            QStringLiteral("Current Warn\n\nValue:16\nWarn Limit:10.2") + strWhere,
            QStringLiteral("Current Overload\n\nValue:16\nWarn Limit:16") + strWhere,
            QStringLiteral("Temprature Warn\n\nValue:45\nUpper Limit:45\nLower Limit:1") + strWhere,
            QStringLiteral("Humidity Warn\n\nValue:90\nWarn Limit:90") + strWhere};
        QCOMPARE(takeBodies(6), listExpected);
        init();
        tick(*pPdu);
        tick(*pPdu);
        QVERIFY(noFurtherMail());

        PduInfo calm = info;
        calm.humidity = 89;
        pPdu->slotRcvData(replyFrame(kCmdStatus, calm));
        tick(*pPdu);
        pPdu->slotRcvData(replyFrame(kCmdStatus, info));
        tick(*pPdu);
        QCOMPARE(takeBodies(1), listExpected.mid(5));
        QVERIFY(noFurtherMail());

        // A mail that fails is not tried again while its condition lasts.
        QList<bool> listDelivered;
        QObject context;
        connect(&m_alarms.mailQueue, &CMailQueue::signalMailFinished, &context,
                [&](bool bDelivered) { listDelivered << bDelivered; });
        g_settings.smtpHost.clear();
        pPdu->slotRcvData(replyFrame(kCmdStatus, calm));
        tick(*pPdu);
        pPdu->slotRcvData(replyFrame(kCmdStatus, info));
        tick(*pPdu);
        QTRY_COMPARE_WITH_TIMEOUT(listDelivered, QList<bool>{false}, 15000);
        tick(*pPdu);
        m_dtNow = m_dtNow.addSecs(10);
        QVERIFY(!pPdu->isOnline());
        tick(*pPdu);
        QVERIFY(noFurtherMail());
        QCOMPARE(listDelivered.size(), 1);
    }

    void queuedMailGoesOutAtExit()
    {
        // A child process queues three alarm mails and leaves its event loop at once; its exit waits for
        // them.
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("MAIL_EXIT_CHILD_PORT"), QString::number(m_server.port()));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), QStringList());
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QStringList listBodies = takeBodies(3);
        listBodies.sort();
        QCOMPARE(listBodies,
                 (QStringList{QStringLiteral("exit 0"), QStringLiteral("exit 1"), QStringLiteral("exit 2")}));
    }
};

// The child side of queuedMailGoesOutAtExit.
static int queueAndExit(int argc, char** argv, quint16 uiPort)
{
    QCoreApplication app(argc, argv);
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = uiPort;
    g_settings.smtpAccount = kUser;
    g_settings.smtpAllowUnencryptedPassword = true;
    g_settings.smtpPassword = kPassword;
    g_settings.smtpReceiver = kReceiver;
    CRoomAlarms alarms;
    for (int i = 0; i < 3; ++i)
        alarms.mail.notify({QStringLiteral("PDU Warning"), QStringLiteral("exit %1").arg(i)});
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    const int iResult = app.exec();
    // The owner's way out: what is queued gets its bounded time.
    return alarms.finish() ? iResult : 1;
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
