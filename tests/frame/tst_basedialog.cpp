#include "FrameTestUtil.h"
#include "ui/frame/BaseDialog.h"
#include "ui/frame/TitleBar.h"

#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QtTest>

using namespace FrameTestUtil;

namespace {
const QColor kGrey(120, 120, 120, 80);
const QColor kBand(50, 169, 253, 230);
const QColor kBody(243, 251, 255);

QMargins margins(int i)
{
    return QMargins(i, i, i, i);
}
} // namespace

class TestBaseDialog : public QObject
{
    Q_OBJECT

private:
    static void showAt(CBaseDialog& dialog, const QRect& rect)
    {
        // Like every real dialog, give it content that takes the room below the title bar.
        if (dialog.baseLayout()->count() == 1) {
            auto* pBody = new QWidget;
            pBody->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            dialog.baseLayout()->addWidget(pBody);
        }
        dialog.setGeometry(rect);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTRY_COMPARE(dialog.geometry(), rect);
    }

    static void maximise(CBaseDialog& dialog)
    {
        dialog.slotBtnMaxClick();
        QVERIFY(dialog.isMaximized());
        QTRY_COMPARE(dialog.geometry(), dialog.screen()->availableGeometry());
    }

private slots:
    void initTestCase() { QVERIFY(applyApplicationLook()); }

    void construction()
    {
        CBaseDialog dialog;
        const Qt::WindowFlags flags = dialog.windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(flags.testFlag(Qt::WindowMaximizeButtonHint));
        QVERIFY(dialog.isWindow());
        QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
        QVERIFY(dialog.hasMouseTracking());

        QVBoxLayout* pBase = dialog.baseLayout();
        QCOMPARE(dialog.layout(), pBase);
        QCOMPARE(pBase->objectName(), QStringLiteral("BaseLayout"));
        QCOMPARE(pBase->itemAt(0)->layout(), dialog.titleBar());
        QCOMPARE(dialog.titleBar()->objectName(), QStringLiteral("TitleBar"));
        QCOMPARE(pBase->contentsMargins(), margins(6));
        QCOMPARE(pBase->spacing(), 0);

        CTitleBar* pBar = dialog.titleBar();
        QCOMPARE(pBar->titleHeight(), 30);
        const QStringList names = {QStringLiteral("BtnMenu"), QStringLiteral("BtnMin"),
                                   QStringLiteral("BtnMax"), QStringLiteral("BtnClose")};
        for (const QString& strName : names) {
            auto* pButton = dialog.findChild<QPushButton*>(strName);
            QVERIFY2(pButton, qPrintable(strName));
            QVERIFY(!pButton->autoDefault());
            QVERIFY(pButton->text().isEmpty());
        }
        QCOMPARE(pBar->maxButton()->property("windowMaximized"), QVariant(false));
        QLabel* pCaption = dialog.findChild<QLabel*>(QStringLiteral("LabelCaption"));
        QVERIFY(pCaption);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            QCOMPARE(pCaption->palette().color(group, QPalette::WindowText), QColor(Qt::white));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("LabelIcon"))->hasScaledContents());
    }

    void titleAndIcon()
    {
        CBaseDialog dialog;
        CTitleBar* pBar = dialog.titleBar();
        pBar->setTitle(QStringLiteral("Rackmind"));
        pBar->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
        QCOMPARE(pBar->captionLabel()->text(), QStringLiteral("Rackmind"));
        QCOMPARE(pBar->iconPath(), QStringLiteral(":/Application/Application/ApplicationPng.png"));
        pBar->captionLabel()->clear();
        dialog.retranslate();
        QCOMPARE(pBar->captionLabel()->text(), QStringLiteral("Rackmind"));
    }

    void titleBarSizes_data()
    {
        QTest::addColumn<int>("iHeight");
        QTest::addColumn<int>("iIcon");
        QTest::newRow("default 30") << 30 << 21;
        QTest::newRow("40") << 40 << 28;
        QTest::newRow("25 rounds 17.5 up") << 25 << 18;
        QTest::newRow("11 rounds 7.7 up") << 11 << 8;
        QTest::newRow("12 rounds 8.4 down") << 12 << 8;
    }

    void titleBarSizes()
    {
        QFETCH(int, iHeight);
        QFETCH(int, iIcon);
        CBaseDialog dialog;
        CTitleBar* pBar = dialog.titleBar();
        pBar->setTitleHeight(iHeight);
        QCOMPARE(pBar->titleHeight(), iHeight);
        showAt(dialog, QRect(50, 50, 400, 300));

        QCOMPARE(pBar->iconLabel()->size(), QSize(iIcon, iIcon));
        QCOMPARE(pBar->captionLabel()->height(), iHeight);
        for (QPushButton* pButton :
             {pBar->menuButton(), pBar->minButton(), pBar->maxButton(), pBar->closeButton()})
            QCOMPARE(pButton->size(), QSize(iHeight, iHeight));
        // The buttons sit in the top-right corner inside the frame margin; close is the last one.
        QCOMPARE(pBar->closeButton()->geometry().topRight(), QPoint(400 - 6 - 1, 6));
        QCOMPARE(pBar->maxButton()->geometry().right() + 1, pBar->closeButton()->geometry().left());
        QVERIFY(pBar->iconLabel()->geometry().left() >= 6 + 6);
        const QRect rectIcon = pBar->iconLabel()->geometry();
        QVERIFY(std::abs(rectIcon.top() - 6 - (iHeight - iIcon) / 2) <= 1);
    }

    void buttonVisibility()
    {
        CBaseDialog dialog;
        CTitleBar* pBar = dialog.titleBar();
        pBar->setMenuButtonVisible(false);
        pBar->setMinButtonVisible(false);
        pBar->setMaxButtonVisible(false);
        showAt(dialog, QRect(50, 50, 350, 200));
        QVERIFY(!pBar->menuButton()->isVisible());
        QVERIFY(!pBar->minButton()->isVisible());
        QVERIFY(!pBar->maxButton()->isVisible());
        QVERIFY(pBar->closeButton()->isVisible());
        // Only the close button is left, still in the top-right corner.
        QCOMPARE(pBar->closeButton()->geometry().topRight(), QPoint(350 - 6 - 1, 6));
        pBar->setMinButtonVisible(true);
        QVERIFY(pBar->minButton()->isVisible());
    }

    void titleButtonsDriveTheWindow()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(60, 60, 400, 300));
        CTitleBar* pBar = dialog.titleBar();
        QSignalSpy spyMenu(pBar, &CTitleBar::signalBtnMenuClicked);
        QTest::mouseClick(pBar->menuButton(), Qt::LeftButton);
        QCOMPARE(spyMenu.count(), 1);
        QVERIFY(dialog.isVisible());

        QTest::mouseClick(pBar->maxButton(), Qt::LeftButton);
        QVERIFY(dialog.isMaximized());
        QTest::mouseClick(pBar->maxButton(), Qt::LeftButton);
        QVERIFY(!dialog.isMaximized());
        QTRY_COMPARE(dialog.geometry(), QRect(60, 60, 400, 300));

        QTest::mouseClick(pBar->minButton(), Qt::LeftButton);
        QVERIFY(dialog.isMinimized());
        dialog.showNormal();

        QSignalSpy spyFinished(&dialog, &QDialog::finished);
        QTest::mouseClick(pBar->closeButton(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(spyFinished.count(), 1);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    void marginsAndPropertyFollowState_data()
    {
        QTest::addColumn<bool>("bMaximiseBeforeShow");
        QTest::newRow("maximised after show") << false;
        QTest::newRow("shown maximised") << true;
    }

    void marginsAndPropertyFollowState()
    {
        QFETCH(bool, bMaximiseBeforeShow);
        CBaseDialog dialog;
        QPushButton* pMax = dialog.titleBar()->maxButton();
        if (bMaximiseBeforeShow) {
            dialog.baseLayout()->addStretch();
            dialog.resize(400, 300);
            dialog.showMaximized();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        } else {
            showAt(dialog, QRect(40, 40, 400, 300));
            QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(6));
            QCOMPARE(pMax->property("windowMaximized"), QVariant(false));
            maximise(dialog);
        }
        QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(0));
        QCOMPARE(pMax->property("windowMaximized"), QVariant(true));
        // The content reaches the screen edges.
        QTRY_COMPARE(dialog.titleBar()->closeButton()->geometry().topRight(), QPoint(dialog.width() - 1, 0));

        dialog.slotBtnMaxClick();
        QVERIFY(!dialog.isMaximized());
        QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(6));
        QCOMPARE(pMax->property("windowMaximized"), QVariant(false));

        // Minimised from maximised is not the plain maximised state: the frame comes back.
        dialog.showMaximized();
        QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(0));
        dialog.setWindowState(Qt::WindowMaximized | Qt::WindowMinimized);
        QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(6));
        QCOMPARE(pMax->property("windowMaximized"), QVariant(false));
    }

    void maxButtonPictureFollowsState()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(40, 40, 400, 300));
        QPushButton* pMax = dialog.titleBar()->maxButton();
        const QImage imageMax = pMax->grab().toImage();
        maximise(dialog);
        const QImage imageRestore = pMax->grab().toImage();
        QVERIFY2(imageRestore != imageMax, "the restore picture must replace the maximise picture");
        dialog.slotBtnMaxClick();
        QCOMPARE(pMax->grab().toImage(), imageMax);
    }

    void dragMovesTheWindow()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(100, 100, 400, 300));
        // A press on a label reaches the dialog too: the whole surface is a handle.
        QWidget* pCaption = dialog.titleBar()->captionLabel();
        const QPoint ptStart = pCaption->mapToGlobal(QPoint(5, 5));
        sendMouse(pCaption, QEvent::MouseButtonPress, ptStart);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(30, 40), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), QPoint(130, 140));
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(-50, 10), Qt::NoButton);
        QTRY_COMPARE(dialog.pos(), QPoint(50, 110));

        // Without the left button held, or after the release, the window stays.
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(80, 80), Qt::NoButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptStart + QPoint(80, 80), Qt::LeftButton,
                  Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(90, 90), Qt::NoButton);
        QCoreApplication::processEvents();
        QCOMPARE(dialog.pos(), QPoint(50, 110));

        // A right-button press does not start a drag.
        sendMouse(&dialog, QEvent::MouseButtonPress, ptStart, Qt::RightButton, Qt::RightButton);
        sendMouse(&dialog, QEvent::MouseMove, ptStart + QPoint(5, 5), Qt::NoButton,
                  Qt::LeftButton | Qt::RightButton);
        QCoreApplication::processEvents();
        QCOMPARE(dialog.pos(), QPoint(50, 110));
    }

    void dragRestoresMaximisedUnderCursor_data()
    {
        QTest::addColumn<int>("iTitleHeight");
        QTest::addColumn<int>("iWidth");
        QTest::addColumn<QPoint>("ptCursor");
        QTest::newRow("title 30") << 30 << 400 << QPoint(500, 300);
        QTest::newRow("title 40") << 40 << 400 << QPoint(320, 200);
        QTest::newRow("odd sizes halve down") << 25 << 401 << QPoint(301, 151);
    }

    void dragRestoresMaximisedUnderCursor()
    {
        QFETCH(int, iTitleHeight);
        QFETCH(int, iWidth);
        QFETCH(QPoint, ptCursor);
        CBaseDialog dialog;
        dialog.titleBar()->setTitleHeight(iTitleHeight);
        showAt(dialog, QRect(100, 100, iWidth, 300));
        maximise(dialog);

        const QPoint ptPress = dialog.mapToGlobal(QPoint(dialog.width() - 200, 10));
        sendMouse(&dialog, QEvent::MouseButtonPress, ptPress);
        sendMouse(&dialog, QEvent::MouseMove, ptCursor, Qt::NoButton);
        QVERIFY(!dialog.isMaximized());
        const QPoint ptExpected(ptCursor.x() - iWidth / 2, ptCursor.y() - iTitleHeight / 2);
        QTRY_COMPARE(dialog.geometry(), QRect(ptExpected, QSize(iWidth, 300)));
        QCOMPARE(dialog.baseLayout()->contentsMargins(), margins(6));
        QCOMPARE(dialog.titleBar()->maxButton()->property("windowMaximized"), QVariant(false));

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
        const QRect rectBefore = dialog.geometry();

        const QPoint ptClick = dialog.mapToGlobal(QPoint(60, 12));
        sendMouse(&dialog, QEvent::MouseButtonPress, ptClick);
        sendMouse(&dialog, QEvent::MouseButtonRelease, ptClick, Qt::LeftButton, Qt::NoButton);
        sendMouse(&dialog, QEvent::MouseButtonDblClick, ptClick);
        QCOMPARE(dialog.isMaximized(), bExpectMaximised);
        if (bExpectMaximised && !bStartMaximised) {
            QTRY_COMPARE(dialog.geometry(), dialog.screen()->availableGeometry());
        } else if (bExpectMaximised == bStartMaximised) {
            QCoreApplication::processEvents();
            QCOMPARE(dialog.geometry(), rectBefore);
        } else {
            QTRY_COMPARE(dialog.geometry(), rectNormal);
        }

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
            QTRY_COMPARE(dialog.pos(), rectBefore.topLeft() + QPoint(3, 2));
        }
    }

    void paintsBandAndBodyWithShadow()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(40, 40, 300, 200));
        const QImage image = dialog.grab().toImage();
        const int T = dialog.titleBar()->titleHeight();
        const QColor band = over(kBand, kGrey);
        const QColor body = over(kBody, kGrey);

        QVERIFY2(near(image.pixelColor(150, 6), band), describe(image.pixelColor(150, 6)));
        QVERIFY2(near(image.pixelColor(150, 6 + T - 1), band), describe(image.pixelColor(150, 6 + T - 1)));
        QVERIFY2(near(image.pixelColor(150, 6 + T), body), describe(image.pixelColor(150, 6 + T)));
        QVERIFY2(near(image.pixelColor(150, 200 - 6 - 1), body), describe(image.pixelColor(150, 193)));
        QVERIFY2(near(image.pixelColor(20, 120), body), describe(image.pixelColor(20, 120)));

        // Outside the 6-pixel margin only the shadow is drawn.
        const QColor shadow = image.pixelColor(150, 2);
        QVERIFY2(shadow.alpha() > 0 && shadow.alpha() < 255, describe(shadow));
    }

    void paintsEdgeToEdgeWithoutShadowWhenMaximised()
    {
        CBaseDialog dialog;
        showAt(dialog, QRect(40, 40, 300, 200));
        maximise(dialog);
        const QImage image = dialog.grab().toImage();
        const int W = image.width();
        const int H = image.height();
        const int T = dialog.titleBar()->titleHeight();
        const QColor band = over(kBand, kGrey);
        const QColor body = over(kBody, kGrey);

        // Every edge pixel is frame colour, with no shadow over it.
        for (int y : {4, T / 2, T - 1})
            QVERIFY2(near(image.pixelColor(0, y), band), describe(image.pixelColor(0, y)));
        QVERIFY2(near(image.pixelColor(W / 2, 0), band), describe(image.pixelColor(W / 2, 0)));
        for (int y : {T, H / 2, H - 5}) {
            QVERIFY2(near(image.pixelColor(0, y), body), describe(image.pixelColor(0, y)));
            QVERIFY2(near(image.pixelColor(W - 1, y), body), describe(image.pixelColor(W - 1, y)));
        }
        QVERIFY2(near(image.pixelColor(W / 2, H - 1), body), describe(image.pixelColor(W / 2, H - 1)));

        // Rounded corners: top ones in the band, bottom ones in the body; the grey shows through.
        for (const QPoint& pt : {QPoint(0, 0), QPoint(W - 1, 0)})
            QVERIFY2(image.pixelColor(pt).blue() < band.blue() - 20, describe(image.pixelColor(pt)));
        for (const QPoint& pt : {QPoint(0, H - 1), QPoint(W - 1, H - 1)})
            QVERIFY2(image.pixelColor(pt).red() < body.red() - 20, describe(image.pixelColor(pt)));
    }
};

QTEST_MAIN(TestBaseDialog)
#include "tst_basedialog.moc"
