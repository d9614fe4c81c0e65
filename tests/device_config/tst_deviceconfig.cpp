#include "ConfigTestSupport.h"

#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/frame/SubTab.h"

#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

struct SentFrame
{
    QByteArray baData;
    QHostAddress addr;
    uint uiPort;
};

const quint8 kReplyCommands[] = {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays,
                                 kCmdOutletNames};

} // namespace

class TestDeviceConfig : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void zeroLimitSelectedFirstNeedsNoDownload();
    void everyFieldFollowsTheShownDevice();
    void editorThatCannotShowTheValueLeavesAVisibleChange_data();
    void editorThatCannotShowTheValueLeavesAVisibleChange();
    void addressTypedDigitByDigit();
    void addressValidatorRefusesLeadingZeros_data();
    void addressValidatorRefusesLeadingZeros();
    void macLoadedAndTyped();
    void okChecks_data();
    void okChecks();
    void okChecksInOrder();
    void delayEditWithUnfinishedAddressIsRefused();
    void buttonsDisabledForTwoSecondsAfterOk();
    void okWithoutDifferenceHidesButtons();
    void cancelRestoresAndHides();
    void selectingAnotherRowHidesButtons();
    void noDeviceEditsNothing();
    void deviceNameFillsSixteenBytes_data();
    void deviceNameFillsSixteenBytes();
    void clearingLocationStoresZeros();
    void outletNameNineCharacters();
    void clearingOutletNameEightStoresZeros();
    void closeDelayThreeToZero();
    void currentTravelsAsWholeAndTenths();
    void portChangeJoinsPolledPorts();
    void textsAndTabs();
    void paintsTabColumnAndBody();

private:
    void feed(const PduInfo& info, quint8 cmd);
    void feedAll(const PduInfo& info);
    void select(int iRow);
    void clickOk();
    bool buttonsShown() const;
    QLineEdit* lineEdit(const char* pszName) const;
    QSpinBox* spin(const char* pszName) const;
    QList<QSpinBox*> spins(const char* pszName) const;
    QList<QLineEdit*> outletNameEdits() const;
    QPushButton* button(const char* pszName) const;
    CPdu* device(int iRow) const;
    QList<quint8> sentCommands() const;

    QTemporaryDir m_dirWork;
    std::unique_ptr<CRackmind> m_pRegistry;
    std::unique_ptr<CDeviceConfigWidget> m_pPage;
    std::unique_ptr<QTreeWidget> m_pTree;
    QTreeWidgetItem* m_pItemDefault = nullptr;
    QList<QTreeWidgetItem*> m_listRows;
    QTreeWidgetItem* m_pCurrent = nullptr;
    QList<PduInfo> m_listReported;
    QList<SentFrame> m_listSent;
    QStringList m_listWarnings;
};

void TestDeviceConfig::init()
{
    QVERIFY(m_dirWork.isValid());
    QVERIFY(QDir::setCurrent(m_dirWork.path()));
    m_pRegistry = std::make_unique<CRackmind>();
    g_pRackmind = m_pRegistry.get();
    connect(m_pRegistry.get(), &CRackmind::signalSndData, this,
            [this](bool& bResult, QByteArray baData, QHostAddress addr, uint uiPort) {
                bResult = true;
                m_listSent.append({baData, addr, uiPort});
            });
    CDeviceConfigWidget::setWarningHandler([this](QWidget* pParent, const QString& strTitle, const QString& strText) {
        QVERIFY(pParent == m_pPage.get());
        m_listWarnings << strTitle + QLatin1Char('|') + strText;
    });

    m_listReported = {reportedDevice(1), reportedDevice(2)};
    for (const PduInfo& info : qAsConst(m_listReported))
        feedAll(info);
    QCOMPARE(m_pRegistry->listPdu.size(), 2);

    m_pPage = std::make_unique<CDeviceConfigWidget>(nullptr);
    m_pPage->resize(900, 600);
    m_pPage->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pPage.get()));

    m_pTree = std::make_unique<QTreeWidget>();
    m_pTree->setColumnCount(12);
    m_pItemDefault = new QTreeWidgetItem(m_pTree.get(), {QStringLiteral("Default")});
    for (const PduInfo& info : qAsConst(m_listReported)) {
        auto* pRow = new QTreeWidgetItem(m_pItemDefault);
        pRow->setText(4, addressOf(info.ip));
        m_listRows << pRow;
    }
}

void TestDeviceConfig::cleanup()
{
    CDeviceConfigWidget::setWarningHandler({});
    m_pPage.reset();
    m_pTree.reset();
    m_listRows.clear();
    m_pCurrent = nullptr;
    g_pRackmind = nullptr;
    m_pRegistry.reset();
    m_listSent.clear();
    m_listWarnings.clear();
}

void TestDeviceConfig::feed(const PduInfo& info, quint8 cmd)
{
    QNetworkDatagram datagram(buildFrame(kFrameReply, cmd, payloadFor(cmd, info)));
    datagram.setSender(QHostAddress(addressOf(info.ip)), quint16(info.udpPort));
    m_pRegistry->slotRcvData(datagram);
}

void TestDeviceConfig::feedAll(const PduInfo& info)
{
    for (quint8 cmd : kReplyCommands)
        feed(info, cmd);
}

void TestDeviceConfig::select(int iRow)
{
    QTreeWidgetItem* pItem = iRow < 0 ? m_pItemDefault : m_listRows.at(iRow);
    m_pPage->slotCurrentPduChanged(pItem, m_pCurrent);
    m_pCurrent = pItem;
}

void TestDeviceConfig::clickOk()
{
    QTest::mouseClick(button("BtnOk"), Qt::LeftButton);
}

bool TestDeviceConfig::buttonsShown() const
{
    const bool bOk = button("BtnOk")->isVisible();
    const bool bCancel = button("BtnCancel")->isVisible();
    if (bOk != bCancel)
        qWarning("OK and Cancel disagree");
    return bOk && bCancel;
}

QLineEdit* TestDeviceConfig::lineEdit(const char* pszName) const
{
    return m_pPage->findChild<QLineEdit*>(QLatin1String(pszName));
}

QSpinBox* TestDeviceConfig::spin(const char* pszName) const
{
    return m_pPage->findChild<QSpinBox*>(QLatin1String(pszName));
}

QList<QSpinBox*> TestDeviceConfig::spins(const char* pszName) const
{
    return m_pPage->findChildren<QSpinBox*>(QLatin1String(pszName));
}

QList<QLineEdit*> TestDeviceConfig::outletNameEdits() const
{
    return m_pPage->findChildren<QLineEdit*>(QStringLiteral("LineEditOutletName"));
}

QPushButton* TestDeviceConfig::button(const char* pszName) const
{
    return m_pPage->findChild<QPushButton*>(QLatin1String(pszName));
}

CPdu* TestDeviceConfig::device(int iRow) const
{
    return m_pRegistry->listPdu.at(iRow);
}

QList<quint8> TestDeviceConfig::sentCommands() const
{
    QList<quint8> list;
    for (const SentFrame& frame : m_listSent)
        list << quint8(frame.baData.at(2));
    return list;
}

void TestDeviceConfig::zeroLimitSelectedFirstNeedsNoDownload()
{
    // Device 0 reports a 0.0 A warning limit, which the spin box already shows before it is loaded.
    QCOMPARE(device(0)->stInfo.currentWarn, 0.0);
    QCOMPARE(m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"))->value(), 0.0);
    select(0);
    QCOMPARE(m_pPage->pdu(), device(0));
    QCOMPARE(device(0)->stSetInfo.currentWarn, 0.0);
    QVERIFY(device(0)->needDownload().isEmpty());
    QVERIFY(!buttonsShown());

    feed(m_listReported.at(0), kCmdStatus);
    QVERIFY(!buttonsShown());
    QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), "on_BtnOk_clicked"));
    QVERIFY(m_listSent.isEmpty());
    QVERIFY(m_listWarnings.isEmpty());
}

void TestDeviceConfig::everyFieldFollowsTheShownDevice()
{
    // Device 1 reports the same limits, mask and delays as device 0, so those editors do not change
    // when it is selected after device 0; whatever its edit record held before must still go.
    PduInfo& set = device(1)->stSetInfo;
    std::memset(set.subNetMask, 0x11, sizeof set.subNetMask);
    set.currentOverload = 99.9;
    set.humidityWarn = 1;
    set.outletOpenDelay[7] = 200;
    setText(set.outletName[0], 10, "stale");
    setText(set.position, 16, "stale");
    QCOMPARE(device(1)->needDownload(), (QList<int>{0x01, 0x08, 0x0E, 0x10}));

    select(0);
    select(1);
    QVERIFY(device(1)->needDownload().isEmpty());
    feed(m_listReported.at(1), kCmdStatus);
    QVERIFY(!buttonsShown());
    QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), "on_BtnOk_clicked"));
    QVERIFY(m_listSent.isEmpty());
}

void TestDeviceConfig::editorThatCannotShowTheValueLeavesAVisibleChange_data()
{
    QTest::addColumn<int>("iCase");
    QTest::addColumn<QList<int>>("listExpected");
    QTest::newRow("ten-character outlet name") << 0 << QList<int>{0x10};
    QTest::newRow("limit with two decimals") << 1 << QList<int>{0x08};
    QTest::newRow("name beyond Latin-1") << 2 << QList<int>{0x01};
}

void TestDeviceConfig::editorThatCannotShowTheValueLeavesAVisibleChange()
{
    QFETCH(int, iCase);
    QFETCH(QList<int>, listExpected);
    PduInfo& info = device(0)->stInfo;
    if (iCase == 0) {
        std::memcpy(info.outletName[2], "ABCDEFGHIJ", 10);
    } else if (iCase == 1) {
        info.currentWarn = 5.56;
    } else {
        setText(info.name, 16, "Rack\xC3\xA9\xE2\x82\xAC"); // "Racké€"
    }
    select(0);
    QVERIFY(!buttonsShown());
    feed(m_listReported.at(0), kCmdStatus);
    QCOMPARE(device(0)->needDownload(), listExpected);
    QVERIFY(buttonsShown());
    if (iCase == 0) {
        QCOMPARE(outletNameEdits().at(2)->text(), QStringLiteral("ABCDEFGHI"));
        QCOMPARE(QByteArray(device(0)->stSetInfo.outletName[2], 10), QByteArray("ABCDEFGHI\0", 10));
    } else if (iCase == 1) {
        QCOMPARE(m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"))->text(), QStringLiteral("5.6"));
    } else {
        QCOMPARE(lineEdit("LineEditName")->text(), QStringLiteral("Rack\u00E9\u20AC"));
        // é is Latin-1 and kept, € is not and becomes a zero byte.
        QCOMPARE(QByteArray(device(0)->stSetInfo.name, 16), QByteArray("Rack\xE9\0\0\0\0\0\0\0\0\0\0\0", 16));
    }
}

void TestDeviceConfig::addressTypedDigitByDigit()
{
    select(0);
    QLineEdit* pEdit = lineEdit("LineEditIP");
    QSignalSpy spyCheck(m_pPage->findChild<QWidget*>(QStringLiteral("NetworkConfigWidget")),
                        SIGNAL(signalCheckNeedDownload()));
    pEdit->clear();
    QCOMPARE(spyCheck.count(), 0);
    QCOMPARE(addressOf(device(0)->stSetInfo.ip), QStringLiteral("10.200.1.1"));

    const QString strTyped = QStringLiteral("192.168.7.45");
    for (int i = 0; i < strTyped.size(); ++i) {
        QTest::keyClick(pEdit, strTyped.at(i).toLatin1());
        const QString strShown = strTyped.left(i + 1);
        QCOMPARE(pEdit->text(), strShown);
        // Only the complete addresses 192.168.7.4 and 192.168.7.45 are stored, one emission each.
        const QString strStored = addressOf(device(0)->stSetInfo.ip);
        if (i < strTyped.size() - 2) {
            QCOMPARE(strStored, QStringLiteral("10.200.1.1"));
            QCOMPARE(spyCheck.count(), 0);
        } else {
            QCOMPARE(strStored, strShown);
            QCOMPARE(spyCheck.count(), i - (strTyped.size() - 3));
        }
    }
    QVERIFY(buttonsShown());
}

void TestDeviceConfig::addressValidatorRefusesLeadingZeros_data()
{
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<QString>("strShown");
    QTest::newRow("leading zero") << "010.200.1.5" << "0.200.1.5";
    QTest::newRow("octet above 255") << "256.1.2.3" << "25.1.2.3";
    QTest::newRow("letters and spaces") << "10 .a2.3.4" << "10.2.3.4";
    QTest::newRow("fifth octet") << "1.2.3.4.5" << "1.2.3.45";
}

void TestDeviceConfig::addressValidatorRefusesLeadingZeros()
{
    QFETCH(QString, strTyped);
    QFETCH(QString, strShown);
    select(0);
    QLineEdit* pEdit = lineEdit("LineEditGateway");
    pEdit->clear();
    QTest::keyClicks(pEdit, strTyped);
    QCOMPARE(pEdit->text(), strShown);
    QCOMPARE(addressOf(device(0)->stSetInfo.gateway), strShown);
}

void TestDeviceConfig::macLoadedAndTyped()
{
    std::memcpy(device(0)->stInfo.mac, "\x00\x04\xA3\x00\x00\x00", 6);
    select(0);
    QLineEdit* pEdit = lineEdit("LineEditMac");
    QCOMPARE(pEdit->text(), QStringLiteral("00:04:A3:00:00:00"));
    pEdit->clear();
    QTest::keyClicks(pEdit, QStringLiteral("00:04:a3:00:00:0"));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(device(0)->stSetInfo.mac), 6),
             QByteArray("\x00\x04\xA3\x00\x00\x00", 6));
    QTest::keyClick(pEdit, '1');
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(device(0)->stSetInfo.mac), 6),
             QByteArray("\x00\x04\xA3\x00\x00\x01", 6));
    QCOMPARE(device(0)->needDownload(), QList<int>{0x01});
}

void TestDeviceConfig::okChecks_data()
{
    QTest::addColumn<QString>("strEditor");
    QTest::addColumn<QString>("strText");
    QTest::addColumn<QString>("strMessage");
    QTest::newRow("mac with dashes") << "LineEditMac" << "00-1A-2B-3C-4D-5E" << "";
    QTest::newRow("mac lower case") << "LineEditMac" << "00:1a:2b:3c:4d:5e" << "";
    QTest::newRow("mac unfinished") << "LineEditMac" << "00:1A:2B:3C:4D" << "Please input a correct mac address.";
    QTest::newRow("mac mixed separators") << "LineEditMac" << "00:1A-2B:3C-4D:5E" << "";
    QTest::newRow("ip unfinished") << "LineEditIP" << "192.168.1" << "Please input a correct ip address.";
    QTest::newRow("ip with a space") << "LineEditIP" << "10.200.1.1 " << "Please input a correct ip address.";
    QTest::newRow("mask unfinished") << "LineEditSubNetMask" << "255.255" << "Please input a correct sub network mask.";
    QTest::newRow("gateway empty") << "LineEditGateway" << "" << "Please input a correct gateway address.";
    QTest::newRow("name empty") << "LineEditName" << "" << "Please input pdu name.";
    QTest::newRow("location empty") << "LineEditPosition" << "" << "Please input pdu location.";
}

void TestDeviceConfig::okChecks()
{
    QFETCH(QString, strEditor);
    QFETCH(QString, strText);
    QFETCH(QString, strMessage);
    select(0);
    // Some section must differ, or OK just hides the buttons.
    spins("SpinOutletCloseDelay").at(0)->setValue(42);
    lineEdit(qPrintable(strEditor))->setText(strText);
    QVERIFY(buttonsShown());
    clickOk();
    if (strMessage.isEmpty()) {
        QVERIFY2(m_listWarnings.isEmpty(), qPrintable(m_listWarnings.join(QLatin1Char(';'))));
        QCOMPARE(sentCommands(), (QList<quint8>{kCmdOutletDelays, kCmdNetwork}));
        const QByteArray baPayload = framePayload(m_listSent.at(1).baData);
        QCOMPARE(baPayload.mid(12, 6), QByteArray("\x00\x1A\x2B\x3C\x4D\x5E", 6));
    } else {
        QCOMPARE(m_listWarnings, QStringList{QStringLiteral("warning|") + strMessage});
        QVERIFY(m_listSent.isEmpty());
        QVERIFY(buttonsShown());
        QVERIFY(button("BtnOk")->isEnabled());
    }
}

void TestDeviceConfig::okChecksInOrder()
{
    select(0);
    const QList<QPair<const char*, QString>> listFields = {
        {"LineEditIP", QStringLiteral("Please input a correct ip address.")},
        {"LineEditSubNetMask", QStringLiteral("Please input a correct sub network mask.")},
        {"LineEditGateway", QStringLiteral("Please input a correct gateway address.")},
        {"LineEditMac", QStringLiteral("Please input a correct mac address.")},
        {"LineEditName", QStringLiteral("Please input pdu name.")},
        {"LineEditPosition", QStringLiteral("Please input pdu location.")}};
    QList<QString> listGood;
    for (const auto& field : listFields) {
        listGood << lineEdit(field.first)->text();
        lineEdit(field.first)->clear();
    }
    for (int i = 0; i < listFields.size(); ++i) {
        m_listWarnings.clear();
        clickOk();
        QCOMPARE(m_listWarnings, QStringList{QStringLiteral("warning|") + listFields.at(i).second});
        lineEdit(listFields.at(i).first)->setText(listGood.at(i));
    }
    m_listWarnings.clear();
    // Every entry is back to what the device reports: nothing differs any more.
    QVERIFY(device(0)->needDownload().isEmpty());
    QVERIFY(!buttonsShown());
    QVERIFY(m_listSent.isEmpty());
}

void TestDeviceConfig::delayEditWithUnfinishedAddressIsRefused()
{
    select(0);
    QLineEdit* pEdit = lineEdit("LineEditIP");
    pEdit->clear();
    QTest::keyClicks(pEdit, QStringLiteral("192.168.1"));
    QVERIFY(device(0)->needDownload().isEmpty());
    spins("SpinOutletOpenDelay").at(4)->setValue(0);
    QCOMPARE(device(0)->needDownload(), QList<int>{0x0E});
    clickOk();
    QCOMPARE(m_listWarnings, QStringList{QStringLiteral("warning|Please input a correct ip address.")});
    QVERIFY(m_listSent.isEmpty());
    QCOMPARE(device(0)->stSetInfo.outletOpenDelay[4], quint8(0));
}

void TestDeviceConfig::buttonsDisabledForTwoSecondsAfterOk()
{
    select(0);
    spin("SpinHumidityWarn")->setValue(70);
    QVERIFY(buttonsShown());
    QElapsedTimer timer;
    timer.start();
    clickOk();
    QCOMPARE(sentCommands(), QList<quint8>{kCmdThresholds});
    QCOMPARE(m_listSent.at(0).addr, QHostAddress(QStringLiteral("10.200.1.1")));
    QCOMPARE(m_listSent.at(0).uiPort, 51230u);
    QVERIFY(buttonsShown());
    QVERIFY(!button("BtnOk")->isEnabled());
    QVERIFY(!button("BtnCancel")->isEnabled());
    clickOk();
    QTest::mouseClick(button("BtnCancel"), Qt::LeftButton);
    QCOMPARE(m_listSent.size(), 1);
    QCOMPARE(device(0)->stSetInfo.humidityWarn, quint8(70));

    QTRY_VERIFY_WITH_TIMEOUT(button("BtnOk")->isEnabled(), 10000);
    QVERIFY(button("BtnCancel")->isEnabled());
    QVERIFY2(timer.elapsed() >= 1900, qPrintable(QString::number(timer.elapsed())));
    QVERIFY(buttonsShown());

    // The device applies the limit: its next reply makes the buttons vanish.
    PduInfo applied = m_listReported.at(0);
    applied.humidityWarn = 70;
    feed(applied, kCmdThresholds);
    QVERIFY(!buttonsShown());
}

void TestDeviceConfig::okWithoutDifferenceHidesButtons()
{
    select(0);
    spin("SpinVoltageWarn")->setValue(240);
    QVERIFY(buttonsShown());
    // Already applied by the device, but the page has not re-checked since.
    device(0)->stInfo.voltageWarn = 240;
    clickOk();
    QVERIFY(!buttonsShown());
    QVERIFY(m_listSent.isEmpty());
}

void TestDeviceConfig::cancelRestoresAndHides()
{
    select(0);
    lineEdit("LineEditIP")->setText(QStringLiteral("10.200.1.9"));
    lineEdit("LineEditName")->setText(QStringLiteral("Other"));
    m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentOverload"))->setValue(3.5);
    spins("SpinOutletCloseDelay").at(7)->setValue(255);
    outletNameEdits().at(5)->setText(QStringLiteral("Printer"));
    QCOMPARE(device(0)->needDownload(), (QList<int>{0x01, 0x08, 0x0E, 0x10}));
    QVERIFY(buttonsShown());

    QTest::mouseClick(button("BtnCancel"), Qt::LeftButton);
    QVERIFY(!buttonsShown());
    QVERIFY(device(0)->needDownload().isEmpty());
    QCOMPARE(lineEdit("LineEditIP")->text(), QStringLiteral("10.200.1.1"));
    QCOMPARE(lineEdit("LineEditName")->text(), QStringLiteral("Rack1"));
    QCOMPARE(m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentOverload"))->value(), 16.0);
    QCOMPARE(spins("SpinOutletCloseDelay").at(7)->value(), 27);
    QCOMPARE(outletNameEdits().at(5)->text(), QStringLiteral("Srv6"));
    feed(m_listReported.at(0), kCmdStatus);
    QVERIFY(!buttonsShown());
    QVERIFY(m_listSent.isEmpty());
}

void TestDeviceConfig::selectingAnotherRowHidesButtons()
{
    select(0);
    lineEdit("LineEditPosition")->setText(QStringLiteral("RowZ"));
    QVERIFY(buttonsShown());
    select(1);
    QCOMPARE(m_pPage->pdu(), device(1));
    QVERIFY(!buttonsShown());
    QCOMPARE(lineEdit("LineEditPosition")->text(), QStringLiteral("RowB"));
    // The edit stays with device 0 until a reload or Cancel overwrites it.
    QCOMPARE(device(0)->needDownload(), QList<int>{0x01});
    QVERIFY(device(1)->needDownload().isEmpty());
    // Replies from a device the page does not show leave the buttons alone.
    feed(m_listReported.at(0), kCmdStatus);
    QVERIFY(!buttonsShown());
    feed(m_listReported.at(1), kCmdStatus);
    QVERIFY(!buttonsShown());
}

void TestDeviceConfig::noDeviceEditsNothing()
{
    select(0);
    select(-1);
    QVERIFY(!m_pPage->pdu());
    QVERIFY(!buttonsShown());
    // The pages keep showing the last device but edit nothing.
    QCOMPARE(lineEdit("LineEditIP")->text(), QStringLiteral("10.200.1.1"));
    lineEdit("LineEditName")->setText(QStringLiteral("Nobody"));
    spin("SpinVoltageOverload")->setValue(1);
    QVERIFY(device(0)->needDownload().isEmpty());
    QVERIFY(!buttonsShown());
    QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), "on_BtnOk_clicked"));
    QVERIFY(m_listSent.isEmpty());
}

void TestDeviceConfig::deviceNameFillsSixteenBytes_data()
{
    QTest::addColumn<QString>("strTyped");
    QTest::addColumn<QByteArray>("baStored");
    QTest::newRow("16 characters") << "ABCDEFGHIJKLMNOP" << QByteArray("ABCDEFGHIJKLMNOP", 16);
    QTest::newRow("3 characters") << "Rk7" << QByteArray("Rk7\0\0\0\0\0\0\0\0\0\0\0\0\0", 16);
    QTest::newRow("17th character refused") << "ABCDEFGHIJKLMNOPQ" << QByteArray("ABCDEFGHIJKLMNOP", 16);
    QTest::newRow("space refused") << "Rack 9" << QByteArray("Rack9\0\0\0\0\0\0\0\0\0\0\0", 16);
}

void TestDeviceConfig::deviceNameFillsSixteenBytes()
{
    QFETCH(QString, strTyped);
    QFETCH(QByteArray, baStored);
    select(0);
    QLineEdit* pEdit = lineEdit("LineEditName");
    pEdit->clear();
    QTest::keyClicks(pEdit, strTyped);
    QCOMPARE(QByteArray(device(0)->stSetInfo.name, 16), baStored);
    clickOk();
    QCOMPARE(sentCommands(), QList<quint8>{kCmdNetwork});
    QCOMPARE(framePayload(m_listSent.at(0).baData).mid(20, 16), baStored);
}

void TestDeviceConfig::clearingLocationStoresZeros()
{
    select(0);
    QSignalSpy spyCheck(m_pPage->findChild<QWidget*>(QStringLiteral("NetworkConfigWidget")),
                        SIGNAL(signalCheckNeedDownload()));
    lineEdit("LineEditPosition")->clear();
    QCOMPARE(spyCheck.count(), 1);
    QCOMPARE(QByteArray(device(0)->stSetInfo.position, 16), QByteArray(16, '\0'));
}

void TestDeviceConfig::outletNameNineCharacters()
{
    select(0);
    QLineEdit* pEdit = outletNameEdits().at(0);
    pEdit->clear();
    QTest::keyClicks(pEdit, QStringLiteral("Storage01X"));
    QCOMPARE(pEdit->text(), QStringLiteral("Storage01"));
    QCOMPARE(QByteArray(device(0)->stSetInfo.outletName[0], 10), QByteArray("Storage01\0", 10));
    QCOMPARE(QByteArray(device(0)->stSetInfo.outletName[1], 10), QByteArray("Srv2\0\0\0\0\0\0", 10));
    clickOk();
    QCOMPARE(sentCommands(), QList<quint8>{kCmdOutletNames});
    QCOMPARE(framePayload(m_listSent.at(0).baData).left(20), QByteArray("Storage01\0Srv2\0\0\0\0\0\0", 20));
}

void TestDeviceConfig::clearingOutletNameEightStoresZeros()
{
    select(0);
    QSignalSpy spyCheck(m_pPage->findChild<QWidget*>(QStringLiteral("OutletNameConfigWidget")),
                        SIGNAL(signalCheckNeedDownload()));
    outletNameEdits().at(7)->clear();
    QCOMPARE(spyCheck.count(), 1);
    QCOMPARE(QByteArray(device(0)->stSetInfo.outletName[7], 10), QByteArray(10, '\0'));
    QCOMPARE(device(0)->needDownload(), QList<int>{0x10});
    QVERIFY(buttonsShown());
}

void TestDeviceConfig::closeDelayThreeToZero()
{
    select(0);
    spins("SpinOutletCloseDelay").at(2)->setValue(0);
    QCOMPARE(device(0)->stSetInfo.outletCloseDelay[2], quint8(0));
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(device(0)->stSetInfo.outletOpenDelay), 8),
             QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08", 8));
    QCOMPARE(device(0)->needDownload(), QList<int>{0x0E});
    clickOk();
    QCOMPARE(sentCommands(), QList<quint8>{kCmdOutletDelays});
    QCOMPARE(framePayload(m_listSent.at(0).baData),
             QByteArray("\x01\x02\x03\x04\x05\x06\x07\x08\x14\x15\x00\x17\x18\x19\x1A\x1B", 16));
}

void TestDeviceConfig::currentTravelsAsWholeAndTenths()
{
    select(0);
    auto* pWarn = m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"));
    QSignalSpy spyCheck(m_pPage->findChild<QWidget*>(QStringLiteral("ThresholdConfigWidget")),
                        SIGNAL(signalCheckNeedDownload()));
    pWarn->setValue(5.5);
    QCOMPARE(spyCheck.count(), 1);
    QCOMPARE(device(0)->stSetInfo.currentWarn, 5.5);
    // An overload limit below the warning limit is taken as entered.
    m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentOverload"))->setValue(1.0);
    clickOk();
    QVERIFY(m_listWarnings.isEmpty());
    QCOMPARE(sentCommands(), QList<quint8>{kCmdThresholds});
    QCOMPARE(framePayload(m_listSent.at(0).baData),
             QByteArray("\x05\x00\x05\x01\x00\x00\xF5\x00\x04\x01\x02\x2D\x55", 13));
}

void TestDeviceConfig::portChangeJoinsPolledPorts()
{
    select(0);
    QSignalSpy spyPorts(m_pRegistry.get(), &CRackmind::signalUpdateDevicePort);
    spin("SpinUdpPort")->setValue(6000);
    QCOMPARE(device(0)->stSetInfo.udpPort, 6000u);
    clickOk();
    QCOMPARE(sentCommands(), QList<quint8>{kCmdNetwork});
    // The frame goes to the port the device listens on now.
    QCOMPARE(m_listSent.at(0).uiPort, 51230u);
    QCOMPARE(framePayload(m_listSent.at(0).baData).mid(18, 2), QByteArray("\x70\x17", 2));
    QVERIFY(m_pRegistry->listDevicePort.contains(6000u));
    QCOMPARE(spyPorts.count(), 1);
}

void TestDeviceConfig::textsAndTabs()
{
    auto* pSubTab = m_pPage->findChild<CSubTab*>(QStringLiteral("SubTab"));
    QVERIFY(pSubTab);
    const QStringList listCaptions = {QStringLiteral("Network"), QStringLiteral("Threshold"), QStringLiteral("Delay"),
                                      QStringLiteral("OutletName")};
    for (int i = 0; i < CSubTab::kButtonCount; ++i) {
        QCOMPARE(pSubTab->buttons[i]->isVisible(), i < 4);
        if (i < 4) {
            QCOMPARE(pSubTab->buttons[i]->text(), listCaptions.at(i));
            QVERIFY(!pSubTab->buttons[i]->icon().isNull());
        }
    }
    QCOMPARE(button("BtnOk")->text(), QStringLiteral("OK"));
    QCOMPARE(button("BtnCancel")->text(), QStringLiteral("CANCEL"));
    QCOMPARE(button("BtnOk")->size(), QSize(100, 40));
    for (const char* pszName : {"LabelOutletOpenDelay", "LabelOutletCloseDelay", "LabelOutletName"}) {
        const QList<QLabel*> listLabels = m_pPage->findChildren<QLabel*>(QLatin1String(pszName));
        QCOMPARE(listLabels.size(), 8);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(listLabels.at(i)->text(), QStringLiteral("Outlet%1").arg(i + 1));
    }

    auto* pStack = m_pPage->findChild<QStackedWidget*>(QStringLiteral("MainStack"));
    QCOMPARE(pStack->currentIndex(), 0);
    QTest::mouseClick(pSubTab->buttons[2], Qt::LeftButton);
    QCOMPARE(pStack->currentIndex(), 2);
    QCOMPARE(pStack->currentWidget()->objectName(), QStringLiteral("DelayConfigWidget"));
    QTest::mouseClick(pSubTab->buttons[3], Qt::LeftButton);
    QCOMPARE(pStack->currentWidget()->objectName(), QStringLiteral("OutletNameConfigWidget"));
}

void TestDeviceConfig::paintsTabColumnAndBody()
{
    const QImage image = m_pPage->grab().toImage();
    const int iTabWidth = m_pPage->findChild<CSubTab*>(QStringLiteral("SubTab"))->tabWidth();
    // Below the tab buttons the column shows its grey, right of it the body is white.
    QCOMPARE(QColor(image.pixel(10, image.height() - 5)), QColor(240, 240, 240));
    QCOMPARE(QColor(image.pixel(iTabWidth - 1, image.height() - 5)), QColor(240, 240, 240));
    QCOMPARE(QColor(image.pixel(iTabWidth + 1, image.height() - 5)), QColor(Qt::white));
    QCOMPARE(QColor(image.pixel(image.width() - 3, 3)), QColor(Qt::white));
}

QTEST_MAIN(TestDeviceConfig)
#include "tst_deviceconfig.moc"
