#include "app/AppShell.h"
#include "app/Catalogues.h"
#include "app/Settings.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/frame/TitleBar.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTranslator>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

// The texts an object shows: its text, title or placeholder, a window's title, a tree's or a table's
// header.
QStringList textsOf(QObject* pObject)
{
    QStringList list;
    for (const char* pszProperty : {"text", "title", "placeholderText"})
        if (pObject->property(pszProperty).userType() == QMetaType::QString)
            list << pObject->property(pszProperty).toString();
    if (auto* pWidget = qobject_cast<QWidget*>(pObject); pWidget && pWidget->isWindow())
        list << pWidget->windowTitle();
    if (auto* pTree = qobject_cast<QTreeWidget*>(pObject))
        for (int i = 0; i < pTree->columnCount(); ++i)
            list << pTree->headerItem()->text(i);
    if (auto* pTable = qobject_cast<QTableWidget*>(pObject))
        for (int i = 0; i < pTable->columnCount(); ++i)
            list << (pTable->horizontalHeaderItem(i) ? pTable->horizontalHeaderItem(i)->text() : QString());
    return list;
}

// The catalogue's text for strText as the nearest class around pObject translates it (the start-up's
// own texts are QObject's); empty when none has one.
QString translation(const QTranslator* pCatalogue, QObject* pObject, const QString& strText)
{
    for (QObject* p = pObject; p; p = p->parent())
        if (const QString str = pCatalogue->translate(p->metaObject()->className(), qPrintable(strText)); !str.isEmpty())
            return str;
    return pCatalogue->translate("QObject", qPrintable(strText));
}

bool isChinese(const QString& strText)
{
    return std::any_of(strText.begin(), strText.end(), [](QChar ch) { return ch.script() == QChar::Script_Han; });
}

} // namespace

// The main window and the tray icon as start-up builds them.
class TestMainDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dirSettings;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dirSettings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dirSettings.path());
        createSharedResources();
    }

    void init()
    {
        g_settings = AppSettings();
        g_settings.language = 1;
        QVERIFY(prepareLanguage());
        createLongLivedWindows();
        g_pMainDialog->show();
        retranslateApplication();
        QVERIFY(QTest::qWaitForWindowExposed(g_pMainDialog));
    }

    void cleanup()
    {
        runExitSequence();
        QVERIFY(!g_pMainDialog && !g_pLoginDialog && !g_pSystemTrayIcon);
        createSharedResources();
    }

    void tabsSwitchPagesButNotToTheConfigWithoutDevice()
    {
        CMainTab* pTab = g_pMainDialog->mainTab();
        QCOMPARE(pTab->tabCount(), g_pMainDialog->stack()->count());
        QCOMPARE(g_pMainDialog->stack()->currentIndex(), 0);
        for (int i : {3, 2, 1, 0}) {
            QTest::mouseClick(pTab->buttons[i], Qt::LeftButton);
            QCOMPARE(g_pMainDialog->stack()->currentIndex(), i == 1 ? 2 : i);
        }
        // Escape closes the main window neither.
        QSignalSpy spyFinished(g_pMainDialog, &QDialog::finished);
        QTest::keyClick(g_pMainDialog, Qt::Key_Escape);
        QTest::keyClick(g_pMainDialog->stack()->currentWidget(), Qt::Key_Escape);
        QCoreApplication::processEvents();
        QVERIFY(g_pMainDialog->isVisible());
        QCOMPARE(spyFinished.count(), 0);
    }

    void trayBringsTheWindowBack()
    {
        g_pLoginDialog->setResult(QDialog::Accepted);
        // Minimised to the tray, the show entry brings the window back; a double-click does too, a
        // single click after a moment (it may still become a double-click).
        g_pMainDialog->hide();
        g_pSystemTrayIcon->contextMenu()->actions().first()->trigger();
        QVERIFY(g_pMainDialog->isVisible());
        g_pMainDialog->hide();
        emit g_pSystemTrayIcon->activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(g_pMainDialog->isVisible());
        g_pMainDialog->hide();
        emit g_pSystemTrayIcon->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!g_pMainDialog->isVisible());
        QTRY_VERIFY(g_pMainDialog->isVisible());
    }

    // Every page, the menus, the tray and the login window follow a language change from the menu: no
    // text is left that the catalogue has in another language, and each of them shows texts of the new one.
    void languageChangeFromTheMenu_data()
    {
        QTest::addColumn<int>("iFrom");
        QTest::addColumn<int>("iIndex");
        QTest::newRow("to zh_CN") << 1 << 1;
        QTest::newRow("to zh_TW") << 1 << 2;
        QTest::newRow("back to English") << 3 << 0;
    }

    void languageChangeFromTheMenu()
    {
        QFETCH(int, iFrom);
        QFETCH(int, iIndex);
        installCatalogues(iFrom);
        retranslateApplication();
        QTimer timer;
        connect(&timer, &QTimer::timeout, [&] {
            if (QWidget* pDialog = QApplication::activeModalWidget()) {
                pDialog->findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->setCurrentIndex(iIndex);
                pDialog->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
            }
        });
        timer.start(20);
        g_pMainDialog->titleBar()->menuButton()->menu()->actions().first()->trigger();
        QCOMPARE(g_settings.language, iIndex + 1);

        const QTranslator* pCatalogue = (iIndex ? iIndex : iFrom - 1) == 1 ? g_pTranslatorZhCN : g_pTranslatorZhTW;
        QList<QObject*> listRoots{g_pLoginDialog, g_pSystemTrayIcon, g_pMainDialog};
        for (int i = 0; i < g_pMainDialog->stack()->count(); ++i)
            listRoots << g_pMainDialog->stack()->widget(i);
        for (QObject* pRoot : qAsConst(listRoots)) {
            int iNew = 0;
            const QList<QObject*> listObjects = pRoot->findChildren<QObject*>() << pRoot;
            for (QObject* pObject : listObjects) {
                for (const QString& strText : textsOf(pObject)) {
                    const QString strTranslation = translation(pCatalogue, pObject, strText);
                    const bool bStale = iIndex ? !strTranslation.isEmpty() && strTranslation != strText : isChinese(strText);
                    QVERIFY2(!bStale, qPrintable(QLatin1String(pObject->metaObject()->className()) + QLatin1String(": ") + strText));
                    iNew += (iIndex ? isChinese(strText) : !strTranslation.isEmpty() && strTranslation != strText) ? 1 : 0;
                }
            }
            QVERIFY2(iNew > 0, pRoot->metaObject()->className());
        }
        // Named once more, as "Rackmind" alone never proves a retranslation: the login window's title.
        const QString strLogin = iIndex ? pCatalogue->translate("QObject", "Login") : QStringLiteral("Login");
        QVERIFY(!strLogin.isEmpty());
        QCOMPARE(g_pLoginDialog->windowTitle(), strLogin);
    }

    // Before the login is accepted the tray must not open the main window past it; its quit ends the
    // login. Quitting ends every event loop until the next exec(), so this one runs last.
    void trayShowsTheLoginUntilItIsAccepted()
    {
        g_pMainDialog->hide();
        bool bLoginShown = false, bMainShown = true;
        QTimer::singleShot(0, [&] {
            g_pSystemTrayIcon->contextMenu()->actions().first()->trigger();
            bLoginShown = g_pLoginDialog->isVisible();
            bMainShown = g_pMainDialog->isVisible();
            g_pSystemTrayIcon->contextMenu()->actions().last()->trigger();
        });
        QVERIFY(!runLogin());
        QVERIFY(bLoginShown && !bMainShown);
    }
};

QTEST_MAIN(TestMainDialog)
#include "tst_maindialog.moc"
