#include "ui/frame/SystemTrayIcon.h"

#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

CSystemTrayIcon::CSystemTrayIcon(QObject* parent) : QSystemTrayIcon(parent)
{
    m_pActionShowMainDialog = new QAction(QIcon(QStringLiteral(":/Application/Application/ApplicationPng.png")),
                                          tr("ShowMainDialog"), this);
    m_pActionShowMainDialog->setObjectName(QStringLiteral("ActionShowMainDialog"));
    m_pActionQuit = new QAction(tr("Quit"), this);
    m_pActionQuit->setObjectName(QStringLiteral("ActionQuit"));
    // The menu has no widget parent (the icon is no widget); the destructor deletes it.
    m_pMenu = new QMenu;
    m_pMenu->setObjectName(QStringLiteral("TrayMenu"));
    m_pMenu->setFixedWidth(200);
    m_pMenu->addAction(m_pActionShowMainDialog);
    m_pMenu->addSeparator();
    m_pMenu->addAction(m_pActionQuit);
    setContextMenu(m_pMenu);

    connect(m_pActionShowMainDialog, &QAction::triggered, this, &CSystemTrayIcon::on_ActionShowMainDialog_triggered);
    connect(m_pActionQuit, &QAction::triggered, this, &CSystemTrayIcon::on_ActionQuit_triggered);
    connect(this, &QSystemTrayIcon::activated, this, &CSystemTrayIcon::slotActivated);
}

CSystemTrayIcon::~CSystemTrayIcon()
{
    hide();
    setContextMenu(nullptr);
    delete m_pActionShowMainDialog;
    delete m_pActionQuit;
    delete m_pMenu;
}

void CSystemTrayIcon::retranslate()
{
    setToolTip(tr("Rackmind"));
    m_pActionShowMainDialog->setText(tr("ShowMainDialog"));
    m_pActionQuit->setText(tr("Quit"));
}

void CSystemTrayIcon::slotActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        on_ActionShowMainDialog_triggered();
    else if (reason == QSystemTrayIcon::Trigger)
        QTimer::singleShot(kSingleClickDelayMsec, this, &CSystemTrayIcon::on_ActionShowMainDialog_triggered);
}

void CSystemTrayIcon::on_ActionShowMainDialog_triggered()
{
    // Until the login is accepted the main window stays shut: the login comes up instead.
    const bool bLoggedIn = !g_pLoginDialog || g_pLoginDialog->result() == QDialog::Accepted;
    if (g_pMainDialog && bLoggedIn) {
        g_pMainDialog->showNormal();
        g_pMainDialog->raise();
    } else if (g_pLoginDialog) {
        g_pLoginDialog->setWindowModality(Qt::ApplicationModal);
        g_pLoginDialog->show();
        g_pLoginDialog->raise();
    }
}

void CSystemTrayIcon::on_ActionQuit_triggered()
{
    QApplication::quit();
}
