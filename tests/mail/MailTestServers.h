#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <mutex>
#include <thread>

// The real SMTP server (aiosmtpd, run by the system's Python) on 127.0.0.1 at a free port.
class AiosmtpdServer
{
public:
    ~AiosmtpdServer();
    // Implicit TLS when strCert is given. Returns false (with the reason in errorString) if it will not
    // start.
    bool start(const QString& strUser, const QString& strPassword, const QString& strCert = QString(),
               const QString& strKey = QString());
    quint16 port() const { return m_uiPort; }
    QString errorString() const { return m_strError; }
    // Waits up to iMsec for the next event of the given kind ("auth" or "mail") not yet taken.
    QJsonObject takeEvent(const QString& strEvent, int iMsec = 10000);
    // Every event read so far, taken or not.
    QList<QJsonObject> events();

private:
    void readEvents();

    QProcess m_process;
    quint16 m_uiPort = 0;
    QString m_strError;
    QByteArray m_baPending;
    QList<QJsonObject> m_listEvents;
    QList<int> m_listTaken;
};

// A test certificate authority and server certificates made with openssl in a temporary folder.
class TestCa
{
public:
    bool create(const QString& strName);
    // A server certificate for the given subject alternative names ("DNS:localhost,IP:127.0.0.1").
    bool issue(const QString& strName, const QString& strAltNames);
    QString caCert() const { return path(QStringLiteral("ca.crt")); }
    QString cert(const QString& strName) const { return path(strName + QStringLiteral(".crt")); }
    QString key(const QString& strName) const { return path(strName + QStringLiteral(".key")); }
    QString errorString() const { return m_strError; }

private:
    QString path(const QString& strFile) const { return m_dir.filePath(m_strPrefix + strFile); }
    bool openssl(const QStringList& listArgs);

    QTemporaryDir m_dir;
    QString m_strPrefix;
    QString m_strError;
};

// A TCP socket listening on 127.0.0.1 at a free port (given back in uiPort); -1 on failure.
int listenOnLoopback(int iBacklog, quint16& uiPort);

// A scripted SMTP peer for what a real server will not do, on 127.0.0.1 in a thread of its own.
// It serves one connection, step by step, and keeps every byte the client sent.
class ScriptedServer
{
public:
    struct Step
    {
        enum Kind
        {
            Send,
            Line,
            Data,
            Silence,
            Close,
            Flood,
            Trickle
        } kind;
        QByteArray baBytes;
        int iMsec = 0;
    };
    static Step send(const QByteArray& baBytes, int iDelayMsec = 0)
    {
        return {Step::Send, baBytes, iDelayMsec};
    }
    static Step line() { return {Step::Line, {}, 0}; } // read one command line
    static Step data() { return {Step::Data, {}, 0}; } // read through "\r\n.\r\n"
    static Step silence(int iMsec) { return {Step::Silence, {}, iMsec}; }
    static Step close() { return {Step::Close, {}, 0}; }
    static Step flood() { return {Step::Flood, {}, 0}; } // endless bytes without a line end
    // The bytes one at a time, iMsec apart; without bytes, "x" after "x" until the client leaves.
    static Step trickle(const QByteArray& baBytes, int iMsec) { return {Step::Trickle, baBytes, iMsec}; }
    // Greeting, EHLO and AUTH answered, the usual start of a delivery.
    static QList<Step> greetAndLogin();

    explicit ScriptedServer(const QList<Step>& listSteps);
    ~ScriptedServer();
    quint16 port() const { return m_uiPort; }
    QByteArray received();
    // Whether the client connected at all.
    bool accepted() const { return m_bAccepted; }
    // Waits until the script has run to its end or the client has gone.
    bool waitDone(int iMsec);

private:
    void run();
    bool readUntil(int iFd, const QByteArray& baEnd);
    // Keeps reading for iMsec; false once the client has closed.
    bool listen(int iFd, int iMsec);

    QList<Step> m_listSteps;
    int m_iListenFd = -1;
    quint16 m_uiPort = 0;
    std::mutex m_mutex;
    QByteArray m_baReceived;
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bAccepted{false};
    std::atomic<bool> m_bDone{false};
    std::thread m_thread;
};
