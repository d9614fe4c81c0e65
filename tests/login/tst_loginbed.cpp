#include "app/LoginDialog.h"
#include "app/Settings.h"
#include "device/MetaTypes.h"
#include "device/Rackmind.h"
#include "device/UdpDriver.h"
#include "tests/common/NetBed.h"
#include "tests/login/LoginTestSupport.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
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

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loginBringsUpTheDevices_data();
    void loginBringsUpTheDevices();
    void takenPortFailsAndLeavesNothing();

private:
    template <typename T> T* child(const char* pszName) const { return namedChild<T>(m_pDialog.get(), pszName); }
    QVariant stored(const QString& strKey) const
    {
        return QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).value(strKey);
    }
    void typeAndLogin(const QString& strAccount, const QString& strPassword)
    {
        QTest::keyClicks(child<QComboBox>("ComboAccount")->lineEdit(), strAccount);
        QTest::keyClicks(child<QLineEdit>("EditPassword"), strPassword);
        QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CSimThread> m_pSim;
    std::unique_ptr<CLoginDialog> m_pDialog;
};

void TestLoginBed::initTestCase()
{
    QVERIFY2(netbed::active(), "run this test through scripts/netbed");
    registerDeviceMetaTypes();
}

void TestLoginBed::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
    QFile::remove(QStringLiteral("port.prt"));
    g_settings = AppSettings();

    m_pSim = std::make_unique<CSimThread>();
    CSimConfig config;
    config.bNoise = false;
    QString strError;
    QVERIFY2(m_pSim->startFleet(config, &strError), qPrintable(strError));
}

void TestLoginBed::cleanup()
{
    m_pDialog.reset();
    releaseDeviceMachinery();
    QVERIFY(!g_pRackmind);
    m_pSim.reset();
}

void TestLoginBed::loginBringsUpTheDevices_data()
{
    QTest::addColumn<QString>("storedAccount");
    QTest::addColumn<QString>("storedPassword");
    QTest::addColumn<bool>("storedOptions"); // both login options set: the dialog logs in when shown
    QTest::addColumn<bool>("keep");
    QTest::addColumn<bool>("pageThroughMainDialog");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");

    QTest::newRow("defaults, keep password") << "pavok" << "pavok" << false << true << false << "pavok"
                                             << "pavok";
    // A store emptied outside the program still lets the default account in; not keeping the password
    // leaves the stored values as they were.
    QTest::newRow("empty store, default account") << "" << "" << false << false << true << "pavok" << "pavok";
    QTest::newRow("auto-login when shown") << "admin" << "S3cret" << true << true << true << "" << "";
}

void TestLoginBed::loginBringsUpTheDevices()
{
    QFETCH(QString, storedAccount);
    QFETCH(QString, storedPassword);
    QFETCH(bool, storedOptions);
    QFETCH(bool, keep);
    QFETCH(bool, pageThroughMainDialog);
    QFETCH(QString, account);
    QFETCH(QString, password);
    g_settings.loginAccount = storedAccount;
    g_settings.loginPassword = storedPassword;
    g_settings.rememberPassword = storedOptions;
    g_settings.autoLogin = storedOptions;

    // The overview page is either handed over or found on the main dialog, as at start-up.
    QWidget mainDialog;
    mainDialog.setObjectName(QStringLiteral("MainDialog"));
    auto* pPage = new CDeviceOverviewWidget(&mainDialog);
    pPage->setObjectName(QStringLiteral("DeviceOverviewWidget"));

    m_pDialog = std::make_unique<CLoginDialog>();
    m_pDialog->setFixedSize(442, 342);
    if (!pageThroughMainDialog)
        m_pDialog->setOverviewPage(pPage);
    QElapsedTimer timer;
    timer.start();
    m_pDialog->show();
    if (!storedOptions) {
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
        if (keep)
            QTest::mouseClick(child<QCheckBox>("CheckKeepPassword"), Qt::LeftButton, {}, QPoint(5, 8));
        typeAndLogin(account, password);
    }

    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Scanning));
    QCOMPARE(child<QLabel>("LabelMessage")->text(), QStringLiteral("Scanning pdu in local network..."));
    QVERIFY(child<QLabel>("LabelLoading")->isVisible());
    QVERIFY(!child<QPushButton>("BtnLogin")->isVisible());
    QVERIFY(!child<QComboBox>("ComboAccount")->isVisible());

    // The machinery as the login builds it.
    QVERIFY(g_pUdpThread && g_pUdpDriver && g_pRackmind);
    QCOMPARE(g_pUdpThread->objectName(), QStringLiteral("UdpThread"));
    QVERIFY(g_pUdpThread->isRunning());
    QCOMPARE(g_pUdpDriver->objectName(), QStringLiteral("UdpDriver"));
    QCOMPARE(g_pUdpDriver->thread(), g_pUdpThread);
    QCOMPARE(g_pRackmind->thread(), QThread::currentThread());
    QVERIFY(!g_pUdpDriver->listUdpSocket.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(QStringLiteral("port.prt")), 5000); // ports went to the driver

    // Polls go out, replies come back to the registry and new devices reach the page.
    QTreeWidgetItem* pGroup = pPage->treeWidget()->topLevelItem(0);
    QTRY_COMPARE_WITH_TIMEOUT(pGroup->childCount(), 2, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(g_pRackmind->onlineCount(), 2, 5000);
    // Address changes reach the page as well.
    const QString strOld = pGroup->child(0)->text(CDeviceOverviewWidget::ColumnIPAddress);
    emit g_pRackmind->signalChangeIP(QHostAddress(strOld).toIPv4Address(),
                                     QHostAddress(QStringLiteral("10.200.7.7")).toIPv4Address());
    QCOMPARE(pGroup->child(0)->text(CDeviceOverviewWidget::ColumnIPAddress), QStringLiteral("10.200.7.7"));

    // Scanning lasts four seconds, then the dialog closes accepted.
    QVERIFY(m_pDialog->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(!m_pDialog->isVisible(), 10000);
    // A coarse timer may fire up to 5 % early.
    QVERIFY2(timer.elapsed() >= 3800, QByteArray::number(timer.elapsed()).constData());
    QCOMPARE(m_pDialog->result(), int(QDialog::Accepted));
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
    QVERIFY(child<QComboBox>("ComboAccount")->currentText().isEmpty());
    QVERIFY(child<QLineEdit>("EditPassword")->text().isEmpty());
    QVERIFY(!child<QCheckBox>("CheckKeepPassword")->isChecked());
    QVERIFY(!child<QCheckBox>("CheckAutoLogin")->isChecked());

    // The options as they were ticked; the account only when the password is kept.
    QCOMPARE(stored(QStringLiteral("Login/RememberPassword")).toBool(), keep);
    QCOMPARE(stored(QStringLiteral("Login/AutoLogin")).toBool(), storedOptions);
    const QString strAccount = keep ? (storedOptions ? storedAccount : account) : storedAccount;
    QCOMPARE(stored(QStringLiteral("Login/Account")).toString(), strAccount);
    QCOMPARE(stored(QStringLiteral("Login/Password")).toString(),
             keep ? (storedOptions ? storedPassword : password) : storedPassword);

    // The machinery outlives the dialog; a second show does not build another.
    QThread* pThread = g_pUdpThread;
    m_pDialog->show();
    QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);
    QCOMPARE(g_pUdpThread, pThread);
}

void TestLoginBed::takenPortFailsAndLeavesNothing()
{
    const QString strConsole = netbed::consoleAddrs().value(0);
    QVERIFY(!strConsole.isEmpty());
    m_pDialog = std::make_unique<CLoginDialog>();
    m_pDialog->setFixedSize(442, 342);
    m_pDialog->show();
    const int iThreads = processThreadCount();

    {
        QUdpSocket blocker;
        QVERIFY2(blocker.bind(QHostAddress(strConsole), 51230, QUdpSocket::DontShareAddress),
                 qPrintable(blocker.errorString()));
        // Twice: a retry with the port still taken leaks nothing either.
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);
            QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::EmptyInput));
            typeAndLogin(QStringLiteral("pavok"), QStringLiteral("pavok"));
            QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::PortFailed));
            auto* pMessage = child<QLabel>("LabelMessage");
            QCOMPARE(pMessage->text(), QStringLiteral("Fail to open udp port"));
            QCOMPARE(pMessage->palette().color(QPalette::WindowText), QColor(Qt::red));
            QVERIFY(child<QPushButton>("BtnLogin")->isVisible());
            QVERIFY(child<QLineEdit>("EditPassword")->isVisible());
            QVERIFY(!child<QLabel>("LabelLoading")->isVisible());
            QVERIFY(!g_pUdpThread);
            QVERIFY(!g_pUdpDriver);
            QVERIFY(!g_pRackmind);
            QTRY_COMPARE_WITH_TIMEOUT(processThreadCount(), iThreads, 5000);
            QVERIFY(m_pDialog->isVisible());
            child<QComboBox>("ComboAccount")->lineEdit()->clear();
            child<QLineEdit>("EditPassword")->clear();
        }
    }

    // With the port free again the next attempt starts from scratch and succeeds.
    typeAndLogin(QStringLiteral("pavok"), QStringLiteral("pavok"));
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Scanning));
    QVERIFY(g_pUdpThread && g_pUdpThread->isRunning());

    // Releasing it as the program's exit does leaves no thread running.
    m_pDialog.reset();
    releaseDeviceMachinery();
    QVERIFY(!g_pUdpThread && !g_pUdpDriver && !g_pRackmind);
    QTRY_COMPARE_WITH_TIMEOUT(processThreadCount(), iThreads, 5000);
}

QTEST_MAIN(TestLoginBed)
#include "tst_loginbed.moc"
