#pragma once

#include "snmp/SnmpAgent.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct snmp_pdu;
struct snmp_session;

// The room's tables served by the SNMP library: as an AgentX subagent of the machine's master agent
// (snmpd), which owns the port, communities, users, views and trap destinations, connecting again when the
// master restarts; or as an agent of its own on a UDP port, read-only, for the page's one community or V3
// user, sending notifications to the receivers itself. Either way it registers the tables' subtrees and
// their modules in sysORTable and answers from the newest snapshot.
class CAgentXAgent final : public CSnmpAgent
{
public:
    CAgentXAgent() = default;
    ~CAgentXAgent() override;

    void start(const SnmpAgentConfig& config, SnapshotSource fnSnapshot) override;
    bool stop() override;
    SnmpAgentStatus status() const override;
    void notify(const SnmpNotification& notification) override;

    // Notifications waiting for the agent's thread; beyond it the oldest are dropped.
    static constexpr size_t kQueueLimit = 1000;
    // Sent in one go before the master's answers are read again.
    static constexpr size_t kSendBatch = 16;
    // How long stop() waits for the agent's thread.
    static constexpr int kStopSeconds = 10;

    // Called by the SNMP library on the agent's thread.
    void setStatus(SnmpAgentStatus::State eState, const QString& strText);
    void libraryMessage(const QString& strMessage);
    std::shared_ptr<const CSnmpSnapshot> snapshot() const { return m_fnSnapshot(); }
    QString socketName() const;
    // Whether a request may be answered by the agent of its own.
    bool admits(const snmp_pdu* pPdu) const;

    // How often the master is asked whether it is still there, and looked for again when gone.
    static constexpr int kPingSeconds = 2;
    // How long after an unanswered request a V3 receiver's engine is asked for again.
    static constexpr int kDiscoverySeconds = 5;
    // The answer to a V3 receiver's engine request (null: none came).
    void engineAnswer(snmp_session* pSession, const snmp_pdu* pAnswer);

private:
    void run();
    void shutdownLibrary();
    QString unreachableText() const;
    // Embedded: why the keys cannot serve (empty when they can); the V3 security level they give.
    QString checkKeys() const;
    QString checkV3Keys() const;
    int securityLevel() const;
    void createUser(const QByteArray& baUser);
    void restoreEngine();
    // Opens the receivers' sessions; how many could be.
    int openSinks();
    QString portFailure(int iErrno) const;
    QString servingText() const;
    // Sends some of what waits, on the agent's thread; whether more waits.
    bool sendQueued();
    // V3 receivers: ask those whose engine is unknown, send what was held for those now known.
    void serveV3Receivers();
    void closeV3Receivers();

    SnmpAgentConfig m_config;
    int m_iSinks = 0;
    QStringList m_listSinkErrors; // the receivers that could not be used, and why
    SnapshotSource m_fnSnapshot;
    std::thread m_thread;
    std::condition_variable m_cvEnded;
    bool m_bEnded = false;      // the thread has left run()
    int m_aiWake[2] = {-1, -1}; // a pipe that wakes the thread: to stop, or to send
    std::atomic<bool> m_bStopping{false};
    mutable std::mutex m_mutex;
    SnmpAgentStatus m_status;
    std::deque<SnmpNotification> m_queue;
    quint64 m_uiDropped = 0; // not sent: no master, or the queue full

    // A V3 inform is keyed to the receiver's engine ID, which is asked for without waiting; its
    // notifications are held until the answer comes (at most kQueueLimit, the oldest dropped).
    struct HeldNotification
    {
        SnmpNotification notification;
        quint32 uiUptime; // when it happened, as sysUpTime counts
    };
    struct V3Receiver
    {
        snmp_session* pSession = nullptr;
        bool bAsking = false;  // a request for its engine is out
        bool bKnown = false;   // its engine ID has come
        bool bInSinks = false; // handed to the library's receivers, which close it
        std::chrono::steady_clock::time_point nextAsk;
        std::deque<HeldNotification> held;
    };
    std::vector<V3Receiver> m_vecV3;
};
