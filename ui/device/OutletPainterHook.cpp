// Compiled into every program that links the windows (see CMakeLists.txt): the devices' outlet painter.
#include "device/Pdu.h"
#include "ui/device/OutletStatusWidget.h"

#include <QApplication>

void attachOutletPainter(CPdu* pPdu)
{
    // A core application (a test without widgets) cannot make a widget at all.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    auto* pPainter = new COutletStatusWidget(pPdu);
    pPainter->setObjectName(QStringLiteral("OutletStatusWidget"));
    pPdu->pOutletStatusWidget = pPainter;
    // Once the overview tree has adopted the painter, the tree owns it; otherwise it goes with the device.
    QObject::connect(pPdu, &QObject::destroyed, pPainter, [pPainter] {
        if (!pPainter->parent())
            delete pPainter;
    });
}
