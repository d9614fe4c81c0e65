#include "service/ServiceRunner.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

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
        QTest::newRow("alarm key deleted")
            << QByteArray("[Alarms]\nDebouncePolls=3\n") << QByteArray() << "Alarms/DebouncePolls"
            << "1";
        QTest::newRow("alarm key commented out")
            << QByteArray("[Alarms]\nMailOnClear=true\n") << QByteArray("[Alarms]\n;MailOnClear=true\n")
            << "Alarms/MailOnClear"
            << "false";
        QTest::newRow("alarm key out of range")
            << QByteArray("[Alarms]\nDebouncePolls=3\n") << QByteArray("[Alarms]\nDebouncePolls=61\n")
            << "Alarms/DebouncePolls"
            << "1";
        QTest::newRow("mail host deleted")
            << QByteArray("[Smtp]\nHost=mail.example.org\n") << QByteArray() << "Smtp/Host"
            << "";
        QTest::newRow("value changed")
            << QByteArray("[Metrics]\nPort=9200\n") << QByteArray("[Metrics]\nPort=10300\n") << "Metrics/Port"
            << "10300";
        QTest::newRow("file gone: settings kept")
            << QByteArray("[Alarms]\nDebouncePolls=3\n") << QByteArray("-") << "Alarms/DebouncePolls"
            << "3";
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
            QFile file(options.strConfigFile);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    file.write(baText) == baText.size());
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
};

QTEST_GUILESS_MAIN(TestServiceConf)
#include "tst_serviceconf.moc"
