#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Comma-separated values as spreadsheets read them: a field with a comma, a quote or a line break is
// quoted, quotes doubled; lines end in CRLF.
namespace HistoryCsv {
// A field as written. One a spreadsheet would evaluate as a formula (leading =, +, -, @, a tab or a line
// break, unless it is a plain number) gets a leading apostrophe, so that it stays text.
QString field(const QString& strValue);
// A moment in local time, ISO 8601 with its offset from UTC: the hour that repeats when the clocks go
// back reads differently the second time. bMsecs adds milliseconds.
QString time(qint64 iMsecsSinceEpoch, bool bMsecs = false);
QString line(const QStringList& listFields);
// The inverse, for reading an export back.
QList<QStringList> parse(const QString& strText);
} // namespace HistoryCsv
