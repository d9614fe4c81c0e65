#pragma once

#include <QTreeWidgetItem>

// A row of the capacity window. A figure sorts by its number, not its text, and a blank one comes
// last whichever way the column is sorted; names sort as the user's language orders them.
class CPowerItem : public QTreeWidgetItem
{
public:
    // The number behind a cell; NaN where it is blank.
    static constexpr int SortRole = Qt::UserRole + 1;
    // The device's MAC on a PDU row, empty on a group row.
    static constexpr int MacRole = Qt::UserRole + 2;

    using QTreeWidgetItem::QTreeWidgetItem;

    // Shows strText and sorts by dValue; a NaN value shows nothing. Touches the row only on a change,
    // so that a refresh each second repaints and re-sorts only what moved.
    void setFigure(int iColumn, double dValue, const QString& strText);
    double figure(int iColumn) const;
    bool isPdu() const { return !data(0, MacRole).toString().isEmpty(); }

    bool operator<(const QTreeWidgetItem& other) const override;
};
