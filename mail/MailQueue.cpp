#include "mail/MailQueue.h"

#include "mail/SmtpClient.h"

#include <QCoreApplication>

namespace {
CMailQueue* g_pMailQueue = nullptr;

void shutdownMailQueue()
{
    if (!g_pMailQueue)
        return;
    // A worker that will not stop must not be destroyed under its own feet: leave it to the process exit.
    if (g_pMailQueue->shutdown(CMailQueue::kExitBudgetMsec))
        delete g_pMailQueue;
    g_pMailQueue = nullptr;
}
} // namespace

CMailQueue* CMailQueue::instance()
{
    if (!g_pMailQueue) {
        g_pMailQueue = new CMailQueue;
        qAddPostRoutine(shutdownMailQueue);
    }
    return g_pMailQueue;
}

CMailQueue::CMailQueue()
{
    m_thread.setObjectName(QStringLiteral("MailThread"));
    m_pWorkerContext = new QObject;
    m_pWorkerContext->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_pWorkerContext,
            [this] { m_pWorkerContext->moveToThread(thread()); });
}

CMailQueue::~CMailQueue()
{
    shutdown(0);
    delete m_pWorkerContext;
}

void CMailQueue::enqueue(const MailJob& job)
{
    if (!m_thread.isRunning()) {
        if (m_pWorkerContext->thread() != &m_thread)
            m_pWorkerContext->moveToThread(&m_thread);
        m_iAbortAtMs = 0;
        m_thread.start();
    }
    ++m_iPending;
    QMetaObject::invokeMethod(
        m_pWorkerContext, [this, job] { runJob(job); }, Qt::QueuedConnection);
}

void CMailQueue::runJob(const MailJob& job)
{
    const qint64 iAbortAt = m_iAbortAtMs.load();
    const bool bInTime = iAbortAt == 0 || SmtpClient::monotonicMsecs() < iAbortAt;
    const bool bDelivered = bInTime && deliverMail(job, &m_iAbortAtMs);
    --m_iPending;
    emit signalMailFinished(bDelivered);
}

bool CMailQueue::shutdown(int iTotalMsec)
{
    if (!m_thread.isRunning())
        return true;
    m_iAbortAtMs = SmtpClient::monotonicMsecs() + qMax(1, iTotalMsec);
    // Queued behind the waiting jobs, so each of them is still run (or dropped once the time is up).
    QMetaObject::invokeMethod(
        m_pWorkerContext, [] { QThread::currentThread()->quit(); }, Qt::QueuedConnection);
    // A connection attempt already under way may take its own time-out (5 s) past the budget.
    return m_thread.wait(static_cast<unsigned long>(qMax(0, iTotalMsec) + 6000));
}
