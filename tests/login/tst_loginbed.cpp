#include "app/LoginDialog.h"
#include "app/Settings.h"
#include "device/MetaTypes.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "tests/common/NetBed.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

namespace {
int processThreadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}
} // namespace

// Logging in for real: the transport opens its sockets in the bed's console namespace and polls the
// simulated PDUs on the device side.
class TestLoginBed : public QObject
{
    Q_OBJECT

    void typeAndLogin()
    {
        m_pDialog->findChild<QComboBox*>(QStringLiteral("ComboAccount"))->lineEdit()->setText(QStringLiteral("pavok"));
        m_pDialog->findChild<QLineEdit*>(QStringLiteral("EditPassword"))->setText(QStringLiteral("pavok"));
        QTest::mouseClick(m_pDialog->findChild<QPushButton*>(QStringLiteral("BtnLogin")), Qt::LeftButton);
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    std::unique_ptr<CLoginDialog> m_pDialog;

private slots:
    void initTestCase()
    {
        QVERIFY2(netbed::active(), "run this test through scripts/netbed");
        registerDeviceMetaTypes();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        CSimConfig config;
        config.bNoise = false;
        QString strError;
        QVERIFY2(m_sim.startFleet(config, &strError), qPrintable(strError));
    }

    void cleanup()
    {
        m_pDialog.reset();
        releaseDeviceMachinery();
        QVERIFY(!g_pUdpThread && !g_pUdpDriver && !g_pRackmind);
    }

    void loginBringsUpTheDevices()
    {
        // With no page handed over, the login finds the overview page on the main dialog.
        QWidget mainDialog;
        mainDialog.setObjectName(QStringLiteral("MainDialog"));
        auto* pPage = new CDeviceOverviewWidget(&mainDialog);
        pPage->setObjectName(QStringLiteral("DeviceOverviewWidget"));
        m_pDialog = std::make_unique<CLoginDialog>();
        m_pDialog->show();
        QElapsedTimer timer;
        timer.start();
        typeAndLogin();
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Scanning));
        QVERIFY(g_pUdpThread && g_pUdpDriver && g_pRackmind);
        QVERIFY(g_pUdpThread->isRunning());
        QCOMPARE(g_pUdpDriver->thread(), g_pUdpThread);

        // Polls go out, replies come back to the registry and new devices and address changes reach the page.
        QTreeWidgetItem* pGroup = pPage->treeWidget()->topLevelItem(0);
        QTRY_COMPARE_WITH_TIMEOUT(pGroup->childCount(), 2, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(g_pRackmind->onlineCount(), 2, 5000);
        const QString strOld = pGroup->child(0)->text(CDeviceOverviewWidget::ColumnIPAddress);
        emit g_pRackmind->signalChangeIP(QHostAddress(strOld).toIPv4Address(),
                                         QHostAddress(QStringLiteral("10.200.7.7")).toIPv4Address());
        QCOMPARE(pGroup->child(0)->text(CDeviceOverviewWidget::ColumnIPAddress), QStringLiteral("10.200.7.7"));

        // Scanning lasts four seconds (a coarse timer may fire up to 5 % early), then the dialog closes accepted.
        QTRY_VERIFY_WITH_TIMEOUT(!m_pDialog->isVisible(), 10000);
        QVERIFY2(timer.elapsed() >= 3800, QByteArray::number(timer.elapsed()).constData());
        QCOMPARE(m_pDialog->result(), int(QDialog::Accepted));

        // The machinery outlives the dialog; another attempt does not build a second one.
        QThread* pThread = g_pUdpThread;
        m_pDialog->show();
        typeAndLogin();
        QCOMPARE(g_pUdpThread, pThread);
    }

    void takenPortFailsAndLeavesNothing()
    {
        m_pDialog = std::make_unique<CLoginDialog>();
        m_pDialog->show();
        const int iThreads = processThreadCount();
        {
            QUdpSocket blocker;
            QVERIFY2(blocker.bind(QHostAddress(netbed::consoleAddrs().value(0)), 51230, QUdpSocket::DontShareAddress),
                     qPrintable(blocker.errorString()));
            // Twice: a retry with the port still taken leaks nothing either.
            for (int i = 0; i < 2; ++i) {
                typeAndLogin();
                QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::PortFailed));
                QVERIFY(m_pDialog->findChild<QPushButton*>(QStringLiteral("BtnLogin"))->isVisible());
                QVERIFY(!g_pUdpThread && !g_pUdpDriver && !g_pRackmind);
                QTRY_COMPARE_WITH_TIMEOUT(processThreadCount(), iThreads, 5000);
            }
        }
        // With the port free again the next attempt starts from scratch and succeeds.
        typeAndLogin();
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Scanning));
        QVERIFY(g_pUdpThread && g_pUdpThread->isRunning());
        // Releasing it as the program's exit does leaves no thread running.
        m_pDialog.reset();
        releaseDeviceMachinery();
        QTRY_COMPARE_WITH_TIMEOUT(processThreadCount(), iThreads, 5000);
    }
};

QTEST_MAIN(TestLoginBed)
#include "tst_loginbed.moc"
