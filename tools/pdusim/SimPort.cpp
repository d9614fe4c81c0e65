#include "tools/pdusim/SimPort.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int kBatch = 64;
constexpr int kMaxReadsPerWake = 256;
constexpr int kBufferBytes = 4 * 1024 * 1024;
} // namespace

CSimPort::CSimPort(quint16 uiPort, QObject* parent) : QObject(parent), m_uiPort(uiPort) {}

CSimPort::~CSimPort()
{
    if (m_iFd >= 0)
        ::close(m_iFd);
}

bool CSimPort::open(QString* pError)
{
    const auto fail = [&](const char* what) {
        if (pError)
            *pError = QStringLiteral("port %1: %2: %3")
                          .arg(m_uiPort)
                          .arg(QLatin1String(what))
                          .arg(QString::fromLocal8Bit(strerror(errno)));
        if (m_iFd >= 0)
            ::close(m_iFd);
        m_iFd = -1;
        return false;
    };
    m_iFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_iFd < 0)
        return fail("socket");
    const int one = 1;
    ::setsockopt(m_iFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(m_iFd, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    if (::setsockopt(m_iFd, IPPROTO_IP, IP_PKTINFO, &one, sizeof one) < 0)
        return fail("IP_PKTINFO");
    // A whole fleet answers in one burst: give both queues room (beyond rmem_max when allowed to).
    const int buffer = kBufferBytes;
    if (::setsockopt(m_iFd, SOL_SOCKET, SO_RCVBUFFORCE, &buffer, sizeof buffer) < 0)
        ::setsockopt(m_iFd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
    if (::setsockopt(m_iFd, SOL_SOCKET, SO_SNDBUFFORCE, &buffer, sizeof buffer) < 0)
        ::setsockopt(m_iFd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_uiPort);
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(m_iFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0)
        return fail("bind");
    m_pReadNotifier = new QSocketNotifier(m_iFd, QSocketNotifier::Read, this);
    connect(m_pReadNotifier, &QSocketNotifier::activated, this, &CSimPort::readPending);
    m_pWriteNotifier = new QSocketNotifier(m_iFd, QSocketNotifier::Write, this);
    m_pWriteNotifier->setEnabled(false);
    connect(m_pWriteNotifier, &QSocketNotifier::activated, this, &CSimPort::flush);
    return true;
}

void CSimPort::readPending()
{
    char buffer[2048];
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
    for (int i = 0; i < kMaxReadsPerWake; ++i) {
        sockaddr_in from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        const ssize_t n = ::recvmsg(m_iFd, &msg, 0);
        if (n < 0)
            return;
        Datagram dg;
        dg.baData = QByteArray(buffer, int(n));
        dg.srcIp = ntohl(from.sin_addr.s_addr);
        dg.srcPort = ntohs(from.sin_port);
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                memcpy(&info, CMSG_DATA(c), sizeof info);
                dg.dstIp = ntohl(info.ipi_addr.s_addr);
                dg.iIfIndex = info.ipi_ifindex;
            }
        }
        if (onDatagram)
            onDatagram(dg);
    }
}

void CSimPort::send(const QVector<Outgoing>& vecOut)
{
    if (vecOut.isEmpty())
        return;
    if (m_iQueueHead >= m_vecQueue.size()) {
        m_vecQueue.clear();
        m_iQueueHead = 0;
    }
    m_vecQueue += vecOut;
    if (!m_pWriteNotifier || !m_pWriteNotifier->isEnabled())
        flush();
}

void CSimPort::flush()
{
    mmsghdr msgs[kBatch];
    iovec iovs[kBatch];
    sockaddr_in addrs[kBatch];
    alignas(cmsghdr) char controls[kBatch][CMSG_SPACE(sizeof(in_pktinfo))];
    while (m_iQueueHead < m_vecQueue.size()) {
        const int count = qMin(kBatch, m_vecQueue.size() - m_iQueueHead);
        memset(msgs, 0, sizeof(mmsghdr) * count);
        for (int i = 0; i < count; ++i) {
            const Outgoing& out = m_vecQueue[m_iQueueHead + i];
            iovs[i].iov_base = const_cast<char*>(out.baData.constData());
            iovs[i].iov_len = size_t(out.baData.size());
            addrs[i] = sockaddr_in{};
            addrs[i].sin_family = AF_INET;
            addrs[i].sin_port = htons(out.dstPort);
            addrs[i].sin_addr.s_addr = htonl(out.dstIp);
            memset(controls[i], 0, sizeof controls[i]);
            msghdr& msg = msgs[i].msg_hdr;
            msg.msg_name = &addrs[i];
            msg.msg_namelen = sizeof addrs[i];
            msg.msg_iov = &iovs[i];
            msg.msg_iovlen = 1;
            msg.msg_control = controls[i];
            msg.msg_controllen = sizeof controls[i];
            cmsghdr* c = CMSG_FIRSTHDR(&msg);
            c->cmsg_level = IPPROTO_IP;
            c->cmsg_type = IP_PKTINFO;
            c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
            in_pktinfo info{};
            info.ipi_spec_dst.s_addr = htonl(out.srcIp); // the source address on Linux
            memcpy(CMSG_DATA(c), &info, sizeof info);
        }
        const int sent = ::sendmmsg(m_iFd, msgs, unsigned(count), 0);
        if (sent < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS) {
                m_pWriteNotifier->setEnabled(true);
                return;
            }
            // This one datagram cannot leave (for example its device's address is not on this host).
            ++m_uiFailed;
            ++m_iQueueHead;
            continue;
        }
        m_uiSent += quint64(sent);
        m_iQueueHead += sent;
    }
    m_vecQueue.clear();
    m_iQueueHead = 0;
    m_pWriteNotifier->setEnabled(false);
}
