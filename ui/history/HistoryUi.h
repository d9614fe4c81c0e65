#pragma once

#include "history/HistoryCodec.h"

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QDialog;
class CHistoryStore;
class QLabel;
class QWidget;

// What the history and events windows share: the spans offered, the words for event kinds and alarm
// conditions, the unavailable notice and the CSV file writer.
class HistoryUi
{
    Q_DECLARE_TR_FUNCTIONS(HistoryUi)
public:
    enum Span
    {
        SpanHour,
        SpanDay,
        SpanWeek,
        SpanMonth,
        SpanYear,
        SpanCustom
    };
    static qint64 spanMsecs(int iSpan);
    // Points further apart than this (or offline) have a gap between them: no data, not a line.
    static qint64 gapMsecs(const QVector<HistoryAggregate>& vecPoints);
    // Fills a span box in the user's language, keeping its choice; bCustom adds the custom span,
    // otherwise "All" takes its place.
    static void fillSpans(QComboBox* pCombo, bool bCustom);
    static QString kindName(int iKind);
    // A stored English condition or field name in the user's language; others as they are.
    static QString termName(const QString& strTerm);
    // Empty while the store can be used.
    static QString unavailableNotice(const CHistoryStore* pStore);
    // A history window's common make-up: its name, closing deletes it, resizable from this size (or
    // the screen's available area where that is smaller), centred on the main window's screen.
    static void prepareWindow(QDialog* pWindow, const char* pszObjectName, int iWidth, int iHeight);
    // The red line that says why history is unavailable, hidden while it is.
    static QLabel* createNotice();
    static void updateNotice(QLabel* pNotice, const CHistoryStore* pStore);
    // Asks where to, then writes with fnWrite; a failure is shown in a message box.
    static void exportWithDialog(QWidget* pParent,
                                 const std::function<bool(const QString&, QString*)>& fnWrite);
    // Writes the rows as CSV (UTF-8 with a byte order mark, which spreadsheets need to see it).
    static bool writeCsv(const QString& strPath, const QList<QStringList>& listRows, QString* pError);
    // Rows handed over one at a time by fnRows, which returns false when it could not read them all.
    using RowSink = std::function<void(const QStringList&)>;
    static bool writeCsv(const QString& strPath, const std::function<bool(const RowSink&)>& fnRows,
                         QString* pError);
};
