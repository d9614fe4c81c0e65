#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "device/Rackmind.h"
#include "settings/Settings.h"
#include "tools/common/SimUnit.h"
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimThread.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/MainTab.h"

#include <QCoreApplication>
#include <QFile>
#include <QTreeWidget>

namespace {

// The demo rack, then the console as the program starts it, logged in and showing the main window with
// every device of the rack online.
bool startRack(CSimThread& sim, const CShot& shot, const QString& strExtra)
{
    if (!startDemoRack(sim, strExtra))
        return false;
    g_settings.language = shot.language();
    g_settings.rememberPassword = true;
    g_settings.autoLogin = true;
    saveSettings();

    prepareLanguage();
    registerDeviceMetaTypes();
    createLongLivedWindows();
    if (!runLogin())
        return fail(QStringLiteral("the login failed"));
    showMainWindow();
    if (!waitFor([] { return g_pRackmind->onlineCount() == CSimControl::kDemoRackSize; }, 10000))
        return fail(QStringLiteral("the demo rack did not answer"));
    return true;
}

QTreeWidgetItem* rowOf(CSimThread& sim, int iDevice)
{
    return g_pMainDialog->deviceOverviewWidget()->rowOf(pduOfUnit(*g_pRackmind, sim, iDevice));
}

} // namespace

bool startDemoRack(CSimThread& sim, const QString& strExtra)
{
    CSimConfig config;
    config.iDevices = CSimControl::kDemoRackSize;
    config.bNoise = false;
    QString strError;
    if (!sim.startFleet(config, &strError))
        return fail(strError);
    const QString strCommands = CSimControl::demoRackText() + strExtra;
    for (const QString& strLine : strCommands.split(QLatin1Char('\n')))
        if (!strLine.trimmed().isEmpty() && !strLine.startsWith(QLatin1Char('#')))
            sim.command(strLine);

    // The working folder is a private one: the console also polls the rack's second port.
    QFile filePorts(QStringLiteral("port.prt"));
    if (!filePorts.open(QIODevice::WriteOnly) || filePorts.write("[0]\nport=51230\n\n[1]\nport=6000\n") < 0)
        return fail(QStringLiteral("cannot write the port file"));
    filePorts.close();
    return true;
}

bool shootOverview(CShot& shot)
{
    CSimThread sim;
    // One device past its voltage warning limit.
    if (!startRack(sim, shot, QStringLiteral("\nset 4 voltage 252\n")))
        return false;
    // The page alone at 1500 x 600.
    CDeviceOverviewWidget* pPage = g_pMainDialog->deviceOverviewWidget();
    g_pMainDialog->resize(g_pMainDialog->size() - pPage->size() + QSize(1500, 600));

    // Two devices fall silent and go offline.
    sim.command(QStringLiteral("silent 9,10"));
    if (!waitFor([] { return g_pRackmind->onlineCount() == CSimControl::kDemoRackSize - 2; }, 8000))
        return fail(QStringLiteral("the silent device stayed online"));
    QTreeWidgetItem* pSilent = rowOf(sim, 10);
    const QString strOffline = QCoreApplication::translate("CDeviceOverviewWidget", "Offline");
    if (!pSilent ||
        !waitFor([&] { return pSilent->text(CDeviceOverviewWidget::ColumnOnline) == strOffline; }, 2000))
        return fail(QStringLiteral("the silent device's row stayed online"));

    // The silent device selected: its last outlet states in the status panel, greyed.
    pPage->treeWidget()->setCurrentItem(pSilent);
    settle(400);
    return shot.save(*pPage, QStringLiteral("overview"));
}

bool shootMain(CShot& shot)
{
    CSimThread sim;
    if (!startRack(sim, shot, QString()))
        return false;
    g_pMainDialog->resize(1400, 820);
    settle(1500);
    QTreeWidget* pTree = g_pMainDialog->deviceOverviewWidget()->treeWidget();
    pTree->setCurrentItem(pTree->topLevelItem(0)->child(0));

    static const char* const kPages[] = {"overview", "config", "groups", "system"};
    bool bOk = true;
    for (int i = 0; i < 4; ++i) {
        // The tab buttons switch on the press, as an operator's click does.
        click(g_pMainDialog->mainTab()->buttons[i]);
        settle(400);
        bOk = shot.save(*g_pMainDialog, QStringLiteral("main-") + QLatin1String(kPages[i])) && bOk;
    }
    return bOk;
}

bool shootFirst(CShot& shot)
{
    CSimThread sim;
    if (!startRack(sim, shot, QString()))
        return false;
    // The main window as a first start opens it on this screen, nothing remembered.
    settle(1500);
    return shot.save(*g_pMainDialog, QStringLiteral("first"));
}
