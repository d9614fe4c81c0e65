#include "device/Pdu.h"

#include "common/Clock.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"

#include <cstring>

namespace {
template <typename T> bool bytesDiffer(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) != 0;
}

// An unordered comparison (NaN) counts as a change.
bool doublesDiffer(double a, double b)
{
    return !(a == b);
}
} // namespace

CPdu::CPdu(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Pdu"));
    strGroup = QStringLiteral("Default");
    std::fill(std::begin(bAlarm), std::end(bAlarm), false);
    connect(&timerEmail, &QTimer::timeout, this, &CPdu::slotEmailTimer);
    // Whole seconds: a room's thousands of ticks then fall due together, in one wake-up, and each goes
    // back to the end of the event loop's ordered timer list at once. Coarse timers, each rounded a
    // little differently, were re-sorted through that list on every tick.
    timerEmail.setTimerType(Qt::VeryCoarseTimer);
    timerEmail.start(1000);
}

bool CPdu::isOnline() const
{
    return Clock::elapsedMs() - iLastRcvMsecs < kOnlineMsecs;
}

bool CPdu::hasReported(int iCommand) const
{
    return iCommand >= 0 && iCommand < 32 && (m_uiReported >> iCommand) & 1u;
}

void CPdu::markReported(int iCommand)
{
    if (iCommand >= 0 && iCommand < 32)
        m_uiReported |= 1u << iCommand;
}

bool CPdu::limitsKnown() const
{
    return hasReported(kCmdThresholds);
}

bool CPdu::isAbnormal() const
{
    if (!limitsKnown())
        return false;
    const PduInfo& i = stInfo;
    return i.voltage >= i.voltageWarn || i.voltage >= i.voltageOverload || i.current >= i.currentWarn ||
           i.current >= i.currentOverload || i.temperature >= i.temperatureHighLimit ||
           i.temperature <= i.temperatureLowLimit || i.humidity >= i.humidityWarn;
}

QList<int> CPdu::needDownload() const
{
    const PduInfo& set = stSetInfo;
    const PduInfo& cur = stInfo;
    QList<int> listCmd;
    if (bytesDiffer(set.ip, cur.ip) || bytesDiffer(set.subNetMask, cur.subNetMask) ||
        bytesDiffer(set.gateway, cur.gateway) || bytesDiffer(set.mac, cur.mac) ||
        bytesDiffer(set.name, cur.name) || bytesDiffer(set.position, cur.position) ||
        set.udpPort != cur.udpPort) {
        listCmd << kCmdNetwork;
    }
    if (doublesDiffer(set.currentWarn, cur.currentWarn) ||
        doublesDiffer(set.currentOverload, cur.currentOverload) || set.voltageWarn != cur.voltageWarn ||
        set.voltageOverload != cur.voltageOverload || set.temperatureLowLimit != cur.temperatureLowLimit ||
        set.temperatureHighLimit != cur.temperatureHighLimit || set.humidityWarn != cur.humidityWarn) {
        listCmd << kCmdThresholds;
    }
    if (bytesDiffer(set.outletOpenDelay, cur.outletOpenDelay) ||
        bytesDiffer(set.outletCloseDelay, cur.outletCloseDelay)) {
        listCmd << kCmdOutletDelays;
    }
    if (bytesDiffer(set.outletName, cur.outletName)) {
        listCmd << kCmdOutletNames;
    }
    return listCmd;
}

void CPdu::download()
{
    // A device may apply its network settings at once and stop listening where it was: whatever else
    // is pending goes out first.
    QList<int> listCmd = needDownload();
    if (!listCmd.isEmpty())
        emit signalDownload(stInfo, stSetInfo);
    if (listCmd.removeOne(kCmdNetwork))
        listCmd.append(kCmdNetwork);
    const QHostAddress addrDest = sendAddress();
    const uint uiDestPort = stInfo.udpPort;
    for (int cmd : qAsConst(listCmd)) {
        bool bResult = true;
        const QByteArray frame = buildSetFrame(quint8(cmd), payloadFor(quint8(cmd), stSetInfo));
        if (cmd == kCmdNetwork && ipv4ToUint(stSetInfo.ip) != ipv4ToUint(stInfo.ip)) {
            uiPendingIP = ipv4ToUint(stSetInfo.ip);
            iPendingUntilMsecs = Clock::elapsedMs() + kPendingMoveMsecs;
            emit signalMovePending();
        }
        emit signalSndData(bResult, frame, addrDest, uiDestPort);
        // A new device port must be polled from now on, or the device would vanish once it moves.
        if (cmd == kCmdNetwork && g_pRackmind && !g_pRackmind->listDevicePort.contains(stSetInfo.udpPort)) {
            g_pRackmind->listDevicePort.append(stSetInfo.udpPort);
            emit g_pRackmind->signalUpdateDevicePort(g_pRackmind->listDevicePort);
        }
    }
}

bool CPdu::hasKnownMac() const
{
    return !isFactoryMac(stInfo.mac);
}

void CPdu::countHolds()
{
    for (int iCond = 0; iCond < AlarmCount; ++iCond)
        m_aiHoldReplies[iCond] =
            conditionHolds(stInfo, iCond) ? qMin(m_aiHoldReplies[iCond] + 1, 1 << 20) : 0;
}

QHostAddress CPdu::sendAddress() const
{
    return QHostAddress(sendIPv4());
}

quint32 CPdu::sendIPv4() const
{
    return uiSourceIP ? uiSourceIP : ipv4ToUint(stInfo.ip);
}

void CPdu::slotRcvData(QByteArray data)
{
    // Any datagram from the device's address is a sign of life, whether it decodes or not.
    dtLastRcv = Clock::now();
    iLastRcvMsecs = Clock::elapsedMs();
    if (!isAcceptedReply(data)) {
        return;
    }
    const QByteArray payload = framePayload(data);
    switch (frameCommand(data)) {
    case kCmdNetwork: {
        quint8 newIp[4];
        decodeIPv4(payload, 0, newIp);
        if (ipv4ToUint(newIp) != ipv4ToUint(stInfo.ip)) {
            emit signalChangeIP(ipv4ToUint(stInfo.ip), ipv4ToUint(newIp));
        }
        quint8 aOldMac[6];
        std::memcpy(aOldMac, stInfo.mac, sizeof aOldMac);
        decodeNetworkPayload(payload, stInfo);
        const bool bNewMac = !bMacKnown || std::memcmp(aOldMac, stInfo.mac, sizeof aOldMac) != 0;
        bMacKnown = true;
        iLastMacMsecs = iLastRcvMsecs;
        if (bNewMac)
            emit signalMacKnown();
        break;
    }
    case kCmdDeviceInfo:
        decodeDeviceInfoPayload(payload, stInfo);
        break;
    case kCmdStatus:
        decodeStatusPayload(payload, stInfo);
        if (limitsKnown())
            countHolds();
        break;
    case kCmdThresholds:
        decodeThresholdsPayload(payload, stInfo);
        // A status reply that came before the limits is judged once, when they arrive.
        if (!limitsKnown() && hasReported(kCmdStatus))
            countHolds();
        break;
    case kCmdOutletDelays:
        decodeOutletDelaysPayload(payload, stInfo);
        break;
    case kCmdOutletNames:
        decodeOutletNamesPayload(payload, stInfo);
        break;
    default:
        return;
    }
    m_uiReported |= 1u << frameCommand(data);
    m_bFreshStatus = m_bFreshStatus || frameCommand(data) == kCmdStatus;
    emit signalReplyDecoded(frameCommand(data));
}
