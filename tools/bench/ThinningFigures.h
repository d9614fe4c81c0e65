#pragma once

#include <QList>

// Thinning on files that already hold the default retention (24 hours of polls, 30 days of minutes,
// 2 years of hours) for rooms of the given sizes: one thinning pass as the writer runs it and as a
// whole-table statement would, then a live minute and more of every PDU's poll each second through the
// store, counting what its queue turned away. Prints a table; returns 0 on success.
int runThinningFigures(const QList<int>& listSizes, int iLiveSeconds);
