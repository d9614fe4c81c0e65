#include "app/AppShell.h"
#include "app/LoginDialog.h"
#include "device/MetaTypes.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "room/Room.h"
#include "settings/SingleInstance.h"
#include "tests/common/ConsoleLogin.h"
#include "tests/common/NetBed.h"
#include "tests/common/ProgramCopy.h"
#include "tests/common/QuietFleet.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/OutletActions.h"

#include <QtTest>

#include <pwd.h>
#include <unistd.h>

// One machine, the console beside the service as it is installed: another user and a private /tmp, so
// that no lock of theirs can see the other's; only the device port tells.
class TestSharedPort : public QObject
{
    Q_OBJECT

    // The service as its unit runs it: a user of its own, a /tmp of its own, a state folder it owns.
    void startService(QProcess& process, const QString& strHome, const char* pszUser = "nobody",
                      bool bPrivateTmp = true, bool bOwnNetwork = false)
    {
        const passwd* pUser = getpwnam(pszUser);
        QVERIFY(pUser && QDir().mkpath(strHome) && chown(qPrintable(strHome), pUser->pw_uid, 0) == 0);
        QProcessEnvironment env;
        for (const char* pszName : {"PATH", "LANG", "LC_ALL"})
            env.insert(QLatin1String(pszName), qEnvironmentVariable(pszName));
        env.insert(QStringLiteral("LD_LIBRARY_PATH"), m_stage.folder());
        env.insert(QStringLiteral("HOME"), strHome);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), strHome);
        env.insert(QStringLiteral("XDG_DATA_HOME"), strHome);
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(strHome);
        process.start(
            QStringLiteral("unshare"),
            // In a network of its own, as in a container, with the container's own shared memory.
            {bOwnNetwork ? QStringLiteral("--net") : QStringLiteral("--mount"),
             bOwnNetwork ? QStringLiteral("--ipc") : QStringLiteral("--mount"), QStringLiteral("--mount"),
             QStringLiteral("--propagation"), QStringLiteral("private"), QStringLiteral("--"),
             QStringLiteral("sh"), QStringLiteral("-c"),
             QStringLiteral("if [ \"$2\" = private ]; then mount -t tmpfs tmpfs /tmp || exit 9; fi; "
                            "exec setpriv --reuid=\"$1\" --regid=nogroup --clear-groups \"$0\""),
             m_stage.path(QStringLiteral(RACKMINDD)), QLatin1String(pszUser),
             bPrivateTmp ? QStringLiteral("private") : QStringLiteral("shared")});
        QVERIFY(process.waitForStarted());
    }

    static bool waitLog(QProcess& process, QString& strLog, const QString& strText)
    {
        QDeadlineTimer deadline(30000);
        while (!strLog.contains(strText) && !deadline.hasExpired() &&
               (process.state() == QProcess::Running || process.bytesAvailable())) {
            process.waitForReadyRead(200);
            strLog += QString::fromLocal8Bit(process.readAllStandardError());
        }
        return strLog.contains(strText);
    }

    // The service's program and state folders, where its users reach them: not below /tmp, which the
    // service does not share, nor in the checkout, which may be closed to them.
    ProgramCopy m_stage;
    CSimThread m_sim;
    QProcess m_service;
    QString m_strLog;

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        QVERIFY2(m_stage.copy(QStringLiteral(RACKMINDD)), qPrintable(m_stage.errorString()));
        QVERIFY(startQuietFleet(m_sim));
        startService(m_service, m_stage.path(QStringLiteral("service")));
        QVERIFY2(waitLog(m_service, m_strLog, QStringLiteral("new PDU 10.200.1.3")), qPrintable(m_strLog));
    }

    // The console is told that the service polls here and polls from a free port beside it.
    void consoleBesideService()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_stage.path(QStringLiteral("console")));
        consolelogin::storeAutoLogin();
        createSharedResources();
        QVERIFY(prepareLanguage());
        registerDeviceMetaTypes();
        createLongLivedWindows();
        QStringList listTold;
        QVERIFY(consolelogin::loginAnsweringYes(&listTold));
        QCOMPARE(listTold.size(), 1);
        for (const QString& strNamed : {QStringLiteral("service"), QString::number(m_service.processId()),
                                        QStringLiteral("nobody"), QStringLiteral("51230")})
            QVERIFY2(listTold.first().contains(strNamed), qPrintable(listTold.first()));
        QTRY_COMPARE_WITH_TIMEOUT(g_pRackmind->listPdu.size(),
                                  qEnvironmentVariableIntValue("RACKMIND_BED_DEVICE_COUNT"), 15000);
        // Switching from the free port reaches the PDU and its new state comes back.
        consolelogin::switchReachesUnit(m_sim, g_pRackmind->listPdu.first(), 3);
        QCOMPARE(m_service.state(), QProcess::Running);
    }

    // A second service on the same machine fails once, naming the one that polls, and asks for no restart:
    // under another user, who may not look at the first one's descriptors, or under the console's user
    // beside a console, whose single-instance token it must not take for the port's holder.
    void secondServiceFailsClearly_data()
    {
        QTest::addColumn<QString>("user");
        QTest::addColumn<bool>("privateTmp");
        QTest::newRow("another user") << QStringLiteral("daemon") << true;
        QTest::newRow("the console's user") << QStringLiteral("root") << false;
    }

    void secondServiceFailsClearly()
    {
        QFETCH(QString, user);
        QFETCH(bool, privateTmp);
        CSingleInstance console; // as the console holds it; another program may hold it already
        console.acquire();
        // A service of the first one's user in a network of its own (a container) holds nothing here.
        QProcess decoy;
        QString strDecoyLog;
        startService(decoy, m_stage.path(QStringLiteral("decoy")), "nobody", true, true);
        QVERIFY2(waitLog(decoy, strDecoyLog, QStringLiteral("starting")), qPrintable(strDecoyLog));
        QProcess second;
        QString strLog;
        startService(second, m_stage.path(user), qPrintable(user), privateTmp);
        QVERIFY(second.waitForFinished(30000));
        strLog += QString::fromLocal8Bit(second.readAllStandardError());
        QCOMPARE(second.exitCode(), 75);
        QVERIFY2(strLog.contains(QString::number(m_service.processId())), qPrintable(strLog));
        decoy.terminate();
        QVERIFY(decoy.waitForFinished(30000));
    }

    void cleanupTestCase()
    {
        runExitSequence();
        m_service.terminate();
        QVERIFY(m_service.waitForFinished(30000));
        QCOMPARE(m_service.exitCode(), 0);
    }
};

QTEST_MAIN(TestSharedPort)
#include "tst_sharedport.moc"
