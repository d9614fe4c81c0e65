#include "tests/common/NetBed.h"
#include "tests/common/QuietFleet.h"
#include "tools/common/ConsoleRig.h"
#include "tools/pdusim/SimThread.h"

#include <QElapsedTimer>
#include <QtTest>

// The console looks at its network interfaces again while it runs: a network that comes up after the
// login is polled within seconds, and one that goes away is no longer polled.
class TestConsoleNetsBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    int m_iLastInterfaces = -1;
    int m_iBlindPolls = 0;

    // Network queries the simulated PDU has received.
    int queries()
    {
        return m_sim.call([](CSimFleet& fleet) {
            int iQueries = 0;
            for (const SimFrameRecord& rec : fleet.device(1)->received())
                iQueries += rec.baFrame.startsWith(QByteArray::fromHex("A74001"));
            return iQueries;
        });
    }
    // The console's address on the link to the PDUs, as the bed made it.
    static bool setConsoleAddress(bool bPresent)
    {
        return netbed::ip({QStringLiteral("addr"), bPresent ? QStringLiteral("add") : QStringLiteral("del"),
                           netbed::consoleAddrs().value(0) + QStringLiteral("/16"),
                           QStringLiteral("broadcast"), QStringLiteral("10.200.255.255"),
                           QStringLiteral("dev"), netbed::consoleIfs().value(0)});
    }
    void watchPolls(ConsoleRig& rig)
    {
        connect(rig.driver(), &CUdpDriver::signalPolled, this, [this](bool, int iInterfaces) {
            m_iLastInterfaces = iInterfaces;
            m_iBlindPolls = iInterfaces == 0 ? m_iBlindPolls + 1 : 0;
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
    }
    void cleanupTestCase() { m_sim.stopFleet(); }
    void cleanup()
    {
        // Put back for the next case; refused when it is still there.
        setConsoleAddress(true);
    }

    void networkAfterLoginIsPolledAndDroppedWhenGone()
    {
        QVERIFY(setConsoleAddress(false));
        ConsoleRig rig;
        watchPolls(rig);
        QVERIFY(rig.start());
        QTRY_VERIFY_WITH_TIMEOUT(m_iBlindPolls >= 2, 30000);
        QVERIFY(rig.registry()->listPdu.isEmpty());

        QElapsedTimer clock;
        clock.start();
        QVERIFY(setConsoleAddress(true));
        QTRY_VERIFY_WITH_TIMEOUT(
            !rig.registry()->listPdu.isEmpty() && rig.registry()->listPdu.first()->isOnline(), 30000);
        qInfo("a network that came up after start: its PDU online after %lld ms", clock.elapsed());
        QVERIFY(rig.rowOf(m_sim, 1));

        // Gone: the polls go out on no interface, the PDU hears no more of them and goes offline.
        CPdu* pPdu = rig.registry()->listPdu.first();
        QVERIFY(setConsoleAddress(false));
        QTRY_VERIFY_WITH_TIMEOUT(m_iBlindPolls >= 1, 30000);
        const int iQueries = queries();
        QTRY_VERIFY_WITH_TIMEOUT(!pPdu->isOnline() && m_iBlindPolls >= 3, 30000);
        QCOMPARE(queries(), iQueries);
    }
};

QTEST_MAIN(TestConsoleNetsBed)
#include "tst_consolenets_bed.moc"
