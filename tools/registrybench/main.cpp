#include "device/Pdu.h"
#include "device/PduInfo.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTemporaryDir>

#include <cstdio>

// Feeds whole poll ticks (six replies per device, each device with a MAC of its own, as real units have)
// through CRackmind::slotRcvData and reports the cost per datagram, which should not grow with the room.
// Run with QT_QPA_PLATFORM=offscreen where there is no display.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir workDir; // the registry reads "port.prt" from the working directory
    QDir::setCurrent(workDir.path());

    const QList<quint8> listCmd = {kCmdNetwork,    kCmdDeviceInfo,   kCmdStatus,
                                   kCmdThresholds, kCmdOutletDelays, kCmdOutletNames};
    std::printf("%8s %8s %12s %14s %14s\n", "devices", "ticks", "datagrams", "us/datagram", "ms/tick");
    for (int iDevices : {10, 100, 500, 1000, 2000, 4000}) {
        CRackmind registry;
        QList<QNetworkDatagram> listTick;
        for (int i = 0; i < iDevices; ++i) {
            PduInfo info;
            const quint32 uiIp = 0x0AC80101 + quint32(i);
            ipv4FromUint(uiIp, info.ip);
            info.mac[4] = quint8((i + 1) >> 8);
            info.mac[5] = quint8(i + 1);
            for (quint8 cmd : listCmd) {
                QNetworkDatagram nd(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
                nd.setSender(QHostAddress(uiIp), 51230);
                listTick << nd;
            }
        }
        for (const QNetworkDatagram& nd : qAsConst(listTick)) {
            registry.slotRcvData(nd); // first contact creates the devices
        }
        const int iTicks = qMax(5, 20000 / iDevices);
        QElapsedTimer timer;
        timer.start();
        for (int t = 0; t < iTicks; ++t) {
            for (const QNetworkDatagram& nd : qAsConst(listTick)) {
                registry.slotRcvData(nd);
            }
        }
        const double dNs = double(timer.nsecsElapsed());
        const double dCount = double(iTicks) * listTick.size();
        std::printf("%8d %8d %12.0f %14.3f %14.3f\n", registry.listPdu.size(), iTicks, dCount,
                    dNs / dCount / 1000.0, dNs / iTicks / 1e6);
    }
    return 0;
}
