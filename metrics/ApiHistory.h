#pragma once

#include "metrics/ApiOperations.h"

#include <QString>

#include <map>
#include <string>

// The event log and a PDU's readings over a span, read on the calling thread (a server worker)
// through a read-only connection of its own, a bounded page at a time. Times are written as the CSV
// export writes them: local time, ISO 8601 with the offset from UTC.
namespace ApiHistory {
constexpr int kDefaultPage = 100;
constexpr int kMaxPage = 1000;

using Params = std::multimap<std::string, std::string>;

// A MAC in any spelling as the history keys it (02:50:44:00:00:01); empty when it is none.
QString macKey(const QString& strText);
// ?from=&to=&mac=&limit=&cursor=, newest first. The cursor names the last event a page held: the next
// page goes on from there whatever has been logged meanwhile.
ApiAnswer events(const QString& strStorePath, const Params& params);
// ?from=&to=&resolution=&limit=&cursor=, oldest first; strMac as the history keeps it.
ApiAnswer readings(const QString& strStorePath, const QString& strMac, const Params& params);
// ?month=YYYY-MM&group=: the monthly report's rows, as every program that reads the file computes them.
ApiAnswer report(const QString& strStorePath, const Params& params);
} // namespace ApiHistory
