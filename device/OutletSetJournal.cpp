#include "device/OutletSetControl.h"

#include "common/Clock.h"
#include "common/HistoryEvent.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"

#include <QJsonObject>
#include <QTimer>

// COutletSetControl: what the cycle journal keeps of sets and sequences, and what a start finds there.

namespace {
const QString kSet = QStringLiteral("set");
const QString kSequence = QStringLiteral("sequence");
} // namespace

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

// A cycle whose PDUs do not all come back: once its delay (at least half a minute) is over, the outlets
// whose PDUs answer get their "on", as a running cycle's do when one of its PDUs goes silent, instead of
// staying dark until the missing one returns. The run stays waiting for it, and completes then.
void COutletSetControl::powerAnswering(Run& run, const QHash<QString, QList<CPdu*>>& hashByMac, qint64 iNowMs)
{
    if (!run.pCycle || run.bPartialOnSent ||
        iNowMs < m_iAdoptFromMs + qMax<qint64>(30000, qint64(run.pCycle->delay()) * 1000))
        return;
    run.bPartialOnSent = true;
    QStringList listMissing;
    for (const OutletRef& ref : qAsConst(run.listRefs)) {
        const QList<CPdu*> listMatch = hashByMac.value(ref.strMac);
        if (listMatch.size() == 1)
            m_pControl->sendSwitch(listMatch.first(), ref.iOutlet, true);
        else
            listMissing << ref.text();
    }
    OutletOperation op;
    op.iKind = HistoryEvent::OutletCycled;
    op.strWhat = QStringLiteral("set %1 %2").arg(run.strName, operationText(run.op));
    op.strResult = QStringLiteral("found unfinished at start; %1 not answering: on sent to the other outlets")
                       .arg(listMissing.join(QStringLiteral(", ")));
    emit m_pControl->signalOperation(op);
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
        if (!bAll) {
            powerAnswering(*p, hashByMac, iNowMs);
            continue;
        }
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
