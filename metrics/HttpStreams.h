#pragma once

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>

// A connection's byte stream for the HTTP library with a deadline of our own: every wait for the
// peer ends at the deadline or within a tenth of a second of a stop, whatever the peer does. The
// library's own streams bound each send or receive, so a peer that reads a byte a second kept a
// worker for as long as it liked.
class CDeadlineStream : public httplib::Stream
{
public:
    // Deadlines run on the program's monotonic clock, which a test may hold still or step.
    struct Clock
    {
        using duration = std::chrono::milliseconds;
        using rep = duration::rep;
        using period = duration::period;
        using time_point = std::chrono::time_point<Clock, duration>;
        static constexpr bool is_steady = true;
        static time_point now();
    };

    CDeadlineStream(int iSocket, const std::atomic<bool>& bStopping);

    void setDeadline(Clock::time_point deadline) { m_deadline = m_readDeadline = deadline; }
    // An earlier end for waiting on the peer's bytes alone.
    void setReadDeadline(Clock::time_point deadline) { m_readDeadline = deadline; }
    // Bytes the library may take from here on; past them the stream ends. A request
    // head made of many short lines has no limit in the library otherwise.
    void setReadBudget(size_t uiBytes) { m_uiBudget = uiBytes; }
    // Keeps the bytes of the next request head as they arrive, for the checks the library does not
    // make.
    void startHead()
    {
        m_strHead.clear();
        m_bHeadOpen = true;
    }
    const std::string& head() const { return m_strHead; }
    // Waits for the socket; false at the deadline, on a stop or an error.
    bool waitFor(short iEvents) const;
    enum class Head
    {
        Whole, // a request head to its empty line, or as much as a head may be
        Partly,
        Nothing,
        Closed,
    };
    // Takes what the peer has sent so far, without waiting, until uiLimit bytes are held: whether
    // the next request head is here whole, so that reading it waits for nothing.
    Head gatherHead(size_t uiLimit);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return m_iSocket; }

protected:
    static constexpr ssize_t kWouldWait = -2;
    // The library asks for requests a byte at a time; a buffer saves a system call per byte.
    virtual ssize_t receive(char* ptr, size_t size);
    // What has come, without waiting: kWouldWait when nothing has.
    virtual ssize_t receiveNow(char* ptr, size_t size);
    ssize_t take(char* ptr, size_t size);

    int m_iSocket;
    const std::atomic<bool>& m_bStopping;
    Clock::time_point m_deadline;
    Clock::time_point m_readDeadline;
    std::string m_strBuffer; // taken from the peer; read up to m_uiTaken
    size_t m_uiTaken = 0;
    size_t m_uiBudget = SIZE_MAX;
    std::string m_strHead;
    bool m_bHeadOpen = false;
};

// The same over TLS: the handshake and every record within the deadline.
class CTlsDeadlineStream : public CDeadlineStream
{
public:
    CTlsDeadlineStream(int iSocket, const std::atomic<bool>& bStopping, SSL* pSsl);
    ~CTlsDeadlineStream() override;

    enum class Step
    {
        Done,
        WantRead, // the peer's next bytes have not come: wait for them elsewhere, then call again
        Failed,
    };
    // The handshake as far as the bytes that have come allow; waits only to send.
    Step handshake();
    bool handshaken() const { return m_bHandshaken; }
    bool is_readable() const override;
    ssize_t write(const char* ptr, size_t size) override;

protected:
    ssize_t receive(char* ptr, size_t size) override;
    ssize_t receiveNow(char* ptr, size_t size) override;

private:
    // Waits for what OpenSSL asked for after iResult; false when that was an end or an error.
    bool waitForSsl(int iResult) const;

    SSL* m_pSsl;
    bool m_bHandshaken = false;
};
