#include "device/OutletSetControl.h"

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/HistoryEvent.h"
#include "device/OutletControl.h"
#include "device/OutletSetCycle.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "device/SequenceRun.h"

#include <QHash>
#include <QJsonObject>
#include <QTimer>

// One operation on the outlets of a set (or of one outlet, a sequence's step): a cycle by the set's
// rules, or a switch on or off that is done once every outlet shows it.
struct COutletSetControl::Run
{
    QString strName; // the set's, or "MAC/outlet" for a single outlet
    Operation op = SwitchOn;
    QList<OutletRef> listRefs;
    QList<QPointer<CPdu>> listPdu;
    QList<qint64> listFedMs;
    std::unique_ptr<COutletSetCycle> pCycle;
    qint64 iOnDueEpochMs = 0; // wall clock, for the journal only
    // A switch: per outlet whether it showed the state, when the frame last went out and how often.
    QList<bool> listShown;
    QList<qint64> listSentMs;
    QList<int> listTries;
    QList<int> listGateMs;
    bool bFailed = false;
    bool bDone = false;
    bool bOfSequence = false;
    bool bFailReported = false;
    bool bAdopted = false; // found in the journal, waiting for its PDUs
    COutletCycle::Phase reported = COutletCycle::WaitingOff;

    bool isOver(qint64 iNowMs) const { return pCycle ? pCycle->isOver(iNowMs) : (bDone || bFailed); }
    bool bOn() const { return op == SwitchOn; }
};

// The sequence being run: its steps as they were when it started, and the step's own run.
struct COutletSetControl::Sequence
{
    std::unique_ptr<CSequenceRun> pRules;
    Run* pStep = nullptr; // the current step's switching
    bool bOverride = false;
};

namespace {
const QString kSet = QStringLiteral("set");
const QString kSequence = QStringLiteral("sequence");

QString operationText(COutletSetControl::Operation op)
{
    return op == COutletSetControl::SwitchOn    ? QStringLiteral("on")
           : op == COutletSetControl::SwitchOff ? QStringLiteral("off")
                                                : QStringLiteral("cycle");
}

QString pduText(const CPdu* pPdu)
{
    return QStringLiteral("%1 (%2)").arg(logText(deviceText(pPdu->stInfo.name)),
                                         pPdu->sendAddress().toString());
}
} // namespace

COutletSetControl::COutletSetControl(COutletControl* pControl, const QString& strSetsPath)
    : QObject(pControl), m_pControl(pControl), m_pSets(std::make_unique<COutletSets>(strSetsPath))
{
}

COutletSetControl::~COutletSetControl()
{
    qDeleteAll(m_listRuns);
}

bool COutletSetControl::reload(QString* pError)
{
    return m_pSets->load(pError);
}

QString COutletSetControl::stepText(const SequenceStep& step, const QHash<QString, CPdu*>& hashByMac) const
{
    const QString strState = step.bOn ? tr("on") : tr("off");
    if (!step.strSet.isEmpty())
        return tr("set %1 %2").arg(step.strSet, strState);
    const CPdu* pPdu = hashByMac.value(step.outlet.strMac);
    const QString strTarget = pPdu ? tr("outlet %1 of %2").arg(step.outlet.iOutlet).arg(pduText(pPdu))
                                   : tr("outlet %1").arg(step.outlet.text());
    return QStringLiteral("%1 %2").arg(strTarget, strState);
}

bool COutletSetControl::isOutletBusy(CPdu* pPdu, int iOutlet) const
{
    const qint64 iNow = Clock::elapsedMs();
    for (auto it = m_hashMembers.constFind(pPdu); it != m_hashMembers.constEnd() && it.key() == pPdu; ++it)
        for (int i = 0; i < (*it)->listRefs.size(); ++i)
            if ((*it)->listPdu.at(i) == pPdu && (*it)->listRefs.at(i).iOutlet == iOutlet &&
                !(*it)->isOver(iNow))
                return true;
    return false;
}

bool COutletSetControl::isSetRunning(const QString& strSet) const
{
    const qint64 iNow = Clock::elapsedMs();
    return std::any_of(m_listRuns.begin(), m_listRuns.end(), [&](const Run* p) {
        return !p->bOfSequence && p->strName == strSet && !p->isOver(iNow);
    });
}

QString COutletSetControl::setState(const QString& strSet) const
{
    const qint64 iNow = Clock::elapsedMs();
    for (const Run* p : m_listRuns) {
        if (p->bOfSequence || p->strName != strSet || p->isOver(iNow))
            continue;
        if (p->bAdopted)
            return tr("unfinished, waiting for its PDUs");
        if (!p->pCycle) {
            const int iShown = int(std::count(p->listShown.begin(), p->listShown.end(), true));
            return (p->bOn() ? tr("switching on: %1 of %2 on") : tr("switching off: %1 of %2 off"))
                .arg(iShown)
                .arg(p->listRefs.size());
        }
        switch (p->pCycle->phase()) {
        case COutletCycle::WaitingOff: {
            const QList<bool> listOff = p->pCycle->offSeen();
            return tr("cycling: %1 of %2 seen off")
                .arg(std::count(listOff.begin(), listOff.end(), true))
                .arg(listOff.size());
        }
        case COutletCycle::CountingOn:
            return tr("cycling: on in %1 s").arg(p->pCycle->secondsLeft(iNow));
        default:
            return p->pCycle->isFailed() || p->pCycle->isCancelled() ? tr("bringing the power back")
                                                                     : tr("cycling: on sent");
        }
    }
    return QString();
}

// Finds every outlet's PDU, and refuses while any is not in the room, offline, shares its address or
// is busy with a cycle of its own: nothing of the set is sent then.
bool COutletSetControl::resolve(const QList<OutletRef>& listRefs, QList<QPointer<CPdu>>* pList,
                                QString* pWhy) const
{
    QHash<QString, QList<CPdu*>> hashByMac;
    QHash<quint32, int> hashAddresses;
    for (CPdu* pPdu : g_pRackmind ? g_pRackmind->listPdu : QList<CPdu*>()) {
        if (pPdu->bMacKnown)
            hashByMac[COutletControl::macOf(pPdu)] << pPdu;
        if (pPdu->isOnline())
            ++hashAddresses[pPdu->sendIPv4()];
    }
    const qint64 iNow = Clock::elapsedMs();
    for (const OutletRef& ref : listRefs) {
        const QList<CPdu*> listMatch = hashByMac.value(ref.strMac);
        if (listMatch.isEmpty()) {
            *pWhy = tr("The PDU %1 of outlet %2 is not in the room: nothing was switched.")
                        .arg(ref.strMac)
                        .arg(ref.iOutlet);
            return false;
        }
        if (listMatch.size() > 1) {
            *pWhy = tr("Two PDUs report the MAC %1: nothing was switched.").arg(ref.strMac);
            return false;
        }
        CPdu* pPdu = listMatch.first();
        if (!pPdu->isOnline()) {
            *pWhy = tr("The PDU %1 is offline: nothing was switched.").arg(pduText(pPdu));
            return false;
        }
        if (hashAddresses.value(pPdu->sendIPv4()) > 1) {
            *pWhy =
                tr("Another PDU answers from the address of %1: nothing was switched.").arg(pduText(pPdu));
            return false;
        }
        const COutletControl::Cycle* pCycle = m_pControl->cycle(pPdu, ref.iOutlet);
        const bool bBusy = (pCycle && pCycle->rules.phase() != COutletCycle::Failed) ||
                           std::any_of(m_listRuns.begin(), m_listRuns.end(), [&](const Run* p) {
                               return !p->isOver(iNow) && p->listRefs.contains(ref);
                           });
        if (bBusy) {
            *pWhy = tr("Outlet %1 of %2 is being switched or cycled: nothing was switched.")
                        .arg(ref.iOutlet)
                        .arg(pduText(pPdu));
            return false;
        }
        *pList << pPdu;
    }
    return true;
}

COutletSetControl::Result COutletSetControl::start(const QString& strName, const QList<OutletRef>& listRefs,
                                                   Operation op, int iDelay, bool bOverride, QString* pWhy,
                                                   Run** ppRun, bool bOfSequence)
{
    auto pRun = std::make_unique<Run>();
    pRun->strName = strName;
    pRun->bOfSequence = bOfSequence;
    pRun->op = op;
    pRun->listRefs = listRefs;
    if (listRefs.isEmpty()) {
        *pWhy = tr("%1 has no outlets.").arg(strName);
        return Refused;
    }
    if (!resolve(listRefs, &pRun->listPdu, pWhy))
        return Refused;
    QStringList listProtected;
    if (op != SwitchOn) {
        if (!m_pControl->isProtectionReadable()) {
            *pWhy =
                tr("The protection list %1 cannot be read, so what is protected cannot be told: nothing was "
                   "switched off.")
                    .arg(m_pControl->protectionPath());
            return Refused;
        }
        for (int i = 0; i < listRefs.size(); ++i)
            if (m_pControl->isProtected(pRun->listPdu.at(i), listRefs.at(i).iOutlet))
                listProtected
                    << tr("outlet %1 of %2").arg(listRefs.at(i).iOutlet).arg(pduText(pRun->listPdu.at(i)));
        if (!listProtected.isEmpty() && !bOverride) {
            *pWhy = tr("Protected in %1: %2.").arg(strName, listProtected.join(QStringLiteral(", ")));
            return NeedsOverride;
        }
    }
    const qint64 iNow = Clock::elapsedMs();
    if (op == Cycle) {
        QList<COutletSetCycle::Member> listMembers;
        for (int i = 0; i < listRefs.size(); ++i) {
            const int iOutlet = listRefs.at(i).iOutlet;
            listMembers << COutletSetCycle::Member{pRun->listPdu.at(i)->stInfo.outletCloseDelay[iOutlet - 1],
                                                   pRun->listPdu.at(i)->stInfo.outletOpenDelay[iOutlet - 1]};
        }
        pRun->pCycle = std::make_unique<COutletSetCycle>(iDelay, listMembers);
    }
    for (int i = 0; i < listRefs.size(); ++i) {
        pRun->listFedMs << pRun->listPdu.at(i)->iLastRcvMsecs;
        pRun->listShown << false;
        pRun->listSentMs << iNow;
        pRun->listTries << 1;
        const int iOutlet = listRefs.at(i).iOutlet;
        const PduInfo& info = pRun->listPdu.at(i)->stInfo;
        pRun->listGateMs << (op == SwitchOn ? info.outletOpenDelay[iOutlet - 1]
                                            : info.outletCloseDelay[iOutlet - 1]) *
                                    1000 +
                                COutletCycle::kMarginMs;
    }
    Run* p = pRun.release();
    m_listRuns << p;
    // In the journal before the first frame: a program that ends right after must know of it.
    if (!m_pControl->writeJournal()) {
        m_listRuns.removeLast();
        delete p;
        *pWhy = tr("The cycle journal %1 cannot be written: nothing was switched.")
                    .arg(m_pControl->journalPath());
        return Refused;
    }
    for (int i = 0; i < listRefs.size() && !listProtected.isEmpty(); ++i)
        if (m_pControl->isProtected(p->listPdu.at(i), listRefs.at(i).iOutlet))
            m_pControl->recordOverride(p->listPdu.at(i), listRefs.at(i).iOutlet,
                                       QStringLiteral("%1 %2").arg(strName, operationText(op)),
                                       QStringLiteral("confirmed by the operator"));
    if (p->pCycle) {
        sendAll(*p, p->pCycle->start(iNow));
        report(*p, HistoryEvent::CycleStarted,
               QStringLiteral("off sent to %1 outlets, on %2 s after the last shows off")
                   .arg(listRefs.size())
                   .arg(p->pCycle->delay()));
    } else {
        for (int i = 0; i < listRefs.size(); ++i)
            m_pControl->sendSwitch(p->listPdu.at(i), listRefs.at(i).iOutlet, p->bOn());
        report(*p, HistoryEvent::OutletSwitched, QStringLiteral("sent"));
    }
    for (const QPointer<CPdu>& pPdu : qAsConst(p->listPdu)) {
        connect(pPdu, &CPdu::signalReplyDecoded, this, &COutletSetControl::slotReplyDecoded,
                Qt::UniqueConnection);
        m_hashMembers.insert(pPdu, p);
    }
    m_pControl->watch(p->listPdu.first());
    if (ppRun)
        *ppRun = p;
    emit signalSetChanged(strName);
    return Accepted;
}

COutletSetControl::Result COutletSetControl::runSet(const QString& strSet, Operation op, int iDelay,
                                                    bool bOverride, QString* pWhy)
{
    QString strError;
    if (!m_pSets->load(&strError)) {
        *pWhy = tr("The outlet sets cannot be read (%1): nothing was switched.").arg(strError);
        return Refused;
    }
    if (!m_pSets->data().mapSets.contains(strSet)) {
        *pWhy = tr("There is no outlet set %1.").arg(strSet);
        return Refused;
    }
    return start(strSet, m_pSets->data().mapSets.value(strSet).listOutlets, op, iDelay, bOverride, pWhy,
                 nullptr);
}

void COutletSetControl::cancelSet(const QString& strSet)
{
    const qint64 iNow = Clock::elapsedMs();
    for (Run* p : qAsConst(m_listRuns)) {
        if (p->bOfSequence || p->strName != strSet || p->isOver(iNow))
            continue;
        if (p->pCycle) {
            sendAll(*p, p->pCycle->cancel(iNow));
            report(*p, HistoryEvent::OutletCycled, QStringLiteral("cancelled: on sent"));
        } else {
            p->bFailed = true;
            report(*p, HistoryEvent::OutletRefused,
                   QStringLiteral("cancelled before every outlet showed it"));
        }
        m_pControl->writeJournal();
    }
    emit signalSetChanged(strSet);
}

void COutletSetControl::sendAll(Run& run, const COutletSetCycle::Sends& sends)
{
    for (const COutletSetCycle::Send& send : sends)
        if (run.listPdu.at(send.iIndex))
            m_pControl->sendSwitch(run.listPdu.at(send.iIndex), run.listRefs.at(send.iIndex).iOutlet,
                                   send.bOn);
}

void COutletSetControl::report(const Run& run, int iKind, const QString& strResult)
{
    const QString strWhat = QStringLiteral("set %1 %2").arg(run.strName, operationText(run.op));
    const QString strPrefix =
        run.bOfSequence ? QStringLiteral("sequence %1 step %2: ").arg(m_view.strName).arg(m_view.iStep + 1)
                        : QString();
    for (int i = 0; i < run.listRefs.size(); ++i) {
        if (!run.listPdu.at(i))
            continue;
        OutletOperation op =
            describeOperation(run.listPdu.at(i), run.listRefs.at(i).iOutlet, strPrefix + strWhat, strResult);
        op.iKind = iKind;
        op.strNew = operationText(run.op);
        emit m_pControl->signalOperation(op);
    }
}

void COutletSetControl::slotReplyDecoded(int iCommand)
{
    auto* pPdu = qobject_cast<CPdu*>(sender());
    if (iCommand != kCmdStatus || !pPdu)
        return;
    for (auto it = m_hashMembers.constFind(pPdu); it != m_hashMembers.constEnd() && it.key() == pPdu; ++it) {
        Run& run = **it;
        for (int i = 0; i < run.listRefs.size(); ++i) {
            if (run.listPdu.at(i) != pPdu || pPdu->iLastRcvMsecs <= run.listFedMs.at(i))
                continue;
            run.listFedMs[i] = pPdu->iLastRcvMsecs;
            const bool bOn = (pPdu->stInfo.outletStatus >> (run.listRefs.at(i).iOutlet - 1)) & 0x01;
            if (run.pCycle)
                sendAll(run, run.pCycle->observe(i, bOn, pPdu->iLastRcvMsecs));
            else if (bOn == run.bOn() && pPdu->iLastRcvMsecs > run.listSentMs.at(i))
                run.listShown[i] = true;
        }
    }
}

void COutletSetControl::drive(Run& run, qint64 iNowMs)
{
    if (run.bAdopted)
        return;
    if (run.pCycle) {
        for (int i = 0; i < run.listPdu.size(); ++i)
            if (run.listPdu.at(i))
                run.pCycle->heard(i, run.listPdu.at(i)->iLastRcvMsecs);
        sendAll(run, run.pCycle->tick(iNowMs));
        // Said when it fails, not once the power is back: an outlet that never shows on again must not
        // hide the failure.
        if (run.pCycle->isFailed() && !run.bFailReported) {
            run.bFailReported = true;
            QStringList listNotOff;
            for (int i : run.pCycle->notOff())
                listNotOff << run.listRefs.at(i).text();
            report(run, HistoryEvent::CycleFailed,
                   QStringLiteral("did not switch off: %1; on sent to every outlet that went off")
                       .arg(listNotOff.join(QStringLiteral(", "))));
        }
        const COutletCycle::Phase phase = run.pCycle->phase();
        if (phase == run.reported)
            return;
        run.reported = phase;
        switch (phase) {
        case COutletCycle::CountingOn:
            report(run, HistoryEvent::OutletCycled, QStringLiteral("every outlet seen off"));
            break;
        case COutletCycle::Completed:
            report(run, HistoryEvent::CycleCompleted,
                   QStringLiteral("completed: every outlet seen off, then on"));
            break;
        case COutletCycle::Failed:
            report(run, HistoryEvent::OutletCycled,
                   QStringLiteral("failed cycle over: every outlet seen on"));
            break;
        case COutletCycle::Cancelled:
            report(run, HistoryEvent::CycleCancelled, QStringLiteral("cancelled: every outlet on"));
            break;
        default:
            break;
        }
        m_pControl->writeJournal();
        emit signalSetChanged(run.strName);
        return;
    }
    if (run.bDone || run.bFailed)
        return;
    bool bAll = true;
    for (int i = 0; i < run.listRefs.size(); ++i) {
        if (run.listShown.at(i))
            continue;
        bAll = false;
        if (iNowMs - run.listSentMs.at(i) < run.listGateMs.at(i))
            continue;
        // A PDU gone from the room will not show it either.
        if (run.listTries.at(i) >= COutletCycle::kOffTries || !run.listPdu.at(i)) {
            run.bFailed = true;
            continue;
        }
        ++run.listTries[i];
        run.listSentMs[i] = iNowMs;
        m_pControl->sendSwitch(run.listPdu.at(i), run.listRefs.at(i).iOutlet, run.bOn());
    }
    if (bAll || run.bFailed) {
        run.bDone = bAll;
        QStringList listMissing;
        for (int i = 0; i < run.listRefs.size(); ++i)
            if (!run.listShown.at(i))
                listMissing << run.listRefs.at(i).text();
        report(run, bAll ? HistoryEvent::OutletSwitched : HistoryEvent::OutletRefused,
               bAll ? QStringLiteral("confirmed %1 at every outlet").arg(operationText(run.op))
                    : QStringLiteral("failed: %1 did not show %2 after %3 tries")
                          .arg(listMissing.join(QStringLiteral(", ")), operationText(run.op))
                          .arg(int(COutletCycle::kOffTries)));
        m_pControl->writeJournal();
        emit signalSetChanged(run.strName);
    }
}

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
    OutletOperation op;
    op.iKind = iKind;
    op.strWhat = QStringLiteral("sequence %1").arg(m_view.strName);
    op.strResult = strResult;
    emit m_pControl->signalOperation(op);
}

void COutletSetControl::tick(qint64 iNowMs)
{
    adoptWaiting(iNowMs);
    for (Run* p : qAsConst(m_listRuns))
        drive(*p, iNowMs);
    stepSequence(iNowMs);
    // Over and no longer watched: out of the lists and the journal.
    bool bRemoved = false;
    for (int i = m_listRuns.size() - 1; i >= 0; --i) {
        Run* p = m_listRuns.at(i);
        if (p->bAdopted || !p->isOver(iNowMs) || (m_pSequence && m_pSequence->pStep == p))
            continue;
        for (auto it = m_hashMembers.begin(); it != m_hashMembers.end();)
            it = it.value() == p ? m_hashMembers.erase(it) : std::next(it);
        m_listRuns.removeAt(i);
        delete p;
        bRemoved = true;
    }
    if (bRemoved)
        m_pControl->writeJournal();
}

bool COutletSetControl::isIdle() const
{
    return m_listRuns.isEmpty() && (!m_pSequence || m_pSequence->pRules->isOver());
}

void COutletSetControl::finishAll()
{
    const qint64 iNow = Clock::elapsedMs();
    for (Run* p : qAsConst(m_listRuns)) {
        if (!p->pCycle || p->bAdopted || p->isOver(iNow))
            continue;
        // As for one outlet: every outlet of the cycle gets its "on"; the journal keeps the cycle, so
        // that the next start makes sure they came on.
        for (int i = 0; i < p->listRefs.size(); ++i)
            if (p->listPdu.at(i))
                m_pControl->sendSwitch(p->listPdu.at(i), p->listRefs.at(i).iOutlet, true);
        report(*p, HistoryEvent::OutletCycled, QStringLiteral("on sent at exit"));
    }
    if (m_pSequence && !m_pSequence->pRules->isOver())
        reportSequence(HistoryEvent::CycleFailed,
                       QStringLiteral("stopped at step %1 of %2: the program ended")
                           .arg(m_view.iStep + 1)
                           .arg(m_view.listSteps.size()));
}

QJsonArray COutletSetControl::journalEntries() const
{
    QJsonArray array;
    const qint64 iNow = Clock::elapsedMs();
    for (const Run* p : m_listRuns) {
        if (p->isOver(iNow) && !p->bAdopted)
            continue;
        QJsonArray arOutlets, arOff, arClose, arOpen;
        for (int i = 0; i < p->listRefs.size(); ++i) {
            arOutlets.append(p->listRefs.at(i).text());
            arOff.append(p->pCycle ? p->pCycle->offSeen().value(i) : p->listShown.value(i));
            arClose.append(p->pCycle ? p->pCycle->outlet(i).closeDelay() : 0);
            arOpen.append(p->pCycle ? p->pCycle->outlet(i).openDelay() : 0);
        }
        qint64 iOnDue = p->iOnDueEpochMs;
        if (p->pCycle && p->pCycle->onDueMs() > 0)
            iOnDue = Clock::now().toMSecsSinceEpoch() + (p->pCycle->onDueMs() - iNow);
        array.append(QJsonObject{{kSet, p->strName},
                                 {QStringLiteral("op"), operationText(p->op)},
                                 {QStringLiteral("outlets"), arOutlets},
                                 {QStringLiteral("shown"), arOff},
                                 {QStringLiteral("closeDelays"), arClose},
                                 {QStringLiteral("openDelays"), arOpen},
                                 {QStringLiteral("delay"), p->pCycle ? p->pCycle->delay() : 0},
                                 {QStringLiteral("onDue"), double(iOnDue)}});
    }
    if (m_pSequence && !m_pSequence->pRules->isOver())
        array.append(QJsonObject{{kSequence, m_view.strName},
                                 {QStringLiteral("step"), m_view.iStep},
                                 {QStringLiteral("steps"), QJsonArray::fromStringList(m_view.listSteps)}});
    return array;
}

void COutletSetControl::adoptJournal(const QJsonArray& entries)
{
    const qint64 iNow = Clock::elapsedMs(), iNowEpoch = Clock::now().toMSecsSinceEpoch();
    m_iAdoptFromMs = iNow + COutletControl::kAdoptAfterMs;
    for (const QJsonValue& value : entries) {
        const QJsonObject o = value.toObject();
        if (o.contains(kSequence)) {
            // Reported where it stopped; it does not go on by itself.
            m_view = SequenceView();
            m_view.strName = o.value(kSequence).toString();
            m_view.iStep = o.value(QStringLiteral("step")).toInt();
            for (const QJsonValue& step : o.value(QStringLiteral("steps")).toArray())
                m_view.listSteps << step.toString();
            m_view.state = SequenceView::Interrupted;
            m_view.strReason = tr("The program ended during step %1 (%2); the sequence was not continued.")
                                   .arg(m_view.iStep + 1)
                                   .arg(m_view.listSteps.value(m_view.iStep));
            // Once the event loop runs: the event log is wired to the control after it was made.
            QTimer::singleShot(0, this, [this] {
                reportSequence(HistoryEvent::CycleFailed,
                               QStringLiteral("found interrupted at start, at step %1 of %2: not continued")
                                   .arg(m_view.iStep + 1)
                                   .arg(m_view.listSteps.size()));
                emit signalSequenceChanged();
            });
            continue;
        }
        if (!o.contains(kSet))
            continue;
        auto pRun = std::make_unique<Run>();
        pRun->strName = o.value(kSet).toString();
        const QString strOp = o.value(QStringLiteral("op")).toString();
        pRun->op = strOp == QLatin1String("on")    ? SwitchOn
                   : strOp == QLatin1String("off") ? SwitchOff
                                                   : Cycle;
        QList<COutletSetCycle::Member> listMembers;
        QList<bool> listOffSeen;
        const QJsonArray arClose = o.value(QStringLiteral("closeDelays")).toArray();
        const QJsonArray arOpen = o.value(QStringLiteral("openDelays")).toArray();
        const QJsonArray arShown = o.value(QStringLiteral("shown")).toArray();
        for (const QJsonValue& outlet : o.value(QStringLiteral("outlets")).toArray()) {
            OutletRef ref;
            if (!OutletRef::parse(outlet.toString(), &ref))
                continue;
            const int i = pRun->listRefs.size();
            pRun->listRefs << ref;
            pRun->listPdu << nullptr;
            pRun->listFedMs << -1;
            pRun->listShown << arShown.at(i).toBool();
            listMembers << COutletSetCycle::Member{arClose.at(i).toInt(), arOpen.at(i).toInt()};
        }
        if (pRun->listRefs.isEmpty())
            continue;
        pRun->bAdopted = true;
        pRun->iOnDueEpochMs = qint64(o.value(QStringLiteral("onDue")).toDouble());
        if (pRun->op == Cycle) {
            const int iDelay = o.value(QStringLiteral("delay")).toInt();
            pRun->pCycle = std::make_unique<COutletSetCycle>(iDelay, listMembers);
            // A wall clock stepped since then must not stretch the wait beyond the cycle's delay.
            const qint64 iLeft = pRun->iOnDueEpochMs > 0
                                     ? qBound<qint64>(0, pRun->iOnDueEpochMs - iNowEpoch, iDelay * 1000LL)
                                     : 0;
            pRun->pCycle->resume(iNow, pRun->iOnDueEpochMs > 0 ? iNow + iLeft : 0, pRun->listShown);
        }
        m_listRuns << pRun.release();
    }
}

// Runs of an earlier program join once each of their PDUs has answered with its MAC, after every device
// had a few poll rounds: the one heard first may be the other of two sharing a MAC.
void COutletSetControl::adoptWaiting(qint64 iNowMs)
{
    if (iNowMs < m_iAdoptFromMs || !g_pRackmind)
        return;
    QHash<QString, QList<CPdu*>> hashByMac;
    bool bAny = false;
    for (Run* p : qAsConst(m_listRuns))
        bAny = bAny || p->bAdopted;
    if (!bAny)
        return;
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        if (pPdu->bMacKnown && pPdu->iLastRcvMsecs >= 0)
            hashByMac[COutletControl::macOf(pPdu)] << pPdu;
    for (Run* p : qAsConst(m_listRuns)) {
        if (!p->bAdopted)
            continue;
        const bool bAll = std::all_of(p->listRefs.begin(), p->listRefs.end(), [&](const OutletRef& ref) {
            return hashByMac.value(ref.strMac).size() == 1;
        });
        if (!bAll)
            continue;
        for (int i = 0; i < p->listRefs.size(); ++i) {
            CPdu* pPdu = hashByMac.value(p->listRefs.at(i).strMac).first();
            p->listPdu[i] = pPdu;
            connect(pPdu, &CPdu::signalReplyDecoded, this, &COutletSetControl::slotReplyDecoded,
                    Qt::UniqueConnection);
            m_hashMembers.insert(pPdu, p);
        }
        p->bAdopted = false;
        if (p->pCycle) {
            report(*p, HistoryEvent::OutletCycled, QStringLiteral("found unfinished at start: resumed"));
        } else {
            // A switch is not repeated by itself: only said.
            p->bFailed = true;
            report(*p, HistoryEvent::OutletRefused,
                   QStringLiteral("found unfinished at start: not repeated; check the outlets' state"));
        }
        emit signalSetChanged(p->strName);
    }
}
