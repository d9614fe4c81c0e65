#pragma once

#include "tools/pdusim/SimThread.h"

#include <QtGlobal>

// How the simulated outlets honour their delays.
enum class Switching
{
    Delayed,
    AtOnce
};

// Starts simulated PDUs whose readings hold still (config otherwise as given; the bed's device count
// unless it names one) in the bed's device namespace. False, with the reason logged, when they did not
// start: QVERIFY the result.
inline bool startQuietFleet(CSimThread& sim, Switching switching = Switching::Delayed, CSimConfig config = {})
{
    config.bNoise = false;
    if (switching == Switching::AtOnce)
        config.dDelayUnit = 0;
    QString strError;
    if (sim.startFleet(config, &strError))
        return true;
    qWarning("the simulated PDUs did not start: %s", qPrintable(strError));
    return false;
}
