#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>

#include <future>

// A loopback port nobody listens on just now.
inline quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// One raw request to 127.0.0.1:port; the whole response as the server sent it before closing, empty
// when nothing came within iMsec.
inline QByteArray httpExchange(quint16 uiPort, const QByteArray& baRequest, int iMsec = 10000)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), uiPort);
    if (!socket.waitForConnected(iMsec))
        return {};
    socket.write(baRequest);
    QByteArray baResponse;
    while (socket.waitForReadyRead(iMsec))
        baResponse += socket.readAll();
    return baResponse + socket.readAll();
}

// The same from a thread of its own, while this one runs its events: for a server fed by this thread's
// timers.
inline QByteArray httpExchangeServed(quint16 uiPort, const QByteArray& baRequest)
{
    auto exchange = std::async(std::launch::async, [&] { return httpExchange(uiPort, baRequest); });
    while (exchange.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return exchange.get();
}

inline QByteArray httpGet(quint16 uiPort, const QByteArray& baPath)
{
    return httpExchange(uiPort, "GET " + baPath + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
}

// promtool's verdict on a scrape: its exit code 0 when the text passes, its complaints otherwise.
inline QString promtoolCheckMetrics(const QByteArray& baResponse)
{
    QProcess process;
    process.start(QStringLiteral("promtool"), {QStringLiteral("check"), QStringLiteral("metrics")});
    // A promtool that did not run has checked nothing.
    if (!process.waitForStarted(30000))
        return QStringLiteral("promtool did not start: ") + process.errorString();
    process.write(baResponse.mid(baResponse.indexOf("\r\n\r\n") + 4));
    process.closeWriteChannel();
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("promtool did not finish");
    return process.exitCode() == 0 ? QString() : QString::fromUtf8(process.readAll());
}
