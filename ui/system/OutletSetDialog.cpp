#include "ui/system/OutletSetDialog.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/OutletActions.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QSet>
#include <QTreeWidget>

namespace {
constexpr int kOutletRole = Qt::UserRole;

QTreeWidgetItem* addOutlet(QTreeWidgetItem* pParent, const QString& strText, int iOutlet, bool bChecked)
{
    auto* pItem = new QTreeWidgetItem(pParent, {strText});
    pItem->setData(0, kOutletRole, iOutlet);
    pItem->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    pItem->setCheckState(0, bChecked ? Qt::Checked : Qt::Unchecked);
    return pItem;
}
} // namespace

COutletSetDialog::COutletSetDialog(QWidget* parent, const OutletSet& set, SaveHandler fnSave)
    : QDialog(parent), m_fnSave(std::move(fnSave))
{
    setObjectName(QStringLiteral("OutletSetDialog"));
    setWindowTitle(set.strName.isEmpty() ? tr("New outlet set") : tr("Outlet set %1").arg(set.strName));
    m_pEditName = new QLineEdit(set.strName, this);
    m_pEditName->setObjectName(QStringLiteral("EditSetName"));
    m_pEditName->setReadOnly(!set.strName.isEmpty());
    m_pTree = new QTreeWidget(this);
    m_pTree->setObjectName(QStringLiteral("TreeOutlets"));
    m_pTree->setHeaderLabels({tr("PDU and outlet"), tr("MAC")});
    m_pTree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pTree->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pTree->header()->setStretchLastSection(false);
    m_pTree->setMinimumSize(520, 440);
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->setObjectName(QStringLiteral("ButtonBox"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &COutletSetDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QFormLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    pLayout->addRow(tr("Name"), m_pEditName);
    pLayout->addRow(m_pTree);
    pLayout->addRow(pButtons);
    fill(set);
}

void COutletSetDialog::fill(const OutletSet& set)
{
    QSet<QString> setMembers, setListed;
    for (const OutletRef& ref : set.listOutlets)
        setMembers.insert(ref.text());
    // Only devices that told their MAC: a set keeps its outlets by MAC.
    for (CPdu* pPdu : g_pRackmind ? g_pRackmind->listPdu : QList<CPdu*>()) {
        const QString strMac = macDigits(pPdu->stInfo.mac);
        if (!pPdu->bMacKnown || setListed.contains(strMac))
            continue;
        setListed.insert(strMac);
        auto* pDevice = new QTreeWidgetItem(
            m_pTree, {QStringLiteral("%1 (%2)").arg(labelText(deviceText(pPdu->stInfo.name)),
                                                    pPdu->sendAddress().toString()),
                      macDisplay(pPdu->stInfo.mac)});
        pDevice->setData(0, Qt::UserRole, strMac);
        bool bAny = false;
        for (int i = 1; i <= 8; ++i) {
            const bool bMember = setMembers.contains(OutletRef{strMac, i}.text());
            addOutlet(pDevice, COutletActions::outletLabel(pPdu, i), i, bMember);
            bAny = bAny || bMember;
        }
        pDevice->setExpanded(bAny);
    }
    QMap<QString, QTreeWidgetItem*> mapAbsent;
    for (const OutletRef& ref : set.listOutlets) {
        if (setListed.contains(ref.strMac))
            continue;
        QTreeWidgetItem*& pDevice = mapAbsent[ref.strMac];
        if (!pDevice) {
            QString strMac = ref.strMac;
            for (int i = 10; i > 0; i -= 2)
                strMac.insert(i, QLatin1Char(':'));
            pDevice = new QTreeWidgetItem(m_pTree, {tr("PDU not in the room"), strMac});
            pDevice->setData(0, Qt::UserRole, ref.strMac);
            pDevice->setExpanded(true);
        }
        addOutlet(pDevice, tr("Outlet") + QString::number(ref.iOutlet), ref.iOutlet, true);
    }
}

QString COutletSetDialog::nameRule()
{
    return tr("A name is made of letters, digits and - _ . + @ : (no spaces, not starting with -), at most "
              "%1 "
              "characters.")
        .arg(int(COutletSets::MaxNameLength));
}

OutletSet COutletSetDialog::set() const
{
    OutletSet set;
    set.strName = m_pEditName->text().trimmed();
    for (int i = 0; i < m_pTree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* pDevice = m_pTree->topLevelItem(i);
        for (int j = 0; j < pDevice->childCount(); ++j)
            if (pDevice->child(j)->checkState(0) == Qt::Checked)
                set.listOutlets << OutletRef{pDevice->data(0, Qt::UserRole).toString(),
                                             pDevice->child(j)->data(0, kOutletRole).toInt()};
    }
    return set;
}

void COutletSetDialog::accept()
{
    const OutletSet wanted = set();
    QString strWhy;
    if (!COutletSets::isValidName(wanted.strName))
        strWhy = nameRule();
    else if (wanted.listOutlets.isEmpty())
        strWhy = tr("Pick at least one outlet.");
    else if (m_fnSave && !m_fnSave(wanted, &strWhy) && strWhy.isEmpty())
        strWhy = tr("The set was not stored.");
    if (!strWhy.isEmpty()) {
        COutletActions::prompt(this, false, tr("info"), strWhy);
        return;
    }
    QDialog::accept();
}
