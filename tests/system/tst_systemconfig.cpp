#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"
#include "tests/mail/MailTestServers.h"
#include "ui/system/DivideGroupWidget.h"
#include "ui/system/GroupConfigWidget.h"
#include "ui/system/GroupNames.h"
#include "ui/system/SmtpConfigWidget.h"
#include "ui/system/SnmpConfigWidget.h"
#include "ui/system/SystemConfigWidget.h"
#include "ui/system/TargetListWidget.h"

#include <QtTest>
#include <QtWidgets>

#include <cstring>

namespace {

QStringList column(const QTableWidget* pTable)
{
    QStringList texts;
    for (int iRow = 0; iRow < pTable->rowCount(); ++iRow)
        texts << pTable->item(iRow, 0)->text();
    return texts;
}

// The child of that name and type; every test finds the page's widgets by name.
template <typename T> T* child(const QWidget& page, const char* pszName)
{
    return page.findChild<T*>(QLatin1String(pszName));
}
void click(const QWidget& page, const char* pszButton)
{
    child<QPushButton>(page, pszButton)->click();
}

// Answers the next modal input dialog with the given text, or cancels it when the text is empty.
void answerInputDialog(const QString& strText)
{
    QTimer::singleShot(0, [strText] {
        auto* pDialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        QVERIFY(pDialog);
        pDialog->setTextValue(strText);
        strText.isEmpty() ? pDialog->reject() : pDialog->accept();
    });
}

// The group page over a registry of three devices, 10.200.1.1 to .3.
struct GroupPage
{
    CRackmind registry;
    CGroupConfigWidget page;
    QTableWidget* pLeft = page.findChild<QTableWidget*>(QStringLiteral("TableWaitDivide"));
    QTableWidget* pRight = page.findChild<QTableWidget*>(QStringLiteral("TableDivided"));
    QComboBox* pCombo = page.findChild<QComboBox*>(QStringLiteral("ComboGroupName"));
    GroupPage()
    {
        groupNames().clear();
        g_pRackmind = &registry;
        for (quint32 i = 1; i <= 3; ++i)
            registry.addPdu(0x0AC80100u + i);
        page.show();
    }
    CPdu* pdu(int i) const { return registry.listPdu.at(i); }
    void click(const char* pszButton) { ::click(page, pszButton); }
    void reshow()
    {
        page.hide();
        page.show();
    }
};

} // namespace

// The group page and the SMTP and SNMP settings pages.
class TestSystemConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qRegisterMetaType<CPdu*>();
        QVERIFY2(m_server.start(QStringLiteral("ops@example.test"), QStringLiteral("s3cret")),
                 qPrintable(m_server.errorString()));
    }

    void init()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).clear();
        g_settings = AppSettings();
    }

    // Without a selected row nothing is recorded (without a group: tst_identity).
    void groupAddAndMoveBothWays()
    {
        GroupPage g;
        QSignalSpy spy(g.page.findChild<CDivideGroupWidget*>(),
                       &CDivideGroupWidget::signalDeviceGroupChanged);
        g.pLeft->setCurrentCell(-1, -1);
        g.click("BtnPutToGroup");
        g.click("BtnTakeFromGroup");
        QCOMPARE(spy.count(), 0);
        for (const char* pszName : {"Rack A", "Rack A", ""}) {
            answerInputDialog(QLatin1String(pszName));
            g.click("BtnAddGroup");
        }
        // A duplicate name is offered twice and the second becomes current; a cancelled dialog adds none.
        QCOMPARE(g.pCombo->count(), 2);
        QCOMPARE(g.pCombo->currentIndex(), 1);

        for (int i = 0; i < 2; ++i) {
            g.pLeft->setCurrentCell(0, 0);
            g.click("BtnPutToGroup");
        }
        QCOMPARE(g.pdu(0)->strGroup, QStringLiteral("Rack A"));
        // Taking a device out puts it at the end of the left table, not back at its old place.
        g.pRight->setCurrentCell(0, 0);
        g.click("BtnTakeFromGroup");
        QCOMPARE(g.pdu(0)->strGroup, QStringLiteral("Default"));
        QCOMPARE(column(g.pLeft), (QStringList{"10.200.1.3", "10.200.1.1"}));
        QCOMPARE(column(g.pRight), QStringList{"10.200.1.2"});
    }

    // Two devices reporting one address: each row moves its own device.
    void groupRowsMoveTheirOwnDevice()
    {
        GroupPage g;
        std::memcpy(g.pdu(2)->stInfo.ip, g.pdu(0)->stInfo.ip, sizeof g.pdu(0)->stInfo.ip);
        answerInputDialog(QStringLiteral("Rack C"));
        g.click("BtnAddGroup");
        g.reshow();
        g.pCombo->setCurrentText(QStringLiteral("Rack C"));
        QSignalSpy spy(g.page.findChild<CDivideGroupWidget*>(),
                       &CDivideGroupWidget::signalDeviceGroupChanged);
        g.pLeft->setCurrentCell(2, 0);
        g.click("BtnPutToGroup");
        QCOMPARE(g.pdu(2)->strGroup, QStringLiteral("Rack C"));
        QCOMPARE(g.pdu(0)->strGroup, QStringLiteral("Default"));
        QCOMPARE(spy.at(0).at(0).value<CPdu*>(), g.pdu(2));
        g.pRight->setCurrentCell(0, 0);
        g.click("BtnTakeFromGroup");
        QCOMPARE(g.pdu(2)->strGroup, QStringLiteral("Default"));
        QCOMPARE(spy.at(1).at(0).value<CPdu*>(), g.pdu(2));
    }

    // A refused budget leaves the group without one and says why; an accepted one is kept, in amperes
    // and percent as typed, until cleared.
    void groupBudgetEditor()
    {
        GroupPage g;
        answerInputDialog(QStringLiteral("Rack B"));
        g.click("BtnAddGroup");
        auto* pBreaker = child<QLineEdit>(g.page, "EditBreakerAmps");
        auto* pDerating = child<QLineEdit>(g.page, "EditDeratingPercent");
        auto* pMessage = child<QLabel>(g.page, "LabelBudgetMessage");
        for (const auto& [strBreaker, strDerating] :
             {std::pair{"0", "80"}, {"1200", "80"}, {"32", "150"}, {"x", "80"}}) {
            pBreaker->setText(QLatin1String(strBreaker));
            pDerating->setText(QLatin1String(strDerating));
            g.click("BtnApplyBudget");
            QVERIFY(!groupBudget(QStringLiteral("Rack B")).isSet());
            QCOMPARE(pMessage->text(),
                     groupBudgetError(pBreaker->text().toDouble(), pDerating->text().toDouble() / 100));
        }
        pBreaker->setText(QStringLiteral("32"));
        pDerating->setText(QStringLiteral("50"));
        g.click("BtnApplyBudget");
        QCOMPARE(groupBudget(QStringLiteral("Rack B")).budgetAmps(), 16.0);
        g.click("BtnClearBudget");
        QVERIFY(!groupBudget(QStringLiteral("Rack B")).isSet());
    }

    void groupTablesFollowTheDevicesOnTheNextShow()
    {
        GroupPage g;
        answerInputDialog(QStringLiteral("rack"));
        g.click("BtnAddGroup");
        QCOMPARE(column(g.pLeft), (QStringList{"10.200.1.1", "10.200.1.2", "10.200.1.3"}));
        g.registry.addPdu(0x0AC80109u);
        QCOMPARE(g.pLeft->rowCount(), 3);
        g.reshow();
        QCOMPARE(column(g.pLeft).last(), QStringLiteral("10.200.1.9"));
        // Added groups stay offered.
        QCOMPARE(g.pCombo->count(), 1);
        QCOMPARE(g.pCombo->currentText(), QStringLiteral("rack"));

        g.pdu(0)->strGroup = QStringLiteral("Rack");
        g.pdu(1)->strGroup = QStringLiteral("rack");
        g.pdu(2)->strGroup = QStringLiteral("default");
        g.pdu(3)->strGroup = QStringLiteral("default");
        g.reshow();
        // "default" is a group of its own: only the exact "Default" counts as ungrouped.
        QCOMPARE(g.pLeft->rowCount(), 0);
        QCOMPARE(g.pCombo->currentText(), QStringLiteral("rack"));
        QCOMPARE(column(g.pRight), QStringList{"10.200.1.2"});
        g.pCombo->setCurrentIndex(g.pCombo->findText(QStringLiteral("Rack")));
        QCOMPARE(column(g.pRight), QStringList{"10.200.1.1"});
    }

    void smtpTestUsesUnsavedFieldsAndLeavesStoreAlone()
    {
        CSmtpConfigWidget page;
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        QCOMPARE(pressTest(page), QStringLiteral("information|Send email ok."));
        const QJsonObject mail = m_server.takeEvent(QStringLiteral("mail"));
        QCOMPARE(mail.value(QStringLiteral("mail_from")).toString(), QStringLiteral("ops@example.test"));
        QCOMPARE(mail.value(QStringLiteral("rcpt_tos")).toArray().first().toString(),
                 QStringLiteral("desk@example.test"));
        const QByteArray data =
            QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1());
        QVERIFY2(data.contains("Subject: smtp test\r\n") && data.contains("\r\n\r\ntest\r\n"),
                 data.constData());
        // Nothing was saved: the store stays empty and the record keeps its defaults.
        QVERIFY(QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).allKeys().isEmpty());
        QVERIFY(g_settings.smtpHost.isEmpty());
    }

    // Each failure names its step and says why, as the server or the network put it.
    void smtpFailuresNameTheStep()
    {
        CSmtpConfigWidget page;
        fill(page, QString(), QStringLiteral("s3cret"));
        QCOMPARE(pressTest(page), QStringLiteral("critical|Connect to host fail.|no mail server set"));
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("wrong"));
        QCOMPARE(pressTest(page).section(QLatin1Char(' '), 0, 7),
                 QStringLiteral("critical|Login fail.|the mail server refused the login: 535"));
        child<QCheckBox>(page, "CheckUnencryptedPassword")->setChecked(false);
        QVERIFY(pressTest(page).startsWith(
            QStringLiteral("critical|Login fail.|the password would go unencrypted")));
        // The login succeeds; a receiver that would smuggle a command line fails the send itself.
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        child<QLineEdit>(page, "LineEditReciever")
            ->setText(QStringLiteral("desk@example.test>\r\nRCPT TO: <more@example.test"));
        QCOMPARE(pressTest(page),
                 QStringLiteral("critical|Send email fail.|a line break or control character "
                                "in the sender, receiver or subject"));
        // What a server says is shown as it said it: markup in it makes no link to click.
        ScriptedServer hostile({ScriptedServer::send("220 hi\r\n"), ScriptedServer::line(),
                                ScriptedServer::send("250 hi\r\n"), ScriptedServer::line(),
                                ScriptedServer::send("535 <a href=\"http://evil.test/\">sign in</a>\r\n")});
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        child<QSpinBox>(page, "SpinPort")->setValue(hostile.port());
        QCOMPARE(pressTest(page),
                 QStringLiteral("critical|Login fail.|the mail server refused the login: 535 "
                                "<a href=\"http://evil.test/\">sign in</a>"));
    }

    void smtpSenderRefusedBeforeSending_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::newRow("no @") << "alarm";
        QTest::newRow("line break") << "a@b\r\nRCPT TO: <spy@evil.test>";
        QTest::newRow("@ alone at the end") << "alarm@";
    }

    void smtpSenderRefusedBeforeSending()
    {
        QFETCH(QString, sender);
        CSmtpConfigWidget page;
        fill(page, QStringLiteral("127.0.0.1"), QStringLiteral("s3cret"));
        child<QLineEdit>(page, "LineEditSender")->setText(sender);
        const int iEvents = m_server.events().size();
        QVERIFY(pressTest(page).startsWith(QStringLiteral("critical|Sender address invalid.")));
        QVERIFY(pressButton(page, "BtnOK").startsWith(QStringLiteral("critical|Sender address invalid.")));
        QTest::qWait(300);
        QCOMPARE(m_server.events().size(), iEvents);
        QVERIFY(QSettings(QStringLiteral("Orvane"), QStringLiteral("Rackmind")).allKeys().isEmpty());
    }

    void smtpOkStoresTheFields()
    {
        CSmtpConfigWidget page;
        fill(page, QStringLiteral("mail.example.test"), QStringLiteral("pa ss"));
        child<QLineEdit>(page, "LineEditSender")->setText(QStringLiteral("pdu@example.test"));
        // One kind of encryption at a time: STARTTLS replaces SSL.
        child<QCheckBox>(page, "CheckSSL")->setChecked(true);
        child<QCheckBox>(page, "CheckStartTLS")->setChecked(true);
        click(page, "BtnOK");
        QCOMPARE(stored({"Smtp/Account", "Smtp/Password", "Smtp/Host", "Smtp/SSL", "Smtp/Port",
                         "Smtp/Receiver", "Smtp/StartTLS", "Smtp/Sender", "Smtp/AllowUnencryptedPassword"}),
                 (QStringList{"ops@example.test", "pa ss", "mail.example.test", "false",
                              QString::number(m_server.port()), "desk@example.test", "true",
                              "pdu@example.test", "true"}));
        // The running program's record too: alarm mails read it as they are queued (tst_pdualarm).
        QCOMPARE(g_settings.smtpReceiver, QStringLiteral("desk@example.test"));
        QCOMPARE(g_settings.smtpHost, QStringLiteral("mail.example.test"));
        QVERIFY(g_settings.smtpStartTls && !g_settings.smtpSsl);
    }

    void smtpFieldsLoadOnceFromSettings()
    {
        g_settings.smtpHost = QStringLiteral("first.example.test");
        g_settings.smtpPort = 465;
        g_settings.smtpSsl = true;
        CSystemConfigWidget container;
        auto* pHost = child<QLineEdit>(container, "LineEditHost");
        QCOMPARE(pHost->text(), QStringLiteral("first.example.test"));
        QCOMPARE(child<QSpinBox>(container, "SpinPort")->value(), 465);
        QVERIFY(child<QCheckBox>(container, "CheckSSL")->isChecked());
        pHost->setText(QStringLiteral("edited.example.test"));
        g_settings.smtpHost = QStringLiteral("second.example.test");
        container.show();
        container.hide();
        container.show();
        QCOMPARE(pHost->text(), QStringLiteral("edited.example.test"));
    }

    // Values out of range are clamped on save; edits on the page are stored.
    void snmpEditsAreStoredAndClamped()
    {
        g_settings.snmpAgentProVer = 7;
        g_settings.snmpTrapProVer = -3;
        g_settings.snmpAgentTimeout = 20;
        g_settings.snmpAgentRetry = 15;
        g_settings.snmpTrapPort = 2162;
        g_settings.snmpAgentAccount.clear();
        CSnmpConfigWidget page;
        click(page, "BtnOK");
        // Publishing left off stores none of its keys: the store stays as it always was.
        QCOMPARE(stored({"Snmp/AgentProVer", "Snmp/TrapProVer", "Snmp/AgentTimeout", "Snmp/AgentRetry",
                         "Snmp/AgentAccount", "Snmp/TrapPort", "Snmp/Enabled", "Snmp/AgentXSocket"}),
                 (QStringList{"-1", "-1", "100", "9", "", "2162", "-", "-"}));
        child<QLineEdit>(page, "LineEditAgentUserName")->setText(QStringLiteral("public"));
        child<QSpinBox>(page, "SpinTrapPort")->setValue(1162);
        child<QComboBox>(page, "ComboAgentProVer")->setCurrentIndex(2);
        child<QComboBox>(page, "ComboTrapProVer")->setCurrentIndex(1);
        child<QCheckBox>(page, "CheckPublish")->setChecked(true);
        child<QLineEdit>(page, "LineEditSocket")->setText(QStringLiteral(" /run/agentx "));
        child<QComboBox>(page, "ComboMode")->setCurrentIndex(1);
        child<QComboBox>(page, "ComboPrivProtocol")->setCurrentIndex(1);
        child<QLineEdit>(page, "LineEditAuthPassphrase")->setText(QStringLiteral(" pass phrase "));
        child<QLineEdit>(page, "LineEditReceivers")->setText(QStringLiteral(" nms  10.0.0.5:1162 "));
        click(page, "BtnOK");
        QCOMPARE(g_settings.snmpAgentAccount, QStringLiteral("public"));
        QCOMPARE(stored({"Snmp/AgentAccount", "Snmp/TrapPort", "Snmp/AgentProVer", "Snmp/TrapProVer",
                         "Snmp/Enabled", "Snmp/AgentXSocket", "Snmp/Mode", "Snmp/PrivProtocol",
                         "Snmp/AuthPassphrase", "Snmp/TrapReceivers"}),
                 (QStringList{"public", "1162", "2", "1", "true", "/run/agentx", "embedded", "none",
                              " pass phrase ", "nms 10.0.0.5:1162"}));
    }

    // A list with a refused line applies nothing; a whole one is polled at once and kept in target.prt.
    void targetListAppliesOnlyAWholeList()
    {
        CRackmind registry;
        g_pRackmind = &registry;
        QSignalSpy spyApplied(&registry, &CRackmind::signalUpdateTargets);
        CTargetListWidget page;
        auto* pEdit = child<QPlainTextEdit>(page, "EditTargets");
        pEdit->setPlainText(QStringLiteral("10.210.1.5\n10.210.2.0/24\n10.0.0.0/8\n"));
        click(page, "BtnTargetsOK");
        QVERIFY(child<QLabel>(page, "LabelTargetsStatus")->text().contains(QLatin1String("10.0.0.0/8")));
        QCOMPARE(spyApplied.count(), 0);
        QVERIFY(!QFile::exists(QString::fromLatin1(PollTargets::kFileName)));
        pEdit->setPlainText(QStringLiteral(" 10.210.1.5\n  \n10.210.2.9/24\n"));
        child<QSpinBox>(page, "SpinSweepRate")->setValue(40);
        click(page, "BtnTargetsOK");
        QCOMPARE(spyApplied.count(), 1);
        PollTargetList list;
        QString strWhy;
        QVERIFY(PollTargets::readFile(QString::fromLatin1(PollTargets::kFileName), &list, &strWhy));
        QVERIFY(list == registry.targets && list.iSweepRate == 40);
        QCOMPARE(PollTargets::text(list.listTarget), QStringLiteral("10.210.1.5,10.210.2.0/24"));
        QCOMPARE(pEdit->toPlainText(), QStringLiteral("10.210.1.5\n10.210.2.0/24"));
    }

private:
    // The stored values of these keys, "-" for a missing key.
    static QStringList stored(const QStringList& listKeys)
    {
        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
        QStringList list;
        for (const QString& strKey : listKeys)
            list << store.value(strKey, QStringLiteral("-")).toString();
        return list;
    }
    void fill(CSmtpConfigWidget& page, const QString& strHost, const QString& strPassword)
    {
        child<QLineEdit>(page, "LineEditAccount")->setText(QStringLiteral("ops@example.test"));
        child<QLineEdit>(page, "LineEditPassword")->setText(strPassword);
        child<QLineEdit>(page, "LineEditHost")->setText(strHost);
        child<QSpinBox>(page, "SpinPort")->setValue(m_server.port());
        child<QCheckBox>(page, "CheckSSL")->setChecked(false);
        child<QCheckBox>(page, "CheckStartTLS")->setChecked(false);
        child<QCheckBox>(page, "CheckUnencryptedPassword")->setChecked(true);
        child<QLineEdit>(page, "LineEditSender")->clear();
        child<QLineEdit>(page, "LineEditReciever")->setText(QStringLiteral("desk@example.test"));
    }

    // Presses the button and gives back the title, text and further text (when there is one) of the
    // message box it shows, which it closes.
    QString pressButton(CSmtpConfigWidget& page, const char* pszButton)
    {
        QString strBox;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] {
            if (auto* pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                // The texts as the box shows them (and a screen reader reads them), markup rendered.
                strBox = pBox->windowTitle();
                QAccessibleInterface* pAccess = QAccessible::queryAccessibleInterface(pBox);
                for (int i = 0; i < pAccess->childCount(); ++i) {
                    const QString strShown = pAccess->child(i)->text(QAccessible::Name);
                    if (pAccess->child(i)->role() == QAccessible::StaticText && !strShown.isEmpty())
                        strBox += QLatin1Char('|') + strShown;
                }
                pBox->button(QMessageBox::Ok)->click();
            }
        });
        timer.start(20);
        click(page, pszButton);
        return strBox;
    }
    QString pressTest(CSmtpConfigWidget& page) { return pressButton(page, "BtnTest"); }

    QTemporaryDir m_dir;
    AiosmtpdServer m_server;
};

QTEST_MAIN(TestSystemConfig)
#include "tst_systemconfig.moc"
