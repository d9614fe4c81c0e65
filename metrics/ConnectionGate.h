#pragma once

#include "metrics/HttpStreams.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// One client connection of the endpoint, handed between the gate and the workers; closed when let go.
struct CConnection
{
    explicit CConnection(int iSocket);
    ~CConnection();
    CConnection(const CConnection&) = delete;
    CConnection& operator=(const CConnection&) = delete;

    const int iSocket;
    std::string strPeer; // the peer's address without its port
    // Made by the server on the first request; it carries the TLS session from one request to the next.
    std::unique_ptr<CDeadlineStream> pStream;
    int iRequests = 0;
    int iGeneration = 0;        // of the server's TLS settings its session was made with
    bool bServedBefore = false; // an idle keep-alive connection while in the gate
    CDeadlineStream::Clock::time_point deadline;
    bool bBegun = false;     // some bytes of what it waits for have come
    bool bHeadWhole = false; // its next request head is in its stream already
};

struct GateLimits
{
    int iWorkers = 4;
    int iMaxPerPeer = 8;       // waiting or served, per peer address
    int iMaxServedPerPeer = 2; // on workers at once, per peer address
    int iMaxHeld = 512;        // waiting for their bytes, over all peers
    int iMaxReady = 64;        // whole and waiting for a worker
    int iHeadTimeoutSec = 2;   // for each request head, from its first byte
    int iMaxHeadBytes = 8192;  // a head longer than this is handed on as it is: the server refuses it
};

// Holds accepted connections on one thread until what their worker needs next has arrived whole: a
// request head, or over TLS a whole record (the ClientHello, later one holding a request). After each
// answer the connection comes back here until its next head is whole. A worker is never given a
// connection only to wait on it, so silent, slow and half-open clients cost a descriptor each,
// never a worker, and are closed after the head time-out. Each peer address keeps a few connections
// here, in the queue or on workers, and only a few of them on workers at once; a new one past that
// pushes out its oldest waiting one (idle keep-alives first), so a scraper behind the same address as a
// silent client still gets through. Past the caps over all peers the oldest waiting go the same way;
// the queue for workers is first come, first served among the addresses under their cap.
class CConnectionGate
{
public:
    // serve runs on a worker; it returns the connection to keep it alive (it waits here again for its
    // next request) or nothing to close it.
    using Serve = std::function<std::unique_ptr<CConnection>(std::unique_ptr<CConnection>)>;

    CConnectionGate(const GateLimits& limits, bool bTls, const std::atomic<bool>& bStopping, Serve serve);
    ~CConnectionGate();

    // Any thread: takes the accepted socket over.
    void admit(int iSocket);
    // Whether a peer address goes before the others in the queue for workers (one that has shown it
    // belongs, while others may be guessing); called with the gate's lock held.
    void setFavoured(std::function<bool(const std::string& strPeer)> favoured);
    // Waits for the threads; connections still held are closed unserved.
    void stop();

private:
    using Held = std::list<std::unique_ptr<CConnection>>;
    enum class Arrived
    {
        Whole,
        Partly,
        Nothing,
        Closed,
    };

    // bNew: just accepted, counted now against its address.
    void hold(std::unique_ptr<CConnection> pConnection, bool bNew);
    void poll();
    void work();
    Arrived arrived(CConnection& connection) const;
    // Drops waiting connections while the peer or the whole gate is over its cap; false if the peer's
    // are all on workers.
    bool makeRoom(const std::string& strPeer);
    void dropHeld(Held::iterator it);
    void makeReady(Held::iterator it);
    void queue(std::unique_ptr<CConnection> pConnection);
    void leave(const std::string& strPeer);
    int served(const std::string& strPeer) const;

    const GateLimits m_limits;
    const bool m_bTls;
    const std::atomic<bool>& m_bStopping;
    const Serve m_serve;
    int m_iEpoll = -1;
    int m_iWake = -1;
    std::mutex m_mutex;
    std::condition_variable m_cvReady;
    Held m_listHeld; // in the order they came to wait, so oldest first
    std::map<int, Held::iterator> m_mapHeld;
    std::deque<std::unique_ptr<CConnection>> m_dequeReady;
    std::map<std::string, int> m_mapPerPeer;       // held, ready and served
    std::map<std::string, int> m_mapServedPerPeer; // on workers
    std::function<bool(const std::string&)> m_favoured;
    bool m_bStopped = false;
    std::thread m_threadPoll;
    std::vector<std::thread> m_vecWorkers;
};
