#include "ui/history/HistoryEntries.h"

#include "device/Pdu.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/TitleBar.h"
#include "ui/history/EventsWindow.h"
#include "ui/history/HistoryWindow.h"

#include <QAction>
#include <QMenu>
#include <QPointer>
#include <QTreeWidget>

CHistoryEntries::CHistoryEntries(CMainDialog* pMain)
    : QObject(pMain), m_pMain(pMain), m_pActionEvents(new QAction(this))
{
    m_pActionEvents->setObjectName(QStringLiteral("ActionEvents"));
    pMain->menu()->addAction(m_pActionEvents);
    connect(m_pActionEvents, &QAction::triggered, this, &CHistoryEntries::slotOpenEvents);
    QTreeWidget* pTree = pMain->deviceOverviewWidget()->treeWidget();
    connect(pTree, &QTreeWidget::itemDoubleClicked, this, &CHistoryEntries::slotOpenHistory);
    connect(pMain->deviceOverviewWidget(), &CDeviceOverviewWidget::signalRowMenu, this,
            &CHistoryEntries::addToRowMenu);
    retranslate();
}

void CHistoryEntries::setHistoryStore(CHistoryStore* pStore)
{
    m_pStore = pStore;
}

void CHistoryEntries::retranslate()
{
    m_pActionEvents->setText(tr("Events"));
}

void CHistoryEntries::slotOpenEvents()
{
    auto* pWindow = new CEventsWindow(m_pStore);
    pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    pWindow->show();
}

void CHistoryEntries::slotOpenHistory(QTreeWidgetItem* pItem)
{
    openHistory(itemPdu(pItem));
}

void CHistoryEntries::openHistory(CPdu* pPdu)
{
    if (!pPdu)
        return;
    auto* pWindow = new CHistoryWindow(CHistoryRecorder::macText(pPdu->stInfo), pPdu, m_pStore);
    pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    pWindow->show();
}

// "History" leads the row's context menu, above the outlet operations.
void CHistoryEntries::addToRowMenu(QMenu* pMenu, CPdu* pPdu)
{
    auto* pHistory = new QAction(tr("History"), pMenu);
    pHistory->setObjectName(QStringLiteral("ActionHistory"));
    connect(pHistory, &QAction::triggered, this,
            [this, pDevice = QPointer<CPdu>(pPdu)] { openHistory(pDevice); });
    const QList<QAction*> listActions = pMenu->actions();
    QAction* pFirst = listActions.isEmpty() ? nullptr : listActions.first();
    pMenu->insertAction(pFirst, pHistory);
    if (pFirst)
        pMenu->insertSeparator(pFirst);
}
