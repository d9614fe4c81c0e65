#include "snmp/agentx/AgentXAgent.h"

// The library's configuration header comes before every other of its headers.
#include <net-snmp/net-snmp-config.h>

#include <net-snmp/net-snmp-includes.h>

#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <net-snmp/agent/agent_callbacks.h>
#include <net-snmp/agent/agent_sysORTable.h>

#include <QFileInfo>

#include <chrono>
#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

// The library's own, without a header: open the session to the master, and send every registration again.
// main_session is the session to the master, null while there is none.
extern "C" {
int subagent_open_master_session(void);
extern netsnmp_session* main_session;
}

namespace {

// The SNMP library's callbacks carry no pointer of ours back to the handlers; there is one agent a process.
CAgentXAgent* s_pAgent = nullptr;
const char kAppName[] = "rackmind";

// The modules whose objects are served, as sysORTable lists them: ENTITY-MIB, ENTITY-SENSOR-MIB and
// ENTITY-STATE-MIB.
struct Module
{
    oid aOid[7];
    const char* pszDescr;
};
const Module kModules[] = {
    {{1, 3, 6, 1, 2, 1, 47}, "The PDUs of the room, their sensors and outlets (ENTITY-MIB)"},
    {{1, 3, 6, 1, 2, 1, 99}, "Voltage, current, temperature and humidity of each PDU (ENTITY-SENSOR-MIB)"},
    {{1, 3, 6, 1, 2, 1, 131}, "Operational and alarm state of each PDU and sensor (ENTITY-STATE-MIB)"},
};

Oid toOid(const oid* pOid, size_t uiLength)
{
    Oid result;
    result.reserve(int(uiLength));
    for (size_t i = 0; i < uiLength; ++i)
        result << quint32(pOid[i]);
    return result;
}

// snmpTrapOID.0
const oid kTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};

void setValue(netsnmp_variable_list* pVar, const SnmpValue& value)
{
    switch (value.eType) {
    case SnmpValue::Integer: {
        const long l = long(value.iValue);
        snmp_set_var_typed_value(pVar, ASN_INTEGER, &l, sizeof(l));
        break;
    }
    case SnmpValue::OctetString:
        snmp_set_var_typed_value(pVar, ASN_OCTET_STR, value.baValue.constData(),
                                 size_t(value.baValue.size()));
        break;
    case SnmpValue::ObjectId: {
        std::vector<oid> vecOid(value.oidValue.cbegin(), value.oidValue.cend());
        snmp_set_var_typed_value(pVar, ASN_OBJECT_ID, vecOid.data(), vecOid.size() * sizeof(oid));
        break;
    }
    case SnmpValue::TimeTicks:
    case SnmpValue::Unsigned: {
        const u_long ul = u_long(value.iValue);
        snmp_set_var_typed_value(pVar, value.eType == SnmpValue::TimeTicks ? ASN_TIMETICKS : ASN_UNSIGNED,
                                 &ul, sizeof(ul));
        break;
    }
    }
}

// A TimeStamp as the master's sysUpTime counts, which the library keeps from the session's opening.
SnmpValue onMasterClock(const CSnmpSnapshot& snap, SnmpValue value)
{
    if (value.eType == SnmpValue::TimeTicks)
        value.iValue = snap.stampFor(quint32(value.iValue), quint32(netsnmp_get_agent_uptime()));
    return value;
}

// One handler for every subtree: GET and GETNEXT (GETBULK arrives as GETNEXTs) answered from one snapshot.
int handleRequests(netsnmp_mib_handler*, netsnmp_handler_registration* pReg,
                   netsnmp_agent_request_info* pInfo, netsnmp_request_info* pRequests)
{
    const std::shared_ptr<const CSnmpSnapshot> pSnap = s_pAgent->snapshot();
    const Oid root = toOid(pReg->rootoid, pReg->rootoid_len);
    for (netsnmp_request_info* pRequest = pRequests; pRequest; pRequest = pRequest->next) {
        if (pRequest->processed)
            continue;
        netsnmp_variable_list* pVar = pRequest->requestvb;
        const Oid asked = toOid(pVar->name, pVar->name_length);
        SnmpValue value;
        if (pInfo->mode == MODE_GET) {
            if (pSnap->get(asked, &value))
                setValue(pVar, onMasterClock(*pSnap, value));
            else
                netsnmp_set_request_error(pInfo, pRequest, SNMP_NOSUCHINSTANCE);
        } else if (pInfo->mode == MODE_GETNEXT) {
            Oid next;
            // Past this registration's subtree the master asks the next one: leave the request unanswered.
            if (pSnap->getNext(asked, &next, &value) && oidStartsWith(next, root)) {
                std::vector<oid> vecNext(next.cbegin(), next.cend());
                snmp_set_var_objid(pVar, vecNext.data(), vecNext.size());
                setValue(pVar, onMasterClock(*pSnap, value));
            }
        } else {
            netsnmp_set_request_error(pInfo, pRequest, SNMP_ERR_NOTWRITABLE);
        }
    }
    return SNMP_ERR_NOERROR;
}

// The library hands the message as the call's argument; the last one is the registration's, null here.
int onLog(int, int, void* pServerArg, void*)
{
    const auto* pMessage = static_cast<const snmp_log_message*>(pServerArg);
    if (s_pAgent && pMessage && pMessage->msg)
        s_pAgent->libraryMessage(QString::fromLocal8Bit(pMessage->msg).trimmed());
    return 0;
}

int onConnected(int, int, void*, void*)
{
    if (s_pAgent)
        s_pAgent->setStatus(
            SnmpAgentStatus::Serving,
            QStringLiteral("serving through the master agent at %1").arg(s_pAgent->socketName()));
    return 0;
}

int onDisconnected(int, int, void*, void*)
{
    if (s_pAgent)
        s_pAgent->setStatus(SnmpAgentStatus::Connecting,
                            QStringLiteral("the master agent at %1 went away; looking for it every %2 s")
                                .arg(s_pAgent->socketName())
                                .arg(CAgentXAgent::kPingSeconds));
    return 0;
}

} // namespace

extern "C" __attribute__((visibility("default"))) CSnmpAgent* rackmind_snmp_agent_create()
{
    return new CAgentXAgent;
}

extern "C" __attribute__((visibility("default"))) const char* rackmind_snmp_agent_build()
{
    return RACKMIND_SNMP_BUILD;
}

CAgentXAgent::~CAgentXAgent()
{
    stop();
}

QString CAgentXAgent::socketName() const
{
    return m_strSocket.isEmpty() ? QStringLiteral(NETSNMP_AGENTX_SOCKET) : m_strSocket;
}

void CAgentXAgent::start(const QString& strSocket, SnapshotSource fnSnapshot)
{
    if (m_thread.joinable() || s_pAgent)
        return;
    m_strSocket = strSocket;
    m_fnSnapshot = std::move(fnSnapshot);
    if (::pipe2(m_aiWake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_pAgent = this;
    setStatus(SnmpAgentStatus::Connecting,
              QStringLiteral("connecting to the master agent at %1").arg(socketName()));
    m_thread = std::thread([this] { run(); });
}

void CAgentXAgent::stop()
{
    if (!m_thread.joinable())
        return;
    m_bStopping = true;
    (void)::write(m_aiWake[1], "x", 1);
    m_thread.join();
    ::close(m_aiWake[0]);
    ::close(m_aiWake[1]);
    m_aiWake[0] = m_aiWake[1] = -1;
    s_pAgent = nullptr;
    setStatus(SnmpAgentStatus::Stopped, QStringLiteral("stopped"));
}

SnmpAgentStatus CAgentXAgent::status() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    SnmpAgentStatus status = m_status;
    // Said with the standing, so that each further loss is told once.
    if (m_uiDropped > 0)
        status.strText += QStringLiteral("; notifications not sent since the start: %1 (no master agent, or "
                                         "more than %2 waiting)")
                              .arg(m_uiDropped)
                              .arg(kQueueLimit);
    return status;
}

void CAgentXAgent::setStatus(SnmpAgentStatus::State eState, const QString& strText)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_status.eState = eState;
    m_status.strText = strText;
}

void CAgentXAgent::notify(const SnmpNotification& notification)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(notification);
        if (m_queue.size() > kQueueLimit) {
            m_queue.pop_front();
            ++m_uiDropped;
        }
    }
    if (m_aiWake[1] >= 0)
        (void)::write(m_aiWake[1], "n", 1);
}

void CAgentXAgent::sendQueued()
{
    std::deque<SnmpNotification> queue;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        queue.swap(m_queue);
    }
    for (const SnmpNotification& notification : queue) {
        if (!main_session) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_uiDropped;
            continue;
        }
        netsnmp_variable_list* pList = nullptr;
        const std::vector<oid> vecTrap(notification.trapOid.cbegin(), notification.trapOid.cend());
        snmp_varlist_add_variable(&pList, kTrapOid, OID_LENGTH(kTrapOid), ASN_OBJECT_ID,
                                  reinterpret_cast<const u_char*>(vecTrap.data()),
                                  vecTrap.size() * sizeof(oid));
        for (const auto& [objectOid, value] : notification.vecObjects) {
            const std::vector<oid> vecOid(objectOid.cbegin(), objectOid.cend());
            netsnmp_variable_list* pVar =
                snmp_varlist_add_variable(&pList, vecOid.data(), vecOid.size(), ASN_NULL, nullptr, 0);
            if (pVar)
                setValue(pVar, value);
        }
        send_v2trap(pList);
        snmp_free_varbind(pList);
    }
}

void CAgentXAgent::libraryMessage(const QString& strMessage)
{
    // The master took the session but not the tables (another subagent serves them): nothing of ours is
    // served until it takes them, at its next start.
    if (strMessage.startsWith(QLatin1String("registering")) && strMessage.contains(QLatin1String("failed"))) {
        setStatus(SnmpAgentStatus::Stopped,
                  QStringLiteral("the master agent at %1 refuses the room's tables (does another subagent "
                                 "serve them?): %2; asking again when it restarts")
                      .arg(socketName(), strMessage));
        return;
    }
    // The library says when the master cannot be reached, refuses the session or goes away; it tries again
    // every kPingSeconds. Told as the agent's own tries tell it: two texts taking turns would each be a
    // line of the log every few seconds for as long as the master is away.
    if (strMessage.contains(QLatin1String("Failed to connect")) ||
        strMessage.contains(QLatin1String("disconnected")) ||
        strMessage.contains(QLatin1String("failed to respond")) ||
        strMessage.contains(QLatin1String("Failed to create")))
        setStatus(SnmpAgentStatus::Connecting, unreachableText());
}

QString CAgentXAgent::unreachableText() const
{
    // The library does not say why; the socket file usually does.
    const QString strSocket = socketName();
    QString strWhy = QStringLiteral("it does not answer");
    if (strSocket.startsWith(QLatin1Char('/'))) {
        if (!QFileInfo::exists(strSocket))
            strWhy =
                QStringLiteral("no master agent listens there (is snmpd running with \"master agentx\"?)");
        else if (::access(strSocket.toLocal8Bit().constData(), R_OK | W_OK) != 0)
            strWhy = QStringLiteral("its socket refuses this user (agentXPerms in snmpd.conf)");
    }
    return QStringLiteral("the master agent at %1 cannot be reached: %2; trying again every %3 s")
        .arg(strSocket, strWhy)
        .arg(kPingSeconds);
}

void CAgentXAgent::run()
{
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    if (!m_strSocket.isEmpty())
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET,
                              m_strSocket.toLocal8Bit().constData());
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, kPingSeconds);
    // Timers run from this loop, not from SIGALRM; no configuration or state files of the library's own.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, onLog, nullptr);
    snmp_enable_calllog();
    snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_START, onConnected, nullptr);
    snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_STOP, onDisconnected, nullptr);

    init_agent(kAppName);
    for (const Oid& subtree : CSnmpSnapshot::subtrees()) {
        std::vector<oid> vecOid(subtree.cbegin(), subtree.cend());
        netsnmp_register_handler(netsnmp_create_handler_registration(
            "rackmind", handleRequests, vecOid.data(), vecOid.size(), HANDLER_CAN_RONLY));
    }
    for (const Module& module : kModules)
        register_sysORTable(const_cast<oid*>(module.aOid), OID_LENGTH(module.aOid), module.pszDescr);
    init_snmp(kAppName);
    // The library looks for a master that went away, not for one that was never there.
    auto lastTry = std::chrono::steady_clock::now();
    if (!main_session)
        setStatus(SnmpAgentStatus::Connecting, unreachableText());

    while (!m_bStopping) {
        const auto now = std::chrono::steady_clock::now();
        if (!main_session && now - lastTry >= std::chrono::seconds(kPingSeconds)) {
            lastTry = now;
            if (subagent_open_master_session() == 0)
                register_mib_reattach();
            else
                setStatus(SnmpAgentStatus::Connecting, unreachableText());
        }
        int iFds = m_aiWake[0] + 1;
        fd_set fds;
        FD_ZERO(&fds);
        FD_SET(m_aiWake[0], &fds);
        struct timeval timeout = {1, 0};
        int iBlock = 0;
        snmp_select_info(&iFds, &fds, &timeout, &iBlock);
        const int iReady = ::select(iFds, &fds, nullptr, nullptr, &timeout);
        if (iReady > 0 && FD_ISSET(m_aiWake[0], &fds)) {
            char ac[64];
            (void)::read(m_aiWake[0], ac, sizeof ac);
            if (m_bStopping)
                break;
            FD_CLR(m_aiWake[0], &fds);
        }
        if (iReady > 0)
            snmp_read(&fds);
        else if (iReady == 0)
            snmp_timeout();
        run_alarms();
        netsnmp_check_outstanding_agent_requests();
        sendQueued();
    }
    snmp_shutdown(kAppName);
}
