#include "app/AppShell.h"
#include "common/UnixSignals.h"

#include "app/LoginDialog.h"
#include "app/MenuIconStyle.h"
#include "device/Rackmind.h"
#include "history/BudgetHistory.h"
#include "history/HistoryStore.h"
#include "metrics/MetricsExporter.h"
#include "room/Room.h"
#include "room/RoomAlarms.h"
#include "settings/AlarmSettings.h"
#include "settings/Catalogues.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"
#include "settings/WindowSettings.h"
#include "snmp/EntityIndexes.h"
#include "snmp/SnmpPublisher.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/LanguageSelectDialog.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/SharedFonts.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/frame/TitleBar.h"
#include "ui/system/MetricsConfigWidget.h"
#include "ui/system/SnmpConfigWidget.h"
#include "ui/system/SystemConfigWidget.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QStyleFactory>

#include <memory>
#include <utility>

namespace {
CLoginDialog* loginDialog()
{
    return static_cast<CLoginDialog*>(g_pLoginDialog);
}

// The console's room, started by the login; it records into the history store. What the room and the
// shell own is handed to the windows that use it.
CHistoryStore* s_pHistoryStore = nullptr;
CRoom* s_pRoom = nullptr;
CMetricsExporter* s_pMetricsExporter = nullptr;
CSnmpPublisher* s_pSnmp = nullptr;
// A quit asked outside the main event loop (during the login, its scanning or as it is accepted) ends
// the dialog's loop only: QApplication::exec() would start afresh and forget it.
bool s_bQuitAsked = false;
// Only a window the operator has seen has a place and columns worth remembering.
bool s_bMainShown = false;

void askQuit()
{
    s_bQuitAsked = true;
    QApplication::quit();
}
} // namespace

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
    s_pHistoryStore = new CHistoryStore;
    s_pHistoryStore->setRetention({g_settings.historyRawHours, g_settings.historyMinuteDays,
                                   g_settings.historyHourDays, g_settings.historyEventDays});
    RoomOptions options = RoomOptions::programDefaults();
    options.pHistoryStore = s_pHistoryStore;
    s_pRoom = new CRoom(options);

    g_pSystemTrayIcon = new CSystemTrayIcon;
    g_pSystemTrayIcon->setObjectName(QStringLiteral("SystemTrayIcon"));
    g_pSystemTrayIcon->setAlarmTracker(s_pRoom->alarmTracker());
    g_pSystemTrayIcon->setIcon(
        QIcon(QStringLiteral(":/Application/Application/ApplicationIcon_Grayscale.png")));
    g_pSystemTrayIcon->retranslate();
    g_pSystemTrayIcon->setVisible(true);
    if (auto* pQuit = g_pSystemTrayIcon->findChild<QAction*>(QStringLiteral("ActionQuit")))
        QObject::connect(pQuit, &QAction::triggered, [] { s_bQuitAsked = true; });

    auto* pLogin = new CLoginDialog;
    pLogin->setObjectName(QStringLiteral("LoginDialog"));
    pLogin->setFixedSize(442, 342);
    pLogin->retranslate();
    g_pLoginDialog = pLogin;

    // Before the main dialog, whose Metrics page follows it; it serves once the login has made devices.
    s_pMetricsExporter = new CMetricsExporter;
    s_pMetricsExporter->setHistoryStore(s_pHistoryStore);
    QObject::connect(s_pMetricsExporter, &CMetricsExporter::signalNotice,
                     [](const QString& strText) { qWarning("%s", qPrintable(strText)); });
    g_pMainDialog = new CMainDialog;
    g_pMainDialog->setObjectName(QStringLiteral("MainDialog"));
    g_pMainDialog->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    g_pMainDialog->setMinimumSize(1000, 700);
    g_pMainDialog->setSizeGripEnabled(true);
    loginDialog()->setOverviewPage(g_pMainDialog->deviceOverviewWidget());
    loginDialog()->setRoom(s_pRoom);
    if (CAlarmPanel* pPanel = g_pMainDialog->deviceOverviewWidget()->alarmPanel())
        pPanel->setAlarmTracker(s_pRoom->alarmTracker());
    g_pMainDialog->systemConfigWidget()->metricsConfigWidget()->setExporter(s_pMetricsExporter);
    s_pSnmp = new CSnmpPublisher(CEntityIndexes::defaultPath());
    QObject::connect(s_pSnmp, &CSnmpPublisher::signalStatus,
                     [](const SnmpAgentStatus& status) { qWarning("snmp: %s", qPrintable(status.strText)); });
    g_pMainDialog->systemConfigWidget()->snmpConfigWidget()->setPublisher(s_pSnmp);
    g_pMainDialog->setHistoryStore(s_pHistoryStore);
}

bool runLogin()
{
    // A signal that came before any event loop ran is taken first: the login that logs in by itself would
    // start polling as it is shown. Asked before the login: no polling is started for a program on its way
    // out.
    QCoreApplication::processEvents();
    if (s_bQuitAsked || !g_pLoginDialog || g_pLoginDialog->exec() != QDialog::Accepted || s_bQuitAsked)
        return false;
    g_pMainDialog->setOutletControl(s_pRoom->outletControl());
    return true;
}

CRoom* consoleRoom()
{
    return s_pRoom;
}

void showMainWindow()
{
    g_pSystemTrayIcon->setIcon(QIcon(QStringLiteral(":/Application/Application/ApplicationPng.png")));
    g_pMainDialog->showPlaced(loadWindowSettings(CDeviceOverviewWidget::ColumnCount));
    s_bMainShown = true;
    retranslateApplication();
    s_pMetricsExporter->setSources(s_pRoom->registry(), s_pRoom->driver());
    if (!s_pMetricsExporter->apply(g_settings.metricsEnabled, g_settings.metricsAddress,
                                   g_settings.metricsPort, g_settings.metricsWebConfigFile))
        qWarning("metrics: cannot listen on %s:%d: %s; running on without metrics",
                 qPrintable(g_settings.metricsAddress), g_settings.metricsPort,
                 qPrintable(s_pMetricsExporter->errorString()));
    s_pSnmp->setSources(s_pRoom->registry(), s_pRoom->alarmTracker());
    s_pSnmp->applySettings();
}

int runMainWindow()
{
    if (s_bQuitAsked)
        return 0;
    showMainWindow();
    return QApplication::exec();
}

void runExitSequence()
{
    if (g_pMainDialog && std::exchange(s_bMainShown, false))
        saveWindowSettings(g_pMainDialog->placement());
    deleteCatalogues();
    deleteSharedFonts();
    delete g_pSystemTrayIcon;
    g_pSystemTrayIcon = nullptr;
    delete g_pLoginDialog;
    g_pLoginDialog = nullptr;
    delete g_pMainDialog;
    g_pMainDialog = nullptr;
    delete s_pMetricsExporter;
    s_pMetricsExporter = nullptr;
    delete s_pSnmp;
    s_pSnmp = nullptr;
    // Its stop event and queued alarm mail last, after the windows.
    delete s_pRoom;
    s_pRoom = nullptr;
    delete s_pHistoryStore;
    s_pHistoryStore = nullptr;
}

void showStartUpFailure(const char* pszText)
{
    QMessageBox box(QMessageBox::Critical, QObject::tr("Critical"), QObject::tr(pszText), QMessageBox::Ok);
    box.exec();
}

void quitOnUnixSignals()
{
    auto* pSignals = new CUnixSignals(qApp);
    QObject::connect(pSignals, &CUnixSignals::signalReceived, qApp, [] { askQuit(); });
}
