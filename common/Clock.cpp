#include "common/Clock.h"

#include <QElapsedTimer>

namespace {
std::function<QDateTime()>& source()
{
    static std::function<QDateTime()> s_source;
    return s_source;
}

std::function<qint64()>& elapsedSource()
{
    static std::function<qint64()> s_source;
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

qint64 Clock::elapsedMs()
{
    if (elapsedSource())
        return elapsedSource()();
    if (source())
        return source()().toMSecsSinceEpoch();
    static const QElapsedTimer s_timer = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    // Offset so that no reading is ever 0 or negative: callers keep "never" as a value below any.
    return s_timer.elapsed() + 1000000;
}

void Clock::setElapsedSource(std::function<qint64()> newSource)
{
    elapsedSource() = std::move(newSource);
}
