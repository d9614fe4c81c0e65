#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/GroupApply.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/ProtectionList.h"
#include "device/Rackmind.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestFrames.h"

#include <QtTest>

using CycleRow = std::tuple<QList<int>, QList<int>, QStringList, int>;
Q_DECLARE_METATYPE(CycleRow)

// Power cycles, protection and group writes on a device fed by hand, on a clock the test moves.
class TestOutletControl : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    qint64 m_iNow = 100000; // the monotonic clock the cycles read
    void advance(int iMsec, CPdu* pAnswering = nullptr, quint8 outlets = 0)
    {
        m_iNow += iMsec;
        if (pAnswering) {
            PduInfo info = pAnswering->stInfo;
            info.outletStatus = outlets;
            pAnswering->slotRcvData(replyFrame(kCmdStatus, info));
        }
    }
    // The switch frames sent so far as "on3"/"off3".
    static QStringList switches(const SentFrames& sent)
    {
        QStringList list;
        for (const SentFrame& f : sent.list)
            if (f.baData.size() == 7 && quint8(f.baData.at(2)) == kCmdOutletSwitch)
                list << QStringLiteral("%1%2")
                            .arg(f.baData.at(4) == 1 ? "on" : "off")
                            .arg(qCountTrailingZeroBits(quint8(f.baData.at(5))) + 1);
        return list;
    }
    // A device that has told its MAC, as every device does within a poll.
    static void known(CPdu& pdu, const char* pszMac = "\x00\x04\xA3\x12\x34\x05")
    {
        PduInfo info = pdu.stInfo;
        std::memcpy(info.mac, pszMac, 6);
        pdu.slotRcvData(replyFrame(kCmdNetwork, info));
    }

private slots:
    void init()
    {
        Clock::setElapsedSource([this] { return m_iNow; });
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(m_dir.filePath(QStringLiteral("protected"))));
        QFile::remove(m_dir.filePath(QStringLiteral("protected")));
    }
    void cleanup() { Clock::setElapsedSource({}); }

    // Each step: milliseconds later, then the device answers (0 silent, 1 outlet 3 off, 2 on) or the
    // operator cancels (3). Outlet 3 switches off after 1 s and on after 2 s; the cycle's delay is 5 s.
    // Nothing counts without a reply that shows it: no "on" before the outlet was seen off, no end
    // before it was seen on again.
    void cycleFollowsWhatTheDeviceShows_data()
    {
        // iEnd: the last kind logged: 0 still running
        QTest::addColumn<CycleRow>("row");
        const auto row = [](const char* pszName, const QList<int>& listMsec, const QList<int>& listAnswer,
                            const QStringList& listSent, int iEnd) {
            QTest::newRow(pszName) << CycleRow(listMsec, listAnswer, listSent, iEnd);
        };
        row("on the delay after the PDU shows it off, confirmed", {500, 5000, 500}, {1, 1, 2},
            {"off3", "on3"}, HistoryEvent::CycleCompleted);
        row("nothing before the delay", {500, 4900}, {1, 1}, {"off3"}, 0);
        row("deaf to off: sent three times, then failed, no on", {4000, 4000, 4000, 60000}, {2, 2, 2, 2},
            {"off3", "off3", "off3"}, HistoryEvent::CycleFailed);
        row("not again before its own delay and a margin", {1000, 2900}, {2, 2}, {"off3"}, 0);
        row("one off lost: sent again, then on after the delay", {4000, 500, 5000, 500}, {2, 1, 1, 2},
            {"off3", "off3", "on3"}, HistoryEvent::CycleCompleted);
        row("a late off after the failure: carries on", {4000, 4000, 4000, 2000, 5000, 500},
            {2, 2, 2, 1, 1, 2}, {"off3", "off3", "off3", "on3"}, HistoryEvent::CycleCompleted);
        row("silent when due: on again once it answers still off", {500, 5000, 5000, 500}, {1, 0, 1, 2},
            {"off3", "on3", "on3"}, HistoryEvent::CycleCompleted);
        row("a reply with the on does not confirm it", {500, 5000, 0}, {1, 1, 2}, {"off3", "on3"}, 0);
        row("cancelled before the device switched off: on now, ends seen on past its off delay",
            {200, 800, 500, 3000}, {2, 3, 2, 2}, {"off3", "on3"}, HistoryEvent::CycleCancelled);
        row("cancelled, its on lost: the device's off still comes, on again",
            {200, 800, 500, 2000, 2500, 500}, {2, 3, 2, 1, 1, 2}, {"off3", "on3", "on3"},
            HistoryEvent::CycleCancelled);
        row("cancelled after it went off: on again while it shows off", {500, 500, 5500, 500}, {1, 3, 1, 2},
            {"off3", "on3", "on3"}, HistoryEvent::CycleCancelled);
    }
    void cycleFollowsWhatTheDeviceShows()
    {
        QFETCH(CycleRow, row);
        const auto& [listMsec, listAnswer, listSent, iEnd] = row;
        CPdu pdu;
        known(pdu);
        pdu.stInfo.outletOpenDelay[2] = 2;
        pdu.stInfo.outletCloseDelay[2] = 1;
        QList<int> listKinds; // outlives the control, which reports on its way out
        COutletControl control;
        SentFrames sent(&pdu);
        connect(&control, &COutletControl::signalOperation, this,
                [&](const OutletOperation& op) { listKinds << op.iKind; });
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::Accepted);
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::RefusedBusy);
        QCOMPARE(control.switchOutlet(&pdu, 3, true), COutletControl::RefusedBusy);
        for (int i = 0; i < listMsec.size(); ++i) {
            advance(listMsec[i], listAnswer[i] == 1 || listAnswer[i] == 2 ? &pdu : nullptr,
                    listAnswer[i] == 2 ? 0x04 : 0);
            if (listAnswer[i] == 3)
                control.cancelCycle(&pdu, 3);
            control.slotTick();
        }
        QCOMPARE(switches(sent), listSent);
        const QList<int> listEnds{HistoryEvent::CycleCompleted, HistoryEvent::CycleFailed,
                                  HistoryEvent::CycleCancelled};
        int iLastEnd = 0;
        for (int iKind : qAsConst(listKinds))
            if (listEnds.contains(iKind))
                iLastEnd = iKind;
        QCOMPARE(iLastEnd, iEnd);
    }

    // Killed mid-cycle: the next start finds the cycle in the journal and brings the outlet on once the
    // device answers; a quit sends the "on" at once. The wall clock stepped back an hour in between does
    // not stretch the wait.
    void journalOutlivesTheProgram()
    {
        CRackmind rackmind;
        g_pRackmind = &rackmind;
        CPdu* pPdu = new CPdu(&rackmind);
        rackmind.listPdu << pPdu;
        known(*pPdu);
        const QString strJournal = m_dir.filePath(QStringLiteral("cycles.json"));
        SentFrames sent(pPdu);
        {
            COutletControl first(nullptr, strJournal);
            QCOMPARE(first.startCycle(pPdu, 2, 10), COutletControl::Accepted);
            QVERIFY(QFile::copy(strJournal, strJournal + QStringLiteral(".killed")));
        }
        QCOMPARE(switches(sent), (QStringList{"off2", "on2"})); // the quit's "on"
        QVERIFY(QFile::remove(strJournal) &&
                QFile::rename(strJournal + QStringLiteral(".killed"), strJournal));
        Clock::setSource([] { return QDateTime::currentDateTimeUtc().addSecs(-3600); });
        QList<OutletOperation> listOps;
        COutletControl second(nullptr, strJournal);
        connect(&second, &COutletControl::signalOperation, this,
                [&](const OutletOperation& op) { listOps << op; });
        advance(1000, pPdu, 0x00);
        second.slotTick();
        advance(1000, pPdu, 0x00);
        second.slotTick();
        advance(9000, pPdu, 0x00);
        second.slotTick();
        advance(500, pPdu, 0x00); // the first reply after it waited for every device to answer
        second.slotTick();
        QCOMPARE(switches(sent), (QStringList{"off2", "on2", "on2"}));
        advance(500, pPdu, 0x02);
        second.slotTick();
        Clock::setSource({});
        QVERIFY(!listOps.isEmpty());
        QCOMPARE(listOps.last().strResult, QStringLiteral("completed after restart"));
        QVERIFY(!QFile::exists(strJournal));
        // A journal that cannot be written: no cycle starts that an ending program would leave dark.
        COutletControl unrecorded(nullptr, m_dir.path());
        QVERIFY(unrecorded.startCycle(pPdu, 3) != COutletControl::Accepted);
        QCOMPARE(switches(sent).size(), 3);
        g_pRackmind = nullptr;
    }

    // The journal a console leaves when killed after iOffReplies replies showing outlet 2 off (the
    // second one past the delay, so that the "on" went out).
    QString killedJournal(CPdu* pPdu, int iOffReplies)
    {
        const QString strJournal = m_dir.filePath(QStringLiteral("cycles.json"));
        {
            COutletControl first(nullptr, strJournal);
            first.startCycle(pPdu, 2, 5);
            for (int i = 0; i < iOffReplies; ++i) {
                advance(i == 0 ? 500 : 5000, pPdu, 0x00);
                first.slotTick();
            }
            QFile::remove(strJournal + QStringLiteral(".killed"));
            QFile::copy(strJournal, strJournal + QStringLiteral(".killed"));
        }
        QFile::remove(strJournal);
        QFile::rename(strJournal + QStringLiteral(".killed"), strJournal);
        return strJournal;
    }

    // Killed at a step of the cycle, started again and the outlet found on: "completed" only where an
    // off was seen, in either run; a device that never showed off was not cycled.
    void restartTellsWhatHappened_data()
    {
        QTest::addColumn<int>("iOffReplies");
        QTest::addColumn<int>("iEnd");
        QTest::newRow("killed before the off showed") << 0 << int(HistoryEvent::CycleFailed);
        QTest::newRow("killed after the on went out") << 2 << int(HistoryEvent::CycleCompleted);
    }
    void restartTellsWhatHappened()
    {
        QFETCH(int, iOffReplies);
        QFETCH(int, iEnd);
        CRackmind rackmind;
        g_pRackmind = &rackmind;
        CPdu* pPdu = new CPdu(&rackmind);
        rackmind.listPdu << pPdu;
        known(*pPdu);
        COutletControl second(nullptr, killedJournal(pPdu, iOffReplies));
        QList<int> listKinds;
        connect(&second, &COutletControl::signalOperation, this,
                [&](const OutletOperation& op) { listKinds << op.iKind; });
        for (int i = 0; i < 10; ++i) {
            advance(1000, pPdu, 0x02);
            second.slotTick();
        }
        g_pRackmind = nullptr;
        QVERIFY(!listKinds.isEmpty());
        QCOMPARE(listKinds.last(), iEnd);
    }

    // Two units answer from one address: a command meant for one may reach the other (whose outlet may be
    // protected, or feed another load), so while both answer neither is switched or cycled from here; once
    // the other has gone silent, the one left is switched as before.
    void unitsSharingAnAddressAreNotSwitched()
    {
        CRackmind rackmind;
        g_pRackmind = &rackmind;
        CPdu* pPdu = new CPdu(&rackmind);
        CPdu* pBeside = new CPdu(&rackmind);
        rackmind.listPdu << pPdu << pBeside;
        known(*pPdu);
        known(*pBeside, "\x00\x04\xA3\x12\x34\x06");
        pPdu->uiSourceIP = pBeside->uiSourceIP = 0x0AC90002;
        COutletControl control;
        SentFrames sent(pPdu);
        QCOMPARE(control.switchOutlet(pPdu, 3, true), COutletControl::RefusedSharedAddress);
        QCOMPARE(control.switchOutlet(pPdu, 3, false), COutletControl::RefusedSharedAddress);
        QCOMPARE(control.startCycle(pPdu, 3), COutletControl::RefusedSharedAddress);
        advance(int(CPdu::kOnlineMsecs) + 1000, pPdu, 0x04);
        QCOMPARE(control.switchOutlet(pPdu, 3, false), COutletControl::Accepted);
        g_pRackmind = nullptr;
        QCOMPARE(switches(sent), QStringList{"off3"});
    }

    // Two devices with the journal's MAC: the one that answers first after a restart may not be the
    // one that was cycled, so neither is switched.
    void restartWaitsForEveryDeviceWithTheMac()
    {
        CRackmind rackmind;
        g_pRackmind = &rackmind;
        CPdu* pCycled = new CPdu(&rackmind);
        CPdu* pTwin = new CPdu(&rackmind);
        known(*pCycled);
        known(*pTwin);
        rackmind.listPdu << pTwin;
        COutletControl second(nullptr, killedJournal(pCycled, 1));
        SentFrames sent(pTwin);
        advance(200, pTwin, 0x00);
        second.slotTick();
        advance(800);
        rackmind.listPdu << pCycled;
        for (int i = 0; i < 10; ++i) {
            advance(1000, pTwin, 0x00);
            advance(0, pCycled, 0x00);
            second.slotTick();
        }
        g_pRackmind = nullptr;
        QCOMPARE(switches(sent), QStringList());
    }

    // A protected outlet goes on but never off, by switch or cycle; it is known by MAC and number in
    // the machine's list, follows a MAC written from here, and nothing is decided before the MAC is known.
    void protectedOutletsByMac()
    {
        CPdu pdu, other, unknown;
        known(pdu);
        known(other, "\x00\x04\xA3\x12\x34\x06");
        QList<OutletOperation> listOps;
        COutletControl control;
        SentFrames sent(&pdu);
        connect(&control, &COutletControl::signalOperation, this,
                [&](const OutletOperation& op) { listOps << op; });
        QVERIFY(!control.setProtected(&unknown, 3, true));
        QVERIFY(control.setProtected(&pdu, 3, true));
        QCOMPARE(control.startCycle(&unknown, 3), COutletControl::RefusedMacUnknown);
        QVERIFY(!control.isProtected(&other, 3) && !control.isProtected(&pdu, 4));
        QCOMPARE(control.switchOutlet(&pdu, 3, false), COutletControl::RefusedProtected);
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::RefusedProtected);
        QCOMPARE(control.switchOutlet(&pdu, 3, true), COutletControl::Accepted);
        QCOMPARE(switches(sent), QStringList{"on3"});
        QCOMPARE(listOps.at(0).iKind, int(HistoryEvent::OutletProtected));
        QCOMPARE(listOps.at(2).iKind, int(HistoryEvent::OutletRefused));
        QCOMPARE(listOps.at(2).strMac, QStringLiteral("00:04:A3:12:34:05"));
        // Another program (rackmind-ctl, a second console) reads the same list.
        CProtectionList list;
        QVERIFY(list.load() && list.contains(QStringLiteral("0004a3123405"), 3));
        control.followMac(QStringLiteral("0004A3123405"), QStringLiteral("0004A3123406"));
        QVERIFY(control.isProtected(&other, 3));
        // A list that cannot be read protects everything rather than nothing.
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(m_dir.path()));
        COutletControl blind;
        QCOMPARE(blind.switchOutlet(&other, 4, false), COutletControl::RefusedProtected);
        QCOMPARE(blind.startCycle(&other, 4), COutletControl::RefusedProtected);
    }

    // An administrator writes the MAC as the programs print it; each form protects that outlet alone.
    void listEntriesAsWritten_data()
    {
        QTest::addColumn<QByteArray>("baLine");
        QTest::addColumn<bool>("bProtects3");
        QTest::newRow("bare digits") << QByteArray("025044000001/3") << true;
        QTest::newRow("colons, lower case") << QByteArray("02:50:44:00:00:01/3 # rack A") << true;
        QTest::newRow("dashes, spaces, leading zero") << QByteArray(" 02-50-44-00-00-01 / 03") << true;
        QTest::newRow("another outlet") << QByteArray("02:50:44:00:00:01/4") << false;
        QTest::newRow("another unit") << QByteArray("02:50:44:00:00:02/3") << false;
        QTest::newRow("not a MAC") << QByteArray("02:50:44:00:00:0G/3") << false;
    }
    void listEntriesAsWritten()
    {
        QFETCH(QByteArray, baLine);
        QFETCH(bool, bProtects3);
        QVERIFY(writeFile(CProtectionList::defaultPath(), baLine + '\n'));
        CProtectionList list;
        QVERIFY(list.load());
        QCOMPARE(list.contains(QStringLiteral("025044000001"), 3), bProtects3);
    }

    // Group writes are confirmed only by a reply after the write that carries the written values, and
    // logged per device with the values before and after.
    void groupWriteConfirmation()
    {
        CPdu online, stale, offline;
        for (CPdu* p : {&online, &stale})
            p->slotRcvData(replyFrame(kCmdStatus, p->stInfo));
        PduInfo values = filledInfo();
        CGroupApply apply;
        SentFrames sent(&online);
        QSignalSpy spyOps(&apply, &CGroupApply::signalOperation);
        apply.start({&online, &stale, &offline}, values, true, false);
        QCOMPARE(sent.commands(), QList<int>{kCmdThresholds});
        QCOMPARE(apply.entries().at(2).outcome, CGroupApply::Offline);
        advance(1000);
        online.slotRcvData(replyFrame(kCmdThresholds, values));
        stale.slotRcvData(replyFrame(kCmdThresholds, stale.stInfo));
        apply.slotCheck();
        QCOMPARE(apply.entries().at(0).outcome, CGroupApply::Confirmed);
        QVERIFY(!online.needDownload().contains(kCmdThresholds));
        QCOMPARE(apply.entries().at(1).outcome, CGroupApply::Waiting);
        advance(CGroupApply::kConfirmMs);
        stale.slotRcvData(replyFrame(kCmdStatus, stale.stInfo));
        apply.slotCheck();
        QCOMPARE(apply.entries().at(1).outcome, CGroupApply::NotConfirmed);
        QVERIFY(apply.isFinished());
        QStringList listResults; // as the event log hears them, once per device
        for (const QList<QVariant>& args : spyOps)
            listResults << args.at(0).value<OutletOperation>().strResult;
        QCOMPARE(listResults, (QStringList{"offline, not written", "confirmed", "not confirmed"}));
        const auto op = spyOps.at(1).at(0).value<OutletOperation>();
        QCOMPARE(op.iKind, int(HistoryEvent::GroupWritten));
        QVERIFY2(op.strOld != op.strNew && op.strNew.contains(QString::number(values.voltageWarn)),
                 qPrintable(op.strOld + QLatin1String(" -> ") + op.strNew));
    }
};

QTEST_MAIN(TestOutletControl)
#include "tst_outletcontrol.moc"
