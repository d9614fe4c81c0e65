#include "device/UdpDriver.h"

#include "device/Protocol.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>
#include <QSettings>
#include <QSignalBlocker>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace {

// A large room answers six queries per device within a few milliseconds; the default receive buffer
// holds only a few hundred small datagrams.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;
// Datagrams taken with one system call, each into a slot that holds the largest a datagram can be.
constexpr int kDatagramsPerCall = 64;
constexpr int kSlotBytes = 65536;

void enlargeReceiveBuffer(QUdpSocket* pSocket)
{
    pSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
#ifdef Q_OS_LINUX
    // The console runs elevated, which lets it go past the system's cap; without the right this is a no-op.
    int iBytes = kReceiveBufferBytes;
    setsockopt(int(pSocket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &iBytes, sizeof iBytes);
#endif
}

// The IPv4 addresses polled from, each with its interface's name.
QList<QPair<QString, QHostAddress>> usableAddresses(const QList<NetInterfaceInfo>& listInterface)
{
    QList<QPair<QString, QHostAddress>> list;
    // IsUp is deliberately not tested: a running interface is what carries traffic.
    for (const NetInterfaceInfo& iface : listInterface) {
        if (!(iface.flags & QNetworkInterface::IsRunning) || (iface.flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QHostAddress& addr : iface.addresses) {
            if (addr.protocol() != QAbstractSocket::IPv4Protocol ||
                addr == QHostAddress(QHostAddress::LocalHost))
                continue;
            list.append({iface.name, addr});
        }
    }
    return list;
}

} // namespace

CUdpDriver::CUdpDriver(QObject* parent) : CUdpDriver(systemInterfaces(), parent) {}

CUdpDriver::CUdpDriver(const QList<NetInterfaceInfo>& listInterface, QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("UdpDriver"));
    pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CUdpDriver::slotBroadcastTimeout);
    listDevicePort.append(51230);
    m_clockTargets.start();

    setLocalNets(listInterface);
    for (const auto& [strIface, addr] : usableAddresses(listInterface)) {
        listLocalAddr.append(addr);
        listLocalIPv4.append(addr.toIPv4Address());
        m_listAddrIface.append(strIface);
    }
}

QList<NetInterfaceInfo> CUdpDriver::systemInterfaces()
{
    QList<NetInterfaceInfo> listInterface;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        NetInterfaceInfo info{iface.name(), iface.flags(), {}, {}};
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            info.addresses.append(entry.ip());
            info.prefixLengths.append(entry.prefixLength());
        }
        listInterface.append(info);
    }
    return listInterface;
}

bool CUdpDriver::event(QEvent* pEvent)
{
    // The posted call follows the driver into its new thread and runs there once that thread runs.
    if (pEvent->type() == QEvent::ThreadChange)
        QMetaObject::invokeMethod(
            this, [this] { returnHomeWhenThreadEnds(); }, Qt::QueuedConnection);
    return QObject::event(pEvent);
}

// Once its worker thread has finished, nothing may touch the driver from that thread again, yet only
// that thread may move it. Going back to the thread that owns the worker while the worker is finishing
// lets the program's tear-down stop and delete the driver directly after waiting for the thread.
void CUdpDriver::returnHomeWhenThreadEnds()
{
    QThread* pWorker = thread();
    if (!pWorker || pWorker->thread() == pWorker)
        return;
    // The poll timer can never fire again once its thread is done; stopping it before the move keeps
    // Qt from queueing the timer over to the new thread, a queued call the tear-down deletes unrun
    // along with the driver, leaking what Qt allocated for it.
    connect(
        pWorker, &QThread::finished, this,
        [this, pWorker] {
            pTimer->stop();
            if (m_pRescanTimer)
                m_pRescanTimer->stop();
            if (m_pSweepTimer)
                m_pSweepTimer->stop();
            moveToThread(pWorker->thread());
        },
        Qt::DirectConnection);
}

void CUdpDriver::slotStartBroadcast(bool& bResult, uint uiUdpLocalPort, uint uiUpdateRate)
{
    // A second start rebinds from scratch instead of tripping over its own sockets.
    pTimer->stop();
    releaseSockets();
    m_uiLocalPort = uiUdpLocalPort;

    for (int i = 0; i < listLocalAddr.size(); ++i) {
        if (!bindSocket(i, nullptr)) {
            releaseSockets();
            bResult = false;
            return;
        }
    }
    countInterfaces();
    m_hashRoute.clear();
    pTimer->start(int(uiUpdateRate));
    startSweep();
    if (m_iRescanMsec > 0) {
        if (!m_pRescanTimer) {
            m_pRescanTimer = new QTimer(this);
            connect(m_pRescanTimer, &QTimer::timeout, this, &CUdpDriver::slotRescan);
        }
        m_pRescanTimer->start(m_iRescanMsec);
    }
    bResult = true;
}

bool CUdpDriver::bindSocket(int i, QString* pError)
{
    auto* pSocket = new QUdpSocket(this);
    connect(pSocket, &QUdpSocket::readyRead, this, &CUdpDriver::slotUdpRead);
    if (!pSocket->bind(listLocalAddr.at(i), quint16(m_uiLocalPort))) {
        if (pError)
            *pError = pSocket->errorString();
        delete pSocket;
        return false;
    }
    enlargeReceiveBuffer(pSocket);
    listUdpSocket.insert(i, pSocket);
    return true;
}

void CUdpDriver::slotRescan()
{
    if (!pTimer->isActive())
        return;
    const QList<NetInterfaceInfo> listInterface = fnInterfaces();
    setLocalNets(listInterface);
    const QList<QPair<QString, QHostAddress>> listNow = usableAddresses(listInterface);
    // An address that went away is news again when it comes back.
    for (int i = m_listRefused.size() - 1; i >= 0; --i) {
        bool bPresent = false;
        for (const auto& [strIface, addr] : listNow)
            bPresent = bPresent || m_listRefused.at(i) == strIface + QLatin1Char(' ') + addr.toString();
        if (!bPresent)
            m_listRefused.removeAt(i);
    }
    bool bChanged = false;
    for (int i = listLocalAddr.size() - 1; i >= 0; --i) {
        const QPair<QString, QHostAddress> entry{m_listAddrIface.at(i), listLocalAddr.at(i)};
        if (listNow.contains(entry))
            continue;
        if (i < listUdpSocket.size())
            delete listUdpSocket.takeAt(i);
        listLocalAddr.removeAt(i);
        listLocalIPv4.removeAt(i);
        m_listAddrIface.removeAt(i);
        bChanged = true;
        emit signalInterfaceChanged(entry.first + QLatin1Char(' ') + entry.second.toString(), false,
                                    QString());
    }
    for (const auto& [strIface, addr] : listNow) {
        bool bKnown = false;
        for (int i = 0; !bKnown && i < listLocalAddr.size(); ++i)
            bKnown = listLocalAddr.at(i) == addr && m_listAddrIface.at(i) == strIface;
        if (bKnown)
            continue;
        const QString strWhat = strIface + QLatin1Char(' ') + addr.toString();
        listLocalAddr.append(addr);
        m_listAddrIface.append(strIface);
        QString strError;
        if (!bindSocket(listLocalAddr.size() - 1, &strError)) {
            // Tried again at the next look, when whatever holds the port may have let go; said once.
            listLocalAddr.removeLast();
            m_listAddrIface.removeLast();
            if (!m_listRefused.contains(strWhat)) {
                m_listRefused.append(strWhat);
                emit signalInterfaceChanged(strWhat, true, strError);
            }
            continue;
        }
        m_listRefused.removeAll(strWhat);
        listLocalIPv4.append(addr.toIPv4Address());
        bChanged = true;
        emit signalInterfaceChanged(strWhat, true, QString());
    }
    if (bChanged) {
        countInterfaces();
        m_hashRoute.clear();
    }
}

void CUdpDriver::countInterfaces()
{
    QStringList listNames = m_listAddrIface.mid(0, listUdpSocket.size());
    listNames.removeDuplicates();
    m_iPolledInterfaces = listNames.size();
}

void CUdpDriver::slotStopBroadcast()
{
    pTimer->stop();
    if (m_pSweepTimer)
        m_pSweepTimer->stop();
    if (m_pRescanTimer)
        m_pRescanTimer->stop();
    releaseSockets();
    if (m_bPortFileDirty)
        writePortFile();
}

void CUdpDriver::releaseSockets()
{
    for (QUdpSocket* pSocket : qAsConst(listUdpSocket)) {
        pSocket->close();
        delete pSocket;
    }
    listUdpSocket.clear();
    m_iPolledInterfaces = 0;
}

void CUdpDriver::slotUpdateDevicePort(QList<uint> listDevicePort)
{
    if (listDevicePort != this->listDevicePort)
        this->listDevicePort = listDevicePort;

    // Every new device announces the whole list, hundreds at once when a room is discovered. Writing the
    // file for each would keep this thread, and the poll timer with it, busy for seconds: the first call
    // of a burst writes at once, the calls queued behind it are written once, after them.
    if (m_bPortFileBurst) {
        m_bPortFileDirty = true;
        return;
    }
    writePortFile();
    m_bPortFileBurst = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_bPortFileBurst = false;
            if (m_bPortFileDirty)
                writePortFile();
        },
        Qt::QueuedConnection);
}

void CUdpDriver::writePortFile()
{
    m_bPortFileDirty = false;
    // Keys of a longer former list are left for the reader to ignore. A file too large or too broken
    // to merge with is replaced by the list.
    const QString strFile = QStringLiteral("port.prt");
    // Only a regular file is ever opened: a directory cannot be written, and opening a pipe that nobody
    // writes to would hold this thread, and with it all polling, for good.
    const QFileInfo info(strFile);
    if (info.exists() && !info.isFile())
        return;
    if (isOversizedFile(strFile, kPortFileMaxBytes))
        QFile::remove(strFile);
    // A file that already holds the list is not written again: every write locks, flushes to disk and
    // renames, and holds up the reading of replies meanwhile.
    bool bHeld = true;
    {
        QSettings settingsPort(strFile, QSettings::IniFormat);
        const bool bRead = readSettingsGuarded([&] {
            for (int i = 0; bHeld && i < listDevicePort.size(); ++i)
                bHeld = settingsPort.value(QStringLiteral("%1/port").arg(i)).toString() ==
                        QString::number(listDevicePort.at(i));
        });
        bHeld = bHeld && bRead;
    }
    if (bHeld)
        return;
    writeSettingsGuarded([&] { return std::make_unique<QSettings>(strFile, QSettings::IniFormat); },
                         [&](QSettings& settingsPort) {
                             for (int i = 0; i < listDevicePort.size(); ++i)
                                 settingsPort.setValue(QStringLiteral("%1/port").arg(i),
                                                       listDevicePort.at(i));
                         });
}

void CUdpDriver::slotSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort)
{
    // A PDU polled by unicast hears from the one socket its replies come to, as beyond a router only
    // that one reaches it anyway.
    bool bIPv4 = false;
    const quint32 uiDest = addrDestIP.toIPv4Address(&bIPv4);
    if (bIPv4 && m_targetPoll.isPolled(uiDest) && !listUdpSocket.isEmpty()) {
        QUdpSocket* pSocket = routeSocket(uiDest);
        bResult = pSocket->writeDatagram(baData, addrDestIP, quint16(uiDestPort)) == baData.size() &&
                  (pSocket->bytesToWrite() == 0 || pSocket->waitForBytesWritten(30000));
        return;
    }
    for (QUdpSocket* pSocket : qAsConst(listUdpSocket)) {
        const qint64 iWritten = pSocket->writeDatagram(baData, addrDestIP, quint16(uiDestPort));
        // Datagrams leave unbuffered; waiting only makes sense for bytes still queued.
        bResult = iWritten == baData.size() &&
                  (pSocket->bytesToWrite() == 0 || pSocket->waitForBytesWritten(30000));
    }
    if (listUdpSocket.isEmpty())
        bResult = false;
}

void CUdpDriver::slotUdpRead()
{
    if (auto* pSocket = qobject_cast<QUdpSocket*>(sender()))
        drain(pSocket, false);
}

void CUdpDriver::drain(QUdpSocket* pSocket, bool bRearm)
{
    const bool bSingle = isSignalConnected(QMetaMethod::fromSignal(&CUdpDriver::signalRcvData));
    const bool bBatch = isSignalConnected(QMetaMethod::fromSignal(&CUdpDriver::signalRcvBatch));
    const qint64 iWaitingBytes = queuedBytes();
    qint64 iPostedBytes = 0;
    qint64 iBatchBytes = 0;
    DatagramBatch batch;
    const bool bArmed =
        readPending(pSocket, bRearm, [&](quint32 uiSender, quint16 uiPort, const char* pData, int iSize) {
            if (listLocalIPv4.contains(uiSender))
                return;
            if (!m_targetPoll.isEmpty() && isAcceptedReply(QByteArray::fromRawData(pData, iSize)))
                m_targetPoll.noteReply(uiSender, m_clockTargets.elapsed());
            const qint64 iBytes = iSize + kQueuedOverheadBytes;
            if (iWaitingBytes + qMax(iPostedBytes, iBatchBytes) + iBytes > kMaxQueuedBytes) {
                ++m_iDropped;
                return;
            }
            if (bBatch) {
                batch.append(uiSender, uiPort, pData, iSize);
                iBatchBytes += iBytes;
            }
            if (bSingle) {
                QNetworkDatagram ndDatagram{QByteArray(pData, iSize)};
                ndDatagram.setSender(QHostAddress(uiSender), uiPort);
                emit signalRcvData(ndDatagram);
                iPostedBytes += iBytes;
            }
        });
    if (!batch.vecEntry.isEmpty() && m_pReplyQueue->push(std::move(batch), iBatchBytes))
        emit signalRcvBatch(m_pReplyQueue);
    // The socket is empty, but the burst it was part of is most likely still arriving: a device's
    // replies come a few at a time over tens of milliseconds, and a wake-up for each few would cost
    // more than reading them. The notifier stays off for a moment; then the socket is drained again.
    if (!bArmed)
        QTimer::singleShot(kCoalesceMsec, Qt::PreciseTimer, pSocket,
                           [this, pSocket] { drain(pSocket, true); });
    if (iPostedBytes == 0 || !QCoreApplication::instance())
        return;
    *m_pQueuedBytes += iPostedBytes;
    // Posted after the datagrams to the same thread, so it runs once they have all been taken.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [pQueuedBytes = m_pQueuedBytes, iPostedBytes] { *pQueuedBytes -= iPostedBytes; },
        Qt::QueuedConnection);
}

// Drains the queue: one notification may stand for a whole burst of replies. What is left past the
// read limit raises the next notification as soon as this thread is back in its event loop. Returns
// whether the socket's notifier is on again; it is left off when bRearm is false and the socket was
// read empty.
template <typename Deliver> bool CUdpDriver::readPending(QUdpSocket* pSocket, bool bRearm, Deliver fnDeliver)
{
    if (m_vecReadBuffer.empty())
        m_vecReadBuffer.resize(size_t(kDatagramsPerCall) * kSlotBytes);
    char* const pSlots = m_vecReadBuffer.data();
    int iRead = 0;
#ifdef Q_OS_LINUX
    // Many datagrams per system call, straight from the socket's descriptor.
    mmsghdr aMsg[kDatagramsPerCall];
    iovec aIov[kDatagramsPerCall];
    sockaddr_in aFrom[kDatagramsPerCall];
    const int fd = int(pSocket->socketDescriptor());
    while (iRead < kMaxReadsPerNotification) {
        for (int i = 0; i < kDatagramsPerCall; ++i) {
            aIov[i] = {pSlots + size_t(i) * kSlotBytes, size_t(kSlotBytes)};
            aMsg[i] = {};
            aMsg[i].msg_hdr.msg_name = &aFrom[i];
            aMsg[i].msg_hdr.msg_namelen = sizeof aFrom[i];
            aMsg[i].msg_hdr.msg_iov = &aIov[i];
            aMsg[i].msg_hdr.msg_iovlen = 1;
        }
        const int iGot = recvmmsg(fd, aMsg, kDatagramsPerCall, MSG_DONTWAIT, nullptr);
        for (int i = 0; i < iGot; ++i)
            fnDeliver(ntohl(aFrom[i].sin_addr.s_addr), ntohs(aFrom[i].sin_port),
                      pSlots + size_t(i) * kSlotBytes, int(aMsg[i].msg_len));
        if (iGot < kDatagramsPerCall) {
            if (!bRearm)
                return false;
            break;
        }
        iRead += iGot;
    }
#else
    Q_UNUSED(bRearm)
#endif
    // Reading past Qt leaves the socket's notifier off until Qt itself reads: the last read is Qt's,
    // also when the limit was reached. It takes one more datagram if there is one and otherwise only
    // finds the queue empty (an error of no interest to anyone, hence the blocker).
#ifdef Q_OS_LINUX
    iRead = kMaxReadsPerNotification - 1;
#endif
    for (; iRead < kMaxReadsPerNotification; ++iRead) {
        QHostAddress addrSender;
        quint16 uiPort = 0;
        qint64 iSize = -1;
        {
            const QSignalBlocker blocker(pSocket);
            iSize = pSocket->readDatagram(pSlots, kSlotBytes, &addrSender, &uiPort);
        }
        if (iSize < 0)
            break;
        fnDeliver(addrSender.toIPv4Address(), uiPort, pSlots, int(iSize));
    }
    return true;
}

void CUdpDriver::slotBroadcastTimeout()
{
    const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
    const QList<QByteArray>& frames = queryFrames();
    bool bSent = false;
    for (QUdpSocket* pSocket : qAsConst(listUdpSocket))
        for (uint uiPort : qAsConst(listDevicePort))
            for (const QByteArray& baFrame : frames)
                bSent = pSocket->writeDatagram(baFrame, QHostAddress(QHostAddress::Broadcast),
                                               quint16(uiPort)) >= 0 ||
                        bSent;
    if (!m_targetPoll.isEmpty())
        bSent = pollTargets() || bSent;
    // A tick with nothing to send on is no poll: the time stands still and says so.
    if (bSent)
        m_iLastPollMs = iNow;
    emit signalPolled(bSent, m_iPolledInterfaces.load());
}

void CUdpDriver::setLocalNets(const QList<NetInterfaceInfo>& listInterface)
{
    QVector<PollTarget> vecNet;
    for (const NetInterfaceInfo& iface : listInterface) {
        if (!(iface.flags & QNetworkInterface::IsRunning) || (iface.flags & QNetworkInterface::IsLoopBack))
            continue;
        for (int i = 0; i < iface.addresses.size() && i < iface.prefixLengths.size(); ++i) {
            bool bIPv4 = false;
            const quint32 uiAddress = iface.addresses.at(i).toIPv4Address(&bIPv4);
            PollTarget net;
            net.iPrefix = iface.prefixLengths.at(i);
            if (!bIPv4 || net.iPrefix < 1 || net.iPrefix > 32)
                continue;
            net.uiBase = uiAddress & net.mask();
            vecNet.append(net);
        }
    }
    m_targetPoll.setLocalNets(vecNet);
}

void CUdpDriver::slotUpdateTargets(PollTargetList list)
{
    m_targetPoll.setTargets(list);
    m_hashRoute.clear();
    m_iSweepFound = m_targetPoll.foundCount();
    if (pTimer->isActive())
        startSweep();
}

void CUdpDriver::startSweep()
{
    // The same turns send the rest of each poll's spread unicast queries.
    if (m_targetPoll.isEmpty()) {
        if (m_pSweepTimer)
            m_pSweepTimer->stop();
        return;
    }
    if (!m_pSweepTimer) {
        m_pSweepTimer = new QTimer(this);
        connect(m_pSweepTimer, &QTimer::timeout, this, &CUdpDriver::slotSweep);
    }
    if (!m_pSweepTimer->isActive())
        m_pSweepTimer->start(kSweepTickMsec);
}

bool CUdpDriver::pollTargets()
{
    const QVector<quint32> vecAddress = m_targetPoll.startPoll(
        m_clockTargets.elapsed(), qint64(pTimer->interval()) * CTargetPoll::kSpreadPercent / 100);
    m_iSweepFound = m_targetPoll.foundCount();
    return sendQueries(vecAddress);
}

bool CUdpDriver::sendQueries(const QVector<quint32>& vecAddress)
{
    bool bSent = false;
    if (listUdpSocket.isEmpty())
        return false;
    const QList<QByteArray>& frames = queryFrames();
    for (quint32 uiAddress : vecAddress) {
        QUdpSocket* pSocket = routeSocket(uiAddress);
        for (uint uiPort : qAsConst(listDevicePort))
            for (const QByteArray& baFrame : frames)
                bSent =
                    pSocket->writeDatagram(baFrame, QHostAddress(uiAddress), quint16(uiPort)) >= 0 || bSent;
    }
    return bSent;
}

void CUdpDriver::slotSweep()
{
    if (listUdpSocket.isEmpty())
        return;
    sendQueries(m_targetPoll.pollDue(m_clockTargets.elapsed()));
    // The network query alone: its reply tells the MAC the registry knows a PDU by, and whoever answers
    // gets all six from the next poll on.
    const QByteArray& baQuery = queryFrames().first();
    const QVector<quint32> vecDue = m_targetPoll.sweepDue(m_clockTargets.elapsed(), listDevicePort.size());
    for (quint32 uiAddress : vecDue) {
        QUdpSocket* pSocket = routeSocket(uiAddress);
        for (uint uiPort : qAsConst(listDevicePort))
            pSocket->writeDatagram(baQuery, QHostAddress(uiAddress), quint16(uiPort));
    }
}

QUdpSocket* CUdpDriver::routeSocket(quint32 uiAddress)
{
    const auto it = m_hashRoute.constFind(uiAddress);
    if (it != m_hashRoute.constEnd() && it.value() < listUdpSocket.size())
        return listUdpSocket.at(it.value());
    const quint32 uiSource = PollTargets::routeSource(uiAddress);
    // No route now may be one later: only what the table said is kept.
    if (!uiSource)
        return listUdpSocket.first();
    int iSocket = int(listLocalIPv4.indexOf(uiSource));
    if (iSocket < 0 || iSocket >= listUdpSocket.size())
        iSocket = 0;
    m_hashRoute.insert(uiAddress, iSocket);
    return listUdpSocket.at(iSocket);
}
