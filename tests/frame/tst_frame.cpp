#include "app/AppShell.h"
#include "tests/common/DataRows.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SubTab.h"
#include "ui/frame/TitleBar.h"
#include "ui/frame/WindowPlacement.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QtTest>
#include <type_traits>

namespace {

// Delivers a mouse event with an exact global position (QTest derives it from the widget's own).
void sendMouse(QWidget* pWidget, QEvent::Type type, const QPoint& ptGlobal,
               Qt::MouseButton button = Qt::LeftButton, Qt::MouseButtons buttons = Qt::LeftButton)
{
    QMouseEvent event(type, pWidget->mapFromGlobal(ptGlobal), ptGlobal, button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

// Maximised, the frame goes (content to the screen edges) and the maximise button shows "restore".
bool frameShowsMaximised(const CBaseDialog& dialog, bool bMaximised)
{
    return dialog.baseLayout()->contentsMargins().isNull() == bMaximised &&
           dialog.titleBar()->maxButton()->property("windowMaximized").toBool() == bMaximised;
}

void showAt(CBaseDialog& dialog, const QRect& rect)
{
    // Like every real dialog, give it content that takes the room below the title bar.
    dialog.baseLayout()->addStretch();
    dialog.setGeometry(rect);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTRY_COMPARE(dialog.geometry(), rect);
}

void maximise(CBaseDialog& dialog)
{
    dialog.slotBtnMaxClick();
    QTRY_COMPARE(dialog.geometry(), dialog.screen()->availableGeometry());
    QVERIFY(frameShowsMaximised(dialog, true));
}

} // namespace

// The frameless dialog under every window (its title buttons, dragging, the double-click) and the tab
// bars; the main bar and the sub bar share their behaviour and run as the two rows of one table.
class TestFrame : public QObject
{
    Q_OBJECT

    // The buttons of the bar that are shown, or that are active.
    template <class Bar> static QList<int> indices(const Bar& bar, bool bShown)
    {
        QList<int> list;
        for (int i = 0; i < int(bar.buttons.size()); ++i)
            if (bShown ? bar.buttons[i]->isVisibleTo(bar.parentWidget()) : bar.buttons[i]->isActive())
                list << i;
        return list;
    }

    template <class Bar> void check()
    {
        QWidget host;
        auto* pBar = new Bar;
        // Button 0 starts active without looking held down; a count set before the bar is installed
        // opens no button as a window of its own.
        QCOMPARE(indices(*pBar, false), QList<int>{0});
        QVERIFY(!pBar->buttons[0]->isDown());
        pBar->setTabCount(2);
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            QVERIFY2(!pWidget->isVisible(), pWidget->metaObject()->className());
        host.setLayout(pBar);
        QSignalSpy spy(pBar, &Bar::signalTabSelChanged);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(indices(*pBar, true), (QList<int>{0, 1}));
        pBar->setTabCount(4);
        pBar->setTabCount(Bar::kButtonCount + 1); // out of range: kept
        QCOMPARE(indices(*pBar, true), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(spy.count(), 0);

        // Selecting the active tab again reports it again.
        for (int i : {2, 2, 0}) {
            QTest::mouseClick(pBar->buttons[i], Qt::LeftButton);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().at(0).toInt(), i);
            QCOMPARE(indices(*pBar, false), QList<int>{i});
            if constexpr (std::is_same_v<Bar, CSubTab>) // the style sheet keys the active look on it
                QCOMPARE(pBar->buttons[2]->property("tabActived").toBool(), i == 2);
        }

        // A disabled tab does not select; nor does a call from anything but the bar's own buttons.
        pBar->buttons[2]->setEnabled(false);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(pBar->buttons[2], &press);
        QMetaObject::invokeMethod(pBar, "slotTabBtnSelected");
        QCOMPARE(spy.count(), 0);
        QCOMPARE(indices(*pBar, false), QList<int>{0});

        // Disabling the active tab leaves none active; enabling it again does not select it.
        pBar->buttons[0]->setEnabled(false);
        pBar->buttons[0]->setEnabled(true);
        QVERIFY(indices(*pBar, false).isEmpty());
    }

private slots:
    void initTestCase() { createSharedResources(); }

    void titleButtonsDriveTheWindow()
    {
        CBaseDialog dialog;
        CTitleBar* pBar = dialog.titleBar();
        pBar->setTitle(QStringLiteral("Racks"));
        showAt(dialog, QRect(60, 60, 400, 300));
        QTest::mouseClick(pBar->maxButton(), Qt::LeftButton);
        QVERIFY(dialog.isMaximized() && frameShowsMaximised(dialog, true));
        QTest::mouseClick(pBar->maxButton(), Qt::LeftButton);
        QVERIFY(!dialog.isMaximized() && frameShowsMaximised(dialog, false));
        QTRY_COMPARE(dialog.geometry(), QRect(60, 60, 400, 300));

        // Minimised from maximised is not the plain maximised state: the frame comes back.
        dialog.showMaximized();
        dialog.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
        QVERIFY(frameShowsMaximised(dialog, false));
        dialog.showNormal();
        QTest::mouseClick(pBar->minButton(), Qt::LeftButton);
        QVERIFY(dialog.isMinimized());
        dialog.showNormal();

        // A language change keeps the title.
        pBar->captionLabel()->clear();
        dialog.retranslate();
        QCOMPARE(pBar->captionLabel()->text(), QStringLiteral("Racks"));

        QTest::mouseClick(pBar->closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
    }

    // The whole surface is a handle; only a held left button drags. Maximised, the window comes back at
    // its normal size centred on the cursor (odd sizes halve down) and the drag goes on from there.
    void drag()
    {
        CBaseDialog dialog;
        dialog.titleBar()->setTitleHeight(25);
        showAt(dialog, QRect(100, 100, 401, 300));
        QWidget* pCaption = dialog.titleBar()->captionLabel();
        const QPoint ptStart = pCaption->mapToGlobal(QPoint(5, 5));
        sendMouse(pCaption, QEvent::MouseButtonPress, ptStart);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(-50, 10), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), QPoint(50, 110));
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(80, 80), Qt::NoButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptStart, Qt::LeftButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(90, 90), Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonPress, ptStart, Qt::RightButton, Qt::RightButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(5, 5), Qt::NoButton,
                  Qt::LeftButton | Qt::RightButton);
        QCoreApplication::processEvents();
        QCOMPARE(dialog.pos(), QPoint(50, 110));

        maximise(dialog);
        sendMouse(&dialog, QEvent::MouseButtonPress, dialog.mapToGlobal(QPoint(dialog.width() - 200, 10)));
        sendMouse(&dialog, QEvent::MouseMove, QPoint(301, 151), Qt::NoButton);
        QVERIFY(!dialog.isMaximized() && frameShowsMaximised(dialog, false));
        QTRY_COMPARE(dialog.geometry(), QRect(301 - 200, 151 - 12, 401, 300));
        sendMouse(&dialog, QEvent::MouseMove, QPoint(308, 148), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), QPoint(301 - 200 + 7, 151 - 12 - 3));
    }

    void doubleClick_data()
    {
        // Without the maximise button the double-click changes nothing.
        QTest::addColumn<bool>("bMaxVisible");
        QTest::addColumn<bool>("bStartMaximised");
        QTest::newRow("normal, button shown") << true << false;
        QTest::newRow("maximised, button shown") << true << true;
        QTest::newRow("normal, button hidden") << false << false;
        QTest::newRow("maximised, button hidden") << false << true;
    }

    void doubleClick()
    {
        QFETCH(bool, bMaxVisible);
        QFETCH(bool, bStartMaximised);
        const bool bExpectMaximised = bMaxVisible != bStartMaximised;
        CBaseDialog dialog;
        dialog.titleBar()->setMaxButtonVisible(bMaxVisible);
        const QRect rectNormal(120, 80, 350, 200);
        showAt(dialog, rectNormal);
        if (bStartMaximised)
            maximise(dialog);

        const QPoint ptClick = dialog.mapToGlobal(QPoint(60, 12));
        sendMouse(&dialog, QEvent::MouseButtonPress, ptClick);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptClick, Qt::LeftButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonDblClick, ptClick);
        QCOMPARE(dialog.isMaximized(), bExpectMaximised);
        const QRect rectAfter = bExpectMaximised ? dialog.screen()->availableGeometry() : rectNormal;
        QTRY_COMPARE(dialog.geometry(), rectAfter);
        // The hand shakes before the button comes up: a toggling double-click is no drag.
        sendMouse(&dialog, QEvent::MouseMove, ptClick + QPoint(3, 2), Qt::NoButton);
        QCoreApplication::processEvents();
        QVERIFY(!bMaxVisible || dialog.geometry() == rectAfter);
    }

    // A first window shows every column where the screen has room for them, and is maximised where not.
    void firstPlacement_data()
    {
        QTest::addColumn<QRect>("rectScreen");
        QTest::addColumn<QRect>("rectExpected");
        QTest::addColumn<bool>("bMaximized");
        const QRect rectLaptop(0, 0, 1366, 768);
        QTest::newRow("1366x768") << rectLaptop << QRect(33, 34, 1300, 700) << false;
        QTest::newRow("1920x1080, panel on top")
            << QRect(0, 32, 1920, 1048) << QRect(310, 111, 1300, 890) << false;
        QTest::newRow("1024x768") << QRect(0, 0, 1024, 768) << QRect(0, 0, 1024, 768) << true;
    }

    void firstPlacement()
    {
        QFETCH(QRect, rectScreen);
        const WindowPlacement::Placement placement =
            WindowPlacement::firstPlacement(rectScreen, QSize(1300, 700));
        QTEST(placement.rect, "rectExpected");
        QTEST(placement.bMaximized, "bMaximized");
    }

    // A remembered place is taken up only on a screen there is now, and made to fit it.
    void restoredRect_data()
    {
        QTest::addColumn<QRect>("rectSaved");
        QTest::addColumn<QRect>("rectExpected");
        QTest::newRow("off every screen") << QRect(3500, 100, 1000, 700) << QRect();
        QTest::newRow("mostly off") << QRect(-700, 500, 1000, 600) << QRect();
        QTest::newRow("on the second screen") << QRect(1500, 100, 800, 500) << QRect(1500, 100, 800, 500);
        QTest::newRow("partly off") << QRect(-200, 50, 700, 500) << QRect(0, 50, 700, 500);
        QTest::newRow("larger than the screen") << QRect(0, 0, 1600, 1000) << QRect(0, 0, 1366, 768);
    }

    void restoredRect()
    {
        QFETCH(QRect, rectSaved);
        const QVector<QRect> vecScreens{QRect(0, 0, 1366, 768), QRect(1366, 0, 1920, 1080)};
        QTEST(WindowPlacement::restoredRect(rectSaved, vecScreens), "rectExpected");
    }

    void tabBar_data() { addFalseTrueRows("bMain", "sub", "main"); }

    void tabBar()
    {
        QFETCH(bool, bMain);
        bMain ? check<CMainTab>() : check<CSubTab>();
    }
};

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
