#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Comma-separated values as spreadsheets read them: a field with a comma, a quote or a line break is
// quoted, quotes doubled; lines end in CRLF.
namespace HistoryCsv {
QString field(const QString& strValue);
QString line(const QStringList& listFields);
// The inverse, for reading an export back.
QList<QStringList> parse(const QString& strText);
} // namespace HistoryCsv
