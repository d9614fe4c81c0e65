#include "app/AppShell.h"
#include "app/LoginDialog.h"
#include "settings/Catalogues.h"
#include "settings/Credentials.h"
#include "settings/Settings.h"
#include "settings/WindowSettings.h"
#include "tests/common/TestFiles.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/ModifyAccountDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Answers the message boxes a test's code runs: each is recorded ("title|text") and closed with OK.
void answerBoxes(QTimer& timer, QStringList& boxes)
{
    QObject::connect(&timer, &QTimer::timeout, [&boxes] {
        if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << pBox->windowTitle() + QLatin1Char('|') + pBox->text();
            pBox->button(QMessageBox::Ok)->click();
        }
    });
    timer.start(10);
}

QString stored(const QString& strKey)
{
    return QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).value(strKey).toString();
}

} // namespace

// The application's own parts without sockets (logins that pass the check run in tst_wholeprogram): the
// settings store, the credential check, the login and the account dialogs, against a store of the test's own.
class TestApp : public QObject
{
    Q_OBJECT

    template <typename T> T* child(const char* pszName) const
    {
        return m_pDialog->findChild<T*>(QLatin1String(pszName));
    }
    QCheckBox* keep() const { return child<QCheckBox>("CheckKeepPassword"); }
    QCheckBox* autoLogin() const { return child<QCheckBox>("CheckAutoLogin"); }
    QString form() const
    {
        return child<QComboBox>("ComboAccount")->currentText() + QLatin1Char('/') +
               child<QLineEdit>("EditPassword")->text();
    }

    QString storeFile() const { return m_pDir->filePath(QStringLiteral("Orvane/Rackmind.conf")); }
    QByteArray storeText() const { return readFile(storeFile()); }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CLoginDialog> m_pDialog;

private slots:
    void initTestCase() { createSharedResources(); }

    void init()
    {
        m_pDir = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
        g_settings = AppSettings();
        installCatalogues(1);
        m_pDialog = std::make_unique<CLoginDialog>();
    }

    void cleanup()
    {
        m_pDialog.reset();
        // No attempt in this test may have got as far as the device machinery.
        QVERIFY(!g_pUdpThread && !g_pUdpDriver);
    }

    // No store: the defaults a first start runs with (the language still to ask, the login account, the
    // mail and SNMP ports), each key written in the text form of its type.
    void emptyStoreSavesDefaults()
    {
        loadSettings();
        QVERIFY(!QFile::exists(storeFile()));
        saveSettings();
        QCOMPARE(
            storeText(),
            QByteArray("[General]\nLanguage=0\n\n[Login]\nAccount=pavok\nAutoLogin=false\n"
                       "Password=pavok\nRememberPassword=false\n\n"
                       "[Metrics]\nAddress=127.0.0.1\nEnabled=false\nPort=9150\n\n[Smtp]\nAccount=\nHost=\n"
                       "Password=\nPort=25\nReceiver=\nSSL=false\n\n[Snmp]\n"
                       "AgentAccount=quorbishadlen\nAgentPort=161\nAgentProVer=0\nAgentRetry=3\n"
                       "AgentTimeout=500\nTrapAccount=quorbishadlen\nTrapPort=162\nTrapProVer=0\n"));
    }

    void storedValueConverts_data()
    {
        QTest::addColumn<QStringList>("values"); // the store (lines separated by |), a key, what it holds
        QTest::newRow("port as text") << QStringList{"[Smtp]|Port=twenty-five", "Smtp/Port", "0"};
        QTest::newRow("port beyond int") << QStringList{"[Smtp]|Port=4294967298", "Smtp/Port", "0"};
        QTest::newRow("ssl true") << QStringList{"[Smtp]|SSL=true", "Smtp/SSL", "true"};
        QTest::newRow("ssl empty") << QStringList{"[Smtp]|SSL=", "Smtp/SSL", "false"};
        QTest::newRow("auto login 0") << QStringList{"[Login]|AutoLogin=0", "Login/AutoLogin", "false"};
        QTest::newRow("unknown key ignored") << QStringList{"[Login]|User=x", "Login/Account", "pavok"};
    }

    void storedValueConverts()
    {
        QFETCH(QStringList, values);
        g_settings.smtpHost = QStringLiteral("kept.example.org");
        QDir().mkpath(QFileInfo(storeFile()).path());
        QVERIFY(writeFile(storeFile(), values[0].replace(QLatin1Char('|'), QLatin1Char('\n')).toUtf8()));
        loadSettings();
        saveSettings();
        QCOMPARE(stored(values[1]), values[2]);
        // A key the store lacks keeps the value the record had.
        QCOMPARE(stored(QStringLiteral("Smtp/Host")), QStringLiteral("kept.example.org"));
    }

    // Every field back as saved, whatever the password holds; passwords (the mail's, SNMPv3's passphrases)
    // are stored unencoded, in a store only its owner may read.
    void roundTrip_data()
    {
        QTest::addColumn<QString>("strPassword");
        QTest::newRow("plain") << "Mail-Pass_77";
        QTest::newRow("ini syntax") << "  a=b;c#d[e],f \"q\" \\n\nline2 ";
        QTest::newRow("variant marker") << "@Variant(x)";
        QTest::newRow("chinese") << QStringLiteral("密碼设备");
        QTest::newRow("bool-like") << "true";
    }

    void roundTrip()
    {
        QFETCH(QString, strPassword);
        AppSettings& s = g_settings; // every field off its default
        s.language = s.snmpAgentProVer = s.snmpTrapProVer = 1;
        s.loginPassword = s.smtpPassword = s.snmpAuthPassphrase = s.snmpPrivPassphrase = strPassword;
        s.autoLogin = s.rememberPassword = s.smtpSsl = true;
        s.loginAccount = s.smtpAccount = s.smtpHost = s.smtpReceiver = s.snmpAgentAccount =
            s.snmpTrapAccount = QStringLiteral("ops@example.org");
        s.smtpPort = s.snmpAgentPort = s.snmpAgentTimeout = s.snmpAgentRetry = s.snmpTrapPort = 1161;
        saveSettings();
        const QByteArray baSaved = storeText();
        g_settings = AppSettings();
        loadSettings();
        QCOMPARE(g_settings.smtpPassword, strPassword);
        QCOMPARE(g_settings.snmpAuthPassphrase, strPassword);
        QCOMPARE(g_settings.snmpPrivPassphrase, strPassword);
        const QFileDevice::Permissions others(0x0077);
        QCOMPARE(QFileInfo(storeFile()).permissions() & others, QFileDevice::Permissions());
        QFile::remove(storeFile());
        saveSettings();
        QCOMPARE(storeText(), baSaved);
    }

    void credentials_data()
    {
        QTest::addColumn<QStringList>("values"); // stored account and password, typed account and password
        QTest::addColumn<bool>("bAccepted");
        QTest::newRow("defaults") << QStringList{"pavok", "pavok", "pavok", "pavok"} << true;
        QTest::newRow("own account") << QStringList{"admin", "S3cret", "admin", "S3cret"} << true;
        QTest::newRow("wrong password") << QStringList{"pavok", "pavok", "pavok", "secret"} << false;
        QTest::newRow("account in other case") << QStringList{"pavok", "pavok", "PAVOK", "pavok"} << false;
        QTest::newRow("default after own account")
            << QStringList{"admin", "S3cret", "pavok", "pavok"} << false;
        QTest::newRow("empty store, default") << QStringList{"", "", "pavok", "pavok"} << true;
        QTest::newRow("empty store, default in other case") << QStringList{"", "", "Pavok", "pavok"} << false;
        // Only both values empty stand for the default.
        QTest::newRow("empty stored account only") << QStringList{"", "S3cret", "pavok", "pavok"} << false;
    }

    void credentials()
    {
        QFETCH(QStringList, values);
        QFETCH(bool, bAccepted);
        g_settings.loginAccount = values[0];
        g_settings.loginPassword = values[1];
        QCOMPARE(acceptsLoginCredentials(values[2], values[3]), bAccepted);
    }

    // A rejected attempt keeps the form and says why; editing clears the message. Scanning hides the form.
    void rejectedAttemptsKeepTheForm()
    {
        m_pDialog->show();
        QCOMPARE(child<QLineEdit>("EditPassword")->echoMode(), QLineEdit::Password);
        for (const auto& [strPassword, state] :
             {std::pair{QString(), CLoginDialog::EmptyInput},
              {QStringLiteral("secret"), CLoginDialog::WrongCredentials}}) {
            child<QComboBox>("ComboAccount")->setEditText(QStringLiteral("pavok"));
            child<QLineEdit>("EditPassword")->setText(strPassword);
            QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);
            QCOMPARE(CLoginDialog::loginState(), int(state));
            QVERIFY(!child<QLabel>("LabelMessage")->text().isEmpty());
            QVERIFY(child<QPushButton>("BtnLogin")->isVisible() && m_pDialog->isVisible());
            QTest::keyClick(child<QLineEdit>("EditPassword"), Qt::Key_A);
            QVERIFY(child<QLabel>("LabelMessage")->text().isEmpty());
        }
        m_pDialog->setLoginState(CLoginDialog::Scanning);
        QVERIFY(!child<QPushButton>("BtnLogin")->isVisible() && child<QLabel>("LabelLoading")->isVisible());

        // A language change resets the state.
        m_pDialog->retranslate();
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
    }

    void keepPasswordAndAutoLoginTie()
    {
        m_pDialog->show();
        // Each step: the box clicked, then keep and auto as they must be.
        for (const auto& [pBox, bKeep, bAuto] :
             {std::tuple{autoLogin(), true, true}, // auto-login needs the password kept
              {keep(), false, false},              // no kept password, no auto-login
              {keep(), true, false},               // keeping it alone does not switch auto-login on
              {autoLogin(), true, true},
              {autoLogin(), true, false}}) { // auto-login off keeps the password kept
            QTest::mouseClick(pBox, Qt::LeftButton, {}, QPoint(5, pBox->height() / 2));
            QCOMPARE(keep()->isChecked(), bKeep);
            QCOMPARE(autoLogin()->isChecked(), bAuto);
        }
        // Auto-login with nothing kept asks for input instead of logging in.
        m_pDialog->hide();
        autoLogin()->setChecked(true);
        m_pDialog->show();
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::EmptyInput));
    }

    // What the end of the scanning stores, and what the next login window then shows: the options as
    // ticked, the account only with the password kept.
    void acceptedLoginStoresOptions_data()
    {
        QTest::addColumn<bool>("bKeep");
        QTest::addColumn<bool>("bAuto");
        QTest::newRow("nothing kept") << false << false;
        QTest::newRow("password kept") << true << false;
        QTest::newRow("auto-login") << true << true;
    }

    void acceptedLoginStoresOptions()
    {
        QFETCH(bool, bKeep);
        QFETCH(bool, bAuto);
        g_settings.loginAccount = g_settings.loginPassword = QString();
        m_pDialog->show();
        child<QComboBox>("ComboAccount")->setEditText(QStringLiteral("pavok"));
        child<QLineEdit>("EditPassword")->setText(QStringLiteral("pavok"));
        keep()->setChecked(bKeep);
        autoLogin()->setChecked(bAuto);
        m_pDialog->slotLogin();
        // Accepted, with the form left empty for the next time it shows.
        QVERIFY(m_pDialog->result() == QDialog::Accepted && form() == QLatin1String("/") &&
                !keep()->isChecked());
        // Without "keep password" the typed password never reaches the store.
        QCOMPARE(stored("Login/Account") + stored("Login/Password"),
                 bKeep ? QStringLiteral("pavokpavok") : QString());

        g_settings = AppSettings();
        loadSettings();
        m_pDialog = std::make_unique<CLoginDialog>(); // not shown: with both options it would log in at once
        QCOMPARE(form(), bKeep ? QStringLiteral("pavok/pavok") : QStringLiteral("/"));
        QCOMPARE(keep()->isChecked(), bKeep);
        QCOMPARE(autoLogin()->isChecked(), bAuto);
    }

    void accountRules_data()
    {
        QTest::addColumn<QStringList>("fields"); // old account, password; new account, password; repeated
        QTest::addColumn<QString>("box");
        auto row = [](const char* name, const QStringList& f, const char* box) {
            QTest::newRow(name) << f << QString::fromUtf8(box);
        };
        // Emptiness first, in field order, whatever else is wrong.
        row("all empty", {"", "", "", "", ""}, "warning|Please input original account.");
        row("old password empty", {"pavok", "", "n", "p", "p"}, "warning|Please input original password.");
        row("new account empty", {"pavok", "pavok", "", "p", "p"}, "warning|Please input new account.");
        row("repeat empty, old wrong", {"bad", "bad", "n", "p", ""},
            "warning|Please input new password acknowledge.");
        // The repetition is checked before the old credentials.
        row("repeat differs, old wrong", {"bad", "bad", "n", "p", "q"},
            "warning|Password ack is not equal to password.");
        row("repeat differs in case", {"pavok", "pavok", "n", "Secret", "secret"},
            "warning|Password ack is not equal to password.");
        row("old password wrong", {"pavok", "PAVOK", "n", "p", "p"},
            "warning|Original account or password is incorrect.");
        row("success", {"pavok", "pavok", "Ops Desk", "p w!", "p w!"}, "info|Modify success.");
    }

    void accountRules()
    {
        QFETCH(QStringList, fields);
        QFETCH(QString, box);
        g_settings.autoLogin = g_settings.rememberPassword = true;
        g_settings.language = 3;
        CModifyAccountDialog dialog;
        dialog.show();
        const char* const names[] = {"LineEditOriAccount", "LineEditOriPassword", "LineEditCurAccount",
                                     "LineEditCurPassword", "LineEditCurPasswordAck"};
        for (int i = 0; i < 5; ++i) {
            auto* pEdit = dialog.findChild<QLineEdit*>(QLatin1String(names[i]));
            QCOMPARE(pEdit->echoMode(), i == 1 || i >= 3 ? QLineEdit::Password : QLineEdit::Normal);
            QTest::keyClicks(pEdit, fields.at(i));
        }
        QTimer timer;
        QStringList boxes;
        answerBoxes(timer, boxes);
        QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
        QCOMPARE(boxes, QStringList{box});

        const bool bSuccess = box.startsWith(QLatin1String("info|"));
        QCOMPARE(dialog.result() == QDialog::Accepted && !dialog.isVisible(), bSuccess);
        // A success stores the new account; it logs nobody in by itself any more; the rest is kept.
        QCOMPARE(stored("Login/Account") + stored("Login/Password"),
                 bSuccess ? fields.at(2) + fields.at(3) : QString());
        QCOMPARE(g_settings.autoLogin || g_settings.rememberPassword, !bSuccess);
        QCOMPARE(stored("Login/AutoLogin"), bSuccess ? QStringLiteral("false") : QString());
        QCOMPARE(stored("Language"), bSuccess ? QStringLiteral("3") : QString());
        for (int i = 0; i < 5 && !bSuccess; ++i) // a warning leaves every field as typed
            QCOMPARE(dialog.findChild<QLineEdit*>(QLatin1String(names[i]))->text(), fields.at(i));
    }

    // The operator's window and columns come back after a restart; a place on a screen that is gone
    // (the test's only screen is 800x600) gives way to the first-start one, as the first start had it.
    void windowLayoutSurvivesRestart()
    {
        // The columns as the store keeps them.
        const auto columns = [this] {
            const QByteArray baStore = storeText();
            return baStore.mid(baStore.indexOf("[Overview]"),
                               baStore.indexOf("[Window]") - baStore.indexOf("[Overview]"));
        };
        const auto restart = [](const std::function<void(CMainDialog&)>& fnChange) {
            CMainDialog main;
            // The pages are taller than the test's screen.
            main.layout()->setSizeConstraint(QLayout::SetNoConstraint);
            main.showPlaced(loadWindowSettings(CDeviceOverviewWidget::ColumnCount));
            fnChange(main);
            saveWindowSettings(main.placement());
        };
        restart([](CMainDialog& main) {
            QVERIFY(main.isMaximized()); // no room for every column
            main.showNormal();
            main.setGeometry(40, 30, 700, 500);
            QHeaderView* pHeader = main.deviceOverviewWidget()->treeWidget()->header();
            pHeader->resizeSection(CDeviceOverviewWidget::ColumnName, 171);
            pHeader->moveSection(pHeader->visualIndex(CDeviceOverviewWidget::ColumnCurrent), 2);
            pHeader->setSectionHidden(CDeviceOverviewWidget::ColumnFirmwareVer, true);
            pHeader->setSortIndicator(CDeviceOverviewWidget::ColumnCurrent, Qt::DescendingOrder);
        });
        const QByteArray baFirst = columns();
        restart([](CMainDialog& main) {
            QTRY_COMPARE(main.geometry(), QRect(40, 30, 700, 500));
            main.setGeometry(3000, 30, 700, 500);
        });
        QVERIFY(baFirst.contains("SortColumn=9"));
        QCOMPARE(columns(), baFirst);
        restart([](CMainDialog& main) { QTRY_VERIFY(main.isMaximized()); });
    }

    // The overview's column headers in one font in every language (tst_textsfit checks that they and the
    // tab labels fit, with a desk's fonts).
    void headersInOneFont()
    {
        for (int iLanguage : {1, 2, 3}) {
            installCatalogues(iLanguage);
            CMainDialog main;
            main.retranslate();
            const QTreeWidgetItem* pHeaderItem = main.deviceOverviewWidget()->treeWidget()->headerItem();
            for (int i = 0; i < CDeviceOverviewWidget::ColumnCount; ++i)
                QCOMPARE(pHeaderItem->font(i), pHeaderItem->font(0));
        }
    }
};

QTEST_MAIN(TestApp)
#include "tst_app.moc"
