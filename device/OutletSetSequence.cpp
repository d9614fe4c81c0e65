#include "device/OutletSetControl.h"

#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"

// COutletSetControl: running a sequence, one step at a time by CSequenceRun's rules.

COutletSetControl::Result COutletSetControl::startSequence(const QString& strName, bool bOverride,
                                                           QString* pWhy)
{
    if (m_pSequence && !m_pSequence->pRules->isOver()) {
        *pWhy = tr("The sequence %1 is running.").arg(m_view.strName);
        return Refused;
    }
    QString strError;
    if (!m_pSets->load(&strError)) {
        *pWhy = tr("The outlet sets cannot be read (%1): nothing was switched.").arg(strError);
        return Refused;
    }
    if (!m_pSets->data().mapSequences.contains(strName)) {
        *pWhy = tr("There is no sequence %1.").arg(strName);
        return Refused;
    }
    auto pSequence = std::make_unique<Sequence>();
    pSequence->pRules = std::make_unique<CSequenceRun>(m_pSets->data().mapSequences.value(strName), *m_pSets);
    pSequence->bOverride = bOverride;
    pSequence->strActor = m_pControl->actor();
    const CSequenceRun& rules = *pSequence->pRules;
    // Every PDU the sequence will switch answers now, and nothing protected goes off unasked: checked
    // before the first step, so that a sequence does not stop half way for what was known at its start.
    QList<OutletRef> listAll, listOff;
    for (int i = 0; i < rules.stepCount(); ++i)
        for (const OutletRef& ref : rules.outletsOf(i)) {
            if (!listAll.contains(ref))
                listAll << ref;
            if (!rules.step(i).bOn && !listOff.contains(ref))
                listOff << ref;
        }
    QList<QPointer<CPdu>> listPdu;
    if (!resolve(listAll, &listPdu, pWhy))
        return Refused;
    QHash<QString, CPdu*> hashByMac;
    for (int i = 0; i < listAll.size(); ++i)
        hashByMac.insert(listAll.at(i).strMac, listPdu.at(i));
    if (!listOff.isEmpty() && !m_pControl->isProtectionReadable()) {
        *pWhy = tr("The protection list %1 cannot be read, so what is protected cannot be told: nothing was "
                   "switched off.")
                    .arg(m_pControl->protectionPath());
        return Refused;
    }
    QStringList listProtected;
    for (int i = 0; i < listAll.size(); ++i)
        if (listOff.contains(listAll.at(i)) && m_pControl->isProtected(listPdu.at(i), listAll.at(i).iOutlet))
            listProtected << tr("outlet %1 of %2").arg(listAll.at(i).iOutlet).arg(pduText(listPdu.at(i)));
    if (!listProtected.isEmpty() && !bOverride) {
        *pWhy = tr("Protected in %1: %2.").arg(strName, listProtected.join(QStringLiteral(", ")));
        return NeedsOverride;
    }
    m_pSequence = std::move(pSequence);
    m_view = SequenceView();
    m_view.strName = strName;
    for (int i = 0; i < rules.stepCount(); ++i) {
        m_view.listSteps << stepText(rules.step(i), hashByMac);
        m_view.listWaits << rules.step(i).iWaitSecs;
    }
    reportSequence(HistoryEvent::CycleStarted, QStringLiteral("started: %1 steps").arg(rules.stepCount()));
    beginStep(m_pSequence->pRules->start(Clock::elapsedMs()));
    return Accepted;
}

void COutletSetControl::beginStep(int iStep)
{
    if (iStep < 0 || !m_pSequence)
        return sequenceChanged();
    CSequenceRun& rules = *m_pSequence->pRules;
    m_view.iStep = iStep;
    const SequenceStep& step = rules.step(iStep);
    QString strWhy;
    Run* pRun = nullptr;
    const QList<OutletRef> listRefs = rules.outletsOf(iStep);
    const QString strTarget = step.strSet.isEmpty() ? step.outlet.text() : step.strSet;
    const Result result = listRefs.isEmpty() ? Refused
                                             : start(strTarget, listRefs, step.bOn ? SwitchOn : SwitchOff, 0,
                                                     m_pSequence->bOverride, &strWhy, &pRun, true);
    if (listRefs.isEmpty())
        strWhy = tr("the set %1 is gone").arg(step.strSet);
    if (result != Accepted) {
        rules.stepFailed(strWhy);
        m_view.strReason =
            tr("Step %1 (%2) failed: %3").arg(iStep + 1).arg(m_view.listSteps.value(iStep), strWhy);
        reportSequence(HistoryEvent::CycleFailed,
                       QStringLiteral("step %1 refused: %2").arg(iStep + 1).arg(strWhy));
    }
    // What already showed off before this step's "off" was not the sequence's doing: a cancel leaves it off.
    QList<OutletRef> listAlreadyOff;
    for (int i = 0; pRun && !step.bOn && i < listRefs.size(); ++i)
        if (!((pRun->listPdu.at(i)->stInfo.outletStatus >> (listRefs.at(i).iOutlet - 1)) & 0x01))
            listAlreadyOff << listRefs.at(i);
    if (!listAlreadyOff.isEmpty())
        rules.noteAlreadyOff(iStep, listAlreadyOff);
    m_pSequence->pStep = pRun;
    m_pControl->writeJournal();
    sequenceChanged();
}

void COutletSetControl::stepSequence(qint64 iNowMs)
{
    if (!m_pSequence || m_pSequence->pRules->isOver())
        return;
    CSequenceRun& rules = *m_pSequence->pRules;
    Run* pStep = m_pSequence->pStep;
    if (rules.phase() == CSequenceRun::Switching && pStep && pStep->isOver(iNowMs)) {
        m_pSequence->pStep = nullptr;
        if (pStep->bDone) {
            const int iNext = rules.stepShown(iNowMs);
            if (iNext >= 0)
                return beginStep(iNext);
        } else {
            const QString strWhy = tr("not every outlet showed the state");
            rules.stepFailed(strWhy);
            m_view.strReason = tr("Step %1 (%2) failed: %3")
                                   .arg(m_view.iStep + 1)
                                   .arg(m_view.listSteps.value(m_view.iStep), strWhy);
            reportSequence(HistoryEvent::CycleFailed,
                           QStringLiteral("stopped: step %1 failed").arg(m_view.iStep + 1));
        }
        m_pControl->writeJournal();
    } else if (rules.phase() == CSequenceRun::Waiting) {
        const int iNext = rules.tick(iNowMs);
        if (iNext >= 0)
            return beginStep(iNext);
    }
    if (rules.phase() == CSequenceRun::Completed && m_view.state != SequenceView::Completed) {
        reportSequence(HistoryEvent::CycleCompleted,
                       QStringLiteral("completed: every step showed its state"));
        m_pControl->writeJournal();
    }
    sequenceChanged();
}

void COutletSetControl::pauseSequence()
{
    if (!m_pSequence || m_pSequence->pRules->isOver())
        return;
    m_pSequence->pRules->pause(Clock::elapsedMs());
    reportSequence(0, QStringLiteral("paused"));
    sequenceChanged();
}

void COutletSetControl::resumeSequence()
{
    if (!m_pSequence || m_pSequence->pRules->isOver())
        return;
    const int iNext = m_pSequence->pRules->resume(Clock::elapsedMs());
    if (iNext >= 0)
        return beginStep(iNext);
    sequenceChanged();
}

void COutletSetControl::cancelSequence()
{
    if (!m_pSequence || m_pSequence->pRules->isOver())
        return;
    CSequenceRun& rules = *m_pSequence->pRules;
    const QList<OutletRef> listBack = rules.switchedOff();
    rules.cancel();
    const qint64 iNow = Clock::elapsedMs();
    if (Run* pStep = m_pSequence->pStep; pStep && !pStep->isOver(iNow))
        pStep->bFailed = true;
    m_pSequence->pStep = nullptr;
    // Only what the sequence itself switched off comes back on.
    QString strWhy;
    if (!listBack.isEmpty() && start(tr("sequence %1").arg(m_view.strName), listBack, SwitchOn, 0, false,
                                     &strWhy, nullptr, true) != Accepted)
        m_view.strReason = tr("The outlets it switched off could not be switched back on: %1").arg(strWhy);
    reportSequence(HistoryEvent::CycleCancelled,
                   listBack.isEmpty()
                       ? QStringLiteral("cancelled at step %1").arg(m_view.iStep + 1)
                       : QStringLiteral("cancelled at step %1: on sent to the %2 outlets it switched off")
                             .arg(m_view.iStep + 1)
                             .arg(listBack.size()));
    m_pControl->writeJournal();
    sequenceChanged();
}

void COutletSetControl::sequenceChanged()
{
    if (m_pSequence) {
        const CSequenceRun& rules = *m_pSequence->pRules;
        const qint64 iNow = Clock::elapsedMs();
        m_view.iSecondsLeft = rules.secondsLeft(iNow);
        switch (rules.phase()) {
        case CSequenceRun::Switching:
        case CSequenceRun::Waiting:
            // A step already switching finishes while paused; its wait is what stays frozen.
            m_view.state = rules.isPaused()                           ? SequenceView::Paused
                           : rules.phase() == CSequenceRun::Switching ? SequenceView::Switching
                                                                      : SequenceView::Waiting;
            break;
        case CSequenceRun::Completed:
            m_view.state = SequenceView::Completed;
            break;
        case CSequenceRun::Failed:
            m_view.state = SequenceView::Failed;
            break;
        case CSequenceRun::Cancelled:
            m_view.state = SequenceView::Cancelled;
            break;
        default:
            break;
        }
    }
    emit signalSequenceChanged();
}

void COutletSetControl::reportSequence(int iKind, const QString& strResult)
{
    const COutletControl::ActorScope actor(m_pControl, m_pSequence ? m_pSequence->strActor : QString(), true);
    OutletOperation op;
    op.iKind = iKind;
    op.strWhat = QStringLiteral("sequence %1").arg(m_view.strName);
    op.strResult = strResult;
    m_pControl->emitOperation(op);
}
