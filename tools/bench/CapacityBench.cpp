#include "tools/bench/CapacityBench.h"

#include "common/Clock.h"
#include "common/MacText.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "power/CapacityFigures.h"
#include "settings/GroupSettings.h"
#include "tools/bench/MonthFill.h"
#include "ui/power/PowerWindow.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {
constexpr qint64 kDay = 24 * 3600 * 1000LL;

// Opens the window as the menu does, returns the milliseconds until it was shown and until its
// figures were.
bool openWindow(CHistoryStore* pStore, double* pdShown, double* pdFilled)
{
    QElapsedTimer clock;
    clock.start();
    CPowerWindow window(pStore);
    window.show();
    QCoreApplication::processEvents();
    *pdShown = clock.nsecsElapsed() / 1e6;
    QEventLoop loop;
    QObject::connect(&window, &CPowerWindow::signalFiguresShown, &loop, &QEventLoop::quit);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    if (!window.figuresShown())
        loop.exec();
    *pdFilled = clock.nsecsElapsed() / 1e6;
    return window.figuresShown();
}
} // namespace

QList<CPdu*> addStoredDevices(const QString& strPath, uint uiFirstIp)
{
    QList<CPdu*> list;
    CHistoryReader reader(strPath);
    for (const CHistoryReader::Device& device : reader.devices()) {
        CPdu* pPdu = g_pRackmind->addPdu(uiFirstIp + uint(list.size()));
        const QStringList listBytes = device.strMac.split(QLatin1Char(':'));
        for (int b = 0; b < 6 && b < listBytes.size(); ++b)
            pPdu->stInfo.mac[b] = quint8(listBytes.at(b).toUInt(nullptr, 16));
        pPdu->strGroup = device.strGroup;
        pPdu->stInfo.voltage = 230;
        pPdu->iLastRcvMsecs = Clock::elapsedMs() + 3600 * 1000;
        list << pPdu;
    }
    return list;
}

int runCapacityBench(int iPdus, int iGroups)
{
    QTemporaryDir dir;
    const QString strPath = dir.filePath(QStringLiteral("month.sqlite"));
    const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
    // From the first of last month (or 30 days back, if that is earlier): every column has its data.
    const qint64 iFrom = qMin(iNow - 30 * kDay, CapacityFigures::spanStart(CapacityFigures::LastMonth, iNow));
    QElapsedTimer clockFill;
    clockFill.start();
    if (!fillMonth(strPath, iPdus, iGroups, iFrom, iNow)) {
        std::fprintf(stderr, "bench: the month could not be filled\n");
        return 1;
    }
    const double dFill = clockFill.elapsed() / 1000.0;

    CHistoryStore store(strPath);
    g_pRackmind = new CRackmind;
    QVector<CapacityFigures::Member> vecMembers;
    for (CPdu* pPdu : addStoredDevices(strPath, 0x0A000001)) {
        pPdu->stInfo.current = 2.0 + (vecMembers.size() % 7) * 0.75;
        setGroupBudget(pPdu->strGroup, {63, 0.8});
        vecMembers.append({macDisplay(pPdu->stInfo.mac), pPdu->strGroup});
    }
    if (vecMembers.size() != iPdus) {
        std::fprintf(stderr, "bench: the filled store names %d devices, not %d\n", int(vecMembers.size()),
                     iPdus);
        return 1;
    }

    double aShown[2] = {0, 0}, aFilled[2] = {0, 0};
    bool bOk = true;
    for (int r = 0; r < 2; ++r)
        bOk = openWindow(&store, &aShown[r], &aFilled[r]) && bOk;
    double aCompute[2] = {0, 0};
    const int aThreads[2] = {1, 0};
    for (int t = 0; t < 2; ++t) {
        QElapsedTimer clock;
        clock.start();
        CapacityFigures::compute(strPath, vecMembers, iNow, aThreads[t]);
        aCompute[t] = clock.nsecsElapsed() / 1e6;
    }
    std::printf(
        "| PDUs | groups | file | fill | first opening: shown / figures | second opening: shown / figures | "
        "figures alone: 1 thread / %d |\n|---:|---:|---:|---:|---:|---:|---:|\n",
        qBound(1, QThread::idealThreadCount(), 4));
    std::printf(
        "| %d | %d | %.2f GB | %.0f s | %.0f ms / %.0f ms | %.0f ms / %.0f ms | %.0f ms / %.0f ms |\n", iPdus,
        iGroups, QFileInfo(strPath).size() / 1e9, dFill, aShown[0], aFilled[0], aShown[1], aFilled[1],
        aCompute[0], aCompute[1]);
    std::fflush(stdout);
    delete g_pRackmind;
    g_pRackmind = nullptr;
    return bOk ? 0 : 1;
}
