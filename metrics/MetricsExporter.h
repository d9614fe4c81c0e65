#pragma once

#include "metrics/ApiOperations.h"
#include "metrics/MetricsServer.h"
#include "metrics/MetricsText.h"
#include "metrics/OutletSetGauge.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class CAlarmTracker;
class CHistoryStore;
class COutletControl;
class CRackmind;
class CUdpDriver;

// Keeps the metrics endpoint fed: once a second, on the thread of the registry, renders the devices
// into a snapshot and publishes it to the server, whose threads serve scrapes from it.
class CMetricsExporter : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMsec = 1000;

    explicit CMetricsExporter(QObject* parent = nullptr);

    // The registry and transport whose figures are published; either may be null.
    void setSources(CRackmind* pRegistry, const CUdpDriver* pDriver);
    // The history store whose dropped samples and energy totals are shown; none shows neither.
    void setHistoryStore(CHistoryStore* pStore);
    // What the API's operations go through and its alarms come from; null answers operations as
    // unavailable. Set after setSources, while the endpoint is not serving.
    void setOperations(COutletControl* pControl, CAlarmTracker* pTracker);
    // Serves on the address and port when bEnabled, stops serving otherwise; strWebConfigFile, when
    // given, holds TLS and basic authentication and is read again on every call (a changed file moves
    // the endpoint). False when it should serve and cannot (the reason is in errorString()); the program
    // runs on without metrics. A configuration that cannot be read serves nothing rather than serve
    // without the protection it asks for.
    bool apply(bool bEnabled, const QString& strAddress, int iPort,
               const QString& strWebConfigFile = QString());
    bool isServing() const { return m_server.isRunning(); }
    QString errorString() const { return m_strError; }
    // What the serving configuration does that an operator should hear of (costly password hashes).
    QStringList warnings() const { return m_listWarnings; }
    // The web configuration the endpoint serves with (empty while it serves none).
    const WebConfig& webConfig() const { return m_config; }
    // "http" or "https", as the endpoint serves now.
    QString scheme() const { return m_config.tls() ? QStringLiteral("https") : QStringLiteral("http"); }
    // Renders and publishes now; returns the text. The outlet sets file is read again first if it changed.
    QByteArray refresh();
    // Reads the outlet sets file again whatever it looks like (a reload), and publishes what it holds.
    void reloadOutletSets();

signals:
    void signalServingChanged();
    // Something an operator should read in the log: the accept loop ended and what was done about it,
    // the outlet sets read or not readable.
    void signalNotice(const QString& strText);

private:
    // Before the server: it outlives every request the server hands it.
    std::unique_ptr<CApiOperations> m_pOperations;
    CMetricsServer m_server;
    QPointer<COutletControl> m_pControl;
    QPointer<CAlarmTracker> m_pTracker;
    QTimer m_timerRefresh;
    QPointer<CRackmind> m_pRegistry;
    const CUdpDriver* m_pDriver = nullptr;
    QPointer<CHistoryStore> m_pHistoryStore;
    qint64 m_iRepliesReceived = 0;
    QString m_strError;
    QStringList m_listWarnings;
    CMetricsLabels m_labels;
    COutletSetGauge m_setGauge;
    QByteArray m_baCurrent; // the published page
    QByteArray m_baSpare;   // the one before, to be written over
    QString m_strEndpoint;
    WebConfig m_config;
    QString m_strAddress;
    int m_iPort = 0;
};
