#include "app/AppShell.h"
#include "common/UnixSignals.h"

#include "app/LoginDialog.h"
#include "app/MenuIconStyle.h"
#include "device/Rackmind.h"
#include "history/BudgetHistory.h"
#include "history/HistoryStore.h"
#include "metrics/MetricsExporter.h"
#include "room/RoomAlarms.h"
#include "settings/AlarmSettings.h"
#include "settings/Catalogues.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/LanguageSelectDialog.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/SharedFonts.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/frame/TitleBar.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStyleFactory>

#include <memory>

namespace {
CLoginDialog* loginDialog()
{
    return static_cast<CLoginDialog*>(g_pLoginDialog);
}

// The console's alarm tracker and alarm mail: made here once, handed to the login (which gives them to
// the devices and the event log) and to the windows that show alarms.
std::unique_ptr<CRoomAlarms> s_pAlarms;
} // namespace

CRoomAlarms* consoleAlarms()
{
    return s_pAlarms.get();
}

void createSharedResources()
{
    // The application takes the style over and frees it with itself, after every window is gone.
    QApplication::setStyle(new CMenuIconStyle(QStyleFactory::create(QStringLiteral("fusion"))));
    createCatalogues();
    createSharedFonts();
    QFile fileStyleSheet(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (fileStyleSheet.open(QIODevice::ReadOnly)) {
        qApp->setStyleSheet(QString::fromUtf8(fileStyleSheet.readAll()));
        fileStyleSheet.close();
    }
}

bool prepareLanguage()
{
    loadSettings();
    loadAlarmSettings();
    loadGroupSettings();
    if (g_settings.language == 0)
        return runLanguageSelection();
    installCatalogues(g_settings.language);
    return true;
}

void createLongLivedWindows()
{
    // The history store first, so that the console's start is its first event.
    g_pHistoryStore = new CHistoryStore;
    g_pHistoryStore->setRetention({g_settings.historyRawHours, g_settings.historyMinuteDays,
                                   g_settings.historyHourDays, g_settings.historyEventDays});
    g_pHistoryStore->record(HistoryEvent::ConsoleStarted, QString(), QString(), QString());
    keepBudgetHistory(g_pHistoryStore);

    s_pAlarms = std::make_unique<CRoomAlarms>();
    g_pSystemTrayIcon = new CSystemTrayIcon;
    g_pSystemTrayIcon->setObjectName(QStringLiteral("SystemTrayIcon"));
    g_pSystemTrayIcon->setAlarmTracker(&s_pAlarms->tracker);
    g_pSystemTrayIcon->setIcon(
        QIcon(QStringLiteral(":/Application/Application/ApplicationIcon_Grayscale.png")));
    g_pSystemTrayIcon->retranslate();
    g_pSystemTrayIcon->setVisible(true);

    auto* pLogin = new CLoginDialog;
    pLogin->setObjectName(QStringLiteral("LoginDialog"));
    pLogin->setFixedSize(442, 342);
    pLogin->retranslate();
    g_pLoginDialog = pLogin;

    // Before the main dialog, whose Metrics page follows it; it serves once the login has made devices.
    g_pMetricsExporter = new CMetricsExporter;
    QObject::connect(g_pMetricsExporter, &CMetricsExporter::signalNotice,
                     [](const QString& strText) { qWarning("%s", qPrintable(strText)); });
    g_pMainDialog = new CMainDialog;
    g_pMainDialog->setObjectName(QStringLiteral("MainDialog"));
    g_pMainDialog->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    g_pMainDialog->setMinimumSize(1000, 700);
    g_pMainDialog->setSizeGripEnabled(true);
    loginDialog()->setOverviewPage(g_pMainDialog->deviceOverviewWidget());
    loginDialog()->setRoomAlarms(s_pAlarms.get());
    if (CAlarmPanel* pPanel = g_pMainDialog->deviceOverviewWidget()->alarmPanel())
        pPanel->setAlarmTracker(&s_pAlarms->tracker);
}

bool runLogin()
{
    return g_pLoginDialog && g_pLoginDialog->exec() == QDialog::Accepted;
}

void showMainWindow()
{
    g_pSystemTrayIcon->setIcon(QIcon(QStringLiteral(":/Application/Application/ApplicationPng.png")));
    g_pMainDialog->show();
    retranslateApplication();
    g_pMetricsExporter->setSources(g_pRackmind, g_pUdpDriver);
    if (!g_pMetricsExporter->apply(g_settings.metricsEnabled, g_settings.metricsAddress,
                                   g_settings.metricsPort, g_settings.metricsWebConfigFile))
        qWarning("metrics: cannot listen on %s:%d: %s; running on without metrics",
                 qPrintable(g_settings.metricsAddress), g_settings.metricsPort,
                 qPrintable(g_pMetricsExporter->errorString()));
}

int runMainWindow()
{
    showMainWindow();
    return QApplication::exec();
}

void runExitSequence()
{
    deleteCatalogues();
    deleteSharedFonts();
    delete g_pSystemTrayIcon;
    g_pSystemTrayIcon = nullptr;
    delete g_pLoginDialog;
    g_pLoginDialog = nullptr;
    delete g_pMainDialog;
    g_pMainDialog = nullptr;
    delete g_pMetricsExporter;
    g_pMetricsExporter = nullptr;
    // The registry first (no device can queue anything into a stopped thread), then the worker thread,
    // then the transport, pulled back here and stopped.
    releaseDeviceMachinery();
    if (g_pHistoryStore) {
        g_pHistoryStore->record(HistoryEvent::ConsoleStopped, QString(), QString(), QString());
        delete g_pHistoryStore;
        g_pHistoryStore = nullptr;
    }
    // Alarm mail already queued gets its bounded time to go out; the mail thread ends here.
    if (s_pAlarms && s_pAlarms->finish())
        s_pAlarms.reset();
    else
        (void)s_pAlarms.release(); // a worker that will not stop is left to the process exit
}

void showStartUpFailure(const char* pszText)
{
    QMessageBox box(QMessageBox::Critical, QObject::tr("Critical"), QObject::tr(pszText), QMessageBox::Ok);
    box.exec();
}

void quitOnUnixSignals()
{
    auto* pSignals = new CUnixSignals(qApp);
    QObject::connect(pSignals, &CUnixSignals::signalReceived, qApp, [] { QApplication::quit(); });
}
