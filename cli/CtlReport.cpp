#include "cli/CtlReport.h"

#include "cli/CtlOwner.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "history/HistoryReader.h"
#include "power/MonthlyReport.h"

#include <QBuffer>
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
    // Root reads another account's store as that account; a file is written here, as whoever runs the
    // command, and replaced only by a finished document.
    if (req.format != CtlReportRequest::Pdf && req.strFile.isEmpty())
        return CtlOwner::readStore(req.strStore, out, err, [&](QTextStream& outReport) {
            CMonthlyReport report;
            const int iBuilt = buildReport(req, report, err);
            if (iBuilt == kExitOk)
                outReport << (req.format == CtlReportRequest::Csv ? QString::fromUtf8(report.csv())
                                                                  : report.text());
            return iBuilt;
        });
    const auto cannotWrite = [&](const QString& strWhy) {
        err << "rackmind-ctl: " << RackmindCtl::tr("cannot write %1: %2").arg(req.strFile, strWhy) << '\n';
        return int(kExitFailure);
    };
    QByteArray baFile;
    const int iExit = CtlOwner::readStoreBytes(req.strStore, &baFile, err, [&](QIODevice& device) {
        CMonthlyReport report;
        const int iBuilt = buildReport(req, report, err);
        if (iBuilt != kExitOk)
            return iBuilt;
        if (req.format == CtlReportRequest::Csv) {
            device.write(QByteArrayLiteral("\xEF\xBB\xBF") + report.csv());
            return int(kExitOk);
        }
        QString strWhy;
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        if (!fnPdf(report, &buffer, &strWhy))
            return cannotWrite(strWhy);
        device.write(buffer.data());
        return int(kExitOk);
    });
    if (iExit != kExitOk)
        return iExit;
    QSaveFile file(req.strFile);
    if (file.open(QIODevice::WriteOnly) && file.write(baFile) == baFile.size() && file.commit())
        return kExitOk;
    return cannotWrite(file.errorString());
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
