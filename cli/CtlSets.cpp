#include "cli/CtlSets.h"

#include "cli/CtlLink.h"
#include "cli/CtlService.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/Clock.h"
#include "common/UnixSignals.h"
#include "device/OutletSetCycle.h"
#include "device/Protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <limits>

namespace {

constexpr int kTickMsecs = 250;
constexpr int kConfirmMarginMsecs = 5000;

int usage(CtlContext& ctx, const QString& strWhy)
{
    *ctx.pErr << "rackmind-ctl: " << strWhy << '\n'
              << RackmindCtl::tr("Try rackmind-ctl set --help.") << '\n';
    return kExitUsage;
}

QString colonMac(const QString& strMac)
{
    QStringList list;
    for (int i = 0; i < strMac.size(); i += 2)
        list << strMac.mid(i, 2);
    return list.join(QLatin1Char(':'));
}

QJsonObject setJson(const OutletSet& set)
{
    QJsonArray array;
    for (const OutletRef& ref : set.listOutlets)
        array.append(ref.text());
    return QJsonObject{{QStringLiteral("name"), set.strName}, {QStringLiteral("outlets"), array}};
}

int notFound(CtlContext& ctx, const QString& strText)
{
    *ctx.pErr << "rackmind-ctl: " << strText << '\n';
    return kExitNotFound;
}

// One set's outlets together: off, the delay from the last "off" seen, on, by COutletSetCycle's rules.
// SIGINT, SIGTERM and SIGHUP bring the power back before the command ends.
int runSetCycle(CtlContext& ctx, const OutletSet& set, const QMap<QString, const CtlPdu*>& mapPdus,
                int iDelay)
{
    CUnixSignals unixSignals;
    bool bInterrupted = false;
    QObject::connect(&unixSignals, &CUnixSignals::signalReceived, [&](int) { bInterrupted = true; });
    QList<const CtlPdu*> listPdus;
    QList<COutletSetCycle::Member> listMembers;
    for (const OutletRef& ref : set.listOutlets) {
        const CtlPdu* pPdu = mapPdus.value(ref.strMac);
        listPdus << pPdu;
        listMembers << COutletSetCycle::Member{pPdu->info.outletCloseDelay[ref.iOutlet - 1],
                                               pPdu->info.outletOpenDelay[ref.iOutlet - 1]};
    }
    COutletSetCycle cycle(iDelay, listMembers);
    const QString strWhat = set.strName + QStringLiteral(" cycle");
    QString strWhy;
    if (!beginSetRecord(set.strName, strWhat, &strWhy)) {
        *ctx.pErr << "rackmind-ctl: " << strWhy << '\n';
        return kExitFailure;
    }
    const auto send = [&](const COutletSetCycle::Sends& sends) {
        for (const COutletSetCycle::Send& s : sends)
            ctx.pLink->sendTo(*listPdus.at(s.iIndex),
                              buildOutletSwitchFrame(set.listOutlets.at(s.iIndex).iOutlet, s.bOn));
    };
    qint64 iNow = Clock::elapsedMs();
    send(cycle.start(iNow));
    QMap<const CtlPdu*, qint64> mapStamps;
    for (const CtlPdu* pPdu : qAsConst(listPdus))
        mapStamps.insert(pPdu, pPdu->iStatusStamp);
    // The "on" once sent must show within the slowest outlet's own delays and a margin.
    qint64 iOnBound = 0;
    for (const COutletSetCycle::Member& m : qAsConst(listMembers))
        iOnBound =
            qMax<qint64>(iOnBound, qMax(m.iOpenDelay * 1000, m.iCloseDelay * 1000 + COutletCycle::kMarginMs) +
                                       kConfirmMarginMsecs);
    COutletCycle::Phase phase = cycle.phase();
    qint64 iPhaseSince = iNow;
    bool bCancelSent = false, bTimedOut = false;
    const auto step = [&]() {
        iNow = Clock::elapsedMs();
        if (firstInterrupt(ctx, bInterrupted, &bCancelSent))
            send(cycle.cancel(iNow));
        for (int i = 0; i < cycle.size(); ++i) {
            const CtlPdu* pPdu = listPdus.at(i);
            if (pPdu->iStatusStamp != mapStamps.value(pPdu))
                send(cycle.observe(i, pPdu->info.outletStatus & (1u << (set.listOutlets.at(i).iOutlet - 1)),
                                   iNow));
        }
        for (const CtlPdu* pPdu : qAsConst(listPdus))
            mapStamps[pPdu] = pPdu->iStatusStamp;
        send(cycle.tick(iNow));
        if (cycle.phase() != phase) {
            phase = cycle.phase();
            iPhaseSince = iNow;
        }
        bTimedOut = phase == COutletCycle::WaitingOn && iNow - iPhaseSince >= iOnBound;
        if (phase == COutletCycle::WaitingOff)
            progress(ctx, RackmindCtl::tr("set %1: waiting for every outlet to show off").arg(set.strName));
        else if (phase == COutletCycle::CountingOn)
            progress(
                ctx,
                RackmindCtl::tr("set %1: all off, on in %2 s").arg(set.strName).arg(cycle.secondsLeft(iNow)));
        else if (cycle.isFailed())
            progress(ctx, RackmindCtl::tr("set %1: watching for a late off").arg(set.strName));
        const bool bFinal = phase == COutletCycle::Completed || phase == COutletCycle::Failed ||
                            phase == COutletCycle::Cancelled;
        return cycle.isOver(iNow) || bTimedOut || (bInterrupted && bFinal);
    };
    ctx.pLink->waitUntil(step, std::numeric_limits<int>::max(), kTickMsecs, [&]() {
        step();
        for (const CtlPdu* pPdu : mapPdus)
            ctx.pLink->query(*pPdu, kCmdStatus);
    });
    progress(ctx, QString());
    endSetRecord(set.strName, strWhat, cycle.phase() == COutletCycle::Completed && !bTimedOut);
    if (cycle.isFailed()) {
        QStringList listNotOff;
        for (int i : cycle.notOff())
            listNotOff << QStringLiteral("%1 (%2)").arg(refText(set.listOutlets.at(i)),
                                                        addressText(*listPdus.at(i)));
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr(
                         "set %1: %2 did not switch off; no \"on\" was sent to it, and every outlet of "
                         "the set that went off was switched back on")
                         .arg(set.strName, listNotOff.join(QStringLiteral(", ")))
                  << '\n';
    }
    if (bTimedOut)
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("set %1: the outlets did not show on in time").arg(set.strName) << '\n';
    if (bInterrupted)
        return kExitFailure;
    return cycle.isFailed() || bTimedOut ? kExitNoConfirm : kExitOk;
}

int switchSet(CtlContext& ctx, const OutletSet& set, const QString& strAction, const CtlSetOptions& opt)
{
    QMap<QString, const CtlPdu*> mapPdus;
    int iExit = findOutlets(ctx, set.listOutlets, &mapPdus);
    if (iExit != kExitOk)
        return iExit;
    const QList<CtlSwitch> listSwitches = switchesOf(set.listOutlets, mapPdus);
    if (strAction != QLatin1String("on")) {
        iExit = guardProtected(ctx, listSwitches, QStringLiteral("set %1 %2").arg(set.strName, strAction),
                               opt.bForce);
        if (iExit != kExitOk)
            return iExit;
    }
    if (strAction == QLatin1String("cycle"))
        return runSetCycle(ctx, set, mapPdus, opt.iDelaySecs);
    QStringList listNotShown;
    const bool bOn = strAction == QLatin1String("on");
    if (switchAndConfirm(ctx, listSwitches, bOn, -1, {}, &listNotShown))
        return kExitOk;
    *ctx.pErr << "rackmind-ctl: "
              << (bOn ? RackmindCtl::tr("%1 did not show the outlets on in time")
                      : RackmindCtl::tr("%1 did not show the outlets off in time"))
                     .arg(listNotShown.join(QStringLiteral(", ")))
              << '\n';
    return kExitNoConfirm;
}

} // namespace

QString refText(const OutletRef& ref)
{
    return colonMac(ref.strMac) + QLatin1Char('/') + QString::number(ref.iOutlet);
}

int loadSets(CtlContext& ctx, const CtlSetOptions& opt, COutletSets* pSets, QJsonObject* pServiceView)
{
    if (opt.pService)
        return loadServiceSets(*opt.pService, pSets, *ctx.pErr, pServiceView);
    QString strWhy;
    if (pSets->load(&strWhy))
        return kExitOk;
    *ctx.pErr << "rackmind-ctl: "
              << RackmindCtl::tr("cannot read the outlet sets (%1); nothing was switched").arg(strWhy)
              << '\n';
    return kExitFailure;
}

int refuseServiceChange(CtlContext& ctx, const QString& strCommand)
{
    *ctx.pErr << "rackmind-ctl: "
              << RackmindCtl::tr("the service's API does not change sets or sequences: run rackmind-ctl %1 "
                                 "on the service's machine, without --service")
                     .arg(strCommand)
              << '\n';
    return kExitUsage;
}

int changeSets(CtlContext& ctx, const std::function<bool(OutletSetsData&, QString*)>& fnChange)
{
    COutletSets sets;
    QString strWhy;
    if (sets.change(fnChange, &strWhy))
        return kExitOk;
    *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("the outlet sets were not changed: %1").arg(strWhy)
              << '\n';
    return kExitFailure;
}

int findOutlets(CtlContext& ctx, const QList<OutletRef>& listRefs, QMap<QString, const CtlPdu*>* pMap)
{
    QStringList listMacs;
    for (const OutletRef& ref : listRefs)
        if (!listMacs.contains(colonMac(ref.strMac)))
            listMacs << colonMac(ref.strMac);
    QList<const CtlPdu*> listPdus;
    const int iExit = findPdus(ctx, listMacs, bits({kCmdNetwork, kCmdStatus, kCmdOutletDelays}), &listPdus);
    if (iExit != kExitOk) {
        *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("nothing was switched") << '\n';
        return iExit;
    }
    for (int i = 0; i < listMacs.size(); ++i)
        pMap->insert(bareMac(listMacs.at(i)), listPdus.at(i));
    return kExitOk;
}

QList<CtlSwitch> switchesOf(const QList<OutletRef>& listRefs, const QMap<QString, const CtlPdu*>& mapPdus)
{
    QList<CtlSwitch> list;
    for (const OutletRef& ref : listRefs) {
        const CtlPdu* pPdu = mapPdus.value(ref.strMac);
        auto it =
            std::find_if(list.begin(), list.end(), [&](const CtlSwitch& sw) { return sw.pPdu == pPdu; });
        if (it == list.end())
            it = list.insert(list.end(), CtlSwitch{pPdu, {}});
        it->listOutlets << ref.iOutlet;
    }
    return list;
}

int runSetCommand(CtlContext& ctx, const QStringList& listWords, const CtlSetOptions& opt,
                  const std::function<int()>& fnOpenLink)
{
    const QString strFirst = listWords.value(0);
    const int iWords = listWords.size();
    if (opt.pService && (strFirst == QLatin1String("add") || strFirst == QLatin1String("remove")))
        return refuseServiceChange(ctx, QStringLiteral("set ") + strFirst);
    if (strFirst == QLatin1String("add") && iWords >= 3) {
        OutletSet set{listWords.at(1), {}};
        if (!COutletSets::isValidName(set.strName))
            return usage(ctx,
                         RackmindCtl::tr(
                             "\"%1\" is no name for a set: up to 48 letters, digits and -_.@, not a word of "
                             "the command")
                             .arg(set.strName));
        for (const QString& str : listWords.mid(2)) {
            OutletRef ref;
            if (!OutletRef::parse(str, &ref))
                return usage(
                    ctx, RackmindCtl::tr("\"%1\" is no outlet: give MAC/N, as 02:50:44:00:00:01/3").arg(str));
            set.listOutlets << ref;
        }
        // An existing set gets the outlets added.
        return changeSets(ctx, [&](OutletSetsData& data, QString*) {
            data.mapSets[set.strName].listOutlets += set.listOutlets;
            return true;
        });
    }
    if (strFirst == QLatin1String("remove") && iWords == 2)
        return changeSets(ctx, [&](OutletSetsData& data, QString* pWhy) {
            for (const OutletSequence& seq : qAsConst(data.mapSequences))
                for (const SequenceStep& step : seq.listSteps)
                    if (step.strSet == listWords.at(1)) {
                        *pWhy = RackmindCtl::tr("sequence %1 uses set %2").arg(seq.strName, step.strSet);
                        return false;
                    }
            if (data.mapSets.remove(listWords.at(1)) > 0)
                return true;
            *pWhy = RackmindCtl::tr("there is no set %1").arg(listWords.at(1));
            return false;
        });
    const bool bList = strFirst == QLatin1String("list") && iWords == 1;
    const bool bShow = strFirst == QLatin1String("show") && iWords == 2;
    const bool bSwitch =
        iWords == 2 && QStringList({QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")})
                           .contains(listWords.at(1));
    if (!bList && !bShow && !bSwitch)
        return usage(ctx, RackmindCtl::tr("set takes: list | show NAME | add NAME OUTLET... | remove NAME | "
                                          "NAME on|off|cycle"));
    if (opt.bDelayGiven && !(bSwitch && listWords.at(1) == QLatin1String("cycle")))
        return usage(ctx, RackmindCtl::tr("--delay goes with cycle only"));
    COutletSets sets;
    int iExit = loadSets(ctx, opt, &sets);
    if (iExit != kExitOk)
        return iExit;
    if (bList) {
        QJsonArray array;
        for (const OutletSet& set : sets.data().mapSets) {
            QStringList listOutlets;
            for (const OutletRef& ref : set.listOutlets)
                listOutlets << refText(ref);
            if (opt.bJson)
                array.append(setJson(set));
            else
                *ctx.pOut << set.strName << '\t' << listOutlets.join(QLatin1Char(' ')) << '\n';
        }
        if (opt.bJson)
            *ctx.pOut << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return kExitOk;
    }
    const QString strName = bShow ? listWords.at(1) : listWords.at(0);
    if (!sets.data().mapSets.contains(strName))
        return notFound(ctx, RackmindCtl::tr("there is no set %1").arg(strName));
    // The runs recorded here are this machine's, not the service's.
    const QString strLastRun = opt.pService ? QString() : setLastRun(strName);
    if (!strLastRun.isEmpty())
        *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("set %1 last cycle: %2").arg(strName, strLastRun)
                  << '\n';
    const OutletSet set = sets.data().mapSets.value(strName);
    if (bShow) {
        if (opt.bJson) {
            *ctx.pOut << QJsonDocument(setJson(set)).toJson(QJsonDocument::Indented);
        } else {
            *ctx.pOut << "name: " << set.strName << '\n';
            for (const OutletRef& ref : set.listOutlets)
                *ctx.pOut << "outlet: " << refText(ref) << '\n';
        }
        return kExitOk;
    }
    if (opt.pService)
        return runServiceSet(*opt.pService, set, listWords.at(1), opt, *ctx.pErr);
    iExit = fnOpenLink();
    return iExit != kExitOk ? iExit : switchSet(ctx, set, listWords.at(1), opt);
}
