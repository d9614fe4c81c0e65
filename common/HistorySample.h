#pragma once

#include <QtGlobal>

// One poll of one PDU as the store keeps it: whole volts, centiamperes, degrees, percent, the outlet
// bits and whether the device answered. Offline polls carry no readings.
struct HistorySample
{
    qint64 iMsecs = 0; // since the epoch
    quint16 uiVoltage = 0;
    quint16 uiCentiAmps = 0;
    quint8 uiTemperature = 0;
    quint8 uiHumidity = 0;
    quint8 uiOutlets = 0;
    bool bOnline = false;
    // The readings cannot be right (no voltage, a current far past the device's limit): the sample is
    // kept as read but counts no energy.
    bool bNoEnergy = false;
};
