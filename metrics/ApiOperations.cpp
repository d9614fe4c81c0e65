#include "metrics/ApiOperations.h"

#include "common/HistoryEvent.h"
#include "common/MacText.h"
#include "device/AlarmTracker.h"
#include "device/OutletControl.h"
#include "device/OutletSetControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "metrics/ApiSnapshot.h"

#include <QMetaObject>

#include <algorithm>
#include <cstring>

namespace {

QByteArray pduPath(const QString& strMac)
{
    return "/api/v1/pdus/" + strMac.toLatin1();
}

ApiAnswer underWay(const QByteArray& baFollow, const QString& strResult)
{
    // What the device shows is what counts: the caller follows the resource until it shows it.
    ApiAnswer answer;
    answer.iStatus = 202;
    answer.baLocation = baFollow;
    answer.baJson = "{\"result\":";
    appendJsonString(answer.baJson, strResult);
    answer.baJson += ",\"follow\":";
    appendJsonString(answer.baJson, QString::fromLatin1(baFollow));
    answer.baJson += '}';
    return answer;
}

// Restores the console as the one on record once the call is carried out.
class ActorScope
{
public:
    ActorScope(COutletControl* pControl, const QString& strUser) : m_pControl(pControl)
    {
        m_pControl->setActor(QStringLiteral("API user %1").arg(strUser));
    }
    ~ActorScope() { m_pControl->setActor(QString()); }

private:
    COutletControl* m_pControl;
};

// The file is read by the run itself: whether the name is in it is known only after.
ApiAnswer setAnswer(COutletSetControl::Result result, const QString& strWhy, bool bKnown,
                    const char* pszUnknown)
{
    if (result == COutletSetControl::Accepted)
        return underWay("/api/v1/sets", QStringLiteral("started"));
    if (result == COutletSetControl::NeedsOverride)
        return apiError(409, "protected", strWhy);
    return apiError(bKnown ? 409 : 404, bKnown ? "refused" : pszUnknown, strWhy);
}

} // namespace

ApiAnswer apiError(int iStatus, const char* pszError, const QString& strMessage)
{
    ApiAnswer answer;
    answer.iStatus = iStatus;
    answer.baJson = "{\"error\":\"";
    answer.baJson += pszError;
    answer.baJson += "\",\"message\":";
    appendJsonString(answer.baJson, strMessage);
    answer.baJson += '}';
    return answer;
}

CApiOperations::CApiOperations(CRackmind* pRegistry, COutletControl* pControl, CAlarmTracker* pTracker,
                               QObject* parent)
    : QObject(parent), m_pRegistry(pRegistry), m_pControl(pControl), m_pTracker(pTracker)
{
}

void CApiOperations::setIndex(const QHash<QString, CPdu*>& hashByMac)
{
    m_hashByMac.clear();
    m_hashByMac.reserve(hashByMac.size());
    for (auto it = hashByMac.cbegin(); it != hashByMac.cend(); ++it)
        m_hashByMac.insert(it.key(), it.value());
}

std::future<ApiAnswer> CApiOperations::submit(const ApiCall& call)
{
    auto pPromise = std::make_shared<std::promise<ApiAnswer>>();
    std::future<ApiAnswer> future = pPromise->get_future();
    // Dropped, and the promise broken, when this object goes before the room's thread gets to it.
    QMetaObject::invokeMethod(
        this, [this, call, pPromise] { pPromise->set_value(perform(call)); }, Qt::QueuedConnection);
    return future;
}

ApiAnswer CApiOperations::perform(const ApiCall& call)
{
    if (!m_pControl || !m_pRegistry)
        return apiError(503, "unavailable", QStringLiteral("the room is not running"));
    const ActorScope actor(m_pControl, call.strUser);
    switch (call.kind) {
    case ApiCall::Outlet:
        return outlet(call);
    case ApiCall::Set:
        return set(call);
    case ApiCall::Sequence:
        return sequence(call);
    case ApiCall::Acknowledge:
        return acknowledge(call);
    }
    return apiError(500, "internal", QString());
}

ApiAnswer CApiOperations::outlet(const ApiCall& call)
{
    // The server found the PDU in its snapshot; the registry may have changed since.
    CPdu* pPdu = m_hashByMac.value(call.strTarget);
    if (pPdu && (!pPdu->bMacKnown || macDigits(pPdu->stInfo.mac) != call.strTarget))
        pPdu = nullptr;
    if (!pPdu)
        return apiError(404, "unknown_pdu", QStringLiteral("no PDU with the MAC %1").arg(call.strTarget));
    // A MAC two units tell names neither for certain: switching one could cut the other's load.
    const auto sameMac = [pPdu](const CPdu* pOther) {
        return pOther->bMacKnown &&
               std::memcmp(pOther->stInfo.mac, pPdu->stInfo.mac, sizeof pPdu->stInfo.mac) == 0;
    };
    if (std::count_if(m_pRegistry->listPdu.cbegin(), m_pRegistry->listPdu.cend(), sameMac) > 1)
        return apiError(
            409, "shared_mac",
            QStringLiteral("two PDUs report the MAC %1: nothing was switched").arg(call.strTarget));
    if (!pPdu->isOnline())
        return apiError(409, "offline", QStringLiteral("the PDU is offline: nothing was switched"));
    const COutletControl::Refusal refusal =
        call.strAction == QLatin1String("cycle")
            ? m_pControl->startCycle(pPdu, call.iOutlet,
                                     call.iDelay < 0 ? COutletControl::kDefaultDelay : call.iDelay)
            : m_pControl->switchOutlet(pPdu, call.iOutlet, call.strAction == QLatin1String("on"));
    if (refusal == COutletControl::Accepted && call.strAction != QLatin1String("cycle")) {
        // The console's switch is logged by its window; this one by whom it was asked.
        OutletOperation op = describeOperation(
            pPdu, call.iOutlet, QStringLiteral("switch %1").arg(call.strAction), QStringLiteral("sent"));
        op.iKind = HistoryEvent::OutletSwitched;
        op.strNew = call.strAction;
        m_pControl->emitOperation(op);
    }
    switch (refusal) {
    case COutletControl::Accepted:
        return underWay(pduPath(call.strTarget), call.strAction == QLatin1String("cycle")
                                                     ? QStringLiteral("cycle started")
                                                     : QStringLiteral("sent"));
    case COutletControl::RefusedProtected:
        return apiError(409, "protected",
                        QStringLiteral("outlet %1 is protected: it is not switched off or cycled until "
                                       "it is unprotected")
                            .arg(call.iOutlet));
    case COutletControl::RefusedBusy:
        return apiError(409, "busy",
                        QStringLiteral("outlet %1 is being cycled or switched").arg(call.iOutlet));
    case COutletControl::RefusedMacUnknown:
        return apiError(409, "mac_unknown", QStringLiteral("the PDU has not told its MAC yet"));
    case COutletControl::RefusedNoJournal:
        return apiError(503, "no_journal", QStringLiteral("the cycle journal cannot be written"));
    case COutletControl::RefusedSharedAddress:
        return apiError(409, "shared_address",
                        QStringLiteral("another PDU answers from the same address: nothing was sent"));
    case COutletControl::RefusedNoDevice:
        break;
    }
    return apiError(404, "unknown_pdu", QStringLiteral("no such PDU or outlet"));
}

ApiAnswer CApiOperations::set(const ApiCall& call)
{
    COutletSetControl* pSets = m_pControl->outletSets();
    const COutletSetControl::Operation op =
        call.strAction == QLatin1String("on")    ? COutletSetControl::SwitchOn
        : call.strAction == QLatin1String("off") ? COutletSetControl::SwitchOff
                                                 : COutletSetControl::Cycle;
    QString strWhy;
    const COutletSetControl::Result result =
        pSets->runSet(call.strTarget, op, call.iDelay < 0 ? COutletControl::kDefaultDelay : call.iDelay,
                      call.bOverride, &strWhy);
    return setAnswer(result, strWhy, pSets->file().data().mapSets.contains(call.strTarget), "unknown_set");
}

ApiAnswer CApiOperations::sequence(const ApiCall& call)
{
    COutletSetControl* pSets = m_pControl->outletSets();
    const SequenceView& view = pSets->sequence();
    if (call.strAction == QLatin1String("start")) {
        QString strWhy;
        const COutletSetControl::Result result =
            pSets->startSequence(call.strTarget, call.bOverride, &strWhy);
        return setAnswer(result, strWhy, pSets->file().data().mapSequences.contains(call.strTarget),
                         "unknown_sequence");
    }
    // Pause, resume and cancel act on the sequence that runs, which must be the one named.
    if (!view.isRunning() || view.strName != call.strTarget)
        return apiError(409, "not_running",
                        QStringLiteral("the sequence %1 is not running").arg(call.strTarget));
    if (call.strAction == QLatin1String("pause"))
        pSets->pauseSequence();
    else if (call.strAction == QLatin1String("resume"))
        pSets->resumeSequence();
    else
        pSets->cancelSequence();
    return underWay("/api/v1/sets", QStringLiteral("done"));
}

ApiAnswer CApiOperations::acknowledge(const ApiCall& call)
{
    if (!m_pTracker)
        return apiError(404, "unknown_alarm", QStringLiteral("no such alarm"));
    bool bOk = false;
    const quint64 uiId = call.strTarget.toULongLong(&bOk);
    if (!bOk || !m_pTracker->acknowledge(uiId, QStringLiteral("API user %1").arg(call.strUser))) {
        for (const ActiveAlarm& alarm : m_pTracker->activeAlarms()) {
            if (alarm.uiId == uiId)
                return apiError(409, "acknowledged", QStringLiteral("the alarm was acknowledged already"));
        }
        return apiError(404, "unknown_alarm", QStringLiteral("no alarm %1 holds").arg(call.strTarget));
    }
    ApiAnswer answer;
    answer.baJson = "{\"result\":\"acknowledged\"}";
    return answer;
}
