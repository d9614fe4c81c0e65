#pragma once

#include <QDateTime>

#include <functional>

// The time the device model reads. Tests set their own source to step through the online window
// without sleeping; an empty source restores the system clock.
namespace Clock {
QDateTime now();
void setSource(std::function<QDateTime()> source);
} // namespace Clock
