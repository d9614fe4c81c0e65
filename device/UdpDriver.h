#pragma once

#include <QHostAddress>
#include <QList>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QObject>
#include <QString>

class QTimer;
class QUdpSocket;

// What the driver needs to know of one network interface; tests hand in their own lists.
struct NetInterfaceInfo
{
    QString name;
    QNetworkInterface::InterfaceFlags flags;
    QList<QHostAddress> addresses;
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

    QList<uint> listDevicePort;
    QTimer* pTimer = nullptr;
    QList<QUdpSocket*> listUdpSocket;
    QList<QHostAddress> listLocalAddr;
    QList<uint> listLocalIPv4;

signals:
    void signalRcvData(QNetworkDatagram ndDatagram);

public slots:
    void slotStartBroadcast(bool& bResult, uint uiUdpLocalPort = 51230, uint uiUpdateRate = 1000);
    void slotStopBroadcast();
    void slotUpdateDevicePort(QList<uint> listDevicePort);
    void slotSndData(bool& bResult, QByteArray baData, QHostAddress addrDestIP, uint uiDestPort);
    void slotUdpRead();
    void slotBroadcastTimeout();

protected:
    bool event(QEvent* pEvent) override;

private:
    void releaseSockets();
    void returnHomeWhenThreadEnds();
};
