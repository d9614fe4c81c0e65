// metricsbench [SIZES]: for rooms of 1000 and 2000 PDUs (or the given comma-separated sizes), the cost
// of rendering the metrics snapshot on the console's thread, the time and size of a scrape over
// 127.0.0.1, and beside them the devices' own once-a-second alarm tick, which runs with or without
// metrics; then the snapshot again with an outlet set of two outlets for every two PDUs; then the JSON
// API's PDU list, with the machine's load beside it. Opens listening sockets on 127.0.0.1 and no other.
#include "common/Clock.h"
#include "common/DeviceText.h"
#include "common/MacText.h"
#include "device/OutletSets.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "metrics/MetricsExporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <future>
#include <vector>

namespace {

constexpr int kRounds = 21;

double median(std::vector<double> vec)
{
    std::sort(vec.begin(), vec.end());
    return vec[vec.size() / 2];
}

template <typename Fn> std::vector<double> timeRounds(Fn fn)
{
    std::vector<double> vecMs;
    for (int i = 0; i < kRounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        fn();
        vecMs.push_back(timer.nsecsElapsed() / 1e6);
    }
    return vecMs;
}

qint64 scrape(quint16 uiPort, bool bGzip, const QByteArray& baPath = "/metrics",
              const QByteArray& baHeaders = {})
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), uiPort);
    socket.waitForConnected(5000);
    socket.write("GET " + baPath + " HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n" + baHeaders +
                 (bGzip ? "Accept-Encoding: gzip\r\n\r\n" : "\r\n"));
    qint64 iBytes = 0;
    while (socket.waitForReadyRead(5000))
        iBytes += socket.readAll().size();
    return iBytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QList<int> listSizes{1000, 2000};
    if (argc > 1) {
        listSizes.clear();
        for (const QString& str : QString::fromLocal8Bit(argv[1]).split(QLatin1Char(',')))
            listSizes << str.toInt();
    }
    // The registry reads "port.prt" from the working directory: keep it away from the caller's.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());

    std::printf("| PDUs | alarm tick, all devices | snapshot median | snapshot max | snapshot share of 1 s | "
                "scrape median | scrape max | scrape size | per PDU | gzip scrape median | gzip size |\n");
    std::printf("|-----:|------------------------:|----------------:|-------------:|----------------------:|"
                "--------------:|-----------:|------------:|--------:|-------------------:|----------:|\n");
    QStringList listSetsRows;
    QStringList listApiRows;
    for (int iSize : qAsConst(listSizes)) {
        CRackmind registry;
        for (int i = 0; i < iSize; ++i) {
            CPdu* pPdu = registry.addPdu(0x0AC80101u + uint(i));
            storeDeviceText(QStringLiteral("Rack %1 PDU").arg(i), pPdu->stInfo.name, 16);
            storeDeviceText(QStringLiteral("Row %1").arg(i / 40), pPdu->stInfo.position, 16);
            pPdu->stInfo.current = 1.1 + i % 7 * 0.37;
            pPdu->stInfo.outletStatus = quint8(i * 37);
            const quint8 auiMac[6] = {0x00, 0x04, 0xA3, quint8(i >> 16), quint8(i >> 8), quint8(i)};
            std::copy(std::begin(auiMac), std::end(auiMac), pPdu->stInfo.mac);
            pPdu->dtLastRcv = Clock::now();
            pPdu->iLastRcvMsecs = Clock::elapsedMs();
            // As in a room that has run a while: every PDU has reported its limits.
            pPdu->markReported(kCmdThresholds);
            pPdu->bMacKnown = true;
        }
        const std::vector<double> vecTick = timeRounds([&] {
            for (CPdu* pPdu : qAsConst(registry.listPdu))
                pPdu->slotEmailTimer();
        });

        CMetricsExporter exporter;
        exporter.setSources(&registry, nullptr);
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        const quint16 uiPort = probe.serverPort();
        probe.close();
        if (!exporter.apply(true, QStringLiteral("127.0.0.1"), uiPort)) {
            std::fprintf(stderr, "cannot listen: %s\n", qPrintable(exporter.errorString()));
            return 1;
        }
        const std::vector<double> vecSnapshot = timeRounds([&] { exporter.refresh(); });
        qint64 iBytes = 0;
        const std::vector<double> vecScrape = timeRounds([&] { iBytes = scrape(uiPort, false); });
        qint64 iGzipBytes = 0;
        const std::vector<double> vecGzip = timeRounds([&] { iGzipBytes = scrape(uiPort, true); });
        std::printf("| %4d | %20.2f ms | %12.2f ms | %9.2f ms | %19.1f %% | %10.2f ms | %7.2f ms | %8.2f MB "
                    "| %4.2f KB | %15.2f ms | %6.2f MB |\n",
                    iSize, median(vecTick), median(vecSnapshot),
                    *std::max_element(vecSnapshot.begin(), vecSnapshot.end()), median(vecSnapshot) / 10.0,
                    median(vecScrape), *std::max_element(vecScrape.begin(), vecScrape.end()), iBytes / 1e6,
                    iBytes / 1e3 / iSize, median(vecGzip), iGzipBytes / 1e6);
        std::fflush(stdout);

        // Every two PDUs feed one machine: its set names an outlet of each.
        OutletSetsData sets;
        for (int i = 0; i + 1 < iSize; i += 2) {
            OutletSet& set = sets.mapSets[QStringLiteral("machine-%1").arg(i / 2)];
            set.strName = QStringLiteral("machine-%1").arg(i / 2);
            for (int j : {i, i + 1})
                set.listOutlets.append({macDigits(registry.listPdu[j]->stInfo.mac), 1 + j % 8});
        }
        QFile file(workDir.filePath(QStringLiteral("outlet-sets")));
        if (!file.open(QIODevice::WriteOnly) || file.write(COutletSets::toJson(sets)) < 0)
            return 1;
        file.close();
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(file.fileName()));
        CMetricsExporter exporterSets;
        qunsetenv("RACKMIND_OUTLET_SETS");
        exporterSets.setSources(&registry, nullptr);
        // For two seconds after a change the file is read with every page (its times may not show a
        // second change yet); after that only looked at.
        const std::vector<double> vecChanged = timeRounds([&] { exporterSets.refresh(); });
        QThread::sleep(3);
        const std::vector<double> vecSets = timeRounds([&] { exporterSets.refresh(); });
        listSetsRows.push_back(QStringLiteral("| %1 | %2 | %3 ms | %4 ms | %5 ms |")
                                   .arg(iSize)
                                   .arg(sets.mapSets.size())
                                   .arg(median(vecSnapshot), 0, 'f', 2)
                                   .arg(median(vecSets), 0, 'f', 2)
                                   .arg(median(vecChanged), 0, 'f', 2));

        // The API as an operator's script reads it: with a password (checked once, then remembered).
        const QString strWebConfig = workDir.filePath(QStringLiteral("web.yml"));
        QFile fileWeb(strWebConfig);
        if (!fileWeb.open(QIODevice::WriteOnly) ||
            fileWeb.write(
                "basic_auth_users:\n  bench: $2b$05$kTJ0DuELmwJ4kJGq1V0ukOxpxoEOHRwPJOQ1Kij9Fpsepuc0mRXZS\n"
                "api_enabled: true\n") < 0)
            return 1;
        fileWeb.close();
        CMetricsExporter exporterApi;
        exporterApi.setSources(&registry, nullptr);
        probe.listen(QHostAddress::LocalHost);
        const quint16 uiApiPort = probe.serverPort();
        probe.close();
        if (!exporterApi.apply(true, QStringLiteral("127.0.0.1"), uiApiPort, strWebConfig)) {
            std::fprintf(stderr, "cannot listen: %s\n", qPrintable(exporterApi.errorString()));
            return 1;
        }
        // The client on a thread of its own, while this one refreshes once a second as the service does
        // (the API's part only while someone asks).
        const QByteArray baAuth = "Authorization: Basic " + QByteArray("bench:pw").toBase64() + "\r\n";
        qint64 iApiBytes = 0;
        std::vector<double> vecApi, vecOne;
        auto client = std::async(std::launch::async, [&] {
            scrape(uiApiPort, false, "/api/v1/pdus", baAuth);
            vecApi = timeRounds([&] { iApiBytes = scrape(uiApiPort, false, "/api/v1/pdus", baAuth); });
            vecOne = timeRounds([&] { scrape(uiApiPort, false, "/api/v1/pdus/0004A3000001", baAuth); });
        });
        while (client.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const std::vector<double> vecApiSnapshot = timeRounds([&] { exporterApi.refresh(); });
        QFile fileLoad(QStringLiteral("/proc/loadavg"));
        fileLoad.open(QIODevice::ReadOnly);
        listApiRows.push_back(QStringLiteral("| %1 | %2 ms | %3 ms | %4 ms | %5 MB | %6 ms | %7 |")
                                  .arg(iSize)
                                  .arg(median(vecApiSnapshot), 0, 'f', 2)
                                  .arg(median(vecApi), 0, 'f', 2)
                                  .arg(*std::max_element(vecApi.begin(), vecApi.end()), 0, 'f', 2)
                                  .arg(iApiBytes / 1e6, 0, 'f', 2)
                                  .arg(median(vecOne), 0, 'f', 2)
                                  .arg(QString::fromLatin1(fileLoad.readAll().trimmed())));
    }
    std::printf("\n| PDUs | outlet sets of 2 | snapshot median without | with | with, file just changed |\n"
                "|-----:|---:|---:|---:|---:|\n");
    for (const QString& strRow : listSetsRows)
        std::printf("%s\n", qPrintable(strRow));
    std::printf(
        "\n| PDUs | snapshot median with the API | API PDU list median | max | size | one PDU median | "
        "load (1, 5, 15 min) |\n|-----:|---:|---:|---:|---:|---:|---|\n");
    for (const QString& strRow : listApiRows)
        std::printf("%s\n", qPrintable(strRow));
    return 0;
}
