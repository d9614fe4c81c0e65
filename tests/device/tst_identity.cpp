#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/Settings.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/OutletStatusWidget.h"
#include "ui/system/DivideGroupWidget.h"
#include "ui/system/GroupNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

// Which device a datagram, a row or a stored value ends up as, where an address or value is odd.
class TestIdentity : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<CRackmind> m_pRegistry;
    std::unique_ptr<CDeviceOverviewWidget> m_pOverview;

    QTreeWidgetItem* row(int i) const { return m_pOverview->treeWidget()->topLevelItem(0)->child(i); }
    // A device answering from 10.201.0.<iHost> that reports uiReported.
    CPdu* device(int iHost, quint32 uiReported)
    {
        CPdu* pPdu = m_pRegistry->addPdu(0x0AC90000u + uint(iHost));
        m_pOverview->slotChangeIP(pPdu->uiSourceIP, uiReported);
        ipv4FromUint(uiReported, pPdu->stInfo.ip);
        return pPdu;
    }

private slots:
    void init()
    {
        QVERIFY(QDir::setCurrent(m_dir.path()));
        m_pRegistry = std::make_unique<CRackmind>();
        g_pRackmind = m_pRegistry.get();
        m_pOverview = std::make_unique<CDeviceOverviewWidget>();
        connect(m_pRegistry.get(), &CRackmind::signalNewDevice, m_pOverview.get(),
                &CDeviceOverviewWidget::slotNewDevice);
    }
    void cleanup()
    {
        m_pOverview.reset();
        m_pRegistry.reset();
    }

    // Nothing can be answered at 0.0.0.0: a reply from there changes no device and makes none.
    void replyFromUnspecifiedSenderIsDropped()
    {
        CPdu* pPdu = device(2, 0x0AC90002);
        PduInfo info;
        info.voltage = 240;
        info.outletStatus = 0xFF;
        QNetworkDatagram nd(buildFrame(kFrameReply, kCmdStatus, statusPayload(info)));
        nd.setSender(QHostAddress(QHostAddress::AnyIPv4), 51230);
        m_pRegistry->slotRcvData(nd);
        QCOMPARE(m_pRegistry->listPdu.size(), 1);
        QCOMPARE(pPdu->stInfo.voltage, PduInfo().voltage);
        QCOMPARE(pPdu->stInfo.outletStatus, PduInfo().outletStatus);
    }

    // The group row's empty address must not stand for a device reporting 0.0.0.0.
    void defaultRowIsNoDevice()
    {
        device(2, 0);
        CDeviceConfigWidget config(nullptr);
        auto* pSwitch = m_pOverview->findChild<QCheckBox*>(QStringLiteral("CheckOutlet1"));
        QTreeWidget* pTree = m_pOverview->treeWidget();
        pTree->setCurrentItem(row(0));
        config.slotCurrentPduChanged(row(0), nullptr);
        QVERIFY(pSwitch->isEnabled());
        QCOMPARE(config.pdu(), m_pRegistry->listPdu.first());

        pTree->setCurrentItem(pTree->topLevelItem(0));
        config.slotCurrentPduChanged(pTree->topLevelItem(0), row(0));
        QVERIFY(!pSwitch->isEnabled());
        QCOMPARE(config.pdu(), nullptr);
    }

    // Two devices reporting one address: each row's circles follow the device they draw.
    void sharedAddressRowsRepaintTheirOwnOutlets()
    {
        device(2, 0x0AC90063);
        CPdu* pSecond = device(3, 0x0AC90063);
        m_pOverview->resize(1400, 400);
        m_pOverview->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pOverview.get()));
        QTRY_VERIFY(!row(1)->text(CDeviceOverviewWidget::ColumnOnline).isEmpty()); // refreshed once

        int iPaints = 0;
        struct PaintCounter : QObject
        {
            int& iCount;
            explicit PaintCounter(int& i) : iCount(i) {}
            bool eventFilter(QObject*, QEvent* pEvent) override
            {
                iCount += pEvent->type() == QEvent::Paint;
                return false;
            }
        } counter(iPaints);
        pSecond->pOutletStatusWidget->installEventFilter(&counter);
        pSecond->stInfo.outletStatus = 0x5A;
        QTRY_VERIFY_WITH_TIMEOUT(iPaints > 0, 20000);
    }

    void putWithoutGroupRecordsNothing()
    {
        CPdu* pPdu = device(2, 0x0AC90002);
        groupNames().clear();
        CDivideGroupWidget page(nullptr);
        page.show();
        auto* pTable = page.findChild<QTableWidget*>(QStringLiteral("TableWaitDivide"));
        pTable->setCurrentCell(0, 0);
        page.findChild<QPushButton*>(QStringLiteral("BtnPutToGroup"))->click();
        QCOMPARE(pPdu->strGroup, QStringLiteral("Default"));
        QCOMPARE(pTable->rowCount(), 1);
        page.hide();
        page.show();
        QCOMPARE(page.findChild<QComboBox*>(QStringLiteral("ComboGroupName"))->count(), 0);
    }

    void storedBooleans_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("loaded");
        for (const char* pszStored : {"no", "yes", "2", "false"})
            QTest::newRow(pszStored) << QString::fromLatin1(pszStored) << false;
        for (const char* pszStored : {"true", "True", "1"})
            QTest::newRow(pszStored) << QString::fromLatin1(pszStored) << true;
    }
    void storedBooleans()
    {
        QFETCH(QString, stored);
        QFETCH(bool, loaded);
        {
            QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Orvane"),
                            QStringLiteral("Rackmind"));
            for (const char* pszKey : {"Login/AutoLogin", "Login/RememberPassword", "Smtp/SSL"})
                store.setValue(QLatin1String(pszKey), stored);
        }
        g_settings.autoLogin = g_settings.rememberPassword = g_settings.smtpSsl = !loaded;
        loadSettings();
        QCOMPARE(g_settings.autoLogin, loaded);
        QCOMPARE(g_settings.rememberPassword, loaded);
        QCOMPARE(g_settings.smtpSsl, loaded);
    }
};

QTEST_MAIN(TestIdentity)
#include "tst_identity.moc"
