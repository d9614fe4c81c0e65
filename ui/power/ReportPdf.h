#pragma once

#include <QString>

class CMonthlyReport;
class QIODevice;

// The monthly report as a PDF (Qt's own writer): title, unit note, a table over as many pages as it
// takes, page numbers. Needs a QGuiApplication (fonts) but no display: the command line runs it on the
// "offscreen" platform.
namespace ReportPdf {
// False with the reason in *pstrError when the file cannot be written; the file is replaced only by a
// finished document.
bool write(const CMonthlyReport& report, const QString& strPath, QString* pstrError);
// The document onto an open device (a pipe from a process that read the store as its owner).
bool write(const CMonthlyReport& report, QIODevice* pDevice, QString* pstrError);
} // namespace ReportPdf
