#include "tools/bench/BenchProbe.h"

#include "device/Protocol.h"

#include <QElapsedTimer>
#include <QFile>

#include <chrono>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

namespace {
constexpr quint16 kPort = 51230;
// As much as the transport asks for.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

QByteArray readProcFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double runQueueMs()
{
    // "run time, run-queue wait, time slices" in ns.
    FILE* pFile = std::fopen("/proc/thread-self/schedstat", "r");
    unsigned long long uiRun = 0, uiWait = 0;
    const bool bRead = pFile && std::fscanf(pFile, "%llu %llu", &uiRun, &uiWait) == 2;
    if (pFile)
        std::fclose(pFile);
    return bRead ? double(uiWait) / 1e6 : 0;
}

double processCpuSeconds()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

qint64 residentBytes()
{
    const QList<QByteArray> fields = readProcFile(QStringLiteral("/proc/self/statm")).split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

double loadAverage()
{
    return readProcFile(QStringLiteral("/proc/loadavg")).split(' ').value(0).toDouble();
}

qint64 receiveBufferErrors()
{
    QList<QByteArray> listNames;
    for (const QByteArray& line : readProcFile(QStringLiteral("/proc/net/snmp")).split('\n')) {
        if (!line.startsWith("Udp:"))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (listNames.isEmpty()) {
            listNames = fields;
            continue;
        }
        const int i = listNames.indexOf("RcvbufErrors");
        return i > 0 && i < fields.size() ? fields.at(i).toLongLong() : -1;
    }
    return -1;
}

double percentile(QVector<double> vecValues, double p)
{
    if (vecValues.isEmpty())
        return 0;
    std::sort(vecValues.begin(), vecValues.end());
    const int iRank = qBound(1, int(std::ceil(p * vecValues.size())), vecValues.size());
    return vecValues.at(iRank - 1);
}

CSimProcess::~CSimProcess()
{
    stop();
}

bool CSimProcess::start(int iDevices, QString* pError)
{
    m_process.setProgram(QStringLiteral(PDUSIM_PROGRAM));
    m_process.setArguments({QStringLiteral("--netns"), qEnvironmentVariable("RACKMIND_BED_DEVICE_NS"),
                            QStringLiteral("--devices"), QString::number(iDevices),
                            QStringLiteral("--record-limit"), QStringLiteral("8")});
    m_process.start();
    if (!m_process.waitForStarted()) {
        *pError = QStringLiteral("cannot start %1: %2").arg(m_process.program(), m_process.errorString());
        return false;
    }
    // The fleet announces itself on stderr once its sockets are open.
    m_process.setReadChannel(QProcess::StandardError);
    QByteArray baSeen;
    while (!baSeen.contains("answering")) {
        if (!m_process.waitForReadyRead(20000)) {
            *pError = QStringLiteral("the simulator did not start: %1").arg(QString::fromLocal8Bit(baSeen));
            return false;
        }
        baSeen += m_process.readAllStandardError();
    }
    m_process.setReadChannel(QProcess::StandardOutput);
    return true;
}

void CSimProcess::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

qint64 CSimProcess::replies()
{
    m_process.readAllStandardOutput();
    m_process.write("stats\n");
    QByteArray baAnswer;
    while (!baAnswer.contains("\nok\n")) {
        if (!m_process.waitForReadyRead(5000))
            return -1;
        baAnswer += m_process.readAllStandardOutput();
    }
    const int iAt = baAnswer.indexOf("replies=");
    return iAt < 0 ? -1 : baAnswer.mid(iAt + 8).split(' ').value(0).toLongLong();
}

double CSimProcess::cpuSeconds() const
{
    // Fields after the command name: state is the first, utime the 12th and stime the 13th.
    const QByteArray baStat = readProcFile(QStringLiteral("/proc/%1/stat").arg(m_process.processId()));
    const QList<QByteArray> fields = baStat.mid(baStat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields.at(11).toLongLong() + fields.at(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

bool runBaseline(const QHostAddress& addrLocal, int iSeconds, BaselineFigures* pFigures, QString* pError)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *pError = QStringLiteral("no socket for the baseline");
        return false;
    }
    const int iOn = 1;
    const int iBuffer = kReceiveBufferBytes;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &iOn, sizeof iOn);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &iBuffer, sizeof iBuffer);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &iBuffer, sizeof iBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(kPort);
    local.sin_addr.s_addr = htonl(addrLocal.toIPv4Address());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        ::close(fd);
        *pError = QStringLiteral("the baseline cannot bind %1:%2").arg(addrLocal.toString()).arg(kPort);
        return false;
    }
    sockaddr_in broadcast{};
    broadcast.sin_family = AF_INET;
    broadcast.sin_port = htons(kPort);
    broadcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    // iSeconds polls, each followed by its second of reading; one more second lets the last burst in.
    const double dCpuStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    QElapsedTimer clock;
    clock.start();
    char buffer[2048];
    for (int iTick = 0; iTick <= iSeconds; ++iTick) {
        if (iTick < iSeconds)
            for (const QByteArray& baQuery : queryFrames())
                ::sendto(fd, baQuery.constData(), size_t(baQuery.size()), 0,
                         reinterpret_cast<sockaddr*>(&broadcast), sizeof broadcast);
        const qint64 iTickEnd = qint64(iTick + 1) * 1000;
        while (clock.elapsed() < iTickEnd) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(iTickEnd - clock.elapsed())) <= 0)
                continue;
            sockaddr_in from{};
            socklen_t len = sizeof from;
            while (::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len) > 0) {
                ++pFigures->iReceived;
                len = sizeof from;
            }
        }
    }
    pFigures->dCpuSeconds = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dCpuStart;
    pFigures->dWallSeconds = double(clock.elapsed()) / 1000.0;
    ::close(fd);
    return true;
}

} // namespace bench

namespace bench {

CScraper::~CScraper()
{
    stop();
}

void CScraper::start(quint16 uiPort)
{
    m_bStop = false;
    m_thread = std::thread([this, uiPort] { run(uiPort); });
}

void CScraper::stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

QVector<double> CScraper::takeLatencies()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<double> vec;
    vec.swap(m_vecLatencies);
    return vec;
}

void CScraper::run(quint16 uiPort)
{
    const QByteArray baRequest("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAccept-Encoding: gzip\r\n"
                               "User-Agent: bench\r\nConnection: close\r\n\r\n");
    std::vector<char> vecBuffer(256 * 1024);
    QElapsedTimer clockRun;
    clockRun.start();
    for (qint64 iNext = 1000; !m_bStop; iNext += 1000) {
        while (!m_bStop && clockRun.elapsed() < iNext)
            std::this_thread::sleep_for(
                std::chrono::milliseconds(qMin<qint64>(50, iNext - clockRun.elapsed())));
        if (m_bStop)
            break;
        const double dCpu0 = bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uiPort);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QElapsedTimer clock;
        clock.start();
        qint64 iBytes = 0;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::send(fd, baRequest.constData(), size_t(baRequest.size()), MSG_NOSIGNAL) == baRequest.size()) {
            ssize_t iRead = 0;
            while ((iRead = ::recv(fd, vecBuffer.data(), vecBuffer.size(), 0)) > 0)
                iBytes += iRead;
        }
        const double dMs = double(clock.nsecsElapsed()) / 1e6;
        ::close(fd);
        m_iLastBytes = iBytes;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_vecLatencies << dMs;
        }
        m_iCpuNs += qint64((bench::cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dCpu0) * 1e9);
    }
}

} // namespace bench
