#pragma once

#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "tests/common/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <functional>

// The console as its executable runs it (the same start-up, signals and exit), for tests that run it
// as a child process and end it as an operator or the system would. fnStart, given the arguments after
// the first, is tried every 100 ms once logged in until it returns true; then "started" goes to stdout.
inline int runConsoleProcess(int argc, char* argv[], const std::function<bool(const QStringList&)>& fnStart)
{
    QApplication app(argc, argv);
    quitOnUnixSignals();
    createSharedResources();
    if (!prepareLanguage())
        return 3;
    registerDeviceMetaTypes();
    createLongLivedWindows();
    if (!runLogin())
        return 3;
    const QStringList listArgs = QCoreApplication::arguments().mid(2);
    QTimer timerStart;
    QObject::connect(&timerStart, &QTimer::timeout, [&] {
        if (!fnStart(listArgs))
            return;
        timerStart.stop();
        std::printf("started\n");
        std::fflush(stdout);
    });
    if (!listArgs.isEmpty())
        timerStart.start(100);
    const int iExit = runMainWindow();
    runExitSequence();
    return iExit;
}

// The test's side: consoles started as children of the test with arguments for fnStart, killed at the
// end of each case.
struct ConsoleChildren
{
    QList<QProcess*> list;
    QProcess* start(const QStringList& listArgs)
    {
        auto* pProcess = new QProcess;
        pProcess->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        pProcess->start(QCoreApplication::applicationFilePath(),
                        QStringList{QStringLiteral("--console")} + listArgs);
        list << pProcess;
        return pProcess;
    }
    void killAll()
    {
        for (QProcess* pProcess : qAsConst(list)) {
            pProcess->kill();
            pProcess->waitForFinished(5000);
        }
        qDeleteAll(list);
        list.clear();
    }
    // Nothing of an earlier run (no journal, no event log), a console that logs in by itself, and the
    // protection list in the test's home.
    static bool prepareHome()
    {
        const QString strConfig = qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Orvane");
        qputenv("RACKMIND_PROTECTION_LIST", qgetenv("XDG_CONFIG_HOME") + "/protected-outlets");
        return QDir(qEnvironmentVariable("XDG_DATA_HOME")).removeRecursively() && QDir().mkpath(strConfig) &&
               writeFile(strConfig + QStringLiteral("/Rackmind.conf"),
                         "Language=1\n[Login]\nAutoLogin=true\nRememberPassword=true\n");
    }
};
