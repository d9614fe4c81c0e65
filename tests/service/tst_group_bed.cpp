#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/mail/MailTestServers.h"
#include "tests/service/HttpProbe.h"
#include "tools/pdusim/SimThread.h"

#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// A circuit as the installed service watches it: three simulated PDUs kept in one group by their MACs
// in the service's file, a 16 A breaker derated to 80 %, and a real mail server. Their load is raised
// over the budget: exactly one mail, none while it stays under.
class TestGroupBed : public QObject
{
    Q_OBJECT

private slots:
    void overBudgetMailsOnce()
    {
        QVERIFY2(m_smtp.start(QStringLiteral("room@example.org"), QStringLiteral("pw")),
                 qPrintable(m_smtp.errorString()));
        QVERIFY(startQuietFleet(m_sim));
        // The devices' own limits stay far away: only the group's budget is in question.
        for (int iDevice = 1; iDevice <= 3; ++iDevice)
            for (const char* pszLimit : {"currentWarn 30", "currentOverload 32"})
                QCOMPARE(m_sim.command(QStringLiteral("set %1 %2").arg(iDevice).arg(QLatin1String(pszLimit)))
                             .last(),
                         QStringLiteral("ok"));
        setCurrents(4); // 12 A of 12.8
        // PDU 1's name would add a reading line of its own to its alarm mail.
        m_sim.call([](CSimFleet& fleet) {
            fleet.device(1)->st.name = QByteArray("x\nValue:999\x1b\xe2\x80\xae\0", 16);
        });

        const quint16 uiMetricsPort = freePort();
        const QString strConfig = m_dir.filePath(QStringLiteral("rackmindd.conf"));
        QVERIFY(writeFile(
            strConfig,
            "[Smtp]\nHost=127.0.0.1\nPort=" + QByteArray::number(m_smtp.port()) +
                "\nAccount=room@example.org\nPassword=pw\nAllowUnencryptedPassword=true\nReceiver=ops@"
                "example.org\n[Metrics]\nEnabled=true\nPort=" +
                QByteArray::number(uiMetricsPort) +
                "\n[Alarms]\nMailStandingAfterRestart=false\n[GroupBudgets]\nsize=1\n1\\Group=rack "
                "1\n1\\BreakerAmps=16\n[GroupMembers]\nsize=3\n1\\Mac=02:50:44:00:00:01\n1\\Group=rack "
                "1\n2\\Mac=02:50:44:00:00:02\n2\\Group=rack 1\n3\\Mac=02:50:44:00:00:03\n3\\Group=rack 1\n"));
        m_service.setWorkingDirectory(m_dir.path());
        m_service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_service.start(QStringLiteral(RACKMINDD), {QStringLiteral("--config"), strConfig});
        QVERIFY(m_service.waitForStarted());
        QVERIFY(mailsWithin(8000).isEmpty());

        setCurrents(5); // 15 A: over the budget, under the breaker
        const QStringList listMails = mailsWithin(30000);
        QCOMPARE(listMails.size(), 1);
        QVERIFY2(listMails.first().contains(
                     QStringLiteral("Group Load Over Budget\r\n\r\nValue:15 A\r\nBudget:12.8 A")) &&
                     listMails.first().contains(QStringLiteral("Group:rack 1")),
                 qPrintable(listMails.first()));
        // It stands on: no second mail while the load stays up.
        QVERIFY(mailsWithin(5000).isEmpty());
        // A unit's own alarm names it on one line, its line break, escape and override shown as escapes.
        QCOMPARE(m_sim.command(QStringLiteral("set 1 humidity 95")).last(), QStringLiteral("ok"));
        const QStringList listHumid = mailsWithin(30000);
        QCOMPARE(listHumid.size(), 1);
        QVERIFY2(
            listHumid.first().contains(QStringLiteral("\r\nName:x\\nValue:999\\x1b\\u202e\r\nLocation:")) &&
                listHumid.first().count(QStringLiteral("Value:")) == 2,
            qPrintable(listHumid.first()));
        // The metrics tell the same: the group's load against its budget and breaker.
        const QByteArray baPage = httpGet(uiMetricsPort, "/metrics");
        for (const QByteArray& baLine : {QByteArray("rackmind_group_current_amperes{group=\"rack 1\"} 15\n"),
                                         QByteArray("rackmind_group_budget_amperes{group=\"rack 1\"} 12.8\n"),
                                         QByteArray("rackmind_group_breaker_amperes{group=\"rack 1\"} 16\n")})
            QVERIFY2(baPage.contains(baLine), baPage.constData());
        // And each PDU's energy since the service's history file first recorded it.
        const QByteArray baEnergy = "rackmind_pdu_energy_voltampere_hours_total{mac=\"025044000001\"} ";
        const int iAt = baPage.indexOf(baEnergy);
        QVERIFY2(iAt >= 0, baPage.constData());
        QVERIFY(baPage.mid(iAt + baEnergy.size()).split('\n').first().toDouble() > 0);

        // Killed and started again while the alarm stands: it stands on, and is not mailed again.
        m_service.kill();
        QVERIFY(m_service.waitForFinished(15000));
        m_service.start(QStringLiteral(RACKMINDD), {QStringLiteral("--config"), strConfig});
        QVERIFY(m_service.waitForStarted());
        QVERIFY(mailsWithin(8000).isEmpty());
        // The file read again without the budget: the alarm ends, told with no budget left.
        QSettings conf(strConfig, QSettings::IniFormat);
        conf.setValue(QStringLiteral("Alarms/MailOnClear"), true);
        conf.remove(QStringLiteral("GroupBudgets"));
        conf.sync();
        QCOMPARE(::kill(pid_t(m_service.processId()), SIGHUP), 0);
        const QStringList listCleared = mailsWithin(15000);
        QCOMPARE(listCleared.size(), 1);
        QVERIFY2(listCleared.first().contains(QStringLiteral("Group Load Over Budget Cleared")) &&
                     listCleared.first().contains(QStringLiteral("Budget:none")),
                 qPrintable(listCleared.first()));
    }
    void cleanupTestCase()
    {
        m_service.terminate();
        m_service.waitForFinished(15000);
    }

private:
    void setCurrents(double dAmps)
    {
        for (int iDevice = 1; iDevice <= 3; ++iDevice)
            QCOMPARE(m_sim.command(QStringLiteral("set %1 current %2").arg(iDevice).arg(dAmps)).last(),
                     QStringLiteral("ok"));
    }
    QStringList mailsWithin(int iMsec)
    {
        QStringList listMails;
        for (QJsonObject mail = m_smtp.takeEvent(QStringLiteral("mail"), iMsec); !mail.isEmpty();
             mail = m_smtp.takeEvent(QStringLiteral("mail"), 3000))
            listMails << QString::fromUtf8(
                QByteArray::fromBase64(mail.value(QStringLiteral("data")).toString().toLatin1()));
        return listMails;
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    AiosmtpdServer m_smtp;
};

QTEST_GUILESS_MAIN(TestGroupBed)
#include "tst_group_bed.moc"
