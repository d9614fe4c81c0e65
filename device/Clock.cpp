#include "device/Clock.h"

namespace {
std::function<QDateTime()>& source()
{
    static std::function<QDateTime()> s_source;
    return s_source;
}
} // namespace

QDateTime Clock::now()
{
    return source() ? source()() : QDateTime::currentDateTime();
}

void Clock::setSource(std::function<QDateTime()> newSource)
{
    source() = std::move(newSource);
}
