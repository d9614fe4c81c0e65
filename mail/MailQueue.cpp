#include "mail/MailQueue.h"

#include "mail/SmtpClient.h"

CMailQueue::CMailQueue(QObject* parent) : QObject(parent) {}

CMailQueue::~CMailQueue()
{
    // A worker that will not stop must not be destroyed under its own feet: leave it to the process exit.
    if (!shutdown(0))
        (void)m_pThread.release();
}

bool CMailQueue::enqueue(const MailJob& job)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_dequeJobs.size() >= size_t(kMaxWaiting)) {
        lock.unlock();
        // Told as any mail that did not go out, so that the log and the event log show the loss.
        emit signalMailFinished(false);
        emit signalMailResult(job.subject, job.receiver, false,
                              SmtpFailure::make(SmtpFailure::Send, SmtpPhrase::kQueueFull).text());
        return false;
    }
    if (!m_pThread) {
        m_bStopping = false;
        m_iAbortAtMs = 0;
        m_pThread.reset(QThread::create([this] { work(); }));
        m_pThread->setObjectName(QStringLiteral("MailThread"));
        m_pThread->start();
    }
    // Told before the worker can take the job, so that its result is never heard of first.
    emit signalMailQueued(job.subject, job.receiver);
    m_dequeJobs.push_back(job);
    ++m_iPending;
    m_cvJobs.notify_one();
    return true;
}

void CMailQueue::work()
{
    for (;;) {
        MailJob job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cvJobs.wait(lock, [this] { return !m_dequeJobs.empty() || m_bStopping; });
            if (m_dequeJobs.empty())
                return;
            job = std::move(m_dequeJobs.front());
            m_dequeJobs.pop_front();
        }
        const qint64 iAbortAt = m_iAbortAtMs.load();
        const bool bInTime = iAbortAt == 0 || SmtpClient::monotonicMsecs() < iAbortAt;
        SmtpFailure failure = SmtpFailure::make(SmtpFailure::Connect, SmtpPhrase::kNoTimeLeft);
        const bool bDelivered = bInTime && deliverMail(job, &m_iAbortAtMs, &failure);
        const QString strWhy = bDelivered ? QString() : failure.text();
        --m_iPending;
        emit signalMailFinished(bDelivered);
        emit signalMailResult(job.subject, job.receiver, bDelivered, strWhy);
    }
}

bool CMailQueue::shutdown(int iTotalMsec)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_pThread)
            return true;
        // The worker still takes every waiting job, and drops those it reaches after the time is up.
        m_iAbortAtMs = SmtpClient::monotonicMsecs() + qMax(1, iTotalMsec);
        m_bStopping = true;
    }
    m_cvJobs.notify_all();
    // A connection attempt already under way may take its own time-out (5 s) past the budget.
    if (!m_pThread->wait(static_cast<unsigned long>(qMax(0, iTotalMsec) + 6000)))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pThread.reset();
    return true;
}
