#include "device/TargetPoll.h"

void CTargetPoll::setTargets(const PollTargetList& list)
{
    if (list == m_list)
        return;
    m_list = list;
    m_setListed.clear();
    m_vecSubnet.clear();
    m_vecOverlaps.clear();
    m_uiSweptTotal = 0;
    for (int i = 0; i < list.listTarget.size(); ++i) {
        const PollTarget& target = list.listTarget.at(i);
        if (!target.isSubnet()) {
            m_setListed.insert(target.uiBase);
            continue;
        }
        QVector<int> vecEarlier;
        for (int j = 0; j < m_vecSubnet.size(); ++j) {
            const PollTarget& earlier = list.listTarget.at(m_vecSubnet.at(j));
            if (earlier.contains(target.uiBase) || target.contains(earlier.uiBase))
                vecEarlier.append(j);
        }
        m_vecSubnet.append(i);
        m_vecOverlaps.append(vecEarlier);
        m_uiSweptTotal += target.sweptCount();
    }
    // What is still in a listed subnet stays found; the sweep starts from the beginning.
    for (auto it = m_hashFound.begin(); it != m_hashFound.end();) {
        const bool bKept = std::any_of(m_vecSubnet.cbegin(), m_vecSubnet.cend(),
                                       [&](int i) { return m_list.listTarget.at(i).contains(it.key()); });
        it = bKept && !m_setListed.contains(it.key()) ? std::next(it) : m_hashFound.erase(it);
    }
    m_iSweepSubnet = 0;
    m_uiSweepIndex = 0;
    m_dCredit = 0;
    m_iCreditMs = -1;
}

void CTargetPoll::setLocalNets(const QVector<PollTarget>& vecNet)
{
    m_vecLocal = vecNet;
    for (auto it = m_hashFound.begin(); it != m_hashFound.end();)
        it = isLocal(it.key()) ? m_hashFound.erase(it) : std::next(it);
}

void CTargetPoll::noteReply(quint32 uiSender, qint64 iNowMs)
{
    const auto it = m_hashFound.find(uiSender);
    if (it != m_hashFound.end()) {
        *it = iNowMs;
        return;
    }
    if (m_setListed.contains(uiSender))
        return;
    // A handful of subnets at most: the cost per reply does not grow with the PDUs.
    for (int i : qAsConst(m_vecSubnet))
        if (m_list.listTarget.at(i).contains(uiSender)) {
            if (!isLocal(uiSender))
                m_hashFound.insert(uiSender, iNowMs);
            return;
        }
}

QVector<quint32> CTargetPoll::pollAddresses(qint64 iNowMs)
{
    QVector<quint32> vecAddress;
    vecAddress.reserve(m_setListed.size() + m_hashFound.size());
    for (const PollTarget& target : qAsConst(m_list.listTarget))
        if (!target.isSubnet() && !isLocal(target.uiBase))
            vecAddress.append(target.uiBase);
    for (auto it = m_hashFound.begin(); it != m_hashFound.end();) {
        if (iNowMs - it.value() >= kLostMsecs) {
            it = m_hashFound.erase(it);
            continue;
        }
        vecAddress.append(it.key());
        ++it;
    }
    return vecAddress;
}

QVector<quint32> CTargetPoll::startPoll(qint64 iNowMs, qint64 iSpreadMs)
{
    m_vecPoll = pollAddresses(iNowMs);
    m_iPollSent = 0;
    m_iPollStartMs = iNowMs;
    m_iPollSpreadMs = qMax<qint64>(1, iSpreadMs);
    return pollDue(iNowMs);
}

QVector<quint32> CTargetPoll::pollDue(qint64 iNowMs)
{
    // Evenly by the millisecond: the first ones at once, the last when the spread is over.
    const qint64 iElapsed = qBound<qint64>(0, iNowMs - m_iPollStartMs + 1, m_iPollSpreadMs);
    const int iDue = int((qint64(m_vecPoll.size()) * iElapsed + m_iPollSpreadMs - 1) / m_iPollSpreadMs);
    const QVector<quint32> vecDue = m_vecPoll.mid(m_iPollSent, iDue - m_iPollSent);
    m_iPollSent = qMax(m_iPollSent, iDue);
    return vecDue;
}

bool CTargetPoll::sweepSkips(int iEntry, quint32 uiAddress) const
{
    if (isPolled(uiAddress) || isLocal(uiAddress))
        return true;
    // Subnets that overlap: each address once a round, in the first that holds it.
    return std::any_of(m_vecOverlaps.at(iEntry).cbegin(), m_vecOverlaps.at(iEntry).cend(),
                       [&](int i) { return m_list.listTarget.at(m_vecSubnet.at(i)).contains(uiAddress); });
}

QVector<quint32> CTargetPoll::sweepDue(qint64 iNowMs, int iCost)
{
    QVector<quint32> vecDue;
    if (m_vecSubnet.isEmpty() || iCost <= 0)
        return vecDue;
    if (m_iCreditMs < 0)
        m_iCreditMs = iNowMs;
    const double dRate = m_list.iSweepRate;
    m_dCredit += dRate * double(qMax<qint64>(0, iNowMs - m_iCreditMs)) / 1000.0;
    m_iCreditMs = iNowMs;
    m_dCredit = qMin(m_dCredit, qMax(double(iCost), dRate * double(kBurstMsecs) / 1000.0));
    // One round at most per turn, and a bounded part of it: with every address found or skipped there is
    // nothing to send.
    const quint32 uiLook = qMin(m_uiSweptTotal, kLookedPerTurn);
    for (quint32 uiLooked = 0; m_dCredit >= iCost && uiLooked < uiLook; ++uiLooked) {
        const PollTarget& subnet = m_list.listTarget.at(m_vecSubnet.at(m_iSweepSubnet));
        const quint32 uiAddress = subnet.sweptAt(m_uiSweepIndex);
        const int iEntry = m_iSweepSubnet;
        if (++m_uiSweepIndex >= subnet.sweptCount()) {
            m_uiSweepIndex = 0;
            m_iSweepSubnet = (m_iSweepSubnet + 1) % m_vecSubnet.size();
        }
        if (sweepSkips(iEntry, uiAddress))
            continue;
        vecDue.append(uiAddress);
        m_dCredit -= iCost;
    }
    return vecDue;
}
