#pragma once

// A mail server on 127.0.0.1 that holds a correct dialogue with every client, many at a time, but
// writes each reply one byte at a time; or, in the endless mode, never finishes its greeting at all.

#include "tests/mail/MailTestServers.h"

#include <QByteArray>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <list>
#include <mutex>
#include <thread>

class SlowSmtpServer
{
public:
    // iByteMsec between two bytes of a reply; bEndless: the greeting is "220-" and then "x" forever.
    SlowSmtpServer(int iByteMsec, bool bEndless) : m_iByteMsec(iByteMsec), m_bEndless(bEndless)
    {
        m_iListenFd = listenOnLoopback(16, m_uiPort);
        if (m_iListenFd < 0)
            return;
        m_acceptThread = std::thread([this] { acceptLoop(); });
    }

    ~SlowSmtpServer()
    {
        m_bStop = true;
        if (m_acceptThread.joinable())
            m_acceptThread.join();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::thread& t : m_listSessions)
            t.join();
        if (m_iListenFd >= 0)
            ::close(m_iListenFd);
    }

    quint16 port() const { return m_uiPort; }
    int connections() const { return m_iConnections; }
    int mailsTaken() const { return m_iMails; }
    int sessionsOpen() const { return m_iOpen; }

private:
    void acceptLoop()
    {
        while (!m_bStop) {
            pollfd pfd{m_iListenFd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            const int iFd = ::accept4(m_iListenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (iFd < 0)
                continue;
            ++m_iConnections;
            ++m_iOpen;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_listSessions.emplace_back([this, iFd] {
                serve(iFd);
                ::close(iFd);
                --m_iOpen;
            });
        }
    }

    // One byte every m_iByteMsec; false once the client has gone.
    bool trickle(int iFd, const QByteArray& baReply)
    {
        for (int i = 0; (m_bEndless && baReply.isEmpty()) || i < baReply.size(); ++i) {
            if (m_bStop)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(m_iByteMsec));
            const char c = baReply.isEmpty() ? 'x' : baReply.at(i);
            if (::send(iFd, &c, 1, MSG_NOSIGNAL) != 1)
                return false;
        }
        return true;
    }

    bool readLine(int iFd, QByteArray& baLine, const QByteArray& baEnd = "\n")
    {
        baLine.clear();
        while (!m_bStop) {
            pollfd pfd{iFd, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0)
                continue;
            char c;
            if (::recv(iFd, &c, 1, 0) != 1)
                return false;
            baLine += c;
            if (baLine.endsWith(baEnd))
                return true;
        }
        return false;
    }

    void serve(int iFd)
    {
        if (m_bEndless) {
            trickle(iFd, "220-");
            trickle(iFd, QByteArray());
            return;
        }
        if (!trickle(iFd, "220 slow\r\n"))
            return;
        QByteArray baLine;
        while (readLine(iFd, baLine)) {
            QByteArray baReply = "250 ok\r\n";
            if (baLine.startsWith("AUTH"))
                baReply = "235 ok\r\n";
            else if (baLine.startsWith("DATA")) {
                QByteArray baBody;
                if (!trickle(iFd, "354 go\r\n") || !readLine(iFd, baBody, "\r\n.\r\n"))
                    return;
                ++m_iMails;
            } else if (baLine.startsWith("QUIT")) {
                trickle(iFd, "221 bye\r\n");
                return;
            }
            if (!trickle(iFd, baReply))
                return;
        }
    }

    int m_iByteMsec;
    bool m_bEndless;
    int m_iListenFd = -1;
    quint16 m_uiPort = 0;
    std::atomic<bool> m_bStop{false};
    std::atomic<int> m_iConnections{0};
    std::atomic<int> m_iMails{0};
    std::atomic<int> m_iOpen{0};
    std::mutex m_mutex;
    std::list<std::thread> m_listSessions;
    std::thread m_acceptThread;
};
