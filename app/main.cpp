#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "settings/SingleInstance.h"

#include <QApplication>
#include <QObject>

#include <cstdio>
#include <cstring>

namespace {
const char* const kUsage =
    "Usage: rackmind [--help] [--version]\n\n"
    "The desktop console for the rack PDUs on the local networks. Opens the login window (default\n"
    "account pavok, password pavok); the settings live in the user's settings store, the polled device\n"
    "ports in port.prt in the working directory. Qt's own options (-platform, -style, ...) are accepted.\n\n"
    "  -h, --help     Show this help and exit.\n"
    "  -v, --version  Show the version and exit.\n";

// --help and --version are answered before the window system is touched, so they need no display.
int answeredWithoutWindow(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (!std::strcmp(argv[i], "--version") || !std::strcmp(argv[i], "-v")) {
            std::printf("rackmind %s\n", PROJECT_VERSION_TEXT);
            return 0;
        }
    }
    return -1;
}
} // namespace

int main(int argc, char* argv[])
{
    const int iAnswered = answeredWithoutWindow(argc, argv);
    if (iAnswered >= 0)
        return iAnswered;
    QApplication app(argc, argv);
    // What is left once the toolkit has taken its own options is not for this program.
    if (QApplication::arguments().size() > 1) {
        std::fprintf(stderr, "rackmind: unknown option or argument \"%s\"\nTry rackmind --help.\n",
                     qPrintable(QApplication::arguments().at(1)));
        return 2;
    }
    quitOnUnixSignals();
    createSharedResources();
    if (!prepareLanguage())
        return 0;

    CSingleInstance instance;
    switch (instance.acquire()) {
    case CSingleInstance::AlreadyRunning:
        showStartUpFailure(QT_TRANSLATE_NOOP("QObject", "An instance has been run already."));
        return 0;
    case CSingleInstance::CreateFailed:
        showStartUpFailure(QT_TRANSLATE_NOOP("QObject", "Shared memory create fail."));
        return 0;
    case CSingleInstance::Acquired:
        break;
    }

    registerDeviceMetaTypes();
    createLongLivedWindows();
    int iExitCode = 0;
    if (runLogin())
        iExitCode = runMainWindow();
    runExitSequence();
    return iExitCode;
}
