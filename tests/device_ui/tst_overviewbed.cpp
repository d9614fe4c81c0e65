#include "device/Protocol.h"
#include "tests/common/ConsoleRig.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/device/OutletStatusWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QTreeWidget>
#include <QtTest>

// The overview page against simulated PDUs across the test bed, polled by the real transport.
class TestOverviewBed : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void rowsForEverySimulatedPdu();
    void silencedPduGoesOfflineAndBack();
    void switchChangesTheSimulatedOutlet();

private:
    QTreeWidgetItem* rowOf(const QString& strAddress) const;
    CPdu* pduOf(const QString& strAddress) const;
    QString simAddress(int iDevice);
    // The colour inside circle iOutlet (1-8) as the painter draws it now.
    static QColor circleColour(QWidget* pPainter, int iOutlet);

    std::unique_ptr<CSimThread> m_pSim;
    std::unique_ptr<ConsoleRig> m_pRig;
    static constexpr int kDevices = 3;
};

void TestOverviewBed::init()
{
    m_pSim = std::make_unique<CSimThread>();
    CSimConfig config;
    config.iDevices = kDevices;
    config.dDelayUnit = 0;
    config.bNoise = false;
    QString strError;
    QVERIFY2(m_pSim->startFleet(config, &strError), qPrintable(strError));
    m_pRig = std::make_unique<ConsoleRig>();
    m_pRig->overview.resize(1400, 500);
    m_pRig->overview.show();
    QVERIFY(m_pRig->start());
}

void TestOverviewBed::cleanup()
{
    m_pRig.reset();
    m_pSim.reset();
}

QTreeWidgetItem* TestOverviewBed::rowOf(const QString& strAddress) const
{
    return m_pRig->rowOf(strAddress);
}

CPdu* TestOverviewBed::pduOf(const QString& strAddress) const
{
    for (CPdu* pPdu : qAsConst(m_pRig->registry()->listPdu))
        if (QHostAddress(ipv4ToUint(pPdu->stInfo.ip)).toString() == strAddress)
            return pPdu;
    return nullptr;
}

QString TestOverviewBed::simAddress(int iDevice)
{
    return QHostAddress(m_pSim->call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.ip; }))
        .toString();
}

QColor TestOverviewBed::circleColour(QWidget* pPainter, int iOutlet)
{
    const QImage image = pPainter->grab().toImage();
    const int w = pPainter->width(), h = pPainter->height();
    const int s = w / 8 < h ? w / 8 : h;
    const double m = s * 0.15 * 0.5;
    const int d = int(s - s * 0.15);
    const int x = int((iOutlet - 1) * s + m), y = int(h / 2 - s / 2 + m);
    // Just inside the top of the circle, clear of the digit in its middle.
    return image.pixelColor(QPoint(x + d / 2, y + 3) * image.devicePixelRatio());
}

void TestOverviewBed::rowsForEverySimulatedPdu()
{
    QTreeWidgetItem* pGroup = m_pRig->overview.treeWidget()->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(pGroup->childCount(), kDevices, 5000);
    for (int i = 1; i <= kDevices; ++i) {
        QTreeWidgetItem* pRow = rowOf(simAddress(i));
        QVERIFY2(pRow, qPrintable(simAddress(i)));
        const QByteArray baName = m_pSim->call([i](CSimFleet& fleet) { return fleet.device(i)->st.name; });
        QTRY_COMPARE_WITH_TIMEOUT(pRow->text(CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"),
                                  3000);
        QTRY_COMPARE_WITH_TIMEOUT(
            pRow->text(CDeviceOverviewWidget::ColumnName),
            QString::fromUtf8(baName.constData(), int(qstrnlen(baName.constData(), 16))), 3000);
        QVERIFY(!pRow->text(CDeviceOverviewWidget::ColumnVoltage).isEmpty());
    }
    QLabel* pSummary = m_pRig->overview.findChild<QLabel*>(QStringLiteral("LabelSummarise"));
    QTRY_COMPARE(pSummary->text(), QStringLiteral("Total:3\nOnline:3\nAbnormal:0"));
}

void TestOverviewBed::silencedPduGoesOfflineAndBack()
{
    const QString strAddress = simAddress(2);
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(strAddress), 5000);
    QTreeWidgetItem* pRow = rowOf(strAddress);
    QTRY_COMPARE_WITH_TIMEOUT(pRow->text(CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"),
                              3000);

    QCOMPARE(m_pSim->command(QStringLiteral("silent 2")).last(), QStringLiteral("ok"));
    QElapsedTimer timer;
    timer.start();
    QTRY_COMPARE_WITH_TIMEOUT(pRow->text(CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Offline"),
                              8000);
    const qint64 iOffline = timer.elapsed();
    qInfo("offline shown %lld ms after the device fell silent", iOffline);
    // The last reply came at most one poll before the silence; offline from its fourth second, seen on
    // the next refresh. A little room for a busy machine.
    QVERIFY2(iOffline <= 4500 + 300, qPrintable(QString::number(iOffline)));
    QVERIFY2(iOffline >= 2900, qPrintable(QString::number(iOffline)));
    QCOMPARE(rowOf(simAddress(1))->text(CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"));
    QTRY_COMPARE(m_pRig->overview.findChild<QLabel*>(QStringLiteral("LabelSummarise"))->text(),
                 QStringLiteral("Total:3\nOnline:2\nAbnormal:0"));

    QCOMPARE(m_pSim->command(QStringLiteral("resume 2")).last(), QStringLiteral("ok"));
    timer.restart();
    QTRY_COMPARE_WITH_TIMEOUT(pRow->text(CDeviceOverviewWidget::ColumnOnline), QStringLiteral("Online"),
                              3000);
    qInfo("online again %lld ms after the device answered again", timer.elapsed());
}

void TestOverviewBed::switchChangesTheSimulatedOutlet()
{
    QCOMPARE(m_pSim->command(QStringLiteral("set 1 outlets 0x01")).last(), QStringLiteral("ok"));
    const QString strAddress = simAddress(1);
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(strAddress), 5000);
    QTreeWidgetItem* pRow = rowOf(strAddress);
    CPdu* pPdu = pduOf(strAddress);
    QVERIFY(pPdu);
    QTRY_COMPARE_WITH_TIMEOUT(pPdu->stInfo.outletStatus, quint8(0x01), 3000);
    QWidget* pPainter =
        m_pRig->overview.treeWidget()->itemWidget(pRow, CDeviceOverviewWidget::ColumnOutletStatus);
    QVERIFY(pPainter);
    const QColor colourOn(80, 255, 80), colourOff(255, 80, 80);
    QTRY_COMPARE(circleColour(pPainter, 1), colourOn);
    QCOMPARE(circleColour(pPainter, 4), colourOff);

    const auto outletsOf = [this](int iDevice) {
        return m_pSim->call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.outletStatus; });
    };
    const quint8 uiOthers = outletsOf(2);
    m_pRig->overview.treeWidget()->setCurrentItem(pRow);
    CDeviceControlWidget* pControl = m_pRig->overview.mainStatusWidget()->deviceControl();
    QCheckBox* pCheck4 = pControl->findChild<QCheckBox*>(QStringLiteral("CheckOutlet4"));
    QCheckBox* pCheck1 = pControl->findChild<QCheckBox*>(QStringLiteral("CheckOutlet1"));
    QVERIFY(pCheck1->isChecked());
    QVERIFY(!pCheck4->isChecked());
    QTest::mouseClick(pCheck4, Qt::LeftButton, {}, pCheck4->rect().center());
    QTest::mouseClick(pCheck1, Qt::LeftButton, {}, pCheck1->rect().center());

    QTRY_COMPARE_WITH_TIMEOUT(outletsOf(1), quint8(0x08), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(pPdu->stInfo.outletStatus, quint8(0x08), 3000);
    QTRY_COMPARE(circleColour(pPainter, 4), colourOn);
    QCOMPARE(circleColour(pPainter, 1), colourOff);
    // Other devices were not touched.
    QCOMPARE(outletsOf(2), uiOthers);
}

QTEST_MAIN(TestOverviewBed)
#include "tst_overviewbed.moc"
