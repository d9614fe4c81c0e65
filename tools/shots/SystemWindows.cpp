#include "device/Pdu.h"

#include "common/DeviceText.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "settings/GroupSettings.h"
#include "settings/Settings.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"
#include "ui/frame/SubTab.h"
#include "ui/system/GroupConfigWidget.h"
#include "ui/system/GroupNames.h"
#include "ui/system/SystemConfigWidget.h"

#include <QComboBox>
#include <QLineEdit>

bool shootSystem(CShot& shot)
{
    g_settings.smtpAccount = QStringLiteral("alarms@rack-room.example");
    g_settings.smtpHost = QStringLiteral("mail.rack-room.example");
    g_settings.smtpPort = 587;
    g_settings.smtpStartTls = true;
    g_settings.smtpSender = QStringLiteral("pdu-alarms@rack-room.example");
    g_settings.smtpReceiver = QStringLiteral("operators@rack-room.example");
    g_settings.smtpPassword = QStringLiteral("password");

    // The devices are registered directly: no socket is opened.
    g_pRackmind = new CRackmind;
    const struct
    {
        const char* szName;
        const char* szGroup;
    } devices[] = {{"Row A rack 1", "Row A"}, {"Row A rack 2", "Row A"}, {"Row A rack 3", "Row A"},
                   {"Row B rack 1", "Row B"}, {"Row B rack 2", "Row B"}, {"Lab bench", "Default"},
                   {"Storage", "Default"},    {"Core switch", "Default"}};
    uint uiIp = 0x0AC80101; // 10.200.1.1
    for (const auto& device : devices) {
        CPdu* pPdu = g_pRackmind->addPdu(uiIp++);
        storeDeviceText(QString::fromLatin1(device.szName), pPdu->stInfo.name, sizeof(pPdu->stInfo.name));
        pPdu->strGroup = QString::fromLatin1(device.szGroup);
    }
    rememberGroupName(QStringLiteral("Row A"));
    rememberGroupName(QStringLiteral("Row B"));
    // Row A's circuit: a 32 A breaker held to 80 %.
    setGroupBudget(QStringLiteral("Row A"), {32, 0.8});

    CGroupConfigWidget groups;
    groups.resize(1100, 560);
    groups.show();
    bool bOk = shot.save(groups, QStringLiteral("groups-page"));

    CSystemConfigWidget system;
    system.resize(1100, 560);
    system.show();
    bOk = shot.save(system, QStringLiteral("smtp-page")) && bOk;
    click(system.findChild<CSubTab*>(QStringLiteral("SubTab"))->buttons[1]);
    bOk = shot.save(system, QStringLiteral("snmp-page")) && bOk;
    // The room's own agent: SNMPv3 with its keys, notifications to two receivers.
    system.findChild<QComboBox*>(QStringLiteral("ComboMode"))->setCurrentIndex(1);
    system.findChild<QComboBox*>(QStringLiteral("ComboAgentProVer"))->setCurrentIndex(2);
    system.findChild<QComboBox*>(QStringLiteral("ComboTrapProVer"))->setCurrentIndex(1);
    system.findChild<QLineEdit*>(QStringLiteral("LineEditAuthPassphrase"))
        ->setText(QStringLiteral("passphrase"));
    system.findChild<QLineEdit*>(QStringLiteral("LineEditPrivPassphrase"))
        ->setText(QStringLiteral("passphrase"));
    system.findChild<QLineEdit*>(QStringLiteral("LineEditReceivers"))
        ->setText(QStringLiteral("nms.rack-room.example 10.20.0.5:1162"));
    bOk = shot.save(system, QStringLiteral("snmp-page-embedded")) && bOk;
    // Metrics over TLS with passwords, from the example file of the service notes.
    system.findChild<QLineEdit*>(QStringLiteral("LineEditMetricsWebConfig"))
        ->setText(QStringLiteral("/etc/rackmind/web.yml"));
    click(system.findChild<CSubTab*>(QStringLiteral("SubTab"))->buttons[2]);
    bOk = shot.save(system, QStringLiteral("metrics-page")) && bOk;
    click(system.findChild<CSubTab*>(QStringLiteral("SubTab"))->buttons[3]);
    return shot.save(system, QStringLiteral("alarms-page")) && bOk;
}
