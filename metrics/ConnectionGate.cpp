#include "metrics/ConnectionGate.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {
// The largest TLS record a client may send, with its header; a bigger length is not TLS, and the
// handshake refuses it.
constexpr int kMaxRecordBytes = 5 + 16384 + 2048;
constexpr int kPollSliceMsec = 100;

std::string peerOf(int iSocket)
{
    sockaddr_storage addr{};
    socklen_t uiLength = sizeof addr;
    char acText[INET6_ADDRSTRLEN] = {};
    if (getpeername(iSocket, reinterpret_cast<sockaddr*>(&addr), &uiLength) == 0) {
        if (addr.ss_family == AF_INET)
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&addr)->sin_addr, acText, sizeof acText);
        else if (addr.ss_family == AF_INET6)
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&addr)->sin6_addr, acText,
                      sizeof acText);
    }
    return acText;
}
} // namespace

CConnection::CConnection(int iSocket) : iSocket(iSocket), strPeer(peerOf(iSocket)) {}

CConnection::~CConnection()
{
    pStream.reset();
    ::shutdown(iSocket, SHUT_RDWR);
    ::close(iSocket);
}

CConnectionGate::CConnectionGate(const GateLimits& limits, bool bTls, const std::atomic<bool>& bStopping,
                                 Serve serve)
    : m_limits(limits), m_bTls(bTls), m_bStopping(bStopping), m_serve(std::move(serve)),
      m_iEpoll(epoll_create1(EPOLL_CLOEXEC)), m_iWake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_iWake;
    epoll_ctl(m_iEpoll, EPOLL_CTL_ADD, m_iWake, &event);
    m_threadPoll = std::thread([this] { poll(); });
    for (int i = 0; i < m_limits.iWorkers; ++i)
        m_vecWorkers.emplace_back([this] { work(); });
}

CConnectionGate::~CConnectionGate()
{
    stop();
    ::close(m_iEpoll);
    ::close(m_iWake);
}

void CConnectionGate::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopped)
            return;
        m_bStopped = true;
    }
    const uint64_t uiOne = 1;
    (void)!::write(m_iWake, &uiOne, sizeof uiOne);
    m_cvReady.notify_all();
    m_threadPoll.join();
    for (std::thread& thread : m_vecWorkers)
        thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_mapHeld.clear();
    m_listHeld.clear();
    m_dequeReady.clear();
}

void CConnectionGate::admit(int iSocket)
{
    auto pConnection = std::make_unique<CConnection>(iSocket);
    pConnection->deadline = CDeadlineStream::Clock::now() + std::chrono::seconds(m_limits.iHeadTimeoutSec);
    hold(std::move(pConnection), true);
}

void CConnectionGate::setFavoured(std::function<bool(const std::string& strPeer)> favoured)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_favoured = std::move(favoured);
}

void CConnectionGate::hold(std::unique_ptr<CConnection> pConnection, bool bNew)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_bStopped)
        return;
    if (bNew) {
        // Every one of the address's connections is on a worker: the new one waits for none of them.
        if (!makeRoom(pConnection->strPeer))
            return;
        ++m_mapPerPeer[pConnection->strPeer];
    }
    if (pConnection->bHeadWhole) {
        queue(std::move(pConnection));
        return;
    }
    const int iSocket = pConnection->iSocket;
    m_listHeld.push_back(std::move(pConnection));
    m_mapHeld[iSocket] = std::prev(m_listHeld.end());
    // Edge-triggered: told once per arrival, which is when a part that was missing may have come. Bytes
    // already there are told at once.
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP | EPOLLET;
    event.data.fd = iSocket;
    epoll_ctl(m_iEpoll, EPOLL_CTL_ADD, iSocket, &event);
}

void CConnectionGate::leave(const std::string& strPeer)
{
    const auto it = m_mapPerPeer.find(strPeer);
    if (it != m_mapPerPeer.end() && --it->second <= 0)
        m_mapPerPeer.erase(it);
}

int CConnectionGate::served(const std::string& strPeer) const
{
    const auto it = m_mapServedPerPeer.find(strPeer);
    return it == m_mapServedPerPeer.end() ? 0 : it->second;
}

void CConnectionGate::dropHeld(Held::iterator it)
{
    epoll_ctl(m_iEpoll, EPOLL_CTL_DEL, (*it)->iSocket, nullptr);
    m_mapHeld.erase((*it)->iSocket);
    leave((*it)->strPeer);
    m_listHeld.erase(it);
}

void CConnectionGate::makeReady(Held::iterator it)
{
    epoll_ctl(m_iEpoll, EPOLL_CTL_DEL, (*it)->iSocket, nullptr);
    m_mapHeld.erase((*it)->iSocket);
    std::unique_ptr<CConnection> pConnection = std::move(*it);
    m_listHeld.erase(it);
    queue(std::move(pConnection));
}

void CConnectionGate::queue(std::unique_ptr<CConnection> pConnection)
{
    m_dequeReady.push_back(std::move(pConnection));
    if (int(m_dequeReady.size()) > m_limits.iMaxReady) {
        leave(m_dequeReady.front()->strPeer);
        m_dequeReady.pop_front();
    }
    // A worker may pass it by for its address's cap: each looks again.
    m_cvReady.notify_all();
}

bool CConnectionGate::makeRoom(const std::string& strPeer)
{
    // The oldest of the idle keep-alives that match, else the oldest that matches.
    const auto oldest = [this](const auto& matches) {
        Held::iterator found = m_listHeld.end();
        for (auto it = m_listHeld.begin(); it != m_listHeld.end(); ++it) {
            if (!matches(**it))
                continue;
            if ((*it)->bServedBefore)
                return it;
            if (found == m_listHeld.end())
                found = it;
        }
        return found;
    };
    const auto count = [this](const std::string& strPeer) {
        const auto it = m_mapPerPeer.find(strPeer);
        return it == m_mapPerPeer.end() ? 0 : it->second;
    };
    bool bRoom = true;
    while (count(strPeer) >= m_limits.iMaxPerPeer) {
        const Held::iterator it = oldest([&](const CConnection& c) { return c.strPeer == strPeer; });
        if (it != m_listHeld.end()) {
            dropHeld(it);
            continue;
        }
        // All of them have their request whole and wait for a worker: the one waiting longest goes.
        const auto itReady = std::find_if(m_dequeReady.begin(), m_dequeReady.end(),
                                          [&](const auto& p) { return p->strPeer == strPeer; });
        if (itReady == m_dequeReady.end()) {
            bRoom = false;
            break;
        }
        leave((*itReady)->strPeer);
        m_dequeReady.erase(itReady);
    }
    while (int(m_listHeld.size()) >= m_limits.iMaxHeld)
        dropHeld(oldest([](const CConnection&) { return true; }));
    return bRoom;
}

CConnectionGate::Arrived CConnectionGate::arrived(CConnection& connection) const
{
    // A plain connection that has been served keeps what came of its next request in its stream:
    // taken from the socket here, which waits for nothing.
    if (connection.pStream && !m_bTls) {
        switch (connection.pStream->gatherHead(size_t(m_limits.iMaxHeadBytes))) {
        case CDeadlineStream::Head::Whole:
            return Arrived::Whole;
        case CDeadlineStream::Head::Partly:
            return Arrived::Partly;
        case CDeadlineStream::Head::Nothing:
            return Arrived::Nothing;
        case CDeadlineStream::Head::Closed:
            return Arrived::Closed;
        }
    }
    int iAvailable = 0;
    if (::ioctl(connection.iSocket, FIONREAD, &iAvailable) != 0)
        return Arrived::Closed;
    std::vector<char> vecPeek(size_t(m_limits.iMaxHeadBytes));
    char* acPeek = vecPeek.data();
    if (iAvailable == 0) {
        const ssize_t iRead = ::recv(connection.iSocket, acPeek, 1, MSG_PEEK | MSG_DONTWAIT);
        return iRead < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) ? Arrived::Nothing
                                                                                        : Arrived::Closed;
    }
    if (m_bTls) {
        if (iAvailable < 5)
            return Arrived::Partly;
        if (::recv(connection.iSocket, acPeek, 5, MSG_PEEK | MSG_DONTWAIT) != 5)
            return Arrived::Closed;
        const int iRecord = 5 + (int(uint8_t(acPeek[3])) << 8 | uint8_t(acPeek[4]));
        return iAvailable >= iRecord || iRecord > kMaxRecordBytes ? Arrived::Whole : Arrived::Partly;
    }
    const ssize_t iRead =
        ::recv(connection.iSocket, acPeek, std::min<size_t>(size_t(iAvailable), vecPeek.size()),
               MSG_PEEK | MSG_DONTWAIT);
    if (iRead <= 0)
        return Arrived::Closed;
    const bool bWhole =
        iRead >= m_limits.iMaxHeadBytes || memmem(acPeek, size_t(iRead), "\r\n\r\n", 4) != nullptr;
    return bWhole ? Arrived::Whole : Arrived::Partly;
}

void CConnectionGate::poll()
{
    epoll_event aEvents[64];
    for (;;) {
        const int iEvents = epoll_wait(m_iEpoll, aEvents, 64, kPollSliceMsec);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bStopped)
            return;
        const auto now = CDeadlineStream::Clock::now();
        for (int i = 0; i < iEvents; ++i) {
            const auto it = m_mapHeld.find(aEvents[i].data.fd);
            if (it == m_mapHeld.end())
                continue;
            CConnection& connection = **it->second;
            switch (arrived(connection)) {
            case Arrived::Whole:
                makeReady(it->second);
                break;
            case Arrived::Closed:
                dropHeld(it->second);
                break;
            case Arrived::Partly:
                // Every request head is given the time-out from its first bytes.
                if (!connection.bBegun && connection.bServedBefore)
                    connection.deadline = now + std::chrono::seconds(m_limits.iHeadTimeoutSec);
                connection.bBegun = true;
                break;
            case Arrived::Nothing:
                break;
            }
        }
        // In the order they came, but a keep-alive's deadline moves: every one is looked at.
        for (auto it = m_listHeld.begin(); it != m_listHeld.end();) {
            const auto itNext = std::next(it);
            if ((*it)->deadline <= now)
                dropHeld(it);
            it = itNext;
        }
    }
}

void CConnectionGate::work()
{
    for (;;) {
        std::unique_ptr<CConnection> pConnection;
        std::string strPeer;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            auto itNext = m_dequeReady.end();
            m_cvReady.wait(lock, [&] {
                const auto eligible = [&](const auto& p) {
                    return served(p->strPeer) < m_limits.iMaxServedPerPeer;
                };
                const auto favoured = [&](const auto& p) {
                    return m_favoured && eligible(p) && m_favoured(p->strPeer);
                };
                itNext = std::find_if(m_dequeReady.begin(), m_dequeReady.end(), favoured);
                if (itNext == m_dequeReady.end())
                    itNext = std::find_if(m_dequeReady.begin(), m_dequeReady.end(), eligible);
                return m_bStopped || itNext != m_dequeReady.end();
            });
            if (m_bStopped)
                return;
            pConnection = std::move(*itNext);
            m_dequeReady.erase(itNext);
            strPeer = pConnection->strPeer;
            ++m_mapServedPerPeer[strPeer];
        }
        pConnection->bHeadWhole = false;
        pConnection = m_serve(std::move(pConnection));
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (--m_mapServedPerPeer[strPeer] <= 0)
                m_mapServedPerPeer.erase(strPeer);
            if (!pConnection || m_bStopping)
                leave(strPeer);
        }
        // The address may have another waiting for this worker.
        m_cvReady.notify_all();
        if (pConnection && !m_bStopping)
            hold(std::move(pConnection), false);
    }
}
