#pragma once

#include "snmp/SnmpAgent.h"

#include <QString>

#include <memory>

// Loads the agent's module: the file RACKMIND_SNMP_MODULE names, or the one the agent's package installs
// (lib/rackmind beside the program's bin folder).
class CSnmpAgentLoader
{
public:
    static QString modulePath();
    // The agent, or null with the reason (the agent's package not installed, a module that does not
    // fit). The module stays loaded for the rest of the process.
    static std::unique_ptr<CSnmpAgent> load(QString* pstrWhy);
};
