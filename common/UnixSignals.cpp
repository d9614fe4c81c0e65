#include "common/UnixSignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int s_aiPair[2] = {-1, -1};
const int kSignals[] = {SIGHUP, SIGTERM, SIGINT};
// Set by the handler, taken by the event loop: a burst of one signal is one event, and a stop is never
// crowded out by reloads.
std::atomic<bool> s_abPending[std::size(kSignals)] = {};
static_assert(std::atomic<bool>::is_always_lock_free, "set in a signal handler");

void onSignal(int iSignal)
{
    for (size_t i = 0; i < std::size(kSignals); ++i)
        if (kSignals[i] == iSignal)
            s_abPending[i].store(true);
    // Only a wake-up: when the pair is full one is waiting already. The handler may run on the thread
    // that reads the pair, where a write that waited for room would wait for ever.
    const int iSaved = errno;
    const unsigned char c = static_cast<unsigned char>(iSignal);
    [[maybe_unused]] const ssize_t iWritten = ::write(s_aiPair[0], &c, 1);
    errno = iSaved;
}
} // namespace

CUnixSignals::CUnixSignals(QObject* parent) : QObject(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, s_aiPair) != 0)
        return;
    m_pNotifier = new QSocketNotifier(s_aiPair[1], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, [this] {
        char acWake[256];
        while (::read(s_aiPair[1], acWake, sizeof acWake) > 0) {
        }
        // Taken before it is handled: one that comes during a reload brings another.
        for (size_t i = 0; i < std::size(kSignals); ++i) {
            if (s_abPending[i].exchange(false))
                emit signalReceived(kSignals[i]);
        }
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
