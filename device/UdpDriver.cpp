#include "device/UdpDriver.h"

#include "device/Protocol.h"

#include <QEvent>
#include <QSettings>
#include <QThread>
#include <QTimer>
#include <QUdpSocket>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif

namespace {

// A large room answers six queries per device within a few milliseconds; the default receive buffer
// holds only a few hundred small datagrams.
constexpr int kReceiveBufferBytes = 8 * 1024 * 1024;

void enlargeReceiveBuffer(QUdpSocket* pSocket)
{
    pSocket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
#ifdef Q_OS_LINUX
    // The console runs elevated, which lets it go past the system's cap; without the right this is a no-op.
    int iBytes = kReceiveBufferBytes;
    setsockopt(int(pSocket->socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &iBytes, sizeof iBytes);
#endif
}

} // namespace

CUdpDriver::CUdpDriver(QObject* parent) : CUdpDriver(systemInterfaces(), parent) {}

CUdpDriver::CUdpDriver(const QList<NetInterfaceInfo>& listInterface, QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("UdpDriver"));
    pTimer = new QTimer(this);
    connect(pTimer, &QTimer::timeout, this, &CUdpDriver::slotBroadcastTimeout);
    listDevicePort.append(51230);

    // IsUp is deliberately not tested: a running interface is what carries traffic.
    for (const NetInterfaceInfo& iface : listInterface) {
        if (!(iface.flags & QNetworkInterface::IsRunning) || (iface.flags & QNetworkInterface::IsLoopBack))
            continue;
        for (const QHostAddress& addr : iface.addresses) {
            if (addr.protocol() != QAbstractSocket::IPv4Protocol ||
                addr == QHostAddress(QHostAddress::LocalHost))
                continue;
            listLocalAddr.append(addr);
            listLocalIPv4.append(addr.toIPv4Address());
        }
    }
}

QList<NetInterfaceInfo> CUdpDriver::systemInterfaces()
{
    QList<NetInterfaceInfo> listInterface;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        NetInterfaceInfo info{iface.name(), iface.flags(), {}};
        const QList<QNetworkAddressEntry> entries = iface.addressEntries();
        for (const QNetworkAddressEntry& entry : entries)
            info.addresses.append(entry.ip());
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
            moveToThread(pWorker->thread());
        },
        Qt::DirectConnection);
}

void CUdpDriver::slotStartBroadcast(bool& bResult, uint uiUdpLocalPort, uint uiUpdateRate)
{
    // A second start rebinds from scratch instead of tripping over its own sockets.
    pTimer->stop();
    releaseSockets();

    for (const QHostAddress& addr : qAsConst(listLocalAddr)) {
        auto* pSocket = new QUdpSocket(this);
        connect(pSocket, &QUdpSocket::readyRead, this, &CUdpDriver::slotUdpRead);
        if (!pSocket->bind(addr, quint16(uiUdpLocalPort))) {
            delete pSocket;
            releaseSockets();
            bResult = false;
            return;
        }
        enlargeReceiveBuffer(pSocket);
        listUdpSocket.append(pSocket);
    }
    pTimer->start(int(uiUpdateRate));
    bResult = true;
}

void CUdpDriver::slotStopBroadcast()
{
    pTimer->stop();
    releaseSockets();
}

void CUdpDriver::releaseSockets()
{
    for (QUdpSocket* pSocket : qAsConst(listUdpSocket)) {
        pSocket->close();
        delete pSocket;
    }
    listUdpSocket.clear();
}

void CUdpDriver::slotUpdateDevicePort(QList<uint> listDevicePort)
{
    if (listDevicePort != this->listDevicePort)
        this->listDevicePort = listDevicePort;

    // Written every time the list is announced; keys of a longer former list are left for the reader
    // to ignore. Each new device announces the list again, so a room coming up announces it hundreds
    // of times a second: a file that already holds the list is not written again, since every write
    // locks, flushes to disk and renames, and holds up the reading of replies meanwhile.
    QSettings settingsPort(QStringLiteral("port.prt"), QSettings::IniFormat);
    QStringList listKeys;
    bool bHeld = true;
    for (int i = 0; i < listDevicePort.size(); ++i) {
        listKeys << QStringLiteral("%1/port").arg(i);
        bHeld =
            bHeld && settingsPort.value(listKeys.last()).toString() == QString::number(listDevicePort.at(i));
    }
    if (bHeld)
        return;
    for (int i = 0; i < listDevicePort.size(); ++i)
        settingsPort.setValue(listKeys.at(i), listDevicePort.at(i));
    settingsPort.sync();
}

void CUdpDriver::slotSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort)
{
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
    auto* pSocket = qobject_cast<QUdpSocket*>(sender());
    if (!pSocket)
        return;
    // Drain the queue: one notification may stand for a whole burst of replies.
    while (pSocket->hasPendingDatagrams()) {
        const QNetworkDatagram ndDatagram = pSocket->receiveDatagram();
        if (!ndDatagram.isValid())
            break;
        if (listLocalIPv4.contains(ndDatagram.senderAddress().toIPv4Address()))
            continue;
        emit signalRcvData(ndDatagram);
    }
}

void CUdpDriver::slotBroadcastTimeout()
{
    const QList<QByteArray>& frames = queryFrames();
    for (QUdpSocket* pSocket : qAsConst(listUdpSocket))
        for (uint uiPort : qAsConst(listDevicePort))
            for (const QByteArray& baFrame : frames)
                pSocket->writeDatagram(baFrame, QHostAddress(QHostAddress::Broadcast), quint16(uiPort));
}
