#pragma once

#include <QtGlobal>

// The spans the history file cuts time into (rows and summaries), in milliseconds since the epoch.
namespace TimeSpans {
constexpr qint64 kMinute = 60 * 1000;
constexpr qint64 kHour = 60 * kMinute;
constexpr qint64 kDay = 24 * kHour;

// The start of the span of length iSpan that holds iMsecs (before the epoch too).
constexpr qint64 floorTo(qint64 iMsecs, qint64 iSpan)
{
    return iMsecs - ((iMsecs % iSpan) + iSpan) % iSpan;
}
} // namespace TimeSpans
