#include "cli/CtlLink.h"

#include "cli/CtlTarget.h"
#include "common/DeviceText.h"
#include "device/Protocol.h"

#include <QtTest>

#include <cstring>

// How rackmind-ctl reads what an operator types: outlet lists and the PDU meant.
class TestCtlTarget : public QObject
{
    Q_OBJECT

    static CtlPdu pdu(const char* pszSender, const char* pszReported, const char* pszMac, const char* pszName)
    {
        CtlPdu p;
        p.uiSender = QHostAddress(QLatin1String(pszSender)).toIPv4Address();
        ipv4FromUint(QHostAddress(QLatin1String(pszReported)).toIPv4Address(), p.info.ip);
        memcpy(p.info.mac, QByteArray::fromHex(pszMac).constData(), 6);
        storeDeviceText(QLatin1String(pszName), p.info.name, sizeof p.info.name);
        return p;
    }

private slots:
    void outletLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QList<int>>("outlets");
        QTest::newRow("one") << "4" << true << QList<int>{4};
        QTest::newRow("list and range, sorted, once") << "5,1,3-5" << true << QList<int>{1, 3, 4, 5};
        QTest::newRow("all") << "all" << true << QList<int>{1, 2, 3, 4, 5, 6, 7, 8};
        QTest::newRow("one-outlet range") << "8-8" << true << QList<int>{8};
        for (const char* psz : {"", "0", "9", "5-3", "1,,2", "1-", "all,1", "1 ,2", "x"})
            QTest::newRow(psz) << QString::fromLatin1(psz) << false << QList<int>{};
    }
    void outletLists()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(QList<int>, outlets);
        QList<int> list;
        QCOMPARE(parseOutletList(text, &list), ok);
        if (ok)
            QCOMPARE(list, outlets);
    }

    void pduMeant_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("found"); // index into the rack, -1 for none
        QTest::addColumn<int>("matches");
        QTest::newRow("sender before another PDU's reported address") << "10.0.0.1" << 1 << 0;
        QTest::newRow("reported address") << "192.168.0.100" << 1 << 0;
        QTest::newRow("MAC with colons, lower case") << "aa:bb:cc:00:00:02" << 1 << 0;
        QTest::newRow("MAC with dashes") << "AA-BB-CC-00-00-03" << 2 << 0;
        QTest::newRow("unique name") << "top" << 0 << 0;
        QTest::newRow("twelve hex digits that name a PDU") << "BEEFBEEFBEEF" << 3 << 0;
        QTest::newRow("shared name") << "rack-a" << -1 << 2;
        QTest::newRow("nobody") << "10.9.9.9" << -1 << 0;
        QTest::newRow("reported address two PDUs share") << "192.168.0.200" << -1 << 2;
        QTest::newRow("MAC two PDUs share") << "aabbcc000005" << -1 << 2;
        QTest::newRow("MAC of digits only, as the protection list writes it") << "001122334455" << 6 << 0;
    }
    void pduMeant()
    {
        QFETCH(QString, text);
        QFETCH(int, found);
        QFETCH(int, matches);
        // The first PDU still reports the address the second answers from; the second reports the
        // factory address.
        const CtlPdu rack[] = {pdu("10.0.0.2", "10.0.0.1", "AABBCC000001", "top"),
                               pdu("10.0.0.1", "192.168.0.100", "AABBCC000002", "rack-a"),
                               pdu("10.0.0.3", "10.0.0.3", "AABBCC000003", "rack-a"),
                               pdu("10.0.0.4", "10.0.0.4", "AABBCC000004", "BEEFBEEFBEEF"),
                               pdu("10.0.0.5", "192.168.0.200", "AABBCC000005", "x"),
                               pdu("10.0.0.6", "192.168.0.200", "AABBCC000005", "y"),
                               pdu("10.0.0.7", "10.0.0.7", "001122334455", "z")};
        QList<const CtlPdu*> list;
        for (const CtlPdu& p : rack)
            list.append(&p);
        QStringList listMatches;
        const CtlPdu* pFound = resolvePdu(list, text, &listMatches);
        QCOMPARE(pFound, found < 0 ? nullptr : &rack[found]);
        QCOMPARE(listMatches.size(), matches);
    }
};

QTEST_GUILESS_MAIN(TestCtlTarget)
#include "tst_ctltarget.moc"
