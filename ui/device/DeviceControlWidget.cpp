#include "ui/device/DeviceControlWidget.h"

#include "device/Pdu.h"
#include "device/Protocol.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHostAddress>
#include <QSpacerItem>

CDeviceControlWidget::CDeviceControlWidget(QWidget* parent) : QWidget(parent)
{
    for (int i = 0; i < OutletCount; ++i) {
        QCheckBox* pCheck = new QCheckBox(this);
        pCheck->setObjectName(QStringLiteral("CheckOutlet%1").arg(i + 1));
        // Caption first, the on/off picture on its right.
        pCheck->setLayoutDirection(Qt::RightToLeft);
        pCheck->setEnabled(false);
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
    }
}

void CDeviceControlWidget::retranslate()
{
    for (int i = 0; i < OutletCount; ++i)
        m_pCheckOutlet[i]->setText(tr("Outlet") + QString::number(i + 1));
}

void CDeviceControlWidget::switchOutlet(int iOutlet, bool bOn)
{
    if (!m_pPdu)
        return;
    emit m_pPdu->signalOutletSwitch(iOutlet, bOn);
    bool bResult = true;
    emit m_pPdu->signalSndData(bResult, buildOutletSwitchFrame(iOutlet, bOn), m_pPdu->sendAddress(),
                               m_pPdu->stInfo.udpPort);
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
