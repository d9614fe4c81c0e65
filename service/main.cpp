#include "device/AlarmTracker.h"
#include "device/MetaTypes.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "mail/MailQueue.h"
#include "service/ServiceRunner.h"
#include "service/UnixSignals.h"
#include "settings/Catalogues.h"
#include "settings/Settings.h"
#include "settings/SingleInstance.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

#include <csignal>

// The service draws nothing: its devices have no outlet painter.
void attachOutletPainter(CPdu*) {}

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
    const QCommandLineOption optAddress(QStringLiteral("metrics-address"),
                                        QStringLiteral("Listen address for /metrics."),
                                        QStringLiteral("address"));
    const QCommandLineOption optPort(QStringLiteral("metrics-port"), QStringLiteral("Port for /metrics."),
                                     QStringLiteral("port"));
    const QCommandLineOption optConfig(
        QStringLiteral("config"),
        QStringLiteral("Read the settings from this file (the keys of the console's settings store) instead "
                       "of the user's settings store."),
        QStringLiteral("file"));
    parser.addOptions({optMetrics, optNoMetrics, optAddress, optPort, optConfig});
    parser.process(app);

    ServiceOptions options;
    if (parser.isSet(optMetrics) || parser.isSet(optNoMetrics))
        options.iMetricsEnabled = parser.isSet(optMetrics) ? 1 : 0;
    options.strMetricsAddress = parser.value(optAddress);
    if (parser.isSet(optPort)) {
        bool bOk = false;
        options.iMetricsPort = parser.value(optPort).toInt(&bOk);
        if (!bOk || options.iMetricsPort < 1 || options.iMetricsPort > 65535) {
            logEvent(QStringLiteral("--metrics-port: not a port: %1").arg(parser.value(optPort)));
            return 2;
        }
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
    // Every poll is kept as at the console, in the service user's own data folder.
    g_pHistoryStore = new CHistoryStore;
    const auto applyRetention = [] {
        g_pHistoryStore->setRetention({g_settings.historyRawHours, g_settings.historyMinuteDays,
                                       g_settings.historyHourDays, g_settings.historyEventDays});
    };
    applyRetention();
    g_pHistoryStore->record(HistoryEvent::ConsoleStarted, QString(), QString(), QString());
    runner.onRegistryCreated = [](CRackmind* pRegistry) {
        auto* pRecorder = new CHistoryRecorder(g_pHistoryStore, pRegistry, pRegistry);
        QObject::connect(CMailQueue::instance(), &CMailQueue::signalMailResult, pRecorder,
                         &CHistoryRecorder::slotMailResult);
        QObject::connect(CAlarmTracker::instance(), &CAlarmTracker::signalAlarmAcknowledged, pRecorder,
                         &CHistoryRecorder::slotAlarmAcknowledged);
    };
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
    if (!runner.start()) {
        delete g_pHistoryStore;
        return 1;
    }
    const int iExitCode = QCoreApplication::exec();
    runner.stop();
    g_pHistoryStore->record(HistoryEvent::ConsoleStopped, QString(), QString(), QString());
    delete g_pHistoryStore;
    g_pHistoryStore = nullptr;
    deleteCatalogues();
    return iExitCode;
}
