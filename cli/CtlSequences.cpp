#include "cli/CtlLink.h"
#include "cli/CtlService.h"
#include "cli/CtlSets.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "common/Clock.h"
#include "common/UnixSignals.h"
#include "device/LockedFile.h"
#include "device/SequenceRun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <limits>
#include <unistd.h>

namespace {

// Where this user's runs of sequences are kept while they run, one record a sequence, so that one
// that ended in the middle (killed, the machine down) is reported by the next list or run.
QString journalPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/sequences.json");
}

QJsonObject readJournal()
{
    QByteArray baText;
    return LockedFile::read(journalPath(), &baText, nullptr) ? QJsonDocument::fromJson(baText).object()
                                                             : QJsonObject();
}

bool isRunningState(const QString& strState)
{
    return strState == QLatin1String("switching") || strState == QLatin1String("waiting");
}

// Which process a pid is: the boot and the process's start, so that a pid the kernel gave again (after
// a reboot, or once pids wrapped) is not taken for the run that had it. Empty when it cannot be read.
QString processStamp(qint64 iPid)
{
    QFile fileBoot(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    QFile fileStat(QStringLiteral("/proc/%1/stat").arg(iPid));
    if (!fileBoot.open(QIODevice::ReadOnly) || !fileStat.open(QIODevice::ReadOnly))
        return QString();
    // The command name may hold spaces and parentheses: the fields after its last ')' start at the third.
    const QByteArray baStat = fileStat.readAll();
    const QList<QByteArray> listFields = baStat.mid(baStat.lastIndexOf(')') + 2).split(' ');
    if (listFields.size() < 20)
        return QString();
    return QString::fromLatin1(fileBoot.readAll().trimmed() + '/' + listFields.at(19));
}

// The process of a run that is still going, or 0.
qint64 runningPid(const QJsonObject& rec)
{
    const qint64 iPid = rec.value(QStringLiteral("pid")).toInt();
    const QString strStamp = rec.value(QStringLiteral("process")).toString();
    const bool bAlive = iPid > 0 && (::kill(pid_t(iPid), 0) == 0 || errno == EPERM) &&
                        (strStamp.isEmpty() || processStamp(iPid) == strStamp);
    return bAlive && isRunningState(rec.value(QStringLiteral("state")).toString()) ? iPid : 0;
}

// The record of a run that did not end by itself, for a person; empty when the last run ended.
QString stoppedText(const QJsonObject& rec)
{
    if (!isRunningState(rec.value(QStringLiteral("state")).toString()))
        return QString();
    const qint64 iPid = runningPid(rec);
    const bool bAlive = iPid != 0;
    const QString strWhere = RackmindCtl::tr("step %1 of %2 (%3)")
                                 .arg(rec.value(QStringLiteral("step")).toInt())
                                 .arg(rec.value(QStringLiteral("steps")).toInt())
                                 .arg(rec.value(QStringLiteral("what")).toString());
    if (bAlive)
        return RackmindCtl::tr("running at %1 (pid %2)").arg(strWhere).arg(iPid);
    return RackmindCtl::tr("stopped at %1 on %2: the run ended before it finished and was not continued")
        .arg(strWhere, rec.value(QStringLiteral("updated")).toString());
}

class CRunJournal
{
public:
    CRunJournal(const QString& strName, int iSteps) : m_strName(strName), m_iSteps(iSteps) {}
    // False when it cannot be written: a run nobody could trace after a kill is not started.
    bool write(int iStep, const QString& strWhat, const QString& strState, const QString& strWhy = QString())
    {
        const QString strNow = Clock::now().toString(Qt::ISODate);
        if (m_strStarted.isEmpty())
            m_strStarted = strNow;
        const QJsonObject rec{{QStringLiteral("step"), iStep + 1},
                              {QStringLiteral("steps"), m_iSteps},
                              {QStringLiteral("what"), strWhat},
                              {QStringLiteral("state"), strState},
                              {QStringLiteral("why"), strWhy},
                              {QStringLiteral("started"), m_strStarted},
                              {QStringLiteral("updated"), strNow},
                              {QStringLiteral("pid"), qint64(::getpid())},
                              {QStringLiteral("process"), processStamp(::getpid())}};
        QDir().mkpath(QFileInfo(journalPath()).absolutePath());
        // Under the file's lock: runs of other sequences at the same time keep their records.
        return LockedFile::change(
            journalPath(),
            [&](QByteArray& baText, QString* pWhy) {
                QJsonObject all = QJsonDocument::fromJson(baText).object();
                // Claimed under the lock: two runs of one sequence at once would switch against each other.
                const qint64 iOther = runningPid(all.value(m_strName).toObject());
                if (m_bFirst && iOther != 0 && iOther != ::getpid()) {
                    *pWhy =
                        RackmindCtl::tr("sequence %1 is already running (pid %2)").arg(m_strName).arg(iOther);
                    m_bTaken = true;
                    return false;
                }
                m_bFirst = false;
                all.insert(m_strName, rec);
                baText = QJsonDocument(all).toJson();
                return true;
            },
            &m_strWhy);
    }

    // Why the last write failed; taken: another run of the sequence holds it.
    const QString& why() const { return m_strWhy; }
    bool isTaken() const { return m_bTaken; }

private:
    QString m_strName;
    int m_iSteps;
    bool m_bFirst = true;
    bool m_bTaken = false;
    QString m_strWhy;
    QString m_strStarted;
};

// The key of a set's cycle among the records: a name holds no space, so it meets no sequence's.
QString setKey(const QString& strSet)
{
    return QStringLiteral("set ") + strSet;
}

int usage(CtlContext& ctx, const QString& strWhy)
{
    *ctx.pErr << "rackmind-ctl: " << strWhy << '\n'
              << RackmindCtl::tr("Try rackmind-ctl sequence --help.") << '\n';
    return kExitUsage;
}

QString onOff(bool bOn)
{
    return bOn ? QStringLiteral("on") : QStringLiteral("off");
}

// STEP as typed: TARGET,on|off[,WAIT] with TARGET a set's name or MAC/N.
bool parseStep(const QString& strText, SequenceStep* pStep)
{
    const QStringList list = strText.split(QLatin1Char(','));
    bool bWait = list.size() == 2;
    pStep->iWaitSecs = list.size() == 3 ? list.at(2).toInt(&bWait) : 0;
    if (!bWait || (list.value(1) != QLatin1String("on") && list.value(1) != QLatin1String("off")))
        return false;
    pStep->bOn = list.at(1) == QLatin1String("on");
    if (OutletRef::parse(list.at(0), &pStep->outlet))
        return true;
    pStep->strSet = list.at(0);
    return COutletSets::isValidName(pStep->strSet);
}

QJsonObject sequenceJson(const OutletSequence& seq, const QJsonObject& rec)
{
    QJsonArray array;
    for (const SequenceStep& step : seq.listSteps) {
        QJsonObject obj{{QStringLiteral("on"), step.bOn}, {QStringLiteral("wait"), step.iWaitSecs}};
        obj.insert(step.strSet.isEmpty() ? QStringLiteral("outlet") : QStringLiteral("set"),
                   step.strSet.isEmpty() ? step.outlet.text() : step.strSet);
        array.append(obj);
    }
    QJsonObject obj{{QStringLiteral("name"), seq.strName}, {QStringLiteral("steps"), array}};
    if (!rec.isEmpty())
        obj.insert(QStringLiteral("last run"), rec);
    return obj;
}

// The step's set, or its outlet as an operator writes it.
QString stepTarget(const CSequenceRun& run, int i)
{
    const SequenceStep& step = run.step(i);
    return step.strSet.isEmpty() ? refText(step.outlet) : step.strSet;
}

QString stepLine(const CSequenceRun& run, int i)
{
    const SequenceStep& step = run.step(i);
    QStringList listOutlets;
    for (const OutletRef& ref : run.outletsOf(i))
        listOutlets << refText(ref);
    return QStringLiteral("%1\t%2 %3\t%4\t%5")
        .arg(i + 1)
        .arg(stepTarget(run, i), onOff(step.bOn))
        .arg(RackmindCtl::tr("then %1 s").arg(step.iWaitSecs), listOutlets.join(QLatin1Char(' ')));
}

// Runs the steps in order. SIGINT, SIGTERM and SIGHUP stop it and bring back what it switched off, and
// nothing else.
int runSequence(CtlContext& ctx, const COutletSets& sets, const OutletSequence& seq, const CtlSetOptions& opt)
{
    CSequenceRun run(seq, sets);
    QList<OutletRef> listAll, listOff;
    for (int i = 0; i < run.stepCount(); ++i)
        for (const OutletRef& ref : run.outletsOf(i)) {
            listAll << ref;
            if (!run.step(i).bOn)
                listOff << ref;
        }
    QMap<QString, const CtlPdu*> mapPdus;
    if (opt.pService) {
        QMap<QString, QJsonObject> mapService;
        const int iExit = checkServiceOutlets(*opt.pService, listAll, listOff, opt.bForce && !opt.bDryRun,
                                              *ctx.pErr, &mapService);
        if (iExit != kExitOk)
            return iExit;
        if (!opt.bDryRun)
            return runServiceSequence(*opt.pService, seq, opt.bForce, *ctx.pErr);
    } else {
        int iExit = findOutlets(ctx, listAll, &mapPdus);
        if (iExit == kExitOk && !listOff.isEmpty())
            iExit =
                guardProtected(ctx, switchesOf(listOff, mapPdus),
                               QStringLiteral("sequence %1").arg(seq.strName), opt.bForce && !opt.bDryRun);
        if (iExit != kExitOk)
            return iExit;
    }
    if (opt.bDryRun) {
        for (int i = 0; i < run.stepCount(); ++i)
            *ctx.pOut << stepLine(run, i) << '\n';
        return kExitOk;
    }
    CUnixSignals unixSignals;
    bool bInterrupted = false;
    QObject::connect(&unixSignals, &CUnixSignals::signalReceived, [&](int) { bInterrupted = true; });
    CRunJournal journal(seq.strName, run.stepCount());
    const auto what = [&](int i) {
        return QStringLiteral("%1 %2").arg(stepTarget(run, i), onOff(run.step(i).bOn));
    };
    int iStep = run.start(Clock::elapsedMs());
    if (!journal.write(0, what(0), QStringLiteral("switching"))) {
        *ctx.pErr << "rackmind-ctl: "
                  << (journal.isTaken()
                          ? RackmindCtl::tr("%1; nothing was switched").arg(journal.why())
                          : RackmindCtl::tr("cannot write %1; nothing was switched").arg(journal.why()))
                  << '\n';
        return kExitFailure;
    }
    while (!run.isOver() && !bInterrupted) {
        if (iStep >= 0) {
            journal.write(iStep, what(iStep), QStringLiteral("switching"));
            progress(ctx, RackmindCtl::tr("step %1 of %2: %3, waiting for the PDUs to show it")
                              .arg(iStep + 1)
                              .arg(run.stepCount())
                              .arg(what(iStep)));
            // An outlet off before an "off" step was not switched off by this run: not brought back.
            QList<OutletRef> listAlreadyOff;
            for (const OutletRef& ref : run.outletsOf(iStep))
                if (!(mapPdus.value(ref.strMac)->info.outletStatus & (1u << (ref.iOutlet - 1))))
                    listAlreadyOff << ref;
            if (!run.step(iStep).bOn)
                run.noteAlreadyOff(iStep, listAlreadyOff);
            QStringList listNotShown;
            if (switchAndConfirm(
                    ctx, switchesOf(run.outletsOf(iStep), mapPdus), run.step(iStep).bOn, -1,
                    [&]() { return bInterrupted; }, &listNotShown)) {
                iStep = run.stepShown(Clock::elapsedMs());
                if (run.phase() == CSequenceRun::Waiting)
                    journal.write(run.currentStep(), what(run.currentStep()), QStringLiteral("waiting"));
            } else if (!bInterrupted) {
                run.stepFailed(RackmindCtl::tr("%1 did not show it in time")
                                   .arg(listNotShown.join(QStringLiteral(", "))));
            }
            continue;
        }
        ctx.pLink->waitUntil(
            [&]() {
                iStep = run.tick(Clock::elapsedMs());
                return iStep >= 0 || bInterrupted || run.isOver();
            },
            std::numeric_limits<int>::max(), 250,
            [&]() {
                const int iNext = run.currentStep() + 1;
                progress(ctx, RackmindCtl::tr("step %1 of %2 shown; next %3 in %4 s")
                                  .arg(run.currentStep() + 1)
                                  .arg(run.stepCount())
                                  .arg(iNext < run.stepCount() ? what(iNext) : QString())
                                  .arg(run.secondsLeft(Clock::elapsedMs())));
            });
    }
    progress(ctx, QString());
    const int iAt = qBound(0, run.currentStep(), run.stepCount() - 1);
    if (bInterrupted) {
        run.cancel();
        journal.write(iAt, what(iAt), QStringLiteral("cancelled"));
        const QList<OutletRef> listBack = run.switchedOff();
        *ctx.pErr
            << "rackmind-ctl: "
            << RackmindCtl::tr(
                   "interrupted at step %1 of %2: switching back on what the sequence switched off (%3)")
                   .arg(iAt + 1)
                   .arg(run.stepCount())
                   .arg(listBack.size())
            << '\n';
        if (!listBack.isEmpty() && !switchAndConfirm(ctx, switchesOf(listBack, mapPdus), true, -1))
            *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("not every outlet showed on again") << '\n';
        return kExitFailure;
    }
    if (run.phase() == CSequenceRun::Failed) {
        journal.write(iAt, what(iAt), QStringLiteral("failed"), run.failure());
        *ctx.pErr << "rackmind-ctl: "
                  << RackmindCtl::tr("sequence %1 stopped at step %2 of %3 (%4): %5")
                         .arg(seq.strName)
                         .arg(iAt + 1)
                         .arg(run.stepCount())
                         .arg(what(iAt), run.failure())
                  << '\n';
        return kExitNoConfirm;
    }
    journal.write(iAt, what(iAt), QStringLiteral("completed"));
    return kExitOk;
}

} // namespace

int runSequenceCommand(CtlContext& ctx, const QStringList& listWords, const CtlSetOptions& opt,
                       const std::function<int()>& fnOpenLink)
{
    const QString strFirst = listWords.value(0);
    const int iWords = listWords.size();
    if (opt.pService && (strFirst == QLatin1String("add") || strFirst == QLatin1String("remove")))
        return refuseServiceChange(ctx, QStringLiteral("sequence ") + strFirst);
    if (strFirst == QLatin1String("add") && iWords >= 3) {
        OutletSequence seq{listWords.at(1), {}};
        if (!COutletSets::isValidName(seq.strName))
            return usage(
                ctx, RackmindCtl::tr("\"%1\" is no name for a sequence: up to 48 letters, digits and -_.@, "
                                     "not a word of the command")
                         .arg(seq.strName));
        for (const QString& str : listWords.mid(2)) {
            seq.listSteps.append(SequenceStep());
            if (!parseStep(str, &seq.listSteps.last()))
                return usage(
                    ctx, RackmindCtl::tr("\"%1\" is no step: give SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]")
                             .arg(str));
        }
        // Written whole: a sequence added again is replaced.
        return changeSets(ctx, [&](OutletSetsData& data, QString*) {
            data.mapSequences.insert(seq.strName, seq);
            return true;
        });
    }
    if (strFirst == QLatin1String("remove") && iWords == 2)
        return changeSets(ctx, [&](OutletSetsData& data, QString* pWhy) {
            if (data.mapSequences.remove(listWords.at(1)) > 0)
                return true;
            *pWhy = RackmindCtl::tr("there is no sequence %1").arg(listWords.at(1));
            return false;
        });
    const bool bList = strFirst == QLatin1String("list") && iWords == 1;
    const bool bShow = strFirst == QLatin1String("show") && iWords == 2;
    const bool bRun = strFirst == QLatin1String("run") && iWords == 2;
    if (!bList && !bShow && !bRun)
        return usage(
            ctx,
            RackmindCtl::tr("sequence takes: list | show NAME | add NAME STEP... | remove NAME | run NAME"));
    COutletSets sets;
    QJsonObject view;
    int iExit = loadSets(ctx, opt, &sets, &view);
    if (iExit != kExitOk)
        return iExit;
    // The runs recorded here are this machine's; the service's run is in its own view.
    const QJsonObject journal = opt.pService ? QJsonObject() : readJournal();
    if (bList) {
        QJsonArray array;
        for (const OutletSequence& seq : sets.data().mapSequences) {
            const QJsonObject rec = journal.value(seq.strName).toObject();
            if (opt.bJson)
                array.append(sequenceJson(seq, rec));
            else
                *ctx.pOut << seq.strName << '\t' << RackmindCtl::tr("%1 step(s)").arg(seq.listSteps.size())
                          << '\t' << (opt.pService ? serviceRunText(view, seq.strName) : stoppedText(rec))
                          << '\n';
        }
        if (opt.bJson)
            *ctx.pOut << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return kExitOk;
    }
    const QString strName = listWords.at(1);
    if (!sets.data().mapSequences.contains(strName)) {
        *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("there is no sequence %1").arg(strName) << '\n';
        return kExitNotFound;
    }
    const OutletSequence seq = sets.data().mapSequences.value(strName);
    const QJsonObject rec = journal.value(strName).toObject();
    if (bShow) {
        if (opt.bJson) {
            *ctx.pOut << QJsonDocument(sequenceJson(seq, rec)).toJson(QJsonDocument::Indented);
            return kExitOk;
        }
        const CSequenceRun run(seq, sets);
        for (int i = 0; i < run.stepCount(); ++i)
            *ctx.pOut << stepLine(run, i) << '\n';
        return kExitOk;
    }
    if (const qint64 iPid = runningPid(rec); iPid != 0 && !opt.bDryRun) {
        *ctx.pErr
            << "rackmind-ctl: "
            << RackmindCtl::tr("%1; nothing was switched")
                   .arg(RackmindCtl::tr("sequence %1 is already running (pid %2)").arg(strName).arg(iPid))
            << '\n';
        return kExitFailure;
    }
    const QString strStopped = stoppedText(rec);
    if (!strStopped.isEmpty())
        *ctx.pErr << "rackmind-ctl: " << RackmindCtl::tr("sequence %1 last run: %2").arg(strName, strStopped)
                  << '\n';
    iExit = opt.pService ? int(kExitOk) : fnOpenLink();
    return iExit != kExitOk ? iExit : runSequence(ctx, sets, seq, opt);
}

bool beginSetRecord(const QString& strSet, const QString& strWhat, QString* pWhy)
{
    CRunJournal journal(setKey(strSet), 1);
    if (journal.write(0, strWhat, QStringLiteral("switching")))
        return true;
    *pWhy = journal.isTaken() ? RackmindCtl::tr("%1; nothing was switched").arg(journal.why())
                              : RackmindCtl::tr("cannot write %1; nothing was switched").arg(journal.why());
    return false;
}

void endSetRecord(const QString& strSet, const QString& strWhat, bool bCompleted)
{
    CRunJournal(setKey(strSet), 1)
        .write(0, strWhat, bCompleted ? QStringLiteral("completed") : QStringLiteral("failed"));
}

QString setLastRun(const QString& strSet)
{
    return stoppedText(readJournal().value(setKey(strSet)).toObject());
}
