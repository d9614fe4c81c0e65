#include "device/OutletSetControl.h"

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/HistoryEvent.h"
#include "device/OutletControl.h"
#include "device/OutletSetCycle.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QHash>

QString COutletSetControl::operationText(Operation op)
{
    return op == COutletSetControl::SwitchOn    ? QStringLiteral("on")
           : op == COutletSetControl::SwitchOff ? QStringLiteral("off")
                                                : QStringLiteral("cycle");
}

QString COutletSetControl::pduText(const CPdu* pPdu)
{
    return QStringLiteral("%1 (%2)").arg(logText(deviceText(pPdu->stInfo.name)),
                                         pPdu->sendAddress().toString());
}

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
    pRun->strActor = bOfSequence && m_pSequence ? m_pSequence->strActor : m_pControl->actor();
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
        } else if (!p->bOn()) {
            // Cancel restores power: the "off" becomes an "on" to every outlet, followed as any switch, so
            // that an "off" a PDU carries out after the cancel does not leave the machine dark.
            p->op = SwitchOn;
            for (int i = 0; i < p->listRefs.size(); ++i) {
                const int iOutlet = p->listRefs.at(i).iOutlet;
                p->listShown[i] = false;
                p->listSentMs[i] = iNow;
                p->listTries[i] = 1;
                if (!p->listPdu.at(i))
                    continue;
                p->listGateMs[i] =
                    p->listPdu.at(i)->stInfo.outletOpenDelay[iOutlet - 1] * 1000 + COutletCycle::kMarginMs;
                m_pControl->sendSwitch(p->listPdu.at(i), iOutlet, true);
            }
            report(*p, HistoryEvent::OutletSwitched, QStringLiteral("cancelled: on sent to every outlet"));
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
    const COutletControl::ActorScope actor(m_pControl, run.strActor, true);
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
        m_pControl->emitOperation(op);
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
