#include "cli/CtlCommands.h"

#include "cli/CtlFormat.h"
#include "cli/CtlHistory.h"
#include "cli/CtlProtection.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "device/Protocol.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr int kBroadcastMsecs = 1000;
constexpr int kStatusPollMsecs = 250;
constexpr int kConfirmMarginMsecs = 5000;

// Broadcasts every second until fnEnough holds or the wait is over.
void discover(CtlContext& ctx, const std::function<bool()>& fnEnough)
{
    ctx.pLink->broadcastQueries(ctx.listPorts);
    ctx.pLink->waitUntil(fnEnough, ctx.iWaitMsecs, kBroadcastMsecs,
                         [&]() { ctx.pLink->broadcastQueries(ctx.listPorts); });
}

void sayNothingAnswered(CtlContext& ctx)
{
    QStringList listPorts;
    for (uint uiPort : qAsConst(ctx.listPorts))
        listPorts.append(QString::number(uiPort));
    *ctx.pErr << "rackmind-ctl: "
              << RackmindCtl::tr(
                     "no PDU answered on port(s) %1.\n"
                     "  PDUs that answer only port 51230 instead of the query's source port cannot be\n"
                     "  reached while the console or service holds that port; stop it and try\n"
                     "  --source-port 51230.")
                     .arg(listPorts.join(QLatin1Char(',')))
              << '\n';
}

// Finds the PDU meant by strPdu once it has sent what fnReady needs. An exit code on failure.
int findPdu(CtlContext& ctx, const QString& strPdu, quint32 uiNeeded, const CtlPdu** ppPdu)
{
    QElapsedTimer clock;
    clock.start();
    QStringList listMatches;
    // A name may belong to several PDUs: give every PDU one round to answer before taking one.
    discover(ctx, [&]() {
        const CtlPdu* pPdu = resolvePdu(ctx.pLink->found(), strPdu, &listMatches);
        return clock.elapsed() >= kBroadcastMsecs && pPdu && (pPdu->uiSeen & uiNeeded) == uiNeeded;
    });
    *ppPdu = resolvePdu(ctx.pLink->found(), strPdu, &listMatches);
    if (*ppPdu)
        return kExitOk;
    if (!listMatches.isEmpty()) {
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("\"%1\" names %2 PDUs; give an address or a MAC address:")
                         .arg(strPdu)
                         .arg(listMatches.size())
                  << '\n';
        for (const QString& str : qAsConst(listMatches))
            *ctx.pErr << "  " << str << '\n';
        return kExitUsage;
    }
    if (ctx.pLink->found().isEmpty())
        sayNothingAnswered(ctx);
    else
        *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("no PDU \"%1\" answered").arg(strPdu) << '\n';
    return kExitNotFound;
}

quint32 bits(std::initializer_list<quint8> cmds)
{
    quint32 ui = 0;
    for (quint8 cmd : cmds)
        ui |= 1u << cmd;
    return ui;
}

quint8 maskOf(const QList<int>& listOutlets)
{
    quint8 mask = 0;
    for (int i : listOutlets)
        mask |= quint8(1u << (i - 1));
    return mask;
}

// Switches the outlets and waits until a status reply shows all of them so. The switch is sent again
// when a reply still disagrees after the outlet's own delay has passed (a lost frame, not a slow one).
bool switchAndConfirm(CtlContext& ctx, const CtlPdu& pdu, const QList<int>& listOutlets, bool bOn,
                      int iTimeoutMsecs)
{
    const quint8 mask = maskOf(listOutlets);
    int iDelaySecs = 0;
    for (int i : listOutlets)
        iDelaySecs =
            qMax(iDelaySecs, int(bOn ? pdu.info.outletOpenDelay[i - 1] : pdu.info.outletCloseDelay[i - 1]));
    const int iTimeout = iTimeoutMsecs >= 0 ? iTimeoutMsecs : iDelaySecs * 1000 + kConfirmMarginMsecs;
    const auto sendAll = [&]() {
        for (int i : listOutlets)
            if (bool(pdu.info.outletStatus & (1u << (i - 1))) != bOn)
                ctx.pLink->sendTo(pdu, buildOutletSwitchFrame(i, bOn));
    };
    const auto shown = [&]() { return (pdu.info.outletStatus & mask) == (bOn ? mask : 0); };
    for (int i : listOutlets)
        ctx.pLink->sendTo(pdu, buildOutletSwitchFrame(i, bOn));
    // Only a status reply that left the PDU after the switch counts.
    const qint64 iStampAtSend = pdu.iStatusStamp;
    QElapsedTimer sinceSend;
    sinceSend.start();
    return ctx.pLink->waitUntil([&]() { return pdu.iStatusStamp > iStampAtSend && shown(); }, iTimeout,
                                kStatusPollMsecs,
                                [&]() {
                                    if (sinceSend.elapsed() >= iDelaySecs * 1000 + 2000) {
                                        sendAll();
                                        sinceSend.restart();
                                    }
                                    ctx.pLink->query(pdu, kCmdStatus);
                                });
}

} // namespace

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
    const bool bGoesOff = req.strAction != QLatin1String("on");
    if (bGoesOff) {
        const CCtlProtection protection;
        QStringList listProtected;
        for (int i : req.listOutlets)
            if (protection.isProtected(*pPdu, i))
                listProtected.append(QString::number(i));
        if (!listProtected.isEmpty() && !req.bForce) {
            *ctx.pErr << "rackmind-ctl: "
                      << RackmindCtl::tr(
                             "outlet(s) %1 of %2 are protected; nothing was switched (--force overrides)")
                             .arg(listProtected.join(QLatin1Char(',')), addressText(*pPdu))
                      << '\n';
            return kExitProtected;
        }
        if (!listProtected.isEmpty()) {
            *ctx.pErr << "rackmind-ctl: "
                      << RackmindCtl::tr("protected outlet(s) %1 of %2 switched by --force")
                             .arg(listProtected.join(QLatin1Char(',')), addressText(*pPdu))
                      << '\n';
            logForcedSwitch(macText(*pPdu), nameText(*pPdu), listProtected.join(QLatin1Char(',')),
                            req.strAction);
        }
    }
    const auto fail = [&](bool bOn) {
        *ctx.pErr << "rackmind-ctl: "
                  << (bOn ? RackmindCtl::tr("%1 did not show the outlets on in time")
                          : RackmindCtl::tr("%1 did not show the outlets off in time"))
                         .arg(addressText(*pPdu))
                  << '\n';
        return kExitNoConfirm;
    };
    if (req.strAction == QLatin1String("cycle")) {
        if (!switchAndConfirm(ctx, *pPdu, req.listOutlets, false, req.iTimeoutMsecs))
            return fail(false);
        ctx.pLink->waitUntil([]() { return false; }, req.iDelayMsecs);
    }
    const bool bOn = req.strAction != QLatin1String("off");
    if (!switchAndConfirm(ctx, *pPdu, req.listOutlets, bOn, req.iTimeoutMsecs))
        return fail(bOn);
    return kExitOk;
}
