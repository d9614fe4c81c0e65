#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryStore.h"
#include "settings/GroupSettings.h"
#include "tests/capacity/SeededStore.h"
#include "ui/history/HistoryUi.h"
#include "ui/history/HistoryWindow.h"
#include "ui/power/LoadBarDelegate.h"
#include "ui/power/PowerWindow.h"

#include <QComboBox>
#include <QHeaderView>
#include <QScreen>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtTest>

using BarRow = std::tuple<double, double, int, double>;
Q_DECLARE_METATYPE(BarRow)

using SortRow = std::tuple<int, int, QStringList>;
Q_DECLARE_METATYPE(SortRow)

// The capacity window over devices and a store of the test's own: how its columns sort, what its bars
// show, and the history it opens.
class TestPowerWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    CHistoryStore* m_pStore = nullptr;
    QStringList m_listGroups;

    // A device heard from for as long as the test runs, drawing dAmps at 230 V (offline when negative).
    CPdu* addDevice(const QString& strName, const QString& strGroup, double dAmps)
    {
        CPdu* pPdu = g_pRackmind->addPdu(0x0A000001 + uint(g_pRackmind->listPdu.size()));
        storeDeviceText(strName, pPdu->stInfo.name, sizeof(pPdu->stInfo.name));
        pPdu->stInfo.mac[5] = quint8(g_pRackmind->listPdu.size());
        pPdu->strGroup = strGroup;
        pPdu->stInfo.voltage = 230;
        pPdu->stInfo.current = qMax(0.0, dAmps);
        pPdu->iLastRcvMsecs = dAmps < 0 ? CPdu::kNever : Clock::elapsedMs() + 24 * SeededStore::kHour;
        m_listGroups << strGroup;
        return pPdu;
    }
    static QString macOf(const CPdu* pPdu) { return macDisplay(pPdu->stInfo.mac); }

    // Top-level rows in order, each as "group:child,child".
    static QStringList order(const QTreeWidget* pTree)
    {
        QStringList list;
        for (int i = 0; i < pTree->topLevelItemCount(); ++i) {
            QStringList listChildren;
            for (int c = 0; c < pTree->topLevelItem(i)->childCount(); ++c)
                listChildren << pTree->topLevelItem(i)->child(c)->text(CPowerWindow::ColumnName);
            list << pTree->topLevelItem(i)->text(CPowerWindow::ColumnName) + ':' + listChildren.join(',');
        }
        return list;
    }

private slots:
    void init()
    {
        m_pStore =
            new CHistoryStore(m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + ".sqlite"));
        g_pRackmind = new CRackmind;
    }
    void cleanup()
    {
        // Found first: deleting one takes its own top-level children (the span box's list) with it.
        QList<CHistoryWindow*> listHistory;
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<CHistoryWindow*>(pWidget))
                listHistory << p;
        qDeleteAll(listHistory);
        for (const QString& strGroup : qAsConst(m_listGroups))
            setGroupBudget(strGroup, GroupBudget());
        delete g_pRackmind;
        g_pRackmind = nullptr;
        delete m_pStore;
        m_pStore = nullptr;
    }

    void sortsByNumber_data()
    {
        QTest::addColumn<SortRow>("row");
        const auto row = [](const char* pszName, int iColumn, Qt::SortOrder order, const QStringList& list) {
            QTest::newRow(pszName) << SortRow(iColumn, int(order), list);
        };
        const int iAmps = CPowerWindow::ColumnAmps, iHeadroom = CPowerWindow::ColumnHeadroom;
        // "10.25" before "9.50" as text; blanks (an offline device, a group without budget) last.
        row("load up", iAmps, Qt::AscendingOrder, {"Row C:c2,c1", "Row A:a1,a2", "Row B:b1"});
        row("load down", iAmps, Qt::DescendingOrder, {"Row B:b1", "Row A:a2,a1", "Row C:c2,c1"});
        row("headroom up", iHeadroom, Qt::AscendingOrder, {"Row B:b1", "Row A:a1,a2", "Row C:c1,c2"});
        row("headroom down", iHeadroom, Qt::DescendingOrder, {"Row A:a2,a1", "Row B:b1", "Row C:c2,c1"});
        // From the store: a group's peak is of its summed averages (Row A 20 A, below a2's own 12 + a1's 9).
        row("peak up", CPowerWindow::ColumnPeakDay, Qt::AscendingOrder,
            {"Row C:c1,c2", "Row A:a1,a2", "Row B:b1"});
        row("peak down", CPowerWindow::ColumnPeakDay, Qt::DescendingOrder,
            {"Row B:b1", "Row A:a2,a1", "Row C:c1,c2"});
    }
    void sortsByNumber()
    {
        QFETCH(SortRow, row);
        const auto& [iColumn, iOrder, listExpected] = row;
        setGroupBudget(QStringLiteral("Row A"), {32, 0.8});  // 25.6 A: 5.85 A left
        setGroupBudget(QStringLiteral("Row B"), {125, 0.8}); // 100 A: none left
        const struct
        {
            const char* pszName;
            const char* pszGroup;
            double dAmps;
            int iAverage; // cA in the store's last minutes; -1: none
        } aDevices[] = {{"a1", "Row A", 9.5, 850},
                        {"a2", "Row A", 10.25, 1150},
                        {"b1", "Row B", 100, 10050},
                        {"c1", "Row C", -1, 250},
                        {"c2", "Row C", 2.5, -1}};
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        for (const auto& d : aDevices) {
            CPdu* pPdu = addDevice(QLatin1String(d.pszName), QLatin1String(d.pszGroup), d.dAmps);
            if (d.iAverage >= 0)
                QVERIFY(SeededStore::write(m_pStore->path(), macOf(pPdu), false,
                                           iNow - 3 * SeededStore::kMinute, QVector<int>(3, d.iAverage), 50));
        }
        CPowerWindow window(m_pStore);
        QTRY_VERIFY(window.figuresShown());
        window.tree()->sortByColumn(iColumn, Qt::SortOrder(iOrder));
        QCOMPARE(order(window.tree()), listExpected);
    }

    void barsShowLoadAgainstBudget_data()
    {
        // iLevel: -1: no bar
        // dFraction: of the breaker rating
        QTest::addColumn<BarRow>("row");
        QTest::newRow("within budget") << BarRow(20.0, 8.0, int(CLoadBarDelegate::WithinBudget), 0.4);
        QTest::newRow("over budget") << BarRow(20.0, 17.0, int(CLoadBarDelegate::OverBudget), 0.85);
        QTest::newRow("past the breaker") << BarRow(20.0, 23.0, int(CLoadBarDelegate::AtBreaker), 1.0);
        QTest::newRow("no budget") << BarRow(0.0, 5.0, -1, 0.0);
    }
    void barsShowLoadAgainstBudget()
    {
        QFETCH(BarRow, row);
        const auto& [dBreaker, dLoad, iLevel, dFraction] = row;
        setGroupBudget(QStringLiteral("Room"), {dBreaker, 0.8});
        // Two devices share the load: the group's bar is of their sum.
        addDevice(QStringLiteral("left"), QStringLiteral("Room"), dLoad / 2);
        addDevice(QStringLiteral("right"), QStringLiteral("Room"), dLoad / 2);
        CPowerWindow window(m_pStore);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.screen()->availableGeometry().contains(window.geometry()));
        QTreeWidget* pTree = window.tree();
        const QImage image = pTree->viewport()->grab().toImage();
        const int iLeft = pTree->header()->sectionViewportPosition(CPowerWindow::ColumnLoad);
        const QRect rectRow = pTree->visualItemRect(pTree->topLevelItem(0));
        const QRect rectCell(iLeft, rectRow.top(), pTree->header()->sectionSize(CPowerWindow::ColumnLoad),
                             rectRow.height());
        // Where each level's colour reaches in the group's cell.
        int aRight[4] = {-1, -1, -1, -1};
        for (int y = rectCell.top(); y <= rectCell.bottom(); ++y)
            for (int x = rectCell.left(); x <= rectCell.right(); ++x)
                for (int l = CLoadBarDelegate::WithinBudget; l <= CLoadBarDelegate::AtBreaker; ++l)
                    if (image.pixelColor(x, y) == CLoadBarDelegate::colour(CLoadBarDelegate::Level(l)))
                        aRight[l] = qMax(aRight[l], x);
        for (int l = CLoadBarDelegate::WithinBudget; l <= CLoadBarDelegate::AtBreaker; ++l)
            QCOMPARE(aRight[l] >= 0, l == iLevel);
        if (iLevel >= 0) {
            const QRect rectTrack = CLoadBarDelegate::trackRect(rectCell, pTree->fontMetrics());
            QVERIFY2(qAbs(aRight[iLevel] + 1 - rectTrack.left() - dFraction * rectTrack.width()) <= 2,
                     qPrintable(QString::number(aRight[iLevel])));
        }
    }

    void doubleClickOpensHistoryWithApparentPower()
    {
        CPdu* pPdu = addDevice(QStringLiteral("a1"), QStringLiteral("Row A"), 4.2);
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        const quint16 aCentiAmps[] = {420, 435, 410};
        for (int i = 0; i < 3; ++i) {
            HistorySample sample;
            sample.iMsecs = iNow - 60000 + i * 1000;
            sample.bOnline = true;
            sample.uiVoltage = quint16(229 + i);
            sample.uiCentiAmps = aCentiAmps[i];
            m_pStore->addSample(macOf(pPdu), sample);
        }
        m_pStore->flush();
        CPowerWindow window(m_pStore);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTreeWidgetItem* pRow = window.tree()->topLevelItem(0)->child(0);
        // As an operator's double-click: press, release, then the second press.
        const QPoint ptRow(window.tree()->viewport()->width() / 2,
                           window.tree()->visualItemRect(pRow).center().y());
        QTest::mouseClick(window.tree()->viewport(), Qt::LeftButton, {}, ptRow);
        QTest::mouseDClick(window.tree()->viewport(), Qt::LeftButton, {}, ptRow);
        CHistoryWindow* pHistory = nullptr;
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            if (auto* p = qobject_cast<CHistoryWindow*>(pWidget))
                pHistory = p;
        QVERIFY(pHistory);
        QVERIFY(pHistory->windowTitle().contains(macOf(pPdu)));
        pHistory->findChild<QComboBox*>(QStringLiteral("ComboSpan"))->setCurrentIndex(HistoryUi::SpanHour);
        // Each poll's volts times amperes, exactly.
        QSet<double> setShown;
        for (auto* pView : pHistory->findChildren<QtCharts::QChartView*>())
            if (pView->chart()->title().contains(QStringLiteral("VA")))
                for (auto* pSeries : pView->chart()->series())
                    for (const QPointF& pt : static_cast<QtCharts::QLineSeries*>(pSeries)->points())
                        setShown << pt.y();
        QCOMPARE(setShown, (QSet<double>{229 * 420 / 100.0, 230 * 435 / 100.0, 231 * 410 / 100.0}));
    }
};

QTEST_MAIN(TestPowerWindow)
#include "tst_powerwindow.moc"
