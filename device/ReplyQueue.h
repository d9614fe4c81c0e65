#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QVector>

#include <deque>
#include <memory>
#include <mutex>

// Datagrams read in one go, in the order they arrived: their bytes back to back in one block, so that
// a burst costs one allocation and no copy per datagram on its way to the devices.
struct DatagramBatch
{
    struct Entry
    {
        quint32 uiSender = 0;
        quint16 uiPort = 0;
        int iOffset = 0;
        int iSize = 0;
    };
    QByteArray baBytes;
    QVector<Entry> vecEntry;

    void append(quint32 uiSender, quint16 uiPort, const char* pData, int iSize)
    {
        vecEntry.append(Entry{uiSender, uiPort, baBytes.size(), iSize});
        baBytes.append(pData, iSize);
    }
    // A view of one datagram's bytes, valid while the batch lives.
    QByteArray data(const Entry& entry) const
    {
        return QByteArray::fromRawData(baBytes.constData() + entry.iOffset, entry.iSize);
    }
};

// Replies on their way from "UdpThread" to the registry's thread. The transport appends what one
// notification read; the consumer is woken once for whatever piles up until it comes to take it, not
// once per datagram. Any thread.
class CReplyQueue
{
public:
    // True when the consumer must be woken: nothing was waiting and no wake-up is on its way.
    bool push(DatagramBatch&& batch, qint64 iBytes);
    // Whole batches in arrival order, until at least iMaxDatagrams are taken. *pbMore tells that some
    // are left and the wake-up stays pending: the consumer comes back for them itself.
    QVector<DatagramBatch> take(int iMaxDatagrams, bool* pbMore);
    // Bytes waiting, as counted by push().
    qint64 bytes() const;

private:
    mutable std::mutex m_mutex;
    std::deque<std::pair<DatagramBatch, qint64>> m_dequeWaiting;
    qint64 m_iBytes = 0;
    bool m_bWakePending = false;
};

Q_DECLARE_METATYPE(std::shared_ptr<CReplyQueue>)
