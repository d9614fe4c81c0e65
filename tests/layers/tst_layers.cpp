#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

namespace {
// The rooms, bottom first, and the rooms each may include from besides itself. A room uses only rooms
// below it, so no arrow points up and no two rooms depend on each other; docs/architecture.md draws
// this table. A new arrow is a decision about the architecture: make it here and there together.
struct Room
{
    const char* pszName;
    QStringList listUses;
};
const QList<Room> kRooms = {
    {"common", {}},
    {"settings", {"common"}},
    {"device", {"settings", "common"}},
    {"mail", {"common"}},
    {"history", {"device", "settings", "common"}},
    {"power", {"history", "device", "settings", "common"}},
    {"room", {"power", "history", "mail", "device", "settings", "common"}},
    {"snmp", {"room", "power", "history", "mail", "device", "settings", "common"}},
    {"metrics", {"room", "power", "history", "mail", "device", "settings", "common"}},
    {"service", {"metrics", "snmp", "room", "power", "history", "mail", "device", "settings", "common"}},
    {"cli", {"power", "history", "device", "settings", "common"}},
    {"ui", {"metrics", "snmp", "room", "power", "history", "mail", "device", "settings", "common"}},
    {"app", {"ui", "metrics", "snmp", "room", "power", "history", "mail", "device", "settings", "common"}},
    // Programs and figures for developers: anything of the rooms, nothing of the tests.
    {"tools",
     {"app", "ui", "cli", "service", "metrics", "snmp", "room", "power", "history", "mail", "device",
      "settings", "common"}},
};
// Single headers a room may take from a room it does not otherwise use: the PDF helper of the command
// line draws the report with the windows' layout, and links only that (rackmind_report).
const QHash<QString, QStringList> kDoors = {
    {QStringLiteral("cli"), {QStringLiteral("ui/power/ReportPdf.h")}}};

QHash<QString, QStringList> allowedUses()
{
    QHash<QString, QStringList> hash;
    for (const Room& room : kRooms)
        hash.insert(QLatin1String(room.pszName), room.listUses);
    return hash;
}

// The project file an include line of strFile (both relative to the source root) names, or nothing when
// it names a file of the same folder or a header from outside the project.
QString includedFile(const QDir& dirSource, const QString& strFile, QChar cOpen, const QString& strTarget)
{
    const bool bQuoted = cOpen == QLatin1Char('"');
    const QString strBeside = QFileInfo(strFile).path() + QLatin1Char('/') + strTarget;
    QString strPath;
    // The compiler looks beside the file first for "...", then in the source root, the project's
    // include path, for "..." and <...> alike.
    if (bQuoted &&
        (strTarget.startsWith(QLatin1Char('.')) || QFileInfo::exists(dirSource.filePath(strBeside))))
        strPath = strBeside;
    else if (bQuoted || QFileInfo::exists(dirSource.filePath(strTarget)))
        strPath = strTarget;
    else
        return QString(); // a system or third-party header
    strPath = QDir::cleanPath(strPath);
    // A bare name reaches a file of the same folder, or one the build makes.
    return strPath.contains(QLatin1Char('/')) ? strPath : QString();
}
} // namespace

class TestLayers : public QObject
{
    Q_OBJECT
private slots:
    // However an include line spells its path, the file it reaches is judged by the room it lies in.
    void includeNamesItsFile_data()
    {
        QTest::addColumn<QString>("strFile");
        QTest::addColumn<QString>("strLine");
        QTest::addColumn<QString>("strReached");
        const auto row = [](const char* pszName, const char* pszFile, const char* pszLine,
                            const char* pszReached) {
            QTest::newRow(pszName) << QString::fromLatin1(pszFile) << QString::fromLatin1(pszLine)
                                   << QString::fromLatin1(pszReached);
        };
        row("bracketed project header", "settings/Settings.cpp", "<device/Pdu.h>", "device/Pdu.h");
        row("up a folder", "device/Pdu.cpp", "\"../history/HistoryStore.h\"", "history/HistoryStore.h");
        row("up two folders", "ui/system/SmtpConfigWidget.cpp", "\"../../app/AppShell.h\"", "app/AppShell.h");
        row("through an allowed room", "power/MonthlyReport.cpp", "\"history/../room/Room.h\"",
            "room/Room.h");
        row("own room's file", "device/Pdu.cpp", "\"device/Pdu.h\"", "device/Pdu.h");
        row("outside the tree", "device/Pdu.cpp", "\"../../x/y.h\"", "../x/y.h");
        row("system header", "device/Pdu.cpp", "<sys/socket.h>", "");
        row("Qt header", "device/Pdu.cpp", "<QString>", "");
    }
    void includeNamesItsFile()
    {
        QFETCH(QString, strFile);
        QFETCH(QString, strLine);
        QFETCH(QString, strReached);
        const QDir dirSource(qEnvironmentVariable("RACKMIND_SOURCE_DIR"));
        QCOMPARE(includedFile(dirSource, strFile, strLine.at(0), strLine.mid(1, strLine.size() - 2)),
                 strReached);
    }

    // Every room in the table uses only rooms listed before it: the map itself has no cycle.
    void mapPointsDown()
    {
        QStringList listBelow;
        for (const Room& room : kRooms) {
            for (const QString& strUsed : room.listUses)
                QVERIFY2(listBelow.contains(strUsed),
                         qPrintable(QStringLiteral("%1 uses %2, which is not below it")
                                        .arg(QLatin1String(room.pszName), strUsed)));
            listBelow << QLatin1String(room.pszName);
        }
    }

    // Every folder with sources is a room of the map, or the tests: a new folder is not left unread.
    void everyFolderIsARoom()
    {
        const QDir dirSource(qEnvironmentVariable("RACKMIND_SOURCE_DIR"));
        const QHash<QString, QStringList> hashUses = allowedUses();
        for (const QString& strFolder : dirSource.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            if (hashUses.contains(strFolder) || strFolder == QLatin1String("tests") ||
                QFile::exists(dirSource.filePath(strFolder + QStringLiteral("/CMakeCache.txt"))))
                continue;
            QDirIterator it(dirSource.filePath(strFolder), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                            QDir::Files, QDirIterator::Subdirectories);
            QVERIFY2(!it.hasNext(),
                     qPrintable(strFolder + QStringLiteral(" holds sources but is no room of the map")));
        }
    }

    // Every include of every source file of a room names its own room or one it may use.
    void includesFollowTheMap()
    {
        const QDir dirSource(qEnvironmentVariable("RACKMIND_SOURCE_DIR"));
        QVERIFY(dirSource.exists(QStringLiteral("common")));
        const QHash<QString, QStringList> hashUses = allowedUses();
        const QRegularExpression reInclude(QStringLiteral("^\\s*#\\s*include\\s*([<\"])([^>\"]+)[>\"]"),
                                           QRegularExpression::MultilineOption);
        QStringList listWrong;
        int iFiles = 0;
        for (auto it = hashUses.cbegin(); it != hashUses.cend(); ++it) {
            QDirIterator dirIt(dirSource.filePath(it.key()), {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                               QDir::Files, QDirIterator::Subdirectories);
            while (dirIt.hasNext()) {
                QFile file(dirIt.next());
                QVERIFY(file.open(QIODevice::ReadOnly));
                ++iFiles;
                const QString strText = QString::fromUtf8(file.readAll());
                for (auto match = reInclude.globalMatch(strText); match.hasNext();) {
                    const QRegularExpressionMatch m = match.next();
                    const QString strTarget =
                        includedFile(dirSource, dirSource.relativeFilePath(file.fileName()),
                                     m.captured(1).at(0), m.captured(2));
                    const QString strRoom = strTarget.section(QLatin1Char('/'), 0, 0);
                    if (strTarget.isEmpty() || strRoom == it.key())
                        continue;
                    if (it.value().contains(strRoom) || kDoors.value(it.key()).contains(strTarget))
                        continue;
                    const int iLine = strText.left(m.capturedStart()).count(QLatin1Char('\n')) + 1;
                    listWrong << QStringLiteral("%1:%2: %3 -> %4 (\"%5\"); %3 may use: %6")
                                     .arg(dirSource.relativeFilePath(file.fileName()))
                                     .arg(iLine)
                                     .arg(it.key(), strRoom, strTarget,
                                          it.value().isEmpty() ? QStringLiteral("nothing")
                                                               : it.value().join(QStringLiteral(", ")));
                }
            }
        }
        QVERIFY(iFiles > 100);
        listWrong.sort();
        QVERIFY2(listWrong.isEmpty(), qPrintable(QLatin1Char('\n') + listWrong.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestLayers)
#include "tst_layers.moc"
