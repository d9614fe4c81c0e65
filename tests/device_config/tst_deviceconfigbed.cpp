#include "tests/common/ConsoleRig.h"
#include "device/Protocol.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceConfigWidget.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

// The configuration page against simulated PDUs across the test bed: the real transport sends its set
// frames and the simulator's record says what arrived.
class TestDeviceConfigBed : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void setFrameReachesTheDevice_data();
    void setFrameReachesTheDevice();
    void addressChangeMovesTheDevice();
    void portChangeJoinsThePolledPorts();

private:
    QTreeWidgetItem* rowOf(const QString& strAddress) const;
    QString simAddress(int iDevice) const;
    SimPduState simState(int iDevice) const;
    // The set frames of command cmd that device iDevice has received.
    QList<QByteArray> setFramesReceived(int iDevice, quint8 cmd) const;
    // Makes device iDevice's row current once the device has answered every query; *ppPdu is its
    // device object then, null on failure.
    void selectDevice(int iDevice, CPdu** ppPdu);
    bool buttonsShown() const;
    void clickOk();

    std::unique_ptr<QTemporaryDir> m_pDirWork;
    std::unique_ptr<CSimThread> m_pSim;
    std::unique_ptr<ConsoleRig> m_pRig;
    std::unique_ptr<CDeviceConfigWidget> m_pPage;
    QStringList m_listWarnings;
    static constexpr int kDevices = 2;
};

void TestDeviceConfigBed::init()
{
    // "port.prt" is read and written in the working folder: a fresh one for every case.
    m_pDirWork = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDirWork->isValid());
    QVERIFY(QDir::setCurrent(m_pDirWork->path()));
    m_pSim = std::make_unique<CSimThread>();
    CSimConfig config;
    config.iDevices = kDevices;
    config.dDelayUnit = 0;
    config.bNoise = false;
    QString strError;
    QVERIFY2(m_pSim->startFleet(config, &strError), qPrintable(strError));
    m_pRig = std::make_unique<ConsoleRig>();
    m_pPage = std::make_unique<CDeviceConfigWidget>(nullptr);
    connect(m_pRig->overview.treeWidget(), &QTreeWidget::currentItemChanged, m_pPage.get(),
            &CDeviceConfigWidget::slotCurrentPduChanged);
    CDeviceConfigWidget::setWarningHandler(
        [this](QWidget*, const QString&, const QString& strText) { m_listWarnings << strText; });
    m_pPage->resize(900, 600);
    m_pPage->show();
    QVERIFY(m_pRig->start());
}

void TestDeviceConfigBed::cleanup()
{
    QVERIFY2(m_listWarnings.isEmpty(), qPrintable(m_listWarnings.join(QLatin1Char(';'))));
    m_listWarnings.clear();
    CDeviceConfigWidget::setWarningHandler({});
    m_pPage.reset();
    m_pRig.reset();
    m_pSim.reset();
    QDir::setCurrent(QDir::tempPath());
    m_pDirWork.reset();
}

QTreeWidgetItem* TestDeviceConfigBed::rowOf(const QString& strAddress) const
{
    return m_pRig->rowOf(strAddress);
}

QString TestDeviceConfigBed::simAddress(int iDevice) const
{
    return QHostAddress(simState(iDevice).ip).toString();
}

SimPduState TestDeviceConfigBed::simState(int iDevice) const
{
    return m_pSim->call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st; });
}

QList<QByteArray> TestDeviceConfigBed::setFramesReceived(int iDevice, quint8 cmd) const
{
    const QVector<SimFrameRecord> vecFrames =
        m_pSim->call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->received(); });
    QList<QByteArray> list;
    for (const SimFrameRecord& rec : vecFrames)
        if (rec.baFrame.size() > 4 && quint8(rec.baFrame.at(1)) == kFrameSet && quint8(rec.baFrame.at(2)) == cmd)
            list << rec.baFrame;
    return list;
}

void TestDeviceConfigBed::selectDevice(int iDevice, CPdu** ppPdu)
{
    *ppPdu = nullptr;
    const QString strAddress = simAddress(iDevice);
    QTRY_VERIFY_WITH_TIMEOUT(rowOf(strAddress), 5000);
    CPdu* pPdu = m_pRig->registry()->listPdu.value(0);
    for (CPdu* pCandidate : qAsConst(m_pRig->registry()->listPdu))
        if (QHostAddress(ipv4ToUint(pCandidate->stInfo.ip)).toString() == strAddress)
            pPdu = pCandidate;
    // Every section reported: the name arrives with the network reply, the outlet names last.
    const QByteArray baLastName = simState(iDevice).outletName[7];
    QTRY_COMPARE_WITH_TIMEOUT(QByteArray(pPdu->stInfo.outletName[7], 10), baLastName, 5000);
    m_pRig->overview.treeWidget()->setCurrentItem(rowOf(strAddress));
    QCOMPARE(m_pPage->pdu(), pPdu);
    *ppPdu = pPdu;
}

bool TestDeviceConfigBed::buttonsShown() const
{
    return m_pPage->findChild<QPushButton*>(QStringLiteral("BtnOk"))->isVisible() &&
           m_pPage->findChild<QPushButton*>(QStringLiteral("BtnCancel"))->isVisible();
}

void TestDeviceConfigBed::clickOk()
{
    QTest::mouseClick(m_pPage->findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
}

void TestDeviceConfigBed::setFrameReachesTheDevice_data()
{
    QTest::addColumn<int>("iCmd");
    QTest::newRow("network settings") << int(kCmdNetwork);
    QTest::newRow("thresholds") << int(kCmdThresholds);
    QTest::newRow("delays") << int(kCmdOutletDelays);
    QTest::newRow("outlet names") << int(kCmdOutletNames);
}

void TestDeviceConfigBed::setFrameReachesTheDevice()
{
    QFETCH(int, iCmd);
    CPdu* pPdu = nullptr;
    selectDevice(2, &pPdu);
    QVERIFY(pPdu);
    QVERIFY(!buttonsShown());
    const SimPduState before = simState(2);

    switch (iCmd) {
    case kCmdNetwork:
        m_pPage->findChild<QLineEdit*>(QStringLiteral("LineEditName"))->setText(QStringLiteral("EdgeRack7"));
        m_pPage->findChild<QLineEdit*>(QStringLiteral("LineEditPosition"))->setText(QStringLiteral("Hall B row 3"));
        break;
    case kCmdThresholds:
        m_pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"))->setValue(5.5);
        m_pPage->findChild<QSpinBox*>(QStringLiteral("SpinVoltageOverload"))->setValue(270);
        m_pPage->findChild<QSpinBox*>(QStringLiteral("SpinHumidityWarn"))->setValue(66);
        break;
    case kCmdOutletDelays:
        m_pPage->findChildren<QSpinBox*>(QStringLiteral("SpinOutletOpenDelay")).at(0)->setValue(17);
        m_pPage->findChildren<QSpinBox*>(QStringLiteral("SpinOutletCloseDelay")).at(2)->setValue(0);
        break;
    default:
        m_pPage->findChildren<QLineEdit*>(QStringLiteral("LineEditOutletName")).at(4)->setText(QStringLiteral("Switch5"));
        break;
    }
    QCOMPARE(pPdu->needDownload(), QList<int>{iCmd});
    QVERIFY(buttonsShown());
    const QByteArray baExpected = buildSetFrame(quint8(iCmd), payloadFor(quint8(iCmd), pPdu->stSetInfo));
    clickOk();

    QTRY_COMPARE_WITH_TIMEOUT(setFramesReceived(2, quint8(iCmd)).size(), 1, 3000);
    QCOMPARE(setFramesReceived(2, quint8(iCmd)).at(0), baExpected);
    const SimPduState after = simState(2);
    switch (iCmd) {
    case kCmdNetwork:
        QCOMPARE(after.name, QByteArray("EdgeRack7\0\0\0\0\0\0\0", 16));
        QCOMPARE(after.position, QByteArray("Hall B row 3\0\0\0\0", 16));
        QCOMPARE(after.ip, before.ip);
        QCOMPARE(after.mac, before.mac);
        QCOMPARE(after.udpPort, before.udpPort);
        break;
    case kCmdThresholds:
        QCOMPARE(after.currentWarn.whole, quint16(5));
        QCOMPARE(after.currentWarn.tenths, quint8(5));
        QCOMPARE(after.voltageOverload, quint16(270));
        QCOMPARE(after.humidityWarn, quint8(66));
        QCOMPARE(after.voltageWarn, before.voltageWarn);
        QCOMPARE(after.temperatureHighLimit, before.temperatureHighLimit);
        break;
    case kCmdOutletDelays: {
        auto open = before.outletOpenDelay;
        auto close = before.outletCloseDelay;
        open[0] = 17;
        close[2] = 0;
        QVERIFY(after.outletOpenDelay == open);
        QVERIFY(after.outletCloseDelay == close);
        break;
    }
    default:
        QCOMPARE(after.outletName[4], QByteArray("Switch5\0\0\0", 10));
        QCOMPARE(after.outletName[3], before.outletName[3]);
        break;
    }
    // No other section was sent, and the other device heard nothing.
    for (quint8 cmd : {kCmdNetwork, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}) {
        QCOMPARE(setFramesReceived(1, cmd).size(), 0);
        if (cmd != iCmd)
            QCOMPARE(setFramesReceived(2, cmd).size(), 0);
    }
    // The next poll brings the values back: the buttons go.
    QTRY_VERIFY_WITH_TIMEOUT(!buttonsShown(), 4000);
    QVERIFY(pPdu->needDownload().isEmpty());
}

void TestDeviceConfigBed::addressChangeMovesTheDevice()
{
    CPdu* pPdu = nullptr;
    selectDevice(1, &pPdu);
    QVERIFY(pPdu);
    const QString strOld = simAddress(1);
    const QList<quint32> listSpares = m_pSim->call([](CSimFleet& fleet) { return fleet.spareAddresses(); });
    QVERIFY(!listSpares.isEmpty());
    const QString strNew = QHostAddress(listSpares.first()).toString();
    QTreeWidgetItem* pRow = rowOf(strOld);

    QLineEdit* pEdit = m_pPage->findChild<QLineEdit*>(QStringLiteral("LineEditIP"));
    pEdit->clear();
    QTest::keyClicks(pEdit, strNew);
    QCOMPARE(pPdu->needDownload(), QList<int>{kCmdNetwork});
    clickOk();

    QTRY_COMPARE_WITH_TIMEOUT(simAddress(1), strNew, 3000);
    QTRY_COMPARE_WITH_TIMEOUT(QHostAddress(ipv4ToUint(pPdu->stInfo.ip)).toString(), strNew, 4000);
    // The same row and the same device object follow the move; no device appears for the new address.
    QTRY_COMPARE_WITH_TIMEOUT(pRow->text(CDeviceOverviewWidget::ColumnIPAddress), strNew, 2000);
    QCOMPARE(m_pRig->overview.treeWidget()->currentItem(), pRow);
    QCOMPARE(m_pRig->registry()->listPdu.size(), kDevices);
    QCOMPARE(m_pPage->pdu(), pPdu);
    QTRY_VERIFY_WITH_TIMEOUT(!buttonsShown(), 3000);
    QVERIFY(pPdu->isOnline());

    // The page goes on editing the moved device, now at its new address.
    QTRY_VERIFY_WITH_TIMEOUT(m_pPage->findChild<QPushButton*>(QStringLiteral("BtnOk"))->isEnabled(), 3000);
    m_pPage->findChild<QLineEdit*>(QStringLiteral("LineEditName"))->setText(QStringLiteral("Moved"));
    clickOk();
    QTRY_COMPARE_WITH_TIMEOUT(simState(1).name, QByteArray("Moved\0\0\0\0\0\0\0\0\0\0\0", 16), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(!buttonsShown(), 4000);
    QCOMPARE(m_pRig->registry()->listPdu.size(), kDevices);
}

void TestDeviceConfigBed::portChangeJoinsThePolledPorts()
{
    CPdu* pPdu = nullptr;
    selectDevice(1, &pPdu);
    QVERIFY(pPdu);
    QVERIFY(!m_pRig->registry()->listDevicePort.contains(6000u));
    m_pPage->findChild<QSpinBox*>(QStringLiteral("SpinUdpPort"))->setValue(6000);
    clickOk();

    QTRY_COMPARE_WITH_TIMEOUT(simState(1).udpPort, quint16(6000), 3000);
    QVERIFY(m_pRig->registry()->listDevicePort.contains(6000u));
    // Polled on its new port, the device reports it and the buttons go.
    QTRY_COMPARE_WITH_TIMEOUT(pPdu->stInfo.udpPort, 6000u, 4000);
    QTRY_VERIFY_WITH_TIMEOUT(!buttonsShown(), 3000);
    QVERIFY(pPdu->isOnline());
    const auto portsInFile = [] {
        QSettings file(QStringLiteral("port.prt"), QSettings::IniFormat);
        QList<uint> list;
        for (const QString& strGroup : file.childGroups())
            list << file.value(strGroup + QStringLiteral("/port")).toUInt();
        return list;
    };
    QTRY_VERIFY_WITH_TIMEOUT(portsInFile().contains(6000u), 3000);
    QVERIFY(portsInFile().contains(51230u));
}

QTEST_MAIN(TestDeviceConfigBed)
#include "tst_deviceconfigbed.moc"
