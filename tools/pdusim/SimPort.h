#pragma once

#include <QByteArray>
#include <QObject>
#include <QVector>

#include <functional>

class QSocketNotifier;

// One UDP port of the fleet: a socket bound to the wildcard address, so that it receives the
// broadcast queries, which tells for every datagram the address and interface it arrived on, and
// which sends each reply from the address of the device that answers (IP_PKTINFO). One socket then
// serves every device on the port, however many there are.
class CSimPort : public QObject
{
    Q_OBJECT
public:
    struct Datagram
    {
        QByteArray baData;
        quint32 srcIp = 0;
        quint16 srcPort = 0;
        quint32 dstIp = 0;
        int iIfIndex = 0;
    };
    struct Outgoing
    {
        QByteArray baData;
        quint32 srcIp = 0;
        quint32 dstIp = 0;
        quint16 dstPort = 0;
    };

    CSimPort(quint16 uiPort, QObject* parent);
    ~CSimPort() override;

    bool open(QString* pError);
    quint16 port() const { return m_uiPort; }

    // Sends every datagram; what the kernel cannot take at once is kept and sent when it can.
    void send(const QVector<Outgoing>& vecOut);

    quint64 sentCount() const { return m_uiSent; }
    quint64 failedCount() const { return m_uiFailed; }

    std::function<void(const Datagram&)> onDatagram;

private:
    void readPending();
    void flush();

    quint16 m_uiPort;
    int m_iFd = -1;
    QSocketNotifier* m_pReadNotifier = nullptr;
    QSocketNotifier* m_pWriteNotifier = nullptr;
    QVector<Outgoing> m_vecQueue;
    int m_iQueueHead = 0;
    quint64 m_uiSent = 0;
    quint64 m_uiFailed = 0;
};
