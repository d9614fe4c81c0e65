#include "device/Clock.h"
#include "device/Pdu.h"
#include "tests/common/ConsoleRig.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"

#include <QtTest>
#include <QtWidgets>

// The overview page against simulated PDUs across the test bed, polled by the real transport.
class TestOverviewBed : public QObject
{
    Q_OBJECT
private slots:
    void rowsFollowTheDevicesAndTheirSilence()
    {
        CSimThread sim;
        CSimConfig config;
        config.iDevices = 3;
        config.dDelayUnit = 0;
        config.bNoise = false;
        QString strError;
        QVERIFY2(sim.startFleet(config, &strError), qPrintable(strError));
        ConsoleRig rig;
        rig.overview.show();
        QVERIFY(rig.start());
        const auto state = [&sim](int i) {
            return sim.call([i](CSimFleet& fleet) { return fleet.device(i)->st; });
        };
        const auto text = [&](int i, int iColumn) {
            QTreeWidgetItem* pRow = rig.rowOf(QHostAddress(state(i).ip).toString());
            return pRow ? pRow->text(iColumn) : QString();
        };
        const auto summary = [&rig] {
            return rig.overview.findChild<QLabel*>(QStringLiteral("LabelSummarise"))->text();
        };

        for (int i = 1; i <= 3; ++i)
            QTRY_COMPARE_WITH_TIMEOUT(text(i, CDeviceOverviewWidget::ColumnName),
                                      QString::fromUtf8(state(i).name.constData()), 20000);
        QCOMPARE(rig.overview.treeWidget()->topLevelItem(0)->childCount(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(summary(), QStringLiteral("Total:3\nOnline:3\nAbnormal:0"), 20000);

        QCOMPARE(sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(text(2, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Offline"),
                                  20000);
        // Not before its last reply was a whole online window ago, on the console's own clock.
        const QList<CPdu*>& listPdu = rig.registry()->listPdu;
        const auto itSilent = std::find_if(listPdu.begin(), listPdu.end(),
                                           [&](const CPdu* pPdu) { return pPdu->uiSourceIP == state(2).ip; });
        QVERIFY(itSilent != listPdu.end());
        QVERIFY(Clock::elapsedMs() - (*itSilent)->iLastRcvMsecs >= CPdu::kOnlineMsecs);
        QTRY_COMPARE(text(1, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"));
        QTRY_COMPARE(summary(), QStringLiteral("Total:3\nOnline:2\nAbnormal:0"));
        QCOMPARE(sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(text(2, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"),
                                  20000);
    }
};

QTEST_MAIN(TestOverviewBed)
#include "tst_overviewbed.moc"
