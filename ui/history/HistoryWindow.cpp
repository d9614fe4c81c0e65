#include "ui/history/HistoryWindow.h"

#include "common/DeviceText.h"
#include "history/HistoryCsv.h"

#include "common/Clock.h"
#include "common/Energy.h"
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
// The console and the service poll every device once a second: a summary's online polls tell how long
// its energy was gathered over.
constexpr double kPollSeconds = 1.0;
// The quantities in the CSV export, as they were before apparent power was charted.
constexpr int kCsvQuantities = 4;

// How many neighbours fold into one drawn point.
int runLength(int iPoints)
{
    return (iPoints + kMaxDrawn - 1) / kMaxDrawn;
}

// Folds runs of neighbours into one point each (minimum of the minima, maximum of the maxima), so
// that a peak survives however far the span is shrunk.
QVector<HistoryAggregate> thinned(const QVector<HistoryAggregate>& vec)
{
    if (vec.size() <= kMaxDrawn)
        return vec;
    const int iRun = runLength(vec.size());
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

CHistoryWindow::CHistoryWindow(const QString& strMac, CPdu* pPdu, CHistoryStore* pStore, QWidget* parent)
    : CBaseDialog(parent), m_strMac(strMac), m_pPdu(pPdu), m_pStore(pStore), m_pComboSpan(new QComboBox),
      m_pEditFrom(new QDateTimeEdit), m_pEditTo(new QDateTimeEdit), m_pBtnShow(new QPushButton),
      m_pBtnExport(new QPushButton), m_pLabelSpan(new QLabel), m_pLabelNotice(HistoryUi::createNotice()),
      m_pTimeline(new COutletTimeline), m_pTimerLive(new QTimer(this))
{
    HistoryUi::prepareWindow(this, "HistoryWindow", 1100, 880);
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
        if (i == ApparentPower)
            pGrid->addWidget(m_aCharts[i].pView, i / 2, 0, 1, 2);
        else
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
    if (m_pStore)
        connect(m_pStore, &CHistoryStore::signalAvailabilityChanged, this, &CHistoryWindow::updateNotice);
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
    // Three rows of charts and the outlet timeline within a 768-pixel screen, and smaller ones.
    c.pView->setMinimumSize(300, 120);
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
        strName = deviceText(m_pPdu->stInfo.name) + QStringLiteral(" (") + m_strMac + QLatin1Char(')');
    m_pTitleBar->setTitle(tr("History of %1").arg(strName));
    setWindowTitle(tr("History of %1").arg(strName));
    m_pLabelSpan->setText(tr("Span"));
    const QSignalBlocker blocker(m_pComboSpan);
    HistoryUi::fillSpans(m_pComboSpan, true);
    m_pBtnShow->setText(tr("Show"));
    m_pBtnExport->setText(tr("Export CSV"));
    const char* const kTitles[ApparentPower] = {QT_TR_NOOP("Voltage (V)"), QT_TR_NOOP("Current (A)"),
                                                QT_TR_NOOP("Temperature (°C)"), QT_TR_NOOP("Humidity (%RH)")};
    for (int i = 0; i < ApparentPower; ++i)
        m_aCharts[i].pChart->setTitle(tr(kTitles[i]));
    m_aCharts[ApparentPower].pChart->setTitle(apparentPowerTitle());
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
    HistoryUi::updateNotice(m_pLabelNotice, m_pStore);
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
    if (m_pStore) {
        CHistoryReader reader(m_pStore->path());
        m_iResolution = reader.resolutionHolding(m_strMac, m_iFrom, m_iTo);
        m_vecPoints = reader.series(m_strMac, m_iFrom, m_iTo, CHistoryReader::Resolution(m_iResolution));
    }
    const QVector<HistoryAggregate> vecDrawn = thinned(m_vecPoints);
    for (int i = 0; i < ApparentPower; ++i)
        fillChart(i, vecDrawn);
    fillApparentPower(HistoryUi::gapMsecs(vecDrawn));
    m_pTimeline->setPoints(vecDrawn);
    syncSpan(m_iFrom, m_iTo);
    updateNotice();
    m_iReloadMsecs = timer.elapsed();
}

void CHistoryWindow::fillChart(int iQuantity, const QVector<HistoryAggregate>& vecDrawn)
{
    QVector<Point> vecPoints;
    vecPoints.reserve(vecDrawn.size());
    for (const HistoryAggregate& a : vecDrawn) {
        Point p;
        p.iMsecs = a.iMsecs;
        p.bOnline = a.uiOnline > 0;
        for (int k = 0; k < 3; ++k)
            p.a[k] = valueOf(a, iQuantity, k);
        vecPoints << p;
    }
    double aLimit[2] = {qQNaN(), qQNaN()};
    if (m_pPdu) {
        const PduInfo& i = m_pPdu->stInfo;
        const double aLimits[ApparentPower][2] = {
            {double(i.voltageWarn), double(i.voltageOverload)},
            {i.currentWarn, i.currentOverload},
            {double(i.temperatureLowLimit), double(i.temperatureHighLimit)},
            {double(i.humidityWarn), qQNaN()}};
        aLimit[0] = aLimits[iQuantity][0];
        aLimit[1] = aLimits[iQuantity][1];
    }
    drawRuns(m_aCharts[iQuantity], vecPoints, HistoryUi::gapMsecs(vecDrawn), aLimit);
}

void CHistoryWindow::fillApparentPower(qint64 iGap)
{
    // Each point's apparent power first, then folded like the other charts: the product of folded
    // volts and amperes would be no reading at all. A poll is its volts times its amperes; a summary has
    // the mean of its span, its energy over the time it was online.
    const bool bPolls = m_iResolution == CHistoryReader::EveryPoll;
    m_bApproximate = false;
    QVector<Point> vecEach;
    QVector<int> vecWeight;
    vecEach.reserve(m_vecPoints.size());
    for (const HistoryAggregate& a : qAsConst(m_vecPoints)) {
        Point p;
        p.iMsecs = a.iMsecs;
        p.bOnline = a.uiOnline > 0;
        double dVa = Energy::apparentPowerCenti(a.aVoltage[1], a.aCentiAmps[1]);
        if (p.bOnline && !bPolls) {
            if (a.bEnergy)
                dVa = Energy::toVah(a.iEnergy) * 3600.0 / (a.uiOnline * kPollSeconds);
            else
                m_bApproximate = true;
        }
        std::fill(std::begin(p.a), std::end(p.a), p.bOnline ? dVa : 0.0);
        vecEach << p;
        vecWeight << a.uiOnline;
    }
    QVector<Point> vecDrawn;
    const int iRun = runLength(vecEach.size());
    for (int i = 0; i < vecEach.size(); i += iRun) {
        Point run;
        run.iMsecs = vecEach.at(i).iMsecs;
        double dSum = 0;
        qint64 iWeight = 0;
        for (int j = i; j < qMin(vecEach.size(), i + iRun); ++j) {
            const Point& p = vecEach.at(j);
            if (!p.bOnline)
                continue;
            run.a[0] = run.bOnline ? qMin(run.a[0], p.a[0]) : p.a[0];
            run.a[2] = run.bOnline ? qMax(run.a[2], p.a[2]) : p.a[2];
            run.bOnline = true;
            dSum += p.a[1] * vecWeight.at(j);
            iWeight += vecWeight.at(j);
        }
        run.a[1] = iWeight > 0 ? dSum / iWeight : 0.0;
        vecDrawn << run;
    }
    const double aNoLimit[2] = {qQNaN(), qQNaN()};
    drawRuns(m_aCharts[ApparentPower], vecDrawn, iGap, aNoLimit);
    if (m_aCharts[ApparentPower].pChart->title() != apparentPowerTitle())
        m_aCharts[ApparentPower].pChart->setTitle(apparentPowerTitle());
}

QString CHistoryWindow::apparentPowerTitle() const
{
    return m_bApproximate
               ? tr("Apparent power (VA); where energy was not kept yet, average volts times average amperes")
               : tr("Apparent power (VA)");
}

void CHistoryWindow::drawRuns(Chart& c, const QVector<Point>& vecPoints, qint64 iGap, const double aLimit[2])
{
    // Runs of online points; a gap (offline, or longer than the points' spacing) ends a run.
    QVector<QVector<QPointF>> aRuns[3];
    double dLow = 0, dHigh = 1;
    bool bAny = false;
    qint64 iLast = 0;
    bool bBroken = true;
    for (const Point& p : vecPoints) {
        if (!p.bOnline) {
            bBroken = true;
            continue;
        }
        if (bBroken || p.iMsecs - iLast > iGap)
            for (QVector<QVector<QPointF>>& runs : aRuns)
                runs.append(QVector<QPointF>());
        bBroken = false;
        iLast = p.iMsecs;
        for (int k = 0; k < 3; ++k)
            aRuns[k].last().append(QPointF(p.iMsecs, p.a[k]));
        dLow = bAny ? qMin(dLow, p.a[0]) : p.a[0];
        dHigh = bAny ? qMax(dHigh, p.a[2]) : p.a[2];
        bAny = true;
    }
    for (int k = 0; k < 3; ++k) {
        for (int iRun = 0; iRun < aRuns[k].size(); ++iRun)
            runSeries(c, k, iRun)->replace(aRuns[k].at(iRun));
        for (int iRun = aRuns[k].size(); iRun < c.aSeries[k].size(); ++iRun)
            c.aSeries[k].at(iRun)->clear();
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
    const QString strName = m_pPdu ? deviceText(m_pPdu->stInfo.name) : QString();
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
        QStringList row{HistoryCsv::time(a.iMsecs), strName, m_strMac};
        for (int q = 0; q < kCsvQuantities; ++q)
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
