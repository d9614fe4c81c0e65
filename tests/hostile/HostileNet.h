#pragma once

// Senders for the hostile network tests: sockets made in the bed's device namespace and driven from a
// thread of their own, so that the console's threads are measured while they send.

#include "tests/common/NetBed.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <netinet/ip.h>
#include <netinet/udp.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

namespace hostile {

// A UDP socket on the device side bound to addr, or (with bRaw) one that writes whole IPv4 packets,
// source address included; -1 on failure.
inline int deviceSocket(quint32 uiAddr, bool bRaw = false)
{
    int fd = -1;
    netbed::inDeviceNamespace([&] {
        fd = bRaw ? socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW)
                  : socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_addr.s_addr = htonl(uiAddr);
        if (fd >= 0 && !bRaw && bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
            close(fd);
            fd = -1;
        }
    });
    return fd;
}

// Sends one UDP datagram, waiting out a full queue. With a raw socket, from any address.
inline bool send(int fd, const QByteArray& baPayload, quint32 uiTo, quint16 uiPort, quint32 uiFrom = 0)
{
    QByteArray baPacket = baPayload;
    if (uiFrom) {
        baPacket.prepend(QByteArray(int(sizeof(iphdr) + sizeof(udphdr)), '\0'));
        auto* pIp = reinterpret_cast<iphdr*>(baPacket.data());
        pIp->version = 4;
        pIp->ihl = 5;
        pIp->ttl = 64;
        pIp->protocol = IPPROTO_UDP;
        pIp->tot_len = htons(quint16(baPacket.size()));
        pIp->saddr = htonl(uiFrom);
        pIp->daddr = htonl(uiTo);
        auto* pUdp = reinterpret_cast<udphdr*>(baPacket.data() + sizeof(iphdr));
        pUdp->source = pUdp->dest = htons(uiPort);
        pUdp->len = htons(quint16(sizeof(udphdr) + baPayload.size()));
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uiFrom ? 0 : uiPort);
    to.sin_addr.s_addr = htonl(uiTo);
    for (int iTry = 0; iTry < 1000; ++iTry) {
        if (sendto(fd, baPacket.constData(), size_t(baPacket.size()), 0, reinterpret_cast<sockaddr*>(&to),
                   sizeof to) >= 0)
            return true;
        if (errno != ENOBUFS && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return false;
}

// The resident size now, or (bPeak) the largest since the last resetPeakResident().
inline qint64 residentKiB(bool bPeak = false)
{
    QFile file(QStringLiteral("/proc/self/status"));
    const QByteArray baField = bPeak ? "VmHWM:" : "VmRSS:";
    if (file.open(QIODevice::ReadOnly))
        for (const QByteArray& baLine : file.readAll().split('\n'))
            if (baLine.startsWith(baField))
                return baLine.mid(baField.size()).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

inline void resetPeakResident()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// The longest gap between two ticks of a timer, in its own thread (the transport's poll timer) or in
// this one (a 10 ms probe of the GUI thread, which also runs a check every 100 ms).
class TickWatch
{
public:
    explicit TickWatch(QTimer* pTimer, std::function<void()> check = {})
    {
        m_clock.start();
        m_connection = QObject::connect(
            pTimer, &QTimer::timeout, pTimer,
            [this, check] {
                const qint64 iNow = m_clock.elapsed();
                if (m_iLastMs.load() >= 0)
                    iMaxGapMs = qMax(iMaxGapMs.load(), iNow - m_iLastMs.load());
                m_iLastMs = iNow;
                if (++iTicks % 10 == 0 && check)
                    check();
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
