#include "app/AppShell.h"
#include "device/MetaTypes.h"
#include "room/Room.h"
#include "tests/common/ConsoleLogin.h"
#include "tests/common/NetBed.h"
#include "ui/frame/AppWindows.h"

#include <QtTest>

#include <csignal>

// A quit signal the console took before any event loop of its ran (a logout or a stop during start-up),
// with the login set to log in by itself: the quit wins before the login starts anything.
class TestLoginQuit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        consolelogin::storeAutoLogin();
        createSharedResources();
        QVERIFY(prepareLanguage());
        registerDeviceMetaTypes();
    }

    void signalBeforeTheLoginWins()
    {
        quitOnUnixSignals();
        createLongLivedWindows();
        ::raise(SIGTERM);
        QVERIFY(!runLogin());
        QVERIFY(!consoleRoom()->isRunning());
        QVERIFY(!g_pUdpThread);
        QCOMPARE(runMainWindow(), 0);
        runExitSequence();
    }
};

QTEST_MAIN(TestLoginQuit)
#include "tst_loginquit.moc"
