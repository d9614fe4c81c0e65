#pragma once

#include "device/PollTargets.h"

#include <QHash>
#include <QSet>
#include <QVector>

#include <algorithm>

// Who is polled by unicast beside the broadcast, and when the sweep of the listed subnets queries which
// address. Listed addresses get the six queries every poll; an address of a subnet that answers the sweep
// is polled likewise until it has been silent kLostMsecs, and then waits for the sweep to find it again.
// Times are the caller's monotonic milliseconds, so that a test steps them.
class CTargetPoll
{
public:
    static constexpr qint64 kLostMsecs = 10000;
    // Pace saved up while the sweep was not looked at: a short burst at most, whatever the gap.
    static constexpr qint64 kBurstMsecs = 50;
    // Addresses looked at per turn at most, so that a turn over subnets whose PDUs are all found stays short.
    static constexpr quint32 kLookedPerTurn = 1024;
    // One poll's unicast queries go out evenly over this share of the poll interval, not in one burst: at
    // a few thousand PDUs a burst overruns the queues on the way and their replies the receive buffer.
    static constexpr int kSpreadPercent = 50;

    void setTargets(const PollTargetList& list);
    // Networks the broadcast reaches: nothing there is polled by unicast, swept or found.
    void setLocalNets(const QVector<PollTarget>& vecNet);
    const PollTargetList& targets() const { return m_list; }
    bool isEmpty() const { return m_list.isEmpty(); }
    bool hasSubnets() const { return !m_vecSubnet.isEmpty(); }
    // A listed address or one found by the sweep and still polled.
    bool isPolled(quint32 uiAddress) const
    {
        return m_setListed.contains(uiAddress) || m_hashFound.contains(uiAddress);
    }
    int foundCount() const { return m_hashFound.size(); }
    // How long one round of the sweep over every subnet takes at its pace, iCost datagrams an address.
    qint64 roundMsecs(int iCost) const
    {
        return m_vecSubnet.isEmpty() ? 0 : qint64(m_uiSweptTotal) * iCost * 1000 / m_list.iSweepRate;
    }

    // A reply came from uiSender: an address of a listed subnet is polled by unicast from now on.
    void noteReply(quint32 uiSender, qint64 iNowMs);
    // The addresses the queries go to this poll; found ones silent too long are dropped first.
    QVector<quint32> pollAddresses(qint64 iNowMs);
    // Starts a poll of those addresses spread over iSpreadMs: returns the ones due at once; pollDue gives
    // the rest as time goes on, all of them by the end of the spread. A poll started before the last one
    // was through replaces it.
    QVector<quint32> startPoll(qint64 iNowMs, qint64 iSpreadMs);
    QVector<quint32> pollDue(qint64 iNowMs);
    // The addresses whose sweep query is due now, each costing iCost datagrams (one per port): never
    // more than the pace allows, for all subnets together.
    QVector<quint32> sweepDue(qint64 iNowMs, int iCost);

private:
    bool sweepSkips(int iEntry, quint32 uiAddress) const;
    bool isLocal(quint32 uiAddress) const
    {
        return std::any_of(m_vecLocal.cbegin(), m_vecLocal.cend(),
                           [&](const PollTarget& net) { return net.contains(uiAddress); });
    }

    PollTargetList m_list;
    QSet<quint32> m_setListed;
    QVector<int> m_vecSubnet; // places of the subnets in m_list.listTarget
    // For each subnet, the earlier ones that hold it or lie in it (subnets nest or are apart).
    QVector<QVector<int>> m_vecOverlaps;
    QHash<quint32, qint64> m_hashFound;
    QVector<PollTarget> m_vecLocal;
    int m_iSweepSubnet = 0;
    quint32 m_uiSweepIndex = 0;
    quint32 m_uiSweptTotal = 0;
    double m_dCredit = 0;
    qint64 m_iCreditMs = -1;
    QVector<quint32> m_vecPoll;
    int m_iPollSent = 0;
    qint64 m_iPollStartMs = 0;
    qint64 m_iPollSpreadMs = 1;
};
