#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

typedef struct ssl_ctx_st SSL_CTX;

// The endpoint's TLS and basic authentication, from a web configuration file in the format every
// Prometheus exporter reads:
//
//   tls_server_config:
//     cert_file: server.crt
//     key_file: server.key
//     client_auth_type: RequireAndVerifyClientCert   # optional
//     client_ca_file: clients.crt                    # optional
//     cipher_suites: [TLS_ECDHE_ECDSA_WITH_AES_128_GCM_SHA256, ...]   # optional, TLS 1.2
//     curve_preferences: [X25519, CurveP256]         # optional
//     prefer_server_cipher_suites: true              # optional
//   basic_auth_users:
//     prometheus: $2y$10$...                         # bcrypt
//   api_enabled: true                                # optional: the JSON API beside the metrics
//   basic_auth_roles:                                # optional: what a user may do through it
//     alice: [operator, override]
//
// Relative paths are taken from the file's own folder.
struct WebConfig
{
    QString strCertFile;
    QString strKeyFile;
    QString strClientAuthType; // empty: NoClientCert
    QString strClientCaFile;
    QString strMinVersion; // empty: TLS12
    // OpenSSL's spelling of the TLS 1.2 suites and the key exchange groups; empty: our defaults,
    // which keep to suites with forward secrecy and authenticated encryption.
    std::string strCipherList;
    std::string strGroupList;
    bool bPreferServerCiphers = true;
    QMap<QString, QByteArray> mapUsers;
    // The JSON API under /api/: off unless asked for. Reading needs what the metrics need; operating
    // needs the operator role, switching protected outlets off the override role besides.
    bool bApi = false;
    QMap<QString, QStringList> mapRoles;
    // Of the certificate, key and CA files as read: a renewed certificate under the same name is a
    // change too.
    QByteArray baFilesDigest;

    bool tls() const { return !strCertFile.isEmpty(); }
    bool operator==(const WebConfig& other) const;
    bool operator!=(const WebConfig& other) const { return !(*this == other); }
};

// Reads and checks the file; false with the reason in pError. An empty path is the plain endpoint.
bool loadWebConfig(const QString& strPath, WebConfig* pConfig, QString* pError);

// Sets a server context up from the configuration: certificate chain, key, client verification and the
// lowest protocol version. False with OpenSSL's reason in pError.
bool configureTls(SSL_CTX& ctx, const WebConfig& config, std::string* pError);

// Checks basic authentication against the configured bcrypt hashes through the system's crypt library.
// A bcrypt check costs tens of milliseconds by design; one that passed is remembered (as a digest of
// user, password and hash) so that a scrape every few seconds does not pay it again. What an attacker
// can make it spend is bounded: one check at a time, and a peer that keeps giving wrong passwords waits
// longer before each next check. The first few failures are free: an operator who has just changed the
// password, beside a scraper that still has the old one, is not the one to wait.
class CBasicAuth
{
public:
    enum class Result
    {
        Passed,
        Refused,
        Throttled, // not checked: the peer failed a moment ago, or checks are busy
    };
    static constexpr int kMaxWaitForCheckMsec = 1000;
    static constexpr int kFreeFailures = 5;
    static constexpr int kFirstPenaltyMsec = 100;
    static constexpr int kMaxPenaltyMsec = 5000;
    // A peer that gave no wrong password for this long starts afresh.
    static constexpr int kForgetMsec = 60000;
    // Peers remembered for their failures, and for passing.
    static constexpr size_t kMaxPeers = 4096;

    explicit CBasicAuth(const QMap<QString, QByteArray>& mapUsers);

    bool enabled() const { return !m_mapUsers.isEmpty(); }
    // The value of an Authorization header, from the peer's address.
    Result check(const std::string& strHeader, const std::string& strPeer);
    // Takes over what the one this replaces knows: the failures counted (a reload gives no peer its
    // free failures again), the passwords that passed (for users whose hash is the same, so a
    // scraper is not checked again just then) and the peers they passed from.
    void takeOver(const CBasicAuth& previous);
    // Whether a password passed from the peer within kForgetMsec (before a reload too).
    bool passedLately(const std::string& strPeer) const;
    // The cost factor of a bcrypt hash, 0 if it has none.
    static int cost(const QByteArray& baHash);
    // About how long one check against a hash of that cost takes on this machine, in seconds.
    static double checkSeconds(int iCost);

private:
    bool takePenalty(const std::string& strPeer, bool bFailed);

    QMap<QString, QByteArray> m_mapUsers;
    QByteArray m_baCostliest; // what an unknown name is checked against
    mutable std::mutex m_mutex;
    std::condition_variable m_cvCheck;
    bool m_bChecking = false;
    std::set<QByteArray> m_setPassed;
    struct Penalty
    {
        int iFailures = 0;
        qint64 iNotBeforeMsec = 0; // steady clock
        qint64 iLastFailureMsec = 0;
    };
    std::map<std::string, Penalty> m_mapPenalties;
    std::map<std::string, int> m_mapInCheck;        // checks waiting or running, per peer
    int m_iCleanWaiting = 0;                        // checks waiting of peers that have not failed lately
    std::map<std::string, qint64> m_mapPassedPeers; // when each passed last (steady clock)
    int m_iKnownWaiting = 0;                        // checks waiting of peers that passed lately
};
