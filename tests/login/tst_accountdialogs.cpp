#include "app/Catalogues.h"
#include "app/LanguageSelectDialog.h"
#include "app/ModifyAccountDialog.h"
#include "app/Settings.h"
#include "tests/login/LoginTestSupport.h"
#include "ui/frame/TitleBar.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

// The account dialog's checks and the language choice, against a settings store of the test's own.
class TestAccountDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void accountRules_data();
    void accountRules();
    void successClearsLoginOptions();
    void accountTextsFollowLanguage();

    void languagePreselected_data();
    void languagePreselected();
    void languageLayout();
    void languageOkStoresIndexPlusOne_data();
    void languageOkStoresIndexPlusOne();
    void runLanguageSelectionInstallsPair_data();
    void runLanguageSelectionInstallsPair();
    void runLanguageSelectionCancelled();

private:
    QVariant stored(const QString& strKey) const
    {
        return QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).value(strKey);
    }
    bool storeWritten() const
    {
        return QFile::exists(m_pDir->filePath(QStringLiteral("Orvane/Rackmind.conf")));
    }

    std::unique_ptr<QTemporaryDir> m_pDir;
};

void TestAccountDialogs::init()
{
    m_pDir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_pDir->isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_pDir->path());
    g_settings = AppSettings();
}

void TestAccountDialogs::cleanup()
{
    deleteCatalogues();
}

void TestAccountDialogs::accountRules_data()
{
    QTest::addColumn<QString>("storedAccount");
    QTest::addColumn<QString>("storedPassword");
    QTest::addColumn<QStringList>("fields"); // old account, old password, new account, new password, repeated
    QTest::addColumn<QString>("box");

    const QString d = QStringLiteral("pavok");
    auto row = [&](const char* name, const QString& a, const QString& p, const QStringList& f, const char* box) {
        QTest::newRow(name) << a << p << f << QString::fromUtf8(box);
    };
    const char* const incorrect = "warning|Original account or password is incorrect.";
    // Emptiness first, in field order, whatever else is wrong.
    row("all empty", d, d, {"", "", "", "", ""}, "warning|Please input original account.");
    row("old account empty", d, d, {"", "x", "", "", ""}, "warning|Please input original account.");
    row("old password empty", d, d, {"pavok", "", "n", "p", "p"}, "warning|Please input original password.");
    row("new account empty", d, d, {"pavok", "pavok", "", "p", "p"}, "warning|Please input new account.");
    row("new password empty", d, d, {"pavok", "pavok", "n", "", "p"}, "warning|Please input new password.");
    row("repeat empty, old wrong", d, d, {"bad", "bad", "n", "p", ""},
        "warning|Please input new password acknowledge.");
    // The repetition is checked before the old credentials.
    row("repeat differs, old wrong", d, d, {"bad", "bad", "n", "p", "q"},
        "warning|Password ack is not equal to password.");
    row("repeat differs in case", d, d, {"pavok", "pavok", "n", "Secret", "secret"},
        "warning|Password ack is not equal to password.");
    row("old account in other case", d, d, {"Pavok", "pavok", "n", "p", "p"}, incorrect);
    row("old password in other case", d, d, {"pavok", "PAVOK", "n", "p", "p"}, incorrect);
    row("defaults", d, d, {"pavok", "pavok", "admin", "S3cret", "S3cret"}, "info|Modify success.");
    row("own account", "admin", "S3cret", {"admin", "S3cret", "ops", "pw", "pw"}, "info|Modify success.");
    row("default after own account", "admin", "S3cret", {"pavok", "pavok", "ops", "pw", "pw"}, incorrect);
    row("empty store, default", "", "", {"pavok", "pavok", "ops", "pw", "pw"}, "info|Modify success.");
    row("empty store, default in other case", "", "", {"Pavok", "pavok", "ops", "pw", "pw"}, incorrect);
    row("empty store, other account", "", "", {"admin", "S3cret", "ops", "pw", "pw"}, incorrect);
    // Only both values empty stand for the default.
    row("empty stored account only", "", "S3cret", {"pavok", "pavok", "ops", "pw", "pw"}, incorrect);
}

void TestAccountDialogs::accountRules()
{
    QFETCH(QString, storedAccount);
    QFETCH(QString, storedPassword);
    QFETCH(QStringList, fields);
    QFETCH(QString, box);
    g_settings.loginAccount = storedAccount;
    g_settings.loginPassword = storedPassword;

    CModifyAccountDialog dialog;
    dialog.setFixedSize(600, 400);
    dialog.show();
    const QStringList names = {"LineEditOriAccount", "LineEditOriPassword", "LineEditCurAccount",
                               "LineEditCurPassword", "LineEditCurPasswordAck"};
    for (int i = 0; i < names.size(); ++i) {
        auto* pEdit = dialog.findChild<QLineEdit*>(names.at(i));
        QVERIFY(pEdit);
        QTest::keyClicks(pEdit, fields.at(i));
    }

    ModalAnswerer answerer;
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    QCOMPARE(answerer.boxes, QStringList{box});

    const bool bSuccess = box.startsWith(QLatin1String("info|"));
    QCOMPARE(dialog.result() == QDialog::Accepted, bSuccess);
    QCOMPARE(dialog.isVisible(), !bSuccess);
    QCOMPARE(storeWritten(), bSuccess);
    QCOMPARE(g_settings.loginAccount, bSuccess ? fields.at(2) : storedAccount);
    QCOMPARE(g_settings.loginPassword, bSuccess ? fields.at(3) : storedPassword);
    if (!bSuccess) {
        // A warning leaves every field as typed.
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(dialog.findChild<QLineEdit*>(names.at(i))->text(), fields.at(i));
    }
}

void TestAccountDialogs::successClearsLoginOptions()
{
    g_settings.autoLogin = true;
    g_settings.rememberPassword = true;
    g_settings.language = 3;
    CModifyAccountDialog dialog;
    dialog.findChild<QLineEdit*>(QStringLiteral("LineEditOriAccount"))->setText(QStringLiteral("pavok"));
    dialog.findChild<QLineEdit*>(QStringLiteral("LineEditOriPassword"))->setText(QStringLiteral("pavok"));
    dialog.findChild<QLineEdit*>(QStringLiteral("LineEditCurAccount"))->setText(QStringLiteral("Ops Desk"));
    dialog.findChild<QLineEdit*>(QStringLiteral("LineEditCurPassword"))->setText(QStringLiteral("p w!"));
    dialog.findChild<QLineEdit*>(QStringLiteral("LineEditCurPasswordAck"))->setText(QStringLiteral("p w!"));

    ModalAnswerer answerer;
    dialog.on_BtnOK_clicked();
    QCOMPARE(answerer.boxes, QStringList{QStringLiteral("info|Modify success.")});
    QCOMPARE(dialog.result(), int(QDialog::Accepted));

    QCOMPARE(stored(QStringLiteral("Login/Account")).toString(), QStringLiteral("Ops Desk"));
    QCOMPARE(stored(QStringLiteral("Login/Password")).toString(), QStringLiteral("p w!"));
    QCOMPARE(stored(QStringLiteral("Login/AutoLogin")).toBool(), false);
    QCOMPARE(stored(QStringLiteral("Login/RememberPassword")).toBool(), false);
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), 3);
    QVERIFY(!g_settings.autoLogin);
    QVERIFY(!g_settings.rememberPassword);
}

void TestAccountDialogs::accountTextsFollowLanguage()
{
    CModifyAccountDialog dialog;
    auto* pLabel = dialog.findChild<QLabel*>(QStringLiteral("LableOriPassword"));
    auto* pButton = dialog.findChild<QPushButton*>(QStringLiteral("BtnOK"));
    QCOMPARE(pLabel->text(), QStringLiteral("OriPassword"));
    QCOMPARE(pButton->text(), QStringLiteral("OK"));
    QCOMPARE(pLabel->alignment(), Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("LineEditCurPasswordAck"))->echoMode(),
             QLineEdit::Password);
    QCOMPARE(dialog.findChild<QLineEdit*>(QStringLiteral("LineEditCurAccount"))->echoMode(), QLineEdit::Normal);

    installCatalogues(2);
    dialog.retranslate();
    QCOMPARE(pLabel->text(), g_pTranslatorZhCN->translate("CModifyAccountDialog", "OriPassword"));
    QVERIFY(!pLabel->text().isEmpty());
    QVERIFY(pLabel->text() != QStringLiteral("OriPassword"));
}

void TestAccountDialogs::languagePreselected_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("shown");
    QTest::newRow("not chosen") << 0 << QStringLiteral("English");
    QTest::newRow("English") << 1 << QStringLiteral("English");
    QTest::newRow("Simplified") << 2 << QStringLiteral("简体中文");
    QTest::newRow("Traditional") << 3 << QStringLiteral("繁體中文");
    QTest::newRow("unknown code") << 7 << QStringLiteral("English");
    QTest::newRow("negative code") << -1 << QStringLiteral("English");
}

void TestAccountDialogs::languagePreselected()
{
    QFETCH(int, language);
    QFETCH(QString, shown);
    g_settings.language = language;
    CLanguageSelectDialog dialog;
    QCOMPARE(dialog.findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->currentText(), shown);
}

void TestAccountDialogs::languageLayout()
{
    CLanguageSelectDialog dialog;
    dialog.setFixedSize(350, 200);
    dialog.show();
    auto* pCombo = dialog.findChild<QComboBox*>(QStringLiteral("ComboLanguage"));
    QCOMPARE(pCombo->count(), 3);
    QCOMPARE(pCombo->itemText(0), QStringLiteral("English"));
    QCOMPARE(pCombo->itemText(1), QStringLiteral("简体中文"));
    QCOMPARE(pCombo->itemText(2), QStringLiteral("繁體中文"));
    QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("LabelLanguage"))->text(), QStringLiteral("Language"));
    auto* pOk = dialog.findChild<QPushButton*>(QStringLiteral("BtnOk"));
    QCOMPARE(pOk->size(), QSize(80, 26));
    QVERIFY(dialog.titleBar()->closeButton()->isVisible());
    QVERIFY(!dialog.titleBar()->menuButton()->isVisible());
    QVERIFY(!dialog.titleBar()->minButton()->isVisible());
    QVERIFY(!dialog.titleBar()->maxButton()->isVisible());
    QVERIFY(dialog.titleBar()->captionLabel()->text().isEmpty());
    // The choice sits above the button, both centred.
    QVERIFY(pCombo->geometry().bottom() < pOk->geometry().top());
    QVERIFY(qAbs(pOk->geometry().center().x() - dialog.width() / 2) <= 2);
}

void TestAccountDialogs::languageOkStoresIndexPlusOne_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("English") << 0;
    QTest::newRow("Simplified") << 1;
    QTest::newRow("Traditional") << 2;
}

void TestAccountDialogs::languageOkStoresIndexPlusOne()
{
    QFETCH(int, index);
    CLanguageSelectDialog dialog;
    dialog.show();
    dialog.findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->setCurrentIndex(index);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("BtnOk")), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(g_settings.language, index + 1);
    QCOMPARE(stored(QStringLiteral("Language")).toInt(), index + 1);
    // The whole record is saved, not just the language.
    QCOMPARE(stored(QStringLiteral("Login/Account")).toString(), QStringLiteral("pavok"));
}

void TestAccountDialogs::runLanguageSelectionInstallsPair_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("catalogue"); // 0 none, 2 zh_CN, 3 zh_TW
    QTest::newRow("Simplified") << 1 << 2;
    QTest::newRow("Traditional") << 2 << 3;
    QTest::newRow("English") << 0 << 0;
}

void TestAccountDialogs::runLanguageSelectionInstallsPair()
{
    QFETCH(int, index);
    QFETCH(int, catalogue);
    // Start from the other Chinese pair, so that the swap is seen.
    installCatalogues(catalogue == 2 ? 3 : 2);
    g_settings.language = catalogue == 2 ? 3 : 2;

    QSize sizeShown;
    ModalAnswerer answerer([&](QWidget* pModal) {
        sizeShown = pModal->size();
        pModal->findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->setCurrentIndex(index);
        pModal->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
    });
    QVERIFY(runLanguageSelection());
    QCOMPARE(sizeShown, QSize(350, 200));
    QCOMPARE(g_settings.language, index + 1);
    for (QWidget* pWidget : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<CLanguageSelectDialog*>(pWidget)); // deleted after use

    const QString strOwn = QCoreApplication::translate("CLoginDialog", "Login");
    const QString strToolkit = QCoreApplication::translate("QPlatformTheme", "Cancel");
    if (catalogue == 0) {
        QCOMPARE(strOwn, QStringLiteral("Login"));
        QCOMPARE(strToolkit, QStringLiteral("Cancel"));
    } else {
        QTranslator* pOwn = catalogue == 2 ? g_pTranslatorZhCN : g_pTranslatorZhTW;
        QTranslator* pToolkit = catalogue == 2 ? g_pTranslatorQtZhCN : g_pTranslatorQtZhTW;
        QVERIFY(!pOwn->translate("CLoginDialog", "Login").isEmpty());
        QCOMPARE(strOwn, pOwn->translate("CLoginDialog", "Login"));
        QCOMPARE(strToolkit, pToolkit->translate("QPlatformTheme", "Cancel"));
    }
}

void TestAccountDialogs::runLanguageSelectionCancelled()
{
    g_settings.language = 2;
    installCatalogues(2);
    const QString strBefore = QCoreApplication::translate("CLoginDialog", "Login");

    ModalAnswerer answerer([](QWidget* pModal) {
        pModal->findChild<QComboBox*>(QStringLiteral("ComboLanguage"))->setCurrentIndex(2);
        static_cast<CBaseDialog*>(pModal)->titleBar()->closeButton()->click();
    });
    QVERIFY(!runLanguageSelection());
    QCOMPARE(g_settings.language, 2);
    QVERIFY(!storeWritten());
    QCOMPARE(QCoreApplication::translate("CLoginDialog", "Login"), strBefore);
}

QTEST_MAIN(TestAccountDialogs)
#include "tst_accountdialogs.moc"
