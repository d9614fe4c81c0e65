#include "SimConsole.h"

#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

double amps(const QByteArray& ba, int iOffset)
{
    return quint8(ba[iOffset]) + 256 * quint8(ba[iOffset + 1]) + quint8(ba[iOffset + 2]) / 10.0;
}

QByteArray readFile(const QString& strPath)
{
    QFile file(strPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool connectControl(QLocalSocket& socket, const QString& strPath)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 10000) {
        socket.abort();
        socket.connectToServer(strPath);
        if (socket.waitForConnected(100))
            return true;
        QTest::qWait(50);
    }
    return false;
}

// One status query to a device; its reply, or nothing within 100 ms.
QByteArray statusOf(SimConsole& console, const QString& strAddr)
{
    console.sendTo(QByteArray::fromHex("A7400600EC"), strAddr);
    const QList<QNetworkDatagram> list = console.collect(1, 100, 0);
    return list.isEmpty() ? QByteArray() : list.first().data();
}

} // namespace

// The pdusim program as the demo and manual work use it: started in the device namespace, driven
// through its control socket, stdin and scenario files.
class TestPdusim : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    bool startSim(QProcess& process, const QStringList& listArgs)
    {
        process.setProgram(QStringLiteral(PDUSIM_PROGRAM));
        process.setArguments(
            QStringList{QStringLiteral("--netns"), qEnvironmentVariable("RACKMIND_BED_DEVICE_NS")} +
            listArgs);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        return process.waitForStarted();
    }
    QStringList ask(QLocalSocket& socket, const QString& strLine)
    {
        socket.write((strLine + QLatin1Char('\n')).toUtf8());
        QStringList listOut;
        while (listOut.isEmpty() || (listOut.last() != QLatin1String("ok") &&
                                     !listOut.last().startsWith(QLatin1String("error")))) {
            if (!socket.canReadLine() && !socket.waitForReadyRead(5000))
                break;
            while (socket.canReadLine())
                listOut << QString::fromUtf8(socket.readLine()).trimmed();
        }
        return listOut;
    }

private slots:
    void demoRack()
    {
        const QString strControl = m_dir.filePath(QStringLiteral("demo.ctl"));
        const QString strRecord = m_dir.filePath(QStringLiteral("demo.rec"));
        QProcess process;
        QVERIFY(startSim(process, {"--demo", "--control", strControl, "--record", strRecord}));
        QLocalSocket socket;
        QVERIFY(connectControl(socket, strControl));

        const QStringList listDevices = ask(socket, QStringLiteral("list"));
        QCOMPARE(listDevices.size(), 13);
        QVERIFY(
            listDevices[0].startsWith(QLatin1String("1 10.200.1.1:51230 \"Core-SW-A\" \"Row A Rack 01\"")));
        QVERIFY(listDevices[11].startsWith(QLatin1String("12 10.200.1.12:6000 \"Lab-Bench\"")));
        QSet<QString> setNames;
        for (const QString& str : listDevices.mid(0, 12))
            setNames.insert(str.section(QLatin1Char('"'), 1, 1));
        QCOMPARE(setNames.size(), 12);

        SimConsole console;
        QVERIFY2(console.open(), qPrintable(console.errorString()));
        console.pollAll(51230);
        console.pollAll(6000);
        const QList<QNetworkDatagram> list = console.collect(72);
        QCOMPARE(list.size(), 72);
        QSet<QString> setProducts;
        QByteArray baStatus5, baThresholds5;
        int iFrom6000 = 0;
        for (const QNetworkDatagram& nd : list) {
            const QByteArray ba = nd.data();
            if (nd.senderPort() == 6000) {
                ++iFrom6000;
                QCOMPARE(nd.senderAddress().toString(), QStringLiteral("10.200.1.12"));
            }
            if (ba[2] == 0x02)
                setProducts.insert(QString::fromLatin1(ba.mid(4, 16)));
            if (nd.senderAddress().toString() == QLatin1String("10.200.1.5")) {
                if (ba[2] == 0x06)
                    baStatus5 = ba;
                if (ba[2] == 0x08)
                    baThresholds5 = ba;
            }
        }
        QCOMPARE(iFrom6000, 6);
        QVERIFY(setProducts.size() >= 3);
        // Compute-01 draws close to its warning limit, but below it.
        const double dCurrent = amps(baStatus5, 6);
        const double dWarn = amps(baThresholds5, 4);
        QVERIFY2(dCurrent >= 0.9 * dWarn && dCurrent < dWarn,
                 qPrintable(QStringLiteral("%1 of %2").arg(dCurrent).arg(dWarn)));

        // Everything received is in the record file.
        QTRY_VERIFY(readFile(strRecord).count('\n') >= 72);
        const QString strFirst = QString::fromLatin1(readFile(strRecord).split('\n').first());
        QVERIFY2(
            strFirst.contains(QLatin1String(" 10.200.0.1:51230 -> 255.255.255.255:51230 A7 40 01 00 E8")),
            qPrintable(strFirst));

        process.terminate();
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!QFile::exists(strControl));
    }

    void commandsOnStdinAndScenarios()
    {
        const QString strScenario = m_dir.filePath(QStringLiteral("late.scn"));
        QFile file(strScenario);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# device 2 falls silent a moment after the start\nset 2 voltage 251\nat 0.5 silent 2\n");
        file.close();
        QProcess process;
        QVERIFY(startSim(process, {"--devices", "3", "--scenario", strScenario}));
        SimConsole console;
        QVERIFY2(console.open(), qPrintable(console.errorString()));
        QByteArray baStatus;
        QTRY_VERIFY_WITH_TIMEOUT(!(baStatus = statusOf(console, QStringLiteral("10.200.1.2"))).isEmpty(),
                                 10000);
        QCOMPARE(quint8(baStatus[4]) + 256 * quint8(baStatus[5]), 251);
        QTRY_VERIFY_WITH_TIMEOUT(statusOf(console, QStringLiteral("10.200.1.2")).isEmpty(), 5000);

        process.write("resume 2\nset 2 voltage 219\n");
        QTRY_COMPARE_WITH_TIMEOUT(
            quint8(statusOf(console, QStringLiteral("10.200.1.2")).append(QByteArray(5, '\0')).at(4)),
            quint8(219), 5000);
        process.write("show 9\nquit\n");
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 0);
        const QByteArray baOut = process.readAllStandardOutput();
        QVERIFY2(baOut.startsWith("ok\nok\nerror: no such device: 9 (there are 3)\nok\n"), baOut.constData());
    }

    void badScenarioStopsTheStart()
    {
        const QString strScenario = m_dir.filePath(QStringLiteral("bad.scn"));
        QFile file(strScenario);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("set 1 voltage 230\nset 1 wattage 5\n");
        file.close();
        QProcess process;
        process.setProgram(QStringLiteral(PDUSIM_PROGRAM));
        process.setArguments({"--netns", qEnvironmentVariable("RACKMIND_BED_DEVICE_NS"), "--devices", "1",
                              "--scenario", strScenario});
        process.start();
        QVERIFY(process.waitForFinished(5000));
        QCOMPARE(process.exitCode(), 1);
        QVERIFY(process.readAllStandardError().contains("bad.scn:2: error: unknown field \"wattage\""));
    }
};

QTEST_GUILESS_MAIN(TestPdusim)
#include "tst_pdusim.moc"
