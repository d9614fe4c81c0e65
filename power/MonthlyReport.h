#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <QVector>

class CHistoryReader;

// One line of the monthly report: a group, or a PDU's share of a group (a PDU that moved between groups
// during the month has a line under each, with what it drew while it was there).
struct MonthlyReportRow
{
    bool bGroup = false;
    QString strGroup;
    QString strPdu; // name as last labelled in the group that month (its MAC when it had none)
    QString strMac;
    qint64 iEnergy = 0;    // Energy units
    bool bComplete = true; // false: part of the span lies in rows kept before energy was
    double dPeakAmps = 0;  // group: highest hourly load; PDU: highest current of any hour
    double dP95Amps = 0;   // 95th percentile (nearest rank) of the hourly averages or loads
    int iHours = 0;        // hours with readings
    // Hours the group's load (sum of its PDUs' hourly averages) was above its derated budget; for a PDU
    // those of its hours in the group. Only meaningful when bBudget: the group had a budget some hour.
    int iHoursOver = 0;
    bool bBudget = false;
};

// The figures of one calendar month in local time, per group and per PDU, computed from the history
// file alone so that every program that reads the file reports the same figures.
class CMonthlyReport
{
    Q_DECLARE_TR_FUNCTIONS(CMonthlyReport)
public:
    // "YYYY-MM" into the month's span [*piFrom, *piTo): local midnight of the 1st to that of the next
    // month (a month with a clock change is an hour shorter or longer).
    static bool monthSpan(const QString& strMonth, qint64* piFrom, qint64* piTo);

    // The group a label's group stands for: "Default" for none (labels kept before groups were).
    static QString groupName(const QString& strLabelGroup);

    // Every group the file knows (from any label or budget), sorted: a group renamed or emptied too.
    static QStringList knownGroups(CHistoryReader& reader);

    enum Outcome
    {
        Done,
        BadMonth,
        UnknownGroup,
        Unreadable
    };
    // strGroup empty: every group. A group is known when any PDU was ever labelled with it or it ever had
    // a budget; a known group without readings that month gives an empty report.
    Outcome build(CHistoryReader& reader, const QString& strMonth, const QString& strGroup = QString());
    QString error() const { return m_strError; }

    QString month() const { return m_strMonth; }
    QString group() const { return m_strGroup; }
    // Groups first within their group's block, sorted by group name then PDU name.
    const QVector<MonthlyReportRow>& rows() const { return m_vecRows; }
    // A report built elsewhere (a service's), to be written as this one would be.
    void assign(const QString& strMonth, const QString& strGroup, const QVector<MonthlyReportRow>& vecRows)
    {
        m_strMonth = strMonth;
        m_strGroup = strGroup;
        m_vecRows = vecRows;
    }

    // The figures of a row as text, in column order of titles(): dot decimals, in every language.
    static QStringList cells(const MonthlyReportRow& row);
    // Translated column titles (text table, PDF).
    static QStringList titles();
    // A line under the table: VA, kVAh and what an unmarked or marked figure means.
    static QString unitNote();

    // UTF-8 comma-separated values with a header row and a kind column.
    QByteArray csv() const;
    // The CSV as a file, with a byte order mark so that spreadsheets read it as UTF-8; replaced only by
    // a finished file. False with the reason in *pstrError.
    bool writeCsv(const QString& strPath, QString* pstrError) const;
    // Aligned columns for a terminal.
    QString text() const;

private:
    QString m_strMonth;
    QString m_strGroup;
    QString m_strError;
    QVector<MonthlyReportRow> m_vecRows;
};
