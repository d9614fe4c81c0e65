#pragma once

#include <QHostAddress>
#include <QProcess>
#include <QString>
#include <QVector>

#include <ctime>

// Small measuring helpers of the bench: clocks, memory, kernel counters, the simulator process and
// the bare receiver that the console is compared with.
namespace bench {

double cpuSeconds(clockid_t clock);
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
