#include "device/Pdu.h"
#include "device/Protocol.h"
#include "service/MetricsExporter.h"
#include "service/MetricsServer.h"
#include "service/MetricsText.h"
#include "tests/service/HttpProbe.h"

#include <QTcpServer>
#include <QtTest>

#include <zlib.h>

#include <memory>
#include <vector>

// The text the endpoint serves and the endpoint's conduct towards bad and idle clients, on 127.0.0.1.
// A core application only: devices must come up without any widget.
class TestMetrics : public QObject
{
    Q_OBJECT

private slots:
    void render_data();
    void render();
    void labelsFollowChanges_data();
    void labelsFollowChanges();
    void numbersAsWritten_data();
    void numbersAsWritten();
    void http_data();
    void http();
    void compressedOncePerSnapshot_data();
    void compressedOncePerSnapshot();
    void idleClientsDoNotHoldScrapes();
    void portTaken();
    void stopRightAfterStart();

private:
    quint16 freePort();
};

quint16 TestMetrics::freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

void TestMetrics::render_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("limitsReported"); // the device's thresholds reply arrived
    const QByteArray labels = "{mac=\"00:04:A3:0B:0C:FF\",name=\"a\\\"b\\\\c\\nd\",position=\"row 1\","
                              "address=\"10.0.0.7\",group=\"Default\"";
    QTest::newRow("device count") << QByteArray("rackmind_pdus 1\n") << false;
    QTest::newRow("counters") << QByteArray("# TYPE rackmind_replies_received_total counter\n") << false;
    QTest::newRow("voltage, label quoting") << "rackmind_pdu_voltage_volts" + labels + "} 251\n" << false;
    QTest::newRow("current") << "rackmind_pdu_current_amperes" + labels + "} 5.25\n" << false;
    QTest::newRow("threshold") << "rackmind_pdu_voltage_warn_volts" + labels + "} 250\n" << true;
    // "!": the line must not be there. Factory limits are not the device's: an alert rule comparing a
    // reading with them would fire for a device whose own limits are higher.
    QTest::newRow("no threshold before the device reported its own")
        << QByteArray("!rackmind_pdu_voltage_warn_volts{") << false;
    QTest::newRow("outlet 1 on") << "rackmind_pdu_outlet_on" + labels + ",outlet=\"1\"} 1\n" << false;
    QTest::newRow("outlet 2 off") << "rackmind_pdu_outlet_on" + labels + ",outlet=\"2\"} 0\n" << false;
    QTest::newRow("outlet 8 on") << "rackmind_pdu_outlet_on" + labels + ",outlet=\"8\"} 1\n" << false;
    QTest::newRow("at the warn limit")
        << "rackmind_pdu_alarm_active" + labels + ",condition=\"voltage_warn\"} 1\n"
        << true;
    QTest::newRow("at the warn limit, limits not reported yet")
        << "rackmind_pdu_alarm_active" + labels + ",condition=\"voltage_warn\"} 0\n"
        << false;
    QTest::newRow("below overload") << "rackmind_pdu_alarm_active" + labels +
                                           ",condition=\"voltage_overload\"} 0\n"
                                    << false;
    QTest::newRow("at the lower limit")
        << "rackmind_pdu_alarm_active" + labels + ",condition=\"temperature\"} 1\n"
        << true;
    QTest::newRow("never heard") << "rackmind_pdu_online" + labels + "} 0\n" << false;
}

void TestMetrics::render()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, limitsReported);
    CPdu pdu;
    if (limitsReported)
        pdu.slotRcvData(buildFrame(kFrameReply, kCmdThresholds, payloadFor(kCmdThresholds, pdu.stInfo)));
    pdu.uiSourceIP = QHostAddress(QStringLiteral("10.0.0.7")).toIPv4Address();
    const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x0B, 0x0C, 0xFF};
    std::copy(std::begin(mac), std::end(mac), pdu.stInfo.mac);
    textFromString(QStringLiteral("a\"b\\c\nd"), pdu.stInfo.name, 16);
    textFromString(QStringLiteral("row 1"), pdu.stInfo.position, 16);
    pdu.stInfo.voltage = 251;
    pdu.stInfo.current = 5.25;
    pdu.stInfo.temperature = pdu.stInfo.temperatureLowLimit;
    pdu.stInfo.outletStatus = 0x81;
    const QByteArray text = renderMetrics({&pdu}, {});
    QVERIFY2(text.contains(line.mid(line.startsWith('!') ? 1 : 0)) != line.startsWith('!'), text.constData());
    QCOMPARE(promtoolCheckMetrics("\r\n\r\n" + text), QString());
}

void TestMetrics::labelsFollowChanges_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QByteArray>("label");
    QTest::newRow("mac") << 0 << QByteArray("mac=\"00:04:A3:00:00:07\"");
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
    CMetricsLabels labels;
    QByteArray baPage;
    renderMetrics({&pdu}, {}, baPage, nullptr, &labels);
    QVERIFY(!baPage.contains(label));
    switch (field) {
    case 0:
        pdu.stInfo.mac[5] = 7;
        break;
    case 1:
        textFromString(QStringLiteral("B-2"), pdu.stInfo.name, 16);
        break;
    case 2:
        textFromString(QStringLiteral("Row 9"), pdu.stInfo.position, 16);
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
    pdu.stInfo.current = value;
    const QByteArray baText = renderMetrics({&pdu}, {});
    const int iAt = baText.indexOf("\nrackmind_pdu_current_amperes{");
    QCOMPARE(baText.mid(baText.indexOf("} ", iAt) + 2).split('\n').first(),
             QByteArray::number(value, 'g', 10));
}

void TestMetrics::http_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("status");
    QTest::newRow("scrape") << QByteArray("GET /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                            << QByteArray("HTTP/1.1 200");
    QTest::newRow("head") << QByteArray("HEAD /metrics HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")
                          << QByteArray("HTTP/1.1 200");
    QTest::newRow("other path") << QByteArray("GET /metrics/../etc HTTP/1.1\r\nConnection: close\r\n\r\n")
                                << QByteArray("HTTP/1.1 404");
    QTest::newRow("post") << QByteArray(
                                 "POST /metrics HTTP/1.1\r\nContent-Length: 2\r\nConnection: close\r\n\r\nab")
                          << QByteArray("HTTP/1.1 405");
    QTest::newRow("delete") << QByteArray("DELETE / HTTP/1.1\r\nConnection: close\r\n\r\n")
                            << QByteArray("HTTP/1.1 405");
    QTest::newRow("huge path") << "GET /" + QByteArray(100000, 'a') + " HTTP/1.1\r\n\r\n"
                               << QByteArray("HTTP/1.1 414");
    QTest::newRow("huge header") << "GET /metrics HTTP/1.1\r\nX: " + QByteArray(100000, 'a') + "\r\n\r\n"
                                 << QByteArray("HTTP/1.1 400");
    QTest::newRow("huge body") << "GET /metrics HTTP/1.1\r\nContent-Length: 100000\r\n\r\n" +
                                      QByteArray(100000, 'a')
                               << QByteArray("HTTP/1.1 413");
    QTest::newRow("not http") << QByteArray("\x16\x03\x01\x02\x00\r\n\r\n") << QByteArray();
}

void TestMetrics::http()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, status);
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY2(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort), qPrintable(exporter.errorString()));
    // An empty status: closed without an answer.
    const QByteArray response = httpExchange(uiPort, request);
    QVERIFY2(status.isEmpty() ? response.isEmpty() : response.startsWith(status),
             response.left(200).constData());
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

void TestMetrics::idleClientsDoNotHoldScrapes()
{
    CMetricsExporter exporter;
    const quint16 uiPort = freePort();
    QVERIFY(exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort));
    // Twice as many silent connections as the server has workers.
    std::vector<std::unique_ptr<QTcpSocket>> vecIdle;
    for (int i = 0; i < 2 * CMetricsServer::kWorkers; ++i) {
        vecIdle.push_back(std::make_unique<QTcpSocket>());
        vecIdle.back()->connectToHost(QStringLiteral("127.0.0.1"), uiPort);
        QVERIFY(vecIdle.back()->waitForConnected(5000));
    }
    QElapsedTimer timer;
    timer.start();
    QVERIFY(httpGet(uiPort, "/metrics").startsWith("HTTP/1.1 200"));
    qInfo("scrape behind %d silent connections took %lld ms", int(vecIdle.size()), timer.elapsed());
    // Each silent connection is closed by the server after its read time-out.
    for (auto& pSocket : vecIdle)
        QTRY_COMPARE_WITH_TIMEOUT(pSocket->state(), QAbstractSocket::UnconnectedState, 60000);
}

void TestMetrics::portTaken()
{
    QTcpServer holder;
    QVERIFY(holder.listen(QHostAddress::LocalHost));
    CMetricsExporter exporter;
    QVERIFY(!exporter.apply(true, QStringLiteral("127.0.0.1"), holder.serverPort()));
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
