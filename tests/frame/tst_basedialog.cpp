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
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(5, 5), Qt::NoButton, Qt::LeftButton | Qt::RightButton);
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
