#include "snmp/agentx/AgentXAgent.h"

// The library's configuration header comes before every other of its headers.
#include <net-snmp/net-snmp-config.h>

#include <net-snmp/net-snmp-includes.h>

#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <net-snmp/agent/agent_callbacks.h>
#include <net-snmp/agent/agent_sysORTable.h>

#include "device/PortHolder.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <unistd.h>

// The library's own, without a header: open the session to the master, and send every registration again.
// main_session is the session to the master, null while there is none.
extern "C" {
int subagent_open_master_session(void);
extern netsnmp_session* main_session;
int vacm_in_view_callback(int iMajor, int iMinor, void* pServer, void* pClient);
}

namespace {

// The SNMP library's callbacks carry no pointer of ours back to the handlers; there is one agent a process.
CAgentXAgent* s_pAgent = nullptr;
const char kAppName[] = "rackmind";
// The agent thread's nice value.
constexpr int kThreadNice = 10;

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

// snmpTrapOID.0, sysUpTime.0
const oid kTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};
const oid kSysUpTime0[] = {1, 3, 6, 1, 2, 1, 1, 3, 0};

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

// snmpTrapOID.0 and the notification's objects.
netsnmp_variable_list* notificationVars(const SnmpNotification& notification)
{
    netsnmp_variable_list* pList = nullptr;
    const std::vector<oid> vecTrap(notification.trapOid.cbegin(), notification.trapOid.cend());
    snmp_varlist_add_variable(&pList, kTrapOid, OID_LENGTH(kTrapOid), ASN_OBJECT_ID,
                              reinterpret_cast<const u_char*>(vecTrap.data()), vecTrap.size() * sizeof(oid));
    for (const auto& [objectOid, value] : notification.vecObjects) {
        const std::vector<oid> vecOid(objectOid.cbegin(), objectOid.cend());
        netsnmp_variable_list* pVar =
            snmp_varlist_add_variable(&pList, vecOid.data(), vecOid.size(), ASN_NULL, nullptr, 0);
        if (pVar)
            setValue(pVar, value);
    }
    return pList;
}

// A TimeStamp as the master's sysUpTime counts, which the library keeps from the session's opening.
SnmpValue onMasterClock(const CSnmpSnapshot* pSnap, SnmpValue value)
{
    if (pSnap && value.eType == SnmpValue::TimeTicks)
        value.iValue = pSnap->stampFor(quint32(value.iValue), quint32(netsnmp_get_agent_uptime()));
    return value;
}

// The system group an agent of its own answers (sysDescr to sysORTable), built at start: a management
// system identifies the agent by it before it looks further. sysObjectID is zeroDotZero: no enterprise
// number of ours is registered. sysUpTime.0 is answered as asked.
const Oid kSystem = {1, 3, 6, 1, 2, 1, 1};
const Oid kSysUpTime = {1, 3, 6, 1, 2, 1, 1, 3, 0};
QVector<std::pair<Oid, SnmpValue>> s_vecSystem;

QString hostName()
{
    char ac[256] = {};
    ::gethostname(ac, sizeof ac - 1);
    return QString::fromLocal8Bit(ac);
}

void buildSystemGroup()
{
    s_vecSystem = {
        {kSystem + std::initializer_list<quint32>{1, 0},
         SnmpValue::text(QStringLiteral("Rackmind: the rack PDUs of the room"))},
        {kSystem + std::initializer_list<quint32>{2, 0}, SnmpValue::objectId({0, 0})},
        {kSysUpTime, SnmpValue::timeTicks(0)},
        {kSystem + std::initializer_list<quint32>{4, 0}, SnmpValue::text(QString())},
        {kSystem + std::initializer_list<quint32>{5, 0}, SnmpValue::text(hostName())},
        {kSystem + std::initializer_list<quint32>{6, 0}, SnmpValue::text(QString())},
        {kSystem + std::initializer_list<quint32>{7, 0}, SnmpValue::integer(72)},
        {kSystem + std::initializer_list<quint32>{8, 0}, SnmpValue::timeTicks(0)},
    };
    for (quint32 uiColumn : {2u, 3u, 4u})
        for (quint32 ui = 0; ui < std::size(kModules); ++ui) {
            const Module& module = kModules[ui];
            const SnmpValue value = uiColumn == 2
                                        ? SnmpValue::objectId(toOid(module.aOid, OID_LENGTH(module.aOid)))
                                    : uiColumn == 3 ? SnmpValue::text(QString::fromLatin1(module.pszDescr))
                                                    : SnmpValue::timeTicks(0);
            s_vecSystem.append({kSystem + std::initializer_list<quint32>{9, 1, uiColumn, ui + 1}, value});
        }
}

// The system group's instance at oid (bNext: the first after it).
bool systemLookup(bool bNext, const Oid& oid, Oid* pFound, SnmpValue* pValue)
{
    const auto it = std::find_if(s_vecSystem.cbegin(), s_vecSystem.cend(), [&](const auto& entry) {
        return bNext ? oid < entry.first : !(entry.first < oid);
    });
    if (it == s_vecSystem.cend() || (!bNext && it->first != oid))
        return false;
    *pFound = it->first;
    *pValue =
        it->first == kSysUpTime ? SnmpValue::timeTicks(quint32(netsnmp_get_agent_uptime())) : it->second;
    return true;
}

// One handler for every subtree: GET and GETNEXT (GETBULK arrives as GETNEXTs) answered from one snapshot,
// or from the system group.
int handleRequests(netsnmp_mib_handler*, netsnmp_handler_registration* pReg,
                   netsnmp_agent_request_info* pInfo, netsnmp_request_info* pRequests)
{
    const Oid root = toOid(pReg->rootoid, pReg->rootoid_len);
    const bool bSystem = root == kSystem;
    const std::shared_ptr<const CSnmpSnapshot> pSnap = bSystem ? nullptr : s_pAgent->snapshot();
    for (netsnmp_request_info* pRequest = pRequests; pRequest; pRequest = pRequest->next) {
        if (pRequest->processed)
            continue;
        netsnmp_variable_list* pVar = pRequest->requestvb;
        const Oid asked = toOid(pVar->name, pVar->name_length);
        SnmpValue value;
        Oid found;
        if (pInfo->mode == MODE_GET) {
            if (bSystem ? systemLookup(false, asked, &found, &value) : pSnap->get(asked, &value))
                setValue(pVar, onMasterClock(pSnap.get(), value));
            else
                netsnmp_set_request_error(pInfo, pRequest, SNMP_NOSUCHINSTANCE);
        } else if (pInfo->mode == MODE_GETNEXT) {
            // Past this registration's subtree the master asks the next one: leave the request unanswered.
            if ((bSystem ? systemLookup(true, asked, &found, &value)
                         : pSnap->getNext(asked, &found, &value)) &&
                oidStartsWith(found, root)) {
                std::vector<oid> vecNext(found.cbegin(), found.cend());
                snmp_set_var_objid(pVar, vecNext.data(), vecNext.size());
                setValue(pVar, onMasterClock(pSnap.get(), value));
            }
        } else {
            netsnmp_set_request_error(pInfo, pRequest, SNMP_ERR_NOTWRITABLE);
        }
    }
    return SNMP_ERR_NOERROR;
}

// Access of the agent of its own: the page's version only, with its community, or its V3 user at the
// security level its keys give (USM has checked the keys themselves by then). Every other request is
// dropped (V1, V2C) or refused (V3), as an agent does for a community or user it does not know.
int onAccessCheck(int, int, void* pServer, void*)
{
    auto* pParams = static_cast<view_parameters*>(pServer);
    if (pParams && s_pAgent && !s_pAgent->admits(pParams->pdu))
        pParams->errorcode = VACM_NOACCESS;
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
    return m_config.strSocket.isEmpty() ? QStringLiteral(NETSNMP_AGENTX_SOCKET) : m_config.strSocket;
}

void CAgentXAgent::start(const SnmpAgentConfig& config, SnapshotSource fnSnapshot)
{
    if (m_thread.joinable())
        return;
    if (s_pAgent) {
        setStatus(SnmpAgentStatus::Stopped,
                  QStringLiteral("an earlier agent of this program has not ended; restart the program"));
        return;
    }
    m_config = config;
    m_fnSnapshot = std::move(fnSnapshot);
    if (::pipe2(m_aiWake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_pAgent = this;
    if (m_config.eMode == SnmpAgentConfig::AgentX)
        setStatus(SnmpAgentStatus::Connecting,
                  QStringLiteral("connecting to the master agent at %1").arg(socketName()));
    else
        setStatus(SnmpAgentStatus::Connecting, QStringLiteral("opening UDP port %1").arg(m_config.uiPort));
    m_bEnded = false;
    m_thread = std::thread([this] {
        run();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bEnded = true;
        m_cvEnded.notify_all();
    });
}

bool CAgentXAgent::stop()
{
    if (!m_thread.joinable())
        return true;
    m_bStopping = true;
    (void)::write(m_aiWake[1], "x", 1);
    {
        // A thread stuck in the library (a write the master never takes) must not hold the program's stop
        // for ever: it is left behind, with what it uses.
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_cvEnded.wait_for(lock, std::chrono::seconds(kStopSeconds), [this] { return m_bEnded; })) {
            m_thread.detach();
            m_status.eState = SnmpAgentStatus::Stopped;
            m_status.strText = QStringLiteral("the agent did not end within %1 s (the SNMP library is stuck, "
                                              "waiting on the master agent?); left running until the "
                                              "program ends")
                                   .arg(kStopSeconds);
            return false;
        }
    }
    m_thread.join();
    ::close(m_aiWake[0]);
    ::close(m_aiWake[1]);
    m_aiWake[0] = m_aiWake[1] = -1;
    s_pAgent = nullptr;
    setStatus(SnmpAgentStatus::Stopped, QStringLiteral("stopped"));
    return true;
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

bool CAgentXAgent::sendQueued()
{
    // A few at a time, the master's answers read in between: it answers each, and while its answers stay
    // unread it stops reading ours, until both wait on a full socket for ever.
    std::deque<SnmpNotification> queue;
    bool bMore;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const size_t uiTake = std::min(m_queue.size(), kSendBatch);
        queue.assign(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(uiTake));
        m_queue.erase(m_queue.begin(), m_queue.begin() + std::ptrdiff_t(uiTake));
        bMore = !m_queue.empty();
    }
    for (const SnmpNotification& notification : queue) {
        // A stop never waits on what is queued.
        if (m_bStopping || (m_config.eMode == SnmpAgentConfig::AgentX ? !main_session : m_iSinks == 0)) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_uiDropped;
            continue;
        }
        netsnmp_variable_list* pList = notificationVars(notification);
        send_v2trap(pList);
        snmp_free_varbind(pList);
        const quint32 uiNow = quint32(netsnmp_get_agent_uptime());
        for (V3Receiver& receiver : m_vecV3) {
            if (receiver.bInSinks)
                continue;
            receiver.held.push_back({notification, uiNow});
            if (receiver.held.size() > kQueueLimit) {
                receiver.held.pop_front();
                std::lock_guard<std::mutex> lock(m_mutex);
                ++m_uiDropped;
            }
        }
    }
    return bMore;
}

void CAgentXAgent::serveV3Receivers()
{
    const auto now = std::chrono::steady_clock::now();
    for (V3Receiver& receiver : m_vecV3) {
        if (receiver.bInSinks)
            continue;
        if (receiver.bKnown) {
            // What waited goes first, in its order, then the receiver takes what comes as the others do.
            while (!receiver.held.empty() && !m_bStopping) {
                const HeldNotification& held = receiver.held.front();
                netsnmp_pdu* pPdu = snmp_pdu_create(SNMP_MSG_INFORM);
                const u_long ulUptime = held.uiUptime;
                snmp_pdu_add_variable(pPdu, kSysUpTime0, OID_LENGTH(kSysUpTime0), ASN_TIMETICKS, &ulUptime,
                                      sizeof ulUptime);
                pPdu->variables->next_variable = notificationVars(held.notification);
                send_trap_to_sess(receiver.pSession, pPdu);
                snmp_free_pdu(pPdu);
                receiver.held.pop_front();
            }
            if (receiver.held.empty()) {
                add_trap_session(receiver.pSession, SNMP_MSG_INFORM, 1, SNMP_VERSION_3);
                receiver.bInSinks = true;
            }
            continue;
        }
        if (receiver.bAsking || now < receiver.nextAsk)
            continue;
        // As the library's own discovery asks: an empty request of no user, answered by a report that
        // carries the receiver's engine ID.
        netsnmp_pdu* pPdu = snmp_pdu_create(SNMP_MSG_GET);
        pPdu->version = SNMP_VERSION_3;
        pPdu->securityName = strdup("");
        pPdu->securityNameLen = 0;
        pPdu->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
        pPdu->securityModel = SNMP_SEC_MODEL_USM;
        const auto onAnswer = [](int iOp, netsnmp_session* pSession, int, netsnmp_pdu* pAnswer, void*) {
            if (s_pAgent)
                s_pAgent->engineAnswer(pSession,
                                       iOp == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE ? pAnswer : nullptr);
            return 1;
        };
        if (snmp_async_send(receiver.pSession, pPdu, onAnswer, nullptr) == 0) {
            snmp_free_pdu(pPdu);
            receiver.nextAsk = now + std::chrono::seconds(kDiscoverySeconds);
        } else {
            receiver.bAsking = true;
        }
    }
}

void CAgentXAgent::engineAnswer(snmp_session* pSession, const snmp_pdu* pAnswer)
{
    const auto it = std::find_if(m_vecV3.begin(), m_vecV3.end(),
                                 [&](const V3Receiver& receiver) { return receiver.pSession == pSession; });
    if (it == m_vecV3.end() || it->bKnown)
        return;
    it->bAsking = false;
    if (!pAnswer || pAnswer->securityEngineIDLen == 0) {
        it->nextAsk = std::chrono::steady_clock::now() + std::chrono::seconds(kDiscoverySeconds);
        return;
    }
    const auto copy = [&](u_char** ppID, size_t* puiLength) {
        SNMP_FREE(*ppID);
        *ppID = static_cast<u_char*>(netsnmp_memdup(pAnswer->securityEngineID, pAnswer->securityEngineIDLen));
        *puiLength = pAnswer->securityEngineIDLen;
    };
    copy(&pSession->securityEngineID, &pSession->securityEngineIDLen);
    if (pSession->contextEngineIDLen == 0)
        copy(&pSession->contextEngineID, &pSession->contextEngineIDLen);
    // The user's keys localized to that engine, as the library makes them after its own discovery.
    usm_create_user_from_session(pSession);
    it->bKnown = true;
}

void CAgentXAgent::closeV3Receivers()
{
    for (V3Receiver& receiver : m_vecV3) {
        if (!receiver.bInSinks)
            snmp_close(receiver.pSession);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_uiDropped += receiver.held.size();
    }
    m_vecV3.clear();
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

bool CAgentXAgent::admits(const netsnmp_pdu* pPdu) const
{
    static const long kVersions[] = {SNMP_VERSION_1, SNMP_VERSION_2c, SNMP_VERSION_3};
    if (!pPdu || m_config.iVersion < 0 || m_config.iVersion > 2 ||
        pPdu->version != kVersions[m_config.iVersion])
        return false;
    if (pPdu->version != SNMP_VERSION_3)
        return QByteArray(reinterpret_cast<const char*>(pPdu->community), int(pPdu->community_len)) ==
               m_config.baUser;
    return pPdu->securityModel == SNMP_SEC_MODEL_USM && pPdu->securityLevel >= securityLevel() &&
           QByteArray(pPdu->securityName, int(pPdu->securityNameLen)) == m_config.baUser;
}

int CAgentXAgent::securityLevel() const
{
    if (m_config.strAuthProtocol == QLatin1String("none"))
        return SNMP_SEC_LEVEL_NOAUTH;
    return m_config.strPrivProtocol == QLatin1String("none") ? SNMP_SEC_LEVEL_AUTHNOPRIV
                                                             : SNMP_SEC_LEVEL_AUTHPRIV;
}

namespace {

struct AuthProtocol
{
    const char* pszName;
    const oid* pOid;
};
const AuthProtocol kAuthProtocols[] = {{"SHA", usmHMACSHA1AuthProtocol},
                                       {"SHA-224", usmHMAC128SHA224AuthProtocol},
                                       {"SHA-256", usmHMAC192SHA256AuthProtocol},
                                       {"SHA-384", usmHMAC256SHA384AuthProtocol},
                                       {"SHA-512", usmHMAC384SHA512AuthProtocol}};

const oid* authProtocolOid(const QString& strName)
{
    for (const AuthProtocol& protocol : kAuthProtocols)
        if (strName == QLatin1String(protocol.pszName))
            return protocol.pOid;
    return nullptr;
}

} // namespace

QString CAgentXAgent::checkKeys() const
{
    if (m_config.baUser.isEmpty())
        return QStringLiteral("no user name (community) is set");
    return m_config.iVersion == 2 ? checkV3Keys() : QString();
}

QString CAgentXAgent::checkV3Keys() const
{
    if (securityLevel() == SNMP_SEC_LEVEL_NOAUTH)
        return QString();
    if (!authProtocolOid(m_config.strAuthProtocol))
        return QStringLiteral(
                   "the authentication protocol \"%1\" is not one of SHA, SHA-224, SHA-256, SHA-384, "
                   "SHA-512 or none")
            .arg(m_config.strAuthProtocol);
    if (m_config.baAuthPassphrase.size() < 8)
        return QStringLiteral("the authentication passphrase has fewer than 8 characters");
    if (securityLevel() == SNMP_SEC_LEVEL_AUTHPRIV) {
        if (m_config.strPrivProtocol != QLatin1String("AES"))
            return QStringLiteral("the privacy protocol \"%1\" is not AES or none")
                .arg(m_config.strPrivProtocol);
        if (m_config.baPrivPassphrase.size() < 8)
            return QStringLiteral("the privacy passphrase has fewer than 8 characters");
    }
    return QString();
}

void CAgentXAgent::createUser(const QByteArray& baUser)
{
    // Keys localized to this engine from the passphrases, as the library's own createUser makes them. The
    // user is volatile: never written to the library's state file.
    u_char auEngine[SNMP_MAXBUF_SMALL];
    const size_t uiEngine = snmpv3_get_engineID(auEngine, sizeof auEngine);
    usmUser* pUser = usm_create_user();
    if (!pUser)
        return;
    pUser->name = strdup(baUser.constData());
    pUser->secName = strdup(baUser.constData());
    pUser->engineID = static_cast<u_char*>(netsnmp_memdup(auEngine, uiEngine));
    pUser->engineIDLen = uiEngine;
    const auto localizedKey = [&](const oid* pAuth, const QByteArray& baPassphrase, u_char** ppKey,
                                  size_t* puiKey) {
        u_char auKu[SNMP_MAXBUF_SMALL];
        size_t uiKu = sizeof auKu;
        *ppKey = static_cast<u_char*>(malloc(SNMP_MAXBUF_SMALL));
        *puiKey = SNMP_MAXBUF_SMALL;
        if (generate_Ku(pAuth, USM_AUTH_PROTO_SHA_LEN,
                        reinterpret_cast<const u_char*>(baPassphrase.constData()),
                        size_t(baPassphrase.size()), auKu, &uiKu) != SNMPERR_SUCCESS ||
            generate_kul(pAuth, USM_AUTH_PROTO_SHA_LEN, auEngine, uiEngine, auKu, uiKu, *ppKey, puiKey) !=
                SNMPERR_SUCCESS)
            *puiKey = 0;
        memset(auKu, 0, sizeof auKu);
    };
    if (securityLevel() != SNMP_SEC_LEVEL_NOAUTH) {
        const oid* pAuth = authProtocolOid(m_config.strAuthProtocol);
        SNMP_FREE(pUser->authProtocol);
        pUser->authProtocol = snmp_duplicate_objid(pAuth, USM_AUTH_PROTO_SHA_LEN);
        pUser->authProtocolLen = USM_AUTH_PROTO_SHA_LEN;
        localizedKey(pAuth, m_config.baAuthPassphrase, &pUser->authKey, &pUser->authKeyLen);
        if (securityLevel() == SNMP_SEC_LEVEL_AUTHPRIV) {
            SNMP_FREE(pUser->privProtocol);
            pUser->privProtocol = snmp_duplicate_objid(usmAESPrivProtocol, USM_PRIV_PROTO_AES_LEN);
            pUser->privProtocolLen = USM_PRIV_PROTO_AES_LEN;
            localizedKey(pAuth, m_config.baPrivPassphrase, &pUser->privKey, &pUser->privKeyLen);
        }
    }
    pUser->userStatus = RS_ACTIVE;
    pUser->userStorageType = ST_VOLATILE;
    usm_add_user(pUser);
}

void CAgentXAgent::restoreEngine()
{
    // The engine keeps its ID across starts (a manager knows it by it) and counts its boots, which SNMPv3
    // needs against replayed requests. Kept in a file of ours: the library makes a new ID when started
    // again in the same process, or when its state file names another type of ID.
    const QString strFile = QDir(m_config.strStateDir).filePath(QStringLiteral("engine"));
    QFile file(strFile);
    QByteArray baEngine;
    long lBoots = 0;
    if (file.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> listLines = file.readAll().split('\n');
        file.close();
        if (listLines.size() >= 2) {
            baEngine = QByteArray::fromHex(listLines.at(0).trimmed());
            lBoots = listLines.at(1).trimmed().toLong();
        }
    }
    // A new ID is random: the library's own would be the same at every start (made from the host's
    // address), and with the count begun again a request recorded before would be taken again.
    const auto newEngine = [] {
        QByteArray ba = QByteArray::fromHex("80001f8805");
        for (int i = 0; i < 3; ++i) {
            const quint32 ui = QRandomGenerator::system()->generate();
            ba.append(reinterpret_cast<const char*>(&ui), sizeof ui);
        }
        return ba;
    };
    if (baEngine.size() < 5 || baEngine.size() > 32) {
        baEngine = newEngine();
        lBoots = 0;
    }
    // The count is saved before it is used: an ID whose count cannot be saved would come back with the
    // same count at the next start, so this start takes a new one instead.
    long lNow = qMax(0L, lBoots) + 1;
    const auto save = [&] {
        QSaveFile saveFile(strFile);
        return saveFile.open(QIODevice::WriteOnly) &&
               saveFile.write(baEngine.toHex() + '\n' + QByteArray::number(qlonglong(lNow)) + '\n') > 0 &&
               saveFile.commit();
    };
    if (!save()) {
        baEngine = newEngine();
        lNow = 1;
    }
    set_exact_engineID(reinterpret_cast<const u_char*>(baEngine.constData()), size_t(baEngine.size()));
    // The library's own steps once its configuration is read, then this count in its place (the library
    // counts one on from the number it is given).
    init_snmpv3_post_config(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_POST_READ_CONFIG, nullptr, nullptr);
    QByteArray baBoots = QByteArray::number(qlonglong(lNow - 1));
    engineBoots_conf("engineBoots", baBoots.data());
    set_enginetime(reinterpret_cast<const u_char*>(baEngine.constData()), u_int(baEngine.size()),
                   u_int(snmpv3_local_snmpEngineBoots()), u_int(snmpv3_local_snmpEngineTime()), TRUE);
}

int CAgentXAgent::openSinks()
{
    m_listSinkErrors.clear();
    int iOpened = 0;
    // A V2C agent's keys have not been checked at its start; V3 informs need them.
    const QString strKeys = m_config.bTrapV3 ? checkV3Keys() : QString();
    if (!strKeys.isEmpty() && !m_config.listReceivers.isEmpty()) {
        m_listSinkErrors << strKeys;
        return 0;
    }
    for (const QString& strReceiver : m_config.listReceivers) {
        // host, host:port, [v6]:port; the trap port by default.
        QString strHost = strReceiver.trimmed();
        uint uiPort = m_config.uiTrapPort;
        bool bPort = true;
        const int iColon = strHost.lastIndexOf(QLatin1Char(':'));
        if (iColon > 0 && strHost.indexOf(QLatin1Char(':')) == iColon) {
            uiPort = strHost.mid(iColon + 1).toUInt(&bPort);
            strHost.truncate(iColon);
        } else if (strHost.startsWith(QLatin1Char('[')) && strHost.contains(QLatin1String("]:"))) {
            uiPort = strHost.section(QLatin1String("]:"), 1).toUInt(&bPort);
            strHost = strHost.section(QLatin1String("]:"), 0, 0).mid(1);
        } else if (strHost.startsWith(QLatin1Char('[')) && strHost.endsWith(QLatin1Char(']'))) {
            strHost = strHost.mid(1, strHost.size() - 2);
        }
        if (strHost.isEmpty() || !bPort || uiPort == 0 || uiPort > 65535) {
            m_listSinkErrors << QStringLiteral("\"%1\" is not host or host:port").arg(strReceiver);
            continue;
        }
        const QByteArray baPeer = (strHost.contains(QLatin1Char(':')) ? QStringLiteral("udp6:[%1]:%2")
                                                                      : QStringLiteral("udp:%1:%2"))
                                      .arg(strHost)
                                      .arg(uiPort)
                                      .toUtf8();
        netsnmp_session session;
        snmp_sess_init(&session);
        session.peername = const_cast<char*>(baPeer.constData());
        session.retries = m_config.iRetries;
        session.timeout = long(m_config.iTimeoutMs) * 1000;
        session.callback = [](int, netsnmp_session*, int, netsnmp_pdu*, void*) { return 1; };
        u_char auAuthKey[USM_AUTH_KU_LEN], auPrivKey[USM_PRIV_KU_LEN];
        if (m_config.bTrapV3) {
            session.version = SNMP_VERSION_3;
            session.securityName = const_cast<char*>(m_config.baTrapUser.constData());
            session.securityNameLen = size_t(m_config.baTrapUser.size());
            session.securityLevel = securityLevel();
            if (securityLevel() != SNMP_SEC_LEVEL_NOAUTH) {
                const oid* pAuth = authProtocolOid(m_config.strAuthProtocol);
                session.securityAuthProto = const_cast<oid*>(pAuth);
                session.securityAuthProtoLen = USM_AUTH_PROTO_SHA_LEN;
                session.securityAuthKeyLen = sizeof auAuthKey;
                generate_Ku(pAuth, USM_AUTH_PROTO_SHA_LEN,
                            reinterpret_cast<const u_char*>(m_config.baAuthPassphrase.constData()),
                            size_t(m_config.baAuthPassphrase.size()), session.securityAuthKey,
                            &session.securityAuthKeyLen);
            }
            if (securityLevel() == SNMP_SEC_LEVEL_AUTHPRIV) {
                session.securityPrivProto = usmAESPrivProtocol;
                session.securityPrivProtoLen = USM_PRIV_PROTO_AES_LEN;
                session.securityPrivKeyLen = sizeof auPrivKey;
                generate_Ku(session.securityAuthProto, session.securityAuthProtoLen,
                            reinterpret_cast<const u_char*>(m_config.baPrivPassphrase.constData()),
                            size_t(m_config.baPrivPassphrase.size()), session.securityPrivKey,
                            &session.securityPrivKeyLen);
            }
        } else {
            session.version = SNMP_VERSION_2c;
            session.community = reinterpret_cast<u_char*>(const_cast<char*>(m_config.baTrapUser.constData()));
            session.community_len = size_t(m_config.baTrapUser.size());
        }
        // A V3 receiver's engine is asked for without waiting (serveV3Receivers): one that is down must
        // not hold the agent up.
        session.flags |= SNMP_FLAGS_DONT_PROBE;
        netsnmp_session* pOpened = snmp_open(&session);
        if (!pOpened) {
            m_listSinkErrors << QStringLiteral("%1: %2").arg(
                strReceiver, QString::fromLocal8Bit(snmp_api_errstring(snmp_errno)));
            continue;
        }
        if (m_config.bTrapV3) {
            // Never probed by the library, which would wait for the answer on this thread.
            pOpened->flags |= SNMP_FLAGS_DONT_PROBE;
            V3Receiver receiver;
            receiver.pSession = pOpened;
            m_vecV3.push_back(std::move(receiver));
        } else {
            add_trap_session(pOpened, SNMP_MSG_INFORM, 1, int(session.version));
        }
        ++iOpened;
    }
    return iOpened;
}

QString CAgentXAgent::portFailure(int iErrno) const
{
    const PortHolder holder = PortHolder::find(m_config.uiPort);
    if (holder.kind != PortHolder::None) {
        const QString strWho = holder.iPid ? QStringLiteral("process %1 \"%2\", user %3")
                                                 .arg(holder.iPid)
                                                 .arg(holder.strProgram, holder.strUser)
                                           : QStringLiteral("user %1").arg(holder.strUser);
        return QStringLiteral("UDP port %1 is held by another program (%2)").arg(m_config.uiPort).arg(strWho);
    }
    if (iErrno == EACCES && m_config.uiPort < 1024)
        return QStringLiteral(
                   "UDP port %1 is below 1024 and this program may not open it (CAP_NET_BIND_SERVICE)")
            .arg(m_config.uiPort);
    return QStringLiteral("UDP port %1 cannot be opened: %2")
        .arg(m_config.uiPort)
        .arg(QString::fromLocal8Bit(std::strerror(iErrno)));
}

QString CAgentXAgent::servingText() const
{
    static const char* const kVersionNames[] = {"SNMPv1", "SNMPv2c", "SNMPv3"};
    static const char* const kLevels[] = {"", "noAuthNoPriv", "authNoPriv", "authPriv"};
    QString strText = QStringLiteral("serving on UDP port %1 (%2")
                          .arg(m_config.uiPort)
                          .arg(QLatin1String(kVersionNames[m_config.iVersion]));
    if (m_config.iVersion == 2)
        strText += QStringLiteral(", user %1, %2")
                       .arg(QString::fromUtf8(m_config.baUser), QLatin1String(kLevels[securityLevel()]));
    strText += QLatin1Char(')');
    if (!m_config.listReceivers.isEmpty())
        strText += QStringLiteral("; notifications to %1 of %2 receivers")
                       .arg(m_iSinks)
                       .arg(m_config.listReceivers.size());
    if (!m_listSinkErrors.isEmpty())
        strText += QStringLiteral(" (not used: %1)").arg(m_listSinkErrors.join(QStringLiteral("; ")));
    return strText;
}

void CAgentXAgent::run()
{
    // Below the room's polling: a walk of every table must not delay a poll. Linux keeps a nice value per
    // thread (a thread priority of Qt's would change nothing under the default scheduler).
    (void)::setpriority(PRIO_PROCESS, id_t(::gettid()), kThreadNice);
    const bool bEmbedded = m_config.eMode == SnmpAgentConfig::Embedded;
    const QString strKeys = bEmbedded ? checkKeys() : QString();
    if (!strKeys.isEmpty()) {
        setStatus(SnmpAgentStatus::Stopped, strKeys);
        return;
    }
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, bEmbedded ? 0 : 1);
    // Timers run from this loop, not from SIGALRM.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
    if (bEmbedded) {
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS,
                              QByteArray("udp:" + QByteArray::number(m_config.uiPort)).constData());
        // The engine's ID and boot count are kept in a private folder of ours (never the user's ~/.snmp
        // or snmpd's /var/lib/snmp); no configuration is read from anywhere else.
        QDir().mkpath(m_config.strStateDir);
        QFile::setPermissions(m_config.strStateDir,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QByteArray baDir = QFile::encodeName(m_config.strStateDir);
        netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_CONFIGURATION_DIR, baDir.constData());
        netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, baDir.constData());
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 0);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 0);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 0);
    } else {
        if (!m_config.strSocket.isEmpty())
            netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET,
                                  m_config.strSocket.toLocal8Bit().constData());
        netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, kPingSeconds);
        // No configuration or state files of the library's own: the master has them.
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    }
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, onLog, nullptr);
    snmp_enable_calllog();
    if (bEmbedded) {
        for (int iCheck :
             {SNMPD_CALLBACK_ACM_CHECK, SNMPD_CALLBACK_ACM_CHECK_INITIAL, SNMPD_CALLBACK_ACM_CHECK_SUBTREE})
            snmp_register_callback(SNMP_CALLBACK_APPLICATION, iCheck, onAccessCheck, nullptr);
    } else {
        snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_START, onConnected, nullptr);
        snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_INDEX_STOP, onDisconnected, nullptr);
    }

    init_agent(kAppName);
    QVector<Oid> vecSubtrees = CSnmpSnapshot::subtrees();
    if (bEmbedded) {
        buildSystemGroup();
        vecSubtrees.prepend(kSystem);
    }
    for (const Oid& subtree : vecSubtrees) {
        std::vector<oid> vecOid(subtree.cbegin(), subtree.cend());
        netsnmp_register_handler(netsnmp_create_handler_registration(
            "rackmind", handleRequests, vecOid.data(), vecOid.size(), HANDLER_CAN_RONLY));
    }
    for (const Module& module : kModules)
        register_sysORTable(const_cast<oid*>(module.aOid), OID_LENGTH(module.aOid), module.pszDescr);
    init_snmp(kAppName);
    if (bEmbedded)
        // The library's view-based access control would refuse every request (we configure none): access
        // is ours alone.
        for (int iCheck :
             {SNMPD_CALLBACK_ACM_CHECK, SNMPD_CALLBACK_ACM_CHECK_INITIAL, SNMPD_CALLBACK_ACM_CHECK_SUBTREE})
            snmp_unregister_callback(SNMP_CALLBACK_APPLICATION, iCheck, vacm_in_view_callback, nullptr, 0);
    // The library looks for a master that went away, not for one that was never there.
    auto lastTry = std::chrono::steady_clock::now();
    if (bEmbedded) {
        errno = 0;
        if (init_master_agent() != 0) {
            setStatus(SnmpAgentStatus::Stopped, portFailure(errno));
            shutdownLibrary();
            return;
        }
        restoreEngine();
        if (m_config.iVersion == 2)
            createUser(m_config.baUser);
        if (m_config.bTrapV3 && m_config.baTrapUser != m_config.baUser)
            createUser(m_config.baTrapUser);
        m_iSinks = openSinks();
        // The engine's boot count goes to disk now, not only at a clean stop: after a crash the next start
        // must still count on from it.
        snmp_store(kAppName);
        setStatus(SnmpAgentStatus::Serving, servingText());
    } else if (!main_session) {
        setStatus(SnmpAgentStatus::Connecting, unreachableText());
    }

    bool bMoreQueued = false;
    while (!m_bStopping) {
        const auto now = std::chrono::steady_clock::now();
        if (!bEmbedded && !main_session && now - lastTry >= std::chrono::seconds(kPingSeconds)) {
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
        if (bMoreQueued)
            timeout = {0, 0};
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
        bMoreQueued = sendQueued();
        serveV3Receivers();
    }
    if (bEmbedded)
        shutdown_master_agent();
    shutdownLibrary();
}

void CAgentXAgent::shutdownLibrary()
{
    // Everything the library keeps in its globals goes, so that another agent may start in this process
    // (the receivers' sessions too, which it would otherwise keep sending to once closed).
    snmpd_free_trapsinks();
    closeV3Receivers();
    snmp_shutdown(kAppName);
    shutdown_agent();
    m_iSinks = 0;
}
