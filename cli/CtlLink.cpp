#include "cli/CtlLink.h"

#include "device/Protocol.h"
#include "device/UdpDriver.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QTimer>
#include <QUdpSocket>

CCtlLink::CCtlLink(QObject* parent) : QObject(parent)
{
    m_clockTargets.start();
}

bool CCtlLink::open(quint16 uiSourcePort, QString* pError)
{
    // The same addresses the console polls from: running, non-loopback interfaces, IPv4 only.
    for (const QNetworkInterface& netIf : QNetworkInterface::allInterfaces()) {
        if (!(netIf.flags() & QNetworkInterface::IsRunning) ||
            (netIf.flags() & QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : netIf.addressEntries()) {
            const QHostAddress addr = entry.ip();
            if (addr.protocol() != QAbstractSocket::IPv4Protocol || addr == QHostAddress::LocalHost)
                continue;
            auto* pSocket = new QUdpSocket(this);
            // Never shared: on a port another program holds, its replies would be split with it.
            if (!pSocket->bind(addr, uiSourcePort, QUdpSocket::DontShareAddress)) {
                *pError = QStringLiteral("%1:%2: %3")
                              .arg(addr.toString())
                              .arg(uiSourcePort)
                              .arg(pSocket->errorString());
                return false;
            }
            connect(pSocket, &QUdpSocket::readyRead, this, &CCtlLink::slotRead);
            m_listSockets.append(pSocket);
            m_listLocal.append(addr.toIPv4Address());
        }
    }
    return true;
}

void CCtlLink::broadcastQueries(const QList<uint>& listPorts)
{
    for (QUdpSocket* pSocket : qAsConst(m_listSockets))
        for (uint uiPort : listPorts)
            for (const QByteArray& baQuery : queryFrames())
                pSocket->writeDatagram(baQuery, QHostAddress::Broadcast, quint16(uiPort));
    if (m_listSockets.isEmpty())
        return;
    for (quint32 uiAddress : m_targetPoll.pollAddresses(m_clockTargets.elapsed()))
        for (uint uiPort : listPorts)
            for (const QByteArray& baQuery : queryFrames())
                socketTo(uiAddress)->writeDatagram(baQuery, QHostAddress(uiAddress), quint16(uiPort));
}

qint64 CCtlLink::setTargets(const PollTargetList& list, const QList<uint>& listPorts)
{
    m_targetPoll.setTargets(list);
    m_listTargetPorts = listPorts;
    if (m_targetPoll.hasSubnets() && !m_pSweepTimer) {
        m_pSweepTimer = new QTimer(this);
        connect(m_pSweepTimer, &QTimer::timeout, this, &CCtlLink::slotSweep);
        m_pSweepTimer->start(CUdpDriver::kSweepTickMsec);
    }
    return m_targetPoll.roundMsecs(listPorts.size());
}

void CCtlLink::slotSweep()
{
    if (m_listSockets.isEmpty())
        return;
    for (quint32 uiAddress : m_targetPoll.sweepDue(m_clockTargets.elapsed(), m_listTargetPorts.size()))
        for (uint uiPort : qAsConst(m_listTargetPorts))
            socketTo(uiAddress)->writeDatagram(queryFrames().first(), QHostAddress(uiAddress),
                                               quint16(uiPort));
}

QUdpSocket* CCtlLink::socketTo(quint32 uiAddress) const
{
    const int iSocket = m_listLocal.indexOf(PollTargets::routeSource(uiAddress));
    return m_listSockets.at(qMax(0, iSocket));
}

void CCtlLink::sendTo(const CtlPdu& pdu, const QByteArray& baFrame)
{
    if (pdu.pSocket)
        pdu.pSocket->writeDatagram(baFrame, QHostAddress(pdu.uiSender), pdu.uiPort);
}

void CCtlLink::query(const CtlPdu& pdu, quint8 cmd)
{
    sendTo(pdu, buildFrame(kFrameQuery, cmd, QByteArray()));
}

bool CCtlLink::waitUntil(const std::function<bool()>& fnDone, int iMsecs, int iTickMsecs,
                         const std::function<void()>& fnTick)
{
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&]() {
        if (fnTick)
            fnTick();
        loop.quit();
    });
    tick.start(iTickMsecs);
    while (!fnDone()) {
        if (clock.elapsed() >= iMsecs)
            return false;
        // Wakes on every datagram (to test fnDone at once) and on every tick.
        QMetaObject::Connection conn = connect(this, &CCtlLink::signalReply, &loop, &QEventLoop::quit);
        loop.exec();
        disconnect(conn);
    }
    return true;
}

QList<const CtlPdu*> CCtlLink::found() const
{
    QList<const CtlPdu*> list;
    for (const CtlPdu& pdu : m_dequePdus)
        if (pdu.has(kCmdNetwork))
            list.append(&pdu);
    return list;
}

void CCtlLink::slotRead()
{
    auto* pSocket = qobject_cast<QUdpSocket*>(sender());
    while (pSocket && pSocket->hasPendingDatagrams()) {
        const QNetworkDatagram dg = pSocket->receiveDatagram();
        const quint32 uiSender = dg.senderAddress().toIPv4Address();
        const QByteArray baFrame = dg.data();
        if (m_listLocal.contains(uiSender) || !isAcceptedReply(baFrame))
            continue;
        m_targetPoll.noteReply(uiSender, m_clockTargets.elapsed());
        auto it = std::find_if(m_dequePdus.begin(), m_dequePdus.end(),
                               [&](const CtlPdu& pdu) { return pdu.uiSender == uiSender; });
        if (it == m_dequePdus.end()) {
            m_dequePdus.emplace_back();
            it = std::prev(m_dequePdus.end());
            it->uiSender = uiSender;
        }
        it->uiPort = quint16(dg.senderPort());
        it->pSocket = pSocket;
        const quint8 cmd = frameCommand(baFrame);
        const QByteArray baPayload = framePayload(baFrame);
        switch (cmd) {
        case kCmdNetwork:
            decodeNetworkPayload(baPayload, it->info);
            break;
        case kCmdDeviceInfo:
            decodeDeviceInfoPayload(baPayload, it->info);
            break;
        case kCmdStatus:
            decodeStatusPayload(baPayload, it->info);
            ++it->iStatusStamp;
            break;
        case kCmdThresholds:
            decodeThresholdsPayload(baPayload, it->info);
            break;
        case kCmdOutletDelays:
            decodeOutletDelaysPayload(baPayload, it->info);
            break;
        case kCmdOutletNames:
            decodeOutletNamesPayload(baPayload, it->info);
            break;
        }
        it->uiSeen |= 1u << cmd;
        emit signalReply();
    }
}
