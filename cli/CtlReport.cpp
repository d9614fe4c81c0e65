#include "cli/CtlReport.h"

#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "history/HistoryReader.h"
#include "power/MonthlyReport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

int runReport(const CtlReportRequest& req, QTextStream& out, QTextStream& err, const ReportPdfWriter& fnPdf)
{
    CHistoryReader reader(req.strStore);
    CMonthlyReport report;
    switch (report.build(reader, req.strMonth, req.strGroup)) {
    case CMonthlyReport::Done:
        break;
    case CMonthlyReport::Unreadable:
        err << "rackmind-ctl: " << report.error() << '\n';
        return kExitUnavailable;
    default:
        err << "rackmind-ctl: " << report.error() << '\n';
        return kExitUsage;
    }
    QString strError;
    if (req.format == CtlReportRequest::Pdf) {
        if (fnPdf(report, req.strFile, &strError))
            return kExitOk;
    } else if (req.strFile.isEmpty()) {
        if (req.format == CtlReportRequest::Csv)
            out << QString::fromUtf8(report.csv());
        else
            out << report.text();
        return kExitOk;
    } else if (report.writeCsv(req.strFile, &strError)) {
        return kExitOk;
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
