#pragma once

#include "snmp/SnmpSnapshot.h"

#include <QString>
#include <QStringList>
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

// How the agent serves: through the machine's master agent (AgentX), or as the room's own agent on a UDP
// port, where it also sends the notifications to the receivers itself.
struct SnmpAgentConfig
{
    enum Mode
    {
        AgentX,
        Embedded
    };
    Mode eMode = AgentX;
    QString strSocket; // AgentX: the master's socket; empty: the library's default

    // Embedded: the port and what a request must carry: version as the SNMP page numbers it (0 V1, 1 V2C,
    // 2 V3), the community (V1, V2C) or the USM user (V3) with its protocols ("SHA-256", "AES"; "none"
    // for none) and passphrases.
    quint16 uiPort = 161;
    int iVersion = 0;
    QByteArray baUser;
    QString strAuthProtocol;
    QByteArray baAuthPassphrase;
    QString strPrivProtocol;
    QByteArray baPrivPassphrase;
    // The library's own files (engine ID and boots), a folder only this user may read.
    QString strStateDir;

    // Embedded: where notifications go (host or host:port, uiTrapPort by default), as V2C informs with
    // strTrapUser as the community or as V3 informs by that user with the keys above; iTimeoutMs and
    // iRetries govern each inform.
    QStringList listReceivers;
    quint16 uiTrapPort = 162;
    bool bTrapV3 = false;
    QByteArray baTrapUser;
    int iTimeoutMs = 500;
    int iRetries = 3;

    bool operator==(const SnmpAgentConfig& o) const
    {
        return eMode == o.eMode && strSocket == o.strSocket && uiPort == o.uiPort && iVersion == o.iVersion &&
               baUser == o.baUser && strAuthProtocol == o.strAuthProtocol &&
               baAuthPassphrase == o.baAuthPassphrase && strPrivProtocol == o.strPrivProtocol &&
               baPrivPassphrase == o.baPrivPassphrase && strStateDir == o.strStateDir &&
               listReceivers == o.listReceivers && uiTrapPort == o.uiTrapPort && bTrapV3 == o.bTrapV3 &&
               baTrapUser == o.baTrapUser && iTimeoutMs == o.iTimeoutMs && iRetries == o.iRetries;
    }
    bool operator!=(const SnmpAgentConfig& o) const { return !(*this == o); }
};

// The agent that serves the room's snapshot over SNMP. Built in a module of its own, which only the agent's
// package installs and which a program loads at run time (CSnmpAgentLoader): the programs themselves link
// no SNMP library. All of the SNMP library's calls are made on the agent's own thread.
class CSnmpAgent
{
public:
    using SnapshotSource = std::function<std::shared_ptr<const CSnmpSnapshot>()>;

    virtual ~CSnmpAgent() = default;
    // Starts serving as config says on a thread of its own, which calls fnSnapshot for each request. One
    // agent a process at a time: the SNMP library keeps its state in globals, which stop() clears, so a
    // new agent may start after it.
    virtual void start(const SnmpAgentConfig& config, SnapshotSource fnSnapshot) = 0;
    // Ends the thread and shuts the library down; after it, nothing of the module runs. False when the
    // thread did not end in time: it is left running, and this agent must then not be deleted.
    virtual bool stop() = 0;
    // From any thread.
    virtual SnmpAgentStatus status() const = 0;
    // Queues a notification, from any thread: for the master's trap destinations (sent while the master is
    // there; while it is not, dropped and counted, as the master could not deliver it either), or for the
    // receivers when embedded.
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
