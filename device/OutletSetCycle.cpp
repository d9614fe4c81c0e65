#include "device/OutletSetCycle.h"

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kHeld = std::numeric_limits<qint64>::max();

bool isRunning(const COutletCycle& c)
{
    return !c.isOver();
}

} // namespace

COutletSetCycle::COutletSetCycle(int iDelay, const QList<Member>& listMembers)
    : m_iDelay(qBound(COutletCycle::kMinDelay, iDelay, COutletCycle::kMaxDelay))
{
    for (const Member& m : listMembers)
        m_cycles.emplace_back(m_iDelay, m.iCloseDelay, m.iOpenDelay);
}

COutletSetCycle::Sends COutletSetCycle::collect(int iIndex, COutletCycle::Action action)
{
    if (action == COutletCycle::None)
        return {};
    return {Send{iIndex, action == COutletCycle::SendOn}};
}

COutletSetCycle::Sends COutletSetCycle::start(qint64 iNowMs)
{
    m_iStartMs = iNowMs;
    Sends sends;
    for (int i = 0; i < size(); ++i)
        sends += collect(i, m_cycles[size_t(i)].start(iNowMs));
    return sends;
}

void COutletSetCycle::resume(qint64 iNowMs, qint64 iOnDueMs, const QList<bool>& listOffSeen)
{
    m_iStartMs = iNowMs;
    const bool bAllOff = !listOffSeen.contains(false) && listOffSeen.size() == size();
    m_iResumedDueMs = bAllOff ? iOnDueMs : 0;
    for (int i = 0; i < size(); ++i)
        m_cycles[size_t(i)].resume(iNowMs, iOnDueMs > 0 ? iOnDueMs : iNowMs + qint64(m_iDelay) * 1000,
                                   listOffSeen.value(i));
    hold(iNowMs);
}

qint64 COutletSetCycle::offBoundMs(const COutletCycle& c)
{
    return (qint64(c.closeDelay()) * 1000 + COutletCycle::kMarginMs) * COutletCycle::kOffTries +
           COutletCycle::kAnswerWaitMs;
}

COutletSetCycle::Sends COutletSetCycle::observe(int iIndex, bool bOn, qint64 iNowMs)
{
    COutletCycle& c = m_cycles[size_t(iIndex)];
    const COutletCycle::Phase before = c.phase();
    Sends sends = collect(iIndex, c.observe(bOn, iNowMs));
    if (before != COutletCycle::CountingOn && c.phase() == COutletCycle::CountingOn)
        m_iLastOffMs = std::max(m_iLastOffMs, iNowMs);
    hold(iNowMs);
    return sends + tick(iNowMs);
}

COutletSetCycle::Sends COutletSetCycle::tick(qint64 iNowMs)
{
    Sends sends;
    bool bFails = false;
    for (int i = 0; i < size(); ++i) {
        COutletCycle& c = m_cycles[size_t(i)];
        sends += collect(i, c.tick(iNowMs));
        // Deaf to "off", or its PDU silent past every try: the machine never lost power on this cord.
        bFails = bFails || c.phase() == COutletCycle::Failed ||
                 (c.phase() == COutletCycle::WaitingOff && iNowMs - m_iStartMs >= offBoundMs(c));
    }
    if (bFails && !m_bFailed && !m_bCancelled) {
        m_bFailed = true;
        sends += restore(iNowMs);
    }
    hold(iNowMs);
    return sends;
}

COutletSetCycle::Sends COutletSetCycle::restore(qint64 iNowMs)
{
    // Failed outlets stay watched for a late "off"; every other one comes back on.
    Sends sends;
    for (int i = 0; i < size(); ++i)
        if (m_cycles[size_t(i)].phase() != COutletCycle::Failed)
            sends += collect(i, m_cycles[size_t(i)].cancel(iNowMs));
    return sends;
}

COutletSetCycle::Sends COutletSetCycle::cancel(qint64 iNowMs)
{
    if (m_bCancelled || phase() == COutletCycle::Completed)
        return {};
    m_bCancelled = true;
    return restore(iNowMs);
}

void COutletSetCycle::hold(qint64 iNowMs)
{
    const bool bAllOff = std::none_of(m_cycles.begin(), m_cycles.end(), [](const COutletCycle& c) {
        return c.phase() == COutletCycle::WaitingOff || c.phase() == COutletCycle::Failed;
    });
    if (!m_bFailed && !m_bCancelled && bAllOff && m_iOnDueMs == 0)
        m_iOnDueMs = m_iResumedDueMs > 0 ? m_iResumedDueMs : m_iLastOffMs + qint64(m_iDelay) * 1000;
    for (COutletCycle& c : m_cycles)
        if (c.phase() == COutletCycle::CountingOn)
            // After a failure or a cancel, a late "off" comes back on at once.
            c.setOnDue(m_bFailed || m_bCancelled ? iNowMs : m_iOnDueMs > 0 ? m_iOnDueMs : kHeld);
}

COutletCycle::Phase COutletSetCycle::phase() const
{
    const auto any = [this](COutletCycle::Phase phase) {
        return std::any_of(m_cycles.begin(), m_cycles.end(),
                           [phase](const COutletCycle& c) { return c.phase() == phase; });
    };
    const bool bBusy = std::any_of(m_cycles.begin(), m_cycles.end(), isRunning);
    if (m_bFailed || m_bCancelled)
        return bBusy ? COutletCycle::WaitingOn : m_bFailed ? COutletCycle::Failed : COutletCycle::Cancelled;
    for (COutletCycle::Phase phase :
         {COutletCycle::WaitingOff, COutletCycle::CountingOn, COutletCycle::WaitingOn})
        if (any(phase))
            return phase;
    return COutletCycle::Completed;
}

bool COutletSetCycle::isOver(qint64 iNowMs) const
{
    const COutletCycle::Phase now = phase();
    return (now == COutletCycle::Completed || now == COutletCycle::Failed ||
            now == COutletCycle::Cancelled) &&
           std::all_of(m_cycles.begin(), m_cycles.end(),
                       [iNowMs](const COutletCycle& c) { return c.isWatchOver(iNowMs); });
}

QList<int> COutletSetCycle::notOff() const
{
    QList<int> list;
    for (int i = 0; i < size(); ++i)
        if (!m_cycles[size_t(i)].isOffSeen())
            list << i;
    return list;
}

QList<bool> COutletSetCycle::offSeen() const
{
    QList<bool> list;
    for (const COutletCycle& c : m_cycles)
        list << c.isOffSeen();
    return list;
}

int COutletSetCycle::secondsLeft(qint64 iNowMs) const
{
    if (m_iOnDueMs == 0)
        return m_iDelay;
    if (phase() != COutletCycle::CountingOn)
        return 0;
    return int(std::max<qint64>(0, (m_iOnDueMs - iNowMs + 999) / 1000));
}
