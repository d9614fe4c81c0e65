#pragma once

#include "device/PduInfo.h"
#include "device/TargetPoll.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <deque>
#include <functional>

class QTimer;
class QUdpSocket;

// What one PDU has told us so far. A PDU counts as found once its network settings have arrived.
struct CtlPdu
{
    PduInfo info;
    quint32 uiSender = 0;          // the address its replies come from
    quint16 uiPort = 0;            // the port its replies come from
    QUdpSocket* pSocket = nullptr; // the local socket its replies reach, used to talk back
    quint32 uiSeen = 0;            // bit n set once a reply to command n arrived
    qint64 iStatusStamp = 0;       // count of status replies, to tell a fresh one from an old one

    bool has(quint8 cmd) const { return uiSeen & (1u << cmd); }
};

// The command line's own side of the wire: one socket per local IPv4 address, on a port of its own
// (PDUs answer the source port of a query), so that it works beside a console or service that holds
// the device port. Replies are decoded with the same codecs as the console's.
class CCtlLink : public QObject
{
    Q_OBJECT
public:
    explicit CCtlLink(QObject* parent = nullptr);

    // uiSourcePort 0 takes a free port per address. False, with the reason, when a socket cannot bind.
    bool open(quint16 uiSourcePort, QString* pError);
    int socketCount() const { return m_listSockets.size(); }

    // The six polling queries, broadcast on every polled port through every socket, and sent by unicast
    // to the listed addresses and to those the sweep found.
    void broadcastQueries(const QList<uint>& listPorts);
    // Addresses and subnets beyond the broadcast's reach; the subnets are swept on these ports at the
    // list's pace while the link waits. The time one round of the sweep takes is returned.
    qint64 setTargets(const PollTargetList& list, const QList<uint>& listPorts);
    // One query or frame straight to a PDU, from the socket that hears it.
    void sendTo(const CtlPdu& pdu, const QByteArray& baFrame);
    void query(const CtlPdu& pdu, quint8 cmd);

    // Runs the event loop until fnDone is true or iMsecs pass; fnTick runs every iTickMsecs meanwhile.
    bool waitUntil(const std::function<bool()>& fnDone, int iMsecs, int iTickMsecs = 250,
                   const std::function<void()>& fnTick = {});

    // Every PDU whose network settings have arrived, in the order they were first heard.
    QList<const CtlPdu*> found() const;

signals:
    void signalReply();

private:
    void slotRead();
    void slotSweep();
    // The socket whose address the routing table sends from towards uiAddress.
    QUdpSocket* socketTo(quint32 uiAddress) const;

    CTargetPoll m_targetPoll;
    QElapsedTimer m_clockTargets;
    QList<uint> m_listTargetPorts;
    QTimer* m_pSweepTimer = nullptr;

    QList<QUdpSocket*> m_listSockets;
    QList<quint32> m_listLocal;
    std::deque<CtlPdu> m_dequePdus; // a deque keeps the addresses handed out stable
};
