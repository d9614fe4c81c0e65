#pragma once

#include "device/OutletSets.h"

#include <QList>
#include <QMap>
#include <QString>

// The rules of running one sequence: one step at a time, each switching its outlets and waiting until
// their PDUs show the state, then the step's wait before the next (frozen while paused). A step that
// fails stops the sequence there; a cancel stops further steps, and only what the sequence itself
// switched off is ever switched back on. The owner switches each step's outlets, tells how it went and
// ticks; all times are milliseconds on the monotonic clock.
class CSequenceRun
{
public:
    enum Phase
    {
        NotStarted,
        Switching, // the current step's frames are out, its state not shown yet
        Waiting,   // the current step showed its state; the next is due at dueMs()
        Completed,
        Failed,
        Cancelled
    };

    // The steps with their outlets as they stand now (a step whose set is gone has none and fails).
    CSequenceRun(const OutletSequence& sequence, const COutletSets& sets);

    // The index of the step to switch now, or -1.
    int start(qint64 iNowMs);
    // The current step showed its state at iNowMs: its wait begins.
    int stepShown(qint64 iNowMs);
    // The current step did not show its state: the sequence stops there, for strWhy.
    void stepFailed(const QString& strWhy);
    int tick(qint64 iNowMs);
    // A pause freezes what is left of the wait (a step already switching finishes; its wait is frozen).
    void pause(qint64 iNowMs);
    int resume(qint64 iNowMs);
    void cancel();

    Phase phase() const { return m_phase; }
    bool isOver() const { return m_phase == Completed || m_phase == Failed || m_phase == Cancelled; }
    bool isPaused() const { return m_bPaused; }
    int currentStep() const { return m_iStep; }
    int stepCount() const { return m_listSteps.size(); }
    const SequenceStep& step(int iStep) const { return m_listSteps.at(iStep); }
    const QList<OutletRef>& outletsOf(int iStep) const { return m_listOutlets.at(iStep); }
    // The step's set, or its single outlet, as a person reads it.
    QString stepText(int iStep) const;
    const QString& failure() const { return m_strWhy; }
    qint64 dueMs() const { return m_iDueMs; }
    // Whole seconds of the wait still left (frozen while paused).
    int secondsLeft(qint64 iNowMs) const;
    // Outlets of an "off" step that already showed off before its frames went out: the sequence did not
    // take their power, and gives none back.
    void noteAlreadyOff(int iStep, const QList<OutletRef>& listOutlets)
    {
        m_mapAlreadyOff[iStep] += listOutlets;
    }
    // What the steps begun so far switched off and no later step switched on again: all a cancel or
    // an interrupted run may bring back.
    QList<OutletRef> switchedOff() const;

private:
    int begin(int iStep);

    QString m_strName;
    QList<SequenceStep> m_listSteps;
    QList<QList<OutletRef>> m_listOutlets;
    QMap<int, QList<OutletRef>> m_mapAlreadyOff;
    Phase m_phase = NotStarted;
    int m_iStep = -1;
    qint64 m_iDueMs = 0;
    qint64 m_iLeftMs = 0; // of a frozen wait
    bool m_bPaused = false;
    QString m_strWhy;
};
