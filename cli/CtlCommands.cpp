#include "cli/CtlCommands.h"

#include "cli/CtlFormat.h"
#include "cli/CtlOverride.h"
#include "cli/CtlProtection.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/Clock.h"
#include "common/UnixSignals.h"
#include "device/OutletCycle.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kBroadcastMsecs = 1000;
constexpr int kStatusPollMsecs = 250;
constexpr int kConfirmMarginMsecs = 5000;
constexpr int kLookupMsecs = 2 * kBroadcastMsecs;

// Broadcasts every second until fnEnough holds or the wait is over.
void discover(CtlContext& ctx, const std::function<bool()>& fnEnough)
{
    ctx.pLink->broadcastQueries(ctx.listPorts);
    ctx.pLink->waitUntil(fnEnough, ctx.iWaitMsecs, kBroadcastMsecs,
                         [&]() { ctx.pLink->broadcastQueries(ctx.listPorts); });
}

void sayNothingAnswered(CtlContext& ctx)
{
    *ctx.pErr << "rackmind-ctl: "
              << RackmindCtl::tr(
                     "no PDU answered on port(s) %1.\n"
                     "  PDUs that answer only port 51230 instead of the query's source port cannot be\n"
                     "  reached while the console or service holds that port; stop it and try\n"
                     "  --source-port 51230.")
                     .arg(CRackmind::portsText(ctx.listPorts))
              << '\n';
}

quint8 maskOf(const QList<int>& listOutlets)
{
    quint8 mask = 0;
    for (int i : listOutlets)
        mask |= quint8(1u << (i - 1));
    return mask;
}

// A power cycle by the same rules as the console's: the "on" only after a reply showed the outlet off,
// a lost "off" sent again, a device deaf to "off" left on and reported. SIGINT, SIGTERM and SIGHUP
// bring the power back before the command ends.
int runCycle(CtlContext& ctx, const CtlPdu& pdu, const CtlOutletRequest& req)
{
    CUnixSignals unixSignals;
    bool bInterrupted = false;
    QObject::connect(&unixSignals, &CUnixSignals::signalReceived, [&](int) { bInterrupted = true; });
    std::vector<COutletCycle> cycles;
    for (int i : req.listOutlets)
        cycles.emplace_back(req.iDelayMsecs / 1000, pdu.info.outletCloseDelay[i - 1],
                            pdu.info.outletOpenDelay[i - 1]);
    const auto send = [&](size_t i, COutletCycle::Action action) {
        if (action != COutletCycle::None)
            ctx.pLink->sendTo(
                pdu, buildOutletSwitchFrame(req.listOutlets.at(int(i)), action == COutletCycle::SendOn));
    };
    qint64 iNow = Clock::elapsedMs();
    for (size_t i = 0; i < cycles.size(); ++i)
        send(i, cycles[i].start(iNow));
    // How long each phase may take before the device counts as not showing the state.
    const auto bound = [&](const COutletCycle& c) -> qint64 {
        if (req.iTimeoutMsecs >= 0 && c.phase() != COutletCycle::WaitingOff)
            return req.iTimeoutMsecs;
        return c.phase() == COutletCycle::WaitingOff
                   ? qint64(c.closeDelay() * 1000 + COutletCycle::kMarginMs) * COutletCycle::kOffTries +
                         kConfirmMarginMsecs
                   : qMax<qint64>(c.openDelay() * 1000, c.closeDelay() * 1000 + COutletCycle::kMarginMs) +
                         kConfirmMarginMsecs;
    };
    std::vector<qint64> listSince(cycles.size(), iNow);
    std::vector<COutletCycle::Phase> listPhase(cycles.size(), COutletCycle::WaitingOff);
    std::vector<bool> listTimedOut(cycles.size(), false);
    qint64 iStamp = pdu.iStatusStamp;
    bool bCancelSent = false;
    const auto allOver = [&]() {
        for (size_t i = 0; i < cycles.size(); ++i)
            if (!cycles[i].isOver() && !listTimedOut[i])
                return false;
        return true;
    };
    const auto step = [&]() {
        iNow = Clock::elapsedMs();
        if (firstInterrupt(ctx, bInterrupted, &bCancelSent)) {
            for (size_t i = 0; i < cycles.size(); ++i)
                send(i, cycles[i].cancel(iNow));
        }
        const bool bFresh = pdu.iStatusStamp != iStamp;
        iStamp = pdu.iStatusStamp;
        QString strProgress;
        for (size_t i = 0; i < cycles.size(); ++i) {
            COutletCycle& c = cycles[i];
            const int iOutlet = req.listOutlets.at(int(i));
            if (bFresh)
                send(i, c.observe(pdu.info.outletStatus & (1u << (iOutlet - 1)), iNow));
            send(i, c.tick(iNow));
            if (c.phase() != listPhase[i]) {
                listPhase[i] = c.phase();
                listSince[i] = iNow;
            }
            // No bound while counting down: the outlet is off and its "on" is on the way.
            if (!c.isOver() && c.phase() != COutletCycle::CountingOn && iNow - listSince[i] >= bound(c))
                listTimedOut[i] = true;
            if (c.phase() == COutletCycle::WaitingOff)
                strProgress = RackmindCtl::tr("outlet %1: waiting for off").arg(iOutlet);
            else if (c.phase() == COutletCycle::CountingOn && strProgress.isEmpty())
                strProgress =
                    RackmindCtl::tr("outlet %1: off seen, on in %2 s").arg(iOutlet).arg(c.secondsLeft(iNow));
        }
        progress(ctx, strProgress);
        return allOver();
    };
    ctx.pLink->waitUntil(step, std::numeric_limits<int>::max(), kStatusPollMsecs, [&]() {
        step();
        ctx.pLink->query(pdu, kCmdStatus);
    });
    progress(ctx, QString());
    QStringList listNotOff, listNotOn;
    for (size_t i = 0; i < cycles.size(); ++i) {
        const QString strOutlet = QString::number(req.listOutlets.at(int(i)));
        if (cycles[i].phase() == COutletCycle::Failed ||
            (listTimedOut[i] && cycles[i].phase() == COutletCycle::WaitingOff))
            listNotOff << strOutlet;
        else if (listTimedOut[i])
            listNotOn << strOutlet;
    }
    if (!listNotOff.isEmpty())
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("%1 did not switch off outlet(s) %2; no \"on\" was sent")
                         .arg(addressText(pdu), listNotOff.join(QLatin1Char(',')))
                  << '\n';
    if (!listNotOn.isEmpty())
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("%1 did not show the outlets on in time").arg(addressText(pdu)) << '\n';
    if (bInterrupted)
        return kExitFailure;
    return listNotOff.isEmpty() && listNotOn.isEmpty() ? kExitOk : kExitNoConfirm;
}

} // namespace

quint32 bits(std::initializer_list<quint8> cmds)
{
    quint32 ui = 0;
    for (quint8 cmd : cmds)
        ui |= 1u << cmd;
    return ui;
}

int findPdus(CtlContext& ctx, const QStringList& listPdus, quint32 uiNeeded, QList<const CtlPdu*>* pList)
{
    QElapsedTimer clock;
    clock.start();
    QList<QStringList> listMatches;
    const auto resolveAll = [&]() {
        pList->clear();
        listMatches.clear();
        for (const QString& strPdu : listPdus) {
            listMatches.append(QStringList());
            pList->append(resolvePdu(ctx.pLink->found(), strPdu, &listMatches.last()));
        }
    };
    // A name, MAC or reported address may belong to several PDUs, one of them slow: the query goes out
    // twice and every PDU gets a whole round to answer each before one is taken.
    const int iWait = ctx.iWaitMsecs;
    ctx.iWaitMsecs = qMax(iWait, kLookupMsecs);
    discover(ctx, [&]() {
        resolveAll();
        return clock.elapsed() >= kLookupMsecs &&
               std::all_of(pList->begin(), pList->end(),
                           [&](const CtlPdu* p) { return p && (p->uiSeen & uiNeeded) == uiNeeded; });
    });
    ctx.iWaitMsecs = iWait;
    resolveAll();
    int iExit = kExitOk;
    for (int i = 0; i < listPdus.size(); ++i) {
        const QString& strPdu = listPdus.at(i);
        if (pList->at(i))
            continue;
        if (!listMatches.at(i).isEmpty()) {
            *ctx.pErr << "rackmind-ctl: "
                      << RackmindCtl::tr("\"%1\" matches %2 PDUs; give the address one answers from:")
                             .arg(strPdu)
                             .arg(listMatches.at(i).size())
                      << '\n';
            for (const QString& str : listMatches.at(i))
                *ctx.pErr << "  " << str << '\n';
            iExit = kExitUsage;
            continue;
        }
        if (ctx.pLink->found().isEmpty())
            sayNothingAnswered(ctx);
        else
            *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("no PDU \"%1\" answered").arg(strPdu) << '\n';
        if (iExit == kExitOk)
            iExit = kExitNotFound;
        if (ctx.pLink->found().isEmpty())
            break;
    }
    return iExit;
}

int findPdu(CtlContext& ctx, const QString& strPdu, quint32 uiNeeded, const CtlPdu** ppPdu)
{
    QList<const CtlPdu*> list;
    const int iExit = findPdus(ctx, {strPdu}, uiNeeded, &list);
    *ppPdu = list.value(0);
    return iExit;
}

bool switchAndConfirm(CtlContext& ctx, const QList<CtlSwitch>& listSwitches, bool bOn, int iTimeoutMsecs,
                      const std::function<bool()>& fnStop, QStringList* pNotShown)
{
    struct Target
    {
        const CtlPdu* pPdu;
        QList<int> listOutlets;
        quint8 mask;
        int iDelaySecs = 0;
        qint64 iStampAtSend;
        QElapsedTimer sinceSend;
        bool shown() const
        {
            // Only a status reply that left the PDU after the switch counts.
            return pPdu->iStatusStamp > iStampAtSend && (pPdu->info.outletStatus & mask) == (bOn ? mask : 0);
        }
        bool bOn;
    };
    std::vector<Target> targets;
    int iTimeout = 0;
    for (const CtlSwitch& sw : listSwitches) {
        Target t{sw.pPdu, sw.listOutlets, maskOf(sw.listOutlets), 0, sw.pPdu->iStatusStamp, {}, bOn};
        for (int i : sw.listOutlets)
            t.iDelaySecs = qMax(t.iDelaySecs, int(bOn ? sw.pPdu->info.outletOpenDelay[i - 1]
                                                      : sw.pPdu->info.outletCloseDelay[i - 1]));
        iTimeout =
            qMax(iTimeout, iTimeoutMsecs >= 0 ? iTimeoutMsecs : t.iDelaySecs * 1000 + kConfirmMarginMsecs);
        targets.push_back(t);
    }
    // Every frame goes out at once: the outlets of a set across PDUs switch together.
    for (Target& t : targets) {
        for (int i : t.listOutlets)
            ctx.pLink->sendTo(*t.pPdu, buildOutletSwitchFrame(i, bOn));
        t.sinceSend.start();
    }
    const auto allShown = [&]() {
        return std::all_of(targets.begin(), targets.end(), [](const Target& t) { return t.shown(); });
    };
    // The switch is sent again when a reply still disagrees after the outlet's own delay has passed
    // (a lost frame, not a slow one).
    const bool bShown =
        ctx.pLink->waitUntil([&]() { return allShown() || (fnStop && fnStop()); }, iTimeout, kStatusPollMsecs,
                             [&]() {
                                 for (Target& t : targets) {
                                     if (!t.shown() && t.sinceSend.elapsed() >= t.iDelaySecs * 1000 + 2000) {
                                         for (int i : t.listOutlets)
                                             if (bool(t.pPdu->info.outletStatus & (1u << (i - 1))) != bOn)
                                                 ctx.pLink->sendTo(*t.pPdu, buildOutletSwitchFrame(i, bOn));
                                         t.sinceSend.restart();
                                     }
                                     ctx.pLink->query(*t.pPdu, kCmdStatus);
                                 }
                             }) &&
        allShown();
    if (pNotShown)
        for (const Target& t : targets)
            if (!t.shown())
                pNotShown->append(addressText(*t.pPdu));
    return bShown;
}

bool firstInterrupt(CtlContext& ctx, bool bInterrupted, bool* pbCancelSent)
{
    if (!bInterrupted || *pbCancelSent)
        return false;
    *pbCancelSent = true;
    progress(ctx, QString());
    *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("interrupted: switching the outlets back on") << '\n';
    return true;
}

void progress(CtlContext& ctx, const QString& strText)
{
    static const bool s_bTty = ::isatty(STDERR_FILENO);
    if (s_bTty)
        *ctx.pErr << '\r' << strText << "\x1b[K" << Qt::flush;
}

int guardProtected(CtlContext& ctx, const QList<CtlSwitch>& listSwitches, const QString& strAction,
                   bool bForce)
{
    const CCtlProtection protection;
    if (!protection.isReadable() && !bForce) {
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("cannot read the protection list (%1); nothing was switched "
                                     "(--force overrides)")
                         .arg(protection.error())
                  << '\n';
        return kExitProtected;
    }
    if (!protection.isReadable())
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("cannot read the protection list (%1); every outlet switched off is "
                                     "taken as protected")
                         .arg(protection.error())
                  << '\n';
    // A list that cannot be read may protect any of them: --force then overrides them all, on record.
    QList<CtlOverride> listOverrides;
    for (const CtlSwitch& sw : listSwitches) {
        QStringList listProtected;
        for (int i : sw.listOutlets)
            if (!protection.isReadable() || protection.isProtected(*sw.pPdu, i))
                listProtected.append(QString::number(i));
        if (listProtected.isEmpty())
            continue;
        if (!bForce) {
            *ctx.pErr << "rackmind-ctl: "
                      << RackmindCtl::tr(
                             "outlet(s) %1 of %2 are protected; nothing was switched (--force overrides)")
                             .arg(listProtected.join(QLatin1Char(',')), addressText(*sw.pPdu))
                      << '\n';
            return kExitProtected;
        }
        listOverrides.append(CtlOverride{macText(*sw.pPdu), nameText(*sw.pPdu), addressText(*sw.pPdu),
                                         listProtected.join(QLatin1Char(',')), strAction});
    }
    // On record before anything is sent: an override nobody can find later is not made at all.
    for (const CtlOverride& ov : qAsConst(listOverrides)) {
        QString strWhere, strWhy;
        if (!recordOverride(ov, &strWhere, &strWhy)) {
            *ctx.pErr << "rackmind-ctl: "
                      << RackmindCtl::tr("the override cannot be put on record (%1); nothing was switched")
                             .arg(strWhy)
                      << '\n';
            return kExitProtected;
        }
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("protected outlet(s) %1 of %2 switched by --force; on record in %3")
                         .arg(ov.strOutlets, ov.strAddress, strWhere)
                  << '\n';
    }
    return kExitOk;
}

int runList(CtlContext& ctx, bool bJson)
{
    discover(ctx, []() { return false; });
    const QList<const CtlPdu*> listPdus = ctx.pLink->found();
    if (bJson) {
        QJsonArray array;
        for (const CtlPdu* pPdu : listPdus)
            array.append(pduJson(*pPdu, false));
        *ctx.pOut << QJsonDocument(array).toJson(QJsonDocument::Indented);
    } else {
        for (const CtlPdu* pPdu : listPdus)
            *ctx.pOut << pduLine(*pPdu) << '\n';
    }
    // An empty room is reported as such, never as a list that succeeded.
    if (!listPdus.isEmpty())
        return kExitOk;
    sayNothingAnswered(ctx);
    return kExitNotFound;
}

int runShow(CtlContext& ctx, const QString& strPdu, bool bJson)
{
    const CtlPdu* pPdu = nullptr;
    const int iExit = findPdu(
        ctx, strPdu,
        bits({kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}),
        &pPdu);
    if (iExit != kExitOk)
        return iExit;
    if (bJson)
        *ctx.pOut << QJsonDocument(pduJson(*pPdu, true)).toJson(QJsonDocument::Indented);
    else
        *ctx.pOut << pduText(*pPdu);
    return kExitOk;
}

int runOutlet(CtlContext& ctx, const CtlOutletRequest& req)
{
    const CtlPdu* pPdu = nullptr;
    const int iExit = findPdu(ctx, req.strPdu, bits({kCmdNetwork, kCmdStatus, kCmdOutletDelays}), &pPdu);
    if (iExit != kExitOk)
        return iExit;
    if (req.strAction != QLatin1String("on")) {
        const int iGuard = guardProtected(ctx, {{pPdu, req.listOutlets}}, req.strAction, req.bForce);
        if (iGuard != kExitOk)
            return iGuard;
    }
    const auto fail = [&](bool bOn) {
        *ctx.pErr << "rackmind-ctl: "
                  << (bOn ? RackmindCtl::tr("%1 did not show the outlets on in time")
                          : RackmindCtl::tr("%1 did not show the outlets off in time"))
                         .arg(addressText(*pPdu))
                  << '\n';
        return kExitNoConfirm;
    };
    if (req.strAction == QLatin1String("cycle"))
        return runCycle(ctx, *pPdu, req);
    const bool bOn = req.strAction != QLatin1String("off");
    if (!switchAndConfirm(ctx, {{pPdu, req.listOutlets}}, bOn, req.iTimeoutMsecs))
        return fail(bOn);
    return kExitOk;
}
