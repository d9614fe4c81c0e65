#include "ui/history/OutletTimeline.h"

#include "ui/history/HistoryUi.h"

#include <QPainter>

COutletTimeline::COutletTimeline(QWidget* parent) : QWidget(parent)
{
    setMinimumHeight(8 * 12 + 8);
}

void COutletTimeline::setPoints(const QVector<HistoryAggregate>& vecPoints)
{
    m_vecPoints = vecPoints;
    m_iGap = HistoryUi::gapMsecs(vecPoints);
    update();
}

void COutletTimeline::setSpan(qint64 iFrom, qint64 iTo)
{
    m_iFrom = iFrom;
    m_iTo = qMax(iFrom + 1, iTo);
    update();
}

void COutletTimeline::setInsets(int iLeft, int iRight)
{
    m_iLeft = iLeft;
    m_iRight = iRight;
    update();
}

void COutletTimeline::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int iWidth = qMax(1, width() - m_iLeft - m_iRight);
    const qreal dRow = (height() - 4) / 8.0;
    painter.setPen(palette().color(QPalette::WindowText));
    for (int k = 0; k < 8; ++k)
        painter.drawText(QRectF(0, 2 + k * dRow, m_iLeft - 4, dRow), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(k + 1));
    auto xOf = [&](qint64 t) {
        return qBound<qreal>(m_iLeft, m_iLeft + qreal(t - m_iFrom) * iWidth / qreal(m_iTo - m_iFrom),
                             m_iLeft + iWidth);
    };
    // A point holds until the next one, but not across a gap: what happened there is not known.
    QVector<QPair<qint64, qint64>> vecUnknown;
    qint64 iKnownUntil = m_iFrom;
    for (int i = 0; i < m_vecPoints.size(); ++i) {
        const HistoryAggregate& a = m_vecPoints.at(i);
        const qint64 iNext = i + 1 < m_vecPoints.size() ? m_vecPoints.at(i + 1).iMsecs : m_iTo;
        const qint64 iEnd = qMin(iNext, a.iMsecs + m_iGap);
        if (a.iMsecs > iKnownUntil)
            vecUnknown.append({iKnownUntil, a.iMsecs});
        iKnownUntil = qMax(iKnownUntil, iEnd);
        if (iEnd <= m_iFrom || a.iMsecs >= m_iTo)
            continue;
        const qreal dX0 = xOf(a.iMsecs);
        const qreal dX1 = xOf(iEnd);
        for (int k = 0; k < 8; ++k) {
            const QRectF rect(dX0, 3 + k * dRow, qMax<qreal>(1.0, dX1 - dX0), dRow - 2);
            if (a.uiOnline == 0)
                painter.fillRect(rect, QColor(200, 200, 200));
            else if ((a.uiOutlets >> k) & 1)
                painter.fillRect(rect, QColor(50, 169, 253));
        }
    }
    // The present is known up to the latest point; older stretches without points are not.
    if (iKnownUntil < m_iTo && (m_vecPoints.isEmpty() || m_iTo - iKnownUntil > m_iGap))
        vecUnknown.append({iKnownUntil, m_iTo});
    const QString strUnknown = tr("unknown");
    for (const auto& span : qAsConst(vecUnknown)) {
        const QRectF rect(xOf(span.first), 3, xOf(span.second) - xOf(span.first), height() - 6);
        if (rect.width() < 1)
            continue;
        painter.fillRect(rect, QBrush(QColor(185, 185, 185), Qt::BDiagPattern));
        if (rect.width() > painter.fontMetrics().horizontalAdvance(strUnknown) + 8) {
            painter.setPen(QColor(110, 110, 110));
            painter.drawText(rect, Qt::AlignCenter, strUnknown);
        }
    }
    painter.setPen(QColor(160, 160, 160));
    painter.drawRect(QRectF(m_iLeft, 2, iWidth, height() - 4));
}
