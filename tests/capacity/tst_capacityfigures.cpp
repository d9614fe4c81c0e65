#include "history/HistoryStore.h"
#include "power/CapacityFigures.h"
#include "tests/capacity/SeededStore.h"

#include <QtTest>

#include <ctime>

// Peaks, percentiles and energy of PDUs and of their groups, on series small enough to work out by hand.
class TestCapacityFigures : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void currents_data()
    {
        QTest::addColumn<QVector<int>>("vecA"); // cA per minute and per hour, -1 offline
        QTest::addColumn<QVector<int>>("vecB");
        QTest::addColumn<QVector<double>>("vecExpected"); // peak, p95 of A, of B, of the group

        QVector<int> vecRising;
        for (int i = 1; i <= 20; ++i)
            vecRising << i * 100;
        QVector<int> vecSteady(20, 500);
        vecSteady.last() = -1;
        // A: 1..20 A, maxima 0.5 A above; the 19th of 20 averages is the 95th percentile. B: 5 A, off in
        // the last step. The group's sums: 6..24 A and then A's 20 A alone; its peak is of sums of
        // averages (24 A), not the sum of the peaks (26 A).
        QTest::newRow("twenty steps") << vecRising << vecSteady << QVector<double>{20.5, 19, 5.5, 5, 24, 23};
        QTest::newRow("offline steps count nothing")
            << QVector<int>{-1, 300, -1} << QVector<int>{} << QVector<double>{3.5, 3, qQNaN(), qQNaN(), 3, 3};
        // Nearest rank of one value, and of 21 (ceil(19.95): the 20th). B joins A in the last step only.
        QVector<int> vecTwentyOne;
        for (int i = 1; i <= 21; ++i)
            vecTwentyOne << i * 10;
        QTest::newRow("twenty-one steps")
            << vecTwentyOne << QVector<int>{700} << QVector<double>{2.6, 2, 7.5, 7, 9.1, 2};
    }
    void currents()
    {
        QFETCH(QVector<int>, vecA);
        QFETCH(QVector<int>, vecB);
        QFETCH(QVector<double>, vecExpected);
        const QString strPath = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()) + ".sqlite");
        {
            CHistoryStore schema(strPath);
            QVERIFY(schema.isAvailable());
        }
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        const QString aMacs[2] = {QStringLiteral("00:04:A3:00:00:01"), QStringLiteral("00:04:A3:00:00:02")};
        const QVector<int>* aSeries[2] = {&vecA, &vecB};
        for (int d = 0; d < 2; ++d) {
            // The same series as minutes ending now and as hours ending now.
            const int iSteps = aSeries[d]->size();
            QVERIFY(SeededStore::write(strPath, aMacs[d], false, iNow - iSteps * SeededStore::kMinute,
                                       *aSeries[d], 50));
            QVERIFY(SeededStore::write(strPath, aMacs[d], true, iNow - iSteps * SeededStore::kHour,
                                       *aSeries[d], 50));
        }
        // A device of another group, always at 40 A, must not reach this group.
        QVERIFY(SeededStore::write(strPath, QStringLiteral("00:04:A3:00:00:03"), false,
                                   iNow - 10 * SeededStore::kMinute, QVector<int>(10, 4000), 0));
        const CapacityFigures::Result result =
            CapacityFigures::compute(strPath,
                                     {{aMacs[0], QStringLiteral("Row A")},
                                      {aMacs[1], QStringLiteral("Row A")},
                                      {QStringLiteral("00:04:A3:00:00:03"), QStringLiteral("Row B")}},
                                     iNow);
        QVERIFY2(result.strError.isEmpty(), qPrintable(result.strError));
        const CapacityFigures::Figures aFigures[3] = {result.hashPdus.value(aMacs[0]),
                                                      result.hashPdus.value(aMacs[1]),
                                                      result.hashGroups.value(QStringLiteral("Row A"))};
        for (int i = 0; i < 3; ++i) {
            for (const CapacityFigures::Current& c : {aFigures[i].day, aFigures[i].month}) {
                const double aGot[2] = {c.dPeak, c.dP95};
                for (int k = 0; k < 2; ++k) {
                    const double dWant = vecExpected.at(2 * i + k);
                    if (qIsNaN(dWant))
                        QVERIFY2(qIsNaN(aGot[k]), qPrintable(QString::number(aGot[k])));
                    else
                        QCOMPARE(aGot[k], dWant);
                }
            }
        }
    }

    // A day whose midnight the clocks skip starts when they resume (01:00), as the monthly report's days
    // do: not an hour before, in the day before.
    void dayWithoutMidnight()
    {
        qputenv("TZ", "America/Santiago");
        tzset();
        const qint64 iNoon = QDateTime(QDate(2026, 9, 6), QTime(12, 0)).toMSecsSinceEpoch();
        const qint64 iStart = CapacityFigures::spanStart(CapacityFigures::Today, iNoon);
        qunsetenv("TZ");
        tzset();
        QCOMPARE(iNoon - iStart, 11 * SeededStore::kHour);
    }

    // Energy lands in the local-time day and months its polls belong to; a group's is its PDUs' sum.
    void energySpans()
    {
        const qint64 iNow = QDateTime::currentMSecsSinceEpoch();
        const qint64 iToday = CapacityFigures::spanStart(CapacityFigures::Today, iNow);
        if (iNow - iToday < 10000)
            QSKIP("the day has just begun: no room for two polls in it");
        const QString strPath = m_dir.filePath(QStringLiteral("energy.sqlite"));
        const QString strA = QStringLiteral("00:04:A3:00:00:0A");
        const QString strB = QStringLiteral("00:04:A3:00:00:0B");
        const qint64 iThisMonth = CapacityFigures::spanStart(CapacityFigures::ThisMonth, iNow);
        const qint64 iLastMonth = CapacityFigures::spanStart(CapacityFigures::LastMonth, iNow);
        const qint64 iRecent = qMax(iToday + 1000, iNow - 60000);
        const struct
        {
            const QString* pMac;
            qint64 iFirst;
            int iPolls;
            quint16 uiVolts;
            quint16 uiCentiAmps;
        } aRuns[] = {{&strA, iLastMonth + 36 * SeededStore::kHour, 3, 200, 1000},
                     {&strA, iThisMonth + SeededStore::kHour, 4, 210, 500},
                     {&strA, iRecent, 2, 230, 100},
                     {&strB, iRecent, 2, 100, 200}};
        const bool bFirstOfMonth = iThisMonth == iToday;
        {
            CHistoryStore store(strPath);
            for (const auto& run : aRuns) {
                if (bFirstOfMonth && run.iFirst == iThisMonth + SeededStore::kHour)
                    continue; // today is all of this month so far
                for (int i = 0; i < run.iPolls; ++i) {
                    HistorySample sample;
                    sample.iMsecs = run.iFirst + i * 1000;
                    sample.bOnline = true;
                    sample.uiVoltage = run.uiVolts;
                    sample.uiCentiAmps = run.uiCentiAmps;
                    store.addSample(*run.pMac, sample);
                }
            }
            store.flush();
        }
        // Polls a second apart: (VA before + VA after) x ms, in volts x centiamperes, per interval.
        const qint64 iLast = 2 * 200000LL * 1000 * 2;
        const qint64 iMonth = bFirstOfMonth ? 0 : 2 * 105000LL * 1000 * 3;
        const qint64 iTodayA = 2 * 23000LL * 1000;
        const qint64 iTodayB = 2 * 20000LL * 1000;
        const CapacityFigures::Result result = CapacityFigures::compute(
            strPath, {{strA, QStringLiteral("Row A")}, {strB, QStringLiteral("Row A")}}, iNow);
        const CapacityFigures::Figures a = result.hashPdus.value(strA);
        const CapacityFigures::Figures g = result.hashGroups.value(QStringLiteral("Row A"));
        QCOMPARE(a.aEnergy[CapacityFigures::Today], iTodayA);
        QCOMPARE(a.aEnergy[CapacityFigures::ThisMonth], iTodayA + iMonth);
        QCOMPARE(a.aEnergy[CapacityFigures::LastMonth], iLast);
        QCOMPARE(g.aEnergy[CapacityFigures::Today], iTodayA + iTodayB);
        QCOMPARE(g.aEnergy[CapacityFigures::ThisMonth], iTodayA + iTodayB + iMonth);
        QCOMPARE(g.aEnergy[CapacityFigures::LastMonth], iLast);
        for (bool bComplete : g.aEnergyComplete)
            QVERIFY(bComplete);
    }
};

QTEST_GUILESS_MAIN(TestCapacityFigures)
#include "tst_capacityfigures.moc"
