#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Comma-separated values as spreadsheets read them: a field with a comma or a quote is quoted, quotes
// doubled; line breaks and other controls within a field show as escapes; lines end in CRLF.
namespace HistoryCsv {
// A field as written (csvField): one a spreadsheet would evaluate as a formula gets a leading apostrophe,
// so that it stays text.
QString field(const QString& strValue);
// A moment in local time, ISO 8601 with its offset from UTC: the hour that repeats when the clocks go
// back reads differently the second time. bMsecs adds milliseconds.
QString time(qint64 iMsecsSinceEpoch, bool bMsecs = false);
QString line(const QStringList& listFields);
// The inverse, for reading an export back.
QList<QStringList> parse(const QString& strText);
} // namespace HistoryCsv
