#include "metrics/HttpStreams.h"

#include "common/Clock.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {
constexpr int kSliceMsec = 100;

void addressOf(int iSocket, bool bPeer, std::string& strIp, int& iPort)
{
    sockaddr_storage addr{};
    socklen_t uiLength = sizeof addr;
    const int iResult = bPeer ? getpeername(iSocket, reinterpret_cast<sockaddr*>(&addr), &uiLength)
                              : getsockname(iSocket, reinterpret_cast<sockaddr*>(&addr), &uiLength);
    char acText[INET6_ADDRSTRLEN] = {};
    iPort = -1;
    if (iResult == 0 && addr.ss_family == AF_INET) {
        const auto* pAddr = reinterpret_cast<const sockaddr_in*>(&addr);
        inet_ntop(AF_INET, &pAddr->sin_addr, acText, sizeof acText);
        iPort = ntohs(pAddr->sin_port);
    } else if (iResult == 0 && addr.ss_family == AF_INET6) {
        const auto* pAddr = reinterpret_cast<const sockaddr_in6*>(&addr);
        inet_ntop(AF_INET6, &pAddr->sin6_addr, acText, sizeof acText);
        iPort = ntohs(pAddr->sin6_port);
    }
    strIp = acText;
}
} // namespace

CDeadlineStream::Clock::time_point CDeadlineStream::Clock::now()
{
    return time_point(duration(::Clock::elapsedMs()));
}

CDeadlineStream::CDeadlineStream(int iSocket, const std::atomic<bool>& bStopping)
    : m_iSocket(iSocket), m_bStopping(bStopping), m_deadline(Clock::now()), m_readDeadline(m_deadline)
{
}

bool CDeadlineStream::waitFor(short iEvents) const
{
    for (;;) {
        if (m_bStopping)
            return false;
        const auto deadline = iEvents == POLLIN ? m_readDeadline : m_deadline;
        const auto msLeft = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (msLeft.count() <= 0)
            return false;
        pollfd fd{m_iSocket, iEvents, 0};
        const int iResult = ::poll(&fd, 1, int(std::min<long long>(msLeft.count(), kSliceMsec)));
        if (iResult > 0)
            return (fd.revents & (iEvents | POLLHUP | POLLERR)) != 0;
        if (iResult < 0 && errno != EINTR)
            return false;
    }
}

bool CDeadlineStream::is_readable() const
{
    return m_uiTaken < m_strBuffer.size() || waitFor(POLLIN);
}

bool CDeadlineStream::is_writable() const
{
    return waitFor(POLLOUT);
}

ssize_t CDeadlineStream::receive(char* ptr, size_t size)
{
    for (;;) {
        if (!waitFor(POLLIN))
            return -1;
        const ssize_t iRead = ::recv(m_iSocket, ptr, size, MSG_DONTWAIT);
        if (iRead >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return iRead;
    }
}

ssize_t CDeadlineStream::receiveNow(char* ptr, size_t size)
{
    const ssize_t iRead = ::recv(m_iSocket, ptr, size, MSG_DONTWAIT);
    return iRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? kWouldWait : iRead;
}

// Where the request in strBuffer ends: its head and the body its Content-Length announces; npos while its
// head has not come whole.
static size_t requestEnd(const std::string& strBuffer)
{
    const size_t uiHead = strBuffer.find("\r\n\r\n");
    if (uiHead == std::string::npos)
        return uiHead;
    size_t uiBody = 0;
    for (size_t uiLine = strBuffer.find("\r\n"); uiLine < uiHead;
         uiLine = strBuffer.find("\r\n", uiLine + 2)) {
        static const char acName[] = "content-length:";
        if (uiLine + 2 + sizeof acName - 1 <= uiHead &&
            strncasecmp(strBuffer.c_str() + uiLine + 2, acName, sizeof acName - 1) == 0) {
            // Anything but digits is refused once the head is read; a huge value by its size.
            uiBody = size_t(std::min(
                std::strtoull(strBuffer.c_str() + uiLine + 2 + sizeof acName - 1, nullptr, 10), 1ull << 30));
            break;
        }
    }
    return uiHead + 4 + uiBody;
}

CDeadlineStream::Head CDeadlineStream::gatherHead(size_t uiLimit)
{
    m_strBuffer.erase(0, m_uiTaken);
    m_uiTaken = 0;
    bool bEnded = false;
    // The body a request announces comes with it too: a worker waits for nothing of the peer's.
    // A body too big to be taken is refused as soon as its head is here.
    const auto whole = [&] {
        const size_t uiEnd = requestEnd(m_strBuffer);
        return m_strBuffer.size() >= uiLimit ||
               (uiEnd != std::string::npos && (m_strBuffer.size() >= uiEnd || uiEnd > uiLimit));
    };
    while (!whole()) {
        const size_t uiHeld = m_strBuffer.size();
        m_strBuffer.resize(uiLimit);
        const ssize_t iRead = receiveNow(&m_strBuffer[uiHeld], uiLimit - uiHeld);
        m_strBuffer.resize(uiHeld + size_t(std::max<ssize_t>(iRead, 0)));
        if (iRead == kWouldWait)
            break;
        if (iRead <= 0) {
            bEnded = true;
            break;
        }
    }
    if (whole())
        return Head::Whole;
    if (bEnded)
        return Head::Closed;
    return m_strBuffer.empty() ? Head::Nothing : Head::Partly;
}

ssize_t CDeadlineStream::read(char* ptr, size_t size)
{
    // As at the end of the stream: the library then answers what it has (414, 400) and the
    // connection closes.
    if (m_uiBudget == 0)
        return 0;
    size = std::min(size, m_uiBudget);
    const ssize_t iRead = take(ptr, size);
    if (iRead > 0) {
        m_uiBudget -= size_t(iRead);
        if (m_bHeadOpen) {
            m_strHead.append(ptr, size_t(iRead));
            m_bHeadOpen = m_strHead.find("\r\n\r\n", m_strHead.size() > size_t(iRead) + 3
                                                         ? m_strHead.size() - size_t(iRead) - 3
                                                         : 0) == std::string::npos;
        }
    }
    return iRead;
}

ssize_t CDeadlineStream::take(char* ptr, size_t size)
{
    constexpr size_t kBufferBytes = 4096;
    if (m_uiTaken == m_strBuffer.size()) {
        m_strBuffer.clear();
        m_uiTaken = 0;
        if (size >= kBufferBytes)
            return receive(ptr, size);
        m_strBuffer.resize(kBufferBytes);
        const ssize_t iRead = receive(&m_strBuffer[0], kBufferBytes);
        m_strBuffer.resize(size_t(std::max<ssize_t>(iRead, 0)));
        if (iRead <= 0)
            return iRead;
    }
    const size_t uiCount = std::min(size, m_strBuffer.size() - m_uiTaken);
    std::memcpy(ptr, m_strBuffer.data() + m_uiTaken, uiCount);
    m_uiTaken += uiCount;
    return ssize_t(uiCount);
}

ssize_t CDeadlineStream::write(const char* ptr, size_t size)
{
    for (;;) {
        if (!waitFor(POLLOUT))
            return -1;
        const ssize_t iSent = ::send(m_iSocket, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (iSent >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return iSent;
    }
}

void CDeadlineStream::get_remote_ip_and_port(std::string& ip, int& port) const
{
    addressOf(m_iSocket, true, ip, port);
}

void CDeadlineStream::get_local_ip_and_port(std::string& ip, int& port) const
{
    addressOf(m_iSocket, false, ip, port);
}

CTlsDeadlineStream::CTlsDeadlineStream(int iSocket, const std::atomic<bool>& bStopping, SSL* pSsl)
    : CDeadlineStream(iSocket, bStopping), m_pSsl(pSsl)
{
    SSL_set_fd(m_pSsl, iSocket);
    SSL_set_mode(m_pSsl, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

CTlsDeadlineStream::~CTlsDeadlineStream()
{
    // One try at a clean close; a peer that does not take it is not waited for.
    if (m_bHandshaken)
        SSL_shutdown(m_pSsl);
    SSL_free(m_pSsl);
    ERR_clear_error();
}

bool CTlsDeadlineStream::waitForSsl(int iResult) const
{
    switch (SSL_get_error(m_pSsl, iResult)) {
    case SSL_ERROR_WANT_READ:
        return waitFor(POLLIN);
    case SSL_ERROR_WANT_WRITE:
        return waitFor(POLLOUT);
    default:
        return false;
    }
}

CTlsDeadlineStream::Step CTlsDeadlineStream::handshake()
{
    for (;;) {
        const int iResult = SSL_accept(m_pSsl);
        if (iResult == 1) {
            m_bHandshaken = true;
            return Step::Done;
        }
        // Nothing of the peer's next record yet: waited for by whoever holds the idle connections. A
        // record begun is waited for here, within the deadline.
        if (SSL_get_error(m_pSsl, iResult) == SSL_ERROR_WANT_READ && !SSL_has_pending(m_pSsl))
            return Step::WantRead;
        if (!waitForSsl(iResult))
            return Step::Failed;
    }
}

bool CTlsDeadlineStream::is_readable() const
{
    return m_uiTaken < m_strBuffer.size() || SSL_pending(m_pSsl) > 0 || waitFor(POLLIN);
}

ssize_t CTlsDeadlineStream::receive(char* ptr, size_t size)
{
    for (;;) {
        if (m_bStopping)
            return -1;
        const int iRead = SSL_read(m_pSsl, ptr, int(std::min<size_t>(size, INT_MAX)));
        if (iRead > 0)
            return iRead;
        if (SSL_get_error(m_pSsl, iRead) == SSL_ERROR_ZERO_RETURN)
            return 0;
        if (!waitForSsl(iRead))
            return -1;
    }
}

ssize_t CTlsDeadlineStream::receiveNow(char* ptr, size_t size)
{
    const int iRead = SSL_read(m_pSsl, ptr, int(std::min<size_t>(size, INT_MAX)));
    if (iRead > 0)
        return iRead;
    switch (SSL_get_error(m_pSsl, iRead)) {
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
        return kWouldWait;
    default:
        return -1;
    }
}

ssize_t CTlsDeadlineStream::write(const char* ptr, size_t size)
{
    for (;;) {
        if (m_bStopping)
            return -1;
        const int iSent = SSL_write(m_pSsl, ptr, int(std::min<size_t>(size, INT_MAX)));
        if (iSent > 0)
            return iSent;
        if (!waitForSsl(iSent))
            return -1;
    }
}
