#include "common/Clock.h"
#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "snmp/SnmpAgentLoader.h"
#include "snmp/SnmpModel.h"
#include "snmp/SnmpPublisher.h"

#include <QTemporaryDir>
#include <QtTest>

// The ENTITY tables a management system walks, built from devices as the registry holds them: the
// values it graphs, the state it alarms on, and the numbers it keeps its history under.
class TestSnmpModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        const QString strFile = m_dir.filePath(QStringLiteral("snmp-indexes"));
        // A first run sees A, B and D; D then leaves for good.
        CPdu* pA = device(1, "Rack A", true, true);
        CPdu* pB = device(2, "Rack B", false, true);
        CPdu* pD = device(3, "Rack D", true, true);
        {
            CSnmpModel first(strFile);
            QVERIFY(first.loadIndexes());
            first.refresh({pA, pB, pD}, {});
        }
        // The next run, as after a restart: the registry heard them in another order, A at a new address,
        // and C is new.
        CPdu* pC = device(4, "机柜三", true, false);
        pA->stInfo.ip[3] = 77;
        QList<ActiveAlarm> listAlarms;
        for (int iCondition : {int(CPdu::AlarmCurrentWarn), int(CPdu::AlarmVoltageOverload)}) {
            ActiveAlarm alarm;
            alarm.pPdu = pA;
            alarm.iCondition = iCondition;
            listAlarms << alarm;
        }
        m_pModel = std::make_unique<CSnmpModel>(strFile);
        QVERIFY(m_pModel->loadIndexes());
        m_pSnap = m_pModel->refresh({pC, pB, pA}, listAlarms);
    }

    void lookups_data()
    {
        QTest::addColumn<bool>("bNext");
        QTest::addColumn<QString>("strOid");
        QTest::addColumn<QString>("strFound"); // empty: no instance
        QTest::addColumn<QString>("strValue"); // empty: not compared
        const QString e = QStringLiteral("1.3.6.1.2.1.47.1.1.1.1.");
        const QString s = QStringLiteral("1.3.6.1.2.1.99.1.1.1.");
        const QString t = QStringLiteral("1.3.6.1.2.1.131.1.1.1.");
        using R = std::tuple<const char*, bool, QString, QString, QString>;
        for (const auto& [pszName, bNext, strOid, strFound, strValue] : {
                 // Numbers by MAC: A and B keep theirs, C gets a new one, D's is not given again.
                 R{"A keeps its number", false, e + "7.100", e + "7.100", "s:Rack A"},
                 R{"B keeps its number", false, e + "7.200", e + "7.200", "s:Rack B"},
                 R{"a gone PDU's number stays free", false, e + "7.300", "", ""},
                 R{"non-ASCII name in UTF-8", false, e + "7.400", e + "7.400", "s:机柜三"},
                 R{"serial is the MAC", false, e + "11.100", e + "11.100", "s:00:04:A3:00:00:01"},
                 R{"alias is the position", false, e + "14.100", e + "14.100", "s:Row 3"},
                 R{"sensor contained in its chassis", false, e + "4.102", e + "4.102", "i:100"},
                 R{"switch sensor contained in its outlet", false, e + "4.121", e + "4.121", "i:111"},
                 R{"outlet named as on the PDU", false, e + "7.111", e + "7.111", "s:web"},
                 R{"current in tenths", false, s + "4.102", s + "4.102", "i:59"},
                 R{"current precision", false, s + "3.102", s + "3.102", "i:1"},
                 R{"volts", false, s + "4.101", s + "4.101", "i:231"},
                 R{"humidity type", false, s + "1.104", s + "1.104", "i:9"},
                 R{"current warning", false, t + "5.102", t + "5.102", "x:04"},
                 R{"voltage critical", false, t + "5.101", t + "5.101", "x:20"},
                 R{"chassis carries its sensors' alarms", false, t + "5.100", t + "5.100", "x:24"},
                 R{"temperature clear", false, t + "5.103", t + "5.103", "x:00"},
                 R{"outlet on enabled", false, t + "3.111", t + "3.111", "i:3"},
                 R{"outlet off disabled", false, t + "3.112", t + "3.112", "i:2"},
                 R{"switch sensor true", false, s + "4.121", s + "4.121", "i:1"},
                 R{"switch sensor false", false, s + "4.122", s + "4.122", "i:2"},
                 // Offline: unavailable, no stale value, and the chassis disabled.
                 R{"offline sensor unavailable", false, s + "5.201", s + "5.201", "i:2"},
                 R{"offline sensor no stale value", false, s + "4.201", s + "4.201", "i:0"},
                 R{"offline chassis disabled", false, t + "3.200", t + "3.200", "i:2"},
                 R{"offline outlet unknown", false, t + "3.211", t + "3.211", "i:1"},
                 // Limits not yet known: readings served, alarms not judged.
                 R{"unknown limits: chassis alarm unknown", false, t + "5.400", t + "5.400", "x:80"},
                 R{"unknown limits: sensor alarm unknown", false, t + "5.401", t + "5.401", "x:80"},
                 R{"unknown limits: sensor reads", false, s + "5.401", s + "5.401", "i:1"},
                 R{"no such column", false, e + "1.100", "", ""},
                 R{"scalar without its instance", false, "1.3.6.1.2.1.47.1.4.1", "", ""},
                 // GETNEXT in OID order, over the gaps between blocks, columns and tables.
                 R{"next from below the tables", true, "1.3.6.1.2.1.47", e + "2.100", ""},
                 R{"next over the index column", true, e + "1", e + "2.100", ""},
                 R{"next inside a block's gap", true, e + "7.105", e + "7.111", ""},
                 R{"next over the gap between blocks", true, e + "7.129", e + "7.200", ""},
                 R{"next over a gone block", true, e + "7.228", e + "7.400", ""},
                 R{"next from below an instance", true, e + "7.100.5", e + "7.101", ""},
                 R{"next past a column's end", true, e + "7.428", e + "8.100", ""},
                 R{"next past the table", true, e + "19.428", "1.3.6.1.2.1.47.1.4.1.0", ""},
                 R{"next past the scalar", true, "1.3.6.1.2.1.47.1.4.1.0", s + "1.101", ""},
                 R{"next from the largest index", true, s + "8.4294967295", t + "1.100", ""},
                 R{"next past the last table", true, t + "6.428", "", ""},
             })
            QTest::newRow(pszName) << bNext << strOid << strFound << strValue;
    }

    void lookups()
    {
        QFETCH(bool, bNext);
        QFETCH(QString, strOid);
        QFETCH(QString, strFound);
        QFETCH(QString, strValue);
        Oid found = oidFromText(strOid);
        SnmpValue value;
        const bool bFound = bNext ? m_pSnap->getNext(oidFromText(strOid), &found, &value)
                                  : m_pSnap->get(oidFromText(strOid), &value);
        QCOMPARE(bFound ? oidText(found) : QString(), strFound);
        if (!strValue.isEmpty())
            QCOMPARE(value.toText(), strValue);
    }

    // A whole walk climbs strictly, every step answers GET alike, and it ends.
    void walk()
    {
        Oid oid = {1, 3};
        Oid next;
        SnmpValue value;
        SnmpValue got;
        int iSteps = 0;
        while (m_pSnap->getNext(oid, &next, &value)) {
            QVERIFY2(oid < next, qPrintable(oidText(next)));
            QVERIFY(m_pSnap->get(next, &got));
            QCOMPARE(got, value);
            oid = next;
            QVERIFY(++iSteps < 10000);
        }
        // Three PDUs of 21 entities (12 sensors, 13 with a state): 18 physical columns, 8 sensor and 6
        // state columns, and entLastChangeTime.
        QCOMPARE(iSteps, 3 * (21 * 18 + 12 * 8 + 13 * 6) + 1);
    }

    // An alarm mailed for a PDU found hot, before the snapshot of the second it came in: the trap goes too,
    // naming its sensor; the alarm of a second unit telling an already published MAC is not put on the
    // first one's sensor.
    void alarmNotifications_data()
    {
        QTest::addColumn<bool>("bTwin");
        QTest::addColumn<int>("iTraps");
        QTest::newRow("PDU found hot before its first snapshot") << false << 1;
        QTest::newRow("twin of a published MAC") << true << 0;
    }
    void alarmNotifications()
    {
        QFETCH(bool, bTwin);
        QFETCH(int, iTraps);
        QTemporaryDir dir;
        CSnmpModel model(dir.filePath(QStringLiteral("snmp-indexes")));
        QVERIFY(model.loadIndexes());
        CPdu* pFirst = device(9, "Rack E", true, true);
        model.refresh(bTwin ? QList<CPdu*>{pFirst} : QList<CPdu*>{}, {});
        CPdu* pHot = device(9, "Rack E twin", true, true);
        pHot->stInfo.ip[3] = 99;
        QVector<SnmpNotification> vecSent;
        connect(&model, &CSnmpModel::signalNotification, this,
                [&](const SnmpNotification& notification) { vecSent << notification; });
        ActiveAlarm alarm;
        alarm.pPdu = pHot;
        alarm.iCondition = CPdu::AlarmTemperature;
        model.alarmChanged(alarm, true);
        QCOMPARE(vecSent.size(), iTraps);
        if (iTraps == 0)
            return;
        const SnmpNotification& notification = vecSent.first();
        QCOMPARE(oidText(notification.trapOid), QStringLiteral("1.3.6.1.2.1.88.2.0.2"));
        QCOMPARE(notification.vecObjects.at(3).second.toText(),
                 QStringLiteral("o:1.3.6.1.2.1.99.1.1.1.4.103"));
    }

    // The numbers' file as a crash, an editor or another account may leave it: a file that could give two
    // PDUs one number is refused (nothing is published rather than two units under one entity), and a link
    // put in its place is neither read nor written through.
    void indexFile_data()
    {
        QTest::addColumn<QByteArray>("baFile");
        QTest::addColumn<bool>("bLoads");
        QTest::newRow("kept numbers") << QByteArray("0004A3000001 1\n0004A3000002 5\n") << true;
        QTest::newRow("cut inside a line") << QByteArray("0004A3000001 1\n0004A30") << false;
        QTest::newRow("two MACs one number") << QByteArray("0004A3000001 1\n0004A3000002 1\n") << false;
        QTest::newRow("one MAC two numbers") << QByteArray("0004A3000001 1\n0004A3000001 2\n") << false;
        QTest::newRow("number beyond the last block") << QByteArray("0004A3000001 21474836\n") << false;
    }
    void indexFile()
    {
        QFETCH(QByteArray, baFile);
        QFETCH(bool, bLoads);
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("snmp-indexes"));
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(baFile) == baFile.size());
        file.close();
        CEntityIndexes indexes(strPath);
        QCOMPARE(indexes.load(), bLoads);
        QCOMPARE(indexes.assign({QStringLiteral("0004A3000009")}), bLoads);
        if (!bLoads)
            return;
        QCOMPARE(indexes.numberOf(QStringLiteral("0004A3000009")), 6u);
        // A link planted after the start: the next number is not written to where it points.
        const QString strElsewhere = dir.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QFile::rename(strPath, strElsewhere));
        QVERIFY(QFile::link(strElsewhere, strPath));
        QVERIFY(!indexes.assign({QStringLiteral("0004A300000A")}));
        QFile target(strElsewhere);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QVERIFY(!target.readAll().contains("0004A300000A"));
    }

    // The numbers' file cannot be written (a folder in its place) while the agent runs: the PDU found
    // meanwhile is left out, the status says why once, and the PDU comes once the file can be written.
    void indexesNotKept()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("snmp-indexes"));
        g_settings.snmpEnabled = true;
        g_settings.snmpMode = QStringLiteral("agentx");
        g_settings.snmpAgentXSocket = dir.filePath(QStringLiteral("agentx"));
        qputenv("RACKMIND_SNMP_MODULE", SNMP_MODULE);
        CSnmpPublisher publisher(strPath);
        int iTold = 0;
        connect(&publisher, &CSnmpPublisher::signalStatus, this,
                [&](const SnmpAgentStatus& status) { iTold += status.strText.contains(strPath); });
        publisher.applySettings();
        qunsetenv("RACKMIND_SNMP_MODULE");
        g_settings.snmpEnabled = false;
        QVERIFY(QDir().mkpath(strPath));
        CPdu* pNew = device(20, "Rack F", true, true);
        for (int i = 0; i < 2; ++i)
            publisher.model()->refresh({pNew}, {});
        QTRY_COMPARE(iTold, 1);
        QVERIFY(!publisher.model()->snapshot()->entity(CEntityIndexes::kBlock));
        QVERIFY(QDir().rmdir(strPath));
        publisher.model()->refresh({pNew}, {});
        QTRY_VERIFY(!publisher.status().strText.contains(strPath));
        QVERIFY(publisher.model()->snapshot()->entity(CEntityIndexes::kBlock));
        QCOMPARE(iTold, 1);
        publisher.stop();
    }

    // The agent's package left at another version than the program (the console's package does not pin
    // it): its module is refused, naming it, and never called, as its objects would not fit.
    void moduleOfAnotherBuild()
    {
        qputenv("RACKMIND_SNMP_MODULE", OLD_MODULE);
        QString strWhy;
        const bool bLoaded = bool(CSnmpAgentLoader::load(&strWhy));
        qunsetenv("RACKMIND_SNMP_MODULE");
        QVERIFY(!bLoaded);
        QVERIFY2(strWhy.contains(QLatin1String(OLD_MODULE)), qPrintable(strWhy));
    }

    // A group's budget alarm, as the tracker mails it: each begin and end mailed is a notification
    // naming the group and its load, and one not mailed is none.
    void groupAlarmsAsMailed_data()
    {
        QTest::addColumn<int>("iCondition");
        QTest::addColumn<bool>("bStoodBefore"); // standing when the program started
        QTest::addColumn<bool>("bMailStanding");
        QTest::newRow("over budget") << int(ActiveAlarm::kGroupOverBudget) << false << false;
        QTest::newRow("at the breaker") << int(ActiveAlarm::kGroupAtBreaker) << false << false;
        QTest::newRow("stood, not told again") << int(ActiveAlarm::kGroupOverBudget) << true << false;
        QTest::newRow("stood, told again") << int(ActiveAlarm::kGroupAtBreaker) << true << true;
    }

    void groupAlarmsAsMailed()
    {
        QFETCH(int, iCondition);
        QFETCH(bool, bStoodBefore);
        QFETCH(bool, bMailStanding);
        const AlarmSettings saved = g_alarmSettings;
        g_alarmSettings.mailOnClear = true;
        g_alarmSettings.combineMails = false;
        g_alarmSettings.mailStandingAfterRestart = bMailStanding;
        struct Mails : CAlarmNotifier
        {
            QStringList listSubjects;
            void notify(const AlarmNotice& notice) override { listSubjects << notice.strSubject; }
        } mails;
        CAlarmTracker tracker;
        tracker.addNotifier(&mails);
        const QString strGroup = QStringLiteral("row 3 feed A");
        if (bStoodBefore) {
            ActiveAlarm stood;
            stood.strMac = QLatin1String(ActiveAlarm::kGroupMac);
            stood.strAddress = strGroup;
            stood.iCondition = iCondition;
            stood.dtSince = Clock::now().addSecs(-60);
            tracker.restore({stood});
        }
        CSnmpPublisher publisher(m_dir.filePath(QStringLiteral("group-indexes")));
        publisher.setSources(nullptr, &tracker);
        QList<SnmpNotification> listSent;
        connect(publisher.model(), &CSnmpModel::signalNotification,
                [&](const SnmpNotification& n) { listSent << n; });

        tracker.groupAlarmBegan(strGroup, iCondition, QStringLiteral("31.5 A"), QStringLiteral("30 A"),
                                QStringLiteral("mail"));
        tracker.groupAlarmEnded(strGroup, iCondition, QStringLiteral("mail"));
        g_alarmSettings = saved;

        QStringList listTraps;
        for (const SnmpNotification& n : listSent) {
            listTraps << oidText(n.trapOid);
            QCOMPARE(n.vecObjects.value(1).second.toText(), QStringLiteral("s:") + strGroup);
            QCOMPARE(n.vecObjects.value(4).second.toText(), QStringLiteral("i:315"));
        }
        // Rising at a begin mailed, falling at the end's; no mail, no notification.
        const QStringList listWant =
            bStoodBefore && !bMailStanding
                ? QStringList{QStringLiteral("1.3.6.1.2.1.88.2.0.3")}
                : QStringList{QStringLiteral("1.3.6.1.2.1.88.2.0.2"), QStringLiteral("1.3.6.1.2.1.88.2.0.3")};
        QCOMPARE(listTraps, listWant);
        QCOMPARE(mails.listSubjects.size(), listWant.size());
    }

private:
    CPdu* device(int iNumber, const char* pszName, bool bOnline, bool bLimits)
    {
        auto* pPdu = new CPdu(&m_parent);
        PduInfo& info = pPdu->stInfo;
        const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x00, 0x00, quint8(iNumber)};
        std::copy(std::begin(mac), std::end(mac), info.mac);
        storeDeviceText(QString::fromUtf8(pszName), info.name);
        storeDeviceText(QStringLiteral("Row 3"), info.position);
        storeDeviceText(QStringLiteral("web"), info.outletName[0]);
        info.voltage = 231;
        info.current = 5.9;
        info.outletStatus = 0x05;
        pPdu->markReported(kCmdStatus);
        if (bLimits)
            pPdu->markReported(kCmdThresholds);
        pPdu->iLastRcvMsecs = bOnline ? Clock::elapsedMs() : CPdu::kNever;
        return pPdu;
    }

    QTemporaryDir m_dir;
    QObject m_parent;
    std::unique_ptr<CSnmpModel> m_pModel;
    std::shared_ptr<const CSnmpSnapshot> m_pSnap;
};

QTEST_GUILESS_MAIN(TestSnmpModel)
#include "tst_snmpmodel.moc"
