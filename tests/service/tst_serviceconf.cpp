#include "service/ServiceRunner.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "tests/common/TestFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// The service's configuration file as an administrator edits it: the shipped file names every setting
// at its default, and a reload reads the file afresh.
class TestServiceConf : public QObject
{
    Q_OBJECT

private slots:
    void shippedFileListsEveryKeyAtItsDefault()
    {
        QFile file(QStringLiteral(RACKMIND_SOURCE "/service/rackmindd.conf"));
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        QMap<QString, QString> mapShipped;
        QString strSection;
        const QRegularExpression reKey(QStringLiteral("^;(\\w+)=(.*)$"));
        for (const QString& strLine : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
            if (strLine.startsWith(QLatin1Char('[')))
                strSection = strLine.mid(1, strLine.size() - 2);
            const QRegularExpressionMatch match = reKey.match(strLine);
            if (match.hasMatch())
                mapShipped.insert(strSection == QLatin1String("General")
                                      ? match.captured(1)
                                      : strSection + QLatin1Char('/') + match.captured(1),
                                  match.captured(2));
        }
        QMap<QString, QString> mapDefaults;
        for (const auto& [strKey, value] : settingsStoreDefaults())
            mapDefaults.insert(strKey, value.toString());
        QCOMPARE(mapShipped, mapDefaults);
    }

    void reloadReadsTheFileAfresh_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after"); // "-": the file is gone
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* pszName, const char* pszBefore, const char* pszAfter,
                            const char* pszKey, const char* pszExpected) {
            QTest::newRow(pszName) << QByteArray(pszBefore) << QByteArray(pszAfter)
                                   << QString::fromLatin1(pszKey) << QString::fromLatin1(pszExpected);
        };
        const char* pszDebounce = "[Alarms]\nDebouncePolls=3\n";
        row("alarm key deleted", pszDebounce, nullptr, "Alarms/DebouncePolls", "1");
        row("alarm key commented out", "[Alarms]\nMailOnClear=true\n", "[Alarms]\n;MailOnClear=true\n",
            "Alarms/MailOnClear", "false");
        row("alarm key out of range", pszDebounce, "[Alarms]\nDebouncePolls=61\n", "Alarms/DebouncePolls",
            "1");
        row("mail host deleted", "[Smtp]\nHost=mail.example.org\n", nullptr, "Smtp/Host", "");
        row("value changed", "[Metrics]\nPort=9200\n", "[Metrics]\nPort=10300\n", "Metrics/Port", "10300");
        row("file gone: settings kept", pszDebounce, "-", "Alarms/DebouncePolls", "3");
    }

    void reloadReadsTheFileAfresh()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        ServiceOptions options;
        options.strConfigFile = dir.filePath(QStringLiteral("rackmindd.conf"));
        CServiceRunner runner(options);
        const auto write = [&](const QByteArray& baText) {
            QVERIFY(writeFile(options.strConfigFile, baText));
        };
        write(before);
        QVERIFY(runner.loadAll(false));
        if (after == "-")
            QVERIFY(QFile::remove(options.strConfigFile));
        else
            write(after);
        QCOMPARE(runner.loadAll(true), after != "-");
        const QMap<QString, QString> mapNow = {
            {QStringLiteral("Alarms/DebouncePolls"), QString::number(g_alarmSettings.debouncePolls)},
            {QStringLiteral("Alarms/MailOnClear"), QVariant(g_alarmSettings.mailOnClear).toString()},
            {QStringLiteral("Smtp/Host"), g_settings.smtpHost},
            {QStringLiteral("Metrics/Port"), QString::number(g_settings.metricsPort)},
        };
        QCOMPARE(mapNow.value(key), expected);
    }

    // Who besides root and the service's own user (uid 999) and group (gid 999) can read or change a
    // file with a secret.
    void exposureWarning_data()
    {
        QTest::addColumn<uint>("uiMode");
        QTest::addColumn<uint>("uiOwner");
        QTest::addColumn<uint>("uiGroup");
        QTest::addColumn<QString>("strWho"); // empty: no warning
        QTest::newRow("root only") << 0600u << 0u << 0u << QString();
        QTest::newRow("the service's group reads") << 0640u << 0u << 999u << QString();
        QTest::newRow("root's group writes") << 0660u << 0u << 0u << QString();
        QTest::newRow("the service's own file") << 0600u << 999u << 999u << QString();
        QTest::newRow("others read") << 0644u << 0u << 999u << "readable by others (mode 0644)";
        QTest::newRow("others write") << 0602u << 0u << 0u << "writable by others (mode 0602)";
        QTest::newRow("others both") << 0666u << 0u << 0u << "readable and writable by others (mode 0666)";
        QTest::newRow("another group") << 0640u << 0u << 4242u << "readable by group 4242 (mode 0640)";
        QTest::newRow("another owner") << 0600u << 4343u << 999u << "owned by 4343 (mode 0600)";
        QTest::newRow("all of it") << 0666u << 4343u << 4242u
                                   << "readable and writable by others and readable and writable by group "
                                      "4242 and owned by 4343 (mode 0666)";
    }

    void exposureWarning()
    {
        QFETCH(uint, uiMode);
        QFETCH(uint, uiOwner);
        QFETCH(uint, uiGroup);
        QFETCH(QString, strWho);
        QTemporaryDir dir;
        const QString strFile = dir.filePath(QStringLiteral("rackmindd.conf"));
        QFile file(strFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray baFile = QFile::encodeName(strFile);
        QVERIFY(::chown(baFile.constData(), uiOwner, uiGroup) == 0);
        QVERIFY(::chmod(baFile.constData(), uiMode) == 0);
        QCOMPARE(CServiceRunner::exposureWarning(strFile, QStringLiteral("the mail password"), 999, 999),
                 strWho.isEmpty()
                     ? QString()
                     : QStringLiteral("warning: %1 is %2; it holds the mail password").arg(strFile, strWho));
    }
};

QTEST_GUILESS_MAIN(TestServiceConf)
#include "tst_serviceconf.moc"
