#include "cli/CtlReport.h"

#include "cli/CtlOwner.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "history/HistoryReader.h"
#include "power/MonthlyReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace {
// The report built from the store; kExitOk or the exit code with the reason told on err.
int buildReport(const CtlReportRequest& req, CMonthlyReport& report, QTextStream& err)
{
    CHistoryReader reader(req.strStore);
    switch (report.build(reader, req.strMonth, req.strGroup)) {
    case CMonthlyReport::Done:
        return kExitOk;
    case CMonthlyReport::Unreadable:
        err << "rackmind-ctl: " << report.error() << '\n';
        return kExitUnavailable;
    default:
        err << "rackmind-ctl: " << report.error() << '\n';
        return kExitUsage;
    }
}
} // namespace

int runReport(const CtlReportRequest& req, QTextStream& out, QTextStream& err, const ReportPdfWriter& fnPdf)
{
    QString strError;
    if (req.format == CtlReportRequest::Pdf) {
        CMonthlyReport report;
        const int iExit = buildReport(req, report, err);
        if (iExit != kExitOk || fnPdf(report, req.strFile, &strError))
            return iExit;
    } else {
        // Root reads another account's store as that account; the file is written here, as whoever
        // runs the command.
        QString strCsv;
        QTextStream csv(&strCsv);
        const bool bFile = !req.strFile.isEmpty();
        const int iExit =
            CtlOwner::readStore(req.strStore, bFile ? csv : out, err, [&](QTextStream& outReport) {
                CMonthlyReport report;
                const int iBuilt = buildReport(req, report, err);
                if (iBuilt == kExitOk)
                    outReport << (req.format == CtlReportRequest::Csv ? QString::fromUtf8(report.csv())
                                                                      : report.text());
                return iBuilt;
            });
        if (iExit != kExitOk || !bFile)
            return iExit;
        csv.flush();
        QSaveFile file(req.strFile);
        const QByteArray baData = QByteArrayLiteral("\xEF\xBB\xBF") + strCsv.toUtf8();
        if (file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size() && file.commit())
            return kExitOk;
        strError = file.errorString();
    }
    err << "rackmind-ctl: " << RackmindCtl::tr("cannot write %1: %2").arg(req.strFile, strError) << '\n';
    return kExitFailure;
}

int runReportPdfHelper(const CtlReportRequest& req, QTextStream& err)
{
    const QDir dir(QCoreApplication::applicationDirPath());
    QString strHelper = dir.filePath(QStringLiteral("rackmind-report-pdf"));
    if (!QFileInfo(strHelper).isExecutable())
        strHelper = dir.filePath(QStringLiteral("../libexec/rackmind/rackmind-report-pdf"));
    if (!QFileInfo(strHelper).isExecutable()) {
        err << "rackmind-ctl: " << RackmindCtl::tr("PDF output needs the package rackmind-report-pdf")
            << '\n';
        return kExitFailure;
    }
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedChannels);
    helper.start(strHelper, {req.strMonth, req.strGroup, req.strStore, req.strFile});
    if (!helper.waitForFinished(-1) || helper.exitStatus() != QProcess::NormalExit) {
        err << "rackmind-ctl: "
            << RackmindCtl::tr("cannot write %1: %2").arg(req.strFile, helper.errorString()) << '\n';
        return kExitFailure;
    }
    return helper.exitCode();
}
