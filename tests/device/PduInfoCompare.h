#pragma once

#include "device/PduInfo.h"

#include <cstring>

// Field by field: the record has padding bytes that memcmp would read.
inline bool sameInfo(const PduInfo& a, const PduInfo& b)
{
#define SAME(f) (std::memcmp(&a.f, &b.f, sizeof a.f) == 0)
    return SAME(ip) && SAME(subNetMask) && SAME(gateway) && SAME(mac) && SAME(udpPort) && SAME(name) &&
           SAME(position) && SAME(productType) && SAME(firmwareVer) && SAME(voltage) && SAME(current) &&
           SAME(temperature) && SAME(humidity) && SAME(outletStatus) && SAME(currentWarn) &&
           SAME(currentOverload) && SAME(voltageWarn) && SAME(voltageOverload) && SAME(temperatureLowLimit) &&
           SAME(temperatureHighLimit) && SAME(humidityWarn) && SAME(outletOpenDelay) &&
           SAME(outletCloseDelay) && SAME(outletName);
#undef SAME
}
