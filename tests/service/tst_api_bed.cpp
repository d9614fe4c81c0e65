#include "device/OutletSets.h"
#include "device/ProtectionList.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tests/service/HttpProbe.h"
#include "tests/service/ServiceLog.h"
#include "tests/service/TlsFixture.h"
#include "tools/pdusim/SimThread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

// The JSON API of the service as a client meets it: rackmindd in its own process over simulated PDUs,
// curl for the client, from this machine and from the bed's network.
namespace {
const char kPdu1[] = "025044000001";

struct Reply
{
    int iStatus = 0;
    QByteArray baHead;
    QJsonObject json;
};
} // namespace

class TestApiBed : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(m_dir.filePath(QStringLiteral("protected"))));
        qputenv("RACKMIND_OUTLET_SETS", QFile::encodeName(m_dir.filePath(QStringLiteral("sets"))));
        QVERIFY(CProtectionList().change(
            [](QSet<QString>& set) { set.insert(CProtectionList::entry(kPdu1, 3)); }));
        OutletSetsData sets;
        sets.mapSets.insert(QStringLiteral("pair"),
                            {QStringLiteral("pair"), {{QLatin1String(kPdu1), 3}, {QLatin1String(kPdu1), 4}}});
        // Its wait holds it running while it is paused, resumed and cancelled.
        SequenceStep step;
        step.outlet = {QStringLiteral("025044000002"), 7};
        step.iWaitSecs = 600;
        sets.mapSequences.insert(QStringLiteral("evening"), {QStringLiteral("evening"), {step, step}});
        QVERIFY(writeFile(m_dir.filePath(QStringLiteral("sets")), COutletSets::toJson(sets)));
        QVERIFY(makeTlsFiles(QDir(m_dir.path())));
        writeWebConfig(false);
        m_uiPort = freePort();
        m_strLan = qEnvironmentVariable("RACKMIND_BED_CONSOLE_ADDRS").section(QLatin1Char(' '), 0, 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), m_dir.path());
        m_service.setProcessEnvironment(env);
        m_service.setWorkingDirectory(m_dir.path());
        m_service.start(QStringLiteral(RACKMINDD),
                        {QStringLiteral("--metrics"), QStringLiteral("--metrics-address"),
                         QStringLiteral("0.0.0.0"), QStringLiteral("--metrics-port"),
                         QString::number(m_uiPort), QStringLiteral("--web.config.file"),
                         m_dir.filePath(QStringLiteral("web.yml"))});
        QVERIFY2(waitLog(QStringLiteral("and the API at /api/v1")), qPrintable(m_strLog));
        QTRY_VERIFY_WITH_TIMEOUT(call("alice", "GET", "/pdus/025044000002").iStatus == 200, 30000);
    }

    void table_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("path"); // under /api/v1
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("lan"); // from the bed's network, not loopback
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        const QByteArray json = "application/json", on = "{\"action\":\"on\"}",
                         outlet2 = "/pdus/025044000001/outlets/2";
        // Reading: any user the metrics take, from anywhere; what is asked for must be right.
        QTest::newRow("read") << QByteArray("carol") << QByteArray("GET") << QByteArray("/pdus")
                              << QByteArray() << QByteArray() << QByteArray() << true << 200 << QString();
        QTest::newRow("MAC spelt otherwise")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/pdus/02-50-44-00-00-01")
            << QByteArray() << QByteArray() << QByteArray() << false << 200 << QString();
        QTest::newRow("unknown PDU") << QByteArray("carol") << QByteArray("GET")
                                     << QByteArray("/pdus/020000000099") << QByteArray() << QByteArray()
                                     << QByteArray() << false << 404 << "unknown_pdu";
        QTest::newRow("not a MAC") << QByteArray("carol") << QByteArray("GET") << QByteArray("/pdus/rack-1")
                                   << QByteArray() << QByteArray() << QByteArray() << false << 400
                                   << "bad_parameter";
        for (const char* pszPath : {"/pdus/025044000001%0A", "/pdus/025044000001%0A/history"})
            QTest::newRow(pszPath) << QByteArray("carol") << QByteArray("GET") << QByteArray(pszPath)
                                   << QByteArray() << QByteArray() << QByteArray() << false << 400
                                   << "bad_parameter";
        QTest::newRow("no password") << QByteArray() << QByteArray("GET") << QByteArray("/pdus")
                                     << QByteArray() << QByteArray() << QByteArray() << false << 401
                                     << "unauthorized";
        QTest::newRow("no such route")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/racks") << QByteArray()
            << QByteArray() << QByteArray() << false << 404 << "no_route";
        QTest::newRow("delete") << QByteArray("alice") << QByteArray("DELETE")
                                << QByteArray("/pdus/025044000001") << QByteArray() << QByteArray()
                                << QByteArray() << false << 405 << "method_not_allowed";
        QTest::newRow("get on an operation")
            << QByteArray("alice") << QByteArray("GET") << outlet2 << QByteArray() << QByteArray()
            << QByteArray() << false << 405 << "method_not_allowed";
        QTest::newRow("page too big")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/events?limit=100000") << QByteArray()
            << QByteArray() << QByteArray() << false << 400 << "bad_parameter";
        QTest::newRow("made-up cursor")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/events?cursor=7") << QByteArray()
            << QByteArray() << QByteArray() << false << 400 << "bad_parameter";
        QTest::newRow("cursor no page gave")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/events?cursor=1.-5") << QByteArray()
            << QByteArray() << QByteArray() << false << 400 << "bad_parameter";
        QTest::newRow("time without offset")
            << QByteArray("carol") << QByteArray("GET") << QByteArray("/events?from=2026-01-01T00:00:00")
            << QByteArray() << QByteArray() << QByteArray() << false << 400 << "bad_parameter";
        QTest::newRow("history, bad resolution")
            << QByteArray("carol") << QByteArray("GET")
            << QByteArray("/pdus/025044000001/history?resolution=weeks") << QByteArray() << QByteArray()
            << QByteArray() << false << 400 << "bad_parameter";
        // Operating: the operator role, over TLS or from this machine, a JSON body a page elsewhere cannot
        // send.
        QTest::newRow("no role") << QByteArray("carol") << QByteArray("POST") << outlet2 << json << on
                                 << QByteArray() << false << 403 << "forbidden";
        QTest::newRow("plain http from the network")
            << QByteArray("bob") << QByteArray("POST") << outlet2 << json << on << QByteArray() << true << 403
            << "tls_required";
        QTest::newRow("form") << QByteArray("bob") << QByteArray("POST") << outlet2
                              << QByteArray("application/x-www-form-urlencoded") << QByteArray("action=on")
                              << QByteArray() << false << 415 << "unsupported_media_type";
        QTest::newRow("text/plain") << QByteArray("bob") << QByteArray("POST") << outlet2
                                    << QByteArray("text/plain") << on << QByteArray() << false << 415
                                    << "unsupported_media_type";
        QTest::newRow("no body") << QByteArray("bob") << QByteArray("POST") << outlet2 << json << QByteArray()
                                 << QByteArray() << false << 400 << "bad_json";
        QTest::newRow("bad json") << QByteArray("bob") << QByteArray("POST") << outlet2 << json
                                  << QByteArray("{\"action\":") << QByteArray() << false << 400 << "bad_json";
        QTest::newRow("unknown key") << QByteArray("bob") << QByteArray("POST") << outlet2 << json
                                     << QByteArray("{\"action\":\"on\",\"force\":true}") << QByteArray()
                                     << false << 400 << "bad_parameter";
        QTest::newRow("delay out of range") << QByteArray("bob") << QByteArray("POST") << outlet2 << json
                                            << QByteArray("{\"action\":\"cycle\",\"delay\":100000}")
                                            << QByteArray() << false << 400 << "bad_parameter";
        QTest::newRow("another site")
            << QByteArray("bob") << QByteArray("POST") << outlet2 << json << on
            << QByteArray("Origin: https://evil.example") << false << 403 << "cross_origin";
        QTest::newRow("huge body") << QByteArray("bob") << QByteArray("POST") << outlet2 << json
                                   << QByteArray(64 * 1024, ' ') << QByteArray() << false << 413
                                   << "payload_too_large";
        QTest::newRow("switch unknown PDU")
            << QByteArray("bob") << QByteArray("POST") << QByteArray("/pdus/020000000099/outlets/1") << json
            << on << QByteArray() << false << 404 << "unknown_pdu";
        QTest::newRow("outlet 9") << QByteArray("bob") << QByteArray("POST")
                                  << QByteArray("/pdus/025044000001/outlets/9") << json << on << QByteArray()
                                  << false << 404 << "unknown_outlet";
        // Protection: a protected outlet stays on; a set with one needs the override, and its role.
        QTest::newRow("protected outlet off")
            << QByteArray("alice") << QByteArray("POST") << QByteArray("/pdus/025044000001/outlets/3") << json
            << QByteArray("{\"action\":\"off\"}") << QByteArray() << false << 409 << "protected";
        QTest::newRow("set needs the override")
            << QByteArray("bob") << QByteArray("POST") << QByteArray("/sets/pair") << json
            << QByteArray("{\"action\":\"off\"}") << QByteArray() << false << 409 << "protected";
        QTest::newRow("override without its role")
            << QByteArray("bob") << QByteArray("POST") << QByteArray("/sets/pair") << json
            << QByteArray("{\"action\":\"off\",\"override\":true}") << QByteArray() << false << 403
            << "forbidden";
        QTest::newRow("unknown set") << QByteArray("bob") << QByteArray("POST") << QByteArray("/sets/none")
                                     << json << on << QByteArray() << false << 404 << "unknown_set";
        QTest::newRow("pause what does not run")
            << QByteArray("bob") << QByteArray("POST") << QByteArray("/sequences/none") << json
            << QByteArray("{\"action\":\"pause\"}") << QByteArray() << false << 409 << "not_running";
        QTest::newRow("unknown alarm")
            << QByteArray("bob") << QByteArray("POST") << QByteArray("/alarms/99/acknowledge") << json
            << QByteArray("{}") << QByteArray() << false << 404 << "unknown_alarm";
    }
    void table()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, header);
        QFETCH(bool, lan);
        QFETCH(int, status);
        QFETCH(QString, error);
        const Reply reply = call(user, method, path, type, body, header, lan);
        QVERIFY2(reply.iStatus == status, reply.baHead.constData());
        QCOMPARE(reply.json.value(QStringLiteral("error")).toString(), error);
        if (status == 405)
            QVERIFY2(reply.baHead.contains("\r\nAllow: "), reply.baHead.constData());
        // Refused means nothing happened: outlet 2 of the first PDU stays off, 3 and 4 on.
        QCOMPARE(outlets(kPdu1).mid(1, 3), (QVariantList{false, true, true}));
    }

    // A switch is answered as under way, with where to follow it; what the PDU then shows is the answer,
    // and the event log says who asked.
    void switchFollowedAndLogged()
    {
        const Reply reply =
            call("bob", "POST", "/pdus/025044000001/outlets/2", "application/json", "{\"action\":\"on\"}");
        QCOMPARE(reply.iStatus, 202);
        QVERIFY2(reply.baHead.contains("\r\nLocation: /api/v1/pdus/025044000001"), reply.baHead.constData());
        QTRY_COMPARE_WITH_TIMEOUT(outlets(kPdu1).value(1), QVariant(true), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            eventDetails().contains(QStringLiteral("outletSwitched 2 sent (API user bob)")), 10000);
    }
    // The override switches the protected outlet of a set off, and is on record under the user's name.
    void overrideOnRecord()
    {
        const Reply reply =
            call("alice", "POST", "/sets/pair", "application/json", "{\"action\":\"off\",\"override\":true}");
        QCOMPARE(reply.iStatus, 202);
        QTRY_COMPARE_WITH_TIMEOUT(outlets(kPdu1).mid(2, 2), (QVariantList{false, false}), 20000);
        const QJsonObject set = call("carol", "GET", "/sets").json.value("sets").toArray().at(0).toObject();
        QCOMPARE(set.value("name").toString(), QStringLiteral("pair"));
        QCOMPARE(set.value("outlets").toArray().size(), 2);
        const QStringList list = eventDetails();
        QVERIFY2(list.filter(QStringLiteral("protection overridden"))
                         .filter(QStringLiteral("API user alice"))
                         .size() == 1,
                 qPrintable(list.join(QLatin1Char('\n'))));
    }
    // An alarm acknowledged once, under the user's name; a second time is a conflict.
    void acknowledge()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 2 humidity 95")).last(), QStringLiteral("ok"));
        QJsonArray alarms;
        QTRY_VERIFY_WITH_TIMEOUT(
            !(alarms = call("carol", "GET", "/alarms").json.value(QStringLiteral("alarms")).toArray())
                 .isEmpty(),
            30000);
        const QByteArray baPath =
            "/alarms/" + QByteArray::number(alarms.at(0).toObject().value("id").toInt()) + "/acknowledge";
        QCOMPARE(call("bob", "POST", baPath, "application/json", "{}").iStatus, 200);
        QCOMPARE(call("bob", "POST", baPath, "application/json", "{}").iStatus, 409);
        // The list shows it from its next refresh.
        QTRY_COMPARE_WITH_TIMEOUT(call("carol", "GET", "/alarms")
                                      .json.value("alarms")
                                      .toArray()
                                      .at(0)
                                      .toObject()
                                      .value("acknowledgedBy"),
                                  QJsonValue(QStringLiteral("API user bob")), 10000);
    }
    // Pages of two go on where the last ended while events keep coming: none twice, none missed.
    void pagesStayRightWhileEventsCome()
    {
        const QJsonArray all = call("carol", "GET", "/events?limit=1000").json.value("events").toArray();
        QVERIFY(all.size() > 4);
        QJsonArray paged;
        QByteArray baPath = "/events?limit=2";
        bool bOn = false;
        for (;;) {
            const QJsonObject page = call("carol", "GET", baPath).json;
            for (const QJsonValue& value : page.value("events").toArray())
                paged.append(value);
            if (page.value("next").isNull())
                break;
            baPath = "/events?limit=2&cursor=" + page.value("next").toString().toLatin1();
            // Something new goes into the log between pages.
            const QJsonValue newest =
                call("carol", "GET", "/events?limit=1").json.value("events").toArray().at(0);
            bOn = !bOn;
            call("bob", "POST", "/pdus/025044000002/outlets/1", "application/json",
                 bOn ? "{\"action\":\"off\"}" : "{\"action\":\"on\"}");
            QTRY_VERIFY_WITH_TIMEOUT(
                call("carol", "GET", "/events?limit=1").json.value("events").toArray().at(0) != newest,
                10000);
        }
        QCOMPARE(paged.size(), all.size());
        QCOMPARE(paged, all);
    }
    // A cycle's later steps, carried out long after the request was answered, are on record under the
    // user who asked for it, as its start is: not under a console that did nothing.
    void laterStepsLogged_data()
    {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QByteArray>("mac");
        QTest::addColumn<QString>("outlet");
        QTest::newRow("outlet cycle")
            << QByteArray("bob") << QByteArray("/pdus/025044000002/outlets/3")
            << QByteArray("{\"action\":\"cycle\",\"delay\":1}") << QByteArray("025044000002") << "3";
        QTest::newRow("set cycle") << QByteArray("alice") << QByteArray("/sets/pair")
                                   << QByteArray("{\"action\":\"cycle\",\"delay\":1,\"override\":true}")
                                   << QByteArray(kPdu1) << "4";
    }
    void laterStepsLogged()
    {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, body);
        QFETCH(QByteArray, mac);
        QFETCH(QString, outlet);
        const Reply reply = call(user, "POST", path, "application/json", body);
        QVERIFY2(reply.iStatus == 202, QJsonDocument(reply.json).toJson().constData());
        const auto steps = [&] {
            QStringList list;
            for (const QJsonValue& value :
                 call("carol", "GET", "/events?limit=100&mac=" + mac).json.value("events").toArray()) {
                const QJsonObject e = value.toObject();
                const QString strKind = e.value("kind").toString();
                if (e.value("subject").toString() == outlet &&
                    (strKind.startsWith(QLatin1String("cycle")) || strKind == QLatin1String("outletCycled")))
                    list << strKind + u' ' + e.value("detail").toString();
            }
            return list;
        };
        QTRY_VERIFY_WITH_TIMEOUT(!steps().filter(QStringLiteral("cycleCompleted")).isEmpty(), 30000);
        const QStringList list = steps();
        QVERIFY2(list.size() >= 3, qPrintable(list.join(u'\n')));
        QVERIFY2(list.filter(QStringLiteral("(API user %1)").arg(QString::fromLatin1(user))).size() ==
                     list.size(),
                 qPrintable(list.join(u'\n')));
    }
    // Every operation on a sequence is in the event log under the name of whoever asked for it.
    void sequenceOperationsLogged()
    {
        const std::pair<const char*, const char*> steps[] = {
            {"bob", "start"}, {"bob", "pause"}, {"alice", "resume"}, {"alice", "cancel"}};
        for (const auto& [pszUser, pszAction] : steps) {
            const Reply reply = call(pszUser, "POST", "/sequences/evening", "application/json",
                                     "{\"action\":\"" + QByteArray(pszAction) + "\"}");
            QVERIFY2(reply.iStatus == 202, QJsonDocument(reply.json).toJson().constData());
        }
        QStringList list;
        const auto logged = [&] {
            list = eventDetails().filter(QStringLiteral("sequence evening"));
            return list.size() >= 4;
        };
        QTRY_VERIFY2_WITH_TIMEOUT(logged(), qPrintable(eventDetails().join(u'\n')), 10000);
        for (const char* pszSaid :
             {"started: 2 steps (API user bob)", "paused at step 1 (API user bob)",
              "resumed at step 1 (API user alice)", "cancelled at step 1 (API user alice)"})
            QVERIFY2(!list.filter(QLatin1String(pszSaid)).isEmpty(), qPrintable(list.join(u'\n')));
    }
    // Over TLS, operating from the network is taken.
    void tlsOperatesFromTheNetwork()
    {
        writeWebConfig(true);
        ::kill(pid_t(m_service.processId()), SIGHUP);
        QVERIFY2(waitLog(QStringLiteral("metrics: serving https://")), qPrintable(m_strLog));
        m_strScheme = QStringLiteral("https");
        QTRY_COMPARE_WITH_TIMEOUT(call("bob", "GET", "/pdus", {}, {}, {}, true).iStatus, 200, 20000);
        QCOMPARE(call("bob", "POST", "/pdus/025044000001/outlets/2", "application/json",
                      "{\"action\":\"off\"}", {}, true)
                     .iStatus,
                 202);
        QTRY_COMPARE_WITH_TIMEOUT(outlets(kPdu1).value(1), QVariant(false), 20000);
    }
    // A second unit that takes the first's MAC (a cloned configuration) leaves both in the room, and
    // switching by that MAC is refused: either unit could be the one meant.
    void sharedMacNotSwitched()
    {
        QCOMPARE(m_sim.command(QStringLiteral("set 2 mac 02:50:44:00:00:01")).last(), QStringLiteral("ok"));
        const auto addressesOf = [this](const QString& strMac) {
            QStringList list;
            for (const QJsonValue& value : call("carol", "GET", "/pdus").json.value("pdus").toArray())
                if (value.toObject().value("mac").toString() == strMac &&
                    value.toObject().value("online").toBool())
                    list << value.toObject().value("address").toString();
            return list;
        };
        QTRY_VERIFY_WITH_TIMEOUT(addressesOf(QStringLiteral("02:50:44:00:00:01")).contains("10.200.1.2"),
                                 30000);
        const Reply reply =
            call("bob", "POST", "/pdus/025044000001/outlets/5", "application/json", "{\"action\":\"off\"}");
        const QStringList listSim = m_sim.command(QStringLiteral("list"));
        QCOMPARE(m_sim.command(QStringLiteral("set 2 mac 02:50:44:00:00:02")).last(), QStringLiteral("ok"));
        QVERIFY2(reply.iStatus == 409, QJsonDocument(reply.json).toJson().constData());
        QVERIFY2(listSim.filter(QRegularExpression(QStringLiteral("outlets=....0"))).isEmpty(),
                 qPrintable(listSim.join(u'\n')));
        QTRY_COMPARE_WITH_TIMEOUT(addressesOf(QStringLiteral("02:50:44:00:00:01")),
                                  QStringList{QStringLiteral("10.200.1.1")}, 30000);
    }
    void cleanupTestCase()
    {
        m_service.terminate();
        QVERIFY(m_service.waitForFinished(20000));
    }

private:
    // alice may operate and override, bob operate, carol only read.
    void writeWebConfig(bool bTls)
    {
        const QByteArray baHash = bcryptHash("pw");
        QVERIFY(writeFile(
            m_dir.filePath(QStringLiteral("web.yml")),
            QByteArray(bTls ? "tls_server_config:\n  cert_file: server.crt\n  key_file: server.key\n" : "") +
                "basic_auth_users:\n  alice: " + baHash + "\n  bob: " + baHash + "\n  carol: " + baHash +
                "\napi_enabled: true\nbasic_auth_roles:\n  alice: [operator, override]\n"
                "  bob: [operator]\n"));
    }
    Reply call(const QByteArray& baUser, const QByteArray& baMethod, const QByteArray& baPath,
               const QByteArray& baType = {}, const QByteArray& baBody = {}, const QByteArray& baHeader = {},
               bool bLan = false)
    {
        QStringList listArgs{"-s", "-i", "-m", "20", "-X", QString::fromLatin1(baMethod)};
        if (!baUser.isEmpty())
            listArgs << "-u" << QString::fromLatin1(baUser + ":pw");
        if (!baType.isEmpty())
            listArgs << "-H" << QString::fromLatin1("Content-Type: " + baType);
        if (!baHeader.isEmpty())
            listArgs << "-H" << QString::fromLatin1(baHeader);
        if (baMethod == "POST")
            listArgs << "--data-binary"
                     << "@-";
        if (m_strScheme == QLatin1String("https"))
            listArgs << "--cacert" << m_dir.filePath(QStringLiteral("ca.crt"));
        // The certificate names 127.0.0.1: the bed's address reaches the same server under that name.
        if (bLan && m_strScheme == QLatin1String("https"))
            listArgs << "--connect-to" << QStringLiteral("127.0.0.1:%1:%2:%1").arg(m_uiPort).arg(m_strLan);
        const QString strHost =
            bLan && m_strScheme != QLatin1String("https") ? m_strLan : QStringLiteral("127.0.0.1");
        listArgs << QStringLiteral("%1://%2:%3/api/v1").arg(m_strScheme, strHost).arg(m_uiPort) +
                        QString::fromLatin1(baPath);
        QProcess curl;
        curl.start(QStringLiteral("curl"), listArgs);
        curl.write(baBody);
        curl.closeWriteChannel();
        curl.waitForFinished(30000);
        const QByteArray baOut = curl.readAllStandardOutput();
        Reply reply;
        const int iSplit = baOut.indexOf("\r\n\r\n");
        reply.baHead = baOut.left(iSplit + 2);
        reply.iStatus = baOut.mid(9, 3).toInt();
        reply.json = QJsonDocument::fromJson(baOut.mid(iSplit + 4)).object();
        return reply;
    }
    QVariantList outlets(const char* pszMac)
    {
        return call("carol", "GET", "/pdus/" + QByteArray(pszMac))
            .json.value("outlets")
            .toArray()
            .toVariantList();
    }
    // "kind subject detail" of the newest events.
    QStringList eventDetails()
    {
        QStringList list;
        for (const QJsonValue& value :
             call("carol", "GET", "/events?limit=50").json.value("events").toArray()) {
            const QJsonObject e = value.toObject();
            list << QStringLiteral("%1 %2 %3")
                        .arg(e.value("kind").toString(), e.value("subject").toString(),
                             e.value("detail").toString());
        }
        return list;
    }
    bool waitLog(const QString& strText, int iMsec = 30000)
    {
        return waitForLog(m_service, m_strLog, strText, iMsec);
    }

    QTemporaryDir m_dir;
    CSimThread m_sim;
    QProcess m_service;
    QString m_strLog;
    QString m_strLan;
    QString m_strScheme = QStringLiteral("http");
    quint16 m_uiPort = 0;
};

QTEST_GUILESS_MAIN(TestApiBed)
#include "tst_api_bed.moc"
