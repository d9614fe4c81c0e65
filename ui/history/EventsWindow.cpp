#include "ui/history/EventsWindow.h"

#include "history/HistoryCsv.h"

#include "common/Clock.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "ui/frame/TitleBar.h"
#include "ui/history/HistoryUi.h"

#include <QComboBox>
#include <QDateTime>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace {
enum Column
{
    ColumnTime,
    ColumnKind,
    ColumnPdu,
    ColumnMac,
    ColumnSubject,
    ColumnOld,
    ColumnNew,
    ColumnLimit,
    ColumnDetail,
    ColumnCount
};
} // namespace

CEventsWindow::CEventsWindow(CHistoryStore* pStore, QWidget* parent)
    : CBaseDialog(parent), m_pStore(pStore), m_pComboPdu(new QComboBox), m_pComboKind(new QComboBox),
      m_pComboSpan(new QComboBox), m_pEditSearch(new QLineEdit), m_pBtnExport(new QPushButton),
      m_pLabelNotice(HistoryUi::createNotice()), m_pTable(new QTableWidget(0, ColumnCount)),
      m_pTimerReload(new QTimer(this))
{
    HistoryUi::prepareWindow(this, "EventsWindow", 1100, 640);
    m_pComboPdu->setObjectName(QStringLiteral("ComboPdu"));
    m_pComboKind->setObjectName(QStringLiteral("ComboKind"));
    m_pComboSpan->setObjectName(QStringLiteral("ComboSpan"));
    m_pEditSearch->setObjectName(QStringLiteral("EditSearch"));
    m_pBtnExport->setObjectName(QStringLiteral("BtnExport"));
    m_pTable->setObjectName(QStringLiteral("TableEvents"));
    m_pComboPdu->setMinimumWidth(180);
    m_pEditSearch->setClearButtonEnabled(true);
    m_pTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->verticalHeader()->hide();
    m_pTable->horizontalHeader()->setStretchLastSection(true);
    m_pTable->setAlternatingRowColors(true);

    auto* pRow = new QHBoxLayout;
    for (QWidget* pWidget :
         std::initializer_list<QWidget*>{m_pComboPdu, m_pComboKind, m_pComboSpan, m_pEditSearch})
        pRow->addWidget(pWidget);
    pRow->addStretch();
    pRow->addWidget(m_pBtnExport);
    auto* pBody = new QVBoxLayout;
    pBody->setContentsMargins(8, 4, 8, 8);
    pBody->addLayout(pRow);
    pBody->addWidget(m_pLabelNotice);
    pBody->addWidget(m_pTable, 1);
    m_pBaseLayout->addLayout(pBody);

    // Filters and new events reload a moment later, so that typing or a burst of events reads once.
    m_pTimerReload->setSingleShot(true);
    m_pTimerReload->setInterval(200);
    connect(m_pTimerReload, &QTimer::timeout, this, &CEventsWindow::reload);
    for (QComboBox* pCombo : {m_pComboPdu, m_pComboKind, m_pComboSpan})
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), m_pTimerReload,
                QOverload<>::of(&QTimer::start));
    connect(m_pEditSearch, &QLineEdit::textChanged, m_pTimerReload, QOverload<>::of(&QTimer::start));
    if (m_pStore) {
        connect(m_pStore, &CHistoryStore::signalEventsWritten, m_pTimerReload,
                QOverload<>::of(&QTimer::start));
        connect(m_pStore, &CHistoryStore::signalAvailabilityChanged, this, &CEventsWindow::updateNotice);
    }
    retranslate(); // reads the log
    QMetaObject::connectSlotsByName(this);
}

void CEventsWindow::retranslate()
{
    CBaseDialog::retranslate();
    m_pTitleBar->setTitle(tr("Events"));
    setWindowTitle(tr("Events"));
    {
        const QSignalBlocker blockKind(m_pComboKind);
        const QSignalBlocker blockSpan(m_pComboSpan);
        const int iKind = qMax(0, m_pComboKind->currentIndex());
        m_pComboKind->clear();
        m_pComboKind->addItem(tr("Every kind"), 0);
        for (int iKindNo = HistoryEvent::kFirstKind; iKindNo <= HistoryEvent::kLastKind; ++iKindNo)
            m_pComboKind->addItem(HistoryUi::kindName(iKindNo), iKindNo);
        m_pComboKind->setCurrentIndex(iKind);
        HistoryUi::fillSpans(m_pComboSpan, false);
    }
    fillDevices();
    m_pEditSearch->setPlaceholderText(tr("Search"));
    m_pBtnExport->setText(tr("Export CSV"));
    m_pTable->setHorizontalHeaderLabels({tr("Time"), tr("Event"), tr("PDU"), tr("MAC"), tr("What"),
                                         tr("Old value"), tr("New value"), tr("Limit"), tr("Detail")});
    updateNotice();
    reload();
}

void CEventsWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    CBaseDialog::changeEvent(event);
}

void CEventsWindow::fillDevices()
{
    const QSignalBlocker blocker(m_pComboPdu);
    const QString strCurrent = m_pComboPdu->currentData().toString();
    m_pComboPdu->clear();
    m_pComboPdu->addItem(tr("Every PDU"), QString());
    if (!m_pStore)
        return;
    CHistoryReader reader(m_pStore->path());
    for (const CHistoryReader::Device& device : reader.devices())
        m_pComboPdu->addItem(device.strName.isEmpty()
                                 ? device.strMac
                                 : device.strName + QStringLiteral(" (") + device.strMac + QLatin1Char(')'),
                             device.strMac);
    m_pComboPdu->setCurrentIndex(qMax(0, m_pComboPdu->findData(strCurrent)));
}

void CEventsWindow::updateNotice()
{
    HistoryUi::updateNotice(m_pLabelNotice, m_pStore);
}

QStringList CEventsWindow::rowOf(const HistoryEvent& e) const
{
    return {QDateTime::fromMSecsSinceEpoch(e.iMsecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            HistoryUi::kindName(e.iKind),
            e.strPdu,
            e.strMac,
            HistoryUi::termName(e.strSubject),
            e.strOld,
            HistoryUi::termName(e.strNew),
            e.strLimit,
            HistoryUi::termName(e.strDetail)};
}

void CEventsWindow::reload()
{
    m_vecEvents.clear();
    if (m_pStore) {
        CHistoryReader::EventFilter& filter = m_filterShown;
        filter = CHistoryReader::EventFilter();
        const qint64 iSpan = HistoryUi::spanMsecs(m_pComboSpan->currentIndex());
        filter.iFrom = iSpan ? Clock::now().toMSecsSinceEpoch() - iSpan : 0;
        filter.strMac = m_pComboPdu->currentData().toString();
        if (m_pComboKind->currentData().toInt() > 0)
            filter.listKinds = {m_pComboKind->currentData().toInt()};
        filter.strText = m_pEditSearch->text().trimmed();
        CHistoryReader reader(m_pStore->path());
        m_vecEvents = reader.events(filter);
        if (m_pComboPdu->count() <= 1)
            fillDevices();
    }
    m_pTable->setRowCount(m_vecEvents.size());
    for (int i = 0; i < m_vecEvents.size(); ++i) {
        const QStringList row = rowOf(m_vecEvents.at(i));
        for (int c = 0; c < ColumnCount; ++c) {
            QTableWidgetItem* pItem = m_pTable->item(i, c);
            if (!pItem) {
                pItem = new QTableWidgetItem;
                m_pTable->setItem(i, c, pItem);
            }
            pItem->setText(row.at(c));
        }
    }
    m_pTable->resizeColumnsToContents();
    updateNotice();
}

bool CEventsWindow::exportCsv(const QString& strPath, QString* pError) const
{
    const QStringList listHeader{tr("Time"),      tr("Event"),     tr("PDU"),   tr("MAC"),   tr("What"),
                                 tr("Old value"), tr("New value"), tr("Limit"), tr("Detail")};
    if (!m_pStore)
        return HistoryUi::writeCsv(strPath, QList<QStringList>{listHeader}, pError);
    // Every event the filter shown finds, not only the rows the table holds.
    CHistoryReader::EventFilter filter = m_filterShown;
    filter.iLimit = 0;
    CHistoryReader reader(m_pStore->path());
    return HistoryUi::writeCsv(
        strPath,
        [&](const HistoryUi::RowSink& fnAdd) {
            fnAdd(listHeader);
            return reader.forEachEvent(filter, [&](const HistoryEvent& e) {
                QStringList row = rowOf(e);
                row[ColumnTime] = HistoryCsv::time(e.iMsecs, true);
                fnAdd(row);
            });
        },
        pError);
}

void CEventsWindow::on_BtnExport_clicked()
{
    HistoryUi::exportWithDialog(
        this, [this](const QString& strPath, QString* pError) { return exportCsv(strPath, pError); });
}
