#include "app/Settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The settings store: what a missing store, a missing key and each value type load as, and that a save
// writes every key in a form the next start reads back as it was.
class TestSettings : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_pDir;

    QString storeFile() const { return m_pDir->filePath(QStringLiteral("Orvane/Rackmind.conf")); }
    QByteArray storeText() const
    {
        QFile file(storeFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString stored(const QString& strKey) const
    {
        return QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).value(strKey).toString();
    }

private slots:
    void init()
    {
        m_pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pDir->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
        g_settings = AppSettings();
    }

    // No store: the defaults a first start runs with (the language still to ask, the login account, the
    // mail and SNMP ports), each key written in the text form of its type.
    void emptyStoreSavesDefaults()
    {
        loadSettings();
        QVERIFY(!QFile::exists(storeFile()));
        saveSettings();
        QCOMPARE(storeText(), QByteArray("[General]\nLanguage=0\n\n[Login]\nAccount=pavok\nAutoLogin=false\n"
                                         "Password=pavok\nRememberPassword=false\n\n[Smtp]\nAccount=\nHost=\n"
                                         "Password=\nPort=25\nReceiver=\nSSL=false\n\n[Snmp]\n"
                                         "AgentAccount=quorbishadlen\nAgentPort=161\nAgentProVer=0\nAgentRetry=3\n"
                                         "AgentTimeout=500\nTrapAccount=quorbishadlen\nTrapPort=162\nTrapProVer=0\n"));
    }

    void storedValueConverts_data()
    {
        QTest::addColumn<QByteArray>("baStore");
        QTest::addColumn<QString>("strKey");
        QTest::addColumn<QString>("strExpected");
        QTest::newRow("port as text") << QByteArray("[Smtp]\nPort=twenty-five\n") << "Smtp/Port" << "0";
        QTest::newRow("port number") << QByteArray("[Smtp]\nPort=465\n") << "Smtp/Port" << "465";
        QTest::newRow("language") << QByteArray("Language=3\n") << "Language" << "3";
        QTest::newRow("ssl true") << QByteArray("[Smtp]\nSSL=true\n") << "Smtp/SSL" << "true";
        QTest::newRow("ssl empty") << QByteArray("[Smtp]\nSSL=\n") << "Smtp/SSL" << "false";
        QTest::newRow("auto login 0") << QByteArray("[Login]\nAutoLogin=0\n") << "Login/AutoLogin" << "false";
        QTest::newRow("empty host") << QByteArray("[Smtp]\nHost=\n") << "Smtp/Host" << "";
        QTest::newRow("unknown key ignored") << QByteArray("[Login]\nUser=x\n") << "Login/Account" << "pavok";
    }

    void storedValueConverts()
    {
        QFETCH(QByteArray, baStore);
        QFETCH(QString, strKey);
        QFETCH(QString, strExpected);
        g_settings.smtpHost = QStringLiteral("kept.example.org");
        QDir().mkpath(QFileInfo(storeFile()).path());
        QFile file(storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(baStore) == baStore.size());
        file.close();
        loadSettings();
        saveSettings();
        QCOMPARE(stored(strKey), strExpected);
        // A key the store lacks keeps the value the record had.
        if (strKey != QLatin1String("Smtp/Host"))
            QCOMPARE(stored(QStringLiteral("Smtp/Host")), QStringLiteral("kept.example.org"));
    }

    // Every field back as saved, whatever the password holds; passwords are stored unencoded.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("strPassword");
        QTest::newRow("plain") << "Mail-Pass_77";
        QTest::newRow("ini syntax") << "  a=b;c#d[e],f \"q\" \\n\nline2 ";
        QTest::newRow("variant marker") << "@Variant(x)";
        QTest::newRow("chinese") << QStringLiteral("密碼设备");
        QTest::newRow("number-like") << "0042";
        QTest::newRow("bool-like") << "true";
    }

    void roundTrip()
    {
        QFETCH(QString, strPassword);
        AppSettings& s = g_settings; // every field off its default
        s.language = s.snmpAgentProVer = s.snmpTrapProVer = 1;
        s.loginPassword = s.smtpPassword = strPassword;
        s.autoLogin = s.rememberPassword = s.smtpSsl = true;
        s.loginAccount = s.smtpAccount = s.smtpHost = s.smtpReceiver = s.snmpAgentAccount = s.snmpTrapAccount =
            QStringLiteral("ops@example.org");
        s.smtpPort = s.snmpAgentPort = s.snmpAgentTimeout = s.snmpAgentRetry = s.snmpTrapPort = 1161;
        saveSettings();
        const QByteArray baSaved = storeText();
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(g_settings.smtpPassword, strPassword);
        QFile::remove(storeFile());
        saveSettings();
        QCOMPARE(storeText(), baSaved);
        if (strPassword == QLatin1String("Mail-Pass_77"))
            QVERIFY(baSaved.contains("\nPassword=Mail-Pass_77\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
