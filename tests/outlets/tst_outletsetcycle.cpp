#include "device/OutletSetCycle.h"
#include "device/SequenceRun.h"

#include <QtTest>

using SetCycleRow = std::tuple<QString, QString, int, bool>;
Q_DECLARE_METATYPE(SetCycleRow)
using SequenceRow = std::tuple<QString, QString, int, int>;
Q_DECLARE_METATYPE(SequenceRow)

// A set of two outlets on two PDUs and a three-step sequence, on a clock the test steps.
class TestOutletSetCycle : public QObject
{
    Q_OBJECT

private slots:
    // Events, space-separated: "+ms" moves the clock and ticks, "A0"/"B1" a reply showing outlet A off or
    // B on, "c" a cancel, "R<due>:<offseen>" resumes instead of starting. Both outlets switch off after
    // 1 s and on after 2 s; the delay is 5 s. Sends are "ms:onA"/"ms:offB".
    void setCycle_data()
    {
        QTest::addColumn<SetCycleRow>("row");
        const auto row = [](const char* pszName, const char* pszEvents, const char* pszSends, int iPhase,
                            bool bOver) {
            QTest::newRow(pszName) << SetCycleRow(QString::fromLatin1(pszEvents),
                                                  QString::fromLatin1(pszSends), iPhase, bOver);
        };
        row("on together, the delay from the last off seen", "+500 A0 B1 +600 B0 +4900 +100 +500 A1 B1",
            "0:offA 0:offB 6100:onA 6100:onB", COutletCycle::Completed, true);
        row("one seen on again is not the end", "+500 A0 B0 +5000 +2000 A1 B0",
            "0:offA 0:offB 5500:onA 5500:onB", COutletCycle::WaitingOn, false);
        row("no on while one shows on, past the delay: its off again", "+500 A0 B1 +6000 A0 B1",
            "0:offA 0:offB 6500:offB", COutletCycle::WaitingOff, false);
        row("deaf to off: failed, the other back on, none to the deaf, watched",
            "+4000 A0 B1 +4000 A0 B1 +4000 A0 B1 +500 A1 B1", "0:offA 0:offB 4000:offB 8000:offB 12000:onA",
            COutletCycle::Failed, false);
        row("the deaf one's watch ends", "+4000 A0 B1 +4000 A0 B1 +4000 A0 B1 +500 A1 B1 +60000 A1 B1",
            "0:offA 0:offB 4000:offB 8000:offB 12000:onA", COutletCycle::Failed, true);
        row("a late off after the failure comes back on at once",
            "+4000 A0 B1 +4000 A0 B1 +4000 A0 B1 +2000 A1 B0 +500 A1 B1",
            "0:offA 0:offB 4000:offB 8000:offB 12000:onA 14000:onB", COutletCycle::Failed, true);
        row("a silent PDU: failed, both sent on", "+500 A0 +16000 +500 A1 +4000 A1 B1",
            "0:offA 0:offB 16500:onA 16500:onB", COutletCycle::Failed, true);
        row("cancel while counting: both on", "+500 A0 B0 +1000 c +500 A1 B1",
            "0:offA 0:offB 1500:onA 1500:onB", COutletCycle::Cancelled, true);
        row("cancel before any off showed: on shown within the off delay does not end it",
            "+200 c +300 A1 B1", "0:offA 0:offB 200:onA 200:onB", COutletCycle::WaitingOn, false);
        row("an on lost: sent again", "+500 A0 B0 +5000 +5000 A0 B1 +500 A1",
            "0:offA 0:offB 5500:onA 5500:onB 10500:onA", COutletCycle::Completed, true);
        row("resumed, both seen off before: on at the journal's time", "R3000:11 +500 A0 B0 +2500 +500 A1 B1",
            "3000:onA 3000:onB", COutletCycle::Completed, true);
        row("resumed, one never seen off and found on: failed, the other on",
            "R3000:10 +500 A0 B1 +4000 A0 B1", "4500:onA", COutletCycle::WaitingOn, false);
    }
    void setCycle()
    {
        QFETCH(SetCycleRow, row);
        const auto& [strEvents, strSends, iPhase, bOver] = row;
        COutletSetCycle cycle(5, {{1, 2}, {1, 2}});
        qint64 iNow = 0;
        QStringList listSent;
        const auto note = [&](const COutletSetCycle::Sends& sends) {
            for (const COutletSetCycle::Send& s : sends)
                listSent << QStringLiteral("%1:%2%3")
                                .arg(iNow)
                                .arg(s.bOn ? "on" : "off")
                                .arg(QChar('A' + s.iIndex));
        };
        const QStringList listEvents = strEvents.split(QLatin1Char(' '));
        if (listEvents.first().startsWith(QLatin1Char('R'))) {
            const QStringList listParts = listEvents.first().mid(1).split(QLatin1Char(':'));
            cycle.resume(
                iNow, listParts.at(0).toLongLong(),
                {listParts.at(1).at(0) == QLatin1Char('1'), listParts.at(1).at(1) == QLatin1Char('1')});
        } else {
            note(cycle.start(iNow));
        }
        for (const QString& str : listEvents) {
            if (str.startsWith(QLatin1Char('+'))) {
                iNow += str.mid(1).toInt();
                note(cycle.tick(iNow));
            } else if (str == QLatin1String("c")) {
                note(cycle.cancel(iNow));
            } else if (!str.startsWith(QLatin1Char('R'))) {
                note(cycle.observe(str.at(0).toLatin1() - 'A', str.at(1) == QLatin1Char('1'), iNow));
            }
        }
        QCOMPARE(listSent.join(QLatin1Char(' ')), strSends);
        QCOMPARE(int(cycle.phase()), iPhase);
        QCOMPARE(cycle.isOver(iNow), bOver);
    }

    // Steps: set "pair" off then wait 2 s, outlet C on then no wait, set "pair" on then wait 3 s. Events:
    // "+ms", "s" the step showed its state, "o" its outlets were off already, "f" it failed, "p"/"r" pause
    // and resume, "c" cancel. Begun steps are "ms:step".
    void sequence_data()
    {
        QTest::addColumn<SequenceRow>("row");
        const auto row = [](const char* pszName, const char* pszEvents, const char* pszBegun, int iPhase,
                            int iSwitchedOff) {
            QTest::newRow(pszName) << SequenceRow(QString::fromLatin1(pszEvents),
                                                  QString::fromLatin1(pszBegun), iPhase, iSwitchedOff);
        };
        row("in order, each wait after its step showed", "+100 s +1999 +1 +100 s +300 s +3000",
            "0:1 2100:2 2200:3", CSequenceRun::Completed, 0);
        row("nothing before the state shows", "+100 +5000", "0:1", CSequenceRun::Switching, 2);
        row("a pause freezes the wait", "+100 s +1000 p +5000 r +999 +1", "0:1 7100:2",
            CSequenceRun::Switching, 2);
        row("paused while switching: the whole wait after it", "+100 p +400 s +5000 r +1999 +1", "0:1 7500:2",
            CSequenceRun::Switching, 2);
        row("a failed step stops it there", "+100 s +2000 f +10000", "0:1 2100:2", CSequenceRun::Failed, 2);
        row("cancel stops further steps", "+100 s +1000 c +5000", "0:1", CSequenceRun::Cancelled, 2);
        row("already off before its step: not brought back", "+100 o s +2000 c", "0:1 2100:2",
            CSequenceRun::Cancelled, 0);
        row("what a later step switched on is not brought back", "+100 s +2000 s s +100 c",
            "0:1 2100:2 2100:3", CSequenceRun::Cancelled, 0);
    }
    void sequence()
    {
        QFETCH(SequenceRow, row);
        const auto& [strEvents, strBegun, iPhase, iSwitchedOff] = row;
        QTemporaryDir dir;
        COutletSets sets(dir.filePath(QStringLiteral("sets")));
        OutletRef a, b, c;
        OutletRef::parse(QStringLiteral("025044000001/3"), &a);
        OutletRef::parse(QStringLiteral("025044000002/3"), &b);
        OutletRef::parse(QStringLiteral("025044000001/5"), &c);
        const QString strPair = QStringLiteral("pair");
        QVERIFY(sets.change([&](OutletSetsData& data, QString*) {
            data.mapSets.insert(strPair, OutletSet{strPair, {a, b}});
            return true;
        }));
        const OutletSequence seq{QStringLiteral("up"),
                                 {SequenceStep{strPair, {}, false, 2}, SequenceStep{QString(), c, true, 0},
                                  SequenceStep{strPair, {}, true, 3}}};
        CSequenceRun run(seq, sets);
        qint64 iNow = 0;
        QStringList listBegun;
        const auto note = [&](int iStep) {
            if (iStep >= 0)
                listBegun << QStringLiteral("%1:%2").arg(iNow).arg(iStep + 1);
        };
        note(run.start(iNow));
        for (const QString& str : strEvents.split(QLatin1Char(' '))) {
            if (str.startsWith(QLatin1Char('+'))) {
                iNow += str.mid(1).toInt();
                note(run.tick(iNow));
            } else if (str == QLatin1String("s")) {
                note(run.stepShown(iNow));
            } else if (str == QLatin1String("f")) {
                run.stepFailed(QStringLiteral("did not show"));
            } else if (str == QLatin1String("o")) {
                run.noteAlreadyOff(run.currentStep(), run.outletsOf(run.currentStep()));
            } else if (str == QLatin1String("p")) {
                run.pause(iNow);
            } else if (str == QLatin1String("r")) {
                note(run.resume(iNow));
            } else {
                run.cancel();
            }
        }
        QCOMPARE(listBegun.join(QLatin1Char(' ')), strBegun);
        QCOMPARE(int(run.phase()), iPhase);
        QCOMPARE(run.switchedOff().size(), iSwitchedOff);
    }

    void sequenceOfAGoneSetFails()
    {
        COutletSets sets(QStringLiteral("/nonexistent/sets"));
        CSequenceRun run(
            OutletSequence{QStringLiteral("up"), {SequenceStep{QStringLiteral("gone"), {}, true, 0}}}, sets);
        QCOMPARE(run.start(0), -1);
        QCOMPARE(run.phase(), CSequenceRun::Failed);
        QVERIFY(run.failure().contains(QLatin1String("gone")));
    }
};

QTEST_GUILESS_MAIN(TestOutletSetCycle)
#include "tst_outletsetcycle.moc"
