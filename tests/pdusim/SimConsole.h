#pragma once

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

// The console's end of the wire, kept bare for tests of the simulator: one socket on the bed's console
// address, the queries as they are sent in the field, and a collector of replies.
class SimConsole
{
public:
    static QHostAddress address() { return QHostAddress(QStringLiteral("10.200.0.1")); }
    static quint16 port() { return 51230; }

    static const QList<QByteArray>& queries()
    {
        static const QList<QByteArray> list = {
            QByteArray::fromHex("A7400100E8"), QByteArray::fromHex("A7400200E9"),
            QByteArray::fromHex("A7400600EC"), QByteArray::fromHex("A7400800EE"),
            QByteArray::fromHex("A7400E00F5"), QByteArray::fromHex("A7401000F7")};
        return list;
    }

    bool open()
    {
        if (!m_socket.bind(address(), port()))
            return false;
        // Room for a whole fleet's burst of replies (the kernel caps it at rmem_max).
        m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 * 1024 * 1024);
        return true;
    }
    QString errorString() const { return m_socket.errorString(); }

    void broadcast(const QByteArray& baFrame, quint16 uiPort = 51230)
    {
        m_socket.writeDatagram(baFrame, QHostAddress::Broadcast, uiPort);
    }
    void pollAll(quint16 uiPort = 51230)
    {
        for (const QByteArray& ba : queries())
            broadcast(ba, uiPort);
    }
    void sendTo(const QByteArray& baFrame, const QString& strAddr, quint16 uiPort = 51230)
    {
        m_socket.writeDatagram(baFrame, QHostAddress(strAddr), uiPort);
    }

    // Collects replies until iCount have come (then lingers iLingerMs for surplus ones) or iTimeoutMs
    // has passed.
    QList<QNetworkDatagram> collect(int iCount, int iTimeoutMs = 5000, int iLingerMs = 150)
    {
        QList<QNetworkDatagram> list;
        QElapsedTimer clock;
        clock.start();
        qint64 deadline = iTimeoutMs;
        while (clock.elapsed() < deadline) {
            while (m_socket.hasPendingDatagrams())
                list.append(m_socket.receiveDatagram());
            if (list.size() >= iCount && deadline == iTimeoutMs)
                deadline = clock.elapsed() + iLingerMs;
            m_socket.waitForReadyRead(10);
        }
        return list;
    }
    // Waits iMs and returns whatever came.
    QList<QNetworkDatagram> quiet(int iMs) { return collect(INT_MAX, iMs); }

private:
    QUdpSocket m_socket;
};
