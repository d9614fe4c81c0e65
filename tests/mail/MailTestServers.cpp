#include "MailTestServers.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QThread>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

AiosmtpdServer::~AiosmtpdServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool AiosmtpdServer::start(const QString& strUser, const QString& strPassword, const QString& strCert,
                           const QString& strKey)
{
    QStringList listArgs{qEnvironmentVariable("RACKMIND_SOURCE_DIR") +
                             QStringLiteral("/tests/mail/smtp_server.py"),
                         QStringLiteral("--user"), strUser, QStringLiteral("--password"), strPassword};
    if (!strCert.isEmpty())
        listArgs << QStringLiteral("--cert") << strCert << QStringLiteral("--key") << strKey;
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral("/usr/bin/python3"), listArgs);
    if (!m_process.waitForStarted(5000)) {
        m_strError = m_process.errorString();
        return false;
    }
    const QDeadlineTimer deadline(15000);
    while (!m_process.canReadLine()) {
        if (deadline.hasExpired() ||
            !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            m_strError =
                QStringLiteral("no port announced: ") + QString::fromUtf8(m_process.readAllStandardError());
            return false;
        }
    }
    const QByteArray baLine = m_process.readLine().trimmed();
    if (!baLine.startsWith("PORT ")) {
        m_strError = QString::fromUtf8(baLine);
        return false;
    }
    m_uiPort = static_cast<quint16>(baLine.mid(5).toUInt());
    return m_uiPort != 0;
}

void AiosmtpdServer::readEvents()
{
    m_baPending += m_process.readAllStandardOutput();
    int iEnd;
    while ((iEnd = m_baPending.indexOf('\n')) >= 0) {
        const QJsonDocument doc = QJsonDocument::fromJson(m_baPending.left(iEnd));
        m_baPending.remove(0, iEnd + 1);
        if (doc.isObject())
            m_listEvents.append(doc.object());
    }
}

QJsonObject AiosmtpdServer::takeEvent(const QString& strEvent, int iMsec)
{
    const QDeadlineTimer deadline(iMsec);
    for (;;) {
        readEvents();
        for (int i = 0; i < m_listEvents.size(); ++i) {
            if (!m_listTaken.contains(i) &&
                m_listEvents.at(i).value(QStringLiteral("event")).toString() == strEvent) {
                m_listTaken.append(i);
                return m_listEvents.at(i);
            }
        }
        if (deadline.hasExpired())
            return {};
        m_process.waitForReadyRead(int(qMin<qint64>(100, qMax<qint64>(1, deadline.remainingTime()))));
    }
}

QList<QJsonObject> AiosmtpdServer::events()
{
    m_process.waitForReadyRead(50);
    readEvents();
    return m_listEvents;
}

bool TestCa::openssl(const QStringList& listArgs)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), listArgs);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        m_strError = QStringLiteral("openssl ") + listArgs.join(QLatin1Char(' ')) + QStringLiteral(": ") +
                     QString::fromUtf8(process.readAllStandardError());
        return false;
    }
    return true;
}

bool TestCa::create(const QString& strName)
{
    m_strPrefix = strName + QLatin1Char('-');
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                    QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), path(QStringLiteral("ca.key")), QStringLiteral("-out"),
                    caCert(), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + strName, QStringLiteral("-addext"),
                    QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                    QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestCa::issue(const QString& strName, const QString& strAltNames)
{
    QFile ext(path(strName + QStringLiteral(".ext")));
    if (!ext.open(QIODevice::WriteOnly))
        return false;
    ext.write("basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=" +
              strAltNames.toUtf8() + "\n");
    ext.close();
    return openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"),
                    QStringLiteral("-nodes"), QStringLiteral("-keyout"), key(strName), QStringLiteral("-out"),
                    path(strName + QStringLiteral(".csr")), QStringLiteral("-subj"),
                    QStringLiteral("/CN=") + strName}) &&
           openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    path(strName + QStringLiteral(".csr")), QStringLiteral("-CA"), caCert(),
                    QStringLiteral("-CAkey"), path(QStringLiteral("ca.key")),
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), cert(strName),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"),
                    ext.fileName()});
}

QList<ScriptedServer::Step> ScriptedServer::greetAndLogin()
{
    return {send("220 scripted ESMTP\r\n"), line(), send("250-scripted\r\n250 AUTH PLAIN\r\n"), line(),
            send("235 2.7.0 ok\r\n")};
}

int listenOnLoopback(int iBacklog, quint16& uiPort)
{
    const int iFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    socklen_t len = sizeof(addr);
    if (iFd < 0 || ::bind(iFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 ||
        ::listen(iFd, iBacklog) != 0 || ::getsockname(iFd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        if (iFd >= 0)
            ::close(iFd);
        return -1;
    }
    uiPort = ntohs(addr.sin_port);
    return iFd;
}

ScriptedServer::ScriptedServer(const QList<Step>& listSteps) : m_listSteps(listSteps)
{
    m_iListenFd = listenOnLoopback(4, m_uiPort);
    if (m_iListenFd >= 0)
        m_thread = std::thread([this] { run(); });
}

ScriptedServer::~ScriptedServer()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_iListenFd >= 0)
        ::close(m_iListenFd);
}

QByteArray ScriptedServer::received()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_baReceived;
}

bool ScriptedServer::waitDone(int iMsec)
{
    const QDeadlineTimer deadline(iMsec);
    while (!m_bDone) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(10);
    }
    return true;
}

bool ScriptedServer::readUntil(int iFd, const QByteArray& baEnd)
{
    // Reads byte by byte so that what follows the end mark stays for the next step.
    QByteArray baSeen;
    while (!m_bStop) {
        pollfd pfd{iFd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) <= 0)
            continue;
        char c;
        if (::recv(iFd, &c, 1, 0) != 1)
            return false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_baReceived += c;
        }
        baSeen += c;
        if (baSeen.endsWith(baEnd))
            return true;
    }
    return false;
}

bool ScriptedServer::listen(int iFd, int iMsec)
{
    // Say nothing, but keep what the client sends and notice when it leaves.
    const QDeadlineTimer deadline(iMsec);
    while (!m_bStop && !deadline.hasExpired()) {
        pollfd pfd{iFd, POLLIN, 0};
        if (::poll(&pfd, 1, 20) <= 0)
            continue;
        char buf[512];
        const ssize_t n = ::recv(iFd, buf, sizeof(buf), 0);
        if (n <= 0)
            return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_baReceived.append(buf, static_cast<int>(n));
    }
    return true;
}

void ScriptedServer::run()
{
    int iFd = -1;
    while (!m_bStop && iFd < 0) {
        pollfd pfd{m_iListenFd, POLLIN, 0};
        if (::poll(&pfd, 1, 50) > 0)
            iFd = ::accept4(m_iListenFd, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (iFd < 0) {
        m_bDone = true;
        return;
    }
    m_bAccepted = true;
    bool bOpen = true;
    for (const Step& step : qAsConst(m_listSteps)) {
        if (!bOpen || m_bStop)
            break;
        switch (step.kind) {
        case Step::Send:
            if (step.iMsec > 0)
                QThread::msleep(static_cast<unsigned long>(step.iMsec));
            bOpen = ::send(iFd, step.baBytes.constData(), static_cast<size_t>(step.baBytes.size()),
                           MSG_NOSIGNAL) == step.baBytes.size();
            break;
        case Step::Line:
            bOpen = readUntil(iFd, "\n");
            break;
        case Step::Data:
            bOpen = readUntil(iFd, "\r\n.\r\n");
            break;
        case Step::Silence:
            bOpen = listen(iFd, step.iMsec);
            break;
        case Step::Close:
            bOpen = false;
            break;
        case Step::Trickle:
            for (int i = 0; bOpen && !m_bStop && (step.baBytes.isEmpty() || i < step.baBytes.size()); ++i) {
                // Keep what the client sends meanwhile, and notice when it has gone.
                bOpen = listen(iFd, step.iMsec);
                const char c = step.baBytes.isEmpty() ? 'x' : step.baBytes.at(i);
                bOpen = bOpen && ::send(iFd, &c, 1, MSG_NOSIGNAL) == 1;
            }
            break;
        case Step::Flood: {
            const QByteArray baChunk(4096, 'x');
            // Bounded, and never stuck in a send the client no longer reads.
            for (int i = 0; i < 4096 && !m_bStop;) {
                const ssize_t n = ::send(iFd, baChunk.constData(), static_cast<size_t>(baChunk.size()),
                                         MSG_NOSIGNAL | MSG_DONTWAIT);
                if (n > 0) {
                    ++i;
                    continue;
                }
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    break;
                pollfd pfd{iFd, POLLOUT, 0};
                ::poll(&pfd, 1, 50);
            }
            bOpen = false;
            break;
        }
        }
    }
    // After the script, take what is left (QUIT, say) until the client closes or a short while passes.
    if (bOpen)
        listen(iFd, 1000);
    ::close(iFd);
    m_bDone = true;
}
