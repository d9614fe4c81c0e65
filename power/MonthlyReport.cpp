#include "power/MonthlyReport.h"

#include "common/CurrentText.h"
#include "common/DeviceText.h"
#include "common/Energy.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/TimeSpans.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

using TimeSpans::kHour;
QString groupOf(const CHistoryReader::Label& label)
{
    return CMonthlyReport::groupName(label.strGroup);
}

// The label holding at t: the last one from t or before; before the first, the first (a device is
// labelled when first seen, a moment after its first readings).
const CHistoryReader::Label& labelAt(const QVector<CHistoryReader::Label>& vecLabels, qint64 t)
{
    auto it = std::upper_bound(vecLabels.begin(), vecLabels.end(), t,
                               [](qint64 iT, const CHistoryReader::Label& l) { return iT < l.iMsecs; });
    return it == vecLabels.begin() ? vecLabels.first() : *(it - 1);
}

// Nearest rank: the smallest value with at least 95 % of the values at or below it.
double percentile95(QVector<double> vec)
{
    if (vec.isEmpty())
        return 0;
    std::sort(vec.begin(), vec.end());
    const int iRank = int(std::ceil(0.95 * vec.size()));
    return vec.at(qMax(1, iRank) - 1);
}

// A PDU's part of one group in the month.
struct Share
{
    QString strName;
    QVector<qint64> vecHours;
    QVector<double> vecAverages;
    double dPeak = 0;
    qint64 iEnergy = 0;
    bool bComplete = true;
};

bool isDigit(QChar ch)
{
    return ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

// The digits of str[iFrom, iTo) without leading zeros (one kept for 0 itself).
QStringRef digits(const QString& str, int iFrom, int iTo)
{
    while (iFrom < iTo - 1 && str.at(iFrom) == QLatin1Char('0'))
        ++iFrom;
    return str.midRef(iFrom, iTo - iFrom);
}

// Names as a person orders them: "PDU 2" before "PDU 10". Runs of digits compare by value, the rest by
// code point, the same in every program and language.
int naturalCompare(const QString& a, const QString& b)
{
    int i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (!isDigit(a.at(i)) || !isDigit(b.at(j))) {
            if (a.at(i) != b.at(j))
                return a.at(i) < b.at(j) ? -1 : 1;
            ++i;
            ++j;
            continue;
        }
        const int iStartA = i, iStartB = j;
        while (i < a.size() && isDigit(a.at(i)))
            ++i;
        while (j < b.size() && isDigit(b.at(j)))
            ++j;
        const QStringRef refA = digits(a, iStartA, i), refB = digits(b, iStartB, j);
        if (refA.size() != refB.size())
            return refA.size() < refB.size() ? -1 : 1;
        if (const int iCmp = refA.compare(refB))
            return iCmp;
    }
    if (i < a.size() || j < b.size())
        return i < a.size() ? 1 : -1;
    return a.compare(b); // "PDU 07" and "PDU 7" in one order all the same
}

bool rowLess(const MonthlyReportRow& a, const MonthlyReportRow& b)
{
    if (const int iCmp = naturalCompare(a.strGroup, b.strGroup))
        return iCmp < 0;
    if (a.bGroup != b.bGroup)
        return a.bGroup;
    if (const int iCmp = naturalCompare(a.strPdu, b.strPdu))
        return iCmp < 0;
    return a.strMac < b.strMac;
}

} // namespace

QString CMonthlyReport::groupName(const QString& strLabelGroup)
{
    return strLabelGroup.isEmpty() ? QStringLiteral("Default") : strLabelGroup;
}

QStringList CMonthlyReport::knownGroups(CHistoryReader& reader)
{
    QSet<QString> setGroups;
    for (const CHistoryReader::Device& device : reader.devices()) {
        setGroups << groupName(device.strGroup);
        for (const CHistoryReader::Label& label : reader.labels(device.strMac))
            setGroups << groupOf(label);
    }
    for (const CHistoryReader::Budget& budget : reader.budgets())
        setGroups << budget.strGroup;
    QStringList listGroups = setGroups.values();
    listGroups.sort();
    return listGroups;
}

bool CMonthlyReport::monthSpan(const QString& strMonth, qint64* piFrom, qint64* piTo)
{
    // \z, not $: $ also matches before a last line break.
    static const QRegularExpression s_re(QStringLiteral("\\A(\\d{4})-(\\d{2})\\z"));
    const QRegularExpressionMatch match = s_re.match(strMonth);
    const QDate date =
        match.hasMatch() ? QDate(match.captured(1).toInt(), match.captured(2).toInt(), 1) : QDate();
    if (!date.isValid())
        return false;
    *piFrom = date.startOfDay(Qt::LocalTime).toMSecsSinceEpoch();
    *piTo = date.addMonths(1).startOfDay(Qt::LocalTime).toMSecsSinceEpoch();
    return true;
}

CMonthlyReport::Outcome CMonthlyReport::build(CHistoryReader& reader, const QString& strMonth,
                                              const QString& strGroup)
{
    m_vecRows.clear();
    m_strError.clear();
    m_strMonth = strMonth;
    m_strGroup = strGroup;
    qint64 iFrom = 0, iTo = 0;
    if (!monthSpan(strMonth, &iFrom, &iTo)) {
        m_strError = tr("a month is YYYY-MM, as 2026-11");
        return BadMonth;
    }
    const QVector<CHistoryReader::Device> vecDevices = reader.devices();
    const QVector<CHistoryReader::Budget> vecBudgets = reader.budgets();
    if (!reader.error().isEmpty()) {
        m_strError = reader.error();
        return Unreadable;
    }
    QSet<QString> setKnown;
    QHash<QString, QVector<CHistoryReader::Budget>> hashBudgets;
    for (const CHistoryReader::Budget& budget : vecBudgets) {
        setKnown << budget.strGroup;
        hashBudgets[budget.strGroup] << budget;
    }

    // Hours are the store's own hour rows: those starting within the month. Where the offset is not
    // whole hours, the month's energy follows them too, so that two months meeting inside a row add up.
    const qint64 iFirstHour = iFrom + (kHour - iFrom % kHour) % kHour;
    const qint64 iEndHour = iTo + (kHour - iTo % kHour) % kHour;
    QMap<QPair<QString, QString>, Share> mapShares; // (group, MAC)
    // Per group and hour of the month, the sum of its PDUs' average centiamperes; -1 while none read.
    const int iHours = int((iTo - iFirstHour + kHour - 1) / kHour);
    QHash<QString, QVector<qint64>> hashLoads;
    for (const CHistoryReader::Device& device : vecDevices) {
        QVector<CHistoryReader::Label> vecLabels = reader.labels(device.strMac);
        if (vecLabels.isEmpty())
            vecLabels << CHistoryReader::Label{0, device.strName, device.strPosition, device.strAddress,
                                               device.strGroup};
        for (const CHistoryReader::Label& label : qAsConst(vecLabels))
            setKnown << groupOf(label);
        // The month cut where the device's group changes, at the first hour the new label holds for.
        struct Span
        {
            qint64 iFrom, iTo;
            QString strGroup, strName;
        };
        QVector<Span> vecSpans;
        for (qint64 h = iFirstHour; h < iTo; h += kHour) {
            const CHistoryReader::Label& label = labelAt(vecLabels, h);
            const QString strHourGroup = groupOf(label);
            if (vecSpans.isEmpty() || vecSpans.last().strGroup != strHourGroup) {
                if (!vecSpans.isEmpty())
                    vecSpans.last().iTo = h;
                vecSpans.append({vecSpans.isEmpty() ? iFirstHour : h, iEndHour, strHourGroup, QString()});
            }
            vecSpans.last().strName = label.strName.isEmpty() ? device.strMac : label.strName;
        }
        if (!strGroup.isEmpty() && std::none_of(vecSpans.begin(), vecSpans.end(),
                                                [&](const Span& s) { return s.strGroup == strGroup; }))
            continue;
        // Energy from the hour summaries the figures come from; what they leave (an hour in progress, hours
        // without a summary) from the reader, which looks at minutes and polls there.
        const QVector<HistoryAggregate> vecRows =
            reader.series(device.strMac, iFrom, iTo - 1, CHistoryReader::Hours);
        int iRow = 0;
        for (const Span& span : qAsConst(vecSpans)) {
            while (iRow < vecRows.size() && vecRows.at(iRow).iMsecs < span.iFrom)
                ++iRow;
            if (!strGroup.isEmpty() && span.strGroup != strGroup)
                continue;
            Share& share = mapShares[{span.strGroup, device.strMac}];
            share.strName = span.strName;
            QVector<qint64>& vecLoad = hashLoads[span.strGroup];
            if (vecLoad.isEmpty())
                vecLoad.fill(-1, iHours);
            // Intervals ending in [iCovered, t): the reader's (from, to] shifted by a millisecond.
            qint64 iCovered = span.iFrom;
            const auto addUncovered = [&](qint64 t) {
                bool bComplete = true;
                if (t > iCovered)
                    share.iEnergy += reader.energy(device.strMac, iCovered - 1, t - 1, &bComplete);
                share.bComplete = share.bComplete && bComplete;
            };
            for (; iRow < vecRows.size() && vecRows.at(iRow).iMsecs < span.iTo; ++iRow) {
                const HistoryAggregate& agg = vecRows.at(iRow);
                addUncovered(agg.iMsecs);
                share.iEnergy += agg.iEnergy;
                share.bComplete = share.bComplete && agg.bEnergy;
                iCovered = agg.iMsecs + kHour;
                if (agg.uiOnline == 0)
                    continue;
                share.vecHours << agg.iMsecs;
                share.vecAverages << agg.aCentiAmps[1] / 100.0;
                share.dPeak = qMax(share.dPeak, agg.aCentiAmps[2] / 100.0);
                qint64& iLoad = vecLoad[int((agg.iMsecs - iFirstHour) / kHour)];
                iLoad = qMax<qint64>(iLoad, 0) + agg.aCentiAmps[1];
            }
            addUncovered(span.iTo);
        }
    }
    if (!reader.error().isEmpty()) {
        m_strError = reader.error();
        return Unreadable;
    }
    if (!strGroup.isEmpty() && !setKnown.contains(strGroup)) {
        m_strError = tr("no group \"%1\" in the history").arg(strGroup);
        return UnknownGroup;
    }

    // Hours over the budget that held at each hour's start (a budget changed within an hour counts from
    // the next one).
    QHash<QString, QSet<qint64>> hashOver;
    QSet<QString> setBudgeted;
    for (auto it = hashLoads.cbegin(); it != hashLoads.cend(); ++it) {
        const QVector<CHistoryReader::Budget> vecGroupBudgets = hashBudgets.value(it.key());
        for (int i = 0; i < it->size(); ++i) {
            const qint64 iHour = iFirstHour + i * kHour;
            auto budget =
                std::upper_bound(vecGroupBudgets.begin(), vecGroupBudgets.end(), iHour,
                                 [](qint64 t, const CHistoryReader::Budget& b) { return t < b.iMsecs; });
            if (it->at(i) < 0 || budget == vecGroupBudgets.begin() || (budget - 1)->dBreakerAmps <= 0)
                continue;
            setBudgeted << it.key();
            if (it->at(i) > (budget - 1)->dBreakerAmps * (budget - 1)->dDerating * 100.0)
                hashOver[it.key()] << iHour;
        }
    }

    QMap<QString, MonthlyReportRow> mapGroups;
    for (auto it = mapShares.cbegin(); it != mapShares.cend(); ++it) {
        if (it->vecHours.isEmpty() && it->iEnergy == 0)
            continue;
        const QString& strShareGroup = it.key().first;
        const QSet<qint64> setOver = hashOver.value(strShareGroup);
        MonthlyReportRow row;
        row.strGroup = strShareGroup;
        row.strPdu = it->strName;
        row.strMac = it.key().second;
        row.iEnergy = it->iEnergy;
        row.bComplete = it->bComplete;
        row.dPeakAmps = it->dPeak;
        row.dP95Amps = percentile95(it->vecAverages);
        row.iHours = it->vecHours.size();
        row.bBudget = setBudgeted.contains(strShareGroup);
        row.iHoursOver = int(std::count_if(it->vecHours.begin(), it->vecHours.end(),
                                           [&](qint64 h) { return setOver.contains(h); }));
        m_vecRows << row;

        MonthlyReportRow& group = mapGroups[strShareGroup];
        group.bGroup = true;
        group.strGroup = strShareGroup;
        group.iEnergy += row.iEnergy;
        group.bComplete = group.bComplete && row.bComplete;
    }
    for (auto it = mapGroups.begin(); it != mapGroups.end(); ++it) {
        QVector<double> vecLoads;
        for (const qint64 iCentiAmps : hashLoads.value(it.key()))
            if (iCentiAmps >= 0)
                vecLoads << iCentiAmps / 100.0;
        it->dPeakAmps = vecLoads.isEmpty() ? 0 : *std::max_element(vecLoads.begin(), vecLoads.end());
        it->dP95Amps = percentile95(vecLoads);
        it->iHours = vecLoads.size();
        it->bBudget = setBudgeted.contains(it.key());
        it->iHoursOver = hashOver.value(it.key()).size();
        m_vecRows << *it;
    }
    std::sort(m_vecRows.begin(), m_vecRows.end(), rowLess);
    return Done;
}

QStringList CMonthlyReport::cells(const MonthlyReportRow& row)
{
    return {row.strGroup,
            row.bGroup ? QString() : row.strPdu,
            QString::number(Energy::toKvah(row.iEnergy), 'f', 3) +
                (row.bComplete ? QString() : QStringLiteral("*")),
            currentInCsv(row.dPeakAmps),
            currentInCsv(row.dP95Amps),
            row.bBudget ? QString::number(row.iHoursOver) : QString(),
            QString::number(row.iHours)};
}

QStringList CMonthlyReport::titles()
{
    return {tr("Group"),     tr("PDU"),           tr("Energy (kVAh)"),
            tr("Peak (A)"),  tr("95th pct. (A)"), tr("Hours over budget"),
            tr("Hours read")};
}

QString CMonthlyReport::unitNote()
{
    return tr("Apparent power and energy (VA, kVAh): these PDUs measure volts and amperes, not watts. "
              "Peak and 95th percentile are of hourly figures; a group's load is the sum of its PDUs' "
              "hourly averages. A PDU's hours over budget are its group's, while it was in the group. "
              "* part of the month was recorded before energy was kept: the figure is incomplete.");
}

QByteArray CMonthlyReport::csv() const
{
    QString str = HistoryCsv::line(
        {QStringLiteral("kind"), QStringLiteral("group"), QStringLiteral("pdu"), QStringLiteral("mac"),
         QStringLiteral("energy_kvah"), QStringLiteral("energy_complete"), QStringLiteral("peak_a"),
         QStringLiteral("p95_a"), QStringLiteral("hours_over_budget"), QStringLiteral("hours")});
    for (const MonthlyReportRow& row : m_vecRows) {
        const QStringList listCells = cells(row);
        str += HistoryCsv::line({row.bGroup ? QStringLiteral("group") : QStringLiteral("pdu"), row.strGroup,
                                 listCells.at(1), row.bGroup ? QString() : row.strMac,
                                 QString::number(Energy::toKvah(row.iEnergy), 'f', 3),
                                 row.bComplete ? QStringLiteral("true") : QStringLiteral("false"),
                                 listCells.at(3), listCells.at(4), listCells.at(5), listCells.at(6)});
    }
    return str.toUtf8();
}

bool CMonthlyReport::writeCsv(const QString& strPath, QString* pstrError) const
{
    QSaveFile file(strPath);
    const QByteArray baData = QByteArrayLiteral("\xEF\xBB\xBF") + csv();
    if (file.open(QIODevice::WriteOnly) && file.write(baData) == baData.size() && file.commit())
        return true;
    *pstrError = file.errorString();
    return false;
}

QString CMonthlyReport::text() const
{
    QVector<QStringList> vecLines{titles()};
    for (const MonthlyReportRow& row : m_vecRows) {
        QStringList listCells = cells(row);
        if (!row.bGroup)
            listCells[0] = QStringLiteral("  ");
        for (QString& strCell : listCells)
            strCell = terminalText(strCell);
        vecLines << listCells;
    }
    QVector<int> vecWidths(vecLines.first().size(), 0);
    for (const QStringList& listLine : qAsConst(vecLines))
        for (int i = 0; i < listLine.size(); ++i)
            vecWidths[i] = qMax(vecWidths[i], listLine.at(i).size());
    QString str = tr("Monthly report %1").arg(m_strMonth) + QLatin1Char('\n');
    for (const QStringList& listLine : qAsConst(vecLines)) {
        QStringList listOut;
        for (int i = 0; i < listLine.size(); ++i)
            listOut << (i < 2 ? listLine.at(i).leftJustified(vecWidths.at(i))
                              : listLine.at(i).rightJustified(vecWidths.at(i)));
        QString strLine = listOut.join(QLatin1String("  "));
        while (strLine.endsWith(QLatin1Char(' ')))
            strLine.chop(1);
        str += strLine + QLatin1Char('\n');
    }
    return str + unitNote() + QLatin1Char('\n');
}
