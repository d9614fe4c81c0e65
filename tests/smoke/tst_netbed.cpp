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
        QStringList expected = qEnvironmentVariable("RACKMIND_BED_CONSOLE_ADDRS").split(QLatin1Char(' '));
        QStringList seen;
        for (const QHostAddress& address : QNetworkInterface::allAddresses())
            if (!address.isLoopback() && address.protocol() == QAbstractSocket::IPv4Protocol)
                seen << address.toString();
        seen.sort();
        expected.sort();
        QCOMPARE(seen, expected);
    }
};

QTEST_GUILESS_MAIN(TestNetbed)
#include "tst_netbed.moc"
