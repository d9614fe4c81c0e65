#pragma once

#include <QString>

class CPdu;
class QTableWidgetItem;
class QTreeWidgetItem;

// How the device screens tie a row or a table cell to its device: the item carries the device itself,
// never its address text. Two PDUs may report one address (two units fresh from the factory both report
// the factory default), so an address names no device.

// Ties the item to the device; the tie notices the device's deletion.
void setItemPdu(QTreeWidgetItem* pItem, CPdu* pPdu);
void setItemPdu(QTableWidgetItem* pItem, CPdu* pPdu);
// The device the item stands for; null for a group row, an item tied to none, or a deleted device.
CPdu* itemPdu(const QTreeWidgetItem* pItem);
CPdu* itemPdu(const QTableWidgetItem* pItem);
