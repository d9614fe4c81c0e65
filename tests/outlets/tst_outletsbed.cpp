#include "app/AppShell.h"
#include "cli/CtlTarget.h"
#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/MetaTypes.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "room/Room.h"
#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/GroupApplyDialog.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/device/OutletActions.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/TitleBar.h"

#include <QtTest>
#include <QtWidgets>

// Outlet operations of the whole program on simulated PDUs across the test bed, one session: cycles
// from the menus, a device silent when its "on" is due, protection, a group write and the exit.
class TestOutletsBed : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dirSettings;
    CSimThread m_sim;
    QStringList m_listPrompts;
    bool m_bAnswer = true;
    QList<OutletOperation> m_listOps;

    // The event log's entries for one outlet of device i, as "kind: result".
    QStringList logged(int i, int iOutlet)
    {
        QStringList list;
        const QString strMac = QString::fromLatin1(
            QByteArray(reinterpret_cast<const char*>(pdu(i)->stInfo.mac), 6).toHex(':').toUpper());
        for (const OutletOperation& op : qAsConst(m_listOps))
            if (op.strMac == strMac && op.iOutlet == iOutlet && op.iKind)
                list << QStringLiteral("%1: %2").arg(op.iKind).arg(op.strResult);
        return list;
    }
    int phase(int i, int iOutlet)
    {
        const COutletControl::Cycle* pCycle = consoleRoom()->outletControl()->cycle(pdu(i), iOutlet);
        return pCycle ? pCycle->rules.phase() : -1;
    }

    QString address(int i)
    {
        return QHostAddress(m_sim.call([i](CSimFleet& f) { return f.device(i)->st.ip; })).toString();
    }
    // By the address unit i answers from: its MAC changes in a case below.
    CPdu* pdu(int i)
    {
        for (CPdu* p : qAsConst(g_pRackmind->listPdu))
            if (p->sendAddress().toString() == address(i))
                return p;
        return nullptr;
    }
    QTreeWidgetItem* row(int i) { return g_pMainDialog->deviceOverviewWidget()->rowOf(pdu(i)); }
    bool simOn(int i, int iOutlet)
    {
        return m_sim.call([=](CSimFleet& f) { return (f.device(i)->st.outletStatus >> (iOutlet - 1)) & 1; });
    }
    bool shownOn(int i, int iOutlet) { return (pdu(i)->stInfo.outletStatus >> (iOutlet - 1)) & 1; }
    // When device i received switch frames for the outlet (msecs since the epoch), "on" or "off".
    QList<qint64> switchTimes(int i, int iOutlet, bool bOn)
    {
        const QByteArray baFrame = buildOutletSwitchFrame(iOutlet, bOn);
        QList<qint64> list;
        for (const SimFrameRecord& rec : m_sim.call([i](CSimFleet& f) { return f.device(i)->received(); }))
            if (rec.baFrame == baFrame)
                list << rec.msecsSinceEpoch;
        return list;
    }
    // rackmind-ctl as another user would run it: a home of its own, the machine's list.
    static int ctl(const QStringList& listArgs)
    {
        QTemporaryDir dirHome;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), dirHome.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dirHome.path());
        process.setProcessEnvironment(env);
        process.start(qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl"),
                      listArgs);
        return process.waitForFinished(30000) ? process.exitCode() : -1;
    }
    void sim(const QString& strCommand) { QCOMPARE(m_sim.command(strCommand).last(), QStringLiteral("ok")); }
    // Runs fn every 20 ms until it returns true; a new timer can run within a dialog another one opened.
    void answerWhen(std::function<bool()> fn)
    {
        auto* pTimer = new QTimer(this);
        connect(pTimer, &QTimer::timeout, this, [=] {
            if (fn()) {
                pTimer->stop();
                pTimer->deleteLater();
            }
        });
        pTimer->start(20);
    }
    // Triggers the popup menu's action of that name, then lets fnDialog fill in the modal dialog the
    // action opens and accepts it.
    void answerMenu(const QString& strAction, std::function<void(QDialog*)> fnDialog = {})
    {
        answerWhen([=] {
            auto* pMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QAction* pAction = pMenu ? pMenu->findChild<QAction*>(strAction) : nullptr;
            if (!pAction)
                return false;
            if (fnDialog)
                answerWhen([=] {
                    auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                    if (pDialog)
                        fnDialog(pDialog), pDialog->accept();
                    return pDialog != nullptr;
                });
            pMenu->close();
            pAction->trigger();
            return true;
        });
    }
    QCheckBox* outletSwitch(int iOutlet)
    {
        return g_pMainDialog->deviceOverviewWidget()
            ->mainStatusWidget()
            ->deviceControl()
            ->findChild<QCheckBox*>(QStringLiteral("CheckOutlet%1").arg(iOutlet));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        // Nothing of an earlier run; the machine's protection list stays untouched: this session keeps its
        // own.
        QFile::remove(COutletControl::defaultJournalPath());
        qputenv("RACKMIND_PROTECTION_LIST",
                QFile::encodeName(m_dirSettings.filePath(QStringLiteral("protected"))));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dirSettings.path());
        QVERIFY(QDir().mkpath(m_dirSettings.filePath(QStringLiteral("Orvane"))));
        QVERIFY(writeFile(m_dirSettings.filePath(QStringLiteral("Orvane/Rackmind.conf")),
                          "Language=1\n[Login]\nAutoLogin=true\nRememberPassword=true\n"));
        CSimConfig config;
        config.iRecordLimit = 8192;
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce, config));
        createSharedResources();
        QVERIFY(prepareLanguage());
        registerDeviceMetaTypes();
        createLongLivedWindows();
        QVERIFY(runLogin());
        showMainWindow();
        QVERIFY(consoleRoom()->outletControl());
        for (int i = 1; i <= 6; ++i) {
            sim(QStringLiteral("set %1 outlet 3 on").arg(i));
            QTRY_VERIFY_WITH_TIMEOUT(row(i) && pdu(i) && shownOn(i, 3), 20000);
        }
        connect(consoleRoom()->outletControl(), &COutletControl::signalOperation, this,
                [this](const OutletOperation& op) { m_listOps << op; });
        COutletActions::setPromptHandler([this](QWidget*, bool, const QString&, const QString& strText) {
            m_listPrompts << strText;
            return m_bAnswer;
        });
    }

    // From the overview row's menu: outlet 3, back on after 3 s. The PDU sees off, then on after the
    // delay (counted from the poll that shows it off); the row shows off, then on; the cycle ends once
    // the PDU reports the outlet on.
    void cycleFromTheRowMenu()
    {
        QTreeWidget* pTree = g_pMainDialog->deviceOverviewWidget()->treeWidget();
        answerMenu(QStringLiteral("ActionCycle"), [](QDialog* pDialog) {
            pDialog->findChild<QComboBox*>(QStringLiteral("ComboOutlet"))->setCurrentIndex(2);
            pDialog->findChild<QSpinBox*>(QStringLiteral("SpinDelay"))->setValue(3);
        });
        emit pTree->customContextMenuRequested(pTree->visualItemRect(row(1)).center());
        QTRY_VERIFY_WITH_TIMEOUT(!shownOn(1, 3), 20000);
        QVERIFY(consoleRoom()->outletControl()->cycle(pdu(1), 3));
        QTRY_VERIFY_WITH_TIMEOUT(shownOn(1, 3), 20000);
        QTRY_VERIFY(!consoleRoom()->outletControl()->cycle(pdu(1), 3));
        const QList<qint64> listOff = switchTimes(1, 3, false);
        const QList<qint64> listOn = switchTimes(1, 3, true);
        QCOMPARE(listOff.size(), 1);
        QCOMPARE(listOn.size(), 1);
        const qint64 iDelay = listOn.first() - listOff.first();
        qInfo("cycle of 3 s: off to on at the PDU %lld ms", iDelay);
        // Never early; how late is the machine's as much as the console's: printed above.
        QVERIFY2(iDelay >= 2990, qPrintable(QString::number(iDelay)));
    }

    // Silent when its "on" is due, and the "on" lost: sent again once the PDU answers; the outlet ends on.
    void silentWhenTheOnIsDue()
    {
        QVERIFY(COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pdu(2), 3, 2));
        QTRY_COMPARE_WITH_TIMEOUT(phase(2, 3), int(COutletCycle::CountingOn), 20000);
        sim(QStringLiteral("silent 2"));
        QTRY_COMPARE_WITH_TIMEOUT(switchTimes(2, 3, true).size(), 1, 20000);
        sim(QStringLiteral("set 2 outlet 3 off"));
        QTRY_VERIFY_WITH_TIMEOUT(
            consoleRoom()->outletControl()->cycle(pdu(2), 3)->rules.isSilent(Clock::elapsedMs()), 20000);
        QCOMPARE(switchTimes(2, 3, true).size(), 1);
        sim(QStringLiteral("resume 2"));
        QTRY_COMPARE_WITH_TIMEOUT(switchTimes(2, 3, true).size(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(simOn(2, 3) && !consoleRoom()->outletControl()->cycle(pdu(2), 3), 20000);
    }

    // No "on" without an observed "off": a device deaf to every "off" ends the cycle as failed, on, with
    // no "on" sent and nothing confirmed; one that loses a single "off" gets it again and completes; one
    // slower than it says is given up on, and carries on when its late "off" shows.
    void offNeverSeenOrLostOnce_data()
    {
        QTest::addColumn<QStringList>("listSim");
        QTest::addColumn<int>("iOffs");
        QTest::addColumn<int>("iEnd");
        QTest::newRow("deaf to every off")
            << QStringList{"deafoff 5 all"} << COutletCycle::kOffTries << int(HistoryEvent::CycleFailed);
        QTest::newRow("one off lost") << QStringList{"deafoff 5 1"} << 2 << int(HistoryEvent::CycleCompleted);
        QTest::newRow("an off later than the device says")
            << QStringList{"delayunit 1", "slowoff 5 5"} << COutletCycle::kOffTries
            << int(HistoryEvent::CycleCompleted);
    }
    void offNeverSeenOrLostOnce()
    {
        QFETCH(QStringList, listSim);
        QFETCH(int, iOffs);
        QFETCH(int, iEnd);
        sim(QStringLiteral("record 5 clear"));
        for (const QString& strCommand : qAsConst(listSim))
            sim(strCommand);
        m_listOps.clear();
        // The row before may still hold the outlet for a tick after it logged its end.
        QTRY_VERIFY_WITH_TIMEOUT(!consoleRoom()->outletControl()->cycle(pdu(5), 3) ||
                                     consoleRoom()->outletControl()->cycle(pdu(5), 3)->rules.phase() ==
                                         COutletCycle::Failed,
                                 30000);
        QVERIFY(COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pdu(5), 3, 2));
        const auto ended = [&] {
            const QStringList list = logged(5, 3);
            return !list.isEmpty() && list.last().startsWith(QString::number(iEnd));
        };
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 30000);
        for (const char* pszUndo : {"deafoff 5 0", "slowoff 5 0", "delayunit 0"})
            sim(QLatin1String(pszUndo));
        QCOMPARE(switchTimes(5, 3, false).size(), iOffs);
        const QList<qint64> listOn = switchTimes(5, 3, true);
        QCOMPARE(listOn.size(), iEnd == HistoryEvent::CycleFailed ? 0 : 1);
        QVERIFY(simOn(5, 3));
        if (iEnd == HistoryEvent::CycleFailed) {
            QVERIFY2(!logged(5, 3).join(QLatin1Char('\n')).contains(QLatin1String("confirmed")),
                     qPrintable(logged(5, 3).join(QLatin1Char('\n'))));
            g_pMainDialog->deviceOverviewWidget()->treeWidget()->setCurrentItem(row(5));
            QTRY_VERIFY(outletSwitch(3)->text().contains(QLatin1String("did not switch off")));
        } else {
            QVERIFY(listOn.first() - switchTimes(5, 3, false).last() >= 2000);
        }
    }

    // Cancelled a second in, before the PDU carried out its "off": the outlet ends on and stays on.
    void cancelBeforeTheDeviceSwitchedOff()
    {
        sim(QStringLiteral("delayunit 1"));
        sim(QStringLiteral("set 6 closeDelay 3 3"));
        QVERIFY(COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pdu(6), 3, 5));
        QTest::qWait(1000); // the operator's second
        consoleRoom()->outletControl()->cancelCycle(pdu(6), 3);
        QTRY_VERIFY_WITH_TIMEOUT(!consoleRoom()->outletControl()->cycle(pdu(6), 3), 20000);
        QTest::qWait(3000); // past the PDU's own switch-off delay
        sim(QStringLiteral("delayunit 0"));
        QVERIFY(simOn(6, 3));
        QVERIFY(logged(6, 3).last().startsWith(QString::number(HistoryEvent::CycleCancelled)));
    }

    // The wall clock stepped back an hour mid-cycle does not move the "on".
    void wallClockSteppedBack()
    {
        QVERIFY(COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pdu(1), 3, 3));
        QTRY_COMPARE_WITH_TIMEOUT(phase(1, 3), int(COutletCycle::CountingOn), 20000);
        // A wall source alone would carry the test seam's monotonic clock with it: keep that one steady.
        QElapsedTimer steady;
        steady.start();
        const qint64 iSteadyBase = Clock::elapsedMs();
        Clock::setElapsedSource([steady, iSteadyBase] { return iSteadyBase + steady.elapsed(); });
        Clock::setSource([] { return QDateTime::currentDateTimeUtc().addSecs(-3600); });
        QTRY_VERIFY_WITH_TIMEOUT(!consoleRoom()->outletControl()->cycle(pdu(1), 3), 60000);
        Clock::setSource({});
        Clock::setElapsedSource({});
        // Not before its delay, and not an hour later: how much later is the machine's, not the console's.
        const qint64 iDelay = switchTimes(1, 3, true).last() - switchTimes(1, 3, false).last();
        QVERIFY2(iDelay >= 2990 && iDelay < 60000, qPrintable(QString::number(iDelay)));
    }

    // Protected from the switch's menu: clicking it off sends nothing and says why; the question before
    // an outlet goes off names it; the protection is stored, and lifted on the outlet names page.
    void protectedOutlet()
    {
        g_pMainDialog->deviceOverviewWidget()->treeWidget()->setCurrentItem(row(3));
        answerMenu(QStringLiteral("ActionProtect"));
        emit outletSwitch(3)->customContextMenuRequested(QPoint(5, 5));
        QTRY_VERIFY(consoleRoom()->outletControl()->isProtected(pdu(3), 3));
        sim(QStringLiteral("record 3 clear"));
        QTest::mouseClick(outletSwitch(3), Qt::LeftButton, {}, outletSwitch(3)->rect().center());
        g_settings.askBeforeOutletOff = true;
        m_bAnswer = false;
        QTest::mouseClick(outletSwitch(4), Qt::LeftButton, {}, outletSwitch(4)->rect().center());
        g_settings.askBeforeOutletOff = false;
        QTest::qWait(1000); // a frame would be at the PDU within milliseconds
        QVERIFY(switchTimes(3, 3, false).isEmpty() && switchTimes(3, 4, false).isEmpty());
        QVERIFY(outletSwitch(3)->isChecked());
        QCOMPARE(m_listPrompts.size(), 2);
        QVERIFY2(m_listPrompts[0].contains(QLatin1String("protected")), qPrintable(m_listPrompts[0]));
        const QString strName =
            QString::fromLatin1(m_sim.call([](CSimFleet& f) { return f.device(3)->st.name; }));
        QVERIFY2(m_listPrompts[1].contains(QLatin1String("Outlet4")) &&
                     m_listPrompts[1].contains(strName.left(strName.indexOf(QLatin1Char('\0')))),
                 qPrintable(m_listPrompts[1]));

        // Every program reads the machine's list: rackmind-ctl run with another home is refused.
        QCOMPARE(ctl({QStringLiteral("outlet"), address(3), QStringLiteral("3"), QStringLiteral("off")}),
                 int(kExitProtected));
        // A MAC written from the Network page takes the protection along.
        auto* pMac =
            g_pMainDialog->deviceConfigWidget()->findChild<QLineEdit*>(QStringLiteral("LineEditMac"));
        pMac->setText(QStringLiteral("02:00:00:00:03:33"));
        QCOMPARE(pdu(3)->stSetInfo.mac[5], quint8(0x33));
        pdu(3)->download();
        QTRY_COMPARE_WITH_TIMEOUT(pdu(3)->stInfo.mac[5], quint8(0x33), 20000);
        QVERIFY(consoleRoom()->outletControl()->isProtected(pdu(3), 3));
        QCOMPARE(ctl({QStringLiteral("outlet"), QStringLiteral("020000000333"), QStringLiteral("3"),
                      QStringLiteral("off")}),
                 int(kExitProtected));

        g_pMainDialog->deviceConfigWidget()
            ->findChildren<QCheckBox*>(QStringLiteral("CheckProtected"))[2]
            ->click();
        QVERIFY(!consoleRoom()->outletControl()->isProtected(pdu(3), 3));
        QTest::mouseClick(outletSwitch(3), Qt::LeftButton, {}, outletSwitch(3)->rect().center());
        QTRY_VERIFY_WITH_TIMEOUT(!simOn(3, 3), 20000);
        QCOMPARE(m_listPrompts.size(), 2);
    }

    // Thresholds and delays to a group of five with one silent: four confirm, one is listed offline.
    void applyToAGroupOfFive()
    {
        for (int i = 2; i <= 6; ++i)
            pdu(i)->strGroup = QStringLiteral("Rack B");
        sim(QStringLiteral("silent 6"));
        QTRY_VERIFY_WITH_TIMEOUT(!pdu(6)->isOnline(), 20000);
        PduInfo values = pdu(1)->stInfo;
        values.currentWarn = 7.5;
        values.voltageWarn = 245;
        std::fill(std::begin(values.outletOpenDelay), std::end(values.outletOpenDelay), 4);
        CGroupApplyDialog dialog(g_pMainDialog, values, consoleRoom()->outletControl());
        dialog.show();
        dialog.findChild<QComboBox*>(QStringLiteral("ComboGroup"))->setCurrentText(QStringLiteral("Rack B"));
        dialog.findChild<QCheckBox*>(QStringLiteral("CheckDelays"))->setChecked(true);
        auto* pApply = dialog.findChild<QPushButton*>(QStringLiteral("BtnApply"));
        pApply->click();
        QTRY_VERIFY_WITH_TIMEOUT(pApply->isEnabled(), 20000);
        auto* pTable = dialog.findChild<QTableWidget*>(QStringLiteral("TableResult"));
        QCOMPARE(pTable->rowCount(), 5);
        for (int i = 2; i <= 6; ++i) {
            QCOMPARE(pTable->item(i - 2, CGroupApplyDialog::ColumnAddress)->text(), address(i));
            QCOMPARE(pTable->item(i - 2, CGroupApplyDialog::ColumnResult)->text(),
                     i < 6 ? QStringLiteral("Confirmed") : QStringLiteral("Offline, not written"));
            const QList<int> listPending = pdu(i)->needDownload();
            QCOMPARE(listPending.contains(kCmdThresholds) || listPending.contains(kCmdOutletDelays), i == 6);
        }
        const QString strSummary = dialog.findChild<QLabel*>(QStringLiteral("LabelSummary"))->text();
        QVERIFY2(strSummary.contains(QStringLiteral("4 of 5")) && strSummary.contains(address(6)),
                 qPrintable(strSummary));
        QCOMPARE(m_sim.call([](CSimFleet& f) { return f.device(5)->st.voltageWarn; }), quint16(245));
        sim(QStringLiteral("resume 6"));
    }

    // Quit from the title bar while a 600 s cycle runs: the "on" reaches the PDU before the program ends.
    void quitDuringACycle()
    {
        QVERIFY(COutletActions::cycleOutlet(nullptr, consoleRoom()->outletControl(), pdu(4), 5, 600));
        QTRY_COMPARE_WITH_TIMEOUT(switchTimes(4, 5, false).size(), 1, 20000);
        QTimer::singleShot(
            0, [] { QTest::mouseClick(g_pMainDialog->titleBar()->closeButton(), Qt::LeftButton); });
        QObject guard;
        QTimer::singleShot(10000, &guard, [] { QApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        runExitSequence();
        QVERIFY(!g_pRackmind);
        // Sent before the sockets closed; the simulator's thread takes a moment to record it.
        QTRY_COMPARE_WITH_TIMEOUT(switchTimes(4, 5, true).size(), 1, 20000);
        m_sim.stopFleet();
    }
};

QTEST_MAIN(TestOutletsBed)
#include "tst_outletsbed.moc"
