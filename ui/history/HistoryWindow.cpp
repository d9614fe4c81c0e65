#include "ui/history/HistoryWindow.h"

#include "device/Clock.h"
#include "device/Pdu.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/TitleBar.h"
#include "ui/history/HistoryChartView.h"
#include "ui/history/HistoryUi.h"
#include "ui/history/OutletTimeline.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>

using namespace QtCharts;

namespace {
constexpr int kLiveMsec = 2000;
// A chart draws no more points than it has pixels across; more only cost time.
constexpr int kMaxDrawn = 1200;

// Folds runs of neighbours into one point each (minimum of the minima, maximum of the maxima), so
// that a peak survives however far the span is shrunk.
QVector<HistoryAggregate> thinned(const QVector<HistoryAggregate>& vec)
{
    if (vec.size() <= kMaxDrawn)
        return vec;
    const int iRun = (vec.size() + kMaxDrawn - 1) / kMaxDrawn;
    QVector<HistoryAggregate> vecOut;
    vecOut.reserve(kMaxDrawn);
    for (int i = 0; i < vec.size(); i += iRun) {
        HistoryAggregate agg;
        agg.iMsecs = vec.at(i).iMsecs;
        for (int j = i; j < qMin(vec.size(), i + iRun); ++j)
            agg.add(vec.at(j));
        vecOut << agg;
    }
    return vecOut;
}

double valueOf(const HistoryAggregate& a, int iQuantity, int k)
{
    switch (iQuantity) {
    case 0:
        return a.aVoltage[k];
    case 1:
        return a.aCentiAmps[k] / 100.0;
    case 2:
        return a.aTemperature[k];
    default:
        return a.aHumidity[k];
    }
}
} // namespace

CHistoryWindow::CHistoryWindow(const QString& strMac, CPdu* pPdu, QWidget* parent)
    : CBaseDialog(parent), m_strMac(strMac), m_pPdu(pPdu), m_pComboSpan(new QComboBox),
      m_pEditFrom(new QDateTimeEdit), m_pEditTo(new QDateTimeEdit), m_pBtnShow(new QPushButton),
      m_pBtnExport(new QPushButton), m_pLabelSpan(new QLabel), m_pLabelNotice(HistoryUi::createNotice()),
      m_pTimeline(new COutletTimeline), m_pTimerLive(new QTimer(this))
{
    HistoryUi::prepareWindow(this, "HistoryWindow", 1100, 760);
    m_pComboSpan->setObjectName(QStringLiteral("ComboSpan"));
    m_pBtnExport->setObjectName(QStringLiteral("BtnExport"));
    m_pBtnShow->setObjectName(QStringLiteral("BtnShow"));
    for (QDateTimeEdit* pEdit : {m_pEditFrom, m_pEditTo}) {
        pEdit->setCalendarPopup(true);
        pEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    }

    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pLabelSpan);
    pRow->addWidget(m_pComboSpan);
    pRow->addWidget(m_pEditFrom);
    pRow->addWidget(m_pEditTo);
    pRow->addWidget(m_pBtnShow);
    pRow->addStretch();
    pRow->addWidget(m_pBtnExport);
    auto* pGrid = new QGridLayout;
    for (int i = 0; i < QuantityCount; ++i) {
        buildChart(m_aCharts[i]);
        pGrid->addWidget(m_aCharts[i].pView, i / 2, i % 2);
        connect(m_aCharts[i].pView, &CHistoryChartView::signalUserMoved, this, [this, i] { onUserMoved(i); });
        connect(m_aCharts[i].pView, &CHistoryChartView::signalResetRequested, this, [this] {
            m_bUserMoved = false;
            reload();
        });
    }
    auto* pBody = new QVBoxLayout;
    pBody->setContentsMargins(8, 4, 8, 8);
    pBody->addLayout(pRow);
    pBody->addWidget(m_pLabelNotice);
    pBody->addLayout(pGrid, 1);
    pBody->addWidget(m_pTimeline);
    m_pBaseLayout->addLayout(pBody);

    connect(m_pBtnShow, &QPushButton::clicked, this, &CHistoryWindow::reload);
    connect(m_pTimerLive, &QTimer::timeout, this, [this] {
        if (m_pComboSpan->currentIndex() != HistoryUi::SpanCustom && !m_bUserMoved && isVisible())
            reload();
    });
    m_pTimerLive->start(kLiveMsec);
    if (g_pHistoryStore)
        connect(g_pHistoryStore, &CHistoryStore::signalAvailabilityChanged, this,
                &CHistoryWindow::updateNotice);
    const QDateTime dtNow = Clock::now();
    m_pEditFrom->setDateTime(dtNow.addDays(-1));
    m_pEditTo->setDateTime(dtNow);
    retranslate();
    QMetaObject::connectSlotsByName(this);
    reload();
}

void CHistoryWindow::buildChart(Chart& c)
{
    c.pChart = new QChart;
    c.pChart->legend()->hide();
    c.pChart->setMargins(QMargins(4, 4, 4, 4));
    c.pChart->setBackgroundRoundness(0);
    c.pAxisX = new QDateTimeAxis;
    c.pAxisY = new QValueAxis;
    c.pAxisX->setTickCount(5);
    c.pChart->addAxis(c.pAxisX, Qt::AlignBottom);
    c.pChart->addAxis(c.pAxisY, Qt::AlignLeft);
    const QColor aLimitColours[2] = {QColor(245, 160, 0), QColor(220, 40, 40)};
    for (int k = 0; k < 2; ++k) {
        c.aLimits[k] = new QLineSeries;
        c.aLimits[k]->setPen(QPen(aLimitColours[k], 1.2, Qt::DashLine));
    }
    for (int k : {0, 2, 1})
        runSeries(c, k, 0);
    for (QLineSeries* pSeries : {c.aLimits[0], c.aLimits[1]}) {
        c.pChart->addSeries(pSeries);
        pSeries->attachAxis(c.pAxisX);
        pSeries->attachAxis(c.pAxisY);
    }
    c.pView = new CHistoryChartView;
    c.pView->setChart(c.pChart);
    c.pView->setMinimumSize(300, 180);
}

QLineSeries* CHistoryWindow::runSeries(Chart& c, int k, int iRun)
{
    while (c.aSeries[k].size() <= iRun) {
        const QColor aColours[3] = {QColor(50, 169, 253, 110), QColor(20, 100, 200),
                                    QColor(50, 169, 253, 110)};
        auto* pSeries = new QLineSeries;
        pSeries->setPen(QPen(aColours[k], k == 1 ? 1.6 : 1.0));
        pSeries->setUseOpenGL(false);
        c.pChart->addSeries(pSeries);
        pSeries->attachAxis(c.pAxisX);
        pSeries->attachAxis(c.pAxisY);
        c.aSeries[k] << pSeries;
    }
    return c.aSeries[k].at(iRun);
}

void CHistoryWindow::retranslate()
{
    CBaseDialog::retranslate();
    QString strName = m_strMac;
    if (m_pPdu)
        strName = fieldText(m_pPdu->stInfo.name) + QStringLiteral(" (") + m_strMac + QLatin1Char(')');
    m_pTitleBar->setTitle(tr("History of %1").arg(strName));
    setWindowTitle(tr("History of %1").arg(strName));
    m_pLabelSpan->setText(tr("Span"));
    const QSignalBlocker blocker(m_pComboSpan);
    HistoryUi::fillSpans(m_pComboSpan, true);
    m_pBtnShow->setText(tr("Show"));
    m_pBtnExport->setText(tr("Export CSV"));
    const char* const kTitles[QuantityCount] = {QT_TR_NOOP("Voltage (V)"), QT_TR_NOOP("Current (A)"),
                                                QT_TR_NOOP("Temperature (°C)"), QT_TR_NOOP("Humidity (%RH)")};
    for (int i = 0; i < QuantityCount; ++i)
        m_aCharts[i].pChart->setTitle(tr(kTitles[i]));
    const bool bCustom = m_pComboSpan->currentIndex() == HistoryUi::SpanCustom;
    m_pEditFrom->setVisible(bCustom);
    m_pEditTo->setVisible(bCustom);
    m_pBtnShow->setVisible(bCustom);
    updateNotice();
}

void CHistoryWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    CBaseDialog::changeEvent(event);
}

void CHistoryWindow::on_ComboSpan_currentIndexChanged(int iIndex)
{
    const bool bCustom = iIndex == HistoryUi::SpanCustom;
    m_pEditFrom->setVisible(bCustom);
    m_pEditTo->setVisible(bCustom);
    m_pBtnShow->setVisible(bCustom);
    m_bUserMoved = false;
    reload();
}

void CHistoryWindow::updateNotice()
{
    HistoryUi::updateNotice(m_pLabelNotice);
}

void CHistoryWindow::reload()
{
    QElapsedTimer timer;
    timer.start();
    const int iSpan = m_pComboSpan->currentIndex();
    if (iSpan == HistoryUi::SpanCustom) {
        m_iFrom = m_pEditFrom->dateTime().toMSecsSinceEpoch();
        m_iTo = qMax(m_iFrom + 60000, m_pEditTo->dateTime().toMSecsSinceEpoch());
    } else {
        m_iTo = Clock::now().toMSecsSinceEpoch();
        m_iFrom = m_iTo - HistoryUi::spanMsecs(iSpan);
    }
    m_vecPoints.clear();
    if (g_pHistoryStore) {
        CHistoryReader reader(g_pHistoryStore->path());
        m_vecPoints = reader.series(m_strMac, m_iFrom, m_iTo, CHistoryReader::resolutionFor(m_iTo - m_iFrom));
    }
    const QVector<HistoryAggregate> vecDrawn = thinned(m_vecPoints);
    for (int i = 0; i < QuantityCount; ++i)
        fillChart(i, vecDrawn);
    m_pTimeline->setPoints(vecDrawn);
    syncSpan(m_iFrom, m_iTo);
    updateNotice();
    m_iReloadMsecs = timer.elapsed();
}

void CHistoryWindow::fillChart(int iQuantity, const QVector<HistoryAggregate>& vecDrawn)
{
    Chart& c = m_aCharts[iQuantity];
    // Runs of online points; a gap (offline, or longer than the points' spacing) ends a run.
    QVector<QVector<QPointF>> aRuns[3];
    double dLow = 0, dHigh = 1;
    bool bAny = false;
    const qint64 iGap = HistoryUi::gapMsecs(vecDrawn);
    qint64 iLast = 0;
    bool bBroken = true;
    for (const HistoryAggregate& a : vecDrawn) {
        if (a.uiOnline == 0) {
            bBroken = true;
            continue;
        }
        if (bBroken || a.iMsecs - iLast > iGap)
            for (QVector<QVector<QPointF>>& runs : aRuns)
                runs.append(QVector<QPointF>());
        bBroken = false;
        iLast = a.iMsecs;
        for (int k = 0; k < 3; ++k)
            aRuns[k].last().append(QPointF(a.iMsecs, valueOf(a, iQuantity, k)));
        dLow = bAny ? qMin(dLow, valueOf(a, iQuantity, 0)) : valueOf(a, iQuantity, 0);
        dHigh = bAny ? qMax(dHigh, valueOf(a, iQuantity, 2)) : valueOf(a, iQuantity, 2);
        bAny = true;
    }
    for (int k = 0; k < 3; ++k) {
        for (int iRun = 0; iRun < aRuns[k].size(); ++iRun)
            runSeries(c, k, iRun)->replace(aRuns[k].at(iRun));
        for (int iRun = aRuns[k].size(); iRun < c.aSeries[k].size(); ++iRun)
            c.aSeries[k].at(iRun)->clear();
    }
    double aLimit[2] = {qQNaN(), qQNaN()};
    if (m_pPdu) {
        const PduInfo& i = m_pPdu->stInfo;
        const double aLimits[QuantityCount][2] = {
            {double(i.voltageWarn), double(i.voltageOverload)},
            {i.currentWarn, i.currentOverload},
            {double(i.temperatureLowLimit), double(i.temperatureHighLimit)},
            {double(i.humidityWarn), qQNaN()}};
        aLimit[0] = aLimits[iQuantity][0];
        aLimit[1] = aLimits[iQuantity][1];
    }
    for (int k = 0; k < 2; ++k) {
        if (qIsNaN(aLimit[k])) {
            c.aLimits[k]->clear();
            continue;
        }
        c.aLimits[k]->replace(QVector<QPointF>{QPointF(m_iFrom, aLimit[k]), QPointF(m_iTo, aLimit[k])});
        dLow = bAny ? qMin(dLow, aLimit[k]) : aLimit[k];
        dHigh = bAny ? qMax(dHigh, aLimit[k]) : aLimit[k];
        bAny = true;
    }
    const double dPad = qMax(1.0, (dHigh - dLow) * 0.08);
    c.pAxisY->setRange(dLow - dPad, dHigh + dPad);
    c.pAxisY->applyNiceNumbers();
}

void CHistoryWindow::syncSpan(qint64 iFrom, qint64 iTo)
{
    const bool bLong = iTo - iFrom > 2 * 24 * 3600 * 1000LL;
    for (Chart& c : m_aCharts) {
        const QSignalBlocker blocker(c.pAxisX);
        c.pAxisX->setFormat(bLong ? QStringLiteral("MM-dd") : QStringLiteral("HH:mm"));
        c.pAxisX->setRange(QDateTime::fromMSecsSinceEpoch(iFrom), QDateTime::fromMSecsSinceEpoch(iTo));
    }
    m_pTimeline->setSpan(iFrom, iTo);
    // The timeline runs under both columns, from the left chart's plot area to the right one's end.
    const QRectF rectLeft = m_aCharts[0].pChart->plotArea();
    const QRectF rectRight = m_aCharts[1].pChart->plotArea();
    if (rectLeft.width() > 0 && rectRight.width() > 0)
        m_pTimeline->setInsets(int(rectLeft.left()), m_aCharts[1].pView->width() - int(rectRight.right()));
}

void CHistoryWindow::onUserMoved(int iQuantity)
{
    m_bUserMoved = true;
    const QDateTimeAxis* pAxis = m_aCharts[iQuantity].pAxisX;
    syncSpan(pAxis->min().toMSecsSinceEpoch(), pAxis->max().toMSecsSinceEpoch());
}

bool CHistoryWindow::exportCsv(const QString& strPath, QString* pError) const
{
    const QString strName = m_pPdu ? fieldText(m_pPdu->stInfo.name) : QString();
    QList<QStringList> listRows{{tr("Time"), tr("PDU"), tr("MAC"), tr("Voltage min"), tr("Voltage avg"),
                                 tr("Voltage max"), tr("Current min"), tr("Current avg"), tr("Current max"),
                                 tr("Temperature min"), tr("Temperature avg"), tr("Temperature max"),
                                 tr("Humidity min"), tr("Humidity avg"), tr("Humidity max"), tr("Outlets"),
                                 tr("Online polls"), tr("Polls")}};
    // What is shown: the span as zoomed or panned, at the resolution read.
    const qint64 iFrom = m_aCharts[0].pAxisX->min().toMSecsSinceEpoch();
    const qint64 iTo = m_aCharts[0].pAxisX->max().toMSecsSinceEpoch();
    for (const HistoryAggregate& a : m_vecPoints) {
        if (a.iMsecs < iFrom || a.iMsecs > iTo)
            continue;
        QStringList row{QDateTime::fromMSecsSinceEpoch(a.iMsecs).toString(Qt::ISODate), strName, m_strMac};
        for (int q = 0; q < QuantityCount; ++q)
            for (int k = 0; k < 3; ++k)
                row << (a.uiOnline ? QString::number(valueOf(a, q, k)) : QString());
        row << QString::number(a.uiOutlets, 2).rightJustified(8, QLatin1Char('0'))
            << QString::number(a.uiOnline) << QString::number(a.uiSamples);
        listRows << row;
    }
    return HistoryUi::writeCsv(strPath, listRows, pError);
}

void CHistoryWindow::on_BtnExport_clicked()
{
    HistoryUi::exportWithDialog(
        this, [this](const QString& strPath, QString* pError) { return exportCsv(strPath, pError); });
}
