// udpbench: polls a simulated room through CUdpDriver running in "UdpThread", tick by tick, and prints
// how many of the replies reached the GUI thread within the poll period and in all, what the kernel
// dropped, when the last reply came (median over the ticks) and the driver thread's CPU time per tick. Run it
// in the bed with enough device addresses (scripts/bench-udp does):
//     scripts/netbed --devices 2000 --spares 0 -- build/tools/udpbench/udpbench 250,1000,2000
#include "device/MetaTypes.h"
#include "device/UdpDriver.h"
#include "tools/pdusim/SimThread.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kTicks = 8;
constexpr int kTickMs = 1000;

double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// Datagrams the console namespace's kernel dropped for want of receive buffer.
long long rcvbufErrors()
{
    QFile file(QStringLiteral("/proc/net/snmp"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    QList<QByteArray> names;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Udp:"))
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (names.isEmpty()) {
            names = fields;
            continue;
        }
        const int i = names.indexOf("RcvbufErrors");
        return i > 0 && i < fields.size() ? fields.at(i).toLongLong() : -1;
    }
    return -1;
}

struct TickFigures
{
    int iInTime = 0;   // within the poll period
    int iReceived = 0; // in all, waiting up to three periods
    double dLastMs = 0;
    double dCpuMs = 0;
};

TickFigures pollOnce(CUdpDriver* pDriver, int& iCounter, int iExpected)
{
    TickFigures figures;
    iCounter = 0;
    double dCpuBefore = 0;
    QMetaObject::invokeMethod(
        pDriver, [&] { dCpuBefore = threadCpuMs(); }, Qt::BlockingQueuedConnection);
    QElapsedTimer clock;
    clock.start();
    QMetaObject::invokeMethod(pDriver, &CUdpDriver::slotBroadcastTimeout, Qt::QueuedConnection);
    qint64 iLastAt = 0;
    int iSeen = 0;
    while (clock.elapsed() < 3 * kTickMs && iSeen < iExpected) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (iCounter != iSeen) {
            iSeen = iCounter;
            iLastAt = clock.nsecsElapsed();
            if (clock.elapsed() <= kTickMs)
                figures.iInTime = iSeen;
        }
    }
    QMetaObject::invokeMethod(
        pDriver, [&] { figures.dCpuMs = threadCpuMs() - dCpuBefore; }, Qt::BlockingQueuedConnection);
    figures.iReceived = iSeen;
    figures.dLastMs = double(iLastAt) / 1e6;
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (!qEnvironmentVariableIsSet("RACKMIND_BED")) {
        std::fprintf(stderr, "udpbench: run it inside scripts/netbed\n");
        return 2;
    }
    registerDeviceMetaTypes();
    QTemporaryDir dirWork;
    QDir::setCurrent(dirWork.path());

    const int iBedDevices = qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT");
    QList<int> listSizes;
    const QStringList args = app.arguments().mid(1);
    for (const QString& str :
         (args.isEmpty() ? QStringLiteral("250,500,1000,2000") : args.first()).split(QLatin1Char(',')))
        if (str.toInt() > 0 && str.toInt() <= iBedDevices)
            listSizes << str.toInt();

    std::printf("%8s %8s %16s %14s %14s %14s %16s\n", "devices", "replies", "in period (min)", "missing",
                "kernel drops", "last reply ms", "driver CPU ms");
    for (int iDevices : listSizes) {
        CSimThread sim;
        CSimConfig config;
        config.iDevices = iDevices;
        config.bNoise = false;
        QString strError;
        if (!sim.startFleet(config, &strError)) {
            std::fprintf(stderr, "udpbench: %s\n", qPrintable(strError));
            return 1;
        }

        QThread thread;
        thread.setObjectName(QStringLiteral("UdpThread"));
        auto* pDriver = new CUdpDriver;
        pDriver->moveToThread(&thread);
        int iCounter = 0;
        QObject::connect(pDriver, &CUdpDriver::signalRcvData, &app, [&iCounter] { ++iCounter; });
        thread.start();
        bool bResult = false;
        QMetaObject::invokeMethod(
            pDriver, [&] { pDriver->slotStartBroadcast(bResult, 51230, 24 * 3600 * 1000); },
            Qt::BlockingQueuedConnection);
        if (!bResult) {
            std::fprintf(stderr, "udpbench: cannot bind the console's port\n");
            return 1;
        }

        const int iExpected = iDevices * 6;
        int iMin = iExpected;
        int iMissing = 0;
        QList<double> listLast;
        double dCpu = 0;
        pollOnce(pDriver, iCounter, iExpected); // warm-up: the fleet and the sockets settle
        const long long iDropsBefore = rcvbufErrors();
        for (int t = 0; t < kTicks; ++t) {
            const TickFigures f = pollOnce(pDriver, iCounter, iExpected);
            iMin = std::min(iMin, f.iInTime);
            iMissing += iExpected - f.iReceived;
            listLast << f.dLastMs;
            dCpu += f.dCpuMs;
        }
        std::sort(listLast.begin(), listLast.end());
        std::printf("%8d %8d %16d %14d %14lld %14.1f %16.2f\n", iDevices, iExpected, iMin, iMissing,
                    rcvbufErrors() - iDropsBefore, listLast.at(listLast.size() / 2), dCpu / kTicks);
        std::fflush(stdout);

        QMetaObject::invokeMethod(pDriver, &CUdpDriver::slotStopBroadcast, Qt::BlockingQueuedConnection);
        thread.quit();
        thread.wait();
        delete pDriver;
        sim.stopFleet();
    }
    return 0;
}
