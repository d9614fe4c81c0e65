#pragma once

#include <QString>
#include <QtGlobal>

// The rules of one power cycle of one outlet, shared by the console and rackmind-ctl: whoever owns it
// sends the frames it asks for and feeds it the outlet state of every status reply. All times are
// milliseconds on the monotonic clock.
//
// Nothing counts as done without an observation: the "on" goes out only after a reply showed the
// outlet off, and the cycle completes only on a later reply that shows it on. A device restarts its
// switch delay on every command, so a switch is sent again no sooner than its own delay plus a margin.
class COutletCycle
{
public:
    enum Phase
    {
        WaitingOff, // "off" sent, no reply has shown the outlet off yet
        CountingOn, // off seen; the "on" is due at onDueMs()
        WaitingOn,  // "on" sent (the cycle's own, or a cancel's), not yet seen on
        Completed,
        Failed,    // the outlet never showed off: no "on" was sent, it stays on
        Cancelled, // cancelled and seen on again
    };
    enum Action
    {
        None,
        SendOff,
        SendOn
    };

    static constexpr int kMinDelay = 1;
    static constexpr int kMaxDelay = 600;
    static constexpr int kOffTries = 3;
    // Added to a device's own switch delay before a switch is sent again.
    static constexpr int kMarginMs = 3000;
    // Without a datagram this long after a command, the device is taken as not answering.
    static constexpr int kAnswerWaitMs = 3000;

    // iDelay in seconds (clamped to kMinDelay..kMaxDelay); the device's switch-off and switch-on delays
    // of the outlet in seconds as it reported them.
    COutletCycle(int iDelay, int iCloseDelay, int iOpenDelay);

    // The first "off" goes out now.
    Action start(qint64 iNowMs);
    // Resumes a cycle whose first part ran in a program that ended: no "off" is sent again; the "on" is
    // due no sooner than iOnDueMs once a reply shows the outlet off. bOffSeen: that program saw the
    // outlet off; without it, an outlet found on was never cycled, and the cycle ends as failed.
    void resume(qint64 iNowMs, qint64 iOnDueMs, bool bOffSeen);
    // A status reply heard at iNowMs shows the outlet on (bOn) or off.
    Action observe(bool bOn, qint64 iNowMs);
    // Called often (a few times a second); sends what is due.
    Action tick(qint64 iNowMs);
    // Brings the power back: an "on" now unless the cycle is over or the "off" is known not to have
    // taken (Failed); then repeated like the cycle's own "on".
    Action cancel(qint64 iNowMs);
    // Moves the "on" of an outlet seen off (CountingOn): a set holds each outlet's "on" until every outlet
    // of it was seen off, then gives them all one due time.
    void setOnDue(qint64 iOnDueMs) { m_iOnDueMs = iOnDueMs; }
    // The owner learned that the device answered at iNowMs (any datagram).
    void heard(qint64 iNowMs) { m_iHeardMs = iNowMs; }

    Phase phase() const { return m_phase; }
    bool isOver() const { return m_phase == Completed || m_phase == Failed || m_phase == Cancelled; }
    bool isCancelling() const { return m_bCancelling; }
    bool isResumed() const { return m_bResumed; }
    bool isOffSeen() const { return m_bOffSeen; }
    // Whether the device has been silent since the last command for longer than kAnswerWaitMs.
    bool isSilent(qint64 iNowMs) const;
    int delay() const { return m_iDelay; }
    int closeDelay() const { return m_iCloseDelay; }
    int openDelay() const { return m_iOpenDelay; }
    int offTries() const { return m_iOffTries; }
    int onTries() const { return m_iOnTries; }
    qint64 onDueMs() const { return m_iOnDueMs; }
    // Whole seconds until the "on" is due; 0 once it went out.
    int secondsLeft(qint64 iNowMs) const;
    // Once failed, how long a late "off" is still watched for (it would otherwise leave the outlet dark).
    bool isWatchOver(qint64 iNowMs) const;

private:
    Action sendOn(qint64 iNowMs);
    qint64 offGateMs() const { return qint64(m_iCloseDelay) * 1000 + kMarginMs; }
    qint64 onGateMs() const { return qint64(m_iOpenDelay) * 1000 + kMarginMs; }

    int m_iDelay;
    int m_iCloseDelay;
    int m_iOpenDelay;
    Phase m_phase = WaitingOff;
    bool m_bCancelling = false;
    bool m_bResumed = false;
    // A resumed cycle whose first reply shows the outlet off keeps the due time of the earlier run.
    bool m_bKeepDue = false;
    int m_iOffTries = 0;
    int m_iOnTries = 0;
    qint64 m_iLastSentMs = 0;
    qint64 m_iLastOffMs = 0;
    bool m_bOffSeen = false;
    qint64 m_iHeardMs = -1;
    // A reply showing the outlet still on after the last "off" went out and its gate passed.
    bool m_bOnSinceGate = false;
    qint64 m_iOnDueMs = 0;
    qint64 m_iFailedMs = 0;
};
