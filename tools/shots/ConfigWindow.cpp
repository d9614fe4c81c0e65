#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/frame/SubTab.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QSpinBox>
#include <QTreeWidget>

#include <cstring>

namespace {

void setText(char* pField, int iWidth, const char* pszText)
{
    std::memset(pField, 0, size_t(iWidth));
    std::memcpy(pField, pszText, qMin(size_t(iWidth), std::strlen(pszText)));
}

PduInfo rackDevice()
{
    PduInfo info;
    const quint8 ip[4] = {10, 200, 1, 12}, mask[4] = {255, 255, 0, 0}, gateway[4] = {10, 200, 0, 254};
    const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x1C, 0x22, 0x0B};
    std::memcpy(info.ip, ip, 4);
    std::memcpy(info.subNetMask, mask, 4);
    std::memcpy(info.gateway, gateway, 4);
    std::memcpy(info.mac, mac, 6);
    setText(info.name, 16, "Rack12");
    setText(info.position, 16, "HallA");
    info.currentWarn = 13.0;
    info.currentOverload = 16.0;
    info.voltageWarn = 250;
    info.voltageOverload = 265;
    info.temperatureLowLimit = 5;
    info.temperatureHighLimit = 45;
    info.humidityWarn = 80;
    const char* const apszNames[8] = {"Server1", "Server2", "Switch", "Storage",
                                      "Router",  "KVM",     "Fan",    "Spare"};
    for (int i = 0; i < 8; ++i) {
        info.outletOpenDelay[i] = quint8(2 * i);
        info.outletCloseDelay[i] = quint8(2 * i + 1);
        setText(info.outletName[i], 10, apszNames[i]);
    }
    return info;
}

} // namespace

bool shootConfig(CShot& shot)
{
    // The device's replies go to the registry directly: no socket is opened.
    g_pRackmind = new CRackmind;
    const PduInfo info = rackDevice();
    for (quint8 cmd :
         {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}) {
        QNetworkDatagram datagram(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
        datagram.setSender(QHostAddress(ipv4ToUint(info.ip)), 51230);
        g_pRackmind->slotRcvData(datagram);
    }

    CDeviceConfigWidget page(nullptr);
    page.setWindowTitle(QStringLiteral("Rackmind"));
    page.resize(820, 560);
    page.retranslate();
    page.show();
    QTreeWidget tree;
    auto* pRow = new QTreeWidgetItem(&tree);
    pRow->setText(4, ipv4ToString(info.ip));
    page.slotCurrentPduChanged(pRow, nullptr);

    auto* pSubTab = page.findChild<CSubTab*>(QStringLiteral("SubTab"));
    const char* const apszPages[4] = {"network", "threshold", "delay", "outletname"};
    bool bOk = true;
    for (int i = 0; i < 4; ++i) {
        // Each sub page starts from the device's own values with one edit of its own pending.
        QMetaObject::invokeMethod(&page, "on_BtnCancel_clicked");
        click(pSubTab->buttons[size_t(i)]);
        switch (i) {
        case 0:
            page.findChild<QLineEdit*>(QStringLiteral("LineEditName"))->setText(QStringLiteral("EdgeRack12"));
            break;
        case 1:
            page.findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"))->setValue(12.5);
            break;
        case 2:
            page.findChildren<QSpinBox*>(QStringLiteral("SpinOutletOpenDelay")).at(2)->setValue(15);
            break;
        default:
            page.findChildren<QLineEdit*>(QStringLiteral("LineEditOutletName"))
                .at(4)
                ->setText(QStringLiteral("Firewall"));
            break;
        }
        bOk = shot.save(page, QStringLiteral("config-") + QLatin1String(apszPages[i])) && bOk;
    }
    return bOk;
}
