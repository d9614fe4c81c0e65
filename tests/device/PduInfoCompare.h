#pragma once

#include "device/PduInfo.h"

#include <cstring>

// Field by field: the record has padding bytes that memcmp would read.
inline bool sameInfo(const PduInfo& a, const PduInfo& b)
{
    auto same = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    return same(a.ip, b.ip) && same(a.subNetMask, b.subNetMask) && same(a.gateway, b.gateway) &&
           same(a.mac, b.mac) && a.udpPort == b.udpPort && same(a.name, b.name) &&
           same(a.position, b.position) && same(a.productType, b.productType) &&
           same(a.firmwareVer, b.firmwareVer) && a.voltage == b.voltage && a.current == b.current &&
           a.temperature == b.temperature && a.humidity == b.humidity && a.outletStatus == b.outletStatus &&
           a.currentWarn == b.currentWarn && a.currentOverload == b.currentOverload &&
           a.voltageWarn == b.voltageWarn && a.voltageOverload == b.voltageOverload &&
           a.temperatureLowLimit == b.temperatureLowLimit &&
           a.temperatureHighLimit == b.temperatureHighLimit && a.humidityWarn == b.humidityWarn &&
           same(a.outletOpenDelay, b.outletOpenDelay) && same(a.outletCloseDelay, b.outletCloseDelay) &&
           same(a.outletName, b.outletName);
}
