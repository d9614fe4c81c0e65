#include "device/ReplyQueue.h"

bool CReplyQueue::push(DatagramBatch&& batch, qint64 iBytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dequeWaiting.emplace_back(std::move(batch), iBytes);
    m_iBytes += iBytes;
    if (m_bWakePending)
        return false;
    m_bWakePending = true;
    return true;
}

QVector<DatagramBatch> CReplyQueue::take(int iMaxDatagrams, bool* pbMore)
{
    QVector<DatagramBatch> vecTaken;
    std::lock_guard<std::mutex> lock(m_mutex);
    int iTaken = 0;
    while (!m_dequeWaiting.empty() && iTaken < iMaxDatagrams) {
        iTaken += m_dequeWaiting.front().first.vecEntry.size();
        m_iBytes -= m_dequeWaiting.front().second;
        vecTaken.append(std::move(m_dequeWaiting.front().first));
        m_dequeWaiting.pop_front();
    }
    *pbMore = !m_dequeWaiting.empty();
    m_bWakePending = *pbMore;
    return vecTaken;
}

qint64 CReplyQueue::bytes() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_iBytes;
}
