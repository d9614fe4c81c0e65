#include "common/DeviceText.h"
#include "device/OutletControl.h"
#include "device/OutletSetControl.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/frame/SubTab.h"
#include "ui/system/OutletSetDialog.h"
#include "ui/system/SystemConfigWidget.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstring>

namespace {
// A device's reply to cmd with its record as it is, the outlets given on.
void reply(CPdu* pPdu, quint8 cmd, quint8 outlets)
{
    PduInfo info = pPdu->stInfo;
    info.outletStatus = outlets;
    pPdu->slotRcvData(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
}
} // namespace

bool shootSets(CShot& shot)
{
    QTemporaryDir dir;
    qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(dir.filePath(QStringLiteral("outlet-sets"))));
    // The devices are registered directly: no socket is opened.
    g_pRackmind = new CRackmind;
    const char* const apszNames[] = {"rack-a-top", "rack-b-top", "storage-1", "core-switch"};
    const char* const apszOutlets[] = {"db-07 A", "web-01", "db-07 B", "nas-2", "", "", "", ""};
    for (quint8 i = 0; i < 4; ++i) {
        CPdu* pPdu = g_pRackmind->addPdu(0x0AC80101u + i);
        const quint8 mac[6] = {0x02, 0x50, 0x44, 0x00, 0x00, quint8(i + 1)};
        std::memcpy(pPdu->stInfo.mac, mac, 6);
        storeDeviceText(QString::fromLatin1(apszNames[i]), pPdu->stInfo.name);
        for (int j = 0; j < 8; ++j)
            storeDeviceText(QString::fromLatin1(apszOutlets[(j + i) % 8]), pPdu->stInfo.outletName[j]);
        reply(pPdu, kCmdNetwork, 0);
        reply(pPdu, kCmdStatus, i == 0 ? 0xfb : 0xff);
    }
    QFile file(dir.filePath(QStringLiteral("outlet-sets")));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(
            R"({"sets":[{"name":"db-07","outlets":["025044000001/1","025044000002/8","0250440000FE/4"]},)"
            R"({"name":"storage","outlets":["025044000003/1","025044000003/2"]},)"
            R"({"name":"web","outlets":["025044000002/1","025044000004/2"]}],)"
            R"("sequences":[{"name":"room-power-up","steps":[{"set":"storage","on":true,"wait":20},)"
            R"({"outlet":"025044000004/1","on":true,"wait":10},)"
            R"({"set":"web","on":true,"wait":0}]}]})") < 0)
        return fail(QStringLiteral("the sets file cannot be written"));
    file.close();
    COutletControl control(nullptr, dir.filePath(QStringLiteral("cycles.json")),
                           dir.filePath(QStringLiteral("protected")));
    CSystemConfigWidget system;
    system.setOutletControl(&control);
    system.resize(1100, 560);
    system.show();
    click(system.findChild<CSubTab*>(QStringLiteral("SubTab"))->buttons[4]);
    auto* pTree = system.findChild<QTreeWidget*>(QStringLiteral("TreeSets"));
    pTree->setCurrentItem(pTree->topLevelItem(0));
    bool bOk = shot.save(system, QStringLiteral("outlets-page"));

    COutletSetDialog dialog(&system,
                            control.outletSets()->file().data().mapSets.value(QStringLiteral("db-07")), {});
    dialog.show();
    bOk = shot.save(dialog, QStringLiteral("set-editor")) && bOk;
    dialog.hide();

    // The first step (storage on: its outlets already on) shows at the next reply; its wait runs.
    QString strWhy;
    control.outletSets()->startSequence(QStringLiteral("room-power-up"), false, &strWhy);
    settle(1100);
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        reply(pPdu, kCmdStatus, pPdu->stInfo.outletStatus);
    control.slotTick();
    settle(1200);
    return shot.save(system, QStringLiteral("sequence-progress")) && bOk;
}
