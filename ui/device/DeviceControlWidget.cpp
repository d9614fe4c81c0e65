#include "ui/device/DeviceControlWidget.h"

#include "common/Clock.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "ui/device/LockMark.h"
#include "ui/device/OutletActions.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHostAddress>
#include <QMenu>
#include <QSpacerItem>
#include <QStyle>
#include <QVariant>

CDeviceControlWidget::CDeviceControlWidget(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < OutletCount; ++i) {
        QCheckBox* pCheck = new QCheckBox(this);
        pCheck->setObjectName(QStringLiteral("CheckOutlet%1").arg(i + 1));
        // Caption first, the on/off picture on its right.
        pCheck->setLayoutDirection(Qt::RightToLeft);
        pCheck->setIconSize(QSize(10, 10));
        pCheck->setEnabled(false);
        pCheck->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(pCheck, &QWidget::customContextMenuRequested, this,
                [this, i](const QPoint& pos) { showOutletMenu(i + 1, pos); });
        m_pCheckOutlet[i] = pCheck;
    }

    m_pLayoutBase = new QGridLayout;
    m_pLayoutBase->setObjectName(QStringLiteral("LayoutBase"));
    m_pLayoutBase->setContentsMargins(0, 20, 0, 30);
    m_pLayoutBase->setHorizontalSpacing(10);
    m_pLayoutBase->setVerticalSpacing(10);
    for (int i = 0; i < OutletCount; ++i)
        m_pLayoutBase->addWidget(m_pCheckOutlet[i], i % 4 + 1, i / 4 + 1, Qt::AlignCenter);
    // Expanding spacers all round keep the block of switches centred.
    const auto spacer = [] { return new QSpacerItem(1, 1, QSizePolicy::Expanding, QSizePolicy::Expanding); };
    m_pLayoutBase->addItem(spacer(), 0, 0, 1, 2);
    m_pLayoutBase->addItem(spacer(), 5, 0, 1, 2);
    m_pLayoutBase->addItem(spacer(), 0, 0, 4, 1);
    m_pLayoutBase->addItem(spacer(), 0, 3, 4, 1);
    setLayout(m_pLayoutBase);

    QMetaObject::connectSlotsByName(this);
    retranslate();
}

void CDeviceControlWidget::setPdu(CPdu* pdu)
{
    m_pPdu = pdu;
    for (int i = 0; i < OutletCount; ++i) {
        // Programmatic changes are not clicks: nothing is sent from here.
        m_pCheckOutlet[i]->setEnabled(pdu != nullptr);
        m_pCheckOutlet[i]->setChecked(pdu && (pdu->stInfo.outletStatus >> i) & 0x01);
        m_bCycling[i] = false;
        refreshOutlet(i + 1);
    }
    followOutletControl();
}

CPdu* CDeviceControlWidget::pdu() const
{
    return m_pPdu;
}

void CDeviceControlWidget::setOutletControl(COutletControl* pControl)
{
    if (m_pOutletControl)
        disconnect(m_pOutletControl.data(), nullptr, this, nullptr);
    m_pOutletControl = pControl;
    followOutletControl();
    for (int i = 0; i < OutletCount; ++i)
        refreshOutlet(i + 1);
}

void CDeviceControlWidget::followOutletControl()
{
    // The outlet operations exist only after login, long after this panel.
    if (!m_pOutletControl)
        return;
    connect(m_pOutletControl, &COutletControl::signalCycleChanged, this,
            &CDeviceControlWidget::slotOutletChanged, Qt::UniqueConnection);
    connect(m_pOutletControl, &COutletControl::signalProtectionChanged, this,
            &CDeviceControlWidget::slotOutletChanged, Qt::UniqueConnection);
}

void CDeviceControlWidget::slotOutletChanged(CPdu* pPdu, int iOutlet)
{
    if (pPdu == m_pPdu && iOutlet >= 1 && iOutlet <= OutletCount)
        refreshOutlet(iOutlet);
}

void CDeviceControlWidget::refreshOutlet(int iOutlet)
{
    QCheckBox* pCheck = m_pCheckOutlet[iOutlet - 1];
    QString strCaption = tr("Outlet") + QString::number(iOutlet);
    const COutletControl::Cycle* pCycle =
        m_pPdu && m_pOutletControl ? m_pOutletControl->cycle(m_pPdu, iOutlet) : nullptr;
    if (pCycle) {
        // Off while it counts down; a click or a second cycle is refused until the cycle ends. The state
        // goes on a second line: the panel is too narrow for a longer caption.
        strCaption += QLatin1Char('\n') + cycleText(*pCycle);
        pCheck->setChecked(pCycle->rules.phase() == COutletCycle::Failed &&
                           (m_pPdu->stInfo.outletStatus >> (iOutlet - 1)) & 0x01);
    } else if (m_bCycling[iOutlet - 1]) {
        pCheck->setChecked(m_pPdu && (m_pPdu->stInfo.outletStatus >> (iOutlet - 1)) & 0x01);
    }
    m_bCycling[iOutlet - 1] = pCycle != nullptr;
    // Still enabled, for the menu that cancels the cycle; a click on it is refused.
    pCheck->setEnabled(m_pPdu != nullptr);
    // An offline device's outlets are shown as last reported, greyed: they may have changed since.
    const bool bStale = m_pPdu && !m_pPdu->isOnline();
    if (pCheck->property("stale").toBool() != bStale) {
        pCheck->setProperty("stale", bStale);
        pCheck->style()->unpolish(pCheck);
        pCheck->style()->polish(pCheck);
    }
    const bool bProtected = m_pOutletControl && m_pOutletControl->isProtected(m_pPdu, iOutlet);
    pCheck->setIcon(bProtected ? lockMarkIcon() : QIcon());
    if (pCheck->text() != strCaption)
        pCheck->setText(strCaption);
}

QString CDeviceControlWidget::cycleText(const COutletControl::Cycle& c) const
{
    const qint64 iNow = Clock::elapsedMs();
    switch (c.rules.phase()) {
    case COutletCycle::WaitingOff:
        return c.rules.isSilent(iNow) ? tr("retrying") : tr("waiting for off");
    case COutletCycle::CountingOn:
        return tr("%1 s").arg(c.rules.secondsLeft(iNow));
    case COutletCycle::Failed:
        return tr("did not switch off");
    default:
        return c.rules.isSilent(iNow) ? tr("retrying") : tr("busy");
    }
}

void CDeviceControlWidget::showOutletMenu(int iOutlet, const QPoint& pos)
{
    if (!m_pPdu || !m_pOutletControl)
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("MenuOutlet"));
    COutletActions::fillOutletMenu(&menu, this, m_pOutletControl, m_pPdu, iOutlet);
    menu.exec(m_pCheckOutlet[iOutlet - 1]->mapToGlobal(pos));
}

void CDeviceControlWidget::retranslate()
{
    // Runs on every overview tick, which also keeps a cycle's countdown current.
    for (int i = 0; i < OutletCount; ++i)
        refreshOutlet(i + 1);
}

void CDeviceControlWidget::switchOutlet(int iOutlet, bool bOn)
{
    if (!m_pPdu)
        return;
    if (!m_pOutletControl) {
        emit m_pPdu->signalOutletSwitch(iOutlet, bOn);
        bool bResult = true;
        emit m_pPdu->signalSndData(bResult, buildOutletSwitchFrame(iOutlet, bOn), m_pPdu->sendAddress(),
                                   m_pPdu->stInfo.udpPort);
        return;
    }
    // Refused (protected, or the operator said no): the switch goes back to what it showed.
    if (COutletActions::switchOutlet(this, m_pOutletControl, m_pPdu, iOutlet, bOn))
        emit m_pPdu->signalOutletSwitch(iOutlet, bOn);
    else
        m_pCheckOutlet[iOutlet - 1]->setChecked(!bOn);
}

void CDeviceControlWidget::on_CheckOutlet1_clicked(bool bChecked)
{
    switchOutlet(1, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet2_clicked(bool bChecked)
{
    switchOutlet(2, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet3_clicked(bool bChecked)
{
    switchOutlet(3, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet4_clicked(bool bChecked)
{
    switchOutlet(4, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet5_clicked(bool bChecked)
{
    switchOutlet(5, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet6_clicked(bool bChecked)
{
    switchOutlet(6, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet7_clicked(bool bChecked)
{
    switchOutlet(7, bChecked);
}
void CDeviceControlWidget::on_CheckOutlet8_clicked(bool bChecked)
{
    switchOutlet(8, bChecked);
}
