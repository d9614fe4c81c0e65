#include "device/OutletControl.h"

#include "device/Clock.h"
#include "device/Pdu.h"
#include "device/Protocol.h"

#include <algorithm>

COutletControl* g_pOutletControl = nullptr;

COutletControl::COutletControl(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<OutletOperation>();
    connect(&m_timer, &QTimer::timeout, this, &COutletControl::slotTick);
}

COutletControl::~COutletControl()
{
    finishAll();
    if (g_pOutletControl == this)
        g_pOutletControl = nullptr;
}

QString COutletControl::key(const CPdu* pPdu, int iOutlet)
{
    const QByteArray baMac(reinterpret_cast<const char*>(pPdu->stInfo.mac), 6);
    return QString::fromLatin1(baMac.toHex().toUpper()) + QLatin1Char('/') + QString::number(iOutlet);
}

bool COutletControl::isProtected(const CPdu* pPdu, int iOutlet) const
{
    return pPdu && m_setProtected.contains(key(pPdu, iOutlet));
}

void COutletControl::setProtected(CPdu* pPdu, int iOutlet, bool bProtected)
{
    if (!pPdu || iOutlet < 1 || iOutlet > 8 || isProtected(pPdu, iOutlet) == bProtected)
        return;
    if (bProtected)
        m_setProtected.insert(key(pPdu, iOutlet));
    else
        m_setProtected.remove(key(pPdu, iOutlet));
    report(pPdu, iOutlet, bProtected ? QStringLiteral("protect") : QStringLiteral("unprotect"),
           QStringLiteral("done"));
    emit signalProtectionChanged(pPdu, iOutlet);
}

QString COutletControl::protectedText() const
{
    QStringList list = m_setProtected.values();
    list.sort();
    return list.join(QLatin1Char(' '));
}

void COutletControl::setProtectedText(const QString& strText)
{
    m_setProtected.clear();
    for (const QString& strEntry : strText.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        m_setProtected.insert(strEntry.toUpper());
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
    op.strPdu =
        QString::fromUtf8(pPdu->stInfo.name, int(qstrnlen(pPdu->stInfo.name, sizeof pPdu->stInfo.name)));
    op.strAddress = pPdu->sendAddress().toString();
    const QByteArray baMac(reinterpret_cast<const char*>(pPdu->stInfo.mac), 6);
    op.strMac = QString::fromLatin1(baMac.toHex(':').toUpper());
    op.iOutlet = iOutlet;
    op.strResult = strResult;
    return op;
}

void COutletControl::report(CPdu* pPdu, int iOutlet, const QString& strWhat, const QString& strResult)
{
    emit signalOperation(describeOperation(pPdu, iOutlet, strWhat, strResult));
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
    if (c.bOnSent)
        return 0;
    return int(std::max<qint64>(0, (c.iOnDueMsecs - Clock::monotonicMsecs() + 999) / 1000));
}

COutletControl::Refusal COutletControl::switchOutlet(CPdu* pPdu, int iOutlet, bool bOn)
{
    if (!pPdu)
        return RefusedNoDevice;
    const QString strWhat = bOn ? QStringLiteral("switch on") : QStringLiteral("switch off");
    if (!bOn && isProtected(pPdu, iOutlet)) {
        report(pPdu, iOutlet, strWhat, QStringLiteral("refused: protected"));
        return RefusedProtected;
    }
    // A cycle owns its outlet until it ends; a click in between would be undone by its "on".
    if (indexOf(pPdu, iOutlet) >= 0) {
        report(pPdu, iOutlet, strWhat, QStringLiteral("refused: cycle running"));
        return RefusedBusy;
    }
    sendSwitch(pPdu, iOutlet, bOn);
    report(pPdu, iOutlet, strWhat, QStringLiteral("sent"));
    return Accepted;
}

COutletControl::Refusal COutletControl::startCycle(CPdu* pPdu, int iOutlet, int iDelay)
{
    if (!pPdu || iOutlet < 1 || iOutlet > 8)
        return RefusedNoDevice;
    if (isProtected(pPdu, iOutlet)) {
        report(pPdu, iOutlet, QStringLiteral("cycle"), QStringLiteral("refused: protected"));
        return RefusedProtected;
    }
    if (indexOf(pPdu, iOutlet) >= 0) {
        report(pPdu, iOutlet, QStringLiteral("cycle"), QStringLiteral("refused: cycle running"));
        return RefusedBusy;
    }
    Cycle c;
    c.pPdu = pPdu;
    c.iOutlet = iOutlet;
    c.iDelay = qBound(kMinDelay, iDelay, kMaxDelay);
    c.iStartMsecs = Clock::monotonicMsecs();
    c.iOnDueMsecs = c.iStartMsecs + 1000 * qint64(c.iDelay + pPdu->stInfo.outletCloseDelay[iOutlet - 1]);
    m_listCycles.append(c);
    sendSwitch(pPdu, iOutlet, false);
    report(pPdu, iOutlet, QStringLiteral("cycle"), QStringLiteral("off sent, on in %1 s").arg(c.iDelay));
    if (!m_timer.isActive())
        m_timer.start(kTickMs);
    emit signalCycleChanged(pPdu, iOutlet);
    return Accepted;
}

void COutletControl::cancelCycle(CPdu* pPdu, int iOutlet)
{
    const int i = indexOf(pPdu, iOutlet);
    if (i < 0)
        return;
    m_listCycles.removeAt(i);
    report(pPdu, iOutlet, QStringLiteral("cycle"), QStringLiteral("cancelled"));
    emit signalCycleChanged(pPdu, iOutlet);
}

void COutletControl::sendOn(Cycle& c, const QString& strResult)
{
    c.bOnSent = true;
    c.bNoAnswer = false;
    c.iLastOnMsecs = Clock::monotonicMsecs();
    ++c.iOnCount;
    sendSwitch(c.pPdu, c.iOutlet, true);
    report(c.pPdu, c.iOutlet, QStringLiteral("cycle on"), strResult);
}

void COutletControl::slotTick()
{
    const qint64 iNow = Clock::monotonicMsecs();
    for (int i = 0; i < m_listCycles.size();) {
        Cycle& c = m_listCycles[i];
        CPdu* pPdu = c.pPdu;
        if (!pPdu) {
            m_listCycles.removeAt(i);
            continue;
        }
        const int iOutlet = c.iOutlet;
        const bool bOn = (pPdu->stInfo.outletStatus >> (iOutlet - 1)) & 0x01;
        if (!c.bOnSent) {
            if (!c.bOffSeen && !bOn && pPdu->iLastRcvMsecs > c.iStartMsecs) {
                c.bOffSeen = true;
                c.iOnDueMsecs = pPdu->iLastRcvMsecs + 1000 * qint64(c.iDelay);
            }
            if (iNow >= c.iOnDueMsecs)
                sendOn(c, pPdu->isOnline() ? QStringLiteral("sent") : QStringLiteral("sent: no answer"));
            // Once a tick is enough for a countdown in whole seconds.
            emit signalCycleChanged(pPdu, iOutlet);
            ++i;
            continue;
        }
        const bool bHeard = pPdu->iLastRcvMsecs > c.iLastOnMsecs;
        const qint64 iSinceOn = iNow - c.iLastOnMsecs;
        if (bHeard && bOn) {
            report(pPdu, iOutlet, QStringLiteral("cycle"), QStringLiteral("confirmed on"));
            m_listCycles.removeAt(i);
            emit signalCycleChanged(pPdu, iOutlet);
            continue;
        }
        if (!bHeard && !c.bNoAnswer && iSinceOn >= kAnswerWaitMs) {
            c.bNoAnswer = true;
            report(pPdu, iOutlet, QStringLiteral("cycle on"), QStringLiteral("no answer: retrying"));
            emit signalCycleChanged(pPdu, iOutlet);
        } else if (bHeard && !bOn &&
                   iSinceOn >= qint64(pPdu->stInfo.outletOpenDelay[iOutlet - 1]) * 1000 + kAnswerWaitMs) {
            // Answering, past its own switch-on delay, and still off: the "on" was lost on the way, or the
            // device was silent when it came. Sooner would restart the device's own delay.
            sendOn(c, c.bNoAnswer ? QStringLiteral("sent again: answering again")
                                  : QStringLiteral("sent again: still off"));
            emit signalCycleChanged(pPdu, iOutlet);
        }
        ++i;
    }
    if (m_listCycles.isEmpty())
        m_timer.stop();
}

void COutletControl::finishAll()
{
    const QList<Cycle> listCycles = m_listCycles;
    m_listCycles.clear();
    m_timer.stop();
    for (const Cycle& c : listCycles) {
        if (!c.pPdu)
            continue;
        sendSwitch(c.pPdu, c.iOutlet, true);
        report(c.pPdu, c.iOutlet, QStringLiteral("cycle on"), QStringLiteral("sent at exit"));
    }
}
