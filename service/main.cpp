#include "common/UnixSignals.h"
#include "device/MetaTypes.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "history/BudgetHistory.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "room/RoomAlarms.h"
#include "service/ServiceRunner.h"
#include "settings/Catalogues.h"
#include "settings/Settings.h"
#include "settings/SingleInstance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHostAddress>

#include <csignal>
#include <cstdio>

// The headless service: a core application only, so it needs no display and makes no widget.
int main(int argc, char* argv[])
{
    // A reload or stop sent while the service is still starting waits until it can be handled, instead
    // of ending the process with the default action (which a service manager takes for a clean exit).
    // Every thread started from here on inherits the mask; CUnixSignals lifts it once it handles them.
    sigset_t setHandled;
    sigemptyset(&setHandled);
    for (int iSignal : {SIGHUP, SIGTERM, SIGINT})
        sigaddset(&setHandled, iSignal);
    pthread_sigmask(SIG_BLOCK, &setHandled, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rackmindd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Polls the PDUs on the local networks, mails their alarms and serves Prometheus metrics, "
        "without a window. Settings come from the configuration file given with --config, else from the "
        "console's settings store of the user it runs as; SIGHUP reloads them."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption optMetrics(QStringLiteral("metrics"), QStringLiteral("Serve /metrics."));
    const QCommandLineOption optNoMetrics(QStringLiteral("no-metrics"),
                                          QStringLiteral("Do not serve /metrics."));
    const QCommandLineOption optAddress(
        QStringLiteral("metrics-address"),
        QStringLiteral("Listen address for /metrics (default: the setting, 127.0.0.1 unless changed)."),
        QStringLiteral("address"));
    const QCommandLineOption optPort(
        QStringLiteral("metrics-port"),
        QStringLiteral("Port for /metrics (default: the setting, 9150 unless changed)."),
        QStringLiteral("port"));
    const QCommandLineOption optWebConfig(
        QStringLiteral("web.config.file"),
        QStringLiteral("Web configuration file with TLS and basic authentication for /metrics; read again "
                       "on SIGHUP."),
        QStringLiteral("file"));
    const QCommandLineOption optConfig(
        QStringLiteral("config"),
        QStringLiteral("Read the settings from this file (the keys of the console's settings store) instead "
                       "of the user's settings store."),
        QStringLiteral("file"));
    parser.addOptions({optMetrics, optNoMetrics, optAddress, optPort, optWebConfig, optConfig});
    // Usage errors as every command line says them: the program's name, the reason, status 2.
    const auto usageError = [](const QString& strWhy) {
        std::fprintf(stderr, "rackmindd: %s\nTry rackmindd --help.\n", qPrintable(strWhy));
        return 2;
    };
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")))
        parser.showHelp(0);
    if (parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("takes no arguments: %1")
                              .arg(parser.positionalArguments().join(QLatin1Char(' '))));
    if (parser.isSet(optMetrics) && parser.isSet(optNoMetrics))
        return usageError(QStringLiteral("--metrics and --no-metrics exclude each other"));

    ServiceOptions options;
    if (parser.isSet(optMetrics) || parser.isSet(optNoMetrics))
        options.iMetricsEnabled = parser.isSet(optMetrics) ? 1 : 0;
    options.strMetricsAddress = parser.value(optAddress);
    options.strWebConfigFile = parser.value(optWebConfig);
    if (parser.isSet(optAddress) && QHostAddress(options.strMetricsAddress).isNull())
        return usageError(QStringLiteral("--metrics-address: not a valid address: \"%1\" (give an IP address "
                                         "such as 127.0.0.1 or 0.0.0.0)")
                              .arg(options.strMetricsAddress));
    if (parser.isSet(optPort)) {
        bool bOk = false;
        options.iMetricsPort = parser.value(optPort).toInt(&bOk);
        if (!bOk || options.iMetricsPort < 1 || options.iMetricsPort > 65535)
            return usageError(
                QStringLiteral("--metrics-port: not a port (1-65535): \"%1\"").arg(parser.value(optPort)));
    }

    if (parser.isSet(optConfig))
        options.strConfigFile = QFileInfo(parser.value(optConfig)).absoluteFilePath();

    logEvent(QStringLiteral("rackmindd %1 starting; settings from %2")
                 .arg(QCoreApplication::applicationVersion(),
                      options.strConfigFile.isEmpty() ? QStringLiteral("the settings store of its user")
                                                      : options.strConfigFile));
    CServiceRunner runner(options);
    if (!runner.loadAll(false))
        return 1;
    installCatalogues(g_settings.language);
    // The same token as the console: the two would fight over the device port.
    CSingleInstance instance;
    switch (instance.acquire()) {
    case CSingleInstance::AlreadyRunning:
        // The token is seen only by the same user in the same /tmp; whoever polls from the device port
        // is what the operator has to act on, and then no restart can help.
        if (CServiceRunner::reportPortHeld())
            return CServiceRunner::kExitPortHeld;
        logEvent(QObject::tr("An instance has been run already."));
        return 1;
    case CSingleInstance::CreateFailed:
        logEvent(QObject::tr("Shared memory create fail."));
        return 1;
    case CSingleInstance::Acquired:
        break;
    }

    registerDeviceMetaTypes();
    CUnixSignals signalsUnix;
    // Every poll is kept as at the console. Under systemd the unit's state folder (/var/lib/rackmind)
    // holds the store, where rackmind-ctl finds the machine's service; run by hand, the user's data folder.
    const QString strStateDir = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    CHistoryStore store(strStateDir.isEmpty() ? CHistoryStore::defaultPath()
                                              : QDir(strStateDir).filePath(QStringLiteral("history.sqlite")));
    const auto applyRetention = [&store] {
        store.setRetention({g_settings.historyRawHours, g_settings.historyMinuteDays,
                            g_settings.historyHourDays, g_settings.historyEventDays});
    };
    applyRetention();
    runner.setHistoryStore(&store);
    QObject::connect(&signalsUnix, &CUnixSignals::signalReceived, &app, [&](int iSignal) {
        if (iSignal == SIGHUP) {
            runner.reload();
            // How long history is kept is the administrator's to change too, at the next thinning.
            applyRetention();
        } else {
            logEvent(QStringLiteral("stopping on signal %1").arg(iSignal));
            QCoreApplication::quit();
        }
    });
    if (!runner.start())
        return runner.failureExitCode();
    const int iExitCode = QCoreApplication::exec();
    runner.stop();
    deleteCatalogues();
    return iExitCode;
}
