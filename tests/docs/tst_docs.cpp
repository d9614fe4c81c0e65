#include "metrics/MetricsText.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QtTest>

// What an operator reads against what the build makes and the endpoint serves: a package left out of the
// README is one nobody installs, a family missing from the service page one nobody finds, and a family
// the pages cite that is no longer served an alert rule that never fires.
class TestDocs : public QObject
{
    Q_OBJECT

    static QString source(const QString& strPath)
    {
        QFile file(qEnvironmentVariable("RACKMIND_SOURCE_DIR") + QLatin1Char('/') + strPath);
        if (!file.open(QIODevice::ReadOnly))
            qFatal("cannot read %s", qPrintable(file.fileName()));
        return QString::fromUtf8(file.readAll());
    }

    static QStringList captures(const QString& strText, const QString& strPattern)
    {
        QStringList list;
        auto it = QRegularExpression(strPattern).globalMatch(strText);
        while (it.hasNext())
            list << it.next().captured(1);
        list.removeDuplicates();
        return list;
    }

    // Every family the page can hold: the energy counter and the store's state appear only with a
    // history store behind it.
    static QStringList servedFamilies()
    {
        MetricsTotals totals;
        totals.iHistoryAvailable = 1;
        totals.hashEnergyUnits.insert(QStringLiteral("00:04:A3:0B:0C:FF"), 1);
        return captures(QString::fromUtf8(renderMetrics({}, totals)),
                        QStringLiteral("(?m)^# TYPE (rackmind_[a-z_]+) "));
    }

private slots:
    void packageInReadme_data()
    {
        QTest::addColumn<QString>("package");
        const QString strPackaging = source(QStringLiteral("cmake/Package.cmake"));
        const QStringList listComponents =
            captures(strPackaging, QStringLiteral("set\\(CPACK_COMPONENTS_ALL ([a-z ]+)\\)"))
                .value(0)
                .split(QLatin1Char(' '));
        QVERIFY(!listComponents.isEmpty());
        for (const QString& strComponent : listComponents) {
            const QString strName =
                captures(strPackaging, QStringLiteral("set\\(CPACK_DEBIAN_%1_PACKAGE_NAME ([a-z-]+)\\)")
                                           .arg(strComponent.toUpper()))
                    .value(0);
            QVERIFY2(!strName.isEmpty(), qPrintable(strComponent));
            QTest::newRow(qPrintable(strName)) << strName;
        }
    }

    void packageInReadme()
    {
        QFETCH(QString, package);
        QVERIFY2(source(QStringLiteral("README.md")).contains(QLatin1Char('`') + package + QLatin1Char('`')),
                 qPrintable(package));
    }

    // The layout table names every top folder of the tree (build folders aside).
    void folderInLayout()
    {
        const QString strReadme = source(QStringLiteral("README.md"));
        const QStringList listFolders =
            QDir(qEnvironmentVariable("RACKMIND_SOURCE_DIR")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(listFolders.size() > 10);
        for (const QString& strFolder : listFolders)
            if (!strFolder.startsWith(QLatin1String("build")))
                QVERIFY2(strReadme.contains(QStringLiteral("| `%1/`").arg(strFolder)), qPrintable(strFolder));
    }

    void familyOnServicePage()
    {
        const QStringList listServed = servedFamilies();
        QVERIFY(listServed.size() > 10);
        const QString strPage = source(QStringLiteral("docs/service.md"));
        for (const QString& strFamily : listServed)
            QVERIFY2(strPage.contains(QLatin1Char('`') + strFamily + QLatin1Char('`')),
                     qPrintable(strFamily));
    }

    // Library names share the prefix; anything else that looks like a family must be served.
    void citedFamiliesServed()
    {
        const QString strRoot = qEnvironmentVariable("RACKMIND_SOURCE_DIR");
        QStringList listLibraries;
        QDirIterator it(strRoot, {QStringLiteral("CMakeLists.txt")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            listLibraries << captures(source(QDir(strRoot).relativeFilePath(it.next())),
                                      QStringLiteral("(?:rackmind_room|add_library)\\((rackmind_[a-z_]+)"));
        const QStringList listServed = servedFamilies();
        for (const char* pszPage : {"README.md", "docs/service.md", "docs/alarms.md", "docs/power.md",
                                    "docs/history.md", "docs/rackmind-alerts.yml"}) {
            for (const QString& strName :
                 captures(source(QLatin1String(pszPage)), QStringLiteral("\\b(rackmind_[a-z_]+)"))) {
                if (!listLibraries.contains(strName))
                    QVERIFY2(listServed.contains(strName),
                             qPrintable(QLatin1String(pszPage) + QStringLiteral(": ") + strName));
            }
        }
    }
};

QTEST_MAIN(TestDocs)
#include "tst_docs.moc"
