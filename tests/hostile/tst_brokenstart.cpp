#include "app/AppShell.h"
#include "app/LoginDialog.h"
#include "app/Settings.h"
#include "device/MetaTypes.h"
#include "device/Rackmind.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/SystemTrayIcon.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

// The program's own start-up and exit, step by step as main() runs them, with a settings store of
// wrong types and out-of-range numbers and a port file holding a value that QSettings would blow up
// into a list of two thousand million entries.
class TestBrokenStart : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void startsAndEndsWithBrokenFiles()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_dir.filePath(QStringLiteral("config")));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("config/Orvane"))));
        QFile store(m_dir.filePath(QStringLiteral("config/Orvane/Rackmind.conf")));
        QVERIFY(store.open(QIODevice::WriteOnly));
        store.write("Language=1\n[Login]\nAccount=pavok\nPassword=pavok\nAutoLogin=true\nRememberPassword=1\n"
                    "[Smtp]\nPort=4294967321\nSSL=@ByteArray(\\xff)\nHost=\\x\n"
                    "[Snmp]\nAgentPort=-99999999999\nAgentProVer=77\nTrapProVer=-3\n\x01\x02\xff\n[[[\n");
        store.close();
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QFile ports(QStringLiteral("port.prt"));
        QVERIFY(ports.open(QIODevice::WriteOnly));
        ports.write("[0]\nport=51230\n[1]\nport=@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)\n");
        ports.close();

        createSharedResources();
        QVERIFY(prepareLanguage());
        QCOMPARE(g_settings.language, 1);
        QCOMPARE(g_settings.smtpPort, 0);
        QCOMPARE(g_settings.snmpAgentPort, 0);
        QVERIFY(g_settings.autoLogin);
        registerDeviceMetaTypes();
        createLongLivedWindows();
        // Auto-login, as the store asks: the device machinery starts with the port list it can read.
        QVERIFY(runLogin());
        QVERIFY(g_pRackmind);
        QCOMPARE(g_pRackmind->listDevicePort, QList<uint>{51230});
        showMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(g_pMainDialog));
        // Every page, the SMTP and SNMP pages with their odd values included, is built and painted.
        g_pMainDialog->grab();

        QPointer<QThread> pUdpThread = g_pUdpThread;
        QTimer::singleShot(0, [] { g_pSystemTrayIcon->contextMenu()->actions().last()->trigger(); });
        QCOMPARE(QApplication::exec(), 0);
        runExitSequence();
        QVERIFY(!g_pRackmind && !g_pUdpThread && !pUdpThread);
        // The next start reads the same list again.
        QCOMPARE(CRackmind().listDevicePort, QList<uint>{51230});

        // The login saved the store whole; it now reads back as the record it holds.
        const AppSettings saved = g_settings;
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(g_settings.smtpPort, saved.smtpPort);
        QCOMPARE(g_settings.snmpAgentProVer, 77);
        QCOMPARE(g_settings.loginAccount, QStringLiteral("pavok"));
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
    }
};

QTEST_MAIN(TestBrokenStart)
#include "tst_brokenstart.moc"
