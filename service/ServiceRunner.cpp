#include "service/ServiceRunner.h"

#include "settings/Settings.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "mail/MailQueue.h"
#include "service/MetricsExporter.h"

#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {
constexpr uint kUdpLocalPort = 51230;
constexpr uint kUpdateRateMs = 1000;
const char* const kAlarmNames[CPdu::AlarmCount] = {"voltage warn",     "voltage overload", "current warn",
                                                   "current overload", "temperature",      "humidity"};

QString describe(const CPdu* pPdu)
{
    return QStringLiteral("%1 \"%2\"")
        .arg(pPdu->sendAddress().toString(), textToString(pPdu->stInfo.name, int(sizeof pPdu->stInfo.name)));
}
} // namespace

void logEvent(const QString& strLine)
{
    std::fprintf(stderr, "%s\n", strLine.toUtf8().constData());
    std::fflush(stderr);
}

CServiceRunner::CServiceRunner(const ServiceOptions& options, QObject* parent)
    : QObject(parent), m_options(options), m_pExporter(new CMetricsExporter(this))
{
}

CServiceRunner::~CServiceRunner()
{
    stop();
}

bool CServiceRunner::start()
{
    m_pThread = new QThread;
    m_pThread->setObjectName(QStringLiteral("UdpThread"));
    m_pDriver = new CUdpDriver;
    m_pDriver->setObjectName(QStringLiteral("UdpDriver"));
    m_pDriver->moveToThread(m_pThread);

    m_pRegistry = new CRackmind;
    g_pRackmind = m_pRegistry;
    m_pRegistry->connectTransport(m_pDriver);
    connect(m_pRegistry, &CRackmind::signalNewDevice, this,
            [](CPdu* pPdu) { logEvent(QStringLiteral("new PDU %1").arg(pPdu->sendAddress().toString())); });
    // The alarm that made a mail is logged before the mail, and the mail's fate after it: the watch runs
    // at once when a mail is queued, and the worker writes its result itself, also while stopping.
    connect(CMailQueue::instance(), &CMailQueue::signalMailQueued, this,
            [this](const QString& strSubject, const QString& strReceiver) {
                if (m_pRegistry)
                    slotWatch();
                logEvent(QStringLiteral("alarm mail \"%1\" to %2 queued").arg(strSubject, strReceiver));
            });
    connect(
        CMailQueue::instance(), &CMailQueue::signalMailResult, this,
        [](const QString& strSubject, const QString& strReceiver, bool bDelivered, const QString& strWhy) {
            logEvent(bDelivered
                         ? QStringLiteral("alarm mail \"%1\" to %2 delivered").arg(strSubject, strReceiver)
                         : QStringLiteral("alarm mail \"%1\" to %2 not delivered: %3")
                               .arg(strSubject, strReceiver, strWhy));
        },
        Qt::DirectConnection);
    if (onRegistryCreated)
        onRegistryCreated(m_pRegistry);

    m_pThread->start(QThread::InheritPriority);
    emit m_pRegistry->signalUpdateDevicePort(m_pRegistry->listDevicePort);
    bool bResult = false;
    QMetaObject::invokeMethod(
        m_pDriver, [&] { m_pDriver->slotStartBroadcast(bResult, kUdpLocalPort, kUpdateRateMs); },
        Qt::BlockingQueuedConnection);
    if (!bResult) {
        logEvent(QStringLiteral("cannot open UDP port %1").arg(kUdpLocalPort));
        return false;
    }
    QStringList listPorts;
    for (uint uiPort : qAsConst(m_pRegistry->listDevicePort))
        listPorts << QString::number(uiPort);
    logEvent(QStringLiteral("polling ports %1 from %2 local addresses")
                 .arg(listPorts.join(QLatin1Char(',')))
                 .arg(m_pDriver->listLocalAddr.size()));
    logMailSetup();

    m_pExporter->setSources(m_pRegistry, m_pDriver);
    applyMetrics();
    auto* pWatch = new QTimer(this);
    connect(pWatch, &QTimer::timeout, this, &CServiceRunner::slotWatch);
    pWatch->start(kUpdateRateMs);
    return true;
}

void CServiceRunner::reload()
{
    loadSettings();
    logEvent(QStringLiteral("settings reloaded"));
    logMailSetup();
    applyMetrics();
}

void CServiceRunner::logMailSetup()
{
    const MailJob job = mailJobFromSettings();
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
    const bool bWasServing = m_pExporter->isServing();
    if (!m_pExporter->apply(bEnabled, strAddress, iPort))
        logEvent(QStringLiteral("metrics: cannot listen on %1:%2: %3; running on without metrics")
                     .arg(strAddress)
                     .arg(iPort)
                     .arg(m_pExporter->errorString()));
    else if (bEnabled)
        logEvent(QStringLiteral("metrics: serving http://%1:%2/metrics").arg(strAddress).arg(iPort));
    else if (bWasServing)
        logEvent(QStringLiteral("metrics: off"));
}

void CServiceRunner::slotWatch()
{
    const QList<CPdu*>& listPdu = m_pRegistry->listPdu;
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
}

void CServiceRunner::stop()
{
    if (!m_pThread)
        return;
    m_pExporter->apply(false, QString(), 0);
    m_pExporter->setSources(nullptr, nullptr);
    // The console's exit order: the registry, the worker thread, then the transport, pulled back here.
    delete m_pRegistry;
    m_pRegistry = nullptr;
    m_pThread->exit(0);
    m_pThread->wait();
    delete m_pThread;
    m_pThread = nullptr;
    m_pDriver->moveToThread(QThread::currentThread());
    m_pDriver->slotStopBroadcast();
    delete m_pDriver;
    m_pDriver = nullptr;
    const int iPending = CMailQueue::instance()->pending();
    if (iPending > 0)
        logEvent(QStringLiteral("stopping: %1 alarm mails still going out").arg(iPending));
    CMailQueue::instance()->shutdown();
    logEvent(QStringLiteral("stopped"));
}
