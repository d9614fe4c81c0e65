#include "service/ServiceRunner.h"

#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/PortHolder.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "history/HistoryStore.h"
#include "history/HistoryWriter.h"
#include "mail/MailQueue.h"
#include "metrics/MetricsExporter.h"
#include "room/Room.h"
#include "room/RoomAlarms.h"
#include "service/SystemdNotify.h"
#include "settings/AlarmSettings.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"
#include "snmp/EntityIndexes.h"
#include "snmp/SnmpPublisher.h"

#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr uint kUdpLocalPort = 51230;

const char* const kAlarmNames[CPdu::AlarmCount] = {"voltage warn",     "voltage overload", "current warn",
                                                   "current overload", "temperature",      "humidity"};

QString describe(const CPdu* pPdu)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(pPdu->sendAddress().toString(), logText(deviceText(pPdu->stInfo.name)));
}
} // namespace

void logEvent(const QString& strLine)
{
    std::fprintf(stderr, "%s\n", strLine.toUtf8().constData());
    std::fflush(stderr);
}

CServiceRunner::CServiceRunner(const ServiceOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_pRoom(new CRoom(RoomOptions::programDefaults(), this)),
      m_pExporter(new CMetricsExporter(this))
{
}

void CServiceRunner::setHistoryStore(CHistoryStore* pStore)
{
    if (m_pHistoryStore)
        disconnect(m_pHistoryStore, &CHistoryStore::signalAvailabilityChanged, this, nullptr);
    m_pHistoryStore = pStore;
    RoomOptions options = m_pRoom->options();
    options.pHistoryStore = pStore;
    m_pRoom->setOptions(options);
    m_pExporter->setHistoryStore(pStore);
    if (!pStore)
        return;
    // Told from the writer's thread; the state is read when the line is written, so that a change
    // already undone is not logged.
    connect(pStore, &CHistoryStore::signalAvailabilityChanged, this, [this] {
        logHistoryState(m_pHistoryStore->isAvailable(), m_pHistoryStore->unavailableReason());
    });
    logHistoryState(pStore->isAvailable(), pStore->unavailableReason());
}

void CServiceRunner::logHistoryState(bool bAvailable, const QString& strReason)
{
    if (bAvailable) {
        if (m_iHistoryLogged != 1)
            logEvent(QStringLiteral("history: recording %1in %2")
                         .arg(m_iHistoryLogged == 0 ? QStringLiteral("again ") : QString(),
                              m_pHistoryStore->path()));
        m_iHistoryLogged = 1;
        m_setHistoryReasons.clear();
        return;
    }
    // A file that fails the same way at every retry is told once.
    if (m_iHistoryLogged == 0 && m_setHistoryReasons.contains(strReason))
        return;
    m_iHistoryLogged = 0;
    m_setHistoryReasons << strReason;
    logEvent(QStringLiteral("history: not recording: %1; polls wait up to %2 s for it, and it is tried "
                            "again every %3 s")
                 .arg(strReason)
                 .arg(CHistoryWriter::kPendingSeconds)
                 .arg(CHistoryWriter::kRetryMsec / 1000));
}

QString CServiceRunner::exposureWarning(const QString& strFile, const QString& strHolds, uint uiUid,
                                        uint uiGid)
{
    struct stat st;
    if (::stat(QFile::encodeName(strFile).constData(), &st) != 0)
        return QString();
    const auto access = [](bool bRead, bool bWrite) {
        return bRead && bWrite ? QStringLiteral("readable and writable")
               : bRead         ? QStringLiteral("readable")
                               : QStringLiteral("writable");
    };
    const mode_t mode = st.st_mode & 07777;
    QStringList listWho;
    if (mode & (S_IROTH | S_IWOTH))
        listWho << access(mode & S_IROTH, mode & S_IWOTH) + QStringLiteral(" by others");
    if ((mode & (S_IRGRP | S_IWGRP)) && st.st_gid != 0 && st.st_gid != uiGid) {
        const group* pGroup = ::getgrgid(st.st_gid);
        listWho << access(mode & S_IRGRP, mode & S_IWGRP) + QStringLiteral(" by group ") +
                       (pGroup ? QString::fromLocal8Bit(pGroup->gr_name) : QString::number(st.st_gid));
    }
    if (st.st_uid != 0 && st.st_uid != uiUid) {
        const passwd* pUser = ::getpwuid(st.st_uid);
        listWho << QStringLiteral("owned by ") +
                       (pUser ? QString::fromLocal8Bit(pUser->pw_name) : QString::number(st.st_uid));
    }
    if (listWho.isEmpty())
        return QString();
    return QStringLiteral("warning: %1 is %2 (mode %3); it holds %4")
        .arg(strFile, listWho.join(QStringLiteral(" and ")),
             QStringLiteral("%1").arg(uint(mode), 4, 8, QLatin1Char('0')), strHolds);
}

void CServiceRunner::warnExposedFiles()
{
    const QString strWebConfig =
        m_options.strWebConfigFile.isEmpty() ? g_settings.metricsWebConfigFile : m_options.strWebConfigFile;
    const QPair<QString, QString> aFiles[] = {
        {m_options.strConfigFile, QStringLiteral("the mail password")},
        {strWebConfig, QStringLiteral("the metrics endpoint's users and password hashes")},
        {m_pExporter->webConfig().strKeyFile, QStringLiteral("the metrics endpoint's TLS private key")},
    };
    for (const auto& file : aFiles) {
        const QString strWarning = file.first.isEmpty()
                                       ? QString()
                                       : exposureWarning(file.first, file.second, ::geteuid(), ::getegid());
        if (!strWarning.isEmpty())
            logEvent(strWarning);
    }
}

CRackmind* CServiceRunner::registry() const
{
    return m_pRoom->registry();
}

CServiceRunner::~CServiceRunner()
{
    stop();
}

bool CServiceRunner::loadAll(bool bFromDefaults)
{
    const QString& strFile = m_options.strConfigFile;
    // A missing or unreadable file would read as an empty one, and every setting would quietly fall
    // back to its default.
    if (!strFile.isEmpty() && !(QFileInfo(strFile).isFile() && QFileInfo(strFile).isReadable())) {
        logEvent(QStringLiteral("cannot read the configuration file %1").arg(strFile));
        return false;
    }
    setSettingsStoreFile(strFile);
    loadSettings(bFromDefaults);
    loadAlarmSettings(bFromDefaults);
    loadGroupSettings();
    return true;
}

bool CServiceRunner::reportPortHeld()
{
    return reportPortHeld(PortHolder::find(quint16(kUdpLocalPort)));
}

bool CServiceRunner::reportPortHeld(const PortHolder& holder)
{
    if (holder.kind == PortHolder::None)
        return false;
    // Restarting at once would only fail again while the holder runs; the unit does not restart on
    // this status, so the operator sees one clear failure instead of a loop.
    logEvent(QStringLiteral("%1 Not polling: close it, then start this service again (exit status %2).")
                 .arg(holder.describe())
                 .arg(kExitPortHeld));
    return true;
}

bool CServiceRunner::start()
{
    m_pRoom->build();
    CUdpDriver* pDriver = m_pRoom->driver();
    CRackmind* pRegistry = m_pRoom->registry();
    connect(pDriver, &CUdpDriver::signalPolled, this, &CServiceRunner::slotPolled);
    connect(pDriver, &CUdpDriver::signalInterfaceChanged, this,
            [](const QString& strWhat, bool bAdded, const QString& strError) {
                if (!strError.isEmpty())
                    logEvent(QStringLiteral("interface %1: cannot poll on it: %2").arg(strWhat, strError));
                else
                    logEvent(QStringLiteral("interface %1 %2")
                                 .arg(strWhat, bAdded ? QStringLiteral("up: polling on it")
                                                      : QStringLiteral("gone: no longer polled")));
            });
    connect(pRegistry, &CRackmind::signalNewDevice, this,
            [](CPdu* pPdu) { logEvent(QStringLiteral("new PDU %1").arg(pPdu->sendAddress().toString())); });
    // The alarm that made a mail is logged before the mail, and the mail's fate after it: the watch runs
    // at once when a mail is queued, and the worker writes its result itself, also while stopping.
    if (!m_bMailLogged) {
        connect(&m_pRoom->alarms().mailQueue, &CMailQueue::signalMailQueued, this,
                [this](const QString& strSubject, const QString& strReceiver) {
                    if (registry())
                        slotWatch();
                    logEvent(QStringLiteral("alarm mail \"%1\" to %2 queued").arg(strSubject, strReceiver));
                });
        connect(
            &m_pRoom->alarms().mailQueue, &CMailQueue::signalMailResult, this,
            [](const QString& strSubject, const QString& strReceiver, bool bDelivered,
               const QString& strWhy) {
                logEvent(
                    bDelivered
                        ? QStringLiteral("alarm mail \"%1\" to %2 delivered").arg(strSubject, strReceiver)
                        : QStringLiteral("alarm mail \"%1\" to %2 not delivered: %3")
                              .arg(strSubject, strReceiver, strWhy));
            },
            Qt::DirectConnection);
        // The writer tells at most once a minute; the count is of those since it last told.
        if (m_pHistoryStore)
            connect(m_pHistoryStore, &CHistoryStore::signalSamplesDropped, this, [this](qint64 iCount) {
                logEvent(QStringLiteral("history: %1 polls not recorded: %2")
                             .arg(iCount)
                             .arg(m_pHistoryStore->isAvailable()
                                      ? QStringLiteral("the history file cannot keep up")
                                      : QStringLiteral("more than %1 s of them waited for the history file")
                                            .arg(CHistoryWriter::kPendingSeconds)));
            });
    }
    m_bMailLogged = true;

    if (!m_pRoom->start()) {
        if (!reportPortHeld(m_pRoom->portHolder()))
            logEvent(QStringLiteral("cannot open UDP port %1").arg(kUdpLocalPort));
        else
            m_iFailureExitCode = kExitPortHeld;
        return false;
    }
    // The room has gone on with the same transport and registry.
    pDriver = m_pRoom->driver();
    pRegistry = m_pRoom->registry();
    logEvent(QStringLiteral("polling ports %1 from %2 local addresses")
                 .arg(CRackmind::portsText(pRegistry->listDevicePort))
                 .arg(pDriver->listLocalAddr.size()));
    if (!pRegistry->targets.isEmpty())
        logTargets(QStringLiteral("polling"));
    logMailSetup();
    // The first poll goes out now rather than a tick later: the service is ready once it has.
    QMetaObject::invokeMethod(pDriver, &CUdpDriver::slotBroadcastTimeout, Qt::QueuedConnection);

    m_pExporter->setSources(pRegistry, pDriver);
    m_pExporter->setOperations(m_pRoom->outletControl(), m_pRoom->alarmTracker());
    connect(m_pExporter, &CMetricsExporter::signalNotice, this, &logEvent);
    applyMetrics();
    applySnmp();
    warnExposedFiles();
    auto* pWatch = new QTimer(this);
    connect(pWatch, &QTimer::timeout, this, &CServiceRunner::slotWatch);
    pWatch->start(int(m_pRoom->options().uiUpdateRate));
    return true;
}

void CServiceRunner::reload()
{
    // A reload while starting is told nothing: readiness is announced by the first poll alone.
    if (m_bReadyTold)
        notifyServiceManager(QStringLiteral("RELOADING=1"));
    if (loadAll(true))
        logEvent(QStringLiteral("settings reloaded"));
    reloadPorts();
    reloadTargets();
    m_pRoom->applySettings();
    logMailSetup();
    applyMetrics();
    m_pExporter->reloadOutletSets();
    applySnmp();
    warnExposedFiles();
    if (m_bReadyTold)
        notifyServiceManager(QStringLiteral("READY=1"));
}

void CServiceRunner::reloadPorts()
{
    CRackmind* pRegistry = registry();
    if (!pRegistry)
        return;
    QList<uint> listAdded, listRemoved;
    QString strWhy;
    if (!pRegistry->reloadDevicePort(&listAdded, &listRemoved, &strWhy))
        logEvent(QStringLiteral("port list not reloaded: %1; still polling ports %2")
                     .arg(strWhy, CRackmind::portsText(pRegistry->listDevicePort)));
    else if (!listAdded.isEmpty() || !listRemoved.isEmpty())
        logEvent(QStringLiteral("port list reloaded: polling ports %1 (added %2, removed %3)")
                     .arg(CRackmind::portsText(pRegistry->listDevicePort), CRackmind::portsText(listAdded),
                          CRackmind::portsText(listRemoved)));
}

void CServiceRunner::reloadTargets()
{
    CRackmind* pRegistry = registry();
    if (!pRegistry)
        return;
    bool bChanged = false;
    QString strWhy;
    if (!pRegistry->reloadTargets(&bChanged, &strWhy))
        logEvent(QStringLiteral("target list not reloaded: %1; still polling %2")
                     .arg(strWhy, PollTargets::text(pRegistry->targets.listTarget)));
    else if (bChanged)
        logTargets(QStringLiteral("target list reloaded: polling"));
}

void CServiceRunner::logTargets(const QString& strWhat)
{
    const PollTargetList& list = registry()->targets;
    logEvent(QStringLiteral("%1 by unicast: %2 (subnets swept at %3 datagrams/s)")
                 .arg(strWhat, PollTargets::text(list.listTarget))
                 .arg(list.iSweepRate));
}

void CServiceRunner::slotPolled(bool bSent, int iInterfaces)
{
    if (iInterfaces != m_iInterfacesLogged) {
        if (iInterfaces == 0)
            logEvent(QStringLiteral("no network interface to poll on: no PDU can be heard; "
                                    "looking again every %1 s")
                         .arg(m_pRoom->options().iInterfaceRescanMs / 1000));
        else if (m_iInterfacesLogged <= 0)
            logEvent(QStringLiteral("polling on %1 network interfaces").arg(iInterfaces));
        m_iInterfacesLogged = iInterfaces;
        notifyServiceManager(
            iInterfaces == 0 ? QStringLiteral("STATUS=No network interface to poll on")
                             : QStringLiteral("STATUS=Polling on %1 network interfaces").arg(iInterfaces));
    }
    // Ready once a poll has gone out, or once it is clear that none can: a service that waits for a
    // network would fail its start, and its blindness is shown in its status and its metrics.
    if (!m_bReadyTold && (bSent || iInterfaces == 0)) {
        m_bReadyTold = true;
        notifyServiceManager(QStringLiteral("READY=1"));
    }
}

void CServiceRunner::logMailSetup()
{
    const MailJob job = mailJobFromSettings(g_settings);
    const SmtpFailure failure = mailSetupFailure(job);
    if (job.host.isEmpty() && job.receiver.isEmpty())
        logEvent(QStringLiteral(
            "alarm mail: off, no SMTP server (Smtp/Host) and no receiver (Smtp/Receiver) set"));
    else if (job.host.isEmpty())
        logEvent(
            QStringLiteral("alarm mail: no SMTP server set (Smtp/Host); mails to %1 will not be delivered")
                .arg(job.receiver));
    else if (failure.isFailure())
        logEvent(QStringLiteral("alarm mail: will not be delivered: %1").arg(failure.text()));
    else if (job.receiver.isEmpty())
        logEvent(QStringLiteral("alarm mail: no receiver set (Smtp/Receiver)"));
    else
        logEvent(QStringLiteral("alarm mail: to %1 through %2:%3, %4, from %5")
                     .arg(job.receiver, job.host)
                     .arg(job.port)
                     .arg(job.ssl        ? QStringLiteral("TLS")
                          : job.startTls ? QStringLiteral("STARTTLS")
                                         : QStringLiteral("unencrypted"),
                          job.senderAddress()));
}

void CServiceRunner::applyMetrics()
{
    const bool bEnabled =
        m_options.iMetricsEnabled >= 0 ? m_options.iMetricsEnabled == 1 : g_settings.metricsEnabled;
    const QString strAddress =
        m_options.strMetricsAddress.isEmpty() ? g_settings.metricsAddress : m_options.strMetricsAddress;
    const int iPort = m_options.iMetricsPort > 0 ? m_options.iMetricsPort : g_settings.metricsPort;
    const QString strWebConfig =
        m_options.strWebConfigFile.isEmpty() ? g_settings.metricsWebConfigFile : m_options.strWebConfigFile;
    const bool bWasServing = m_pExporter->isServing();
    if (!m_pExporter->apply(bEnabled, strAddress, iPort, strWebConfig))
        logEvent(QStringLiteral("metrics: cannot listen on %1:%2: %3; running on without metrics")
                     .arg(strAddress)
                     .arg(iPort)
                     .arg(m_pExporter->errorString()));
    else if (bEnabled)
        logEvent(
            QStringLiteral("metrics: serving %1://%2:%3/metrics%4")
                .arg(m_pExporter->scheme(), strAddress)
                .arg(iPort)
                .arg(m_pExporter->webConfig().bApi ? QStringLiteral(" and the API at /api/v1") : QString()));
    else if (bWasServing)
        logEvent(QStringLiteral("metrics: off"));
    for (const QString& strWarning : m_pExporter->warnings())
        logEvent(QStringLiteral("metrics: %1").arg(strWarning));
}

void CServiceRunner::applySnmp()
{
    if (!g_settings.snmpEnabled && !m_pSnmp)
        return;
    if (!m_pSnmp) {
        m_pSnmp = new CSnmpPublisher(CEntityIndexes::defaultPath(), this);
        connect(m_pSnmp, &CSnmpPublisher::signalStatus, this, [](const SnmpAgentStatus& status) {
            const bool bFailed =
                status.eState == SnmpAgentStatus::Stopped && status.strText != QLatin1String("off");
            logEvent((bFailed ? QStringLiteral("snmp: not serving: ") : QStringLiteral("snmp: ")) +
                     status.strText);
        });
        m_pSnmp->setSources(registry(), m_pRoom->alarmTracker());
    }
    // Passphrases in a file others may read are no secret.
    const QString& strFile = m_options.strConfigFile;
    if (!strFile.isEmpty() &&
        !(g_settings.snmpAuthPassphrase.isEmpty() && g_settings.snmpPrivPassphrase.isEmpty()) &&
        (QFileInfo(strFile).permissions() & (QFileDevice::ReadOther | QFileDevice::WriteOther)))
        logEvent(
            QStringLiteral("snmp: %1 holds the SNMPv3 passphrases and every user may read it (chmod o-rw)")
                .arg(strFile));
    m_pSnmp->applySettings();
}

void CServiceRunner::slotWatch()
{
    if (!registry())
        return;
    const QList<CPdu*>& listPdu = registry()->listPdu;
    m_vecLogged.resize(listPdu.size());
    for (int i = 0; i < listPdu.size(); ++i) {
        const CPdu* pPdu = listPdu.at(i);
        uint uiNow = pPdu->isOnline() ? 1 : 0;
        for (int iAlarm = 0; iAlarm < CPdu::AlarmCount; ++iAlarm)
            uiNow |= pPdu->bAlarm[iAlarm] ? 2u << iAlarm : 0;
        const uint uiWas = m_vecLogged[i];
        if ((uiNow ^ uiWas) & 1)
            logEvent(
                QStringLiteral("PDU %1 %2")
                    .arg(describe(pPdu), uiNow & 1 ? QStringLiteral("online") : QStringLiteral("offline")));
        for (int iAlarm = 0; iAlarm < CPdu::AlarmCount; ++iAlarm) {
            const uint uiBit = 2u << iAlarm;
            if ((uiNow & uiBit) && !(uiWas & uiBit))
                logEvent(QStringLiteral("alarm %1 on PDU %2")
                             .arg(QLatin1String(kAlarmNames[iAlarm]), describe(pPdu)));
            else if (!(uiNow & uiBit) && (uiWas & uiBit))
                logEvent(QStringLiteral("alarm %1 on PDU %2 over")
                             .arg(QLatin1String(kAlarmNames[iAlarm]), describe(pPdu)));
        }
        m_vecLogged[i] = uiNow;
    }
    // The groups' alarms, as the tracker holds them.
    QSet<QString> setGroups;
    for (const ActiveAlarm& alarm : m_pRoom->alarms().tracker.activeAlarms())
        if (alarm.isGroupAlarm())
            setGroups << QStringLiteral("alarm %1 on group %2")
                             .arg(alarm.iCondition == ActiveAlarm::kGroupAtBreaker
                                      ? QStringLiteral("load at the breaker rating")
                                      : QStringLiteral("load over budget"),
                                  logText(alarm.strGroup));
    for (const QString& strAlarm : setGroups - m_setGroupAlarmsLogged)
        logEvent(strAlarm);
    for (const QString& strAlarm : m_setGroupAlarmsLogged - setGroups)
        logEvent(strAlarm + QStringLiteral(" over"));
    m_setGroupAlarmsLogged = setGroups;
}

void CServiceRunner::stop()
{
    if (!m_pRoom->isRunning())
        return;
    notifyServiceManager(QStringLiteral("STOPPING=1"));
    m_pExporter->apply(false, QString(), 0);
    m_pExporter->setOperations(nullptr, nullptr);
    m_pExporter->setSources(nullptr, nullptr);
    if (m_pSnmp) {
        m_pSnmp->stop();
        m_pSnmp->setSources(nullptr, nullptr);
    }
    const int iPending = m_pRoom->alarms().mailQueue.pending();
    if (iPending > 0)
        logEvent(QStringLiteral("stopping: %1 alarm mails still going out").arg(iPending));
    m_pRoom->stop();
    logEvent(QStringLiteral("stopped"));
}
