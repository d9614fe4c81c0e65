#include "app/Settings.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Every field in store order, as text, so whole records compare in one QCOMPARE.
QStringList fieldsOf(const AppSettings& s)
{
    auto b = [](bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); };
    return {QString::number(s.language), s.loginAccount, s.loginPassword, b(s.autoLogin),
            b(s.rememberPassword), s.smtpAccount, s.smtpPassword, s.smtpHost, b(s.smtpSsl),
            QString::number(s.smtpPort), s.smtpReceiver, s.snmpAgentAccount,
            QString::number(s.snmpAgentPort), QString::number(s.snmpAgentTimeout),
            QString::number(s.snmpAgentRetry), QString::number(s.snmpAgentProVer), s.snmpTrapAccount,
            QString::number(s.snmpTrapPort), QString::number(s.snmpTrapProVer)};
}

const QStringList s_keys = {"Language", "Login/Account", "Login/Password", "Login/AutoLogin",
                            "Login/RememberPassword", "Smtp/Account", "Smtp/Password", "Smtp/Host", "Smtp/SSL",
                            "Smtp/Port", "Smtp/Receiver", "Snmp/AgentAccount", "Snmp/AgentPort",
                            "Snmp/AgentTimeout", "Snmp/AgentRetry", "Snmp/AgentProVer", "Snmp/TrapAccount",
                            "Snmp/TrapPort", "Snmp/TrapProVer"};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_pDir;

    QString storeFile() const { return m_pDir->filePath(QStringLiteral("Orvane/Rackmind.conf")); }

    void writeStoreText(const QByteArray& baText)
    {
        QDir().mkpath(m_pDir->filePath(QStringLiteral("Orvane")));
        QFile file(storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(baText);
    }

private slots:
    void init()
    {
        m_pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pDir->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
        g_settings = AppSettings();
    }

    void defaults()
    {
        const AppSettings s;
        QCOMPARE(s.language, 0);
        QCOMPARE(s.loginAccount, QStringLiteral("pavok"));
        QCOMPARE(s.loginPassword, QStringLiteral("pavok"));
        QCOMPARE(s.smtpPort, 25);
        QCOMPARE(s.snmpAgentAccount, QStringLiteral("quorbishadlen"));
        QCOMPARE(s.snmpAgentPort, 161);
        QCOMPARE(s.snmpAgentTimeout, 500);
        QCOMPARE(s.snmpAgentRetry, 3);
        QCOMPARE(s.snmpTrapAccount, QStringLiteral("quorbishadlen"));
        QCOMPARE(s.snmpTrapPort, 162);
    }

    void emptyStoreLeavesDefaults()
    {
        loadSettings();
        QCOMPARE(fieldsOf(g_settings), fieldsOf(AppSettings()));
        QVERIFY(!QFile::exists(storeFile()));
    }

    void absentKeyKeepsCurrentValue()
    {
        g_settings.smtpPort = 2525;
        g_settings.loginAccount = QStringLiteral("night shift");
        writeStoreText("[Smtp]\nHost=mail.example.org\n");
        loadSettings();
        QCOMPARE(g_settings.smtpPort, 2525);
        QCOMPARE(g_settings.loginAccount, QStringLiteral("night shift"));
        QCOMPARE(g_settings.smtpHost, QStringLiteral("mail.example.org"));
    }

    void storedValueConverts_data()
    {
        QTest::addColumn<QByteArray>("baStore");
        QTest::addColumn<int>("iField"); // index into fieldsOf()
        QTest::addColumn<QString>("strExpected");

        QTest::newRow("only account") << QByteArray("[Login]\nAccount=operator\n") << 1 << "operator";
        QTest::newRow("port as text") << QByteArray("[Smtp]\nPort=twenty-five\n") << 9 << "0";
        QTest::newRow("port number") << QByteArray("[Smtp]\nPort=465\n") << 9 << "465";
        QTest::newRow("language") << QByteArray("Language=3\n") << 0 << "3";
        QTest::newRow("language as text") << QByteArray("Language=chinese\n") << 0 << "0";
        QTest::newRow("ssl true") << QByteArray("[Smtp]\nSSL=true\n") << 8 << "true";
        QTest::newRow("ssl empty") << QByteArray("[Smtp]\nSSL=\n") << 8 << "false";
        QTest::newRow("auto login 0") << QByteArray("[Login]\nAutoLogin=0\n") << 3 << "false";
        QTest::newRow("empty host") << QByteArray("[Smtp]\nHost=\n") << 7 << "";
        QTest::newRow("trap version") << QByteArray("[Snmp]\nTrapProVer=2\n") << 18 << "2";
        QTest::newRow("unknown key ignored") << QByteArray("[Login]\nUser=x\n") << 1 << "pavok";
    }

    void storedValueConverts()
    {
        QFETCH(QByteArray, baStore);
        QFETCH(int, iField);
        QFETCH(QString, strExpected);
        writeStoreText(baStore);
        loadSettings();

        QStringList expected = fieldsOf(AppSettings());
        expected[iField] = strExpected;
        QCOMPARE(fieldsOf(g_settings), expected);
    }

    void saveWritesEveryKeyWithItsType()
    {
        g_settings.language = 2; // a dialog that changed only the language
        saveSettings();

        QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                        QStringLiteral("Rackmind"));
        QCOMPARE(store.fileName(), storeFile());
        QStringList keys = store.allKeys();
        QStringList sorted = s_keys;
        keys.sort();
        sorted.sort();
        QCOMPARE(keys, sorted);

        // The native format on this platform is text: check each value's written form for its type.
        const QStringList values = fieldsOf(g_settings);
        for (int i = 0; i < s_keys.size(); ++i)
            QCOMPARE(store.value(s_keys[i]).toString(), values[i]);

        QFile file(storeFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baText = file.readAll();
        QVERIFY(baText.startsWith("[General]\nLanguage=2\n"));
        for (const char* psz : {"AutoLogin=false\n", "RememberPassword=false\n", "SSL=false\n", "Port=25\n",
                                "AgentPort=161\n", "AgentTimeout=500\n", "TrapPort=162\n", "Password=pavok\n"})
            QVERIFY2(baText.contains(psz), psz);
    }

    void roundTrip()
    {
        AppSettings s;
        s.language = 1;
        s.loginAccount = QStringLiteral("admin");
        s.autoLogin = true;
        s.rememberPassword = true;
        s.smtpAccount = QStringLiteral("alarm@example.org");
        s.smtpHost = QStringLiteral("smtp.example.org");
        s.smtpSsl = true;
        s.smtpPort = 465;
        s.smtpReceiver = QStringLiteral("ops@example.org");
        s.snmpAgentAccount = QStringLiteral("public");
        s.snmpAgentPort = 1161;
        s.snmpAgentTimeout = 1500;
        s.snmpAgentRetry = 5;
        s.snmpAgentProVer = 1;
        s.snmpTrapAccount = QStringLiteral("trap");
        s.snmpTrapPort = 1162;
        s.snmpTrapProVer = 2;
        g_settings = s;
        saveSettings();
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(fieldsOf(g_settings), fieldsOf(s));
    }

    void passwordsReadBackAsTyped_data()
    {
        QTest::addColumn<QString>("strPassword");
        QTest::newRow("plain") << "secret123";
        QTest::newRow("comma") << "one,two";
        QTest::newRow("spaces") << "  padded pass  ";
        QTest::newRow("quotes") << "\"quoted\" 'single'";
        QTest::newRow("backslash") << "C:\\path\\n";
        QTest::newRow("ini syntax") << "a=b;c#d[e]";
        QTest::newRow("variant marker") << "@Variant(x)";
        QTest::newRow("at sign") << "@home";
        QTest::newRow("chinese") << QStringLiteral("密碼设备");
        QTest::newRow("newline") << "line1\nline2";
        QTest::newRow("empty") << "";
        QTest::newRow("number-like") << "0042";
        QTest::newRow("bool-like") << "true";
    }

    void passwordsReadBackAsTyped()
    {
        QFETCH(QString, strPassword);
        g_settings.loginPassword = strPassword;
        g_settings.smtpPassword = strPassword;
        saveSettings();
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(g_settings.loginPassword, strPassword);
        QCOMPARE(g_settings.smtpPassword, strPassword);
    }

    void plainPasswordIsStoredUnencoded()
    {
        g_settings.smtpPassword = QStringLiteral("Mail-Pass_77");
        saveSettings();
        QFile file(storeFile());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("\nPassword=Mail-Pass_77\n"));
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
