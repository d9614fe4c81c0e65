#include "DeviceUiFixture.h"
#include "ui/device/DeviceControlWidget.h"

#include <QCheckBox>
#include <QtTest>

class TestDeviceControl : public QObject
{
    Q_OBJECT
private slots:
    void startsDisabledAndUnchecked();
    void captionsWithoutCatalogue();
    void setPduShowsOutletsWithoutSending_data();
    void setPduShowsOutletsWithoutSending();
    void clickSendsSwitchFrame_data();
    void clickSendsSwitchFrame();
    void noDeviceDisablesAndUnchecks();

private:
    static QCheckBox* check(CDeviceControlWidget& control, int iOutlet)
    {
        return control.findChild<QCheckBox*>(QStringLiteral("CheckOutlet%1").arg(iOutlet));
    }
};

void TestDeviceControl::startsDisabledAndUnchecked()
{
    CDeviceControlWidget control;
    QCOMPARE(control.findChildren<QCheckBox*>().size(), 8);
    for (int n = 1; n <= 8; ++n) {
        QVERIFY(check(control, n));
        QVERIFY(!check(control, n)->isEnabled());
        QVERIFY(!check(control, n)->isChecked());
        QCOMPARE(check(control, n)->layoutDirection(), Qt::RightToLeft);
    }
    QVERIFY(!control.pdu());
}

void TestDeviceControl::captionsWithoutCatalogue()
{
    CDeviceControlWidget control;
    control.retranslate();
    for (int n = 1; n <= 8; ++n)
        QCOMPARE(check(control, n)->text(), QStringLiteral("Outlet%1").arg(n));
}

void TestDeviceControl::setPduShowsOutletsWithoutSending_data()
{
    QTest::addColumn<int>("outletStatus");
    QTest::addColumn<QList<int>>("checked");
    QTest::newRow("0x05") << 0x05 << QList<int>{1, 3};
    QTest::newRow("none") << 0x00 << QList<int>{};
    QTest::newRow("all") << 0xFF << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
    QTest::newRow("0x81") << 0x81 << QList<int>{1, 8};
}

void TestDeviceControl::setPduShowsOutletsWithoutSending()
{
    QFETCH(int, outletStatus);
    QFETCH(QList<int>, checked);
    RegistryFixture fixture;
    CPdu* pPdu = fixture.add("10.200.1.1");
    pPdu->stInfo.outletStatus = quint8(outletStatus);
    SentFrames sent(pPdu);

    CDeviceControlWidget control;
    // Start from the opposite states, so every switch has to move.
    CPdu* pOther = fixture.add("10.200.1.2");
    pOther->stInfo.outletStatus = quint8(~outletStatus);
    SentFrames sentOther(pOther);
    control.setPdu(pOther);
    control.setPdu(pPdu);

    QCOMPARE(control.pdu(), pPdu);
    for (int n = 1; n <= 8; ++n) {
        QVERIFY(check(control, n)->isEnabled());
        QCOMPARE(check(control, n)->isChecked(), checked.contains(n));
    }
    QVERIFY(sent.listFrames.isEmpty());
    QVERIFY(sentOther.listFrames.isEmpty());
}

void TestDeviceControl::clickSendsSwitchFrame_data()
{
    QTest::addColumn<int>("outlet");
    QTest::addColumn<int>("outletStatus");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("uncheck 3") << 3 << 0x04 << QByteArray::fromHex("A7410C020204FC");
    QTest::newRow("check 8") << 8 << 0x00 << QByteArray::fromHex("A7410C02018077");
    QTest::newRow("check 1") << 1 << 0x00 << QByteArray::fromHex("A7410C020101F8");
    QTest::newRow("uncheck 8") << 8 << 0xFF << QByteArray::fromHex("A7410C02028078");
}

void TestDeviceControl::clickSendsSwitchFrame()
{
    QFETCH(int, outlet);
    QFETCH(int, outletStatus);
    QFETCH(QByteArray, frame);
    RegistryFixture fixture;
    CPdu* pPdu = fixture.add("10.200.1.7");
    pPdu->stInfo.udpPort = 6000;
    pPdu->stInfo.outletStatus = quint8(outletStatus);
    SentFrames sent(pPdu);

    CDeviceControlWidget control;
    control.setPdu(pPdu);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QCheckBox* pCheck = check(control, outlet);
    const bool bWasChecked = pCheck->isChecked();
    QTest::mouseClick(pCheck, Qt::LeftButton, {}, pCheck->rect().center());

    QCOMPARE(pCheck->isChecked(), !bWasChecked);
    QCOMPARE(sent.listFrames.size(), 1);
    QCOMPARE(sent.listFrames[0].baData.toHex(' ').toUpper(), frame.toHex(' ').toUpper());
    QCOMPARE(sent.listFrames[0].addrDest, QHostAddress(QStringLiteral("10.200.1.7")));
    QCOMPARE(sent.listFrames[0].uiPort, 6000u);
    // The switch keeps the requested state: the device has not answered yet.
    QCOMPARE(pPdu->stInfo.outletStatus, quint8(outletStatus));
}

void TestDeviceControl::noDeviceDisablesAndUnchecks()
{
    RegistryFixture fixture;
    CPdu* pPdu = fixture.add("10.200.1.1");
    pPdu->stInfo.outletStatus = 0xFF;
    SentFrames sent(pPdu);
    CDeviceControlWidget control;
    control.setPdu(pPdu);
    control.setPdu(nullptr);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    for (int n = 1; n <= 8; ++n) {
        QVERIFY(!check(control, n)->isEnabled());
        QVERIFY(!check(control, n)->isChecked());
        QTest::mouseClick(check(control, n), Qt::LeftButton, {}, check(control, n)->rect().center());
        QVERIFY(!check(control, n)->isChecked());
    }
    QVERIFY(sent.listFrames.isEmpty());
}

QTEST_MAIN(TestDeviceControl)
#include "tst_devicecontrol.moc"
