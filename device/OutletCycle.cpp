#include "device/OutletCycle.h"

#include <algorithm>

COutletCycle::COutletCycle(int iDelay, int iCloseDelay, int iOpenDelay)
    : m_iDelay(qBound(kMinDelay, iDelay, kMaxDelay)), m_iCloseDelay(qMax(0, iCloseDelay)),
      m_iOpenDelay(qMax(0, iOpenDelay))
{
}

COutletCycle::Action COutletCycle::start(qint64 iNowMs)
{
    m_phase = WaitingOff;
    m_iOffTries = 1;
    m_iLastSentMs = m_iLastOffMs = iNowMs;
    return SendOff;
}

void COutletCycle::resume(qint64 iNowMs, qint64 iOnDueMs, bool bOffSeen)
{
    m_phase = WaitingOff;
    m_bResumed = true;
    m_bOffSeen = bOffSeen;
    // The earlier program sent its "off"; sending another would only restart the device's delay.
    m_iOffTries = kOffTries;
    m_iLastSentMs = m_iLastOffMs = iNowMs;
    m_iOnDueMs = iOnDueMs;
    m_bKeepDue = true;
}

COutletCycle::Action COutletCycle::sendOn(qint64 iNowMs)
{
    m_phase = WaitingOn;
    ++m_iOnTries;
    m_iLastSentMs = iNowMs;
    return SendOn;
}

COutletCycle::Action COutletCycle::observe(bool bOn, qint64 iNowMs)
{
    heard(iNowMs);
    switch (m_phase) {
    case WaitingOff:
        if (bOn) {
            if (iNowMs - m_iLastSentMs >= offGateMs())
                m_bOnSinceGate = true;
            // After a restart, a reply that shows the outlet still on means the delay starts afresh.
            m_bKeepDue = false;
            return None;
        }
        m_phase = CountingOn;
        m_bOffSeen = true;
        if (!m_bKeepDue)
            m_iOnDueMs = iNowMs + qint64(m_iDelay) * 1000;
        m_bKeepDue = false;
        return tick(iNowMs);
    case Failed:
        // A late "off": carry on, or the outlet would stay dark with nothing to bring it back.
        if (!bOn && !isWatchOver(iNowMs)) {
            m_phase = CountingOn;
            m_bOffSeen = true;
            m_iOnDueMs = iNowMs + qint64(m_iDelay) * 1000;
        }
        return None;
    case WaitingOn:
        // Cancelled before the off showed, a reply within the device's off delay may show the outlet
        // on only because the "off" has not been carried out yet: were the "on" lost, it still will be.
        if (bOn && iNowMs > m_iLastSentMs && (m_bOffSeen || iNowMs - m_iLastOffMs >= offGateMs())) {
            m_phase = m_bCancelling ? Cancelled : Completed;
            return None;
        }
        // Answering, past its own switch-on delay, and still off: the "on" was lost on the way, or the
        // device was silent when it came.
        if (!bOn && iNowMs - m_iLastSentMs >= onGateMs())
            return sendOn(iNowMs);
        return None;
    default:
        return None;
    }
}

COutletCycle::Action COutletCycle::tick(qint64 iNowMs)
{
    switch (m_phase) {
    case WaitingOff:
        if (!m_bOnSinceGate)
            return None;
        m_bOnSinceGate = false;
        if (m_iOffTries < kOffTries) {
            ++m_iOffTries;
            m_iLastSentMs = m_iLastOffMs = iNowMs;
            return SendOff;
        }
        // A resumed cycle that finds the outlet on has nothing left to do: the outlet has power. It was
        // cycled only if the outlet was seen off before.
        m_phase = m_bResumed && m_bOffSeen ? Completed : Failed;
        m_iFailedMs = iNowMs;
        return None;
    case CountingOn:
        return iNowMs >= m_iOnDueMs ? sendOn(iNowMs) : None;
    default:
        return None;
    }
}

COutletCycle::Action COutletCycle::cancel(qint64 iNowMs)
{
    switch (m_phase) {
    case WaitingOff:
    case CountingOn:
        m_bCancelling = true;
        return sendOn(iNowMs);
    case WaitingOn:
        m_bCancelling = true;
        return None;
    case Failed:
        m_phase = Cancelled;
        return None;
    default:
        return None;
    }
}

bool COutletCycle::isSilent(qint64 iNowMs) const
{
    return m_iHeardMs <= m_iLastSentMs && iNowMs - m_iLastSentMs >= kAnswerWaitMs;
}

int COutletCycle::secondsLeft(qint64 iNowMs) const
{
    if (m_phase == WaitingOff)
        return m_iDelay;
    if (m_phase != CountingOn)
        return 0;
    return int(std::max<qint64>(0, (m_iOnDueMs - iNowMs + 999) / 1000));
}

bool COutletCycle::isWatchOver(qint64 iNowMs) const
{
    return m_phase != Failed || iNowMs - m_iFailedMs >= std::max<qint64>(60000, 2 * offGateMs());
}
