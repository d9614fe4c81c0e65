#include "app/AppShell.h"
#include "app/LoginDialog.h"
#include "history/HistoryStore.h"
#include "settings/Catalogues.h"
#include "tools/common/TextFit.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/LanguageSelectDialog.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/ModifyAccountDialog.h"
#include "ui/history/EventsWindow.h"
#include "ui/power/PowerWindow.h"

#include <QtTest>

// Every text of the windows a new operator meets, in each language, within the width its widget gives
// it, drawn with only the fonts the console's packages bring a desk.
class TestTextsFit : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    CHistoryStore m_store{m_dir.filePath(QStringLiteral("history.sqlite"))};

private slots:
    void initTestCase()
    {
        QVERIFY2(strangerFamilies().isEmpty(), qPrintable(strangerFamilies().join(QLatin1Char(','))));
        createSharedResources();
    }

    void textsFit_data()
    {
        QTest::addColumn<int>("iLanguage");
        QTest::addColumn<int>("iWindow");
        for (int iLanguage : {1, 2, 3})
            for (int iWindow = 0; iWindow < 6; ++iWindow)
                QTest::addRow("%s %s",
                              iLanguage == 1   ? "en"
                              : iLanguage == 2 ? "zh_CN"
                                               : "zh_TW",
                              std::array{"language", "login", "account", "main", "events", "power"}[iWindow])
                    << iLanguage << iWindow;
    }

    void textsFit()
    {
        QFETCH(int, iLanguage);
        QFETCH(int, iWindow);
        installCatalogues(iLanguage);
        auto* pMain = iWindow == 3 ? new CMainDialog : nullptr;
        const std::unique_ptr<QWidget> pWindow(iWindow == 0   ? new CLanguageSelectDialog
                                               : iWindow == 1 ? new CLoginDialog
                                               : iWindow == 2 ? new CModifyAccountDialog
                                               : iWindow == 4 ? new CEventsWindow(&m_store)
                                               : iWindow == 5
                                                   ? static_cast<QWidget*>(new CPowerWindow(&m_store))
                                                   : pMain);
        // The main window as small as the shell lets it be.
        pWindow->resize(pMain ? QSize(1000, 700) : pWindow->size());
        pWindow->show();
        QVERIFY(QTest::qWaitForWindowExposed(pWindow.get()));
        // The texts the shell gives its windows once they are shown.
        g_pLoginDialog = qobject_cast<CLoginDialog*>(pWindow.get());
        g_pMainDialog = pMain;
        retranslateApplication();
        g_pLoginDialog = g_pMainDialog = nullptr;
        QCoreApplication::processEvents();
        // The configuration page needs a device.
        const QStringList list = cutTextsOnEveryPage(
            pWindow.get(), {pMain ? reinterpret_cast<QWidget*>(pMain->deviceConfigWidget()) : nullptr});
        QVERIFY2(list.isEmpty(), qPrintable(list.join(QLatin1Char('\n'))));
    }
};

DESK_FONTS_TEST_MAIN(TestTextsFit)

#include "tst_textsfit.moc"
