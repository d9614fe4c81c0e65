#pragma once

#include "mail/MailDelivery.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

// A room's mail worker: delivers queued mails one at a time, in the order queued, on a thread of its own
// ("MailThread"), so that a slow or silent mail server never holds up the interface. Its owner calls
// shutdown() on the way out so that queued mail gets its bounded time; destroying it drops what waits.
class CMailQueue : public QObject
{
    Q_OBJECT
public:
    explicit CMailQueue(QObject* parent = nullptr);
    // What shutdown() gives the mail in progress and those waiting, in all, by default.
    static constexpr int kExitBudgetMsec = 20000;
    // Mails waiting beyond this many are dropped as they come: room for one mail for each of the six
    // conditions of 4096 devices, and a bound on memory when a host keeps inventing alarms faster than
    // the server takes them.
    static constexpr int kMaxWaiting = 6 * 4096;

    ~CMailQueue() override;

    // Returns at once; the job is delivered later on the worker thread. False when kMaxWaiting mails are
    // already waiting: the job is dropped, told at once by the result signals on the caller's thread.
    bool enqueue(const MailJob& job);
    // Mails queued or in progress.
    int pending() const { return m_iPending.load(); }
    // Lets what is queued go out within iTotalMsec, drops what is left, then stops the thread. A later
    // enqueue starts it again. Returns false if the thread could not be stopped in time.
    bool shutdown(int iTotalMsec = kExitBudgetMsec);

signals:
    // Emitted by enqueue, on the caller's thread, for each job taken, before the worker can see it (a
    // slot connected directly must not enqueue).
    void signalMailQueued(QString strSubject, QString strReceiver);
    // Emitted on the worker thread after each job: delivered or not (dropped jobs count as not; those
    // dropped by enqueue are told on its caller's thread).
    void signalMailFinished(bool bDelivered);
    // The same moment, with what the mail was and, when it did not go out, why (in English).
    void signalMailResult(QString strSubject, QString strReceiver, bool bDelivered, QString strWhy);

private:
    void work();

    std::unique_ptr<QThread> m_pThread;
    std::mutex m_mutex;
    std::condition_variable m_cvJobs;
    std::deque<MailJob> m_dequeJobs;
    bool m_bStopping = false;
    std::atomic<qint64> m_iAbortAtMs{0};
    std::atomic<int> m_iPending{0};
};
