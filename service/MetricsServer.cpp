#include "service/MetricsServer.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

} // namespace

struct CMetricsServer::Private
{
    httplib::Server server;
    std::thread thread;
    std::atomic<bool> bListenEnded{false};
    std::mutex mutex;
    std::shared_ptr<const std::string> pText = std::make_shared<const std::string>();

    std::shared_ptr<const std::string> text()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return pText;
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
    server.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        const std::shared_ptr<const std::string> pText = d->text();
        res.set_content(*pText, "text/plain; version=0.0.4; charset=utf-8");
    });
}

CMetricsServer::~CMetricsServer()
{
    stop();
}

bool CMetricsServer::start(const QString& strAddress, quint16 uiPort, QString* pError)
{
    stop();
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

void CMetricsServer::publish(const QByteArray& baText)
{
    auto pText = std::make_shared<const std::string>(baText.constData(), size_t(baText.size()));
    std::lock_guard<std::mutex> lock(d->mutex);
    d->pText = std::move(pText);
}
