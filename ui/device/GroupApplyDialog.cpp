#include "ui/device/GroupApplyDialog.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/GroupApply.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/PduLookup.h"
#include "ui/system/GroupNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

CGroupApplyDialog::CGroupApplyDialog(QWidget* parent, const PduInfo& values, COutletControl* pControl)
    : QDialog(parent), m_values(values), m_pOutletControl(pControl)
{
    setObjectName(QStringLiteral("GroupApplyDialog"));
    setWindowTitle(tr("Apply to group"));
    m_pComboGroup = new QComboBox(this);
    m_pComboGroup->setObjectName(QStringLiteral("ComboGroup"));
    QStringList listGroups{QStringLiteral("Default")};
    for (const QString& strGroup : groupNames())
        if (!listGroups.contains(strGroup))
            listGroups << strGroup;
    if (g_pRackmind)
        for (const CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
            if (!listGroups.contains(pPdu->strGroup))
                listGroups << pPdu->strGroup;
    m_pComboGroup->addItems(listGroups);
    m_pCheckThresholds = new QCheckBox(tr("Thresholds"), this);
    m_pCheckThresholds->setObjectName(QStringLiteral("CheckThresholds"));
    m_pCheckThresholds->setChecked(true);
    m_pCheckDelays = new QCheckBox(tr("Delays"), this);
    m_pCheckDelays->setObjectName(QStringLiteral("CheckDelays"));
    m_pBtnApply = new QPushButton(tr("Apply"), this);
    m_pBtnApply->setObjectName(QStringLiteral("BtnApply"));
    m_pTableResult = new QTableWidget(0, ColumnCount, this);
    m_pTableResult->setObjectName(QStringLiteral("TableResult"));
    m_pTableResult->setHorizontalHeaderLabels({tr("Name"), tr("IPAddress"), tr("Result")});
    m_pTableResult->horizontalHeader()->setStretchLastSection(true);
    m_pTableResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pTableResult->verticalHeader()->hide();
    m_pLabelSummary = new QLabel(this);
    m_pLabelSummary->setObjectName(QStringLiteral("LabelSummary"));
    m_pLabelSummary->setWordWrap(true);
    m_pLabelSummary->setTextFormat(Qt::PlainText);
    auto* pClose = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(pClose, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    auto* pLabelGroup = new QLabel(tr("Group"), this);
    pLayout->addWidget(pLabelGroup);
    pLayout->addWidget(m_pComboGroup);
    pLayout->addWidget(m_pCheckThresholds);
    pLayout->addWidget(m_pCheckDelays);
    pLayout->addWidget(m_pBtnApply);
    pLayout->addWidget(m_pTableResult);
    pLayout->addWidget(m_pLabelSummary);
    pLayout->addWidget(pClose);
    resize(520, 420);

    QMetaObject::connectSlotsByName(this);
}

void CGroupApplyDialog::on_BtnApply_clicked()
{
    if (!g_pRackmind || (!m_pCheckThresholds->isChecked() && !m_pCheckDelays->isChecked()))
        return;
    QList<CPdu*> listPdu;
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        if (pPdu->strGroup == m_pComboGroup->currentText())
            listPdu << pPdu;
    m_pTableResult->setRowCount(listPdu.size());
    for (int i = 0; i < listPdu.size(); ++i) {
        m_pTableResult->setItem(i, ColumnName, new QTableWidgetItem(deviceText(listPdu[i]->stInfo.name)));
        m_pTableResult->setItem(i, ColumnAddress, new QTableWidgetItem(listPdu[i]->sendAddress().toString()));
        m_pTableResult->setItem(i, ColumnResult, new QTableWidgetItem);
    }
    m_pLabelSummary->setText(tr("Waiting for the devices to confirm..."));
    // Each write is its own: it outlives the dialog under the outlet operations and goes when done.
    m_pApply = new CGroupApply(m_pOutletControl ? static_cast<QObject*>(m_pOutletControl.data()) : this);
    connect(m_pApply, &CGroupApply::signalEntryChanged, this, &CGroupApplyDialog::slotEntryChanged);
    connect(m_pApply, &CGroupApply::signalFinished, this, &CGroupApplyDialog::slotFinished);
    connect(m_pApply, &CGroupApply::signalFinished, m_pApply, &QObject::deleteLater);
    // One place for every outlet and group operation of this console to be heard from.
    if (m_pOutletControl)
        connect(m_pApply, &CGroupApply::signalOperation, m_pOutletControl, &COutletControl::signalOperation);
    m_pBtnApply->setEnabled(false);
    m_pApply->start(listPdu, m_values, m_pCheckThresholds->isChecked(), m_pCheckDelays->isChecked());
    for (int i = 0; i < listPdu.size(); ++i)
        slotEntryChanged(i);
}

void CGroupApplyDialog::slotEntryChanged(int iIndex)
{
    if (!m_pApply || iIndex >= m_pTableResult->rowCount() || iIndex >= m_pApply->entries().size())
        return;
    QString strResult;
    switch (m_pApply->entries().at(iIndex).outcome) {
    case CGroupApply::Waiting:
        strResult = tr("Written, waiting");
        break;
    case CGroupApply::Confirmed:
        strResult = tr("Confirmed");
        break;
    case CGroupApply::NotConfirmed:
        strResult = tr("Not confirmed");
        break;
    case CGroupApply::Offline:
        strResult = tr("Offline, not written");
        break;
    }
    m_pTableResult->item(iIndex, ColumnResult)->setText(strResult);
}

void CGroupApplyDialog::slotFinished()
{
    if (!m_pApply || m_pApply->entries().size() != m_pTableResult->rowCount())
        return;
    // Two units may report one address (fresh from the factory, both on its default) or carry one name:
    // each is named by what tells it apart, so that the operator knows which one to look at.
    const QList<CGroupApply::Entry>& listEntries = m_pApply->entries();
    QHash<QString, int> hashNames;
    for (const CGroupApply::Entry& entry : listEntries)
        if (entry.pPdu)
            ++hashNames[deviceText(entry.pPdu->stInfo.name)];
    const auto deviceLabel = [&](int i) {
        const CPdu* pPdu = listEntries.at(i).pPdu;
        if (!pPdu)
            return m_pTableResult->item(i, ColumnAddress)->text();
        const QString strName = deviceText(pPdu->stInfo.name);
        const QString strAddress = pPdu->sendAddress().toString();
        if (strName.isEmpty())
            return QStringLiteral("%1 (%2)").arg(strAddress, macDisplay(pPdu->stInfo.mac));
        if (hashNames.value(strName) > 1)
            return QStringLiteral("%1 (%2, %3)")
                .arg(labelText(strName), strAddress, macDisplay(pPdu->stInfo.mac));
        return QStringLiteral("%1 (%2)").arg(labelText(strName), strAddress);
    };
    QStringList listOffline;
    QStringList listUnconfirmed;
    int iConfirmed = 0;
    for (int i = 0; i < listEntries.size(); ++i) {
        const QString strDevice = deviceLabel(i);
        switch (listEntries.at(i).outcome) {
        case CGroupApply::Confirmed:
            ++iConfirmed;
            break;
        case CGroupApply::Offline:
            listOffline << strDevice;
            break;
        default:
            listUnconfirmed << strDevice;
            break;
        }
    }
    QString strSummary = tr("%1 of %2 confirmed.").arg(iConfirmed).arg(m_pApply->entries().size());
    if (!listOffline.isEmpty())
        strSummary += QLatin1Char('\n') + tr("Offline: %1").arg(listOffline.join(QStringLiteral("; ")));
    if (!listUnconfirmed.isEmpty())
        strSummary +=
            QLatin1Char('\n') + tr("Not confirmed: %1").arg(listUnconfirmed.join(QStringLiteral("; ")));
    m_pLabelSummary->setText(strSummary);
    m_pBtnApply->setEnabled(true);
}
