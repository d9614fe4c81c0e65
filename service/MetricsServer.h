#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <memory>

// The read-only HTTP endpoint that serves the latest published text at /metrics from threads of its
// own. Publishing swaps a pointer; a scrape never waits for the console, and the console never waits
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
    // A connection that sends no complete request within this time is closed; so is a keep-alive
    // connection idle for as long.
    static constexpr int kReadTimeoutSec = 2;
    static constexpr int kWriteTimeoutSec = 5;
    // Requests carry no body; one that announces a bigger one is refused.
    static constexpr int kMaxBodyBytes = 1024;

    CMetricsServer();
    ~CMetricsServer();

    // Binds and starts serving; false with the reason in pError when the address cannot be bound.
    bool start(const QString& strAddress, quint16 uiPort, QString* pError);
    void stop();
    bool isRunning() const;
    // Any thread. vecParts: where the page's parts begin (its metric families), so that a part left as
    // it was need not be compressed again.
    void publish(const QByteArray& baText, const QVector<int>& vecParts = {});

private:
    struct Private;
    std::unique_ptr<Private> d;
};
