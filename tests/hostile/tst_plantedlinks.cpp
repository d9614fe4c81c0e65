#include "device/ProtectionList.h"
#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "tests/common/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Root's programs open files in folders another account owns (the service's state folder holds the
// protection list and the service's store). Whatever that account plants there is refused, never
// followed: a file of root's outside keeps its content, owner and mode, and the operator reads why.
class TestPlantedLinks : public QObject
{
    Q_OBJECT

    enum Planted
    {
        Link,       // a symbolic link to root's file outside
        HardLink,   // a second name of root's file outside (a kernel that lets anyone make them)
        Fifo,       // a named pipe nobody writes to
        OthersFile, // a regular file of the folder's owner
        Missing,    // nothing at all
        RootsFile,  // a regular file of root's: used as it is
    };
    enum Operation
    {
        Protect,    // protect an outlet, as the console or rackmind-ctl as root does
        ReadList,   // read the list before switching off
        ReadStore,  // rackmind-ctl history as root
        WriteStore, // a program as root writing the store
    };

    static constexpr uid_t kOther = 65534;

    struct State
    {
        QByteArray baContent;
        uid_t uid = 0;
        mode_t mode = 0;
    };
    static State stateOf(const QString& strPath)
    {
        struct stat st;
        QFile file(strPath);
        if (::lstat(QFile::encodeName(strPath).constData(), &st) != 0 || !file.open(QIODevice::ReadOnly))
            return {};
        return {file.readAll(), st.st_uid, st.st_mode};
    }

private slots:
    void plantedFileIsRefused_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<int>("iPlanted");
        QTest::addColumn<int>("iOperation");
        QTest::addColumn<bool>("bRefused");
        const QString strList = QStringLiteral("protected-outlets");
        const QString strStore = QStringLiteral("history.sqlite");
        const auto row = [](const char* pszName, const QString& strFile, Planted planted, Operation op,
                            bool bRefused = true) {
            QTest::newRow(pszName) << strFile << int(planted) << int(op) << bRefused;
        };
        row("list link: protect", strList, Link, Protect);
        row("list link: read", strList, Link, ReadList);
        row("list hard link: protect", strList, HardLink, Protect);
        row("list fifo: read", strList, Fifo, ReadList);
        row("list of the folder's owner: protect", strList, OthersFile, Protect);
        row("list of the folder's owner: read", strList, OthersFile, ReadList);
        row("list missing from another's folder: read", strList, Missing, ReadList);
        row("list of root's: protect", strList, RootsFile, Protect, false);
        row("store link: read", strStore, Link, ReadStore);
        row("store link: write", strStore, Link, WriteStore);
        row("store hard link: write", strStore, HardLink, WriteStore);
        row("store fifo: read", strStore, Fifo, ReadStore);
        row("wal link: read", strStore + QLatin1String("-wal"), Link, ReadStore);
        row("shm link: write", strStore + QLatin1String("-shm"), Link, WriteStore);
        row("journal link: write", strStore + QLatin1String("-journal"), Link, WriteStore);
        row("store of the folder's owner: read", strStore, Missing, ReadStore, false);
    }
    void plantedFileIsRefused()
    {
        QFETCH(QString, strName);
        QFETCH(int, iPlanted);
        QFETCH(int, iOperation);
        QFETCH(bool, bRefused);
        if (::geteuid() != 0)
            QSKIP("plants files in a folder of another account");
        QTemporaryDir dirOthers, dirOutside;
        const QString strListPath = dirOthers.filePath(QStringLiteral("protected-outlets"));
        const QString strStorePath = dirOthers.filePath(QStringLiteral("history.sqlite"));
        const bool bStore = iOperation == ReadStore || iOperation == WriteStore;
        const QString strMac = QStringLiteral("0A0B0C0D0E0F");

        // Root's file outside: a store of root's own beside a store, a list beside a list.
        const QString strTarget = dirOutside.filePath(QStringLiteral("roots"));
        if (bStore) {
            CHistoryStore store(strTarget);
            store.setLabel(strMac, QStringLiteral("root's PDU"), QString(), QStringLiteral("10.0.0.1"));
            store.flush();
            QVERIFY(store.isAvailable());
        } else {
            QVERIFY(writeFile(strTarget, "0A0B0C0D0E0F/1\n"));
        }
        QVERIFY(::chmod(QFile::encodeName(strTarget).constData(), 0600) == 0);
        // The folder's owner keeps a store of its own there when a file beside the store is planted.
        const QString strPlanted = dirOthers.filePath(strName);
        if (bStore && (strPlanted != strStorePath || iPlanted == Missing)) {
            CHistoryStore store(strStorePath);
            store.setLabel(strMac, QStringLiteral("its PDU"), QString(), QStringLiteral("10.0.0.2"));
        }
        for (const QString& strSuffix : {QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(strStorePath + strSuffix);
        const QByteArray baPlanted = QFile::encodeName(strPlanted);
        if (iPlanted == Link || iPlanted == HardLink)
            QVERIFY((iPlanted == Link ? ::symlink : ::link)(QFile::encodeName(strTarget).constData(),
                                                            baPlanted.constData()) == 0);
        else if (iPlanted == Fifo)
            QVERIFY(::mkfifo(baPlanted.constData(), 0666) == 0);
        else if (iPlanted != Missing)
            QVERIFY(writeFile(strPlanted, "0A0B0C0D0E0F/2\n"));
        for (const QFileInfo& info : QDir(dirOthers.path()).entryInfoList(QDir::Files | QDir::System))
            if (info.filePath() != strPlanted || iPlanted == Fifo || iPlanted == OthersFile)
                QVERIFY(::lchown(QFile::encodeName(info.filePath()).constData(), kOther, kOther) == 0);
        QVERIFY(::chown(QFile::encodeName(dirOthers.path()).constData(), kOther, kOther) == 0);
        QVERIFY(::chmod(QFile::encodeName(dirOthers.path()).constData(), 0755) == 0);
        const State before = stateOf(strTarget);

        QString strWhy;
        bool bDone = false;
        switch (Operation(iOperation)) {
        case Protect:
            bDone = CProtectionList(strListPath)
                        .change([](QSet<QString>& set) { set.insert(QStringLiteral("0A0B0C0D0E0F/3")); },
                                &strWhy);
            break;
        case ReadList:
            bDone = CProtectionList(strListPath).load(&strWhy);
            break;
        case ReadStore: {
            CHistoryReader reader(strStorePath);
            const auto devices = reader.devices();
            strWhy = reader.error();
            bDone = strWhy.isEmpty();
            for (const CHistoryReader::Device& device : devices)
                QVERIFY2(device.strName != QLatin1String("root's PDU"), "root's store was read");
            break;
        }
        case WriteStore: {
            CHistoryStore store(strStorePath);
            store.record(HistoryEvent::OutletSwitched, strMac, QStringLiteral("PDU"), QStringLiteral("1"));
            store.flush();
            strWhy = store.unavailableReason();
            bDone = store.isAvailable();
            break;
        }
        }
        qInfo().noquote() << (bRefused ? "refused:" : "used:") << strWhy;
        QVERIFY2(bDone != bRefused, qPrintable(strWhy));
        // The operator is told which file was refused.
        QVERIFY2(!bRefused || strWhy.contains(strName), qPrintable(strWhy));
        const State after = stateOf(strTarget);
        QCOMPARE(after.baContent, before.baContent);
        QCOMPARE(after.uid, uid_t(0));
        QCOMPARE(after.mode, before.mode);
    }
};

QTEST_MAIN(TestPlantedLinks)
#include "tst_plantedlinks.moc"
