#include "metrics/WebConfig.h"

#include "common/Clock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <crypt.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iterator>
#include <openssl/crypto.h>
#include <strings.h>
#include <vector>

namespace {

// A security setting misspelt must not leave the endpoint open: every key is one this reader knows.
bool onlyKeys(const YAML::Node& node, std::initializer_list<const char*> listKeys, const char* pszWhere,
              QString* pError)
{
    if (!node.IsMap()) {
        *pError = QStringLiteral("%1: not a mapping").arg(QLatin1String(pszWhere));
        return false;
    }
    for (const auto& item : node) {
        const std::string strKey = item.first.as<std::string>();
        bool bKnown = false;
        for (const char* pszKey : listKeys)
            bKnown = bKnown || strKey == pszKey;
        if (!bKnown) {
            *pError = QStringLiteral("%1: unknown or unsupported key \"%2\"")
                          .arg(QLatin1String(pszWhere), QString::fromStdString(strKey));
            return false;
        }
    }
    return true;
}

QString text(const YAML::Node& node, const char* pszKey, const QDir& dirBase, bool bPath)
{
    if (!node[pszKey])
        return QString();
    const QString strValue = QString::fromStdString(node[pszKey].as<std::string>());
    return bPath && !strValue.isEmpty() ? QDir::cleanPath(dirBase.absoluteFilePath(strValue)) : strValue;
}

bool isBcrypt(const QByteArray& baHash)
{
    return baHash.size() == 60 &&
           (baHash.startsWith("$2a$") || baHash.startsWith("$2b$") || baHash.startsWith("$2y$"));
}

// The names the format takes (those of Go's crypto/tls) and OpenSSL's for the same suites. The TLS 1.3
// suites are accepted and have no effect there either: that protocol's suites are all sound.
const char* const s_aSuites[][2] = {
    {"TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256", "ECDHE-ECDSA-AES128-GCM-SHA256"},
    {"TLS_ECDHE_ECDSA_WITH_AES_256_GCM_SHA384", "ECDHE-ECDSA-AES256-GCM-SHA384"},
    {"TLS_ECDHE_ECDSA_WITH_CHACHA20_POLY1305_SHA256", "ECDHE-ECDSA-CHACHA20-POLY1305"},
    {"TLS_ECDHE_RSA_WITH_AES_128_GCM_SHA256", "ECDHE-RSA-AES128-GCM-SHA256"},
    {"TLS_ECDHE_RSA_WITH_AES_256_GCM_SHA384", "ECDHE-RSA-AES256-GCM-SHA384"},
    {"TLS_ECDHE_RSA_WITH_CHACHA20_POLY1305_SHA256", "ECDHE-RSA-CHACHA20-POLY1305"},
    {"TLS_ECDHE_ECDSA_WITH_AES_128_CBC_SHA", "ECDHE-ECDSA-AES128-SHA"},
    {"TLS_ECDHE_ECDSA_WITH_AES_256_CBC_SHA", "ECDHE-ECDSA-AES256-SHA"},
    {"TLS_ECDHE_RSA_WITH_AES_128_CBC_SHA", "ECDHE-RSA-AES128-SHA"},
    {"TLS_ECDHE_RSA_WITH_AES_256_CBC_SHA", "ECDHE-RSA-AES256-SHA"},
    {"TLS_RSA_WITH_AES_128_GCM_SHA256", "AES128-GCM-SHA256"},
    {"TLS_RSA_WITH_AES_256_GCM_SHA384", "AES256-GCM-SHA384"},
    {"TLS_RSA_WITH_AES_128_CBC_SHA", "AES128-SHA"},
    {"TLS_RSA_WITH_AES_256_CBC_SHA", "AES256-SHA"},
    {"TLS_AES_128_GCM_SHA256", ""},
    {"TLS_AES_256_GCM_SHA384", ""},
    {"TLS_CHACHA20_POLY1305_SHA256", ""},
};
const char* const s_aCurves[][2] = {
    {"X25519", "X25519"}, {"CurveP256", "P-256"}, {"CurveP384", "P-384"}, {"CurveP521", "P-521"}};
// The first six suites above: forward secrecy and authenticated encryption only.
constexpr size_t kSoundSuites = 6;

// A list of the format's names as OpenSSL's colon-separated list; an unknown name is an error.
template <size_t N>
std::string nameList(const YAML::Node& tls, const char* pszKey, const char* const (&aNames)[N][2])
{
    const YAML::Node node = tls[pszKey];
    if (!node)
        return std::string();
    if (!node.IsSequence())
        throw std::runtime_error(std::string("tls_server_config: ") + pszKey + " is a list");
    std::string strList;
    for (const auto& item : node) {
        const std::string strName = item.as<std::string>();
        const char* pszOurs = nullptr;
        for (const auto& names : aNames)
            pszOurs = strName == names[0] ? names[1] : pszOurs;
        if (!pszOurs)
            throw std::runtime_error(std::string("tls_server_config: ") + pszKey + ": no such name \"" +
                                     strName + "\"");
        if (*pszOurs)
            strList += (strList.empty() ? "" : ":") + std::string(pszOurs);
    }
    return strList;
}

QByteArray fromBase64Strict(const std::string& strText, bool* pbOk)
{
    const auto result = QByteArray::fromBase64Encoding(QByteArray::fromStdString(strText),
                                                       QByteArray::AbortOnBase64DecodingErrors);
    *pbOk = bool(result);
    return result.decoded;
}

} // namespace

bool WebConfig::operator==(const WebConfig& other) const
{
    return strCertFile == other.strCertFile && strKeyFile == other.strKeyFile &&
           strClientAuthType == other.strClientAuthType && strClientCaFile == other.strClientCaFile &&
           strMinVersion == other.strMinVersion && strCipherList == other.strCipherList &&
           strGroupList == other.strGroupList && bPreferServerCiphers == other.bPreferServerCiphers &&
           mapUsers == other.mapUsers && baFilesDigest == other.baFilesDigest && bApi == other.bApi &&
           mapRoles == other.mapRoles;
}

bool loadWebConfig(const QString& strPath, WebConfig* pConfig, QString* pError)
{
    *pConfig = WebConfig();
    if (strPath.isEmpty())
        return true;
    QString strError;
    try {
        const YAML::Node root = YAML::LoadFile(strPath.toStdString());
        const QDir dirBase = QFileInfo(strPath).absoluteDir();
        // A file given but emptied or commented out (a botched edit, a full disk) is an error, not a
        // request for an open endpoint: whoever wants none gives no file.
        if (root.IsNull())
            throw std::runtime_error("configures neither tls_server_config nor basic_auth_users");
        if (!onlyKeys(root, {"tls_server_config", "basic_auth_users", "api_enabled", "basic_auth_roles"},
                      "web configuration", &strError))
            throw std::runtime_error(strError.toStdString());
        if (const YAML::Node tls = root["tls_server_config"]) {
            if (!onlyKeys(tls,
                          {"cert_file", "key_file", "client_auth_type", "client_ca_file", "min_version",
                           "cipher_suites", "curve_preferences", "prefer_server_cipher_suites"},
                          "tls_server_config", &strError))
                throw std::runtime_error(strError.toStdString());
            pConfig->strCertFile = text(tls, "cert_file", dirBase, true);
            pConfig->strKeyFile = text(tls, "key_file", dirBase, true);
            pConfig->strClientAuthType = text(tls, "client_auth_type", dirBase, false);
            pConfig->strClientCaFile = text(tls, "client_ca_file", dirBase, true);
            pConfig->strMinVersion = text(tls, "min_version", dirBase, false);
            pConfig->strCipherList = nameList(tls, "cipher_suites", s_aSuites);
            pConfig->strGroupList = nameList(tls, "curve_preferences", s_aCurves);
            if (tls["prefer_server_cipher_suites"])
                pConfig->bPreferServerCiphers = tls["prefer_server_cipher_suites"].as<bool>();
            if (pConfig->strCertFile.isEmpty() || pConfig->strKeyFile.isEmpty())
                throw std::runtime_error("tls_server_config: cert_file and key_file are both needed");
            const QStringList listAuth{QString(),
                                       QStringLiteral("NoClientCert"),
                                       QStringLiteral("RequestClientCert"),
                                       QStringLiteral("RequireAnyClientCert"),
                                       QStringLiteral("VerifyClientCertIfGiven"),
                                       QStringLiteral("RequireAndVerifyClientCert")};
            const int iAuth = listAuth.indexOf(pConfig->strClientAuthType);
            if (iAuth < 0)
                throw std::runtime_error("tls_server_config: no such client_auth_type");
            if (iAuth >= 4 && pConfig->strClientCaFile.isEmpty())
                throw std::runtime_error("tls_server_config: client_auth_type " +
                                         pConfig->strClientAuthType.toStdString() + " needs client_ca_file");
            if (iAuth <= 1 && !pConfig->strClientCaFile.isEmpty())
                throw std::runtime_error(
                    "tls_server_config: client_ca_file given without a client_auth_type");
            QCryptographicHash digest(QCryptographicHash::Sha256);
            for (const QString& strFile :
                 {pConfig->strCertFile, pConfig->strKeyFile, pConfig->strClientCaFile}) {
                QFile file(strFile);
                if (!strFile.isEmpty() && file.open(QIODevice::ReadOnly))
                    digest.addData(&file);
            }
            pConfig->baFilesDigest = digest.result();
            if (!QStringList({QString(), QStringLiteral("TLS12"), QStringLiteral("TLS13")})
                     .contains(pConfig->strMinVersion))
                throw std::runtime_error("tls_server_config: min_version is TLS12 or TLS13");
        }
        if (const YAML::Node users = root["basic_auth_users"]) {
            if (!users.IsMap())
                throw std::runtime_error("basic_auth_users: not a mapping");
            for (const auto& item : users) {
                const QString strUser = QString::fromStdString(item.first.as<std::string>());
                const QByteArray baHash = QByteArray::fromStdString(item.second.as<std::string>());
                if (strUser.isEmpty() || strUser.contains(QLatin1Char(':')) || !isBcrypt(baHash))
                    throw std::runtime_error("basic_auth_users: \"" + strUser.toStdString() +
                                             "\" needs a bcrypt hash and a name without a colon");
                pConfig->mapUsers.insert(strUser, baHash);
            }
        }
        if (root["api_enabled"])
            pConfig->bApi = root["api_enabled"].as<bool>();
        if (const YAML::Node roles = root["basic_auth_roles"]) {
            if (!roles.IsMap())
                throw std::runtime_error("basic_auth_roles: not a mapping");
            for (const auto& item : roles) {
                const QString strUser = QString::fromStdString(item.first.as<std::string>());
                if (!pConfig->mapUsers.contains(strUser))
                    throw std::runtime_error("basic_auth_roles: \"" + strUser.toStdString() +
                                             "\" is not in basic_auth_users");
                if (!item.second.IsSequence())
                    throw std::runtime_error("basic_auth_roles: the roles of \"" + strUser.toStdString() +
                                             "\" are a list");
                QStringList listRoles;
                for (const auto& role : item.second) {
                    const QString strRole = QString::fromStdString(role.as<std::string>());
                    if (strRole != QLatin1String("operator") && strRole != QLatin1String("override"))
                        throw std::runtime_error("basic_auth_roles: no such role \"" + strRole.toStdString() +
                                                 "\" (operator, override)");
                    listRoles << strRole;
                }
                // An override alone would read as a right to switch, which it is not.
                if (listRoles.contains(QLatin1String("override")) &&
                    !listRoles.contains(QLatin1String("operator")))
                    throw std::runtime_error("basic_auth_roles: \"" + strUser.toStdString() +
                                             "\" has override without operator");
                pConfig->mapRoles.insert(strUser, listRoles);
            }
        }
        if (!pConfig->tls() && pConfig->mapUsers.isEmpty())
            throw std::runtime_error("configures neither tls_server_config nor basic_auth_users");
    } catch (const std::exception& e) {
        *pConfig = WebConfig();
        if (pError)
            *pError = QStringLiteral("%1: %2").arg(strPath, QString::fromStdString(e.what()));
        return false;
    }
    return true;
}

bool configureTls(SSL_CTX& ctx, const WebConfig& config, std::string* pError)
{
    ERR_clear_error();
    const auto fail = [&](const char* pszWhat) {
        char acReason[256] = {};
        ERR_error_string_n(ERR_get_error(), acReason, sizeof acReason);
        *pError = std::string(pszWhat) + ": " + acReason;
        ERR_clear_error();
        return false;
    };
    SSL_CTX_set_min_proto_version(&ctx, config.strMinVersion == QLatin1String("TLS13") ? TLS1_3_VERSION
                                                                                       : TLS1_2_VERSION);
    SSL_CTX_set_options(&ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION |
                                  (config.bPreferServerCiphers ? SSL_OP_CIPHER_SERVER_PREFERENCE : 0));
    // OpenSSL's own default list still takes static RSA key exchange and CBC with SHA-1 in TLS 1.2.
    std::string strSound;
    for (size_t i = 0; i < kSoundSuites; ++i)
        strSound += (i ? ":" : "") + std::string(s_aSuites[i][1]);
    if (SSL_CTX_set_cipher_list(
            &ctx, (config.strCipherList.empty() ? strSound : config.strCipherList).c_str()) != 1)
        return fail("cipher_suites");
    if (!config.strGroupList.empty() && SSL_CTX_set1_groups_list(&ctx, config.strGroupList.c_str()) != 1)
        return fail("curve_preferences");
    if (SSL_CTX_use_certificate_chain_file(&ctx, config.strCertFile.toLocal8Bit().constData()) != 1)
        return fail("cert_file");
    if (SSL_CTX_use_PrivateKey_file(&ctx, config.strKeyFile.toLocal8Bit().constData(), SSL_FILETYPE_PEM) != 1)
        return fail("key_file");
    if (SSL_CTX_check_private_key(&ctx) != 1)
        return fail("key_file does not belong to cert_file");
    const QString& strAuth = config.strClientAuthType;
    if (!config.strClientCaFile.isEmpty()) {
        if (SSL_CTX_load_verify_locations(&ctx, config.strClientCaFile.toLocal8Bit().constData(), nullptr) !=
            1)
            return fail("client_ca_file");
        SSL_CTX_set_client_CA_list(&ctx,
                                   SSL_load_client_CA_file(config.strClientCaFile.toLocal8Bit().constData()));
    }
    const bool bVerify = strAuth == QLatin1String("VerifyClientCertIfGiven") ||
                         strAuth == QLatin1String("RequireAndVerifyClientCert");
    const bool bRequire = strAuth == QLatin1String("RequireAnyClientCert") ||
                          strAuth == QLatin1String("RequireAndVerifyClientCert");
    const bool bAsk = bVerify || bRequire || strAuth == QLatin1String("RequestClientCert");
    // Asked for but not verified: any certificate is taken, as the format defines those two types.
    const SSL_verify_cb acceptAny = [](int, X509_STORE_CTX*) { return 1; };
    SSL_CTX_set_verify(
        &ctx, bAsk ? SSL_VERIFY_PEER | (bRequire ? SSL_VERIFY_FAIL_IF_NO_PEER_CERT : 0) : SSL_VERIFY_NONE,
        bVerify ? nullptr : acceptAny);
    return true;
}

CBasicAuth::CBasicAuth(const QMap<QString, QByteArray>& mapUsers) : m_mapUsers(mapUsers)
{
    // An unknown name costs what the costliest known one does: a cheaper refusal would tell names apart.
    for (const QByteArray& baHash : mapUsers) {
        if (m_baCostliest.isEmpty() || cost(baHash) > cost(m_baCostliest))
            m_baCostliest = baHash;
    }
}

int CBasicAuth::cost(const QByteArray& baHash)
{
    return baHash.size() > 6 && baHash.at(6) == '$' ? baHash.mid(4, 2).toInt() : 0;
}

double CBasicAuth::checkSeconds(int iCost)
{
    // Timed once at a low cost; each step of the cost doubles the work.
    constexpr int kTimedCost = 6;
    static const double s_dTimed = [] {
        char acSalt[CRYPT_GENSALT_OUTPUT_SIZE];
        auto pData = std::make_unique<crypt_data>();
        if (!crypt_gensalt_rn("$2b$", kTimedCost, nullptr, 0, acSalt, sizeof acSalt))
            return 0.0;
        const auto start = std::chrono::steady_clock::now();
        crypt_r("password", acSalt, pData.get());
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }();
    return s_dTimed * std::ldexp(1.0, iCost - kTimedCost);
}

// Whether the peer is still waiting out its last failures; a failure (bFailed) lengthens its wait once
// it has had its free ones.
bool CBasicAuth::takePenalty(const std::string& strPeer, bool bFailed)
{
    const qint64 iNow = ::Clock::elapsedMs();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!bFailed) {
        const auto it = m_mapPenalties.find(strPeer);
        return it != m_mapPenalties.end() && iNow < it->second.iNotBeforeMsec;
    }
    // Bounded however many addresses fail: the ones long quiet are forgotten, then the quarter that
    // failed longest ago; a guesser that keeps at it stays known.
    if (m_mapPenalties.size() >= kMaxPeers) {
        std::vector<qint64> vecLast;
        for (const auto& entry : m_mapPenalties)
            vecLast.push_back(entry.second.iLastFailureMsec);
        const auto itCut = vecLast.begin() + vecLast.size() / 4;
        std::nth_element(vecLast.begin(), itCut, vecLast.end());
        const qint64 iCut = std::max(*itCut, iNow - kForgetMsec);
        for (auto it = m_mapPenalties.begin(); it != m_mapPenalties.end();)
            it = it->second.iLastFailureMsec <= iCut ? m_mapPenalties.erase(it) : std::next(it);
    }
    Penalty& penalty = m_mapPenalties[strPeer];
    if (iNow - penalty.iLastFailureMsec >= kForgetMsec)
        penalty = Penalty();
    penalty.iLastFailureMsec = iNow;
    penalty.iFailures = std::min(penalty.iFailures + 1, 64);
    const int iOver = penalty.iFailures - kFreeFailures;
    if (iOver > 0)
        penalty.iNotBeforeMsec =
            iNow + std::min<qint64>(qint64(kFirstPenaltyMsec) << std::min(iOver - 1, 10), kMaxPenaltyMsec);
    return true;
}

void CBasicAuth::takeOver(const CBasicAuth& previous)
{
    std::lock_guard<std::mutex> lock(previous.m_mutex);
    m_mapPenalties = previous.m_mapPenalties;
    // Each is a digest of user, password and hash: one whose user's hash changed matches nothing.
    m_setPassed = previous.m_setPassed;
    m_mapPassedPeers = previous.m_mapPassedPeers;
}

bool CBasicAuth::passedLately(const std::string& strPeer) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_mapPassedPeers.find(strPeer);
    return it != m_mapPassedPeers.end() && ::Clock::elapsedMs() - it->second < kForgetMsec;
}

CBasicAuth::Result CBasicAuth::check(const std::string& strHeader, const std::string& strPeer)
{
    static const std::string strScheme = "Basic ";
    if (m_mapUsers.isEmpty() || strHeader.size() <= strScheme.size() ||
        strncasecmp(strHeader.c_str(), "basic ", 6) != 0)
        return Result::Refused;
    bool bOk = false;
    const QByteArray baPair = fromBase64Strict(strHeader.substr(strScheme.size()), &bOk);
    const int iColon = baPair.indexOf(':');
    if (!bOk || iColon < 0 || baPair.indexOf('\0', iColon) >= 0)
        return Result::Refused;
    const QString strUser = QString::fromUtf8(baPair.left(iColon));
    const QByteArray baPassword = baPair.mid(iColon + 1);
    const auto it = m_mapUsers.constFind(strUser);
    const bool bKnown = it != m_mapUsers.constEnd();
    const QByteArray& baHash = bKnown ? it.value() : m_baCostliest;
    const QByteArray baDigest = QCryptographicHash::hash(baPair + '\0' + baHash, QCryptographicHash::Sha256);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (bKnown && m_setPassed.count(baDigest))
            return Result::Passed;
    }
    if (takePenalty(strPeer, false))
        return Result::Throttled;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // A peer that has failed lately, or has a check under way already, waits behind those that
        // have not, and those behind peers whose password passed lately: a scraper is not queued
        // behind a stream of guesses, even from ever new addresses.
        const qint64 iNow = ::Clock::elapsedMs();
        const auto itFailed = m_mapPenalties.find(strPeer);
        const auto itPassed = m_mapPassedPeers.find(strPeer);
        const bool bBusy = m_mapInCheck[strPeer]++ > 0;
        const bool bSuspect = bBusy || (itFailed != m_mapPenalties.end() &&
                                        iNow - itFailed->second.iLastFailureMsec < kForgetMsec);
        const bool bKnownPeer =
            !bBusy && itPassed != m_mapPassedPeers.end() && iNow - itPassed->second < kForgetMsec;
        int& iWaiting = bKnownPeer ? m_iKnownWaiting : m_iCleanWaiting;
        if (bKnownPeer || !bSuspect)
            ++iWaiting;
        const bool bTurn = m_cvCheck.wait_for(lock, std::chrono::milliseconds(kMaxWaitForCheckMsec), [&] {
            return !m_bChecking &&
                   (bKnownPeer || (m_iKnownWaiting == 0 && (!bSuspect || m_iCleanWaiting == 0)));
        });
        if (bKnownPeer || !bSuspect)
            --iWaiting;
        if (!bTurn) {
            if (--m_mapInCheck[strPeer] == 0)
                m_mapInCheck.erase(strPeer);
            lock.unlock();
            m_cvCheck.notify_all();
            return Result::Throttled;
        }
        m_bChecking = true;
    }
    auto pData = std::make_unique<crypt_data>();
    const char* pszResult = crypt_r(baPassword.constData(), baHash.constData(), pData.get());
    const bool bPassed = bKnown && pszResult && std::strlen(pszResult) == size_t(baHash.size()) &&
                         CRYPTO_memcmp(pszResult, baHash.constData(), size_t(baHash.size())) == 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bChecking = false;
        if (--m_mapInCheck[strPeer] == 0)
            m_mapInCheck.erase(strPeer);
        if (bPassed) {
            if (m_setPassed.size() >= 64)
                m_setPassed.clear();
            m_setPassed.insert(baDigest);
            m_mapPenalties.erase(strPeer);
            if (m_mapPassedPeers.size() >= kMaxPeers)
                m_mapPassedPeers.erase(
                    std::min_element(m_mapPassedPeers.begin(), m_mapPassedPeers.end(),
                                     [](const auto& a, const auto& b) { return a.second < b.second; }));
            m_mapPassedPeers[strPeer] = ::Clock::elapsedMs();
        }
    }
    m_cvCheck.notify_all();
    if (!bPassed)
        takePenalty(strPeer, true);
    return bPassed ? Result::Passed : Result::Refused;
}
