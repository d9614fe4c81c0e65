#pragma once

#include "device/PollTargets.h"
#include "device/ReplyQueue.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QObject>
#include <QPointer>

class CAlarmTracker;
class CPdu;
class CUdpDriver;

// The one registry of devices: routes every datagram from the transport to the device that answers
// from the sender's address (creating it on first contact), keeps the list of polled device ports and
// relays every frame a device sends to the transport.
class CRackmind : public QObject
{
    Q_OBJECT
public:
    // Reads the polled ports back from "port.prt" in the working directory.
    explicit CRackmind(QObject* parent = nullptr);
    ~CRackmind() override;

    // The ports a port file lists, in its order, entries that are not ports left out and warned of.
    // A missing file lists none. False, with the reason, when something else than a file is in its place,
    // it cannot be read or it holds such an entry.
    static bool readPortFile(const QString& strFile, QList<uint>* pList, QString* pstrWhy);
    // Ports as the logs and messages name them: "51230,6000", or "none".
    static QString portsText(const QList<uint>& listPorts);
    // Reads "port.prt" again: the polled ports become 51230 and the file's, pAdded and pRemoved telling
    // what changed. False, with the reason, and nothing changed when readPortFile fails.
    bool reloadDevicePort(QList<uint>* pAdded, QList<uint>* pRemoved, QString* pstrWhy);

    // Reads "target.prt" again; false, with the reason, and the list kept when it cannot be read or holds
    // an entry that is refused. *pbChanged tells whether the polled targets changed.
    bool reloadTargets(bool* pbChanged, QString* pstrWhy);
    // Polls these from now on and keeps them in "target.prt"; false when the file could not be written.
    bool setTargets(const PollTargetList& list);

    // Devices beyond this many are not admitted. A room holds a few thousand PDUs at most; anything
    // beyond is a host on the network inventing senders, and each device costs memory and a timer.
    static constexpr int kDeviceLimit = 4096;
    void setDeviceLimit(int iLimit) { m_iDeviceLimit = iLimit; }
    int deviceLimit() const { return m_iDeviceLimit; }

    // Wires the registry to the transport both ways: ports to poll and frames to send go to the
    // driver, the datagrams it reads come here (the batch path).
    void connectTransport(CUdpDriver* pDriver);

    // Datagrams taken from the batch path per turn; the rest wait for the next turn, so that a flood
    // leaves the event loop room for painting and timers in between.
    static constexpr int kDatagramsPerTurn = 2048;

    // Units told apart at one address at most: a few fresh from the factory share its address; a host
    // inventing MACs there must not fill the room.
    static constexpr int kUnitsPerAddress = 16;

    // Replies a new sender may hold back while its network reply (which tells its MAC) is awaited.
    static constexpr int kHeldPerSender = 12;
    static constexpr int kHeldSenders = 256;
    // How long they wait at most: past the online window of the address a moved device left.
    static constexpr qint64 kHoldMsecs = 10000;

    // The tracker every device reports its alarm conditions to, those already known included.
    void setAlarmTracker(CAlarmTracker* pTracker);

    CPdu* addPdu(uint ip);
    // Adds every device's port not yet polled and announces the whole list, changed or not.
    void updateDevicePort();
    int onlineCount() const;
    int abnormalCount() const;

    // Devices in the order they were first heard; each is a child of the registry.
    QList<CPdu*> listPdu;
    // Polled device ports: 51230 first; shrinks only when port.prt is read again.
    QList<uint> listDevicePort;
    // Addresses and subnets polled by unicast beside the broadcast, as "target.prt" lists them.
    PollTargetList targets;

signals:
    void signalNewDevice(CPdu* pPdu);
    void signalUpdateDevicePort(QList<uint> listDevicePort);
    void signalUpdateTargets(PollTargetList list);
    void signalSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort);
    // Every device's change of address, relayed for the overview's slotChangeIP.
    void signalChangeIP(uint oriIP, uint curIP);
    // Emitted after a datagram has been handed to pPdu, so that a page showing that device can
    // re-check its pending changes against the newest reply.
    void signalDeviceAnswered(CPdu* pPdu);
    // A device's MAC became known (or changed): what is kept by MAC can now be applied to it.
    void signalDeviceMacKnown(CPdu* pPdu);

public slots:
    void slotRcvData(QNetworkDatagram ndDatagram);
    // The batch path: takes the datagrams waiting in the transport's queue and routes each exactly as
    // slotRcvData would, in the order they arrived.
    void slotRcvBatch(std::shared_ptr<CReplyQueue> pQueue);

private:
    QList<uint> m_listPortsDropped; // taken out by a reload of port.prt
    QPointer<CAlarmTracker> m_pAlarmTracker;
    void route(quint32 uiSender, const QByteArray& baData);
    void deliver(CPdu* pPdu, const QByteArray& baData);
    // Whether a new sender's reply must wait (false), or may go on (true) to a new device or, with
    // *ppMoved set, to the known device it is: one whose MAC its network reply carries and that has gone
    // silent past the online window where it was. A host claiming the MAC of a device still answering
    // waits, and after kHoldMsecs is a device of its own.
    bool holdWhileUnknown(quint32 uiSender, const QByteArray& baData, qint64 iNow, CPdu** ppMoved);
    // The first device in listPdu that reported this MAC; null for the factory default.
    CPdu* deviceWithMac(const quint8 (&mac)[6]);
    // The device a reply from a known sender's address is for: another known device whose MAC a network
    // reply carries takes the address over once it no longer answers where it was (see Claim); a unit
    // never heard beside one still answering there is a device of its own at the same address. Null for
    // a reply that waits while that is undecided.
    CPdu* takenOver(CPdu* pPdu, quint32 uiSender, const QByteArray& baData);
    // A known device's MAC told from another known device's address while the device of that MAC still
    // answers where it was: two units swapping addresses, or a unit given the other's MAC. The replies
    // from here wait until the device of that MAC decides it: telling it again where it was, the unit
    // here stays the device it was (with that MAC too); gone silent there, or telling this device's MAC
    // there, it came here. Past kHoldMsecs undecided, the unit here stays what it was.
    struct Claim
    {
        QPointer<CPdu> pOwner;
        qint64 iSinceMsecs = 0;
        QList<QByteArray> listHeld;
    };
    QHash<quint32, Claim> m_hashClaim;
    // The device the replies of an open claim at this address go to, its held replies delivered; null
    // while undecided, this reply held too.
    CPdu* settleClaim(QHash<quint32, Claim>::iterator it, CPdu* pPdu, quint32 uiSender,
                      const QByteArray& baData);
    // pOwner answers from uiSender now; pPdu, there before, is offline until found where it went.
    void moveHere(CPdu* pPdu, CPdu* pOwner, quint32 uiSender);
    // The first device told by a download to move to this address, while that move is open.
    CPdu* movingTo(quint32 uiAddress, qint64 iNow);
    struct Held
    {
        qint64 iSinceMsecs = 0;
        QList<QByteArray> listData;
    };
    // An address two or more units answer from. Only their network replies tell their MACs; the other
    // replies are told apart by their order within a poll.
    struct SharedSource
    {
        QList<QPointer<CPdu>> listRound; // the units in the order they told their MACs this poll
        int aiReplies[32] = {};          // the unit in listRound the next reply of each command is from
        bool bOthersSince = false;       // replies other than network ones since the last network reply
        int iUnits = 1;                  // devices answering from the address
        void told(CPdu* pPdu);
        CPdu* replyOf(CPdu* pFirst, quint32 uiSender, int iCommand);
    };
    QHash<quint32, SharedSource> m_hashShared;
    // A MAC never heard, told from a device's address while that device still tells its own: a second
    // unit there once the device's own MAC comes again, the device's new MAC (written by another program)
    // if the newcomer's comes again first. Until then that address's readings wait a poll.
    struct Newcomer
    {
        quint64 uiMac = 0;
        qint64 iSinceMsecs = 0;
        bool bFirstToldSince = false;
        int iTold = 1;
    };
    // Tellings of a newcomer's MAC, with none of the device's own between, that make it the device's new MAC.
    static constexpr int kNewcomerTellings = 3;
    QHash<quint32, Newcomer> m_hashNewcomer;
    // Replies of new senders while a silent device with a known MAC may reappear at one of them.
    QHash<quint32, Held> m_hashHeld;
    int m_iDeviceLimit = kDeviceLimit;
    // The first device in listPdu that answers from this address, or null.
    CPdu* findBySource(quint32 uiAddress);

    // Every reply is routed through these indexes, so that its cost does not grow with the room. They
    // follow every change the registry makes (new devices, moves, MACs told, downloads that move a
    // device); a device appended to listPdu or changed behind the registry's back is noticed where a hit
    // disagrees with the device's own record, or by the list's length, and everything is indexed anew.
    void ensureIndex();
    void rebuildIndex();
    void indexDevice(CPdu* pPdu, int iOrder);
    void setSource(CPdu* pPdu, quint32 uiAddress);
    void endMove(CPdu* pPdu);
    void onMacKnown(CPdu* pPdu);
    void onMovePending(CPdu* pPdu);
    bool isEarlier(const CPdu* pFirst, const CPdu* pSecond) const;

    // Source address -> first device answering from it.
    QHash<quint32, CPdu*> m_hashBySource;
    // MAC (with a bit above its 48 set, so that no MAC is 0) -> first device that reported it. Empty while
    // no device has told a MAC of its own.
    QHash<quint64, CPdu*> m_hashByMac;
    // MAC key -> how many devices hold it, so that the first one telling another MAC (two units answering
    // from one address do at every reply) hands its entry on without looking at every device.
    QHash<quint64, int> m_hashMacHolders;
    // Address a download moves a device to -> the devices told so (those since moved on are dropped when
    // looked at).
    QMultiHash<quint32, CPdu*> m_hashMoving;
    struct Indexed
    {
        int iOrder = 0;    // place in listPdu
        quint64 uiMac = 0; // key in m_hashByMac, 0 for none
    };
    QHash<const CPdu*, Indexed> m_hashIndexed;
    int m_iIndexedCount = -1; // listPdu's length when indexed; -1 to index anew
};

// The process-wide registry; set by whoever creates it (the login), null before.
extern CRackmind* g_pRackmind;
