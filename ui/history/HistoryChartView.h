#pragma once

#include <QtCharts/QChartView>

// One quantity's chart: drag to zoom into a span, the wheel zooms in and out around the pointer, the
// arrow keys and a right-button drag pan. Every change of the shown span is announced, so that the
// window can keep its charts and the outlet timeline side by side.
class CHistoryChartView : public QtCharts::QChartView
{
    Q_OBJECT
public:
    explicit CHistoryChartView(QWidget* parent = nullptr);

signals:
    void signalUserMoved();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool m_bPanning = false;
    QPoint m_ptLast;
};
