#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/Energy.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "metrics/MetricsExporter.h"
#include "metrics/MetricsServer.h"
#include "metrics/MetricsText.h"
#include "metrics/OutletSetGauge.h"
#include "settings/GroupSettings.h"
#include "tests/common/TestFiles.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/TlsFixture.h"

#include <QtTest>

#include <zlib.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

// The text the endpoint serves and the endpoint's conduct towards bad and idle clients, on 127.0.0.1.
// A core application only: devices must come up without any widget.
class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void render_data();
    void render();
    void labelsFollowChanges_data();
    void labelsFollowChanges();
    void numbersAsWritten_data();
    void numbersAsWritten();
    void outletSets_data();
    void outletSets();
    void outletSetsFollowTheFile();
    void outletSetsLockNotWaitedFor();
    void http_data();
    void http();
    void compressedOncePerSnapshot_data();
    void compressedOncePerSnapshot();
    void rangesNeverPastThePage_data();
    void rangesNeverPastThePage();
    void firstLookGetsTheRoom();
    void slowReadersAreBounded_data();
    void slowReadersAreBounded();
    void deadAcceptLoopRestarted();
    void tlsAndBasicAuth_data();
    void tlsAndBasicAuth();
    void passwordGuessesSlowDown();
    void guesserKeptWhenAddressesOverflow();
    void brokenWebConfigServesNothing_data();
    void brokenWebConfigServesNothing();
    void idleClientsDoNotHoldScrapes_data();
    void idleClientsDoNotHoldScrapes();
    void connectionsCappedPerPeer();
    void passwordChangeKeepsThePort();
    void burstWaitsInTheBacklog();
    void costlyHashesWarned_data();
    void costlyHashesWarned();
    void portTaken();
    void stopRightAfterStart();
};

// The program's monotonic clock in this test: it runs with the machine's until held; a held clock moves
// only when stepped, so that no deadline of the endpoint passes but the one a case steps past.
static std::atomic<qint64> s_iHeldMs{0};
static std::atomic<qint64> s_iOffsetMs{1000000};
static qint64 runningMs()
{
    static const QElapsedTimer s_timer = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return s_timer.elapsed() + s_iOffsetMs;
}
static qint64 testClockMs()
{
    const qint64 iHeld = s_iHeldMs;
    return iHeld ? iHeld : runningMs();
}
static void holdClock()
{
    s_iHeldMs = testClockMs();
}
static void releaseClock()
{
    if (const qint64 iHeld = s_iHeldMs) {
        s_iOffsetMs += iHeld - runningMs();
        s_iHeldMs = 0;
    }
}

// Whether the endpoint on uiServer has taken the connection from uiClient off its listening socket:
// the connection is established on its side and nothing waits in the listening socket's queue.
// A connection to the endpoint from a loopback address of the test's choice (all of 127/8 is local).
static std::unique_ptr<QTcpSocket> connectFrom(const QString& strFrom, quint16 uiPort)
{
    auto pSocket = std::make_unique<QTcpSocket>();
    pSocket->bind(QHostAddress(strFrom));
    pSocket->connectToHost(QStringLiteral("127.0.0.1"), uiPort);
    return pSocket;
}

static bool acceptedBy(quint16 uiServer, quint16 uiClient)
{
    QFile file(QStringLiteral("/proc/net/tcp"));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool bEstablished = false;
    bool bQueueEmpty = false;
    const auto port = [](const QByteArray& baAddress) {
        return baAddress.split(':').value(1).toUInt(nullptr, 16);
    };
    for (const QByteArray& baLine : file.readAll().split('\n')) {
        const QList<QByteArray> listFields = baLine.simplified().split(' ');
        if (listFields.size() < 5 || port(listFields[1]) != uiServer)
            continue;
        if (listFields[3] == "0A")
            bQueueEmpty = listFields[4].split(':').value(1).toUInt(nullptr, 16) == 0;
        else if (listFields[3] == "01" && port(listFields[2]) == uiClient)
            bEstablished = true;
    }
    return bEstablished && bQueueEmpty;
}

void TestMetrics::initTestCase()
{
    Clock::setElapsedSource(testClockMs);
}

void TestMetrics::cleanupTestCase()
{
    Clock::setElapsedSource(nullptr);
}

// dir's web.yml holding baContent (a null content removes it); its path.
static QString writeWebConfig(const QTemporaryDir& dir, const QByteArray& baContent)
{
    QFile file(dir.filePath(QStringLiteral("web.yml")));
    if (baContent.isNull())
        file.remove();
    else if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(baContent);
    return file.fileName();
}

static QByteArray usersFile(const QByteArray& baPassword, int iCost = 5)
{
    return "basic_auth_users:\n  prom: " + bcryptHash(baPassword, iCost) + "\n";
}

// The body of a whole response, inflated when it came gzip-encoded; a null array when it would not inflate.
static QByteArray bodyOf(const QByteArray& baResponse, bool* pbGzip)
{
    const int iEnd = baResponse.indexOf("\r\n\r\n");
    *pbGzip = baResponse.left(iEnd).toLower().contains("content-encoding: gzip");
    const QByteArray baBody = baResponse.mid(iEnd + 4);
    if (!*pbGzip)
        return baBody;
    QByteArray baOut(64 * 1024 * 1024, Qt::Uninitialized);
    z_stream zs{};
    inflateInit2(&zs, 15 + 16);
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(baBody.constData()));
    zs.avail_in = uInt(baBody.size());
    zs.next_out = reinterpret_cast<Bytef*>(baOut.data());
    zs.avail_out = uInt(baOut.size());
    const bool bDone = inflate(&zs, Z_FINISH) == Z_STREAM_END;
    baOut.resize(bDone ? int(zs.total_out) : 0);
    inflateEnd(&zs);
    return bDone ? baOut : QByteArray();
}

void TestMetrics::render_data()
{
    // state: 0 not heard for a while, 1 online, 2 online with its limits reported
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("present");
    const QByteArray mac = "{mac=\"0004A30B0CFF\"", rack9 = "{group=\"rack \\\"9\\\"\"}";
    const QByteArray info =
        "rackmind_pdu_info{mac=\"0004A30B0CFF\",name=\"a\\\"b\\\\c\\nd\",position=\"row 1\","
        "address=\"10.0.0.7\",group=\"Default\"} 1\n";
    const auto row = [](const char* pszName, int iState, const QByteArray& baLine, bool bPresent = true) {
        QTest::newRow(pszName) << iState << baLine << bPresent;
    };
    row("device count", 1, "rackmind_pdus 1\n");
    row("counters", 1, "# TYPE rackmind_replies_received_total counter\n");
    row("history drops", 1, "rackmind_history_samples_dropped_total 3\n");
    row("info, label quoting", 1, info);
    row("voltage by mac only", 1, "rackmind_pdu_voltage_volts" + mac + "} 251\n");
    row("current", 1, "rackmind_pdu_current_amperes" + mac + "} 5.25\n");
    row("outlet 1 on", 1, "rackmind_pdu_outlet_on" + mac + ",outlet=\"1\"} 1\n");
    row("outlet 2 off", 1, "rackmind_pdu_outlet_on" + mac + ",outlet=\"2\"} 0\n");
    row("outlet 8 on", 1, "rackmind_pdu_outlet_on" + mac + ",outlet=\"8\"} 1\n");
    row("online", 1, "rackmind_pdu_online" + mac + "} 1\n");
    row("factory limits not shown", 1, "rackmind_pdu_voltage_warn_volts{", false);
    row("reported limit", 2, "rackmind_pdu_voltage_warn_volts" + mac + "} 250\n");
    row("offline: online 0", 0, "rackmind_pdu_online" + mac + "} 0\n");
    row("offline: info stays", 0, info);
    row("offline: no stale reading", 0, "rackmind_pdu_voltage_volts{", false);
    row("offline: no stale outlet", 0, "rackmind_pdu_outlet_on{", false);
    row("offline: no stale limit", 0, "rackmind_pdu_current_warn_amperes{", false);
    row("apparent power", 1, "rackmind_pdu_apparent_power_voltamperes" + mac + "} 1317.75\n");
    row("offline: no apparent power", 0, "rackmind_pdu_apparent_power_voltamperes{", false);
    row("offline: energy stays", 0, "rackmind_pdu_energy_voltampere_hours_total" + mac + "} 1234.5\n");
    row("group load", 1, "rackmind_group_current_amperes{group=\"Default\"} 5.25\n");
    row("offline: no load", 0, "rackmind_group_current_amperes{group=\"Default\"} 0\n");
    row("empty group with a budget", 1, "rackmind_group_current_amperes" + rack9 + " 0\n");
    row("derated budget", 1, "rackmind_group_budget_amperes" + rack9 + " 12.8\n");
    row("breaker", 1, "rackmind_group_breaker_amperes" + rack9 + " 16\n");
    row("no budget for Default", 1, "rackmind_group_budget_amperes{group=\"Default\"", false);
}

void TestMetrics::render()
{
    QFETCH(int, state);
    QFETCH(QByteArray, line);
    QFETCH(bool, present);
    CPdu pdu;
    pdu.uiSourceIP = QHostAddress(QStringLiteral("10.0.0.7")).toIPv4Address();
    const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x0B, 0x0C, 0xFF};
    std::copy(std::begin(mac), std::end(mac), pdu.stInfo.mac);
    storeDeviceText(QStringLiteral("a\"b\\c\nd"), pdu.stInfo.name, 16);
    storeDeviceText(QStringLiteral("row 1"), pdu.stInfo.position, 16);
    pdu.stInfo.voltage = 251;
    pdu.stInfo.current = 5.25;
    pdu.stInfo.temperature = pdu.stInfo.temperatureLowLimit;
    pdu.stInfo.outletStatus = 0x81;
    // Heard from once, with every reply; "not heard for a while" is a minute later.
    pdu.iLastRcvMsecs = Clock::elapsedMs() - (state ? 0 : 60000);
    if (state != 1)
        pdu.markReported(kCmdThresholds);
    pdu.markReported(kCmdStatus);
    setGroupBudget(QStringLiteral("rack \"9\""), {16, 0.8});
    MetricsTotals totals;
    totals.iHistorySamplesDropped = 3;
    totals.iHistoryAvailable = 0;
    totals.iHistorySamplesPending = 42;
    totals.hashEnergyUnits.insert(QStringLiteral("00:04:A3:0B:0C:FF"), 12345 * Energy::kUnitsPerVah / 10);
    const QByteArray text = renderMetrics({&pdu}, totals);
    QVERIFY2(text.contains(line) == present, text.constData());
    QCOMPARE(promtoolCheckMetrics("\r\n\r\n" + text), QString());
}

void TestMetrics::labelsFollowChanges_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("label");
    QTest::newRow("mac") << 0 << QByteArray("mac=\"0004A3000007\"");
    QTest::newRow("name") << 1 << QByteArray("name=\"B-2\"");
    QTest::newRow("position") << 2 << QByteArray("position=\"Row 9\"");
    QTest::newRow("address") << 3 << QByteArray("address=\"10.0.0.9\"");
    QTest::newRow("group") << 4 << QByteArray("group=\"Lab\"");
}

// Label sets kept from page to page are made again when what they show changes.
void TestMetrics::labelsFollowChanges()
{
    QFETCH(int, field);
    QFETCH(QByteArray, label);
    CPdu pdu;
    pdu.uiSourceIP = 0x0A000007;
    pdu.iLastRcvMsecs = Clock::elapsedMs();
    CMetricsLabels labels;
    QByteArray baPage;
    renderMetrics({&pdu}, {}, baPage, nullptr, &labels);
    QVERIFY(!baPage.contains(label));
    switch (field) {
    case 0:
        pdu.stInfo.mac[5] = 7;
        break;
    case 1:
        storeDeviceText(QStringLiteral("B-2"), pdu.stInfo.name, 16);
        break;
    case 2:
        storeDeviceText(QStringLiteral("Row 9"), pdu.stInfo.position, 16);
        break;
    case 3:
        pdu.uiSourceIP = 0x0A000009;
        break;
    default:
        pdu.strGroup = QStringLiteral("Lab");
    }
    renderMetrics({&pdu}, {}, baPage, nullptr, &labels);
    QVERIFY2(baPage.contains(label), baPage.constData());
}

void TestMetrics::numbersAsWritten_data()
{
    QTest::addColumn<double>("value");
    for (double d : {0.0, -0.0, 5.25, 0.05, 12.1, -3.5, 1e-5, 0.1 + 0.2, 13.999999, 123456.78, 9999999.99,
                     1e7, 1e12, std::nan(""), HUGE_VAL})
        QTest::newRow(QByteArray::number(d, 'g', 17).constData()) << d;
}

// Every value reads as Qt's own shortest form with ten digits would write it.
void TestMetrics::numbersAsWritten()
{
    QFETCH(double, value);
    CPdu pdu;
    pdu.iLastRcvMsecs = Clock::elapsedMs();
    pdu.stInfo.current = value;
    const QByteArray baText = renderMetrics({&pdu}, {});
    const int iAt = baText.indexOf("\nrackmind_pdu_current_amperes{");
    QCOMPARE(baText.mid(baText.indexOf("} ", iAt) + 2).split('\n').first(),
             QByteArray::number(value, 'g', 10));
}

void TestMetrics::outletSets_data()
{
    QTest::addColumn<QByteArray>("outlets");
    QTest::addColumn<QByteArray>("line");
    // Online: ...01 shows outlets 1 and 3 on, ...02 outlet 1; ...03 is offline with everything on as last
    // heard; two online PDUs report ...04.
    const auto row = [](const char* pszName, const QByteArray& baOutlets, const QByteArray& baLine) {
        QTest::newRow(pszName) << baOutlets << baLine;
    };
    row("both feeds on", R"("0004A3000001/1", "0004A3000002/1")", "rackmind_outlet_set_on{set=\"s\"} 1\n");
    row("one of two on", R"("0004A3000001/1", "0004A3000001/2")", "rackmind_outlet_set_on{set=\"s\"} 0.5\n");
    row("one of three on", R"("0004A3000001/3", "0004A3000002/2", "0004A3000002/8")",
        "rackmind_outlet_set_on{set=\"s\"} 0.3333333333\n");
    row("offline PDU: not on", R"("0004A3000001/1", "0004A3000003/1")",
        "rackmind_outlet_set_on{set=\"s\"} 0.5\n");
    row("PDU never heard: not on", R"("0004A3000009/1")", "rackmind_outlet_set_on{set=\"s\"} 0\n");
    row("two PDUs with its MAC: not on", R"("0004A3000004/1", "0004A3000001/1")",
        "rackmind_outlet_set_on{set=\"s\"} 0.5\n");
}

// What a dashboard shows of a machine fed from several PDUs.
void TestMetrics::outletSets()
{
    QFETCH(QByteArray, outlets);
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("outlet-sets"));
    QVERIFY(writeFile(strPath, R"({"sets": [{"name": "s", "outlets": [)" + outlets + "]}]}"));
    COutletSetGauge gauge(strPath);
    QVERIFY(!gauge.update().isEmpty());
    std::vector<std::unique_ptr<CPdu>> vecPdu;
    for (const auto& [iMac, uiStatus, bOnline] :
         {std::tuple{1, 0x05, true}, {2, 0x01, true}, {3, 0xFF, false}, {4, 0xFF, true}, {4, 0xFF, true}}) {
        vecPdu.push_back(std::make_unique<CPdu>());
        CPdu& pdu = *vecPdu.back();
        pdu.stInfo.mac[0] = 0x00, pdu.stInfo.mac[1] = 0x04, pdu.stInfo.mac[2] = 0xA3;
        pdu.stInfo.mac[5] = quint8(iMac);
        pdu.stInfo.outletStatus = quint8(uiStatus);
        pdu.iLastRcvMsecs = Clock::elapsedMs() - (bOnline ? 0 : 60000);
        pdu.markReported(kCmdStatus);
    }
    QList<CPdu*> listPdu;
    for (const auto& pPdu : vecPdu)
        listPdu << pPdu.get();
    QByteArray baPage;
    renderMetrics(listPdu, {}, baPage, nullptr, nullptr, &gauge);
    QVERIFY2(baPage.contains(line), baPage.constData());
    QCOMPARE(promtoolCheckMetrics("\r\n\r\n" + baPage), QString());
}

// The service follows the sets file as operators edit it: a change shows on the next page, a file that
// cannot be read is said once and the sets read before stay on the page, a removed file holds no sets.
void TestMetrics::outletSetsFollowTheFile()
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("outlet-sets"));
    qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(strPath));
    CMetricsExporter exporter;
    qunsetenv("RACKMIND_OUTLET_SETS");
    QSignalSpy spyNotice(&exporter, &CMetricsExporter::signalNotice);
    const auto sets = [](const QByteArray& baNames) -> QByteArray {
        QByteArray ba = R"({"sets": [)";
        for (const QByteArray& baName : baNames.split(' '))
            ba += R"({"name": ")" + baName + R"(", "outlets": ["0004A3000001/1"]},)";
        ba.chop(1);
        return ba + "]}";
    };
    const auto shown = [&exporter] {
        QByteArrayList list;
        for (const QByteArray& baLine : exporter.refresh().split('\n'))
            if (baLine.startsWith("rackmind_outlet_set_on{"))
                list << baLine.mid(int(qstrlen("rackmind_outlet_set_on{set=\""))).split('"').value(0);
        return list.join(' ');
    };
    QCOMPARE(shown(), QByteArray());
    QVERIFY(spyNotice.isEmpty());
    // Rewritten in place with the same size at once, as rackmind-ctl and the console change it.
    for (const QByteArray baNames : {"db-07 db-08", "db-07 db-09"}) {
        QVERIFY(writeFile(strPath, sets(baNames)));
        QCOMPARE(shown(), baNames);
    }
    QCOMPARE(spyNotice.size(), 2);
    for (const QByteArray& baBroken : {QByteArray("{\"sets\": ["), QByteArray("[1, 2]")}) {
        QVERIFY(writeFile(strPath, baBroken));
        QCOMPARE(shown(), QByteArray("db-07 db-09"));
    }
    QCOMPARE(spyNotice.size(), 3);
    QVERIFY2(spyNotice.last().value(0).toString().contains(strPath),
             qPrintable(spyNotice.last().value(0).toString()));
    exporter.reloadOutletSets();
    QCOMPARE(spyNotice.size(), 3);
    QVERIFY(writeFile(strPath, sets("web")));
    QCOMPARE(shown(), QByteArray("web"));
    QCOMPARE(spyNotice.size(), 4);
    QVERIFY(QFile::remove(strPath));
    QCOMPARE(shown(), QByteArray());
}

// Whoever may read the sets file may lock it, for as long as they like: the page is made at once with the
// sets read before (a reload too), a long lock is said once, and the change shows once the lock is gone.
void TestMetrics::outletSetsLockNotWaitedFor()
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("outlet-sets"));
    COutletSetGauge gauge(strPath);
    const auto write = [&](const char* pszName) {
        return writeFile(strPath, R"({"sets": [{"name": ")" + QByteArray(pszName) +
                                      R"(", "outlets": ["0004A3000001/1"]}]})");
    };
    const auto shows = [&](const char* pszName) {
        QByteArray baPage;
        renderMetrics({}, {}, baPage, nullptr, nullptr, &gauge);
        return baPage.contains("rackmind_outlet_set_on{set=\"" + QByteArray(pszName) + "\"}");
    };
    QVERIFY(write("before"));
    QVERIFY(!gauge.update().isEmpty());
    QVERIFY(write("after"));
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX) == 0);
    QStringList listTold;
    for (int i = 0; i < 3 * COutletSetGauge::kLockedLooksTold; ++i)
        listTold << gauge.update(i % 2);
    listTold.removeAll(QString());
    const bool bBefore = shows("before");
    ::close(fd);
    QCOMPARE(listTold.size(), 1);
    QVERIFY(bBefore);
    QVERIFY(!gauge.update().isEmpty());
    QVERIFY(shows("after"));
}

void TestMetrics::http_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status"); // empty: closed without an answer
    const auto row = [](const char* pszName, const QByteArray& baRequest, const char* pszStatus) {
        QTest::newRow(pszName) << baRequest
                               << (*pszStatus ? "HTTP/1.1 " + QByteArray(pszStatus) : QByteArray());
    };
    const QByteArray get("GET /metrics HTTP/1.1\r\nHost: x\r\n"), close("Connection: close\r\n\r\n");
    const QByteArray big(100000, 'a');
    row("scrape", get + close, "200");
    row("head", "HEAD /metrics HTTP/1.1\r\nHost: x\r\n" + close, "200");
    row("other path", "GET /metrics/../etc HTTP/1.1\r\nHost: x\r\n" + close, "404");
    row("post", "POST /metrics HTTP/1.1\r\nHost: x\r\nContent-Length: 2\r\n" + close + "ab", "405");
    row("delete", "DELETE / HTTP/1.1\r\nHost: x\r\n" + close, "405");
    row("huge path", "GET /" + big + " HTTP/1.1\r\n\r\n", "414");
    row("huge header", "GET /metrics HTTP/1.1\r\nX: " + big + "\r\n\r\n", "400");
    row("huge body", get + "Content-Length: 100000\r\n\r\n" + big, "413");
    row("not http", "\x16\x03\x01\x02\x00\r\n\r\n", "");
    // A body the server does not read must not be taken for the next request.
    const QByteArray inner("GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray length = "Content-Length: " + QByteArray::number(inner.size()) + "\r\n\r\n";
    row("post, a request as body", "POST /metrics HTTP/1.1\r\nHost: x\r\n" + length + inner, "405");
    row("get, a request as body", get + length + inner, "200");
    row("huge body, a request after", get + "Content-Length: 5000\r\n\r\n" + inner + QByteArray(5000, 'a'),
        "413");
    row("two lengths, a request as body", get + "Content-Length: 0\r\n" + length + inner, "400");
    // Heads that readers may take apart differently (a proxy in front and this server) are refused
    // before anything is routed.
    row("space before a colon", get + "Transfer-Encoding : chunked\r\n\r\n0\r\n\r\n", "400");
    row("folded field", get + "X-A: a\r\n b\r\n\r\n", "400");
    row("length list", get + "Content-Length: 0, 40\r\n\r\n", "400");
    row("length in hex", get + "Content-Length: 0x10\r\n\r\n", "400");
    row("length with a sign", get + "Content-Length: +5\r\n\r\nabcde", "400");
    row("NUL in a value", get + QByteArray("X-A: a\0b\r\n\r\n", 12), "400");
    row("bare CR", get + "X-A: a\rX-B: b\r\n\r\n", "400");
    row("no host", "GET /metrics HTTP/1.1\r\n\r\n", "400");
    row("no host, a space after the version", "GET /metrics HTTP/1.1 \r\n\r\n", "400");
    row("two spaces before the version", "GET /metrics  HTTP/1.1\r\nHost: x\r\n\r\n", "400");
    row("a tab after the method", "GET\t/metrics HTTP/1.1\r\nHost: x\r\n\r\n", "400");
    row("two hosts", get + "Host: y\r\n\r\n", "400");
    row("no host, HTTP/1.0", "GET /metrics HTTP/1.0\r\n\r\n", "200");
    row("length with spaces around", get + "Content-Length:  0 \r\n\r\n", "200");
    // Short lines each, but a head no scraper sends: refused, not buffered without end.
    row("endless headers",
        "GET /metrics HTTP/1.1\r\n" + QByteArray("X-A: aaaaaaaaaa\r\n").repeated(20000) + "\r\n", "4");
}

void TestMetrics::http()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY2(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort), qPrintable(exporter.errorString()));
    const QByteArray response = httpExchange(uiPort, request);
    QVERIFY2(status.isEmpty() ? response.isEmpty() : response.startsWith(status),
             response.left(200).constData());
    QVERIFY2(response.count("HTTP/1.1 ") <= 1, response.left(400).constData());
}

void TestMetrics::compressedOncePerSnapshot_data()
{
    QTest::addColumn<QByteArray>("accept");
    QTest::addColumn<bool>("gzip");
    QTest::newRow("as Prometheus asks") << QByteArray("gzip") << true;
    QTest::newRow("among others") << QByteArray("deflate, GZIP;q=0.5, br") << true;
    QTest::newRow("anything") << QByteArray("*") << true;
    QTest::newRow("refused") << QByteArray("gzip;q=0") << false;
    QTest::newRow("brotli only") << QByteArray("br") << false;
    QTest::newRow("none") << QByteArray() << false;
}

// The page comes compressed to whoever asks for gzip and plain to everyone else, the same text either
// way, also for the second scrape of one snapshot (which takes the compressed form made for the first).
void TestMetrics::compressedOncePerSnapshot()
{
    QFETCH(QByteArray, accept);
    QFETCH(bool, gzip);
    std::vector<std::unique_ptr<CPdu>> vecPdu;
    QList<CPdu*> listPdu;
    for (int i = 0; i < 50; ++i) {
        vecPdu.push_back(std::make_unique<CPdu>());
        vecPdu.back()->uiSourceIP = 0x0AC80001 + quint32(i);
        vecPdu.back()->stInfo.voltage = 220 + i * 0.1;
        listPdu << vecPdu.back().get();
    }
    CMetricsServer server;
    const quint16 uiPort = freePort();
    QVERIFY(server.start(QStringLiteral("127.0.0.1"), uiPort, nullptr));
    const QByteArray baRequest = "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" +
                                 (accept.isNull() ? QByteArray() : "Accept-Encoding: " + accept + "\r\n") +
                                 "\r\n";
    // Pages one after another, each with a part changed or none: parts compressed for an earlier page
    // are reused where they still hold.
    for (int iPage = 0; iPage < 4; ++iPage) {
        if (iPage == 1)
            listPdu.at(7)->stInfo.voltage = 231;
        if (iPage == 3)
            listPdu.at(0)->stInfo.outletStatus = 0x5A;
        QByteArray baText;
        QVector<int> vecFamilies;
        renderMetrics(listPdu, {}, baText, &vecFamilies);
        server.publish(baText, vecFamilies);
        for (int iScrape = 0; iScrape < 2; ++iScrape) {
            bool bGzip = false;
            const QByteArray baBody = bodyOf(httpExchange(uiPort, baRequest), &bGzip);
            QCOMPARE(bGzip, gzip);
            QCOMPARE(baBody, baText);
        }
    }
}

void TestMetrics::rangesNeverPastThePage_data()
{
    QTest::addColumn<QByteArray>("range");
    QTest::addColumn<bool>("gzip");
    const char* apszRanges[][2] = {{"past the end", "0-400000"},     {"starting beyond", "999999-"},
                                   {"long suffix", "-999999"},       {"suffix", "-10"},
                                   {"several", "0-9,20-29,999999-"}, {"within", "5-9"}};
    for (const bool bGzip : {false, true})
        for (const auto& apszRange : apszRanges)
            QTest::addRow("%s, %s", apszRange[0], bGzip ? "gzip" : "plain")
                << "bytes=" + QByteArray(apszRange[1]) << bGzip;
}

// Ranges are not served: whatever is asked, the answer is the whole page and not a byte beyond it.
void TestMetrics::rangesNeverPastThePage()
{
    QFETCH(QByteArray, range);
    QFETCH(bool, gzip);
    CMetricsServer server;
    const quint16 uiPort = freePort();
    QVERIFY(server.start(QStringLiteral("127.0.0.1"), uiPort, nullptr));
    QByteArray baText;
    for (int i = 0; i < 2000; ++i)
        baText += "rackmind_test_line{n=\"" + QByteArray::number(i) + "\"} 1\n";
    server.publish(baText, {}, "<p>room</p>");
    for (const QByteArray& path : {QByteArray("/metrics"), QByteArray("/")}) {
        const QByteArray baResponse = httpExchange(
            uiPort, "GET " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\nRange: " + range +
                        (gzip ? "\r\nAccept-Encoding: gzip" : "") + "\r\n\r\n");
        const QByteArray baHead = baResponse.left(baResponse.indexOf("\r\n\r\n")).toLower();
        QVERIFY2(baResponse.startsWith("HTTP/1.1 200"), baHead.constData());
        QVERIFY2(!baHead.contains("accept-ranges: bytes") && !baHead.contains("content-range"),
                 baHead.constData());
        bool bGzip = false;
        const QByteArray baBody = bodyOf(baResponse, &bGzip);
        QCOMPARE(baBody, path == "/" ? QByteArray("<p>room</p>") : baText);
        QVERIFY(baHead.contains("content-length: " +
                                QByteArray::number(baResponse.size() - baResponse.indexOf("\r\n\r\n") - 4)));
        // Nor does a HEAD offer ranges that a GET would not honour.
        const QByteArray baHeadOnly =
            httpExchange(uiPort, "HEAD " + path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                .toLower();
        QVERIFY2(baHeadOnly.startsWith("http/1.1 200") && !baHeadOnly.contains("accept-ranges"),
                 baHeadOnly.constData());
    }
}

// The room's page is made only while someone looks: the first look waits for it instead of getting a
// placeholder that only a reload replaces.
void TestMetrics::firstLookGetsTheRoom()
{
    CMetricsServer server;
    const quint16 uiPort = freePort();
    QVERIFY(server.start(QStringLiteral("127.0.0.1"), uiPort, nullptr));
    server.publish("rackmind_up 1\n", {}, QByteArray());
    QByteArray baResponse;
    std::thread client(
        [&] { baResponse = httpExchange(uiPort, "GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"); });
    QTRY_VERIFY_WITH_TIMEOUT(server.roomPageWanted(), 10000);
    server.publish("rackmind_up 1\n", {}, "<p>room</p>");
    client.join();
    bool bGzip = false;
    QCOMPARE(bodyOf(baResponse, &bGzip), QByteArray("<p>room</p>"));
}

void TestMetrics::slowReadersAreBounded_data()
{
    QTest::addColumn<bool>("move");
    QTest::addColumn<QByteArray>("from"); // the slow readers' address; the scraper's is 127.0.0.1
    QTest::newRow("stop") << false << QByteArray("127.0.0.1");
    QTest::newRow("move to another port") << true << QByteArray("127.0.0.1");
    QTest::newRow("another address, no deadline passing") << false << QByteArray("127.0.5.1");
}

// Clients that read a byte now and then through a small receive buffer hold no worker past the
// exchange's deadline, nor every worker while they hold theirs, and stopping or moving the endpoint
// under them ends their exchanges at once.
void TestMetrics::slowReadersAreBounded()
{
    QFETCH(bool, move);
    QFETCH(QByteArray, from);
    CMetricsServer server;
    const quint16 uiPort = freePort();
    QVERIFY(server.start(QStringLiteral("127.0.0.1"), uiPort, nullptr));
    // Far more than the kernel buffers on both sides hold.
    server.publish(QByteArray(16 * 1024 * 1024, 'x'));

    std::vector<int> vecSockets;
    const auto addSlowReaders = [&] {
        for (int i = 0; i < 2 * CMetricsServer::kWorkers; ++i) {
            const int iSocket = ::socket(AF_INET, SOCK_STREAM, 0);
            const int iBuffer = 2048;
            ::setsockopt(iSocket, SOL_SOCKET, SO_RCVBUF, &iBuffer, sizeof iBuffer);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            inet_pton(AF_INET, from.constData(), &addr.sin_addr);
            QVERIFY(::bind(iSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
            addr.sin_port = htons(uiPort);
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            QVERIFY(::connect(iSocket, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0);
            const char acRequest[] = "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n";
            QVERIFY(::send(iSocket, acRequest, sizeof acRequest - 1, 0) > 0);
            vecSockets.push_back(iSocket);
        }
    };
    std::atomic<bool> bDone{false};
    std::atomic<int> iBytes{0};
    addSlowReaders();
    std::thread reader([&] {
        while (!bDone) {
            for (int iSocket : vecSockets) {
                char c;
                if (::recv(iSocket, &c, 1, MSG_DONTWAIT) == 1)
                    ++iBytes;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    // From an address of its own the scrape gets a worker they do not hold, however long they would.
    const bool bElsewhere = from != "127.0.0.1";
    if (bElsewhere) {
        QTRY_VERIFY_WITH_TIMEOUT(iBytes > 0, 20000);
        holdClock();
    }
    const QByteArray baScrape = httpExchange(uiPort,
                                             "GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n"
                                             "Accept-Encoding: gzip\r\n\r\n",
                                             30000);
    QVERIFY2(baScrape.startsWith("HTTP/1.1 200"), baScrape.left(100).constData());
    QTRY_VERIFY_WITH_TIMEOUT(iBytes > 0, 20000);
    releaseClock();

    // With the clock held no deadline ends the slow exchanges: returning at all, the stop ended them.
    holdClock();
    server.stop();
    const bool bMoved = !move || server.start(QStringLiteral("127.0.0.1"), freePort(), nullptr);
    releaseClock();
    bDone = true;
    reader.join();
    for (int iSocket : vecSockets)
        ::close(iSocket);
    QVERIFY(bMoved);
}

// An accept loop that ends by itself is noticed, told, and started again.
void TestMetrics::deadAcceptLoopRestarted()
{
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    QSignalSpy spyNotice(&exporter, &CMetricsExporter::signalNotice);
    // The listening socket fails under the loop, as it would on a kernel error.
    const QDir dirFds(QStringLiteral("/proc/self/fd"));
    int iListening = -1;
    for (const QString& strFd : dirFds.entryList(QDir::Files | QDir::System)) {
        sockaddr_in addr{};
        socklen_t uiLength = sizeof addr;
        int iAccepting = 0;
        socklen_t uiSize = sizeof iAccepting;
        const int iFd = strFd.toInt();
        if (::getsockname(iFd, reinterpret_cast<sockaddr*>(&addr), &uiLength) == 0 &&
            addr.sin_family == AF_INET && ntohs(addr.sin_port) == uiPort &&
            ::getsockopt(iFd, SOL_SOCKET, SO_ACCEPTCONN, &iAccepting, &uiSize) == 0 && iAccepting)
            iListening = iFd;
    }
    QVERIFY(iListening >= 0);
    ::shutdown(iListening, SHUT_RDWR);
    QTRY_COMPARE_WITH_TIMEOUT(spyNotice.count(), 1, 10000);
    QVERIFY2(spyNotice.at(0).at(0).toString().contains(QStringLiteral("restarted")),
             qPrintable(spyNotice.at(0).at(0).toString()));
    QVERIFY(exporter.isServing());
    QVERIFY(httpGet(uiPort, "/metrics").startsWith("HTTP/1.1 200"));
}

void TestMetrics::tlsAndBasicAuth_data()
{
    QTest::addColumn<QByteArray>("settings"); // more of tls_server_config
    QTest::addColumn<QString>("scheme");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("status"); // empty: the configuration is refused
    const QStringList ca{"--cacert", "ca.crt", "-u", "prom:s3cret"};
    const QStringList mine{"--cert", "client.crt", "--key", "client.key"};
    const QStringList tls12{"--tls-max", "1.2", "--ciphers"};
    const QByteArray none,
        certs("  client_auth_type: RequireAndVerifyClientCert\n  client_ca_file: ca.crt\n");
    const QByteArray p384("  curve_preferences: [CurveP384]\n");
    const auto row = [](const char* pszName, const QByteArray& baSettings, const QStringList& listArgs,
                        const char* pszStatus, const char* pszScheme = "https") {
        QTest::newRow(pszName) << baSettings << QString::fromLatin1(pszScheme) << listArgs
                               << QByteArray(pszStatus);
    };
    row("right password", none, ca, "200");
    row("wrong password", none, {"--cacert", "ca.crt", "-u", "prom:guess"}, "401");
    row("unknown user", none, {"--cacert", "ca.crt", "-u", "root:s3cret"}, "401");
    row("no password", none, {"--cacert", "ca.crt"}, "401");
    row("plain http to the tls port", none, {"-u", "prom:s3cret"}, "000", "http");
    row("client certificate missing", certs, ca, "000");
    row("client certificate given", certs, ca + mine, "200");
    // TLS 1.2 keeps to forward secrecy and authenticated encryption unless the file names other suites.
    row("aead by default", none, ca + tls12 + QStringList{"ECDHE-ECDSA-AES128-GCM-SHA256"}, "200");
    row("cbc-sha1 refused by default", none, ca + tls12 + QStringList{"ECDHE-ECDSA-AES128-SHA"}, "000");
    row("cbc-sha1 named", "  cipher_suites: [TLS_ECDHE_ECDSA_WITH_AES_128_CBC_SHA]\n",
        ca + tls12 + QStringList{"ECDHE-ECDSA-AES128-SHA"}, "200");
    row("curve not preferred", p384, ca + QStringList{"--curves", "P-256"}, "000");
    row("curve preferred", p384, ca + QStringList{"--curves", "P-384"}, "200");
    row("unknown suite", "  cipher_suites: [TLS_RSA_WITH_RC4_128_SHA]\n", ca, nullptr);
    row("unknown curve", "  curve_preferences: [P-256]\n", ca, nullptr);
}

void TestMetrics::tlsAndBasicAuth()
{
    QFETCH(QByteArray, settings);
    QFETCH(QString, scheme);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, status);
    QTemporaryDir dir;
    QVERIFY(makeTlsFiles(QDir(dir.path())));
    const QString strConfig =
        writeWebConfig(dir, "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n" +
                                settings + usersFile("s3cret"));
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    const bool bServing = exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort, strConfig);
    QCOMPARE(bServing, !status.isEmpty());
    if (!bServing)
        return;
    for (QString& strArg : args)
        if (strArg.endsWith(QLatin1String(".crt")) || strArg.endsWith(QLatin1String(".key")))
            strArg = dir.filePath(strArg);
    QCOMPARE(curlStatus(QStringLiteral("%1://127.0.0.1:%2/metrics").arg(scheme).arg(uiPort), args), status);
}

// Guessing costs the guesser: past a few, each wrong password makes its peer wait longer before the
// next check, a wrong password ends the connection it came on, and nobody else waits for it.
void TestMetrics::passwordGuessesSlowDown()
{
    const QByteArray baHash = bcryptHash("s3cret");
    const auto basic = [](const char* pszPair) {
        return "Basic " + QByteArray(pszPair).toBase64().toStdString();
    };
    using R = CBasicAuth::Result;
    struct Step
    {
        int iStepMs;
        const char* pszPair;
        const char* pszPeer;
        R expected;
    };
    const Step aSteps[] = {
        {0, "prom:guess", "10.0.0.1", R::Refused}, // a few failures are free
        {0, "prom:guess", "10.0.0.1", R::Refused},
        {0, "prom:guess", "10.0.0.1", R::Refused},
        {0, "prom:guess", "10.0.0.1", R::Refused},
        {0, "prom:guess", "10.0.0.1", R::Refused},
        {0, "prom:guess", "10.0.0.1", R::Refused},
        {0, "prom:s3cret", "10.0.0.1", R::Throttled}, // the right one too, until the wait is over
        {99, "prom:guess", "10.0.0.1", R::Throttled},
        {1, "prom:guess", "10.0.0.1", R::Refused}, // a second failure: twice the wait
        {150, "nobody:guess", "10.0.0.1", R::Throttled},
        {50, "nobody:guess", "10.0.0.1", R::Refused},
        {0, "prom:s3cret", "10.0.0.2", R::Passed}, // another peer never waits for the guesser
        {0, "prom:guess", "10.0.0.2", R::Refused},
        {400, "prom:s3cret", "10.0.0.1", R::Passed}, // known now: no check, no wait
    };
    holdClock();
    CBasicAuth auth({{QStringLiteral("prom"), baHash}});
    int iStep = 0;
    for (const Step& step : aSteps) {
        s_iHeldMs += step.iStepMs;
        QVERIFY2(auth.check(basic(step.pszPair), step.pszPeer) == step.expected,
                 qPrintable(QString::number(iStep)));
        ++iStep;
    }
    // A reload gives a guesser no free failures again.
    for (int i = 0; i <= CBasicAuth::kFreeFailures; ++i)
        auth.check(basic("prom:guess"), "10.0.0.3");
    CBasicAuth reloaded({{QStringLiteral("prom"), baHash}});
    reloaded.takeOver(auth);
    QVERIFY(reloaded.check(basic("prom:guess"), "10.0.0.3") == R::Throttled);
    // A password that passed still passes at once after a reload that kept its user's hash, not after
    // one that changed it.
    QVERIFY(reloaded.check(basic("prom:s3cret"), "10.0.0.3") == R::Passed);
    CBasicAuth changed({{QStringLiteral("prom"), bcryptHash("s3cret")}});
    changed.takeOver(auth);
    QVERIFY(changed.check(basic("prom:s3cret"), "10.0.0.3") == R::Throttled);
    releaseClock();

    QTemporaryDir dir;
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY2(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort,
                            writeWebConfig(dir, "basic_auth_users:\n  prom: " + baHash + "\n")),
             qPrintable(exporter.errorString()));
    const QByteArray baGuess = "GET /metrics HTTP/1.1\r\nHost: x\r\nAuthorization: " +
                               QByteArray::fromStdString(basic("prom:guess")) + "\r\n\r\n";
    const QByteArray baResponse = httpExchange(uiPort, baGuess + baGuess + baGuess);
    QVERIFY2(baResponse.startsWith("HTTP/1.1 401") && baResponse.count("HTTP/1.1 ") == 1,
             baResponse.constData());
}

// Failures from more addresses than are remembered forget those that failed longest ago, not a
// guesser that has just failed.
void TestMetrics::guesserKeptWhenAddressesOverflow()
{
    const std::string strGuess = "Basic " + QByteArray("prom:guess").toBase64().toStdString();
    holdClock();
    CBasicAuth auth({{QStringLiteral("prom"), bcryptHash("s3cret", 4)}});
    for (size_t i = 0; i + 1 < CBasicAuth::kMaxPeers; ++i)
        auth.check(strGuess, "10.1." + std::to_string(i / 250) + '.' + std::to_string(i % 250));
    s_iHeldMs += 1;
    for (int i = 0; i <= CBasicAuth::kFreeFailures; ++i)
        QVERIFY(auth.check(strGuess, "10.0.0.1") == CBasicAuth::Result::Refused);
    QVERIFY(auth.check(strGuess, "10.2.0.1") == CBasicAuth::Result::Refused);
    QVERIFY(auth.check(strGuess, "10.0.0.1") == CBasicAuth::Result::Throttled);
    releaseClock();
}

void TestMetrics::brokenWebConfigServesNothing_data()
{
    QTest::addColumn<QByteArray>("content"); // null: the file is gone
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("emptied") << QByteArray("");
    QTest::newRow("comments only") << QByteArray("# basic_auth_users:\n");
    QTest::newRow("not yaml") << QByteArray("basic_auth_users: [\n");
    QTest::newRow("misspelt key") << QByteArray("basic_auth_user:\n  prom: x\n");
    QTest::newRow("not a bcrypt hash") << QByteArray("basic_auth_users:\n  prom: s3cret\n");
    QTest::newRow("key file missing") << QByteArray("tls_server_config:\n  cert_file: server.crt\n");
    // A role misspelt or given to nobody must not leave an operator without the right asked for, or with
    // one never asked for.
    QTest::newRow("role of an unknown user")
        << usersFile("s3cret") + "basic_auth_roles:\n  bob: [operator]\n";
    QTest::newRow("no such role") << usersFile("s3cret") + "basic_auth_roles:\n  prom: [operater]\n";
    QTest::newRow("override alone") << usersFile("s3cret") + "basic_auth_roles:\n  prom: [override]\n";
    QTest::newRow("api not a boolean") << usersFile("s3cret") + "api_enabled: perhaps\n";
}

// A protected endpoint whose file goes bad (as on a SIGHUP after a botched edit) stops serving; it never
// goes on without the protection, and the error names the file.
void TestMetrics::brokenWebConfigServesNothing()
{
    QFETCH(QByteArray, content);
    QTemporaryDir dir;
    const QString strConfig = writeWebConfig(dir, usersFile("s3cret"));
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY2(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort, strConfig),
             qPrintable(exporter.errorString()));
    QVERIFY(httpGet(uiPort, "/metrics").startsWith("HTTP/1.1 401"));
    QVERIFY(!exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort, writeWebConfig(dir, content)));
    QVERIFY(!exporter.isServing());
    QVERIFY2(exporter.errorString().contains(strConfig), qPrintable(exporter.errorString()));
    QCOMPARE(httpGet(uiPort, "/metrics"), QByteArray());
}

void TestMetrics::idleClientsDoNotHoldScrapes_data()
{
    QTest::addColumn<QByteArray>("opening");
    QTest::newRow("silent") << QByteArray();
    QTest::newRow("half a request") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\n");
    // An operation's head whole, its body held back: the body is waited for where the heads are.
    QTest::newRow("body held back") << QByteArray("POST /api/v1/sets/a HTTP/1.1\r\nHost: x\r\nContent-Type: "
                                                  "application/json\r\nContent-Length: 100\r\n\r\n{\"act");
}

void TestMetrics::idleClientsDoNotHoldScrapes()
{
    QFETCH(QByteArray, opening);
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    // Held, the clock ends no wait until it is stepped below.
    holdClock();
    auto release = qScopeGuard(releaseClock);
    // Twice as many idle connections as the server has workers.
    std::vector<std::unique_ptr<QTcpSocket>> vecIdle;
    for (int i = 0; i < 2 * CMetricsServer::kWorkers; ++i) {
        vecIdle.push_back(std::make_unique<QTcpSocket>());
        vecIdle.back()->connectToHost(QStringLiteral("127.0.0.1"), uiPort);
        QVERIFY(vecIdle.back()->waitForConnected(5000));
        vecIdle.back()->write(opening);
        vecIdle.back()->waitForBytesWritten(5000);
    }
    QTcpSocket scrape;
    scrape.connectToHost(QStringLiteral("127.0.0.1"), uiPort);
    QVERIFY(scrape.waitForConnected(5000));
    scrape.write("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QVERIFY(scrape.waitForBytesWritten(5000));
    // Answered with the clock held: no connection that sent nothing, or half a request, holds a worker
    // even until its time-out.
    QTRY_COMPARE_WITH_TIMEOUT(scrape.state(), QAbstractSocket::UnconnectedState, 30000);
    const QByteArray baScrape = scrape.readAll();
    QVERIFY2(baScrape.startsWith("HTTP/1.1 200"), baScrape.left(100).constData());
    // Each silent connection is closed by the server after its read time-out.
    releaseClock();
    for (auto& pSocket : vecIdle)
        QTRY_COMPARE_WITH_TIMEOUT(pSocket->state(), QAbstractSocket::UnconnectedState, 60000);
}

// A reload that changes the passwords keeps the port and the connections open: a scrape that comes
// meanwhile meets no refused connection, and the next request is checked against the new password.
void TestMetrics::passwordChangeKeepsThePort()
{
    QTemporaryDir dir;
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort, writeWebConfig(dir, usersFile("old"))));
    holdClock();
    auto release = qScopeGuard(releaseClock);
    const auto pHeld = connectFrom(QStringLiteral("127.0.0.1"), uiPort);
    QVERIFY(pHeld->waitForConnected(5000));
    QTRY_VERIFY_WITH_TIMEOUT(acceptedBy(uiPort, pHeld->localPort()), 20000);
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort, writeWebConfig(dir, usersFile("new"))));
    pHeld->write("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\nAuthorization: Basic " +
                 QByteArray("prom:new").toBase64() + "\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(pHeld->state(), QAbstractSocket::UnconnectedState, 30000);
    QVERIFY(pHeld->readAll().startsWith("HTTP/1.1 200"));
    QCOMPARE(httpExchange(uiPort, "GET /metrics HTTP/1.1\r\nHost: x\r\nAuthorization: Basic " +
                                      QByteArray("prom:old").toBase64() + "\r\n\r\n")
                 .left(12),
             QByteArray("HTTP/1.1 401"));
}

// A client that holds connections from an address loses its oldest when it opens more than its share;
// a scrape from the same address (a NAT) gets through, and other addresses keep theirs.
void TestMetrics::connectionsCappedPerPeer()
{
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    holdClock();
    auto release = qScopeGuard(releaseClock);
    std::vector<std::unique_ptr<QTcpSocket>> vecShared, vecOther;
    for (int i = 0; i < CMetricsServer::kMaxPerPeer; ++i) {
        vecShared.push_back(connectFrom(QStringLiteral("127.0.2.1"), uiPort));
        vecOther.push_back(connectFrom(QStringLiteral("127.0.2.2"), uiPort));
    }
    for (const auto* pVec : {&vecShared, &vecOther}) {
        QVERIFY(pVec->back()->waitForConnected(5000));
        QTRY_VERIFY_WITH_TIMEOUT(acceptedBy(uiPort, pVec->back()->localPort()), 20000);
    }
    const auto pScrape = connectFrom(QStringLiteral("127.0.2.1"), uiPort);
    QVERIFY(pScrape->waitForConnected(5000));
    pScrape->write("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
    QTRY_COMPARE_WITH_TIMEOUT(pScrape->state(), QAbstractSocket::UnconnectedState, 30000);
    QVERIFY(pScrape->readAll().startsWith("HTTP/1.1 200"));
    QTRY_COMPARE_WITH_TIMEOUT(vecShared.front()->state(), QAbstractSocket::UnconnectedState, 30000);
    for (size_t i = 1; i < vecShared.size(); ++i)
        QCOMPARE(vecShared[i]->state(), QAbstractSocket::ConnectedState);
    for (const auto& pSocket : vecOther)
        QCOMPARE(pSocket->state(), QAbstractSocket::ConnectedState);
}

// A burst far beyond what the workers and their queue hold, from many clients, still completes its
// handshakes: the clients wait in the kernel's backlog instead of retrying dropped connects.
void TestMetrics::burstWaitsInTheBacklog()
{
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    holdClock();
    auto release = qScopeGuard(releaseClock);
    std::vector<std::unique_ptr<QTcpSocket>> vecIdle;
    for (int i = 0; i < 2 * (CMetricsServer::kWorkers + CMetricsServer::kMaxWaiting); ++i) {
        vecIdle.push_back(
            connectFrom(QStringLiteral("127.0.1.%1").arg(1 + i / CMetricsServer::kMaxPerPeer), uiPort));
    }
    for (auto& pSocket : vecIdle)
        QTRY_COMPARE_WITH_TIMEOUT(pSocket->state(), QAbstractSocket::ConnectedState, 20000);
}

void TestMetrics::costlyHashesWarned_data()
{
    QTest::addColumn<int>("cost");
    QTest::addColumn<bool>("warned");
    QTest::newRow("cheap") << 5 << false;
    QTest::newRow("a second a check") << 14 << true;
}

// A hash that makes one check outlast a scrape's time-out is named when the configuration is loaded.
void TestMetrics::costlyHashesWarned()
{
    QFETCH(int, cost);
    QFETCH(bool, warned);
    QTemporaryDir dir;
    CMetricsExporter exporter;
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), freePort(),
                           writeWebConfig(dir, usersFile("s3cret", cost))));
    QCOMPARE(exporter.warnings().join(QString()).contains(QStringLiteral("prom")), warned);
}

// A port another process listens on is refused at once, even when that process allows sharing it.
void TestMetrics::portTaken()
{
    const int iHolder = ::socket(AF_INET, SOCK_STREAM, 0);
    const int iYes = 1;
    ::setsockopt(iHolder, SOL_SOCKET, SO_REUSEPORT, &iYes, sizeof iYes);
    ::setsockopt(iHolder, SOL_SOCKET, SO_REUSEADDR, &iYes, sizeof iYes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t uiLength = sizeof addr;
    QVERIFY(::bind(iHolder, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(iHolder, 8) == 0);
    ::getsockname(iHolder, reinterpret_cast<sockaddr*>(&addr), &uiLength);
    CMetricsExporter exporter;
    const bool bApplied = exporter.apply(true, QStringLiteral("127.0.0.1"), ntohs(addr.sin_port));
    ::close(iHolder);
    QVERIFY(!bApplied);
    QVERIFY2(exporter.errorString().contains(QStringLiteral("in use")), qPrintable(exporter.errorString()));
    QVERIFY(!exporter.isServing());
    // A free port afterwards serves again.
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    QVERIFY(httpGet(uiPort, "/metrics").startsWith("HTTP/1.1 200"));
}

// A stop that comes before the server's loop has begun must still end it (a hang fails the test).
void TestMetrics::stopRightAfterStart()
{
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    for (int i = 0; i < 50; ++i) {
        QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
        QVERIFY(exporter.apply(false, QString(), 0));
    }
    QVERIFY(!exporter.isServing());
}

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
