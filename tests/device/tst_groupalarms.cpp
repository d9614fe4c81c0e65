#include "../common/RecordingNotifier.h"

#include "common/Clock.h"
#include "device/AlarmTracker.h"
#include "device/GroupAlarms.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "settings/AlarmSettings.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <functional>
#include <memory>

using DebounceRow = std::tuple<int, int, QList<double>, int, int>;
Q_DECLARE_METATYPE(DebounceRow)

using BudgetRow = std::tuple<double, double, bool>;
Q_DECLARE_METATYPE(BudgetRow)

// Groups as circuits: budgets the operator may set, groups kept by MAC, and the two group alarms from
// the group's summed load to the tracker's notices, the event log and across a restart.
class TestGroupAlarms : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<CPdu*>();
        Clock::setSource([this] { return m_dtNow; });
    }
    void init()
    {
        g_alarmSettings = AlarmSettings();
        for (const QString& strGroup : groupBudgets().keys())
            setGroupBudget(strGroup, GroupBudget());
        m_pTracker = std::make_unique<CAlarmTracker>();
        m_pTracker->addNotifier(&m_notices);
        m_notices.listNotices.clear();
    }
    void cleanup() { m_pTracker.reset(); }
    void budgetValidation_data()
    {
        QTest::addColumn<BudgetRow>("row");
        QTest::newRow("no breaker") << BudgetRow(0.0, 0.8, false);
        QTest::newRow("negative breaker") << BudgetRow(-1.0, 0.8, false);
        QTest::newRow("beyond any rack circuit") << BudgetRow(1000.1, 0.8, false);
        QTest::newRow("largest breaker") << BudgetRow(1000.0, 0.8, true);
        QTest::newRow("16 A, no derating left") << BudgetRow(16.0, 0.0, false);
        QTest::newRow("16 A, derating over 100 %") << BudgetRow(16.0, 1.5, false);
        QTest::newRow("16 A at 80 %") << BudgetRow(16.0, 0.8, true);
        QTest::newRow("16 A at 100 %") << BudgetRow(16.0, 1.0, true);
    }
    void budgetValidation()
    {
        QFETCH(BudgetRow, row);
        const auto& [breaker, derating, accepted] = row;
        QCOMPARE(groupBudgetError(breaker, derating).isEmpty(), accepted);
        // A refused budget is never kept, and "Default" has none whatever is asked.
        setGroupBudget(QStringLiteral("rack 1"), {breaker, derating});
        setGroupBudget(QStringLiteral("Default"), {breaker, derating});
        QCOMPARE(groupBudget(QStringLiteral("rack 1")).isSet(), accepted);
        QVERIFY(!groupBudget(QStringLiteral("Default")).isSet());
    }
    void keptAcrossReload()
    {
        setGroupBudget(QStringLiteral("rack \"A\"/1"), {32, 0.5});
        setSavedGroup(QStringLiteral("00:04:a3:00:00:07"), QStringLiteral("rack \"A\"/1"));
        setSavedGroup(QStringLiteral("00:04:A3:00:00:08"), QStringLiteral("rack 2"));
        setSavedGroup(QStringLiteral("00:04:A3:00:00:08"), QStringLiteral("Default"));
        // What another start reads: the store replaces this run's memory.
        loadGroupSettings();
        QCOMPARE(groupBudget(QStringLiteral("rack \"A\"/1")).budgetAmps(), 16.0);
        QCOMPARE(savedGroup(QStringLiteral("00:04:A3:00:00:07")), QStringLiteral("rack \"A\"/1"));
        QCOMPARE(savedGroup(QStringLiteral("0004a3000007")), QStringLiteral("rack \"A\"/1"));
        QCOMPARE(savedGroup(QStringLiteral("00:04:A3:00:00:08")), QString());

        // A device is put in its group once it tells its MAC; the others stay where they are.
        CRackmind registry;
        registry.setAlarmTracker(m_pTracker.get());
        CGroupAlarms groups(&registry, m_pTracker.get());
        QSignalSpy spyMoved(&groups, &CGroupAlarms::signalDeviceGroupChanged);
        CPdu* pKept = addDevice(registry, 7, QString());
        CPdu* pOther = addDevice(registry, 8, QString());
        QCOMPARE(spyMoved.size(), 1);
        QCOMPARE(spyMoved.first().first().value<CPdu*>(), pKept);
        QCOMPARE(pKept->strGroup, QStringLiteral("rack \"A\"/1"));
        QCOMPARE(pOther->strGroup, QStringLiteral("Default"));
        // Another unit answers from the kept one's address: it is not in the kept one's group, until that
        // one answers there again.
        PduInfo info = pKept->stInfo;
        for (quint8 uiLast : {9, 7}) {
            info.mac[5] = uiLast;
            pKept->slotRcvData(buildFrame(kFrameReply, kCmdNetwork, payloadFor(kCmdNetwork, info)));
            QCOMPARE(pKept->strGroup,
                     uiLast == 9 ? QStringLiteral("Default") : QStringLiteral("rack \"A\"/1"));
        }
        // The service's file read again without the device's group: it leaves the group's load.
        setSavedGroup(QStringLiteral("00:04:A3:00:00:07"), QString());
        groups.applySavedGroups();
        QCOMPARE(pKept->strGroup, QStringLiteral("Default"));
        QCOMPARE(spyMoved.size(), 4);
    }
    void debounceAndMargin_data()
    {
        // Group "rack 1": three PDUs on a 16 A breaker derated to 80 % (12.8 A). Loads per check (A, in
        // equal thirds); mails expected of each condition.
        QTest::addColumn<DebounceRow>("row");
        QTest::newRow("at the budget is within it") << DebounceRow(1, 0, {12.6, 12.6, 12.6}, 0, 0);
        QTest::newRow("over, defaults") << DebounceRow(1, 0, {13.5, 9, 9}, 1, 0);
        QTest::newRow("one-check spike, debounce 3") << DebounceRow(3, 0, {13.5, 9, 13.5, 13.5, 9}, 0, 0);
        QTest::newRow("three checks, debounce 3") << DebounceRow(3, 0, {13.5, 13.5, 13.5, 13.5}, 1, 0);
        QTest::newRow("hovering, no margin") << DebounceRow(1, 0, {13.5, 12.6, 13.5, 12.6, 13.5}, 3, 0);
        QTest::newRow("hovering, 5 % margin") << DebounceRow(1, 5, {13.5, 12.6, 13.5, 12.3, 13.5}, 1, 0);
        QTest::newRow("clear of the 5 % margin") << DebounceRow(1, 5, {13.5, 12.0, 13.5}, 2, 0);
        QTest::newRow("to the breaker") << DebounceRow(1, 0, {16.5, 16.5, 3}, 1, 1);
    }
    void debounceAndMargin()
    {
        QFETCH(DebounceRow, row);
        const auto& [debounce, margin, loads, overMails, breakerMails] = row;
        g_alarmSettings.debouncePolls = debounce;
        g_alarmSettings.hysteresisPercent = margin;
        setGroupBudget(QStringLiteral("rack 1"), {16, 0.8});
        CRackmind registry;
        registry.setAlarmTracker(m_pTracker.get());
        CGroupAlarms groups(&registry, m_pTracker.get());
        const QList<CPdu*> listRack{addDevice(registry, 1, QStringLiteral("rack 1")),
                                    addDevice(registry, 2, QStringLiteral("rack 1")),
                                    addDevice(registry, 3, QStringLiteral("rack 1"))};
        // Beside it: a device with no group of its own, drawing far more.
        setCurrent(*addDevice(registry, 4, QStringLiteral("Default")), 40);
        m_dtNow = m_dtNow.addSecs(10);
        for (double dLoad : loads) {
            for (CPdu* pPdu : listRack)
                setCurrent(*pPdu, dLoad / 3);
            groups.check();
            m_dtNow = m_dtNow.addSecs(1);
        }
        const QStringList listMails = takeMails();
        QCOMPARE(listMails.filter(QStringLiteral("Group Load Over Budget\n")).size(), overMails);
        QCOMPARE(listMails.filter(QStringLiteral("Group Load At Breaker Rating\n")).size(), breakerMails);
        QCOMPARE(listMails.size(), overMails + breakerMails);
        for (const QString& strMail : listMails)
            QVERIFY2(strMail.contains(QStringLiteral("Group:rack 1")), qPrintable(strMail));
        setGroupBudget(QStringLiteral("rack 1"), GroupBudget());
        groups.check();
        QVERIFY(m_pTracker->activeAlarms().isEmpty());
    }
    void silentMember()
    {
        // A PDU of an over-budget group stops answering: what it drew is not known to be gone, so the alarm
        // stands, with no all-clear, until the group is heard whole again.
        g_alarmSettings.mailOnClear = true;
        setGroupBudget(QStringLiteral("rack 1"), {16, 0.8});
        CRackmind registry;
        registry.setAlarmTracker(m_pTracker.get());
        CGroupAlarms groups(&registry, m_pTracker.get());
        CPdu* pStays = addDevice(registry, 1, QStringLiteral("rack 1"));
        CPdu* pGoes = addDevice(registry, 2, QStringLiteral("rack 1"));
        setCurrent(*pStays, 3);
        setCurrent(*pGoes, 11);
        groups.check();
        m_dtNow = m_dtNow.addSecs(10);
        setCurrent(*pStays, 3);
        groups.check();
        QCOMPARE(m_pTracker->activeAlarms().size(), 1);
        setCurrent(*pGoes, 2);
        groups.check();
        QVERIFY(m_pTracker->activeAlarms().isEmpty());
        const QStringList listMails = takeMails();
        QCOMPARE(listMails.size(), 2);
        QCOMPARE(listMails.filter(QStringLiteral("Value:5 A")).size(), 1);
    }
    void standingBudgetTakenAway()
    {
        // Restored, and waiting for the group's PDU to answer, when the budget is taken away: it ends.
        CAlarmTracker* pTracker = m_pTracker.get();
        ActiveAlarm stood;
        stood.strMac = QLatin1String(ActiveAlarm::kGroupMac);
        stood.strAddress = QStringLiteral("rack 9");
        stood.iCondition = ActiveAlarm::kGroupOverBudget;
        stood.dtSince = m_dtNow;
        setGroupBudget(QStringLiteral("rack 9"), {16, 0.8});
        setSavedGroup(QStringLiteral("00:04:A3:00:00:09"), QStringLiteral("rack 9"));
        pTracker->restore({stood});
        CRackmind registry;
        registry.setAlarmTracker(m_pTracker.get());
        CGroupAlarms groups(&registry, m_pTracker.get());
        groups.check();
        QVERIFY(pTracker->groupWasStanding(QStringLiteral("rack 9"), ActiveAlarm::kGroupOverBudget));
        setGroupBudget(QStringLiteral("rack 9"), GroupBudget());
        groups.check();
        QVERIFY(!pTracker->groupWasStanding(QStringLiteral("rack 9"), ActiveAlarm::kGroupOverBudget));
        setSavedGroup(QStringLiteral("00:04:A3:00:00:09"), QString());
    }
    void standingAcrossRestart()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        CAlarmTracker* pTracker = nullptr; // each run's own, as each start of the program has
        g_alarmSettings.mailStandingAfterRestart = false;
        setGroupBudget(QStringLiteral("rack 1"), {16, 0.8});
        setSavedGroup(QStringLiteral("00:04:A3:00:00:01"), QStringLiteral("rack 1"));
        const auto groupAlarm = [&pTracker] {
            for (const ActiveAlarm& alarm : pTracker->activeAlarms())
                if (alarm.isGroupAlarm())
                    return alarm;
            return ActiveAlarm();
        };
        // One run: the store, the registry and recorder as the login wires them, and a group of one device
        // that draws 14 A at 260 V, so that the device's voltage alarm stands beside the group's.
        const auto run = [&](const std::function<void(CGroupAlarms&, CPdu&)>& fnDuring) {
            CHistoryStore store(strPath);
            QVERIFY(store.isAvailable());
            CRackmind registry;
            CAlarmTracker tracker;
            tracker.addNotifier(&m_notices);
            pTracker = &tracker;
            registry.setAlarmTracker(pTracker);
            CHistoryRecorder::attach(&store, &registry, pTracker);
            CGroupAlarms groups(&registry, pTracker);
            // The timer's first check comes before any device has answered: nothing is known of the load.
            groups.check();
            CPdu* pPdu = addDevice(registry, 1, QString());
            PduInfo info = pPdu->stInfo;
            info.voltageWarn = 250;
            info.voltageOverload = 270;
            info.currentWarn = 30;
            info.currentOverload = 32;
            info.voltage = 260;
            info.current = 14;
            for (quint8 cmd : {kCmdThresholds, kCmdStatus})
                pPdu->slotRcvData(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
            pPdu->slotEmailTimer();
            groups.check();
            QCOMPARE(pTracker->activeAlarms().size(), 2);
            fnDuring(groups, *pPdu);
            store.flush();
        };
        ActiveAlarm before;
        run([&](CGroupAlarms&, CPdu&) {
            QVERIFY(pTracker->acknowledge(groupAlarm().uiId));
            before = groupAlarm();
        });
        QCOMPARE(takeMails().size(), 2);
        m_dtNow = m_dtNow.addSecs(600);
        run([&](CGroupAlarms& groups, CPdu& pdu) {
            const ActiveAlarm after = groupAlarm();
            QCOMPARE(after.dtSince, before.dtSince);
            QVERIFY(after.bAcknowledged);
            setCurrent(pdu, 5);
            groups.check();
            QCOMPARE(pTracker->activeAlarms().size(), 1);
            QVERIFY(!groupAlarm().isGroupAlarm());
        });
        QVERIFY(takeMails().isEmpty());
        // The log names the group: began once, acknowledged, ended; the device's voltage alarm stands on.
        CHistoryReader reader(strPath);
        CHistoryReader::EventFilter filter;
        filter.listKinds = {HistoryEvent::GroupAlarmBegan, HistoryEvent::GroupAlarmAcknowledged,
                            HistoryEvent::GroupAlarmEnded};
        const QVector<HistoryEvent> vecEvents = reader.events(filter);
        QCOMPARE(vecEvents.size(), 3);
        for (const HistoryEvent& event : vecEvents)
            QCOMPARE(event.strPdu, QStringLiteral("rack 1"));
        QCOMPARE(vecEvents.at(2).iKind, int(HistoryEvent::GroupAlarmBegan));
        QCOMPARE(vecEvents.at(2).strNew, QStringLiteral("14 A"));
        QCOMPARE(reader.standingAlarms().size(), 1);
        QCOMPARE(reader.standingAlarms().first().strMac, QStringLiteral("00:04:A3:00:00:01"));
        setSavedGroup(QStringLiteral("00:04:A3:00:00:01"), QString());
    }

private:
    // A device of the registry that has told its MAC (ending in uiLast) and its limits, put in strGroup
    // unless that is empty.
    CPdu* addDevice(CRackmind& registry, quint8 uiLast, const QString& strGroup)
    {
        CPdu* pPdu = registry.addPdu(0x0AC80100u + uiLast);
        pPdu->timerEmail.stop();
        PduInfo info = pPdu->stInfo;
        info.mac[5] = uiLast;
        for (quint8 cmd : {kCmdNetwork, kCmdThresholds})
            pPdu->slotRcvData(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
        if (!strGroup.isEmpty())
            pPdu->strGroup = strGroup;
        return pPdu;
    }
    void setCurrent(CPdu& pdu, double dAmps)
    {
        PduInfo info = pdu.stInfo;
        info.current = dAmps;
        pdu.slotRcvData(buildFrame(kFrameReply, kCmdStatus, payloadFor(kCmdStatus, info)));
    }
    QStringList takeMails() { return m_notices.take(); }

    RecordingNotifier m_notices;
    std::unique_ptr<CAlarmTracker> m_pTracker;
    QDateTime m_dtNow = QDateTime(QDate(2026, 12, 7), QTime(3, 0, 0), Qt::UTC);
};

QTEST_MAIN(TestGroupAlarms)
#include "tst_groupalarms.moc"
