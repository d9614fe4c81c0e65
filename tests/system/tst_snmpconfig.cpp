#include "app/Settings.h"
#include "ui/system/SnmpConfigWidget.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

class TestSnmpConfig : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
        g_settings = AppSettings();
    }

    void outOfRangeValuesAreClampedOnSave()
    {
        g_settings.snmpAgentProVer = 7;
        g_settings.snmpTrapProVer = -3;
        g_settings.snmpAgentTimeout = 20;
        g_settings.snmpAgentRetry = 15;
        g_settings.snmpAgentAccount.clear();
        g_settings.snmpTrapAccount.clear();
        CSnmpConfigWidget page;
        QCOMPARE(page.findChild<QComboBox*>(QStringLiteral("ComboAgentProVer"))->currentIndex(), -1);
        QCOMPARE(page.findChild<QSpinBox*>(QStringLiteral("SpinAgentTimeout"))->value(), 100);
        QCOMPARE(page.findChild<QSpinBox*>(QStringLiteral("SpinAgentRetry"))->value(), 9);

        page.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();
        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentProVer")).toInt(), -1);
        QCOMPARE(store.value(QStringLiteral("Snmp/TrapProVer")).toInt(), -1);
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentTimeout")).toInt(), 100);
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentRetry")).toInt(), 9);
        QVERIFY(store.contains(QStringLiteral("Snmp/AgentAccount")));
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentAccount")).toString(), QString());
        QCOMPARE(store.value(QStringLiteral("Snmp/TrapAccount")).toString(), QString());
    }

    void editsAreStoredWithDefaultsShownFirst()
    {
        CSnmpConfigWidget page;
        auto* pAgentUser = page.findChild<QLineEdit*>(QStringLiteral("LineEditAgentUserName"));
        QCOMPARE(pAgentUser->text(), QStringLiteral("quorbishadlen"));
        QCOMPARE(page.findChild<QSpinBox*>(QStringLiteral("SpinAgentPort"))->value(), 161);
        QCOMPARE(page.findChild<QSpinBox*>(QStringLiteral("SpinTrapPort"))->value(), 162);
        QCOMPARE(page.findChild<QComboBox*>(QStringLiteral("ComboTrapProVer"))->currentText(),
                 QStringLiteral("v1/v2c"));

        pAgentUser->setText(QStringLiteral("public"));
        page.findChild<QSpinBox*>(QStringLiteral("SpinTrapPort"))->setValue(1162);
        page.findChild<QComboBox*>(QStringLiteral("ComboAgentProVer"))->setCurrentIndex(2);
        page.findChild<QComboBox*>(QStringLiteral("ComboTrapProVer"))->setCurrentIndex(1);
        page.findChild<QPushButton*>(QStringLiteral("BtnOK"))->click();

        QCOMPARE(g_settings.snmpAgentAccount, QStringLiteral("public"));
        QSettings store(QStringLiteral("Orvane"), QStringLiteral("Rackmind"));
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentAccount")).toString(), QStringLiteral("public"));
        QCOMPARE(store.value(QStringLiteral("Snmp/TrapPort")).toInt(), 1162);
        QCOMPARE(store.value(QStringLiteral("Snmp/AgentProVer")).toInt(), 2);
        QCOMPARE(store.value(QStringLiteral("Snmp/TrapProVer")).toInt(), 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TestSnmpConfig)
#include "tst_snmpconfig.moc"
