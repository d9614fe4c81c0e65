#pragma once

#include <QColor>
#include <QStyledItemDelegate>

// The capacity window's "Load" column: a bar of the load against its group's circuit. The bar's full
// length stands for the breaker rating, a tick marks the budget (the derated rating) and the text beside
// it gives the load as a share of the budget. A group's bar is green below its budget, amber from the budget
// and red from the breaker rating; a PDU's bar shows its part of its group's budget in a neutral colour. No
// budget, no bar.
class CLoadBarDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Amperes: the row's load, its group's budget and breaker rating.
    static constexpr int LoadRole = Qt::UserRole + 10;
    static constexpr int BudgetRole = Qt::UserRole + 11;
    static constexpr int BreakerRole = Qt::UserRole + 12;
    // True on a PDU row: its bar is a share, not its circuit's state.
    static constexpr int ShareRole = Qt::UserRole + 13;

    enum Level
    {
        Share,
        WithinBudget,
        OverBudget,
        AtBreaker
    };
    static Level level(double dLoad, double dBudget, double dBreaker);
    static QColor colour(Level level);

    // Where the bar runs in a cell: its left part, the share of the budget written beside it.
    static QRect trackRect(const QRect& rectCell, const QFontMetrics& metrics);

    explicit CLoadBarDelegate(QObject* parent = nullptr);
    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
