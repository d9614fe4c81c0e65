#include "ui/power/PowerItem.h"

#include <QHeaderView>
#include <QTreeWidget>

#include <cmath>

void CPowerItem::setFigure(int iColumn, double dValue, const QString& strText)
{
    const QString strShown = std::isnan(dValue) ? QString() : strText;
    const double dOld = figure(iColumn);
    const bool bSameValue = (std::isnan(dOld) && std::isnan(dValue)) || dOld == dValue;
    if (bSameValue && text(iColumn) == strShown && data(iColumn, SortRole).isValid())
        return;
    setData(iColumn, SortRole, dValue);
    setText(iColumn, strShown);
}

double CPowerItem::figure(int iColumn) const
{
    const QVariant value = data(iColumn, SortRole);
    return value.isValid() ? value.toDouble() : qQNaN();
}

bool CPowerItem::operator<(const QTreeWidgetItem& other) const
{
    const int iColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
    if (!data(iColumn, SortRole).isValid() || !other.data(iColumn, SortRole).isValid()) {
        // Text only (names, or a figure a row does not have): equal texts go by name.
        const int iOrder = QString::localeAwareCompare(text(iColumn), other.text(iColumn));
        return iOrder != 0 ? iOrder < 0 : QString::localeAwareCompare(text(0), other.text(0)) < 0;
    }
    const double dMine = data(iColumn, SortRole).toDouble();
    const double dOther = other.data(iColumn, SortRole).toDouble();
    if (std::isnan(dMine) || std::isnan(dOther)) {
        // Blank last: in a descending sort the view asks the other way round.
        const bool bDescending =
            treeWidget() && treeWidget()->header()->sortIndicatorOrder() == Qt::DescendingOrder;
        if (std::isnan(dMine) == std::isnan(dOther))
            return QString::localeAwareCompare(text(0), other.text(0)) < 0;
        return std::isnan(dMine) == bDescending;
    }
    if (dMine != dOther)
        return dMine < dOther;
    return QString::localeAwareCompare(text(0), other.text(0)) < 0;
}
