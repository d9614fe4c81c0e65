#include "ui/power/PowerWindow.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "ui/power/ReportExportDialog.h"

#include "common/Clock.h"
#include "common/Energy.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "settings/GroupSettings.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/TitleBar.h"
#include "ui/history/HistoryUi.h"
#include "ui/history/HistoryWindow.h"
#include "ui/power/LoadBarDelegate.h"
#include "ui/power/PowerItem.h"

#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kRefreshMsec = 1000;
// Peaks and energy move slowly; the figures are read again now and then while the window is open.
constexpr int kFiguresMsec = 5 * 60 * 1000;

QString amps(double dAmps)
{
    return currentOnScreen(dAmps);
}

// Figures line up on their last digit.
void alignFigures(QTreeWidgetItem* pItem)
{
    for (int i = CPowerWindow::ColumnAmps; i < CPowerWindow::ColumnCount; ++i)
        pItem->setTextAlignment(i, Qt::AlignRight | Qt::AlignVCenter);
}

const CapacityFigures::Figures* figuresOf(const QHash<QString, CapacityFigures::Figures>& hash,
                                          const QString& strKey)
{
    const auto it = hash.constFind(strKey);
    return it == hash.cend() ? nullptr : &*it;
}
} // namespace

CPowerWindow::CPowerWindow(CHistoryStore* pStore, QWidget* parent)
    : CBaseDialog(parent), m_pStore(pStore), m_pTree(new QTreeWidget), m_pLabelStatus(new QLabel),
      m_pLabelNotice(HistoryUi::createNotice()), m_pBtnExport(new QPushButton),
      m_pTimerRefresh(new QTimer(this)), m_pTimerFigures(new QTimer(this))
{
    HistoryUi::prepareWindow(this, "PowerWindow", 1500, 720);
    m_pTree->setObjectName(QStringLiteral("TreePower"));
    m_pLabelStatus->setObjectName(QStringLiteral("LabelStatus"));
    m_pBtnExport->setObjectName(QStringLiteral("BtnExport"));
    // The monthly report, from the store's file as rackmind-ctl reads it; nothing to export without one.
    m_pBtnExport->setEnabled(!m_pStore.isNull());
    connect(m_pBtnExport, &QPushButton::clicked, this, [this] {
        if (m_pStore)
            CReportExportDialog(m_pStore->path(), this).exec();
    });
    m_pTree->setColumnCount(ColumnCount);
    m_pTree->setItemDelegateForColumn(ColumnLoad, new CLoadBarDelegate(m_pTree));
    m_pTree->setUniformRowHeights(true);
    m_pTree->setAlternatingRowColors(true);
    m_pTree->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTree->setExpandsOnDoubleClick(true);
    m_pTree->header()->setSectionsMovable(false);
    m_pTree->header()->setStretchLastSection(false);
    m_pTree->header()->setDefaultAlignment(Qt::AlignCenter);
    m_pTree->setColumnWidth(ColumnName, 180);
    m_pTree->setColumnWidth(ColumnAddress, 100);
    m_pTree->setColumnWidth(ColumnLoad, 150);
    m_pTree->setSortingEnabled(true);
    m_pTree->sortByColumn(ColumnName, Qt::AscendingOrder);

    auto* pRow = new QHBoxLayout;
    pRow->addWidget(m_pLabelStatus, 1);
    pRow->addWidget(m_pBtnExport);
    auto* pBody = new QVBoxLayout;
    pBody->setContentsMargins(8, 4, 8, 8);
    pBody->addLayout(pRow);
    pBody->addWidget(m_pLabelNotice);
    pBody->addWidget(m_pTree, 1);
    m_pBaseLayout->addLayout(pBody);

    connect(m_pTree, &QTreeWidget::itemDoubleClicked, this, &CPowerWindow::onDoubleClicked);
    connect(m_pTimerRefresh, &QTimer::timeout, this, &CPowerWindow::slotRefresh);
    connect(m_pTimerFigures, &QTimer::timeout, this, &CPowerWindow::slotReadFigures);
    if (m_pStore)
        connect(m_pStore, &CHistoryStore::signalAvailabilityChanged, this, &CPowerWindow::updateStatus);
    m_pTimerRefresh->start(kRefreshMsec);
    m_pTimerFigures->start(kFiguresMsec);
    retranslate();
    slotRefresh();
    m_pTree->expandAll();
    slotReadFigures();
}

CPowerWindow::~CPowerWindow()
{
    if (m_pThread) {
        m_bCancel = true;
        m_pThread->wait();
        delete m_pThread;
    }
}

void CPowerWindow::retranslate()
{
    CBaseDialog::retranslate();
    m_pTitleBar->setTitle(tr("Power and capacity"));
    setWindowTitle(tr("Power and capacity"));
    m_pBtnExport->setText(tr("Export"));
    // Apparent power everywhere: the devices report volts and amperes, and no power factor.
    const char* const kHeaders[ColumnCount][2] = {
        {QT_TR_NOOP("Group / PDU"), nullptr},
        {QT_TR_NOOP("Address"), nullptr},
        {QT_TR_NOOP("Load"), QT_TR_NOOP("Load against the group's budget; the tick marks the budget, the "
                                        "full width the breaker rating")},
        {QT_TR_NOOP("Now\n(A)"), nullptr},
        {QT_TR_NOOP("Now\n(VA)"), QT_TR_NOOP("Apparent power, volts times amperes")},
        {QT_TR_NOOP("Budget\n(A)"), QT_TR_NOOP("The breaker rating derated for continuous load")},
        {QT_TR_NOOP("Headroom\n(A)"), QT_TR_NOOP("Budget minus the load now")},
        {QT_TR_NOOP("Peak\n24 h (A)"),
         QT_TR_NOOP("Highest current in the last 24 hours; for a group, the highest sum of its PDUs' "
                    "minute averages")},
        {QT_TR_NOOP("95th pct\n24 h (A)"), QT_TR_NOOP("95th percentile of the minute averages")},
        {QT_TR_NOOP("Peak\n30 d (A)"),
         QT_TR_NOOP("Highest current in the last 30 days; for a group, the highest sum of its PDUs' hour "
                    "averages")},
        {QT_TR_NOOP("95th pct\n30 d (A)"), QT_TR_NOOP("95th percentile of the hour averages")},
        {QT_TR_NOOP("Today\n(kVAh)"), QT_TR_NOOP("Apparent energy since midnight")},
        {QT_TR_NOOP("This month\n(kVAh)"), QT_TR_NOOP("Apparent energy since the first of the month")},
        {QT_TR_NOOP("Last month\n(kVAh)"), QT_TR_NOOP("Apparent energy of the whole last month")},
    };
    QTreeWidgetItem* pHeader = m_pTree->headerItem();
    for (int i = 0; i < ColumnCount; ++i) {
        pHeader->setText(i, tr(kHeaders[i][0]));
        pHeader->setToolTip(i, kHeaders[i][1] ? tr(kHeaders[i][1]) : QString());
    }
    // The figures' columns as wide as their headers in this language, and no narrower than a figure.
    for (int i = ColumnAmps; i < ColumnCount; ++i)
        m_pTree->setColumnWidth(i, qMax(72, m_pTree->header()->sectionSizeHint(i) + 8));
    // Energy shown with a mark where part of its span was recorded before energy was kept.
    if (m_pResult && m_bFiguresShown)
        onFiguresRead();
    updateStatus();
}

void CPowerWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    CBaseDialog::changeEvent(event);
}

QVector<CapacityFigures::Member> CPowerWindow::members() const
{
    QVector<CapacityFigures::Member> vec;
    if (!g_pRackmind)
        return vec;
    for (const CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        vec.append({CHistoryRecorder::macText(pPdu->stInfo), pPdu->strGroup});
    std::sort(vec.begin(), vec.end(), [](const CapacityFigures::Member& a, const CapacityFigures::Member& b) {
        return a.strMac < b.strMac;
    });
    return vec;
}

CPowerItem* CPowerWindow::groupRow(const QString& strGroup)
{
    CPowerItem*& pItem = m_hashGroups[strGroup];
    if (!pItem) {
        pItem = new CPowerItem(m_pTree);
        alignFigures(pItem);
        pItem->setText(ColumnName, strGroup);
        QFont font = pItem->font(ColumnName);
        font.setBold(true);
        pItem->setFont(ColumnName, font);
        pItem->setExpanded(true);
        if (m_pResult && m_bFiguresShown)
            showFigures(pItem, figuresOf(m_pResult->hashGroups, strGroup));
    }
    return pItem;
}

void CPowerWindow::slotRefresh()
{
    if (!g_pRackmind)
        return;
    struct Load
    {
        double dAmps = 0;
        double dVa = 0;
    };
    QHash<QString, Load> hashLoads;
    // Rows put in one by one into a sorted tree would each be sorted in: new devices go in unsorted and
    // the tree is sorted once after.
    const bool bNewRows = m_hashPdus.size() != g_pRackmind->listPdu.size();
    if (bNewRows)
        m_pTree->setSortingEnabled(false);
    for (const CPdu* pPdu : qAsConst(g_pRackmind->listPdu)) {
        CPowerItem* pGroup = groupRow(pPdu->strGroup);
        CPowerItem*& pRow = m_hashPdus[pPdu];
        if (!pRow) {
            pRow = new CPowerItem(pGroup);
            alignFigures(pRow);
        } else if (pRow->parent() != pGroup) {
            pRow->parent()->removeChild(pRow);
            pGroup->addChild(pRow);
        }
        const QString strMac = CHistoryRecorder::macText(pPdu->stInfo);
        if (pRow->data(0, CPowerItem::MacRole).toString() != strMac)
            pRow->setData(0, CPowerItem::MacRole, strMac);
        const QString strName = deviceText(pPdu->stInfo.name);
        if (pRow->text(ColumnName) != strName)
            pRow->setText(ColumnName, strName);
        pRow->setFigure(ColumnAddress, pPdu->sendIPv4(), pPdu->sendAddress().toString());
        // An offline device draws nothing that anyone knows of: its load is blank, not its last reading.
        const bool bOnline = pPdu->isOnline();
        const double dAmps = bOnline ? pPdu->stInfo.current : qQNaN();
        const double dVa =
            bOnline ? Energy::apparentPower(pPdu->stInfo.voltage, pPdu->stInfo.current) : qQNaN();
        pRow->setFigure(ColumnAmps, dAmps, amps(dAmps));
        pRow->setFigure(ColumnVa, dVa, QString::number(dVa, 'f', 0));
        Load& load = hashLoads[pPdu->strGroup];
        if (bOnline) {
            load.dAmps += dAmps;
            load.dVa += dVa;
        }
    }
    for (auto it = m_hashGroups.begin(); it != m_hashGroups.end();) {
        CPowerItem* pGroup = it.value();
        if (pGroup->childCount() == 0) {
            delete pGroup;
            it = m_hashGroups.erase(it);
            continue;
        }
        const Load load = hashLoads.value(it.key());
        const GroupBudget budget = groupBudget(it.key());
        const double dBudget = budget.isSet() ? budget.budgetAmps() : qQNaN();
        const double dBreaker = budget.isSet() ? budget.dBreakerAmps : qQNaN();
        pGroup->setFigure(ColumnAmps, load.dAmps, amps(load.dAmps));
        pGroup->setFigure(ColumnVa, load.dVa, QString::number(load.dVa, 'f', 0));
        pGroup->setFigure(ColumnBudget, dBudget, amps(dBudget));
        pGroup->setFigure(ColumnHeadroom, dBudget - load.dAmps, amps(dBudget - load.dAmps));
        pGroup->setData(ColumnHeadroom, Qt::ForegroundRole,
                        dBudget - load.dAmps < 0 ? QVariant(QColor(198, 40, 40)) : QVariant());
        for (int i = -1; i < pGroup->childCount(); ++i) {
            auto* pItem = static_cast<CPowerItem*>(i < 0 ? pGroup : pGroup->child(i));
            const double dLoad = i < 0 ? load.dAmps : pItem->figure(ColumnAmps);
            pItem->setFigure(ColumnLoad, std::isnan(dLoad) ? qQNaN() : dLoad / dBudget, QString());
            pItem->setData(ColumnLoad, CLoadBarDelegate::LoadRole, std::isnan(dLoad) ? QVariant() : dLoad);
            pItem->setData(ColumnLoad, CLoadBarDelegate::BudgetRole, budget.isSet() ? dBudget : 0.0);
            pItem->setData(ColumnLoad, CLoadBarDelegate::BreakerRole, budget.isSet() ? dBreaker : 0.0);
            pItem->setData(ColumnLoad, CLoadBarDelegate::ShareRole, i >= 0);
        }
        ++it;
    }
    if (bNewRows)
        m_pTree->setSortingEnabled(true);
    // A device that came or moved to another group changes its groups' figures.
    if (m_bFiguresShown && members() != m_vecMembersRead)
        slotReadFigures();
}

void CPowerWindow::slotReadFigures()
{
    if (m_pThread) {
        m_bReadAgain = true;
        return;
    }
    m_bReadAgain = false;
    if (!m_pStore) {
        updateStatus();
        return;
    }
    m_vecMembersRead = members();
    m_bCancel = false;
    auto pResult = std::make_shared<CapacityFigures::Result>();
    const QString strPath = m_pStore->path();
    const QVector<CapacityFigures::Member> vecMembers = m_vecMembersRead;
    const qint64 iNow = Clock::now().toMSecsSinceEpoch();
    m_iFiguresStarted = Clock::elapsedMs();
    m_pThread = QThread::create([this, pResult, strPath, vecMembers, iNow] {
        *pResult = CapacityFigures::compute(strPath, vecMembers, iNow, 0, &m_bCancel);
    });
    m_pThread->setObjectName(QStringLiteral("CapacityFigures"));
    connect(m_pThread, &QThread::finished, this, [this, pResult] {
        m_pThread->wait();
        delete m_pThread;
        m_pThread = nullptr;
        m_pResult = pResult;
        m_iFiguresMsecs = Clock::elapsedMs() - m_iFiguresStarted;
        onFiguresRead();
        emit signalFiguresShown();
        if (m_bReadAgain || members() != m_vecMembersRead)
            slotReadFigures();
    });
    m_pThread->start();
    updateStatus();
}

void CPowerWindow::onFiguresRead()
{
    if (!m_pResult || m_pResult->bCancelled)
        return;
    for (auto it = m_hashGroups.cbegin(); it != m_hashGroups.cend(); ++it)
        showFigures(it.value(), figuresOf(m_pResult->hashGroups, it.key()));
    for (CPowerItem* pRow : qAsConst(m_hashPdus))
        showFigures(pRow, figuresOf(m_pResult->hashPdus, pRow->data(0, CPowerItem::MacRole).toString()));
    m_bFiguresShown = true;
    updateStatus();
}

void CPowerWindow::showFigures(CPowerItem* pItem, const CapacityFigures::Figures* pFigures)
{
    const CapacityFigures::Figures f = pFigures ? *pFigures : CapacityFigures::Figures();
    const double aCurrent[] = {f.day.dPeak, f.day.dP95, f.month.dPeak, f.month.dP95};
    for (int i = 0; i < 4; ++i)
        pItem->setFigure(ColumnPeakDay + i, aCurrent[i], amps(aCurrent[i]));
    for (int s = 0; s < CapacityFigures::EnergySpanCount; ++s) {
        const double dKvah = pFigures ? Energy::toKvah(f.aEnergy[s]) : qQNaN();
        // Part of the span lies in rows written before energy was kept: at least this much.
        const bool bPart = !f.aEnergyComplete[s];
        pItem->setFigure(ColumnEnergyToday + s, dKvah,
                         (bPart ? QStringLiteral("≥ ") : QString()) + QString::number(dKvah, 'f', 2));
        pItem->setToolTip(ColumnEnergyToday + s,
                          bPart ? tr("Part of this span was recorded before energy was kept") : QString());
    }
}

void CPowerWindow::updateStatus()
{
    HistoryUi::updateNotice(m_pLabelNotice, m_pStore);
    QString strStatus;
    if (m_pThread && !m_bFiguresShown)
        strStatus = tr("Reading peaks and energy from the history...");
    else if (m_pResult && !m_pResult->strError.isEmpty())
        strStatus = tr("The history could not be read: %1").arg(m_pResult->strError);
    else if (m_pResult)
        strStatus =
            tr("Peaks and energy as of %1; the load follows the devices each second.")
                .arg(QDateTime::fromMSecsSinceEpoch(m_pResult->iNow).toString(QStringLiteral("HH:mm")));
    m_pLabelStatus->setText(strStatus);
}

void CPowerWindow::onDoubleClicked(QTreeWidgetItem* pItem)
{
    auto* pRow = static_cast<CPowerItem*>(pItem);
    if (!pRow || !pRow->isPdu() || !g_pRackmind)
        return;
    const QString strMac = pRow->data(0, CPowerItem::MacRole).toString();
    CPdu* pPdu = nullptr;
    for (CPdu* p : qAsConst(g_pRackmind->listPdu))
        if (m_hashPdus.value(p) == pRow)
            pPdu = p;
    auto* pWindow = new CHistoryWindow(strMac, pPdu, m_pStore);
    pWindow->titleBar()->setIcon(QStringLiteral(":/Application/Application/ApplicationPng.png"));
    pWindow->show();
}
