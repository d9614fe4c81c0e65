#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

// How alarms are confirmed, ended and announced. Kept apart from the main settings record under keys of
// their own ("Alarms/..."), read when the program starts and written by the Alarms settings page. The
// defaults make the alarm mails exactly those of a console without these options.
struct AlarmSettings
{
    int debouncePolls = 1;     // consecutive one-second checks a condition must hold before it counts
    int hysteresisPercent = 0; // how far, in percent of the limit, a reading must fall back to end it
    bool mailOnClear = false;  // mail when an alarm condition ends
    bool combineMails = false; // alarms beginning within one window go out as one mail
    int combineWindowSecs = 60;
    bool trayBalloon = true; // a desktop notification for each new alarm
    // An alarm that stood before a restart and still stands is mailed again; its start and its
    // acknowledgement are kept either way.
    bool mailStandingAfterRestart = true;
};

extern AlarmSettings g_alarmSettings;

// Fills g_alarmSettings from the store; absent or unusable values keep the field's current value, or
// take their defaults with bFromDefaults.
void loadAlarmSettings(bool bFromDefaults = false);
// The alarm keys with their defaults, in the store's order.
QList<QPair<QString, QVariant>> alarmSettingsDefaults();
void saveAlarmSettings();
