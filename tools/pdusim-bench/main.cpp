// pdusim-bench: polls a simulated fleet once a second, as the console does, and prints how many
// replies came back per second and how much CPU the simulator's thread used. With --probe it polls
// once and lists whatever PDUs answer (a quick look at a bed). Run it in the bed with
// enough device addresses (scripts/bench-pdusim does):
//     scripts/netbed --devices 2000 -- build/tools/pdusim-bench/pdusim-bench --sizes 1000,2000
#include "tools/pdusim/SimThread.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QMap>

#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const unsigned char kQueries[6][5] = {{0xA7, 0x40, 0x01, 0x00, 0xE8}, {0xA7, 0x40, 0x02, 0x00, 0xE9},
                                      {0xA7, 0x40, 0x06, 0x00, 0xEC}, {0xA7, 0x40, 0x08, 0x00, 0xEE},
                                      {0xA7, 0x40, 0x0E, 0x00, 0xF5}, {0xA7, 0x40, 0x10, 0x00, 0xF7}};

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// The console's end: one socket on the bed's console address with room for a whole tick of replies.
int openConsoleSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int one = 1;
    const int buffer = 64 * 1024 * 1024;
    ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) < 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(51230);
    inet_pton(AF_INET, "10.200.0.1", &addr.sin_addr);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Result
{
    int iDevices = 0;
    int iTicks = 0;
    qint64 received = 0;
    qint64 missing = 0;
    double dWall = 0;
    double dSimCpu = 0;
    double dProcessCpu = 0;
    double dWorstAnswerMs = 0;
};

bool runOne(int iDevices, int iTicks, Result* pResult, QString* pError)
{
    CSimThread sim;
    CSimConfig config;
    config.iDevices = iDevices;
    config.iRecordLimit = 16;
    if (!sim.startFleet(config, pError))
        return false;
    const auto tid = sim.call([](CSimFleet&) { return pthread_self(); });
    clockid_t simClock;
    if (pthread_getcpuclockid(tid, &simClock) != 0) {
        *pError = QStringLiteral("no CPU clock for the simulator's thread");
        return false;
    }
    const int fd = openConsoleSocket();
    if (fd < 0) {
        *pError = QStringLiteral("cannot bind 10.200.0.1:51230 (run inside scripts/netbed)");
        return false;
    }
    sockaddr_in bcast{};
    bcast.sin_family = AF_INET;
    bcast.sin_port = htons(51230);
    bcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);

    const qint64 expected = qint64(iDevices) * 6;
    char buffer[2048];
    QElapsedTimer wall;
    wall.start();
    // The first second warms up (sockets, caches, the fleet's first readings).
    double dSimStart = 0, dProcStart = 0;
    qint64 wallStart = 0;
    for (int iTick = -1; iTick < iTicks; ++iTick) {
        const qint64 tickStart = wall.elapsed();
        if (iTick == 0) {
            dSimStart = cpuSeconds(simClock);
            dProcStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
            wallStart = tickStart;
        }
        for (const auto& query : kQueries)
            ::sendto(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&bcast), sizeof bcast);
        qint64 got = 0;
        double dLastMs = 0;
        while (wall.elapsed() < tickStart + 1000) {
            pollfd pfd{fd, POLLIN, 0};
            if (::poll(&pfd, 1, int(tickStart + 1000 - wall.elapsed())) <= 0)
                continue;
            while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
                ++got;
                dLastMs = double(wall.nsecsElapsed()) / 1e6 - double(tickStart);
            }
        }
        if (iTick < 0)
            continue;
        pResult->received += got;
        pResult->missing += qMax<qint64>(0, expected - got);
        pResult->dWorstAnswerMs = qMax(pResult->dWorstAnswerMs, dLastMs);
    }
    pResult->iDevices = iDevices;
    pResult->iTicks = iTicks;
    pResult->dWall = double(wall.elapsed() - wallStart) / 1000.0;
    pResult->dSimCpu = cpuSeconds(simClock) - dSimStart;
    pResult->dProcessCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - dProcStart;
    ::close(fd);
    return true;
}

// Polls once on the given ports and prints one line per PDU that answered.
int probe(const QList<quint16>& listPorts)
{
    const int fd = openConsoleSocket();
    if (fd < 0) {
        std::fprintf(stderr, "pdusim-bench: cannot bind 10.200.0.1:51230 (run inside scripts/netbed)\n");
        return 2;
    }
    for (quint16 uiPort : listPorts) {
        sockaddr_in bcast{};
        bcast.sin_family = AF_INET;
        bcast.sin_port = htons(uiPort);
        bcast.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        for (const auto& query : kQueries)
            ::sendto(fd, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&bcast), sizeof bcast);
    }
    QMap<quint32, QMap<int, QByteArray>> mapReplies;
    QMap<quint32, quint16> mapPorts;
    QElapsedTimer clock;
    clock.start();
    char buffer[2048];
    while (clock.elapsed() < 1000) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, int(1000 - clock.elapsed())) <= 0)
            continue;
        sockaddr_in from{};
        socklen_t len = sizeof from;
        const ssize_t n = ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 5)
            continue;
        mapReplies[ntohl(from.sin_addr.s_addr)][quint8(buffer[2])] = QByteArray(buffer, int(n));
        mapPorts[ntohl(from.sin_addr.s_addr)] = ntohs(from.sin_port);
    }
    ::close(fd);
    const auto text = [](const QByteArray& ba, int iOffset, int n) {
        return QString::fromLatin1(ba.mid(iOffset, n)).section(QChar(0), 0, 0);
    };
    std::printf("%-18s %-16s %-16s %-16s %5s %6s %4s %4s  %s\n", "address", "name", "position", "product",
                "V", "A", "C", "%RH", "outlets 1-8");
    for (auto it = mapReplies.cbegin(); it != mapReplies.cend(); ++it) {
        const QByteArray baNet = it.value().value(0x01), baInfo = it.value().value(0x02),
                         baStatus = it.value().value(0x06);
        if (baNet.size() != 57 || baInfo.size() != 29 || baStatus.size() != 13)
            continue;
        QString strOutlets;
        for (int i = 0; i < 8; ++i)
            strOutlets += (quint8(baStatus[11]) & (1u << i)) ? QLatin1Char('1') : QLatin1Char('0');
        const QString strAddr =
            QStringLiteral("%1:%2").arg(QHostAddress(it.key()).toString()).arg(mapPorts.value(it.key()));
        std::printf("%-18s %-16s %-16s %-16s %5u %6.1f %4u %4u  %s\n", qPrintable(strAddr),
                    qPrintable(text(baNet, 24, 16)), qPrintable(text(baNet, 40, 16)),
                    qPrintable(text(baInfo, 4, 16)), unsigned(quint8(baStatus[4]) | quint8(baStatus[5]) << 8),
                    quint8(baStatus[6]) + 256 * quint8(baStatus[7]) + quint8(baStatus[8]) / 10.0,
                    unsigned(quint8(baStatus[9])), unsigned(quint8(baStatus[10])), qPrintable(strOutlets));
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Replies per second and CPU share of the PDU simulator."));
    parser.addHelpOption();
    const QCommandLineOption optSizes(QStringLiteral("sizes"),
                                      QStringLiteral("Fleet sizes to measure (default 1000,2000)."),
                                      QStringLiteral("N,N..."), QStringLiteral("1000,2000"));
    const QCommandLineOption optSeconds(QStringLiteral("seconds"),
                                        QStringLiteral("Polls per size (default 10)."), QStringLiteral("S"),
                                        QStringLiteral("10"));
    const QCommandLineOption optProbe(
        QStringLiteral("probe"), QStringLiteral("Poll once on these ports and list the PDUs that answer."),
        QStringLiteral("PORT,PORT..."));
    parser.addOptions({optSizes, optSeconds, optProbe});
    parser.process(app);
    if (parser.isSet(optProbe)) {
        QList<quint16> listPorts;
        for (const QString& str : parser.value(optProbe).split(QLatin1Char(',')))
            listPorts << quint16(str.toUInt());
        return probe(listPorts);
    }

    std::printf("%6s %6s %12s %11s %11s %8s %10s %10s %12s\n", "PDUs", "polls", "replies/poll", "replies/s",
                "expected/s", "missing", "sim CPU %", "all CPU %", "answered ms");
    bool bKeptUp = true;
    for (const QString& strSize : parser.value(optSizes).split(QLatin1Char(','))) {
        Result r;
        QString strError;
        if (!runOne(strSize.toInt(), parser.value(optSeconds).toInt(), &r, &strError)) {
            std::fprintf(stderr, "pdusim-bench: %s\n", qPrintable(strError));
            return 2;
        }
        std::printf("%6d %6d %12.1f %11.1f %11d %8lld %10.1f %10.1f %12.1f\n", r.iDevices, r.iTicks,
                    double(r.received) / r.iTicks, double(r.received) / r.dWall, r.iDevices * 6,
                    static_cast<long long>(r.missing), 100.0 * r.dSimCpu / r.dWall,
                    100.0 * r.dProcessCpu / r.dWall, r.dWorstAnswerMs);
        std::fflush(stdout);
        bKeptUp = bKeptUp && r.missing == 0 && r.dWorstAnswerMs < 1000.0;
    }
    std::printf("%s\n", bKeptUp ? "kept up: every query answered within its second"
                                : "fell behind: replies missing or late");
    return bKeptUp ? 0 : 1;
}
