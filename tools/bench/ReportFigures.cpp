#include "tools/bench/ReportFigures.h"

#include "history/HistoryReader.h"
#include "power/MonthlyReport.h"
#include "tools/bench/MonthFill.h"
#include "ui/power/ReportPdf.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>

#include <cstdio>

int runReportFigures(int iPdus, int iGroups, const QString& strKeep)
{
    const QString strMonth = QStringLiteral("2026-11");
    qint64 iFrom = 0, iTo = 0;
    CMonthlyReport::monthSpan(strMonth, &iFrom, &iTo);
    QTemporaryDir dir;
    const QString strStore = dir.filePath(QStringLiteral("history.sqlite"));
    QElapsedTimer timer;
    timer.start();
    if (!fillMonth(strStore, iPdus, iGroups, iFrom, iTo)) {
        std::fprintf(stderr, "bench: could not fill %s\n", qPrintable(strStore));
        return 1;
    }
    // Budgets from before the month, so that hours over budget are counted too: a breaker a little above
    // a group's usual load. Written into the file as the store keeps them (a store opened with its clock
    // set back would take the month's rows for ones written ahead of time).
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("budgets"));
        db.setDatabaseName(strStore);
        QSqlQuery query(db);
        bool bOk = db.open() && query.prepare(QStringLiteral("INSERT INTO budget (grp, t, breaker, derating) "
                                                             "VALUES (?, ?, ?, 0.8)"));
        for (int i = 1; bOk && i <= iGroups; ++i) {
            query.addBindValue(QStringLiteral("Group %1").arg(i));
            query.addBindValue(iFrom - 3600 * 1000);
            query.addBindValue(6.5 * iPdus / iGroups);
            bOk = query.exec();
        }
        if (!bOk) {
            std::fprintf(stderr, "bench: could not set budgets: %s\n", qPrintable(query.lastError().text()));
            return 1;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("budgets"));
    const double dFill = timer.elapsed() / 1000.0;

    // A reader opened cold, as rackmind-ctl opens it: the whole of what a report costs.
    timer.restart();
    CMonthlyReport report;
    {
        CHistoryReader reader(strStore);
        if (report.build(reader, strMonth) != CMonthlyReport::Done) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(report.error()));
            return 1;
        }
    }
    const double dBuild = timer.elapsed() / 1000.0;
    timer.restart();
    const qint64 iCsvBytes = report.csv().size();
    const double dCsv = timer.elapsed() / 1000.0;
    timer.restart();
    QString strError;
    const QString strPdf = dir.filePath(QStringLiteral("report.pdf"));
    if (!ReportPdf::write(report, strPdf, &strError)) {
        std::fprintf(stderr, "bench: %s\n", qPrintable(strError));
        return 1;
    }
    const double dPdf = timer.elapsed() / 1000.0;

    std::printf("| monthly report %s, %d PDUs in %d groups | figure |\n|---|---:|\n", qPrintable(strMonth),
                iPdus, iGroups);
    std::printf("| store filled (not part of the report) | %.1f s, %.0f MB |\n", dFill,
                QFileInfo(strStore).size() / 1e6);
    std::printf("| rows (groups and PDUs) | %d |\n", int(report.rows().size()));
    std::printf("| figures computed from the file | %.2f s |\n", dBuild);
    std::printf("| CSV made | %.3f s, %lld bytes |\n", dCsv, iCsvBytes);
    std::printf("| PDF drawn | %.2f s, %.0f kB |\n", dPdf, QFileInfo(strPdf).size() / 1e3);
    std::printf("| report total (figures + PDF) | %.2f s |\n", dBuild + dPdf);
    if (!strKeep.isEmpty()) {
        QFile::remove(strKeep);
        if (!QFile::copy(strStore, strKeep)) {
            std::fprintf(stderr, "bench: could not keep the store at %s\n", qPrintable(strKeep));
            return 1;
        }
    }
    return 0;
}
