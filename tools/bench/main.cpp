// bench: the console's device machinery (transport on "UdpThread", registry, devices with their alarm
// timers, the overview page refreshing every 500 ms) against simulated rooms of 10 to 4000 PDUs, next to
// a bare receiver reading the same replies. Prints one table. Run it in the bed (scripts/bench does):
//     scripts/netbed --devices 4000 --spares 0 -- build/tools/bench/bench --sizes 10,100,500,1000,2000,4000
// Each size runs in a process of its own (so that memory and CPU start from nothing); the simulator is
// a further process in the device namespace and its CPU is not the console's.
#include "app/AppShell.h"
#include "tools/bench/BenchProbe.h"
#include "tools/bench/BenchRun.h"
#include "tools/bench/CapacityBench.h"
#include "tools/bench/EnergyFigures.h"
#include "tools/bench/HistoryFigures.h"
#include "tools/bench/ReportFigures.h"
#include "tools/bench/ThinningFigures.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const char* const kRowTag = "BENCHROW";

QString cpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    for (const QByteArray& line : file.readAll().split('\n'))
        if (line.startsWith("model name"))
            return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QString();
}

int runChild(const BenchOptions& options)
{
    QTemporaryDir dirWork; // the registry and the transport keep "port.prt" in the working folder
    QDir::setCurrent(dirWork.path());
    createSharedResources();
    QString strError;
    const QMap<QString, double> fig = runBench(options, &strError);
    if (fig.isEmpty()) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(strError));
        return 1;
    }
    QString strLine = QString::fromLatin1(kRowTag);
    for (auto it = fig.cbegin(); it != fig.cend(); ++it)
        strLine += QStringLiteral(" %1=%2").arg(it.key()).arg(it.value(), 0, 'g', 10);
    std::printf("%s\n", qPrintable(strLine));
    std::fflush(stdout);
    return 0;
}

QMap<QString, double> parseRow(const QByteArray& baOutput)
{
    QMap<QString, double> fig;
    for (const QByteArray& line : baOutput.split('\n')) {
        if (!line.startsWith(kRowTag))
            continue;
        for (const QByteArray& pair : line.mid(int(qstrlen(kRowTag))).simplified().split(' ')) {
            const int iEq = pair.indexOf('=');
            if (iEq > 0)
                fig[QString::fromLatin1(pair.left(iEq))] = pair.mid(iEq + 1).toDouble();
        }
    }
    return fig;
}

QString num(double d, int iDecimals)
{
    return QString::number(d, 'f', iDecimals);
}

void printTable(const QList<QStringList>& listRows)
{
    QVector<int> vecWidth(listRows.first().size(), 0);
    for (const QStringList& row : listRows)
        for (int i = 0; i < row.size(); ++i)
            vecWidth[i] = qMax(vecWidth.at(i), row.at(i).size());
    for (int r = 0; r < listRows.size(); ++r) {
        QString strLine = QStringLiteral("|");
        for (int i = 0; i < listRows.at(r).size(); ++i)
            strLine += QStringLiteral(" %1 |").arg(listRows.at(r).at(i), vecWidth.at(i));
        std::printf("%s\n", strLine.toUtf8().constData());
        if (r == 0) {
            QString strRule = QStringLiteral("|");
            for (int w : vecWidth)
                strRule += QString(w + 1, QLatin1Char('-')) + QStringLiteral(":|");
            std::printf("%s\n", qPrintable(strRule));
        }
    }
}

int runParent(const QList<int>& listSizes, const QStringList& listChildArgs)
{
    std::printf("bench: %s, %d cores (%s), load average %.2f, %s\n", qPrintable(cpuModel()),
                QThread::idealThreadCount(), qPrintable(QSysInfo::prettyProductName()), bench::loadAverage(),
                qPrintable(QDateTime::currentDateTime().toString(Qt::ISODate)));
    std::fflush(stdout);
    QList<QMap<QString, double>> listFig;
    bool bComplete = true;
    for (int iSize : listSizes) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    QStringList{QStringLiteral("--one"), QString::number(iSize)} + listChildArgs);
        child.waitForFinished(-1);
        const QMap<QString, double> fig = parseRow(child.readAllStandardOutput());
        if (child.exitCode() != 0 || fig.isEmpty()) {
            std::fprintf(stderr, "bench: the run with %d PDUs failed\n", iSize);
            return 1;
        }
        std::fprintf(stderr, "bench: %d PDUs done\n", iSize);
        listFig << fig;
        // Figures go on, but a room not wholly seen is a failure of the console, not a figure.
        if (fig.value(QStringLiteral("discovery_s")) < 0 ||
            fig.value(QStringLiteral("devices_named")) < iSize)
            bComplete = false;
    }

    QList<QStringList> listMain{{"PDUs", "replies sent", "decoded", "lost", "console CPU", "per reply",
                                 "baseline CPU", "per reply", "ratio", "stall max", "stall p99",
                                 "refresh median", "refresh max", "RSS", "per PDU", "discovery", "load"}};
    QList<QStringList> listDetail{{"PDUs", "UdpThread CPU", "GUI thread CPU", "simulator CPU", "kernel drops",
                                   "receive buffer", "baseline got/sent", "busy max", "busy p99",
                                   "refresh CPU max", "discovery stall", "named", "scrape median",
                                   "scrape max", "scrape size"}};
    for (const QMap<QString, double>& f : qAsConst(listFig)) {
        const auto v = [&f](const char* key) { return f.value(QString::fromLatin1(key)); };
        const double dRatio = v("base_us_per_reply") > 0 ? v("us_per_reply") / v("base_us_per_reply") : 0;
        listMain << QStringList{num(v("pdus"), 0),
                                num(v("sent"), 0),
                                num(v("decoded"), 0),
                                num(100 * v("lost_share"), 2) + QStringLiteral(" %"),
                                num(100 * v("cpu_share"), 1) + QStringLiteral(" %"),
                                num(v("us_per_reply"), 1) + QStringLiteral(" us"),
                                num(100 * v("base_cpu_share"), 1) + QStringLiteral(" %"),
                                num(v("base_us_per_reply"), 1) + QStringLiteral(" us"),
                                num(dRatio, 1),
                                num(v("stall_max_ms"), 1) + QStringLiteral(" ms"),
                                num(v("stall_p99_ms"), 1) + QStringLiteral(" ms"),
                                num(v("refresh_median_ms"), 2) + QStringLiteral(" ms"),
                                num(v("refresh_max_ms"), 2) + QStringLiteral(" ms"),
                                num(v("rss_mb"), 1) + QStringLiteral(" MB"),
                                num(v("rss_kb_per_pdu"), 1) + QStringLiteral(" KB"),
                                v("discovery_s") < 0 ? QStringLiteral("never")
                                                     : num(v("discovery_s"), 2) + QStringLiteral(" s"),
                                num(v("load"), 2)};
        listDetail << QStringList{
            num(v("pdus"), 0),
            num(100 * v("driver_share"), 1) + QStringLiteral(" %"),
            num(100 * v("gui_share"), 1) + QStringLiteral(" %"),
            num(100 * v("sim_share"), 1) + QStringLiteral(" %"),
            num(v("kernel_drops"), 0),
            num(v("rcvbuf_granted") / 1024 / 1024, 1) + QStringLiteral(" MiB"),
            num(v("base_received"), 0) + QLatin1Char('/') + num(v("base_sent"), 0),
            num(v("busy_max_ms"), 1) + QStringLiteral(" ms"),
            num(v("busy_p99_ms"), 1) + QStringLiteral(" ms"),
            num(v("refresh_cpu_max_ms"), 2) + QStringLiteral(" ms"),
            num(v("discovery_stall_ms"), 0) + QStringLiteral(" ms"),
            num(v("devices_named"), 0) + QLatin1Char('/') + num(v("devices"), 0),
            v("scrapes") > 0 ? num(v("scrape_median_ms"), 1) + QStringLiteral(" ms") : QStringLiteral("-"),
            v("scrapes") > 0 ? num(v("scrape_max_ms"), 1) + QStringLiteral(" ms") : QStringLiteral("-"),
            v("scrapes") > 0 ? num(v("scrape_kb"), 0) + QStringLiteral(" KB") : QStringLiteral("-")};
    }
    printTable(listMain);
    std::printf("\n");
    printTable(listDetail);
    if (listFig.first().contains(QStringLiteral("walk_rows"))) {
        QList<QStringList> listWalk{{"PDUs", "window", "walk rows", "walk time", "rows/s", "replies sent",
                                     "lost", "kernel drops", "stall max", "its work", "its wait for a core",
                                     "stall p99", "busy max"}};
        for (const QMap<QString, double>& f : qAsConst(listFig)) {
            for (const QString& strPrefix : {QString(), QStringLiteral("walk_")}) {
                const auto v = [&](const char* key) { return f.value(strPrefix + QLatin1String(key)); };
                const bool bWalk = !strPrefix.isEmpty();
                listWalk << QStringList{num(f.value(QStringLiteral("pdus")), 0),
                                        bWalk ? QStringLiteral("snmpbulkwalk") : QStringLiteral("no walk"),
                                        bWalk ? num(v("rows"), 0) : QStringLiteral("-"),
                                        bWalk ? num(v("s"), 1) + QStringLiteral(" s") : QStringLiteral("-"),
                                        bWalk && v("s") > 0 ? num(v("rows") / v("s"), 0)
                                                            : QStringLiteral("-"),
                                        num(v("window_sent"), 0),
                                        num(v("window_lost"), 0),
                                        num(v("window_kernel_drops"), 0),
                                        num(v("stall_max_ms"), 1) + QStringLiteral(" ms"),
                                        num(v("worst_busy_ms"), 1) + QStringLiteral(" ms"),
                                        num(v("worst_queued_ms"), 1) + QStringLiteral(" ms"),
                                        num(v("stall_p99_ms"), 1) + QStringLiteral(" ms"),
                                        num(v("busy_max_ms"), 1) + QStringLiteral(" ms")};
            }
        }
        std::printf("\n");
        printTable(listWalk);
        for (const QMap<QString, double>& f : qAsConst(listFig))
            std::printf(
                "%.0f PDUs: the room's snapshot for the agent takes %.1f ms of CPU (median; max %.1f ms) on "
                "the room's thread\n",
                f.value(QStringLiteral("pdus")), f.value(QStringLiteral("snapshot_median_ms")),
                f.value(QStringLiteral("snapshot_max_ms")));
    }
    if (!bComplete)
        std::printf("not every PDU reached the tree with its readings\n");
    return bComplete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The console against 10 to 4000 simulated PDUs: replies lost, CPU next to a bare receiver, GUI "
        "stalls, refresh ticks, memory and discovery time. Runs inside scripts/netbed."));
    parser.addHelpOption();
    const QCommandLineOption optSizes(QStringLiteral("sizes"),
                                      QStringLiteral("Room sizes (default 10,100,500,1000,2000,4000)."),
                                      QStringLiteral("N,N..."), QStringLiteral("10,100,500,1000,2000,4000"));
    const QCommandLineOption optSeconds(
        QStringLiteral("seconds"), QStringLiteral("Polls measured per size after discovery (default 30)."),
        QStringLiteral("S"), QStringLiteral("30"));
    const QCommandLineOption optBaseline(QStringLiteral("baseline-seconds"),
                                         QStringLiteral("Polls of the bare receiver per size (default 10)."),
                                         QStringLiteral("S"), QStringLiteral("10"));
    const QCommandLineOption optHidden(QStringLiteral("hidden"),
                                       QStringLiteral("Leave the overview page unshown (no painting)."));
    const QCommandLineOption optOne(QStringLiteral("one"),
                                    QStringLiteral("Measure one size in this process."), QStringLiteral("N"));
    const QCommandLineOption optHistory(QStringLiteral("history"),
                                        QStringLiteral("Record every poll into a history store meanwhile."));
    const QCommandLineOption optHistoryFigures(
        QStringLiteral("history-figures"),
        QStringLiteral("Only the history store's figures: bytes per PDU per day, 7-day chart open time."));
    const QCommandLineOption optThinning(
        QStringLiteral("thinning-figures"),
        QStringLiteral("Only thinning on files pre-filled to the default retention, for these room sizes."),
        QStringLiteral("N,N"));
    const QCommandLineOption optCapacity(
        QStringLiteral("capacity-figures"),
        QStringLiteral("Only the capacity window's open time over a month's file of PDUs,GROUPS (1000,30)."),
        QStringLiteral("N,G"));
    const QCommandLineOption optMetrics(
        QStringLiteral("metrics"),
        QStringLiteral(
            "Serve the metrics endpoint meanwhile and scrape it once a second (gzip, as Prometheus)."));
    const QCommandLineOption optEnergy(
        QStringLiteral("energy-figures"),
        QStringLiteral("Only what keeping energy costs the writer, and reading every device's energy of a "
                       "month-long file, for N PDUs (--seconds batches)."),
        QStringLiteral("N"));
    const QCommandLineOption optReport(
        QStringLiteral("report-figures"),
        QStringLiteral("Only the monthly report over a month's pre-filled store of N PDUs in G groups."),
        QStringLiteral("N,G"));
    const QCommandLineOption optKeepStore(
        QStringLiteral("keep-store"), QStringLiteral("With --report-figures: keep the filled store here."),
        QStringLiteral("PATH"));
    const QCommandLineOption optSnmpWalk(
        QStringLiteral("snmp-walk"),
        QStringLiteral("Publish the room through snmpd and measure a further window while snmpbulkwalk reads "
                       "every table."));
    parser.addOptions({optSizes, optSeconds, optBaseline, optHidden, optOne, optHistory, optMetrics,
                       optSnmpWalk, optHistoryFigures, optThinning, optEnergy, optReport, optKeepStore,
                       optCapacity});
    parser.process(app);
    if (parser.isSet(optEnergy))
        return runEnergyFigures(parser.value(optEnergy).toInt(), parser.value(optSeconds).toInt());
    if (parser.isSet(optReport)) {
        const QStringList listSize = parser.value(optReport).split(QLatin1Char(','));
        return runReportFigures(listSize.value(0).toInt(), qMax(1, listSize.value(1).toInt()),
                                parser.value(optKeepStore));
    }
    if (parser.isSet(optHistoryFigures))
        return runHistoryFigures();
    if (parser.isSet(optCapacity)) {
        const QStringList listSize = parser.value(optCapacity).split(QLatin1Char(','));
        return runCapacityBench(listSize.value(0).toInt(), qMax(1, listSize.value(1).toInt()));
    }
    if (parser.isSet(optThinning)) {
        QList<int> listSizes;
        for (const QString& strSize : parser.value(optThinning).split(QLatin1Char(',')))
            listSizes << strSize.toInt();
        return runThinningFigures(listSizes, parser.value(optSeconds).toInt());
    }

    if (!qEnvironmentVariableIsSet("RACKMIND_BED")) {
        std::fprintf(stderr, "bench: run it inside scripts/netbed (scripts/bench does)\n");
        return 2;
    }
    BenchOptions options;
    options.iSeconds = qMax(1, parser.value(optSeconds).toInt());
    options.iBaselineSeconds = qMax(1, parser.value(optBaseline).toInt());
    options.bHidden = parser.isSet(optHidden);
    options.bHistory = parser.isSet(optHistory);
    options.bMetrics = parser.isSet(optMetrics);
    options.bSnmpWalk = parser.isSet(optSnmpWalk);
    if (parser.isSet(optOne)) {
        options.iDevices = parser.value(optOne).toInt();
        return runChild(options);
    }

    const int iBedDevices = qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT");
    QList<int> listSizes;
    for (const QString& str : parser.value(optSizes).split(QLatin1Char(','))) {
        if (str.toInt() <= 0 || str.toInt() > iBedDevices) {
            std::fprintf(stderr, "bench: size %s needs a bed with that many devices (it has %d)\n",
                         qPrintable(str), iBedDevices);
            return 2;
        }
        listSizes << str.toInt();
    }
    QStringList listChildArgs{QStringLiteral("--seconds"), QString::number(options.iSeconds),
                              QStringLiteral("--baseline-seconds"),
                              QString::number(options.iBaselineSeconds)};
    if (options.bHidden)
        listChildArgs << QStringLiteral("--hidden");
    if (options.bHistory)
        listChildArgs << QStringLiteral("--history");
    if (options.bMetrics)
        listChildArgs << QStringLiteral("--metrics");
    if (options.bSnmpWalk)
        listChildArgs << QStringLiteral("--snmp-walk");
    return runParent(listSizes, listChildArgs);
}
