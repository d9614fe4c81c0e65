#include "device/OutletControl.h"

#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/HistoryEvent.h"
#include "common/MacText.h"
#include "device/OutletSetControl.h"
#include "device/OutletSets.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
// How often the machine's protection list is read again, for changes made by other programs.
constexpr qint64 kProtectionRereadMs = 1000;

// Another device answers from this one's address: a frame sent there may reach either unit.
bool sharesAddress(const CPdu* pPdu)
{
    if (!g_pRackmind)
        return false;
    for (const CPdu* pOther : qAsConst(g_pRackmind->listPdu))
        if (pOther != pPdu && pOther->isOnline() && pOther->sendIPv4() == pPdu->sendIPv4())
            return true;
    return false;
}
} // namespace

COutletControl::COutletControl(QObject* parent, const QString& strJournal, const QString& strProtection)
    : QObject(parent), m_protection(strProtection), m_strJournal(strJournal)
{
    qRegisterMetaType<OutletOperation>();
    connect(&m_timer, &QTimer::timeout, this, &COutletControl::slotTick);
    m_pSets = new COutletSetControl(this, COutletSets::defaultPath());
    adoptJournal();
}

COutletControl::~COutletControl()
{
    finishAll();
}

QString COutletControl::defaultJournalPath()
{
    const QString strDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(strDir);
    return QDir(strDir).filePath(QStringLiteral("cycles.json"));
}

QString COutletControl::macOf(const CPdu* pPdu)
{
    return macDigits(pPdu->stInfo.mac);
}

void COutletControl::refreshProtection() const
{
    const qint64 iNow = Clock::elapsedMs();
    if (m_iProtectionReadMs >= 0 && iNow - m_iProtectionReadMs < kProtectionRereadMs)
        return;
    m_iProtectionReadMs = iNow;
    m_bProtectionReadable = m_protection.load();
}

QString COutletControl::protectedResult() const
{
    return m_bProtectionReadable ? QStringLiteral("refused: protected")
                                 : QStringLiteral("refused: protection list unreadable");
}

bool COutletControl::isMacKnown(const CPdu* pPdu) const
{
    return pPdu && pPdu->bMacKnown;
}

bool COutletControl::isProtectionReadable() const
{
    refreshProtection();
    return m_bProtectionReadable;
}

void COutletControl::recordOverride(CPdu* pPdu, int iOutlet, const QString& strWhat, const QString& strBy)
{
    OutletOperation op =
        describeOperation(pPdu, iOutlet, strWhat, QStringLiteral("protection overridden: %1").arg(strBy));
    op.iKind = HistoryEvent::OutletSwitched;
    op.strNew = strWhat;
    emitOperation(op);
}

bool COutletControl::isProtected(const CPdu* pPdu, int iOutlet) const
{
    if (!isMacKnown(pPdu))
        return false;
    refreshProtection();
    // Unreadable: what is protected cannot be told, so everything is.
    return !m_bProtectionReadable || m_protection.contains(macOf(pPdu), iOutlet);
}

bool COutletControl::setProtected(CPdu* pPdu, int iOutlet, bool bProtected, QString* pError)
{
    if (!pPdu || iOutlet < 1 || iOutlet > 8)
        return false;
    if (!isMacKnown(pPdu)) {
        // Until then every device shows the factory MAC: protecting it would protect them all.
        if (pError)
            *pError = tr("The device has not told its MAC address yet.");
        return false;
    }
    const QString strEntry = CProtectionList::entry(macOf(pPdu), iOutlet);
    QString strWhy;
    if (!m_protection.change(
            [&](QSet<QString>& set) { bProtected ? (void)set.insert(strEntry) : (void)set.remove(strEntry); },
            &strWhy)) {
        if (pError)
            *pError = tr("The protection list cannot be written: %1").arg(strWhy);
        return false;
    }
    m_iProtectionReadMs = Clock::elapsedMs();
    m_bProtectionReadable = true;
    report(pPdu, iOutlet, bProtected ? HistoryEvent::OutletProtected : HistoryEvent::OutletUnprotected,
           bProtected ? QStringLiteral("protect") : QStringLiteral("unprotect"), QStringLiteral("done"));
    emit signalProtectionChanged(pPdu, iOutlet);
    return true;
}

bool COutletControl::adoptProtected(const QString& strEntries)
{
    const QStringList list = strEntries.toUpper().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    m_iProtectionReadMs = Clock::elapsedMs();
    return list.isEmpty() || m_protection.change([&](QSet<QString>& set) {
        for (const QString& str : list)
            set.insert(str);
    });
}

void COutletControl::followMac(const QString& strOldMac, const QString& strNewMac)
{
    const QString strOld = strOldMac.toUpper(), strNew = strNewMac.toUpper();
    if (strOld == strNew)
        return;
    // Both stay protected until the next read: the device may not take the new MAC.
    m_protection.change([&](QSet<QString>& set) {
        for (int i = 1; i <= 8; ++i)
            if (set.contains(CProtectionList::entry(strOld, i)))
                set.insert(CProtectionList::entry(strNew, i));
    });
    m_iProtectionReadMs = Clock::elapsedMs();
}

void COutletControl::sendSwitch(CPdu* pPdu, int iOutlet, bool bOn)
{
    bool bResult = true;
    emit pPdu->signalSndData(bResult, buildOutletSwitchFrame(iOutlet, bOn), pPdu->sendAddress(),
                             pPdu->stInfo.udpPort);
}

OutletOperation describeOperation(const CPdu* pPdu, int iOutlet, const QString& strWhat,
                                  const QString& strResult)
{
    OutletOperation op;
    op.strWhat = strWhat;
    op.strPdu = deviceText(pPdu->stInfo.name);
    op.strAddress = pPdu->sendAddress().toString();
    op.strMac = macDisplay(pPdu->stInfo.mac);
    op.iOutlet = iOutlet;
    op.strResult = strResult;
    return op;
}

void COutletControl::report(CPdu* pPdu, int iOutlet, int iKind, const QString& strWhat,
                            const QString& strResult)
{
    OutletOperation op = describeOperation(pPdu, iOutlet, strWhat, strResult);
    op.iKind = iKind;
    emitOperation(op);
}

void COutletControl::emitOperation(OutletOperation op)
{
    if (!m_strActor.isEmpty())
        op.strWho = m_strActor;
    emit signalOperation(op);
}

int COutletControl::indexOf(const CPdu* pPdu, int iOutlet) const
{
    for (int i = 0; i < m_listCycles.size(); ++i)
        if (m_listCycles.at(i).pPdu == pPdu && m_listCycles.at(i).iOutlet == iOutlet)
            return i;
    return -1;
}

const COutletControl::Cycle* COutletControl::cycle(const CPdu* pPdu, int iOutlet) const
{
    const int i = indexOf(pPdu, iOutlet);
    return i < 0 ? nullptr : &m_listCycles.at(i);
}

int COutletControl::secondsLeft(const Cycle& c) const
{
    return c.rules.secondsLeft(Clock::elapsedMs());
}

void COutletControl::watch(CPdu* pPdu)
{
    connect(pPdu, &CPdu::signalReplyDecoded, this, &COutletControl::slotReplyDecoded, Qt::UniqueConnection);
    if (!m_timer.isActive())
        m_timer.start(kTickMs);
}

bool COutletControl::refusedAtSharedAddress(CPdu* pPdu, int iOutlet, const QString& strWhat)
{
    if (!sharesAddress(pPdu))
        return false;
    report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat,
           QStringLiteral("refused: another PDU answers from its address"));
    return true;
}

COutletControl::Refusal COutletControl::switchOutlet(CPdu* pPdu, int iOutlet, bool bOn)
{
    if (!pPdu)
        return RefusedNoDevice;
    const QString strWhat = bOn ? QStringLiteral("switch on") : QStringLiteral("switch off");
    if (refusedAtSharedAddress(pPdu, iOutlet, strWhat))
        return RefusedSharedAddress;
    if (!bOn && !isMacKnown(pPdu)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat,
               QStringLiteral("refused: MAC not known yet"));
        return RefusedMacUnknown;
    }
    if (!bOn && isProtected(pPdu, iOutlet)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat, protectedResult());
        return RefusedProtected;
    }
    // A cycle owns its outlet until it ends; a click in between would be undone by its "on".
    const Cycle* pCycle = cycle(pPdu, iOutlet);
    if ((pCycle && pCycle->rules.phase() != COutletCycle::Failed) || m_pSets->isOutletBusy(pPdu, iOutlet)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat, QStringLiteral("refused: cycle running"));
        return RefusedBusy;
    }
    if (pCycle) // a failed cycle watched for a late "off" gives way to the operator
        m_listCycles.removeAt(indexOf(pPdu, iOutlet));
    sendSwitch(pPdu, iOutlet, bOn);
    report(pPdu, iOutlet, 0, strWhat, QStringLiteral("sent"));
    return Accepted;
}

COutletControl::Refusal COutletControl::startCycle(CPdu* pPdu, int iOutlet, int iDelay)
{
    if (!pPdu || iOutlet < 1 || iOutlet > 8)
        return RefusedNoDevice;
    const QString strWhat = QStringLiteral("cycle");
    if (refusedAtSharedAddress(pPdu, iOutlet, strWhat))
        return RefusedSharedAddress;
    if (!isMacKnown(pPdu)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat,
               QStringLiteral("refused: MAC not known yet"));
        return RefusedMacUnknown;
    }
    if (isProtected(pPdu, iOutlet)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat, protectedResult());
        return RefusedProtected;
    }
    const int iIndex = indexOf(pPdu, iOutlet);
    if ((iIndex >= 0 && m_listCycles.at(iIndex).rules.phase() != COutletCycle::Failed) ||
        m_pSets->isOutletBusy(pPdu, iOutlet)) {
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat, QStringLiteral("refused: cycle running"));
        return RefusedBusy;
    }
    if (iIndex >= 0)
        m_listCycles.removeAt(iIndex);
    Cycle c;
    c.pPdu = pPdu;
    c.strMac = macOf(pPdu);
    c.iOutlet = iOutlet;
    c.rules = COutletCycle(iDelay, pPdu->stInfo.outletCloseDelay[iOutlet - 1],
                           pPdu->stInfo.outletOpenDelay[iOutlet - 1]);
    c.iFedMs = pPdu->iLastRcvMsecs;
    c.strActor = m_strActor;
    c.rules.start(Clock::elapsedMs());
    c.iOnDueEpochMs = Clock::now().toMSecsSinceEpoch() +
                      qint64(c.rules.delay() + pPdu->stInfo.outletCloseDelay[iOutlet - 1]) * 1000;
    m_listCycles.append(c);
    // In the journal before the "off" leaves: a program that dies right after must know of it. Not
    // recorded, an ending program would leave the outlet dark: then no cycle.
    if (!writeJournal()) {
        m_listCycles.removeLast();
        report(pPdu, iOutlet, HistoryEvent::OutletRefused, strWhat,
               QStringLiteral("refused: cycle journal cannot be written: %1").arg(m_strJournal));
        return RefusedNoJournal;
    }
    sendSwitch(pPdu, iOutlet, false);
    report(pPdu, iOutlet, HistoryEvent::CycleStarted, strWhat,
           QStringLiteral("off sent, on %1 s after it shows off").arg(c.rules.delay()));
    watch(pPdu);
    emit signalCycleChanged(pPdu, iOutlet);
    return Accepted;
}

void COutletControl::cancelCycle(CPdu* pPdu, int iOutlet)
{
    const int i = indexOf(pPdu, iOutlet);
    if (i < 0)
        return;
    Cycle& c = m_listCycles[i];
    const COutletCycle::Phase before = c.rules.phase();
    const COutletCycle::Action action = c.rules.cancel(Clock::elapsedMs());
    if (action == COutletCycle::SendOn) {
        sendSwitch(pPdu, iOutlet, true);
        report(pPdu, iOutlet, HistoryEvent::OutletCycled, QStringLiteral("cycle"),
               QStringLiteral("cancelled: on sent"));
    }
    act(c, COutletCycle::None, before);
    slotTick();
}

void COutletControl::act(Cycle& c, COutletCycle::Action action, COutletCycle::Phase before)
{
    CPdu* pPdu = c.pPdu;
    if (!pPdu || m_bEnding)
        return;
    const ActorScope actor(this, c.strActor, true);
    const int iOutlet = c.iOutlet;
    const QString strWhat = QStringLiteral("cycle");
    if (action == COutletCycle::SendOff) {
        sendSwitch(pPdu, iOutlet, false);
        report(pPdu, iOutlet, HistoryEvent::OutletCycled, strWhat,
               QStringLiteral("still on: off sent again (try %1)").arg(c.rules.offTries()));
    } else if (action == COutletCycle::SendOn) {
        sendSwitch(pPdu, iOutlet, true);
        report(pPdu, iOutlet, HistoryEvent::OutletCycled, strWhat,
               c.rules.onTries() > 1 ? QStringLiteral("still off: on sent again")
                                     : QStringLiteral("on sent"));
    }
    const COutletCycle::Phase now = c.rules.phase();
    if (now != before) {
        const QString strAfterRestart = c.rules.isResumed() ? QStringLiteral(" after restart") : QString();
        switch (now) {
        case COutletCycle::CountingOn:
            c.iOnDueEpochMs =
                Clock::now().toMSecsSinceEpoch() + c.rules.secondsLeft(Clock::elapsedMs()) * 1000LL;
            report(pPdu, iOutlet, HistoryEvent::OutletCycled, strWhat,
                   before == COutletCycle::Failed ? QStringLiteral("late off seen: carrying on")
                                                  : QStringLiteral("off seen"));
            break;
        case COutletCycle::Completed:
            report(pPdu, iOutlet, HistoryEvent::CycleCompleted, strWhat,
                   c.rules.isResumed() ? QStringLiteral("completed after restart")
                                       : QStringLiteral("completed: off seen, then on confirmed"));
            break;
        case COutletCycle::Failed:
            report(pPdu, iOutlet, HistoryEvent::CycleFailed, strWhat,
                   c.rules.isResumed()
                       ? QStringLiteral("found on after restart, never seen off: not cycled")
                       : QStringLiteral("did not switch off: no on sent, outlet left on (%1 tries)")
                             .arg(c.rules.offTries()));
            break;
        case COutletCycle::Cancelled:
            report(pPdu, iOutlet, HistoryEvent::CycleCancelled, strWhat,
                   QStringLiteral("cancelled: outlet on") + strAfterRestart);
            break;
        default:
            break;
        }
        writeJournal();
    }
    emit signalCycleChanged(pPdu, iOutlet);
}

void COutletControl::slotReplyDecoded(int iCommand)
{
    auto* pPdu = qobject_cast<CPdu*>(sender());
    if (iCommand != kCmdStatus || !pPdu)
        return;
    for (Cycle& c : m_listCycles) {
        if (c.pPdu != pPdu || pPdu->iLastRcvMsecs <= c.iFedMs)
            continue;
        c.iFedMs = pPdu->iLastRcvMsecs;
        const COutletCycle::Phase before = c.rules.phase();
        const bool bOn = (pPdu->stInfo.outletStatus >> (c.iOutlet - 1)) & 0x01;
        act(c, c.rules.observe(bOn, pPdu->iLastRcvMsecs), before);
    }
}

void COutletControl::slotTick()
{
    const qint64 iNow = Clock::elapsedMs();
    // Cycles of an earlier run join once their device has answered with its MAC; a MAC two devices
    // share waits, since either might be the one. Every device gets a few poll rounds to answer first:
    // the one heard first may be the other.
    for (int i = 0; g_pRackmind && iNow >= m_iAdoptFromMs && i < m_listOrphans.size();) {
        Cycle& o = m_listOrphans[i];
        QList<CPdu*> listMatch;
        for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
            if (isMacKnown(pPdu) && macOf(pPdu) == o.strMac && pPdu->iLastRcvMsecs >= 0)
                listMatch << pPdu;
        if (listMatch.size() != 1 || indexOf(listMatch.first(), o.iOutlet) >= 0) {
            ++i;
            continue;
        }
        Cycle c = m_listOrphans.takeAt(i);
        c.pPdu = listMatch.first();
        c.iFedMs = -1;
        m_listCycles.append(c);
        watch(c.pPdu);
        report(c.pPdu, c.iOutlet, HistoryEvent::OutletCycled, QStringLiteral("cycle"),
               QStringLiteral("found unfinished at start: resumed"));
    }
    for (int i = 0; i < m_listCycles.size(); ++i) {
        Cycle& c = m_listCycles[i];
        if (!c.pPdu)
            continue;
        c.rules.heard(c.pPdu->iLastRcvMsecs);
        const COutletCycle::Phase before = c.rules.phase();
        act(c, c.rules.tick(iNow), before);
    }
    const auto itEnd = std::remove_if(m_listCycles.begin(), m_listCycles.end(), [&](const Cycle& c) {
        return !c.pPdu || (c.rules.isOver() && c.rules.isWatchOver(iNow));
    });
    if (itEnd != m_listCycles.end()) {
        m_listCycles.erase(itEnd, m_listCycles.end());
        writeJournal();
    }
    m_pSets->tick(iNow);
    if (m_listCycles.isEmpty() && m_listOrphans.isEmpty() && m_pSets->isIdle())
        m_timer.stop();
}

void COutletControl::finishAll()
{
    if (m_bEnding)
        return;
    m_timer.stop();
    for (Cycle& c : m_listCycles) {
        if (!c.pPdu || c.rules.isOver())
            continue;
        sendSwitch(c.pPdu, c.iOutlet, true);
        report(c.pPdu, c.iOutlet, HistoryEvent::OutletCycled, QStringLiteral("cycle"),
               QStringLiteral("on sent at exit"));
    }
    m_pSets->finishAll();
    m_bEnding = true;
    // What is still running stays in the journal: the next start checks that it came on.
    m_listCycles.erase(std::remove_if(m_listCycles.begin(), m_listCycles.end(),
                                      [](const Cycle& c) { return c.rules.isOver(); }),
                       m_listCycles.end());
    writeJournal();
    m_listCycles.clear();
}

void COutletControl::adoptJournal()
{
    QFile file(m_strJournal);
    if (m_strJournal.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    const qint64 iNowEpoch = Clock::now().toMSecsSinceEpoch();
    const qint64 iNow = Clock::elapsedMs();
    m_iAdoptFromMs = iNow + kAdoptAfterMs;
    const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
    m_pSets->adoptJournal(array);
    for (const QJsonValue& value : array) {
        const QJsonObject o = value.toObject();
        Cycle c;
        c.strMac = o.value(QLatin1String("mac")).toString().toUpper();
        c.iOutlet = o.value(QLatin1String("outlet")).toInt();
        if (c.strMac.size() != 12 || c.iOutlet < 1 || c.iOutlet > 8)
            continue;
        c.rules = COutletCycle(o.value(QLatin1String("delay")).toInt(),
                               o.value(QLatin1String("closeDelay")).toInt(),
                               o.value(QLatin1String("openDelay")).toInt());
        c.iOnDueEpochMs = qint64(o.value(QLatin1String("onDue")).toDouble());
        // A wall clock stepped since then must not stretch the wait beyond the cycle's delay.
        const qint64 iLeft = qBound<qint64>(0, c.iOnDueEpochMs - iNowEpoch, c.rules.delay() * 1000LL);
        c.rules.resume(iNow, iNow + iLeft, o.value(QLatin1String("offSeen")).toBool());
        m_listOrphans.append(c);
    }
    if (!m_listOrphans.isEmpty() || !m_pSets->isIdle())
        m_timer.start(kTickMs);
    // A sequence found interrupted is reported once: the journal forgets it now.
    if (m_pSets->sequence().state == SequenceView::Interrupted)
        writeJournal();
}

bool COutletControl::writeJournal()
{
    if (m_strJournal.isEmpty())
        return true;
    // Sets and sequences beside the single cycles: an older program skips entries without a MAC.
    QJsonArray array = m_pSets->journalEntries();
    for (const QList<Cycle>* pList : {&m_listCycles, &m_listOrphans})
        for (const Cycle& c : *pList) {
            if (c.rules.isOver())
                continue;
            array.append(QJsonObject{{QStringLiteral("mac"), c.strMac},
                                     {QStringLiteral("outlet"), c.iOutlet},
                                     {QStringLiteral("delay"), c.rules.delay()},
                                     {QStringLiteral("closeDelay"), c.rules.closeDelay()},
                                     {QStringLiteral("openDelay"), c.rules.openDelay()},
                                     {QStringLiteral("onDue"), double(c.iOnDueEpochMs)},
                                     {QStringLiteral("offSeen"), c.rules.isOffSeen()}});
        }
    if (array.isEmpty())
        return QFile::remove(m_strJournal) || !QFile::exists(m_strJournal);
    // Written whole and synced before it replaces the old one: a power loss leaves one or the other.
    QSaveFile file(m_strJournal);
    return file.open(QIODevice::WriteOnly) &&
           file.write(QJsonDocument(array).toJson(QJsonDocument::Compact)) >= 0 && file.commit();
}
