#include "common/DeviceText.h"
#include "device/AlarmTracker.h"
#include "device/OutletControl.h"
#include "device/Pdu.h"
#include "device/Rackmind.h"
#include "ui/device/GroupApplyDialog.h"
#include "ui/device/OutletActions.h"
#include "ui/frame/SystemTrayIcon.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTextDocument>
#include <QTreeWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

// Names, positions and outlet names are whatever anyone who can write a unit's settings put there: every
// screen shows them as they read, never as markup, shortcuts or extra lines.
class TestHostileNames : public QObject
{
    Q_OBJECT

    static std::unique_ptr<CPdu> device(const QString& strName, quint8 lastOctet, quint8 macOctet)
    {
        auto pPdu = std::make_unique<CPdu>();
        pPdu->timerEmail.stop();
        storeDeviceText(strName, pPdu->stInfo.name);
        storeDeviceText(QStringLiteral("Row <i>2</i>"), pPdu->stInfo.position);
        const quint8 ip[4] = {10, 200, 1, lastOctet};
        std::copy(ip, ip + 4, pPdu->stInfo.ip);
        const quint8 mac[6] = {0x00, 0x04, 0xA3, 0x00, 0x00, macOctet};
        std::copy(mac, mac + 6, pPdu->stInfo.mac);
        return pPdu;
    }

    static QString voltageAlarmLine(CPdu& pdu)
    {
        ActiveAlarm alarm;
        alarm.pPdu = &pdu;
        alarm.iCondition = CPdu::AlarmVoltageWarn;
        return CSystemTrayIcon::alarmLine(alarm);
    }

private slots:
    void hostile_data()
    {
        QTest::addColumn<QString>("strName");
        QTest::addColumn<QString>("strRead"); // where a line break or control would act, its mark
        // Markup and entities are shown as written.
        for (const char* psz : {"<b>x</b>", "<img src=x>", "A&B", "&", "&lt;b&gt;"})
            QTest::newRow(psz) << psz << psz;
        QTest::newRow("line break") << "x\r\nValue:999" << QStringLiteral("x\uFFFD\uFFFDValue:999");
        QTest::newRow("direction override") << QStringLiteral("\u202Eabc") << QStringLiteral("\uFFFDabc");
    }

    // A new alarm's balloon line keeps the device's texts on that line, as they read.
    void balloonLine_data() { hostile_data(); }
    void balloonLine()
    {
        QFETCH(QString, strName);
        QFETCH(QString, strRead);
        const QString strLine = voltageAlarmLine(*device(strName, 5, 5));
        QVERIFY2(strLine.startsWith(strRead + QStringLiteral(" (Row <i>2</i>, 10.200.1.5)")),
                 qPrintable(strLine));
        QVERIFY(!strLine.contains(QLatin1Char('\n')) && !strLine.contains(QLatin1Char('\r')));
    }

    // The balloon's text goes to a notification service or a label, either of which takes text that looks
    // like markup for markup: no device text may start a tag or an entity there, and the lines read as
    // written.
    void balloonShowsNoMarkup_data() { hostile_data(); }
    void balloonShowsNoMarkup()
    {
        QFETCH(QString, strName);
        const QString strLine = voltageAlarmLine(*device(strName, 5, 5));
        const QString strText = CSystemTrayIcon::balloonText({strLine, strLine});
        QVERIFY2(!Qt::mightBeRichText(strText), qPrintable(strText));
        QXmlStreamReader reader(QStringLiteral("<body>") + strText + QStringLiteral("</body>"));
        QString strRead;
        int iElements = 0;
        while (!reader.atEnd() && !reader.hasError()) {
            reader.readNext();
            iElements += reader.isStartElement() ? 1 : 0;
            if (reader.isCharacters())
                strRead += reader.text();
        }
        QVERIFY2(reader.hasError() || (iElements == 1 && strRead == strText), qPrintable(strText));
        // Seen: the lines as they are, an invisible joiner aside.
        QCOMPARE(QString(strText).remove(QChar(0x2060)), strLine + QLatin1Char('\n') + strLine);
    }

    // An outlet's name in a menu reads as the device holds it: no letter becomes a shortcut, no '&' vanishes.
    void outletMenus_data() { hostile_data(); }
    void outletMenus()
    {
        QFETCH(QString, strName);
        const std::unique_ptr<CPdu> pPdu = device(QStringLiteral("Rack"), 5, 5);
        storeDeviceText(strName, pPdu->stInfo.outletName[2], 10);
        const QString strLabel = COutletActions::outletLabel(pPdu.get(), 3);
        COutletControl control;
        QTreeWidget tree;
        QMenu menu;
        COutletActions::fillRowMenu(&menu, &tree, &control, pPdu.get());
        const QMenu* pProtect = menu.findChild<QMenu*>(QStringLiteral("MenuProtect"));
        QVERIFY(pProtect);
        const QString strText = pProtect->actions().value(2)->text();
        QVERIFY2(QKeySequence::mnemonic(strText).isEmpty(), qPrintable(strText));
        QCOMPARE(QString(strText).replace(QStringLiteral("&&"), QStringLiteral("&")), strLabel);
    }

    // The summary after a group write names each unit so that the operator can tell which one failed:
    // two units reporting one address, or one name, are told apart by their MACs, and names show as they
    // read.
    void groupApplySummary_data() { hostile_data(); }
    void groupApplySummary()
    {
        QFETCH(QString, strName);
        QFETCH(QString, strRead);
        CRackmind registry;
        g_pRackmind = &registry;
        std::vector<std::unique_ptr<CPdu>> vecPdu;
        vecPdu.push_back(device(strName, 5, 1));
        vecPdu.push_back(device(QStringLiteral("Twin"), 7, 2));
        vecPdu.push_back(device(QStringLiteral("Twin"), 7, 3));
        vecPdu.push_back(device(QString(), 9, 4));
        for (const auto& pPdu : vecPdu) {
            pPdu->strGroup = QStringLiteral("Default");
            registry.listPdu << pPdu.get();
        }
        CGroupApplyDialog dialog(nullptr, PduInfo());
        dialog.findChild<QPushButton*>(QStringLiteral("BtnApply"))->click();
        const QLabel* pSummary = dialog.findChild<QLabel*>(QStringLiteral("LabelSummary"));
        const QString strSummary = pSummary->text();
        registry.listPdu.clear();
        g_pRackmind = nullptr;
        QCOMPARE(pSummary->textFormat(), Qt::PlainText);
        for (const QString& strDevice : QStringList{strRead + QStringLiteral(" (10.200.1.5)"),
                                                    QStringLiteral("Twin (10.200.1.7, 00:04:A3:00:00:02)"),
                                                    QStringLiteral("Twin (10.200.1.7, 00:04:A3:00:00:03)"),
                                                    QStringLiteral("10.200.1.9 (00:04:A3:00:00:04)")})
            QVERIFY2(strSummary.contains(strDevice), qPrintable(strSummary));
        QCOMPARE(strSummary.count(QLatin1Char('\n')), 1);
    }
};

QTEST_MAIN(TestHostileNames)
#include "tst_hostilenames.moc"
