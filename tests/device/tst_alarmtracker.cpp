#include "../common/RecordingNotifier.h"
#include "tests/common/DataRows.h"

#include "common/Clock.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/system/AlarmConfigWidget.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <cstring>
#include <memory>
#include <utility>

using RestoredRow = std::tuple<QStringList, int, int, int>;
Q_DECLARE_METATYPE(RestoredRow)

using DebounceRow = std::tuple<int, int, QList<int>, int>;
Q_DECLARE_METATYPE(DebounceRow)

// Alarm lifecycle from the device's tick to the tracker's notices (the alarm mail's subject and text):
// debounce, hysteresis, acknowledgement, notices of the end, combined mails, and alarms that stand across
// a restart. The clock is stepped; the mail's delivery is tst_smtpclient's.
class TestAlarmTracker : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Clock::setSource([this] { return m_dtNow; });
    }
    void init()
    {
        g_alarmSettings = AlarmSettings();
        m_pTracker = std::make_unique<CAlarmTracker>();
        m_pTracker->addNotifier(&m_notices);
        m_notices.listNotices.clear();
    }
    void cleanup()
    {
        qDeleteAll(m_listDevices);
        m_listDevices.clear();
        m_pTracker.reset();
    }
    void standingAlarm_data()
    {
        addFalseTrueRows("mailOnClear", "defaults: no notice of the end", "mail when an alarm clears");
    }
    void standingAlarm()
    {
        QFETCH(bool, mailOnClear);
        g_alarmSettings.mailOnClear = mailOnClear;
        CAlarmTracker* pTracker = m_pTracker.get();
        QSignalSpy spyBegan(pTracker, &CAlarmTracker::signalAlarmBegan);
        QSignalSpy spyEnded(pTracker, &CAlarmTracker::signalAlarmEnded);
        QSignalSpy spyAck(pTracker, &CAlarmTracker::signalAlarmAcknowledged);
        CAlarmPanel panel;
        panel.setAlarmTracker(pTracker);
        panel.show();
        QTreeWidget* pRows = panel.treeWidget();
        CPdu* pActivated = nullptr;
        connect(&panel, &CAlarmPanel::signalPduActivated, this, [&](CPdu* pPdu) { pActivated = pPdu; });
        CSystemTrayIcon tray;
        tray.setAlarmTracker(pTracker);
        CPdu& pdu = *newDevice();
        setVoltage(pdu, 260);
        for (int i = 0; i < 5; ++i) {
            tick(pdu);
            m_dtNow = m_dtNow.addSecs(1);
        }
        QStringList listMails = takeMails();
        QCOMPARE(listMails.size(), 1);
        QVERIFY(listMails.first().contains(QStringLiteral("Subject: PDU Warning\n")));
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
        listMails = takeMails();
        QCOMPARE(listMails.size(), mailOnClear ? 1 : 0);
        if (mailOnClear)
            QVERIFY2(
                listMails.first().contains(QStringLiteral("Subject: PDU Warning Cleared\n")) &&
                    listMails.first().contains(QStringLiteral("Voltage Warn Cleared\n\nValue:220\nWarn "
                                                              "Limit:250\nLasted:01:01:05\n\nIP:10.200.1.1")),
                qPrintable(listMails.first()));
    }
    void debounceAndHysteresis_data()
    {
        QTest::addColumn<DebounceRow>("row");

        QTest::newRow("one-poll spike, defaults") << DebounceRow(1, 0, {251, 220, 220, 220}, 1);
        QTest::newRow("one-poll spike, debounce 3") << DebounceRow(3, 0, {251, 220, 251, 251, 220}, 0);
        QTest::newRow("three polls, debounce 3") << DebounceRow(3, 0, {251, 251, 251, 251}, 1);
        QTest::newRow("hovering, no margin") << DebounceRow(1, 0, {250, 249, 250, 249, 250}, 3);
        QTest::newRow("hovering, 2% margin") << DebounceRow(1, 2, {250, 249, 250, 246, 250, 245, 250}, 1);
        QTest::newRow("clear of the 2% margin") << DebounceRow(1, 2, {250, 244, 250}, 2);
    }
    void debounceAndHysteresis()
    {
        QFETCH(DebounceRow, row);
        const auto& [debounce, hysteresis, volts, mails] = row;
        g_alarmSettings.debouncePolls = debounce;
        g_alarmSettings.hysteresisPercent = hysteresis;
        CPdu& pdu = *newDevice();
        for (int iVolts : volts) {
            setVoltage(pdu, quint32(iVolts));
            tick(pdu);
            m_dtNow = m_dtNow.addSecs(1);
        }
        const QStringList listMails = takeMails();
        QCOMPARE(listMails.size(), mails);
        for (const QString& strMail : listMails)
            QVERIFY(strMail.contains(QStringLiteral("Voltage Warn\n")));
    }
    void storm_data() { addFalseTrueRows("combine", "one mail each", "combined"); }
    void storm()
    {
        QFETCH(bool, combine);
        g_alarmSettings.combineMails = combine;
        for (int i = 0; i < 50; ++i) {
            CPdu& pdu = *newDevice(0x0AC80101 + quint32(i));
            setVoltage(pdu, 251);
            tick(pdu);
        }
        m_pTracker->flushDue();
        QCOMPARE(m_pTracker->activeAlarms().size(), 50);
        if (combine) {
            QVERIFY(takeMails().isEmpty());
            m_dtNow = m_dtNow.addSecs(60);
            m_pTracker->flushDue();
        }
        const QStringList listMails = takeMails();
        QCOMPARE(listMails.size(), combine ? 1 : 50);
        QSet<QString> setDevices;
        const QRegularExpression reAddress(QStringLiteral("^IP:10\\.200\\.1\\.(\\d+)$"),
                                           QRegularExpression::MultilineOption);
        for (const QString& strMail : listMails) {
            QCOMPARE(strMail.count(QStringLiteral("Voltage Warn\n")), combine ? 50 : 1);
            for (auto it = reAddress.globalMatch(strMail); it.hasNext();)
                setDevices << it.next().captured(1);
        }
        QCOMPARE(setDevices.size(), 50);
    }
    void limitsAndFreshReplies_data()
    {
        // Steps: "network", "limits V" (its voltage warning limit), "status V", "tick", "=N" (N alarms
        // stand).
        QTest::addColumn<int>("debounce");
        QTest::addColumn<QString>("steps");
        QTest::newRow("status before the limits")
            << 1 << "network,status 251,tick,=0,tick,=0,limits 260,tick,status 251,tick,=0";
        QTest::newRow("status before the identity") << 1 << "limits 250,status 251,tick,=0,network,tick,=1";
        QTest::newRow("one reading counts once, debounce 3")
            << 3 << "network,limits 250,status 251,tick,tick,tick,tick,=0,status 251,tick,status 251,tick,=1";
        QTest::newRow("three fresh replies within one tick, debounce 3")
            << 3 << "network,limits 250,status 251,status 251,status 251,tick,=1";
        // A reading hovering about its limit faster than the tick: sampled at each tick it would seem to
        // hold.
        QTest::newRow("alternating replies, debounce 3")
            << 3
            << "network,limits 250,status 251,status 249,status 251,tick,"
               "status 249,status 251,tick,status 249,status 251,tick,=0";
    }
    void limitsAndFreshReplies()
    {
        QFETCH(int, debounce);
        QFETCH(QString, steps);
        g_alarmSettings.debouncePolls = debounce;
        CPdu& pdu = *newDevice(0x0AC80101, true);
        PduInfo info = pdu.stInfo;
        for (const QString& strStep : steps.split(QLatin1Char(','))) {
            const QStringList listWords = strStep.split(QLatin1Char(' '));
            const uint uiValue = listWords.value(1).toUInt();
            if (strStep == QLatin1String("tick")) {
                tick(pdu);
                m_dtNow = m_dtNow.addSecs(1);
            } else if (strStep.startsWith(QLatin1Char('='))) {
                QCOMPARE(m_pTracker->activeAlarms().size(), strStep.mid(1).toInt());
                // The status panel counts what the alarms would: nothing before the limits are known.
                QCOMPARE(pdu.isAbnormal(), pdu.limitsKnown() && info.voltage >= info.voltageWarn);
            } else {
                const quint8 cmd = listWords.first() == QLatin1String("network")  ? kCmdNetwork
                                   : listWords.first() == QLatin1String("limits") ? kCmdThresholds
                                                                                  : kCmdStatus;
                (cmd == kCmdThresholds ? info.voltageWarn : info.voltage) = uiValue ? uiValue : info.voltage;
                reply(pdu, cmd, info);
            }
        }
        const int iStanding = m_pTracker->activeAlarms().size();
        QCOMPARE(takeMails().size(), iStanding);
    }
    void standingAcrossRestart_data()
    {
        addFalseTrueRows("mailAgain", "not mailed again", "mailed again (default)");
    }
    void standingAcrossRestart()
    {
        QFETCH(bool, mailAgain);
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        ActiveAlarm before;
        {
            Run run(strPath, &m_notices);
            QVERIFY(run.store.isAvailable());
            runDevice(run, 1, 0x42, 260);
            QCOMPARE(run.tracker.activeAlarms().size(), 1);
            run.tracker.acknowledgeAll();
            before = run.tracker.activeAlarms().value(0);
        }
        QCOMPARE(takeMails().size(), 1);
        // The operator's choice on the Alarms page, read by the next start.
        {
            CAlarmConfigWidget page;
            page.findChild<QCheckBox*>(QStringLiteral("CheckMailAfterRestart"))->setChecked(mailAgain);
            QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
        }
        g_alarmSettings = AlarmSettings();
        loadAlarmSettings();
        m_dtNow = m_dtNow.addSecs(600);
        {
            Run run(strPath, &m_notices);
            CPdu* pPdu = runDevice(run, 1, 0x42, 260);
            const ActiveAlarm after = run.tracker.activeAlarms().value(0);
            QCOMPARE(run.tracker.activeAlarms().size(), 1);
            QVERIFY(after.bAcknowledged);
            QCOMPARE(after.dtSince, before.dtSince);
            QCOMPARE(after.dtAcknowledged, before.dtAcknowledged);
            QCOMPARE(after.strAcknowledgedBy, before.strAcknowledgedBy);
            QCOMPARE(run.tracker.unacknowledgedCount(), 0);
            setVoltage(*pPdu, 220);
            tick(*pPdu);
        }
        QCOMPARE(takeMails().size(), mailAgain ? 1 : 0);
        // The log holds the one alarm: began once, acknowledged once, ended once, each naming its start.
        CHistoryReader reader(strPath);
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::AlarmBegan, HistoryEvent::AlarmAcknowledged,
                            HistoryEvent::AlarmEnded};
        const QVector<HistoryEvent> vecEvents = reader.events(filter);
        QCOMPARE(vecEvents.size(), 3);
        QCOMPARE(vecEvents.at(2).iKind, int(HistoryEvent::AlarmBegan));
        QCOMPARE(vecEvents.at(2).iMsecs, before.dtSince.toMSecsSinceEpoch());
        for (int i : {0, 1})
            QCOMPARE(QDateTime::fromString(vecEvents.at(i).strDetail.section(QStringLiteral("since "), 1),
                                           Qt::ISODate),
                     before.dtSince);
        QVERIFY(reader.standingAlarms().isEmpty());
    }
    void restoredAlarmFindsItsDevice_data()
    {
        // An acknowledged voltage alarm stood on 10.200.1.1 (MAC ..:42) when the program stopped. The room at
        // the next start: "address MAC volts" per device, judged in this order.
        // acknowledgedAt: last byte of the address still acknowledged; 0: none
        // ended: "ended" entries in the log
        QTest::addColumn<RestoredRow>("row");
        QTest::newRow("still standing") << RestoredRow({"1 42 260"}, 1, 0, 1);
        QTest::newRow("cleared while stopped") << RestoredRow({"1 42 220"}, 0, 1, 0);
        QTest::newRow("a twin with the same MAC first, in alarm")
            << RestoredRow({"2 42 260", "1 42 260"}, 1, 0, 2);
        QTest::newRow("a twin with the same MAC first, clear")
            << RestoredRow({"2 42 220", "1 42 260"}, 1, 0, 1);
        QTest::newRow("the address now reports another MAC") << RestoredRow({"1 43 260"}, 0, 0, 1);
    }
    void restoredAlarmFindsItsDevice()
    {
        QFETCH(RestoredRow, row);
        const auto& [room, acknowledgedAt, ended, mails] = row;
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        // One run of the program; returns the last byte of the address whose alarm is acknowledged.
        const auto run = [&](const QStringList& listRoom, bool bAcknowledge) {
            Run run(strPath, &m_notices);
            for (const QString& strDevice : listRoom) {
                const QStringList listWords = strDevice.split(QLatin1Char(' '));
                runDevice(run, listWords.at(0).toUInt(), quint8(listWords.at(1).toUInt(nullptr, 16)),
                          listWords.at(2).toUInt());
            }
            if (bAcknowledge)
                run.tracker.acknowledgeAll();
            QList<int> listAcknowledged;
            for (const ActiveAlarm& alarm : run.tracker.activeAlarms())
                if (alarm.bAcknowledged)
                    listAcknowledged << int(alarm.pPdu->sendIPv4() & 0xFF);
            return listAcknowledged;
        };
        QCOMPARE(run({"1 42 260"}, true), QList<int>{1});
        QCOMPARE(takeMails().size(), 1);
        m_dtNow = m_dtNow.addSecs(600);
        QCOMPARE(run(room, false), acknowledgedAt ? QList<int>{acknowledgedAt} : QList<int>());
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::AlarmEnded};
        QCOMPARE(CHistoryReader(strPath).events(filter).size(), ended);
        QCOMPARE(takeMails().size(), mails);
    }
    void alarmsInARowPaired_data()
    {
        // Two voltage alarms on one device, an hour apart, in Berlin's time.
        QTest::addColumn<QDateTime>("first");
        QTest::newRow("winter") << QDateTime(QDate(2026, 12, 7), QTime(3, 0), Qt::UTC);
        QTest::newRow("the hour the autumn clock change repeats")
            << QDateTime(QDate(2026, 10, 25), QTime(0, 30), Qt::UTC);
    }
    void alarmsInARowPaired()
    {
        QFETCH(QDateTime, first);
        const QByteArray baZone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        {
            Run run(strPath, nullptr);
            CPdu* pPdu = runDevice(run, 1, 0x42, 220);
            for (int iHour : {0, 1}) {
                m_dtNow = first.addSecs(3600 * iHour);
                for (uint uiVolts : {260u, 220u}) {
                    setVoltage(*pPdu, uiVolts);
                    tick(*pPdu);
                    m_dtNow = m_dtNow.addSecs(60);
                }
            }
        }
        baZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", baZone);
        takeMails();
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::AlarmBegan, HistoryEvent::AlarmEnded};
        QVector<HistoryEvent> vecEvents = CHistoryReader(strPath).events(filter);
        std::reverse(vecEvents.begin(), vecEvents.end());
        QCOMPARE(vecEvents.size(), 4);
        // Each "ended" names the start of its own alarm, unmistakably.
        for (int i : {1, 3}) {
            const QString strSince = vecEvents.at(i).strDetail.section(QStringLiteral("since "), 1);
            QCOMPARE(QDateTime::fromString(strSince, Qt::ISODate).toMSecsSinceEpoch(),
                     vecEvents.at(i - 1).iMsecs);
        }
    }

private:
    // A device that has reported who it is and its limits (the factory ones), as every real one does
    // before its readings are judged; bare: nothing reported yet.
    CPdu* newDevice(quint32 uiIp = 0x0AC80101, bool bBare = false)
    {
        auto* pPdu = new CPdu;
        pPdu->timerEmail.stop();
        pPdu->pAlarmTracker = m_pTracker.get();
        ipv4FromUint(uiIp, pPdu->stInfo.ip);
        m_listDevices << pPdu;
        if (!bBare) {
            PduInfo info = pPdu->stInfo;
            std::memcpy(info.mac + 2, &uiIp, 4);
            reply(*pPdu, kCmdNetwork, info);
            reply(*pPdu, kCmdThresholds, info);
        }
        return pPdu;
    }
    void reply(CPdu& pdu, quint8 cmd, const PduInfo& info)
    {
        pdu.slotRcvData(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
    }
    void setVoltage(CPdu& pdu, quint32 uiVolts)
    {
        PduInfo info = pdu.stInfo;
        info.voltage = uiVolts;
        reply(pdu, kCmdStatus, info);
    }
    void tick(CPdu& pdu) { pdu.slotEmailTimer(); }
    // One start of the program over the store at strPath: registry, tracker and recorder wired as the
    // login wires them; the store is flushed as the program ends.
    struct Run
    {
        CHistoryStore store;
        CRackmind registry;
        CAlarmTracker tracker;
        Run(const QString& strPath, RecordingNotifier* pNotices) : store(strPath)
        {
            if (pNotices)
                tracker.addNotifier(pNotices);
            registry.setAlarmTracker(&tracker);
            CHistoryRecorder::attach(&store, &registry, &tracker);
        }
        ~Run() { store.flush(); }
    };
    // A device of the run at 10.200.1.uiHost with MAC ..:uiMac, reporting its factory limits and uiVolts,
    // after one tick.
    CPdu* runDevice(Run& run, quint32 uiHost, quint8 uiMac, quint32 uiVolts)
    {
        CPdu* pPdu = run.registry.addPdu(0x0AC80100 + uiHost);
        pPdu->timerEmail.stop();
        PduInfo info = pPdu->stInfo;
        info.mac[5] = uiMac;
        reply(*pPdu, kCmdNetwork, info);
        reply(*pPdu, kCmdThresholds, info);
        setVoltage(*pPdu, uiVolts);
        tick(*pPdu);
        return pPdu;
    }
    QStringList takeMails() { return m_notices.take(); }

    RecordingNotifier m_notices;
    std::unique_ptr<CAlarmTracker> m_pTracker;
    QDateTime m_dtNow = QDateTime(QDate(2026, 12, 7), QTime(3, 0, 0), Qt::UTC);
    QList<CPdu*> m_listDevices;
};

QTEST_MAIN(TestAlarmTracker)
#include "tst_alarmtracker.moc"
