#include "ui/alarms/AlarmPanel.h"

#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "ui/alarms/AlarmMarks.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/SharedFonts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// The readings shown change between the list's own changes.
constexpr int kRefreshMsec = 1000;
constexpr int kChangeDelayMsec = 200;
constexpr int kIdRole = Qt::UserRole;

template <typename T> T* named(T* pObject, const char* pszName)
{
    pObject->setObjectName(QLatin1String(pszName));
    return pObject;
}
} // namespace

CAlarmPanel::CAlarmPanel(QWidget* parent)
    : QWidget(parent), m_pMarks(new CAlarmMarks(this)),
      m_pBtnHeader(named(new QPushButton(this), "BtnHeader")),
      m_pBody(named(new QWidget(this), "WidgetAlarms")),
      m_pTreeAlarms(named(new QTreeWidget(m_pBody), "TreeAlarms")),
      m_pBtnAcknowledge(named(new QPushButton(m_pBody), "BtnAcknowledge")),
      m_pBtnAcknowledgeAll(named(new QPushButton(m_pBody), "BtnAcknowledgeAll")), m_pTimer(new QTimer(this)),
      m_pTimerSoon(new QTimer(this))
{
    m_pBtnHeader->setFixedHeight(30);
    m_pBtnHeader->setIcon(m_iconOverload);
    m_pTreeAlarms->setColumnCount(ColumnCount);
    m_pTreeAlarms->setRootIsDecorated(false);
    m_pTreeAlarms->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_pTreeAlarms->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTreeAlarms->setUniformRowHeights(true);
    m_pTreeAlarms->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pTreeAlarms->header()->setStretchLastSection(true);
    if (g_fontNormal10)
        m_pTreeAlarms->setFont(*g_fontNormal10);

    auto* pLayoutButtons = named(new QVBoxLayout, "LayoutButtons");
    pLayoutButtons->setContentsMargins(8, 8, 8, 8);
    pLayoutButtons->setSpacing(8);
    pLayoutButtons->addWidget(m_pBtnAcknowledge);
    pLayoutButtons->addWidget(m_pBtnAcknowledgeAll);
    pLayoutButtons->addStretch();
    auto* pLayoutBody = named(new QHBoxLayout(m_pBody), "LayoutBody");
    pLayoutBody->setContentsMargins(0, 0, 0, 0);
    pLayoutBody->setSpacing(0);
    pLayoutBody->addWidget(m_pTreeAlarms, 1);
    pLayoutBody->addLayout(pLayoutButtons);
    auto* pLayoutBase = named(new QVBoxLayout(this), "LayoutBase");
    pLayoutBase->setContentsMargins(0, 0, 0, 0);
    pLayoutBase->setSpacing(0);
    pLayoutBase->addWidget(m_pBtnHeader);
    pLayoutBase->addWidget(m_pBody);

    m_pTimerSoon->setSingleShot(true);
    m_pTimerSoon->setInterval(kChangeDelayMsec);
    connect(m_pTimerSoon, &QTimer::timeout, this, &CAlarmPanel::slotRefresh);
    connect(m_pTimer, &QTimer::timeout, this, &CAlarmPanel::slotRefresh);
    connect(m_pTreeAlarms, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* pItem) {
        const quint64 uiId = pItem->data(ColumnName, kIdRole).toULongLong();
        if (m_pTracker)
            for (const ActiveAlarm& alarm : m_pTracker->activeAlarms())
                if (alarm.uiId == uiId && alarm.pPdu)
                    emit signalPduActivated(alarm.pPdu);
    });
    connect(m_pTreeAlarms, &QTreeWidget::itemSelectionChanged, this,
            [this] { m_pBtnAcknowledge->setEnabled(!m_pTreeAlarms->selectedItems().isEmpty()); });
    m_pTimer->start(kRefreshMsec);
    retranslate();
    QMetaObject::connectSlotsByName(this);
}

void CAlarmPanel::setAlarmTracker(CAlarmTracker* pTracker)
{
    if (m_pTracker)
        disconnect(m_pTracker, nullptr, this, nullptr);
    m_pTracker = pTracker;
    m_pMarks->setAlarmTracker(pTracker);
    if (pTracker)
        connect(pTracker, &CAlarmTracker::signalAlarmsChanged, this, [this] {
            if (!m_pTimerSoon->isActive())
                m_pTimerSoon->start();
        });
    slotRefresh();
}

QString CAlarmPanel::conditionName(int iCondition)
{
    switch (iCondition) {
    case CPdu::AlarmVoltageWarn:
        return tr("Voltage warning");
    case CPdu::AlarmVoltageOverload:
        return tr("Voltage overload");
    case CPdu::AlarmCurrentWarn:
        return tr("Current warning");
    case CPdu::AlarmCurrentOverload:
        return tr("Current overload");
    case CPdu::AlarmTemperature:
        return tr("Temperature out of range");
    case ActiveAlarm::kGroupOverBudget:
        return tr("Group load over budget");
    case ActiveAlarm::kGroupAtBreaker:
        return tr("Group load at the breaker rating");
    default:
        return tr("Humidity warning");
    }
}

void CAlarmPanel::retranslate()
{
    m_pTreeAlarms->setHeaderLabels({tr("Name"), tr("Position"), tr("IPAddress"), tr("Condition"), tr("Value"),
                                    tr("Limit"), tr("Since"), tr("Acknowledged")});
    m_pBtnAcknowledge->setText(tr("Acknowledge"));
    m_pBtnAcknowledgeAll->setText(tr("Acknowledge all"));
    slotRefresh();
}

void CAlarmPanel::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    slotRefresh();
}

void CAlarmPanel::slotRefresh()
{
    // Out of sight the list waits; showing it brings it up to date.
    if (!isVisible())
        return;
    const QList<ActiveAlarm> listAlarms = m_pTracker ? m_pTracker->activeAlarms() : QList<ActiveAlarm>();
    QSet<quint64> setSelected;
    for (QTreeWidgetItem* pItem : m_pTreeAlarms->selectedItems())
        setSelected << pItem->data(ColumnName, kIdRole).toULongLong();
    int iUnacknowledged = 0;
    // Rows are reused in place, so the list neither flickers nor loses its scroll position.
    while (m_pTreeAlarms->topLevelItemCount() > listAlarms.size())
        delete m_pTreeAlarms->topLevelItem(m_pTreeAlarms->topLevelItemCount() - 1);
    for (int i = 0; i < listAlarms.size(); ++i) {
        const ActiveAlarm& alarm = listAlarms.at(i);
        QTreeWidgetItem* pItem = m_pTreeAlarms->topLevelItem(i);
        if (!pItem)
            pItem = new QTreeWidgetItem(m_pTreeAlarms);
        const CPdu* pPdu = alarm.pPdu;
        if (!pPdu && !alarm.isGroupAlarm())
            continue;
        iUnacknowledged += alarm.bAcknowledged ? 0 : 1;
        // A group's alarm names the group where a device's names the device.
        const QStringList listTexts{
            pPdu ? deviceText(pPdu->stInfo.name) : tr("Group %1").arg(alarm.strGroup),
            pPdu ? deviceText(pPdu->stInfo.position) : QString(),
            pPdu ? ipv4ToString(pPdu->stInfo.ip) : QString(),
            conditionName(alarm.iCondition),
            pPdu ? pPdu->alarmValue(alarm.iCondition) : alarm.strValue,
            pPdu ? pPdu->alarmLimit(alarm.iCondition) : alarm.strLimit,
            alarm.dtSince.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
            alarm.bAcknowledged ? tr("Yes") : tr("No")};
        for (int iColumn = 0; iColumn < ColumnCount; ++iColumn)
            pItem->setText(iColumn, listTexts.at(iColumn));
        pItem->setData(ColumnName, kIdRole, alarm.uiId);
        // A tool tip takes text that looks like markup for markup; who acknowledged is shown as written.
        pItem->setToolTip(ColumnAcknowledged,
                          alarm.bAcknowledged
                              ? Qt::convertFromPlainText(tr("%1 at %2")
                                                             .arg(alarm.strAcknowledgedBy,
                                                                  alarm.dtAcknowledged.toLocalTime().toString(
                                                                      QStringLiteral("yyyy-MM-dd hh:mm:ss"))))
                              : QString());
        // The style sheet owns the rows' colours: weight and a sign set them apart.
        QFont font = pItem->font(ColumnName);
        font.setBold(!alarm.bAcknowledged);
        for (int iColumn = 0; iColumn < ColumnCount; ++iColumn)
            pItem->setFont(iColumn, font);
        pItem->setIcon(ColumnCondition, alarm.severity() > 1 ? m_iconOverload : QIcon());
        pItem->setSelected(setSelected.contains(alarm.uiId));
    }
    m_pBtnHeader->setText(
        tr("Active alarms: %1, unacknowledged: %2").arg(listAlarms.size()).arg(iUnacknowledged));
    m_pBtnAcknowledge->setEnabled(!m_pTreeAlarms->selectedItems().isEmpty());
    m_pBtnAcknowledgeAll->setEnabled(iUnacknowledged > 0);
}

void CAlarmPanel::on_BtnHeader_clicked()
{
    m_pBody->setVisible(!m_pBody->isVisible());
}

void CAlarmPanel::on_BtnAcknowledge_clicked()
{
    if (!m_pTracker)
        return;
    for (QTreeWidgetItem* pItem : m_pTreeAlarms->selectedItems())
        m_pTracker->acknowledge(pItem->data(ColumnName, kIdRole).toULongLong());
}

void CAlarmPanel::on_BtnAcknowledgeAll_clicked()
{
    if (m_pTracker)
        m_pTracker->acknowledgeAll();
}
