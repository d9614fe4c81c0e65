#pragma once

#include "snmp/SnmpAgent.h"

#include <atomic>
#include <deque>
#include <mutex>
#include <thread>

// The room's tables served as an AgentX subagent of the machine's master agent (snmpd), which owns the
// port, communities, users, views and trap destinations. It registers the tables' subtrees and their
// modules in sysORTable, answers from the newest snapshot, and connects again when the master restarts.
class CAgentXAgent final : public CSnmpAgent
{
public:
    CAgentXAgent() = default;
    ~CAgentXAgent() override;

    void start(const QString& strSocket, SnapshotSource fnSnapshot) override;
    void stop() override;
    SnmpAgentStatus status() const override;
    void notify(const SnmpNotification& notification) override;

    // Notifications waiting for the agent's thread; beyond it the oldest are dropped.
    static constexpr size_t kQueueLimit = 1000;

    // Called by the SNMP library on the agent's thread.
    void setStatus(SnmpAgentStatus::State eState, const QString& strText);
    void libraryMessage(const QString& strMessage);
    std::shared_ptr<const CSnmpSnapshot> snapshot() const { return m_fnSnapshot(); }
    QString socketName() const;

    // How often the master is asked whether it is still there, and looked for again when gone.
    static constexpr int kPingSeconds = 2;

private:
    void run();
    QString unreachableText() const;
    // Sends what waits, on the agent's thread.
    void sendQueued();

    QString m_strSocket;
    SnapshotSource m_fnSnapshot;
    std::thread m_thread;
    int m_aiWake[2] = {-1, -1}; // a pipe that wakes the thread: to stop, or to send
    std::atomic<bool> m_bStopping{false};
    mutable std::mutex m_mutex;
    SnmpAgentStatus m_status;
    std::deque<SnmpNotification> m_queue;
    quint64 m_uiDropped = 0; // not sent: no master, or the queue full
};
