#include "power/CapacityFigures.h"
#include "history/TimeSpans.h"

#include "history/HistoryReader.h"

#include <QDateTime>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {
using namespace TimeSpans;

// The two spans read, each at the resolution the file keeps for its whole length.
const struct
{
    qint64 iLength;
    qint64 iStep;
    CHistoryReader::Resolution resolution;
} kSpans[] = {{kDay, kMinute, CHistoryReader::Minutes}, {30 * kDay, kHour, CHistoryReader::Hours}};

// A group's sum of its PDUs' average currents (cA) per minute or hour of a span; -1 where none of
// them was online.
struct Sums
{
    qint64 iBase = 0;
    qint64 iStep = 1;
    QVector<qint64> vecSum;

    void reset(qint64 iFrom, qint64 iTo, qint64 iStepMsecs)
    {
        // From the step the span's start lies in: the reader gives the summary the span starts in.
        iBase = floorTo(iFrom, iStepMsecs);
        iStep = iStepMsecs;
        vecSum.fill(-1, int((iTo - iBase) / iStepMsecs) + 1);
    }
    void add(qint64 iMsecs, qint64 iCentiAmps)
    {
        const qint64 i = (floorTo(iMsecs, iStep) - iBase) / iStep;
        if (i < 0 || i >= vecSum.size())
            return;
        qint64& iSum = vecSum[int(i)];
        iSum = iSum < 0 ? iCentiAmps : iSum + iCentiAmps;
    }
    void add(const Sums& other)
    {
        for (int i = 0; i < vecSum.size(); ++i)
            if (other.vecSum.at(i) >= 0)
                vecSum[i] = qMax<qint64>(vecSum.at(i), 0) + other.vecSum.at(i);
    }
    CapacityFigures::Current current() const
    {
        QVector<double> vecValues;
        vecValues.reserve(vecSum.size());
        for (qint64 iSum : vecSum)
            if (iSum >= 0)
                vecValues << iSum / 100.0;
        CapacityFigures::Current c;
        if (vecValues.isEmpty())
            return c;
        c.dPeak = *std::max_element(vecValues.cbegin(), vecValues.cend());
        c.dP95 = CapacityFigures::nearestRank(vecValues, 95);
        return c;
    }
};

struct Group
{
    Sums aSums[2];
    CapacityFigures::Figures figures;
};

// What one thread found: its devices' figures and its part of every group's sums.
struct Part
{
    QHash<QString, CapacityFigures::Figures> hashPdus;
    QHash<QString, Group> hashGroups;
    QString strError;
};

void addEnergy(CapacityFigures::Figures& to, const CapacityFigures::Figures& from)
{
    for (int s = 0; s < CapacityFigures::EnergySpanCount; ++s) {
        to.aEnergy[s] += from.aEnergy[s];
        to.aEnergyComplete[s] = to.aEnergyComplete[s] && from.aEnergyComplete[s];
    }
}

Group& groupIn(QHash<QString, Group>& hash, const QString& strGroup, qint64 iNow)
{
    auto it = hash.find(strGroup);
    if (it != hash.end())
        return *it;
    Group& group = hash[strGroup];
    for (int k = 0; k < 2; ++k)
        group.aSums[k].reset(iNow - kSpans[k].iLength, iNow, kSpans[k].iStep);
    return group;
}

void readPart(Part& part, const QString& strPath, const QVector<CapacityFigures::Member>& vecMembers,
              std::atomic<int>& iNext, qint64 iNow, const std::atomic<bool>* pbCancel)
{
    CHistoryReader reader(strPath);
    for (int i = iNext++; i < vecMembers.size(); i = iNext++) {
        if (pbCancel && pbCancel->load())
            return;
        const CapacityFigures::Member& member = vecMembers.at(i);
        CapacityFigures::Figures f;
        Group& group = groupIn(part.hashGroups, member.strGroup, iNow);
        for (int k = 0; k < 2; ++k) {
            const QVector<HistoryAggregate> vec =
                reader.series(member.strMac, iNow - kSpans[k].iLength, iNow, kSpans[k].resolution);
            (k == 0 ? f.day : f.month) = CapacityFigures::currentOf(vec);
            for (const HistoryAggregate& a : vec)
                if (a.uiOnline > 0)
                    group.aSums[k].add(a.iMsecs, a.aCentiAmps[1]);
        }
        // This month is today and the days before it: today is read once.
        const qint64 aBounds[][2] = {{CapacityFigures::spanStart(CapacityFigures::Today, iNow), iNow},
                                     {CapacityFigures::spanStart(CapacityFigures::ThisMonth, iNow),
                                      CapacityFigures::spanStart(CapacityFigures::Today, iNow)},
                                     {CapacityFigures::spanStart(CapacityFigures::LastMonth, iNow),
                                      CapacityFigures::spanStart(CapacityFigures::ThisMonth, iNow)}};
        for (int s = 0; s < CapacityFigures::EnergySpanCount; ++s) {
            bool bComplete = true;
            f.aEnergy[s] = aBounds[s][0] < aBounds[s][1]
                               ? reader.energy(member.strMac, aBounds[s][0], aBounds[s][1], &bComplete)
                               : 0;
            f.aEnergyComplete[s] = bComplete;
        }
        f.aEnergy[CapacityFigures::ThisMonth] += f.aEnergy[CapacityFigures::Today];
        f.aEnergyComplete[CapacityFigures::ThisMonth] =
            f.aEnergyComplete[CapacityFigures::ThisMonth] && f.aEnergyComplete[CapacityFigures::Today];
        if (!reader.error().isEmpty()) {
            part.strError = reader.error();
            return;
        }
        addEnergy(group.figures, f);
        part.hashPdus.insert(member.strMac, f);
    }
}
} // namespace

namespace CapacityFigures {

double nearestRank(QVector<double> vecValues, double dPercent)
{
    if (vecValues.isEmpty())
        return qQNaN();
    const int iRank = qBound(1, int(std::ceil(dPercent / 100.0 * vecValues.size() - 1e-9)), vecValues.size());
    std::nth_element(vecValues.begin(), vecValues.begin() + (iRank - 1), vecValues.end());
    return vecValues.at(iRank - 1);
}

Current currentOf(const QVector<HistoryAggregate>& vecSummaries)
{
    Current c;
    QVector<double> vecAverages;
    vecAverages.reserve(vecSummaries.size());
    int iPeak = -1;
    for (const HistoryAggregate& a : vecSummaries) {
        if (a.uiOnline == 0)
            continue;
        vecAverages << a.aCentiAmps[1] / 100.0;
        iPeak = qMax<int>(iPeak, a.aCentiAmps[2]);
    }
    if (vecAverages.isEmpty())
        return c;
    c.dPeak = iPeak / 100.0;
    c.dP95 = nearestRank(vecAverages, 95);
    return c;
}

qint64 spanStart(EnergySpan span, qint64 iNow)
{
    const QDate dateNow = QDateTime::fromMSecsSinceEpoch(iNow).date();
    QDate date = dateNow;
    if (span != Today)
        date = QDate(dateNow.year(), dateNow.month(), 1).addMonths(span == LastMonth ? -1 : 0);
    // Local midnight; where a clock change skips it, the day starts when the clock resumes.
    return date.startOfDay(Qt::LocalTime).toMSecsSinceEpoch();
}

qint64 spanEnd(EnergySpan span, qint64 iNow)
{
    return span == LastMonth ? spanStart(ThisMonth, iNow) : iNow;
}

Result compute(const QString& strPath, const QVector<Member>& vecMembers, qint64 iNow, int iThreads,
               const std::atomic<bool>* pbCancel)
{
    Result result;
    result.iNow = iNow;
    if (iThreads <= 0)
        iThreads = qBound(1, QThread::idealThreadCount(), 4);
    // A reader's start costs more than a small room's reading.
    iThreads = qBound(1, iThreads, qMax(1, int(vecMembers.size() / 50)));
    QVector<Part> vecParts(iThreads);
    std::atomic<int> iNext{0};
    QVector<QThread*> vecThreads;
    for (int t = 1; t < iThreads; ++t) {
        vecThreads << QThread::create(
            [&, t] { readPart(vecParts[t], strPath, vecMembers, iNext, iNow, pbCancel); });
        vecThreads.last()->start();
    }
    readPart(vecParts[0], strPath, vecMembers, iNext, iNow, pbCancel);
    for (QThread* pThread : qAsConst(vecThreads)) {
        pThread->wait();
        delete pThread;
    }
    result.bCancelled = pbCancel && pbCancel->load();

    QHash<QString, Group> hashGroups;
    for (Part& part : vecParts) {
        if (result.strError.isEmpty())
            result.strError = part.strError;
        for (auto it = part.hashPdus.cbegin(); it != part.hashPdus.cend(); ++it)
            result.hashPdus.insert(it.key(), it.value());
        for (auto it = part.hashGroups.begin(); it != part.hashGroups.end(); ++it) {
            Group& group = groupIn(hashGroups, it.key(), iNow);
            for (int k = 0; k < 2; ++k)
                group.aSums[k].add(it->aSums[k]);
            addEnergy(group.figures, it->figures);
        }
    }
    for (auto it = hashGroups.cbegin(); it != hashGroups.cend(); ++it) {
        Figures f = it->figures;
        f.day = it->aSums[0].current();
        f.month = it->aSums[1].current();
        result.hashGroups.insert(it.key(), f);
    }
    return result;
}

} // namespace CapacityFigures
