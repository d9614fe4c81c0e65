#include "metrics/ApiHistory.h"

#include "common/HistoryEvent.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "metrics/ApiSnapshot.h"
#include "power/MonthlyReport.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

namespace {

const char* const s_apszKinds[] = {"appeared",          "offline",         "backOnline",
                                   "alarmBegan",        "alarmEnded",      "alarmAcknowledged",
                                   "outletSwitched",    "outletCycled",    "download",
                                   "mailSent",          "mailFailed",      "monitoringStarted",
                                   "monitoringStopped", "outletRefused",   "outletProtected",
                                   "outletUnprotected", "cycleStarted",    "cycleCompleted",
                                   "cycleFailed",       "cycleCancelled",  "groupWritten",
                                   "clockChanged",      "samplesDropped",  "implausibleReading",
                                   "groupAlarmBegan",   "groupAlarmEnded", "groupAlarmAcknowledged"};
static_assert(std::size(s_apszKinds) == HistoryEvent::kLastKind - HistoryEvent::kFirstKind + 1,
              "a name per kind");

struct Page
{
    qint64 iFrom = 0;
    qint64 iTo = 0;
    int iLimit = ApiHistory::kDefaultPage;
    QString strCursor;
    QString strMac;
    QString strResolution;
};

// A time as the CSV writes it (an offset or Z given), or milliseconds since the epoch.
bool parseTime(const std::string& strText, qint64* piMsecs)
{
    const QString str = QString::fromStdString(strText);
    bool bNumber = false;
    const qint64 iMsecs = str.toLongLong(&bNumber);
    if (bNumber && iMsecs >= 0) {
        *piMsecs = iMsecs;
        return true;
    }
    const QDateTime dt = QDateTime::fromString(str, Qt::ISODateWithMs);
    // A time without its offset would be read in the server's zone, which the client may not share.
    if (!dt.isValid() || dt.timeSpec() == Qt::LocalTime)
        return false;
    *piMsecs = dt.toMSecsSinceEpoch();
    return true;
}

// The query's parameters, each known, each once; false with the answer when one is not right.
bool parsePage(const ApiHistory::Params& params, const QStringList& listKnown, Page* pPage,
               ApiAnswer* pAnswer)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QString strKey = QString::fromStdString(it->first);
        const auto fail = [&](const QString& strWhy) {
            *pAnswer = apiError(400, "bad_parameter", QStringLiteral("%1: %2").arg(strKey, strWhy));
            return false;
        };
        if (!listKnown.contains(strKey))
            return fail(QStringLiteral("not taken here (%1)").arg(listKnown.join(QStringLiteral(", "))));
        if (params.count(it->first) > 1)
            return fail(QStringLiteral("given more than once"));
        if ((strKey == QLatin1String("from") && !parseTime(it->second, &pPage->iFrom)) ||
            (strKey == QLatin1String("to") && !parseTime(it->second, &pPage->iTo)))
            return fail(QStringLiteral("a time as 2026-03-01T12:00:00+01:00, or milliseconds since 1970"));
        if (strKey == QLatin1String("limit")) {
            bool bOk = false;
            pPage->iLimit = QString::fromStdString(it->second).toInt(&bOk);
            if (!bOk || pPage->iLimit < 1 || pPage->iLimit > ApiHistory::kMaxPage)
                return fail(QStringLiteral("1 to %1").arg(ApiHistory::kMaxPage));
        }
        if (strKey == QLatin1String("cursor"))
            pPage->strCursor = QString::fromStdString(it->second);
        if (strKey == QLatin1String("mac")) {
            pPage->strMac = ApiHistory::macKey(QString::fromStdString(it->second));
            if (pPage->strMac.isEmpty())
                return fail(QStringLiteral("a MAC as 02:50:44:00:00:01"));
        }
        if (strKey == QLatin1String("resolution"))
            pPage->strResolution = QString::fromStdString(it->second);
    }
    if (pPage->iTo && pPage->iTo < pPage->iFrom) {
        *pAnswer = apiError(400, "bad_parameter", QStringLiteral("to: before from"));
        return false;
    }
    return true;
}

void appendText(QByteArray& ba, const char* pszKey, const QString& str)
{
    ba += '"';
    ba += pszKey;
    ba += "\":";
    appendJsonString(ba, str);
    ba += ',';
}

template <typename T> void appendTriple(QByteArray& ba, const char* pszKey, const T (&a)[3], double dScale)
{
    ba += '"';
    ba += pszKey;
    ba += "\":[";
    for (int i = 0; i < 3; ++i) {
        ba += QByteArray::number(double(a[i]) / dScale, 'g', QLocale::FloatingPointShortest);
        ba += i < 2 ? ',' : ']';
    }
    ba += ',';
}

ApiAnswer page(const QByteArray& baList, const char* pszKey, const QString& strNext)
{
    ApiAnswer answer;
    answer.baJson = "{\"";
    answer.baJson += pszKey;
    answer.baJson += "\":[";
    answer.baJson += baList;
    if (answer.baJson.endsWith(','))
        answer.baJson.chop(1);
    answer.baJson += "],\"next\":";
    if (strNext.isEmpty())
        answer.baJson += "null";
    else
        appendJsonString(answer.baJson, strNext);
    answer.baJson += '}';
    return answer;
}

ApiAnswer unavailable(const CHistoryReader& reader)
{
    return apiError(503, "history_unavailable",
                    QStringLiteral("the history cannot be read: %1").arg(reader.error()));
}

} // namespace

QString ApiHistory::macKey(const QString& strText)
{
    QString str = strText.toUpper();
    str.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    static const QRegularExpression s_re(QStringLiteral("^[0-9A-F]{12}\\z"));
    if (!s_re.match(str).hasMatch())
        return QString();
    for (int i = 10; i > 0; i -= 2)
        str.insert(i, QLatin1Char(':'));
    return str;
}

ApiAnswer ApiHistory::events(const QString& strStorePath, const Params& params)
{
    Page p;
    ApiAnswer answer;
    if (!parsePage(params,
                   {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("mac"),
                    QStringLiteral("limit"), QStringLiteral("cursor")},
                   &p, &answer))
        return answer;
    CHistoryReader::EventFilter filter;
    filter.iFrom = p.iFrom;
    filter.iTo = p.iTo;
    filter.strMac = p.strMac;
    // One more than the page tells whether another follows.
    filter.iLimit = p.iLimit + 1;
    if (!p.strCursor.isEmpty()) {
        const QStringList list = p.strCursor.split(QLatin1Char('.'));
        bool bTime = false, bId = false;
        if (list.size() == 2) {
            filter.iAfterMsecs = list.at(0).toLongLong(&bTime);
            filter.iAfterId = list.at(1).toLongLong(&bId);
        }
        if (!bTime || !bId || filter.iAfterMsecs < 0 || filter.iAfterId < 0)
            return apiError(400, "bad_parameter",
                            QStringLiteral("cursor: as the last page's \"next\" gave it"));
    }
    if (strStorePath.isEmpty())
        return apiError(503, "history_unavailable", QStringLiteral("this program keeps no history"));
    CHistoryReader reader(strStorePath);
    QByteArray baList;
    int iCount = 0;
    QString strNext;
    HistoryEvent last;
    const bool bOk = reader.forEachEvent(filter, [&](const HistoryEvent& e) {
        if (++iCount > p.iLimit) {
            strNext = QStringLiteral("%1.%2").arg(last.iMsecs).arg(last.iId);
            return;
        }
        last = e;
        baList += '{';
        appendText(baList, "time", HistoryCsv::time(e.iMsecs, true));
        appendText(baList, "kind",
                   e.iKind >= HistoryEvent::kFirstKind && e.iKind <= HistoryEvent::kLastKind
                       ? QLatin1String(s_apszKinds[e.iKind - HistoryEvent::kFirstKind])
                       : QString::number(e.iKind));
        appendText(baList, "mac", e.strMac);
        appendText(baList, "pdu", e.strPdu);
        appendText(baList, "subject", e.strSubject);
        appendText(baList, "old", e.strOld);
        appendText(baList, "new", e.strNew);
        appendText(baList, "limit", e.strLimit);
        appendText(baList, "detail", e.strDetail);
        baList.chop(1);
        baList += "},";
    });
    return bOk ? page(baList, "events", strNext) : unavailable(reader);
}

ApiAnswer ApiHistory::readings(const QString& strStorePath, const QString& strMac, const Params& params)
{
    Page p;
    p.iTo = QDateTime::currentMSecsSinceEpoch();
    p.iFrom = p.iTo - 3600 * 1000;
    ApiAnswer answer;
    if (!parsePage(params,
                   {QStringLiteral("from"), QStringLiteral("to"), QStringLiteral("resolution"),
                    QStringLiteral("limit"), QStringLiteral("cursor")},
                   &p, &answer))
        return answer;
    const QStringList listResolutions{QStringLiteral("polls"), QStringLiteral("minutes"),
                                      QStringLiteral("hours")};
    if (!p.strResolution.isEmpty() && !listResolutions.contains(p.strResolution))
        return apiError(400, "bad_parameter", QStringLiteral("resolution: polls, minutes or hours"));
    qint64 iAfter = -1;
    if (!p.strCursor.isEmpty()) {
        bool bOk = false;
        iAfter = p.strCursor.toLongLong(&bOk);
        if (!bOk || iAfter < 0)
            return apiError(400, "bad_parameter",
                            QStringLiteral("cursor: as the last page's \"next\" gave it"));
    }
    if (strStorePath.isEmpty())
        return apiError(503, "history_unavailable", QStringLiteral("this program keeps no history"));
    CHistoryReader reader(strStorePath);
    const CHistoryReader::Resolution resolution =
        p.strResolution.isEmpty() ? reader.resolutionHolding(strMac, p.iFrom, p.iTo)
                                  : CHistoryReader::Resolution(listResolutions.indexOf(p.strResolution));
    // Points start after the cursor's: new polls only add points after the last.
    const QVector<HistoryAggregate> vec =
        reader.series(strMac, iAfter >= 0 ? std::max(iAfter + 1, p.iFrom) : p.iFrom, p.iTo, resolution);
    if (vec.isEmpty() && !reader.error().isEmpty())
        return unavailable(reader);
    QByteArray baList;
    QString strNext;
    int iCount = 0;
    qint64 iLast = 0;
    for (int i = 0; i < vec.size(); ++i) {
        const HistoryAggregate& a = vec.at(i);
        if (a.iMsecs <= iAfter)
            continue;
        if (iCount == p.iLimit) {
            strNext = QString::number(iLast);
            break;
        }
        ++iCount;
        iLast = a.iMsecs;
        baList += '{';
        appendText(baList, "time", HistoryCsv::time(a.iMsecs, true));
        appendTriple(baList, "voltage", a.aVoltage, 1);
        appendTriple(baList, "current", a.aCentiAmps, 100);
        appendTriple(baList, "temperature", a.aTemperature, 1);
        appendTriple(baList, "humidity", a.aHumidity, 1);
        baList += "\"outlets\":";
        baList += QByteArray::number(a.uiOutlets);
        baList += ",\"online\":";
        baList += QByteArray::number(a.uiOnline);
        baList += ",\"samples\":";
        baList += QByteArray::number(a.uiSamples);
        baList += "},";
    }
    answer = page(baList, "readings", strNext);
    answer.baJson.insert(1, "\"resolution\":\"" + listResolutions.value(int(resolution)).toLatin1() + "\",");
    return answer;
}

ApiAnswer ApiHistory::report(const QString& strStorePath, const Params& params)
{
    QString strMonth, strGroup;
    for (const auto& param : params) {
        const QString strKey = QString::fromStdString(param.first);
        if ((strKey != QLatin1String("month") && strKey != QLatin1String("group")) ||
            params.count(param.first) > 1)
            return apiError(
                400, "bad_parameter",
                QStringLiteral("%1: not taken here, or more than once (month, group)").arg(strKey));
        (strKey == QLatin1String("month") ? strMonth : strGroup) = QString::fromStdString(param.second);
    }
    if (strStorePath.isEmpty())
        return apiError(503, "history_unavailable", QStringLiteral("this program keeps no history"));
    CHistoryReader reader(strStorePath);
    CMonthlyReport report;
    switch (report.build(reader, strMonth, strGroup)) {
    case CMonthlyReport::Done:
        break;
    case CMonthlyReport::BadMonth:
        return apiError(400, "bad_parameter", QStringLiteral("month: as 2026-11"));
    case CMonthlyReport::UnknownGroup:
        return apiError(404, "unknown_group", report.error());
    case CMonthlyReport::Unreadable:
        return unavailable(reader);
    }
    QByteArray baList;
    for (const MonthlyReportRow& row : report.rows()) {
        baList += "{\"kind\":";
        baList += row.bGroup ? "\"group\"," : "\"pdu\",";
        appendText(baList, "group", row.strGroup);
        appendText(baList, "pdu", row.strPdu);
        appendText(baList, "mac", row.strMac);
        baList += "\"energy\":" + QByteArray::number(row.iEnergy) +
                  ",\"complete\":" + (row.bComplete ? "true" : "false") +
                  ",\"peakAmps\":" + QByteArray::number(row.dPeakAmps, 'g', QLocale::FloatingPointShortest) +
                  ",\"p95Amps\":" + QByteArray::number(row.dP95Amps, 'g', QLocale::FloatingPointShortest) +
                  ",\"hours\":" + QByteArray::number(row.iHours) +
                  ",\"hoursOver\":" + QByteArray::number(row.iHoursOver) +
                  ",\"budget\":" + (row.bBudget ? "true" : "false") + "},";
    }
    if (baList.endsWith(','))
        baList.chop(1);
    ApiAnswer answer;
    answer.baJson = "{\"month\":";
    appendJsonString(answer.baJson, strMonth);
    answer.baJson += ",\"rows\":[" + baList + "]}";
    return answer;
}
