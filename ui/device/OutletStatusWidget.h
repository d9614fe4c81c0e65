#pragma once

#include "device/Pdu.h"

#include <QPointer>
#include <QWidget>

class COutletControl;

// Draws one device's eight outlets as numbered circles, green when on and red when off.
class COutletStatusWidget : public QWidget
{
    Q_OBJECT
public:
    // No parent: the overview tree adopts the painter as an item widget.
    explicit COutletStatusWidget(CPdu* pdu);
    // The device's painter (pPdu->pOutletStatusWidget), made on first use; one no tree adopts goes with
    // the device.
    static COutletStatusWidget* attach(CPdu* pPdu);
    // The device whose outlets it draws.
    CPdu* pdu() const { return m_pPdu; }
    // Where the outlets' protection is read, to draw the lock; none draws no lock.
    void setOutletControl(COutletControl* pControl);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPointer<CPdu> m_pPdu;
    QPointer<COutletControl> m_pOutletControl;
};
