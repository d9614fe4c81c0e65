#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "metrics/MetricsServer.h"
#include "metrics/RoomPage.h"

#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

// The landing page as a browser shows it: headless Chromium (inside the test bed, so that it reaches
// nothing but this endpoint) loads a room whose PDUs are named with markup and script.
class TestRoomPage : public QObject
{
    Q_OBJECT

private slots:
    void hostileNamesStayText();
};

namespace {
QByteArray chromium(const QTemporaryDir& dir, const QStringList& listArgs)
{
    QProcess process;
    process.start(QStringLiteral("chromium"),
                  QStringList{"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                              "--disable-background-networking", "--disable-component-update",
                              "--disable-sync",
                              "--user-data-dir=" + dir.filePath(QStringLiteral("profile"))} +
                      listArgs);
    if (!process.waitForFinished(120000))
        process.kill();
    return process.readAllStandardOutput();
}
} // namespace

void TestRoomPage::hostileNamesStayText()
{
    // A device holds 16 bytes of name: enough for an unclosed script tag, which unescaped would swallow
    // the rest of the page.
    const QStringList listNames = {QStringLiteral("<script>alert(1)"), QStringLiteral("<b>x</b>"),
                                   QStringLiteral("<img src=x>"), QStringLiteral("\"><svg onload=x>"),
                                   QStringLiteral("Rack & Co")};
    std::vector<std::unique_ptr<CPdu>> vecPdu;
    QList<CPdu*> listPdu;
    for (int i = 0; i < listNames.size(); ++i) {
        vecPdu.push_back(std::make_unique<CPdu>());
        CPdu* pPdu = vecPdu.back().get();
        pPdu->uiSourceIP = 0x0A000001 + quint32(i);
        pPdu->dtLastRcv = i % 2 ? QDateTime() : Clock::now();
        if (i % 2 == 0)
            pPdu->iLastRcvMsecs = Clock::elapsedMs();
        pPdu->markReported(kCmdThresholds);
        pPdu->stInfo.humidity = 95;
        pPdu->stInfo.outletStatus = 0x0F;
        storeDeviceText(listNames.at(i), pPdu->stInfo.name, int(sizeof pPdu->stInfo.name));
        storeDeviceText(QStringLiteral("<i>row</i>"), pPdu->stInfo.position,
                        int(sizeof pPdu->stInfo.position));
        pPdu->strGroup = QStringLiteral("</div><script>alert(3)</script>");
        listPdu << pPdu;
    }
    CMetricsServer server;
    QTcpServer probe;
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const quint16 uiPort = probe.serverPort();
    probe.close();
    QVERIFY(server.start(QStringLiteral("127.0.0.1"), uiPort, nullptr));
    server.publish(QByteArray(), {}, renderRoomPage(listPdu));
    const QString strUrl = QStringLiteral("http://127.0.0.1:%1/").arg(uiPort);

    QTemporaryDir dir;
    const QByteArray baDom = chromium(dir, {"--dump-dom", strUrl});
    QVERIFY2(baDom.contains("<title>Rackmind</title>"), baDom.left(400).constData());
    // The only elements are the page's own; every name reads as the text it is.
    for (const char* pszTag : {"<script", "<b>", "<img", "<svg", "<i>"})
        QVERIFY2(!baDom.contains(pszTag), pszTag);
    for (const char* pszText :
         {"&lt;script&gt;alert(1)", "&lt;b&gt;x&lt;/b&gt;", "&lt;img src=x&gt;", "\"&gt;&lt;svg onload=x&gt;",
          "Rack &amp; Co", "&lt;/div&gt;&lt;script&gt;alert(3)"})
        QVERIFY2(baDom.contains(pszText), pszText);
    // Four of eight outlets on at each online PDU, and the humidity alarm of each.
    QCOMPARE(baDom.count("class=\"o on\""), 3 * 4);
    QCOMPARE(baDom.count("Humidity"), 3);

    // As a phone shows it.
    const QString strShot = qEnvironmentVariableIsSet("RACKMIND_SHOT")
                                ? qEnvironmentVariable("RACKMIND_SHOT")
                                : dir.filePath(QStringLiteral("room.png"));
    chromium(dir, {"--screenshot=" + strShot, "--window-size=412,860", "--hide-scrollbars", strUrl});
    QVERIFY(QImage(strShot).width() == 412);
}

QTEST_GUILESS_MAIN(TestRoomPage)
#include "tst_roompage.moc"
