#include "cli/CtlTarget.h"
#include "device/ProtectionList.h"
#include "device/Protocol.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "settings/Settings.h"
#include "tests/common/NetBed.h"
#include "tests/common/ProgramCopy.h"
#include "tests/common/QuietFleet.h"
#include "tests/common/TestFiles.h"
#include "tools/common/ConsoleRig.h"
#include "tools/pdusim/SimThread.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// rackmind-ctl against simulated PDUs in the bed, with a console polling from port 51230 beside it.
class TestCtlBed : public QObject
{
    Q_OBJECT
    CSimThread m_sim;
    ConsoleRig* m_pRig = nullptr;
    QTemporaryDir m_dirList;

    struct Run
    {
        int iExit = -1;
        QByteArray baOut;
        QString strErr;
    };
    static Run ctl(const QStringList& listArgs)
    {
        QProcess process;
        process.start(qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl"),
                      listArgs);
        Run run;
        if (!process.waitForFinished(60000))
            return run;
        run.iExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.baOut = process.readAllStandardOutput();
        run.strErr = QString::fromUtf8(process.readAllStandardError());
        return run;
    }
    QString ip(int iDevice)
    {
        return ipv4ToString(m_sim.call([=](CSimFleet& fleet) { return fleet.device(iDevice)->st.ip; }));
    }
    quint8 outlets(int iDevice)
    {
        return m_sim.call([=](CSimFleet& fleet) { return fleet.device(iDevice)->st.outletStatus; });
    }
    void sim(const QString& strCommand) { QCOMPARE(m_sim.command(strCommand).last(), QStringLiteral("ok")); }

private slots:
    void initTestCase()
    {
        QVERIFY(netbed::active());
        QVERIFY(startQuietFleet(m_sim, Switching::AtOnce));
        sim(QStringLiteral("set all outlets 255"));
        // The console holds port 51230 on every address all along: the command line must not need it.
        m_pRig = new ConsoleRig(this);
        QVERIFY(m_pRig->start(1000));
    }
    void cleanupTestCase()
    {
        delete m_pRig;
        m_sim.stopFleet();
    }

    void listJsonHoldsEveryPdu()
    {
        const Run run = ctl({"list", "--json"});
        QCOMPARE(run.iExit, int(kExitOk));
        QJsonParseError error;
        const QJsonArray array = QJsonDocument::fromJson(run.baOut, &error).array();
        QCOMPARE(error.error, QJsonParseError::NoError);
        QStringList listGot, listWanted;
        for (const QJsonValue& value : array)
            listGot.append(value.toObject().value(QStringLiteral("address")).toString());
        for (int i = 1; i <= m_sim.call([](CSimFleet& fleet) { return fleet.deviceCount(); }); ++i)
            listWanted.append(ip(i));
        listGot.sort();
        listWanted.sort();
        QCOMPARE(listGot, listWanted);
        QCOMPARE(array.at(0).toObject().value(QStringLiteral("outlets")).toArray().size(), 8);
    }

    // A PDU on a port only this machine's service polls is listed too.
    void listReadsTheServicePorts()
    {
        QTemporaryDir dirState;
        QVERIFY(
            writeFile(dirState.filePath(QStringLiteral("port.prt")), "[0]\nport=51230\n[1]\nport=6000\n"));
        sim(QStringLiteral("set 2 port 6000"));
        qputenv("RACKMIND_SERVICE_STATE", QFile::encodeName(dirState.path()));
        const QString strList = QString::fromUtf8(ctl({"list"}).baOut);
        qunsetenv("RACKMIND_SERVICE_STATE");
        sim(QStringLiteral("set 2 port 51230"));
        QVERIFY2(strList.contains(ip(1) + QLatin1Char('\t')) && strList.contains(ip(2) + QLatin1Char('\t')),
                 qPrintable(strList));
    }

    void consolePortIsNotShared()
    {
        const Run run = ctl({"list", "--source-port", "51230"});
        QCOMPARE(run.iExit, int(kExitFailure));
        QVERIFY2(run.strErr.contains(QStringLiteral("console or the service")), qPrintable(run.strErr));
    }

    void switchesOutletsOffAndConfirms()
    {
        const Run run = ctl({"outlet", ip(1), "2,4", "off"});
        QVERIFY2(run.iExit == kExitOk, qPrintable(run.strErr));
        QCOMPARE(outlets(1), quint8(0xFF & ~0x0A));
    }

    void silentStatusIsNoConfirmation()
    {
        sim(QStringLiteral("malform 2 check 6")); // found by its other replies, its status never reads
        const Run run = ctl({"outlet", ip(2), "1", "off", "--wait", "1.5", "--timeout", "2"});
        sim(QStringLiteral("malform 2 off"));
        QCOMPARE(run.iExit, int(kExitNoConfirm));
    }

    void ambiguousNameListsMatches()
    {
        sim(QStringLiteral("set 1 name rack-a"));
        sim(QStringLiteral("set 3 name rack-a"));
        const Run run = ctl({"show", "rack-a"});
        QCOMPARE(run.iExit, int(kExitUsage));
        QVERIFY2(run.strErr.contains(ip(1)) && run.strErr.contains(ip(3)) && !run.strErr.contains(ip(2)),
                 qPrintable(run.strErr));
    }

    // A name a unit holds as UTF-8, filling its field: listed, shown and found by that name.
    void nonAsciiNameReadsAsWritten()
    {
        const QString strName = QStringLiteral("Caf\u00e9-\u6771\u4eac1234");
        sim(QStringLiteral("set 2 name ") + strName);
        const Run run = ctl({"show", strName, "--json"});
        QVERIFY2(run.iExit == kExitOk, qPrintable(run.strErr));
        QCOMPARE(QJsonDocument::fromJson(run.baOut).object().value(QStringLiteral("name")).toString(),
                 strName);
        const QString strList = QString::fromUtf8(ctl({"list"}).baOut);
        QVERIFY2(strList.contains(QRegularExpression(
                     QStringLiteral("^%1\t[^\t]*\t%2\t").arg(QRegularExpression::escape(ip(2)), strName),
                     QRegularExpression::MultilineOption)),
                 qPrintable(strList));
    }

    // A name that would end its line, drive the terminal or reverse what follows: one line per unit in
    // the list, the name's own field of show, each such character shown as an escape.
    void hostileNameKeepsToItsLine()
    {
        const QByteArray baName("x\n10.9.9.9\t\x1b\xe2\x80\xae", 15);
        const QByteArray baWas = m_sim.call([&](CSimFleet& fleet) {
            return std::exchange(fleet.device(2)->st.name, baName + QByteArray(16 - baName.size(), '\0'));
        });
        const QString strShown = QStringLiteral("x\\n10.9.9.9\\t\\x1b\\u202e");
        Run list, show;
        QTRY_VERIFY_WITH_TIMEOUT((list = ctl({"list"})).baOut.contains("\\x1b"), 30000);
        show = ctl({"show", ip(2)});
        m_sim.call([&](CSimFleet& fleet) { fleet.device(2)->st.name = baWas; });
        const QString strList = QString::fromUtf8(list.baOut);
        QCOMPARE(strList.count(QLatin1Char('\n')),
                 m_sim.call([](CSimFleet& fleet) { return fleet.deviceCount(); }));
        QVERIFY2(strList.contains(QRegularExpression(
                     QStringLiteral("^%1\t[^\t]*\t%2\t")
                         .arg(QRegularExpression::escape(ip(2)), QRegularExpression::escape(strShown)),
                     QRegularExpression::MultilineOption)),
                 qPrintable(strList));
        QVERIFY2(
            QString::fromUtf8(show.baOut).contains(QStringLiteral("\nname: ") + strShown + QLatin1Char('\n')),
            show.baOut.constData());
        for (const QByteArray& baOut : {list.baOut, show.baOut})
            QVERIFY2(!baOut.contains('\x1b') && !baOut.contains("\xe2\x80\xae"), baOut.constData());
    }

    // The stored readings of one PDU come back as CSV, averages per span; an unknown PDU is not found.
    void historyPrintsTheStoredSpan()
    {
        QTemporaryDir dir;
        const QString strPath = dir.filePath(QStringLiteral("history.sqlite"));
        const qint64 iStart = QDateTime::currentMSecsSinceEpoch() - 60000;
        {
            CHistoryStore store(strPath);
            store.setLabel(QStringLiteral("00:04:A3:00:00:07"), QStringLiteral("rack, \"b\""), QString(),
                           QStringLiteral("10.200.1.7"));
            for (int i = 0; i < 5; ++i)
                store.addSample(QStringLiteral("00:04:A3:00:00:07"),
                                {iStart + i * 1000, quint16(230 + i), 150, 25, 40, 0x05, true});
            // A poll a minute later closes the minutes a longer span reads.
            store.addSample(QStringLiteral("00:04:A3:00:00:07"),
                            {iStart + 70000, 232, 150, 25, 40, 0x05, true});
            store.flush();
        }
        qputenv("RACKMIND_HISTORY", strPath.toUtf8());
        const QStringList listSpan = {QStringLiteral("--from"), QString::number(iStart / 1000 - 1),
                                      QStringLiteral("--to"), QString::number(iStart / 1000 + 10)};
        Run run = ctl(QStringList{"history", "rack, \"b\"", "--csv"} + listSpan);
        QCOMPARE(run.iExit, int(kExitOk));
        const QList<QStringList> rows = HistoryCsv::parse(QString::fromUtf8(run.baOut));
        QCOMPARE(rows.size(), 6);
        QCOMPARE(rows.at(3).mid(1), (QStringList{"232", "1.50", "25", "40", "10100000", "1.00"}));
        // Without a span, the last 24 hours; as JSON the readings stay numbers, and a time names its
        // offset, so that it reads back as the same instant wherever it is read (and in the hour a
        // clock set back shows twice).
        const QByteArray baZone = qgetenv("TZ");
        qputenv("TZ", "Asia/Kolkata");
        run = ctl({"history", "10.200.1.7", "--json"});
        baZone.isNull() ? qunsetenv("TZ") : qputenv("TZ", baZone);
        QCOMPARE(run.iExit, int(kExitOk));
        const QJsonArray arrayRows = QJsonDocument::fromJson(run.baOut).array();
        QVERIFY2(!arrayRows.isEmpty(), run.baOut.constData());
        for (const QJsonValue& row : arrayRows) {
            const QDateTime time = QDateTime::fromString(row[QLatin1String("time")].toString(), Qt::ISODate);
            QVERIFY2(
                row[QLatin1String("volts")].isDouble() && row[QLatin1String("volts")].toDouble() >= 230 &&
                    row[QLatin1String("volts")].toDouble() <= 234 && time.timeSpec() != Qt::LocalTime &&
                    time.toMSecsSinceEpoch() >= iStart - 60000 && time.toMSecsSinceEpoch() <= iStart + 70000,
                run.baOut.constData());
        }
        run = ctl(QStringList{"history", "10.200.9.9"} + listSpan);
        QCOMPARE(run.iExit, int(kExitNotFound));
        // A second unit once reported the same address under a name that would drive the terminal: the
        // list of matches keeps one line per unit and passes no escape, break or direction override.
        {
            CHistoryStore store(strPath);
            store.setLabel(QStringLiteral("00:04:A3:00:00:08"),
                           QStringLiteral("x\x1b]0;owned\x07\nfake 00:04:A3:00:00:09\u202e"), QString(),
                           QStringLiteral("10.200.1.7"));
            store.flush();
        }
        run = ctl({"history", "10.200.1.7"});
        QCOMPARE(run.iExit, int(kExitUsage));
        QCOMPARE(run.strErr.count(QLatin1Char('\n')), 3);
        for (QChar ch : {QChar(0x1b), QChar(0x07), QChar(0x202e)})
            QVERIFY2(!run.strErr.contains(ch), qPrintable(run.strErr));
        qunsetenv("RACKMIND_HISTORY");
    }

    // Refused before anything is sent: the console's bounds.
    void optionsOutOfBounds_data()
    {
        QTest::addColumn<QStringList>("listOptions");
        QTest::newRow("no delay") << QStringList{"cycle", "--delay", "0"};
        QTest::newRow("delay past ten minutes") << QStringList{"cycle", "--delay", "601"};
        QTest::newRow("delay without a cycle") << QStringList{"on", "--delay", "5"};
        QTest::newRow("no time to confirm") << QStringList{"off", "--timeout", "0"};
    }
    void optionsOutOfBounds()
    {
        QFETCH(QStringList, listOptions);
        const Run run = ctl(QStringList{"outlet", ip(1), "1"} + listOptions);
        QCOMPARE(run.iExit, int(kExitUsage));
    }

    // A PDU that reports another's address or shares its MAC is never taken for it: refused, listed.
    void sharedAddressOrMacIsRefused_data()
    {
        QTest::addColumn<QString>("strSet");
        QTest::addColumn<QString>("strTarget");
        QTest::addColumn<QString>("strUndo");
        QTest::newRow("reported address") << "reportip 10.200.9.9"
                                          << "10.200.9.9"
                                          << "reportip off";
        QTest::newRow("MAC") << "mac 02:00:00:00:00:99"
                             << "020000000099"
                             << "";
    }
    void sharedAddressOrMacIsRefused()
    {
        QFETCH(QString, strSet);
        QFETCH(QString, strTarget);
        QFETCH(QString, strUndo);
        const QByteArray baMac1 = m_sim.call([](CSimFleet& f) { return f.device(1)->st.mac; });
        const QByteArray baMac2 = m_sim.call([](CSimFleet& f) { return f.device(2)->st.mac; });
        sim(QStringLiteral("set 1,2 ") + strSet);
        sim(QStringLiteral("set 1 outlets 255"));
        sim(QStringLiteral("set 2 outlets 255"));
        const Run run = ctl({"outlet", strTarget, "1", "off"});
        if (strUndo.isEmpty()) {
            sim(QStringLiteral("set 1 mac ") + QString::fromLatin1(baMac1.toHex(':')));
            sim(QStringLiteral("set 2 mac ") + QString::fromLatin1(baMac2.toHex(':')));
        } else {
            sim(QStringLiteral("set 1,2 ") + strUndo);
        }
        QCOMPARE(run.iExit, int(kExitUsage));
        QVERIFY2(run.strErr.contains(ip(1)) && run.strErr.contains(ip(2)), qPrintable(run.strErr));
        QCOMPARE(outlets(1) & outlets(2) & 0x01, 0x01);
    }

    // Ctrl-C in the middle of a cycle: the command brings the outlet back on before it ends.
    void interruptedCycleEndsOn()
    {
        sim(QStringLiteral("set 2 outlets 255"));
        QProcess process;
        process.start(qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl"),
                      {QStringLiteral("outlet"), ip(2), QStringLiteral("5"), QStringLiteral("cycle"),
                       QStringLiteral("--delay"), QStringLiteral("30")});
        QTRY_VERIFY_WITH_TIMEOUT(!(outlets(2) & 0x10), 10000);
        ::kill(pid_t(process.processId()), SIGINT);
        QVERIFY(process.waitForFinished(15000));
        QCOMPARE(outlets(2) & 0x10, 0x10);
        QCOMPARE(process.exitCode(), int(kExitFailure));
    }

    // Protected in the machine's list: refused for whoever runs the command, unless --force.
    void protectedOutletNeedsForce()
    {
        QFile::setPermissions(m_dirList.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                                    QFile::ExeGroup);
        const QString strList = m_dirList.filePath(QStringLiteral("protected-outlets"));
        const QByteArray baMac = m_sim.call([](CSimFleet& fleet) { return fleet.device(3)->st.mac; });
        QVERIFY(CProtectionList(strList).change([&](QSet<QString>& set) {
            set.insert(QString::fromLatin1(baMac.toHex()) + QStringLiteral("/3"));
        }));
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(strList)); // for the overrides too
        sim(QStringLiteral("set 3 outlets 255"));
        const QStringList listArgs{QStringLiteral("outlet"),  ip(3),
                                   QStringLiteral("3-4"),     QStringLiteral("cycle"),
                                   QStringLiteral("--delay"), QStringLiteral("1")};
        QCOMPARE(ctl(listArgs).iExit, int(kExitProtected));
        // Another user with a home of its own reads the same list.
        if (::geteuid() == 0) {
            ProgramCopy copy; // the checkout may be closed to that user
            const QString strCtl =
                qEnvironmentVariable("RACKMIND_BINARY_DIR") + QStringLiteral("/cli/rackmind-ctl");
            QVERIFY2(copy.copy(strCtl), qPrintable(copy.errorString()));
            QTemporaryDir dirHome;
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("HOME"), dirHome.path());
            env.insert(QStringLiteral("LD_LIBRARY_PATH"), copy.folder());
            process.setProcessEnvironment(env);
            process.start(QStringLiteral("setpriv"),
                          QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", copy.path(strCtl)} +
                              listArgs);
            QVERIFY(process.waitForFinished(30000));
            QVERIFY2(process.exitCode() == kExitProtected, process.readAllStandardError().constData());
        }
        QCOMPARE(outlets(3), quint8(0xFF));
    }

    // A forced override is on record before anything is switched: in the store when its owner can write
    // it and in the journal when there is one; refused when neither takes it. Root writes as the store's
    // owner: links planted beside the store reach nothing of root's.
    void overrideGoesOnRecord_data()
    {
        QTest::addColumn<int>("iStoreMode"); // 0: root's store; else nobody's, with this mode
        QTest::addColumn<bool>("bJournal");
        QTest::addColumn<bool>("bLinks");
        QTest::addColumn<bool>("bInStore");
        QTest::newRow("store and journal") << 0 << true << false << true;
        QTest::newRow("store alone") << 0 << false << false << true;
        QTest::newRow("the service's store") << 0644 << false << false << true;
        QTest::newRow("read-only store: journal") << 0444 << true << false << false;
        QTest::newRow("neither: refused") << 0444 << false << false << false;
        QTest::newRow("links beside the store") << 0644 << true << true << false;
    }
    void overrideGoesOnRecord()
    {
        QFETCH(int, iStoreMode);
        QFETCH(bool, bJournal);
        QFETCH(bool, bLinks);
        QFETCH(bool, bInStore);
        const bool bRefused = !bInStore && !bJournal;
        if (::geteuid() != 0)
            QSKIP("hands the store to another user");
        QTemporaryDir dir, dirOutside;
        const QString strStore = dir.filePath(QStringLiteral("history.sqlite"));
        const QByteArray baSocket = QFile::encodeName(dir.filePath(QStringLiteral("journal")));
        delete new CHistoryStore(strStore);
        QVERIFY(!iStoreMode || (::chown(QFile::encodeName(dir.path()), 65534, 65534) == 0 &&
                                ::chown(QFile::encodeName(strStore), 65534, 65534) == 0 &&
                                ::chmod(QFile::encodeName(strStore), mode_t(iStoreMode)) == 0));
        for (const char* pszSuffix : {"-journal", "-wal", "-shm"}) {
            QFile::remove(strStore + QLatin1String(pszSuffix));
            QFile file(dirOutside.filePath(QLatin1String(pszSuffix)));
            QVERIFY(!bLinks || (file.open(QIODevice::WriteOnly) && file.write("root's") == 6 &&
                                file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                                QFile::link(file.fileName(), strStore + QLatin1String(pszSuffix))));
        }
        const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, baSocket.constData(), sizeof addr.sun_path - 1);
        QVERIFY(!bJournal || ::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0);
        sim(QStringLiteral("set 3 outlets 255"));
        qputenv("RACKMIND_HISTORY", QFile::encodeName(strStore));
        qputenv("RACKMIND_JOURNAL_SOCKET", baSocket);
        const Run run = ctl({"outlet", ip(3), "3-4", "off", "--force"});
        qunsetenv("RACKMIND_HISTORY");
        qunsetenv("RACKMIND_JOURNAL_SOCKET");
        QCOMPARE(run.iExit, int(bRefused ? kExitProtected : kExitOk));
        QCOMPARE(outlets(3), quint8(bRefused ? 0xFF : 0xF3));
        char ach[4096];
        const ssize_t iRead = ::recv(fd, ach, sizeof ach, MSG_DONTWAIT);
        ::close(fd);
        QCOMPARE(iRead > 0 && QByteArray(ach, int(iRead)).contains("\nRACKMIND_OUTLETS=3\n"), bJournal);
        for (const QFileInfo& info : QDir(dirOutside.path()).entryInfoList(QDir::Files))
            QVERIFY2(info.ownerId() == 0 && info.size() == 6, qPrintable(info.fileName()));
        if (bLinks)
            return; // reading the store as root would open the links
        // The record names whoever forced the outlets, not the account the store was written as.
        QStringList listDetails;
        for (const HistoryEvent& e : CHistoryReader(strStore).events({}))
            if (e.iKind == HistoryEvent::OutletSwitched && e.strSubject == QLatin1String("3"))
                listDetails << e.strDetail;
        QCOMPARE(listDetails,
                 bInStore ? QStringList{QStringLiteral("protection overridden: rackmind-ctl --force by "
                                                       "root (uid 0)")}
                          : QStringList());
    }

    // Root reads a store of another account's (the service's) as that account: nothing planted beside the
    // store reaches a file of root's, and what is printed is what root's own copy of the store gives.
    void rootReadsAnotherAccountsStoreAsIt_data()
    {
        QTest::addColumn<int>("iPlanted"); // 0: nothing; 1: second names of root's file at -wal and
                                           // -shm; 2: a file of root's (one name) at -shm;
                                           // 3: the store itself root's
        QTest::newRow("the service's store") << 0;
        QTest::newRow("hard links at -wal and -shm") << 1;
        QTest::newRow("root's file at -shm") << 2;
        QTest::newRow("root's store in the other's folder: refused") << 3;
    }
    void rootReadsAnotherAccountsStoreAsIt()
    {
        QFETCH(int, iPlanted);
        if (::geteuid() != 0)
            QSKIP("hands the store to another user");
        QTemporaryDir dirOthers, dirRoot;
        const QString strStore = dirOthers.filePath(QStringLiteral("history.sqlite"));
        const QString strCopy = dirRoot.filePath(QStringLiteral("history.sqlite"));
        const QString strMac = QStringLiteral("00:04:A3:00:00:09");
        const qint64 iStart = QDateTime::currentMSecsSinceEpoch() - 60000;
        {
            CHistoryStore store(strStore);
            store.setLabel(strMac, QStringLiteral("rack c"), QString(), QStringLiteral("10.200.1.9"));
            for (int i = 0; i < 3; ++i)
                store.addSample(strMac, {iStart + i * 1000, quint16(231 + i), 120, 24, 41, 0x03, true});
            store.flush();
        }
        QVERIFY(QFile::copy(strStore, strCopy));
        QString strRoots = dirRoot.filePath(QStringLiteral("roots"));
        QFile file(strRoots);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("root's") == 6);
        file.close();
        QVERIFY(::chmod(QFile::encodeName(strRoots).constData(), iPlanted == 2 ? 0644 : 0600) == 0);
        for (const char* pszSuffix : {"-wal", "-shm"}) {
            const QByteArray baBeside = QFile::encodeName(strStore + QLatin1String(pszSuffix));
            QFile::remove(QFile::decodeName(baBeside));
            QVERIFY(iPlanted != 1 ||
                    ::link(QFile::encodeName(strRoots).constData(), baBeside.constData()) == 0);
        }
        if (iPlanted == 2) {
            QVERIFY(QFile::rename(strRoots, strStore + QLatin1String("-shm")));
            strRoots = strStore + QLatin1String("-shm");
            file.setFileName(strRoots);
        }
        QVERIFY((iPlanted == 3 || ::chown(QFile::encodeName(strStore).constData(), 65534, 65534) == 0) &&
                ::chown(QFile::encodeName(dirOthers.path()).constData(), 65534, 65534) == 0 &&
                ::chmod(QFile::encodeName(dirOthers.path()).constData(), 0755) == 0);
        const QString strMonth = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM"));
        // Files are written as root, into root's folder, whoever read the store.
        const auto runs = [&](const QString& strPath, const QString& strTag) {
            qputenv("RACKMIND_HISTORY", QFile::encodeName(strPath));
            const QString strFile = dirRoot.filePath(strTag);
            const QVector<Run> vec = {
                ctl({"history", "rack c", "--csv", "--from", QString::number(iStart / 1000 - 1)}),
                ctl({"report", "--month", strMonth, "--store", strPath}),
                ctl({"report", "--month", strMonth, "--store", strPath, "--csv", strFile + ".csv"}),
                ctl({"report", "--month", strMonth, "--store", strPath, "--pdf", strFile + ".pdf"})};
            qunsetenv("RACKMIND_HISTORY");
            QFile csv(strFile + ".csv"), pdf(strFile + ".pdf");
            return std::make_tuple(vec, csv.open(QIODevice::ReadOnly) ? csv.readAll() : QByteArray(),
                                   pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray());
        };
        const auto others = runs(strStore, QStringLiteral("others"));
        const auto own = runs(strCopy, QStringLiteral("own"));
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(strRoots).constData(), &st) == 0);
        QCOMPARE(st.st_uid, uid_t(0));
        QCOMPARE(st.st_mode & 07777, mode_t(iPlanted == 2 ? 0644 : 0600));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("root's"));
        const QVector<Run>& vecOthers = std::get<0>(others);
        if (iPlanted == 1 || iPlanted == 3) {
            QVERIFY2(vecOthers.first().iExit == kExitUnavailable, qPrintable(vecOthers.first().strErr));
            return;
        }
        if (iPlanted != 0)
            return;
        for (int i = 0; i < vecOthers.size(); ++i) {
            const Run& runOwn = std::get<0>(own).at(i);
            QVERIFY2(runOwn.iExit == kExitOk, qPrintable(runOwn.strErr));
            QVERIFY2(vecOthers.at(i).iExit == kExitOk, qPrintable(vecOthers.at(i).strErr));
            QCOMPARE(vecOthers.at(i).baOut, runOwn.baOut);
        }
        QCOMPARE(std::get<0>(own).first().baOut.count('\n'), 4);
        QVERIFY(!std::get<1>(own).isEmpty());
        QCOMPARE(std::get<1>(others), std::get<1>(own));
        QVERIFY(std::get<2>(others).startsWith("%PDF-") && std::get<2>(others).trimmed().endsWith("%%EOF"));
        QCOMPARE(QFileInfo(dirRoot.filePath(QStringLiteral("others.pdf"))).ownerId(), uint(0));
    }

    // --force past a protection list that cannot be read overrides whatever the list holds: it goes on
    // record like any other override, and where nothing can take the record nothing is switched.
    void forcePastUnreadableListGoesOnRecord()
    {
        QTemporaryDir dir;
        const QString strList = dir.filePath(QStringLiteral("protected-outlets"));
        QVERIFY(QDir().mkdir(strList)); // exists, cannot be read as a list
        qputenv("RACKMIND_PROTECTION_LIST", QFile::encodeName(strList));
        qputenv("RACKMIND_HISTORY", QFile::encodeName(dir.filePath(QStringLiteral("none.sqlite"))));
        qputenv("RACKMIND_JOURNAL_SOCKET", QFile::encodeName(dir.filePath(QStringLiteral("journal"))));
        sim(QStringLiteral("set 3 outlets 255"));
        const Run run = ctl({"outlet", ip(3), "3", "off", "--force"});
        qunsetenv("RACKMIND_HISTORY");
        qunsetenv("RACKMIND_JOURNAL_SOCKET");
        qunsetenv("RACKMIND_PROTECTION_LIST");
        QVERIFY2(run.iExit == kExitProtected, qPrintable(run.strErr));
        QCOMPARE(outlets(3), quint8(0xFF));
    }
};

QTEST_MAIN(TestCtlBed)
#include "tst_ctl_bed.moc"
