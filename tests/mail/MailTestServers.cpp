#include "MailTestServers.h"

#include <QTemporaryDir>

namespace {
QString sourceFile(const char* pszName)
{
    return qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QStringLiteral("/tests/mail/") +
           QLatin1String(pszName);
}
} // namespace

bool SmtpTestServer::run(const QStringList& listArgs)
{
    m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{sourceFile("smtp_server.py")} + listArgs);
    const QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(100);
    const QByteArray baLine = m_process.readLine().trimmed();
    m_uiPort = baLine.startsWith("PORT ") ? quint16(baLine.mid(5).toUInt()) : 0;
    if (m_uiPort == 0)
        m_strError = QString::fromUtf8(baLine + m_process.readAllStandardError()) + m_process.errorString();
    return m_uiPort != 0;
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
