#include "history/HistoryReader.h"
#include "history/TimeSpans.h"

#include "common/Energy.h"
#include "history/HistoryStore.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <limits>

namespace {
using namespace TimeSpans;
std::atomic<int> s_iConnections{0};
// Every poll: the finished minutes and each device's minute in progress, which wins where a wall clock
// set back made it a minute the finished ones hold too.
// Files before version 3 kept it among the others.
const char kRawRows[] = "(SELECT pdu, t, data FROM raw_open UNION ALL SELECT pdu, t, data FROM raw o "
                        "WHERE NOT EXISTS (SELECT 1 FROM raw_open n WHERE n.pdu = o.pdu AND n.t = o.t))";
constexpr int kEnergyVersion = 3;
// How long a point of each resolution stands for: a poll is an instant, a summary its minute or hour.
constexpr qint64 kPointSpan[] = {0, kMinute, kHour};
} // namespace

CHistoryReader::CHistoryReader(const QString& strPath)
    : m_strPath(strPath), m_strConnection(QStringLiteral("history-reader-%1").arg(++s_iConnections))
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
    m_db.setDatabaseName(strPath);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
}

CHistoryReader::~CHistoryReader()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_strConnection);
}

CHistoryReader::Resolution CHistoryReader::resolutionFor(qint64 iSpanMsecs)
{
    if (iSpanMsecs <= 3 * kHour)
        return EveryPoll;
    return iSpanMsecs <= 8 * kDay ? Minutes : Hours;
}

CHistoryReader::Resolution CHistoryReader::resolutionHolding(const QString& strMac, qint64 iFrom, qint64 iTo)
{
    static const char* const kTables[] = {"raw", "agg_minute", "agg_hour"};
    // How late the first point may start and still count as the span's start.
    static const qint64 kSlack[] = {kMinute, kMinute, kHour};
    const Resolution finest = resolutionFor(iTo - iFrom);
    if (!ready())
        return finest;
    int iHolding = -1;
    // The first point of the finer resolutions read so far. A summary is stamped at the start of its
    // minute or hour, earlier than the polls in it: one that begins within its own span of that point
    // holds nothing older than the finer rows show.
    qint64 iFinerFirst = std::numeric_limits<qint64>::max();
    for (int r = finest; r <= Hours; ++r) {
        QSqlQuery query(m_db);
        query.setForwardOnly(true);
        query.prepare(
            QStringLiteral("SELECT t, data FROM %1 WHERE pdu = (SELECT id FROM pdu WHERE mac = ?) "
                           "ORDER BY t LIMIT 1")
                .arg(QLatin1String(r == EveryPoll && m_iVersion >= kEnergyVersion ? kRawRows : kTables[r])));
        query.addBindValue(strMac);
        if (!query.exec() || !query.next())
            continue;
        const qint64 iRow = query.value(0).toLongLong();
        const QByteArray baData = query.value(1).toByteArray();
        qint64 iFirst = iRow;
        if (r == EveryPoll) {
            const QVector<HistorySample> vec = HistoryCodec::unpackSamples(baData, iRow);
            iFirst = vec.isEmpty() ? iRow : vec.first().iMsecs;
        } else {
            const QVector<HistoryAggregate> vec = HistoryCodec::unpackAggregates(baData, iRow);
            iFirst = vec.isEmpty() ? iRow : vec.first().iMsecs;
        }
        if (iFinerFirst != std::numeric_limits<qint64>::max() && iFirst + kPointSpan[r] > iFinerFirst)
            continue;
        if (iFirst <= iFrom + kSlack[r])
            return Resolution(r);
        if (iHolding < 0 && iFirst <= iTo)
            iHolding = r;
        iFinerFirst = qMin(iFinerFirst, iFirst);
    }
    return iHolding < 0 ? finest : Resolution(iHolding);
}

QString CHistoryReader::groupColumn() const
{
    return m_iVersion >= kEnergyVersion ? QStringLiteral("l.grp") : QStringLiteral("NULL");
}

bool CHistoryReader::ready()
{
    if (m_db.isOpen())
        return true;
    if (!CHistoryStore::checkFiles(m_strPath, &m_strError))
        return false;
    const QFileInfo info(m_strPath);
    if (info.isFile() && !QFileInfo::exists(m_strPath + QLatin1String("-shm")) &&
        !QFileInfo(info.absolutePath()).isWritable()) {
        // No writer has the store open, and this user cannot make the files beside it that reading a
        // WAL store takes (another user's store, such as the service's): the file is read as it stands.
        m_db.setDatabaseName(QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                             QLatin1String("?immutable=1"));
        m_db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=2000"));
    }
    if (!info.isFile() || !m_db.open()) {
        m_strError = CHistoryStore::tr("the history file %1 cannot be opened").arg(m_strPath);
        return false;
    }
    // A file of an earlier version that no writer has opened since is read as it stands.
    QSqlQuery query(m_db);
    if (query.exec(QStringLiteral("PRAGMA user_version")) && query.next())
        m_iVersion = query.value(0).toInt();
    return true;
}

QVector<HistoryAggregate> CHistoryReader::series(const QString& strMac, qint64 iFrom, qint64 iTo,
                                                 Resolution resolution)
{
    QVector<HistoryAggregate> vec;
    if (resolution == EveryPoll) {
        for (const HistorySample& sample : polls(strMac, iFrom, iTo)) {
            HistoryAggregate agg;
            agg.iMsecs = sample.iMsecs;
            agg.add(sample);
            vec.append(agg);
        }
        return vec;
    }
    forEachRow(resolution, strMac, iFrom, iTo, [&](qint64 iRow, const QByteArray& baData) {
        for (const HistoryAggregate& agg : HistoryCodec::unpackAggregates(baData, iRow))
            // A point covers a minute or an hour: the one the span starts in belongs to it.
            if (agg.iMsecs > iFrom - kPointSpan[resolution] && agg.iMsecs <= iTo)
                vec.append(agg);
    });
    return vec;
}

QVector<HistorySample> CHistoryReader::polls(const QString& strMac, qint64 iFrom, qint64 iTo)
{
    QVector<HistorySample> vec;
    forEachRow(EveryPoll, strMac, iFrom, iTo, [&](qint64 iRow, const QByteArray& baData) {
        for (const HistorySample& sample : HistoryCodec::unpackSamples(baData, iRow))
            if (sample.iMsecs >= iFrom && sample.iMsecs <= iTo)
                vec.append(sample);
    });
    return vec;
}

bool CHistoryReader::forEachRow(int iResolution, const QString& strMac, qint64 iFrom, qint64 iTo,
                                const std::function<void(qint64, const QByteArray&)>& fnRow)
{
    if (!ready())
        return false;
    static const char* const kTables[] = {"raw", "agg_minute", "agg_hour"};
    static const qint64 kRowSpan[] = {kMinute, kHour, kDay};
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT r.t, r.data FROM %1 r JOIN pdu p ON p.id = r.pdu "
                                 "WHERE p.mac = ? AND r.t > ? AND r.t <= ? ORDER BY r.t")
                      .arg(QLatin1String(iResolution == EveryPoll && m_iVersion >= kEnergyVersion
                                             ? kRawRows
                                             : kTables[iResolution])));
    query.addBindValue(strMac);
    query.addBindValue(iFrom - kRowSpan[iResolution]);
    query.addBindValue(iTo);
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    while (query.next())
        fnRow(query.value(0).toLongLong(), query.value(1).toByteArray());
    return true;
}

QVector<HistoryEvent> CHistoryReader::events(const EventFilter& filter)
{
    QVector<HistoryEvent> vec;
    forEachEvent(filter, [&vec](const HistoryEvent& e) { vec.append(e); });
    return vec;
}

bool CHistoryReader::forEachEvent(const EventFilter& filter,
                                  const std::function<void(const HistoryEvent&)>& fnEach)
{
    if (!ready())
        return false;
    QString strSql = QStringLiteral(
        "SELECT t, kind, mac, pdu, subject, old, new, lim, detail, id FROM event WHERE t >= ?");
    QVariantList listBind{filter.iFrom};
    if (filter.iAfterMsecs >= 0) {
        strSql += QStringLiteral(" AND (t < ? OR (t = ? AND id < ?))");
        listBind << filter.iAfterMsecs << filter.iAfterMsecs << filter.iAfterId;
    }
    if (filter.iTo > 0) {
        strSql += QStringLiteral(" AND t <= ?");
        listBind << filter.iTo;
    }
    if (!filter.strMac.isEmpty()) {
        strSql += QStringLiteral(" AND mac = ?");
        listBind << filter.strMac;
    }
    if (!filter.listKinds.isEmpty()) {
        QStringList listKinds;
        for (int iKind : filter.listKinds)
            listKinds << QString::number(iKind);
        strSql += QStringLiteral(" AND kind IN (") + listKinds.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    if (!filter.strText.isEmpty()) {
        // instr() rather than LIKE, so that '%' and '_' in the search are plain characters.
        strSql += QStringLiteral(
            " AND instr(lower(coalesce(pdu,'') || ' ' || coalesce(mac,'') || ' ' || "
            "coalesce(subject,'') || ' ' || coalesce(old,'') || ' ' || coalesce(new,'') || ' ' "
            "|| coalesce(lim,'') || ' ' || coalesce(detail,'')), lower(?)) > 0");
        listBind << filter.strText;
    }
    strSql += QStringLiteral(" ORDER BY t DESC, id DESC");
    if (filter.iLimit > 0)
        strSql += QStringLiteral(" LIMIT %1").arg(filter.iLimit);
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(strSql);
    for (const QVariant& value : qAsConst(listBind))
        query.addBindValue(value);
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return false;
    }
    while (query.next()) {
        HistoryEvent e;
        e.iMsecs = query.value(0).toLongLong();
        e.iKind = query.value(1).toInt();
        e.strMac = query.value(2).toString();
        e.strPdu = query.value(3).toString();
        e.strSubject = query.value(4).toString();
        e.strOld = query.value(5).toString();
        e.strNew = query.value(6).toString();
        e.strLimit = query.value(7).toString();
        e.strDetail = query.value(8).toString();
        e.iId = query.value(9).toLongLong();
        fnEach(e);
    }
    if (query.lastError().isValid()) {
        m_strError = query.lastError().text();
        return false;
    }
    return true;
}

QVector<CHistoryReader::Device> CHistoryReader::devices()
{
    QVector<Device> vec;
    if (!ready())
        return vec;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
                        "SELECT p.mac, l.name, l.position, l.address, %1 FROM pdu p LEFT JOIN pdu_label l ON "
                        "l.pdu = p.id AND "
                        "l.t = (SELECT max(t) FROM pdu_label WHERE pdu = p.id) ORDER BY l.name, p.mac")
                        .arg(groupColumn()))) {
        m_strError = query.lastError().text();
        return vec;
    }
    while (query.next())
        vec.append({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                    query.value(3).toString(), query.value(4).toString()});
    return vec;
}

QVector<StoredAlarm> CHistoryReader::standingAlarms()
{
    QVector<StoredAlarm> vec;
    if (!ready())
        return vec;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT mac, condition, since, acknowledged, acknowledged_by, address FROM alarm_state"))) {
        m_strError = query.lastError().text();
        return vec;
    }
    while (query.next()) {
        StoredAlarm alarm;
        alarm.strMac = query.value(0).toString();
        alarm.iCondition = query.value(1).toInt();
        alarm.iSince = query.value(2).toLongLong();
        alarm.iAcknowledged = query.value(3).toLongLong();
        alarm.strAcknowledgedBy = query.value(4).toString();
        alarm.strAddress = query.value(5).toString();
        vec << alarm;
    }
    return vec;
}

QVector<CHistoryReader::Label> CHistoryReader::labels(const QString& strMac)
{
    QVector<Label> vec;
    if (!ready())
        return vec;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT l.t, l.name, l.position, l.address, %1 FROM pdu_label l JOIN pdu p "
                                 "ON p.id = l.pdu WHERE p.mac = ? ORDER BY l.t")
                      .arg(groupColumn()));
    query.addBindValue(strMac);
    if (!query.exec()) {
        m_strError = query.lastError().text();
        return vec;
    }
    while (query.next())
        vec.append({query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toString(),
                    query.value(3).toString(), query.value(4).toString()});
    return vec;
}

QVector<CHistoryReader::Budget> CHistoryReader::budgets()
{
    QVector<Budget> vec;
    if (!ready())
        return vec;
    if (m_iVersion < kEnergyVersion)
        return vec;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT t, grp, breaker, derating FROM budget ORDER BY t, grp"))) {
        m_strError = query.lastError().text();
        return vec;
    }
    while (query.next())
        vec.append({query.value(0).toLongLong(), query.value(1).toString(), query.value(2).toDouble(),
                    query.value(3).toDouble()});
    return vec;
}

namespace {
// Calls fnStretch for each stretch of [iFrom, iTo) that no span of setCovered (spans iSpan long, aligned)
// covers.
void forEachUncovered(qint64 iFrom, qint64 iTo, qint64 iSpan, const QSet<qint64>& setCovered,
                      const std::function<void(qint64, qint64)>& fnStretch)
{
    qint64 iSpanStart = iFrom - ((iFrom % iSpan) + iSpan) % iSpan;
    while (iSpanStart < iTo) {
        if (setCovered.contains(iSpanStart)) {
            iSpanStart += iSpan;
            continue;
        }
        const qint64 iStretchFrom = qMax(iFrom, iSpanStart);
        while (iSpanStart < iTo && !setCovered.contains(iSpanStart))
            iSpanStart += iSpan;
        fnStretch(iStretchFrom, qMin(iTo, iSpanStart));
    }
}
} // namespace

qint64 CHistoryReader::summedEnergy(qint64 iPdu, int iResolution, qint64 iFrom, qint64 iTo,
                                    QSet<qint64>& setUsed, bool* pbComplete)
{
    // Hour summaries sit a day to a row, minute summaries an hour to a row.
    const bool bHours = iResolution == Hours;
    const qint64 iSpan = bHours ? kHour : kMinute;
    const qint64 iRowSpan = bHours ? kDay : kHour;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT t, data FROM %1 WHERE pdu = ? AND t > ? AND t < ?")
                      .arg(bHours ? QLatin1String("agg_hour") : QLatin1String("agg_minute")));
    query.addBindValue(iPdu);
    query.addBindValue(iFrom - iRowSpan);
    query.addBindValue(iTo);
    qint64 iEnergy = 0;
    if (!query.exec()) {
        m_strError = query.lastError().text();
        *pbComplete = false;
        return 0;
    }
    while (query.next()) {
        const qint64 iRow = query.value(0).toLongLong();
        for (const HistoryAggregate& agg :
             HistoryCodec::unpackAggregates(query.value(1).toByteArray(), iRow)) {
            if (agg.iMsecs < iFrom || agg.iMsecs + iSpan > iTo)
                continue;
            iEnergy += agg.iEnergy;
            *pbComplete = *pbComplete && agg.bEnergy;
            setUsed.insert(agg.iMsecs);
        }
    }
    return iEnergy;
}

qint64 CHistoryReader::energy(const QString& strMac, qint64 iFrom, qint64 iTo, bool* pbComplete)
{
    bool bComplete = ready() && m_iVersion >= kEnergyVersion;
    qint64 iEnergy = 0;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id FROM pdu WHERE mac = ?"));
    query.addBindValue(strMac);
    if (bComplete && query.exec() && query.next() && iFrom < iTo) {
        const qint64 iPdu = query.value(0).toLongLong();
        query.finish();
        // Whole hours from their summaries; what they leave (the edges, the hour in progress) from
        // minute summaries, and what those leave (the minute in progress) from the polls themselves.
        QSet<qint64> setHours;
        iEnergy += summedEnergy(iPdu, Hours, iFrom, iTo, setHours, &bComplete);
        forEachUncovered(iFrom, iTo, kHour, setHours, [&](qint64 iHourFrom, qint64 iHourTo) {
            QSet<qint64> setMinutes;
            iEnergy += summedEnergy(iPdu, Minutes, iHourFrom, iHourTo, setMinutes, &bComplete);
            forEachUncovered(iHourFrom, iHourTo, kMinute, setMinutes, [&](qint64 iPollFrom, qint64 iPollTo) {
                // The poll before the stretch's first one ends an interval inside it.
                HistorySample before;
                for (const HistorySample& sample :
                     polls(strMac, iPollFrom - Energy::kGapMsecs, iPollTo - 1)) {
                    if (sample.iMsecs >= iPollFrom)
                        iEnergy += Energy::between(before, sample);
                    before = sample;
                }
            });
        });
    }
    if (pbComplete)
        *pbComplete = bComplete;
    return iEnergy;
}
