#include "app/Settings.h"
#include "tests/mail/MailTestServers.h"
#include "ui/system/SmtpConfigWidget.h"
#include "ui/system/SystemConfigWidget.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Box
{
    QString strTitle;
    QString strText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

} // namespace

class TestSmtpConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(QStringLiteral("ops@example.test"), QStringLiteral("s3cret")),
                 qPrintable(m_server.errorString()));
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).clear();
        g_settings = AppSettings();
    }

    void testUsesUnsavedFieldsAndLeavesStoreAlone()
    {
        CSmtpConfigWidget page;
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        QCOMPARE(pressTest(page).strText, QStringLiteral("Send email ok."));
        QCOMPARE(m_lastBox.strTitle, QStringLiteral("information"));
        QCOMPARE(m_lastBox.icon, QMessageBox::Information);

        const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"));
        QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), QStringLiteral("ops@example.test"));
        QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray().first().toString(),
                 QStringLiteral("desk@example.test"));
        const QByteArray data =
            QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1());
        QVERIFY2(data.contains("Subject: smtp test\r\n"), data.constData());
        QVERIFY2(data.contains("\r\n\r\ntest\r\n"), data.constData());

        // Nothing was saved: the store stays empty and the record keeps its defaults.
        QVERIFY(QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).allKeys().isEmpty());
        QCOMPARE(g_settings.smtpHost, QString());
    }

    void failuresNameTheStep()
    {
        CSmtpConfigWidget page;
        fill(page, QString(), QStringLiteral("s3cret"));
        QCOMPARE(pressTest(page).strText, QStringLiteral("Connect to host fail."));
        QCOMPARE(m_lastBox.strTitle, QStringLiteral("critical"));
        QCOMPARE(m_lastBox.icon, QMessageBox::Critical);

        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("wrong"));
        QCOMPARE(pressTest(page).strText, QStringLiteral("Login fail."));
        QJsonObject lastAuth;
        for (const QJsonObject& event : m_server.events())
            if (event.value(QStringLiteral("event")).toString() == QLatin1String("auth"))
                lastAuth = event;
        QCOMPARE(lastAuth.value(QStringLiteral("password")).toString(), QStringLiteral("wrong"));
        QCOMPARE(lastAuth.value(QStringLiteral("ok")).toBool(), false);

        // The login succeeds; a receiver that would smuggle a command line fails the send itself.
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        page.findChild<QLineEdit*>(QStringLiteral("LineEditReciever"))
            ->setText(QStringLiteral("desk@example.test>\r\nRCPT TO: <more@example.test"));
        QCOMPARE(pressTest(page).strText, QStringLiteral("Send email fail."));
    }

    void okStoresAllSixFields()
    {
        CSmtpConfigWidget page;
        fill(page, QStringLiteral("mail.example.test"), QStringLiteral("pa ss"));
        page.findChild<QCheckBox*>(QStringLiteral("CheckSSL"))->setChecked(true);
        page.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();

        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
        QCOMPARE(store.value(QStringLiteral("Smtp/Account")).toString(), QStringLiteral("ops@example.test"));
        QCOMPARE(store.value(QStringLiteral("Smtp/Password")).toString(), QStringLiteral("pa ss"));
        QCOMPARE(store.value(QStringLiteral("Smtp/Host")).toString(), QStringLiteral("mail.example.test"));
        QCOMPARE(store.value(QStringLiteral("Smtp/SSL")).toBool(), true);
        QCOMPARE(store.value(QStringLiteral("Smtp/Port")).toInt(), int(m_server.port()));
        QCOMPARE(store.value(QStringLiteral("Smtp/Receiver")).toString(), QStringLiteral("desk@example.test"));
        // The whole record is written, the SNMP keys included.
        QCOMPARE(store.allKeys().size(), 19);
    }

    void fieldsLoadOnceFromSettings()
    {
        g_settings.smtpHost = QStringLiteral("first.example.test");
        g_settings.smtpPort = 465;
        g_settings.smtpSsl = true;
        CSystemConfigWidget container;
        auto* pHost = container.findChild<QLineEdit*>(QStringLiteral("LineEditHost"));
        QCOMPARE(pHost->text(), QStringLiteral("first.example.test"));
        QCOMPARE(container.findChild<QSpinBox*>(QStringLiteral("SpinPort"))->value(), 465);
        QVERIFY(container.findChild<QCheckBox*>(QStringLiteral("CheckSSL"))->isChecked());
        pHost->setText(QStringLiteral("edited.example.test"));
        g_settings.smtpHost = QStringLiteral("second.example.test");
        container.show();
        container.hide();
        container.show();
        QCOMPARE(pHost->text(), QStringLiteral("edited.example.test"));
    }

private:
    void fill(CSmtpConfigWidget& page, const QString& strHost, const QString& strPassword)
    {
        page.findChild<QLineEdit*>(QStringLiteral("LineEditAccount"))->setText(QStringLiteral("ops@example.test"));
        page.findChild<QLineEdit*>(QStringLiteral("LineEditPassword"))->setText(strPassword);
        page.findChild<QLineEdit*>(QStringLiteral("LineEditHost"))->setText(strHost);
        page.findChild<QSpinBox*>(QStringLiteral("SpinPort"))->setValue(m_server.port());
        page.findChild<QCheckBox*>(QStringLiteral("CheckSSL"))->setChecked(false);
        page.findChild<QLineEdit*>(QStringLiteral("LineEditReciever"))->setText(QStringLiteral("desk@example.test"));
    }

    // Presses "Test" and reads (then closes) the message box it shows.
    const Box& pressTest(CSmtpConfigWidget& page)
    {
        m_lastBox = Box();
        QTimer::singleShot(0, this, [this] { closeBox(); });
        page.findChild<QPushButton*>(QStringLiteral("BtnTest"))->click();
        return m_lastBox;
    }

    void closeBox()
    {
        auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!pBox) {
            QTimer::singleShot(20, this, [this] { closeBox(); });
            return;
        }
        m_lastBox = {pBox->windowTitle(), pBox->text(), pBox->icon()};
        pBox->button(QMessageBox::Ok)->click();
    }

    QTemporaryDir m_dir;
    AiosmtpdServer m_server;
    Box m_lastBox;
};

QTEST_MAIN(TestSmtpConfig)
#include "tst_smtpconfig.moc"
