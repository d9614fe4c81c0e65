#pragma once

#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QVector>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>

// Small measuring helpers of the bench: clocks, memory, kernel counters, the simulator process and
// the bare receiver that the console is compared with.
namespace bench {

double cpuSeconds(clockid_t clock);
// How long the calling thread has waited, runnable, for a core (the scheduler's run queue), in ms.
double runQueueMs();
// User plus system time of the whole process, in seconds.
double processCpuSeconds();
// Resident set of this process in bytes.
qint64 residentBytes();
// The one-minute load average.
double loadAverage();
// Datagrams the kernel of this network namespace dropped for want of receive buffer.
qint64 receiveBufferErrors();
// The p-th percentile (0..1) of the values, nearest rank; 0 for none.
double percentile(QVector<double> vecValues, double p);

// The simulator as a process of its own in the bed's device namespace, so that its CPU never counts
// as the console's. Talks to it through its command language on stdin.
class CSimProcess
{
public:
    ~CSimProcess();
    bool start(int iDevices, QString* pError);
    void stop();
    // Replies the fleet has handed to its kernel so far; -1 when the simulator does not answer.
    qint64 replies();
    // CPU seconds the simulator has used so far.
    double cpuSeconds() const;

private:
    QProcess m_process;
};

struct BaselineFigures
{
    qint64 iReceived = 0;
    double dCpuSeconds = 0; // while polling, reading included
    double dWallSeconds = 0;
};

// The bare receiver: one socket on the console's address with the console's receive buffer; sends the
// six queries once a second for iSeconds and reads every reply, nothing else. Blocks.
bool runBaseline(const QHostAddress& addrLocal, int iSeconds, BaselineFigures* pFigures, QString* pError);

} // namespace bench

namespace bench {

// Prometheus's part: fetches /metrics from 127.0.0.1 once a second on a thread of its own, asking for
// gzip as Prometheus does. Its own CPU is not the console's; the bench subtracts it.
class CScraper
{
public:
    ~CScraper();
    void start(quint16 uiPort);
    void stop();
    // Latencies (request sent to last byte read) of the scrapes since the last call, in ms.
    QVector<double> takeLatencies();
    qint64 lastBytes() const { return m_iLastBytes.load(); }
    double cpuSeconds() const { return double(m_iCpuNs.load()) / 1e9; }

private:
    void run(quint16 uiPort);
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::atomic<qint64> m_iLastBytes{0};
    std::atomic<qint64> m_iCpuNs{0};
    std::mutex m_mutex;
    QVector<double> m_vecLatencies;
};

} // namespace bench
