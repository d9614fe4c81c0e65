#pragma once

// Senders for the hostile network tests: sockets made in the bed's device namespace and driven from a
// thread of their own, so that the console's GUI thread is measured while they send.

#include "tests/common/NetBed.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QTimer>

#include <netinet/ip.h>
#include <netinet/udp.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

namespace hostile {

// A plain UDP socket on the device side, bound to addr (any port); -1 on failure.
inline int deviceUdpSocket(quint32 uiAddr)
{
    int fd = -1;
    netbed::inDeviceNamespace([&] {
        fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(uiAddr);
        if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

// A raw socket on the device side that writes whole IPv4 packets, source address included.
inline int deviceRawSocket()
{
    int fd = -1;
    netbed::inDeviceNamespace([&] { fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW); });
    return fd;
}

// Sends one datagram, waiting out a full queue; false on any other error.
inline bool sendWithRetry(int fd, const void* pData, size_t len, const sockaddr_in& to)
{
    for (int iTry = 0; iTry < 1000; ++iTry) {
        if (sendto(fd, pData, len, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
            return true;
        if (errno != ENOBUFS && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

inline sockaddr_in address(quint32 uiAddr, quint16 uiPort)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uiPort);
    sa.sin_addr.s_addr = htonl(uiAddr);
    return sa;
}

// One UDP datagram from any source address, written through a raw socket.
inline bool sendSpoofed(int fdRaw, quint32 uiFrom, quint16 uiFromPort, quint32 uiTo, quint16 uiToPort,
                        const QByteArray& baPayload)
{
    QByteArray baPacket(int(sizeof(iphdr) + sizeof(udphdr)) + baPayload.size(), '\0');
    auto* pIp = reinterpret_cast<iphdr*>(baPacket.data());
    pIp->version = 4;
    pIp->ihl = 5;
    pIp->ttl = 64;
    pIp->protocol = IPPROTO_UDP;
    pIp->tot_len = htons(quint16(baPacket.size()));
    pIp->saddr = htonl(uiFrom);
    pIp->daddr = htonl(uiTo);
    auto* pUdp = reinterpret_cast<udphdr*>(baPacket.data() + sizeof(iphdr));
    pUdp->source = htons(uiFromPort);
    pUdp->dest = htons(uiToPort);
    pUdp->len = htons(quint16(sizeof(udphdr) + baPayload.size()));
    std::memcpy(baPacket.data() + sizeof(iphdr) + sizeof(udphdr), baPayload.constData(),
                size_t(baPayload.size()));
    return sendWithRetry(fdRaw, baPacket.constData(), size_t(baPacket.size()), address(uiTo, 0));
}

inline qint64 statusKiB(const QByteArray& baField)
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& baLine : file.readAll().split('\n'))
        if (baLine.startsWith(baField + ':'))
            return baLine.mid(baField.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline qint64 residentKiB()
{
    return statusKiB("VmRSS");
}

// The largest resident size since the last resetPeakResident(), seen by the kernel.
inline qint64 peakResidentKiB()
{
    return statusKiB("VmHWM");
}

inline void resetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// Datagrams the kernel dropped for want of room at this namespace's UDP sockets on port uiPort.
inline qint64 kernelDrops(quint16 uiPort)
{
    QFile file(QStringLiteral("/proc/net/udp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray baPort = QByteArray::number(uiPort, 16).toUpper().rightJustified(4, '0');
    qint64 iDrops = 0;
    for (const QByteArray& baLine : file.readAll().split('\n')) {
        const QList<QByteArray> listFields = baLine.simplified().split(' ');
        if (listFields.size() > 12 && listFields.at(1).endsWith(":" + baPort))
            iDrops += listFields.last().toLongLong();
    }
    return iDrops;
}

// Watches the GUI thread from its own event loop: a 10 ms timer whose longest gap tells how long the
// thread was held up, and a check every 100 ms of whatever must stay true meanwhile.
class GuiProbe : public QObject
{
public:
    template <typename Check> GuiProbe(Check check)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this, check] {
            const qint64 iNow = m_clock.elapsed();
            iMaxGapMs = qMax(iMaxGapMs, iNow - m_iLastMs);
            m_iLastMs = iNow;
            ++iTicks;
            if (iNow - m_iLastCheckMs >= 100) {
                m_iLastCheckMs = iNow;
                check();
            }
        });
        m_clock.start();
        m_timer.start(10);
    }
    qint64 iMaxGapMs = 0;
    qint64 iTicks = 0;

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_iLastMs = 0;
    qint64 m_iLastCheckMs = 0;
};

// The longest time between two ticks of a timer living in another thread (the transport's poll timer).
class TickWatch
{
public:
    explicit TickWatch(QTimer* pTimer)
    {
        m_clock.start();
        m_connection = QObject::connect(
            pTimer, &QTimer::timeout, pTimer,
            [this] {
                const qint64 iNow = m_clock.elapsed();
                if (m_iLastMs.load() >= 0)
                    iMaxGapMs = qMax(iMaxGapMs.load(), iNow - m_iLastMs.load());
                m_iLastMs = iNow;
                ++iTicks;
            },
            Qt::DirectConnection);
    }
    ~TickWatch() { QObject::disconnect(m_connection); }
    std::atomic<qint64> iMaxGapMs{0};
    std::atomic<int> iTicks{0};

private:
    QElapsedTimer m_clock;
    std::atomic<qint64> m_iLastMs{-1};
    QMetaObject::Connection m_connection;
};

} // namespace hostile
