#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "ui/device/DeviceConfigWidget.h"
#include "ui/device/PduLookup.h"
#include "ui/frame/SubTab.h"

#include <QNetworkDatagram>
#include <QtTest>
#include <QtWidgets>

#include <cstring>
#include <memory>

namespace {

QByteArray padded(const char* pszText, int iWidth)
{
    return QByteArray(pszText).leftJustified(iWidth, '\0', true);
}

// Payloads as the device at 10.200.1.<lastOctet> reports them: every configurable field differs from
// the factory defaults but the port; the device at .2 reports a current warning limit of 0.0 A.
PduInfo reportedDevice(char lastOctet)
{
    PduInfo info;
    const auto hex = [](const char* pszHex) { return QByteArray::fromHex(pszHex); };
    decodeNetworkPayload(hex("0AC801") + lastOctet + hex("FFFF0000 0AC800FE 0004A30000") + lastOctet +
                             hex("1EC8") + padded("Rack", 16) + padded("RowB", 16),
                         info);
    decodeThresholdsPayload(hex(lastOctet == 2 ? "000000" : "080000") + hex("100000 F500 0401 02 2D 55"),
                            info);
    decodeOutletDelaysPayload(hex("0102030405060708 1415161718191A1B"), info);
    QByteArray baNames;
    for (char c = '1'; c <= '8'; ++c)
        baNames += QByteArray("Srv").append(c).leftJustified(10, '\0');
    decodeOutletNamesPayload(baNames, info);
    return info;
}

// Rows of the editor tables; each case names the fields where it takes its row apart.
using EditorWrite = std::tuple<QString, int, QString, int, int, QByteArray>;
using FieldAsRead = std::tuple<int, int, QByteArray, QString, QString>;
using TypedText = std::tuple<QString, int, int, QString, bool, QString, QByteArray>;
} // namespace
Q_DECLARE_METATYPE(EditorWrite)
Q_DECLARE_METATYPE(FieldAsRead)
Q_DECLARE_METATYPE(TypedText)

using EntryRow = std::tuple<QString, QString, QString>;
Q_DECLARE_METATYPE(EntryRow)

class TestDeviceConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dirWork;
    std::unique_ptr<CRackmind> m_pRegistry;
    std::unique_ptr<CDeviceConfigWidget> m_pPage;
    QTreeWidget m_tree;
    QTreeWidgetItem* m_pCurrent = nullptr;
    QList<QNetworkDatagram> m_listSent;
    QStringList m_listWarnings;

    void feed(const PduInfo& info, quint8 cmd) { reply(info, cmd, payloadFor(cmd, info)); }
    // A reply of the device at info's address.
    void reply(const PduInfo& info, quint8 cmd, const QByteArray& baPayload)
    {
        QNetworkDatagram datagram(buildFrame(kFrameReply, cmd, baPayload));
        datagram.setSender(QHostAddress(ipv4ToUint(info.ip)), quint16(info.udpPort));
        m_pRegistry->slotRcvData(datagram);
    }
    // Row iRow of the tree becomes current; -1 is the group row.
    void select(int iRow)
    {
        QTreeWidgetItem* pItem = iRow < 0 ? m_tree.topLevelItem(0) : m_tree.topLevelItem(0)->child(iRow);
        m_pPage->slotCurrentPduChanged(pItem, std::exchange(m_pCurrent, pItem));
    }
    template <typename T = QWidget> T* editor(const QString& strName, int iIndex = 0) const
    {
        return m_pPage->findChildren<T*>(strName).value(iIndex);
    }
    QLineEdit* lineEdit(const char* pszName) const { return editor<QLineEdit>(QLatin1String(pszName)); }
    QSpinBox* spin(const char* pszName) const { return editor<QSpinBox>(QLatin1String(pszName)); }
    QPushButton* button(const char* pszName) const { return editor<QPushButton>(QLatin1String(pszName)); }
    void clickOk() { QTest::mouseClick(button("BtnOk"), Qt::LeftButton); }
    void invoke(const char* pszSlot) { QVERIFY(QMetaObject::invokeMethod(m_pPage.get(), pszSlot)); }
    bool buttonsShown() const { return button("BtnOk")->isVisible() && button("BtnCancel")->isVisible(); }
    CPdu* device(int iRow) const { return m_pRegistry->listPdu.at(iRow); }

private slots:
    void init()
    {
        QVERIFY(QDir::setCurrent(m_dirWork.path()));
        m_pRegistry = std::make_unique<CRackmind>();
        g_pRackmind = m_pRegistry.get();
        connect(m_pRegistry.get(), &CRackmind::signalSndData, this,
                [this](bool& bResult, QByteArray baData, QHostAddress addr, uint uiPort) {
                    bResult = true;
                    m_listSent << QNetworkDatagram(baData, addr, quint16(uiPort));
                });
        CDeviceConfigWidget::setWarningHandler(
            [this](QWidget*, const QString& strTitle, const QString& strText) {
                m_listWarnings << strTitle + QLatin1Char('|') + strText;
            });
        auto* pGroup = new QTreeWidgetItem(&m_tree, {QStringLiteral("Default")});
        for (const PduInfo& info : {reportedDevice(1), reportedDevice(2)}) {
            for (quint8 cmd :
                 {kCmdNetwork, kCmdDeviceInfo, kCmdStatus, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames})
                feed(info, cmd);
            setItemPdu(new QTreeWidgetItem(pGroup, {{}, {}, {}, {}, ipv4ToString(info.ip)}),
                       m_pRegistry->listPdu.last());
        }
        QCOMPARE(m_pRegistry->listPdu.size(), 2);
        m_pPage = std::make_unique<CDeviceConfigWidget>(nullptr);
        m_pPage->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_pPage.get()));
    }

    void cleanup()
    {
        CDeviceConfigWidget::setWarningHandler({});
        m_pPage.reset();
        m_tree.clear();
        m_pCurrent = nullptr;
        m_pRegistry.reset();
        m_listSent.clear();
        m_listWarnings.clear();
    }

    void loadingLeavesNothingToSend()
    {
        // Device 1's 0.0 A warning limit is what the spin box shows before any device is loaded, and
        // device 0 shares most of its settings with device 1: loading changes few editors. Whatever
        // the edit records held before (the factory defaults here), loading leaves nothing to send.
        for (int iRow : {1, 0}) {
            select(iRow);
            QCOMPARE(m_pPage->pdu(), device(iRow));
            QVERIFY(device(iRow)->needDownload().isEmpty());
            feed(device(iRow)->stInfo, kCmdStatus);
            QVERIFY(!buttonsShown());
            invoke("on_BtnOk_clicked");
        }
        QCOMPARE(lineEdit("LineEditMac")->text(), QStringLiteral("00:04:A3:00:00:01"));
        QVERIFY(m_listSent.isEmpty());
    }

    void everyEditorWritesOnlyItsOwnField_data()
    {
        QTest::addColumn<EditorWrite>("row");
        const auto row = [](const char* pszEditor, int iIndex, const char* pszInput, quint8 cmd, int iOffset,
                            const QByteArray& baBytes) {
            QTest::addRow("%s %d: %s", pszEditor, iIndex, pszInput) << EditorWrite(
                QString::fromLatin1(pszEditor), iIndex, QString::fromUtf8(pszInput), cmd, iOffset, baBytes);
        };
        const auto hex = [](const char* pszHex) { return QByteArray::fromHex(pszHex); };
        row("LineEditIP", 0, "10.200.1.9", kCmdNetwork, 0, hex("0AC80109"));
        row("LineEditSubNetMask", 0, "255.255.255.0", kCmdNetwork, 4, hex("FFFFFF00"));
        row("LineEditGateway", 0, "10.200.0.1", kCmdNetwork, 8, hex("0AC80001"));
        // The address validator refuses leading zeros, octets above 255, letters, spaces and a fifth octet.
        row("LineEditGateway", 0, "010.200.1.5", kCmdNetwork, 8, hex("00C80105"));
        row("LineEditGateway", 0, "256.1.2.3", kCmdNetwork, 8, hex("19010203"));
        row("LineEditGateway", 0, "10 .a2.3.4", kCmdNetwork, 8, hex("0A020304"));
        row("LineEditGateway", 0, "1.2.3.4.5", kCmdNetwork, 8, hex("0102032D"));
        row("LineEditMac", 0, "00:04:a3:00:00:7f", kCmdNetwork, 12, hex("0004A300007F"));
        row("LineEditMac", 0, "00-1A-2B-3C-4D-5E", kCmdNetwork, 12, hex("001A2B3C4D5E"));
        row("LineEditMac", 0, "00:1A-2B:3C-4D:5E", kCmdNetwork, 12, hex("001A2B3C4D5E"));
        row("SpinUdpPort", 0, "6000", kCmdNetwork, 18, hex("7017"));
        // A 17th character cannot be typed; the name fills all 16 bytes.
        row("LineEditName", 0, "ABCDEFGHIJKLMNOPQ", kCmdNetwork, 20, "ABCDEFGHIJKLMNOP");
        row("LineEditName", 0, "Rk 7 & <b>", kCmdNetwork, 20, padded("Rk 7 & <b>", 16));
        row("LineEditPosition", 0, "Hall B", kCmdNetwork, 36, padded("Hall B", 16));
        // Amperes travel as whole and tenths; an overload below the warning limit is taken as entered.
        row("DSpinCurrentWarn", 0, "5.5", kCmdThresholds, 0, hex("050005"));
        row("DSpinCurrentOverload", 0, "3.5", kCmdThresholds, 3, hex("030005"));
        row("SpinVoltageWarn", 0, "240", kCmdThresholds, 6, hex("F000"));
        row("SpinVoltageOverload", 0, "300", kCmdThresholds, 8, hex("2C01"));
        row("SpinTemperatureLowLimit", 0, "7", kCmdThresholds, 10, hex("07"));
        row("SpinTemperatureHighLimit", 0, "50", kCmdThresholds, 11, hex("32"));
        row("SpinHumidityWarn", 0, "70", kCmdThresholds, 12, hex("46"));
        row("SpinOutletOpenDelay", 0, "17", kCmdOutletDelays, 0, hex("11"));
        row("SpinOutletCloseDelay", 2, "0", kCmdOutletDelays, 10, hex("00"));
        // An outlet name keeps 9 characters and a zero byte.
        row("LineEditOutletName", 0, "Storage01X", kCmdOutletNames, 0, padded("Storage01", 10));
        row("LineEditOutletName", 7, "", kCmdOutletNames, 70, padded("", 10));
        row("LineEditOutletName", 1, "Rack 1&2", kCmdOutletNames, 10, padded("Rack 1&2", 10));
    }

    void everyEditorWritesOnlyItsOwnField()
    {
        QFETCH(EditorWrite, row);
        const auto& [strEditor, iIndex, strInput, iCmd, iOffset, baBytes] = row;
        select(0);
        CPdu* pPdu = device(0);
        QVERIFY(pPdu->needDownload().isEmpty());
        // The editor is reached through its sub tab.
        const int iPage =
            QList<int>{kCmdNetwork, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames}.indexOf(iCmd);
        QTest::mouseClick(editor<CSubTab>(QStringLiteral("SubTab"))->buttons[iPage], Qt::LeftButton);
        QWidget* pEditor = editor(strEditor, iIndex);
        QVERIFY(pEditor->isVisible());
        const QString strShown = pEditor->property("text").toString();
        QByteArray baExpected =
            payloadFor(quint8(iCmd), pPdu->stInfo).replace(iOffset, baBytes.size(), baBytes);
        if (auto* pEdit = qobject_cast<QLineEdit*>(pEditor)) {
            pEdit->clear();
            QTest::keyClicks(pEdit, strInput);
        } else {
            QVERIFY(pEditor->setProperty("value", strInput));
        }
        // The edit lands in its own bytes of its own section; every other field keeps what the device
        // reports.
        for (quint8 cmd : {kCmdNetwork, kCmdThresholds, kCmdOutletDelays, kCmdOutletNames})
            QCOMPARE(payloadFor(cmd, pPdu->stSetInfo).toHex(' '),
                     (cmd == iCmd ? baExpected : payloadFor(cmd, pPdu->stInfo)).toHex(' '));
        QVERIFY(buttonsShown());
        clickOk();
        QCOMPARE(m_listWarnings, QStringList());
        QCOMPARE(m_listSent.size(), 1);
        QCOMPARE(m_listSent.at(0).data().toHex(' '), buildSetFrame(quint8(iCmd), baExpected).toHex(' '));
        // Cancel takes the edit back, on screen as well.
        invoke("on_BtnCancel_clicked");
        QVERIFY(pPdu->needDownload().isEmpty());
        QVERIFY(!buttonsShown());
        QCOMPARE(pEditor->property("text").toString(), strShown);
    }

    // A ten-character outlet name is more than the editor shows: the nine it keeps are a change to send.
    void valueTheEditorCannotShowIsAVisibleChange()
    {
        const PduInfo& info = device(0)->stInfo;
        reply(info, kCmdOutletNames, payloadFor(kCmdOutletNames, info).replace(0, 10, "ABCDEFGHIJ"));
        select(0);
        QVERIFY(!buttonsShown());
        feed(info, kCmdStatus);
        QCOMPARE(device(0)->needDownload(), QList<int>{kCmdOutletNames});
        QVERIFY(buttonsShown());
        QCOMPARE(lineEdit("LineEditOutletName")->text(), QStringLiteral("ABCDEFGHI"));
        QCOMPARE(payloadFor(kCmdOutletNames, device(0)->stSetInfo).left(10), padded("ABCDEFGHI", 10));
    }

    void fieldShownAsItReadsIsKept_data()
    {
        QTest::addColumn<FieldAsRead>("row");
        const auto bytes = [](const char* pszBytes, int iWidth) { return QByteArray(pszBytes, iWidth); };
        const auto row = [](const char* pszName, quint8 cmd, int iOffset, const QByteArray& baReported,
                            const char* pszEditor, const QString& strShown) {
            QTest::newRow(pszName) << FieldAsRead(cmd, iOffset, baReported, QString::fromLatin1(pszEditor),
                                                  strShown);
        };
        // Another writer cut the name in the middle of its last character.
        row("name cut mid-character", kCmdNetwork, 20, bytes("Rack\xC3\xA9\xE2\x82\xAC-1234\xE2\x82", 16),
            "LineEditName", QStringLiteral("Rack\u00E9\u20AC-1234"));
        row("name with bytes after its end", kCmdNetwork, 20, bytes("Rack\0\xFF\x01old-name\0\0\0", 16),
            "LineEditName", "Rack");
        // An earlier console wrote positions as Latin-1.
        row("position not UTF-8", kCmdNetwork, 36, padded("B\xFCro 2", 16), "LineEditPosition",
            QStringLiteral("B\uFFFDro 2"));
        row("outlet name with bytes after its end", kCmdOutletNames, 0, bytes("Srv1\0\0web\0", 10),
            "LineEditOutletName", "Srv1");
        // Anyone on the network can write a line break, an escape or a direction override into a name: the
        // editor leaves them out, and the unit keeps them until the operator types a text of his own.
        row("name with a line break", kCmdNetwork, 20, padded("Rack\r\nB", 16), "LineEditName", "RackB");
        row("position with an escape and an override", kCmdNetwork, 36,
            padded("\x1B[2JHall \xE2\x80\xAE"
                   "B",
                   16),
            "LineEditPosition", "[2JHall B");
        // Read as UTF-8 it no longer fits the field: the editor shows it whole, as it reads.
        row("Latin-1 position with a line break", kCmdNetwork, 36,
            padded("\xC4\xC4\xC4\xC4\xC4\xC4\n\xC4", 16), "LineEditPosition",
            QStringLiteral("\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\n\uFFFD"));
        row("outlet name with a tab", kCmdOutletNames, 0, padded("Srv\t1", 10), "LineEditOutletName", "Srv1");
    }

    // Selecting a device whose field reads as the editor shows it leaves nothing to send, and a write of
    // another field of that section sends the device's own bytes back, not a re-encoding of them.
    void fieldShownAsItReadsIsKept()
    {
        QFETCH(FieldAsRead, row);
        const auto& [iCmd, iOffset, baReported, strEditor, strShown] = row;
        const PduInfo& info = device(0)->stInfo;
        const QByteArray baPayload =
            payloadFor(quint8(iCmd), info).replace(iOffset, baReported.size(), baReported);
        reply(info, quint8(iCmd), baPayload);
        select(0);
        feed(info, kCmdStatus);
        QCOMPARE(editor(strEditor)->property("text").toString(), strShown);
        QVERIFY(device(0)->needDownload().isEmpty());
        QVERIFY(!buttonsShown());
        // Another field of the same section changes.
        QLineEdit* pOther =
            iCmd == kCmdNetwork ? lineEdit("LineEditGateway") : editor<QLineEdit>(strEditor, 7);
        pOther->setText(iCmd == kCmdNetwork ? QStringLiteral("10.200.0.2") : QStringLiteral("Spare"));
        clickOk();
        QCOMPARE(m_listSent.size(), 1);
        QCOMPARE(framePayload(m_listSent.at(0).data()).mid(iOffset, baReported.size()).toHex(' '),
                 baReported.toHex(' '));
    }

    // What the editor shows is what is written: any text whose UTF-8 fits the unit's field (an outlet name
    // keeps its closing zero byte); a character whose bytes no longer fit cannot be typed, and the page
    // says why. A pasted line break is left out.
    void typedTextFitsItsField_data()
    {
        QTest::addColumn<TypedText>("row");
        const auto row = [](const char* pszName, const char* pszEditor, const QString& strTyped, bool bPasted,
                            const QString& strShown, const QByteArray& baStored) {
            const bool bOutlet = QByteArray(pszEditor) == "LineEditOutletName";
            const int iOffset = bOutlet ? 0 : (pszEditor[8] == 'N' ? 20 : 36);
            QTest::newRow(pszName) << TypedText(QString::fromLatin1(pszEditor), iOffset, bOutlet ? 10 : 16,
                                                strTyped, bPasted, strShown, baStored);
        };
        row("sixteen characters, eighteen bytes", "LineEditPosition",
            QStringLiteral("Salle \u00C9nergie 3\u00E9"), false, QStringLiteral("Salle \u00C9nergie 3"),
            QByteArray("Salle \xC3\x89nergie 3"));
        row("three bytes a character", "LineEditName",
            QStringLiteral("\u673A\u623F\u4E1C\u4FA7\u7B2C\u4E09\u6392"), false,
            QStringLiteral("\u673A\u623F\u4E1C\u4FA7\u7B2C"),
            padded("\xE6\x9C\xBA\xE6\x88\xBF\xE4\xB8\x9C\xE4\xBE\xA7\xE7\xAC\xAC", 16));
        row("outlet name of nine bytes", "LineEditOutletName", QStringLiteral("\u00E9\u6771\u4EAC9x"), false,
            QStringLiteral("\u00E9\u6771\u4EAC9"),
            padded("\xC3\xA9\xE6\x9D\xB1\xE4\xBA\xAC"
                   "9",
                   10));
        row("pasted lines", "LineEditName", QStringLiteral("Rack\r\nB\u2028"), true, QStringLiteral("RackB"),
            padded("RackB", 16));
    }

    void typedTextFitsItsField()
    {
        QFETCH(TypedText, row);
        const auto& [strEditor, iOffset, iWidth, strTyped, bPasted, strShown, baStored] = row;
        select(0);
        const int iCmd = strEditor == QLatin1String("LineEditOutletName") ? kCmdOutletNames : kCmdNetwork;
        QTest::mouseClick(editor<CSubTab>(QStringLiteral("SubTab"))->buttons[iCmd == kCmdNetwork ? 0 : 3],
                          Qt::LeftButton);
        QLineEdit* pEdit = editor<QLineEdit>(strEditor);
        pEdit->clear();
        if (bPasted)
            pEdit->insert(strTyped);
        else
            for (QChar ch : strTyped)
                QTest::sendKeyEvent(QTest::Click, pEdit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QCOMPARE(pEdit->text(), strShown);
        QCOMPARE(payloadFor(quint8(iCmd), device(0)->stSetInfo).mid(iOffset, iWidth).toHex(' '),
                 baStored.toHex(' '));
        // A refused character is told, on the editor's own page.
        const auto* pHint =
            qobject_cast<QWidget*>(pEdit->parent())->findChild<QLabel*>(QStringLiteral("LabelTextHint"));
        QVERIFY(pHint);
        QCOMPARE(pHint->isVisible(), !bPasted && strShown != strTyped);
    }

    // The unit takes another address while its page is open (front panel, DHCP, another console): the
    // page shows it and has nothing to send back, while an edit in progress on another sub page stays.
    void deviceChangedUnderItsPage()
    {
        select(0);
        spin("SpinHumidityWarn")->setValue(71);
        PduInfo moved = device(0)->stInfo;
        ipv4FromUint(0x0AC80163u, moved.ip);
        reply(device(0)->stInfo, kCmdNetwork, payloadFor(kCmdNetwork, moved));
        feed(device(0)->stInfo, kCmdStatus);
        QCOMPARE(lineEdit("LineEditIP")->text(), QStringLiteral("10.200.1.99"));
        QCOMPARE(device(0)->needDownload(), QList<int>{kCmdThresholds});
        QCOMPARE(spin("SpinHumidityWarn")->value(), 71);
        // Once the unit holds the edit, a later change by another console is followed as well.
        clickOk();
        PduInfo changed = device(0)->stSetInfo;
        reply(reportedDevice(1), kCmdThresholds, payloadFor(kCmdThresholds, changed));
        QVERIFY(device(0)->needDownload().isEmpty());
        changed.humidityWarn = 60;
        reply(reportedDevice(1), kCmdThresholds, payloadFor(kCmdThresholds, changed));
        QCOMPARE(spin("SpinHumidityWarn")->value(), 60);
        QVERIFY(device(0)->needDownload().isEmpty());
    }

    void addressTypedDigitByDigit()
    {
        select(0);
        QLineEdit* pEdit = lineEdit("LineEditIP");
        QSignalSpy spyCheck(editor(QStringLiteral("NetworkConfigWidget")), SIGNAL(signalCheckNeedDownload()));
        pEdit->clear();
        const QString strTyped = QStringLiteral("192.168.7.45");
        for (int i = 0; i < strTyped.size(); ++i) {
            QTest::keyClick(pEdit, strTyped.at(i).toLatin1());
            // Only the complete addresses 192.168.7.4 and 192.168.7.45 are stored, one emission each.
            const int iComplete = qMax(0, i - (strTyped.size() - 3));
            QCOMPARE(ipv4ToString(device(0)->stSetInfo.ip),
                     iComplete ? pEdit->text() : QStringLiteral("10.200.1.1"));
            QCOMPARE(spyCheck.count(), iComplete);
        }
        QVERIFY(buttonsShown());
        // Text set past the validator: its octets are decimal whatever their leading zeros.
        pEdit->setText(QStringLiteral("010.200.1.5"));
        QCOMPARE(ipv4ToString(device(0)->stSetInfo.ip), QStringLiteral("10.200.1.5"));
    }

    void okRefusesBadNetworkEntries_data()
    {
        QTest::addColumn<EntryRow>("row");
        const auto row = [](const char* pszEditor, const char* pszText, const char* pszMessage) {
            QTest::addRow("%s \"%s\"", pszEditor, pszText) << EntryRow(pszEditor, pszText, pszMessage);
        };
        row("LineEditIP", "192.168.1", "Please input a correct ip address.");
        row("LineEditIP", "10.200.1.1 ", "Please input a correct ip address.");
        row("LineEditIP", "256.1.2.3", "Please input a correct ip address.");
        row("LineEditIP", "10.200.1.2", "Another PDU answers from this ip address.");
        row("LineEditSubNetMask", "255.255", "Please input a correct sub network mask.");
        row("LineEditGateway", "", "Please input a correct gateway address.");
        row("LineEditMac", "00:1A:2B:3C:4D", "Please input a correct mac address.");
        row("LineEditName", "", "Please input pdu name.");
        row("LineEditPosition", "", "Please input pdu location.");
    }

    void okRefusesBadNetworkEntries()
    {
        QFETCH(EntryRow, row);
        const auto& [strEditor, strText, strMessage] = row;
        select(0);
        // Only a delay differs: the network entries are checked whatever section is sent. The location,
        // checked last, is empty as well: the first failing check in order speaks.
        spin("SpinOutletCloseDelay")->setValue(42);
        lineEdit("LineEditPosition")->clear();
        editor<QLineEdit>(strEditor)->setText(strText);
        clickOk();
        QCOMPARE(m_listWarnings, QStringList{QStringLiteral("warning|") + strMessage});
        QVERIFY(m_listSent.isEmpty());
        QVERIFY(buttonsShown() && button("BtnOk")->isEnabled());
    }

    void buttonsDisabledForTwoSecondsAfterOk()
    {
        select(0);
        spin("SpinHumidityWarn")->setValue(70);
        QElapsedTimer timer;
        timer.start();
        clickOk();
        QVERIFY(buttonsShown());
        QVERIFY(!button("BtnOk")->isEnabled() && !button("BtnCancel")->isEnabled());
        clickOk();
        QTest::mouseClick(button("BtnCancel"), Qt::LeftButton);
        QCOMPARE(m_listSent.size(), 1);
        QCOMPARE(device(0)->stSetInfo.humidityWarn, quint8(70));
        QTRY_VERIFY_WITH_TIMEOUT(button("BtnOk")->isEnabled() && button("BtnCancel")->isEnabled(), 10000);
        QVERIFY2(timer.elapsed() >= 1900, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(buttonsShown());
        // The device has applied the limit, but no reply has told the page yet: OK just hides the buttons.
        device(0)->stInfo.humidityWarn = 70;
        clickOk();
        QVERIFY(!buttonsShown());
        QCOMPARE(m_listSent.size(), 1);
    }

    void editsStayWithTheirDevice()
    {
        select(0);
        lineEdit("LineEditPosition")->setText(QStringLiteral("RowZ"));
        QVERIFY(buttonsShown());
        select(1);
        QVERIFY(!buttonsShown());
        QCOMPARE(lineEdit("LineEditPosition")->text(), QStringLiteral("RowB"));
        QCOMPARE(device(0)->needDownload(), QList<int>{0x01});
        // Replies from a device the page does not show leave the buttons alone.
        feed(device(0)->stInfo, kCmdStatus);
        QVERIFY(!buttonsShown());

        // The group row: no device; the pages keep showing the last one but edit nothing.
        select(-1);
        QVERIFY(!m_pPage->pdu());
        lineEdit("LineEditName")->setText(QStringLiteral("Nobody"));
        spin("SpinVoltageOverload")->setValue(1);
        QCOMPARE(lineEdit("LineEditIP")->text(), QStringLiteral("10.200.1.2"));
        QVERIFY(device(1)->needDownload().isEmpty());
        QVERIFY(!buttonsShown());
        invoke("on_BtnOk_clicked");
        QVERIFY(m_listSent.isEmpty());
    }

    // Another device reporting the row's address (a second unit fresh from the factory) changes nothing:
    // the page edits and writes the row's own device, and one deleted under it is written to by nobody.
    void pageKeepsTheRowsDevice()
    {
        std::memcpy(device(0)->stInfo.ip, device(1)->stInfo.ip, sizeof device(1)->stInfo.ip);
        select(1);
        QCOMPARE(m_pPage->pdu(), device(1));
        QCOMPARE(lineEdit("LineEditPosition")->text(), QStringLiteral("RowB"));
        spin("SpinHumidityWarn")->setValue(71);
        clickOk();
        QCOMPARE(m_listSent.size(), 1);
        QCOMPARE(m_listSent.at(0).destinationAddress(), device(1)->sendAddress());
        QCOMPARE(device(1)->stSetInfo.humidityWarn, quint8(71));

        CPdu* pGone = device(1);
        m_pRegistry->listPdu.removeOne(pGone);
        delete pGone;
        QVERIFY(!m_pPage->pdu());
        invoke("on_BtnCancel_clicked");
        invoke("on_BtnOk_clicked");
        select(1);
        QVERIFY(!m_pPage->pdu());
        QCOMPARE(m_listSent.size(), 1);
    }
};

QTEST_MAIN(TestDeviceConfig)
#include "tst_deviceconfig.moc"
