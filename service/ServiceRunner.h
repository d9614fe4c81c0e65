#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

class CHistoryStore;
class CMetricsExporter;
class CRackmind;
class CRoom;
class CSnmpPublisher;
struct PortHolder;

// What the command line says about the metrics endpoint; unset entries leave the stored settings.
struct ServiceOptions
{
    int iMetricsEnabled = -1; // -1 as stored, 0 off, 1 on
    QString strMetricsAddress;
    int iMetricsPort = 0;
    QString strWebConfigFile; // empty: as stored
    // The configuration file read instead of the user's settings store; empty: the store.
    QString strConfigFile;
};

// The service's layer around its room: one line per event on standard error, the service manager told
// of readiness, reloads and stopping, and the metrics endpoint.
class CServiceRunner : public QObject
{
    Q_OBJECT
public:
    explicit CServiceRunner(const ServiceOptions& options, QObject* parent = nullptr);
    ~CServiceRunner() override;

    // Reads the settings (alarm settings included) afresh: a key no longer there takes its default.
    // False, with a line logged, when the configuration file cannot be read; nothing changes then.
    bool loadAll(bool bFromDefaults);
    // Where the room keeps its history (not owned); set before start(). None keeps none.
    void setHistoryStore(CHistoryStore* pStore);
    // Opens the device port and starts polling; false when the port cannot be opened.
    bool start();
    // The exit status after a failed start: kExitPortHeld when another program polls from the device
    // port (a restart cannot help until it is closed), otherwise 1.
    static constexpr int kExitPortHeld = 75;
    int failureExitCode() const { return m_iFailureExitCode; }
    // When another program holds the device port: says who, and true (then exit with kExitPortHeld).
    static bool reportPortHeld();
    static bool reportPortHeld(const PortHolder& holder);
    // Reads the settings again and applies what changed (mail and alarm settings at the next check,
    // the metrics endpoint at once), telling the service manager while it does.
    void reload();
    // Stops polling and gives queued alarm mail its bounded time, as the console does at exit.
    void stop();

    CRackmind* registry() const;

    // The warning for a file holding strHolds (a secret) that others than root and the service's own
    // user and group (uid, gid) can read or change, or whose owner is neither; empty when none can.
    static QString exposureWarning(const QString& strFile, const QString& strHolds, uint uiUid, uint uiGid);

private:
    // A line for each file with secrets that others can read or change: the configuration file, the
    // web configuration and its TLS key.
    void warnExposedFiles();
    // One line when the history file becomes unusable (for each reason it gives) and one when it takes
    // what is recorded again.
    void logHistoryState(bool bAvailable, const QString& strReason);
    void applyMetrics();
    // The room over SNMP as the settings say, the agent's module loaded when first switched on.
    void applySnmp();
    // Polls the ports port.prt lists now, saying which were added or removed; a broken file keeps them.
    void reloadPorts();
    // The same for the addresses and subnets target.prt lists.
    void reloadTargets();
    void logTargets(const QString& strWhat);
    // One line on how alarm mail will go out, or what keeps it from going out.
    void logMailSetup();
    void slotWatch();
    void slotPolled(bool bSent, int iInterfaces);

    ServiceOptions m_options;
    int m_iFailureExitCode = 1;
    CRoom* m_pRoom;
    CMetricsExporter* m_pExporter;
    CSnmpPublisher* m_pSnmp = nullptr;
    CHistoryStore* m_pHistoryStore = nullptr;
    bool m_bMailLogged = false; // the mail queue's lines are connected once
    // Per device, in the registry's order: bit 0 online, bits 1.. the alarm flags, as last logged.
    QVector<uint> m_vecLogged;
    QSet<QString> m_setGroupAlarmsLogged;
    bool m_bReadyTold = false;
    int m_iInterfacesLogged = -1;
    int m_iHistoryLogged = -1;         // the availability last logged, -1 none yet
    QSet<QString> m_setHistoryReasons; // logged since the file was last available
};

// One line on standard error, written at once.
void logEvent(const QString& strLine);
