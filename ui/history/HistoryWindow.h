#pragma once

#include "history/HistoryCodec.h"
#include "history/HistoryStore.h"
#include "ui/frame/BaseDialog.h"

#include <QPointer>

class CHistoryChartView;
class COutletTimeline;
class CPdu;
class QComboBox;
class QDateTimeEdit;
class QLabel;
class QPushButton;
class QTimer;

namespace QtCharts {
class QChart;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
} // namespace QtCharts

// One PDU's history: voltage, current, temperature and humidity with their limits, apparent power, and
// the outlets as a timeline, over a chosen span. While the span ends at the present and the operator has not
// zoomed or panned, the charts follow the live data.
class CHistoryWindow : public CBaseDialog
{
    Q_OBJECT
public:
    // strMac names the device; pPdu (may be null) gives its name and its present limits.
    // pStore: where the readings are read from; none shows that history is unavailable.
    CHistoryWindow(const QString& strMac, CPdu* pPdu, CHistoryStore* pStore, QWidget* parent = nullptr);

    void retranslate() override;
    // Shows the span ending now (or the custom one) and reloads from the store.
    void reload();
    // The points shown, as CSV; false with the reason on failure.
    bool exportCsv(const QString& strPath, QString* pError) const;
    const QVector<HistoryAggregate>& points() const { return m_vecPoints; }
    // How long the last reload took to read and draw.
    qint64 lastReloadMsecs() const { return m_iReloadMsecs; }

public slots:
    void on_ComboSpan_currentIndexChanged(int iIndex);
    void on_BtnExport_clicked();

protected:
    void changeEvent(QEvent* event) override;

private:
    enum Quantity
    {
        Voltage,
        Current,
        Temperature,
        Humidity,
        ApparentPower,
        QuantityCount
    };
    // A drawn point of one chart: online or not, and its minimum, average and maximum.
    struct Point
    {
        qint64 iMsecs = 0;
        bool bOnline = false;
        double a[3] = {0, 0, 0};
    };
    struct Chart
    {
        CHistoryChartView* pView = nullptr;
        QtCharts::QChart* pChart = nullptr;
        QtCharts::QDateTimeAxis* pAxisX = nullptr;
        QtCharts::QValueAxis* pAxisY = nullptr;
        // min, avg, max: one line per run of data, broken where the device was offline or nothing
        // was recorded; the first of each is made with the chart, more as gaps need them.
        QVector<QtCharts::QLineSeries*> aSeries[3];
        QtCharts::QLineSeries* aLimits[2] = {}; // warning, overload (or lower, upper)
    };
    void buildChart(Chart& chart);
    void fillChart(int iQuantity, const QVector<HistoryAggregate>& vecDrawn);
    void fillApparentPower(qint64 iGap);
    QString apparentPowerTitle() const;
    void drawRuns(Chart& chart, const QVector<Point>& vecPoints, qint64 iGap, const double aLimit[2]);
    QtCharts::QLineSeries* runSeries(Chart& chart, int k, int iRun);
    void syncSpan(qint64 iFrom, qint64 iTo);
    void onUserMoved(int iQuantity);
    void updateNotice();

    QString m_strMac;
    QPointer<CPdu> m_pPdu;
    QPointer<CHistoryStore> m_pStore;
    QComboBox* m_pComboSpan;
    QDateTimeEdit* m_pEditFrom;
    QDateTimeEdit* m_pEditTo;
    QPushButton* m_pBtnShow;
    QPushButton* m_pBtnExport;
    QLabel* m_pLabelSpan;
    QLabel* m_pLabelNotice;
    Chart m_aCharts[QuantityCount];
    COutletTimeline* m_pTimeline;
    QTimer* m_pTimerLive;
    QVector<HistoryAggregate> m_vecPoints;
    // What m_vecPoints were read at: polls give exact apparent power, summaries its mean.
    int m_iResolution = 0;
    // Some apparent power shown comes from average volts times average amperes (rows from before energy
    // was kept), not from energy.
    bool m_bApproximate = false;
    qint64 m_iFrom = 0;
    qint64 m_iTo = 0;
    bool m_bUserMoved = false;
    qint64 m_iReloadMsecs = 0;
};
