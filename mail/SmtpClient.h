#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include "mail/SmtpFailure.h"

#include <atomic>

class MimeMessage;
class QTcpSocket;

// A blocking SMTP client for one delivery: connect, log in, send, quit. Each operation waits for the
// server's replies inside the call, bounded by the time-outs, and reports failure by returning false;
// lastFailure() then tells why.
class SmtpClient : public QObject
{
    Q_OBJECT
public:
    enum ConnectionType
    {
        TcpConnection = 0,
        SslConnection = 1,     // TLS from the first byte
        StartTlsConnection = 2 // plain TCP, then STARTTLS before anything else; never goes on in clear
    };
    Q_ENUM(ConnectionType)

    enum SmtpError
    {
        ConnectionTimeoutError = 0,
        ResponseTimeoutError = 1,
        AuthenticationFailedError = 2,
        ServerError = 3,
        ClientError = 4
    };
    Q_ENUM(SmtpError)

    // Limits on what one reply may hold; a server that goes beyond them fails the operation.
    static constexpr int kMaxReplyLineLength = 4096;
    static constexpr int kMaxReplyLines = 100;

    explicit SmtpClient(const QString& host = QStringLiteral("localhost"), int port = 25,
                        ConnectionType connectionType = TcpConnection);

    void setName(const QString& strName) { name = strName; }
    void setUser(const QString& strUser) { user = strUser; }
    void setPassword(const QString& strPassword) { password = strPassword; }
    // Whether the password may go over a connection that is not encrypted; off unless the operator chose it.
    void setAllowUnencryptedPassword(bool bAllow) { m_bAllowUnencryptedPassword = bAllow; }
    void setConnectionTimeout(int iMsec) { connectionTimeout = iMsec; }
    void setResponseTimeout(int iMsec) { responseTimeout = iMsec; }
    QString getResponseText() const { return responseText; }
    int getResponseCode() const { return responseCode; }
    QTcpSocket* getSocket() const { return socket; }
    // Why the last operation returned false; empty after one that succeeded.
    SmtpFailure lastFailure() const { return m_failure; }

    // A shared point in time (milliseconds of a monotonic clock, 0 for none) after which every wait gives
    // up at once: lets the owner of a background delivery bound it from another thread.
    void setAbortTime(const std::atomic<qint64>* pAbortAtMs) { m_pAbortAtMs = pAbortAtMs; }
    static qint64 monotonicMsecs();

    bool connectToHost();
    bool login();
    bool sendMail(MimeMessage& message);
    void quit();

    // The DATA bytes for a rendered message: every line end becomes CRLF and a leading "." is doubled,
    // so that no line of the text can end the data early.
    static QByteArray dataToWire(const QString& strText);
    // Whether a value for a command line holds a line break, NUL or another control character: any of
    // them could end or cut the command it goes into.
    static bool hasControlCharacter(const QString& strText);

signals:
    void smtpError(SmtpClient::SmtpError e);

protected slots:
    void socketStateChanged(QAbstractSocket::SocketState state);
    void socketError(QAbstractSocket::SocketError error);
    void socketReadyRead();

protected:
    class ResponseException
    {
    };
    class ResponseTimeoutException : public ResponseException
    {
    };
    class ResponseFormatException : public ResponseException
    {
    };

    void setConnectionType(ConnectionType type);
    void sendMessage(const QString& strText);
    void writeBytes(const QByteArray& baData);
    void waitForResponse();
    bool waitForData(const QDeadlineTimer& deadline);
    bool waitForConnection();
    bool waitForEncryption(const QDeadlineTimer& deadline);
    bool ehlo();
    bool startTls();
    bool exchange(const QString& strCommand, const QString& strAwaiting, int iCode, const char* pszRefused,
                  const QStringList& listArgs = {});
    bool fail(const char* pszPhrase, const QStringList& listArgs = {});
    bool startsInClear() const;
    QString hostAndPort() const;
    QString replyText() const;
    int remainingMsecs(const QDeadlineTimer& deadline) const;

private:
    QTcpSocket* socket = nullptr;
    QString host;
    int port;
    ConnectionType connectionType = TcpConnection;
    QString name;
    QString user;
    QString password;
    int connectionTimeout;
    int responseTimeout;
    QString responseText;
    int responseCode = 0;
    bool m_bAllowUnencryptedPassword = false;
    SmtpFailure::Step m_step = SmtpFailure::Connect;
    SmtpFailure m_failure;
    QString m_strAwaiting;          // what the reply being read answers, for a failure's text
    QStringList m_listReplyLines;   // the lines of the reply being read, codes included
    QStringList m_listCapabilities; // from the last EHLO reply
    const std::atomic<qint64>* m_pAbortAtMs = nullptr;
};
