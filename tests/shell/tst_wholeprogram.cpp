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
#include "ui/frame/TitleBar.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

// The whole program against the simulated demo rack and a real SMTP server, built by the same
// start-up and exit code as the executable: one path per feature, the functions in order as one session.
class TestWholeProgram : public QObject
{
    Q_OBJECT

    QString simAddress(int iDevice)
    {
        return QHostAddress(m_sim.call([iDevice](CSimFleet& fleet) { return fleet.device(iDevice)->st.ip; })).toString();
    }
    QTreeWidgetItem* rowOf(int iDevice)
    {
        const QList<QTreeWidgetItem*> list = g_pMainDialog->deviceOverviewWidget()->treeWidget()->findItems(
            simAddress(iDevice), Qt::MatchExactly | Qt::MatchRecursive, CDeviceOverviewWidget::ColumnIPAddress);
        return list.size() == 1 ? list.first() : nullptr;
    }
    CPdu* pduOf(int iDevice)
    {
        for (CPdu* pPdu : qAsConst(g_pRackmind->listPdu))
            if (QHostAddress(ipv4ToUint(pPdu->stInfo.ip)).toString() == simAddress(iDevice))
                return pPdu;
        return nullptr;
    }
    // The next mail within iMsec, keeping the event loop (and with it the alarm ticks) running.
    QJsonObject nextMail(int iMsec)
    {
        QElapsedTimer timer;
        timer.start();
        QJsonObject mail;
        while (mail.isEmpty() && timer.elapsed() < iMsec) {
            mail = m_server.takeEvent(QStringLiteral("mail"), 10);
            QTest::qWait(100);
        }
        return mail;
    }

    QTemporaryDir m_dirSettings;
    CSimThread m_sim;
    AiosmtpdServer m_server;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dirSettings.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dirSettings.path());
        QVERIFY2(m_server.start(QStringLiteral("alarm@rack.test"), QStringLiteral("pw")), qPrintable(m_server.errorString()));
        CSimConfig config;
        config.dDelayUnit = 0;
        config.bNoise = false;
        QString strError;
        QVERIFY2(m_sim.startFleet(config, &strError), qPrintable(strError));
        for (const QString& strLine : CSimControl::demoRackText().split(QLatin1Char('\n')))
            if (!strLine.trimmed().isEmpty() && !strLine.startsWith(QLatin1Char('#')))
                QCOMPARE(m_sim.command(strLine).last(), QStringLiteral("ok"));
        // The rack's second port is listed in the port file of the working folder.
        QFile filePorts(QStringLiteral("port.prt"));
        QVERIFY(filePorts.open(QIODevice::WriteOnly));
        filePorts.write("[0]\nport=51230\n\n[1]\nport=6000\n");
        filePorts.close();

        g_settings = AppSettings();
        g_settings.language = 1;
        g_settings.rememberPassword = g_settings.autoLogin = true;
        g_settings.smtpHost = QStringLiteral("127.0.0.1");
        g_settings.smtpPort = m_server.port();
        g_settings.smtpAccount = QStringLiteral("alarm@rack.test");
        g_settings.smtpPassword = QStringLiteral("pw");
        g_settings.smtpReceiver = QStringLiteral("ops@site.test");
        saveSettings();
    }

    void autoLoginShowsEveryDemoPdu()
    {
        createSharedResources();
        QVERIFY(prepareLanguage());
        registerDeviceMetaTypes();
        createLongLivedWindows();
        // Auto-login runs as the dialog shows; nobody touches it.
        QVERIFY(runLogin());
        QVERIFY(g_pRackmind && g_pUdpThread && g_pUdpThread->isRunning());
        showMainWindow();
        g_pMainDialog->resize(1400, 800);
        QVERIFY(QTest::qWaitForWindowExposed(g_pMainDialog));
        for (int i = 1; i <= 12; ++i)
            QTRY_VERIFY2_WITH_TIMEOUT(rowOf(i), qPrintable(simAddress(i)), 5000);
    }

    void outletSwitchedFromTheOverview()
    {
        const auto outletsOf = [this] { return m_sim.call([](CSimFleet& fleet) { return fleet.device(2)->st.outletStatus; }); };
        const quint8 uiBefore = outletsOf(); // 0x7F: outlet 8 off
        QTRY_COMPARE_WITH_TIMEOUT(pduOf(2)->stInfo.outletStatus, uiBefore, 3000);
        CDeviceOverviewWidget* pOverview = g_pMainDialog->deviceOverviewWidget();
        pOverview->treeWidget()->setCurrentItem(rowOf(2));
        QVERIFY(g_pMainDialog->mainTab()->buttons[1]->isEnabled());
        auto* pCheck8 = pOverview->mainStatusWidget()->deviceControl()->findChild<QCheckBox*>(QStringLiteral("CheckOutlet8"));
        QCOMPARE(pCheck8->isChecked(), bool(uiBefore & 0x80));
        QTest::mouseClick(pCheck8, Qt::LeftButton, {}, pCheck8->rect().center());
        QTRY_COMPARE_WITH_TIMEOUT(outletsOf(), quint8(uiBefore ^ 0x80), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(pduOf(2)->stInfo.outletStatus, quint8(uiBefore ^ 0x80), 3000);
    }

    void thresholdDownloadedFromTheConfigPage()
    {
        const auto warnOf = [this] { return m_sim.call([](CSimFleet& fleet) { return fleet.device(4)->st.currentWarn.value(); }); };
        g_pMainDialog->deviceOverviewWidget()->treeWidget()->setCurrentItem(rowOf(4));
        QTest::mouseClick(g_pMainDialog->mainTab()->buttons[1], Qt::LeftButton);
        QCOMPARE(g_pMainDialog->stack()->currentIndex(), 1);
        auto* pWarn = g_pMainDialog->deviceConfigWidget()->findChild<QDoubleSpinBox*>(QStringLiteral("DSpinCurrentWarn"));
        QTRY_VERIFY(pWarn->value() > 0);
        const double dNew = pWarn->value() > 7 ? 6.5 : 7.5;
        pWarn->setValue(dNew);
        auto* pOk = g_pMainDialog->deviceConfigWidget()->findChild<QPushButton*>(QStringLiteral("BtnOk"));
        QTRY_VERIFY(pOk->isVisible() && pOk->isEnabled());
        QTest::mouseClick(pOk, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(warnOf(), dNew, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(!pOk->isVisible(), 3000);
        QCOMPARE(pWarn->value(), dNew);
    }

    void overVoltageMailsOnce()
    {
        // Whatever the demo rack mailed so far is not this case's business.
        QTRY_COMPARE_WITH_TIMEOUT(CMailQueue::instance()->pending(), 0, 15000);
        while (!nextMail(1500).isEmpty()) {
        }
        QCOMPARE(m_sim.command(QStringLiteral("set 3 voltage 262")).last(), QStringLiteral("ok"));
        const QString strMail = QString::fromUtf8(QByteArray::fromBase64(
            nextMail(15000).value(QStringLiteral("data")).toString().toLatin1()));
        for (const QString& strPart : QStringList{"Voltage Warn\r\n", "Value:262\r\n", "IP:" + simAddress(3) + "\r\n"})
            QVERIFY2(strMail.contains(strPart), qPrintable(strMail));
        // Still over the limit for several ticks: no second mail.
        QVERIFY(nextMail(4000).isEmpty());
    }

    // A main window that only hid would leave an invisible process polling the network: closing it from
    // its title bar must end the event loop, and the exit sequence the transport's thread.
    void closeFromTheTitleBarEndsTheProgram()
    {
        QPointer<QThread> pUdpThread = g_pUdpThread;
        QVERIFY(pUdpThread);
        QTimer::singleShot(0, [] { QTest::mouseClick(g_pMainDialog->titleBar()->closeButton(), Qt::LeftButton); });
        QObject guard; // a program still running after 10 s fails the case instead of hanging it
        QTimer::singleShot(10000, &guard, [] { QApplication::exit(1); });
        QCOMPARE(QApplication::exec(), 0);
        runExitSequence();
        QVERIFY(!g_pRackmind && !g_pUdpThread && !g_pUdpDriver && !pUdpThread);
        QVERIFY(!g_pMainDialog && !g_pLoginDialog && !g_pSystemTrayIcon);
        // Only the test's own threads are left: its main thread and the simulator.
        m_sim.stopFleet();
        QDir dirTasks(QStringLiteral("/proc/self/task"));
        QStringList listThreads;
        for (const QString& strTask : dirTasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile fileComm(dirTasks.filePath(strTask + QStringLiteral("/comm")));
            if (fileComm.open(QIODevice::ReadOnly))
                listThreads << QString::fromUtf8(fileComm.readAll()).trimmed();
        }
        QVERIFY2(!listThreads.contains(QStringLiteral("UdpThread")), qPrintable(listThreads.join(QLatin1Char(','))));
    }
};

QTEST_MAIN(TestWholeProgram)
#include "tst_wholeprogram.moc"
