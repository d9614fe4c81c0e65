#include "app/Settings.h"

#include <QSettings>

#include <variant>

AppSettings g_settings;

namespace {

using FieldRef = std::variant<int AppSettings::*, bool AppSettings::*, QString AppSettings::*>;

struct SettingsKey
{
    const char* pszKey;
    FieldRef field;
};

// The one definition of the store's keys, in loading and saving order.
const SettingsKey s_keys[] = {
    {"Language", &AppSettings::language},
    {"Login/Account", &AppSettings::loginAccount},
    {"Login/Password", &AppSettings::loginPassword},
    {"Login/AutoLogin", &AppSettings::autoLogin},
    {"Login/RememberPassword", &AppSettings::rememberPassword},
    {"Smtp/Account", &AppSettings::smtpAccount},
    {"Smtp/Password", &AppSettings::smtpPassword},
    {"Smtp/Host", &AppSettings::smtpHost},
    {"Smtp/SSL", &AppSettings::smtpSsl},
    {"Smtp/Port", &AppSettings::smtpPort},
    {"Smtp/Receiver", &AppSettings::smtpReceiver},
    {"Snmp/AgentAccount", &AppSettings::snmpAgentAccount},
    {"Snmp/AgentPort", &AppSettings::snmpAgentPort},
    {"Snmp/AgentTimeout", &AppSettings::snmpAgentTimeout},
    {"Snmp/AgentRetry", &AppSettings::snmpAgentRetry},
    {"Snmp/AgentProVer", &AppSettings::snmpAgentProVer},
    {"Snmp/TrapAccount", &AppSettings::snmpTrapAccount},
    {"Snmp/TrapPort", &AppSettings::snmpTrapPort},
    {"Snmp/TrapProVer", &AppSettings::snmpTrapProVer},
};

void assign(int& iField, const QVariant& value) { iField = value.toInt(); }
void assign(bool& bField, const QVariant& value) { bField = value.toBool(); }
void assign(QString& strField, const QVariant& value) { strField = value.toString(); }

} // namespace

void loadSettings()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
    for (const SettingsKey& key : s_keys) {
        const QString strKey = QString::fromLatin1(key.pszKey);
        if (!settings.contains(strKey))
            continue;
        const QVariant value = settings.value(strKey);
        std::visit([&value](auto pField) { assign(g_settings.*pField, value); }, key.field);
    }
}

void saveSettings()
{
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
    for (const SettingsKey& key : s_keys) {
        std::visit([&](auto pField) { settings.setValue(QString::fromLatin1(key.pszKey), g_settings.*pField); },
                   key.field);
    }
    settings.sync();
}
