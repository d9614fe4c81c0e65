#pragma once

#include "snmp/SnmpSnapshot.h"

#include <QString>

#include <QVector>

#include <functional>
#include <memory>
#include <utility>

// Where the agent serves from and how it stands; what a log line or the SNMP page shows of it.
struct SnmpAgentStatus
{
    enum State
    {
        Stopped,
        Connecting, // looking for the master agent, or for it again
        Serving
    };
    State eState = Stopped;
    QString strText; // one line: where it serves, or why it cannot
    bool operator==(const SnmpAgentStatus& other) const
    {
        return eState == other.eState && strText == other.strText;
    }
};

// One notification as the agent sends it: its OID (snmpTrapOID.0) and the objects it carries; sysUpTime.0
// goes first as SNMPv2 wants.
struct SnmpNotification
{
    Oid trapOid;
    QVector<std::pair<Oid, SnmpValue>> vecObjects;
};

// The agent that serves the room's snapshot over SNMP. Built in a module of its own, which only the agent's
// package installs and which a program loads at run time (CSnmpAgentLoader): the programs themselves link
// no SNMP library. All of the SNMP library's calls are made on the agent's own thread.
class CSnmpAgent
{
public:
    using SnapshotSource = std::function<std::shared_ptr<const CSnmpSnapshot>()>;

    virtual ~CSnmpAgent() = default;
    // Starts serving as an AgentX subagent of the master agent at strSocket (empty: the SNMP library's
    // default) on a thread of its own, which calls fnSnapshot for each request. Once per process: the SNMP
    // library keeps its state in globals.
    virtual void start(const QString& strSocket, SnapshotSource fnSnapshot) = 0;
    // Ends the thread; after it, nothing of the module runs.
    virtual void stop() = 0;
    // From any thread.
    virtual SnmpAgentStatus status() const = 0;
    // Queues a notification for the master's trap destinations, from any thread. Sent while the master is
    // there; while it is not, it is dropped (and counted), as the master could not deliver it either.
    virtual void notify(const SnmpNotification& notification) = 0;
};

// The module's entry points, resolved by name: the build it is of (RACKMIND_SNMP_BUILD, which the loader
// compares with its own before anything else is called), and the factory.
extern "C" {
using RackmindSnmpAgentFactory = CSnmpAgent* (*)();
using RackmindSnmpAgentBuild = const char* (*)();
}
#define RACKMIND_SNMP_AGENT_FACTORY "rackmind_snmp_agent_create"
#define RACKMIND_SNMP_AGENT_BUILD "rackmind_snmp_agent_build"
