#pragma once

#include <QtCharts/QChartView>

// One quantity's chart: drag to zoom into a span, the wheel zooms in and out around the pointer, the
// arrow keys and a right-button drag pan, a double-click goes back to the whole span. Every change of
// the shown span is announced, so that the window keeps its charts and the outlet timeline together.
class CHistoryChartView : public QtCharts::QChartView
{
    Q_OBJECT
public:
    explicit CHistoryChartView(QWidget* parent = nullptr);

signals:
    void signalUserMoved();
    // A double-click: back to the whole span, following the present again.
    void signalResetRequested();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_bPanning = false;
    QPoint m_ptLast;
};
