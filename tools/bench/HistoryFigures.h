#pragma once

#include <QString>

// The history store's own figures, without the network: bytes per PDU per day at realistic readings,
// the file for 1000 PDUs at the default retention, and the time the history window takes to open a
// 7-day chart of one PDU from a store holding 2000 PDUs' data. Prints a table; returns 0 on success.
int runHistoryFigures();

// The MAC address the store benchmarks give their i-th PDU.
QString benchMac(int i);
