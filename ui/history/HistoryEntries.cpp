#include "ui/history/HistoryEntries.h"

#include "device/Pdu.h"
#include "history/HistoryRecorder.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/TitleBar.h"
#include "ui/history/EventsWindow.h"
#include "ui/history/HistoryWindow.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

CHistoryEntries::CHistoryEntries(CMainDialog* pMain)
    : QObject(pMain), m_pMain(pMain), m_pActionEvents(new QAction(this))
{
    m_pActionEvents->setObjectName(QStringLiteral("ActionEvents"));
    pMain->menu()->addAction(m_pActionEvents);
    connect(m_pActionEvents, &QAction::triggered, this, &CHistoryEntries::slotOpenEvents);
    QTreeWidget* pTree = pMain->deviceOverviewWidget()->treeWidget();
    pTree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pTree, &QTreeWidget::itemDoubleClicked, this, &CHistoryEntries::slotOpenHistory);
    connect(pTree, &QWidget::customContextMenuRequested, this, &CHistoryEntries::showContextMenu);
    retranslate();
}

void CHistoryEntries::retranslate()
{
    m_pActionEvents->setText(tr("Events"));
}

void CHistoryEntries::slotOpenEvents()
{
    auto* pWindow = new CEventsWindow;
    pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    pWindow->show();
}

void CHistoryEntries::slotOpenHistory(QTreeWidgetItem* pItem)
{
    CPdu* pPdu = pItem ? findPduByText(pItem->text(CDeviceOverviewWidget::ColumnIPAddress)) : nullptr;
    if (!pPdu)
        return;
    auto* pWindow = new CHistoryWindow(CHistoryRecorder::macText(pPdu->stInfo), pPdu);
    pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    pWindow->show();
}

void CHistoryEntries::showContextMenu(const QPoint& pt)
{
    QTreeWidget* pTree = m_pMain->deviceOverviewWidget()->treeWidget();
    QTreeWidgetItem* pItem = pTree->itemAt(pt);
    if (!pItem || !findPduByText(pItem->text(CDeviceOverviewWidget::ColumnIPAddress)))
        return;
    QMenu menu;
    menu.setObjectName(QStringLiteral("MenuRow"));
    QAction* pHistory = menu.addAction(tr("History"));
    if (menu.exec(pTree->viewport()->mapToGlobal(pt)) == pHistory)
        slotOpenHistory(pItem);
}
