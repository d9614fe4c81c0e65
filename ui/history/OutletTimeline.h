#pragma once

#include "history/HistoryCodec.h"

#include <QVector>
#include <QWidget>

// The eight outlets as rows of bars over time: filled while on, empty while off, grey while the
// device was offline, hatched and marked "unknown" where nothing was recorded.
class COutletTimeline : public QWidget
{
    Q_OBJECT
public:
    explicit COutletTimeline(QWidget* parent = nullptr);
    void setPoints(const QVector<HistoryAggregate>& vecPoints);
    void setSpan(qint64 iFrom, qint64 iTo);
    // Left and right inset in pixels, so that the bars line up with the charts' plot areas.
    void setInsets(int iLeft, int iRight);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVector<HistoryAggregate> m_vecPoints;
    qint64 m_iGap = 3000; // points further apart have no data between them
    qint64 m_iFrom = 0;
    qint64 m_iTo = 1;
    int m_iLeft = 40;
    int m_iRight = 10;
};
