// setbench [ROUNDS]: inside the test bed (20 simulated PDUs or more), what the PDUs receive when
// rackmind-ctl switches outlet sets and runs sequences:
//  (a) a set of two outlets on two PDUs cycled ROUNDS times (default 5): the gap between the two "off"
//      frames and between the two "on" frames;
//  (b) a sequence of 40 steps over 20 PDUs: each step's wait as the simulator saw it, from the first
//      status query after the step's frame (whose reply showed the new state) to the next step's frame,
//      against the wait asked for.
// Outlets switch at once (no device delay), so a step shows its state at the next status query.
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimFrame.h"
#include "tools/pdusim/SimThread.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kPdus = 20;
constexpr int kSteps = 40;

struct Switch
{
    qint64 iMsecs;
    bool bOn;
    quint8 mask;
};

// The switch frames and status queries device i received since iSince.
void framesOf(CSimThread& sim, int i, qint64 iSince, std::vector<Switch>* pSwitches,
              std::vector<qint64>* pQueries)
{
    for (const SimFrameRecord& rec : sim.call([i](CSimFleet& f) { return f.device(i)->received(); })) {
        if (rec.msecsSinceEpoch < iSince)
            continue;
        const SimFrame::Incoming in = SimFrame::parse(rec.baFrame);
        if (in.type == SimFrame::TypeSet && in.cmd == SimFrame::CmdSwitch && in.baPayload.size() >= 2)
            pSwitches->push_back({rec.msecsSinceEpoch, in.baPayload[0] == 1, quint8(in.baPayload[1])});
        else if (pQueries && in.type == SimFrame::TypeQuery && in.cmd == SimFrame::CmdStatus)
            pQueries->push_back(rec.msecsSinceEpoch);
    }
}

QString macOf(CSimThread& sim, int i)
{
    return QString::fromLatin1(sim.call([i](CSimFleet& f) { return f.device(i)->st.mac; }).toHex().toUpper());
}

bool runCtl(const QStringList& listArgs, const QProcessEnvironment& env)
{
    QProcess ctl;
    ctl.setProcessEnvironment(env);
    ctl.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ctl.start(QStringLiteral(RACKMIND_CTL), listArgs);
    if (!ctl.waitForFinished(600000) || ctl.exitStatus() != QProcess::NormalExit || ctl.exitCode() != 0) {
        std::fprintf(stderr, "rackmind-ctl %s: exit %d\n", qPrintable(listArgs.join(QLatin1Char(' '))),
                     ctl.exitCode());
        return false;
    }
    return true;
}

double median(std::vector<double> vec)
{
    std::sort(vec.begin(), vec.end());
    return vec.empty() ? 0 : vec[vec.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int iRounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    CSimThread sim;
    CSimConfig config;
    config.bNoise = false;
    config.dDelayUnit = 0;
    config.iRecordLimit = 4096;
    QString strError;
    if (!sim.startFleet(config, &strError) ||
        sim.call([](CSimFleet& f) { return f.deviceCount(); }) < kPdus) {
        std::fprintf(stderr, "setbench: needs the bed with %d devices: %s\n", kPdus, qPrintable(strError));
        return 1;
    }
    sim.call([](CSimFleet& f) {
        for (int i = 1; i <= f.deviceCount(); ++i)
            f.device(i)->st.outletStatus = 0xFF;
    });

    // Sets, sequences and protection of the bench's own; nothing of the machine's or the user's.
    QTemporaryDir dir;
    QByteArray baSteps;
    std::vector<int> vecWait;
    for (int k = 0; k < kSteps; ++k) {
        vecWait.push_back(k % 4);
        baSteps += QStringLiteral(R"(%1{"outlet": "%2/1", "on": %3, "wait": %4})")
                       .arg(k ? QStringLiteral(", ") : QString(), macOf(sim, k % kPdus + 1),
                            k < kPdus ? QStringLiteral("false") : QStringLiteral("true"))
                       .arg(vecWait.back())
                       .toLatin1();
    }
    QFile sets(dir.filePath(QStringLiteral("outlet-sets")));
    if (!sets.open(QIODevice::WriteOnly) ||
        sets.write(QStringLiteral(R"({"sets": [{"name": "dual", "outlets": ["%1/1", "%2/1"]}], )"
                                  R"("sequences": [{"name": "forty", "steps": [)")
                       .arg(macOf(sim, 1), macOf(sim, 2))
                       .toLatin1() +
                   baSteps + "]}]}\n") < 0)
        return 1;
    sets.close();
    QFile(dir.filePath(QStringLiteral("protected-outlets"))).open(QIODevice::WriteOnly);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("RACKMIND_OUTLET_SETS"), sets.fileName());
    env.insert(QStringLiteral("RACKMIND_PROTECTION_LIST"), dir.filePath(QStringLiteral("protected-outlets")));
    env.insert(QStringLiteral("RACKMIND_HISTORY"), dir.filePath(QStringLiteral("history.sqlite")));
    env.insert(QStringLiteral("HOME"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data")));

    std::printf("(a) set of 2 outlets on 2 PDUs, rackmind-ctl set dual cycle --delay 1, %d rounds\n\n",
                iRounds);
    std::printf("| round | between the \"off\" frames | between the \"on\" frames |\n|---:|---:|---:|\n");
    std::vector<double> vecOff, vecOn;
    for (int iRound = 1; iRound <= iRounds; ++iRound) {
        const qint64 iSince = QDateTime::currentMSecsSinceEpoch();
        if (!runCtl({QStringLiteral("set"), QStringLiteral("dual"), QStringLiteral("cycle"),
                     QStringLiteral("--delay"), QStringLiteral("1")},
                    env))
            return 1;
        qint64 aiFirst[2][2] = {{-1, -1}, {-1, -1}}; // device, off/on
        for (int i = 1; i <= 2; ++i) {
            std::vector<Switch> vec;
            framesOf(sim, i, iSince, &vec, nullptr);
            for (const Switch& sw : vec)
                if ((sw.mask & 1) && aiFirst[i - 1][sw.bOn] < 0)
                    aiFirst[i - 1][sw.bOn] = sw.iMsecs;
        }
        if (std::min({aiFirst[0][0], aiFirst[0][1], aiFirst[1][0], aiFirst[1][1]}) < 0) {
            std::fprintf(stderr, "setbench: a frame of round %d never reached the simulator\n", iRound);
            return 1;
        }
        vecOff.push_back(double(qAbs(aiFirst[0][0] - aiFirst[1][0])));
        vecOn.push_back(double(qAbs(aiFirst[0][1] - aiFirst[1][1])));
        std::printf("| %d | %.0f ms | %.0f ms |\n", iRound, vecOff.back(), vecOn.back());
    }
    std::printf("\nmax: %.0f ms between \"off\" frames, %.0f ms between \"on\" frames (goal: 1000 ms)\n\n",
                *std::max_element(vecOff.begin(), vecOff.end()),
                *std::max_element(vecOn.begin(), vecOn.end()));
    std::fflush(stdout);

    std::printf("(b) sequence of %d steps over %d PDUs (waits 0-3 s), rackmind-ctl sequence run forty\n\n",
                kSteps, kPdus);
    const qint64 iSince = QDateTime::currentMSecsSinceEpoch();
    if (!runCtl({QStringLiteral("sequence"), QStringLiteral("run"), QStringLiteral("forty")}, env))
        return 1;
    // Step k switched device k % 20 + 1; its state showed at the first status query after its frame.
    std::vector<qint64> vecFrame(kSteps, -1), vecShown(kSteps, -1);
    for (int i = 1; i <= kPdus; ++i) {
        std::vector<Switch> vecSwitch;
        std::vector<qint64> vecQuery;
        framesOf(sim, i, iSince, &vecSwitch, &vecQuery);
        for (int k = i - 1; k < kSteps; k += kPdus) {
            const bool bOn = k >= kPdus;
            const auto it = std::find_if(vecSwitch.begin(), vecSwitch.end(),
                                         [&](const Switch& sw) { return sw.bOn == bOn && (sw.mask & 1); });
            if (it == vecSwitch.end())
                continue;
            vecFrame[size_t(k)] = it->iMsecs;
            const auto itQuery = std::upper_bound(vecQuery.begin(), vecQuery.end(), it->iMsecs);
            vecShown[size_t(k)] = itQuery == vecQuery.end() ? -1 : *itQuery;
        }
    }
    std::vector<double> vecError;
    std::printf("| step | asked | measured | error | frame to state shown |\n|---:|---:|---:|---:|---:|\n");
    for (int k = 0; k + 1 < kSteps; ++k) {
        if (vecFrame[size_t(k)] < 0 || vecShown[size_t(k)] < 0 || vecFrame[size_t(k + 1)] < 0) {
            std::fprintf(stderr, "setbench: step %d or %d never reached the simulator\n", k + 1, k + 2);
            return 1;
        }
        const double dMeasured = (vecFrame[size_t(k + 1)] - vecShown[size_t(k)]) / 1000.0;
        vecError.push_back(qAbs(dMeasured - vecWait[size_t(k)]));
        std::printf("| %d | %d s | %.3f s | %+.3f s | %lld ms |\n", k + 1, vecWait[size_t(k)], dMeasured,
                    dMeasured - vecWait[size_t(k)], vecShown[size_t(k)] - vecFrame[size_t(k)]);
    }
    std::printf("\nwait error over %zu steps: median %.3f s, max %.3f s (goal: within 1 s)\n",
                vecError.size(), median(vecError), *std::max_element(vecError.begin(), vecError.end()));
    return 0;
}
