#include "app/Catalogues.h"
#include "app/LoginDialog.h"
#include "app/Settings.h"
#include "app/SharedFonts.h"
#include "tests/frame/FrameTestUtil.h"
#include "tests/login/LoginTestSupport.h"
#include "ui/frame/TitleBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The login dialog's states, texts and check boxes. Nothing here gets as far as opening a socket:
// the attempts that pass the credential check run in the test bed (tst_loginbed).
class TestLoginDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void layoutAndFlags();
    void states_data();
    void states();
    void negativeStateKeepsCurrent();
    void rejectedAttempts_data();
    void rejectedAttempts();
    void editingClearsMessage_data();
    void editingClearsMessage();
    void keepPasswordAndAutoLoginTie();
    void storedOptionsFillTheForm_data();
    void storedOptionsFillTheForm();
    void autoLoginWithNothingStoredAsksForInput();
    void textsInChinese();
    void paintsHeaderAndBody();

private:
    template <typename T> T* child(const char* pszName) const { return namedChild<T>(m_pDialog.get(), pszName); }
    QList<QWidget*> inputs() const
    {
        return {child<QComboBox>("ComboAccount"), child<QLineEdit>("EditPassword"),
                child<QCheckBox>("CheckKeepPassword"), child<QCheckBox>("CheckAutoLogin"),
                child<QPushButton>("BtnLogin")};
    }
    QLabel* message() const { return child<QLabel>("LabelMessage"); }
    void createDialog()
    {
        m_pDialog = std::make_unique<CLoginDialog>();
        m_pDialog->setObjectName(QStringLiteral("LoginDialog"));
        m_pDialog->setFixedSize(442, 342);
        m_pDialog->retranslate();
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
    std::unique_ptr<CLoginDialog> m_pDialog;
};

void TestLoginDialog::initTestCase()
{
    createSharedFonts();
    QVERIFY(FrameTestUtil::applyApplicationLook());
}

void TestLoginDialog::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
    g_settings = AppSettings();
    createDialog();
}

void TestLoginDialog::cleanup()
{
    m_pDialog.reset();
    installCatalogues(1);
    // No attempt in this test may have got as far as the device machinery.
    QVERIFY(!g_pUdpThread);
    QVERIFY(!g_pUdpDriver);
}

void TestLoginDialog::layoutAndFlags()
{
    const Qt::WindowFlags flags = m_pDialog->windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);

    m_pDialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDialog.get()));
    QCOMPARE(m_pDialog->size(), QSize(442, 342));
    QVERIFY(m_pDialog->titleBar()->closeButton()->isVisible());
    QVERIFY(!m_pDialog->titleBar()->menuButton()->isVisible());
    QVERIFY(!m_pDialog->titleBar()->minButton()->isVisible());
    QVERIFY(!m_pDialog->titleBar()->maxButton()->isVisible());
    QVERIFY(m_pDialog->titleBar()->captionLabel()->text().isEmpty());

    QCOMPARE(child<QComboBox>("ComboAccount")->size(), QSize(200, 30));
    QVERIFY(child<QComboBox>("ComboAccount")->isEditable());
    QCOMPARE(child<QComboBox>("ComboAccount")->count(), 0);
    QCOMPARE(child<QLineEdit>("EditPassword")->size(), QSize(200, 30));
    QCOMPARE(child<QLineEdit>("EditPassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QPushButton>("BtnLogin")->size(), QSize(200, 30));
    QCOMPARE(child<QLabel>("LabelHeadPortrait")->size(), QSize(78, 78));
    QCOMPARE(message()->height(), 30);
    // The message line starts where the painted header band ends (6 + 182 is under it).
    QCOMPARE(message()->mapTo(m_pDialog.get(), QPoint(0, 0)).y(), 6 + 152);
    // The password field joins the account box from below; the button is under both.
    const QRect rectAccount = child<QComboBox>("ComboAccount")->geometry();
    const QRect rectPassword = child<QLineEdit>("EditPassword")->geometry();
    QCOMPARE(rectPassword.top(), rectAccount.bottom() + 1);
    QVERIFY(child<QPushButton>("BtnLogin")->geometry().top() > rectPassword.bottom() + 12);

    QCOMPARE(child<QLineEdit>("EditPassword")->placeholderText(), QStringLiteral("Password"));
    QCOMPARE(child<QComboBox>("ComboAccount")->lineEdit()->placeholderText(), QStringLiteral("Account"));
    QCOMPARE(child<QPushButton>("BtnLogin")->text(), QStringLiteral("Login"));
    QCOMPARE(child<QCheckBox>("CheckKeepPassword")->text(), QStringLiteral("KeepPassword"));
    QCOMPARE(child<QCheckBox>("CheckAutoLogin")->text(), QStringLiteral("AutoLogin"));
}

void TestLoginDialog::states_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<bool>("inputsShown");
    QTest::newRow("Idle") << int(CLoginDialog::Idle) << QString() << QColor(Qt::black) << true;
    QTest::newRow("EmptyInput") << int(CLoginDialog::EmptyInput)
                                << QStringLiteral("Please input account and password") << QColor(Qt::red) << true;
    QTest::newRow("WrongCredentials") << int(CLoginDialog::WrongCredentials)
                                      << QStringLiteral("Account or password is mistake") << QColor(Qt::red)
                                      << true;
    QTest::newRow("Scanning") << int(CLoginDialog::Scanning)
                              << QStringLiteral("Scanning pdu in local network...") << QColor(Qt::black) << false;
    QTest::newRow("PortFailed") << int(CLoginDialog::PortFailed) << QStringLiteral("Fail to open udp port")
                                << QColor(Qt::red) << true;
}

void TestLoginDialog::states()
{
    QFETCH(int, state);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    QFETCH(bool, inputsShown);
    m_pDialog->show();
    m_pDialog->setLoginState(state);
    QCOMPARE(CLoginDialog::loginState(), state);
    QCOMPARE(message()->text(), text);
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(message()->palette().color(group, QPalette::WindowText), colour);
    for (QWidget* pInput : inputs())
        QCOMPARE(pInput->isVisible(), inputsShown);
    auto* pLoading = child<QLabel>("LabelLoading");
    QCOMPARE(pLoading->isVisible(), !inputsShown);
    QCOMPARE(pLoading->maximumHeight(), 2);
}

void TestLoginDialog::negativeStateKeepsCurrent()
{
    m_pDialog->show();
    m_pDialog->setLoginState(CLoginDialog::WrongCredentials);
    m_pDialog->setLoginState(-1);
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::WrongCredentials));
    QCOMPARE(message()->text(), QStringLiteral("Account or password is mistake"));
}

void TestLoginDialog::rejectedAttempts_data()
{
    QTest::addColumn<QString>("storedAccount");
    QTest::addColumn<QString>("storedPassword");
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("state");
    const int iEmpty = CLoginDialog::EmptyInput;
    const int iWrong = CLoginDialog::WrongCredentials;
    const QString d = QStringLiteral("pavok");
    QTest::newRow("both empty") << d << d << QString() << QString() << iEmpty;
    QTest::newRow("account empty") << d << d << QString() << d << iEmpty;
    QTest::newRow("password empty") << d << d << d << QString() << iEmpty;
    QTest::newRow("wrong password") << d << d << d << QStringLiteral("secret") << iWrong;
    QTest::newRow("password in other case") << d << d << d << QStringLiteral("Pavok") << iWrong;
    QTest::newRow("account in other case") << d << d << QStringLiteral("PAVOK") << d << iWrong;
    QTest::newRow("trailing space") << d << d << QStringLiteral("pavok ") << d << iWrong;
    QTest::newRow("default after own account") << "admin" << "S3cret" << d << d << iWrong;
    QTest::newRow("empty store, other account") << "" << "" << "admin" << "S3cret" << iWrong;
    QTest::newRow("empty store, default in other case") << "" << "" << "Pavok" << d << iWrong;
    QTest::newRow("empty store, empty input") << "" << "" << QString() << QString() << iEmpty;
}

void TestLoginDialog::rejectedAttempts()
{
    QFETCH(QString, storedAccount);
    QFETCH(QString, storedPassword);
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(int, state);
    g_settings.loginAccount = storedAccount;
    g_settings.loginPassword = storedPassword;
    m_pDialog->show();
    QTest::keyClicks(child<QComboBox>("ComboAccount")->lineEdit(), account);
    QTest::keyClicks(child<QLineEdit>("EditPassword"), password);
    QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);

    QCOMPARE(CLoginDialog::loginState(), state);
    QCOMPARE(message()->palette().color(QPalette::WindowText), QColor(Qt::red));
    for (QWidget* pInput : inputs())
        QVERIFY(pInput->isVisible());
    QVERIFY(m_pDialog->isVisible());
    QCOMPARE(m_pDialog->result(), int(QDialog::Rejected));
}

void TestLoginDialog::editingClearsMessage_data()
{
    QTest::addColumn<bool>("inAccount");
    QTest::newRow("account") << true;
    QTest::newRow("password") << false;
}

void TestLoginDialog::editingClearsMessage()
{
    QFETCH(bool, inAccount);
    m_pDialog->show();
    QTest::mouseClick(child<QPushButton>("BtnLogin"), Qt::LeftButton);
    QCOMPARE(message()->text(), QStringLiteral("Please input account and password"));
    QWidget* pEdit = inAccount ? static_cast<QWidget*>(child<QComboBox>("ComboAccount")->lineEdit())
                               : child<QLineEdit>("EditPassword");
    QTest::keyClick(pEdit, Qt::Key_A);
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
    QVERIFY(message()->text().isEmpty());
    QCOMPARE(message()->palette().color(QPalette::WindowText), QColor(Qt::black));
}

void TestLoginDialog::keepPasswordAndAutoLoginTie()
{
    m_pDialog->show();
    auto* pKeep = child<QCheckBox>("CheckKeepPassword");
    auto* pAuto = child<QCheckBox>("CheckAutoLogin");
    auto click = [](QCheckBox* pBox) { QTest::mouseClick(pBox, Qt::LeftButton, {}, QPoint(5, pBox->height() / 2)); };

    click(pAuto); // auto-login needs the password kept
    QVERIFY(pAuto->isChecked());
    QVERIFY(pKeep->isChecked());
    click(pKeep); // no kept password, no auto-login
    QVERIFY(!pKeep->isChecked());
    QVERIFY(!pAuto->isChecked());
    click(pKeep); // keeping the password alone does not switch auto-login on
    QVERIFY(pKeep->isChecked());
    QVERIFY(!pAuto->isChecked());
    click(pAuto);
    click(pAuto); // switching auto-login off keeps the password kept
    QVERIFY(!pAuto->isChecked());
    QVERIFY(pKeep->isChecked());
}

void TestLoginDialog::storedOptionsFillTheForm_data()
{
    QTest::addColumn<bool>("remember");
    QTest::addColumn<bool>("autoLogin");
    QTest::newRow("nothing") << false << false;
    QTest::newRow("remember") << true << false;
    QTest::newRow("both") << true << true;
    QTest::newRow("auto only") << false << true;
}

void TestLoginDialog::storedOptionsFillTheForm()
{
    QFETCH(bool, remember);
    QFETCH(bool, autoLogin);
    g_settings.loginAccount = QStringLiteral("admin");
    g_settings.loginPassword = QStringLiteral("S3cret");
    g_settings.rememberPassword = remember;
    g_settings.autoLogin = autoLogin;
    createDialog(); // not shown: a shown dialog with both options logs in at once
    QCOMPARE(child<QComboBox>("ComboAccount")->currentText(), remember ? QStringLiteral("admin") : QString());
    QCOMPARE(child<QLineEdit>("EditPassword")->text(), remember ? QStringLiteral("S3cret") : QString());
    QCOMPARE(child<QCheckBox>("CheckKeepPassword")->isChecked(), remember);
    QCOMPARE(child<QCheckBox>("CheckAutoLogin")->isChecked(), autoLogin);
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
}

void TestLoginDialog::autoLoginWithNothingStoredAsksForInput()
{
    g_settings.autoLogin = true;
    createDialog();
    m_pDialog->show();
    QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::EmptyInput));
    QCOMPARE(message()->text(), QStringLiteral("Please input account and password"));
}

void TestLoginDialog::textsInChinese()
{
    for (int iLanguage : {2, 3}) {
        installCatalogues(iLanguage);
        QTranslator* pOwn = iLanguage == 2 ? g_pTranslatorZhCN : g_pTranslatorZhTW;
        m_pDialog->setLoginState(CLoginDialog::PortFailed);
        m_pDialog->retranslate();
        QCOMPARE(CLoginDialog::loginState(), int(CLoginDialog::Idle));
        m_pDialog->setLoginState(CLoginDialog::PortFailed);
        const QString strExpected = pOwn->translate("CLoginDialog", "Fail to open udp port");
        QVERIFY(!strExpected.isEmpty());
        QCOMPARE(message()->text(), strExpected);
        QCOMPARE(child<QPushButton>("BtnLogin")->text(), pOwn->translate("CLoginDialog", "Login"));
        QCOMPARE(child<QCheckBox>("CheckKeepPassword")->text(), pOwn->translate("CLoginDialog", "KeepPassword"));
    }
}

void TestLoginDialog::paintsHeaderAndBody()
{
    m_pDialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDialog.get()));
    const QImage image = m_pDialog->grab().toImage();
    const QColor shadow(120, 120, 120, 80);
    // Left of the logo, inside the band; low in the body, left of the form.
    const QColor band = FrameTestUtil::over(QColor(13, 168, 255, 230), shadow);
    const QColor body = FrameTestUtil::over(QColor(255, 255, 255, 230), shadow);
    const QColor seenBand = image.pixelColor(30, 150);
    const QColor seenBody = image.pixelColor(30, 320);
    QVERIFY2(FrameTestUtil::near(seenBand, band), FrameTestUtil::describe(seenBand).constData());
    QVERIFY2(FrameTestUtil::near(seenBody, body), FrameTestUtil::describe(seenBody).constData());
    // The wordmark is white on the band, right of the logo.
    int iWhite = 0;
    for (int x = 442 / 2 - 70 + 64; x < 442 - 10; ++x)
        for (int y = 6 + 91 - 32; y < 6 + 91 + 32; ++y)
            iWhite += image.pixelColor(x, y).lightness() > 240 ? 1 : 0;
    QVERIFY2(iWhite > 100, QByteArray::number(iWhite).constData());
}

QTEST_MAIN(TestLoginDialog)
#include "tst_logindialog.moc"
