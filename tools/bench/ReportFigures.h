#pragma once

#include <QString>

// The monthly report over a store pre-filled for a whole month (2026-11) of iPdus PDUs in iGroups
// groups: the time to compute it from the file, to make its CSV and to draw its PDF. strKeep, when
// given, keeps the filled store there (the report screenshots use it). Prints a table; 0 on success.
int runReportFigures(int iPdus, int iGroups, const QString& strKeep);
