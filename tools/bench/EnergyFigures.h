#pragma once

// What keeping energy costs: the work the store's writer does for it each second at iPdus PDUs (the
// interval of each poll and the running total of each device, written in the batch's transaction), as
// a share of one core; and reading every device's energy of today, this month and last month from a
// month-long file of iPdus PDUs. Prints a table; returns 0 on success.
int runEnergyFigures(int iPdus, int iSeconds);
