#include "ui/system/SequenceDialog.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/OutletActions.h"
#include "ui/system/OutletSetDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QSpinBox>
#include <QTableWidget>

namespace {
const QString kSetPrefix = QStringLiteral("set:");

QString targetOf(const SequenceStep& step)
{
    return step.strSet.isEmpty() ? step.outlet.text() : kSetPrefix + step.strSet;
}

QPushButton* button(QWidget* pParent, const char* pszName, const QString& strText)
{
    auto* pButton = new QPushButton(strText, pParent);
    pButton->setObjectName(QLatin1String(pszName));
    return pButton;
}
} // namespace

CSequenceDialog::CSequenceDialog(QWidget* parent, const OutletSequence& sequence, const OutletSetsData& data,
                                 SaveHandler fnSave)
    : QDialog(parent), m_fnSave(std::move(fnSave))
{
    setObjectName(QStringLiteral("SequenceDialog"));
    setWindowTitle(sequence.strName.isEmpty() ? tr("New sequence") : tr("Sequence %1").arg(sequence.strName));
    for (const OutletSet& set : data.mapSets)
        m_listTargets << qMakePair(kSetPrefix + set.strName, tr("set %1").arg(set.strName));
    QSet<QString> setListed;
    for (CPdu* pPdu : g_pRackmind ? g_pRackmind->listPdu : QList<CPdu*>()) {
        const QString strMac = macDigits(pPdu->stInfo.mac);
        if (!pPdu->bMacKnown || setListed.contains(strMac))
            continue;
        setListed.insert(strMac);
        const QString strDevice = labelText(deviceText(pPdu->stInfo.name));
        for (int i = 1; i <= 8; ++i)
            m_listTargets << qMakePair(
                OutletRef{strMac, i}.text(),
                QStringLiteral("%1 (%2): %3")
                    .arg(strDevice, pPdu->sendAddress().toString(), COutletActions::outletLabel(pPdu, i)));
    }
    // A step's outlet whose PDU is not in the room stays choosable, so that the step keeps it.
    for (const SequenceStep& step : sequence.listSteps)
        if (step.strSet.isEmpty() && !setListed.contains(step.outlet.strMac))
            m_listTargets << qMakePair(step.outlet.text(),
                                       tr("%1 (not in the room)").arg(step.outlet.text()));

    m_pEditName = new QLineEdit(sequence.strName, this);
    m_pEditName->setObjectName(QStringLiteral("EditSequenceName"));
    m_pEditName->setReadOnly(!sequence.strName.isEmpty());
    m_pTable = new QTableWidget(0, 3, this);
    m_pTable->setObjectName(QStringLiteral("TableSteps"));
    m_pTable->setHorizontalHeaderLabels({tr("Set or outlet"), tr("Switch"), tr("Then wait")});
    m_pTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pTable->horizontalHeader()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    m_pTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_pTable->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pTable->setMinimumSize(600, 300);
    for (const SequenceStep& s : sequence.listSteps)
        addStep(s, m_pTable->rowCount());
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->setObjectName(QStringLiteral("ButtonBox"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &CSequenceDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QGridLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    pLayout->addWidget(new QLabel(tr("Name"), this), 0, 0);
    pLayout->addWidget(m_pEditName, 0, 1, 1, 4);
    pLayout->addWidget(m_pTable, 1, 0, 1, 5);
    pLayout->addWidget(button(this, "ButtonAddStep", tr("Add step")), 2, 0);
    pLayout->addWidget(button(this, "ButtonRemoveStep", tr("Remove step")), 2, 1);
    pLayout->addWidget(button(this, "ButtonStepUp", tr("Up")), 2, 2);
    pLayout->addWidget(button(this, "ButtonStepDown", tr("Down")), 2, 3);
    pLayout->addWidget(pButtons, 3, 0, 1, 5);
    pLayout->setColumnStretch(4, 1);
    QMetaObject::connectSlotsByName(this);
}

void CSequenceDialog::addStep(const SequenceStep& step, int iRow)
{
    m_pTable->insertRow(iRow);
    auto* pTarget = new QComboBox(m_pTable);
    for (const auto& target : qAsConst(m_listTargets))
        pTarget->addItem(target.second, target.first);
    pTarget->setCurrentIndex(qMax(0, pTarget->findData(targetOf(step))));
    auto* pSwitch = new QComboBox(m_pTable);
    pSwitch->addItem(tr("on"), true);
    pSwitch->addItem(tr("off"), false);
    pSwitch->setCurrentIndex(step.bOn ? 0 : 1);
    auto* pWait = new QSpinBox(m_pTable);
    pWait->setRange(0, 3600);
    pWait->setValue(step.iWaitSecs);
    pWait->setSuffix(COutletActions::tr(" s"));
    m_pTable->setCellWidget(iRow, 0, pTarget);
    m_pTable->setCellWidget(iRow, 1, pSwitch);
    m_pTable->setCellWidget(iRow, 2, pWait);
}

SequenceStep CSequenceDialog::step(int iRow) const
{
    SequenceStep s;
    const QString strTarget =
        qobject_cast<QComboBox*>(m_pTable->cellWidget(iRow, 0))->currentData().toString();
    if (strTarget.startsWith(kSetPrefix))
        s.strSet = strTarget.mid(kSetPrefix.size());
    else
        OutletRef::parse(strTarget, &s.outlet);
    s.bOn = qobject_cast<QComboBox*>(m_pTable->cellWidget(iRow, 1))->currentData().toBool();
    s.iWaitSecs = qobject_cast<QSpinBox*>(m_pTable->cellWidget(iRow, 2))->value();
    return s;
}

OutletSequence CSequenceDialog::sequence() const
{
    OutletSequence sequence;
    sequence.strName = m_pEditName->text().trimmed();
    for (int i = 0; i < m_pTable->rowCount(); ++i)
        sequence.listSteps << step(i);
    return sequence;
}

void CSequenceDialog::accept()
{
    const OutletSequence wanted = sequence();
    QString strWhy;
    if (!COutletSets::isValidName(wanted.strName))
        strWhy = COutletSetDialog::nameRule();
    else if (wanted.listSteps.isEmpty())
        strWhy = tr("Add at least one step.");
    else if (m_fnSave && !m_fnSave(wanted, &strWhy) && strWhy.isEmpty())
        strWhy = tr("The sequence was not stored.");
    if (!strWhy.isEmpty()) {
        COutletActions::prompt(this, false, tr("info"), strWhy);
        return;
    }
    QDialog::accept();
}

void CSequenceDialog::on_ButtonAddStep_clicked()
{
    if (m_listTargets.isEmpty())
        return;
    const int iRow = m_pTable->currentRow() < 0 ? m_pTable->rowCount() : m_pTable->currentRow() + 1;
    addStep(SequenceStep(), iRow);
    m_pTable->selectRow(iRow);
}

void CSequenceDialog::on_ButtonRemoveStep_clicked()
{
    if (m_pTable->currentRow() >= 0)
        m_pTable->removeRow(m_pTable->currentRow());
}

void CSequenceDialog::moveStep(int iBy)
{
    const int iRow = m_pTable->currentRow(), iTo = iRow + iBy;
    if (iRow < 0 || iTo < 0 || iTo >= m_pTable->rowCount())
        return;
    const SequenceStep s = step(iRow);
    m_pTable->removeRow(iRow);
    addStep(s, iTo);
    m_pTable->selectRow(iTo);
}

void CSequenceDialog::on_ButtonStepUp_clicked()
{
    moveStep(-1);
}

void CSequenceDialog::on_ButtonStepDown_clicked()
{
    moveStep(1);
}
