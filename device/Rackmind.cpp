#include "device/Rackmind.h"

#include "common/Clock.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/UdpDriver.h"
#include "settings/SettingsFile.h"

#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <cstring>

CRackmind* g_pRackmind = nullptr;

namespace {
constexpr uint kDefaultDevicePort = 51230;
constexpr int kPortFileSlots = 1024;
constexpr uint kMaxPort = 65535;
const char* const kPortFileName = "port.prt";

// A value as a warning shows it: one short line, whatever the file holds.
QString shownValue(const QString& strValue)
{
    constexpr int kShownChars = 40;
    QString str = strValue.left(kShownChars);
    for (QChar& ch : str)
        if (!ch.isPrint())
            ch = QLatin1Char('?');
    return strValue.size() > kShownChars ? str + QStringLiteral("...") : str;
}
} // namespace

CRackmind::CRackmind(QObject* parent) : QObject(parent)
{
    listDevicePort.append(kDefaultDevicePort);
    QList<uint> listRead;
    QString strWhy;
    readPortFile(QString::fromLatin1(kPortFileName), &listRead, &strWhy);
    for (uint port : qAsConst(listRead)) {
        if (!listDevicePort.contains(port)) {
            listDevicePort.append(port);
        }
    }
    // What can be read of a file with a mistake in it is polled; the mistake is said.
    if (!PollTargets::readFile(QString::fromLatin1(PollTargets::kFileName), &targets, &strWhy))
        qWarning("%s", qPrintable(strWhy));
}

bool CRackmind::reloadTargets(bool* pbChanged, QString* pstrWhy)
{
    PollTargetList list;
    // A file half written or mistyped keeps what is polled, as for the ports.
    if (!PollTargets::readFile(QString::fromLatin1(PollTargets::kFileName), &list, pstrWhy))
        return false;
    *pbChanged = list != targets;
    targets = list;
    emit signalUpdateTargets(targets);
    return true;
}

bool CRackmind::setTargets(const PollTargetList& list)
{
    if (!PollTargets::writeFile(QString::fromLatin1(PollTargets::kFileName), list))
        return false;
    targets = list;
    emit signalUpdateTargets(targets);
    return true;
}

bool CRackmind::readPortFile(const QString& strFile, QList<uint>* pList, QString* pstrWhy)
{
    // No file lists no ports, as at a first start; something else in its place is a mistake to keep out.
    bool bPresent = false;
    if (!isReadableListFile(strFile, &bPresent, pstrWhy) || !bPresent)
        return !bPresent;
    QSettings portFile(strFile, QSettings::IniFormat);
    QStringList listBad;
    const bool bRead = readSettingsGuarded([&] {
        for (int i = 0; i < kPortFileSlots; ++i) {
            const QString key = QStringLiteral("%1/port").arg(i);
            if (!portFile.contains(key)) {
                continue;
            }
            // Read whole: a conversion to 32 bits would wrap 4294973296 round to 6000. What is not a
            // port is said and left out; polling port 0 would only hide the mistake.
            bool bOk = false;
            const QString strValue = portFile.value(key).toString();
            const qulonglong uiValue = strValue.toULongLong(&bOk);
            if (bOk && uiValue >= 1 && uiValue <= kMaxPort) {
                pList->append(uint(uiValue));
            } else {
                qWarning("%s: [%d] port=%s is not a port (1-65535); skipped", qPrintable(strFile), i,
                         qPrintable(shownValue(strValue)));
                listBad.append(QStringLiteral("[%1] port=%2").arg(i).arg(shownValue(strValue)));
            }
        }
    });
    if (!bRead)
        pList->clear();
    if (!bRead || portFile.status() != QSettings::NoError) {
        *pstrWhy = QStringLiteral("%1 cannot be read").arg(strFile);
        return false;
    }
    if (!listBad.isEmpty())
        *pstrWhy = QStringLiteral("%1 holds what is not a port: %2")
                       .arg(strFile, listBad.join(QStringLiteral(", ")));
    return listBad.isEmpty();
}

QString CRackmind::portsText(const QList<uint>& listPorts)
{
    QStringList list;
    for (uint uiPort : listPorts)
        list << QString::number(uiPort);
    return list.isEmpty() ? QStringLiteral("none") : list.join(QLatin1Char(','));
}

bool CRackmind::reloadDevicePort(QList<uint>* pAdded, QList<uint>* pRemoved, QString* pstrWhy)
{
    QList<uint> listRead;
    // A file half written or mistyped keeps what is polled: dropping ports would take their PDUs offline.
    if (!readPortFile(QString::fromLatin1(kPortFileName), &listRead, pstrWhy))
        return false;
    QList<uint> listNew{kDefaultDevicePort};
    for (uint port : qAsConst(listRead))
        if (!listNew.contains(port))
            listNew.append(port);
    for (uint port : qAsConst(listNew))
        if (!listDevicePort.contains(port))
            pAdded->append(port);
    for (uint port : qAsConst(listDevicePort))
        if (!listNew.contains(port))
            pRemoved->append(port);
    // What the operator took out stays out, though a known device still reports that port.
    m_listPortsDropped += *pRemoved;
    m_listPortsDropped.erase(std::remove_if(m_listPortsDropped.begin(), m_listPortsDropped.end(),
                                            [&](uint port) { return listNew.contains(port); }),
                             m_listPortsDropped.end());
    listDevicePort = listNew;
    emit signalUpdateDevicePort(listDevicePort);
    return true;
}

CRackmind::~CRackmind()
{
    if (g_pRackmind == this) {
        g_pRackmind = nullptr;
    }
}

void CRackmind::setAlarmTracker(CAlarmTracker* pTracker)
{
    m_pAlarmTracker = pTracker;
    for (CPdu* pPdu : qAsConst(listPdu))
        pPdu->pAlarmTracker = pTracker;
}

CPdu* CRackmind::addPdu(uint ip)
{
    auto* pPdu = new CPdu(this);
    pPdu->pAlarmTracker = m_pAlarmTracker;
    pPdu->setObjectName(QStringLiteral("Pdu"));
    ipv4FromUint(ip, pPdu->stInfo.ip);
    pPdu->uiSourceIP = ip;
    connect(pPdu, &CPdu::signalSndData, this, &CRackmind::signalSndData);
    connect(pPdu, &CPdu::signalChangeIP, this, &CRackmind::signalChangeIP);
    connect(pPdu, &CPdu::signalMacKnown, this, [this, pPdu] {
        onMacKnown(pPdu);
        emit signalDeviceMacKnown(pPdu);
    });
    connect(pPdu, &CPdu::signalMovePending, this, [this, pPdu] { onMovePending(pPdu); });
    const bool bIndexed = m_iIndexedCount == listPdu.size();
    listPdu.append(pPdu);
    if (bIndexed) {
        indexDevice(pPdu, listPdu.size() - 1);
        m_iIndexedCount = listPdu.size();
    }
    updateDevicePort();
    emit signalNewDevice(pPdu);
    return pPdu;
}

void CRackmind::connectTransport(CUdpDriver* pDriver)
{
    connect(this, &CRackmind::signalUpdateDevicePort, pDriver, &CUdpDriver::slotUpdateDevicePort);
    connect(this, &CRackmind::signalSndData, pDriver, &CUdpDriver::slotSndData);
    connect(this, &CRackmind::signalUpdateTargets, pDriver, &CUdpDriver::slotUpdateTargets);
    connect(pDriver, &CUdpDriver::signalRcvBatch, this, &CRackmind::slotRcvBatch);
}

void CRackmind::updateDevicePort()
{
    for (const CPdu* pPdu : qAsConst(listPdu)) {
        if (!listDevicePort.contains(pPdu->stInfo.udpPort) &&
            !m_listPortsDropped.contains(pPdu->stInfo.udpPort)) {
            listDevicePort.append(pPdu->stInfo.udpPort);
        }
    }
    emit signalUpdateDevicePort(listDevicePort);
}

int CRackmind::onlineCount() const
{
    return int(std::count_if(listPdu.cbegin(), listPdu.cend(), [](const CPdu* p) { return p->isOnline(); }));
}

int CRackmind::abnormalCount() const
{
    return int(
        std::count_if(listPdu.cbegin(), listPdu.cend(), [](const CPdu* p) { return p->isAbnormal(); }));
}

void CRackmind::slotRcvData(QNetworkDatagram ndDatagram)
{
    bool bIPv4 = false;
    const quint32 sender = ndDatagram.senderAddress().toIPv4Address(&bIPv4);
    if (bIPv4)
        route(sender, ndDatagram.data());
}

void CRackmind::slotRcvBatch(std::shared_ptr<CReplyQueue> pQueue)
{
    bool bMore = false;
    const QVector<DatagramBatch> vecBatch = pQueue->take(kDatagramsPerTurn, &bMore);
    for (const DatagramBatch& batch : vecBatch)
        for (const DatagramBatch::Entry& entry : batch.vecEntry)
            route(entry.uiSender, batch.data(entry));
    if (bMore)
        QMetaObject::invokeMethod(
            this, [this, pQueue] { slotRcvBatch(pQueue); }, Qt::QueuedConnection);
}

void CRackmind::route(quint32 sender, const QByteArray& data)
{
    // Nothing can be sent back to the unspecified address, so no device is ever found there.
    if (sender == 0) {
        return;
    }
    // A device is the host its datagrams come from, whatever address its replies report: a stale
    // configured address or one translated on the way must not make a new device of every reply.
    CPdu* pPdu = findBySource(sender);
    if (pPdu) {
        if (CPdu* pFor = takenOver(pPdu, sender, data))
            deliver(pFor, data);
        return;
    }
    // Only a genuine reply reaches further: a stray packet or another console's query must neither
    // complete a move nor show up as an online PDU.
    if (!isAcceptedReply(data)) {
        return;
    }
    // A device just moved by a download answers from its new address: it is still the same device, and
    // it is found there from now on. The move is open only for a while.
    const qint64 iNow = Clock::elapsedMs();
    pPdu = movingTo(sender, iNow);
    // Moved outside this console (front panel, DHCP, another console): known by the MAC its network reply
    // carries. Until that reply has come, and while the device of that MAC still answers where it was,
    // the new sender's replies wait a while; past that it is a device of its own.
    if (!pPdu && !holdWhileUnknown(sender, data, iNow, &pPdu))
        return;
    const QList<QByteArray> listHeld = m_hashHeld.take(sender).listData;
    if (pPdu) {
        setSource(pPdu, sender);
        endMove(pPdu);
    } else {
        // Past the limit the known devices go on as before.
        if (listPdu.size() >= m_iDeviceLimit) {
            return;
        }
        pPdu = addPdu(sender);
    }
    for (const QByteArray& baHeld : listHeld)
        deliver(pPdu, baHeld);
    deliver(pPdu, data);
}

void CRackmind::deliver(CPdu* pPdu, const QByteArray& data)
{
    pPdu->slotRcvData(data);
    emit signalDeviceAnswered(pPdu);
}

bool CRackmind::holdWhileUnknown(quint32 sender, const QByteArray& data, qint64 iNow, CPdu** ppMoved)
{
    bool bWait = false;
    if (frameCommand(data) == kCmdNetwork) {
        quint8 aMac[6];
        decodeNetworkMac(framePayload(data), aMac);
        CPdu* pSameMac = deviceWithMac(aMac);
        if (pSameMac && !pSameMac->isOnline())
            *ppMoved = pSameMac;
        bWait = pSameMac && pSameMac->isOnline();
    } else {
        ensureIndex();
        bWait = !m_hashByMac.isEmpty(); // some device has told a MAC of its own
    }
    if (!bWait)
        return true;
    auto it = m_hashHeld.find(sender);
    if (it == m_hashHeld.end()) {
        // A sender heard once and never again must not keep its place: a full table lets every new
        // sender through at once, a moved device's first replies too.
        for (auto itOld = m_hashHeld.begin(); m_hashHeld.size() >= kHeldSenders && itOld != m_hashHeld.end();)
            itOld = iNow - itOld->iSinceMsecs >= kHoldMsecs ? m_hashHeld.erase(itOld) : std::next(itOld);
        if (m_hashHeld.size() >= kHeldSenders)
            return true;
        it = m_hashHeld.insert(sender, Held{iNow, {}});
    }
    if (iNow - it->iSinceMsecs >= kHoldMsecs)
        return true;
    // A copy: a datagram of a batch only borrows the batch's memory, which is gone when it is delivered.
    if (it->listData.size() < kHeldPerSender)
        it->listData.append(QByteArray(data.constData(), data.size()));
    return false;
}

namespace {
quint64 macKey(const quint8 (&mac)[6])
{
    if (isFactoryMac(mac))
        return 0;
    quint64 uiKey = 1;
    for (quint8 b : mac)
        uiKey = uiKey << 8 | b;
    return uiKey;
}
} // namespace

CPdu* CRackmind::takenOver(CPdu* pPdu, quint32 sender, const QByteArray& data)
{
    const auto itClaim = m_hashClaim.find(sender);
    if (itClaim != m_hashClaim.end()) {
        pPdu = settleClaim(itClaim, pPdu, sender, data);
        if (!pPdu)
            return nullptr;
    }
    const auto itShared = m_hashShared.find(sender);
    const auto itNewcomer = m_hashNewcomer.find(sender);
    const bool bUndecided = itNewcomer != m_hashNewcomer.end() &&
                            Clock::elapsedMs() - itNewcomer->iSinceMsecs < CPdu::kOnlineMsecs;
    if (frameCommand(data) != kCmdNetwork || !pPdu->hasKnownMac() || !isAcceptedReply(data)) {
        if (itShared != m_hashShared.end())
            return itShared->replyOf(pPdu, sender, frameCommand(data));
        return bUndecided ? nullptr : pPdu;
    }
    // A reply carrying this device's own MAC is its own, even where a second device of that MAC exists.
    quint8 aReported[6];
    decodeNetworkMac(framePayload(data), aReported);
    // A MAC this console wrote to the device is its own too: the unit here took it, no second one came.
    const bool bOwn = std::memcmp(aReported, pPdu->stInfo.mac, sizeof aReported) == 0 ||
                      std::memcmp(aReported, pPdu->stSetInfo.mac, sizeof aReported) == 0;
    CPdu* pOwner = bOwn ? pPdu : deviceWithMac(aReported);
    if (pOwner && pOwner->uiSourceIP == sender) {
        if (itShared != m_hashShared.end())
            itShared->told(pOwner);
        if (pOwner == pPdu && itNewcomer != m_hashNewcomer.end()) {
            if (bUndecided)
                itNewcomer->bFirstToldSince = true;
            else
                m_hashNewcomer.erase(itNewcomer);
        }
        return pOwner;
    }
    if (!pOwner) {
        // A unit never heard while the one here still tells its own MAC: a second unit at this address
        // (two fresh from the factory fall back to its address) if the one here tells its own MAC again
        // meanwhile, else this one's new MAC. Once this one has gone silent, the unit here is another one.
        const quint64 uiMac = macKey(aReported);
        const bool bBeside = uiMac && Clock::elapsedMs() - pPdu->iLastMacMsecs < CPdu::kOnlineMsecs;
        if (!bBeside || listPdu.size() >= m_iDeviceLimit ||
            (itShared != m_hashShared.end() && itShared->iUnits >= kUnitsPerAddress)) {
            if (itNewcomer != m_hashNewcomer.end())
                m_hashNewcomer.erase(itNewcomer);
            return pPdu;
        }
        if (!bUndecided) {
            m_hashNewcomer[sender] = Newcomer{uiMac, Clock::elapsedMs(), false};
            return nullptr;
        }
        // Another unit never heard waits its turn: replacing the one being decided would let two of them
        // keep each other, and the readings here, waiting for ever.
        if (itNewcomer->uiMac != uiMac)
            return nullptr;
        // One lost reply of the unit here must not give it the newcomer's MAC: that takes the newcomer's
        // MAC told again and again.
        if (!itNewcomer->bFirstToldSince && ++itNewcomer->iTold < kNewcomerTellings)
            return nullptr;
        const bool bSecond = itNewcomer->bFirstToldSince;
        m_hashNewcomer.erase(itNewcomer);
        if (!bSecond)
            return pPdu;
        CPdu* pSecond = addPdu(sender);
        SharedSource& shared = m_hashShared[sender];
        ++shared.iUnits;
        shared.told(pSecond);
        return pSecond;
    }
    // Units share this address: another known one joins them, and none of those here is sent away (one
    // that left is found where it went once it is silent here).
    if (itShared != m_hashShared.end() && itShared->iUnits < kUnitsPerAddress) {
        setSource(pOwner, sender);
        endMove(pOwner);
        m_hashShared[sender].told(pOwner);
        return pOwner;
    }
    // Another known device's MAC from here while that device still answers where it was: the two
    // swapped addresses if the unit there has told this device's MAC already, else it waits.
    const quint32 uiThere = pOwner->uiSourceIP;
    const auto itThere = uiThere ? m_hashClaim.find(uiThere) : m_hashClaim.end();
    const bool bSwapped = itThere != m_hashClaim.end() && itThere->pOwner == pPdu;
    if (uiThere && pOwner->isOnline() && !bSwapped) {
        m_hashClaim.insert(sender,
                           Claim{pOwner, Clock::elapsedMs(), {QByteArray(data.constData(), data.size())}});
        return nullptr;
    }
    const QList<QByteArray> listThere = bSwapped ? m_hashClaim.take(uiThere).listHeld : QList<QByteArray>();
    moveHere(pPdu, pOwner, sender);
    if (bSwapped) {
        setSource(pPdu, uiThere);
        for (const QByteArray& baHeld : listThere)
            deliver(pPdu, baHeld);
    }
    return pOwner;
}

CPdu* CRackmind::settleClaim(QHash<quint32, Claim>::iterator it, CPdu* pPdu, quint32 sender,
                             const QByteArray& data)
{
    CPdu* pOwner = it->pOwner;
    const qint64 iNow = Clock::elapsedMs();
    const bool bStays = !pOwner || pOwner->uiSourceIP == sender || pOwner->iLastMacMsecs > it->iSinceMsecs;
    const bool bMoved = !bStays && !pOwner->isOnline();
    if (!bStays && !bMoved && iNow - it->iSinceMsecs < kHoldMsecs) {
        if (it->listHeld.size() < kHeldPerSender)
            it->listHeld.append(QByteArray(data.constData(), data.size()));
        return nullptr;
    }
    const QList<QByteArray> listHeld = it->listHeld;
    m_hashClaim.erase(it);
    if (bMoved)
        moveHere(pPdu, pOwner, sender);
    CPdu* pHere = bMoved ? pOwner : pPdu;
    for (const QByteArray& baHeld : listHeld)
        deliver(pHere, baHeld);
    return pHere;
}

void CRackmind::moveHere(CPdu* pPdu, CPdu* pOwner, quint32 sender)
{
    setSource(pPdu, 0);
    pPdu->iLastRcvMsecs = CPdu::kNever;
    setSource(pOwner, sender);
    endMove(pOwner);
}

CPdu* CRackmind::deviceWithMac(const quint8 (&mac)[6])
{
    const quint64 uiKey = macKey(mac);
    if (!uiKey)
        return nullptr;
    ensureIndex();
    CPdu* pPdu = m_hashByMac.value(uiKey);
    if (pPdu && macKey(pPdu->stInfo.mac) != uiKey) {
        rebuildIndex();
        pPdu = m_hashByMac.value(uiKey);
    }
    return pPdu;
}

CPdu* CRackmind::movingTo(quint32 uiAddress, qint64 iNow)
{
    ensureIndex();
    CPdu* pFound = nullptr;
    for (auto it = m_hashMoving.find(uiAddress); it != m_hashMoving.end() && it.key() == uiAddress;) {
        CPdu* pCandidate = it.value();
        if (pCandidate->uiPendingIP == uiAddress && iNow >= pCandidate->iPendingUntilMsecs)
            pCandidate->uiPendingIP = 0;
        if (pCandidate->uiPendingIP != uiAddress) {
            it = m_hashMoving.erase(it);
            continue;
        }
        if (!pFound || isEarlier(pCandidate, pFound))
            pFound = pCandidate;
        ++it;
    }
    return pFound;
}

CPdu* CRackmind::findBySource(quint32 uiAddress)
{
    ensureIndex();
    CPdu* pPdu = m_hashBySource.value(uiAddress);
    if (!pPdu || pPdu->uiSourceIP == uiAddress)
        return pPdu;
    // The device was changed behind the index's back: the list has the last word.
    rebuildIndex();
    return m_hashBySource.value(uiAddress);
}

void CRackmind::SharedSource::told(CPdu* pPdu)
{
    // A poll's network replies come before its other replies, whether the units answer query by query or
    // each in one burst: a network reply after other replies, or from a unit heard already, starts anew.
    if (bOthersSince || listRound.contains(pPdu)) {
        listRound.clear();
        std::fill(std::begin(aiReplies), std::end(aiReplies), 0);
    }
    listRound.append(pPdu);
    bOthersSince = false;
}

CPdu* CRackmind::SharedSource::replyOf(CPdu* pFirst, quint32 uiSender, int iCommand)
{
    // Each unit answers every query of the round, in the order they told their MACs: the n-th reply of a
    // command is the n-th unit's.
    bOthersSince = true;
    if (listRound.isEmpty() || iCommand < 0 || iCommand >= int(std::size(aiReplies)))
        return pFirst;
    // Kept below the round's size: a host sending only other replies must not run the count past its range.
    int& iNext = aiReplies[iCommand];
    CPdu* pPdu = listRound.at(iNext % listRound.size());
    iNext = (iNext + 1) % listRound.size();
    return pPdu && pPdu->uiSourceIP == uiSender ? pPdu : pFirst;
}

bool CRackmind::isEarlier(const CPdu* pFirst, const CPdu* pSecond) const
{
    return m_hashIndexed.value(pFirst).iOrder < m_hashIndexed.value(pSecond).iOrder;
}

void CRackmind::ensureIndex()
{
    if (m_iIndexedCount != listPdu.size())
        rebuildIndex();
}

void CRackmind::rebuildIndex()
{
    m_hashBySource.clear();
    m_hashByMac.clear();
    m_hashMacHolders.clear();
    m_hashMoving.clear();
    m_hashIndexed.clear();
    m_hashBySource.reserve(listPdu.size());
    m_hashIndexed.reserve(listPdu.size());
    for (int i = 0; i < listPdu.size(); ++i)
        indexDevice(listPdu.at(i), i);
    m_iIndexedCount = listPdu.size();
}

void CRackmind::indexDevice(CPdu* pPdu, int iOrder)
{
    const quint64 uiMac = macKey(pPdu->stInfo.mac);
    m_hashIndexed.insert(pPdu, Indexed{iOrder, uiMac});
    if (pPdu->uiSourceIP && !m_hashBySource.contains(pPdu->uiSourceIP))
        m_hashBySource.insert(pPdu->uiSourceIP, pPdu);
    if (uiMac) {
        ++m_hashMacHolders[uiMac];
        if (!m_hashByMac.contains(uiMac))
            m_hashByMac.insert(uiMac, pPdu);
    }
    if (pPdu->uiPendingIP)
        m_hashMoving.insert(pPdu->uiPendingIP, pPdu);
}

void CRackmind::setSource(CPdu* pPdu, quint32 uiAddress)
{
    const quint32 uiOld = pPdu->uiSourceIP;
    pPdu->uiSourceIP = uiAddress;
    if (uiOld == uiAddress)
        return;
    // A unit gone from a shared address leaves room there; an address all have left is forgotten.
    const auto itLeft = uiOld ? m_hashShared.find(uiOld) : m_hashShared.end();
    const bool bLeftShared = itLeft != m_hashShared.end();
    if (bLeftShared && --itLeft->iUnits <= 0)
        m_hashShared.erase(itLeft);
    const auto itJoined = uiAddress ? m_hashShared.find(uiAddress) : m_hashShared.end();
    if (itJoined != m_hashShared.end())
        ++itJoined->iUnits;
    if (m_iIndexedCount != listPdu.size())
        return;
    // An address is the registry's for one device at a time; a second one there came from outside. Where
    // units share the old address, the next one there is found anew.
    if ((uiAddress && m_hashBySource.contains(uiAddress)) || (uiOld && m_hashBySource.value(uiOld) != pPdu) ||
        bLeftShared) {
        m_iIndexedCount = -1;
        return;
    }
    if (uiOld)
        m_hashBySource.remove(uiOld);
    if (uiAddress)
        m_hashBySource.insert(uiAddress, pPdu);
}

void CRackmind::endMove(CPdu* pPdu)
{
    m_hashMoving.remove(pPdu->uiPendingIP, pPdu);
    pPdu->uiPendingIP = 0;
}

void CRackmind::onMovePending(CPdu* pPdu)
{
    if (pPdu->uiPendingIP && !m_hashMoving.contains(pPdu->uiPendingIP, pPdu))
        m_hashMoving.insert(pPdu->uiPendingIP, pPdu);
}

void CRackmind::onMacKnown(CPdu* pPdu)
{
    const auto it = m_hashIndexed.find(pPdu);
    if (m_iIndexedCount != listPdu.size() || it == m_hashIndexed.end())
        return;
    const quint64 uiNew = macKey(pPdu->stInfo.mac);
    if (it->uiMac == uiNew)
        return;
    if (it->uiMac) {
        const auto itHolders = m_hashMacHolders.find(it->uiMac);
        const int iLeft = itHolders == m_hashMacHolders.end() ? 0 : --*itHolders;
        if (iLeft <= 0)
            m_hashMacHolders.remove(it->uiMac);
        if (m_hashByMac.value(it->uiMac) == pPdu) {
            // The first holder of a MAC told another: a later device of the old MAC may be first now.
            if (iLeft > 0) {
                m_iIndexedCount = -1;
                return;
            }
            m_hashByMac.remove(it->uiMac);
        }
    }
    it->uiMac = uiNew;
    if (!uiNew)
        return;
    ++m_hashMacHolders[uiNew];
    CPdu*& pFirst = m_hashByMac[uiNew];
    if (!pFirst || it->iOrder < m_hashIndexed.value(pFirst).iOrder)
        pFirst = pPdu;
}
