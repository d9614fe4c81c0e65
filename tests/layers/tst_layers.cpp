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
    {"metrics", {"room", "power", "history", "mail", "device", "settings", "common"}},
    {"service", {"metrics", "room", "power", "history", "mail", "device", "settings", "common"}},
    {"cli", {"power", "history", "device", "settings", "common"}},
    {"ui", {"metrics", "room", "power", "history", "mail", "device", "settings", "common"}},
    {"app", {"ui", "metrics", "room", "power", "history", "mail", "device", "settings", "common"}},
    // Programs and figures for developers: anything of the rooms, nothing of the tests.
    {"tools",
     {"app", "ui", "cli", "service", "metrics", "room", "power", "history", "mail", "device", "settings",
      "common"}},
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
} // namespace

class TestLayers : public QObject
{
    Q_OBJECT
private slots:
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

    // Every quoted include of every source file of a room names its own room or one it may use.
    void includesFollowTheMap()
    {
        const QDir dirSource(qEnvironmentVariable("RACKMIND_SOURCE_DIR"));
        QVERIFY(dirSource.exists(QStringLiteral("common")));
        const QHash<QString, QStringList> hashUses = allowedUses();
        const QRegularExpression reInclude(QStringLiteral("^\\s*#\\s*include\\s*\"([^\"]+)\""),
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
                    const QString strTarget = m.captured(1);
                    const QString strRoom = strTarget.section(QLatin1Char('/'), 0, 0);
                    // Files of the same folder and system-style headers are no arrow between rooms.
                    if (!strTarget.contains(QLatin1Char('/')) || strRoom == it.key())
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
