#include "tests/common/TestFiles.h"

#include <QProcess>
#include <QtTest>

using CommandRow = std::tuple<QString, QStringList, int, QString>;
Q_DECLARE_METATYPE(CommandRow)

// The three programs' command lines as an operator mistypes them: a usage error is status 2 with the
// program's name in front of the reason; --help and --version answer at once, without a display.
class TestUsage : public QObject
{
    Q_OBJECT

private slots:
    void commandLine_data()
    {
        // said: in the output that matters: stdout for 0, stderr otherwise
        QTest::addColumn<CommandRow>("row");

        const QString ctl = QStringLiteral(RACKMIND_CTL), svc = QStringLiteral(RACKMINDD),
                      gui = QStringLiteral(RACKMIND);
        const auto row = [](const char* pszName, const QString& strProgram, const QStringList& args,
                            int iStatus, const char* pszSaid) {
            QTest::newRow(pszName) << CommandRow(strProgram, args, iStatus, QString::fromUtf8(pszSaid));
        };
        row("ctl: no command", ctl, {}, 2, "rackmind-ctl: ");
        row("ctl: unknown command", ctl, {"frob"}, 2, "rackmind-ctl: ");
        row("ctl: unknown option", ctl, {"list", "--frob"}, 2, "rackmind-ctl: ");
        row("ctl: PDU missing", ctl, {"show"}, 2, "rackmind-ctl: ");
        row("ctl: not a port", ctl, {"list", "--port", "abc"}, 2, "rackmind-ctl: ");
        row("ctl: not a time", ctl, {"history", "x", "--from", "soon"}, 2, "rackmind-ctl: ");
        row("ctl: two formats", ctl, {"history", "x", "--csv", "--json"}, 2, "rackmind-ctl: ");
        row("ctl: nothing answers", ctl, {"list", "--wait", "0.3"}, 3, "rackmind-ctl: ");
        row("ctl: history takes no port", ctl, {"history", "x", "--port", "6000"}, 2, "rackmind-ctl: ");
        row("ctl: report month 13", ctl, {"report", "--month", "2026-13"}, 2, "YYYY-MM");
        row("ctl: report no month", ctl, {"report", "--csv"}, 2, "--month");
        row("ctl: report pdf no file", ctl, {"report", "--month", "2026-11", "--pdf"}, 2, "FILE");
        row("ctl: report two formats", ctl, {"report", "--month", "2026-11", "--pdf", "a", "--csv"}, 2,
            "--csv");
        row("ctl: report file without format", ctl, {"report", "--month", "2026-11", "a.csv"}, 2, "FILE");
        row("ctl: report polls nothing", ctl, {"report", "--month", "2026-11", "--port", "6000"}, 2,
            "rackmind-ctl: ");
        row("ctl: report without a store", ctl, {"report", "--month", "2026-11", "--store", "none.sqlite"}, 6,
            "none.sqlite");
        row("ctl: set without words", ctl, {"set"}, 2, "set takes");
        row("ctl: set named as a command word", ctl, {"set", "add", "list", "02:50:44:00:00:01/3"}, 2,
            "list");
        row("ctl: set outlet without its PDU", ctl, {"set", "add", "db", "3"}, 2, "MAC/N");
        row("ctl: step without a state", ctl, {"sequence", "add", "s", "db,5"}, 2, "SET,on|off");
        row("ctl: --delay with a set's on", ctl, {"set", "db", "on", "--delay", "5"}, 2, "--delay");
        row("ctl: --version", ctl, {"--version"}, 0, "rackmind-ctl " PROJECT_VERSION_TEXT);
        row("svc: unknown option", svc, {"--frob"}, 2, "rackmindd: ");
        row("svc: an argument", svc, {"now"}, 2, "rackmindd: ");
        row("svc: address not valid", svc, {"--metrics-address", "foo"}, 2, "not a valid address");
        row("svc: not a port", svc, {"--metrics-port", "0"}, 2, "rackmindd: ");
        row("svc: --version", svc, {"--version"}, 0, "rackmindd " PROJECT_VERSION_TEXT);
        row("gui: unknown option", gui, {"--frob"}, 2, "rackmind: ");
        row("gui: --version", gui, {"--version"}, 0, "rackmind " PROJECT_VERSION_TEXT);
        row("gui: --help", gui, {"--help"}, 0, "--version");
    }

    // Every option a command's help offers is explained in its manual page and completed after "--"; every
    // command of the command line is shown in the README.
    void optionsDocumented_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("words"); // the command line being completed, its last word "--"
        QTest::addColumn<QString>("page");
        const QString ctl = QStringLiteral(RACKMIND_CTL);
        for (const char* pszWords :
             {"list", "show x", "outlet x 1 on", "set x on", "sequence run x", "history x", "report"})
            QTest::newRow(pszWords) << ctl << QString::fromLatin1(pszWords).split(QLatin1Char(' '))
                                    << QStringLiteral("rackmind-ctl");
        QTest::newRow("rackmindd") << QStringLiteral(RACKMINDD) << QStringList()
                                   << QStringLiteral("rackmindd");
        QTest::newRow("rackmind") << QStringLiteral(RACKMIND) << QStringList() << QStringLiteral("rackmind");
    }

    void optionsDocumented()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, words);
        QFETCH(QString, page);
        QProcess help;
        help.start(program, words.mid(0, 1) << QStringLiteral("--help"));
        QVERIFY(help.waitForFinished(30000) && help.exitCode() == 0);
        QSet<QString> setOffered;
        auto it =
            QRegularExpression(QStringLiteral("--[a-z][a-z.-]*")).globalMatch(help.readAllStandardOutput());
        while (it.hasNext())
            setOffered << it.next().captured();
        QVERIFY(!setOffered.isEmpty());

        const QString strSource = qEnvironmentVariable("RACKMIND_SOURCE_DIR");
        const QString strPage =
            QString::fromUtf8(readFile(strSource + QStringLiteral("/resources/debian/%1.1").arg(page)));
        QVERIFY(!strPage.isEmpty());
        if (!words.isEmpty())
            QVERIFY2(QString::fromUtf8(readFile(strSource + QStringLiteral("/README.md")))
                         .contains(page + QLatin1Char(' ') + words.first()),
                     qPrintable(words.first()));
        QProcess complete;
        const QString strName = QFileInfo(program).fileName();
        complete.start(
            QStringLiteral("bash"),
            QStringList{QStringLiteral("-c"),
                        QStringLiteral("source \"$0\"; COMP_WORDS=(\"$@\"); COMP_CWORD=$(($# - 1)); "
                                       "f=$(complete -p \"$1\"); f=${f#*-F }; ${f%% *}; "
                                       "printf '%s\\n' \"${COMPREPLY[@]}\""),
                        strSource + QStringLiteral("/cli/rackmind-ctl.bash-completion"), strName} +
                words + QStringList(QStringLiteral("--")));
        QVERIFY(complete.waitForFinished(30000));
        const QStringList listCompleted =
            QString::fromUtf8(complete.readAllStandardOutput()).split(QLatin1Char('\n'));
        for (const QString& strOption : qAsConst(setOffered)) {
            QVERIFY2(strPage.contains(QString(strOption).replace(QLatin1Char('-'), QLatin1String("\\-"))),
                     qPrintable(strOption));
            QVERIFY2(listCompleted.contains(strOption),
                     qPrintable(strOption + QLatin1Char(' ') + listCompleted.join(' ')));
        }
    }

    void commandLine()
    {
        QFETCH(CommandRow, row);
        const auto& [program, args, status, said] = row;
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        // No display at all: answers must not need one, and the console's usage error comes after the
        // toolkit took its own options, on the display-less platform.
        for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(pszName));
        if (status == 0)
            env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(program, args);
        QVERIFY(process.waitForFinished(30000));
        const QString strOut = QString::fromLocal8Bit(status == 0 ? process.readAllStandardOutput()
                                                                  : process.readAllStandardError());
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        QVERIFY2(status == 0
                     ? strOut.contains(said)
                     : strOut.startsWith(QFileInfo(program).fileName() + ": ") && strOut.contains(said),
                 qPrintable(strOut));
    }
};

QTEST_MAIN(TestUsage)
#include "tst_usage.moc"
