#pragma once

// Helpers for tests that run inside scripts/netbed: the test process lives in the console namespace;
// these open sockets on the device side of the bed and read the bed's layout from its environment.

#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QUdpSocket>

#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

// One bed a process: every helper is static.
struct netbed
{
    static QStringList envList(const char* name)
    {
        return qEnvironmentVariable(name).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }

    static bool active() { return qEnvironmentVariableIsSet("RACKMIND_BED"); }
    static QStringList consoleAddrs() { return envList("RACKMIND_BED_CONSOLE_ADDRS"); }
    static QStringList consoleIfs() { return envList("RACKMIND_BED_CONSOLE_IFS"); }
    static QStringList deviceIfs() { return envList("RACKMIND_BED_DEVICE_IFS"); }
    static QString deviceNs() { return qEnvironmentVariable("RACKMIND_BED_DEVICE_NS"); }
    // The routed layout (scripts/netbed --routed): the namespace forwarding between the console's link and
    // the devices' network, which no broadcast of the console's crosses; empty in the plain layout.
    static QString routerNs() { return qEnvironmentVariable("RACKMIND_BED_ROUTER_NS"); }
    static QString routedNet() { return qEnvironmentVariable("RACKMIND_BED_ROUTED_NET"); }
    // The device namespace's own address on link i (the console side is 10.(200+i).0.1).
    static QHostAddress deviceGateway(int iLink)
    {
        return QHostAddress(QStringLiteral("10.%1.0.254").arg(200 + iLink));
    }

    // Runs `ip ARGS` in the console namespace (the test's own); true when it succeeded.
    static bool ip(const QStringList& args) { return QProcess::execute(QStringLiteral("ip"), args) == 0; }

    // Runs fn with the calling thread switched into the device namespace; sockets made there stay there.
    template <typename Fn> static bool inDeviceNamespace(Fn fn)
    {
        const QByteArray path = "/var/run/netns/" + deviceNs().toLocal8Bit();
        const int iTarget = open(path.constData(), O_RDONLY | O_CLOEXEC);
        const int iSelf = open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        bool bOk = iTarget >= 0 && iSelf >= 0 && setns(iTarget, CLONE_NEWNET) == 0;
        if (bOk) {
            fn();
            bOk = setns(iSelf, CLONE_NEWNET) == 0;
        }
        close(iTarget); // either may be -1, which close() refuses harmlessly
        close(iSelf);
        return bOk;
    }

    // A UDP socket on the device side bound to addr:port; with ifName it sees only that interface's traffic
    // (which is how a capture tells the links apart). Returns nullptr on failure.
    static QUdpSocket* openDeviceSocket(QObject* parent, const QHostAddress& addr, quint16 port,
                                        const QString& ifName = QString())
    {
        int fd = -1;
        const bool bSwitched = inDeviceNamespace([&] {
            fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0)
                return;
            const int iOn = 1;
            int iBuffer = 4 * 1024 * 1024;
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &iOn, sizeof iOn);
            setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &iOn, sizeof iOn);
            setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &iBuffer, sizeof iBuffer);
            setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &iOn, sizeof iOn);
            const QByteArray baIf = ifName.toLocal8Bit();
            const sockaddr_in sa{AF_INET, htons(port), {htonl(addr.toIPv4Address())}, {}};
            if ((!ifName.isEmpty() &&
                 setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, baIf.constData(), baIf.size()) != 0) ||
                bind(fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
                close(fd);
                fd = -1;
            }
        });
        if (!bSwitched || fd < 0)
            return nullptr;
        auto* pSocket = new QUdpSocket(parent);
        if (!pSocket->setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
            delete pSocket;
            close(fd);
            return nullptr;
        }
        return pSocket;
    }
};
