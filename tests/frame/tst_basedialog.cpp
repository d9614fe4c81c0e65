#include "app/AppShell.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/TitleBar.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Delivers a mouse event with an exact global position (QTest derives it from the widget's own).
void sendMouse(QWidget* pWidget, QEvent::Type type, const QPoint& ptGlobal, Qt::MouseButton button = Qt::LeftButton,
               Qt::MouseButtons buttons = Qt::LeftButton)
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

// The frameless dialog under every window: its title buttons, dragging, and the double-click.
class TestBaseDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { createSharedResources(); }

    void titleButtonsDriveTheWindow()
    {
        CBaseDialog dialog;
        CTitleBar* pBar = dialog.titleBar();
        pBar->setTitle(QStringLiteral("Racks"));
        showAt(dialog, QRect(60, 60, 400, 300));
        QSignalSpy spyMenu(pBar, &CTitleBar::signalBtnMenuClicked);
        QTest::mouseClick(pBar->menuButton(), Qt::LeftButton);
        QCOMPARE(spyMenu.count(), 1);

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

        QSignalSpy spyRejected(&dialog, &QDialog::rejected);
        QTest::mouseClick(pBar->closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(spyRejected.count(), 1);
    }

    void dragMovesTheWindow()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(100, 100, 400, 300));
        // A press on a label reaches the dialog too: the whole surface is a handle.
        QWidget* pCaption = dialog.titleBar()->captionLabel();
        const QPoint ptStart = pCaption->mapToGlobal(QPoint(5, 5));
        sendMouse(pCaption, QEvent::MouseButtonPress, ptStart);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(-50, 10), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), QPoint(50, 110));

        // Without the left button held, after the release, or from a right-button press it stays.
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(80, 80), Qt::NoButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptStart, Qt::LeftButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(90, 90), Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonPress, ptStart, Qt::RightButton, Qt::RightButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(5, 5), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
        QCoreApplication::processEvents();
        QCOMPARE(dialog.pos(), QPoint(50, 110));
    }

    // The window comes back at its normal size centred on the cursor; odd sizes halve down.
    void dragRestoresMaximisedUnderCursor()
    {
        const int iTitleHeight = 25, iWidth = 401;
        const QPoint ptCursor(301, 151);
        CBaseDialog dialog;
        dialog.titleBar()->setTitleHeight(iTitleHeight);
        showAt(dialog, QRect(100, 100, iWidth, 300));
        maximise(dialog);

        sendMouse(&dialog, QEvent::MouseButtonPress, dialog.mapToGlobal(QPoint(dialog.width() - 200, 10)));
        sendMouse(&dialog, QEvent::MouseMove, ptCursor, Qt::NoButton);
        QVERIFY(!dialog.isMaximized() && frameShowsMaximised(dialog, false));
        const QPoint ptExpected(ptCursor.x() - iWidth / 2, ptCursor.y() - iTitleHeight / 2);
        QTRY_COMPARE(dialog.geometry(), QRect(ptExpected, QSize(iWidth, 300)));
        // The drag goes on from the restored position.
        sendMouse(&dialog, QEvent::MouseMove, ptCursor + QPoint(7, -3), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), ptExpected + QPoint(7, -3));
    }

    void doubleClick_data()
    {
        QTest::addColumn<bool>("bMaxVisible");
        QTest::addColumn<bool>("bStartMaximised");
        QTest::addColumn<bool>("bExpectMaximised");
        QTest::newRow("normal, button shown") << true << false << true;
        QTest::newRow("maximised, button shown") << true << true << false;
        QTest::newRow("normal, button hidden") << false << false << false;
        QTest::newRow("maximised, button hidden") << false << true << true;
    }

    void doubleClick()
    {
        QFETCH(bool, bMaxVisible);
        QFETCH(bool, bStartMaximised);
        QFETCH(bool, bExpectMaximised);
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
        QTRY_COMPARE(dialog.geometry(), bExpectMaximised ? dialog.screen()->availableGeometry() : rectNormal);

        // The hand shakes before the button comes up: a toggling double-click is no drag, so the new
        // state holds. Without the toggle the second click is an ordinary press and drags.
        const QRect rectAfter = dialog.geometry();
        sendMouse(&dialog, QEvent::MouseMove, ptClick + QPoint(3, 2), Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptClick + QPoint(3, 2), Qt::LeftButton, Qt::NoButton);
        QCoreApplication::processEvents();
        if (bMaxVisible) {
            QCOMPARE(dialog.isMaximized(), bExpectMaximised);
            QCOMPARE(dialog.geometry(), rectAfter);
        } else if (!bStartMaximised) {
            QTRY_COMPARE(dialog.pos(), rectNormal.topLeft() + QPoint(3, 2));
        }
    }
};

QTEST_MAIN(TestBaseDialog)
#include "tst_basedialog.moc"
