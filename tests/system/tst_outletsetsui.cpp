#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/OutletControl.h"
#include "device/OutletSetControl.h"
#include "device/Pdu.h"
#include "device/ProtectionList.h"
#include "device/Rackmind.h"
#include "settings/Settings.h"
#include "tests/common/TestFiles.h"
#include "tests/common/TestFrames.h"
#include "ui/device/OutletActions.h"
#include "ui/system/OutletSettingsWidget.h"

#include <QtTest>
#include <QtWidgets>

// The sets and sequences on the "Outlets" page, over two PDUs fed by hand on a clock the test moves:
// rack-a at .1 (MAC 025044000001) and rack-b at .2 (025044000002), outlet 3 of each in set "db-07".
class TestOutletSetsUi : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    qint64 m_iNow = 100000;
    std::unique_ptr<CRackmind> m_pRegistry;
    std::unique_ptr<COutletControl> m_pControl;
    std::unique_ptr<COutletSettingsWidget> m_pPage;
    QList<QPair<CPdu*, QString>> m_listSent; // "on3"/"off3" per device
    QStringList m_listPrompts;
    bool m_bAnswer = true;
    QList<OutletOperation> m_listOps;

    CPdu* pdu(int i) const { return m_pRegistry->listPdu.at(i); }
    QString path(const char* pszName) const { return m_dir.filePath(QLatin1String(pszName)); }
    template <typename T> T* child(const char* pszName) const
    {
        return m_pPage->findChild<T*>(QLatin1String(pszName));
    }
    void click(const char* pszName) { child<QPushButton>(pszName)->click(); }
    QHash<CPdu*, quint8> m_hashOutlets; // what each device shows from now on
    // The device answers a status poll with these outlets on (bit 0: outlet 1), and so at every poll.
    void answer(CPdu* pPdu, quint8 outlets)
    {
        m_hashOutlets[pPdu] = outlets;
        PduInfo info = pPdu->stInfo;
        info.outletStatus = outlets;
        pPdu->slotRcvData(replyFrame(kCmdStatus, info));
    }
    // Polls once a second, each device answering with what it shows.
    void advance(int iMs)
    {
        for (int i = 0; i < iMs; i += qMin(iMs - i, 1000)) {
            m_iNow += qMin(iMs - i, 1000);
            for (CPdu* pPdu : m_pRegistry->listPdu)
                answer(pPdu, m_hashOutlets.value(pPdu));
            m_pControl->slotTick();
        }
    }
    QStringList sent(CPdu* pPdu) const
    {
        QStringList list;
        for (const auto& s : m_listSent)
            if (s.first == pPdu)
                list << s.second;
        return list;
    }
    void select(const char* pszTree, const QString& strName)
    {
        auto* pTree = child<QTreeWidget>(pszTree);
        const auto listItems = pTree->findItems(strName, Qt::MatchExactly);
        QVERIFY(!listItems.isEmpty());
        pTree->setCurrentItem(listItems.first());
    }
    QString stepState(int iStep) const
    {
        return child<QTreeWidget>("TreeSequenceSteps")->topLevelItem(iStep)->text(1);
    }

private slots:
    void init()
    {
        Clock::setElapsedSource([this] { return m_iNow; });
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(path("outlet-sets")));
        QVERIFY(writeFile(path("outlet-sets"),
                          R"({"sets":[{"name":"db-07","outlets":["025044000001/3","025044000002/3"]}],)"
                          R"("sequences":[{"name":"power-up","steps":[{"set":"db-07","on":true,"wait":10},)"
                          R"({"outlet":"025044000002/5","on":false,"wait":0}]}]})"));
        QFile::remove(path("protected"));
        QFile::remove(path("cycles.json"));
        QDir(path("protected")).removeRecursively();
        m_pRegistry = std::make_unique<CRackmind>();
        g_pRackmind = m_pRegistry.get();
        for (quint8 i = 1; i <= 2; ++i) {
            CPdu* pPdu = m_pRegistry->addPdu(0x0AC80100u + i);
            PduInfo info = pPdu->stInfo;
            const quint8 mac[6] = {0x02, 0x50, 0x44, 0, 0, i};
            std::memcpy(info.mac, mac, 6);
            storeDeviceText(QStringLiteral("rack-%1").arg(QChar('a' + i - 1)), info.name);
            pPdu->slotRcvData(replyFrame(kCmdNetwork, info));
            answer(pPdu, 0xff);
            connect(pPdu, &CPdu::signalSndData, this, [this, pPdu](bool&, QByteArray ba, QHostAddress, uint) {
                if (ba.size() == 7 && quint8(ba.at(2)) == kCmdOutletSwitch)
                    m_listSent << qMakePair(pPdu, QStringLiteral("%1%2")
                                                      .arg(ba.at(4) == 1 ? "on" : "off")
                                                      .arg(qCountTrailingZeroBits(quint8(ba.at(5))) + 1));
            });
        }
        m_pControl = std::make_unique<COutletControl>(nullptr, path("cycles.json"), path("protected"));
        connect(m_pControl.get(), &COutletControl::signalOperation, this,
                [this](const OutletOperation& op) { m_listOps << op; });
        COutletActions::setPromptHandler(
            [this](QWidget*, bool bQuestion, const QString&, const QString& strText) {
                m_listPrompts << strText;
                return !bQuestion || m_bAnswer;
            });
        m_pPage = std::make_unique<COutletSettingsWidget>();
        m_pPage->setOutletControl(m_pControl.get());
        m_pPage->show();
    }
    void cleanup()
    {
        m_pPage.reset();
        m_pControl.reset();
        m_pRegistry.reset();
        g_pRackmind = nullptr;
        m_listSent.clear();
        m_listPrompts.clear();
        m_listOps.clear();
        m_hashOutlets.clear();
        m_bAnswer = true;
        COutletActions::setPromptHandler({});
        Clock::setElapsedSource({});
    }

    // The editor lists the room's outlets by name and address, keeps a member whose PDU left the room
    // so that it can be taken out, and stores the choice by MAC/outlet.
    void editorStoresByMac()
    {
        QVERIFY(writeFile(path("outlet-sets"),
                          R"({"sets":[{"name":"db-07","outlets":["025044000001/3","0250440000AA/2"]}]})"));
        m_pPage->hide();
        m_pPage->show();
        select("TreeSets", QStringLiteral("db-07"));
        QTimer::singleShot(0, this, [this] {
            auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(pDialog);
            auto* pTree = pDialog->findChild<QTreeWidget*>(QStringLiteral("TreeOutlets"));
            QCOMPARE(pTree->topLevelItemCount(), 3);
            QVERIFY(pTree->topLevelItem(0)->text(0).contains(QStringLiteral("rack-a (10.200.1.1)")));
            QTreeWidgetItem* pGone = pTree->topLevelItem(2);
            QCOMPARE(pGone->text(1), QStringLiteral("02:50:44:00:00:AA"));
            pGone->child(0)->setCheckState(0, Qt::Unchecked);
            pTree->topLevelItem(1)->child(6)->setCheckState(0, Qt::Checked);
            pDialog->accept();
        });
        click("ButtonEditSet");
        QVERIFY(m_pControl->outletSets()->reload());
        QCOMPARE(
            m_pControl->outletSets()->file().data().mapSets.value(QStringLiteral("db-07")).listOutlets,
            (QList<OutletRef>{{QStringLiteral("025044000001"), 3}, {QStringLiteral("025044000002"), 7}}));
        QVERIFY(m_listPrompts.isEmpty());
    }

    // A new sequence's steps are stored in the order the editor shows them, a set by name and an outlet by
    // MAC/outlet.
    void sequenceEditorStoresSteps()
    {
        QTimer::singleShot(0, this, [] {
            auto* pDialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(pDialog);
            pDialog->findChild<QLineEdit*>(QStringLiteral("EditSequenceName"))
                ->setText(QStringLiteral("night"));
            auto* pTable = pDialog->findChild<QTableWidget*>(QStringLiteral("TableSteps"));
            for (const char* pszButton : {"ButtonAddStep", "ButtonAddStep", "ButtonStepUp"})
                pDialog->findChild<QPushButton*>(QLatin1String(pszButton))->click();
            auto* pTarget = qobject_cast<QComboBox*>(pTable->cellWidget(0, 0));
            pTarget->setCurrentIndex(pTarget->findData(QStringLiteral("025044000002/5")));
            qobject_cast<QComboBox*>(pTable->cellWidget(0, 1))->setCurrentIndex(1);
            qobject_cast<QSpinBox*>(pTable->cellWidget(0, 2))->setValue(30);
            pDialog->accept();
        });
        click("ButtonNewSequence");
        QVERIFY2(m_listPrompts.isEmpty(), qPrintable(m_listPrompts.join(u'|')));
        QVERIFY(m_pControl->outletSets()->reload());
        const QList<SequenceStep> listSteps =
            m_pControl->outletSets()->file().data().mapSequences.value(QStringLiteral("night")).listSteps;
        QCOMPARE(listSteps.size(), 2);
        QCOMPARE(listSteps.at(0).outlet, (OutletRef{QStringLiteral("025044000002"), 5}));
        QVERIFY(!listSteps.at(0).bOn && listSteps.at(0).iWaitSecs == 30);
        QVERIFY(listSteps.at(1).strSet == QLatin1String("db-07") && listSteps.at(1).bOn);
    }

    // Refused before anything is sent, the operator told why; a protected outlet goes off only with the
    // override, which is on record.
    void setRefusals_data()
    {
        QTest::addColumn<int>("iCase");
        QTest::addColumn<QString>("strTold");
        QTest::addColumn<int>("iSent");
        QTest::newRow("offline PDU named") << 0 << "rack-b (10.200.1.2) is offline" << 0;
        QTest::newRow("protection list unreadable") << 1 << "cannot be read" << 0;
        QTest::newRow("protected, operator says no") << 2 << "outlet 3 of rack-a" << 0;
        QTest::newRow("protected, overridden") << 3 << "outlet 3 of rack-a" << 2;
        QTest::newRow("sets file unreadable") << 4 << "cannot be read" << 0;
    }
    void setRefusals()
    {
        QFETCH(int, iCase);
        QFETCH(QString, strTold);
        QFETCH(int, iSent);
        if (iCase == 0) {
            m_iNow += CPdu::kOnlineMsecs;
            answer(pdu(0), 0xff);
        } else if (iCase == 1) {
            QVERIFY(QDir().mkpath(path("protected")));
        } else if (iCase <= 3) {
            QString strWhy;
            QVERIFY2(m_pControl->setProtected(pdu(0), 3, true, &strWhy), qPrintable(strWhy));
            m_bAnswer = iCase == 3;
        }
        select("TreeSets", QStringLiteral("db-07"));
        if (iCase == 4)
            QVERIFY(writeFile(path("outlet-sets"), "{not json"));
        m_listOps.clear();
        click("ButtonSetOff");
        QCOMPARE(m_listSent.size(), iSent);
        QCOMPARE(m_listPrompts.size(), 1);
        QVERIFY2(m_listPrompts.first().contains(strTold), qPrintable(m_listPrompts.first()));
        const bool bOnRecord = std::any_of(m_listOps.begin(), m_listOps.end(), [](const OutletOperation& op) {
            return op.iOutlet == 3 && op.strResult.startsWith(QLatin1String("protection overridden"));
        });
        QCOMPARE(bOnRecord, iSent > 0);
    }

    // One cord deaf to "off": no "on" to either before both were seen off; the cycle fails, the outlet that
    // went off comes back on, and the event log names the one that did not.
    void deafCordFailsTheCycle()
    {
        select("TreeSets", QStringLiteral("db-07"));
        click("ButtonSetCycle");
        QVERIFY(
            child<QTreeWidget>("TreeSets")->topLevelItem(0)->text(1).startsWith(QLatin1String("cycling")));
        answer(pdu(0), 0xfb);
        advance(60000);
        // Its "on" goes again while it still shows off.
        QCOMPARE(sent(pdu(0)).mid(0, 2), (QStringList{"off3", "on3"}));
        QCOMPARE(sent(pdu(0)).count(QStringLiteral("off3")), 1);
        QVERIFY(!sent(pdu(1)).contains(QLatin1String("on3")));
        QVERIFY(std::any_of(m_listOps.begin(), m_listOps.end(), [](const OutletOperation& op) {
            return op.iKind == HistoryEvent::CycleFailed &&
                   op.strResult.contains(QLatin1String("025044000002/3"));
        }));
    }

    // Cancel brings the power back to every outlet of the set, whether it was being cycled or switched off:
    // an "off" the PDU carries out after the cancel must not leave the machine dark.
    void cancelledOffBringsPowerBack()
    {
        select("TreeSets", QStringLiteral("db-07"));
        click("ButtonSetOff");
        answer(pdu(0), 0xfb);
        click("ButtonSetCancel");
        answer(pdu(0), 0xff);
        advance(30000);
        QCOMPARE(sent(pdu(0)), (QStringList{"off3", "on3"}));
        QCOMPARE(sent(pdu(1)).value(1), QStringLiteral("on3"));
        QVERIFY(std::any_of(m_listOps.begin(), m_listOps.end(), [](const OutletOperation& op) {
            return op.strResult.startsWith(QLatin1String("confirmed on"));
        }));
    }

    // A sequence as the operator follows it: which step, what is next and when; a pause freezes the
    // wait, a cancel switches nothing the sequence did not touch, a step that fails stops it and says where.
    void sequenceProgress_data()
    {
        QTest::addColumn<bool>("bCancel");
        QTest::addColumn<bool>("bDeaf");
        QTest::newRow("paused, resumed, completed") << false << false;
        QTest::newRow("cancelled while waiting") << true << false;
        QTest::newRow("second step fails") << false << true;
    }
    void sequenceProgress()
    {
        QFETCH(bool, bCancel);
        QFETCH(bool, bDeaf);
        answer(pdu(0), 0);
        answer(pdu(1), 0x10);
        select("TreeSequences", QStringLiteral("power-up"));
        click("ButtonRunSequence");
        QVERIFY2(m_listPrompts.isEmpty(), qPrintable(m_listPrompts.join(u'|')));
        QCOMPARE(sent(pdu(0)), QStringList{"on3"});
        QCOMPARE(stepState(0), QStringLiteral("switching"));
        answer(pdu(0), 0x04);
        answer(pdu(1), 0x14);
        advance(1000);
        QCOMPARE(stepState(0), QStringLiteral("done, waiting"));
        QVERIFY(child<QLabel>("LabelSequenceNext")->text().contains(QStringLiteral("in 10 s")));
        click("ButtonPause");
        advance(60000);
        QCOMPARE(sent(pdu(1)), QStringList{"on3"});
        if (bCancel) {
            click("ButtonCancelSequence");
            advance(20000);
            // It switched only "on": nothing to bring back, and outlet 5 stays as it was.
            QCOMPARE(sent(pdu(1)), QStringList{"on3"});
            QVERIFY(
                child<QLabel>("LabelSequenceTitle")->text().contains(QStringLiteral("cancelled at step 1")));
            return;
        }
        click("ButtonResume");
        advance(9000);
        QCOMPARE(sent(pdu(1)), QStringList{"on3"});
        advance(1200);
        QCOMPARE(sent(pdu(1)), (QStringList{"on3", "off5"}));
        answer(pdu(1), bDeaf ? 0x14 : 0x04);
        advance(60000);
        QCOMPARE(stepState(1), bDeaf ? QStringLiteral("failed") : QStringLiteral("done"));
        QVERIFY(child<QLabel>("LabelSequenceTitle")
                    ->text()
                    .contains(bDeaf ? QStringLiteral("step 2 of 2 failed") : QStringLiteral("completed")));
    }
};

QTEST_MAIN(TestOutletSetsUi)
#include "tst_outletsetsui.moc"
