#pragma once

#include "device/ReplyQueue.h"
#include "device/TargetPoll.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QTimer;
class QUdpSocket;

// What the driver needs to know of one network interface; tests hand in their own lists.
struct NetInterfaceInfo
{
    QString name;
    QNetworkInterface::InterfaceFlags flags;
    QList<QHostAddress> addresses;
    QList<int> prefixLengths; // of each address, where known
};

// Owns the UDP sockets: polls every device port with the query frames once per tick, sends the frames
// handed to it and passes on every datagram that did not come from this console. Lives in "UdpThread".
class CUdpDriver : public QObject
{
    Q_OBJECT
public:
    explicit CUdpDriver(QObject* parent = nullptr);
    explicit CUdpDriver(const QList<NetInterfaceInfo>& listInterface, QObject* parent = nullptr);

    // The machine's interfaces as the constructor sees them.
    static QList<NetInterfaceInfo> systemInterfaces();

    // Bytes of received datagrams (with a fixed allowance for the event that carries each) handed to the
    // application's thread and not yet taken there. Past the limit, datagrams are read and dropped: a
    // GUI thread held up (by a blocking mail test, say) under a flood must not make the queue between
    // the threads grow without bound. Device replies are small; the limit holds over 50,000 of them.
    static constexpr qint64 kMaxQueuedBytes = 32 * 1024 * 1024;
    static constexpr qint64 kQueuedOverheadBytes = 512;
    // Datagrams read per notification at most, so that the poll timer still runs under a flood.
    static constexpr int kMaxReadsPerNotification = 1000;
    // How long the socket is left alone after it was read empty, so that a burst is read in a few
    // gulps instead of a wake-up per datagram.
    static constexpr int kCoalesceMsec = 2;
    qint64 queuedBytes() const { return m_pQueuedBytes->load() + m_pReplyQueue->bytes(); }
    qint64 droppedDatagrams() const { return m_iDropped.load(); }
    // Wall-clock time of the last poll tick that sent a query, in ms since the epoch, 0 before the
    // first; any thread.
    qint64 lastPollMsecs() const { return m_iLastPollMs.load(); }
    // Interfaces with a socket polling on them now; any thread.
    int polledInterfaces() const { return m_iPolledInterfaces.load(); }
    // Addresses of the listed subnets that answered the sweep and are polled by unicast; any thread.
    int sweepFound() const { return m_iSweepFound.load(); }
    // Turns of the sweep's timer; the sweep looks at its pace this often.
    static constexpr int kSweepTickMsec = 20;

    // Looks at the machine's interfaces again every iMsec while polling (0: never, as at the console):
    // sockets are opened on addresses that appeared and closed on those that went. Call before start.
    void setInterfaceRescan(int iMsec) { m_iRescanMsec = iMsec; }
    // The interfaces looked at by a rescan; the machine's own unless a test hands in another source.
    std::function<QList<NetInterfaceInfo>()> fnInterfaces = &CUdpDriver::systemInterfaces;

    QList<uint> listDevicePort;
    QTimer* pTimer = nullptr;
    QList<QUdpSocket*> listUdpSocket;
    QList<QHostAddress> listLocalAddr;
    QList<uint> listLocalIPv4;

    // Where the batch path leaves what it read; the same queue for the driver's whole life.
    std::shared_ptr<CReplyQueue> replyQueue() const { return m_pReplyQueue; }

signals:
    // One datagram at a time, each as a queued call of its own; only while something is connected.
    void signalRcvData(QNetworkDatagram ndDatagram);
    // The batch path: datagrams wait in pQueue, and this tells that some have come while none were
    // waiting. Several datagrams are read with each system call. Only while something is connected.
    void signalRcvBatch(std::shared_ptr<CReplyQueue> pQueue);
    // After each poll tick: whether any query went out, and on how many interfaces.
    void signalPolled(bool bSent, int iInterfaces);
    // A rescan found an address appear ("eth1 10.0.0.5"), go, or refuse a socket (strError set).
    void signalInterfaceChanged(const QString& strWhat, bool bAdded, const QString& strError);

public slots:
    void slotStartBroadcast(bool& bResult, uint uiUdpLocalPort = 51230, uint uiUpdateRate = 1000);
    void slotStopBroadcast();
    void slotUpdateDevicePort(QList<uint> listDevicePort);
    void slotSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort);
    void slotUdpRead();
    void slotBroadcastTimeout();
    // Addresses and subnets polled by unicast beside the broadcast; an empty list polls by broadcast only.
    void slotUpdateTargets(PollTargetList list);

protected:
    bool event(QEvent* pEvent) override;

private:
    // Reads what the socket holds, up to the read limit, handing each datagram to fnDeliver.
    void drain(QUdpSocket* pSocket, bool bRearm);
    template <typename Deliver> bool readPending(QUdpSocket* pSocket, bool bRearm, Deliver fnDeliver);
    void releaseSockets();
    // Opens the polling socket on listLocalAddr[i]; false with the reason when the address refuses it.
    bool bindSocket(int i, QString* pError);
    void slotRescan();
    void countInterfaces();
    void writePortFile();
    bool pollTargets();
    // The six queries to each address, on the socket its route leaves from; false when none went out.
    bool sendQueries(const QVector<quint32>& vecAddress);
    void slotSweep();
    void startSweep();
    // The socket whose address the system sends from towards uiAddress, so that the replies come back
    // to it and a frame leaves once; the first socket when no route says otherwise.
    QUdpSocket* routeSocket(quint32 uiAddress);
    // The networks of the interfaces polled on: the broadcast reaches them, so no target there is also
    // polled by unicast (each of its replies would come twice a poll).
    void setLocalNets(const QList<NetInterfaceInfo>& listInterface);
    CTargetPoll m_targetPoll;
    QElapsedTimer m_clockTargets;
    QTimer* m_pSweepTimer = nullptr;
    QHash<quint32, int> m_hashRoute; // address -> place of its socket in listUdpSocket
    std::atomic<int> m_iSweepFound{0};
    bool m_bPortFileBurst = false;
    bool m_bPortFileDirty = false;
    std::shared_ptr<std::atomic<qint64>> m_pQueuedBytes = std::make_shared<std::atomic<qint64>>(0);
    std::shared_ptr<CReplyQueue> m_pReplyQueue = std::make_shared<CReplyQueue>();
    std::vector<char> m_vecReadBuffer;
    std::atomic<qint64> m_iDropped{0};
    std::atomic<qint64> m_iLastPollMs{0};
    std::atomic<int> m_iPolledInterfaces{0};
    int m_iRescanMsec = 0;
    QTimer* m_pRescanTimer = nullptr;
    uint m_uiLocalPort = 51230;
    // The interface of each entry of listLocalAddr; listUdpSocket keeps the same order while polling.
    QStringList m_listAddrIface;
    // Addresses found but refusing a socket ("eth1 10.0.0.5"), reported once.
    QStringList m_listRefused;
    void returnHomeWhenThreadEnds();
};
