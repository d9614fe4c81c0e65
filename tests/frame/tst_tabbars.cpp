#include "FrameTestUtil.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SubTab.h"

#include <QMetaMethod>
#include <QtTest>
#include <memory>

using namespace FrameTestUtil;

// Qt's hook for observing every signal emission, also those without any connection; it lets the test
// see what a bar emits while it is being constructed, before anyone could connect to it.
struct QSignalSpyCallbackSet
{
    typedef void (*BeginCallback)(QObject* caller, int iSignalIndex, void** argv);
    typedef void (*EndCallback)(QObject* caller, int iSignalIndex);
    BeginCallback signal_begin_callback, slot_begin_callback;
    EndCallback signal_end_callback, slot_end_callback;
};
void Q_CORE_EXPORT qt_register_signal_spy_callbacks(QSignalSpyCallbackSet* callback_set);

namespace {

QStringList g_listEmitted;
QStringList g_listSlots;

QString signalName(QObject* pCaller, int iSignalIndex)
{
    const QMetaObject* pMeta = pCaller->metaObject();
    for (int i = 0, iSignal = 0; i < pMeta->methodCount(); ++i) {
        if (pMeta->method(i).methodType() != QMetaMethod::Signal)
            continue;
        if (iSignal++ == iSignalIndex)
            return QString::fromLatin1(pMeta->method(i).name());
    }
    return QString();
}

void recordEmission(QObject* pCaller, int iSignalIndex, void**)
{
    g_listEmitted << signalName(pCaller, iSignalIndex);
}

void recordSlot(QObject* pReceiver, int iMethodIndex, void**)
{
    g_listSlots << QString::fromLatin1(pReceiver->metaObject()->method(iMethodIndex).name());
}

// Constructs T while recording the names of every signal emitted and every slot run meanwhile.
template <class T> std::unique_ptr<T> constructObserved(QStringList& listEmitted, QStringList& listSlots)
{
    g_listEmitted.clear();
    g_listSlots.clear();
    QSignalSpyCallbackSet set{recordEmission, recordSlot, nullptr, nullptr};
    qt_register_signal_spy_callbacks(&set);
    std::unique_ptr<T> pBar(new T);
    qt_register_signal_spy_callbacks(nullptr);
    listEmitted = g_listEmitted;
    listSlots = g_listSlots;
    return pBar;
}

// A widget that holds a bar the way the pages do, on a black background so that the buttons' own
// painting can be read off the pixels.
template <class Bar> struct Host
{
    QWidget widget;
    Bar* pBar;
    explicit Host(Bar* pNew = new Bar) : pBar(pNew)
    {
        widget.setLayout(pBar);
        widget.setAutoFillBackground(true);
        QPalette palette;
        palette.setColor(QPalette::Window, Qt::black);
        widget.setPalette(palette);
    }
    bool show()
    {
        widget.show();
        return QTest::qWaitForWindowExposed(&widget);
    }
    QImage grab(int iIndex) { return widget.grab(pBar->buttons[iIndex]->geometry()).toImage(); }
};

template <class Bar> QList<int> activeButtons(const Bar& bar)
{
    QList<int> list;
    for (std::size_t i = 0; i < bar.buttons.size(); ++i) {
        if (bar.buttons[i]->isActive())
            list << static_cast<int>(i);
    }
    return list;
}

template <class Bar> QList<int> shownButtons(Host<Bar>& host)
{
    QList<int> list;
    for (std::size_t i = 0; i < host.pBar->buttons.size(); ++i) {
        if (host.pBar->buttons[i]->isVisibleTo(&host.widget))
            list << static_cast<int>(i);
    }
    return list;
}

QList<int> range(int iFirst, int iEnd)
{
    QList<int> list;
    for (int i = iFirst; i < iEnd; ++i)
        list << i;
    return list;
}

const QColor kYellow(253, 223, 134);
const QColor kBlue(30, 137, 231);

} // namespace

class TestTabBars : public QObject
{
    Q_OBJECT

private:
    template <class Bar>
    void checkNewBar(const QString& strName, int iCount, const QSize& sizeButton, const QSize& sizeIcon)
    {
        // Button 0 is pressed before anything is connected: the bar reports nothing and no slot runs.
        QStringList listEmitted;
        QStringList listSlots;
        std::unique_ptr<Bar> pBar = constructObserved<Bar>(listEmitted, listSlots);
        QVERIFY2(!listEmitted.contains(QStringLiteral("signalTabSelChanged")),
                 qPrintable(listEmitted.join(u' ')));
        QVERIFY2(!listSlots.contains(QStringLiteral("slotDisactive")), qPrintable(listSlots.join(u' ')));
        QVERIFY2(!listSlots.contains(QStringLiteral("slotTabBtnSelected")), qPrintable(listSlots.join(u' ')));

        QCOMPARE(static_cast<int>(pBar->buttons.size()), iCount);
        QCOMPARE(activeButtons(*pBar), QList<int>{0});
        QVERIFY2(!pBar->buttons[0]->isDown(), "the active tab must not look held down");
        for (auto* pButton : pBar->buttons) {
            QCOMPARE(pButton->objectName(), strName);
            QCOMPARE(pButton->minimumSize(), sizeButton);
            QCOMPARE(pButton->maximumSize(), sizeButton);
            QCOMPARE(pButton->iconSize(), sizeIcon);
        }
        QCOMPARE(pBar->tabCount(), 10);

        // The count is not applied at construction: every button shows until the owner sets it.
        Host<Bar> host(pBar.release());
        QSignalSpy spy(host.pBar, &Bar::signalTabSelChanged);
        QVERIFY(host.show());
        QCOMPARE(shownButtons(host), range(0, iCount));
        QCoreApplication::processEvents();
        QCOMPARE(spy.count(), 0);
    }

    template <class Bar> void checkPressSelects()
    {
        Host<Bar> host;
        host.pBar->setTabCount(4);
        QVERIFY(host.show());
        QSignalSpy spy(host.pBar, &Bar::signalTabSelChanged);

        QTest::mouseClick(host.pBar->buttons[2], Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 2);
        QCOMPARE(activeButtons(*host.pBar), QList<int>{2});

        // Selecting the active tab again reports it again.
        QTest::mouseClick(host.pBar->buttons[2], Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 2);

        QTest::mouseClick(host.pBar->buttons[0], Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
        QCOMPARE(activeButtons(*host.pBar), QList<int>{0});

        // Only the left button selects.
        QTest::mouseClick(host.pBar->buttons[3], Qt::RightButton);
        QCOMPARE(activeButtons(*host.pBar).size(), 1);
    }

    template <class Bar> void checkDisabled()
    {
        Host<Bar> host;
        host.pBar->setTabCount(4);
        QVERIFY(host.show());
        QSignalSpy spy(host.pBar, &Bar::signalTabSelChanged);

        host.pBar->buttons[2]->setEnabled(false);
        QTest::mouseClick(host.pBar->buttons[2], Qt::LeftButton);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(host.pBar->buttons[2], &press);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(activeButtons(*host.pBar), QList<int>{0});

        // Disabling the active tab leaves none active; enabling it again does not select it.
        host.pBar->buttons[0]->setEnabled(false);
        QVERIFY(activeButtons(*host.pBar).isEmpty());
        host.pBar->buttons[0]->setEnabled(true);
        QVERIFY(activeButtons(*host.pBar).isEmpty());

        host.pBar->buttons[2]->setEnabled(true);
        QTest::mouseClick(host.pBar->buttons[2], Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(activeButtons(*host.pBar), QList<int>{2});
    }

    template <class Bar> void checkForeignSender()
    {
        Host<Bar> host;
        QSignalSpy spy(host.pBar, &Bar::signalTabSelChanged);
        QMetaObject::invokeMethod(host.pBar, "slotTabBtnSelected");
        using Btn = std::remove_pointer_t<typename decltype(Bar::buttons)::value_type>;
        Host<Bar> other;
        QObject::connect(other.pBar->buttons[1], &Btn::signalActive, host.pBar, &Bar::slotTabBtnSelected);
        emit other.pBar->buttons[1]->signalActive();
        QCOMPARE(spy.count(), 0);
    }

private slots:
    void initTestCase() { QVERIFY(applyApplicationLook()); }

    void newMainTab()
    {
        checkNewBar<CMainTab>(QStringLiteral("MainTabBtn"), 10, QSize(100, 110), QSize(64, 64));
    }
    void newSubTab() { checkNewBar<CSubTab>(QStringLiteral("SubTabBtn"), 20, QSize(200, 40), QSize(20, 20)); }

    void newSubTabShowsActiveStyle()
    {
        Host<CSubTab> host;
        const CSubTab& bar = *host.pBar;
        QCOMPARE(bar.buttons[0]->property("tabActived"), QVariant(true));
        for (int i = 1; i < CSubTab::kButtonCount; ++i)
            QCOMPARE(bar.buttons[i]->property("tabActived"), QVariant(false));
    }

    void mainTabPressSelects() { checkPressSelects<CMainTab>(); }
    void subTabPressSelects() { checkPressSelects<CSubTab>(); }
    void mainTabDisabledButton() { checkDisabled<CMainTab>(); }
    void subTabDisabledButton() { checkDisabled<CSubTab>(); }
    void mainTabIgnoresForeignSender() { checkForeignSender<CMainTab>(); }
    void subTabIgnoresForeignSender() { checkForeignSender<CSubTab>(); }

    void subTabPropertyFollowsSelection()
    {
        Host<CSubTab> host;
        CSubTab& bar = *host.pBar;
        QTest::mouseClick(bar.buttons[3], Qt::LeftButton);
        for (int i = 0; i < CSubTab::kButtonCount; ++i)
            QCOMPARE(bar.buttons[i]->property("tabActived"), QVariant(i == 3));
        // Disabling keeps the property: the look is left to the style sheet's disabled rules.
        bar.buttons[3]->setEnabled(false);
        QCOMPARE(bar.buttons[3]->property("tabActived"), QVariant(true));
        QVERIFY(!bar.buttons[3]->isActive());
    }

    void setTabCount_data()
    {
        QTest::addColumn<bool>("bMain");
        QTest::addColumn<QList<int>>("listCounts");
        QTest::addColumn<int>("iExpected");
        QTest::newRow("main 4") << true << QList<int>{4} << 4;
        QTest::newRow("main 4 then 11 keeps 4") << true << QList<int>{4, 11} << 4;
        QTest::newRow("main 1") << true << QList<int>{1} << 1;
        QTest::newRow("main 10") << true << QList<int>{3, 10} << 10;
        QTest::newRow("sub 2") << false << QList<int>{2} << 2;
        QTest::newRow("sub 4 then 21 keeps 4") << false << QList<int>{4, 21} << 4;
        QTest::newRow("sub 20") << false << QList<int>{20} << 20;
        QTest::newRow("sub 12 then 1") << false << QList<int>{12, 1} << 1;
    }

    void setTabCount()
    {
        QFETCH(bool, bMain);
        QFETCH(QList<int>, listCounts);
        QFETCH(int, iExpected);
        const int iButtons = bMain ? CMainTab::kButtonCount : CSubTab::kButtonCount;
        auto apply = [&](auto& host) {
            QVERIFY(host.show());
            for (int n : listCounts)
                host.pBar->setTabCount(n);
            QCOMPARE(host.pBar->tabCount(), iExpected);
            QCOMPARE(shownButtons(host), range(0, iExpected));
            Q_UNUSED(iButtons);
        };
        if (bMain) {
            Host<CMainTab> host;
            apply(host);
        } else {
            Host<CSubTab> host;
            apply(host);
        }
    }

    void setTabCountBeforeInstallOpensNoWindows()
    {
        auto* pBar = new CMainTab;
        pBar->setTabCount(2);
        pBar->setTabCount(4);
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            QVERIFY2(!pWidget->isVisible(), pWidget->metaObject()->className());
        Host<CMainTab> host(pBar);
        QVERIFY(host.show());
        QCOMPARE(shownButtons(host), range(0, 4));
    }

    void mainTabPaintsActiveBar()
    {
        Host<CMainTab> host;
        host.pBar->setTabCount(4);
        QVERIFY(host.show());
        const QImage imageActive = host.grab(0);
        const QImage imageIdle = host.grab(1);
        const int W = imageActive.width();
        const int H = imageActive.height();
        QCOMPARE(QSize(W, H), QSize(100, 110));
        for (int x : {0, W / 2, W - 1}) {
            for (int y = H - 4; y < H; ++y)
                QVERIFY2(imageActive.pixelColor(x, y) == kYellow, describe(imageActive.pixelColor(x, y)));
            QVERIFY(imageIdle.pixelColor(x, H - 1) != kYellow);
        }
        // Above the bar the grey gradient, fading out towards the top.
        const QColor above = imageActive.pixelColor(W / 2, H - 5);
        QVERIFY2(above != kYellow && above.red() == above.blue() && above.red() > 80, describe(above));
        QVERIFY2(imageActive.pixelColor(W / 2, 0).red() < 5, describe(imageActive.pixelColor(W / 2, 0)));

        // Pressing another tab moves the bar.
        QTest::mouseClick(host.pBar->buttons[1], Qt::LeftButton);
        QVERIFY(host.grab(1).pixelColor(W / 2, H - 1) == kYellow);
        QVERIFY(host.grab(0).pixelColor(W / 2, H - 1) != kYellow);
    }

    void mainTabHoverGradient()
    {
        Host<CMainTab> host;
        host.pBar->setTabCount(4);
        QVERIFY(host.show());
        CMainTabBtn* pButton = host.pBar->buttons[2];
        const int H = pButton->height();
        const QColor idle = host.grab(2).pixelColor(50, H - 1);
        QCOMPARE(idle, QColor(Qt::black));

        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(pButton, &enter);
        QVERIFY(pButton->isHovered());
        QImage image = host.grab(2);
        // Grey only: a gradient towards 150/255 of rgb(230,230,230) at the bottom, no active bar.
        const QColor bottom = image.pixelColor(50, H - 1);
        const QColor expected = over(QColor(230, 230, 230, 150), Qt::black);
        QVERIFY2(near(bottom, expected, 6), describe(bottom));
        QVERIFY2(near(image.pixelColor(50, H / 2), over(QColor(230, 230, 230, 100), Qt::black), 6),
                 describe(image.pixelColor(50, H / 2)));
        QVERIFY2(image.pixelColor(50, 0).red() < 5, describe(image.pixelColor(50, 0)));

        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(pButton, &leave);
        QVERIFY(!pButton->isHovered());
        QCOMPARE(host.grab(2).pixelColor(50, H - 1), QColor(Qt::black));

        // A disabled button paints neither gradient nor bar, and forgets the hover.
        QCoreApplication::sendEvent(pButton, &enter);
        pButton->setEnabled(false);
        QVERIFY(!pButton->isHovered());
        QCOMPARE(host.grab(2).pixelColor(50, H - 1), QColor(Qt::black));
    }

    void subTabPaintsActiveBarAndStyle()
    {
        Host<CSubTab> host;
        host.pBar->setTabCount(4);
        QVERIFY(host.show());
        const QImage imageActive = host.grab(0);
        const QImage imageIdle = host.grab(1);
        const int W = imageActive.width();
        const int H = imageActive.height();
        QCOMPARE(QSize(W, H), QSize(200, 40));
        for (int y : {0, H / 2, H - 1}) {
            for (int x = W - 4; x < W; ++x)
                QVERIFY2(imageActive.pixelColor(x, y) == kBlue, describe(imageActive.pixelColor(x, y)));
            QVERIFY(imageIdle.pixelColor(W - 1, y) != kBlue);
        }
        QVERIFY(imageActive.pixelColor(W - 5, H / 2) != kBlue);
        // The active style: white behind the active tab, light grey behind the others.
        QCOMPARE(imageActive.pixelColor(10, 3), QColor(Qt::white));
        QCOMPARE(imageIdle.pixelColor(10, 3), QColor(240, 240, 240));

        QTest::mouseClick(host.pBar->buttons[1], Qt::LeftButton);
        QCOMPARE(host.grab(1).pixelColor(10, 3), QColor(Qt::white));
        QCOMPARE(host.grab(1).pixelColor(W - 1, H / 2), kBlue);
        QCOMPARE(host.grab(0).pixelColor(10, 3), QColor(240, 240, 240));
        QVERIFY(host.grab(0).pixelColor(W - 1, H / 2) != kBlue);

        host.pBar->buttons[1]->setEnabled(false);
        QVERIFY(host.grab(1).pixelColor(W - 1, H / 2) != kBlue);
    }
};

QTEST_MAIN(TestTabBars)
#include "tst_tabbars.moc"
