#include "settings/Settings.h"

#include "settings/AlarmSettings.h"
#include "settings/SettingsFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <algorithm>
#include <limits>
#include <variant>

#include <fcntl.h>
#include <unistd.h>

AppSettings g_settings;

namespace {

QString s_strStoreFile;

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
    {"Metrics/Enabled", &AppSettings::metricsEnabled},
    {"Metrics/Address", &AppSettings::metricsAddress},
    {"Metrics/Port", &AppSettings::metricsPort},
};

// Keys read when present and never written: set by hand (or by an administrator's deployment) where
// the defaults do not suit.
const SettingsKey s_readKeys[] = {
    {"History/RawHours", &AppSettings::historyRawHours},
    {"History/MinuteDays", &AppSettings::historyMinuteDays},
    {"History/HourDays", &AppSettings::historyHourDays},
    {"History/EventDays", &AppSettings::historyEventDays},
};

// Keys beyond the original nineteen: stored only while they differ from their defaults, so that a
// console that never uses them leaves the store exactly as it always was.
const SettingsKey s_optionalKeys[] = {
    {"Smtp/StartTLS", &AppSettings::smtpStartTls},
    {"Smtp/AllowUnencryptedPassword", &AppSettings::smtpAllowUnencryptedPassword},
    {"Smtp/Sender", &AppSettings::smtpSender},
    {"Outlets/AskBeforeOff", &AppSettings::askBeforeOutletOff},
    {"Outlets/Protected", &AppSettings::protectedOutlets},
    {"Metrics/WebConfigFile", &AppSettings::metricsWebConfigFile},
    {"Snmp/Enabled", &AppSettings::snmpEnabled},
    {"Snmp/Mode", &AppSettings::snmpMode},
    {"Snmp/AgentXSocket", &AppSettings::snmpAgentXSocket},
    {"Snmp/AuthProtocol", &AppSettings::snmpAuthProtocol},
    {"Snmp/AuthPassphrase", &AppSettings::snmpAuthPassphrase},
    {"Snmp/PrivProtocol", &AppSettings::snmpPrivProtocol},
    {"Snmp/PrivPassphrase", &AppSettings::snmpPrivPassphrase},
    {"Snmp/TrapReceivers", &AppSettings::snmpTrapReceivers},
};

void assign(int& iField, const QVariant& value)
{
    // A number beyond the range of int does not convert, rather than wrapping round into another value
    // (4294967298 would otherwise read as 2).
    bool bOk = false;
    const qlonglong iValue = value.toLongLong(&bOk);
    iField = bOk && iValue >= std::numeric_limits<int>::min() && iValue <= std::numeric_limits<int>::max()
                 ? int(iValue)
                 : 0;
}
void assign(bool& bField, const QVariant& value)
{
    // Only a boolean reads as true: a hand-edited "no" must not switch on automatic login or TLS.
    if (value.type() == QVariant::Bool) {
        bField = value.toBool();
        return;
    }
    const QString strValue = value.toString().trimmed();
    bField =
        strValue.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || strValue == QLatin1String("1");
}
void assign(QString& strField, const QVariant& value)
{
    strField = value.toString();
}

} // namespace

void loadSettings(bool bFromDefaults)
{
    const std::unique_ptr<QSettings> pSettings = openSettingsStore();
    // The record is filled only once the whole store has been read: a store that cannot be parsed is
    // unreadable and leaves every field as it was.
    AppSettings loaded = bFromDefaults ? AppSettings() : g_settings;
    const bool bRead = readSettingsGuarded([&] {
        const auto loadKeys = [&](const auto& keys) {
            for (const SettingsKey& key : keys) {
                const QString strKey = QString::fromLatin1(key.pszKey);
                if (!pSettings->contains(strKey))
                    continue;
                const QVariant value = pSettings->value(strKey);
                std::visit([&](auto pField) { assign(loaded.*pField, value); }, key.field);
            }
        };
        loadKeys(s_keys);
        loadKeys(s_readKeys);
        loadKeys(s_optionalKeys);
    });
    if (bRead)
        g_settings = loaded;
}

void saveSettings()
{
    // The store holds the mail password and the SNMPv3 passphrases: only its owner may read it, from the
    // moment it is made (QSettings keeps the mode of a file it rewrites).
    const QString strFile = openSettingsStore()->fileName();
    QDir().mkpath(QFileInfo(strFile).path());
    const int fd =
        ::open(QFile::encodeName(strFile).constData(), O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    QFile::setPermissions(strFile, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeSettingsGuarded(openSettingsStore, [](QSettings& settings) {
        for (const SettingsKey& key : s_keys) {
            std::visit(
                [&](auto pField) { settings.setValue(QString::fromLatin1(key.pszKey), g_settings.*pField); },
                key.field);
        }
        const AppSettings defaults;
        for (const SettingsKey& key : s_optionalKeys) {
            std::visit(
                [&](auto pField) {
                    const QString strKey = QString::fromLatin1(key.pszKey);
                    if (g_settings.*pField == defaults.*pField)
                        settings.remove(strKey);
                    else
                        settings.setValue(strKey, g_settings.*pField);
                },
                key.field);
        }
    });
}

std::unique_ptr<QSettings> openSettingsStore()
{
    if (!s_strStoreFile.isEmpty())
        return std::make_unique<QSettings>(s_strStoreFile, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
}

void setSettingsStoreFile(const QString& strPath)
{
    s_strStoreFile = strPath;
}

QList<QPair<QString, QVariant>> settingsStoreDefaults()
{
    const AppSettings defaults;
    QList<QPair<QString, QVariant>> list;
    const auto addKeys = [&](const auto& keys) {
        for (const SettingsKey& key : keys)
            std::visit(
                [&](auto pField) {
                    list.append({QString::fromLatin1(key.pszKey), defaults.*pField});
                },
                key.field);
    };
    addKeys(s_keys);
    addKeys(s_readKeys);
    addKeys(s_optionalKeys);
    list += alarmSettingsDefaults();
    return list;
}
