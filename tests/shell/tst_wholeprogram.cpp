#include "app/AppShell.h"
#include "app/LoginDialog.h"
#include "app/Settings.h"
#include "device/MetaTypes.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "mail/MailQueue.h"
#include "tests/mail/MailTestServers.h"
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimDevice.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/device/DeviceControlWidget.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/device/MainStatusWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/MainTab.h"
#include "ui/frame/SystemTrayIcon.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

namespace {
QString bodyOf(const QJsonObject& mail)
{
    const QString strData =
        QString::fromUtf8(QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
    const QString strStart = QStringLiteral("Content-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n");
    const int iStart = strData.indexOf(strStart) + strStart.size();
    const int iEnd = strData.indexOf(QStringLiteral("\r\n--"), iStart);
    if (iStart < strStart.size() || iEnd < 0)
        return QStringLiteral("<no text part>");
    return strData.mid(iStart, iEnd - iStart).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}
} // namespace

// The whole program against the simulated demo rack and a real SMTP server, built by the same
// start-up and exit code as the executable. The functions run in order, as one session.
class TestWholeProgram : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void autoLogin();
    void everyDemoPduInTheTree();
    void outletSwitchedFromTheOverview();
    void thresholdDownloadedFromTheConfigPage();
    void overVoltageMailsOnce();
    void quitFromTheTray();

private:
    QTreeWidgetItem* rowOf(int iDevice);
    CPdu* pduOf(int iDevice);
    QString simAddress(int iDevice);
    // The next mail within iMsec, keeping the event loop (and with it the alarm ticks) running.
    QJsonObject nextMail(int iMsec);

    QTemporaryDir m_dirSettings;
    CSimThread m_sim;
    AiosmtpdServer m_server;
    QElapsedTimer m_timerLogin;
    static constexpr int kDevices = 12;
};

void TestWholeProgram::initTestCase()
{
    QVERIFY(m_dirSettings.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dirSettings.path());
    QVERIFY2(m_server.start(QStringLiteral("alarm@rack.test"), QStringLiteral("pw")), qPrintable(m_server.errorString()));

    CSimConfig config;
    config.dDelayUnit = 0;
    config.bNoise = false;
    QString strError;
    QVERIFY2(m_sim.startFleet(config, &strError), qPrintable(strError));
    for (const QString& strLine : CSimControl::demoRackText().split(QLatin1Char('\n'))) {
        if (strLine.trimmed().isEmpty() || strLine.startsWith(QLatin1Char('#')))
            continue;
        QCOMPARE(m_sim.command(strLine).last(), QStringLiteral("ok"));
    }
    // The rack's second port is listed in the port file of the working folder.
    QFile filePorts(QStringLiteral("port.prt"));
    QVERIFY(filePorts.open(QIODevice::WriteOnly));
    filePorts.write("[0]\nport=51230\n\n[1]\nport=6000\n");
    filePorts.close();

    g_settings = AppSettings();
    g_settings.language = 1;
    g_settings.rememberPassword = true;
    g_settings.autoLogin = true;
    g_settings.smtpHost = QStringLiteral("127.0.0.1");
    g_settings.smtpPort = m_server.port();
    g_settings.smtpAccount = QStringLiteral("alarm@rack.test");
    g_settings.smtpPassword = QStringLiteral("pw");
    g_settings.smtpReceiver = QStringLiteral("ops@site.test");
    saveSettings();
}

void TestWholeProgram::autoLogin()
{
    createSharedResources();
    QVERIFY(prepareLanguage());
    registerDeviceMetaTypes();
    createLongLivedWindows();
    m_timerLogin.start();
    // Auto-login runs as the dialog shows; nobody touches it.
    QVERIFY(runLogin());
    qInfo("login accepted after %lld ms", m_timerLogin.elapsed());
    QVERIFY(g_pRackmind);
    QVERIFY(g_pUdpThread && g_pUdpThread->isRunning());
    showMainWindow();
    g_pMainDialog->resize(1400, 800);
    QVERIFY(QTest::qWaitForWindowExposed(g_pMainDialog));
}

QTreeWidgetItem* TestWholeProgram::rowOf(int iDevice)
{
    const QString strAddress = simAddress(iDevice);
    QTreeWidget* pTree = g_pMainDialog->deviceOverviewWidget()->treeWidget();
    for (int g = 0; g < pTree->topLevelItemCount(); ++g)
        for (int i = 0; i < pTree->topLevelItem(g)->childCount(); ++i)
            if (pTree->topLevelItem(g)->child(i)->text(CDeviceOverviewWidget::ColumnIPAddress) == strAddress)
                return pTree->topLevelItem(g)->child(i);
    return nullptr;
}

CPdu* TestWholeProgram::pduOf(int iDevice)
{
    const QString strAddress = simAddress(iDevice);
    for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
        if (QHostAddress(ipv4ToUint(pPdu->stInfo.ip)).toString() == strAddress)
            return pPdu;
    return nullptr;
}

QString TestWholeProgram::simAddress(int iDevice)
{
    return QHostAddress(m_sim.call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.ip; })).toString();
}

QJsonObject TestWholeProgram::nextMail(int iMsec)
{
    QElapsedTimer timer;
    timer.start();
    do {
        const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"), 10);
        if (!mail.isEmpty())
            return mail;
        QTest::qWait(100);
    } while (timer.elapsed() < iMsec);
    return QJsonObject();
}

void TestWholeProgram::everyDemoPduInTheTree()
{
    QTreeWidget* pTree = g_pMainDialog->deviceOverviewWidget()->treeWidget();
    const auto rows = [pTree] {
        int n = 0;
        for (int g = 0; g < pTree->topLevelItemCount(); ++g)
            n += pTree->topLevelItem(g)->childCount();
        return n;
    };
    QTRY_COMPARE_WITH_TIMEOUT(rows(), kDevices, 5000);
    qInfo("%d devices in the tree %lld ms after the login started", kDevices, m_timerLogin.elapsed());
    for (int i = 1; i <= kDevices; ++i)
        QVERIFY2(rowOf(i), qPrintable(simAddress(i)));
}

void TestWholeProgram::outletSwitchedFromTheOverview()
{
    const auto outletsOf = [this](int iDevice) {
        return m_sim.call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.outletStatus; });
    };
    const quint8 uiBefore = outletsOf(2); // 0x7F: outlet 8 off
    QTRY_COMPARE_WITH_TIMEOUT(pduOf(2)->stInfo.outletStatus, uiBefore, 3000);
    CDeviceOverviewWidget* pOverview = g_pMainDialog->deviceOverviewWidget();
    pOverview->treeWidget()->setCurrentItem(rowOf(2));
    QVERIFY(g_pMainDialog->mainTab()->buttons[1]->isEnabled());
    QCheckBox* pCheck8 = pOverview->mainStatusWidget()->deviceControl()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet8"));
    QVERIFY(pCheck8);
    QCOMPARE(pCheck8->isChecked(), bool(uiBefore & 0x80));
    QTest::mouseClick(pCheck8, Qt::LeftButton, {}, pCheck8->rect().center());
    QTRY_COMPARE_WITH_TIMEOUT(outletsOf(2), quint8(uiBefore ^ 0x80), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(pduOf(2)->stInfo.outletStatus, quint8(uiBefore ^ 0x80), 3000);
}

void TestWholeProgram::thresholdDownloadedFromTheConfigPage()
{
    const auto warnOf = [this](int iDevice) {
        return m_sim.call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.currentWarn.value(); });
    };
    g_pMainDialog->deviceOverviewWidget()->treeWidget()->setCurrentItem(rowOf(4));
    QTest::mouseClick(g_pMainDialog->mainTab()->buttons[1], Qt::LeftButton);
    QCOMPARE(g_pMainDialog->stack()->currentIndex(), 1);
    CDeviceConfigWidget* pPage = g_pMainDialog->deviceConfigWidget();
    auto* pWarn = pPage->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"));
    QVERIFY(pWarn);
    const auto uiBefore = warnOf(4);
    QTRY_VERIFY(pWarn->value() > 0);
    const double dNew = pWarn->value() > 7 ? 6.5 : 7.5;
    pWarn->setValue(dNew);
    QPushButton* pOk = pPage->findChild<QPushButton*>(QStringLiteral("BtnOk"));
    QTRY_VERIFY(pOk->isVisible() && pOk->isEnabled());
    QTest::mouseClick(pOk, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(warnOf(4) != uiBefore, 3000);
    QCOMPARE(warnOf(4), dNew);
    QTRY_VERIFY_WITH_TIMEOUT(!pOk->isVisible(), 3000);
    QCOMPARE(pWarn->value(), dNew);
}

void TestWholeProgram::overVoltageMailsOnce()
{
    // Whatever the demo rack mailed so far is not this case's business.
    QTRY_COMPARE_WITH_TIMEOUT(CMailQueue::instance()->pending(), 0, 15000);
    while (!nextMail(1500).isEmpty()) {
    }
    QCOMPARE(m_sim.command(QStringLiteral("set 3 voltage 262")).last(), QStringLiteral("ok"));
    const QJsonObject mail = nextMail(15000);
    QVERIFY2(!mail.isEmpty(), qPrintable(QStringLiteral("voltage %1, warn %2, events %3, pending %4")
                                             .arg(pduOf(3)->stInfo.voltage)
                                             .arg(pduOf(3)->stInfo.voltageWarn)
                                             .arg(m_server.events().size())
                                             .arg(CMailQueue::instance()->pending())
                                             + m_sim.command(QStringLiteral("show 3")).join(QLatin1Char(' '))));
    QCOMPARE(bodyOf(mail), QStringLiteral("Voltage Warn\n\nValue:262\nWarn Limit:250\n\nIP:") + simAddress(3) +
                               QStringLiteral("\nName:Storage-01\nLocation:Row A Rack 02"));
    // Still over the limit for several ticks: no second mail.
    QVERIFY(nextMail(4000).isEmpty());
}

void TestWholeProgram::quitFromTheTray()
{
    QPointer<QThread> pUdpThread = g_pUdpThread;
    QVERIFY(pUdpThread);
    QTimer::singleShot(0, [] { g_pSystemTrayIcon->contextMenu()->actions().last()->trigger(); });
    QCOMPARE(QApplication::exec(), 0);
    runExitSequence();
    QVERIFY(!g_pRackmind && !g_pUdpThread && !g_pUdpDriver);
    QVERIFY(!g_pMainDialog && !g_pLoginDialog && !g_pSystemTrayIcon);
    QVERIFY(!pUdpThread);
    // Only the test's own threads are left: its main thread and the simulator.
    m_sim.stopFleet();
    QDir dirTasks(QStringLiteral("/proc/self/task"));
    QStringList listThreads;
    for (const QString& strTask : dirTasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile fileComm(dirTasks.filePath(strTask + QStringLiteral("/comm")));
        if (fileComm.open(QIODevice::ReadOnly))
            listThreads << QString::fromUtf8(fileComm.readAll()).trimmed();
    }
    qInfo("threads left: %s", qPrintable(listThreads.join(QStringLiteral(", "))));
    QVERIFY2(!listThreads.contains(QStringLiteral("UdpThread")), qPrintable(listThreads.join(QLatin1Char(','))));
}

QTEST_MAIN(TestWholeProgram)
#include "tst_wholeprogram.moc"
