#include "ui/frame/AppWindows.h"

#include "ui/frame/MainDialog.h"
#include "ui/frame/SystemTrayIcon.h"
#include "ui/frame/TitleBar.h"

#include <QObject>

CSystemTrayIcon* g_pSystemTrayIcon = nullptr;
CBaseDialog* g_pLoginDialog = nullptr;
CMainDialog* g_pMainDialog = nullptr;

void retranslateApplication()
{
    if (g_pSystemTrayIcon)
        g_pSystemTrayIcon->retranslate();
    if (g_pLoginDialog) {
        g_pLoginDialog->setWindowTitle(QObject::tr("Login"));
        g_pLoginDialog->retranslate();
    }
    if (g_pMainDialog) {
        g_pMainDialog->titleBar()->setTitle(QObject::tr("Rackmind"));
        g_pMainDialog->setWindowTitle(QObject::tr("Rackmind"));
        g_pMainDialog->retranslate();
    }
}
