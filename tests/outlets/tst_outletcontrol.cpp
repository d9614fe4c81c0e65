#include "device/Clock.h"
#include "device/GroupApply.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "tests/common/TestFrames.h"

#include <QtTest>

// Power cycles, protection and group writes on a device fed by hand, on a clock the test moves.
class TestOutletControl : public QObject
{
    Q_OBJECT

    QDateTime m_dtNow = QDateTime(QDate(2026, 1, 1), QTime(0, 0), Qt::UTC);
    void advance(int iMsec, CPdu* pAnswering = nullptr, quint8 outlets = 0)
    {
        m_dtNow = m_dtNow.addMSecs(iMsec);
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

private slots:
    void init()
    {
        Clock::setSource([this] { return m_dtNow; });
    }
    void cleanup() { Clock::setSource({}); }

    // Each step: milliseconds later, whether the device answered then and with outlet 3 on; the switch
    // frames sent by then and whether the cycle still runs.
    void cycleSendsItsOnUntilTheDeviceShowsIt_data()
    {
        QTest::addColumn<QList<int>>("listMsec");
        QTest::addColumn<QList<int>>("listAnswer"); // 0 silent, 1 answers off, 2 answers on
        QTest::addColumn<QStringList>("listSent");
        QTest::addColumn<bool>("bRunning");
        QTest::newRow("on the delay after the PDU shows it off, confirmed")
            << QList<int>{500, 5000, 500} << QList<int>{1, 1, 2} << QStringList{"off3", "on3"} << false;
        QTest::newRow("nothing before the delay")
            << QList<int>{500, 4900} << QList<int>{1, 1} << QStringList{"off3"} << true;
        QTest::newRow("still on: due after its switch-off delay and the delay")
            << QList<int>{500, 5400, 100} << QList<int>{2, 2, 0} << QStringList{"off3", "on3"} << true;
        QTest::newRow("silent when due: again once it answers")
            << QList<int>{6000, 3200, 5000, 500, 400} << QList<int>{0, 0, 0, 1, 2}
            << QStringList{"off3", "on3", "on3"} << false;
        QTest::newRow("answers, still off past its own delay: again")
            << QList<int>{500, 5000, 2000, 4000, 800} << QList<int>{1, 1, 1, 1, 1}
            << QStringList{"off3", "on3", "on3"} << true;
        QTest::newRow("a reply from before the on does not confirm it")
            << QList<int>{500, 5000, 0} << QList<int>{1, 2, 0} << QStringList{"off3", "on3"} << true;
    }
    void cycleSendsItsOnUntilTheDeviceShowsIt()
    {
        QFETCH(QList<int>, listMsec);
        QFETCH(QList<int>, listAnswer);
        QFETCH(QStringList, listSent);
        QFETCH(bool, bRunning);
        CPdu pdu;
        pdu.stInfo.outletOpenDelay[2] = 2;
        pdu.stInfo.outletCloseDelay[2] = 1;
        COutletControl control;
        SentFrames sent(&pdu);
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::Accepted);
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::RefusedBusy);
        QCOMPARE(control.switchOutlet(&pdu, 3, true), COutletControl::RefusedBusy);
        for (int i = 0; i < listMsec.size(); ++i) {
            advance(listMsec[i], listAnswer[i] ? &pdu : nullptr, listAnswer[i] == 2 ? 0x04 : 0);
            control.slotTick();
        }
        QCOMPARE(switches(sent), listSent);
        QCOMPARE(control.cycle(&pdu, 3) != nullptr, bRunning);
    }

    // Cycles of several outlets run side by side; cancelling one stops it, the end sends the others' on.
    void severalCyclesCancelAndExit()
    {
        CPdu pduA, pduB;
        std::fill(std::begin(pduA.stInfo.outletCloseDelay), std::end(pduA.stInfo.outletCloseDelay), 0);
        SentFrames sentA(&pduA), sentB(&pduB);
        auto* pControl = new COutletControl;
        QCOMPARE(pControl->startCycle(&pduA, 1, 0), COutletControl::Accepted);   // clamped to 1 s
        QCOMPARE(pControl->startCycle(&pduA, 2, 900), COutletControl::Accepted); // clamped to 600 s
        QCOMPARE(pControl->startCycle(&pduB, 8, 30), COutletControl::Accepted);
        QCOMPARE(pControl->secondsLeft(*pControl->cycle(&pduA, 2)), 600);
        advance(1000);
        pControl->slotTick();
        pControl->cancelCycle(&pduB, 8);
        QCOMPARE(switches(sentA), (QStringList{"off1", "off2", "on1"}));
        delete pControl; // the console ends
        QCOMPARE(switches(sentA), (QStringList{"off1", "off2", "on1", "on1", "on2"}));
        QCOMPARE(switches(sentB), QStringList{"off8"});
    }

    // A protected outlet goes on but never off, by switch or cycle, and is known by MAC and number.
    void protectedOutletsByMac()
    {
        CPdu pdu, other;
        std::memcpy(pdu.stInfo.mac, "\x00\x04\xA3\x12\x34\x05", 6);
        COutletControl control;
        SentFrames sent(&pdu);
        QSignalSpy spyOps(&control, &COutletControl::signalOperation);
        control.setProtected(&pdu, 3, true);
        QCOMPARE(control.protectedText(), QStringLiteral("0004A3123405/3"));
        QVERIFY(!control.isProtected(&other, 3) && !control.isProtected(&pdu, 4));
        QCOMPARE(control.switchOutlet(&pdu, 3, false), COutletControl::RefusedProtected);
        QCOMPARE(control.startCycle(&pdu, 3), COutletControl::RefusedProtected);
        QCOMPARE(control.switchOutlet(&pdu, 3, true), COutletControl::Accepted);
        QCOMPARE(switches(sent), QStringList{"on3"});
        const auto op = spyOps.at(1).at(0).value<OutletOperation>();
        QCOMPARE(op.strResult, QStringLiteral("refused: protected"));
        QCOMPARE(op.strMac, QStringLiteral("00:04:A3:12:34:05"));
        QCOMPARE(op.strWho, QStringLiteral("this console"));
        COutletControl restarted;
        restarted.setProtectedText(control.protectedText().toLower());
        QVERIFY(restarted.isProtected(&pdu, 3));
        restarted.setProtected(&pdu, 3, false);
        QCOMPARE(restarted.switchOutlet(&pdu, 3, false), COutletControl::Accepted);
    }

    // Group writes are confirmed only by a reply after the write that carries the written values.
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
    }
};

QTEST_MAIN(TestOutletControl)
#include "tst_outletcontrol.moc"
