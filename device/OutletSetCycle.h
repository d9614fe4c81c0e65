#pragma once

#include "device/OutletCycle.h"

#include <QList>
#include <vector>

// The rules of switching the outlets of one set together, across PDUs (a machine fed by two cords):
// each outlet follows COutletCycle's rules for its "off" (sent again by its own delay and a margin) and
// its "on" (sent again until seen), and the set adds what holds for the machine: no "on" goes out before
// every outlet was seen off, the delay counts from the last "off" seen, and when one outlet does not go
// off (deaf, or its PDU silent) the cycle fails and every outlet that went off comes back on, while a
// late "off" of that one is still watched so that nothing is left dark. All times are milliseconds on
// the monotonic clock; the owner sends the frames asked for and feeds every status reply.
class COutletSetCycle
{
public:
    struct Member
    {
        int iCloseDelay = 0; // the outlet's own switch-off and switch-on delays, in seconds
        int iOpenDelay = 0;
    };
    struct Send
    {
        int iIndex; // of the member
        bool bOn;
        bool operator==(const Send& o) const { return iIndex == o.iIndex && bOn == o.bOn; }
    };
    using Sends = QList<Send>;

    COutletSetCycle(int iDelay, const QList<Member>& listMembers);

    // Every "off" goes out now.
    Sends start(qint64 iNowMs);
    // Resumes a cycle an ended program started (from its journal): no "off" again; the "on" is due no
    // sooner than iOnDueMs (0: not known, the delay counts afresh) once every outlet shows off.
    void resume(qint64 iNowMs, qint64 iOnDueMs, const QList<bool>& listOffSeen);
    // A status reply heard at iNowMs shows member iIndex on (bOn) or off.
    Sends observe(int iIndex, bool bOn, qint64 iNowMs);
    // The member's PDU answered at iNowMs (any datagram).
    void heard(int iIndex, qint64 iNowMs) { m_cycles[size_t(iIndex)].heard(iNowMs); }
    // Called often (a few times a second); sends what is due.
    Sends tick(qint64 iNowMs);
    // Brings the power back to every outlet of the set.
    Sends cancel(qint64 iNowMs);

    // WaitingOff until every outlet was seen off, CountingOn, WaitingOn (the cycle's "on", or power
    // coming back after a cancel or a failure), then Completed, Failed or Cancelled.
    COutletCycle::Phase phase() const;
    // Nothing left to send or to watch.
    bool isOver(qint64 iNowMs) const;
    bool isFailed() const { return m_bFailed; }
    bool isCancelled() const { return m_bCancelled; }
    int size() const { return int(m_cycles.size()); }
    const COutletCycle& outlet(int iIndex) const { return m_cycles[size_t(iIndex)]; }
    // The members that were never seen off: why a cycle failed.
    QList<int> notOff() const;
    // For a journal: which outlets were seen off, and when the "on" is due (0 while not every outlet was).
    QList<bool> offSeen() const;
    qint64 onDueMs() const { return m_iOnDueMs; }
    int delay() const { return m_iDelay; }
    // Whole seconds until the "on" is due: the delay while not every outlet was seen off, 0 once sent.
    int secondsLeft(qint64 iNowMs) const;

    // Longest an outlet waits for its "off" to show before its PDU counts as silent.
    static qint64 offBoundMs(const COutletCycle& c);

private:
    Sends collect(int iIndex, COutletCycle::Action action);
    Sends restore(qint64 iNowMs);
    void hold(qint64 iNowMs);

    int m_iDelay;
    std::vector<COutletCycle> m_cycles;
    qint64 m_iStartMs = 0;
    qint64 m_iLastOffMs = 0;
    qint64 m_iOnDueMs = 0;
    qint64 m_iResumedDueMs = 0;
    bool m_bFailed = false;
    bool m_bCancelled = false;
};
