#include "DeviceUiFixture.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/device/OutletStatusWidget.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/MainTabBtn.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

namespace {
enum
{
    ColGroup = 0,
    ColOnline = 1,
    ColName = 2,
    ColPosition = 3,
    ColAddress = 4,
    ColOutlets = 5
};

QList<QLabel*> markers(const CDeviceOverviewWidget& overview)
{
    return overview.findChildren<QLabel*>(QStringLiteral("LabelCurrentPdu"));
}
} // namespace

class TestDeviceOverview : public QObject
{
    Q_OBJECT
private slots:
    void construction();
    void newDeviceShowsAddressAndCirclesUntilTick();
    void readingsAsShown_data();
    void readingsAsShown();
    void onlineColumnFollowsLiveness();
    void selectingMovesTheOneMarker();
    void defaultRowClearsSelectionState();
    void configTabButtonFollowsCurrentRow();
    void changeIpRewritesEveryMatchingRow();
    void rowWithoutDeviceKeepsItsValues();
    void sharedAddressShowsFirstDevice();
    void groupChange();
    void summaryCountsRefreshWithTree();
    void chineseTexts();
    void everyRowIsThirtyPixelsHigh();
    void outletPainterRepaintsWhenOutletsChange();
    void outletPaintersSitWhereTheStandardDelegatePutsThem();

private:
    struct Page
    {
        RegistryFixture fixture;
        CDeviceOverviewWidget overview;
        Page()
        {
            QObject::connect(fixture.registry(), &CRackmind::signalNewDevice, &overview,
                             &CDeviceOverviewWidget::slotNewDevice);
        }
        QTreeWidget* tree() const { return overview.treeWidget(); }
        QTreeWidgetItem* group() const { return tree()->topLevelItem(0); }
        QTreeWidgetItem* row(int i) const { return group()->child(i); }
        CDeviceControlWidget* control() const { return overview.mainStatusWidget()->deviceControl(); }
    };
};

void TestDeviceOverview::construction()
{
    CDeviceOverviewWidget overview;
    QTreeWidget* pTree = overview.findChild<QTreeWidget*>(QStringLiteral("treeWidgetMain"));
    QVERIFY(pTree);
    QCOMPARE(pTree, overview.treeWidget());
    QCOMPARE(pTree->columnCount(), 12);
    const QStringList listHeaders = {"Group",
                                     "Online",
                                     "Name",
                                     "Position",
                                     "IPAddress",
                                     "OutletStatus",
                                     "ProductType",
                                     "FirmwareVer",
                                     "Voltage(V)",
                                     "Current(A)",
                                     QString::fromUtf8("Temperature(\u2103)"),
                                     "Humidity(RH%)"};
    const QList<int> listWidths = {80, 80, 110, 110, 100, 180, 120, 100, 100, 100, 100, 100};
    for (int i = 0; i < 12; ++i) {
        QCOMPARE(pTree->headerItem()->text(i), listHeaders[i]);
        QCOMPARE(pTree->columnWidth(i), listWidths[i]);
    }
    QVERIFY(!pTree->headerItem()->icon(0).isNull());
    QCOMPARE(pTree->topLevelItemCount(), 1);
    QTreeWidgetItem* pDefault = pTree->topLevelItem(0);
    QCOMPARE(pDefault->text(0), QStringLiteral("Default"));
    QVERIFY(!(pDefault->flags() & Qt::ItemIsSelectable));
    QVERIFY(pDefault->isExpanded());
    QCOMPARE(pTree->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(pTree->focusPolicy(), Qt::NoFocus);
    QSplitter* pSplitter = overview.findChild<QSplitter*>(QStringLiteral("splitter"));
    QCOMPARE(pSplitter->widget(0), pTree);
    QCOMPARE(pSplitter->widget(1), overview.findChild<QWidget*>(QStringLiteral("MainStatusWidget")));
    QVERIFY(markers(overview).isEmpty());
}

void TestDeviceOverview::newDeviceShowsAddressAndCirclesUntilTick()
{
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    setText(pPdu->stInfo.name, "Rack 1");
    markOnline(pPdu);

    QCOMPARE(page.group()->childCount(), 1);
    QTreeWidgetItem* pRow = page.row(0);
    QCOMPARE(pRow->text(ColAddress), QStringLiteral("10.200.1.1"));
    for (int i = 0; i < 12; ++i) {
        if (i != ColAddress)
            QVERIFY2(pRow->text(i).isEmpty(), qPrintable(QString::number(i)));
        QCOMPARE(pRow->textAlignment(i), int(Qt::AlignCenter));
    }
    QCOMPARE(page.tree()->itemWidget(pRow, ColOutlets), static_cast<QWidget*>(pPdu->pOutletStatusWidget));

    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(pRow->text(ColName), QStringLiteral("Rack 1"), 2000);
    QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(pRow->text(ColOnline), QStringLiteral("Online"));
    QCOMPARE(pRow->text(ColPosition), QStringLiteral("office"));
    QCOMPARE(pRow->text(6), QStringLiteral("IP PDU"));
    QCOMPARE(pRow->text(7), QStringLiteral("1.0.0"));
    QVERIFY(pRow->text(ColGroup).isEmpty());
}

void TestDeviceOverview::readingsAsShown_data()
{
    QTest::addColumn<uint>("voltage");
    QTest::addColumn<double>("current");
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("humidity");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("defaults") << 220u << 0.0 << 25 << 50 << QStringList{"220", "0.00", "25", "50"};
    QTest::newRow("12 A, 230 V") << 230u << 12.0 << 25 << 50 << QStringList{"230", "12.00", "25", "50"};
    QTest::newRow("0.5 A") << 230u << 0.5 << 25 << 50 << QStringList{"230", "0.50", "25", "50"};
    QTest::newRow("unsigned bytes") << 0u << 3.14159 << 200 << 200 << QStringList{"0", "3.14", "200", "200"};
    QTest::newRow("extremes") << 4294967295u << 65535.9 << 255 << 0
                              << QStringList{"4294967295", "65535.90", "255", "0"};
}

void TestDeviceOverview::readingsAsShown()
{
    QFETCH(uint, voltage);
    QFETCH(double, current);
    QFETCH(int, temperature);
    QFETCH(int, humidity);
    QFETCH(QStringList, shown);
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    pPdu->stInfo.voltage = voltage;
    pPdu->stInfo.current = current;
    pPdu->stInfo.temperature = quint8(temperature);
    pPdu->stInfo.humidity = quint8(humidity);
    QTreeWidgetItem* pRow = page.row(0);
    QTRY_COMPARE(pRow->text(8), shown[0]);
    QCOMPARE(pRow->text(9), shown[1]);
    QCOMPARE(pRow->text(10), shown[2]);
    QCOMPARE(pRow->text(11), shown[3]);
}

void TestDeviceOverview::onlineColumnFollowsLiveness()
{
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    QTreeWidgetItem* pRow = page.row(0);
    // Never heard of since its creation here: offline, with the offline icon.
    QTRY_COMPARE(pRow->text(ColOnline), QStringLiteral("Offline"));
    QVERIFY(!pRow->icon(ColOnline).isNull());
    const qint64 iOfflineKey = pRow->icon(ColOnline).cacheKey();
    markOnline(pPdu);
    QTRY_COMPARE(pRow->text(ColOnline), QStringLiteral("Online"));
    QVERIFY(pRow->icon(ColOnline).cacheKey() != iOfflineKey);
}

void TestDeviceOverview::selectingMovesTheOneMarker()
{
    Page page;
    page.fixture.add("10.200.1.1");
    page.fixture.add("10.200.1.2");
    QSignalSpy spyTab(&page.overview, &CDeviceOverviewWidget::signalConfigTabEnabled);

    page.tree()->setCurrentItem(page.row(0));
    QCOMPARE(markers(page.overview).size(), 1);
    QCOMPARE(page.tree()->itemWidget(page.row(0), ColGroup),
             static_cast<QWidget*>(markers(page.overview)[0]));

    page.tree()->setCurrentItem(page.row(1));
    QCOMPARE(markers(page.overview).size(), 1);
    QLabel* pMarker = markers(page.overview)[0];
    QCOMPARE(page.tree()->itemWidget(page.row(1), ColGroup), static_cast<QWidget*>(pMarker));
    QVERIFY(!page.tree()->itemWidget(page.row(0), ColGroup));
    QCOMPARE(pMarker->size(), QSize(33, 30));
    QVERIFY(pMarker->hasScaledContents());
    QVERIFY(!pMarker->pixmap(Qt::ReturnByValue).isNull());

    QCOMPARE(spyTab.size(), 2);
    QCOMPARE(spyTab[0][0].toBool(), true);
    QCOMPARE(spyTab[1][0].toBool(), true);
}

void TestDeviceOverview::defaultRowClearsSelectionState()
{
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    pPdu->stInfo.outletStatus = 0x05;
    page.overview.resize(1200, 600);
    page.overview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.overview));
    QSignalSpy spyTab(&page.overview, &CDeviceOverviewWidget::signalConfigTabEnabled);

    QTest::mouseClick(page.tree()->viewport(), Qt::LeftButton, {},
                      page.tree()->visualItemRect(page.row(0)).center());
    QCOMPARE(page.tree()->currentItem(), page.row(0));
    QCOMPARE(page.control()->pdu(), pPdu);
    QVERIFY(page.control()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet1"))->isChecked());
    QVERIFY(page.control()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet3"))->isChecked());
    QCOMPARE(markers(page.overview).size(), 1);

    // The group row can be made current by a click, but it is never selected.
    QTest::mouseClick(page.tree()->viewport(), Qt::LeftButton, {},
                      page.tree()->visualItemRect(page.group()).center());
    QCOMPARE(page.tree()->currentItem(), page.group());
    QVERIFY(!page.group()->isSelected());
    QVERIFY(markers(page.overview).isEmpty());
    QVERIFY(!page.tree()->itemWidget(page.row(0), ColGroup));
    QVERIFY(!page.control()->pdu());
    for (QCheckBox* pCheck : page.control()->findChildren<QCheckBox*>()) {
        QVERIFY(!pCheck->isEnabled());
        QVERIFY(!pCheck->isChecked());
    }
    QCOMPARE(spyTab.size(), 2);
    QCOMPARE(spyTab[0][0].toBool(), true);
    QCOMPARE(spyTab[1][0].toBool(), false);
}

void TestDeviceOverview::configTabButtonFollowsCurrentRow()
{
    Page page;
    page.fixture.add("10.200.1.1");
    // Wired as the main dialog wires it: the configuration tab button starts disabled.
    QWidget window;
    CMainTab* pTab = new CMainTab(&window);
    CMainTabBtn* pConfig = pTab->buttons[1];
    pConfig->setEnabled(false);
    connect(&page.overview, &CDeviceOverviewWidget::signalConfigTabEnabled, pConfig,
            &CMainTabBtn::setEnabled);
    page.tree()->setCurrentItem(page.row(0));
    QVERIFY(pConfig->isEnabled());
    page.tree()->setCurrentItem(page.group());
    QVERIFY(!pConfig->isEnabled());
}

void TestDeviceOverview::changeIpRewritesEveryMatchingRow()
{
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    page.fixture.add("10.200.1.2");
    // A second row with the same address text (the device announced twice).
    page.overview.slotNewDevice(pPdu);
    QCOMPARE(page.group()->childCount(), 3);

    page.overview.slotChangeIP(QHostAddress(QStringLiteral("10.200.1.1")).toIPv4Address(),
                               QHostAddress(QStringLiteral("10.200.1.9")).toIPv4Address());
    QCOMPARE(page.row(0)->text(ColAddress), QStringLiteral("10.200.1.9"));
    QCOMPARE(page.row(1)->text(ColAddress), QStringLiteral("10.200.1.2"));
    QCOMPARE(page.row(2)->text(ColAddress), QStringLiteral("10.200.1.9"));
}

void TestDeviceOverview::rowWithoutDeviceKeepsItsValues()
{
    Page page;
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    setText(pPdu->stInfo.name, "Before");
    QTRY_COMPARE(page.row(0)->text(ColName), QStringLiteral("Before"));
    // The device reports another address, but the row is not told: it keeps what it showed.
    ipv4FromUint(QHostAddress(QStringLiteral("10.200.1.50")).toIPv4Address(), pPdu->stInfo.ip);
    setText(pPdu->stInfo.name, "After");
    QTest::qWait(700);
    QCOMPARE(page.row(0)->text(ColName), QStringLiteral("Before"));
    QCOMPARE(page.row(0)->text(ColAddress), QStringLiteral("10.200.1.1"));
    // Once told, it finds its device again.
    page.overview.slotChangeIP(QHostAddress(QStringLiteral("10.200.1.1")).toIPv4Address(),
                               QHostAddress(QStringLiteral("10.200.1.50")).toIPv4Address());
    QTRY_COMPARE(page.row(0)->text(ColName), QStringLiteral("After"));
}

void TestDeviceOverview::sharedAddressShowsFirstDevice()
{
    Page page;
    CPdu* pFirst = page.fixture.add("10.200.1.1");
    setText(pFirst->stInfo.name, "First");
    CPdu* pSecond = page.fixture.add("10.200.1.2");
    setText(pSecond->stInfo.name, "Second");
    QTRY_COMPARE(page.row(1)->text(ColName), QStringLiteral("Second"));
    // The second device now reports the first one's address: both rows show the first device.
    ipv4FromUint(ipv4ToUint(pFirst->stInfo.ip), pSecond->stInfo.ip);
    page.overview.slotChangeIP(QHostAddress(QStringLiteral("10.200.1.2")).toIPv4Address(),
                               QHostAddress(QStringLiteral("10.200.1.1")).toIPv4Address());
    QTRY_COMPARE(page.row(1)->text(ColName), QStringLiteral("First"));
    QCOMPARE(page.row(0)->text(ColName), QStringLiteral("First"));
}

void TestDeviceOverview::groupChange()
{
    Page page;
    CPdu* pA = page.fixture.add("10.200.1.1");
    CPdu* pB = page.fixture.add("10.200.1.2");
    page.tree()->setCurrentItem(page.row(1));

    // Under the single group row nothing moves.
    pB->strGroup = QStringLiteral("Default");
    page.overview.slotDeviceGroupChanged(pB);
    pB->strGroup = QStringLiteral("Rack A");
    page.overview.slotDeviceGroupChanged(pB);
    QCOMPARE(page.tree()->topLevelItemCount(), 1);
    QCOMPARE(page.group()->childCount(), 2);

    // Where a row of that group exists, the device's row moves there with its circles and marker.
    QTreeWidgetItem* pRack = new QTreeWidgetItem(page.tree(), QStringList{QStringLiteral("Rack A")});
    page.overview.slotDeviceGroupChanged(pB);
    QCOMPARE(page.group()->childCount(), 1);
    QCOMPARE(pRack->childCount(), 1);
    QTreeWidgetItem* pMoved = pRack->child(0);
    QCOMPARE(pMoved->text(ColAddress), QStringLiteral("10.200.1.2"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(page.tree()->itemWidget(pMoved, ColOutlets), static_cast<QWidget*>(pB->pOutletStatusWidget));
    QCOMPARE(page.tree()->currentItem(), pMoved);
    QCOMPARE(markers(page.overview).size(), 1);
    QCOMPARE(page.tree()->itemWidget(pMoved, ColGroup), static_cast<QWidget*>(markers(page.overview)[0]));
    QCOMPARE(page.tree()->itemWidget(page.row(0), ColOutlets),
             static_cast<QWidget*>(pA->pOutletStatusWidget));
    QTRY_COMPARE(pMoved->text(ColOnline), QStringLiteral("Offline"));
}

void TestDeviceOverview::summaryCountsRefreshWithTree()
{
    Page page;
    CPdu* pOnline = page.fixture.add("10.200.1.1");
    markOnline(pOnline);
    CPdu* pHot = page.fixture.add("10.200.1.2");
    pHot->stInfo.temperature = pHot->stInfo.temperatureHighLimit;
    page.fixture.add("10.200.1.3");
    QLabel* pLabel = page.overview.findChild<QLabel*>(QStringLiteral("LabelSummarise"));
    QTRY_COMPARE(pLabel->text(), QStringLiteral("Total:3\nOnline:1\nAbnormal:1"));
}

void TestDeviceOverview::chineseTexts()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral(":/Language/Language/zh_CN.qm")));
    QCoreApplication::installTranslator(&translator);
    Page page;
    page.overview.retranslate();
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(page.tree()->headerItem()->text(ColName), QString::fromUtf8("名称"));
    QCOMPARE(page.tree()->headerItem()->text(10), QString::fromUtf8("温度(\u2103)"));
    QCOMPARE(page.group()->text(0), QString::fromUtf8("默认"));
    QCOMPARE(page.control()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet3"))->text(),
             QString::fromUtf8("插座3"));
}

void TestDeviceOverview::everyRowIsThirtyPixelsHigh()
{
    Page page;
    page.overview.resize(1200, 600);
    page.overview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.overview));
    for (const char* pszAddress : {"10.200.1.1", "10.200.1.2", "10.200.1.3"})
        page.fixture.add(pszAddress);
    setText(page.fixture.registry()->listPdu.at(1)->stInfo.name, "A rather long device name");
    page.tree()->setCurrentItem(page.row(2));
    QMetaObject::invokeMethod(&page.overview, "slotUpdateList");
    QCoreApplication::processEvents();

    QCOMPARE(page.tree()->visualItemRect(page.group()).height(), 30);
    for (int i = 0; i < 3; ++i) {
        const QRect rect = page.tree()->visualItemRect(page.row(i));
        QCOMPARE(rect.height(), 30);
        QCOMPARE(rect.top(), 30 * (i + 1));
    }
}

namespace {
class CPaintCounter : public QObject
{
public:
    int iPaints = 0;
    bool eventFilter(QObject*, QEvent* pEvent) override
    {
        if (pEvent->type() == QEvent::Paint)
            ++iPaints;
        return false;
    }
};
} // namespace

void TestDeviceOverview::outletPainterRepaintsWhenOutletsChange()
{
    Page page;
    page.overview.resize(1200, 600);
    page.overview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.overview));
    CPdu* pPdu = page.fixture.add("10.200.1.1");
    const auto tick = [&page] {
        QMetaObject::invokeMethod(&page.overview, "slotUpdateList");
        QCoreApplication::processEvents();
    };
    tick();
    CPaintCounter counter;
    pPdu->pOutletStatusWidget->installEventFilter(&counter);

    pPdu->stInfo.outletStatus = 0x81;
    tick();
    QTRY_VERIFY(counter.iPaints > 0);
    const QImage image = pPdu->pOutletStatusWidget->grab().toImage();
    // Circle 1 is green now, circle 2 still red.
    QCOMPARE(image.pixelColor(4, 14), QColor(80, 255, 80));
    QCOMPARE(image.pixelColor(26, 14), QColor(255, 80, 80));

    // A tick with the same outlet states leaves the painter alone.
    counter.iPaints = 0;
    tick();
    tick();
    QCOMPARE(counter.iPaints, 0);
    pPdu->stInfo.outletStatus = 0x01;
    tick();
    QTRY_VERIFY(counter.iPaints > 0);
}

void TestDeviceOverview::outletPaintersSitWhereTheStandardDelegatePutsThem()
{
    Page page;
    page.overview.resize(1200, 600);
    page.overview.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page.overview));
    QList<CPdu*> listPdu;
    for (const char* pszAddress : {"10.200.1.1", "10.200.1.2", "10.200.1.3"})
        listPdu << page.fixture.add(pszAddress);
    // Rows added to a shown tree get their painters placed in their cells.
    QCoreApplication::processEvents();
    for (int i = 0; i < listPdu.size(); ++i) {
        const QRect rectRow = page.tree()->visualItemRect(page.row(i));
        const QRect rect = listPdu.at(i)->pOutletStatusWidget->geometry();
        QVERIFY(listPdu.at(i)->pOutletStatusWidget->isVisible());
        QCOMPARE(rect.top(), rectRow.top());
        QCOMPARE(rect.left(), page.tree()->columnViewportPosition(ColOutlets));
    }
    listPdu << page.fixture.add("10.200.1.4");
    QCoreApplication::processEvents();
    QCOMPARE(listPdu.last()->pOutletStatusWidget->geometry().top(),
             page.tree()->visualItemRect(page.row(3)).top());

    // A new cell size is worked out afresh, then reused for every row.
    page.tree()->setColumnWidth(ColOutlets, 150);
    QCoreApplication::processEvents();
    QList<QRect> listOurs;
    for (CPdu* pPdu : listPdu)
        listOurs << pPdu->pOutletStatusWidget->geometry();

    QStyledItemDelegate standard;
    page.tree()->setItemDelegateForColumn(ColOutlets, &standard);
    for (CPdu* pPdu : listPdu)
        pPdu->pOutletStatusWidget->setGeometry(0, 0, 1, 1);
    page.tree()->doItemsLayout();
    QCoreApplication::processEvents();
    for (int i = 0; i < listPdu.size(); ++i)
        QCOMPARE(listOurs.at(i), listPdu.at(i)->pOutletStatusWidget->geometry());
    page.tree()->setItemDelegateForColumn(ColOutlets, nullptr);
}

QTEST_MAIN(TestDeviceOverview)
#include "tst_deviceoverview.moc"
