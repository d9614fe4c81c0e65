#include "app/AppShell.h"
#include "app/Settings.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/frame/TitleBar.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// The main window and the tray icon as start-up builds them.
class TestMainDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void fourPagesAndTheConfigTabDisabled();
    void tabButtonsSwitchThePage();
    void escapeDoesNothing();
    void trayMenu();
    void languageChangeFromTheMenu_data();
    void languageChangeFromTheMenu();
    // Quitting ends every event loop until the next exec(), so this one runs last.
    void trayShowsTheLoginUntilItIsAccepted();

private:
    QTemporaryDir m_dirSettings;
};

void TestMainDialog::initTestCase()
{
    QVERIFY(m_dirSettings.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dirSettings.path());
    createSharedResources();
}

void TestMainDialog::init()
{
    g_settings = AppSettings();
    g_settings.language = 1;
    saveSettings();
    QVERIFY(prepareLanguage());
    createLongLivedWindows();
    g_pMainDialog->show();
    retranslateApplication();
    QVERIFY(QTest::qWaitForWindowExposed(g_pMainDialog));
}

void TestMainDialog::cleanup()
{
    runExitSequence();
    QVERIFY(!g_pMainDialog && !g_pLoginDialog && !g_pSystemTrayIcon);
    createSharedResources();
}

void TestMainDialog::fourPagesAndTheConfigTabDisabled()
{
    CMainTab* pTab = g_pMainDialog->mainTab();
    int iVisible = 0;
    for (CMainTabBtn* pBtn : pTab->buttons)
        iVisible += pBtn->isVisible() ? 1 : 0;
    QCOMPARE(iVisible, 4);
    QCOMPARE(g_pMainDialog->stack()->count(), 4);
    QCOMPARE(g_pMainDialog->stack()->currentIndex(), 0);
    QStringList listNames;
    for (int i = 0; i < 4; ++i)
        listNames << g_pMainDialog->stack()->widget(i)->objectName();
    QCOMPARE(listNames, (QStringList{"DeviceOverviewWidget", "DeviceConfigWidget", "GroupConfigWidget",
                                     "CSystemConfigWidget"}));
    QVERIFY(!pTab->buttons[1]->isEnabled());
    QVERIFY(pTab->buttons[0]->isEnabled() && pTab->buttons[2]->isEnabled() && pTab->buttons[3]->isEnabled());
    QVERIFY(g_pMainDialog->minimumSize() == QSize(1000, 700));
    QCOMPARE(g_pLoginDialog->size(), QSize(442, 342));
    QCOMPARE(g_pMainDialog->windowTitle(), QStringLiteral("Rackmind"));
    QCOMPARE(g_pMainDialog->titleBar()->menuButton()->menu(), g_pMainDialog->menu());
}

void TestMainDialog::tabButtonsSwitchThePage()
{
    CMainTab* pTab = g_pMainDialog->mainTab();
    for (int i : {3, 2, 0}) {
        QTest::mouseClick(pTab->buttons[i], Qt::LeftButton);
        QCOMPARE(g_pMainDialog->stack()->currentIndex(), i);
    }
    // The disabled configuration tab does not switch.
    QTest::mouseClick(pTab->buttons[1], Qt::LeftButton);
    QCOMPARE(g_pMainDialog->stack()->currentIndex(), 0);
}

void TestMainDialog::escapeDoesNothing()
{
    QSignalSpy spyRejected(g_pMainDialog, &QDialog::rejected);
    QSignalSpy spyFinished(g_pMainDialog, &QDialog::finished);
    QTest::keyClick(g_pMainDialog, Qt::Key_Escape);
    QTest::keyClick(g_pMainDialog->stack()->currentWidget(), Qt::Key_Escape);
    QCoreApplication::processEvents();
    QVERIFY(g_pMainDialog->isVisible());
    QCOMPARE(spyRejected.count(), 0);
    QCOMPARE(spyFinished.count(), 0);
}

void TestMainDialog::trayMenu()
{
    QMenu* pMenu = g_pSystemTrayIcon->contextMenu();
    QVERIFY(pMenu);
    QCOMPARE(pMenu->objectName(), QStringLiteral("TrayMenu"));
    QCOMPARE(pMenu->width(), 200);
    const QList<QAction*> listActions = pMenu->actions();
    QCOMPARE(listActions.size(), 3);
    QCOMPARE(listActions[0]->objectName(), QStringLiteral("ActionShowMainDialog"));
    QVERIFY(listActions[1]->isSeparator());
    QCOMPARE(listActions[2]->objectName(), QStringLiteral("ActionQuit"));
    QCOMPARE(g_pSystemTrayIcon->toolTip(), QStringLiteral("Rackmind"));

    g_pLoginDialog->setResult(QDialog::Accepted);
    // Minimised to the tray, the show entry brings the window back; a double-click does too.
    g_pMainDialog->hide();
    listActions[0]->trigger();
    QVERIFY(g_pMainDialog->isVisible());
    g_pMainDialog->hide();
    emit g_pSystemTrayIcon->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(g_pMainDialog->isVisible());
    g_pMainDialog->hide();
    emit g_pSystemTrayIcon->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!g_pMainDialog->isVisible());
    QTRY_VERIFY(g_pMainDialog->isVisible());
}

void TestMainDialog::trayShowsTheLoginUntilItIsAccepted()
{
    // Before the login is accepted the tray must not open the main window past it.
    g_pMainDialog->hide();
    bool bLoginShown = false, bMainShown = true;
    QTimer::singleShot(0, [&] {
        g_pSystemTrayIcon->contextMenu()->actions().first()->trigger();
        bLoginShown = g_pLoginDialog->isVisible();
        bMainShown = g_pMainDialog->isVisible();
        g_pSystemTrayIcon->contextMenu()->actions().last()->trigger();
    });
    QVERIFY(!runLogin());
    QVERIFY(bLoginShown);
    QVERIFY(!bMainShown);
}

void TestMainDialog::languageChangeFromTheMenu_data()
{
    QTest::addColumn<int>("iIndex");
    QTest::addColumn<QStringList>("listTabs");
    QTest::addColumn<QStringList>("listMenu");
    QTest::addColumn<QString>("strTitle");
    QTest::addColumn<QString>("strTray");
    QTest::newRow("zh_CN") << 1 << QStringList{"设备总览", "设备配置", "分组配置", "系统配置"}
                           << QStringList{"切换语言", "修改账户"} << QString("Rackmind") << QString("Rackmind");
    QTest::newRow("zh_TW") << 2 << QStringList{"設備總覽", "設備配置", "分組配置", "系統配置"}
                           << QStringList{"切換語言", "修改帳戶"} << QString("Rackmind") << QString("Rackmind");
    QTest::newRow("en") << 0 << QStringList{"DeviceOverview", "DeviceConfig", "GroupConfig", "SystemConfig"}
                        << QStringList{"ChangeLanguage", "ModifyAccount"} << QString("Rackmind") << QString("Rackmind");
}

void TestMainDialog::languageChangeFromTheMenu()
{
    QFETCH(int, iIndex);
    QFETCH(QStringList, listTabs);
    QFETCH(QStringList, listMenu);
    QFETCH(QString, strTitle);
    QFETCH(QString, strTray);
    bool bAnswered = false;
    QTimer timer;
    connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* pDialog : QApplication::topLevelWidgets()) {
            if (pDialog->objectName() != QLatin1String("LanguageSelectDialog") || !pDialog->isVisible())
                continue;
            timer.stop();
            pDialog->findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->setCurrentIndex(iIndex);
            pDialog->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
            bAnswered = true;
        }
    });
    timer.start(20);
    g_pMainDialog->menu()->actions().first()->trigger();
    QVERIFY(bAnswered);
    QCOMPARE(g_settings.language, iIndex + 1);

    QStringList listShownTabs, listShownMenu;
    for (int i = 0; i < 4; ++i)
        listShownTabs << g_pMainDialog->mainTab()->buttons[i]->text();
    for (QAction* pAction : g_pMainDialog->menu()->actions())
        listShownMenu << pAction->text();
    QCOMPARE(listShownTabs, listTabs);
    QCOMPARE(listShownMenu, listMenu);
    QCOMPARE(g_pMainDialog->windowTitle(), strTitle);
    QCOMPARE(g_pSystemTrayIcon->toolTip(), strTray);
}

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
