#include "metrics/MetricsExporter.h"

#include "device/AlarmTracker.h"
#include "device/OutletControl.h"
#include "device/OutletSets.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "history/HistoryStore.h"
#include "metrics/MetricsText.h"
#include "metrics/RoomPage.h"

void CMetricsExporter::setHistoryStore(CHistoryStore* pStore)
{
    m_pHistoryStore = pStore;
    m_server.setApiHistoryPath(pStore ? pStore->path() : QString());
}

CMetricsExporter::CMetricsExporter(QObject* parent) : QObject(parent), m_setGauge(COutletSets::defaultPath())
{
    connect(&m_timerRefresh, &QTimer::timeout, this, &CMetricsExporter::refresh);
}

void CMetricsExporter::setOperations(COutletControl* pControl, CAlarmTracker* pTracker)
{
    m_server.setApiSubmit({});
    m_pOperations.reset();
    m_pControl = pControl;
    m_pTracker = pTracker;
    if (!pControl || !m_pRegistry)
        return;
    m_pOperations = std::make_unique<CApiOperations>(m_pRegistry, pControl, pTracker);
    CApiOperations* pOperations = m_pOperations.get();
    m_server.setApiSubmit([pOperations](const ApiCall& call) { return pOperations->submit(call); });
}

void CMetricsExporter::setSources(CRackmind* pRegistry, const CUdpDriver* pDriver)
{
    if (m_pRegistry)
        disconnect(m_pRegistry, nullptr, this, nullptr);
    m_pRegistry = pRegistry;
    m_pDriver = pDriver;
    if (pRegistry)
        connect(pRegistry, &CRackmind::signalDeviceAnswered, this, [this] { ++m_iRepliesReceived; });
}

// Checks run one at a time: a slow one holds every other client that sends a password.
static QStringList costWarnings(const WebConfig& config)
{
    QStringList listWarnings;
    for (auto it = config.mapUsers.cbegin(); it != config.mapUsers.cend(); ++it) {
        const double dSeconds = CBasicAuth::checkSeconds(CBasicAuth::cost(it.value()));
        if (dSeconds > 0.25)
            listWarnings << QStringLiteral("the password hash of \"%1\" (cost %2) takes about %3 s a "
                                           "check; a cost that keeps it under 0.25 s is advised")
                                .arg(it.key())
                                .arg(CBasicAuth::cost(it.value()))
                                .arg(dSeconds, 0, 'f', 2);
    }
    return listWarnings;
}

bool CMetricsExporter::apply(bool bEnabled, const QString& strAddress, int iPort,
                             const QString& strWebConfigFile)
{
    WebConfig config;
    QString strConfigError;
    const bool bConfigOk = !bEnabled || loadWebConfig(strWebConfigFile, &config, &strConfigError);
    const QString strEndpoint = bEnabled ? QStringLiteral("%1:%2").arg(strAddress).arg(iPort) : QString();
    if (bConfigOk && strEndpoint == m_strEndpoint && config == m_config &&
        (m_server.isRunning() || !bEnabled))
        return true;
    // The same port with other TLS settings or passwords: the port stays open, so no scrape meets a
    // refused connection during the reload.
    if (bConfigOk && bEnabled && !strEndpoint.isEmpty() && strEndpoint == m_strEndpoint &&
        m_server.reconfigure(strAddress, quint16(iPort), config, nullptr)) {
        m_config = config;
        m_listWarnings = costWarnings(config);
        refresh();
        emit signalServingChanged();
        return true;
    }
    m_server.stop();
    m_timerRefresh.stop();
    m_strEndpoint.clear();
    m_strError.clear();
    m_listWarnings.clear();
    m_config = WebConfig();
    bool bServing = false;
    if (!bConfigOk) {
        m_strError = strConfigError;
    } else if (bEnabled && (iPort < 1 || iPort > 65535)) {
        m_strError = QStringLiteral("no such port");
    } else if (bEnabled) {
        // The first scrape must find the devices already, not an empty page; the API its room.
        m_config = config;
        refresh();
        m_config = WebConfig();
        bServing = m_server.start(strAddress, quint16(iPort), &m_strError, config);
    }
    if (bServing) {
        m_strEndpoint = strEndpoint;
        m_strAddress = strAddress;
        m_iPort = iPort;
        m_config = config;
        m_timerRefresh.start(kRefreshMsec);
        m_listWarnings = costWarnings(config);
    }
    emit signalServingChanged();
    return bServing || !bEnabled;
}

QByteArray CMetricsExporter::refresh()
{
    // A loop that ended by itself (the listening socket failed) is not left for dead in silence.
    if (!m_strEndpoint.isEmpty() && !m_server.isRunning()) {
        m_server.stop();
        if (m_server.start(m_strAddress, quint16(m_iPort), &m_strError, m_config)) {
            emit signalNotice(
                QStringLiteral("metrics: the endpoint stopped accepting connections; restarted"));
        } else {
            m_strEndpoint.clear();
            m_timerRefresh.stop();
            m_strError =
                QStringLiteral("stopped accepting connections and cannot restart: %1").arg(m_strError);
            emit signalNotice(QStringLiteral("metrics: the endpoint %1").arg(m_strError));
        }
        emit signalServingChanged();
    }
    const QString strSetsNotice = m_setGauge.update();
    if (!strSetsNotice.isEmpty())
        emit signalNotice(strSetsNotice);
    MetricsTotals totals;
    totals.iRepliesReceived = m_iRepliesReceived;
    if (m_pDriver) {
        totals.iRepliesDropped = m_pDriver->droppedDatagrams();
        totals.iLastPollMsecs = m_pDriver->lastPollMsecs();
        totals.iPolledInterfaces = m_pDriver->polledInterfaces();
    }
    if (m_pHistoryStore) {
        totals.iHistorySamplesDropped = m_pHistoryStore->droppedSamples();
        totals.iHistoryAvailable = m_pHistoryStore->isAvailable() ? 1 : 0;
        totals.iHistorySamplesPending = m_pHistoryStore->pendingSamples();
        totals.hashEnergyUnits = m_pHistoryStore->energyTotals();
    }
    // Two pages take turns: the one before last is written over once no scrape sends it any more, since
    // a fresh page of megabytes every second would be paid for in page faults.
    QByteArray baText;
    baText.swap(m_baSpare);
    if (!baText.isDetached())
        baText = QByteArray();
    QVector<int> vecFamilies;
    renderMetrics(m_pRegistry ? m_pRegistry->listPdu : QList<CPdu*>(), totals, baText, &vecFamilies,
                  &m_labels, &m_setGauge);
    // The page of the room costs as much as the metrics; nobody may be looking at it.
    m_server.publish(baText, vecFamilies,
                     m_server.roomPageWanted()
                         ? renderRoomPage(m_pRegistry ? m_pRegistry->listPdu : QList<CPdu*>())
                         : QByteArray());
    m_baSpare = m_baCurrent;
    m_baCurrent = baText;
    // As the page of the room: a request waits for the next refresh when nobody asked lately.
    if (m_config.bApi && m_server.apiWanted()) {
        QHash<QString, CPdu*> hashByMac;
        m_server.publishApi(renderApiSnapshot(m_pRegistry ? m_pRegistry->listPdu : QList<CPdu*>(), m_pTracker,
                                              m_setGauge.data(),
                                              m_pControl ? m_pControl->outletSets() : nullptr, &hashByMac));
        if (m_pOperations)
            m_pOperations->setIndex(hashByMac);
    }
    return baText;
}

void CMetricsExporter::reloadOutletSets()
{
    const QString strNotice = m_setGauge.update(true);
    if (!strNotice.isEmpty())
        emit signalNotice(strNotice);
    if (m_server.isRunning())
        refresh();
}
