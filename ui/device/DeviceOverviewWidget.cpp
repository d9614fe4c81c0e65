#include "ui/device/DeviceOverviewWidget.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/WindowSettings.h"
#include "ui/alarms/AlarmPanel.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/device/OutletActions.h"
#include "ui/device/OutletStatusWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/SharedFonts.h"

#include <QCoreApplication>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace {
constexpr int RowHeight = 30;
constexpr int RefreshMs = 500;
// What a cell keeps free of text beside the style's margins: the lines between cells and a little air.
constexpr int kCellPadding = 4;
// The outlet painter's circles: eight of them, each room for its number.
constexpr int kOutletCircle = 16;
// Typical values, for the width of their columns; none for the columns sized otherwise. Names and
// positions are sized for a usual label, not the longest a device holds: the column can be widened.
const char* const kSampleValues[CDeviceOverviewWidget::ColumnCount] = {
    nullptr, nullptr,       "Rack-A-PDU-1", "Row A Rack 01", "255.255.255.255",
    nullptr, "RPDU-8M-32A", "V10.2.15",     "888",           "88.88",
    "888",   "888"};

// Only device rows are selectable; the group rows are not.
bool isDeviceRow(const QTreeWidgetItem* pItem)
{
    return pItem && (pItem->flags() & Qt::ItemIsSelectable);
}

// The style sheet's item rule leaves a cell's own background unpainted: a row's alarm colour is laid
// under the cell here, and hover and selection still paint over it.
class CRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* pPainter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        const QVariant background = index.data(Qt::BackgroundRole);
        if (background.canConvert<QBrush>() && background.value<QBrush>().style() != Qt::NoBrush)
            pPainter->fillRect(option.rect, background.value<QBrush>());
        QStyledItemDelegate::paint(pPainter, option, index);
    }
};

// Places the outlet painters exactly where the standard delegate would, but works out the painter's
// rectangle within its cell once per kind of cell instead of once per painter and layout: the tree
// places every painter again whenever a row is added, which made a room of a thousand PDUs freeze
// the window for seconds while it came up.
class COutletCellDelegate : public CRowDelegate
{
public:
    using CRowDelegate::CRowDelegate;

    void updateEditorGeometry(QWidget* pEditor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override
    {
        if (!pEditor)
            return;
        const Kind kind{option.rect.size(),
                        option.direction,
                        pEditor->style(),
                        index.data(Qt::DisplayRole).isValid(),
                        index.data(Qt::DecorationRole).isValid(),
                        index.data(Qt::CheckStateRole).isValid()};
        if (!m_bKnown || !(kind == m_kind)) {
            QStyledItemDelegate::updateEditorGeometry(pEditor, option, index);
            const QRect rect = pEditor->geometry();
            m_margins = QMargins(rect.left() - option.rect.left(), rect.top() - option.rect.top(),
                                 option.rect.right() - rect.right(), option.rect.bottom() - rect.bottom());
            m_kind = kind;
            m_bKnown = true;
            return;
        }
        pEditor->setGeometry(option.rect.marginsRemoved(m_margins));
    }

private:
    struct Kind
    {
        QSize size;
        Qt::LayoutDirection direction;
        const QStyle* pStyle;
        bool bDisplay, bDecoration, bCheck;
        bool operator==(const Kind& o) const
        {
            return size == o.size && direction == o.direction && pStyle == o.pStyle &&
                   bDisplay == o.bDisplay && bDecoration == o.bDecoration && bCheck == o.bCheck;
        }
    };
    mutable Kind m_kind{};
    mutable QMargins m_margins;
    mutable bool m_bKnown = false;
};

// The device tree. A shown view places every item widget again whenever a row is added; with a
// thousand rows, each holding an outlet painter, a room coming up froze the window for seconds. The
// view lays its items out again after an insertion anyway and places the item widgets in that pass,
// so the placing on insertion is left to it.
class CDeviceTreeWidget : public QTreeWidget
{
public:
    using QTreeWidget::QTreeWidget;

protected:
    void rowsInserted(const QModelIndex& parent, int start, int end) override
    {
        m_bInserting = true;
        QTreeWidget::rowsInserted(parent, start, end);
        m_bInserting = false;
    }
    void updateEditorGeometries() override
    {
        if (m_bInserting) {
            scheduleDelayedItemsLayout();
            return;
        }
        QTreeWidget::updateEditorGeometries();
    }

private:
    bool m_bInserting = false;
};

// Runs of digits compare by their value ("9" before "10", addresses octet by octet), the rest
// without regard to case.
bool naturalLess(const QString& strA, const QString& strB)
{
    int i = 0;
    int j = 0;
    while (i < strA.size() && j < strB.size()) {
        if (strA.at(i).isDigit() && strB.at(j).isDigit()) {
            const auto run = [](const QString& str, int& k) {
                while (k < str.size() && str.at(k) == QLatin1Char('0'))
                    ++k;
                const int iStart = k;
                while (k < str.size() && str.at(k).isDigit())
                    ++k;
                return QStringView(str).mid(iStart, k - iStart);
            };
            const QStringView a = run(strA, i);
            const QStringView b = run(strB, j);
            if (a.size() != b.size())
                return a.size() < b.size();
            if (const int iOrder = a.compare(b); iOrder != 0)
                return iOrder < 0;
            continue;
        }
        const QChar a = strA.at(i++).toCaseFolded();
        const QChar b = strB.at(j++).toCaseFolded();
        if (a != b)
            return a < b;
    }
    return strA.size() - i < strB.size() - j;
}

// A device row; sorts by its cells' numbers as numbers.
class CDeviceRowItem : public QTreeWidgetItem
{
public:
    bool operator<(const QTreeWidgetItem& other) const override
    {
        const int iColumn = treeWidget() ? treeWidget()->sortColumn() : 0;
        return naturalLess(text(iColumn), other.text(iColumn));
    }
};

// Cells are rewritten only when their text changes, so an idle tree does not repaint.
void setCellText(QTreeWidgetItem* pItem, int iColumn, const QString& strText)
{
    if (pItem->text(iColumn) != strText)
        pItem->setText(iColumn, strText);
}
} // namespace

CDeviceOverviewWidget::CDeviceOverviewWidget(QWidget* parent)
    : QWidget(parent), m_iconOnline(QStringLiteral(":/Dialog/Dialog/OK.png")),
      m_iconOffline(QStringLiteral(":/Dialog/Dialog/Cancel.png"))
{
    m_pTreeWidgetMain = new CDeviceTreeWidget(this);
    m_pTreeWidgetMain->setObjectName(QStringLiteral("treeWidgetMain"));
    m_pTreeWidgetMain->setStyleSheet(QStringLiteral("QTreeWidget::item{height:%1px;}").arg(RowHeight));
    // Every row is RowHeight high by the style sheet; saying so spares the view from measuring each
    // row's cells again whenever a value changes, which costs whole frames with a thousand rows.
    m_pTreeWidgetMain->setUniformRowHeights(true);
    m_pTreeWidgetMain->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTreeWidgetMain->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTreeWidgetMain->setAnimated(true);
    m_pTreeWidgetMain->setFocusPolicy(Qt::NoFocus);
    if (g_fontNormal10)
        m_pTreeWidgetMain->setFont(*g_fontNormal10);

    m_pHeaderItem = new QTreeWidgetItem;
    for (int i = 0; i < ColumnCount; ++i) {
        m_pHeaderItem->setBackground(i, QColor(243, 251, 255));
        if (g_fontNormal10)
            m_pHeaderItem->setFont(i, *g_fontNormal10);
        m_pHeaderItem->setTextAlignment(i, Qt::AlignCenter);
        m_pHeaderItem->setSizeHint(i, QSize(1, RowHeight));
        // The first click on a header sorts upwards.
        m_pHeaderItem->setData(i, Qt::InitialSortOrderRole, Qt::AscendingOrder);
    }
    m_pHeaderItem->setIcon(ColumnGroup, QIcon(QStringLiteral(":/OverviewWidget/OverviewWidget/Group.png")));
    m_pTreeWidgetMain->setHeaderItem(m_pHeaderItem);
    // Columns keep the widths they are given (their content's, or the operator's): the last one does
    // not take the rest of the row. The operator moves, hides and sorts them from the header.
    QHeaderView* pHeader = header();
    pHeader->setStretchLastSection(false);
    pHeader->setSectionsMovable(true);
    pHeader->setSectionsClickable(true);
    pHeader->setSortIndicatorShown(true);
    pHeader->setSortIndicator(-1, Qt::AscendingOrder);
    pHeader->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(pHeader, &QWidget::customContextMenuRequested, this, [this, pHeader](const QPoint& pos) {
        QMenu menu(pHeader);
        fillColumnMenu(&menu);
        menu.exec(pHeader->mapToGlobal(pos));
    });
    connect(pHeader, &QHeaderView::sortIndicatorChanged, this, [this, pHeader](int iColumn) {
        // The style narrows the sorted header's text by the arrow's room: the text stays whole.
        if (iColumn >= 0 && iColumn < ColumnCount) {
            const int iMargin = style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, pHeader);
            const int iNeed =
                QFontMetrics(m_pHeaderItem->font(iColumn)).horizontalAdvance(m_pHeaderItem->text(iColumn)) +
                4 * iMargin + pHeader->height() / 2 + 2 * iMargin;
            if (pHeader->sectionSize(iColumn) < iNeed && !pHeader->isSectionHidden(iColumn))
                pHeader->resizeSection(iColumn, iNeed);
        }
        sortRows();
    });
    // Rows come and values change all the time; sorting them as each cell changes would lay out the
    // whole tree many times a tick. Once a second, and only when a row is out of place, is enough.
    m_pSortTimer = new QTimer(this);
    connect(m_pSortTimer, &QTimer::timeout, this, &CDeviceOverviewWidget::sortRows);
    m_pSortTimer->start(1000);
    m_pTreeWidgetMain->setItemDelegate(new CRowDelegate(m_pTreeWidgetMain));
    m_pTreeWidgetMain->setItemDelegateForColumn(ColumnOutletStatus,
                                                new COutletCellDelegate(m_pTreeWidgetMain));

    m_pDefaultItem = new QTreeWidgetItem;
    m_pDefaultItem->setText(ColumnGroup, tr("Default"));
    m_pDefaultItem->setTextAlignment(ColumnGroup, Qt::AlignCenter);
    m_pDefaultItem->setFlags(m_pDefaultItem->flags() & ~Qt::ItemIsSelectable);
    m_pTreeWidgetMain->addTopLevelItem(m_pDefaultItem);
    m_pDefaultItem->setExpanded(true);

    m_pMainStatusWidget = new CMainStatusWidget(this);
    m_pMainStatusWidget->setObjectName(QStringLiteral("MainStatusWidget"));
    m_pMainStatusWidget->setMinimumWidth(200);

    m_pSplitter = new QSplitter(Qt::Horizontal, this);
    m_pSplitter->setObjectName(QStringLiteral("splitter"));
    m_pSplitter->setHandleWidth(0);
    m_pSplitter->addWidget(m_pTreeWidgetMain);
    m_pSplitter->addWidget(m_pMainStatusWidget);
    m_pSplitter->setStretchFactor(0, 100);
    m_pSplitter->setStretchFactor(1, 1);

    // The active alarms lie under the devices, in a splitter of their own so that they can be given room.
    m_pAlarmPanel = new CAlarmPanel(this);
    m_pAlarmPanel->setObjectName(QStringLiteral("AlarmPanel"));
    QSplitter* pSplitterAlarms = new QSplitter(Qt::Vertical, this);
    pSplitterAlarms->setObjectName(QStringLiteral("SplitterAlarms"));
    pSplitterAlarms->setHandleWidth(1);
    pSplitterAlarms->addWidget(m_pSplitter);
    pSplitterAlarms->addWidget(m_pAlarmPanel);
    pSplitterAlarms->setStretchFactor(0, 3);
    pSplitterAlarms->setStretchFactor(1, 1);
    pSplitterAlarms->setCollapsible(0, false);
    pSplitterAlarms->setCollapsible(1, false);
    connect(m_pAlarmPanel, &CAlarmPanel::signalPduActivated, this, &CDeviceOverviewWidget::slotSelectPdu);

    QVBoxLayout* pLayoutBase = new QVBoxLayout;
    pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    pLayoutBase->setSpacing(0);
    pLayoutBase->setContentsMargins(0, 0, 0, 0);
    pLayoutBase->addWidget(pSplitterAlarms);
    setLayout(pLayoutBase);

    // The status panel hears of a new current row before this widget does.
    connect(m_pTreeWidgetMain, &QTreeWidget::currentItemChanged, m_pMainStatusWidget,
            &CMainStatusWidget::slotCurrentPduChanged);
    connect(m_pTreeWidgetMain, &QTreeWidget::currentItemChanged, this,
            &CDeviceOverviewWidget::slotCurrentPduChanged);
    m_pTreeWidgetMain->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pTreeWidgetMain, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        QTreeWidgetItem* pItem = m_pTreeWidgetMain->itemAt(pos);
        CPdu* pPdu = itemPdu(pItem);
        if (!pPdu)
            return;
        QMenu menu(m_pTreeWidgetMain);
        menu.setObjectName(QStringLiteral("MenuOutlets"));
        COutletActions::fillRowMenu(&menu, m_pTreeWidgetMain, m_pOutletControl, pPdu);
        emit signalRowMenu(&menu, pPdu);
        if (!menu.isEmpty())
            menu.exec(m_pTreeWidgetMain->viewport()->mapToGlobal(pos));
    });
    m_pTimer = new QTimer(this);
    connect(m_pTimer, &QTimer::timeout, this, &CDeviceOverviewWidget::slotUpdateList);
    m_pTimer->start(RefreshMs);

    retranslate();
}

void CDeviceOverviewWidget::setOutletControl(COutletControl* pControl)
{
    m_pOutletControl = pControl;
    m_pMainStatusWidget->deviceControl()->setOutletControl(pControl);
}

void CDeviceOverviewWidget::retranslate()
{
    m_pMainStatusWidget->retranslate();
    m_pAlarmPanel->retranslate();
    m_pHeaderItem->setText(ColumnGroup, tr("Group"));
    m_pHeaderItem->setText(ColumnOnline, tr("Online"));
    m_pHeaderItem->setText(ColumnName, tr("Name"));
    m_pHeaderItem->setText(ColumnPosition, tr("Position"));
    m_pHeaderItem->setText(ColumnIPAddress, tr("IPAddress"));
    m_pHeaderItem->setText(ColumnOutletStatus, tr("OutletStatus"));
    m_pHeaderItem->setText(ColumnProductType, tr("ProductType"));
    m_pHeaderItem->setText(ColumnFirmwareVer, tr("FirmwareVer"));
    m_pHeaderItem->setText(ColumnVoltage, tr("Voltage(V)"));
    m_pHeaderItem->setText(ColumnCurrent, tr("Current(A)"));
    m_pHeaderItem->setText(ColumnTemperature, tr("Temperature") + QStringLiteral("(\u2103)"));
    m_pHeaderItem->setText(ColumnHumidity, tr("Humidity(RH%)"));
    // The group row is ours as well; it follows the language like the header.
    m_pDefaultItem->setText(ColumnGroup, tr("Default"));
    sizeColumnsToContent();
    // The alarm tool tips are written again in the new language on the next refresh.
    for (RowState& state : m_hashRows)
        state.bAlarmShown = false;
}

QHeaderView* CDeviceOverviewWidget::header() const
{
    return m_pTreeWidgetMain->header();
}

void CDeviceOverviewWidget::sizeColumnsToContent()
{
    QStringList listTexts;
    for (int i = 0; i < ColumnCount; ++i)
        listTexts << m_pHeaderItem->text(i);
    const QString strTexts = listTexts.join(QLatin1Char(' '));
    if (strTexts == m_strSizedFor)
        return;
    m_strSizedFor = strTexts;

    // One font for every header cell; a family that draws the degree sign where the usual one shows it
    // blank (a cell of its own in another size or face looks like a fault).
    const QFont fontHeader = fontForText(g_fontNormal10 ? *g_fontNormal10 : m_pTreeWidgetMain->font(),
                                         strTexts, std::numeric_limits<int>::max());
    for (int i = 0; i < ColumnCount; ++i)
        m_pHeaderItem->setFont(i, fontHeader);

    // From font metrics alone: measuring the rows' cells costs a pass over thousands of rows.
    // Measured for the widgets' own screen: a font's advances differ with the resolution it is drawn at.
    const QFontMetrics fmHeader(fontHeader, header());
    const QFontMetrics fmCell(m_pTreeWidgetMain->font(), m_pTreeWidgetMain);
    const QStyle* pStyle = m_pTreeWidgetMain->style();
    const int iMargin = pStyle->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header());
    const int iIcon = m_pTreeWidgetMain->iconSize().isValid()
                          ? m_pTreeWidgetMain->iconSize().width()
                          : pStyle->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_pTreeWidgetMain);
    // The style draws the sort arrow above the text, not beside it.
    const int iHeaderExtra = 2 * iMargin + kCellPadding;
    const int iCellMargin =
        2 * (pStyle->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_pTreeWidgetMain) + 1);
    for (int i = 0; i < ColumnCount; ++i) {
        int iHeader = fmHeader.horizontalAdvance(m_pHeaderItem->text(i)) + iHeaderExtra;
        int iCell = kSampleValues[i] ? fmCell.horizontalAdvance(QLatin1String(kSampleValues[i])) : 0;
        switch (i) {
        case ColumnGroup:
            iHeader += iIcon + iMargin;
            iCell = m_pTreeWidgetMain->indentation() +
                    std::max(33, fmCell.horizontalAdvance(m_pDefaultItem->text(ColumnGroup)));
            break;
        case ColumnOnline:
            iCell = iIcon + iMargin +
                    std::max(fmCell.horizontalAdvance(tr("Online")), fmCell.horizontalAdvance(tr("Offline")));
            // As the style lays an icon and a text out, which may take a pixel or two more than the sum.
            iCell = std::max({iCell, cellWidth(tr("Online"), m_iconOnline) - iCellMargin - kCellPadding,
                              cellWidth(tr("Offline"), m_iconOffline) - iCellMargin - kCellPadding});
            break;
        case ColumnName:
            // Room for the bell of a PDU in alarm before its name.
            iCell += iIcon + iMargin;
            break;
        case ColumnOutletStatus:
            iCell = 8 * kOutletCircle;
            break;
        default:
            break;
        }
        header()->resizeSection(i, std::max(iHeader, iCell + iCellMargin + kCellPadding));
    }
}

int CDeviceOverviewWidget::cellWidth(const QString& strText, const QIcon& icon) const
{
    QStyleOptionViewItem option;
    option.initFrom(m_pTreeWidgetMain);
    option.widget = m_pTreeWidgetMain;
    option.font = m_pTreeWidgetMain->font();
    option.fontMetrics = QFontMetrics(option.font, m_pTreeWidgetMain);
    const int iIcon =
        m_pTreeWidgetMain->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, m_pTreeWidgetMain);
    option.decorationSize = icon.actualSize(QSize(iIcon, iIcon));
    option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    option.text = strText;
    option.icon = icon;
    return m_pTreeWidgetMain->style()
        ->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), m_pTreeWidgetMain)
        .width();
}

int CDeviceOverviewWidget::neededWidth() const
{
    const QScrollBar* pScroll = m_pTreeWidgetMain->verticalScrollBar();
    return header()->length() + 2 * m_pTreeWidgetMain->frameWidth() + pScroll->sizeHint().width() +
           m_pSplitter->handleWidth() + m_pMainStatusWidget->minimumWidth();
}

void CDeviceOverviewWidget::fitTreeToColumns()
{
    const int iTree = neededWidth() - m_pMainStatusWidget->minimumWidth() - m_pSplitter->handleWidth();
    m_pSplitter->setSizes(
        {iTree, std::max(m_pMainStatusWidget->minimumWidth(), m_pSplitter->width() - iTree)});
}

void CDeviceOverviewWidget::restoreColumns(const WindowSettings& settings)
{
    QHeaderView* pHeader = header();
    for (int i = 0; i < settings.vecColumnWidths.size() && i < ColumnCount; ++i)
        if (settings.vecColumnWidths.at(i) > 0)
            pHeader->resizeSection(i, settings.vecColumnWidths.at(i));
    for (int iVisual = 0; iVisual < settings.vecColumnOrder.size(); ++iVisual)
        pHeader->moveSection(pHeader->visualIndex(settings.vecColumnOrder.at(iVisual)), iVisual);
    for (int i = 0; i < ColumnCount; ++i)
        pHeader->setSectionHidden(i, settings.vecHiddenColumns.contains(i));
    pHeader->setSortIndicator(settings.iSortColumn,
                              settings.bSortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CDeviceOverviewWidget::storeColumns(WindowSettings& settings) const
{
    const QHeaderView* pHeader = header();
    settings.vecColumnWidths.clear();
    settings.vecColumnOrder.clear();
    settings.vecHiddenColumns.clear();
    for (int i = 0; i < ColumnCount; ++i) {
        // A hidden column's width is the header's own secret: it comes back at its content's width.
        settings.vecColumnWidths << pHeader->sectionSize(i);
        settings.vecColumnOrder << pHeader->logicalIndex(i);
        if (pHeader->isSectionHidden(i))
            settings.vecHiddenColumns << i;
    }
    settings.iSortColumn =
        pHeader->sortIndicatorSection() < ColumnCount ? pHeader->sortIndicatorSection() : -1;
    settings.bSortDescending = pHeader->sortIndicatorOrder() == Qt::DescendingOrder;
}

void CDeviceOverviewWidget::fillColumnMenu(QMenu* pMenu)
{
    QHeaderView* pHeader = header();
    pMenu->setObjectName(QStringLiteral("MenuColumns"));
    const int iShown = ColumnCount - pHeader->hiddenSectionCount();
    for (int iVisual = 0; iVisual < ColumnCount; ++iVisual) {
        const int iColumn = pHeader->logicalIndex(iVisual);
        QAction* pAction = pMenu->addAction(m_pHeaderItem->text(iColumn));
        pAction->setCheckable(true);
        const bool bShown = !pHeader->isSectionHidden(iColumn);
        pAction->setChecked(bShown);
        pAction->setEnabled(!bShown || iShown > 1);
        connect(pAction, &QAction::toggled, pHeader,
                [pHeader, iColumn](bool bChecked) { pHeader->setSectionHidden(iColumn, !bChecked); });
    }
}

void CDeviceOverviewWidget::sortRows()
{
    const QHeaderView* pHeader = header();
    const int iColumn = pHeader->sortIndicatorSection();
    if (iColumn < 0 || iColumn >= ColumnCount)
        return;
    const Qt::SortOrder order = pHeader->sortIndicatorOrder();
    const auto inOrder = [order](const QTreeWidgetItem* pA, const QTreeWidgetItem* pB) {
        return order == Qt::AscendingOrder ? !(*pB < *pA) : !(*pA < *pB);
    };
    bool bSorted = true;
    for (int i = 0; i < m_pTreeWidgetMain->topLevelItemCount() && bSorted; ++i) {
        const QTreeWidgetItem* pGroup = m_pTreeWidgetMain->topLevelItem(i);
        if (i > 0 && !inOrder(m_pTreeWidgetMain->topLevelItem(i - 1), pGroup))
            bSorted = false;
        for (int j = 1; j < pGroup->childCount() && bSorted; ++j)
            bSorted = inOrder(pGroup->child(j - 1), pGroup->child(j));
    }
    // Sorting lays the whole tree out again, even when nothing moves.
    if (!bSorted)
        m_pTreeWidgetMain->model()->sort(iColumn, order);
}

QList<QTreeWidgetItem*> CDeviceOverviewWidget::deviceRows() const
{
    QList<QTreeWidgetItem*> listRows;
    for (int i = 0; i < m_pTreeWidgetMain->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pGroup = m_pTreeWidgetMain->topLevelItem(i);
        for (int j = 0; j < pGroup->childCount(); ++j)
            listRows.append(pGroup->child(j));
    }
    return listRows;
}

void CDeviceOverviewWidget::slotNewDevice(CPdu* pPdu)
{
    // A device announced again keeps its one row.
    if (!pPdu || m_hashRowOfPdu.contains(pPdu))
        return;
    QTreeWidgetItem* pItem = new CDeviceRowItem;
    pItem->setText(ColumnIPAddress, ipv4ToString(pPdu->stInfo.ip));
    for (int i = 0; i < ColumnCount; ++i)
        pItem->setTextAlignment(i, Qt::AlignCenter);
    // The row is its device's, whatever address the device reports now or later.
    setItemPdu(pItem, pPdu);
    RowState& state = m_hashRows[pItem];
    state.pPdu = pPdu;
    state.bTied = true;
    m_hashRowOfPdu.insert(pPdu, pItem);
    connect(pPdu, &QObject::destroyed, this, [this, pPdu] { m_hashRowOfPdu.remove(pPdu); });
    m_pDefaultItem->addChild(pItem);
    // The tree takes the painter over from the device.
    m_pTreeWidgetMain->setItemWidget(pItem, ColumnOutletStatus, COutletStatusWidget::attach(pPdu));
}

void CDeviceOverviewWidget::slotSelectPdu(CPdu* pPdu)
{
    if (QTreeWidgetItem* pItem = rowOf(pPdu)) {
        m_pTreeWidgetMain->setCurrentItem(pItem);
        m_pTreeWidgetMain->scrollToItem(pItem);
    }
}

void CDeviceOverviewWidget::slotDeviceGroupChanged(CPdu* pdu)
{
    if (!pdu)
        return;
    QTreeWidgetItem* pGroup = nullptr;
    for (int i = 0; i < m_pTreeWidgetMain->topLevelItemCount() && !pGroup; ++i)
        if (m_pTreeWidgetMain->topLevelItem(i)->text(ColumnGroup) == pdu->strGroup)
            pGroup = m_pTreeWidgetMain->topLevelItem(i);

    QTreeWidgetItem* pRow = rowOf(pdu);
    if (!pGroup || !pRow || pRow->parent() == pGroup)
        return;
    // Taking a row out of the tree schedules its cell widgets for deletion; the painter belongs to
    // the device for good, so it is rescued and put back, and the marker is simply made anew.
    QWidget* pOutlets = m_pTreeWidgetMain->itemWidget(pRow, ColumnOutletStatus);
    const bool bCurrent = m_pTreeWidgetMain->currentItem() == pRow;
    if (bCurrent)
        removeMarker(pRow);
    {
        const QSignalBlocker blocker(m_pTreeWidgetMain);
        pRow->parent()->removeChild(pRow);
        pGroup->addChild(pRow);
        if (bCurrent)
            m_pTreeWidgetMain->setCurrentItem(pRow);
    }
    if (pOutlets) {
        QCoreApplication::removePostedEvents(pOutlets, QEvent::DeferredDelete);
        m_pTreeWidgetMain->setItemWidget(pRow, ColumnOutletStatus, pOutlets);
        pOutlets->show();
    }
    if (bCurrent)
        placeMarker(pRow);
}

void CDeviceOverviewWidget::slotChangeIP(uint oriIP, uint curIP)
{
    // Which device moved is not told, and it takes its new address only after this signal; every row
    // then shows its own device's address, so a row of another device reporting the old one keeps it.
    Q_UNUSED(oriIP)
    Q_UNUSED(curIP)
    if (std::exchange(m_bAddressesPending, true))
        return;
    QMetaObject::invokeMethod(this, &CDeviceOverviewWidget::slotRefreshAddresses, Qt::QueuedConnection);
}

void CDeviceOverviewWidget::slotRefreshAddresses()
{
    m_bAddressesPending = false;
    for (auto it = m_hashRows.begin(); it != m_hashRows.end(); ++it) {
        if (!it->pPdu)
            continue;
        const PduInfo& info = it->pPdu->stInfo;
        std::memcpy(it->shown.ip, info.ip, sizeof info.ip);
        setCellText(const_cast<QTreeWidgetItem*>(it.key()), ColumnIPAddress, ipv4ToString(info.ip));
    }
}

void CDeviceOverviewWidget::slotUpdateList()
{
    if (!g_pRackmind)
        return;
    m_pMainStatusWidget->retranslate();
    const QString strOnline = tr("Online");
    const QString strOffline = tr("Offline");
    for (QTreeWidgetItem* pItem : deviceRows()) {
        RowState& state = m_hashRows[pItem];
        if (CPdu* pPdu = state.pPdu) {
            const bool bOnline = pPdu->isOnline();
            updateRow(pItem, pPdu, state, bOnline, bOnline ? strOnline : strOffline);
            showAlarm(pItem, state, m_pAlarmPanel->marks()->markOf(pPdu), bOnline);
        } else if (state.bTied) {
            // Its device is gone: the last values stay, and say that they are not current.
            showOnline(pItem, false, strOffline);
            showAlarm(pItem, state, AlarmMark(), false);
        }
    }
}

void CDeviceOverviewWidget::showAlarm(QTreeWidgetItem* pItem, RowState& state, const AlarmMark& mark,
                                      bool bOnline)
{
    // A row that never had an alarm is never written to: every role a cell holds makes each later look
    // at that cell slower, and the refresh looks at thousands of them.
    const bool bAlarm = mark.state != AlarmMark::None;
    if (mark == state.alarm && (!bAlarm || (state.bAlarmShown && bOnline == state.bAlarmOnline)))
        return;
    state.bAlarmShown = true;
    state.alarm = mark;
    state.bAlarmOnline = bOnline;
    // An alarm stands until its device's readings end it, online or not: an offline device keeps its
    // mark, its readings greyed as any offline device's, and the tip says they are the last received.
    const bool bUnacknowledged = mark.state == AlarmMark::Unacknowledged;
    QString strTip;
    if (bAlarm) {
        QStringList listLines{bUnacknowledged ? tr("Alarm, not acknowledged:") : tr("Alarm, acknowledged:")};
        for (int iCondition : mark.listConditions)
            listLines << CAlarmPanel::conditionName(iCondition);
        if (!bOnline)
            listLines << tr("Offline: the readings are the last received.");
        strTip = Qt::convertFromPlainText(listLines.join(QLatin1Char('\n')), Qt::WhiteSpaceNormal);
    }
    const QBrush brush =
        !bAlarm ? QBrush() : QBrush(bUnacknowledged ? QColor(255, 205, 205) : QColor(255, 232, 184));
    for (int iColumn = 0; iColumn < ColumnCount; ++iColumn) {
        pItem->setBackground(iColumn, brush);
        pItem->setToolTip(iColumn, strTip);
    }
    pItem->setIcon(ColumnName, !bAlarm ? QIcon() : bUnacknowledged ? m_iconAlarm : m_iconAlarmAcknowledged);
}

bool CDeviceOverviewWidget::showOnline(QTreeWidgetItem* pItem, bool bOnline, const QString& strOnline)
{
    if (pItem->text(ColumnOnline) == strOnline)
        return false;
    pItem->setIcon(ColumnOnline, bOnline ? m_iconOnline : m_iconOffline);
    pItem->setText(ColumnOnline, strOnline);
    // An offline device's readings are its last ones: greyed, so that nobody takes them for now.
    const QBrush brush = bOnline ? QBrush() : QBrush(QColor(160, 160, 160));
    for (int iColumn : {int(ColumnVoltage), int(ColumnCurrent), int(ColumnTemperature), int(ColumnHumidity)})
        pItem->setForeground(iColumn, brush);
    return true;
}

void CDeviceOverviewWidget::updateRow(QTreeWidgetItem* pItem, CPdu* pPdu, RowState& state, bool bOnline,
                                      const QString& strOnline)
{
    const PduInfo& info = pPdu->stInfo;
    const bool bOnlineChanged = showOnline(pItem, bOnline, strOnline);
    // Thousands of rows, most of them unchanged from one tick to the next: a cell's text is made only
    // when the field it shows differs from what the row was last written from.
    const bool bAll = !state.bShown;
    state.bShown = true;
    PduInfo& shown = state.shown;
    const auto changed = [bAll](auto& cached, const auto& field) {
        if (!bAll && std::memcmp(&cached, &field, sizeof field) == 0)
            return false;
        std::memcpy(&cached, &field, sizeof field);
        return true;
    };
    if (changed(shown.name, info.name))
        setCellText(pItem, ColumnName, deviceText(info.name));
    if (changed(shown.position, info.position))
        setCellText(pItem, ColumnPosition, deviceText(info.position));
    if (changed(shown.ip, info.ip))
        setCellText(pItem, ColumnIPAddress, ipv4ToString(info.ip));
    if (changed(shown.productType, info.productType))
        setCellText(pItem, ColumnProductType, deviceText(info.productType));
    if (changed(shown.firmwareVer, info.firmwareVer))
        setCellText(pItem, ColumnFirmwareVer, deviceText(info.firmwareVer));
    if (changed(shown.voltage, info.voltage))
        setCellText(pItem, ColumnVoltage, QString::number(uint(info.voltage)));
    if (changed(shown.current, info.current))
        setCellText(pItem, ColumnCurrent, currentOnScreen(info.current));
    if (changed(shown.temperature, info.temperature))
        setCellText(pItem, ColumnTemperature, QString::number(uint(quint8(info.temperature))));
    if (changed(shown.humidity, info.humidity))
        setCellText(pItem, ColumnHumidity, QString::number(uint(quint8(info.humidity))));
    // The painter draws nothing but the outlet states; repainting a thousand of them on every tick
    // when none changed costs more than the rest of the refresh.
    if (auto* pOutlets =
            qobject_cast<COutletStatusWidget*>(m_pTreeWidgetMain->itemWidget(pItem, ColumnOutletStatus))) {
        const int iOutlets = pOutlets->pdu() ? pOutlets->pdu()->stInfo.outletStatus : -1;
        if (state.iOutletsShown != iOutlets || bOnlineChanged) {
            state.iOutletsShown = iOutlets;
            pOutlets->update();
        }
    }
}

void CDeviceOverviewWidget::slotCurrentPduChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (isDeviceRow(previous))
        removeMarker(previous);
    if (isDeviceRow(current))
        placeMarker(current);
    emit signalConfigTabEnabled(isDeviceRow(current));
}

void CDeviceOverviewWidget::removeMarker(QTreeWidgetItem* pItem)
{
    QWidget* pMarker = m_pTreeWidgetMain->itemWidget(pItem, ColumnGroup);
    m_pTreeWidgetMain->removeItemWidget(pItem, ColumnGroup);
    // The view would only delete it later; exactly one marker must exist at any time.
    delete pMarker;
}

void CDeviceOverviewWidget::placeMarker(QTreeWidgetItem* pItem)
{
    delete m_pLabelCurrentPdu;
    m_pLabelCurrentPdu = new QLabel;
    m_pLabelCurrentPdu->setObjectName(QStringLiteral("LabelCurrentPdu"));
    m_pLabelCurrentPdu->setPixmap(
        QPixmap(QStringLiteral(":/OverviewWidget/OverviewWidget/RightTriangle.png")));
    m_pLabelCurrentPdu->setScaledContents(true);
    m_pLabelCurrentPdu->setFixedSize(33, 30);
    m_pTreeWidgetMain->setItemWidget(pItem, ColumnGroup, m_pLabelCurrentPdu);
}
