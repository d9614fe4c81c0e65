#pragma once

#include "common/HistorySample.h"

#include <QtGlobal>

// Apparent power and energy. These PDUs measure volts and amperes, not watts: power is V x A in VA and
// energy VAh. Energy is kept in exact integer units: the sum over answered polls of (VA before + VA
// after) x milliseconds between them, with VA counted in volts x centiamperes (the trapezoid rule,
// doubled so that it stays an integer).
namespace Energy {
// Two answered polls further apart than this count no energy between them: a device that was silent,
// offline or not recorded (the program stopped) has no energy invented across the gap.
constexpr qint64 kGapMsecs = 5000;
// Units in one VAh: 2 (trapezoid) x 100 (centiamperes) x 3,600,000 (milliseconds).
constexpr qint64 kUnitsPerVah = 2LL * 100 * 3600 * 1000;

// Energy between two polls in time order; 0 across a gap or when either counts none.
qint64 between(const HistorySample& before, const HistorySample& after);
inline double toVah(qint64 iUnits)
{
    return double(iUnits) / double(kUnitsPerVah);
}
inline double toKvah(qint64 iUnits)
{
    return toVah(iUnits) / 1000.0;
}
// Apparent power in VA of a reading: volts times amperes.
double apparentPower(double dVolts, double dAmps);
// The same from the integers the history keeps (centiamperes), exact to the last bit of the result.
double apparentPowerCenti(qint64 iVolts, qint64 iCentiAmps);
// VA of a sample (0 when it counts no energy or the device did not answer).
double apparentPower(const HistorySample& sample);
} // namespace Energy
