#include "history/HistoryWriter.h"
#include "history/TimeSpans.h"

#include "common/Clock.h"
#include "common/Energy.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QVariant>

#include <algorithm>

namespace {
using namespace TimeSpans;

// Replaces the entry of the same start or inserts it in order: finishing a span twice (after a restart
// within it) gives the same summary, never a second one.
void upsert(QVector<HistoryAggregate>& vec, const HistoryAggregate& agg)
{
    auto it = std::lower_bound(vec.begin(), vec.end(), agg.iMsecs,
                               [](const HistoryAggregate& a, qint64 t) { return a.iMsecs < t; });
    if (it != vec.end() && it->iMsecs == agg.iMsecs)
        *it = agg;
    else
        vec.insert(it, agg);
}

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS pdu (id INTEGER PRIMARY KEY, mac TEXT UNIQUE NOT NULL)",
    "CREATE TABLE IF NOT EXISTS pdu_label (pdu INTEGER NOT NULL, t INTEGER NOT NULL, name TEXT, "
    "position TEXT, address TEXT, grp TEXT, PRIMARY KEY (pdu, t)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS raw (pdu INTEGER NOT NULL, t INTEGER NOT NULL, data BLOB NOT NULL, "
    "PRIMARY KEY (pdu, t)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS agg_minute (pdu INTEGER NOT NULL, t INTEGER NOT NULL, data BLOB NOT NULL, "
    "PRIMARY KEY (pdu, t)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS agg_hour (pdu INTEGER NOT NULL, t INTEGER NOT NULL, data BLOB NOT NULL, "
    "PRIMARY KEY (pdu, t)) WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS event (id INTEGER PRIMARY KEY, t INTEGER NOT NULL, kind INTEGER NOT NULL, "
    "mac TEXT, pdu TEXT, subject TEXT, old TEXT, new TEXT, lim TEXT, detail TEXT)",
    "CREATE INDEX IF NOT EXISTS event_t ON event (t)",
    // Since version 2; every statement here may run again on an earlier file.
    "CREATE TABLE IF NOT EXISTS alarm_state (mac TEXT NOT NULL, address TEXT NOT NULL, "
    "condition INTEGER NOT NULL, since INTEGER NOT NULL, acknowledged INTEGER NOT NULL, "
    "acknowledged_by TEXT, PRIMARY KEY (mac, address, condition)) WITHOUT ROWID",
    // Since version 3. Each device's minute in progress, rewritten every second: a few pages that stay
    // cached, where rewriting the minute's row among years of rows touched a page per device anywhere
    // in the file. A minute moves to raw once it is finished.
    "CREATE TABLE IF NOT EXISTS raw_open (pdu INTEGER PRIMARY KEY, t INTEGER NOT NULL, data BLOB NOT NULL)",
    // Each device's energy since the file first saw it (the metrics' counter, which never goes back).
    "CREATE TABLE IF NOT EXISTS energy_total (pdu INTEGER PRIMARY KEY, total INTEGER NOT NULL)",
    // Group budgets as they were set: a report of a past month judges it by the budget of its time.
    "CREATE TABLE IF NOT EXISTS budget (grp TEXT NOT NULL, t INTEGER NOT NULL, breaker REAL NOT NULL, "
    "derating REAL NOT NULL, PRIMARY KEY (grp, t)) WITHOUT ROWID",
    // The events of one PDU (the log's filter, the API's pages) read a few rows, not the whole log; made
    // once on an earlier file, where it takes a few seconds for millions of events.
    "CREATE INDEX IF NOT EXISTS event_mac_t ON event (mac, t)",
};
} // namespace

CHistoryWriter::CHistoryWriter(CHistoryStore* pStore, const QString& strPath)
    : m_pStore(pStore), m_strPath(strPath),
      m_strConnection(QStringLiteral("history-writer-%1").arg(quintptr(this), 0, 16))
{
    m_timerRate.start();
}

CHistoryWriter::~CHistoryWriter() = default;

void CHistoryWriter::enqueueSample(const QString& strMac, const HistorySample& sample)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_rate.offer(m_timerRate.elapsed());
    if (m_vecSamples.size() < m_rate.cap())
        m_vecSamples.append({strMac, sample});
    else
        ++m_iDroppedSamples;
}

void CHistoryWriter::RoomRate::offer(qint64 iMsecs)
{
    const qint64 iSecond = iMsecs / 1000;
    if (iSecond != m_iSecond) {
        if (m_iSecond < 0 || iSecond < m_iSecond || iSecond - m_iSecond >= kWindow) {
            // The first sample, or none for a whole window: the room is measured afresh.
            m_aiOffered.fill(0);
            m_iSum = 0;
            m_iFirst = iSecond;
        } else {
            // The second that ended joins the sum, the seconds that fall out of the window leave it.
            m_iSum += m_aiOffered[size_t(m_iSecond % kWindow)];
            for (qint64 i = m_iSecond + 1; i <= iSecond; ++i) {
                qint64& iSlot = m_aiOffered[size_t(i % kWindow)];
                m_iSum -= iSlot;
                iSlot = 0;
            }
        }
        m_iSecond = iSecond;
        const qint64 iWhole = qMin<qint64>(iSecond - m_iFirst, kWindow - 1);
        m_iCap = iWhole < kSettle ? kMaxPendingSamples
                                  : int(qBound<qint64>(1, (m_iSum * kPendingSeconds + iWhole - 1) / iWhole,
                                                       kMaxPendingSamples));
    }
    ++m_aiOffered[size_t(iSecond % kWindow)];
}

void CHistoryWriter::enqueueLabel(const QString& strMac, const QStringList& listLabel)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecLabels.append({strMac, listLabel});
}

void CHistoryWriter::enqueueEvent(const HistoryEvent& event)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_vecEvents.size() >= kMaxPendingEvents)
        m_vecEvents.removeFirst();
    m_vecEvents.append(event);
}

void CHistoryWriter::enqueueAlarm(const StoredAlarm& alarm)
{
    // Few and small (one per change of an alarm): never dropped.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecAlarms.append(alarm);
}

void CHistoryWriter::enqueueBudget(const QString& strGroup, double dBreakerAmps, double dDerating)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecBudgets.append({strGroup, {dBreakerAmps, dDerating}});
}

void CHistoryWriter::setRetention(const HistoryRetention& retention)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // A hand-set zero or a value that did not read would thin everything away.
    m_retention = {qMax(1, retention.iRawHours), qMax(1, retention.iMinuteDays), qMax(1, retention.iHourDays),
                   qMax(1, retention.iEventDays)};
}

void CHistoryWriter::slotStart()
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_strConnection);
    m_pTimer = new QTimer(this);
    connect(m_pTimer, &QTimer::timeout, this, &CHistoryWriter::slotBatch);
    m_pTimer->start(CHistoryStore::kBatchMsec);
    m_timerRetry.start();
    open();
}

void CHistoryWriter::slotStop()
{
    slotBatch();
    m_pTimer->stop();
    m_hashPdu.clear();
    m_hashPut.clear();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_strConnection);
}

QString CHistoryWriter::failure(const QString& strWhat) const
{
    const QString strError = m_db.lastError().text();
    return strError.trimmed().isEmpty() ? strWhat
                                        : strWhat + QStringLiteral(" (") + strError + QLatin1Char(')');
}

bool CHistoryWriter::exec(const QString& strSql)
{
    QSqlQuery query(m_db);
    return query.exec(strSql);
}

void CHistoryWriter::close(const QString& strReason)
{
    m_bOpen = false;
    m_hashPdu.clear();
    m_hashPut.clear();
    m_db.close();
    m_timerRetry.start();
    m_pStore->setAvailability(false, strReason);
}

bool CHistoryWriter::open()
{
    const QFileInfo info(m_strPath);
    if (info.isDir()) {
        close(CHistoryStore::tr("a folder stands where the history file belongs: %1").arg(m_strPath));
        return false;
    }
    QDir().mkpath(info.absolutePath());
    QString strWhy;
    if (!CHistoryStore::checkFiles(m_strPath, &strWhy)) {
        close(strWhy);
        return false;
    }
    m_db.setDatabaseName(m_strPath);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!m_db.open()) {
        close(failure(CHistoryStore::tr("the history file %1 cannot be opened").arg(m_strPath)));
        return false;
    }
    // Reading the version touches nothing: a file that is not ours or is newer stays as it is.
    QSqlQuery query(m_db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        const QString strReason = CHistoryStore::tr("the history file %1 cannot be read").arg(m_strPath);
        close(query.lastError().text().isEmpty()
                  ? strReason
                  : strReason + QStringLiteral(" (") + query.lastError().text() + QLatin1Char(')'));
        return false;
    }
    const int iVersion = query.value(0).toInt();
    query.finish();
    if (iVersion > CHistoryStore::kSchemaVersion) {
        close(CHistoryStore::tr(
                  "the history file %1 was written by a newer version of Rackmind; it is left as it is")
                  .arg(m_strPath));
        return false;
    }
    bool bOk =
        exec(QStringLiteral("PRAGMA journal_mode=WAL")) &&
        exec(QStringLiteral("PRAGMA synchronous=NORMAL")) &&
        exec(QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(kCheckpointPages)) &&
        exec(QStringLiteral("PRAGMA journal_size_limit=%1").arg(qint64(kCheckpointPages) * 4096 * 2)) &&
        exec(QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheKib));
    if (bOk && iVersion < CHistoryStore::kSchemaVersion) {
        bOk = m_db.transaction();
        for (const char* pszSql : kSchema)
            bOk = bOk && exec(QString::fromLatin1(pszSql));
        bOk = bOk && upgrade(iVersion);
        bOk = bOk && exec(QStringLiteral("PRAGMA user_version=%1").arg(CHistoryStore::kSchemaVersion)) &&
              m_db.commit();
        if (!bOk)
            m_db.rollback();
    }
    if (!bOk) {
        close(failure(CHistoryStore::tr("the history file %1 cannot be written").arg(m_strPath)));
        return false;
    }
    QHash<QString, qint64> hashTotals;
    query.setForwardOnly(true);
    bOk = query.exec(QStringLiteral("SELECT p.mac, e.total FROM energy_total e JOIN pdu p ON p.id = e.pdu"));
    while (bOk && query.next())
        hashTotals.insert(query.value(0).toString(), query.value(1).toLongLong());
    query.finish();
    if (!bOk) {
        close(failure(CHistoryStore::tr("the history file %1 cannot be read").arg(m_strPath)));
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = hashTotals.cbegin(); it != hashTotals.cend(); ++it)
            m_hashTotals[it.key()] = qMax(m_hashTotals.value(it.key()), it.value());
    }
    m_bOpen = true;
    if (!m_bWriteFailed)
        m_pStore->setAvailability(true, QString());
    return true;
}

bool CHistoryWriter::upgrade(int iVersion)
{
    // Labels gained the device's group in version 3 (a new file has the column already).
    QSqlQuery query(m_db);
    if (iVersion >= 3 || !query.exec(QStringLiteral("PRAGMA table_info(pdu_label)")))
        return iVersion >= 3;
    while (query.next())
        if (query.value(1).toString() == QLatin1String("grp"))
            return true;
    query.finish();
    return exec(QStringLiteral("ALTER TABLE pdu_label ADD COLUMN grp TEXT"));
}

QByteArray CHistoryWriter::getRow(const char* pszTable, qint64 iPdu, qint64 iTime, bool* pFound)
{
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT data FROM %1 WHERE pdu = ? AND t = ?").arg(QLatin1String(pszTable)));
    query.addBindValue(iPdu);
    query.addBindValue(iTime);
    const bool bFound = query.exec() && query.next();
    if (pFound)
        *pFound = bFound;
    return bFound ? query.value(0).toByteArray() : QByteArray();
}

bool CHistoryWriter::putRow(const char* pszTable, qint64 iPdu, qint64 iTime, const QByteArray& baData)
{
    // Every answering device's row is put once a second: the statement is prepared once per table.
    auto it = m_hashPut.find(pszTable);
    if (it == m_hashPut.end()) {
        it = m_hashPut.insert(pszTable, QSqlQuery(m_db));
        if (!it->prepare(QStringLiteral("INSERT OR REPLACE INTO %1 (pdu, t, data) VALUES (?, ?, ?)")
                             .arg(QLatin1String(pszTable)))) {
            m_hashPut.erase(it);
            return false;
        }
    }
    QSqlQuery& query = *it;
    query.bindValue(0, iPdu);
    query.bindValue(1, iTime);
    query.bindValue(2, baData);
    return query.exec();
}

bool CHistoryWriter::putOpen(const char* pszTable, qint64 iPdu, qint64 iValue, const QByteArray& baData)
{
    // The small tables keyed by device alone: its minute in progress, its energy total.
    auto it = m_hashPut.find(pszTable);
    if (it == m_hashPut.end()) {
        it = m_hashPut.insert(pszTable, QSqlQuery(m_db));
        const QString strSql =
            qstrcmp(pszTable, "raw_open") == 0
                ? QStringLiteral("INSERT OR REPLACE INTO raw_open (pdu, t, data) VALUES (?, ?, ?)")
                : QStringLiteral("INSERT OR REPLACE INTO energy_total (pdu, total) VALUES (?, ?)");
        if (!it->prepare(strSql)) {
            m_hashPut.erase(it);
            return false;
        }
    }
    QSqlQuery& query = *it;
    query.bindValue(0, iPdu);
    query.bindValue(1, iValue);
    if (qstrcmp(pszTable, "raw_open") == 0)
        query.bindValue(2, baData);
    return query.exec();
}

HistorySample CHistoryWriter::lastBefore(qint64 iPdu, qint64 iMinute)
{
    // Only the minute just before can hold a poll close enough to count energy with the first of this.
    const QVector<HistorySample> vec =
        HistoryCodec::unpackSamples(getRow("raw", iPdu, iMinute - kMinute), iMinute - kMinute);
    return vec.isEmpty() ? HistorySample() : vec.last();
}

CHistoryWriter::PduState* CHistoryWriter::state(const QString& strMac)
{
    auto it = m_hashPdu.find(strMac);
    if (it != m_hashPdu.end())
        return &it.value();
    PduState st;
    QSqlQuery query(m_db);
    query.prepare(QStringLiteral("SELECT id FROM pdu WHERE mac = ?"));
    query.addBindValue(strMac);
    if (!query.exec())
        return nullptr;
    if (query.next()) {
        st.iId = query.value(0).toLongLong();
    } else {
        query.prepare(QStringLiteral("INSERT INTO pdu (mac) VALUES (?)"));
        query.addBindValue(strMac);
        if (!query.exec())
            return nullptr;
        st.iId = query.lastInsertId().toLongLong();
    }
    // Carry on with the minute in progress and the newest hour the file holds, finished or not:
    // finishing them again replaces their summaries. Files of an earlier version kept the minute in
    // progress among the finished ones.
    auto newest = [&](const char* pszSql, qint64* piTime, QByteArray* pbaData) {
        query.prepare(QString::fromLatin1(pszSql));
        query.addBindValue(st.iId);
        if (!query.exec())
            return false;
        if (query.next()) {
            *piTime = query.value(0).toLongLong();
            if (pbaData)
                *pbaData = query.value(1).toByteArray();
        }
        return true;
    };
    QByteArray baMinute, baHour, baRaw;
    if (!newest("SELECT t, data FROM raw_open WHERE pdu = ?", &st.iMinute, &baMinute) ||
        !newest("SELECT t, data FROM raw WHERE pdu = ? ORDER BY t DESC LIMIT 1", &st.iNewestMinute, &baRaw) ||
        !newest("SELECT t, data FROM agg_minute WHERE pdu = ? ORDER BY t DESC LIMIT 1", &st.iHour, &baHour) ||
        !newest("SELECT total FROM energy_total WHERE pdu = ?", &st.iTotal, nullptr))
        return nullptr;
    if (st.iMinute < 0) {
        st.iMinute = st.iNewestMinute;
        baMinute = baRaw;
    }
    if (st.iMinute >= 0)
        st.vecMinute = HistoryCodec::unpackSamples(baMinute, st.iMinute);
    if (st.iHour >= 0)
        st.vecHour = HistoryCodec::unpackAggregates(baHour, st.iHour);
    if (st.iMinute >= 0) {
        st.before = lastBefore(st.iId, st.iMinute);
        if (!st.vecMinute.isEmpty())
            st.last = st.vecMinute.last();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        st.iTotal = qMax(st.iTotal, m_hashTotals.value(strMac));
    }
    return &m_hashPdu.insert(strMac, st).value();
}

bool CHistoryWriter::addSample(PduState& st, const HistorySample& sample)
{
    m_iNewestWritten = qMax(m_iNewestWritten, sample.iMsecs);
    const qint64 iEnergy = Energy::between(st.last, sample);
    if (iEnergy > 0) {
        st.iTotal += iEnergy;
        st.bTotalDirty = true;
    }
    st.last = sample;
    const qint64 iMinute = floorTo(sample.iMsecs, kMinute);
    if (st.iMinute >= 0 && iMinute != st.iMinute && !finishMinute(st))
        return false;
    if (st.iMinute != iMinute) {
        // A minute the file holds already (a wall clock set back into it) goes on from what it holds:
        // finishing it again then summarises both parts, and no sample is dropped for its stamp.
        // Only a minute no later than the newest finished one can be in the file: the next minute of a
        // room's every device costs no look-up among years of rows.
        st.iMinute = iMinute;
        st.vecMinute.clear();
        if (iMinute <= st.iNewestMinute)
            st.vecMinute = HistoryCodec::unpackSamples(getRow("raw", st.iId, iMinute), iMinute);
        if (!st.vecMinute.isEmpty())
            st.before = lastBefore(st.iId, iMinute);
    }
    if (st.vecMinute.isEmpty() || st.vecMinute.last().iMsecs <= sample.iMsecs)
        st.vecMinute.append(sample);
    else
        st.vecMinute.insert(std::upper_bound(st.vecMinute.begin(), st.vecMinute.end(), sample.iMsecs,
                                             [](qint64 t, const HistorySample& s) { return t < s.iMsecs; }),
                            sample);
    st.bDirty = true;
    return true;
}

bool CHistoryWriter::finishMinute(PduState& st)
{
    if (!putRow("raw", st.iId, st.iMinute, HistoryCodec::packSamples(st.vecMinute, st.iMinute, true)))
        return false;
    st.iNewestMinute = qMax(st.iNewestMinute, st.iMinute);
    HistoryAggregate agg;
    agg.iMsecs = st.iMinute;
    HistorySample before = st.before;
    for (const HistorySample& sample : qAsConst(st.vecMinute)) {
        agg.add(sample);
        agg.iEnergy += Energy::between(before, sample);
        before = sample;
    }
    st.before = before;
    const qint64 iHour = floorTo(st.iMinute, kHour);
    if (st.iHour >= 0 && iHour != st.iHour && !finishHour(st))
        return false;
    if (st.iHour != iHour) {
        st.iHour = iHour;
        st.vecHour = HistoryCodec::unpackAggregates(getRow("agg_minute", st.iId, iHour), iHour);
    }
    upsert(st.vecHour, agg);
    st.iMinute = -1;
    st.vecMinute.clear();
    st.bDirty = false;
    return putRow("agg_minute", st.iId, iHour, HistoryCodec::packAggregates(st.vecHour, iHour, false));
}

bool CHistoryWriter::finishHour(PduState& st)
{
    if (!putRow("agg_minute", st.iId, st.iHour, HistoryCodec::packAggregates(st.vecHour, st.iHour, true)))
        return false;
    HistoryAggregate agg;
    agg.iMsecs = st.iHour;
    for (const HistoryAggregate& minute : qAsConst(st.vecHour))
        agg.add(minute);
    const qint64 iDay = floorTo(st.iHour, kDay);
    QVector<HistoryAggregate> vecDay = HistoryCodec::unpackAggregates(getRow("agg_hour", st.iId, iDay), iDay);
    upsert(vecDay, agg);
    st.iHour = -1;
    st.vecHour.clear();
    return putRow("agg_hour", st.iId, iDay, HistoryCodec::packAggregates(vecDay, iDay, true));
}

void CHistoryWriter::reportDrops()
{
    const qint64 iDropped = droppedSamples();
    const qint64 iMono = Clock::elapsedMs();
    if (iDropped == m_iReportedDrops || (m_bDropsReported && iMono - m_iDropReportMono < kDropReportMsec))
        return;
    const qint64 iCount = iDropped - m_iReportedDrops;
    m_iReportedDrops = iDropped;
    m_iDropReportMono = iMono;
    m_bDropsReported = true;
    HistoryEvent event;
    event.iMsecs = Clock::now().toMSecsSinceEpoch();
    event.iKind = HistoryEvent::SamplesDropped;
    event.strSubject = QString::number(iCount);
    enqueueEvent(event);
    emit m_pStore->signalSamplesDropped(iCount);
}

void CHistoryWriter::slotBatch()
{
    // Also while the file cannot be written: the log line goes out, the entry waits with the rest.
    reportDrops();
    if (!m_bOpen && (m_timerRetry.elapsed() < kRetryMsec || !open()))
        return;
    if (!writeBatch())
        return;
    writtenAgain();
    const qint64 iNow = Clock::now().toMSecsSinceEpoch();
    if (floorTo(iNow, kMinute) != m_iLastThinMinute) {
        m_iLastThinMinute = floorTo(iNow, kMinute);
        thin(iNow);
    }
}

void CHistoryWriter::slotFlush()
{
    reportDrops();
    if ((m_bOpen || open()) && writeBatch()) {
        writtenAgain();
        thin(Clock::now().toMSecsSinceEpoch());
    }
}

bool CHistoryWriter::writeBatch()
{
    QVector<QPair<QString, HistorySample>> vecSamples;
    QVector<QPair<QString, QStringList>> vecLabels;
    QVector<HistoryEvent> vecEvents;
    QVector<StoredAlarm> vecAlarms;
    QVector<QPair<QString, QPair<double, double>>> vecBudgets;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        vecBudgets.swap(m_vecBudgets);
        vecSamples.swap(m_vecSamples);
        vecLabels.swap(m_vecLabels);
        vecEvents.swap(m_vecEvents);
        vecAlarms.swap(m_vecAlarms);
        // A second's samples of a large room: room for as many again spares the callers' thread the
        // growing and copying of the queue.
        m_vecSamples.reserve(vecSamples.size());
    }
    if (vecSamples.isEmpty() && vecLabels.isEmpty() && vecEvents.isEmpty() && vecAlarms.isEmpty() &&
        vecBudgets.isEmpty())
        return true;

    bool bOk = m_db.transaction();
    QSqlQuery query(m_db);
    for (const auto& item : qAsConst(vecLabels)) {
        PduState* pState = bOk ? state(item.first) : nullptr;
        bOk =
            pState &&
            query.prepare(QStringLiteral(
                "SELECT name, position, address, grp FROM pdu_label WHERE pdu = ? ORDER BY t DESC LIMIT 1"));
        query.addBindValue(pState ? pState->iId : 0);
        bOk = bOk && query.exec();
        if (!bOk)
            break;
        if (query.next() && QStringList{query.value(0).toString(), query.value(1).toString(),
                                        query.value(2).toString(), query.value(3).toString()} == item.second)
            continue;
        query.prepare(
            QStringLiteral("INSERT OR REPLACE INTO pdu_label (pdu, t, name, position, address, grp) "
                           "VALUES (?, ?, ?, ?, ?, ?)"));
        query.addBindValue(pState->iId);
        query.addBindValue(Clock::now().toMSecsSinceEpoch());
        for (const QString& strPart : item.second)
            query.addBindValue(strPart);
        bOk = query.exec();
    }
    for (int i = 0; bOk && i < vecSamples.size(); ++i) {
        PduState* pState = state(vecSamples.at(i).first);
        bOk = pState && addSample(*pState, vecSamples.at(i).second);
    }
    QHash<QString, qint64> hashTotals;
    for (auto it = m_hashPdu.begin(); bOk && it != m_hashPdu.end(); ++it) {
        if (it->bDirty)
            bOk = putOpen("raw_open", it->iId, it->iMinute,
                          HistoryCodec::packSamples(it->vecMinute, it->iMinute, false));
        if (bOk && it->bTotalDirty) {
            bOk = putOpen("energy_total", it->iId, it->iTotal, QByteArray());
            hashTotals.insert(it.key(), it->iTotal);
        }
        it->bDirty = false;
        it->bTotalDirty = false;
    }
    bOk = bOk && writeBudgets(vecBudgets);
    if (bOk && !vecEvents.isEmpty())
        bOk = query.prepare(
            QStringLiteral("INSERT INTO event (t, kind, mac, pdu, subject, old, new, lim, detail) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    for (int i = 0; bOk && i < vecEvents.size(); ++i) {
        const HistoryEvent& e = vecEvents.at(i);
        for (const QVariant& value : {QVariant(e.iMsecs), QVariant(e.iKind), QVariant(e.strMac),
                                      QVariant(e.strPdu), QVariant(e.strSubject), QVariant(e.strOld),
                                      QVariant(e.strNew), QVariant(e.strLimit), QVariant(e.strDetail)})
            query.addBindValue(value);
        bOk = query.exec();
    }
    query.finish();
    bOk = bOk && writeAlarms(vecAlarms);
    bOk = bOk && m_db.commit();
    if (bOk) {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = hashTotals.cbegin(); it != hashTotals.cend(); ++it)
            m_hashTotals.insert(it.key(), it.value());
    }
    if (bOk) {
        if (!vecEvents.isEmpty())
            emit m_pStore->signalEventsWritten();
        return true;
    }
    // Nothing of the batch went in: it waits (within bounds) for the file to be writable again.
    const QString strReason =
        failure(CHistoryStore::tr("the history file %1 cannot be written").arg(m_strPath));
    m_db.rollback();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Within the cap with what came meanwhile; the oldest go first.
        const int iKept = qBound(0, m_rate.cap() - m_vecSamples.size(), vecSamples.size());
        m_iDroppedSamples += vecSamples.size() - iKept;
        m_vecSamples = vecSamples.mid(vecSamples.size() - iKept) + m_vecSamples;
        m_vecLabels = vecLabels + m_vecLabels;
        m_vecEvents = vecEvents.mid(qMax(0, vecEvents.size() - kMaxPendingEvents / 2)) + m_vecEvents;
        m_vecAlarms = vecAlarms + m_vecAlarms;
        m_vecBudgets = vecBudgets + m_vecBudgets;
    }
    m_bWriteFailed = true;
    close(strReason);
    return false;
}

void CHistoryWriter::writtenAgain()
{
    if (!m_bWriteFailed)
        return;
    m_bWriteFailed = false;
    m_pStore->setAvailability(true, QString());
}

bool CHistoryWriter::writeBudgets(const QVector<QPair<QString, QPair<double, double>>>& vecBudgets)
{
    QSqlQuery query(m_db);
    for (const auto& budget : vecBudgets) {
        // Kept only when it differs from the group's last one: a start-up that tells every budget again
        // adds nothing.
        query.prepare(
            QStringLiteral("SELECT breaker, derating FROM budget WHERE grp = ? ORDER BY t DESC LIMIT 1"));
        query.addBindValue(budget.first);
        if (!query.exec())
            return false;
        if (query.next() ? qFuzzyCompare(1 + query.value(0).toDouble(), 1 + budget.second.first) &&
                               qFuzzyCompare(query.value(1).toDouble(), budget.second.second)
                         : budget.second.first <= 0)
            continue;
        query.prepare(
            QStringLiteral("INSERT OR REPLACE INTO budget (grp, t, breaker, derating) VALUES (?, ?, ?, ?)"));
        query.addBindValue(budget.first);
        query.addBindValue(Clock::now().toMSecsSinceEpoch());
        query.addBindValue(qMax(0.0, budget.second.first));
        query.addBindValue(budget.second.second);
        if (!query.exec())
            return false;
    }
    return true;
}

bool CHistoryWriter::writeAlarms(const QVector<StoredAlarm>& vecAlarms)
{
    QSqlQuery query(m_db);
    for (const StoredAlarm& alarm : vecAlarms) {
        if (alarm.bEnded) {
            query.prepare(
                QStringLiteral("DELETE FROM alarm_state WHERE mac = ? AND address = ? AND condition = ?"));
        } else {
            query.prepare(
                QStringLiteral("INSERT OR REPLACE INTO alarm_state (mac, address, condition, since, "
                               "acknowledged, acknowledged_by) VALUES (?, ?, ?, ?, ?, ?)"));
        }
        query.addBindValue(alarm.strMac);
        query.addBindValue(alarm.strAddress);
        query.addBindValue(alarm.iCondition);
        if (!alarm.bEnded) {
            query.addBindValue(alarm.iSince);
            query.addBindValue(alarm.iAcknowledged);
            query.addBindValue(alarm.strAcknowledgedBy);
        }
        if (!query.exec())
            return false;
    }
    return true;
}

QString CHistoryWriter::thinStatement(const char* pszTable, bool bFuture)
{
    // Device by device along the key (device, time): a plain "t <= ?" would read the whole table in the
    // write transaction every minute. The event log has an index on its time.
    if (qstrcmp(pszTable, "event") == 0)
        return QStringLiteral("DELETE FROM event WHERE t <= ?");
    return QStringLiteral("DELETE FROM %1 WHERE pdu IN (SELECT id FROM pdu) AND %2")
        .arg(QLatin1String(pszTable), bFuture ? QLatin1String("t > ? AND t <= ?") : QLatin1String("t <= ?"));
}

qint64 CHistoryWriter::agingNow(qint64 iNow)
{
    // A wall clock set far ahead (a year, by a bad time source) would age out every poll and minute of
    // the present at once. Rows age by the time that passed until the step has stood for a day: a step
    // corrected within that loses nothing, one that stands was a correction and thins as it should.
    const qint64 iMono = Clock::elapsedMs();
    const qint64 iPassed = m_iAgedWall + (iMono - m_iAgedMono);
    if (m_iBehindSinceMono < 0 || (m_iAgedWall >= 0 && iNow < iPassed - kMinute))
        m_iBehindSinceMono = iMono;
    if (m_iAgedWall >= 0 && iNow > iPassed + kMinute) {
        if (m_iAheadSinceMono < 0)
            m_iAheadSinceMono = iMono;
        if (iMono - m_iAheadSinceMono < kTrustAheadMsecs)
            return iPassed;
    }
    m_iAheadSinceMono = -1;
    m_iAgedWall = iNow;
    m_iAgedMono = iMono;
    return iNow;
}

bool CHistoryWriter::thin(qint64 iNow)
{
    const qint64 iAged = agingNow(iNow);
    HistoryRetention retention;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        retention = m_retention;
    }
    // A row goes once the whole span it covers has aged out.
    const struct
    {
        const char* pszTable;
        qint64 iKeep;
        qint64 iSpan;
    } aThin[] = {
        {"raw", retention.iRawHours * kHour, kMinute},
        {"raw_open", retention.iRawHours * kHour, kMinute},
        {"agg_minute", retention.iMinuteDays * kDay, kHour},
        {"agg_hour", retention.iHourDays * kDay, kDay},
        {"event", retention.iEventDays * kDay, 1},
    };
    bool bOk = m_db.transaction();
    QSqlQuery query(m_db);
    for (const auto& t : aThin) {
        bOk = bOk && query.prepare(thinStatement(t.pszTable, false));
        query.addBindValue(iAged - t.iKeep - t.iSpan);
        bOk = bOk && query.exec();
        // Rows stamped after now were written while the wall clock ran ahead, and age would not thin
        // them before the clock had caught up; or the clock is behind now (a machine started with a
        // dead clock battery, before its time source answered), and they are the history. They go only
        // once the clock has stood a day since the program started or last saw it set back, and only
        // up to the newest stamp this run wrote. The
        // event log keeps its entries: they are what happened, and the clock's step is logged beside
        // them.
        if (qstrcmp(t.pszTable, "event") == 0 || Clock::elapsedMs() - m_iBehindSinceMono < kTrustAheadMsecs)
            continue;
        // Only rows this run wrote: rows found ahead of the clock at the start are another time's.
        bOk = bOk && query.prepare(thinStatement(t.pszTable, true));
        query.addBindValue(iNow);
        query.addBindValue(m_iNewestWritten);
        bOk = bOk && query.exec();
    }
    bOk = bOk && m_db.commit();
    if (!bOk) {
        const QString strReason =
            failure(CHistoryStore::tr("the history file %1 cannot be written").arg(m_strPath));
        m_db.rollback();
        m_bWriteFailed = true;
        close(strReason);
    }
    return bOk;
}
