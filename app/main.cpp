#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "settings/SingleInstance.h"

#include <QApplication>
#include <QObject>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
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
