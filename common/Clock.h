#pragma once

#include <QDateTime>

#include <functional>

// The times the program reads. now() is the wall clock, for stamps a person reads; it may be stepped
// (NTP, a hardware clock kept in local time). elapsedMs() only ever runs forward and measures every
// duration: the online window, debounce and combining windows, waits for confirmations,
// cycle delays and retry gates.
// Tests set their own sources to step through windows without sleeping; an empty source restores the
// system clock. While only a wall source is set, the monotonic clock follows it, so that a test
// stepping the wall clock forward steps both; a test that steps the wall clock back sets both.
namespace Clock {
QDateTime now();
void setSource(std::function<QDateTime()> source);
qint64 elapsedMs();
void setElapsedSource(std::function<qint64()> source);
} // namespace Clock
