#pragma once

#include "metrics/WebConfig.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

// The read-only HTTP endpoint that serves the latest published text at /metrics and a page of the
// room at / from threads of its own, plain or over TLS, with basic authentication when configured.
// Publishing swaps a pointer; a scrape never waits for the console, and the console never waits
// for a scrape.
class CMetricsServer
{
public:
    // Connections served at once; the ones waiting are taken newest first, so that a fresh scrape
    // overtakes a pile of connections that never send anything.
    static constexpr int kWorkers = 4;
    // Connections accepted and waiting for a worker; past this the server stops accepting for a while,
    // which bounds the connections (and descriptors) the process holds.
    static constexpr int kMaxWaiting = 64;
    // A connection that begins no request (or TLS handshake) within this time is closed; so is a
    // keep-alive connection idle for as long, and one whose request has not arrived whole by then.
    static constexpr int kReadTimeoutSec = 2;
    // A whole request, from its first byte to the last byte of the answer, however slowly the client
    // sends or reads; Prometheus gives up on a scrape after 10 s by default.
    static constexpr int kExchangeSec = 10;
    // Requests carry no body; one that announces a bigger one is refused.
    static constexpr int kMaxBodyBytes = 1024;
    // A request's head and body together; a scraper's or a browser's head is a kilobyte or two.
    static constexpr int kMaxRequestBytes = 32 * 1024;

    CMetricsServer();
    ~CMetricsServer();

    // Binds and starts serving, over TLS and with basic authentication as config says; false with the
    // reason in pError when the address cannot be bound or the TLS setup fails.
    bool start(const QString& strAddress, quint16 uiPort, QString* pError, const WebConfig& config = {});
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

private:
    struct Private;
    std::unique_ptr<Private> d;
};
