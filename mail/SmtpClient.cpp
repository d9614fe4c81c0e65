#include "mail/SmtpClient.h"

#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"

#include <QSslSocket>
#include <QTcpSocket>

#include <chrono>

namespace {
// Waits are cut into slices so that an abort time set from another thread is noticed promptly.
constexpr int kWaitSliceMsec = 100;
} // namespace

SmtpClient::SmtpClient(const QString& host, int port, ConnectionType connectionType)
    : host(host), port(port), name(QStringLiteral("localhost")), connectionTimeout(5000),
      responseTimeout(5000)
{
    setConnectionType(connectionType);
    connect(socket, &QAbstractSocket::stateChanged, this, &SmtpClient::socketStateChanged);
    connect(socket, &QAbstractSocket::errorOccurred, this, &SmtpClient::socketError);
    connect(socket, &QIODevice::readyRead, this, &SmtpClient::socketReadyRead);
}

void SmtpClient::setConnectionType(ConnectionType type)
{
    connectionType = type;
    delete socket;
    // Anything but plain TCP gets a TLS socket: an unknown type must never fall back to clear text.
    if (type == TcpConnection)
        socket = new QTcpSocket(this);
    else
        socket = new QSslSocket(this);
}

void SmtpClient::socketStateChanged(QAbstractSocket::SocketState) {}

void SmtpClient::socketError(QAbstractSocket::SocketError) {}

void SmtpClient::socketReadyRead() {}

qint64 SmtpClient::monotonicMsecs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int SmtpClient::remainingMsecs(const QDeadlineTimer& deadline) const
{
    qint64 iRemaining = deadline.remainingTime();
    if (m_pAbortAtMs) {
        const qint64 iAbortAt = m_pAbortAtMs->load();
        if (iAbortAt > 0)
            iRemaining = qMin(iRemaining, iAbortAt - monotonicMsecs());
    }
    return static_cast<int>(qMax<qint64>(0, iRemaining));
}

bool SmtpClient::hasLineBreak(const QString& strText)
{
    return strText.contains(QLatin1Char('\r')) || strText.contains(QLatin1Char('\n'));
}

bool SmtpClient::waitForConnection()
{
    const QDeadlineTimer deadline(connectionTimeout);
    // A connection attempt cannot be waited for in slices (a timed-out wait abandons it), so it gets
    // the whole remaining time at once.
    const int iConnectMsec = remainingMsecs(deadline);
    if (iConnectMsec <= 0 || !socket->waitForConnected(iConnectMsec))
        return false;
    if (connectionType == TcpConnection)
        return true;
    auto* pSsl = static_cast<QSslSocket*>(socket);
    while (!pSsl->isEncrypted()) {
        const int iRemaining = remainingMsecs(deadline);
        if (iRemaining <= 0 || pSsl->state() != QAbstractSocket::ConnectedState)
            return false;
        if (!pSsl->waitForEncrypted(qMin(iRemaining, kWaitSliceMsec)) &&
            pSsl->state() != QAbstractSocket::ConnectedState)
            return false;
    }
    return true;
}

bool SmtpClient::waitForData(const QDeadlineTimer& deadline)
{
    for (;;) {
        const int iRemaining = remainingMsecs(deadline);
        if (iRemaining <= 0)
            return false;
        if (socket->waitForReadyRead(qMin(iRemaining, kWaitSliceMsec)))
            return true;
        // A closed or failed connection ends the wait; only a quiet one is waited for further.
        if (socket->state() != QAbstractSocket::ConnectedState)
            return false;
    }
}

void SmtpClient::waitForResponse()
{
    const QDeadlineTimer deadline(responseTimeout);
    int iLines = 0;
    for (;;) {
        while (socket->canReadLine()) {
            const QByteArray baLine = socket->readLine();
            QByteArray baBare = baLine;
            while (baBare.endsWith('\n') || baBare.endsWith('\r'))
                baBare.chop(1);
            if (baBare.size() > kMaxReplyLineLength || ++iLines > kMaxReplyLines) {
                emit smtpError(ServerError);
                throw ResponseFormatException();
            }
            responseText = QString::fromUtf8(baLine);
            const QByteArray baCode = baBare.left(3);
            bool bDigits = baCode.size() == 3;
            for (const char c : baCode)
                bDigits = bDigits && c >= '0' && c <= '9';
            responseCode = bDigits ? baCode.toInt() : 0;
            if (responseCode >= 400 && responseCode <= 499)
                emit smtpError(ServerError);
            else if (responseCode >= 500 && responseCode <= 599)
                emit smtpError(ClientError);
            // A line that holds only the code is the last line of its reply, as is one with a space after it.
            if (baBare.size() == 3 || (baBare.size() > 3 && baBare.at(3) == ' '))
                return;
        }
        if (socket->bytesAvailable() > kMaxReplyLineLength + 2) {
            emit smtpError(ServerError);
            throw ResponseFormatException();
        }
        if (!waitForData(deadline)) {
            emit smtpError(ResponseTimeoutError);
            throw ResponseTimeoutException();
        }
    }
}

void SmtpClient::writeBytes(const QByteArray& baData)
{
    socket->write(baData);
}

void SmtpClient::sendMessage(const QString& strText)
{
    writeBytes(strText.toUtf8() + QByteArrayLiteral("\r\n"));
}

bool SmtpClient::connectToHost()
{
    // The name goes out with EHLO; a line break in it would smuggle in a command of its own.
    if (hasLineBreak(name))
        return false;
    if (connectionType == TcpConnection)
        socket->connectToHost(host, static_cast<quint16>(port), QIODevice::ReadWrite,
                              QAbstractSocket::AnyIPProtocol);
    else
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(host, static_cast<quint16>(port));

    if (!waitForConnection()) {
        emit smtpError(ConnectionTimeoutError);
        return false;
    }
    try {
        waitForResponse();
        if (responseCode != 220) {
            emit smtpError(ServerError);
            return false;
        }
        sendMessage(QStringLiteral("EHLO ") + name);
        waitForResponse();
        if (responseCode != 250) {
            emit smtpError(ServerError);
            return false;
        }
    } catch (const ResponseException&) {
        return false;
    }
    return true;
}

bool SmtpClient::login()
{
    const QByteArray baPlain = QByteArray(1, '\0') + user.toUtf8() + QByteArray(1, '\0') + password.toUtf8();
    try {
        sendMessage(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(baPlain.toBase64()));
        waitForResponse();
        if (responseCode != 235) {
            emit smtpError(AuthenticationFailedError);
            return false;
        }
    } catch (const ResponseException&) {
        emit smtpError(AuthenticationFailedError);
        return false;
    }
    return true;
}

bool SmtpClient::sendMail(MimeMessage& message)
{
    const EmailAddress* pSender = message.getSender();
    if (!pSender || hasLineBreak(pSender->getAddress()) || hasLineBreak(message.getSubject()))
        return false;
    QList<EmailAddress*> listRecipients = message.getRecipients(MimeMessage::To);
    listRecipients += message.getRecipients(MimeMessage::Cc);
    listRecipients += message.getRecipients(MimeMessage::Bcc);
    for (const EmailAddress* pAddress : qAsConst(listRecipients))
        if (hasLineBreak(pAddress->getAddress()))
            return false;

    try {
        sendMessage(QStringLiteral("MAIL FROM: <") + pSender->getAddress() + QLatin1Char('>'));
        waitForResponse();
        if (responseCode != 250)
            return false;
        for (const EmailAddress* pAddress : qAsConst(listRecipients)) {
            sendMessage(QStringLiteral("RCPT TO: <") + pAddress->getAddress() + QLatin1Char('>'));
            waitForResponse();
            if (responseCode != 250)
                return false;
        }
        sendMessage(QStringLiteral("DATA"));
        waitForResponse();
        if (responseCode != 354)
            return false;
        writeBytes(dataToWire(message.toString()) + QByteArrayLiteral("\r\n"));
        sendMessage(QStringLiteral("."));
        waitForResponse();
        if (responseCode != 250)
            return false;
    } catch (const ResponseException&) {
        return false;
    }
    return true;
}

void SmtpClient::quit()
{
    sendMessage(QStringLiteral("QUIT"));
    // Hand the command to the network now; the client is usually destroyed right after this call.
    socket->flush();
}

QByteArray SmtpClient::dataToWire(const QString& strText)
{
    const QByteArray baText = strText.toUtf8();
    QByteArray baWire;
    baWire.reserve(baText.size() + baText.size() / 16 + 8);
    bool bLineStart = true;
    for (int i = 0; i < baText.size(); ++i) {
        const char c = baText.at(i);
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < baText.size() && baText.at(i + 1) == '\n')
                ++i;
            baWire += "\r\n";
            bLineStart = true;
            continue;
        }
        if (bLineStart && c == '.')
            baWire += '.';
        baWire += c;
        bLineStart = false;
    }
    return baWire;
}
