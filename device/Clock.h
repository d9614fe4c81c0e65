#pragma once

#include <QDateTime>

#include <functional>

// The time the device model reads. Tests set their own source to step through the online window
// without sleeping; an empty source restores the system clock.
namespace Clock {
QDateTime now();
void setSource(std::function<QDateTime()> source);

// Milliseconds on a clock that only moves forward, for durations (delays, retry gates, answer waits,
// confirmation windows): a wall clock stepped by NTP or by hand must not stretch or shorten them.
// Tests set their own source; an empty source restores the steady system clock.
qint64 elapsedMs();
void setElapsedSource(std::function<qint64()> source);
} // namespace Clock
