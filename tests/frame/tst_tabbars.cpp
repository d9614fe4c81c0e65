#include "ui/frame/MainTab.h"
#include "ui/frame/SubTab.h"

#include <QApplication>
#include <QtTest>
#include <type_traits>

// The main bar and the sub bar share their behaviour: they run as the two rows of one table.
class TestTabBars : public QObject
{
    Q_OBJECT

    template <class Bar, class Fn> static QList<int> indices(const Bar& bar, Fn fn)
    {
        QList<int> list;
        for (int i = 0; i < int(bar.buttons.size()); ++i)
            if (fn(bar.buttons[i]))
                list << i;
        return list;
    }
    template <class Bar> static QList<int> active(const Bar& bar)
    {
        return indices(bar, [](auto* p) { return p->isActive(); });
    }
    template <class Bar> static QList<int> shown(const Bar& bar)
    {
        return indices(bar, [](auto* p) { return p->isVisibleTo(p->parentWidget()); });
    }

    template <class Bar> void check()
    {
        QWidget host;
        auto* pBar = new Bar;
        // Button 0 starts active without looking held down; a count set before the bar is installed
        // opens no button as a window of its own.
        QCOMPARE(active(*pBar), QList<int>{0});
        QVERIFY(!pBar->buttons[0]->isDown());
        pBar->setTabCount(2);
        for (QWidget* pWidget : QApplication::topLevelWidgets())
            QVERIFY2(!pWidget->isVisible(), pWidget->metaObject()->className());
        host.setLayout(pBar);
        QSignalSpy spy(pBar, &Bar::signalTabSelChanged);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        QCOMPARE(shown(*pBar), (QList<int>{0, 1}));
        pBar->setTabCount(4);
        pBar->setTabCount(Bar::kButtonCount + 1); // out of range: kept
        QCOMPARE(shown(*pBar), (QList<int>{0, 1, 2, 3}));
        QCOMPARE(spy.count(), 0);

        // Selecting the active tab again reports it again.
        for (int i : {2, 2, 0}) {
            QTest::mouseClick(pBar->buttons[i], Qt::LeftButton);
            QCOMPARE(spy.count(), 1);
            QCOMPARE(spy.takeFirst().at(0).toInt(), i);
            QCOMPARE(active(*pBar), QList<int>{i});
            if constexpr (std::is_same_v<Bar, CSubTab>) // the style sheet keys the active look on it
                QCOMPARE(pBar->buttons[2]->property("tabActived").toBool(), i == 2);
        }

        // A disabled tab does not select; nor does a call from anything but the bar's own buttons.
        pBar->buttons[2]->setEnabled(false);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pBar->buttons[2], &press);
        QMetaObject::invokeMethod(pBar, "slotTabBtnSelected");
        QCOMPARE(spy.count(), 0);
        QCOMPARE(active(*pBar), QList<int>{0});

        // Disabling the active tab leaves none active; enabling it again does not select it.
        pBar->buttons[0]->setEnabled(false);
        pBar->buttons[0]->setEnabled(true);
        QVERIFY(active(*pBar).isEmpty());
    }

private slots:
    void bar_data()
    {
        QTest::addColumn<bool>("bMain");
        QTest::newRow("main") << true;
        QTest::newRow("sub") << false;
    }

    void bar()
    {
        QFETCH(bool, bMain);
        bMain ? check<CMainTab>() : check<CSubTab>();
    }
};

QTEST_MAIN(TestTabBars)
#include "tst_tabbars.moc"
