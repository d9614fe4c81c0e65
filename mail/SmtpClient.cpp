#include "mail/SmtpClient.h"

#include "mail/EmailAddress.h"
#include "mail/MimeMessage.h"

#include <QSslError>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <chrono>

using namespace SmtpPhrase;

namespace {
// Waits are cut into slices so that an abort time set from another thread is noticed promptly.
constexpr int kWaitSliceMsec = 100;

QString seconds(int iMsec)
{
    return QString::number((iMsec + 999) / 1000);
}
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

bool SmtpClient::hasControlCharacter(const QString& strText)
{
    return std::any_of(strText.cbegin(), strText.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

bool SmtpClient::startsInClear() const
{
    return connectionType == TcpConnection || connectionType == StartTlsConnection;
}

QString SmtpClient::hostAndPort() const
{
    return host + QLatin1Char(':') + QString::number(port);
}

bool SmtpClient::fail(const char* pszPhrase, const QStringList& listArgs)
{
    m_failure = SmtpFailure::make(m_step, pszPhrase, listArgs);
    return false;
}

bool SmtpClient::waitForConnection()
{
    const QDeadlineTimer deadline(connectionTimeout);
    // A connection attempt cannot be waited for in slices (a timed-out wait abandons it), so it gets
    // the whole remaining time at once.
    const int iConnectMsec = remainingMsecs(deadline);
    if (iConnectMsec <= 0 || !socket->waitForConnected(iConnectMsec)) {
        if (iConnectMsec <= 0 || socket->error() == QAbstractSocket::SocketTimeoutError)
            return fail(kConnectTimeout, {hostAndPort(), seconds(connectionTimeout)});
        return fail(kNoConnection, {hostAndPort(), socket->errorString()});
    }
    return startsInClear() || waitForEncryption(deadline);
}

bool SmtpClient::waitForEncryption(const QDeadlineTimer& deadline)
{
    auto* pSsl = static_cast<QSslSocket*>(socket);
    while (!pSsl->isEncrypted()) {
        const int iRemaining = remainingMsecs(deadline);
        const bool bGone = pSsl->state() != QAbstractSocket::ConnectedState;
        if (iRemaining <= 0 || bGone ||
            (!pSsl->waitForEncrypted(qMin(iRemaining, kWaitSliceMsec)) &&
             pSsl->state() != QAbstractSocket::ConnectedState)) {
            // The certificate's own problems tell the operator most; then the socket's error.
            QStringList listProblems;
            for (const QSslError& error : pSsl->sslHandshakeErrors())
                listProblems << error.errorString();
            if (listProblems.isEmpty())
                listProblems
                    << (pSsl->state() == QAbstractSocket::ConnectedState
                            ? QStringLiteral("no handshake within %1 s").arg(seconds(connectionTimeout))
                            : pSsl->errorString());
            listProblems.removeDuplicates();
            return fail(kTlsFailed, {hostAndPort(), listProblems.join(QStringLiteral("; "))});
        }
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
    m_listReplyLines.clear();
    for (;;) {
        while (socket->canReadLine()) {
            const QByteArray baLine = socket->readLine();
            QByteArray baBare = baLine;
            while (baBare.endsWith('\n') || baBare.endsWith('\r'))
                baBare.chop(1);
            if (baBare.size() > kMaxReplyLineLength || ++iLines > kMaxReplyLines) {
                fail(kUnusableReply, {m_strAwaiting});
                emit smtpError(ServerError);
                throw ResponseFormatException();
            }
            responseText = QString::fromUtf8(baLine);
            m_listReplyLines << QString::fromUtf8(baBare);
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
            fail(kUnusableReply, {m_strAwaiting});
            emit smtpError(ServerError);
            throw ResponseFormatException();
        }
        if (!waitForData(deadline)) {
            if (socket->state() == QAbstractSocket::ConnectedState)
                fail(kNoReply, {m_strAwaiting, seconds(responseTimeout)});
            else
                fail(kClosed, {m_strAwaiting});
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

QString SmtpClient::replyText() const
{
    return m_listReplyLines.join(QLatin1Char(' '));
}

bool SmtpClient::exchange(const QString& strCommand, const QString& strAwaiting, int iCode,
                          const char* pszRefused, const QStringList& listArgs)
{
    if (!strCommand.isEmpty())
        sendMessage(strCommand);
    m_strAwaiting = strAwaiting;
    waitForResponse();
    return responseCode == iCode || fail(pszRefused, QStringList(listArgs) << replyText());
}

bool SmtpClient::ehlo()
{
    if (!exchange(QStringLiteral("EHLO ") + name, QStringLiteral("EHLO"), 250, kRefusedEhlo))
        return false;
    m_listCapabilities.clear();
    // The first line greets; each further one names an extension.
    for (int i = 1; i < m_listReplyLines.size(); ++i)
        m_listCapabilities << m_listReplyLines.at(i).mid(4).trimmed().toUpper();
    return true;
}

bool SmtpClient::startTls()
{
    const bool bOffered =
        std::any_of(m_listCapabilities.cbegin(), m_listCapabilities.cend(),
                    [](const QString& strLine) { return strLine == QLatin1String("STARTTLS"); });
    if (!bOffered)
        return fail(kNoStartTls, {hostAndPort()});
    if (!exchange(QStringLiteral("STARTTLS"), QStringLiteral("STARTTLS"), 220, kRefusedStartTls))
        return false;
    // Whatever came in clear after the go-ahead is no part of the encrypted dialogue.
    socket->readAll();
    auto* pSsl = static_cast<QSslSocket*>(socket);
    pSsl->startClientEncryption();
    // The handshake gets the connection's time limit, as with TLS from the first byte.
    return waitForEncryption(QDeadlineTimer(connectionTimeout)) && ehlo();
}

bool SmtpClient::connectToHost()
{
    m_step = SmtpFailure::Connect;
    m_failure = SmtpFailure();
    // The name goes out with EHLO; a line break in it would smuggle in a command of its own.
    if (hasControlCharacter(name))
        return fail(kLineBreak);
    if (host.isEmpty()) {
        emit smtpError(ConnectionTimeoutError);
        return fail(kNoServer);
    }
    if (startsInClear())
        socket->connectToHost(host, static_cast<quint16>(port), QIODevice::ReadWrite,
                              QAbstractSocket::AnyIPProtocol);
    else
        static_cast<QSslSocket*>(socket)->connectToHostEncrypted(host, static_cast<quint16>(port));

    if (!waitForConnection()) {
        emit smtpError(ConnectionTimeoutError);
        return false;
    }
    try {
        if (!exchange(QString(), QStringLiteral("the greeting"), 220, kRefusedConnection) || !ehlo() ||
            (connectionType == StartTlsConnection && !startTls())) {
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
    m_step = SmtpFailure::Login;
    m_failure = SmtpFailure();
    // Without an account there is nothing to log in with: a relay that takes mail as it comes.
    if (user.isEmpty())
        return true;
    const auto* pSsl = qobject_cast<const QSslSocket*>(socket);
    bool bLoggedIn = false;
    try {
        QStringList listMechanisms;
        for (const QString& strLine : qAsConst(m_listCapabilities))
            if (strLine.startsWith(QLatin1String("AUTH ")) || strLine.startsWith(QLatin1String("AUTH=")))
                listMechanisms << strLine.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString strAuth = QStringLiteral("AUTH");
        if (!(pSsl && pSsl->isEncrypted()) && !m_bAllowUnencryptedPassword) {
            fail(kUnencryptedPassword);
        } else if (listMechanisms.isEmpty() || listMechanisms.contains(QLatin1String("PLAIN"))) {
            // A server that names no mechanism is offered PLAIN all the same, as it always was.
            const QByteArray baPlain =
                QByteArray(1, '\0') + user.toUtf8() + QByteArray(1, '\0') + password.toUtf8();
            bLoggedIn = exchange(QStringLiteral("AUTH PLAIN ") + QString::fromLatin1(baPlain.toBase64()),
                                 strAuth, 235, kRefusedLogin);
        } else if (listMechanisms.contains(QLatin1String("LOGIN"))) {
            bLoggedIn =
                exchange(QStringLiteral("AUTH LOGIN"), strAuth, 334, kRefusedLogin) &&
                exchange(QString::fromLatin1(user.toUtf8().toBase64()), strAuth, 334, kRefusedLogin) &&
                exchange(QString::fromLatin1(password.toUtf8().toBase64()), strAuth, 235, kRefusedLogin);
        } else {
            fail(kNoLoginMethod, {listMechanisms.join(QLatin1Char(' '))});
        }
    } catch (const ResponseException&) {
    }
    if (!bLoggedIn)
        emit smtpError(AuthenticationFailedError);
    return bLoggedIn;
}

bool SmtpClient::sendMail(MimeMessage& message)
{
    m_step = SmtpFailure::Send;
    m_failure = SmtpFailure();
    const EmailAddress* pSender = message.getSender();
    if (!pSender || hasControlCharacter(pSender->getAddress()) || hasControlCharacter(message.getSubject()))
        return fail(kLineBreak);
    QList<EmailAddress*> listRecipients = message.getRecipients(MimeMessage::To);
    listRecipients += message.getRecipients(MimeMessage::Cc);
    listRecipients += message.getRecipients(MimeMessage::Bcc);
    for (const EmailAddress* pAddress : qAsConst(listRecipients))
        if (hasControlCharacter(pAddress->getAddress()))
            return fail(kLineBreak);

    try {
        const QString strFrom = pSender->getAddress();
        if (!exchange(QStringLiteral("MAIL FROM: <") + strFrom + QLatin1Char('>'),
                      QStringLiteral("MAIL FROM"), 250, kRefusedSender,
                      {QLatin1Char('<') + strFrom + QLatin1Char('>')}))
            return false;
        for (const EmailAddress* pAddress : qAsConst(listRecipients)) {
            const QString strTo = QLatin1Char('<') + pAddress->getAddress() + QLatin1Char('>');
            if (!exchange(QStringLiteral("RCPT TO: ") + strTo, QStringLiteral("RCPT TO"), 250,
                          kRefusedReceiver, {strTo}))
                return false;
        }
        if (!exchange(QStringLiteral("DATA"), QStringLiteral("DATA"), 354, kRefusedMail))
            return false;
        writeBytes(dataToWire(message.toString()) + QByteArrayLiteral("\r\n"));
        if (!exchange(QStringLiteral("."), QStringLiteral("the end of the data"), 250, kRefusedMail))
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
