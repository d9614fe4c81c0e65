#include "common/Energy.h"

namespace {
qint64 voltCentiAmps(const HistorySample& s)
{
    return qint64(s.uiVoltage) * s.uiCentiAmps;
}

bool counts(const HistorySample& s)
{
    return s.bOnline && !s.bNoEnergy;
}
} // namespace

namespace Energy {

qint64 between(const HistorySample& before, const HistorySample& after)
{
    const qint64 iSpan = after.iMsecs - before.iMsecs;
    if (!counts(before) || !counts(after) || iSpan <= 0 || iSpan > kGapMsecs)
        return 0;
    return (voltCentiAmps(before) + voltCentiAmps(after)) * iSpan;
}

double apparentPower(double dVolts, double dAmps)
{
    return dVolts * dAmps;
}

double apparentPowerCenti(qint64 iVolts, qint64 iCentiAmps)
{
    return double(iVolts * iCentiAmps) / 100.0;
}

double apparentPower(const HistorySample& sample)
{
    return counts(sample) ? apparentPowerCenti(sample.uiVoltage, sample.uiCentiAmps) : 0.0;
}

} // namespace Energy
