#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>

// An SMTP peer of tests/mail/smtp_server.py (run by the system's Python) on 127.0.0.1 at a free port;
// what it sees comes back as events.
class SmtpTestServer
{
public:
    ~SmtpTestServer();
    quint16 port() const { return m_uiPort; }
    QString errorString() const { return m_strError; }
    // Waits up to iMsec for the next event of the given kind not yet taken.
    QJsonObject takeEvent(const QString& strEvent, int iMsec = 10000);
    // Every event read so far, taken or not.
    QList<QJsonObject> events();

protected:
    bool run(const QStringList& listArgs);
    void readEvents(int iWaitMsec);

private:
    QProcess m_process;
    quint16 m_uiPort = 0;
    QString m_strError;
    QByteArray m_baPending;
    QList<QJsonObject> m_listEvents;
    QList<int> m_listTaken;
};

// The real server (aiosmtpd) with AUTH PLAIN and LOGIN; listOptions as smtp_server.py takes them, where
// "cert:NAME" stands for the test certificate NAME (see testCertFile) with its key.
class AiosmtpdServer : public SmtpTestServer
{
public:
    bool start(const QString& strUser, const QString& strPassword, const QStringList& listOptions = {});
    // Points the program's mail settings at this server (plain, with the account it was started with).
    void useForAlarms(const QString& strReceiver);

private:
    QString m_strUser;
    QString m_strPassword;
};

// A file of the certificates made for this test run by tests/mail/make_certs.sh: "ca.crt", the servers'
// "localhost", "other", "stranger", "selfsigned" and "expired" ".crt", and their key "server.key".
// Empty when they could not be made.
QString testCertFile(const QString& strFile);

// A scripted peer for what a real server will not do: one connection, step by step.
class ScriptedServer : public SmtpTestServer
{
public:
    struct Step
    {
        const char* kind;
        QByteArray baBytes;
        int iMsec = 0;
    };
    static Step send(const QByteArray& baBytes, int iDelayMsec = 0) { return {"send", baBytes, iDelayMsec}; }
    static Step line() { return {"line", {}, 0}; } // read one command line
    static Step data() { return {"data", {}, 0}; } // read through "\r\n.\r\n"
    static Step silence(int iMsec) { return {"silence", {}, iMsec}; }
    static Step close() { return {"close", {}, 0}; }
    static Step tls(const QString& strCertFile) { return {"tls", strCertFile.toUtf8(), 0}; } // STARTTLS
    static Step flood() { return {"flood", {}, 0}; } // 16 MiB without a line end
    // The bytes one at a time, iMsec apart; without bytes, "x" after "x" until the client leaves.
    static Step trickle(const QByteArray& baBytes, int iMsec) { return {"trickle", baBytes, iMsec}; }
    // Greeting, EHLO and AUTH answered, the usual start of a delivery.
    static QList<Step> greetAndLogin();

    explicit ScriptedServer(const QList<Step>& listSteps);
    // Every byte the client sent so far.
    QByteArray received();
    bool accepted();
    // Waits until the script has run to its end or the client has gone.
    bool waitDone(int iMsec) { return !takeEvent(QStringLiteral("done"), iMsec).isEmpty(); }
};
