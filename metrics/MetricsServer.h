#pragma once

#include "metrics/ApiOperations.h"
#include "metrics/ApiSnapshot.h"
#include "metrics/WebConfig.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <future>
#include <memory>

// The HTTP endpoint that serves the latest published text at /metrics and a page of the
// room at / from threads of its own, plain or over TLS, with basic authentication when configured;
// and, when the web configuration asks for it, the JSON API under /api/v1.
// Publishing swaps a pointer; a scrape never waits for the console, and the console never waits
// for a scrape.
class CMetricsServer
{
public:
    // Connections served at once. A connection is given a worker only once its request head (over TLS,
    // each record of the handshake, then each request) has come whole; until then it waits on a thread
    // that watches them all, and so does a keep-alive connection between its requests.
    static constexpr int kWorkers = 4;
    // Connections whose request has come whole and wait for a worker, first come first served; past
    // this the one waiting longest is closed.
    static constexpr int kMaxWaiting = 64;
    // Connections from one address waiting for their request, for a worker or served. A new one past this
    // closes the oldest of them that is idle between requests, else the oldest that is waiting: a
    // scraper behind the same address (a NAT) as a client that holds connections still gets through.
    static constexpr int kMaxPerPeer = 8;
    // Connections from one address on workers at once: clients behind one address that read their
    // answers slowly, or never, leave a worker to everyone else.
    static constexpr int kMaxServedPerPeer = kWorkers - 1;
    // Connections waiting for their request over all addresses; past this the oldest are closed the
    // same way.
    static constexpr int kMaxHeld = 512;
    // A connection whose request head (or TLS handshake) has not come whole within this time is closed;
    // so is a keep-alive connection idle for as long, or whose next request has not come whole within
    // that time from its first byte.
    static constexpr int kReadTimeoutSec = 2;
    // A whole request, from its first byte to the last byte of the answer, however slowly the client
    // sends or reads; Prometheus gives up on a scrape after 10 s by default.
    static constexpr int kExchangeSec = 10;
    // Only the API's operations carry a body, a small one; one that announces a bigger one is refused.
    static constexpr int kMaxBodyBytes = 1024;
    // A request's head and body together; a scraper's or a browser's head is a kilobyte or two.
    static constexpr int kMaxRequestBytes = 32 * 1024;

    CMetricsServer();
    ~CMetricsServer();

    // Binds and starts serving, over TLS and with basic authentication as config says; false with the
    // reason in pError when the address cannot be bound or the TLS setup fails.
    bool start(const QString& strAddress, quint16 uiPort, QString* pError, const WebConfig& config = {});
    // Takes config's TLS settings and passwords without closing the port, when it serves TLS (or not)
    // as config says at that address and port; new connections take the new TLS settings, and those
    // open finish their request and close. False, changing nothing, when that cannot be done (the
    // reason in pError when config's TLS setup fails): then stop() and start() apply it.
    bool reconfigure(const QString& strAddress, quint16 uiPort, const WebConfig& config, QString* pError);
    // Returns within a fraction of a second of every connection's current wait, whatever clients do.
    void stop();
    // True only while the accept loop runs.
    bool isRunning() const;
    // Any thread. vecParts: where the page's parts begin (its metric families), so that a part left as
    // it was need not be compressed again. baRoomPage: the HTML served at /.
    void publish(const QByteArray& baText, const QVector<int>& vecParts = {},
                 const QByteArray& baRoomPage = QByteArray());
    // Whether someone looked at / within the last minute: the page of the room is made only then.
    bool roomPageWanted() const;
    // Any thread: what the API's read routes serve from now on.
    void publishApi(std::shared_ptr<const ApiSnapshot> pSnapshot);
    // Whether the API was asked within the last minute: its snapshot is made only then.
    bool apiWanted() const;
    // How the API's operations reach the room's thread; none answers them as unavailable.
    void setApiSubmit(std::function<std::future<ApiAnswer>(const ApiCall&)> fnSubmit);
    // The history file the API's event and reading routes read; empty: none is kept.
    void setApiHistoryPath(const QString& strPath);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
