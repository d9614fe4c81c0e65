#pragma once

#include "settings/Settings.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>

// A file of the certificates made for this test run by tests/mail/make_certs.sh: "ca.crt", the servers'
// "localhost", "other", "stranger", "selfsigned" and "expired" ".crt", and their key "server.key".
// Empty when they could not be made.
QString testCertFile(const QString& strFile);

// An SMTP peer of tests/mail/smtp_server.py (run by the system's Python) on 127.0.0.1 at a free port;
// what it sees comes back as events.
class SmtpTestServer
{
public:
    ~SmtpTestServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    quint16 port() const { return m_uiPort; }
    QString errorString() const { return m_strError; }
    // Waits up to iMsec for the next event of the given kind not yet taken.
    QJsonObject takeEvent(const QString& strEvent, int iMsec = 10000)
    {
        const QDeadlineTimer deadline(iMsec);
        for (;;) {
            for (int i = 0; i < m_listEvents.size(); ++i) {
                if (!m_listTaken.contains(i) &&
                    m_listEvents.at(i).value(QStringLiteral("event")) == strEvent) {
                    m_listTaken.append(i);
                    return m_listEvents.at(i);
                }
            }
            if (deadline.hasExpired())
                return {};
            readEvents(int(qBound<qint64>(1, deadline.remainingTime(), 50)));
        }
    }
    // Every event read so far, taken or not.
    QList<QJsonObject> events()
    {
        readEvents(50);
        return m_listEvents;
    }

protected:
    bool run(const QStringList& listArgs);
    void readEvents(int iWaitMsec)
    {
        m_process.waitForReadyRead(iWaitMsec);
        m_baPending += m_process.readAllStandardOutput();
        int iEnd;
        while ((iEnd = m_baPending.indexOf('\n')) >= 0) {
            const QJsonDocument doc = QJsonDocument::fromJson(m_baPending.left(iEnd));
            m_baPending.remove(0, iEnd + 1);
            if (doc.isObject())
                m_listEvents.append(doc.object());
        }
    }

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
    bool start(const QString& strUser, const QString& strPassword, const QStringList& listOptions = {})
    {
        m_strUser = strUser;
        m_strPassword = strPassword;
        QStringList listArgs{QStringLiteral("real"), QStringLiteral("--user"), strUser,
                             QStringLiteral("--password"), strPassword};
        for (const QString& strOption : listOptions) {
            if (!strOption.startsWith(QLatin1String("cert:"))) {
                listArgs << strOption;
                continue;
            }
            const QString strName = strOption.mid(5);
            listArgs << QStringLiteral("--cert") << testCertFile(strName + QStringLiteral(".crt"))
                     << QStringLiteral("--key") << testCertFile(QStringLiteral("server.key"));
        }
        return run(listArgs);
    }
    // Points the program's mail settings at this server (plain, with the account it was started with).
    void useForAlarms(const QString& strReceiver)
    {
        g_settings.smtpHost = QStringLiteral("127.0.0.1");
        g_settings.smtpPort = port();
        g_settings.smtpSsl = false;
        g_settings.smtpAccount = m_strUser;
        g_settings.smtpAllowUnencryptedPassword = true;
        g_settings.smtpPassword = m_strPassword;
        g_settings.smtpReceiver = strReceiver;
    }

private:
    QString m_strUser;
    QString m_strPassword;
};

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
    static QList<Step> greetAndLogin()
    {
        return {send("220 scripted ESMTP\r\n"), line(), send("250-scripted\r\n250 AUTH PLAIN\r\n"), line(),
                send("235 2.7.0 ok\r\n")};
    }

    explicit ScriptedServer(const QList<Step>& listSteps)
    {
        QJsonArray steps;
        for (const Step& step : listSteps)
            steps.append(
                QJsonArray{QString::fromLatin1(step.kind), QString::fromLatin1(step.baBytes), step.iMsec});
        run({QStringLiteral("script"),
             QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact))});
    }
    // Every byte the client sent so far.
    QByteArray received()
    {
        QByteArray ba;
        for (const QJsonObject& event : events())
            if (event.value(QStringLiteral("event")) == QLatin1String("recv"))
                ba += QByteArray::fromBase64(event.value(QStringLiteral("data")).toString().toLatin1());
        return ba;
    }
    bool accepted()
    {
        for (const QJsonObject& event : events())
            if (event.value(QStringLiteral("event")) == QLatin1String("accepted"))
                return true;
        return false;
    }
    // Waits until the script has run to its end or the client has gone.
    bool waitDone(int iMsec) { return !takeEvent(QStringLiteral("done"), iMsec).isEmpty(); }
};
