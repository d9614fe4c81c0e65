#include "ui/system/OutletSetsWidget.h"

#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/OutletSetControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "settings/Settings.h"
#include "ui/device/OutletActions.h"
#include "ui/system/OutletSetDialog.h"
#include "ui/system/SequenceDialog.h"
#include "ui/system/SequenceProgressWidget.h"

#include <QGridLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>

namespace {
QPushButton* button(QWidget* pParent, const char* pszName)
{
    auto* pButton = new QPushButton(pParent);
    pButton->setObjectName(QLatin1String(pszName));
    return pButton;
}

QTreeWidget* tree(QWidget* pParent, const char* pszName)
{
    auto* pTree = new QTreeWidget(pParent);
    pTree->setObjectName(QLatin1String(pszName));
    pTree->header()->setStretchLastSection(true);
    pTree->setUniformRowHeights(true);
    return pTree;
}

// Runs fnRun; protected outlets in the way are named and, if the operator says so, overridden on record.
void withOverride(QWidget* pParent, const std::function<COutletSetControl::Result(bool, QString*)>& fnRun)
{
    QString strWhy;
    auto result = fnRun(false, &strWhy);
    if (result == COutletSetControl::NeedsOverride &&
        COutletActions::prompt(pParent, true, COutletSetsWidget::tr("question"),
                               COutletSetsWidget::tr("%1\n\nSwitch them off anyway? The override is recorded "
                                                     "in the event log.")
                                   .arg(strWhy)))
        result = fnRun(true, &strWhy);
    if (result == COutletSetControl::Refused)
        COutletActions::prompt(pParent, false, COutletSetsWidget::tr("info"), strWhy);
}

QString nameOf(const QTreeWidget* pTree)
{
    const QTreeWidgetItem* pItem = pTree->currentItem();
    while (pItem && pItem->parent())
        pItem = pItem->parent();
    return pItem ? pItem->text(0) : QString();
}
} // namespace

COutletSetsWidget::COutletSetsWidget(QWidget* parent) : QWidget(parent)
{
    m_pLabelSets = new QLabel(this);
    m_pLabelSequences = new QLabel(this);
    m_pLabelError = new QLabel(this);
    m_pLabelError->setObjectName(QStringLiteral("LabelSetsError"));
    m_pLabelError->setWordWrap(true);
    m_pLabelError->setTextFormat(Qt::PlainText);
    m_pLabelError->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_pLabelError->hide();
    m_pTreeSets = tree(this, "TreeSets");
    m_pTreeSets->setColumnCount(2);
    m_pTreeSequences = tree(this, "TreeSequences");
    m_pButtonNewSet = button(this, "ButtonNewSet");
    m_pButtonEditSet = button(this, "ButtonEditSet");
    m_pButtonRemoveSet = button(this, "ButtonRemoveSet");
    m_pButtonSetOn = button(this, "ButtonSetOn");
    m_pButtonSetOff = button(this, "ButtonSetOff");
    m_pButtonSetCycle = button(this, "ButtonSetCycle");
    m_pButtonSetCancel = button(this, "ButtonSetCancel");
    m_pSpinDelay = new QSpinBox(this);
    m_pSpinDelay->setObjectName(QStringLiteral("SpinSetDelay"));
    m_pSpinDelay->setRange(1, 600);
    m_pSpinDelay->setValue(5);
    m_pButtonNewSequence = button(this, "ButtonNewSequence");
    m_pButtonEditSequence = button(this, "ButtonEditSequence");
    m_pButtonRemoveSequence = button(this, "ButtonRemoveSequence");
    m_pButtonRunSequence = button(this, "ButtonRunSequence");
    m_pProgress = new CSequenceProgressWidget(this);
    m_pProgress->setObjectName(QStringLiteral("SequenceProgressWidget"));

    auto* pSetButtons = new QGridLayout;
    pSetButtons->addWidget(m_pButtonNewSet, 0, 0);
    pSetButtons->addWidget(m_pButtonEditSet, 0, 1);
    pSetButtons->addWidget(m_pButtonRemoveSet, 0, 2);
    pSetButtons->addWidget(m_pButtonSetOn, 1, 0);
    pSetButtons->addWidget(m_pButtonSetOff, 1, 1);
    pSetButtons->addWidget(m_pButtonSetCycle, 1, 2);
    pSetButtons->addWidget(m_pSpinDelay, 1, 3);
    pSetButtons->addWidget(m_pButtonSetCancel, 1, 4);
    auto* pSequenceButtons = new QGridLayout;
    pSequenceButtons->addWidget(m_pButtonNewSequence, 0, 0);
    pSequenceButtons->addWidget(m_pButtonEditSequence, 0, 1);
    pSequenceButtons->addWidget(m_pButtonRemoveSequence, 0, 2);
    pSequenceButtons->addWidget(m_pButtonRunSequence, 0, 3);
    auto* pLayout = new QGridLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutSets"));
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pLabelError, 0, 0, 1, 2);
    pLayout->addWidget(m_pLabelSets, 1, 0);
    pLayout->addWidget(m_pLabelSequences, 1, 1);
    pLayout->addWidget(m_pTreeSets, 2, 0);
    pLayout->addWidget(m_pTreeSequences, 2, 1);
    pLayout->addLayout(pSetButtons, 3, 0, Qt::AlignLeft | Qt::AlignTop);
    pLayout->addLayout(pSequenceButtons, 3, 1, Qt::AlignLeft | Qt::AlignTop);
    pLayout->addWidget(m_pProgress, 4, 1);
    pLayout->setRowStretch(2, 1);
    pLayout->setColumnStretch(0, 1);
    pLayout->setColumnStretch(1, 1);

    m_timerStates.setInterval(1000);
    connect(&m_timerStates, &QTimer::timeout, this, &COutletSetsWidget::showSetStates);
    connect(m_pTreeSets, &QTreeWidget::currentItemChanged, this, &COutletSetsWidget::updateButtons);
    connect(m_pTreeSequences, &QTreeWidget::currentItemChanged, this, &COutletSetsWidget::updateButtons);
    QMetaObject::connectSlotsByName(this);
    retranslate();
    updateButtons();
}

void COutletSetsWidget::setControl(COutletSetControl* pControl)
{
    m_pControl = pControl;
    m_pProgress->setControl(pControl);
    if (pControl)
        connect(pControl, &COutletSetControl::signalSetChanged, this, &COutletSetsWidget::showSetStates);
    if (pControl)
        connect(pControl, &COutletSetControl::signalSequenceChanged, this, &COutletSetsWidget::updateButtons);
    refresh();
}

void COutletSetsWidget::retranslate()
{
    m_pLabelSets->setText(tr("Outlet sets"));
    m_pLabelSequences->setText(tr("Sequences"));
    m_pTreeSets->setHeaderLabels({tr("Set and outlets"), tr("State")});
    m_pTreeSequences->setHeaderLabels({tr("Sequence and steps")});
    m_pButtonNewSet->setText(tr("New set"));
    m_pButtonEditSet->setText(tr("Edit"));
    m_pButtonRemoveSet->setText(tr("Remove"));
    m_pButtonSetOn->setText(tr("On"));
    m_pButtonSetOff->setText(tr("Off"));
    m_pButtonSetCycle->setText(tr("Power cycle"));
    m_pButtonSetCancel->setText(tr("Cancel"));
    m_pSpinDelay->setSuffix(COutletActions::tr(" s"));
    m_pSpinDelay->setToolTip(COutletActions::tr("Back on after"));
    m_pButtonNewSequence->setText(tr("New sequence"));
    m_pButtonEditSequence->setText(tr("Edit"));
    m_pButtonRemoveSequence->setText(tr("Remove"));
    m_pButtonRunSequence->setText(tr("Run"));
    m_pProgress->retranslate();
    refresh();
}

void COutletSetsWidget::showEvent(QShowEvent* event)
{
    refresh();
    QWidget::showEvent(event);
}

void COutletSetsWidget::refresh()
{
    const QString strSet = currentSet(), strSequence = currentSequence();
    m_pTreeSets->clear();
    m_pTreeSequences->clear();
    QString strError;
    if (!m_pControl || !m_pControl->reload(&strError)) {
        m_pLabelError->setText(m_pControl ? tr("The outlet sets cannot be read: %1").arg(strError)
                                          : QString());
        m_pLabelError->setVisible(m_pControl);
        updateButtons();
        return;
    }
    m_pLabelError->hide();
    // Members name their PDU by MAC: one index for the whole list.
    QHash<QString, CPdu*> hashByMac;
    for (CPdu* pPdu : g_pRackmind ? g_pRackmind->listPdu : QList<CPdu*>())
        if (pPdu->bMacKnown && !hashByMac.contains(macDigits(pPdu->stInfo.mac)))
            hashByMac.insert(macDigits(pPdu->stInfo.mac), pPdu);
    const OutletSetsData& data = m_pControl->file().data();
    for (const OutletSet& set : data.mapSets) {
        auto* pItem = new QTreeWidgetItem(m_pTreeSets, {set.strName});
        for (const OutletRef& ref : set.listOutlets) {
            const CPdu* pPdu = hashByMac.value(ref.strMac);
            const QString strDevice =
                pPdu ? QStringLiteral("%1 (%2)").arg(labelText(deviceText(pPdu->stInfo.name)),
                                                     pPdu->sendAddress().toString())
                     : tr("%1 (not in the room)").arg(ref.strMac);
            new QTreeWidgetItem(
                pItem, {strDevice + QStringLiteral(": ") + COutletActions::outletLabel(pPdu, ref.iOutlet)});
        }
        if (set.strName == strSet)
            m_pTreeSets->setCurrentItem(pItem);
    }
    for (const OutletSequence& sequence : data.mapSequences) {
        auto* pItem = new QTreeWidgetItem(m_pTreeSequences, {sequence.strName});
        for (int i = 0; i < sequence.listSteps.size(); ++i)
            new QTreeWidgetItem(pItem, {CSequenceProgressWidget::stepLine(
                                           i, m_pControl->stepText(sequence.listSteps.at(i), hashByMac),
                                           sequence.listSteps.at(i).iWaitSecs)});
        if (sequence.strName == strSequence)
            m_pTreeSequences->setCurrentItem(pItem);
    }
    // Every set with its outlets and every sequence with its steps at a glance.
    m_pTreeSets->expandAll();
    m_pTreeSequences->expandAll();
    m_pTreeSets->resizeColumnToContents(0);
    showSetStates();
}

void COutletSetsWidget::showSetStates()
{
    bool bRunning = false;
    for (int i = 0; m_pControl && i < m_pTreeSets->topLevelItemCount(); ++i) {
        QTreeWidgetItem* pItem = m_pTreeSets->topLevelItem(i);
        pItem->setText(1, m_pControl->setState(pItem->text(0)));
        bRunning = bRunning || !pItem->text(1).isEmpty();
    }
    bRunning ? m_timerStates.start() : m_timerStates.stop();
    updateButtons();
}

void COutletSetsWidget::updateButtons()
{
    const bool bFile = m_pControl && !m_pLabelError->isVisible();
    const QString strSet = currentSet();
    const bool bRunning = bFile && !strSet.isEmpty() && m_pControl->isSetRunning(strSet);
    m_pButtonNewSet->setEnabled(bFile);
    m_pButtonNewSequence->setEnabled(bFile);
    for (QPushButton* pButton :
         {m_pButtonEditSet, m_pButtonRemoveSet, m_pButtonSetOn, m_pButtonSetOff, m_pButtonSetCycle})
        pButton->setEnabled(bFile && !strSet.isEmpty() && !bRunning);
    m_pButtonSetCancel->setEnabled(bRunning);
    const bool bSequence = bFile && !currentSequence().isEmpty();
    const bool bSequenceRunning = m_pControl && m_pControl->sequence().isRunning();
    m_pButtonEditSequence->setEnabled(bSequence);
    m_pButtonRemoveSequence->setEnabled(bSequence);
    m_pButtonRunSequence->setEnabled(bSequence && !bSequenceRunning);
}

QString COutletSetsWidget::currentSet() const
{
    return nameOf(m_pTreeSets);
}

QString COutletSetsWidget::currentSequence() const
{
    return nameOf(m_pTreeSequences);
}

// Stores a set or a sequence under its name in the file; a new one may not take an existing name.
template <typename T>
bool COutletSetsWidget::store(QMap<QString, T> OutletSetsData::*pMap, const T& wanted, bool bNew,
                              const QString& strExists, QString* pWhy)
{
    return m_pControl->file().change(
        [&](OutletSetsData& data, QString* pRefusal) {
            if (bNew && (data.*pMap).contains(wanted.strName)) {
                *pRefusal = strExists.arg(wanted.strName);
                return false;
            }
            (data.*pMap).insert(wanted.strName, wanted);
            return true;
        },
        pWhy);
}

void COutletSetsWidget::editSet(const QString& strName)
{
    const bool bNew = strName.isEmpty();
    COutletSetDialog dialog(this, m_pControl->file().data().mapSets.value(strName),
                            [this, bNew](const OutletSet& wanted, QString* pWhy) {
                                return store(&OutletSetsData::mapSets, wanted, bNew,
                                             tr("A set named %1 exists already."), pWhy);
                            });
    if (dialog.exec() == QDialog::Accepted)
        refresh();
}

void COutletSetsWidget::editSequence(const QString& strName)
{
    const bool bNew = strName.isEmpty();
    CSequenceDialog dialog(this, m_pControl->file().data().mapSequences.value(strName),
                           m_pControl->file().data(),
                           [this, bNew](const OutletSequence& wanted, QString* pWhy) {
                               return store(&OutletSetsData::mapSequences, wanted, bNew,
                                            tr("A sequence named %1 exists already."), pWhy);
                           });
    if (dialog.exec() == QDialog::Accepted)
        refresh();
}

void COutletSetsWidget::removeEntry(bool bSequence, const QString& strName)
{
    const QString strQuestion =
        bSequence ? tr("Remove the sequence %1?").arg(strName) : tr("Remove the outlet set %1?").arg(strName);
    if (strName.isEmpty() || !COutletActions::prompt(this, true, tr("question"), strQuestion))
        return;
    QString strWhy;
    if (!m_pControl->file().change(
            [&](OutletSetsData& data, QString*) {
                bSequence ? data.mapSequences.remove(strName) : data.mapSets.remove(strName);
                return true;
            },
            &strWhy))
        COutletActions::prompt(this, false, tr("info"), strWhy);
    refresh();
}

void COutletSetsWidget::runSet(int iOperation)
{
    const QString strSet = currentSet();
    const auto op = COutletSetControl::Operation(iOperation);
    if (strSet.isEmpty() || !m_pControl)
        return;
    if (op != COutletSetControl::SwitchOn && g_settings.askBeforeOutletOff &&
        !COutletActions::prompt(this, true, tr("question"),
                                op == COutletSetControl::Cycle
                                    ? tr("Power cycle the outlet set %1?").arg(strSet)
                                    : tr("Switch the outlet set %1 off?").arg(strSet)))
        return;
    withOverride(this, [&](bool bOverride, QString* pWhy) {
        return m_pControl->runSet(strSet, op, m_pSpinDelay->value(), bOverride, pWhy);
    });
    showSetStates();
}

void COutletSetsWidget::on_ButtonNewSet_clicked()
{
    editSet(QString());
}

void COutletSetsWidget::on_ButtonEditSet_clicked()
{
    editSet(currentSet());
}

void COutletSetsWidget::on_ButtonRemoveSet_clicked()
{
    removeEntry(false, currentSet());
}

void COutletSetsWidget::on_ButtonSetOn_clicked()
{
    runSet(COutletSetControl::SwitchOn);
}

void COutletSetsWidget::on_ButtonSetOff_clicked()
{
    runSet(COutletSetControl::SwitchOff);
}

void COutletSetsWidget::on_ButtonSetCycle_clicked()
{
    runSet(COutletSetControl::Cycle);
}

void COutletSetsWidget::on_ButtonSetCancel_clicked()
{
    if (m_pControl)
        m_pControl->cancelSet(currentSet());
}

void COutletSetsWidget::on_ButtonNewSequence_clicked()
{
    editSequence(QString());
}

void COutletSetsWidget::on_ButtonEditSequence_clicked()
{
    editSequence(currentSequence());
}

void COutletSetsWidget::on_ButtonRemoveSequence_clicked()
{
    removeEntry(true, currentSequence());
}

void COutletSetsWidget::on_ButtonRunSequence_clicked()
{
    const QString strName = currentSequence();
    if (strName.isEmpty() || !m_pControl)
        return;
    if (g_settings.askBeforeOutletOff &&
        !COutletActions::prompt(this, true, tr("question"), tr("Run the sequence %1?").arg(strName)))
        return;
    withOverride(this, [&](bool bOverride, QString* pWhy) {
        return m_pControl->startSequence(strName, bOverride, pWhy);
    });
    updateButtons();
}
