#pragma once

#include <QString>

// Amperes as each kind of output writes them, so that one kind never shows one value two ways. The
// metrics page writes every figure, amperes included, with its own number format.

// The console's tables: two decimals ("5.90").
QString currentOnScreen(double dAmps);
// Alarm mail and the event log: the value's own digits, up to six ("5.9", "12.25").
QString currentInMail(double dAmps);
// CSV files, rackmind-ctl history and the monthly report: two decimals, as the centiampere figures hold.
QString currentInCsv(double dAmps);
// One live reading on a line or a card (rackmind-ctl list, the landing page): the device's tenths.
QString currentReading(double dAmps);
