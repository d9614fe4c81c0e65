#include "MailTestServers.h"

#include "settings/Settings.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {
QString sourceFile(const char* pszName)
{
    return qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QStringLiteral("/tests/mail/") +
           QLatin1String(pszName);
}

QString script()
{
    return sourceFile("smtp_server.py");
}
} // namespace

SmtpTestServer::~SmtpTestServer()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool SmtpTestServer::run(const QStringList& listArgs)
{
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{script()} + listArgs);
    const QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    const QByteArray baLine = m_process.readLine().trimmed();
    m_uiPort = baLine.startsWith("PORT ") ? quint16(baLine.mid(5).toUInt()) : 0;
    if (m_uiPort == 0)
        m_strError = QString::fromUtf8(baLine + m_process.readAllStandardError()) + m_process.errorString();
    return m_uiPort != 0;
}

void SmtpTestServer::readEvents(int iWaitMsec)
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

QJsonObject SmtpTestServer::takeEvent(const QString& strEvent, int iMsec)
{
    const QDeadlineTimer deadline(iMsec);
    for (;;) {
        for (int i = 0; i < m_listEvents.size(); ++i) {
            if (!m_listTaken.contains(i) && m_listEvents.at(i).value(QStringLiteral("event")) == strEvent) {
                m_listTaken.append(i);
                return m_listEvents.at(i);
            }
        }
        if (deadline.hasExpired())
            return {};
        readEvents(int(qBound<qint64>(1, deadline.remainingTime(), 50)));
    }
}

QList<QJsonObject> SmtpTestServer::events()
{
    readEvents(50);
    return m_listEvents;
}

bool AiosmtpdServer::start(const QString& strUser, const QString& strPassword, const QStringList& listOptions)
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

QString testCertFile(const QString& strFile)
{
    // Made once per test run, so that no key is ever kept in the tree and none outlives its day.
    static QTemporaryDir s_dir;
    static const bool s_bMade = [] {
        QProcess process;
        process.start(QStringLiteral("/bin/sh"), {sourceFile("make_certs.sh"), s_dir.path()});
        return s_dir.isValid() && process.waitForFinished(30000) &&
               process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }();
    return s_bMade ? s_dir.filePath(strFile) : QString();
}

QList<ScriptedServer::Step> ScriptedServer::greetAndLogin()
{
    return {send("220 scripted ESMTP\r\n"), line(), send("250-scripted\r\n250 AUTH PLAIN\r\n"), line(),
            send("235 2.7.0 ok\r\n")};
}

ScriptedServer::ScriptedServer(const QList<Step>& listSteps)
{
    QJsonArray steps;
    for (const Step& step : listSteps)
        steps.append(
            QJsonArray{QString::fromLatin1(step.kind), QString::fromLatin1(step.baBytes), step.iMsec});
    run({QStringLiteral("script"), QString::fromUtf8(QJsonDocument(steps).toJson(QJsonDocument::Compact))});
}

QByteArray ScriptedServer::received()
{
    QByteArray ba;
    for (const QJsonObject& event : events())
        if (event.value(QStringLiteral("event")) == QLatin1String("recv"))
            ba += QByteArray::fromBase64(event.value(QStringLiteral("data")).toString().toLatin1());
    return ba;
}

bool ScriptedServer::accepted()
{
    for (const QJsonObject& event : events())
        if (event.value(QStringLiteral("event")) == QLatin1String("accepted"))
            return true;
    return false;
}

void AiosmtpdServer::useForAlarms(const QString& strReceiver)
{
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = port();
    g_settings.smtpSsl = false;
    g_settings.smtpAccount = m_strUser;
    g_settings.smtpAllowUnencryptedPassword = true;
    g_settings.smtpPassword = m_strPassword;
    g_settings.smtpReceiver = strReceiver;
}
