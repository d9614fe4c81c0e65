// rackmind-report-pdf: draws `rackmind-ctl report --pdf`. A program of its own so that rackmind-ctl
// stays free of the GUI library and installs on a server without it; this one needs no display either.
// Called by rackmind-ctl only: MONTH GROUP STORE FILE, GROUP empty for every group.
#include "cli/CtlReport.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "ui/power/ReportPdf.h"

#include <QGuiApplication>

int main(int argc, char* argv[])
{
    // The offscreen platform draws fonts from fontconfig and needs no X server.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    installCtlCatalogues();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList listArgs = QCoreApplication::arguments();
    if (listArgs.size() != 5) {
        err << "rackmind-report-pdf: " << RackmindCtl::tr("run by rackmind-ctl report --pdf") << '\n';
        return kExitUsage;
    }
    CtlReportRequest req;
    req.strMonth = listArgs.at(1);
    req.strGroup = listArgs.at(2);
    req.strStore = listArgs.at(3);
    req.strFile = listArgs.at(4);
    req.format = CtlReportRequest::Pdf;
    return runReport(req, out, err, [](const CMonthlyReport& report, QIODevice* pDevice, QString* pstrWhy) {
        return ReportPdf::write(report, pDevice, pstrWhy);
    });
}
