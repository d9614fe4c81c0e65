#include "device/Clock.h"

namespace {
std::function<QDateTime()>& source()
{
    static std::function<QDateTime()> s_source;
    return s_source;
}
} // namespace

// UTC: the same instant as local time for every comparison, without a time zone lookup on each of
// the hundreds of datagrams per second.
QDateTime Clock::now()
{
    return source() ? source()() : QDateTime::currentDateTimeUtc();
}

void Clock::setSource(std::function<QDateTime()> newSource)
{
    source() = std::move(newSource);
}
