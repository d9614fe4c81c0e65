#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "settings/Settings.h"
#include "tests/common/TestFiles.h"
#include "ui/system/SmtpConfigWidget.h"
#include "ui/system/SnmpConfigWidget.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/fsuid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>

namespace {

// Tests run as root, which reads any file whatever its mode; for the moment of a read this thread
// takes the file rights of an ordinary user.
class AsNobody
{
public:
    AsNobody() { setfsuid(65534); }
    ~AsNobody() { setfsuid(0); }
};

// How one broken port file is made in the working folder.
enum class PortFile
{
    Text,       // the bytes as given
    Directory,  // a directory of that name
    Fifo,       // a named pipe nobody writes to
    Unreadable, // mode 000, read as an ordinary user
    Sparse,     // a 64 MiB file of NUL bytes, ending in the bytes given
};

using PortList = QList<uint>;

QByteArray randomBytes(int iSize, quint32 uiSeed)
{
    QRandomGenerator rng(uiSeed);
    QByteArray ba(iSize, Qt::Uninitialized);
    for (char& c : ba)
        c = char(rng.bounded(256));
    return ba;
}

// A value that QSettings turns into a list of 0x7fffffff entries before anything can check it.
const QByteArray s_baHugeList = "@Variant(\\0\\0\\0\\t\\x7f\\xff\\xff\\xff)";

QString fieldsOf(const AppSettings& s)
{
    QString str;
    QDebug(&str) << s.language << s.loginAccount.left(40) << s.loginPassword.size() << s.autoLogin
                 << s.rememberPassword << s.smtpAccount << s.smtpPassword << s.smtpHost << s.smtpSsl
                 << s.smtpPort << s.smtpReceiver << s.snmpAgentAccount << s.snmpAgentPort
                 << s.snmpAgentTimeout << s.snmpAgentRetry << s.snmpAgentProVer << s.snmpTrapAccount
                 << s.snmpTrapPort << s.snmpTrapProVer;
    return str;
}

} // namespace

Q_DECLARE_METATYPE(PortFile)

using PortFileRow = std::tuple<PortFile, QByteArray, PortList, PortList>;
Q_DECLARE_METATYPE(PortFileRow)

// Files a person can edit, broken in every way we could think of, read and written by the program's
// own functions: the port file by the registry (read) and the transport (write), the settings store by
// loadSettings and saveSettings and the pages that show it.
class TestBrokenFiles : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_pDir;

    QString storeFile() const { return m_pDir->filePath(QStringLiteral("config/Orvane/Rackmind.conf")); }

private slots:
    void init()
    {
        m_pDir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_pDir->isValid());
        // Open to ordinary users, so that a file of mode 000 inside is what stops them.
        QVERIFY(chmod(qPrintable(m_pDir->path()), 0755) == 0);
        QVERIFY(QDir::setCurrent(m_pDir->path()));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_pDir->filePath(QStringLiteral("config")));
        g_settings = AppSettings();
    }

    void cleanup()
    {
        QVERIFY(QDir::setCurrent(QDir::tempPath()));
        m_pDir.reset();
    }

    void portFile_data()
    {
        // readAfterWrite: what the next start reads after the transport has written {51230, 7000}; empty:
        // not checked.
        QTest::addColumn<PortFileRow>("row");

        const PortList def{51230};
        const PortList written{51230, 7000};
        QTest::newRow("garbage") << PortFileRow(
            PortFile::Text, QByteArray("lorem ipsum\n[[[\n=\n]]\nport\n;;\n=6000\n"), def, written);
        // 2^32 + 6001 and 2^64 + 6001 must not wrap round to port 6001.
        QTest::newRow("huge numbers") << PortFileRow(
            PortFile::Text,
            QByteArray(
                "[0]\nport=70000\n[1]\nport=99999999999999999999\n[2]\nport=4294967295\n[3]\nport=6000\n"
                "[4]\nport=65535\n[5]\nport=1e9\n[6]\nport=4294973297\n[7]\nport=18446744073709557617\n"),
            {51230, 6000, 65535}, {51230, 7000, 6000, 65535});
        QTest::newRow("very long lines")
            << PortFileRow(PortFile::Text,
                           QByteArray("[0]\nport=6000\n[1]\nport=" + QByteArray(512 * 1024, '7') + "\n[" +
                                      QByteArray(200 * 1024, '2') + "]\nport=1\n[2]\nport=6001\n"),
                           {51230, 6000, 6001}, {51230, 7000, 6001});
        QTest::newRow("binary") << PortFileRow(PortFile::Text, randomBytes(64 * 1024, 13), def, {});
        QTest::newRow("value that explodes") << PortFileRow(
            PortFile::Text, QByteArray("[0]\nport=6000\n[1]\nport=" + s_baHugeList + "\n"), def, written);
        QTest::newRow("directory") << PortFileRow(PortFile::Directory, QByteArray(), def, def);
        QTest::newRow("named pipe") << PortFileRow(PortFile::Fifo, QByteArray(), def, def);
        QTest::newRow("unreadable") << PortFileRow(PortFile::Unreadable, QByteArray("[0]\nport=6000\n"), def,
                                                   {});
        QTest::newRow("64 MiB") << PortFileRow(PortFile::Sparse, QByteArray("\n[0]\nport=6000\n"), def,
                                               written);
    }

    void portFile()
    {
        QFETCH(PortFileRow, row);
        const auto& [kind, content, read, readAfterWrite] = row;
        const QString strFile = QStringLiteral("port.prt");
        switch (kind) {
        case PortFile::Text:
        case PortFile::Unreadable:
        case PortFile::Sparse: {
            QFile file(strFile);
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (kind == PortFile::Sparse)
                QVERIFY(file.seek(64 * 1024 * 1024));
            file.write(content);
            file.close();
            if (kind == PortFile::Unreadable)
                QVERIFY(file.setPermissions({}));
            break;
        }
        case PortFile::Directory:
            QVERIFY(QDir().mkdir(strFile));
            break;
        case PortFile::Fifo:
            QCOMPARE(mkfifo(qPrintable(strFile), 0600), 0);
            break;
        }

        PortList listRead;
        {
            std::unique_ptr<AsNobody> pNobody(kind == PortFile::Unreadable ? new AsNobody : nullptr);
            CRackmind registry;
            pNobody.reset();
            listRead = registry.listDevicePort;
        }
        QCOMPARE(listRead.value(0), 51230u);
        for (uint uiPort : qAsConst(listRead))
            QVERIFY2(uiPort <= 65535, qPrintable(QString::number(uiPort)));
        if (!read.isEmpty())
            QCOMPARE(listRead, read);

        // The transport writes the list back at every start; the next start reads what it wrote.
        CUdpDriver driver(QList<NetInterfaceInfo>{});
        // A writer that waited on the named pipe for a reader would never come back here.
        driver.slotUpdateDevicePort(PortList{51230, 7000});
        QCOMPARE(driver.listDevicePort, (PortList{51230, 7000}));
        if (!readAfterWrite.isEmpty()) {
            CRackmind registry;
            QCOMPARE(registry.listDevicePort, readAfterWrite);
        }
        if (kind == PortFile::Directory)
            QVERIFY(QFileInfo(strFile).isDir());
    }

    void settingsStore_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("fields");

        const AppSettings def;
        AppSettings huge = def;
        huge.language = 0;
        huge.smtpPort = 0;
        huge.snmpAgentPort = -5;
        huge.snmpAgentTimeout = 2147483647;
        huge.snmpAgentRetry = 0;
        huge.snmpTrapProVer = -2147483647 - 1;
        huge.snmpTrapPort = 0;
        huge.loginPassword = QString(1 << 20, QLatin1Char('p'));
        QTest::newRow("huge and negative values")
            << QByteArray("Language=99999999999999999999\n[Smtp]\nPort=2147483648\n"
                          "[Snmp]\nAgentPort=-5\nAgentTimeout=2147483647\nAgentRetry=-99999999999\n"
                          "TrapProVer=-2147483648\nTrapPort=4294967458\n[Login]\nPassword=" +
                          QByteArray(1 << 20, 'p') + "\n")
            << fieldsOf(huge);

        QTest::newRow("binary") << randomBytes(64 * 1024, 7) << QString();
        QTest::newRow("value that explodes")
            << QByteArray("Language=2\n[Smtp]\nPort=" + s_baHugeList + "\n[Login]\nAccount=kept\n")
            << fieldsOf(def);
    }

    void settingsStore()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, fields);
        QDir().mkpath(QFileInfo(storeFile()).path());
        QVERIFY(writeFile(storeFile(), content));

        loadSettings();
        if (!fields.isEmpty())
            QCOMPARE(fieldsOf(g_settings), fields);

        // The pages that show the store are built from whatever was loaded.
        {
            CSmtpConfigWidget smtp;
            CSnmpConfigWidget snmp;
            smtp.grab();
            snmp.grab();
            auto* pPort = smtp.findChild<QSpinBox*>(QStringLiteral("SpinPort"));
            QVERIFY(pPort);
            QVERIFY(pPort->value() >= 0 && pPort->value() <= 65535);
        }

        // A save afterwards leaves a store that reads back as saved, whatever was in it before.
        AppSettings saved = g_settings;
        saved.language = 3;
        saved.smtpHost = QStringLiteral("mail.example.org");
        g_settings = saved;
        saveSettings();
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(fieldsOf(g_settings), fieldsOf(saved));
    }

    void settingsStoreUnusable_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("directory") << "directory";
        QTest::newRow("unreadable") << "unreadable";
    }

    void settingsStoreUnusable()
    {
        QFETCH(QString, how);
        QDir().mkpath(QFileInfo(storeFile()).path());
        if (how == QLatin1String("directory")) {
            QVERIFY(QDir().mkdir(storeFile()));
        } else {
            QVERIFY(writeFile(storeFile(), "Language=2\n[Login]\nAccount=hidden\n"));
            QVERIFY(QFile::setPermissions(storeFile(), {}));
        }
        {
            AsNobody nobody;
            loadSettings();
            g_settings.smtpPort = 2525;
            saveSettings(); // lost, silently
        }
        AppSettings expected;
        expected.smtpPort = 2525;
        QCOMPARE(fieldsOf(g_settings), fieldsOf(expected));
    }
};

QTEST_MAIN(TestBrokenFiles)
#include "tst_brokenfiles.moc"
