#pragma once

#include "device/OutletControl.h"

#include <QPointer>
#include <QWidget>

class CPdu;
class QCheckBox;
class QGridLayout;

// The eight outlet switches of the current device. A click sends the outlet switch frame straight
// away; the switch keeps the state the operator gave it, since nothing is acknowledged.
class CDeviceControlWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int OutletCount = 8;

    explicit CDeviceControlWidget(QWidget* parent = nullptr);

    // Shows the device's outlet states (or none, disabled); never sends anything.
    void setPdu(CPdu* pdu);
    CPdu* pdu() const;
    // The room's outlet control, through which the switches act; without one they send directly.
    void setOutletControl(COutletControl* pControl);
    void retranslate();

private slots:
    void on_CheckOutlet1_clicked(bool bChecked);
    void on_CheckOutlet2_clicked(bool bChecked);
    void on_CheckOutlet3_clicked(bool bChecked);
    void on_CheckOutlet4_clicked(bool bChecked);
    void on_CheckOutlet5_clicked(bool bChecked);
    void on_CheckOutlet6_clicked(bool bChecked);
    void on_CheckOutlet7_clicked(bool bChecked);
    void on_CheckOutlet8_clicked(bool bChecked);

private:
    void switchOutlet(int iOutlet, bool bOn);
    // Power cycles and protection: the context menu of a switch and what a switch shows of them.
    void followOutletControl();
    void showOutletMenu(int iOutlet, const QPoint& pos);
    void refreshOutlet(int iOutlet);
    // The state of a cycle under its switch: countdown, waiting, failed.
    QString cycleText(const COutletControl::Cycle& c) const;
    void slotOutletChanged(CPdu* pPdu, int iOutlet);

    QCheckBox* m_pCheckOutlet[OutletCount] = {};
    QGridLayout* m_pLayoutBase = nullptr;
    // The current row's device; the switches go dark if it is deleted.
    QPointer<CPdu> m_pPdu;
    QPointer<COutletControl> m_pOutletControl;
    bool m_bCycling[OutletCount] = {};
};
