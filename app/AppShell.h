#pragma once

class CLoginDialog;
class CRoom;

// The program's start-up and exit, step by step, shared by main() and the whole-program tests.

// The application style, the four catalogues, the 18 shared fonts and the style sheet. Needs the
// application object.
void createSharedResources();
// SIGTERM (logout, shutdown, kill), SIGINT and SIGHUP end the program as "Quit" does, so that running
// power cycles send their "on" and the stores close. Call once the application object exists.
void quitOnUnixSignals();
// On the very first start asks for the language (false: the operator closed the dialog, the program
// ends); otherwise installs the stored language's catalogues.
bool prepareLanguage();
// The tray icon (grey until the login), the login dialog and the main dialog.
void createLongLivedWindows();
// Runs the login modally; true once it was accepted and no quit was asked meanwhile (nor before: then
// the login is not shown). Hands the windows what the room then holds.
bool runLogin();
// The console's room, made with the long-lived windows and started by the login; null before and
// after the exit sequence.
CRoom* consoleRoom();
// After the login: the colour tray icon and the main window with its texts.
void showMainWindow();
// showMainWindow(), then the event loop; returns its result (0 at once when a quit was asked).
int runMainWindow();
// Frees everything start-up and the login created, in order: translators, fonts, the three windows,
// the registry, the worker thread and the transport, and lets queued alarm mail finish within its
// bound. Safe to call when only part of it exists.
void runExitSequence();
// Shows the critical box of a refused start ("Critical" with the given text).
void showStartUpFailure(const char* pszText);
