#include "cli/CtlTarget.h"
#include "device/LockedFile.h"
#include "device/OutletSets.h"
#include "device/ProtectionList.h"
#include "device/Protocol.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/pdusim/SimThread.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QProcess>
#include <QtTest>

#include <csignal>

// Outlet sets and sequences switched by rackmind-ctl across simulated PDUs, measured at the simulator:
// every outlet change there is stamped, and the timelines are printed for the record.
class TestSetsBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    QTemporaryDir m_dir;
    QMutex m_mutex;
    QStringList m_listTimeline; // "ms dev/outlet on|off", ms since the start of the case
    QElapsedTimer m_clock;

    struct Run
    {
        int iExit = -1;
        QString strErr;
        QByteArray baOut;
    };
    static QString ctlPath()
    {
        return qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl");
    }
    static Run finish(QProcess& process)
    {
        Run run;
        // A failed cycle watches the outlet that did not go off for a minute.
        if (process.waitForFinished(150000))
            run.iExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.strErr = QString::fromUtf8(process.readAllStandardError());
        run.baOut = process.readAllStandardOutput();
        qInfo("rackmind-ctl said: %s", qPrintable(run.strErr.trimmed()));
        return run;
    }
    static Run ctl(const QStringList& listArgs)
    {
        QProcess process;
        process.start(ctlPath(), listArgs);
        return finish(process);
    }
    QString mac(int iDevice)
    {
        return QString::fromLatin1(
            m_sim.call([=](CSimFleet& f) { return f.device(iDevice)->st.mac; }).toHex());
    }
    quint8 outlets(int iDevice)
    {
        return m_sim.call([=](CSimFleet& f) { return f.device(iDevice)->st.outletStatus; });
    }
    void sim(const QString& strCommand) { QCOMPARE(m_sim.command(strCommand).last(), QStringLiteral("ok")); }
    // The changes of the outlet at the simulator, as "ms on|off".
    QList<qint64> changes(int iDevice, int iOutlet, bool bOn)
    {
        QMutexLocker lock(&m_mutex);
        QList<qint64> list;
        const QString strWanted =
            QStringLiteral("%1/%2 %3").arg(iDevice).arg(iOutlet).arg(bOn ? "on" : "off");
        for (const QString& str : qAsConst(m_listTimeline))
            if (str.section(QLatin1Char(' '), 1) == strWanted)
                list << str.section(QLatin1Char(' '), 0, 0).toLongLong();
        return list;
    }
    int switchFrames(int iDevice, int iOutlet, bool bOn)
    {
        const QByteArray baFrame = buildOutletSwitchFrame(iOutlet, bOn);
        int iCount = 0;
        for (const SimFrameRecord& rec :
             m_sim.call([=](CSimFleet& f) { return f.device(iDevice)->received(); }))
            iCount += rec.baFrame == baFrame;
        return iCount;
    }
    void printTimeline(const char* pszWhat)
    {
        QMutexLocker lock(&m_mutex);
        qInfo("simulator timeline of %s (ms, device/outlet, state):\n  %s", pszWhat,
              qPrintable(m_listTimeline.join(QStringLiteral("\n  "))));
    }
    void sets(const std::function<void(OutletSetsData&)>& fn)
    {
        QVERIFY(COutletSets().change([&](OutletSetsData& data, QString*) {
            fn(data);
            return true;
        }));
    }
    OutletRef ref(int iDevice, int iOutlet) { return OutletRef{mac(iDevice).toUpper(), iOutlet}; }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(startQuietFleet(m_sim));
        // Outlets 3 and 4 take a second to switch either way, as a real relay with a short delay.
        sim(QStringLiteral("set all closeDelay 3 1"));
        sim(QStringLiteral("set all openDelay 3 1"));
        sim(QStringLiteral("set all closeDelay 4 1"));
        sim(QStringLiteral("set all openDelay 4 1"));
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(m_dir.filePath(QStringLiteral("outlet-sets"))));
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(m_dir.filePath(QStringLiteral("protected"))));
        qputenv("RACKMIND_HISTORY", QFile::encodeName(m_dir.filePath(QStringLiteral("history.sqlite"))));
        delete new CHistoryStore(qEnvironmentVariable("RACKMIND_HISTORY")); // where overrides go on record
        // Made here, not by root's first change: that would hand them to group rackmind where it exists,
        // and a package test removing the group meanwhile would leave files of an unknown group.
        QVERIFY(writeFile(COutletSets::defaultPath(), QByteArray()));
        QVERIFY(writeFile(CProtectionList::defaultPath(), QByteArray()));
        m_sim.call([this](CSimFleet& f) {
            connect(&f, &CSimFleet::signalOutletChanged, &f, [this](int iIndex, int iOutlet, bool bOn) {
                QMutexLocker lock(&m_mutex);
                m_listTimeline << QStringLiteral("%1 %2/%3 %4")
                                      .arg(m_clock.elapsed())
                                      .arg(iIndex)
                                      .arg(iOutlet)
                                      .arg(bOn ? "on" : "off");
            });
        });
        sets([this](OutletSetsData& data) {
            data.mapSets.insert(QStringLiteral("db-07"),
                                OutletSet{QStringLiteral("db-07"), {ref(1, 3), ref(2, 3)}});
            data.mapSets.insert(QStringLiteral("storage"),
                                OutletSet{QStringLiteral("storage"), {ref(1, 4), ref(2, 4)}});
            data.mapSequences.insert(QStringLiteral("evening"),
                                     OutletSequence{QStringLiteral("evening"),
                                                    {SequenceStep{QStringLiteral("storage"), {}, false, 2},
                                                     SequenceStep{QString(), ref(3, 4), false, 1},
                                                     SequenceStep{QStringLiteral("storage"), {}, true, 0}}});
        });
    }
    void init()
    {
        sim(QStringLiteral("set all outlets 255"));
        sim(QStringLiteral("deafoff all 0"));
        sim(QStringLiteral("record all clear"));
        QMutexLocker lock(&m_mutex);
        m_listTimeline.clear();
        m_clock.start();
    }
    void cleanupTestCase() { m_sim.stopFleet(); }

    // Both cords off at the simulator together for at least the delay, then both on; the two "off"
    // frames within a poll period of each other, and the two "on" frames too.
    void dualCordedCycle()
    {
        QCOMPARE(ctl({"set", "db-07", "cycle", "--delay", "3"}).iExit, int(kExitOk));
        printTimeline("set db-07 cycle --delay 3");
        const QList<qint64> off1 = changes(1, 3, false), off2 = changes(2, 3, false);
        const QList<qint64> on1 = changes(1, 3, true), on2 = changes(2, 3, true);
        QCOMPARE(off1.size() + off2.size() + on1.size() + on2.size(), 4);
        const qint64 iBothOff = qMax(off1[0], off2[0]), iFirstOn = qMin(on1[0], on2[0]);
        qInfo("both off for %lld ms; offs %lld ms apart, ons %lld ms apart", iFirstOn - iBothOff,
              qAbs(off1[0] - off2[0]), qAbs(on1[0] - on2[0]));
        QVERIFY(iFirstOn - iBothOff >= 3000);
        QVERIFY(qAbs(off1[0] - off2[0]) <= 1000 && qAbs(on1[0] - on2[0]) <= 1000);
        QCOMPARE(outlets(1) & outlets(2), 0xFF);
    }

    // One PDU deaf to "off": no "on" to either before both were off; the one that went off comes back
    // on, none goes to the deaf one, and the command says which did not switch off.
    void oneCordDeafToOff()
    {
        sim(QStringLiteral("deafoff 2 all"));
        const Run run = ctl({"set", "db-07", "cycle", "--delay", "2"});
        printTimeline("set db-07 cycle with PDU 2 deaf to off");
        QCOMPARE(run.iExit, int(kExitNoConfirm));
        QVERIFY2(run.strErr.contains(refText(2, 3)), qPrintable(run.strErr));
        QCOMPARE(changes(1, 3, false).size(), 1);
        QCOMPARE(changes(1, 3, true).size(), 1);
        QVERIFY(changes(2, 3, false).isEmpty());
        QCOMPARE(switchFrames(2, 3, true), 0);
        QVERIFY(switchFrames(2, 3, false) >= 2); // sent again before giving up
        QCOMPARE(outlets(1) & outlets(2), 0xFF);
    }

    // SIGINT while the set is off: both come back on, and the command says it was interrupted.
    void interruptedCycleBringsPowerBack()
    {
        QProcess process;
        process.start(ctlPath(), {"set", "db-07", "cycle", "--delay", "60"});
        QTRY_VERIFY_WITH_TIMEOUT(!(outlets(1) & 0x04) && !(outlets(2) & 0x04), 20000);
        ::kill(pid_t(process.processId()), SIGINT);
        QCOMPARE(finish(process).iExit, int(kExitFailure));
        QTRY_COMPARE_WITH_TIMEOUT(outlets(1) & outlets(2), 0xFF, 20000);
        printTimeline("set db-07 cycle, SIGINT once both were off");
    }

    // Killed outright while both cords are off, nothing brings them back: the next command on the set
    // must at least say that its cycle stopped half way, or the machine stays dark unnoticed.
    void killedCycleIsReported()
    {
        QProcess process;
        process.start(ctlPath(), {"set", "db-07", "cycle", "--delay", "60"});
        QTRY_VERIFY_WITH_TIMEOUT(!(outlets(1) & 0x04) && !(outlets(2) & 0x04), 20000);
        process.kill();
        QVERIFY(process.waitForFinished());
        const Run show = ctl({"set", "show", "db-07"});
        QVERIFY2(show.strErr.contains(QLatin1String("stopped")), "the killed cycle of db-07 is forgotten");
    }

    // Three steps in order with their waits after each showed; a failing step stops the sequence there;
    // a run killed outright is reported by the next list.
    void sequenceInOrder()
    {
        QCOMPARE(ctl({"sequence", "run", "evening"}).iExit, int(kExitOk));
        printTimeline("sequence evening (storage off, wait 2; PDU 3 outlet 4 off, wait 1; storage on)");
        const QList<qint64> off1 = changes(1, 4, false), off2 = changes(2, 4, false),
                            off3 = changes(3, 4, false);
        const QList<qint64> on1 = changes(1, 4, true), on2 = changes(2, 4, true);
        QVERIFY(off1.size() == 1 && off2.size() == 1 && off3.size() == 1 && on1.size() == 1 &&
                on2.size() == 1);
        // Each wait counts from the state shown, so at the simulator a step follows the last change of
        // the one before by at least its wait.
        QVERIFY2(off3[0] - qMax(off1[0], off2[0]) >= 2000, "step 2 before the wait after step 1");
        QVERIFY2(qMin(on1[0], on2[0]) - off3[0] >= 1000, "step 3 before the wait after step 2");

        sim(QStringLiteral("set all outlets 255"));
        sim(QStringLiteral("record all clear"));
        sim(QStringLiteral("deafoff 3 all"));
        const Run failed = ctl({"sequence", "run", "evening"});
        QCOMPARE(failed.iExit, int(kExitNoConfirm));
        QVERIFY2(failed.strErr.contains(QLatin1String("step 2 of 3")), qPrintable(failed.strErr));
        QCOMPARE(switchFrames(1, 4, true) + switchFrames(2, 4, true), 0); // step 3 never ran
        sim(QStringLiteral("deafoff 3 0"));

        // SIGINT in the wait after step 1 brings back what it switched off, not PDU 1's outlet 4 that was
        // off before it started.
        sim(QStringLiteral("set all outlets 255"));
        sim(QStringLiteral("set 1 outlet 4 off"));
        QProcess interrupted;
        interrupted.start(ctlPath(), {"sequence", "run", "evening"});
        QTRY_VERIFY_WITH_TIMEOUT(!(outlets(2) & 0x08), 20000);
        ::kill(pid_t(interrupted.processId()), SIGINT);
        QCOMPARE(finish(interrupted).iExit, int(kExitFailure));
        QTRY_VERIFY_WITH_TIMEOUT(outlets(2) & 0x08, 20000);
        QCOMPARE(outlets(1) & 0x08, 0);
        printTimeline("sequence evening, PDU 1 outlet 4 off before, SIGINT after step 1");

        sim(QStringLiteral("set all outlets 255"));
        QProcess process;
        process.start(ctlPath(), {"sequence", "run", "evening"});
        QTRY_VERIFY_WITH_TIMEOUT(!(outlets(1) & 0x08) && !(outlets(2) & 0x08), 20000);
        const Run twice = ctl({"sequence", "run", "evening"});
        QVERIFY2(twice.iExit == int(kExitFailure) && twice.strErr.contains(QLatin1String("already running")),
                 "a second run of a running sequence was not refused");
        process.kill();
        QVERIFY(process.waitForFinished());
        const Run list = ctl({"sequence", "list"});
        QVERIFY2(QString::fromUtf8(list.baOut).contains(QLatin1String("stopped at step")),
                 list.baOut.constData());
        QVERIFY2(ctl({"sequence", "run", "evening", "--dry-run"})
                     .strErr.contains(QLatin1String("stopped at step")),
                 "run does not report the killed one");
    }

    // A run killed, then its process id taken by another program (after a reboot, or pids wrapping):
    // the record still tells a stopped run, and the sequence can be run again.
    void killedRunWhosePidWasReused()
    {
        const QString strJournal = qEnvironmentVariable("XDG_DATA_HOME") + "/rackmind-ctl/sequences.json";
        QVERIFY2(QFile::exists(strJournal), qPrintable(strJournal));
        QVERIFY(LockedFile::change(
            strJournal,
            [](QByteArray& baText, QString*) {
                QJsonObject all = QJsonDocument::fromJson(baText).object();
                QJsonObject rec = all.value(QStringLiteral("evening")).toObject();
                rec.insert(QStringLiteral("state"), QStringLiteral("waiting"));
                rec.insert(QStringLiteral("pid"), QCoreApplication::applicationPid());
                all.insert(QStringLiteral("evening"), rec);
                baText = QJsonDocument(all).toJson();
                return true;
            },
            nullptr));
        const Run list = ctl({"sequence", "list"});
        QVERIFY2(QString::fromUtf8(list.baOut).contains(QLatin1String("stopped at step")),
                 list.baOut.constData());
        const Run run = ctl({"sequence", "run", "evening"});
        QVERIFY2(run.iExit == int(kExitOk), qPrintable(run.strErr));
    }

    // A set with a protected outlet: refused without --force, nothing switched; with it, on record.
    void protectedOutletNeedsForce()
    {
        QVERIFY(CProtectionList().change([&](QSet<QString>& set) { set.insert(ref(2, 3).text()); }));
        const Run refused = ctl({"set", "db-07", "off"});
        QCOMPARE(refused.iExit, int(kExitProtected));
        QCOMPARE(outlets(1) & outlets(2), 0xFF);
        const Run forced = ctl({"set", "db-07", "off", "--force"});
        QCOMPARE(forced.iExit, int(kExitOk));
        QVERIFY2(forced.strErr.contains(QLatin1String("on record")), qPrintable(forced.strErr));
        QCOMPARE(outlets(1) & 0x04, 0);
        QCOMPARE(outlets(2) & 0x04, 0);
        QStringList listDetails;
        for (const HistoryEvent& e : CHistoryReader(qEnvironmentVariable("RACKMIND_HISTORY")).events({}))
            if (QString(e.strMac).remove(QLatin1Char(':')).compare(mac(2), Qt::CaseInsensitive) == 0)
                listDetails << e.strNew + QLatin1Char(' ') + e.strDetail;
        QVERIFY2(listDetails.size() == 1 && listDetails[0].contains(QLatin1String("protection overridden")),
                 qPrintable(listDetails.join(QLatin1Char('\n'))));
        QVERIFY(CProtectionList().change([&](QSet<QString>& set) { set.clear(); }));
    }

private:
    QString refText(int iDevice, int iOutlet)
    {
        QStringList list;
        for (int i = 0; i < 12; i += 2)
            list << mac(iDevice).mid(i, 2).toUpper();
        return list.join(QLatin1Char(':')) + QLatin1Char('/') + QString::number(iOutlet);
    }
};

QTEST_GUILESS_MAIN(TestSetsBed)
#include "tst_setsbed.moc"
