#include "ui/power/LoadBarDelegate.h"

#include <QApplication>
#include <QPainter>

CLoadBarDelegate::CLoadBarDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

CLoadBarDelegate::Level CLoadBarDelegate::level(double dLoad, double dBudget, double dBreaker)
{
    if (dLoad >= dBreaker)
        return AtBreaker;
    return dLoad >= dBudget ? OverBudget : WithinBudget;
}

QColor CLoadBarDelegate::colour(Level level)
{
    switch (level) {
    case Share:
        return QColor(50, 169, 253);
    case WithinBudget:
        return QColor(67, 160, 71);
    case OverBudget:
        return QColor(245, 160, 0);
    default:
        return QColor(220, 40, 40);
    }
}

QRect CLoadBarDelegate::trackRect(const QRect& rectCell, const QFontMetrics& metrics)
{
    const int iText = metrics.horizontalAdvance(QStringLiteral("1000 %")) + 6;
    return rectCell.adjusted(3, 4, -iText, -4);
}

void CLoadBarDelegate::paint(QPainter* pPainter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    opt.text.clear();
    const QWidget* pWidget = option.widget;
    QStyle* pStyle = pWidget ? pWidget->style() : QApplication::style();
    pStyle->drawControl(QStyle::CE_ItemViewItem, &opt, pPainter, pWidget);

    const double dLoad = index.data(LoadRole).toDouble();
    const double dBudget = index.data(BudgetRole).toDouble();
    const double dBreaker = index.data(BreakerRole).toDouble();
    if (!index.data(LoadRole).isValid() || dBudget <= 0 || dBreaker <= 0)
        return;
    const Level lvl = index.data(ShareRole).toBool() ? Share : level(dLoad, dBudget, dBreaker);
    const QRect rectTrack = trackRect(option.rect, option.fontMetrics);
    if (rectTrack.width() < 4 || rectTrack.height() < 3)
        return;
    pPainter->save();
    pPainter->fillRect(rectTrack, QColor(225, 232, 238));
    const double dFraction = qBound(0.0, dLoad / dBreaker, 1.0);
    QRect rectBar = rectTrack;
    rectBar.setWidth(int(rectTrack.width() * dFraction + 0.5));
    pPainter->fillRect(rectBar, colour(lvl));
    const int iTick = rectTrack.left() + int(rectTrack.width() * qBound(0.0, dBudget / dBreaker, 1.0) + 0.5);
    pPainter->setPen(QPen(QColor(60, 60, 60), 1));
    pPainter->drawLine(iTick, option.rect.top() + 1, iTick, option.rect.bottom() - 1);
    pPainter->setPen(option.palette.color(QPalette::Text));
    const QRect rectText(rectTrack.right() + 1, option.rect.top(), option.rect.right() - rectTrack.right(),
                         option.rect.height());
    pPainter->drawText(rectText.adjusted(0, 0, -3, 0), Qt::AlignRight | Qt::AlignVCenter,
                       QString::number(qRound(100.0 * dLoad / dBudget)) + QLatin1String(" %"));
    pPainter->restore();
}
