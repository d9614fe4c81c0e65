#include "DeviceUiFixture.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/MainStatusWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidgetItem>
#include <QtTest>

class TestMainStatus : public QObject
{
    Q_OBJECT
private slots:
    void sections();
    void countsOfThreeDevices();
    void countsWithoutRegistry();
    void currentRowPicksFirstDeviceOfItsAddress();
    void rowWithoutDeviceDisablesSwitches_data();
    void rowWithoutDeviceDisablesSwitches();

private:
    static QString label(const CMainStatusWidget& status)
    {
        return status.findChild<QLabel*>(QStringLiteral("LabelSummarise"))->text();
    }
};

void TestMainStatus::sections()
{
    RegistryFixture fixture;
    CMainStatusWidget status;
    status.retranslate();
    const QList<QPushButton*> listHeaders = status.findChildren<QPushButton*>(QStringLiteral("BtnHeader"));
    QCOMPARE(listHeaders.size(), 2);
    QStringList listTexts;
    for (QPushButton* pHeader : listHeaders) {
        QCOMPARE(pHeader->maximumHeight(), 30);
        QCOMPARE(pHeader->minimumHeight(), 30);
        QVERIFY(!pHeader->icon().isNull());
        listTexts << pHeader->text();
    }
    listTexts.sort();
    QCOMPARE(listTexts, (QStringList{QStringLiteral("DeviceControl"), QStringLiteral("Summarise")}));
    QVERIFY(status.findChild<QWidget*>(QStringLiteral("WidgetSummarise")));
    QVERIFY(status.findChild<QWidget*>(QStringLiteral("WidgetDeviceControl")));
    QSplitter* pSplitter = status.findChild<QSplitter*>(QStringLiteral("SplitterBase"));
    QVERIFY(pSplitter);
    QCOMPARE(pSplitter->orientation(), Qt::Vertical);
    QCOMPARE(pSplitter->widget(1)->findChild<CDeviceControlWidget*>(QStringLiteral("DeviceControl")),
             status.deviceControl());
}

void TestMainStatus::countsOfThreeDevices()
{
    RegistryFixture fixture;
    CPdu* pOnline = fixture.add("10.200.1.1");
    markOnline(pOnline);
    CPdu* pHot = fixture.add("10.200.1.2");
    pHot->stInfo.temperature = pHot->stInfo.temperatureHighLimit;
    fixture.add("10.200.1.3");

    CMainStatusWidget status;
    status.retranslate();
    QCOMPARE(label(status), QStringLiteral("Total:3\nOnline:1\nAbnormal:1"));

    // The counts follow the devices on the next refresh.
    markOnline(pHot);
    pHot->stInfo.temperature = 25;
    status.retranslate();
    QCOMPARE(label(status), QStringLiteral("Total:3\nOnline:2\nAbnormal:0"));
}

void TestMainStatus::countsWithoutRegistry()
{
    CMainStatusWidget status;
    status.retranslate();
    QCOMPARE(label(status), QStringLiteral("Total:0\nOnline:0\nAbnormal:0"));
}

void TestMainStatus::currentRowPicksFirstDeviceOfItsAddress()
{
    RegistryFixture fixture;
    CPdu* pFirst = fixture.add("10.200.1.5");
    pFirst->stInfo.outletStatus = 0x02;
    CPdu* pSecond = fixture.add("10.200.1.6");
    pSecond->stInfo.outletStatus = 0x40;
    // Re-addressed onto the first one's address: the first in the list wins.
    ipv4FromUint(ipv4ToUint(pFirst->stInfo.ip), pSecond->stInfo.ip);

    CMainStatusWidget status;
    QTreeWidgetItem row;
    row.setText(4, QStringLiteral("10.200.1.5"));
    status.slotCurrentPduChanged(&row, nullptr);
    QCOMPARE(status.deviceControl()->pdu(), pFirst);
    QVERIFY(status.deviceControl()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet2"))->isChecked());
    QVERIFY(!status.deviceControl()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet7"))->isChecked());
}

void TestMainStatus::rowWithoutDeviceDisablesSwitches_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("registry");
    QTest::newRow("group row") << QString() << true;
    QTest::newRow("unknown address") << QStringLiteral("10.200.9.9") << true;
    QTest::newRow("no registry") << QStringLiteral("10.200.1.1") << false;
}

void TestMainStatus::rowWithoutDeviceDisablesSwitches()
{
    QFETCH(QString, address);
    QFETCH(bool, registry);
    auto fixture = std::make_unique<RegistryFixture>();
    CPdu* pPdu = fixture->add("10.200.1.1");
    pPdu->stInfo.outletStatus = 0xFF;

    CMainStatusWidget status;
    QTreeWidgetItem device;
    device.setText(4, QStringLiteral("10.200.1.1"));
    status.slotCurrentPduChanged(&device, nullptr);
    QCOMPARE(status.deviceControl()->pdu(), pPdu);

    if (!registry)
        fixture.reset();
    QTreeWidgetItem row;
    row.setText(0, QStringLiteral("Default"));
    row.setText(4, address);
    status.slotCurrentPduChanged(&row, &device);
    QVERIFY(!status.deviceControl()->pdu());
    const QList<QCheckBox*> listChecks = status.deviceControl()->findChildren<QCheckBox*>();
    QCOMPARE(listChecks.size(), 8);
    for (QCheckBox* pCheck : listChecks) {
        QVERIFY(!pCheck->isEnabled());
        QVERIFY(!pCheck->isChecked());
    }
}

QTEST_MAIN(TestMainStatus)
#include "tst_mainstatus.moc"
