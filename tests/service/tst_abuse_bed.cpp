#include "settings/Settings.h"
#include "tests/common/QuietFleet.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/TlsFixture.h"
#include "tools/pdusim/SimThread.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <functional>
#include <thread>
#include <vector>

// The service's endpoint, over TLS with a password, under abuse that lasts: while a real Prometheus
// scrapes it every second, each abuse runs for 20 s at a steady rate, and a reload is asked for halfway.
// Every scrape must be answered within its time-out and the reload applied; the figures are printed.
namespace {
constexpr int kPhaseMsec = 20000;
constexpr int kReloadAtMsec = 10000;
constexpr int kBcryptCost = 10;

// A TCP socket to 127.0.0.1:uiPort from the loopback address strFrom (the scraper is 127.0.0.1, so a
// server that tells peers apart can tell it from these); non-blocking unless bBlocking.
int connectFrom(const char* pszFrom, quint16 uiPort, bool bBlocking)
{
    const int iSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (bBlocking ? 0 : SOCK_NONBLOCK), 0);
    sockaddr_in from{AF_INET, 0, {}, {}};
    sockaddr_in to{AF_INET, htons(uiPort), {htonl(INADDR_LOOPBACK)}, {}};
    ::inet_pton(AF_INET, pszFrom, &from.sin_addr);
    timeval timeout{2, 0};
    ::setsockopt(iSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(iSocket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    if (::bind(iSocket, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0 ||
        (::connect(iSocket, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0 && errno != EINPROGRESS)) {
        ::close(iSocket);
        return -1;
    }
    return iSocket;
}

// Opens ten connections a second from ten addresses in turn and holds them open; each is given
// baFirst (if any) once it is connected, and nothing more.
void holdConnections(const std::atomic<bool>& bStop, quint16 uiPort, const char* pszNet,
                     const QByteArray& baFirst, std::atomic<int>& iOpened)
{
    std::vector<int> vecSockets, vecUnsent;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; !bStop; ++i) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(100 * i));
        const QByteArray baFrom = pszNet + QByteArray::number(1 + i % 10);
        const int iSocket = connectFrom(baFrom.constData(), uiPort, false);
        if (iSocket < 0)
            continue;
        ++iOpened;
        vecSockets.push_back(iSocket);
        if (!baFirst.isEmpty() && i % 2)
            vecUnsent.push_back(iSocket);
        for (auto it = vecUnsent.begin(); it != vecUnsent.end();) {
            pollfd fd{*it, POLLOUT, 0};
            if (::poll(&fd, 1, 0) == 1) {
                ::send(*it, baFirst.constData(), size_t(baFirst.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
                it = vecUnsent.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (int iSocket : vecSockets)
        ::close(iSocket);
}

// Wrong passwords, a hundred requests pipelined on each connection, eight connections at once,
// reconnecting whenever the server closes one.
struct PasswordCounts
{
    std::atomic<int> iConnections{0};
    std::atomic<int> i401{0};
    std::atomic<int> i429{0};
};

// Writes baRequests over TLS from pszFrom and reads until the server closes, reconnecting each time.
void sendOverTls(const std::atomic<bool>& bStop, quint16 uiPort, const char* pszFrom,
                 const QByteArray& baRequests, PasswordCounts& counts)
{
    SSL_CTX* pCtx = SSL_CTX_new(TLS_client_method());
    while (!bStop) {
        // A net ("127.1.") gives each connection an address of its own.
        static std::atomic<int> s_iNext{0};
        const int iNext = s_iNext++;
        const QByteArray baFrom =
            QByteArray(pszFrom).endsWith(".1")
                ? QByteArray(pszFrom)
                : pszFrom + QByteArray::number(iNext / 250 % 250) + '.' + QByteArray::number(1 + iNext % 250);
        const int iSocket = connectFrom(baFrom.constData(), uiPort, true);
        SSL* pSsl = iSocket < 0 ? nullptr : SSL_new(pCtx);
        if (pSsl && SSL_set_fd(pSsl, iSocket) == 1 && SSL_connect(pSsl) == 1 &&
            SSL_write(pSsl, baRequests.constData(), baRequests.size()) > 0) {
            ++counts.iConnections;
            char acBuffer[16384];
            int iRead = 0;
            while (!bStop && (iRead = SSL_read(pSsl, acBuffer, sizeof acBuffer)) > 0) {
                const QByteArray baChunk = QByteArray::fromRawData(acBuffer, iRead);
                counts.i401 += baChunk.count("HTTP/1.1 401");
                counts.i429 += baChunk.count("HTTP/1.1 429");
            }
        }
        if (pSsl)
            SSL_free(pSsl);
        if (iSocket >= 0)
            ::close(iSocket);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    SSL_CTX_free(pCtx);
}

void guessPasswords(const std::atomic<bool>& bStop, quint16 uiPort, PasswordCounts& counts,
                    const char* pszFrom)
{
    QByteArray baRequests;
    for (int i = 0; i < 100; ++i)
        baRequests += "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic " +
                      QByteArray("prom:guess" + QByteArray::number(i)).toBase64() + "\r\n\r\n";
    sendOverTls(bStop, uiPort, pszFrom, baRequests, counts);
}

// A whole request (answered 401, the connection kept) and the first line of the next, which never ends.
void holdWorkers(const std::atomic<bool>& bStop, quint16 uiPort, PasswordCounts& counts)
{
    sendOverTls(bStop, uiPort, "127.0.6.1",
                "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\nGET /metrics HTTP/1.1\r\n", counts);
}

struct Figures
{
    QString strAbuse;
    QString strRate;
    int iAnswered = 0;
    int iAttempted = 0;
    double dSlowest = 0;
    qint64 iReloadMsec = -1;
};
} // namespace

class TestAbuseBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void scrapedThroughAbuse_data();
    void scrapedThroughAbuse();
    void cleanupTestCase();

private:
    void readLog(int iMsec);
    double query(const QString& strExpression, double dTime);
    qint64 reload();
    void writeWebConfig();

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QProcess m_prometheus;
    QString m_strLog;
    quint16 m_uiMetricsPort = 0;
    quint16 m_uiPrometheusPort = 0;
    QVector<Figures> m_vecFigures;
};

void TestAbuseBed::readLog(int iMsec)
{
    QElapsedTimer timer;
    timer.start();
    do {
        m_service.waitForReadyRead(qMax(1, int(qMin<qint64>(50, iMsec - timer.elapsed()))));
        m_strLog += QString::fromLocal8Bit(m_service.readAllStandardError());
    } while (timer.elapsed() < iMsec);
}

// The value of a one-series expression at a time (seconds since the epoch); NaN when there is none.
double TestAbuseBed::query(const QString& strExpression, double dTime)
{
    const QByteArray response = httpExchange(
        m_uiPrometheusPort, "GET /api/v1/query?query=" + QUrl::toPercentEncoding(strExpression) +
                                "&time=" + QByteArray::number(dTime, 'f', 3) + " HTTP/1.0\r\n\r\n");
    const QJsonArray result = QJsonDocument::fromJson(response.mid(response.indexOf("\r\n\r\n") + 4))
                                  .object()
                                  .value(QStringLiteral("data"))
                                  .toObject()
                                  .value(QStringLiteral("result"))
                                  .toArray();
    return result.size() == 1
               ? result[0].toObject().value(QStringLiteral("value")).toArray()[1].toString().toDouble()
               : qQNaN();
}

// The same password under a fresh salt: a changed configuration the server must take up.
void TestAbuseBed::writeWebConfig()
{
    QFile file(m_dir.filePath(QStringLiteral("web.yml")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(
        "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\nbasic_auth_users:\n  prom: " +
        bcryptHash("s3cret", kBcryptCost) + "\n");
}

// Milliseconds from SIGHUP to the log saying the endpoint serves again; -1 if it did not within 30 s.
qint64 TestAbuseBed::reload()
{
    writeWebConfig();
    const QString strServing = QStringLiteral("metrics: serving https://");
    const int iServing = m_strLog.count(strServing);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(m_service.processId()), SIGHUP);
    while (m_strLog.count(strServing) == iServing && timer.elapsed() < 30000)
        readLog(10);
    return m_strLog.count(strServing) > iServing ? timer.elapsed() : -1;
}

void TestAbuseBed::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(startQuietFleet(m_sim));
    QVERIFY(makeTlsFiles(QDir(m_dir.path())));
    writeWebConfig();
    m_uiMetricsPort = freePort();
    g_settings.metricsPort = m_uiMetricsPort;
    saveSettings();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("TMPDIR"), m_dir.path());
    m_service.setProcessEnvironment(env);
    m_service.setWorkingDirectory(m_dir.path());
    m_service.start(QStringLiteral(RACKMINDD),
                    {QStringLiteral("--metrics"), QStringLiteral("--web.config.file"),
                     m_dir.filePath(QStringLiteral("web.yml"))});
    QTRY_VERIFY2_WITH_TIMEOUT((readLog(10), m_strLog.contains(QStringLiteral("new PDU 10.200.1.1"))),
                              qPrintable(m_strLog), 30000);

    m_uiPrometheusPort = freePort();
    QFile fileConfig(m_dir.filePath(QStringLiteral("prometheus.yml")));
    QVERIFY(fileConfig.open(QIODevice::WriteOnly));
    fileConfig.write("global:\n  scrape_interval: 1s\n  scrape_timeout: 1s\nscrape_configs:\n"
                     "  - job_name: room\n    scheme: https\n    tls_config:\n      ca_file: " +
                     m_dir.filePath(QStringLiteral("ca.crt")).toUtf8() +
                     "\n    basic_auth:\n      username: prom\n      password: s3cret\n    static_configs:\n"
                     "      - targets: ['127.0.0.1:" +
                     QByteArray::number(m_uiMetricsPort) + "']\n");
    fileConfig.close();
    m_prometheus.setWorkingDirectory(m_dir.path());
    m_prometheus.start(QStringLiteral("prometheus"),
                       {QStringLiteral("--config.file=") + fileConfig.fileName(),
                        QStringLiteral("--storage.tsdb.path=") + m_dir.filePath(QStringLiteral("tsdb")),
                        QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_uiPrometheusPort)});
    QVERIFY(m_prometheus.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(
        query(QStringLiteral("up{job=\"room\"}"), QDateTime::currentMSecsSinceEpoch() / 1000.0), 1.0, 60000);
}

void TestAbuseBed::scrapedThroughAbuse_data()
{
    QTest::addColumn<QString>("strRate");
    QTest::addColumn<int>("iKind");
    QTest::newRow("silent connections") << QStringLiteral("10/s held open") << 0;
    QTest::newRow("wrong passwords") << QStringLiteral("8 connections x 100 pipelined") << 1;
    QTest::newRow("half-open TLS") << QStringLiteral("10/s, no or part of a ClientHello") << 2;
    QTest::newRow("wrong passwords, an address each")
        << QStringLiteral("32 connections at once, each from an address of its own") << 4;
    QTest::newRow("unfinished pipelined heads")
        << QStringLiteral("4 connections, a whole request then a head that never ends") << 3;
}

void TestAbuseBed::scrapedThroughAbuse()
{
    QFETCH(QString, strRate);
    QFETCH(int, iKind);
    // The first bytes of a ClientHello: its record header and the start of the handshake message.
    const QByteArray baPartialHello = QByteArray::fromHex("160301020001000200fc03");
    std::atomic<bool> bStop{false};
    std::atomic<int> iOpened{0};
    PasswordCounts counts;
    std::vector<std::thread> vecThreads;
    if (iKind == 1) {
        for (int i = 0; i < 8; ++i)
            vecThreads.emplace_back(guessPasswords, std::cref(bStop), m_uiMetricsPort, std::ref(counts),
                                    "127.0.3.1");
    } else if (iKind == 4) {
        for (int i = 0; i < 32; ++i)
            vecThreads.emplace_back(guessPasswords, std::cref(bStop), m_uiMetricsPort, std::ref(counts),
                                    "127.1.");
    } else if (iKind == 3) {
        for (int i = 0; i < 4; ++i)
            vecThreads.emplace_back(holdWorkers, std::cref(bStop), m_uiMetricsPort, std::ref(counts));
    } else {
        vecThreads.emplace_back(holdConnections, std::cref(bStop), m_uiMetricsPort,
                                iKind == 0 ? "127.0.2." : "127.0.4.",
                                iKind == 0 ? QByteArray() : baPartialHello, std::ref(iOpened));
    }
    const double dStart = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    readLog(kReloadAtMsec);
    Figures figures{QString::fromLatin1(QTest::currentDataTag()), strRate};
    figures.iReloadMsec = reload();
    readLog(int(dStart * 1000 + kPhaseMsec - QDateTime::currentMSecsSinceEpoch()));
    const double dEnd = QDateTime::currentMSecsSinceEpoch() / 1000.0;
    bStop = true;
    for (std::thread& thread : vecThreads)
        thread.join();
    if (iKind == 1 || iKind == 3 || iKind == 4)
        figures.strRate += QStringLiteral(" (%1 connections, %2 x 401, %3 x 429)")
                               .arg(counts.iConnections.load())
                               .arg(counts.i401.load())
                               .arg(counts.i429.load());
    else
        figures.strRate += QStringLiteral(" (%1 opened)").arg(iOpened.load());
    // The last scrape of the phase is stored once it has ended.
    readLog(2500);
    const QString strRange = QStringLiteral("[%1s]").arg(qRound(dEnd - dStart));
    figures.iAttempted =
        int(query(QStringLiteral("count_over_time(up{job=\"room\"}") + strRange + ')', dEnd));
    figures.iAnswered = int(query(QStringLiteral("sum_over_time(up{job=\"room\"}") + strRange + ')', dEnd));
    figures.dSlowest =
        query(QStringLiteral("max_over_time(scrape_duration_seconds{job=\"room\"}") + strRange + ')', dEnd);
    m_vecFigures << figures;
    qInfo("%s: scrapes answered %d of %d, slowest %.3f s, reload %lld ms, %s", QTest::currentDataTag(),
          figures.iAnswered, figures.iAttempted, figures.dSlowest, figures.iReloadMsec,
          qPrintable(figures.strRate));

    QCOMPARE(m_service.state(), QProcess::Running);
    QVERIFY2(figures.iReloadMsec >= 0, qPrintable(m_strLog.right(2000)));
    // About one scrape a second, and every one of them answered.
    QVERIFY2(figures.iAttempted >= kPhaseMsec / 1000 - 3, qPrintable(QString::number(figures.iAttempted)));
    QCOMPARE(figures.iAnswered, figures.iAttempted);
    // The next phase starts from a service that has recovered.
    QTRY_COMPARE_WITH_TIMEOUT(
        query(QStringLiteral("up{job=\"room\"}"), QDateTime::currentMSecsSinceEpoch() / 1000.0), 1.0, 30000);
}

void TestAbuseBed::cleanupTestCase()
{
    QTextStream out(stdout);
    out << "\n| abuse | rate | scrapes answered / attempted | slowest scrape | reload "
           "|\n|---|---|---|---|---|\n";
    for (const Figures& figures : m_vecFigures)
        out << "| " << figures.strAbuse << " | " << figures.strRate << " | " << figures.iAnswered << " / "
            << figures.iAttempted << " | " << QString::number(figures.dSlowest, 'f', 3) << " s | "
            << (figures.iReloadMsec < 0 ? QStringLiteral("not applied")
                                        : QStringLiteral("%1 ms").arg(figures.iReloadMsec))
            << " |\n";
    out.flush();
    m_prometheus.terminate();
    m_prometheus.waitForFinished(10000);
    m_service.terminate();
    if (!m_service.waitForFinished(30000))
        m_service.kill();
}

QTEST_GUILESS_MAIN(TestAbuseBed)
#include "tst_abuse_bed.moc"
