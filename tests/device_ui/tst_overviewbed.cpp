#include "tools/common/ConsoleRig.h"
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
                                      QString::fromUtf8(state(i).name.constData()), 5000);
        QCOMPARE(rig.overview.treeWidget()->topLevelItem(0)->childCount(), 3);
        QTRY_COMPARE_WITH_TIMEOUT(summary(), QStringLiteral("Total:3\nOnline:3\nAbnormal:0"), 3000);

        QCOMPARE(sim.command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
        QElapsedTimer timer;
        timer.start();
        QTRY_COMPARE_WITH_TIMEOUT(text(2, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Offline"),
                                  8000);
        // The last reply came at most one poll before the silence; offline from its fourth second, seen
        // on the next refresh. A little room for a busy machine.
        QVERIFY2(timer.elapsed() >= 2900 && timer.elapsed() <= 4800,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(text(1, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"));
        QTRY_COMPARE(summary(), QStringLiteral("Total:3\nOnline:2\nAbnormal:0"));
        QCOMPARE(sim.command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(text(2, CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"),
                                  3000);
    }
};

QTEST_MAIN(TestOverviewBed)
#include "tst_overviewbed.moc"
