#pragma once

class CBaseDialog;
class CMainDialog;
class CSystemTrayIcon;

// The three long-lived windows, created once at start-up and deleted at exit; null outside that span.
// The login dialog is reached only through its dialog base here.
extern CSystemTrayIcon* g_pSystemTrayIcon;
extern CBaseDialog* g_pLoginDialog;
extern CMainDialog* g_pMainDialog;

// Re-applies the translated texts of every long-lived window that exists: the tray icon, the login
// dialog (window title and texts), then the main dialog (caption, window title and pages).
void retranslateApplication();
