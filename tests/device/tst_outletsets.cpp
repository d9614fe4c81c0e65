#include "device/OutletSets.h"
#include "tests/common/TestFiles.h"

#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using StepRow = std::tuple<QByteArray, bool>;
Q_DECLARE_METATYPE(StepRow)

namespace {

OutletRef ref(const char* pszText)
{
    OutletRef r;
    OutletRef::parse(QString::fromLatin1(pszText), &r);
    return r;
}

} // namespace

// The sets file: what it accepts, that a broken one is reported, and writers that never lose a change.
class TestOutletSets : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_strPath;

    static bool addSet(COutletSets& sets, const QString& strName, const QList<OutletRef>& list, QString* pWhy)
    {
        return sets.change(
            [&](OutletSetsData& data, QString*) {
                data.mapSets.insert(strName, OutletSet{strName, list});
                return true;
            },
            pWhy);
    }

private slots:
    void init()
    {
        m_strPath = m_dir.filePath(QStringLiteral("outlet-sets"));
        QDir(m_strPath).removeRecursively();
        QFile::remove(m_strPath);
    }

    void names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("valid");
        for (const char* psz : {"db-07", "row_3.top", "A@b_c.1", "7"})
            QTest::newRow(psz) << QString::fromLatin1(psz) << true;
        const QString strLong(COutletSets::MaxNameLength + 1, QLatin1Char('a'));
        for (const QString& str :
             {QString(), QStringLiteral("-x"), QStringLiteral("two words"), QStringLiteral("a\tb"),
              QStringLiteral("q\"uote"), QStringLiteral("back\\"), QStringLiteral("list"),
              QStringLiteral("Remove"), QStringLiteral("db+7"), QStringLiteral("db:7"),
              QStringLiteral("caf\u00e9"), QStringLiteral("a\nb"), strLong})
            QTest::newRow(qPrintable(QStringLiteral("bad ") + str.left(8))) << str << false;
    }
    void names()
    {
        QFETCH(QString, name);
        QFETCH(bool, valid);
        QCOMPARE(COutletSets::isValidName(name), valid);
    }

    void outletText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("parsed"); // empty: refused
        QTest::newRow("bare") << "025044000001/3"
                              << "025044000001/3";
        QTest::newRow("colons, lower case") << "02:50:44:0a:00:01/8"
                                            << "0250440A0001/8";
        QTest::newRow("dashes, spaces") << " 02-50-44-00-00-01 / 2"
                                        << "025044000001/2";
        QTest::newRow("short MAC") << "0250440001/3"
                                   << "";
        QTest::newRow("not hex") << "02504400000G/3"
                                 << "";
        QTest::newRow("no outlet") << "025044000001/"
                                   << "";
        QTest::newRow("no slash") << "025044000001"
                                  << "";
    }
    void outletText()
    {
        QFETCH(QString, text);
        QFETCH(QString, parsed);
        OutletRef r;
        QCOMPARE(OutletRef::parse(text, &r), !parsed.isEmpty());
        if (!parsed.isEmpty())
            QCOMPARE(r.text(), parsed);
    }

    // Each row changes a file holding set "a" (two outlets) and sequence "up" (set a on, wait 5).
    void changes_data()
    {
        QTest::addColumn<QByteArray>("what");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("add set") << QByteArray("set b 025044000003/1") << true;
        QTest::newRow("outlet 0") << QByteArray("set b 025044000003/0") << false;
        QTest::newRow("outlet 9") << QByteArray("set b 025044000003/9") << false;
        QTest::newRow("same outlet twice") << QByteArray("set b 025044000003/1 025044000003/1") << false;
        QTest::newRow("empty set") << QByteArray("set b") << false;
        QTest::newRow("bad name") << QByteArray("set list 025044000003/1") << false;
        QTest::newRow("remove used set") << QByteArray("remove a") << false;
        QTest::newRow("remove set after its sequence") << QByteArray("remove up a") << true;
        QTest::newRow("step of a missing set") << QByteArray("step b 0") << false;
        QTest::newRow("wait too long") << QByteArray("step a 3601") << false;
        QTest::newRow("wait negative") << QByteArray("step a -1") << false;
        QTest::newRow("longest wait") << QByteArray("step a 3600") << true;
    }
    void changes()
    {
        QFETCH(QByteArray, what);
        QFETCH(bool, accepted);
        QVERIFY(writeFile(m_strPath, QByteArray())); // ours, whatever group rackmind is meanwhile
        COutletSets sets(m_strPath);
        QString strWhy;
        QVERIFY2(addSet(sets, QStringLiteral("a"), {ref("025044000001/3"), ref("025044000002/3")}, &strWhy),
                 qPrintable(strWhy));
        QVERIFY(sets.change([](OutletSetsData& data, QString*) {
            data.mapSequences.insert(
                QStringLiteral("up"),
                OutletSequence{QStringLiteral("up"), {SequenceStep{QStringLiteral("a"), {}, true, 5}}});
            return true;
        }));
        const QByteArray baBefore = readFile(m_strPath);
        const QList<QByteArray> listWords = what.split(' ');
        const bool bDone = sets.change(
            [&](OutletSetsData& data, QString*) {
                const QString strName = QString::fromLatin1(listWords.at(1));
                if (listWords.first() == "remove") {
                    for (const QByteArray& ba : listWords.mid(1)) {
                        data.mapSequences.remove(QString::fromLatin1(ba));
                        data.mapSets.remove(QString::fromLatin1(ba));
                    }
                } else if (listWords.first() == "step") {
                    data.mapSequences[QStringLiteral("up")].listSteps.append(
                        SequenceStep{strName, {}, false, listWords.at(2).toInt()});
                } else {
                    OutletSet set{strName, {}};
                    for (const QByteArray& ba : listWords.mid(2))
                        set.listOutlets << ref(ba.constData());
                    data.mapSets.insert(strName, set);
                }
                return true;
            },
            &strWhy);
        QCOMPARE(bDone, accepted);
        QCOMPARE(strWhy.isEmpty(), accepted);
        if (!accepted)
            QCOMPARE(readFile(m_strPath), baBefore);
        COutletSets reread(m_strPath);
        QVERIFY(reread.load());
        QCOMPARE(reread.data().mapSets.keys(), sets.data().mapSets.keys());
        QCOMPARE(reread.data().mapSequences.value(QStringLiteral("up")).listSteps.size(),
                 sets.data().mapSequences.value(QStringLiteral("up")).listSteps.size());
        QCOMPARE(reread.outletsOf(SequenceStep{QStringLiteral("a"), {}, true, 0}).size(),
                 reread.data().mapSets.contains(QStringLiteral("a")) ? 2 : 0);
    }

    // A file that cannot be read or understood is an error, never an empty list, and is never written over.
    void brokenFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("cut short") << QByteArray("{\"sets\": [{\"name\": \"a\", \"outl");
        QTest::newRow("not an object") << QByteArray("[]");
        QTest::newRow("outlets not a list") << QByteArray("{\"sets\": [{\"name\": \"a\", \"outlets\": 3}]}");
        QTest::newRow("bad outlet") << QByteArray("{\"sets\": [{\"name\": \"a\", \"outlets\": [\"x/1\"]}]}");
        QTest::newRow("same name twice")
            << QByteArray("{\"sets\": [{\"name\": \"a\", \"outlets\": [\"025044000001/1\"]},"
                          "{\"name\": \"a\", \"outlets\": [\"025044000001/2\"]}]}");
        QTest::newRow("step without on") << QByteArray("{\"sequences\": [{\"name\": \"s\", \"steps\": "
                                                       "[{\"outlet\": \"025044000001/1\", \"wait\": 1}]}]}");
        QTest::newRow("step with set and outlet")
            << QByteArray("{\"sets\": [{\"name\": \"a\", \"outlets\": [\"025044000001/1\"]}], \"sequences\": "
                          "[{\"name\": \"s\", \"steps\": [{\"set\": \"a\", \"outlet\": \"025044000001/1\", "
                          "\"on\": true, \"wait\": 1}]}]}");
        QTest::newRow("old tail after a cut-short write")
            << QByteArray("{\"sets\": []}\n\"outlets\": []}]}\n");
        QTest::newRow("a folder") << QByteArray();
    }
    void brokenFile()
    {
        QFETCH(QByteArray, text);
        if (text.isEmpty())
            QVERIFY(QDir().mkdir(m_strPath));
        else
            QVERIFY(writeFile(m_strPath, text));
        COutletSets sets(m_strPath);
        QString strWhy;
        QVERIFY(!sets.load(&strWhy));
        QVERIFY(strWhy.contains(m_strPath));
        QVERIFY(!addSet(sets, QStringLiteral("b"), {ref("025044000001/1")}, &strWhy));
        QCOMPARE(readFile(m_strPath), text);
        QVERIFY(sets.data().mapSets.isEmpty());
    }

    // Anyone who can read the file can lock it: readers and writers then give up with a reason, never hang.
    void heldLockIsReported()
    {
        QVERIFY(writeFile(m_strPath, QByteArray("{}")));
        const int fd = ::open(QFile::encodeName(m_strPath).constData(), O_RDONLY);
        QVERIFY(fd >= 0 && ::flock(fd, LOCK_EX) == 0);
        COutletSets sets(m_strPath);
        QString strRead, strChange;
        const bool bRead = sets.load(&strRead);
        const bool bChanged = addSet(sets, QStringLiteral("b"), {ref("025044000001/1")}, &strChange);
        ::close(fd);
        QVERIFY(!bRead && strRead.contains(m_strPath));
        QVERIFY(!bChanged && strChange.contains(m_strPath));
        QVERIFY(sets.load());
    }

    // A file grown huge (a runaway script, a full disk's garbage) is refused with a reason by every
    // program, the service included, rather than read whole into memory until it aborts.
    void hugeFileIsRefused()
    {
        QFile file(m_strPath);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(3LL << 30)); // sparse: costs no disk
        file.close();
        COutletSets sets(m_strPath);
        QString strWhy;
        QVERIFY(!sets.load(&strWhy));
        QVERIFY2(strWhy.contains(m_strPath), qPrintable(strWhy));
        QVERIFY(!addSet(sets, QStringLiteral("b"), {ref("025044000001/1")}, &strWhy));
        QCOMPARE(QFileInfo(m_strPath).size(), 3LL << 30);
    }

    void missingFileIsEmpty()
    {
        COutletSets sets(m_strPath);
        QVERIFY(sets.load());
        QVERIFY(sets.data().mapSets.isEmpty() && sets.data().mapSequences.isEmpty());
    }

    // Two programs adding sets at once: every set of both is in the file afterwards.
    void twoWritersLoseNothing()
    {
        const int kEach = 40;
        QVERIFY(writeFile(m_strPath, QByteArray()));
        QList<pid_t> listPids;
        for (const char* pszWho : {"p", "q"}) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                COutletSets sets(m_strPath);
                bool bOk = true;
                for (int i = 0; i < kEach; ++i)
                    bOk = bOk && addSet(sets, QStringLiteral("%1%2").arg(QLatin1String(pszWho)).arg(i),
                                        {ref("025044000001/1")}, nullptr);
                ::_exit(bOk ? 0 : 1);
            }
            QVERIFY(pid > 0);
            listPids << pid;
        }
        for (pid_t pid : listPids) {
            int iStatus = 0;
            QCOMPARE(::waitpid(pid, &iStatus, 0), pid);
            QVERIFY(WIFEXITED(iStatus) && WEXITSTATUS(iStatus) == 0);
        }
        COutletSets sets(m_strPath);
        QVERIFY(sets.load());
        QCOMPARE(sets.data().mapSets.size(), 2 * kEach);
    }
};

QTEST_GUILESS_MAIN(TestOutletSets)
#include "tst_outletsets.moc"
