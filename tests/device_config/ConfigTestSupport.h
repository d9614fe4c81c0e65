#pragma once

#include "device/PduInfo.h"

#include <QByteArray>
#include <QString>

#include <cstring>

// Records as the simulated or fed devices of these tests report them.

inline void setText(char* pField, int iWidth, const char* pszText)
{
    std::memset(pField, 0, size_t(iWidth));
    std::memcpy(pField, pszText, qMin(size_t(iWidth), std::strlen(pszText)));
}

inline void setAddress(quint8* pField, quint8 a, quint8 b, quint8 c, quint8 d)
{
    pField[0] = a;
    pField[1] = b;
    pField[2] = c;
    pField[3] = d;
}

// A device whose settings differ from the factory defaults in every configurable field, with a
// current warning limit of 0.0 A.
inline PduInfo reportedDevice(quint8 lastOctet)
{
    PduInfo info;
    setAddress(info.ip, 10, 200, 1, lastOctet);
    setAddress(info.subNetMask, 255, 255, 0, 0);
    setAddress(info.gateway, 10, 200, 0, 254);
    const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x00, 0x00, lastOctet};
    std::memcpy(info.mac, mac, 6);
    info.udpPort = 51230;
    setText(info.name, 16, "Rack");
    info.name[4] = char('0' + lastOctet % 10);
    setText(info.position, 16, "RowB");
    info.currentWarn = 0.0;
    info.currentOverload = 16.0;
    info.voltageWarn = 245;
    info.voltageOverload = 260;
    info.temperatureLowLimit = 2;
    info.temperatureHighLimit = 45;
    info.humidityWarn = 85;
    for (int i = 0; i < 8; ++i) {
        info.outletOpenDelay[i] = quint8(1 + i);
        info.outletCloseDelay[i] = quint8(20 + i);
        setText(info.outletName[i], 10, "Srv");
        info.outletName[i][3] = char('1' + i);
    }
    return info;
}

inline QString addressOf(const quint8* pField)
{
    return QStringLiteral("%1.%2.%3.%4").arg(pField[0]).arg(pField[1]).arg(pField[2]).arg(pField[3]);
}
