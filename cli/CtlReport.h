#pragma once

#include <QString>
#include <QTextStream>

#include <functional>

class CMonthlyReport;
class QIODevice;

struct CtlReportRequest
{
    QString strMonth; // YYYY-MM, checked by the caller
    QString strGroup; // empty: every group
    QString strStore; // the history store, found by the caller
    enum Format
    {
        Text,
        Csv,
        Pdf
    } format = Text;
    QString strFile; // empty: standard output (not for Pdf)
};

// The document drawn onto an open device.
using ReportPdfWriter = std::function<bool(const CMonthlyReport&, QIODevice*, QString*)>;

// `report`: the monthly report from the history store alone, the figures the console exports. Opens no
// socket. A PDF is drawn by fnPdf (the GUI module's, in a program of its own: see ReportPdfMain.cpp).
int runReport(const CtlReportRequest& req, QTextStream& out, QTextStream& err,
              const ReportPdfWriter& fnPdf = ReportPdfWriter());

// rackmind-ctl's side of a PDF: the helper program (beside rackmind-ctl in the build tree, in
// ../libexec/rackmind once installed) does it, so that rackmind-ctl itself needs no GUI library.
int runReportPdfHelper(const CtlReportRequest& req, QTextStream& err);
