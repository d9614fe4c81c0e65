#pragma once

#include <QString>

// Writes a history file as the store would have left it after recording iPdus PDUs in iGroups groups
// from iFromMsecs to iToMsecs: hour summaries for the whole span, minute summaries for its last 30 days,
// polls for its last two hours (the rest of a day's polls changes no figure a power window or report
// reads), energy included; devices "PDU n" in "Group k" with the benchmark's MACs. A load that differs
// by device and by hour of the day. False (with a message on stderr) when the file cannot be written.
bool fillMonth(const QString& strPath, int iPdus, int iGroups, qint64 iFromMsecs, qint64 iToMsecs);

// The current (centiamperes) the fill gives device iPdu (from 1) in the minute starting at iMinuteMsecs.
int fillCentiAmps(int iPdu, qint64 iMinuteMsecs);
