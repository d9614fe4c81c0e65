#include "tools/bench/BenchRun.h"

#include "app/LoginDialog.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "history/HistoryStore.h"
#include "metrics/MetricsExporter.h"
#include "room/Room.h"
#include "settings/Settings.h"
#include "tools/bench/BenchProbe.h"
#include "tools/bench/SnmpWalk.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

#include <pthread.h>

using namespace bench;

namespace {

constexpr int kPollMs = 1000;
constexpr int kProbeMs = 10;

// After discovery (every row filled, the first alarm ticks done) and before reading the counters
// (a whole burst read and routed): a second, more for large rooms.
int quietMs(int iDevices)
{
    return qBound(1000, 1000 + iDevices / 2, 2000);
}

void waitMs(int iMs)
{
    QEventLoop loop;
    QTimer::singleShot(iMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// What the bench needs of the console beyond its room: the poll timer paused and resumed, the
// transport thread's CPU clock, the receive buffer the kernel granted, and the polls counted.
class CConsoleControl
{
public:
    explicit CConsoleControl(CUdpDriver* pDriver) : m_pDriver(pDriver)
    {
        m_connPolls = QObject::connect(
            m_pDriver->pTimer, &QTimer::timeout, m_pDriver, [this] { ++m_iPolls; }, Qt::DirectConnection);
    }
    ~CConsoleControl() { QObject::disconnect(m_connPolls); }

    // Pauses or resumes polling, so that a measured window holds whole bursts only.
    void setPolling(bool bOn)
    {
        onDriverThread([this, bOn] { bOn ? m_pDriver->pTimer->start(kPollMs) : m_pDriver->pTimer->stop(); });
        m_bPolling = bOn;
    }
    bool polling() const { return m_bPolling; }
    clockid_t driverClock()
    {
        pthread_t thread{};
        onDriverThread([&] { thread = pthread_self(); });
        clockid_t clock{};
        return pthread_getcpuclockid(thread, &clock) == 0 ? clock : CLOCK_THREAD_CPUTIME_ID;
    }
    int grantedReceiveBuffer()
    {
        int iBytes = 0;
        onDriverThread([&] {
            if (!m_pDriver->listUdpSocket.isEmpty())
                iBytes = m_pDriver->listUdpSocket.first()
                             ->socketOption(QAbstractSocket::ReceiveBufferSizeSocketOption)
                             .toInt();
        });
        return iBytes;
    }
    int polls() const { return m_iPolls.load(); }

private:
    bool m_bPolling = true;
    template <typename F> void onDriverThread(F fn)
    {
        QMetaObject::invokeMethod(m_pDriver, fn, Qt::BlockingQueuedConnection);
    }

    CUdpDriver* m_pDriver;
    QMetaObject::Connection m_connPolls;
    std::atomic<int> m_iPolls{0};
};

int deviceRowCount(const QTreeWidget* pTree)
{
    int iRows = 0;
    for (int i = 0; i < pTree->topLevelItemCount(); ++i)
        iRows += pTree->topLevelItem(i)->childCount();
    return iRows;
}

// Gaps between neighbours, in ms (ns counts) or as they stand (ms values).
QVector<double> tickGaps(const QVector<qint64>& vecTicks)
{
    QVector<double> vecGaps;
    for (int i = 1; i < vecTicks.size(); ++i)
        vecGaps << double(vecTicks.at(i) - vecTicks.at(i - 1)) / 1e6;
    return vecGaps;
}

QVector<double> tickGaps(const QVector<double>& vecTicks)
{
    QVector<double> vecGaps;
    for (int i = 1; i < vecTicks.size(); ++i)
        vecGaps << vecTicks.at(i) - vecTicks.at(i - 1);
    return vecGaps;
}

} // namespace

QMap<QString, double> runBench(const BenchOptions& options, QString* pError)
{
    QMap<QString, double> fig;
    const int iDevices = options.iDevices;
    fig[QStringLiteral("pdus")] = iDevices;

    CSimProcess sim;
    if (!sim.start(iDevices, pError))
        return {};

    // The bare receiver first, against the same fleet, before the console takes the port.
    const QHostAddress addrConsole(
        qEnvironmentVariable("RACKMIND_BED_CONSOLE_ADDRS").section(QLatin1Char(' '), 0, 0));
    BaselineFigures base;
    const qint64 iBaseSent0 = sim.replies();
    if (!runBaseline(addrConsole, options.iBaselineSeconds, &base, pError))
        return {};
    const qint64 iBaseSent = sim.replies() - iBaseSent0;
    fig[QStringLiteral("base_sent")] = double(iBaseSent);
    fig[QStringLiteral("base_received")] = double(base.iReceived);
    fig[QStringLiteral("base_cpu_share")] = base.dCpuSeconds / options.iBaselineSeconds;
    fig[QStringLiteral("base_us_per_reply")] =
        base.iReceived ? base.dCpuSeconds * 1e6 / double(base.iReceived) : 0;

    // A mail server that refuses at once, should a reading ever cross a limit: nothing leaves the bed.
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = 1;

    // The console's own room, as its login builds it, with its files in a folder of the bench's.
    CDeviceOverviewWidget overview;
    QTemporaryDir dirRoom;
    std::unique_ptr<CHistoryStore> pHistory;
    if (options.bHistory)
        pHistory = std::make_unique<CHistoryStore>(dirRoom.filePath(QStringLiteral("history.sqlite")));
    RoomOptions roomOptions = RoomOptions::programDefaults();
    roomOptions.uiUpdateRate = kPollMs;
    roomOptions.pHistoryStore = pHistory.get();
    roomOptions.strCycleJournal = dirRoom.filePath(QStringLiteral("cycles.json"));
    roomOptions.strProtectionList = dirRoom.filePath(QStringLiteral("protected-outlets"));
    CRoom room(roomOptions);
    room.build();
    CLoginDialog::feedOverview(&room, &overview);
    CConsoleControl console(room.driver());
    CMetricsExporter exporter;
    exporter.setHistoryStore(pHistory.get());
    CScraper scraper;
    if (options.bMetrics) {
        constexpr quint16 kMetricsPort = 19100; // the bed's own namespace: nothing else listens there
        exporter.setSources(room.registry(), room.driver());
        if (!exporter.apply(true, QStringLiteral("127.0.0.1"), kMetricsPort)) {
            *pError = QStringLiteral("metrics: %1").arg(exporter.errorString());
            return {};
        }
        scraper.start(kMetricsPort);
    }
    CSnmpWalkRig snmp;
    if (options.bSnmpWalk && !snmp.start(&room, pError))
        return {};
    overview.resize(1280, 800);
    if (!options.bHidden)
        overview.show();

    // Each refresh tick is timed by running the page's own slot from the page's own timer.
    QTimer* pRefreshTimer = nullptr;
    for (QTimer* pTimer : overview.findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly))
        if (pTimer->interval() == 500)
            pRefreshTimer = pTimer;
    if (!pRefreshTimer) {
        *pError = QStringLiteral("the overview's refresh timer was not found");
        return {};
    }
    bool bCollect = false;
    QVector<double> vecRefreshMs, vecRefreshCpuMs;
    QObject::disconnect(pRefreshTimer, &QTimer::timeout, &overview, nullptr);
    QObject::connect(pRefreshTimer, &QTimer::timeout, &overview, [&] {
        QElapsedTimer clock;
        clock.start();
        const double dCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        QMetaObject::invokeMethod(&overview, "slotUpdateList", Qt::DirectConnection);
        if (bCollect) {
            vecRefreshMs << double(clock.nsecsElapsed()) / 1e6;
            vecRefreshCpuMs << (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dCpu) * 1e3;
        }
    });

    // The probe: a 10 ms timer on the GUI thread; the gaps between its ticks are the stalls. The
    // thread's CPU time at each tick tells a stall the console caused from one where the machine's
    // other work kept it waiting for a core.
    QElapsedTimer clockRun;
    clockRun.start();
    QVector<qint64> vecProbe;
    QVector<double> vecProbeCpu;
    QVector<double> vecProbeQueued;
    vecProbe.reserve(options.iSeconds * 1000 / kProbeMs + 1000);
    vecProbeCpu.reserve(vecProbe.capacity());
    double dDiscoveryStallMs = 0;
    qint64 iLastTick = 0;
    qint64 iPollStart = -1, iDiscovered = -1;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 iNow = clockRun.nsecsElapsed();
        if (bCollect) {
            vecProbe << iNow;
            vecProbeCpu << cpuSeconds(CLOCK_THREAD_CPUTIME_ID) * 1e3;
            vecProbeQueued << runQueueMs();
        }
        if (iPollStart >= 0 && iDiscovered < 0) {
            dDiscoveryStallMs = qMax(dDiscoveryStallMs, double(iNow - iLastTick) / 1e6);
            if (deviceRowCount(overview.treeWidget()) >= iDevices)
                iDiscovered = iNow;
        }
        iLastTick = iNow;
    });
    probe.start(kProbeMs);
    waitMs(200);

    const qint64 iRssEmpty = residentBytes();
    qint64 iDecoded = 0;
    QObject::connect(room.registry(), &CRackmind::signalDeviceAnswered, [&iDecoded] { ++iDecoded; });
    iPollStart = clockRun.nsecsElapsed();
    if (!room.start()) {
        *pError = QStringLiteral("the console cannot bind its port");
        return {};
    }
    fig[QStringLiteral("rcvbuf_granted")] = console.grantedReceiveBuffer();
    const int iDiscoveryLimitMs = 30000;
    while (iDiscovered < 0 && clockRun.nsecsElapsed() - iPollStart < qint64(iDiscoveryLimitMs) * 1000000)
        waitMs(50);
    fig[QStringLiteral("discovery_s")] = iDiscovered < 0 ? -1 : double(iDiscovered - iPollStart) / 1e9;
    fig[QStringLiteral("discovery_stall_ms")] = dDiscoveryStallMs;
    fig[QStringLiteral("rows")] = deviceRowCount(overview.treeWidget());
    waitMs(quietMs(iDevices));
    if (options.bSnmpWalk) {
        // While polling runs, as the agent's timer builds it.
        const QVector<double> vecSnapshotMs = snmp.snapshotMs(10);
        fig[QStringLiteral("snapshot_median_ms")] = percentile(vecSnapshotMs, 0.5);
        fig[QStringLiteral("snapshot_max_ms")] = percentile(vecSnapshotMs, 1.0);
    }

    // Two windows of whole bursts each. Polling pauses until the queues are empty, the counters are
    // read, polling resumes; after iSeconds polls it pauses again and the last burst gets its time. CPU
    // is counted per poll, so the quiet ends of a window do not dilute it. The first window counts the
    // cost with the probe stopped (its hundred wake-ups a second are the bench's, not the console's);
    // the second runs the probe for the stalls.
    probe.stop();
    // A pause stays well under the devices' online window, so that none goes offline meanwhile: the
    // second window follows the first's last burst at once.
    // fnBusy, when given, holds the window open for as long as it says (iSeconds otherwise).
    const auto runWindow = [&](const std::function<void()>& fnQuiet,
                               const std::function<bool()>& fnBusy = {}) {
        if (console.polling()) {
            console.setPolling(false);
            waitMs(quietMs(iDevices));
        }
        fnQuiet();
        const int iPolls0 = console.polls();
        bCollect = true;
        console.setPolling(true);
        if (fnBusy)
            while (fnBusy())
                waitMs(100);
        else
            waitMs(options.iSeconds * kPollMs + kPollMs / 2);
        console.setPolling(false);
        waitMs(kPollMs / 2);
        bCollect = false;
        return console.polls() - iPolls0;
    };
    qint64 iSent0 = 0, iDecoded0 = 0, iDrops0 = 0;
    double dCpu0 = 0, dGui0 = 0, dDriver0 = 0, dSim0 = 0, dScraper0 = 0;
    const clockid_t clockDriver = console.driverClock();
    const int iPolls = runWindow([&] {
        iSent0 = sim.replies();
        iDecoded0 = iDecoded;
        iDrops0 = receiveBufferErrors();
        dCpu0 = processCpuSeconds();
        dGui0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        dDriver0 = cpuSeconds(clockDriver);
        dSim0 = sim.cpuSeconds();
        dScraper0 = scraper.cpuSeconds();
        scraper.takeLatencies();
    });
    const double dPollSeconds = double(iPolls) * kPollMs / 1000.0;
    const double dScraper = scraper.cpuSeconds() - dScraper0;
    const double dCpu = processCpuSeconds() - dCpu0 - dScraper;
    const QVector<double> vecScrapes = scraper.takeLatencies();
    fig[QStringLiteral("scrapes")] = vecScrapes.size();
    fig[QStringLiteral("scrape_median_ms")] = percentile(vecScrapes, 0.5);
    fig[QStringLiteral("scrape_max_ms")] = percentile(vecScrapes, 1.0);
    fig[QStringLiteral("scrape_kb")] = double(scraper.lastBytes()) / 1024.0;
    const double dGui = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - dGui0;
    const double dDriver = cpuSeconds(clockDriver) - dDriver0;
    const double dSim = sim.cpuSeconds() - dSim0;
    fig[QStringLiteral("load")] = loadAverage();
    fig[QStringLiteral("rss_mb")] = double(residentBytes()) / (1024.0 * 1024.0);
    fig[QStringLiteral("rss_kb_per_pdu")] = double(residentBytes() - iRssEmpty) / 1024.0 / iDevices;
    fig[QStringLiteral("polls")] = iPolls;

    waitMs(quietMs(iDevices));
    const qint64 iSent = sim.replies() - iSent0;
    const qint64 iGot = iDecoded - iDecoded0;
    fig[QStringLiteral("sent")] = double(iSent);
    fig[QStringLiteral("decoded")] = double(iGot);
    fig[QStringLiteral("lost_share")] = iSent > 0 ? double(iSent - iGot) / double(iSent) : 0;
    fig[QStringLiteral("kernel_drops")] = double(receiveBufferErrors() - iDrops0);
    fig[QStringLiteral("cpu_share")] = dCpu / dPollSeconds;
    fig[QStringLiteral("us_per_reply")] = iGot ? dCpu * 1e6 / double(iGot) : 0;
    fig[QStringLiteral("gui_share")] = dGui / dPollSeconds;
    fig[QStringLiteral("driver_share")] = dDriver / dPollSeconds;
    fig[QStringLiteral("sim_share")] = dSim / dPollSeconds;
    fig[QStringLiteral("refresh_cpu_max_ms")] = percentile(vecRefreshCpuMs, 1.0);
    fig[QStringLiteral("refresh_median_ms")] = percentile(vecRefreshMs, 0.5);
    fig[QStringLiteral("refresh_max_ms")] = percentile(vecRefreshMs, 1.0);
    fig[QStringLiteral("refresh_ticks")] = vecRefreshMs.size();

    // Replies lost and stalls of a window with the probe running, under the names given.
    const auto measureWindow = [&](const QString& strPrefix, const std::function<void()>& fnStart,
                                   const std::function<bool()>& fnBusy) {
        vecProbe.clear();
        vecProbeCpu.clear();
        vecProbeQueued.clear();
        probe.start(kProbeMs);
        runWindow(
            [&] {
                iSent0 = sim.replies();
                iDecoded0 = iDecoded;
                iDrops0 = receiveBufferErrors();
                if (fnStart)
                    fnStart();
            },
            fnBusy);
        probe.stop();
        waitMs(quietMs(iDevices));
        fig[strPrefix + QStringLiteral("window_sent")] = double(sim.replies() - iSent0);
        fig[strPrefix + QStringLiteral("window_lost")] =
            double(sim.replies() - iSent0 - (iDecoded - iDecoded0));
        fig[strPrefix + QStringLiteral("window_kernel_drops")] = double(receiveBufferErrors() - iDrops0);
        const QVector<double> vecGaps = tickGaps(vecProbe);
        const QVector<double> vecBusy = tickGaps(vecProbeCpu);
        fig[strPrefix + QStringLiteral("busy_max_ms")] = percentile(vecBusy, 1.0);
        fig[strPrefix + QStringLiteral("busy_p99_ms")] = percentile(vecBusy, 0.99);
        fig[strPrefix + QStringLiteral("stall_max_ms")] = percentile(vecGaps, 1.0);
        fig[strPrefix + QStringLiteral("stall_p99_ms")] = percentile(vecGaps, 0.99);
        // The worst stall taken apart: the thread's own work, and its wait for a core.
        const QVector<double> vecQueued = tickGaps(vecProbeQueued);
        const int iWorst = int(std::max_element(vecGaps.cbegin(), vecGaps.cend()) - vecGaps.cbegin());
        fig[strPrefix + QStringLiteral("worst_busy_ms")] = vecBusy.value(iWorst);
        fig[strPrefix + QStringLiteral("worst_queued_ms")] = vecQueued.value(iWorst);
    };
    measureWindow(QString(), {}, {});
    if (options.bSnmpWalk) {
        QElapsedTimer clockWalk;
        double dWalkSeconds = 0;
        measureWindow(
            QStringLiteral("walk_"),
            [&] {
                clockWalk.start();
                snmp.startWalk();
            },
            [&] {
                dWalkSeconds = double(clockWalk.nsecsElapsed()) / 1e9;
                if (snmp.walking())
                    return true;
                // Polling pauses next: the PDUs would all go offline in the agent's tables.
                snmp.stopPublishing();
                return false;
            });
        fig[QStringLiteral("walk_s")] = dWalkSeconds;
        fig[QStringLiteral("walk_rows")] = double(snmp.walkedRows());
    }

    // Every reply decoded into the record: each device reports the simulator's own name.
    int iNamed = 0;
    for (const CPdu* pPdu : qAsConst(room.registry()->listPdu))
        if (qstrncmp(pPdu->stInfo.name, "PDU-", 4) == 0)
            ++iNamed;
    fig[QStringLiteral("devices_named")] = iNamed;
    fig[QStringLiteral("devices")] = room.registry()->listPdu.size();
    scraper.stop();
    overview.hide();
    sim.stop();
    return fig;
}
