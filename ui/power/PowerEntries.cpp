#include "ui/power/PowerEntries.h"

#include "history/HistoryStore.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/TitleBar.h"
#include "ui/power/PowerWindow.h"

#include <QAction>
#include <QMenu>

CPowerEntries::CPowerEntries(CMainDialog* pMain) : QObject(pMain), m_pActionPower(new QAction(this))
{
    m_pActionPower->setObjectName(QStringLiteral("ActionPower"));
    pMain->menu()->addAction(m_pActionPower);
    connect(m_pActionPower, &QAction::triggered, this, &CPowerEntries::slotOpenPower);
    retranslate();
}

void CPowerEntries::setHistoryStore(CHistoryStore* pStore)
{
    m_pStore = pStore;
}

void CPowerEntries::retranslate()
{
    m_pActionPower->setText(tr("Power and capacity"));
}

void CPowerEntries::slotOpenPower()
{
    if (!m_pWindow) {
        m_pWindow = new CPowerWindow(m_pStore);
        m_pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    }
    m_pWindow->show();
    m_pWindow->raise();
    m_pWindow->activateWindow();
}
