#include "ui/device/OutletActions.h"

#include "common/DeviceText.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "settings/Settings.h"
#include "ui/device/PduLookup.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QSpinBox>
#include <QTreeWidget>

namespace {
COutletActions::PromptHandler& promptHandler()
{
    static COutletActions::PromptHandler handler;
    return handler;
}

QString pduLabel(const CPdu* pPdu)
{
    return QStringLiteral("%1 (%2)").arg(labelText(deviceText(pPdu->stInfo.name)),
                                         pPdu->sendAddress().toString());
}

// A menu takes '&' for the mark of a shortcut: a name's own '&' is doubled so that it reads as it is.
QString menuText(QString strText)
{
    return strText.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

void COutletActions::setPromptHandler(PromptHandler handler)
{
    promptHandler() = std::move(handler);
}

bool COutletActions::prompt(QWidget* pParent, bool bQuestion, const QString& strTitle, const QString& strText)
{
    if (promptHandler())
        return promptHandler()(pParent, bQuestion, strTitle, strText);
    // The text names devices and outlets as they hold them: plain text, or markup in a name would hide
    // which unit the question is about.
    QMessageBox box(bQuestion ? QMessageBox::Question : QMessageBox::Information, strTitle, strText,
                    bQuestion ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, pParent);
    box.setTextFormat(Qt::PlainText);
    if (bQuestion)
        box.setDefaultButton(QMessageBox::No);
    const int iAnswer = box.exec();
    return !bQuestion || iAnswer == QMessageBox::Yes;
}

QString COutletActions::outletLabel(const CPdu* pPdu, int iOutlet)
{
    const QString strCaption = tr("Outlet") + QString::number(iOutlet);
    const QString strName = pPdu ? labelText(deviceText(pPdu->stInfo.outletName[iOutlet - 1])) : QString();
    return strName.isEmpty() ? strCaption : QStringLiteral("%1 (%2)").arg(strCaption, strName);
}

bool COutletActions::mayGoOff(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet,
                              bool bCycle)
{
    if (pControl && pControl->isProtected(pPdu, iOutlet)) {
        prompt(pParent, false, tr("info"),
               tr("%1 of %2 is protected: it cannot be switched off or power cycled from this console until "
                  "it is unprotected.")
                   .arg(outletLabel(pPdu, iOutlet), pduLabel(pPdu)));
        return false;
    }
    if (!g_settings.askBeforeOutletOff)
        return true;
    const QString strText = bCycle ? tr("Power cycle %1 of %2?") : tr("Switch %1 of %2 off?");
    return prompt(pParent, true, tr("question"), strText.arg(outletLabel(pPdu, iOutlet), pduLabel(pPdu)));
}

bool COutletActions::switchOutlet(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet,
                                  bool bOn)
{
    if (!pPdu || !pControl)
        return false;
    if (!bOn && !mayGoOff(pParent, pControl, pPdu, iOutlet, false))
        return false;
    return explainRefusal(pParent, pControl, pPdu, iOutlet, pControl->switchOutlet(pPdu, iOutlet, bOn));
}

bool COutletActions::explainRefusal(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet,
                                    int iRefusal)
{
    switch (iRefusal) {
    case COutletControl::Accepted:
        return true;
    case COutletControl::RefusedBusy:
        prompt(pParent, false, tr("info"), tr("%1 is being power cycled.").arg(outletLabel(pPdu, iOutlet)));
        return false;
    case COutletControl::RefusedMacUnknown:
        prompt(pParent, false, tr("info"),
               tr("%1 of %2 cannot be switched off yet: the device has not told its MAC address, so whether "
                  "it is protected is not known.")
                   .arg(outletLabel(pPdu, iOutlet), pduLabel(pPdu)));
        return false;
    case COutletControl::RefusedSharedAddress:
        prompt(pParent, false, tr("info"),
               tr("%1 of %2 was not switched: another PDU answers from the same address, and the command "
                  "could reach that one instead. Give one of them an address of its own first.")
                   .arg(outletLabel(pPdu, iOutlet), pduLabel(pPdu)));
        return false;
    case COutletControl::RefusedNoJournal:
        prompt(pParent, false, tr("info"),
               tr("%1 was not power cycled: the console cannot record the cycle in %2, and would leave the "
                  "outlet off if it ended before the cycle did.")
                   .arg(outletLabel(pPdu, iOutlet), QDir::toNativeSeparators(pControl->journalPath())));
        return false;
    default:
        return false;
    }
}

void COutletActions::toggleProtected(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet)
{
    QString strError;
    if (pControl && !pControl->setProtected(pPdu, iOutlet, !pControl->isProtected(pPdu, iOutlet), &strError))
        prompt(pParent, false, tr("info"), strError);
}

bool COutletActions::cycleOutlet(QWidget* pParent, COutletControl* pControl, CPdu* pPdu, int iOutlet,
                                 int iDelay)
{
    if (!pPdu || !pControl || !mayGoOff(pParent, pControl, pPdu, iOutlet, true))
        return false;
    return explainRefusal(pParent, pControl, pPdu, iOutlet, pControl->startCycle(pPdu, iOutlet, iDelay));
}

void COutletActions::fillOutletMenu(QMenu* pMenu, QWidget* pParent, COutletControl* pControl, CPdu* pPdu,
                                    int iOutlet)
{
    if (!pPdu || !pControl)
        return;
    // The actions run after the menu has closed: by then the device may be gone.
    const QPointer<CPdu> pDevice(pPdu);
    const COutletControl::Cycle* pCycle = pControl->cycle(pPdu, iOutlet);
    if (pCycle && !pCycle->rules.isOver()) {
        pMenu
            ->addAction(tr("Cancel power cycle (switch back on)"), pParent,
                        [pControl, pDevice, iOutlet] {
                            if (pDevice)
                                pControl->cancelCycle(pDevice, iOutlet);
                        })
            ->setObjectName(QStringLiteral("ActionCancelCycle"));
    } else {
        pMenu
            ->addAction(tr("Power cycle outlet"), pParent,
                        [pParent, pControl, pDevice, iOutlet] {
                            COutletCycleDialog dialog(pParent, pDevice, iOutlet);
                            if (dialog.exec() == QDialog::Accepted)
                                cycleOutlet(pParent, pControl, pDevice, iOutlet, dialog.delay());
                        })
            ->setObjectName(QStringLiteral("ActionCycle"));
    }
    const bool bProtected = pControl->isProtected(pPdu, iOutlet);
    QAction* pProtect = pMenu->addAction(tr("Protected"), pParent, [pParent, pControl, pDevice, iOutlet] {
        if (pDevice)
            toggleProtected(pParent, pControl, pDevice, iOutlet);
    });
    pProtect->setEnabled(pControl->isMacKnown(pPdu));
    pProtect->setObjectName(QStringLiteral("ActionProtect"));
    pProtect->setCheckable(true);
    pProtect->setChecked(bProtected);
}

void COutletActions::fillRowMenu(QMenu* pMenu, QTreeWidget* pTree, COutletControl* pControl, CPdu* pPdu)
{
    if (!pControl)
        return;
    const QPointer<CPdu> pDevice(pPdu);
    QMenu& menu = *pMenu;
    menu.addAction(tr("Power cycle outlet"), pTree,
                   [pTree, pControl, pDevice] {
                       COutletCycleDialog dialog(pTree, pDevice, 0);
                       if (dialog.exec() == QDialog::Accepted)
                           cycleOutlet(pTree, pControl, pDevice, dialog.outlet(), dialog.delay());
                   })
        ->setObjectName(QStringLiteral("ActionCycle"));
    QMenu* pProtect = menu.addMenu(tr("Protected outlets"));
    pProtect->setObjectName(QStringLiteral("MenuProtect"));
    QMenu* pCancel = nullptr;
    for (int i = 1; i <= 8; ++i) {
        QAction* pAction =
            pProtect->addAction(menuText(outletLabel(pPdu, i)), pTree, [pTree, pControl, pDevice, i] {
                if (pDevice)
                    toggleProtected(pTree, pControl, pDevice, i);
            });
        pAction->setEnabled(pControl->isMacKnown(pPdu));
        pAction->setCheckable(true);
        pAction->setChecked(pControl->isProtected(pPdu, i));
        const COutletControl::Cycle* pCycle = pControl->cycle(pPdu, i);
        if (pCycle && !pCycle->rules.isOver()) {
            if (!pCancel) {
                pCancel = menu.addMenu(tr("Cancel power cycle (switch back on)"));
                pCancel->setObjectName(QStringLiteral("MenuCancelCycle"));
            }
            pCancel->addAction(menuText(outletLabel(pPdu, i)), pTree, [pControl, pDevice, i] {
                if (pDevice)
                    pControl->cancelCycle(pDevice, i);
            });
        }
    }
}

COutletCycleDialog::COutletCycleDialog(QWidget* parent, CPdu* pPdu, int iOutlet) : QDialog(parent)
{
    setObjectName(QStringLiteral("OutletCycleDialog"));
    setWindowTitle(COutletActions::tr("Power cycle outlet"));
    m_pComboOutlet = new QComboBox(this);
    m_pComboOutlet->setObjectName(QStringLiteral("ComboOutlet"));
    for (int i = 1; i <= 8; ++i)
        m_pComboOutlet->addItem(COutletActions::outletLabel(pPdu, i), i);
    m_pComboOutlet->setCurrentIndex(qMax(0, iOutlet - 1));
    m_pComboOutlet->setEnabled(iOutlet == 0);
    m_pSpinDelay = new QSpinBox(this);
    m_pSpinDelay->setObjectName(QStringLiteral("SpinDelay"));
    m_pSpinDelay->setRange(COutletControl::kMinDelay, COutletControl::kMaxDelay);
    m_pSpinDelay->setValue(COutletControl::kDefaultDelay);
    m_pSpinDelay->setSuffix(COutletActions::tr(" s"));
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    pButtons->setObjectName(QStringLiteral("ButtonBox"));
    connect(pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QFormLayout(this);
    pLayout->setObjectName(QStringLiteral("LayoutBase"));
    pLayout->addRow(COutletActions::tr("Outlet"), m_pComboOutlet);
    pLayout->addRow(COutletActions::tr("Back on after"), m_pSpinDelay);
    pLayout->addRow(pButtons);
}

int COutletCycleDialog::outlet() const
{
    return m_pComboOutlet->currentData().toInt();
}

int COutletCycleDialog::delay() const
{
    return m_pSpinDelay->value();
}
