#include "device/PollTargets.h"
#include "device/TargetPoll.h"
#include "tests/common/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>

#include <map>

// The routed targets: what the list accepts, what its file keeps, and the sweep's pace and fallback.
class TestPollTargets : public QObject
{
    Q_OBJECT

    static PollTargetList listOf(const QStringList& listText, int iRate)
    {
        PollTargetList list;
        QString strWhy;
        PollTargets::parseList(listText, &list.listTarget, &strWhy);
        list.iSweepRate = iRate;
        return list;
    }

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // empty: refused
        const std::pair<const char*, const char*> rows[] = {
            {"10.1.2.3", "10.1.2.3"},
            {" 10.1.2.3\t", "10.1.2.3"},
            {"10.1.2.0/24", "10.1.2.0/24"},
            {"10.1.2.77/24", "10.1.2.0/24"},
            {"10.1.16.0/20", "10.1.16.0/20"},
            {"10.1.2.3/32", "10.1.2.3"},
            {"10.1.2.2/31", "10.1.2.2/31"},
            {"10.1.0.0/19", ""},
            {"10.0.0.0/8", ""},
            {"0.0.0.0/0", ""},
            {"10.1.2", ""},
            {"10.1.2.256", ""},
            {"10.1.2.3.4", ""},
            {"10.1.2.3/33", ""},
            {"10.1.2.3/", ""},
            {"10.1.2.3/-1", ""},
            {"10.1.2.3/ 24", ""},
            {"+10.1.2.3", ""},
            {"0x0a.1.2.3", ""},
            {"10.1.2.3 x", ""},
            {"", ""},
            {"0.0.0.0", ""},
            {"255.255.255.255", ""},
            {"127.0.0.1", ""},
            {"224.0.0.1", ""},
        };
        for (const auto& [pszText, pszExpected] : rows)
            QTest::newRow(pszText) << QString::fromUtf8(pszText) << QString::fromUtf8(pszExpected);
    }
    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        PollTarget target;
        QString strWhy;
        const bool bOk = PollTargets::parse(text, &target, &strWhy);
        QCOMPARE(bOk, !expected.isEmpty());
        QCOMPARE(bOk ? target.text() : QString(), expected);
        QCOMPARE(strWhy.isEmpty(), bOk);
    }

    // The file keeps what can be read of it and says what it refused; a missing file lists nothing.
    void fileKeepsGoodEntriesAndSaysTheRest()
    {
        QTemporaryDir dir;
        const QString strFile = dir.filePath(QStringLiteral("target.prt"));
        PollTargetList list;
        QString strWhy;
        QVERIFY(PollTargets::readFile(strFile, &list, &strWhy));
        QVERIFY(list.isEmpty());

        QVERIFY(PollTargets::writeFile(strFile, listOf({"10.9.0.5", "10.9.1.0/24"}, 40)));
        QVERIFY(PollTargets::readFile(strFile, &list, &strWhy));
        QCOMPARE(PollTargets::text(list.listTarget), QStringLiteral("10.9.0.5,10.9.1.0/24"));
        QCOMPARE(list.iSweepRate, 40);

        // Four /20s fill the sweep's bound; a fifth, a typo and a rate past its bound are refused.
        QVERIFY(writeFile(strFile,
                          "[0]\ntarget=10.1.0.0/20\n[1]\ntarget=10.2.0.0/20\n[2]\ntarget=10.3.0.0/20\n"
                          "[3]\ntarget=10.4.0.0/20\n[4]\ntarget=10.5.0.0/20\n[5]\ntarget=10.6.0.300\n"
                          "[sweep]\nrate=5000\n"));
        list = PollTargetList();
        QVERIFY(!PollTargets::readFile(strFile, &list, &strWhy));
        QCOMPARE(list.listTarget.size(), 4);
        QCOMPARE(list.iSweepRate, PollTargets::kDefaultSweepRate);
        for (const char* pszSaid : {"10.5.0.0/20", "10.6.0.300", "5000"})
            QVERIFY2(strWhy.contains(QLatin1String(pszSaid)), qPrintable(strWhy));

        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("target.prt.d")));
        QVERIFY(!PollTargets::readFile(dir.filePath(QStringLiteral("target.prt.d")), &list, &strWhy));
    }

    // Datagrams in any second stay within the pace plus one short burst, whatever the gaps between the
    // sweep's turns, for all subnets together; and the pace is used: every address is queried in time.
    void sweepKeepsItsPace_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("ports");
        QTest::addColumn<QList<int>>("steps"); // milliseconds between turns, repeated
        QTest::addColumn<bool>("inTime");      // turns regular enough to use the whole pace
        QTest::newRow("default, one port, 20 ms turns") << 100 << 1 << QList<int>{20} << true;
        QTest::newRow("three ports, uneven turns") << 100 << 3 << QList<int>{1, 7, 20, 3, 15} << true;
        QTest::newRow("long stalls") << 100 << 1 << QList<int>{20, 20, 4000} << false;
        QTest::newRow("fast") << 1000 << 2 << QList<int>{20, 5} << true;
        QTest::newRow("pace below one address a second") << 1 << 3 << QList<int>{20} << true;
    }
    void sweepKeepsItsPace()
    {
        QFETCH(int, rate);
        QFETCH(int, ports);
        QFETCH(QList<int>, steps);
        QFETCH(bool, inTime);
        CTargetPoll poll;
        poll.setTargets(listOf({"10.7.1.0/24", "10.7.1.128/25", "10.7.3.0/26", "10.7.1.9"}, rate));
        const qint64 iBurst = qMax<qint64>(ports, rate * CTargetPoll::kBurstMsecs / 1000);
        std::map<qint64, qint64> mapPerSecond;
        QSet<quint32> setSwept;
        int iQueriesOfListed = 0;
        const int iAddresses = 254 + 62 - 1; // the /25 lies inside the /24, and 10.7.1.9 is polled anyway
        const qint64 iEnough = qint64(iAddresses) * ports * 1000 / rate + 2000;
        qint64 iNow = 5000;
        for (int i = 0; iNow < 5000 + iEnough; ++i) {
            for (quint32 uiAddress : poll.sweepDue(iNow, ports)) {
                mapPerSecond[iNow / 1000] += ports;
                setSwept.insert(uiAddress);
                iQueriesOfListed += uiAddress == 0x0A070109;
            }
            iNow += steps.at(i % steps.size());
        }
        for (const auto& [iSecond, iSent] : mapPerSecond)
            QVERIFY2(iSent <= rate + iBurst,
                     qPrintable(QStringLiteral("%1 in second %2").arg(iSent).arg(iSecond)));
        QCOMPARE(iQueriesOfListed, 0);
        if (inTime)
            QCOMPARE(setSwept.size(), iAddresses);
        QVERIFY(!setSwept.contains(0x0A070100) && !setSwept.contains(0x0A0701FF));
    }

    // An address that answers is polled every time and left out of the sweep; silent past the limit it is
    // swept for again.
    void answeringAddressIsPolledUntilSilent()
    {
        CTargetPoll poll;
        poll.setTargets(listOf({"10.7.1.0/30", "10.8.0.1"}, 100));
        const quint32 uiFound = 0x0A070102, uiListed = 0x0A080001;
        poll.noteReply(0x0A090001, 0); // outside every subnet
        poll.noteReply(uiFound, 0);
        QCOMPARE(poll.pollAddresses(1000), (QVector<quint32>{uiListed, uiFound}));
        poll.sweepDue(1990, 1);
        QCOMPARE(poll.sweepDue(2000, 1), QVector<quint32>{0x0A070101});
        poll.noteReply(uiFound, 5000);
        QCOMPARE(poll.pollAddresses(5000 + CTargetPoll::kLostMsecs - 1).size(), 2);
        QCOMPARE(poll.pollAddresses(5000 + CTargetPoll::kLostMsecs), QVector<quint32>{uiListed});
        QVector<quint32> vecSwept = poll.sweepDue(20000, 1) + poll.sweepDue(20100, 1);
        QVERIFY(vecSwept.contains(uiFound));
        // On a network the broadcast reaches, nothing is polled twice: not listed, found nor swept.
        poll.setLocalNets({PollTarget{0x0A070100, 24}, PollTarget{0x0A080000, 16}});
        QVERIFY(poll.pollAddresses(20200).isEmpty());
        poll.noteReply(uiFound, 20300);
        QVERIFY(poll.sweepDue(21000, 1).isEmpty());
        poll.setLocalNets({});
        // A list that drops the subnet drops what was found in it.
        poll.noteReply(uiFound, 21000);
        poll.setTargets(listOf({"10.8.0.1"}, 100));
        QVERIFY(!poll.isPolled(uiFound));
    }
    // A poll's unicast queries go out evenly over the spread, each address once and all of them by its end,
    // however unevenly the turns come; a poll started before the last was through takes its place.
    void pollSpreadEvenly_data()
    {
        QTest::addColumn<int>("found");
        QTest::addColumn<QList<int>>("steps"); // milliseconds between turns, repeated
        QTest::newRow("2000 found, 20 ms turns") << 2000 << QList<int>{20};
        QTest::newRow("uneven turns") << 1500 << QList<int>{1, 37, 3, 90};
        QTest::newRow("fewer than turns") << 3 << QList<int>{20};
        QTest::newRow("a stall past the spread") << 800 << QList<int>{20, 700};
    }
    void pollSpreadEvenly()
    {
        QFETCH(int, found);
        QFETCH(QList<int>, steps);
        CTargetPoll poll;
        poll.setTargets(listOf({"10.7.0.0/20"}, 100));
        for (int i = 0; i < found; ++i)
            poll.noteReply(0x0A070001 + quint32(i), 0);
        const qint64 iSpread = 500;
        for (qint64 iStart : {1000, 2000}) {
            QVector<quint32> vecSent = poll.startPoll(iStart, iSpread);
            QVERIFY(!vecSent.isEmpty());
            for (qint64 iNow = iStart, i = 0; iNow < iStart + 1000; iNow += steps.at(i++ % steps.size())) {
                vecSent += poll.pollDue(iNow);
                // No more than an even share of what the time so far allows, give or take one.
                const qint64 iAllowed = qint64(found) * qMin(iSpread, iNow - iStart + 1) / iSpread + 1;
                QVERIFY2(vecSent.size() <= iAllowed,
                         qPrintable(QStringLiteral("%1 by %2 ms").arg(vecSent.size()).arg(iNow - iStart)));
                if (iNow >= iStart + iSpread)
                    QCOMPARE(vecSent.size(), found);
            }
            QCOMPARE(QSet<quint32>(vecSent.cbegin(), vecSent.cend()).size(), found);
        }
        // Started again halfway: the rest of the last poll is not sent on top of the new one.
        QVector<quint32> vecSent = poll.startPoll(3000, iSpread);
        vecSent += poll.pollDue(3250);
        vecSent += poll.startPoll(3251, iSpread);
        vecSent += poll.pollDue(3251 + iSpread);
        QCOMPARE(vecSent.size(), found + (found * 251 + iSpread - 1) / iSpread);
    }
};

QTEST_GUILESS_MAIN(TestPollTargets)
#include "tst_polltargets.moc"
