#include "../mail/MailTestServers.h"

#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "device/AlarmTracker.h"
#include "device/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "mail/MailQueue.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/frame/SystemTrayIcon.h"

#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

// Alarm lifecycle from the device's tick to the mail server: debounce, hysteresis, acknowledgement,
// notices of the end and combined mails.
class TestAlarmTracker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void standingAlarm_data();
    void standingAlarm();
    void debounceAndHysteresis_data();
    void debounceAndHysteresis();
    void storm_data();
    void storm();

private:
    CPdu* newDevice(quint32 uiIp = 0x0AC80101);
    void setVoltage(CPdu& pdu, quint32 uiVolts);
    void tick(CPdu& pdu);
    QStringList takeMails(int iMax, int iMsec = 15000);

    AiosmtpdServer m_server;
    QDateTime m_dtNow = QDateTime(QDate(2026, 12, 7), QTime(3, 0, 0), Qt::UTC);
    QList<CPdu*> m_listDevices;
};

void TestAlarmTracker::initTestCase()
{
    QVERIFY2(m_server.start(QStringLiteral("a@rack.test"), QStringLiteral("pw")),
             qPrintable(m_server.errorString()));
    Clock::setSource([this] { return m_dtNow; });
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = m_server.port();
    g_settings.smtpAccount = QStringLiteral("a@rack.test");
    g_settings.smtpAllowUnencryptedPassword = true;
    g_settings.smtpPassword = QStringLiteral("pw");
    g_settings.smtpReceiver = QStringLiteral("ops@site.test");
}

void TestAlarmTracker::init()
{
    qDeleteAll(m_listDevices);
    m_listDevices.clear();
    g_alarmSettings = AlarmSettings();
    QVERIFY(CAlarmTracker::instance()->activeAlarms().isEmpty());
    QVERIFY(takeMails(100, 300).isEmpty());
}

CPdu* TestAlarmTracker::newDevice(quint32 uiIp)
{
    auto* pPdu = new CPdu;
    pPdu->timerEmail.stop();
    ipv4FromUint(uiIp, pPdu->stInfo.ip);
    m_listDevices << pPdu;
    return pPdu;
}

void TestAlarmTracker::setVoltage(CPdu& pdu, quint32 uiVolts)
{
    PduInfo info = pdu.stInfo;
    info.voltage = uiVolts;
    pdu.slotRcvData(buildFrame(kFrameReply, kCmdStatus, payloadFor(kCmdStatus, info)));
}

void TestAlarmTracker::tick(CPdu& pdu)
{
    pdu.slotEmailTimer();
}

QStringList TestAlarmTracker::takeMails(int iMax, int iMsec)
{
    QStringList listMails;
    (void)QTest::qWaitFor([] { return CMailQueue::instance()->pending() == 0; }, 30000);
    while (listMails.size() < iMax) {
        const QJsonObject mail =
            m_server.takeEvent(QStringLiteral("mail"), listMails.isEmpty() ? iMsec : 500);
        if (mail.isEmpty())
            break;
        listMails << QString::fromUtf8(
            QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
    }
    return listMails;
}

void TestAlarmTracker::standingAlarm_data()
{
    QTest::addColumn<bool>("mailOnClear");
    QTest::newRow("defaults: no notice of the end") << false;
    QTest::newRow("mail when an alarm clears") << true;
}

void TestAlarmTracker::standingAlarm()
{
    QFETCH(bool, mailOnClear);
    g_alarmSettings.mailOnClear = mailOnClear;
    CAlarmTracker* pTracker = CAlarmTracker::instance();
    QSignalSpy spyBegan(pTracker, &CAlarmTracker::signalAlarmBegan);
    QSignalSpy spyEnded(pTracker, &CAlarmTracker::signalAlarmEnded);
    QSignalSpy spyAck(pTracker, &CAlarmTracker::signalAlarmAcknowledged);
    CAlarmPanel panel;
    panel.show();
    QTreeWidget* pRows = panel.treeWidget();
    CPdu* pActivated = nullptr;
    connect(&panel, &CAlarmPanel::signalPduActivated, this, [&](CPdu* pPdu) { pActivated = pPdu; });
    CSystemTrayIcon tray;
    CPdu& pdu = *newDevice();
    setVoltage(pdu, 260);
    for (int i = 0; i < 5; ++i) {
        tick(pdu);
        m_dtNow = m_dtNow.addSecs(1);
    }
    QStringList listMails = takeMails(10);
    QCOMPARE(listMails.size(), 1);
    QVERIFY(listMails.first().contains(QStringLiteral("Subject: PDU Warning\r\n")));
    QCOMPARE(spyBegan.size(), 1);
    const quint64 uiId = pTracker->activeAlarms().value(0).uiId;
    QTRY_COMPARE(pRows->topLevelItemCount(), 1);
    QTRY_COMPARE(tray.toolTip(), QStringLiteral("Rackmind\nUnacknowledged alarms: 1"));
    emit pRows->itemDoubleClicked(pRows->topLevelItem(0), 0);
    QCOMPARE(pActivated, &pdu);

    // Acknowledged from the panel: still listed, no longer counted.
    pRows->topLevelItem(0)->setSelected(true);
    QTest::mouseClick(panel.findChild<QPushButton*>(QStringLiteral("BtnAcknowledge")), Qt::LeftButton);
    QVERIFY(!pTracker->acknowledge(uiId));
    QCOMPARE(spyAck.size(), 1);
    QTRY_COMPARE(tray.toolTip(), QStringLiteral("Rackmind"));
    tick(pdu);
    QTRY_COMPARE(pRows->topLevelItem(0)->text(CAlarmPanel::ColumnAcknowledged), QStringLiteral("Yes"));
    const ActiveAlarm alarm = pTracker->activeAlarms().value(0);
    QVERIFY(alarm.bAcknowledged);
    QCOMPARE(alarm.dtAcknowledged, m_dtNow);
    QCOMPARE(pTracker->unacknowledgedCount(), 0);

    // Back to normal after 1 h 1 min 5 s in all.
    m_dtNow = m_dtNow.addSecs(3660);
    setVoltage(pdu, 220);
    tick(pdu);
    tick(pdu);
    QVERIFY(pTracker->activeAlarms().isEmpty());
    QTRY_COMPARE(pRows->topLevelItemCount(), 0);
    QCOMPARE(spyEnded.size(), 1);
    listMails = takeMails(10, 1000);
    QCOMPARE(listMails.size(), mailOnClear ? 1 : 0);
    if (mailOnClear)
        QVERIFY2(listMails.first().contains(QStringLiteral("Subject: PDU Warning Cleared\r\n")) &&
                     listMails.first().contains(
                         QStringLiteral("Voltage Warn Cleared\r\n\r\nValue:220\r\nWarn "
                                        "Limit:250\r\nLasted:01:01:05\r\n\r\nIP:10.200.1.1\r\n")),
                 qPrintable(listMails.first()));
}

void TestAlarmTracker::debounceAndHysteresis_data()
{
    QTest::addColumn<int>("debounce");
    QTest::addColumn<int>("hysteresis");
    QTest::addColumn<QList<int>>("volts");
    QTest::addColumn<int>("mails");

    QTest::newRow("one-poll spike, defaults") << 1 << 0 << QList<int>{251, 220, 220, 220} << 1;
    QTest::newRow("one-poll spike, debounce 3") << 3 << 0 << QList<int>{251, 220, 251, 251, 220} << 0;
    QTest::newRow("three polls, debounce 3") << 3 << 0 << QList<int>{251, 251, 251, 251} << 1;
    QTest::newRow("hovering, no margin") << 1 << 0 << QList<int>{250, 249, 250, 249, 250} << 3;
    QTest::newRow("hovering, 2% margin") << 1 << 2 << QList<int>{250, 249, 250, 246, 250, 245, 250} << 1;
    QTest::newRow("clear of the 2% margin") << 1 << 2 << QList<int>{250, 244, 250} << 2;
}

void TestAlarmTracker::debounceAndHysteresis()
{
    QFETCH(int, debounce);
    QFETCH(int, hysteresis);
    QFETCH(QList<int>, volts);
    QFETCH(int, mails);
    g_alarmSettings.debouncePolls = debounce;
    g_alarmSettings.hysteresisPercent = hysteresis;
    CPdu& pdu = *newDevice();
    for (int iVolts : volts) {
        setVoltage(pdu, quint32(iVolts));
        tick(pdu);
        m_dtNow = m_dtNow.addSecs(1);
    }
    const QStringList listMails = takeMails(10, 1000);
    QCOMPARE(listMails.size(), mails);
    for (const QString& strMail : listMails)
        QVERIFY(strMail.contains(QStringLiteral("Voltage Warn\r\n")));
}

void TestAlarmTracker::storm_data()
{
    QTest::addColumn<bool>("combine");
    QTest::newRow("one mail each") << false;
    QTest::newRow("combined") << true;
}

void TestAlarmTracker::storm()
{
    QFETCH(bool, combine);
    g_alarmSettings.combineMails = combine;
    for (int i = 0; i < 50; ++i) {
        CPdu& pdu = *newDevice(0x0AC80101 + quint32(i));
        setVoltage(pdu, 251);
        tick(pdu);
    }
    CAlarmTracker::instance()->flushDue();
    QCOMPARE(CAlarmTracker::instance()->activeAlarms().size(), 50);
    if (combine) {
        QVERIFY(takeMails(1, 500).isEmpty());
        m_dtNow = m_dtNow.addSecs(60);
        CAlarmTracker::instance()->flushDue();
    }
    const QStringList listMails = takeMails(60);
    QCOMPARE(listMails.size(), combine ? 1 : 50);
    QSet<QString> setDevices;
    for (const QString& strMail : listMails) {
        QCOMPARE(strMail.count(QStringLiteral("Voltage Warn\r\n")), combine ? 50 : 1);
        for (int i = 1; i <= 50; ++i)
            if (strMail.contains(QStringLiteral("IP:10.200.1.%1\r\n").arg(i)))
                setDevices << QString::number(i);
    }
    QCOMPARE(setDevices.size(), 50);
}

QTEST_MAIN(TestAlarmTracker)
#include "tst_alarmtracker.moc"
