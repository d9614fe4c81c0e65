#include "service/MetricsServer.h"

#include "service/GzipCache.h"

#include <QByteArray>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// httplib's own pool takes connections oldest first: a client that opens connections and sends
// nothing would hold every scrape behind it for a read time-out each. This one serves the newest.
class NewestFirstPool : public httplib::TaskQueue
{
public:
    explicit NewestFirstPool(int iWorkers)
    {
        for (int i = 0; i < iWorkers; ++i)
            m_vecThreads.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override
    {
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_dequeJobs.size() >= size_t(CMetricsServer::kMaxWaiting)) {
                // Full: this connection is served right here, on the accepting thread, which accepts
                // nothing meanwhile. Further clients wait in the kernel's backlog, not in this process.
                lock.unlock();
                fn();
                return;
            }
            m_dequeJobs.push_back(std::move(fn));
        }
        m_cv.notify_one();
    }
    void shutdown() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStopping = true;
        }
        m_cv.notify_all();
        for (std::thread& thread : m_vecThreads)
            thread.join();
    }

private:
    void work()
    {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_cv.wait(lock, [this] { return m_bStopping || !m_dequeJobs.empty(); });
                if (m_dequeJobs.empty())
                    return;
                fn = std::move(m_dequeJobs.back());
                m_dequeJobs.pop_back();
            }
            fn();
        }
    }

    std::vector<std::thread> m_vecThreads;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_dequeJobs;
    bool m_bStopping = false;
};

// One published page and, made by the first scrape that asks for it, its gzip form.
struct Snapshot
{
    QByteArray baText; // shared with the exporter's copy, never copied here
    QVector<int> vecParts;
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

} // namespace

struct CMetricsServer::Private
{
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> bListenEnded{false};
    std::mutex mutex;
    std::shared_ptr<Snapshot> pSnapshot = std::make_shared<Snapshot>();
    // Compressing a room's page anew for every scrape, or even every page whole, would cost more than
    // everything else the console does for metrics.
    CGzipCache gzipCache;

    std::shared_ptr<Snapshot> snapshot()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pSnapshot;
    }
};

CMetricsServer::CMetricsServer() : d(std::make_unique<Private>())
{
    httplib::Server& server = d->server;
    server.new_task_queue = [] { return new NewestFirstPool(kWorkers); };
    server.set_read_timeout(kReadTimeoutSec);
    server.set_keep_alive_timeout(kReadTimeoutSec);
    server.set_write_timeout(kWriteTimeoutSec);
    server.set_payload_max_length(kMaxBodyBytes);
    // Read-only: nothing but GET (and HEAD, which httplib answers from it) is served anywhere.
    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        // Checked before anything else is read: a body is neither needed nor read, whatever the method.
        if (req.get_header_value<uint64_t>("Content-Length") > uint64_t(kMaxBodyBytes) ||
            req.has_header("Transfer-Encoding")) {
            res.status = 413;
            res.set_header("Connection", "close");
            return httplib::Server::HandlerResponse::Handled;
        }
        if (req.method == "GET" || req.method == "HEAD")
            return httplib::Server::HandlerResponse::Unhandled;
        res.status = 405;
        res.set_header("Allow", "GET, HEAD");
        return httplib::Server::HandlerResponse::Handled;
    });
    server.Get("/metrics", [this](const httplib::Request& req, httplib::Response& res) {
        const std::shared_ptr<Snapshot> pSnapshot = d->snapshot();
        const char* const pszType = "text/plain; version=0.0.4; charset=utf-8";
        const bool bGzip = acceptsGzip(req.get_header_value("Accept-Encoding"));
        // httplib would compress the page again after this handler, for every scrape and at a slow
        // level; without the header it leaves the answer as it is given.
        const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
        res.set_header("Vary", "Accept-Encoding");
        const char* pData = pSnapshot->baText.constData();
        size_t iSize = size_t(pSnapshot->baText.size());
        if (bGzip && !pSnapshot->gzip(d->gzipCache).empty()) {
            res.set_header("Content-Encoding", "gzip");
            pData = pSnapshot->strGzip.data();
            iSize = pSnapshot->strGzip.size();
        }
        // Written straight from the snapshot, which the provider keeps alive: a copy per scrape would
        // be megabytes for a large room.
        res.set_content_provider(iSize, pszType,
                                 [pSnapshot, pData](size_t iOffset, size_t iLength, httplib::DataSink& sink) {
                                     return sink.write(pData + iOffset, iLength);
                                 });
    });
}

CMetricsServer::~CMetricsServer()
{
    stop();
}

bool CMetricsServer::start(const QString& strAddress, quint16 uiPort, QString* pError)
{
    stop();
#ifdef __GLIBC__
    // A large room's page is megabytes, made anew every second and compressed on the serving threads.
    // glibc raises its threshold for mapping blocks of their own to the size of the largest one freed,
    // after which such pages come from the heaps and their memory stays with the process: some 90 MB
    // more at 4000 PDUs. A fixed threshold hands each page back to the system when it is let go.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    errno = 0;
    if (!d->server.bind_to_port(strAddress.toStdString(), uiPort)) {
        if (pError)
            *pError = errno ? QString::fromLocal8Bit(std::strerror(errno)) : QStringLiteral("cannot bind");
        return false;
    }
    d->bListenEnded = false;
    d->thread = std::thread([this] {
        d->server.listen_after_bind();
        d->bListenEnded = true;
    });
    // httplib's stop() does nothing until its loop has started; a stop() before that would leave the
    // loop running and the join in stop() waiting for good.
    while (!d->server.is_running() && !d->bListenEnded)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void CMetricsServer::stop()
{
    if (!d->thread.joinable())
        return;
    d->server.stop();
    d->thread.join();
}

bool CMetricsServer::isRunning() const
{
    return d->thread.joinable();
}

void CMetricsServer::publish(const QByteArray& baText, const QVector<int>& vecParts)
{
    auto pSnapshot = std::make_shared<Snapshot>();
    pSnapshot->baText = baText;
    pSnapshot->vecParts = vecParts;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->pSnapshot = std::move(pSnapshot);
}
