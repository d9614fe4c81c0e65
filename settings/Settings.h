#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

#include <memory>

class QSettings;

// Every persistent preference of the program. The record mirrors the user's settings store
// (organisation "Orvane", application "Rackmind"); callers change fields and then save the whole record.
struct AppSettings
{
    int language = 0; // 0 not chosen, 1 English, 2 Simplified Chinese, 3 Traditional Chinese
    QString loginAccount = QStringLiteral("pavok");
    QString loginPassword = QStringLiteral("pavok");
    bool autoLogin = false;
    bool rememberPassword = false;
    QString smtpAccount;
    QString smtpPassword;
    QString smtpHost;
    bool smtpSsl = false;
    int smtpPort = 25;
    QString smtpReceiver;
    // STARTTLS on a plain connection ("Smtp/SSL" wins when both are set), a password allowed over a
    // connection that is not encrypted, and the sender address (empty: the account).
    bool smtpStartTls = false;
    bool smtpAllowUnencryptedPassword = false;
    QString smtpSender;
    QString snmpAgentAccount = QStringLiteral("quorbishadlen");
    int snmpAgentPort = 161;
    int snmpAgentTimeout = 500;
    int snmpAgentRetry = 3;
    int snmpAgentProVer = 0;
    QString snmpTrapAccount = QStringLiteral("quorbishadlen");
    int snmpTrapPort = 162;
    int snmpTrapProVer = 0;
    // The room published over SNMP, off until switched on: "agentx" serves through the machine's snmpd at
    // its AgentX socket (empty: the SNMP library's default, /var/agentx/master); "embedded" as an agent of
    // its own on snmpAgentPort for snmpAgentAccount (the community, or the V3 user with the keys below),
    // sending notifications to the receivers (host or host:port, snmpTrapPort by default).
    bool snmpEnabled = false;
    QString snmpMode = QStringLiteral("agentx");
    QString snmpAgentXSocket;
    // SNMPv3: SHA, SHA-224, SHA-256, SHA-384, SHA-512 or none (no authentication, no privacy); AES or
    // none. The passphrases are kept as the mail password is, in a store only its owner may read.
    QString snmpAuthProtocol = QStringLiteral("SHA-256");
    QString snmpAuthPassphrase;
    QString snmpPrivProtocol = QStringLiteral("AES");
    QString snmpPrivPassphrase;
    QString snmpTrapReceivers;
    // The Prometheus endpoint, off until the operator switches it on; loopback unless chosen otherwise.
    bool metricsEnabled = false;
    QString metricsAddress = QStringLiteral("127.0.0.1");
    int metricsPort = 9150;
    // TLS and basic authentication of the endpoint; empty: plain HTTP, no authentication.
    QString metricsWebConfigFile;
    // History kept by the store: every poll, one-minute and one-hour summaries, and the event log.
    int historyRawHours = 24;
    int historyMinuteDays = 30;
    int historyHourDays = 730;
    int historyEventDays = 730;
    // Outlet operations: a question before an outlet goes off, and the protected outlets as
    // "MAC/outlet" entries (MAC as 12 hex digits) separated by spaces.
    bool askBeforeOutletOff = false;
    QString protectedOutlets;
};

extern AppSettings g_settings;

// Fills g_settings from the store; absent keys keep the field's current value, or take their defaults
// with bFromDefaults (a reload after an administrator deleted a key). An unreadable store leaves the
// record as it was either way.
void loadSettings(bool bFromDefaults = false);
// Writes every field of g_settings to the store.
void saveSettings();
// The user's settings store, for the records kept beside the main one; the file given to
// setSettingsStoreFile instead once one is.
std::unique_ptr<QSettings> openSettingsStore();
// Makes an INI file with the store's keys the store (the service's configuration file); empty goes back
// to the user's store.
void setSettingsStoreFile(const QString& strPath);
// Every key the store knows, with its default value, in the store's order (the alarm keys included).
QList<QPair<QString, QVariant>> settingsStoreDefaults();
