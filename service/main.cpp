#include "settings/Catalogues.h"
#include "settings/Settings.h"
#include "settings/SingleInstance.h"
#include "device/MetaTypes.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "mail/MailQueue.h"
#include "service/ServiceRunner.h"
#include "service/UnixSignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <csignal>

// The service draws nothing: its devices have no outlet painter.
void attachOutletPainter(CPdu*) {}

// The headless service: a core application only, so it needs no display and makes no widget.
int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rackmindd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Polls the PDUs on the local networks, mails their alarms and serves Prometheus metrics, "
        "without a window. Settings come from the console's settings store; SIGHUP reloads them."));
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
    parser.addOptions({optMetrics, optNoMetrics, optAddress, optPort});
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

    loadSettings();
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
    // Every poll is kept as at the console. Under systemd the unit's state folder (/var/lib/rackmind)
    // holds the store, where rackmind-ctl finds the machine's service; run by hand, the user's data folder.
    const QString strStateDir = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    g_pHistoryStore = new CHistoryStore(strStateDir.isEmpty()
                                            ? CHistoryStore::defaultPath()
                                            : QDir(strStateDir).filePath(QStringLiteral("history.sqlite")));
    g_pHistoryStore->setRetention({g_settings.historyRawHours, g_settings.historyMinuteDays,
                                   g_settings.historyHourDays, g_settings.historyEventDays});
    g_pHistoryStore->record(HistoryEvent::ConsoleStarted, QString(), QString(), QString());
    CServiceRunner runner(options);
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
