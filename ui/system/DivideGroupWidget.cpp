#include "ui/system/DivideGroupWidget.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/GroupSettings.h"
#include "ui/device/PduLookup.h"
#include "ui/system/GroupBudgetWidget.h"
#include "ui/system/GroupNames.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kDefaultGroup = QStringLiteral("Default");

QTableWidget* makeTable(QWidget* parent, const QString& strName)
{
    auto* pTable = new QTableWidget(0, 2, parent);
    pTable->setObjectName(strName);
    pTable->verticalHeader()->hide();
    pTable->setGridStyle(Qt::DotLine);
    pTable->horizontalHeader()->setStretchLastSection(true);
    pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    pTable->setColumnWidth(0, 120);
    return pTable;
}

// Rebuilds a table with the devices of one group, in registry order.
void fillTable(QTableWidget* pTable, const QString& strGroup)
{
    pTable->clearContents();
    pTable->setRowCount(0);
    if (!g_pRackmind)
        return;
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu)) {
        if (pPdu->strGroup != strGroup)
            continue;
        const int iRow = pTable->rowCount();
        pTable->insertRow(iRow);
        auto* pAddress = new QTableWidgetItem(ipv4ToString(pPdu->stInfo.ip));
        // The row moves its own device: another may report the same address.
        setItemPdu(pAddress, pPdu);
        pTable->setItem(iRow, 0, pAddress);
        pTable->setItem(iRow, 1, new QTableWidgetItem(deviceText(pPdu->stInfo.name)));
    }
}

} // namespace

CDivideGroupWidget::CDivideGroupWidget(QWidget* parent)
    : QWidget(parent), m_pLabelWaitDivide(new QLabel(this)),
      m_pTableWaitDivide(makeTable(this, QStringLiteral("TableWaitDivide"))),
      m_pLayoutWaitDivide(new QVBoxLayout), m_pLabelGroup(new QLabel(this)),
      m_pComboGroupName(new QComboBox(this)), m_pBtnAddGroup(new QPushButton(this)),
      m_pTableDivided(makeTable(this, QStringLiteral("TableDivided"))), m_pLayoutRight(new QGridLayout),
      m_pBtnPutToGroup(new QPushButton(this)), m_pBtnTakeFromGroup(new QPushButton(this)),
      m_pLayoutCenter(new QVBoxLayout), m_pLayoutBase(new QHBoxLayout(this)),
      m_pBudgetWidget(new CGroupBudgetWidget(this))
{
    m_pBudgetWidget->setObjectName(QStringLiteral("GroupBudgetWidget"));
    m_pLabelWaitDivide->setObjectName(QStringLiteral("LabelWaitDivide"));
    m_pLayoutWaitDivide->setObjectName(QStringLiteral("LayoutWaitDivide"));
    m_pLabelGroup->setObjectName(QStringLiteral("LabelGroup"));
    m_pComboGroupName->setObjectName(QStringLiteral("ComboGroupName"));
    m_pBtnAddGroup->setObjectName(QStringLiteral("BtnAddGroup"));
    m_pLayoutRight->setObjectName(QStringLiteral("LayoutRight"));
    m_pBtnPutToGroup->setObjectName(QStringLiteral("BtnPutToGroup"));
    m_pBtnTakeFromGroup->setObjectName(QStringLiteral("BtnTakeFromGroup"));
    m_pLayoutCenter->setObjectName(QStringLiteral("LayoutCenter"));
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));

    m_pLabelWaitDivide->setAlignment(Qt::AlignCenter);
    m_pLayoutWaitDivide->setContentsMargins(2, 2, 2, 2);
    m_pLayoutWaitDivide->setSpacing(4);
    m_pLayoutWaitDivide->addStretch();
    m_pLayoutWaitDivide->addWidget(m_pLabelWaitDivide);
    m_pLayoutWaitDivide->addWidget(m_pTableWaitDivide);
    m_pLayoutWaitDivide->addStretch();

    m_pLabelGroup->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pComboGroupName->setMinimumWidth(140);
    m_pBtnAddGroup->setFixedWidth(32);
    m_pLayoutRight->setContentsMargins(2, 2, 2, 2);
    m_pLayoutRight->setSpacing(4);
    m_pLayoutRight->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 0, 1, 3);
    m_pLayoutRight->addWidget(m_pLabelGroup, 1, 0);
    m_pLayoutRight->addWidget(m_pComboGroupName, 1, 1);
    m_pLayoutRight->addWidget(m_pBtnAddGroup, 1, 2);
    m_pLayoutRight->addWidget(m_pTableDivided, 2, 0, 1, 3);
    m_pLayoutRight->addWidget(m_pBudgetWidget, 3, 0, 1, 3);
    m_pLayoutRight->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 4, 0, 1, 3);

    m_pLayoutCenter->setContentsMargins(2, 2, 2, 2);
    m_pLayoutCenter->setSpacing(10);
    m_pLayoutCenter->addStretch();
    m_pLayoutCenter->addWidget(m_pBtnPutToGroup);
    m_pLayoutCenter->addWidget(m_pBtnTakeFromGroup);
    m_pLayoutCenter->addStretch();

    m_pLayoutBase->setContentsMargins(2, 2, 2, 2);
    m_pLayoutBase->setSpacing(4);
    m_pLayoutBase->addStretch();
    m_pLayoutBase->addLayout(m_pLayoutWaitDivide);
    m_pLayoutBase->addLayout(m_pLayoutCenter);
    m_pLayoutBase->addLayout(m_pLayoutRight);
    m_pLayoutBase->addStretch();

    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CDivideGroupWidget::retranslate()
{
    m_pLabelWaitDivide->setText(tr("WaitDivide"));
    const QStringList headers{tr("IP"), tr("Name")};
    m_pTableWaitDivide->setHorizontalHeaderLabels(headers);
    m_pTableDivided->setHorizontalHeaderLabels(headers);
    m_pBtnPutToGroup->setText(tr(">>"));
    m_pBtnTakeFromGroup->setText(tr("<<"));
    m_pLabelGroup->setText(tr("Group"));
    m_pBtnAddGroup->setText(tr("+"));
    m_pBudgetWidget->retranslate();
}

void CDivideGroupWidget::showEvent(QShowEvent* event)
{
    // Groups that devices carry stay offered even when they were not added on this page this run.
    if (g_pRackmind)
        for (const CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
            if (pPdu->strGroup != kDefaultGroup)
                rememberGroupName(pPdu->strGroup);
    // And those given a budget, whose devices may not have answered yet.
    QStringList listBudgeted = groupBudgets().keys();
    listBudgeted.sort();
    for (const QString& strGroup : qAsConst(listBudgeted))
        rememberGroupName(strGroup);

    m_pComboGroupName->clear();
    m_pComboGroupName->addItems(groupNames());
    m_pComboGroupName->setCurrentIndex(0);
    fillTable(m_pTableWaitDivide, kDefaultGroup);
    QWidget::showEvent(event);
}

void CDivideGroupWidget::on_ComboGroupName_currentIndexChanged(int iIndex)
{
    const QString strGroup = iIndex < 0 ? QString() : m_pComboGroupName->itemText(iIndex);
    fillTable(m_pTableDivided, strGroup);
    m_pBudgetWidget->setGroup(strGroup);
}

void CDivideGroupWidget::on_BtnAddGroup_clicked()
{
    const QString strName =
        QInputDialog::getText(this, tr("Input a group name"), tr("GroupName"), QLineEdit::Normal, QString());
    if (strName.isEmpty())
        return;
    rememberGroupName(strName);
    m_pComboGroupName->addItem(strName);
    m_pComboGroupName->setCurrentIndex(m_pComboGroupName->count() - 1);
}

void CDivideGroupWidget::on_BtnPutToGroup_clicked()
{
    moveRow(m_pTableWaitDivide, m_pTableDivided, m_pComboGroupName->currentText());
}

void CDivideGroupWidget::on_BtnTakeFromGroup_clicked()
{
    moveRow(m_pTableDivided, m_pTableWaitDivide, kDefaultGroup);
}

void CDivideGroupWidget::moveRow(QTableWidget* pFrom, QTableWidget* pTo, const QString& strGroup)
{
    const int iRow = pFrom->currentRow();
    // Without a chosen group there is nothing to put the device into.
    if (iRow < 0 || !pFrom->item(iRow, 0) || strGroup.isEmpty())
        return;
    CPdu* pPdu = itemPdu(pFrom->item(iRow, 0));
    if (!pPdu)
        return;
    pPdu->strGroup = strGroup;
    if (strGroup != kDefaultGroup)
        rememberGroupName(strGroup);
    // Kept by MAC, so that the device is in its group again after a restart and in the service; the
    // factory default MAC is every new unit's and keeps nothing.
    if (pPdu->bMacKnown && pPdu->hasKnownMac())
        setSavedGroup(macDisplay(pPdu->stInfo.mac), strGroup);
    emit signalDeviceGroupChanged(pPdu);

    const int iNewRow = pTo->rowCount();
    pTo->insertRow(iNewRow);
    for (int iColumn = 0; iColumn < 2; ++iColumn) {
        QTableWidgetItem* pItem = pFrom->takeItem(iRow, iColumn);
        pTo->setItem(iNewRow, iColumn, pItem ? pItem : new QTableWidgetItem);
    }
    pFrom->removeRow(iRow);
}
