#include "app/AppShell.h"
#include "common/Clock.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "tools/common/TextFit.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/device/OutletActions.h"
#include "ui/device/OutletStatusWidget.h"
#include "ui/device/PduLookup.h"

#include <QNetworkDatagram>
#include <QtTest>
#include <QtWidgets>

#include <cstring>

// The overview page: the device tree, and the status panel with the summary and the outlet switches.

namespace {

using W = CDeviceOverviewWidget;

template <int N> void setText(char (&field)[N], const QByteArray& baText)
{
    std::memcpy(field, baText.leftJustified(N, '\0', true).constData(), N);
}

// Any datagram from the device's address keeps it online, whatever it carries.
void markOnline(CPdu* pPdu)
{
    pPdu->slotRcvData(QByteArray(1, char(0)));
}

// A registry of the page's own, installed as the process-wide one, and the page fed by it.
struct Page
{
    CRackmind registry;
    W overview;
    QList<QNetworkDatagram> listSent;
    explicit Page(bool bShown = false)
    {
        g_pRackmind = &registry;
        QObject::connect(&registry, &CRackmind::signalNewDevice, &overview, &W::slotNewDevice);
        QObject::connect(&registry, &CRackmind::signalSndData,
                         [this](bool&, QByteArray baData, QHostAddress addr, uint uiPort) {
                             listSent << QNetworkDatagram(baData, addr, quint16(uiPort));
                         });
        overview.resize(1200, 600);
        overview.setVisible(bShown);
        if (bShown)
            QVERIFY(QTest::qWaitForWindowExposed(&overview));
    }
    CPdu* add(const char* pszAddress)
    {
        return registry.addPdu(QHostAddress(QLatin1String(pszAddress)).toIPv4Address());
    }
    QTreeWidget* tree() const { return overview.treeWidget(); }
    QTreeWidgetItem* group() const { return tree()->topLevelItem(0); }
    QTreeWidgetItem* row(int i) const { return group()->child(i); }
    QString text(int iRow, int iColumn) const { return row(iRow)->text(iColumn); }
    QStringList texts(int iRow) const
    {
        QStringList list;
        for (int i = 0; i < W::ColumnCount; ++i)
            list << text(iRow, i);
        return list;
    }
    QWidget* cell(QTreeWidgetItem* pRow, int iColumn) const { return tree()->itemWidget(pRow, iColumn); }
    CDeviceControlWidget* control() const { return overview.mainStatusWidget()->deviceControl(); }
    QCheckBox* check(int iOutlet) const
    {
        return control()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet%1").arg(iOutlet));
    }
    QList<QLabel*> markers() const
    {
        return overview.findChildren<QLabel*>(QStringLiteral("LabelCurrentPdu"));
    }
    // What the 500 ms refresh does, without waiting for it.
    void refresh()
    {
        QMetaObject::invokeMethod(&overview, "slotUpdateList");
        QCoreApplication::processEvents();
    }
};

class CPaintCounter : public QObject
{
public:
    int iPaints = 0;
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        iPaints += pEvent->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

class TestDeviceOverview : public QObject
{
    Q_OBJECT
private slots:
    // The console's own style and style sheet, which decide how much room a cell's icon and text take.
    void initTestCase() { createSharedResources(); }

    void newDeviceRowFillsOnTheNextRefresh()
    {
        Page page;
        CPdu* pPdu = page.add("10.200.1.1");
        setText(pPdu->stInfo.name, "Rack 1");
        setText(pPdu->stInfo.position, "Hall");
        setText(pPdu->stInfo.productType, "PX8");
        setText(pPdu->stInfo.firmwareVer, "2.1");
        // Readings at the ends of their ranges: no sign, amperes with two decimals.
        pPdu->stInfo.voltage = 4294967295u;
        pPdu->stInfo.current = 65535.9;
        pPdu->stInfo.temperature = 200;
        pPdu->stInfo.humidity = 255;
        QCOMPARE(page.texts(0).join(QLatin1Char('|')), QStringLiteral("||||10.200.1.1|||||||"));
        QCOMPARE(page.cell(page.row(0), W::ColumnOutletStatus), pPdu->pOutletStatusWidget.data());
        page.refresh();
        QCOMPARE(page.text(0, W::ColumnName), QStringLiteral("Rack 1"));
        // Never heard of since its creation here: offline; any datagram makes it online.
        QCOMPARE(page.texts(0).join(QLatin1Char('|')),
                 QStringLiteral("|Offline|Rack 1|Hall|10.200.1.1||PX8|2.1|4294967295|65535.90|200|255"));
        const qint64 iOfflineIcon = page.row(0)->icon(W::ColumnOnline).cacheKey();
        // The readings of a device that is not answering are its last ones and look it.
        const QBrush brushStale = page.row(0)->foreground(W::ColumnVoltage);
        qint64 iNow = 5000000;
        Clock::setElapsedSource([&iNow] { return iNow; });
        const auto restore = qScopeGuard([] { Clock::setElapsedSource({}); });
        markOnline(pPdu);
        page.refresh();
        QCOMPARE(page.text(0, W::ColumnOnline), QStringLiteral("Online"));
        QVERIFY(page.row(0)->icon(W::ColumnOnline).cacheKey() != iOfflineIcon);
        QVERIFY(page.row(0)->foreground(W::ColumnVoltage) != brushStale);
        // Silent into the fourth second: still online; from its end, offline on the next refresh.
        iNow += CPdu::kOnlineMsecs - 1;
        page.refresh();
        QCOMPARE(page.text(0, W::ColumnOnline), QStringLiteral("Online"));
        ++iNow;
        page.refresh();
        QCOMPARE(page.text(0, W::ColumnOnline), QStringLiteral("Offline"));
        // The state and the name are drawn whole, icon and all, in the columns as first sized.
        QAbstractItemModel* pModel = page.tree()->model();
        for (int iColumn : {int(W::ColumnOnline), int(W::ColumnName)}) {
            const QModelIndex index = pModel->index(0, iColumn, pModel->index(0, 0));
            // As the view fills it for its cells.
            QStyleOptionViewItem option;
            option.initFrom(page.tree());
            option.widget = page.tree();
            option.font = page.tree()->font();
            const int iIcon =
                page.tree()->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, page.tree());
            option.decorationSize =
                page.tree()->iconSize().isValid() ? page.tree()->iconSize() : QSize(iIcon, iIcon);
            const int iNeeded = page.tree()->itemDelegate(index)->sizeHint(option, index).width();
            QVERIFY2(iNeeded <= page.tree()->columnWidth(iColumn), qPrintable(page.text(0, iColumn)));
        }
    }

    // A row marks its own device's alarms, and tells those still to acknowledge from the others; the
    // first device's standing unacknowledged alarm is what the second's row is held against.
    void rowMarksItsDevicesAlarm_data()
    {
        QTest::addColumn<QString>("strSteps"); // b begins, a acknowledged, e ends, o the device goes silent
        QTest::addColumn<int>("iMark");
        QTest::newRow("none") << QString() << int(AlarmMark::None);
        QTest::newRow("unacknowledged") << QStringLiteral("b") << int(AlarmMark::Unacknowledged);
        QTest::newRow("acknowledged") << QStringLiteral("ba") << int(AlarmMark::Acknowledged);
        QTest::newRow("cleared") << QStringLiteral("bae") << int(AlarmMark::None);
        QTest::newRow("offline") << QStringLiteral("bo") << int(AlarmMark::Unacknowledged);
    }
    void rowMarksItsDevicesAlarm()
    {
        QFETCH(QString, strSteps);
        QFETCH(int, iMark);
        Page page;
        CAlarmTracker tracker;
        page.overview.alarmPanel()->setAlarmTracker(&tracker);
        qint64 iNow = 5000000;
        Clock::setElapsedSource([&iNow] { return iNow; });
        const auto restore = qScopeGuard([] { Clock::setElapsedSource({}); });
        CPdu* pReference = page.add("10.200.1.1");
        CPdu* pPdu = page.add("10.200.1.2");
        const int iCondition = CPdu::AlarmCurrentOverload;
        tracker.alarmBegan(pReference, iCondition, QString());
        for (const QChar step : QString(QLatin1Char('-') + strSteps)) {
            iNow += step == QLatin1Char('o') ? CPdu::kOnlineMsecs : 0;
            markOnline(pReference);
            if (step == QLatin1Char('-'))
                markOnline(pPdu);
            if (step == QLatin1Char('b'))
                tracker.alarmBegan(pPdu, iCondition, QString());
            for (const ActiveAlarm& alarm : tracker.activeAlarms())
                if (step == QLatin1Char('a') && alarm.pPdu == pPdu)
                    tracker.acknowledge(alarm.uiId);
            if (step == QLatin1Char('e'))
                tracker.alarmEnded(pPdu, iCondition, QString());
            page.refresh();
        }
        QTreeWidgetItem* pRow = page.overview.rowOf(pPdu);
        QTreeWidgetItem* pRowReference = page.overview.rowOf(pReference);
        QCOMPARE(itemPdu(pRow), pPdu);
        const bool bMarked = iMark != AlarmMark::None;
        const bool bAsReference = iMark == AlarmMark::Unacknowledged;
        QCOMPARE(pRow->toolTip(W::ColumnCurrent).contains(CAlarmPanel::conditionName(iCondition)), bMarked);
        QCOMPARE(pRow->icon(W::ColumnName).isNull(), !bMarked);
        QCOMPARE(pRow->background(W::ColumnCurrent).style() == Qt::NoBrush, !bMarked);
        QCOMPARE(pRow->icon(W::ColumnName).cacheKey() == pRowReference->icon(W::ColumnName).cacheKey(),
                 bAsReference);
        QCOMPARE(pRow->background(W::ColumnCurrent) == pRowReference->background(W::ColumnCurrent),
                 bAsReference);
        // Offline, the mark stays; the tip tells that the readings, greyed, are the last received.
        const bool bOffline = strSteps.contains(QLatin1Char('o'));
        QCOMPARE(pRow->toolTip(W::ColumnCurrent) != pRowReference->toolTip(W::ColumnCurrent),
                 !bAsReference || bOffline);
        QCOMPARE(pRow->foreground(W::ColumnCurrent) != pRowReference->foreground(W::ColumnCurrent), bOffline);
    }

    void summaryCountsTheDevices()
    {
        Page page;
        markOnline(page.add("10.200.1.1"));
        CPdu* pHot = page.add("10.200.1.2");
        pHot->stInfo.temperature = pHot->stInfo.temperatureHighLimit;
        page.add("10.200.1.3");
        QLabel* pLabel = page.overview.findChild<QLabel*>(QStringLiteral("LabelSummarise"));
        page.refresh();
        // Judged against the factory limits until the device has reported its own: not counted.
        QCOMPARE(pLabel->text(), QStringLiteral("Total:3\nOnline:1\nAbnormal:0"));
        pHot->slotRcvData(buildFrame(kFrameReply, kCmdThresholds, payloadFor(kCmdThresholds, pHot->stInfo)));
        page.refresh();
        QCOMPARE(pLabel->text(), QStringLiteral("Total:3\nOnline:2\nAbnormal:1"));
        pHot->stInfo.temperature = 25;
        page.refresh();
        QCOMPARE(pLabel->text(), QStringLiteral("Total:3\nOnline:2\nAbnormal:0"));
        // Before login there is no registry: nothing to count.
        g_pRackmind = nullptr;
        page.overview.mainStatusWidget()->retranslate();
        QCOMPARE(pLabel->text(), QStringLiteral("Total:0\nOnline:0\nAbnormal:0"));
    }

    void currentRowDrivesMarkerPanelAndConfigTab()
    {
        Page page(true);
        CPdu* pPdu = page.add("10.200.1.1");
        pPdu->stInfo.outletStatus = 0x05;
        page.add("10.200.1.2");
        QSignalSpy spyTab(&page.overview, &W::signalConfigTabEnabled);
        const auto click = [&page](QTreeWidgetItem* pItem) {
            QTest::mouseClick(page.tree()->viewport(), Qt::LeftButton, {},
                              page.tree()->visualItemRect(pItem).center());
        };
        page.tree()->setCurrentItem(page.row(1));
        click(page.row(0));
        QCOMPARE(page.control()->pdu(), pPdu);
        QVERIFY(page.check(3)->isChecked());
        // Exactly one marker, on the current row.
        QCOMPARE(page.markers().size(), 1);
        QCOMPARE(page.cell(page.row(0), W::ColumnGroup), page.markers().at(0));
        QVERIFY(!page.cell(page.row(1), W::ColumnGroup));
        // The group row can be made current by a click, but it is never selected and edits no device.
        click(page.group());
        QCOMPARE(page.tree()->currentItem(), page.group());
        QVERIFY(!page.group()->isSelected());
        QVERIFY(page.markers().isEmpty());
        QVERIFY(!page.control()->pdu());
        for (QCheckBox* pCheck : page.control()->findChildren<QCheckBox*>())
            QVERIFY(!pCheck->isEnabled() && !pCheck->isChecked());
        QCOMPARE(spyTab.size(), 3);
        QCOMPARE(spyTab.at(1).at(0).toBool(), true);
        QCOMPARE(spyTab.at(2).at(0).toBool(), false);
    }

    void rowWithoutDeviceDisablesSwitches()
    {
        Page page(true);
        CPdu* pPdu = page.add("10.200.1.1");
        pPdu->stInfo.outletStatus = 0xFF;
        // An address no device reports, then a known one without a registry (before login).
        for (bool bRegistry : {true, false}) {
            QTreeWidgetItem row(QStringList{{}, {}, {}, {}, bRegistry ? "10.200.9.9" : "10.200.1.1"});
            page.tree()->setCurrentItem(page.row(0));
            QCOMPARE(page.control()->pdu(), pPdu);
            g_pRackmind = bRegistry ? &page.registry : nullptr;
            page.overview.mainStatusWidget()->slotCurrentPduChanged(&row, page.row(0));
            QVERIFY(!page.control()->pdu());
            for (int n = 1; n <= 8; ++n)
                QVERIFY(!page.check(n)->isEnabled() && !page.check(n)->isChecked());
            page.tree()->setCurrentItem(page.group());
        }
    }

    void switchesShowAndSendTheOutlets_data()
    {
        QTest::addColumn<int>("outlet");
        QTest::addColumn<int>("outletStatus");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("uncheck 3") << 3 << 0x85 << QByteArray::fromHex("A7410C020204FC");
        QTest::newRow("check 8") << 8 << 0x05 << QByteArray::fromHex("A7410C02018077");
        QTest::newRow("check 1") << 1 << 0x00 << QByteArray::fromHex("A7410C020101F8");
        QTest::newRow("uncheck 8") << 8 << 0xFF << QByteArray::fromHex("A7410C02028078");
    }

    void switchesShowAndSendTheOutlets()
    {
        QFETCH(int, outlet);
        QFETCH(int, outletStatus);
        QFETCH(QByteArray, frame);
        Page page(true);
        // Shown after a device with the opposite states, so every switch has to move.
        page.add("10.200.1.6")->stInfo.outletStatus = quint8(~outletStatus);
        CPdu* pPdu = page.add("10.200.1.7");
        pPdu->stInfo.udpPort = 6000;
        pPdu->stInfo.outletStatus = quint8(outletStatus);
        page.tree()->setCurrentItem(page.row(0));
        page.tree()->setCurrentItem(page.row(1));
        for (int n = 1; n <= 8; ++n)
            QCOMPARE(page.check(n)->isChecked(), bool(outletStatus & (1 << (n - 1))));
        QVERIFY(page.listSent.isEmpty());
        QTest::mouseClick(page.check(outlet), Qt::LeftButton, {}, page.check(outlet)->rect().center());
        QCOMPARE(page.check(outlet)->isChecked(), !(outletStatus & (1 << (outlet - 1))));
        QCOMPARE(page.listSent.size(), 1);
        QCOMPARE(page.listSent.at(0).data().toHex(' '), frame.toHex(' '));
        QCOMPARE(page.listSent.at(0).destinationAddress(), QHostAddress(QStringLiteral("10.200.1.7")));
        QCOMPARE(page.listSent.at(0).destinationPort(), 6000);
        // The switch keeps the requested state: the device has not answered yet.
        QCOMPARE(pPdu->stInfo.outletStatus, quint8(outletStatus));
    }

    // Two units fresh from the factory both report its address while answering from their own: each
    // row shows, switches and names its own unit, whatever the address column says.
    void rowsKeepTheirDevice()
    {
        Page page(true);
        CPdu* pA = page.add("10.200.1.1");
        CPdu* pB = page.add("10.200.1.2");
        setText(pA->stInfo.name, "A");
        setText(pB->stInfo.name, "B");
        pA->stInfo.outletStatus = 0x02;
        ipv4FromUint(0xC0A80064u, pA->stInfo.ip);
        ipv4FromUint(0xC0A80064u, pB->stInfo.ip);
        page.refresh();
        QCOMPARE(page.text(0, W::ColumnName), QStringLiteral("A"));
        QCOMPARE(page.text(1, W::ColumnName), QStringLiteral("B"));
        QCOMPARE(page.text(1, W::ColumnIPAddress), QStringLiteral("192.168.0.100"));
        for (int iRow : {1, 0}) {
            CPdu* pOwn = iRow ? pB : pA;
            page.tree()->setCurrentItem(page.row(iRow));
            QCOMPARE(page.control()->pdu(), pOwn);
            QCOMPARE(page.check(2)->isChecked(), iRow == 0);
            page.listSent.clear();
            page.check(5)->click();
            QCOMPARE(page.listSent.size(), 1);
            QCOMPARE(page.listSent.at(0).destinationAddress(), pOwn->sendAddress());
        }
        QCOMPARE(page.overview.rowOf(pB), page.row(1));
        // The row's menu (cycles, protection, history) is built for the row's own device.
        QList<CPdu*> listMenus;
        QObject::connect(&page.overview, &W::signalRowMenu, [&](QMenu*, CPdu* pPdu) { listMenus << pPdu; });
        for (int iRow : {1, 0})
            emit page.tree()->customContextMenuRequested(
                page.tree()->visualItemRect(page.row(iRow)).center());
        QCOMPARE(listMenus, (QList<CPdu*>{pB, pA}));

        // B is told its address as the registry relays it: before B has taken it, and without saying
        // which device moved. Only B's row follows; A's keeps the address A reports.
        page.overview.slotChangeIP(0xC0A80064u, 0x0AC80132u);
        ipv4FromUint(0x0AC80132u, pB->stInfo.ip);
        QCoreApplication::processEvents();
        QCOMPARE(page.text(0, W::ColumnIPAddress), QStringLiteral("192.168.0.100"));
        QCOMPARE(page.text(1, W::ColumnIPAddress), QStringLiteral("10.200.1.50"));

        // A row whose device is gone stays, offline, and acts on nothing.
        page.tree()->setCurrentItem(page.row(1));
        page.registry.listPdu.removeOne(pB);
        delete pB;
        page.refresh();
        QCOMPARE(page.text(1, W::ColumnOnline), QStringLiteral("Offline"));
        QCOMPARE(page.text(1, W::ColumnName), QStringLiteral("B"));
        QVERIFY(!page.overview.rowOf(pB));
        QVERIFY(!page.control()->pdu());
        QVERIFY(!page.check(5)->isEnabled());
        page.listSent.clear();
        page.tree()->setCurrentItem(page.row(0));
        page.tree()->setCurrentItem(page.row(1));
        QVERIFY(!page.control()->pdu());
        QVERIFY(page.listSent.isEmpty());
    }

    // A question before an outlet goes off names the outlet and its unit as they hold them: markup in a
    // name neither formats the question nor hides which unit it is about.
    void promptShowsNamesAsWritten()
    {
        Page page;
        CPdu* pPdu = page.add("10.200.1.7");
        setText(pPdu->stInfo.outletName[2], "<s>x<!--");
        const QString strText =
            QStringLiteral("Switch %1 of Rack (10.200.1.7) off?").arg(COutletActions::outletLabel(pPdu, 3));
        QString strShown;
        QTimer::singleShot(0, [&strShown] {
            auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!pBox)
                return;
            const auto* pLabel = pBox->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QTextDocument document;
            if (pLabel && pLabel->textFormat() != Qt::PlainText && Qt::mightBeRichText(pLabel->text()))
                document.setHtml(pLabel->text());
            else if (pLabel)
                document.setPlainText(pLabel->text());
            strShown = document.toPlainText();
            pBox->reject();
        });
        COutletActions::prompt(nullptr, true, QStringLiteral("question"), strText);
        QCOMPARE(strShown, strText);
    }

    void groupChangeMovesTheRow()
    {
        Page page;
        page.add("10.200.1.1");
        CPdu* pB = page.add("10.200.1.2");
        page.tree()->setCurrentItem(page.row(1));
        // Without a row of that group nothing moves.
        pB->strGroup = QStringLiteral("Rack A");
        page.overview.slotDeviceGroupChanged(pB);
        QCOMPARE(page.group()->childCount(), 2);
        // Where a row of that group exists, the device's row moves there with its circles and marker.
        auto* pRack = new QTreeWidgetItem(page.tree(), QStringList{QStringLiteral("Rack A")});
        page.overview.slotDeviceGroupChanged(pB);
        QCOMPARE(page.group()->childCount(), 1);
        QTreeWidgetItem* pMoved = pRack->child(0);
        QCOMPARE(pMoved->text(W::ColumnIPAddress), QStringLiteral("10.200.1.2"));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(page.cell(pMoved, W::ColumnOutletStatus), pB->pOutletStatusWidget.data());
        QCOMPARE(page.tree()->currentItem(), pMoved);
        QCOMPARE(page.markers().size(), 1);
        QCOMPARE(page.cell(pMoved, W::ColumnGroup), page.markers().at(0));
    }

    // A click on a header sorts by it, numbers as numbers; a second click turns the order round.
    void headerClickSortsByNumber()
    {
        Page page(true);
        const int iVoltages[] = {9, 100, 20};
        for (int i = 0; i < 3; ++i)
            page.add(qPrintable(QStringLiteral("10.200.1.%1").arg(i + 1)))->stInfo.voltage =
                quint32(iVoltages[i]);
        page.refresh();
        QHeaderView* pHeader = page.tree()->header();
        const QPoint ptVoltage(pHeader->sectionViewportPosition(W::ColumnVoltage) + 5, 5);
        for (const char* pszOrder : {"9 20 100", "100 20 9"}) {
            QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, Qt::NoModifier, ptVoltage);
            const QStringList list{page.text(0, W::ColumnVoltage), page.text(1, W::ColumnVoltage),
                                   page.text(2, W::ColumnVoltage)};
            QCOMPARE(list.join(QLatin1Char(' ')), QLatin1String(pszOrder));
        }
    }

    void chineseTexts()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/Language/Language/zh_CN.qm")));
        QCoreApplication::installTranslator(&translator);
        Page page;
        page.overview.retranslate();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(page.tree()->headerItem()->text(W::ColumnTemperature), QString::fromUtf8("温度(\u2103)"));
        QCOMPARE(page.group()->text(0), QString::fromUtf8("默认"));
        QCOMPARE(page.check(3)->text(), QString::fromUtf8("插座3"));
    }

    void outletPainterRepaintsOnlyWhenOutletsChange()
    {
        Page page(true);
        CPdu* pPdu = page.add("10.200.1.1");
        page.refresh();
        CPaintCounter counter;
        pPdu->pOutletStatusWidget->installEventFilter(&counter);
        for (quint8 uiOutlets : {0x81, 0x01}) {
            pPdu->stInfo.outletStatus = uiOutlets;
            page.refresh();
            QTRY_VERIFY(counter.iPaints > 0);
            // Refreshes with the same outlet states leave the painter alone.
            counter.iPaints = 0;
            page.refresh();
            page.refresh();
            QCOMPARE(counter.iPaints, 0);
        }
    }

    void outletPaintersSitWhereTheStandardDelegatePutsThem()
    {
        Page page(true);
        for (const char* pszAddress : {"10.200.1.1", "10.200.1.2", "10.200.1.3"})
            page.add(pszAddress);
        const QList<CPdu*> listPdu = page.registry.listPdu;
        // Rows added to a shown tree get their painters placed; a new cell size is worked out afresh,
        // then used for every row.
        QCoreApplication::processEvents();
        QCOMPARE(listPdu.at(2)->pOutletStatusWidget->y(), page.tree()->visualItemRect(page.row(2)).top());
        page.tree()->setColumnWidth(W::ColumnOutletStatus, 150);
        const auto geometries = [&] {
            QCoreApplication::processEvents();
            QList<QRect> list;
            for (CPdu* pPdu : listPdu)
                list << pPdu->pOutletStatusWidget->geometry();
            return list;
        };
        const QList<QRect> listOurs = geometries();
        QStyledItemDelegate standard;
        page.tree()->setItemDelegateForColumn(W::ColumnOutletStatus, &standard);
        for (CPdu* pPdu : listPdu)
            pPdu->pOutletStatusWidget->setGeometry(0, 0, 1, 1);
        page.tree()->doItemsLayout();
        QCOMPARE(geometries(), listOurs);
        page.tree()->setItemDelegateForColumn(W::ColumnOutletStatus, nullptr);
    }
};

// With the fonts a desk has, which decide whether a cell's text fits its column.
DESK_FONTS_TEST_MAIN(TestDeviceOverview)
#include "tst_deviceoverview.moc"
