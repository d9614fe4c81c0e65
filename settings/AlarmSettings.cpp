#include "settings/AlarmSettings.h"

#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QSettings>

#include <memory>

AlarmSettings g_alarmSettings;

namespace {
struct IntKey
{
    const char* pszKey;
    int AlarmSettings::*pField;
    int iMin;
    int iMax;
};
struct BoolKey
{
    const char* pszKey;
    bool AlarmSettings::*pField;
};

const IntKey s_intKeys[] = {
    {"Alarms/DebouncePolls", &AlarmSettings::debouncePolls, 1, 60},
    {"Alarms/HysteresisPercent", &AlarmSettings::hysteresisPercent, 0, 50},
    {"Alarms/CombineWindow", &AlarmSettings::combineWindowSecs, 1, 3600},
};
const BoolKey s_boolKeys[] = {
    {"Alarms/MailOnClear", &AlarmSettings::mailOnClear},
    {"Alarms/CombineMails", &AlarmSettings::combineMails},
    {"Alarms/TrayBalloon", &AlarmSettings::trayBalloon},
    {"Alarms/MailStandingAfterRestart", &AlarmSettings::mailStandingAfterRestart},
};
} // namespace

void loadAlarmSettings(bool bFromDefaults)
{
    const std::unique_ptr<QSettings> pStore = openSettingsStore();
    AlarmSettings loaded = bFromDefaults ? AlarmSettings() : g_alarmSettings;
    const bool bRead = readSettingsGuarded([&] {
        for (const IntKey& key : s_intKeys) {
            bool bOk = false;
            const int iValue = pStore->value(QLatin1String(key.pszKey)).toInt(&bOk);
            // A value out of range would make a check that never counts or never ends: keep the old one.
            if (bOk && iValue >= key.iMin && iValue <= key.iMax)
                loaded.*key.pField = iValue;
        }
        for (const BoolKey& key : s_boolKeys) {
            const QString strKey = QLatin1String(key.pszKey);
            if (pStore->contains(strKey))
                loaded.*key.pField = pStore->value(strKey).toBool();
        }
    });
    if (bRead)
        g_alarmSettings = loaded;
}

void saveAlarmSettings()
{
    // A store that cannot be merged with is written afresh, so the main record goes in first: this
    // save must not leave the store with the alarm keys alone.
    saveSettings();
    writeSettingsGuarded(openSettingsStore, [](QSettings& store) {
        for (const IntKey& key : s_intKeys)
            store.setValue(QLatin1String(key.pszKey), g_alarmSettings.*key.pField);
        for (const BoolKey& key : s_boolKeys)
            store.setValue(QLatin1String(key.pszKey), g_alarmSettings.*key.pField);
    });
}

QList<QPair<QString, QVariant>> alarmSettingsDefaults()
{
    const AlarmSettings defaults;
    QList<QPair<QString, QVariant>> list;
    for (const IntKey& key : s_intKeys)
        list.append({QLatin1String(key.pszKey), defaults.*key.pField});
    for (const BoolKey& key : s_boolKeys)
        list.append({QLatin1String(key.pszKey), defaults.*key.pField});
    return list;
}
