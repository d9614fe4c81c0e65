#include "tools/pdusim/SimThread.h"

#include "tools/pdusim/SimControl.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

CSimThread::CSimThread(QObject* parent) : QThread(parent)
{
    setObjectName(QStringLiteral("SimThread"));
}

CSimThread::~CSimThread()
{
    stopFleet();
}

bool CSimThread::enterNamespace(const QString& strNetns, QString* pError)
{
    const QByteArray baPath = QStringLiteral("/run/netns/%1").arg(strNetns).toLocal8Bit();
    const int fd = ::open(baPath.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::setns(fd, CLONE_NEWNET) < 0) {
        if (pError)
            *pError = QStringLiteral("cannot enter network namespace %1: %2")
                          .arg(strNetns, QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    ::close(fd);
    return true;
}

bool CSimThread::startFleet(const CSimConfig& config, QString* pError, const QString& strNetns)
{
    m_config = config;
    m_strNetns = strNetns.isEmpty() ? qEnvironmentVariable("RACKMIND_BED_DEVICE_NS") : strNetns;
    if (m_strNetns.isEmpty()) {
        // Never fall back to this machine's own network.
        if (pError)
            *pError = QStringLiteral("no device namespace: run inside scripts/netbed");
        return false;
    }
    m_bReady = false;
    start();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_condReady.wait(lock, [this]() { return m_bReady; });
    const bool bOk = m_bOk;
    if (!bOk) {
        if (pError)
            *pError = m_strError;
        lock.unlock();
        wait();
    }
    return bOk;
}

void CSimThread::stopFleet()
{
    if (!isRunning())
        return;
    quit();
    wait();
}

QStringList CSimThread::command(const QString& strLine)
{
    QStringList listOut;
    if (!m_pControl)
        return {QStringLiteral("error: no fleet")};
    runOnFleetThread([&]() { listOut = m_pControl->execute(strLine); });
    return listOut;
}

void CSimThread::runOnFleetThread(const std::function<void()>& fn)
{
    std::mutex mutex;
    std::condition_variable cond;
    bool bDone = false;
    // Posting goes through Qt's own locks, which thread sanitizer builds cannot see; holding the mutex
    // across the post, and taking it before fn runs, makes that half of the hand-over visible too.
    std::unique_lock<std::mutex> lock(mutex);
    QMetaObject::invokeMethod(
        m_pFleet,
        [&]() {
            {
                std::lock_guard<std::mutex> posted(mutex);
            }
            fn();
            std::lock_guard<std::mutex> lock(mutex);
            bDone = true;
            cond.notify_one();
        },
        Qt::QueuedConnection);
    cond.wait(lock, [&]() { return bDone; });
}

void CSimThread::run()
{
    QString strError;
    bool bOk = enterNamespace(m_strNetns, &strError);
    CSimFleet* pFleet = nullptr;
    CSimControl* pControl = nullptr;
    if (bOk) {
        pFleet = new CSimFleet;
        pControl = new CSimControl(pFleet, pFleet);
        bOk = pFleet->setup(m_config, &strError);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pFleet = bOk ? pFleet : nullptr;
        m_pControl = bOk ? pControl : nullptr;
        m_bOk = bOk;
        m_strError = strError;
        m_bReady = true;
        m_condReady.notify_all();
    }
    if (bOk)
        exec();
    m_pFleet = nullptr;
    m_pControl = nullptr;
    delete pFleet;
}
