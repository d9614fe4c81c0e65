#include "ui/device/PduLookup.h"

#include "device/Pdu.h"

#include <QPointer>
#include <QTableWidgetItem>
#include <QTreeWidgetItem>

namespace {
// Kept on column 0 of a tree row, on the item itself in a table.
constexpr int kPduRole = Qt::UserRole + 0x50;

QVariant pduValue(CPdu* pPdu)
{
    return QVariant::fromValue(QPointer<CPdu>(pPdu));
}

CPdu* pduOf(const QVariant& value)
{
    return value.value<QPointer<CPdu>>().data();
}
} // namespace

void setItemPdu(QTreeWidgetItem* pItem, CPdu* pPdu)
{
    if (pItem)
        pItem->setData(0, kPduRole, pduValue(pPdu));
}

void setItemPdu(QTableWidgetItem* pItem, CPdu* pPdu)
{
    if (pItem)
        pItem->setData(kPduRole, pduValue(pPdu));
}

CPdu* itemPdu(const QTreeWidgetItem* pItem)
{
    return pItem ? pduOf(pItem->data(0, kPduRole)) : nullptr;
}

CPdu* itemPdu(const QTableWidgetItem* pItem)
{
    return pItem ? pduOf(pItem->data(kPduRole)) : nullptr;
}
