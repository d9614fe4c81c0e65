#pragma once

#include <QList>
#include <QString>

class CPdu;

// The capacity window over a store pre-filled with a full month of iPdus PDUs in iGroups groups (as the
// writer leaves it): the time until it is shown and until its peaks and energy are filled in, on a first
// and a second opening, and the figures' reading alone on one thread and on all. Prints a table; returns
// 0 on success.
int runCapacityBench(int iPdus, int iGroups);

// Registers a live device (no socket) for every device the store at strPath knows, with its MAC and
// group, from address uiFirstIp on, heard from for the next hour; in the store's order.
QList<CPdu*> addStoredDevices(const QString& strPath, uint uiFirstIp);
