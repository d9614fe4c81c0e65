#include "ui/history/HistoryChartView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

using namespace QtCharts;

CHistoryChartView::CHistoryChartView(QWidget* parent) : QChartView(parent)
{
    setRubberBand(QChartView::HorizontalRubberBand);
    setRenderHint(QPainter::Antialiasing, false);
    setFocusPolicy(Qt::StrongFocus);
}

void CHistoryChartView::wheelEvent(QWheelEvent* event)
{
    const qreal dFactor = event->angleDelta().y() > 0 ? 1.25 : 0.8;
    const QRectF rectPlot = chart()->plotArea();
    // Zoom around the pointer: the rectangle shrinks or grows keeping the pointer's x where it is.
    const qreal dX = event->position().x();
    const qreal dWidth = rectPlot.width() / dFactor;
    const qreal dLeft = dX - (dX - rectPlot.left()) / dFactor;
    chart()->zoomIn(QRectF(dLeft, rectPlot.top(), dWidth, rectPlot.height()));
    event->accept();
    emit signalUserMoved();
}

void CHistoryChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        m_bPanning = true;
        m_ptLast = event->pos();
        event->accept();
        return;
    }
    QChartView::mousePressEvent(event);
}

void CHistoryChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bPanning) {
        chart()->scroll(m_ptLast.x() - event->pos().x(), 0);
        m_ptLast = event->pos();
        emit signalUserMoved();
        return;
    }
    QChartView::mouseMoveEvent(event);
}

void CHistoryChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bPanning && event->button() == Qt::RightButton) {
        m_bPanning = false;
        return;
    }
    QChartView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        emit signalUserMoved();
}

void CHistoryChartView::keyPressEvent(QKeyEvent* event)
{
    const qreal dStep = chart()->plotArea().width() / 10;
    if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
        chart()->scroll(event->key() == Qt::Key_Left ? -dStep : dStep, 0);
        emit signalUserMoved();
        return;
    }
    QChartView::keyPressEvent(event);
}

void CHistoryChartView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
    emit signalResetRequested();
}
