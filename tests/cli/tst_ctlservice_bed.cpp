#include "device/OutletSets.h"
#include "device/ProtectionList.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/ServiceLog.h"
#include "tests/service/TlsFixture.h"
#include "tools/pdusim/SimThread.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// rackmind-ctl run both ways against one simulated room: on the PDUs' own network, and through
// rackmindd's API over TLS with a private CA and a credentials file. What it prints and how it exits
// must not tell the two apart.
namespace {
const char kPdu1[] = "02:50:44:00:00:01", kPdu2[] = "02:50:44:00:00:02", kPdu3[] = "02:50:44:00:00:03";

struct Run
{
    int iExit = -1;
    QString strOut;
    QString strErr;
};

// A server at the service's address that answers every request with baReply, then keeps the
// connection open; what it was asked is kept.
class CHostileServer : public QTcpServer
{
public:
    explicit CHostileServer(const QByteArray& baReply) : m_baReply(baReply)
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* pSocket = nextPendingConnection()) {
                pSocket->setParent(this);
                connect(pSocket, &QTcpSocket::readyRead, pSocket, [this, pSocket] {
                    baAsked += pSocket->readAll();
                    pSocket->write(m_baReply);
                });
            }
        });
    }
    QByteArray baAsked;

private:
    QByteArray m_baReply;
};
} // namespace

class TestCtlServiceBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        m_iStartSecs = QDateTime::currentSecsSinceEpoch();
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(m_dir.filePath(QStringLiteral("protected"))));
        // The local history is the store of the service run by hand, as on its machine.
        qputenv("RACKMIND_HISTORY", qgetenv("XDG_DATA_HOME") + "/rackmindd/history.sqlite");
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(m_dir.filePath(QStringLiteral("sets"))));
        QVERIFY(CProtectionList().change([](QSet<QString>& set) {
            set.insert(CProtectionList::entry(QStringLiteral("025044000001"), 3));
        }));
        OutletSetsData sets;
        const QString strMac1 = QStringLiteral("025044000001"), strMac2 = QStringLiteral("025044000002");
        sets.mapSets.insert(QStringLiteral("pair"), {QStringLiteral("pair"), {{strMac1, 3}, {strMac1, 4}}});
        sets.mapSets.insert(QStringLiteral("two"), {QStringLiteral("two"), {{strMac1, 5}, {strMac2, 5}}});
        SequenceStep off{QStringLiteral("two"), {}, false, 1}, on{QString(), {strMac2, 6}, true, 0};
        sets.mapSequences.insert(QStringLiteral("seq"), {QStringLiteral("seq"), {off, on}});
        SequenceStep wait{QStringLiteral("two"), {}, true, 60};
        sets.mapSequences.insert(QStringLiteral("slow"), {QStringLiteral("slow"), {wait, on}});
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("sets")), COutletSets::toJson(sets)));
        QVERIFY(makeTlsFiles(QDir(m_dir.path())));
        const QByteArray baHash = bcryptHash("pw");
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("web.yml")),
                          "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n"
                          "basic_auth_users:\n  alice: " +
                              baHash + "\n  bob: " + baHash + "\n  carol: " + baHash +
                              "\napi_enabled: true\nbasic_auth_roles:\n  alice: [operator, override]\n"
                              "  bob: [operator]\n"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("alice")), "alice:pw\n"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("bob")), "bob:pw\n"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("carol")), "carol:pw\n"));
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("wrong")), "alice:guess\n"));
        for (const char* pszUser : {"alice", "bob", "carol", "wrong"})
            QVERIFY(QFile::setPermissions(m_dir.filePath(QLatin1String(pszUser)),
                                          QFile::ReadOwner | QFile::WriteOwner));
        m_uiPort = freePort();
        m_service.setWorkingDirectory(m_dir.path());
        m_service.start(QStringLiteral(RACKMINDD),
                        {QStringLiteral("--metrics"), QStringLiteral("--metrics-port"),
                         QString::number(m_uiPort), QStringLiteral("--web.config.file"),
                         m_dir.filePath(QStringLiteral("web.yml"))});
        QVERIFY2(waitForLog(m_service, m_strLog, QStringLiteral("and the API at /api/v1")),
                 qPrintable(m_strLog));
        // The third PDU is known to the service, then falls silent: offline there, unanswered here.
        QTRY_VERIFY_WITH_TIMEOUT(ctl({"show", kPdu3}, QStringLiteral("both")).iExit == 0, 30000);
        QCOMPARE(m_sim.command(QStringLiteral("silent 3")).last(), QStringLiteral("ok"));
        QTRY_VERIFY_WITH_TIMEOUT(ctl({"show", kPdu3}, QStringLiteral("both")).iExit == 3, 30000);
        m_strHistoryTo = QString::number(QDateTime::currentSecsSinceEpoch() - 1);
    }

    void bothWays_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("via"); // both: compared with the local run; else only through the service
        const QString both = QStringLiteral("both");
        QTest::newRow("list") << QStringList{"list"} << 0 << both;
        QTest::newRow("list --json") << QStringList{"list", "--json"} << 0 << both;
        QTest::newRow("show --json") << QStringList{"show", kPdu1, "--json"} << 0 << both;
        QTest::newRow("show by name") << QStringList{"show", "PDU-002"} << 0 << both;
        QTest::newRow("unknown PDU") << QStringList{"show", "rack-9"} << 3 << both;
        QTest::newRow("offline PDU") << QStringList{"outlet", kPdu3, "1", "on"} << 3 << both;
        QTest::newRow("outlet off") << QStringList{"outlet", kPdu2, "1,2", "off"} << 0 << both;
        QTest::newRow("outlet on") << QStringList{"outlet", kPdu2, "1-2", "on"} << 0 << both;
        QTest::newRow("outlet cycle")
            << QStringList{"outlet", kPdu2, "3", "cycle", "--delay", "1"} << 0 << both;
        QTest::newRow("protected, no --force") << QStringList{"outlet", kPdu1, "3", "off"} << 5 << both;
        QTest::newRow("set list") << QStringList{"set", "list", "--json"} << 0 << both;
        QTest::newRow("set show") << QStringList{"set", "show", "pair"} << 0 << both;
        QTest::newRow("unknown set") << QStringList{"set", "none", "on"} << 3 << both;
        QTest::newRow("set protected") << QStringList{"set", "pair", "cycle"} << 5 << both;
        QTest::newRow("set off") << QStringList{"set", "two", "off"} << 0 << both;
        QTest::newRow("set cycle") << QStringList{"set", "two", "cycle", "--delay", "1"} << 0 << both;
        QTest::newRow("sequence list") << QStringList{"sequence", "list"} << 0 << both;
        QTest::newRow("sequence show") << QStringList{"sequence", "show", "seq", "--json"} << 0 << both;
        QTest::newRow("dry run") << QStringList{"sequence", "run", "seq", "--dry-run"} << 0 << both;
        QTest::newRow("sequence run") << QStringList{"sequence", "run", "seq"} << 0 << both;
        QTest::newRow("history") << QStringList{"history", kPdu1} << 0 << both;
        QTest::newRow("history --json") << QStringList{"history", "PDU-002", "--json"} << 0 << both;
        // A month long past: the figures of this one grow with every poll between the two runs.
        QTest::newRow("report --csv") << QStringList{"report", "--month", "2020-01", "--csv"} << 0 << both;
        QTest::newRow("unknown group")
            << QStringList{"report", "--month", "2020-01", "--group", "x"} << 2 << both;
        // What only the service has to say: its own refusals.
        QTest::newRow("force needs the override")
            << QStringList{"set", "pair", "off", "--force"} << 8 << QStringLiteral("bob");
        QTest::newRow("reader cannot switch")
            << QStringList{"outlet", kPdu2, "1", "on"} << 8 << QStringLiteral("carol");
        QTest::newRow("wrong password") << QStringList{"list"} << 8 << QStringLiteral("wrong");
        QTest::newRow("CA not given") << QStringList{"list"} << 7 << QStringLiteral("no CA");
        QTest::newRow("no service there") << QStringList{"list"} << 7 << QStringLiteral("closed port");
        QTest::newRow("add is refused")
            << QStringList{"set", "add", "x", "02:50:44:00:00:02/1"} << 2 << QStringLiteral("alice");
    }
    void bothWays()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, via);
        if (args.first() == QLatin1String("history"))
            args << "--from" << QString::number(m_iStartSecs) << "--to" << m_strHistoryTo;
        const Run service = ctl(args, via);
        QVERIFY2(service.iExit == exit, qPrintable(service.strErr));
        if (via != QLatin1String("both"))
            return;
        const Run local = ctl(args, QString());
        QVERIFY2(local.iExit == exit, qPrintable(local.strErr));
        QCOMPARE(service.strOut, local.strOut);
    }

    // What the service carried on after answering (a cycle's "on", a sequence's later steps) is on
    // record under the user who asked, as its start is: nothing here was done at a console.
    void laterStepsUnderTheUser()
    {
        QProcess curl;
        curl.start(QStringLiteral("curl"),
                   {"-s", "-u", "carol:pw", "--cacert", m_dir.filePath(QStringLiteral("ca.crt")),
                    QStringLiteral("https://127.0.0.1:%1/api/v1/events?limit=1000").arg(m_uiPort)});
        QVERIFY(curl.waitForFinished(30000));
        QStringList listEvents;
        for (const QJsonValue& value :
             QJsonDocument::fromJson(curl.readAllStandardOutput()).object().value("events").toArray())
            listEvents << value["kind"].toString() + QLatin1Char(' ') + value["detail"].toString();
        const QString strAll = listEvents.join(QLatin1Char('\n'));
        QVERIFY2(listEvents.filter(QStringLiteral("this console")).isEmpty(), qPrintable(strAll));
        QVERIFY2(listEvents.filter(QStringLiteral("cycleCompleted"))
                         .filter(QStringLiteral("API user alice"))
                         .size() >= 3,
                 qPrintable(strAll));
    }

    // Interrupted while it follows a sequence, the ctl says that the service carries it on, and it does.
    void interruptLeavesItToTheService()
    {
        QProcess process;
        process.start(m_strCtl, QStringList{"sequence", "run", "slow"} + serviceArgs(QStringLiteral("both")));
        const auto listed = [this] { return ctl({"sequence", "list"}, QStringLiteral("both")).strOut; };
        QTRY_VERIFY_WITH_TIMEOUT(listed().contains(QStringLiteral("slow\t2 step(s)\trunning at step 1")),
                                 30000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY2(process.readAllStandardError().contains("carries the operation on"), "not told");
        QVERIFY2(listed().contains(QStringLiteral("slow\t2 step(s)\trunning at step 1")),
                 qPrintable(listed()));
    }

    // A service that is broken, hostile or not the service at all is never taken for an answer, and
    // credentials go nowhere an operator did not name, nor where others read them.
    void brokenService_data()
    {
        QTest::addColumn<QByteArray>("reply"); // what the server at --service answers
        // A command to that server, else options instead of it (%1: the test's folder, %3: the
        // real service's port); empty: list through that server.
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exit");
        QTest::addColumn<QString>("said");
        const QByteArray ok = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
        const QStringList none;
        QTest::newRow("cut JSON") << ok + "Content-Length: 9\r\n\r\n{\"pdus\":[" << none << 7 << "";
        QTest::newRow("not the API") << QByteArray(
                                            "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nnot found")
                                     << none << 7 << "";
        QTest::newRow("redirect elsewhere")
            << QByteArray("HTTP/1.1 302 Found\r\nLocation: http://127.0.0.1:%2/api/v1/pdus\r\n"
                          "Content-Length: 0\r\n\r\n")
            << none << 7 << "";
        QTest::newRow("huge body") << ok + "Content-Length: 100000000000\r\n\r\n" + QByteArray(1 << 20, ' ')
                                   << none << 7 << "MiB";
        // One page over again: the same cursor each time.
        QTest::newRow("history pages for ever")
            << ok + "Content-Length: 124\r\n\r\n{\"pdus\":[{\"mac\":\"02:50:44:00:00:09\",\"online\":true}],"
                    "\"readings\":[{\"time\":\"2026-12-01T00:00:00.000Z\",\"outlets\":1}],\"next\":\"1\"}"
            << QStringList{"history", "02:50:44:00:00:09", "--from", "0"} << 7 << "";
        // Accepted, and the outlet never shows it: not done.
        QTest::newRow("switch never shown")
            << ok + "Content-Length: "
                    "74\r\n\r\n{\"pdus\":[{\"mac\":\"02:50:44:00:00:09\",\"online\":true,\"outlets\":[true,"
                    "true]}]}"
            << QStringList{"outlet", "02:50:44:00:00:09", "1", "off"} << 4 << "did not show";
        QTest::newRow("never ends") << ok + "Content-Length: 100\r\n\r\n{" << none << 7 << "timed out";
        QTest::newRow("password in the URL")
            << QByteArray() << QStringList{"--service", "https://alice:pw@127.0.0.1:9"} << 2
            << "--credentials";
        QTest::newRow("plain HTTP to another host")
            << QByteArray() << QStringList{"--service", "http://10.9.9.9:9100", "--credentials", "%1/alice"}
            << 2 << "https";
        QTest::newRow("certificate of another name")
            << QByteArray()
            << QStringList{"--service", "https://localhost:%3", "--credentials", "%1/alice", "--ca",
                           "%1/ca.crt"}
            << 7 << "certificate";
        QTest::newRow("credentials others read")
            << QByteArray() << QStringList{"--service", "https://127.0.0.1:9", "--credentials", "%1/open"}
            << 2 << "chmod";
    }
    void brokenService()
    {
        QFETCH(QByteArray, reply);
        QFETCH(QStringList, args);
        QFETCH(int, exit);
        QFETCH(QString, said);
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("open")), "alice:pw\n"));
        QVERIFY(QFile::setPermissions(m_dir.filePath(QStringLiteral("open")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        CHostileServer elsewhere({});
        QVERIFY(elsewhere.listen(QHostAddress::LocalHost));
        CHostileServer server(reply.replace("%2", QByteArray::number(elsewhere.serverPort())));
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QStringList command{"list"};
        if (args.isEmpty() || !args.first().startsWith(QLatin1String("--"))) {
            command = args.isEmpty() ? command : args;
            args = QStringList{"--service", QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort()),
                               "--credentials", "%1/alice"};
        }
        args.replaceInStrings(QStringLiteral("%1"), m_dir.path());
        args.replaceInStrings(QStringLiteral("%3"), QString::number(m_uiPort));
        // The server answers in this thread while the ctl runs.
        QProcess process;
        process.start(m_strCtl, command + args);
        QTRY_VERIFY_WITH_TIMEOUT(process.state() == QProcess::NotRunning, 120000);
        const QString strErr = QString::fromUtf8(process.readAllStandardError());
        QVERIFY2(process.exitCode() == exit, qPrintable(strErr));
        QVERIFY2(strErr.contains(said), qPrintable(strErr));
        QVERIFY2(!strErr.contains(QStringLiteral(":pw@")), qPrintable(strErr));
        QVERIFY2(elsewhere.baAsked.isEmpty(), elsewhere.baAsked.constData());
    }

    // A MAC two units report names neither, on the PDUs' network as through the service: both are
    // listed, nothing is switched.
    void sharedMacIsRefusedBothWays()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 1,2 outlets 255")).last(), QStringLiteral("ok"));
        QCOMPARE(m_sim.command(QStringLiteral("set 2 mac 02:50:44:00:00:01")).last(), QStringLiteral("ok"));
        QTRY_COMPARE_WITH_TIMEOUT(ctl({"list"}, QStringLiteral("both")).strOut.count(kPdu1), 2, 30000);
        const Run service = ctl({"outlet", kPdu1, "1", "off"}, QStringLiteral("both"));
        const Run local = ctl({"outlet", kPdu1, "1", "off"}, QString());
        const quint8 uiOutlets = m_sim.call([](CSimFleet& fleet) {
            return quint8(fleet.device(1)->st.outletStatus & fleet.device(2)->st.outletStatus);
        });
        QCOMPARE(m_sim.command(QStringLiteral("set 2 mac 02:50:44:00:00:02")).last(), QStringLiteral("ok"));
        for (const Run& run : {service, local})
            QVERIFY2(run.iExit == 2 && run.strErr.contains(QStringLiteral("10.200.1.1")) &&
                         run.strErr.contains(QStringLiteral("10.200.1.2")),
                     qPrintable(run.strErr));
        QCOMPARE(uiOutlets & 0x01, 0x01);
    }

    void cleanupTestCase()
    {
        m_service.terminate();
        QVERIFY(m_service.waitForFinished(20000));
    }

private:
    // The options that send rackmind-ctl through the service as via says; none for an empty via.
    QStringList serviceArgs(const QString& strVia)
    {
        if (strVia.isEmpty())
            return {};
        const bool bClosed = strVia == QLatin1String("closed port");
        QStringList list{
            "--service", QStringLiteral("https://127.0.0.1:%1").arg(bClosed ? freePort() : m_uiPort),
            "--credentials",
            m_dir.filePath(QStringList{"bob", "carol", "wrong"}.contains(strVia) ? strVia
                                                                                 : QStringLiteral("alice"))};
        if (strVia != QLatin1String("no CA"))
            list << "--ca" << m_dir.filePath(QStringLiteral("ca.crt"));
        return list;
    }
    Run ctl(const QStringList& listArgs, const QString& strVia)
    {
        QProcess process;
        process.start(m_strCtl, listArgs + serviceArgs(strVia));
        process.waitForFinished(120000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // Outlet n of a PDU as the service shows it.
    bool isOn(const char* pszPdu, int n)
    {
        const Run run = ctl({"show", pszPdu, "--json"}, QStringLiteral("both"));
        return QJsonDocument::fromJson(run.strOut.toUtf8())
            .object()
            .value("outlets")
            .toArray()
            .at(n - 1)
            .toBool();
    }

    const QString m_strCtl =
        qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl");
    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QString m_strLog;
    QString m_strHistoryTo;
    qint64 m_iStartSecs = 0;
    quint16 m_uiPort = 0;
};

QTEST_GUILESS_MAIN(TestCtlServiceBed)
#include "tst_ctlservice_bed.moc"
