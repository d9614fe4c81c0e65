#include "../common/RecordingNotifier.h"
#include "tests/common/QuietFleet.h"

#include "device/AlarmTracker.h"
#include "device/Protocol.h"
#include "history/HistoryReader.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryStore.h"
#include "room/RoomAlarms.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tools/common/ConsoleRig.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceControlWidget.h"

#include <QCheckBox>
#include <QtTest>

#include <cstring>

// A console recording three simulated PDUs: a sample per poll and the events an operator would look
// for after an incident, with their fields.
class TestHistoryBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    QTemporaryDir m_dir;

    QString macOf(int iDevice)
    {
        return m_sim.call(
            [iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.mac.toHex(':').toUpper(); });
    }
    int networkQueries(int iDevice)
    {
        return m_sim.call([iDevice](CSimFleet& fleet) {
            int iPolls = 0;
            for (const SimFrameRecord& rec : fleet.device(iDevice)->received())
                iPolls += rec.baFrame.startsWith(QByteArray::fromHex("A74001"));
            return iPolls;
        });
    }
    static QVector<HistoryEvent> events(CHistoryStore& store, int iKind, const QString& strMac,
                                        const QString& strSubject = QString())
    {
        store.flush();
        CHistoryReader reader(store.path());
        CHistoryReader::EventFilter filter;
        filter.listKinds = {iKind};
        filter.strMac = strMac;
        QVector<HistoryEvent> vec = reader.events(filter);
        if (!strSubject.isEmpty())
            vec.erase(std::remove_if(vec.begin(), vec.end(),
                                     [&](const HistoryEvent& e) { return e.strSubject != strSubject; }),
                      vec.end());
        return vec;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(QDir::setCurrent(m_dir.path()));
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        // Above the factory current warning (5 A), under the device's own (13 A).
        QCOMPARE(m_sim.command(QStringLiteral("set 2 current 8")).last(), QStringLiteral("ok"));
    }
    void cleanupTestCase() { m_sim.stopFleet(); }

    void hoveringVoltage_data()
    {
        QTest::addColumn<int>("debounce");
        QTest::newRow("debounce 3: never three in a row") << 3;
        QTest::newRow("debounce 1: every crossing") << 1;
    }
    // A voltage hovering at its warning limit: the log, the tracker and its notices tell one story.
    void hoveringVoltage()
    {
        QFETCH(int, debounce);
        g_alarmSettings = AlarmSettings();
        g_alarmSettings.debouncePolls = debounce;
        CHistoryStore store(m_dir.filePath(QStringLiteral("hover-%1.sqlite").arg(debounce)));
        ConsoleRig rig(nullptr, &store);
        RecordingNotifier notices;
        rig.room().alarms().tracker.addNotifier(&notices);
        QSignalSpy spyBegan(rig.room().alarmTracker(), &CAlarmTracker::signalAlarmBegan);
        const QString strMac = macOf(3);
        const quint16 uiWarn = m_sim.call([](CSimFleet& f) { return f.device(3)->st.voltageWarn; });
        // Over the limit on one status reply in three.
        QCOMPARE(m_sim.command(QStringLiteral("hover 3 %1 %2 %2").arg(uiWarn + 1).arg(uiWarn - 1)).last(),
                 QStringLiteral("ok"));
        m_sim.command(QStringLiteral("record 3 clear"));
        QVERIFY(rig.start(1000));
        QTRY_VERIFY_WITH_TIMEOUT(networkQueries(3) >= 15, 30000);
        // Counted or not, a crossing is judged only on the reading a tick finds: wait for some.
        if (debounce == 1)
            QTRY_VERIFY_WITH_TIMEOUT(spyBegan.size() >= 2, 30000);
        QCOMPARE(m_sim.command(QStringLiteral("clear 3 voltage")).last(), QStringLiteral("ok"));
        const int iLogged = events(store, HistoryEvent::AlarmBegan, strMac).size();
        const int iMails = notices.take().size();
        QCOMPARE(iLogged, spyBegan.size());
        QCOMPARE(iMails, spyBegan.size());
        if (debounce == 3)
            QCOMPARE(iLogged, 0);
    }

    void recordsSamplesAndEvents()
    {
        CHistoryStore store(m_dir.filePath(QStringLiteral("history.sqlite")));
        QVERIFY2(store.isAvailable(), qPrintable(store.unavailableReason()));
        ConsoleRig rig(nullptr, &store);
        QVERIFY(rig.start(200));
        const QString strMac1 = macOf(1), strMac2 = macOf(2);
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::Appeared, QString()).size(), 3, 10000);

        // A sample per poll: the status replies between two marks, against the queries the PDU saw.
        m_sim.command(QStringLiteral("record 1 clear"));
        const qint64 iFrom = QDateTime::currentMSecsSinceEpoch();
        QTRY_VERIFY_WITH_TIMEOUT(networkQueries(1) >= 15, 10000);
        const int iPolls = networkQueries(1);
        const qint64 iTo = QDateTime::currentMSecsSinceEpoch();
        store.flush();
        const int iSamples =
            CHistoryReader(store.path()).series(strMac1, iFrom, iTo, CHistoryReader::EveryPoll).size();
        QVERIFY2(qAbs(iSamples - iPolls) <= 2,
                 qPrintable(QStringLiteral("%1 samples, %2 polls").arg(iSamples).arg(iPolls)));

        // An alarm condition begins and ends, with the reading and the limit.
        QCOMPARE(m_sim.command(QStringLiteral("set 1 voltage 260")).last(), QStringLiteral("ok"));
        const QString strWarn = QStringLiteral("Voltage Warn");
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::AlarmBegan, strMac1, strWarn).size(), 1, 10000);
        const HistoryEvent began = events(store, HistoryEvent::AlarmBegan, strMac1, strWarn).first();
        QCOMPARE(began.strNew, QStringLiteral("260"));
        QCOMPARE(began.strLimit,
                 QString::number(m_sim.call([](CSimFleet& f) { return f.device(1)->st.voltageWarn; })));
        QCOMPARE(m_sim.command(QStringLiteral("set 1 voltage 230")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::AlarmEnded, strMac1, strWarn).size(), 1, 10000);
        QCOMPARE(events(store, HistoryEvent::AlarmEnded, strMac1, strWarn).first().strNew,
                 QStringLiteral("230"));

        // Readings within the device's own limits raise nothing, whatever the factory limits say.
        QVERIFY(events(store, HistoryEvent::AlarmBegan, strMac2).isEmpty());

        // Silent for a few seconds: offline, then back.
        QCOMPARE(m_sim.command(QStringLiteral("silent 2 5")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::Offline, strMac2).size(), 1, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::BackOnline, strMac2).size(), 1, 15000);
        store.flush();
        const auto vecPolls =
            CHistoryReader(store.path())
                .series(strMac2, iFrom, QDateTime::currentMSecsSinceEpoch(), CHistoryReader::EveryPoll);
        QVERIFY(std::any_of(vecPolls.begin(), vecPolls.end(),
                            [](const HistoryAggregate& a) { return a.uiOnline == 0; }));

        // A meter reading 0 V while the device answers: one entry per episode, no energy meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT((store.flush(), store.energyTotals().value(strMac2) > 0), 10000);
        for (int iEpisode = 1; iEpisode <= 2; ++iEpisode) {
            QCOMPARE(m_sim.command(QStringLiteral("set 2 voltage 0")).last(), QStringLiteral("ok"));
            QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::ImplausibleReading, strMac2).size(),
                                      iEpisode, 10000);
            const qint64 iTotal = store.energyTotals().value(strMac2);
            m_sim.command(QStringLiteral("record 2 clear"));
            QTRY_VERIFY_WITH_TIMEOUT(networkQueries(2) >= 3, 10000);
            store.flush();
            QCOMPARE(store.energyTotals().value(strMac2), iTotal);
            const qint64 iRestored = QDateTime::currentMSecsSinceEpoch();
            QCOMPARE(m_sim.command(QStringLiteral("set 2 voltage 230")).last(), QStringLiteral("ok"));
            QTRY_VERIFY_WITH_TIMEOUT((store.flush(), store.energyTotals().value(strMac2) > iTotal), 10000);
            // The episode ends after ten plausible readings in a row.
            const auto plausible = [&] {
                const auto vec = CHistoryReader(store.path())
                                     .polls(strMac2, iRestored, QDateTime::currentMSecsSinceEpoch());
                return std::count_if(vec.begin(), vec.end(),
                                     [](const HistorySample& s) { return s.uiVoltage > 0; });
            };
            QTRY_VERIFY_WITH_TIMEOUT((store.flush(), plausible() > 10), 30000);
        }
        QCOMPARE(events(store, HistoryEvent::ImplausibleReading, strMac2).size(), 2);

        // An outlet switched from this console, as the operator does it.
        CPdu* pPdu = rig.registry()->listPdu.value(0);
        QVERIFY(pPdu);
        const QString strMacFirst = CHistoryRecorder::macText(pPdu->stInfo);
        CDeviceControlWidget control;
        control.setPdu(pPdu);
        QCheckBox* pCheck = control.findChild<QCheckBox*>(QStringLiteral("CheckOutlet3"));
        QVERIFY(pCheck);
        pCheck->click();
        QTRY_COMPARE_WITH_TIMEOUT(events(store, HistoryEvent::OutletSwitched, strMacFirst).size(), 1, 20000);
        const HistoryEvent outlet = events(store, HistoryEvent::OutletSwitched, strMacFirst).first();
        QCOMPARE(outlet.strSubject, QStringLiteral("3"));
        QCOMPARE(outlet.strNew, pCheck->isChecked() ? QStringLiteral("on") : QStringLiteral("off"));

        // A download: each changed field with its old and new value.
        pPdu->stSetInfo = pPdu->stInfo;
        const QByteArray baName("Rack, \"12\"");
        std::memset(pPdu->stSetInfo.name, 0, sizeof pPdu->stSetInfo.name);
        std::memcpy(pPdu->stSetInfo.name, baName.constData(), size_t(baName.size()));
        pPdu->stSetInfo.voltageWarn = pPdu->stInfo.voltageWarn - 5;
        const QString strOldName = QString::fromUtf8(pPdu->stInfo.name);
        pPdu->download();
        const QVector<HistoryEvent> vecDownload = events(store, HistoryEvent::Download, strMacFirst);
        QCOMPARE(vecDownload.size(), 2);
        QMap<QString, QStringList> mapFields;
        for (const HistoryEvent& e : vecDownload)
            mapFields[e.strSubject] = QStringList{e.strOld, e.strNew};
        QCOMPARE(mapFields.value(QStringLiteral("Name")),
                 (QStringList{strOldName, QString::fromUtf8(baName)}));
        QCOMPARE(mapFields.value(QStringLiteral("Voltage Warn")),
                 (QStringList{QString::number(pPdu->stInfo.voltageWarn),
                              QString::number(pPdu->stInfo.voltageWarn - 5)}));
    }
};

QTEST_MAIN(TestHistoryBed)
#include "tst_history_bed.moc"
