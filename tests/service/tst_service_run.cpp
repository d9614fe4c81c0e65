#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/mail/MailTestServers.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/TlsFixture.h"
#include "tools/pdusim/SimThread.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

// The service as systemd runs it, from its configuration file: signals from the first instant, readiness
// told only once polling has begun, a network that comes up after the service, and alarm settings
// honoured and reloaded.
namespace {
void enableTimestamps(int fd)
{
    const int iOn = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &iOn, sizeof iOn);
}

// The next datagram within iMsec, with the kernel's time of its arrival in ns; -1 when none came.
qint64 receiveStamped(int fd, int iMsec, QByteArray* pData)
{
    pollfd pfd{fd, POLLIN, 0};
    if (::poll(&pfd, 1, iMsec) != 1)
        return -1;
    char acData[4096];
    char acControl[256];
    iovec iov{acData, sizeof acData};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = acControl;
    msg.msg_controllen = sizeof acControl;
    const ssize_t iSize = ::recvmsg(fd, &msg, 0);
    if (iSize < 0)
        return -1;
    if (pData)
        *pData = QByteArray(acData, int(iSize));
    for (cmsghdr* pCmsg = CMSG_FIRSTHDR(&msg); pCmsg; pCmsg = CMSG_NXTHDR(&msg, pCmsg)) {
        if (pCmsg->cmsg_level == SOL_SOCKET && pCmsg->cmsg_type == SCM_TIMESTAMPNS) {
            timespec ts;
            memcpy(&ts, CMSG_DATA(pCmsg), sizeof ts);
            return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
        }
    }
    return -1;
}

// A socket on the PDUs' side of the wire that hears the service's queries.
int openQueryProbe()
{
    int fd = -1;
    std::thread thread([&fd] {
        if (!CSimThread::enterNamespace(qEnvironmentVariable("RACKMIND_BED_DEVICE_NS"), nullptr))
            return;
        fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(51230);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            ::close(fd);
            fd = -1;
        }
    });
    thread.join();
    if (fd >= 0)
        enableTimestamps(fd);
    return fd;
}
} // namespace

class TestServiceRun : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_baShipped = readFile(QStringLiteral(RACKMIND_SOURCE "/service/rackmindd.conf"));
        QVERIFY(!m_baShipped.isEmpty());
        m_strConfig = m_dir.filePath(QStringLiteral("rackmindd.conf"));
    }
    void init()
    {
        writeConfig(m_baShipped);
        m_strLog.clear();
        // A fresh stand-in for the service manager's notification socket in each case.
        const QString strPath = m_dir.filePath(QStringLiteral("notify"));
        QFile::remove(strPath);
        m_fdNotify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, QFile::encodeName(strPath).constData(), sizeof addr.sun_path);
        QVERIFY(::bind(m_fdNotify, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
        enableTimestamps(m_fdNotify);
    }
    void cleanup()
    {
        if (m_service.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_service.processId()), SIGTERM);
            if (!m_service.waitForFinished(30000))
                m_service.kill();
            m_service.waitForFinished();
        }
        m_service.setStandardErrorFile(QString());
        m_listWrapper.clear();
        for (int* pFd : {&m_fdNotify, &m_fdProbe, &m_fdLog}) {
            if (*pFd >= 0)
                ::close(*pFd);
            *pFd = -1;
        }
        QVERIFY(setLink(true));
    }
    void signalAtStart_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("reload") << SIGHUP;
        QTest::newRow("stop") << SIGTERM;
        QTest::newRow("interrupt") << SIGINT;
    }
    // systemctl reload or stop while the service is still starting: the signal waits until it can be
    // handled. The service is held at its first log line (its standard error a full pipe) when it comes.
    void signalAtStart()
    {
        QFETCH(int, signal);
        pipeLog(true);
        startService();
        const QString strWait = QStringLiteral("/proc/%1/wchan").arg(m_service.processId());
        const auto blockedInWrite = [&] {
            QFile file(strWait);
            return file.open(QIODevice::ReadOnly) && file.readAll().endsWith("pipe_write");
        };
        QTRY_VERIFY_WITH_TIMEOUT(blockedInWrite(), 30000);
        ::kill(pid_t(m_service.processId()), signal);
        // Let it go on, and read what it says from here on.
        QVERIFY(waitLog(QStringLiteral("starting")));
        if (signal == SIGHUP) {
            QVERIFY(waitNotify("READY=1"));
            QVERIFY2(waitLog(QStringLiteral("settings reloaded")), qPrintable(m_strLog));
            QCOMPARE(m_service.state(), QProcess::Running);
            return;
        }
        QVERIFY(m_service.waitForFinished(30000));
        QCOMPARE(m_service.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_service.exitCode(), 0);
    }
    // A burst of reloads while the service is held in a write of its own (a journal that falls behind):
    // each is taken in, and once the log flows again the service still reloads and stops when told.
    void signalStormWhileHeld()
    {
        pipeLog(false);
        startService();
        QVERIFY(waitNotify("READY=1"));
        fillLog();
        const pid_t pid = pid_t(m_service.processId());
        const auto hupPending = [pid] {
            QFile file(QStringLiteral("/proc/%1/status").arg(pid));
            if (!file.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray& baLine : file.readAll().split('\n'))
                if (baLine.startsWith("SigPnd:") || baLine.startsWith("ShdPnd:"))
                    if (baLine.mid(7).trimmed().toULongLong(nullptr, 16) & (1u << (SIGHUP - 1)))
                        return true;
            return false;
        };
        // One at a time, each taken before the next, so that none merges with the one before.
        for (int i = 0; i < 1000; ++i) {
            ::kill(pid, SIGHUP);
            QElapsedTimer timer;
            timer.start();
            while (hupPending() && timer.elapsed() < 10000)
                ::usleep(100);
            QVERIFY2(!hupPending(), qPrintable(QStringLiteral("SIGHUP %1 never taken").arg(i + 1)));
        }
        QVERIFY2(waitLog(QStringLiteral("settings reloaded")), qPrintable(m_strLog));
        ::kill(pid, SIGTERM);
        QVERIFY(m_service.waitForFinished(30000));
        QCOMPARE(m_service.exitCode(), 0);
    }
    void readyOnlyAfterTheFirstQuery()
    {
        m_fdProbe = openQueryProbe();
        QVERIFY(m_fdProbe >= 0);
        startService();
        qint64 iReady = 0;
        QVERIFY(waitNotify("READY=1", 30000, &iReady));
        const qint64 iQuery = receiveStamped(m_fdProbe, 10000, nullptr);
        QVERIFY(iQuery > 0);
        QVERIFY2(iQuery <= iReady,
                 qPrintable(QStringLiteral("ready %1 ns before the first query").arg(iQuery - iReady)));
    }
    void blindUntilTheInterfaceComesUp()
    {
        QVERIFY(setLink(false));
        const quint16 uiPort = freePort();
        startService(
            {QStringLiteral("--metrics"), QStringLiteral("--metrics-port"), QString::number(uiPort)});
        // Ready, and saying that it cannot hear anything.
        QVERIFY(waitNotify("READY=1"));
        QVERIFY2(waitLog(QStringLiteral("no network interface to poll on")), qPrintable(m_strLog));
        QTRY_VERIFY_WITH_TIMEOUT(httpGet(uiPort, "/metrics").contains("\nrackmind_polled_interfaces 0\n"),
                                 30000);
        QVERIFY(httpGet(uiPort, "/metrics").contains("\nrackmind_last_poll_timestamp_seconds 0\n"));

        m_fdProbe = openQueryProbe();
        QVERIFY(m_fdProbe >= 0);
        QVERIFY(setLink(true));
        QVERIFY2(waitLog(QStringLiteral("up: polling on it"), 15000), qPrintable(m_strLog));
        QVERIFY(receiveStamped(m_fdProbe, 5000, nullptr) > 0);
        QTRY_VERIFY_WITH_TIMEOUT(httpGet(uiPort, "/metrics").contains("\nrackmind_polled_interfaces 1\n"),
                                 30000);
        // The interface is counted when it is found, the poll when it has gone out: a page may fall between.
        QTRY_VERIFY_WITH_TIMEOUT(
            !httpGet(uiPort, "/metrics").contains("\nrackmind_last_poll_timestamp_seconds 0\n"), 30000);

        QVERIFY(setLink(false));
        QVERIFY2(waitLog(QStringLiteral("gone: no longer polled"), 15000), qPrintable(m_strLog));
        QTRY_VERIFY_WITH_TIMEOUT(httpGet(uiPort, "/metrics").contains("\nrackmind_polled_interfaces 0\n"),
                                 30000);
    }
    // An operator's outlet sets on the page of the service as it runs: a set written while it runs shows its
    // outlets as the PDU does; a broken file is said once, reload or not, and the sets before stay; the
    // mended file shows without a reload.
    void outletSetsFollowed()
    {
        CSimThread sim;
        QVERIFY(startQuietFleet(sim));
        const QString strSets = m_dir.filePath(QStringLiteral("outlet-sets"));
        QFile::remove(strSets);
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(strSets));
        const quint16 uiPort = freePort();
        startService(
            {QStringLiteral("--metrics"), QStringLiteral("--metrics-port"), QString::number(uiPort)});
        qunsetenv("RACKMIND_OUTLET_SETS");
        const auto page = [uiPort] { return httpGet(uiPort, "/metrics"); };
        const QRegularExpression reMac(QStringLiteral("rackmind_pdu_online.mac=\"([0-9A-F]{12})\". 1\n"));
        QTRY_VERIFY_WITH_TIMEOUT(reMac.match(QString::fromLatin1(page())).hasMatch(), 30000);
        const QString strMac = reMac.match(QString::fromLatin1(page())).captured(1);
        const auto on = [&](int iOutlet) {
            return page().contains(QStringLiteral("rackmind_pdu_outlet_on{mac=\"%1\",outlet=\"%2\"} 1\n")
                                       .arg(strMac)
                                       .arg(iOutlet)
                                       .toLatin1());
        };
        const auto sets = [&](const QString& strName) {
            return QStringLiteral(R"({"sets": [{"name": "%1", "outlets": ["%2/1", "%2/2"]}]})")
                .arg(strName, strMac)
                .toLatin1();
        };
        const QByteArray baShare = QByteArray::number((on(1) + on(2)) / 2.0);
        QVERIFY(writeFile(strSets, sets(QStringLiteral("db-07"))));
        QTRY_VERIFY_WITH_TIMEOUT(page().contains("\nrackmind_outlet_set_on{set=\"db-07\"} " + baShare + '\n'),
                                 10000);
        QVERIFY2(waitLog(QStringLiteral("outlet sets: 1 read from ") + strSets), qPrintable(m_strLog));

        QVERIFY(writeFile(strSets, "{\"sets\": [{\"name\": \"db-07\""));
        QVERIFY2(waitLog(QStringLiteral("the metrics show the sets read before")), qPrintable(m_strLog));
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("settings reloaded")), qPrintable(m_strLog));
        QVERIFY(page().contains("\nrackmind_outlet_set_on{set=\"db-07\"} "));

        QVERIFY(writeFile(strSets, sets(QStringLiteral("db-08"))));
        QTRY_VERIFY_WITH_TIMEOUT(page().contains("\nrackmind_outlet_set_on{set=\"db-08\"} " + baShare + '\n'),
                                 10000);
        QVERIFY(!page().contains("set=\"db-07\""));
        // Read again after the reload was done (its line is written before the page that shows it): it said
        // nothing more of the broken file.
        waitLog(QString(), 0);
        QCOMPARE(m_strLog.count(QStringLiteral("outlet sets: 1 read from ")), 2);
        QCOMPARE(m_strLog.count(QStringLiteral("read before")), 1);
    }
    // A voltage hovering at its warn limit, with debounce 3 and a 2 % clear margin set in the file: no
    // alarm and no mail. With the debounce line deleted and a reload, the default of one check holds again.
    void hoveringReadingDebouncedAndDeletedKeyReverts()
    {
        CSimThread sim;
        QVERIFY(startQuietFleet(sim));
        QCOMPARE(sim.command(QStringLiteral("set 1 voltageWarn 240 voltageOverload 260")).last(),
                 QStringLiteral("ok"));
        QCOMPARE(sim.command(QStringLiteral("alternate 1 voltage 241 239 1")).last(), QStringLiteral("ok"));
        AiosmtpdServer smtp;
        QVERIFY2(smtp.start(QStringLiteral("room@example.org"), QStringLiteral("pw")),
                 qPrintable(smtp.errorString()));

        QByteArray baConfig = m_baShipped;
        baConfig.replace(";Host=\n", "Host=127.0.0.1\n")
            .replace(";Port=25\n", "Port=" + QByteArray::number(smtp.port()) + '\n')
            .replace(";Account=\n", "Account=room@example.org\n")
            .replace(";Password=\n", "Password=pw\n")
            .replace(";AllowUnencryptedPassword=false\n", "AllowUnencryptedPassword=true\n")
            .replace(";Receiver=\n", "Receiver=ops@example.org\n")
            .replace(";DebouncePolls=1\n", "DebouncePolls=3\n")
            .replace(";HysteresisPercent=0\n", "HysteresisPercent=2\n");
        writeConfig(baConfig);
        startService();
        QVERIFY2(waitLog(QStringLiteral("new PDU 10.200.1.1")), qPrintable(m_strLog));
        const auto statusQueries = [&sim] {
            return sim.call([](CSimFleet& f) { return f.device(1)->statusQueries(); });
        };
        const quint64 uiStart = statusQueries();
        QTRY_VERIFY_WITH_TIMEOUT(statusQueries() >= uiStart + 12, 60000);
        QVERIFY2(!waitLog(QStringLiteral("alarm voltage warn"), 0), qPrintable(m_strLog));
        QVERIFY(smtp.takeEvent(QStringLiteral("mail"), 1000).isEmpty());

        writeConfig(baConfig.replace("DebouncePolls=3\n", ""));
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("settings reloaded")), qPrintable(m_strLog));
        QVERIFY2(waitLog(QStringLiteral("alarm voltage warn")), qPrintable(m_strLog));
        QVERIFY(!smtp.takeEvent(QStringLiteral("mail"), 30000).isEmpty());
    }
    // An administrator shortens how long every poll is kept and reloads: older polls go at the next thinning,
    // without a restart.
    void historyRetentionReloaded()
    {
        const QString strStore =
            qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/rackmindd/history.sqlite");
        QVERIFY(QDir().mkpath(QFileInfo(strStore).path()));
        const QString strMac = QStringLiteral("00:04:A3:00:00:99");
        const qint64 iOld = QDateTime::currentMSecsSinceEpoch() - 3 * 3600 * 1000;
        {
            CHistoryStore store(strStore);
            HistorySample sample;
            sample.iMsecs = iOld;
            sample.bOnline = true;
            sample.uiVoltage = 230;
            store.addSample(strMac, sample);
            store.flush();
        }
        const auto oldPolls = [&] {
            return CHistoryReader(strStore)
                .series(strMac, iOld - 1000, iOld + 1000, CHistoryReader::EveryPoll)
                .size();
        };
        QCOMPARE(oldPolls(), 1);
        startService();
        QVERIFY(waitNotify("READY=1"));
        writeConfig(QByteArray(m_baShipped).replace(";RawHours=24\n", "RawHours=1\n"));
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("settings reloaded")), qPrintable(m_strLog));
        QTRY_COMPARE_WITH_TIMEOUT(oldPolls(), 0, 90000);
    }
    // The history file a link to a file that is no database: the service says so once, shows it on the
    // page, counts the polls it cannot keep beyond its half minute, and records again once the file is fixed.
    void historyUnusableTold()
    {
        const QString strStore =
            qEnvironmentVariable("XDG_DATA_HOME") + QStringLiteral("/rackmindd/history.sqlite");
        QVERIFY(QDir().mkpath(QFileInfo(strStore).path()));
        for (const char* pszSuffix : {"", "-wal", "-shm", "-journal"})
            QFile::remove(strStore + QLatin1String(pszSuffix));
        const QString strNotes = m_dir.filePath(QStringLiteral("notes.txt"));
        const QByteArray baNotes = QByteArray("rack B2: breaker 16 A\n").repeated(300);
        QVERIFY(writeFile(strNotes, baNotes));
        QVERIFY(QFile::link(strNotes, strStore));
        CSimThread sim;
        QVERIFY(startQuietFleet(sim));
        const quint16 uiPort = freePort();
        startService(
            {QStringLiteral("--metrics"), QStringLiteral("--metrics-port"), QString::number(uiPort)});
        const QString strUnusable = QStringLiteral("history: not recording: ");
        QVERIFY2(waitLog(strUnusable), qPrintable(m_strLog));
        QVERIFY2(m_strLog.contains(strStore), qPrintable(m_strLog));
        QVERIFY(httpGet(uiPort, "/metrics").contains("\nrackmind_history_available 0\n"));
        const auto figure = [&](const char* pszName) {
            const QByteArray baPage = httpGet(uiPort, "/metrics");
            const QByteArray baKey = '\n' + QByteArray(pszName) + ' ';
            const int iAt = baPage.indexOf(baKey);
            return iAt < 0 ? -1 : baPage.mid(iAt + baKey.size(), 20).split('\n').value(0).toLongLong();
        };
        // One PDU: half a minute of polls wait, the next are counted and told.
        QTRY_VERIFY_WITH_TIMEOUT(figure("rackmind_history_samples_dropped_total") > 0, 120000);
        QVERIFY2(waitLog(QStringLiteral("polls not recorded: more than 30 s of them waited")),
                 qPrintable(m_strLog));
        const qint64 iPending = figure("rackmind_history_samples_pending");
        QVERIFY2(iPending >= 25 && iPending <= 35, qPrintable(QString::number(iPending)));
        QCOMPARE(m_strLog.count(strUnusable), 1);

        QVERIFY(QFile::remove(strStore));
        QVERIFY2(waitLog(QStringLiteral("history: recording again in ") + strStore), qPrintable(m_strLog));
        QTRY_VERIFY_WITH_TIMEOUT(figure("rackmind_history_available") == 1, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(figure("rackmind_history_samples_pending") < iPending, 30000);
        QCOMPARE(readFile(strNotes), baNotes);
    }
    // The state folder full (a small file system in a mount namespace of the service's own): told once,
    // though every retry opens the file well and fails its write, and told again once there is room.
    void fullStateFolderTold()
    {
        const QString strState = m_dir.filePath(QStringLiteral("state"));
        QVERIFY(QDir().mkpath(strState));
        m_listWrapper = QStringList{QStringLiteral("unshare"),
                                    QStringLiteral("--mount"),
                                    QStringLiteral("--propagation"),
                                    QStringLiteral("private"),
                                    QStringLiteral("sh"),
                                    QStringLiteral("-c"),
                                    QStringLiteral("mount -t tmpfs -o size=2m tmpfs \"$0\" && exec \"$@\""),
                                    strState};
        qputenv("STATE_DIRECTORY", strState.toLocal8Bit());
        startService();
        qunsetenv("STATE_DIRECTORY");
        QVERIFY2(waitLog(QStringLiteral("history: recording in %1/history.sqlite").arg(strState)),
                 qPrintable(m_strLog));
        // Filled from outside, through the service's own view of its folder.
        const QByteArray baFiller = QFile::encodeName(
            QStringLiteral("/proc/%1/root%2/filler").arg(m_service.processId()).arg(strState));
        const int fd = ::open(baFiller.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        QVERIFY(fd >= 0);
        static const char acBlock[65536] = {};
        while (::write(fd, acBlock, sizeof acBlock) > 0) {
        }
        ::close(fd);
        const QString strFull = QStringLiteral("history: not recording: ");
        QVERIFY2(waitLog(strFull), qPrintable(m_strLog));
        // Three retries pass.
        QVERIFY(!waitLog(QStringLiteral("history: recording again"), 3 * CHistoryWriter::kRetryMsec));
        QCOMPARE(m_strLog.count(QStringLiteral("history: ")), 2);
        QVERIFY(::unlink(baFiller.constData()) == 0);
        QVERIFY2(waitLog(QStringLiteral("history: recording again")), qPrintable(m_strLog));
        QCOMPARE(m_strLog.count(strFull), 1);
    }
    // The files with secrets checked at start and on each reload: a line for each that others can reach.
    void exposedFilesWarned()
    {
        QVERIFY(makeTlsFiles(QDir(m_dir.path())));
        const QString strWeb = m_dir.filePath(QStringLiteral("web.yml"));
        const QString strKey = m_dir.filePath(QStringLiteral("server.key"));
        QVERIFY(writeFile(strWeb, "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n"));
        const auto setMode = [](const QString& strFile, uint uiMode, uint uiGroup) {
            const QByteArray baFile = QFile::encodeName(strFile);
            return ::chown(baFile.constData(), 0, uiGroup) == 0 && ::chmod(baFile.constData(), uiMode) == 0;
        };
        QVERIFY(setMode(m_strConfig, 0644, 0) && setMode(strWeb, 0604, 0) && setMode(strKey, 0640, 4242));
        const QStringList listWarnings = {
            QStringLiteral("warning: %1 is readable by others (mode 0644); it holds the mail password")
                .arg(m_strConfig),
            QStringLiteral(
                "warning: %1 is readable by others (mode 0604); it holds the metrics endpoint's users and "
                "password hashes")
                .arg(strWeb),
            QStringLiteral(
                "warning: %1 is readable by group 4242 (mode 0640); it holds the metrics endpoint's TLS "
                "private key")
                .arg(strKey)};
        const auto reloaded = [&] {
            ::kill(pid_t(m_service.processId()), SIGHUP);
            // Ready again once its lines are written: read what it said.
            return waitNotify("RELOADING=1") && waitNotify("READY=1") && waitLog(QString(), 0);
        };
        startService({QStringLiteral("--metrics"), QStringLiteral("--metrics-port"),
                      QString::number(freePort()), QStringLiteral("--web.config.file"), strWeb});
        QVERIFY(waitNotify("READY=1"));
        QVERIFY2(waitLog(QStringLiteral("metrics: serving https://")), qPrintable(m_strLog));
        QVERIFY(reloaded());
        for (const QString& strWarning : listWarnings)
            QVERIFY2(m_strLog.count(strWarning) == 2, qPrintable(m_strLog));
        QVERIFY(setMode(m_strConfig, 0640, 0) && setMode(strWeb, 0600, 0) && setMode(strKey, 0600, 4242));
        QVERIFY(reloaded());
        QCOMPARE(m_strLog.count(QStringLiteral("settings reloaded")), 2);
        QCOMPARE(m_strLog.count(QStringLiteral("warning: ")), 6);
    }
    // An alarm mail the server refuses is told with its reason.
    void undeliverableMailTold()
    {
        CSimThread sim;
        QVERIFY(startQuietFleet(sim));
        QByteArray baConfig = m_baShipped;
        baConfig.replace(";Host=\n", "Host=127.0.0.1\n")
            .replace(";Port=25\n", "Port=" + QByteArray::number(freePort()) + '\n')
            .replace(";Receiver=\n", "Receiver=ops@example.org\n");
        writeConfig(baConfig);
        startService();
        QVERIFY2(waitLog(QStringLiteral("PDU 10.200.1.1 \"PDU-001\" online")), qPrintable(m_strLog));
        QCOMPARE(sim.command(QStringLiteral("set 1 voltageWarn 240 voltageOverload 260 voltage 250")).last(),
                 QStringLiteral("ok"));
        const QString strMail = QStringLiteral("alarm mail \"PDU Warning\" to ops@example.org ");
        QVERIFY2(waitLog(QStringLiteral("alarm voltage warn on PDU 10.200.1.1")) &&
                     waitLog(strMail + QStringLiteral("queued")) &&
                     waitLog(strMail + QStringLiteral("not delivered: ")),
                 qPrintable(m_strLog));
    }

private:
    void startService(const QStringList& listArgs = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(pszName));
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        env.insert(QStringLiteral("NOTIFY_SOCKET"), m_dir.filePath(QStringLiteral("notify")));
        m_service.setProcessEnvironment(env);
        m_service.setWorkingDirectory(m_dir.path());
        const QStringList listCommand =
            m_listWrapper + QStringList{QStringLiteral(RACKMINDD), QStringLiteral("--config"), m_strConfig} +
            listArgs;
        m_service.start(listCommand.first(), listCommand.mid(1));
        QVERIFY(m_service.waitForStarted());
    }
    bool waitLog(const QString& strText, int iMsec = 30000)
    {
        QElapsedTimer timer;
        timer.start();
        // Whatever the service has said so far is read once even without waiting.
        for (int iWait = 0;; iWait = 200) {
            if (m_fdLog >= 0) {
                pollfd pfd{m_fdLog, POLLIN, 0};
                ::poll(&pfd, 1, iWait);
                char acBuffer[4096];
                ssize_t iRead = 0;
                while ((iRead = ::read(m_fdLog, acBuffer, sizeof acBuffer)) > 0)
                    m_strLog += QString::fromLocal8Bit(acBuffer, int(iRead)).remove(QChar(0));
            } else {
                m_service.waitForReadyRead(iWait);
                m_strLog += QString::fromLocal8Bit(m_service.readAllStandardError());
            }
            if (m_strLog.contains(strText) || timer.elapsed() >= iMsec)
                return m_strLog.contains(strText);
        }
    }
    // Waits for a notification line from the service; its kernel time (ns) in *piStamp.
    bool waitNotify(const QByteArray& baLine, int iMsec = 30000, qint64* piStamp = nullptr)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < iMsec) {
            QByteArray baMessage;
            const qint64 iStamp = receiveStamped(m_fdNotify, 200, &baMessage);
            if (baMessage.split('\n').contains(baLine)) {
                if (piStamp)
                    *piStamp = iStamp;
                return true;
            }
        }
        return false;
    }
    void writeConfig(const QByteArray& baText)
    {
        QFile file(m_strConfig);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(baText), qint64(baText.size()));
    }
    // Makes the service's standard error a pipe of the test's own, full at once when bFull.
    void pipeLog(bool bFull)
    {
        const QByteArray baFifo = QFile::encodeName(m_dir.filePath(QStringLiteral("stderr")));
        QFile::remove(QString::fromLocal8Bit(baFifo));
        QVERIFY(::mkfifo(baFifo.constData(), 0600) == 0);
        m_fdLog = ::open(baFifo.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        QVERIFY(m_fdLog >= 0);
        if (bFull)
            fillLog();
        m_service.setStandardErrorFile(QString::fromLocal8Bit(baFifo));
    }
    void fillLog()
    {
        static const char acFill[4096] = {};
        while (::write(m_fdLog, acFill, sizeof acFill) > 0) {
        }
    }
    bool setLink(bool bUp)
    {
        const QString strIface =
            qEnvironmentVariable("RACKMIND_BED_CONSOLE_IFS").section(QLatin1Char(' '), 0, 0);
        return QProcess::execute(QStringLiteral("ip"),
                                 {QStringLiteral("link"), QStringLiteral("set"), QStringLiteral("dev"),
                                  strIface, bUp ? QStringLiteral("up") : QStringLiteral("down")}) == 0;
    }

    QTemporaryDir m_dir;
    // What the service is started through, when anything (its arguments follow the program's).
    QStringList m_listWrapper;
    QString m_strConfig;
    QByteArray m_baShipped;
    QProcess m_service;
    QString m_strLog;
    int m_fdNotify = -1;
    int m_fdProbe = -1;
    int m_fdLog = -1; // the service's standard error when it is a pipe of the test's own
};

QTEST_GUILESS_MAIN(TestServiceRun)
#include "tst_service_run.moc"
