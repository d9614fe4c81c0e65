#include "metrics/MetricsServer.h"

#include "metrics/ApiRoutes.h"
#include "metrics/ConnectionGate.h"
#include "metrics/GzipCache.h"
#include "metrics/HttpHead.h"
#include "metrics/HttpStreams.h"

#include <QByteArray>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <openssl/ssl.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The library hands each accepted connection to its queue on the accepting thread; here it goes
// straight on to the gate, which gives it a worker once its request has come.
class HandOver : public httplib::TaskQueue
{
public:
    void enqueue(std::function<void()> fn) override { fn(); }
    void shutdown() override {}
};

// One published page and, made by the first scrape that asks for it, its gzip form.
struct Snapshot
{
    QByteArray baText; // shared with the exporter's copy, never copied here
    QVector<int> vecParts;
    QByteArray baRoomPage;
    std::once_flag onceGzip;
    std::string strGzip;

    const std::string& gzip(CGzipCache& cache)
    {
        std::call_once(onceGzip, [&] { strGzip = cache.compress(baText, vecParts); });
        return strGzip;
    }
};

// Whether an Accept-Encoding value admits gzip (a "q=0" refuses it).
bool acceptsGzip(const std::string& strHeader)
{
    size_t iStart = 0;
    while (iStart <= strHeader.size()) {
        size_t iEnd = strHeader.find(',', iStart);
        if (iEnd == std::string::npos)
            iEnd = strHeader.size();
        std::string strItem = strHeader.substr(iStart, iEnd - iStart);
        strItem.erase(std::remove(strItem.begin(), strItem.end(), ' '), strItem.end());
        std::transform(strItem.begin(), strItem.end(), strItem.begin(), ::tolower);
        const size_t iSemi = strItem.find(';');
        const std::string strCoding = strItem.substr(0, iSemi);
        if (strCoding == "gzip" || strCoding == "*") {
            const size_t iQ = iSemi == std::string::npos ? iSemi : strItem.find("q=", iSemi);
            return iQ == std::string::npos || std::strtod(strItem.c_str() + iQ + 2, nullptr) > 0;
        }
        iStart = iEnd + 1;
    }
    return false;
}

// Set by the checks before routing when the connection must end after this answer: a body that was
// announced is not read, and would otherwise be taken for the next request.
thread_local bool t_bCloseAfter = false;
// The stream of the request being routed on this thread, for the checks of its head.
thread_local const CDeadlineStream* t_pStream = nullptr;

// Requests on one connection before the server closes it.
constexpr int kMaxRequestsPerConnection = 100;
constexpr size_t kChunkBytes = 64 * 1024;
// How long the first look at the room's page waits for the page to be made (the exporter refreshes once
// a second and makes the page only while someone looks).
constexpr int kRoomPageWaitMsec = 3000;
constexpr int kListenBacklog = 1024;
// A snapshot for the API younger than this is served as it is.
constexpr qint64 kApiFreshMsec = 1500;

// The library's server with connections served by our own loop: a deadline on every exchange, a stop
// noticed within a fraction of a second, and a close after any answer that left a body unread.
template <class Base> class CEndpoint : public Base
{
public:
    template <class... Args>
    explicit CEndpoint(const std::atomic<bool>& bStopping, Args&&... args)
        : Base(std::forward<Args>(args)...), m_bStopping(bStopping),
          m_gate(limits(), kTls, bStopping,
                 [this](std::unique_ptr<CConnection> pConnection) { return serve(std::move(pConnection)); })
    {
    }
    ~CEndpoint() override { m_gate.stop(); }

    void setFavoured(std::function<bool(const std::string&)> favoured)
    {
        m_gate.setFavoured(std::move(favoured));
    }

    // New connections take their TLS settings from pContext; those made before finish the request they
    // are on and close.
    void replaceContext(std::shared_ptr<SSL_CTX> pContext)
    {
        std::lock_guard<std::mutex> lock(m_mutexContext);
        m_pContext = std::move(pContext);
        ++m_iGeneration;
    }

private:
    static constexpr bool kTls = std::is_same<Base, httplib::SSLServer>::value;
    using Clock = CDeadlineStream::Clock;

    static GateLimits limits()
    {
        GateLimits limits;
        limits.iWorkers = CMetricsServer::kWorkers;
        limits.iMaxPerPeer = CMetricsServer::kMaxPerPeer;
        limits.iMaxHeld = CMetricsServer::kMaxHeld;
        limits.iMaxReady = CMetricsServer::kMaxWaiting;
        limits.iHeadTimeoutSec = CMetricsServer::kReadTimeoutSec;
        limits.iMaxServedPerPeer = CMetricsServer::kMaxServedPerPeer;
        limits.iMaxHeadBytes = CMetricsServer::kMaxRequestBytes;
        return limits;
    }

    bool process_and_close_socket(socket_t sock) override
    {
        if (m_bStopping) {
            ::close(sock);
            return false;
        }
        m_gate.admit(sock);
        return true;
    }

    // On a worker, once the gate has seen the connection's next request (or TLS record) whole: serves
    // that one request. Returns the connection to wait in the gate (or its queue) for its next one, or
    // nothing to close it.
    std::unique_ptr<CConnection> serve(std::unique_ptr<CConnection> pConnection)
    {
        if (m_bStopping)
            return nullptr;
        if constexpr (kTls) {
            if (!pConnection->pStream) {
                SSL* pSsl = nullptr;
                {
                    std::lock_guard<std::mutex> lock(m_mutexContext);
                    pSsl = SSL_new(m_pContext ? m_pContext.get() : this->ssl_context());
                    pConnection->iGeneration = m_iGeneration;
                }
                if (!pSsl)
                    return nullptr;
                ::fcntl(pConnection->iSocket, F_SETFL, ::fcntl(pConnection->iSocket, F_GETFL) | O_NONBLOCK);
                pConnection->pStream =
                    std::make_unique<CTlsDeadlineStream>(pConnection->iSocket, m_bStopping, pSsl);
            }
            auto& stream = static_cast<CTlsDeadlineStream&>(*pConnection->pStream);
            if (!stream.handshaken()) {
                // The handshake keeps the deadline the connection came with.
                stream.setDeadline(pConnection->deadline);
                switch (stream.handshake()) {
                case CTlsDeadlineStream::Step::Failed:
                    return nullptr;
                case CTlsDeadlineStream::Step::WantRead:
                    return pConnection;
                case CTlsDeadlineStream::Step::Done:
                    // Its first request is waited for as a keep-alive's next one.
                    pConnection->bServedBefore = true;
                    pConnection->deadline =
                        Clock::now() + std::chrono::seconds(CMetricsServer::kReadTimeoutSec);
                    break;
                }
            }
        } else if (!pConnection->pStream) {
            ::fcntl(pConnection->iSocket, F_SETFL, ::fcntl(pConnection->iSocket, F_GETFL) | O_NONBLOCK);
            pConnection->pStream = std::make_unique<CDeadlineStream>(pConnection->iSocket, m_bStopping);
        }
        CDeadlineStream& stream = *pConnection->pStream;
        // Read only once it is here whole: a head begun and never ended waits in the gate, not here.
        if (!gathered(*pConnection))
            return pConnection->pStream ? std::move(pConnection) : nullptr;
        const Clock::time_point start = Clock::now();
        stream.setDeadline(start + std::chrono::seconds(CMetricsServer::kExchangeSec));
        // The head is here: nothing of the peer's is waited for on a worker.
        stream.setReadDeadline(start);
        stream.setReadBudget(CMetricsServer::kMaxRequestBytes);
        t_bCloseAfter = false;
        t_pStream = &stream;
        stream.startHead();
        bool bClosed = false;
        const bool bLast = ++pConnection->iRequests == kMaxRequestsPerConnection ||
                           pConnection->iGeneration != m_iGeneration;
        // Ranges are never served: the page is a snapshot of a second, and nothing may be read
        // past its end.
        if (!this->process_request(stream, bLast, bClosed,
                                   [](httplib::Request& req) { req.ranges.clear(); }) ||
            bClosed || t_bCloseAfter || bLast || m_bStopping)
            return nullptr;
        // Its next request is waited for in the gate, from now or from its first byte.
        pConnection->bServedBefore = true;
        pConnection->bBegun = false;
        pConnection->deadline = Clock::now() + std::chrono::seconds(CMetricsServer::kReadTimeoutSec);
        pConnection->bHeadWhole = gathered(*pConnection);
        return pConnection->pStream ? std::move(pConnection) : nullptr;
    }

    // Takes what has come of the connection's next request head: whether it is whole. A head begun is
    // given the gate's time-out from then on; a connection that ended loses its stream.
    static bool gathered(CConnection& connection)
    {
        switch (connection.pStream->gatherHead(size_t(CMetricsServer::kMaxRequestBytes))) {
        case CDeadlineStream::Head::Whole:
            return true;
        case CDeadlineStream::Head::Partly:
            if (!connection.bBegun)
                connection.deadline = Clock::now() + std::chrono::seconds(CMetricsServer::kReadTimeoutSec);
            connection.bBegun = true;
            return false;
        case CDeadlineStream::Head::Nothing:
            return false;
        case CDeadlineStream::Head::Closed:
            connection.pStream.reset();
            return false;
        }
        return false;
    }

    const std::atomic<bool>& m_bStopping;
    std::mutex m_mutexContext;
    std::shared_ptr<SSL_CTX> m_pContext; // null: the one the server was made with
    std::atomic<int> m_iGeneration{0};
    CConnectionGate m_gate;
};

qint64 steadyMsec()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void closeAfter(httplib::Response& res, int iStatus)
{
    t_bCloseAfter = true;
    res.status = iStatus;
    res.set_header("Connection", "close");
}

// Written straight from the snapshot, which the provider keeps alive (a copy per scrape would be
// megabytes for a large room), a bounded piece at a time and never past the end.
void serveFrom(httplib::Response& res, const std::shared_ptr<Snapshot>& pSnapshot, const char* pData,
               size_t uiSize, const char* pszType)
{
    res.set_content_provider(
        uiSize, pszType,
        [pSnapshot, pData, uiSize](size_t uiOffset, size_t uiLength, httplib::DataSink& sink) {
            if (uiOffset >= uiSize)
                return false;
            return sink.write(pData + uiOffset, std::min({uiLength, uiSize - uiOffset, kChunkBytes}));
        });
}

} // namespace

// The user a passed Authorization header names.
QString userOf(const std::string& strHeader)
{
    const auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromStdString(strHeader.substr(6)),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    const int iColon = decoded.decoded.indexOf(':');
    return decoded && iColon > 0 ? QString::fromUtf8(decoded.decoded.left(iColon)) : QString();
}

struct CMetricsServer::Private
{
    std::unique_ptr<httplib::Server> pServer;
    std::shared_ptr<const ApiAccess> pAccess;        // under mutex, replaced with pAuth
    std::shared_ptr<const ApiSnapshot> pApiSnapshot; // under mutex
    std::shared_ptr<CBasicAuth> pAuth; // under mutex: a reload replaces it while requests use the one before
    CEndpoint<httplib::SSLServer>* pTlsEndpoint = nullptr;
    QString strAddress;
    quint16 uiPort = 0;
    std::thread thread;
    std::atomic<bool> bStopping{false};
    std::atomic<bool> bListenEnded{false};
    std::atomic<qint64> iRoomPageAskedMsec{0}; // steady clock
    int iListenSocket = -1; // the last socket the library made for listening: the one it bound

    std::mutex mutex;
    std::condition_variable cvPublished;
    std::shared_ptr<Snapshot> pSnapshot = std::make_shared<Snapshot>();
    // Compressing a room's page anew for every scrape, or even every page whole, would cost more than
    // everything else the console does for metrics.
    CGzipCache gzipCache;
    qint64 iApiPublishedMsec = 0;         // steady clock, under mutex
    std::atomic<qint64> iApiAskedMsec{0}; // steady clock
    CApiRoutes api{[this] { return apiSnapshot(); }, bStopping};

    std::shared_ptr<CBasicAuth> auth()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pAuth;
    }
    std::shared_ptr<const ApiAccess> access()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pAccess;
    }
    std::shared_ptr<Snapshot> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pSnapshot;
    }
    // The next snapshot that holds the room's page, made within a few refreshes once someone asks for it;
    // the last snapshot if none comes in time or the server stops meanwhile.
    std::shared_ptr<Snapshot> snapshotWithRoomPage()
    {
        std::unique_lock<std::mutex> lock(mutex);
        cvPublished.wait_for(lock, std::chrono::milliseconds(kRoomPageWaitMsec),
                             [this] { return !pSnapshot->baRoomPage.isEmpty() || bStopping; });
        return pSnapshot;
    }
    // The room as of a refresh after this request came, when the last one is older than a refresh: the
    // room is rendered for the API only while someone asks. The last one if none comes in time.
    std::shared_ptr<const ApiSnapshot> apiSnapshot()
    {
        const qint64 iNow = steadyMsec();
        iApiAskedMsec = iNow;
        std::unique_lock<std::mutex> lock(mutex);
        if (iNow - iApiPublishedMsec > kApiFreshMsec)
            cvPublished.wait_for(lock, std::chrono::milliseconds(kRoomPageWaitMsec),
                                 [&] { return iApiPublishedMsec >= iNow || bStopping; });
        return pApiSnapshot;
    }
    void route(httplib::Server& server);
    void replaceAuth(const WebConfig& config)
    {
        auto pNew = std::make_shared<CBasicAuth>(config.mapUsers);
        auto pNewAccess = std::make_shared<ApiAccess>();
        pNewAccess->bEnabled = config.bApi;
        pNewAccess->bTls = config.tls();
        pNewAccess->mapRoles = config.mapRoles;
        std::lock_guard<std::mutex> lock(mutex);
        pAccess = std::move(pNewAccess);
        if (pAuth)
            pNew->takeOver(*pAuth);
        pAuth = std::move(pNew);
    }
};

void CMetricsServer::Private::route(httplib::Server& server)
{
    server.new_task_queue = [] { return new HandOver(); };
    server.set_payload_max_length(kMaxBodyBytes);
    // Only what the Keep-Alive header tells clients; the connection loop above keeps to the same.
    server.set_keep_alive_timeout(kReadTimeoutSec);
    server.set_keep_alive_max_count(kMaxRequestsPerConnection);
    // After a request that could not be read whole (bad line, headers too long), what follows it on the
    // connection is not a request either.
    server.set_error_handler(
        httplib::Server::HandlerWithResponse([](const httplib::Request&, httplib::Response& res) {
            if (res.status != 401 && res.status != 404)
                closeAfter(res, res.status);
            return httplib::Server::HandlerResponse::Unhandled;
        }));
    // Reusing an address in TIME_WAIT is fine; sharing a port another process listens on is not.
    server.set_socket_options([this](socket_t sock) {
        int iYes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &iYes, sizeof iYes);
        iListenSocket = sock;
    });
    // The library offers ranges on a HEAD whatever a GET would do; ranges are never served here.
    server.set_post_routing_handler(
        [](const httplib::Request&, httplib::Response& res) { res.headers.erase("Accept-Ranges"); });
    // Read-only: nothing but GET (and HEAD, which httplib answers from it) is served anywhere.
    server.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        // Checked before anything else is read: a body is neither needed nor read, whatever the method.
        // Two lengths leave open where this request ends and the next begins; so does a head that
        // readers may take apart in different ways.
        if (req.get_header_value_count("Content-Length") > 1 || !t_pStream ||
            !isStrictRequestHead(t_pStream->head())) {
            closeAfter(res, 400);
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::shared_ptr<const ApiAccess> pAccess = access();
        const bool bApi = pAccess && pAccess->bEnabled && CApiRoutes::isApiPath(req.path);
        const uint64_t uiLength = req.get_header_value<uint64_t>("Content-Length");
        if (uiLength > 0 || req.has_header("Transfer-Encoding"))
            t_bCloseAfter = true;
        if (uiLength > uint64_t(kMaxBodyBytes) || req.has_header("Transfer-Encoding")) {
            if (bApi)
                CApiRoutes::answer(
                    res,
                    apiError(
                        413, "payload_too_large",
                        QStringLiteral("a body is at most %1 bytes, its length given").arg(kMaxBodyBytes)));
            closeAfter(res, 413);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (bApi) {
            if (!CApiRoutes::checkRoute(req, res)) {
                closeAfter(res, res.status);
                return httplib::Server::HandlerResponse::Handled;
            }
        } else if (CApiRoutes::isApiPath(req.path)) {
            // Off: as if it did not exist, before anything else is asked of the client.
            closeAfter(res, 404);
            res.set_content("Not Found\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        } else if (req.method != "GET" && req.method != "HEAD") {
            closeAfter(res, 405);
            res.set_header("Allow", "GET, HEAD");
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::shared_ptr<CBasicAuth> pChecker = this->auth();
        const CBasicAuth::Result auth =
            pChecker && pChecker->enabled()
                ? pChecker->check(req.get_header_value("Authorization"), req.remote_addr)
                : CBasicAuth::Result::Passed;
        if (auth == CBasicAuth::Result::Throttled) {
            closeAfter(res, 429);
            res.set_header("Retry-After", "1");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (auth == CBasicAuth::Result::Refused) {
            // Credentials that failed end the connection: a client does not get to try a pipeline of them
            // for the price of one connection. A first request without any gets its challenge as usual.
            if (req.has_header("Authorization"))
                closeAfter(res, 401);
            res.status = 401;
            res.set_header("WWW-Authenticate", "Basic realm=\"rackmind\", charset=\"UTF-8\"");
            if (bApi)
                CApiRoutes::answer(
                    res, apiError(401, "unauthorized", QStringLiteral("a user and password are needed")));
            else
                res.set_content("Unauthorized\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (bApi && CApiRoutes::isOperation(req)) {
            const QString strUser =
                pChecker && pChecker->enabled() ? userOf(req.get_header_value("Authorization")) : QString();
            if (!CApiRoutes::checkOperation(req, res, strUser, *pAccess)) {
                closeAfter(res, res.status);
                return httplib::Server::HandlerResponse::Handled;
            }
            // The library reads the body that came with the head for the route; the next request follows it.
            t_bCloseAfter = false;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    api.route(
        server,
        [this](const httplib::Request& req) {
            const std::shared_ptr<CBasicAuth> pChecker = auth();
            return pChecker && pChecker->enabled() ? userOf(req.get_header_value("Authorization"))
                                                   : QString();
        },
        [this] { return access(); });
    server.Get("/metrics", [this](const httplib::Request& req, httplib::Response& res) {
        const std::shared_ptr<Snapshot> pSnap = snapshot();
        const bool bGzip = acceptsGzip(req.get_header_value("Accept-Encoding"));
        // httplib would compress the page again after this handler, for every scrape and at a slow
        // level; without the header it leaves the answer as it is given.
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        const_cast<httplib::Request&>(req).ranges.clear();
        res.set_header("Vary", "Accept-Encoding");
        const char* pData = pSnap->baText.constData();
        size_t uiSize = size_t(pSnap->baText.size());
        if (bGzip && !pSnap->gzip(gzipCache).empty()) {
            res.set_header("Content-Encoding", "gzip");
            pData = pSnap->strGzip.data();
            uiSize = pSnap->strGzip.size();
        }
        serveFrom(res, pSnap, pData, uiSize, "text/plain; version=0.0.4; charset=utf-8");
    });
    server.Get("/", [this](const httplib::Request& req, httplib::Response& res) {
        iRoomPageAskedMsec = steadyMsec();
        const std::shared_ptr<Snapshot> pSnap = snapshotWithRoomPage();
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        const_cast<httplib::Request&>(req).ranges.clear();
        // Device texts are escaped on the page; the policy keeps any script from running all the same.
        res.set_header("Content-Security-Policy", "default-src 'none'; style-src 'unsafe-inline'");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Cache-Control", "no-store");
        if (pSnap->baRoomPage.isEmpty()) {
            // The console was too busy to make it in time: the browser asks again.
            res.set_content(
                "<!DOCTYPE html><meta http-equiv=\"refresh\" content=\"1\"><title>Rackmind</title>"
                "<p>Loading&hellip;</p>\n",
                "text/html; charset=utf-8");
            return;
        }
        serveFrom(res, pSnap, pSnap->baRoomPage.constData(), size_t(pSnap->baRoomPage.size()),
                  "text/html; charset=utf-8");
    });
}

CMetricsServer::CMetricsServer() : d(std::make_unique<Private>()) {}

CMetricsServer::~CMetricsServer()
{
    stop();
}

bool CMetricsServer::start(const QString& strAddress, quint16 uiPort, QString* pError,
                           const WebConfig& config)
{
    stop();
#ifdef __GLIBC__
    // A large room's page is megabytes, made anew every second and compressed on the serving threads.
    // glibc raises its threshold for mapping blocks of their own to the size of the largest one freed,
    // after which such pages come from the heaps and their memory stays with the process: some 90 MB
    // more at 4000 PDUs. A fixed threshold hands each page back to the system when it is let go.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    d->bStopping = false;
    // Whose password passed lately goes before the others to a worker: guesses from ever new addresses
    // keep every worker waiting for its turn at a check, and the scraper would wait behind them all.
    const auto favoured = [this](const std::string& strPeer) {
        const std::shared_ptr<CBasicAuth> pChecker = d->auth();
        return pChecker && pChecker->enabled() && pChecker->passedLately(strPeer);
    };
    if (config.tls()) {
        std::string strTlsError;
        auto pServer = std::make_unique<CEndpoint<httplib::SSLServer>>(
            d->bStopping, [&](SSL_CTX& ctx) { return configureTls(ctx, config, &strTlsError); });
        if (!pServer->is_valid()) {
            if (pError)
                *pError = QStringLiteral("TLS: %1").arg(QString::fromStdString(strTlsError));
            return false;
        }
        pServer->setFavoured(favoured);
        d->pTlsEndpoint = pServer.get();
        d->pServer = std::move(pServer);
    } else {
        auto pServer = std::make_unique<CEndpoint<httplib::Server>>(d->bStopping);
        pServer->setFavoured(favoured);
        d->pTlsEndpoint = nullptr;
        d->pServer = std::move(pServer);
    }
    d->replaceAuth(config);
    d->route(*d->pServer);
    errno = 0;
    if (!d->pServer->bind_to_port(strAddress.toStdString(), uiPort)) {
        if (pError)
            *pError = errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("cannot bind");
        d->pServer.reset();
        return false;
    }
    // The library listens with a backlog of 5: a burst of clients would have its connects dropped and
    // retried a second or more later, scrapes among them. Listening again only lengthens the queue.
    ::listen(d->iListenSocket, kListenBacklog);
    d->bListenEnded = false;
    d->strAddress = strAddress;
    d->uiPort = uiPort;
    httplib::Server* pServer = d->pServer.get();
    d->thread = std::thread([this, pServer] {
        pServer->listen_after_bind();
        d->bListenEnded = true;
    });
    // httplib's stop() does nothing until its loop has started; a stop() before that would leave the
    // loop running and the join in stop() waiting for good.
    while (!pServer->is_running() && !d->bListenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

bool CMetricsServer::reconfigure(const QString& strAddress, quint16 uiPort, const WebConfig& config,
                                 QString* pError)
{
    if (!isRunning() || strAddress != d->strAddress || uiPort != d->uiPort ||
        config.tls() != (d->pTlsEndpoint != nullptr))
        return false;
    if (config.tls()) {
        std::shared_ptr<SSL_CTX> pContext(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
        std::string strTlsError;
        if (!pContext || !configureTls(*pContext, config, &strTlsError)) {
            if (pError)
                *pError = QStringLiteral("TLS: %1").arg(QString::fromStdString(strTlsError));
            return false;
        }
        d->pTlsEndpoint->replaceContext(std::move(pContext));
    }
    d->replaceAuth(config);
    return true;
}

void CMetricsServer::stop()
{
    if (!d->thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->bStopping = true;
    }
    d->cvPublished.notify_all();
    d->pServer->stop();
    d->thread.join();
    d->pServer.reset();
}

bool CMetricsServer::isRunning() const
{
    return d->thread.joinable() && !d->bListenEnded && d->pServer->is_running();
}

void CMetricsServer::publish(const QByteArray& baText, const QVector<int>& vecParts,
                             const QByteArray& baRoomPage)
{
    auto pSnapshot = std::make_shared<Snapshot>();
    pSnapshot->baText = baText;
    pSnapshot->vecParts = vecParts;
    pSnapshot->baRoomPage = baRoomPage;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->pSnapshot = std::move(pSnapshot);
    }
    d->cvPublished.notify_all();
}

void CMetricsServer::publishApi(std::shared_ptr<const ApiSnapshot> pSnapshot)
{
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->pApiSnapshot = std::move(pSnapshot);
        d->iApiPublishedMsec = steadyMsec();
    }
    d->cvPublished.notify_all();
}

bool CMetricsServer::apiWanted() const
{
    const qint64 iAsked = d->iApiAskedMsec;
    return iAsked && steadyMsec() - iAsked < 60000;
}

void CMetricsServer::setApiSubmit(std::function<std::future<ApiAnswer>(const ApiCall&)> fnSubmit)
{
    d->api.setSubmit(std::move(fnSubmit));
}

void CMetricsServer::setApiHistoryPath(const QString& strPath)
{
    d->api.setHistoryPath(strPath);
}

bool CMetricsServer::roomPageWanted() const
{
    const qint64 iAsked = d->iRoomPageAskedMsec;
    return iAsked && steadyMsec() - iAsked < 60000;
}
