#pragma once

#include <QMap>
#include <QString>

struct BenchOptions
{
    int iDevices = 10;
    int iSeconds = 30;         // measured after discovery
    int iBaselineSeconds = 10; // the bare receiver's polls
    bool bHidden = false;      // the overview page not shown (painting left out)
    bool bHistory = false;     // the history store records every poll, as in the program
    bool bMetrics = false;     // the metrics endpoint serves, scraped once a second
    bool bSnmpWalk = false;    // published through snmpd, and a further window while every table is walked
};

// One room size in this process: the simulator, the bare receiver, then the console's machinery
// against the same fleet. Returns the figures by name; an empty map with pError set on failure.
QMap<QString, double> runBench(const BenchOptions& options, QString* pError);
