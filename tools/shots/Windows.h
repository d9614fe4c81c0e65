#pragma once

class CShot;
class CSimThread;
class QString;

// One function per window: shows it in the states worth a picture and saves each through the shot.
// False, with a message printed, when the window could not be shown as meant.

// A sample frameless dialog with both tab bars: "frame-normal", "frame-maximised".
bool shootFrame(CShot& shot);
// The login dialog: "login" as first shown, "login-wrong", "login-scanning".
bool shootLogin(CShot& shot);
// The device configuration page with one edit pending on each sub page: "config-network",
// "config-threshold", "config-delay", "config-outletname". Opens no socket.
bool shootConfig(CShot& shot);
// The group page with devices in two groups, the SMTP, SNMP and Alarms pages: "groups-page",
// "smtp-page", "snmp-page", "alarms-page". Opens no socket.
bool shootSystem(CShot& shot);
// The Outlets page with outlet sets and a sequence, the set editor with a member whose PDU left the
// room, and the page with the sequence running: "outlets-page", "set-editor", "sequence-progress".
// Opens no socket.
bool shootSets(CShot& shot);
// Every styled widget in its states on one sheet: "contact-sheet".
bool shootContactSheet(CShot& shot);
// The overview page on the demo rack with one device past a voltage limit and two silent:
// "overview". Runs inside the test bed.
bool shootOverview(CShot& shot);
// The main window's four pages on the demo rack: "main-overview", "main-config", "main-groups",
// "main-system". Runs inside the test bed.
bool shootMain(CShot& shot);
// The main window at the size and state of a first start on the screen it runs on: "first". Runs
// inside the test bed.
bool shootFirst(CShot& shot);
// One PDU's day with a stretch not recorded and an hour offline: "history-window". Opens no socket.
bool shootHistory(CShot& shot);
// The capacity window over nine PDUs with a month behind them in three circuits, one over its budget and
// one at its breaker: "power-window". Opens no socket.
bool shootPower(CShot& shot);
// The console's first start on the demo rack as a new operator meets it, each picture the whole screen:
// "first-language", "first-login", "first-main" (the window as it opens), "first-maximised" and
// "first-alarm" (two PDUs in alarm, one acknowledged), each followed by the screen's size. Runs
// inside the test bed.
bool shootFirstRun(CShot& shot);

// Starts the demo rack (in the bed's device namespace), with strExtra run after its own commands, and
// writes the port file of its two ports into the working folder.
bool startDemoRack(CSimThread& sim, const QString& strExtra);
