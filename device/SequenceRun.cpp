#include "device/SequenceRun.h"

#include <algorithm>

CSequenceRun::CSequenceRun(const OutletSequence& sequence, const COutletSets& sets)
    : m_strName(sequence.strName), m_listSteps(sequence.listSteps)
{
    for (const SequenceStep& step : qAsConst(m_listSteps))
        m_listOutlets << sets.outletsOf(step);
}

QString CSequenceRun::stepText(int iStep) const
{
    const SequenceStep& s = m_listSteps.at(iStep);
    return s.strSet.isEmpty() ? s.outlet.text() : s.strSet;
}

int CSequenceRun::begin(int iStep)
{
    m_iStep = iStep;
    if (iStep >= m_listSteps.size()) {
        m_phase = Completed;
        return -1;
    }
    if (m_listOutlets.at(iStep).isEmpty()) {
        stepFailed(COutletSets::tr("there is no set %1").arg(m_listSteps.at(iStep).strSet));
        return -1;
    }
    m_phase = Switching;
    return iStep;
}

int CSequenceRun::start(qint64 iNowMs)
{
    Q_UNUSED(iNowMs)
    return m_phase == NotStarted ? begin(0) : -1;
}

int CSequenceRun::stepShown(qint64 iNowMs)
{
    if (m_phase != Switching)
        return -1;
    m_phase = Waiting;
    m_iLeftMs = qint64(m_listSteps.at(m_iStep).iWaitSecs) * 1000;
    m_iDueMs = iNowMs + m_iLeftMs;
    return tick(iNowMs);
}

void CSequenceRun::stepFailed(const QString& strWhy)
{
    if (isOver())
        return;
    m_phase = Failed;
    m_strWhy = strWhy;
}

int CSequenceRun::tick(qint64 iNowMs)
{
    if (m_phase != Waiting || m_bPaused || iNowMs < m_iDueMs)
        return -1;
    return begin(m_iStep + 1);
}

void CSequenceRun::pause(qint64 iNowMs)
{
    if (m_bPaused || isOver())
        return;
    m_bPaused = true;
    if (m_phase == Waiting)
        m_iLeftMs = std::max<qint64>(0, m_iDueMs - iNowMs);
}

int CSequenceRun::resume(qint64 iNowMs)
{
    if (!m_bPaused)
        return -1;
    m_bPaused = false;
    m_iDueMs = iNowMs + m_iLeftMs;
    return tick(iNowMs);
}

void CSequenceRun::cancel()
{
    if (!isOver())
        m_phase = Cancelled;
}

int CSequenceRun::secondsLeft(qint64 iNowMs) const
{
    if (m_phase != Waiting)
        return 0;
    const qint64 iLeft = m_bPaused ? m_iLeftMs : m_iDueMs - iNowMs;
    return int(std::max<qint64>(0, (iLeft + 999) / 1000));
}

QList<OutletRef> CSequenceRun::switchedOff() const
{
    QList<OutletRef> list;
    for (int i = 0; i <= m_iStep && i < m_listSteps.size(); ++i)
        for (const OutletRef& ref : m_listOutlets.at(i)) {
            list.removeAll(ref);
            if (!m_listSteps.at(i).bOn && !m_mapAlreadyOff.value(i).contains(ref))
                list << ref;
        }
    return list;
}
