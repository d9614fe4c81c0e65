#pragma once

#include "common/DeviceText.h"
#include "device/PduInfo.h"
#include "device/Protocol.h"

#include <QHostAddress>
#include <QObject>

#include <cstring>

// Frames, sends and records as the device tests write them.

// "A7 40 01 00 E8" -> bytes; spaces are ignored.
inline QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

constexpr quint8 kReplyCommands[] = {kCmdNetwork,    kCmdDeviceInfo,   kCmdStatus,
                                     kCmdThresholds, kCmdOutletDelays, kCmdOutletNames};

// The reply a device sends for command cmd when its record is info.
inline QByteArray replyFrame(quint8 cmd, const PduInfo& info)
{
    return buildFrame(kFrameReply, cmd, payloadFor(cmd, info));
}

struct SentFrame
{
    QByteArray baData;
    QHostAddress addrDestIP;
    uint uiDestPort;
};

// Records what a CRackmind or a CPdu sends through its signalSndData, leaving bResult as sent.
struct SentFrames
{
    template <typename Sender> explicit SentFrames(Sender* pSender)
    {
        QObject::connect(pSender, &Sender::signalSndData, &context,
                         [this](bool&, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort) {
                             list.append({baData, addrDestIP, uiDestPort});
                         });
    }
    // The command byte of each frame, in the order sent.
    QList<int> commands() const
    {
        QList<int> listOut;
        for (const SentFrame& frame : list)
            listOut << (frame.baData.size() > 2 ? quint8(frame.baData.at(2)) : -1);
        return listOut;
    }
    QObject context; // ends the connection with the recorder
    QList<SentFrame> list;
};

// A record that differs from a new device's in every field; the name uses all 16 bytes and the last
// outlet name has a byte after its NUL, which travels too.
inline PduInfo filledInfo(quint8 lastOctet = 5)
{
    PduInfo info;
    ipv4FromUint(0x0AC80100u | lastOctet, info.ip); // 10.200.1.n
    ipv4FromUint(0xFFFF0000u, info.subNetMask);
    ipv4FromUint(0x0AC800FEu, info.gateway);
    std::memcpy(info.mac, "\x00\x04\xA3\x12\x34", 5);
    info.mac[5] = lastOctet;
    info.udpPort = 6000;
    std::memcpy(info.name, "Rack-0123456789", 15);
    info.name[15] = char('A' + lastOctet % 26);
    storeDeviceText(QStringLiteral("Row B"), info.position, 16);
    storeDeviceText(QStringLiteral("PDU-8"), info.productType, 16);
    std::memcpy(info.firmwareVer, "2.10.777", 8);
    info.voltage = 231;
    info.current = 12.5;
    info.temperature = 31;
    info.humidity = 42;
    info.outletStatus = 0x81;
    info.currentWarn = 10.2;
    info.currentOverload = 16.0;
    info.voltageWarn = 240;
    info.voltageOverload = 260;
    info.temperatureLowLimit = 1;
    info.temperatureHighLimit = 45;
    info.humidityWarn = 90;
    for (int n = 0; n < 8; ++n) {
        info.outletOpenDelay[n] = quint8(100 + n);
        info.outletCloseDelay[n] = quint8(200 + n);
        storeDeviceText(QStringLiteral("Srv%1").arg(n + 1), info.outletName[n], 10);
    }
    info.outletName[7][9] = 'z';
    return info;
}
