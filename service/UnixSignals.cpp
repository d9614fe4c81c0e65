#include "service/UnixSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int s_aiPair[2] = {-1, -1};
const int kSignals[] = {SIGHUP, SIGTERM, SIGINT};

void onSignal(int iSignal)
{
    const unsigned char c = static_cast<unsigned char>(iSignal);
    [[maybe_unused]] const ssize_t iWritten = ::write(s_aiPair[0], &c, 1);
}
} // namespace

CUnixSignals::CUnixSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, s_aiPair) != 0)
        return;
    m_pNotifier = new QSocketNotifier(s_aiPair[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        unsigned char c = 0;
        if (::read(s_aiPair[1], &c, 1) == 1)
            emit signalReceived(c);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t setHandled;
    sigemptyset(&setHandled);
    for (int iSignal : kSignals) {
        sigaction(iSignal, &action, nullptr);
        sigaddset(&setHandled, iSignal);
    }
    // Signals held back while the program started are handled from here on; one that came meanwhile
    // is delivered now.
    pthread_sigmask(SIG_UNBLOCK, &setHandled, nullptr);
}

CUnixSignals::~CUnixSignals()
{
    for (int iSignal : kSignals)
        std::signal(iSignal, SIG_DFL);
    delete m_pNotifier;
    for (int& fd : s_aiPair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}
