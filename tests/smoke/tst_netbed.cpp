#include <QNetworkInterface>
#include <QtTest>

// The bed must hand every networked test a private world: its own interfaces only, none of the host's.
class TestNetbed : public QObject
{
    Q_OBJECT
private slots:
    void onlyBedInterfaces()
    {
        QVERIFY(qEnvironmentVariableIsSet("RACKMIND_BED"));
        const QStringList expected = qEnvironmentVariable("RACKMIND_BED_CONSOLE_ADDRS").split(QLatin1Char(' '));
        QStringList seen;
        for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
            if (iface.flags() & QNetworkInterface::IsLoopBack)
                continue;
            for (const QNetworkAddressEntry& entry : iface.addressEntries())
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
                    seen << entry.ip().toString();
        }
        seen.sort();
        QStringList want = expected;
        want.sort();
        QCOMPARE(seen, want);
    }

    void settingsStoreIsPrivate()
    {
        QVERIFY(QDir::homePath().contains(QLatin1String("test-home")));
        QVERIFY(QDir::currentPath().contains(QLatin1String("test-home")));
    }
};

QTEST_GUILESS_MAIN(TestNetbed)
#include "tst_netbed.moc"
