// systemshot: the group page with devices in two groups and the SMTP and SNMP settings pages, saved
// as PNGs. Opens no socket: the devices are registered directly.
#include "app/MenuIconStyle.h"
#include "app/Settings.h"
#include "app/SharedFonts.h"
#include "device/Pdu.h"
#include "device/Protocol.h"
#include "device/Rackmind.h"
#include "ui/frame/SubTab.h"
#include "ui/system/GroupConfigWidget.h"
#include "ui/system/GroupNames.h"
#include "ui/system/SystemConfigWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTranslator>

namespace {

bool save(QWidget& page, const QString& strPath)
{
    QApplication::processEvents();
    const bool bSaved = page.grab().save(strPath);
    if (!bSaved)
        qWarning("systemshot: cannot write %s", qPrintable(strPath));
    return bSaved;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(new CMenuIconStyle);
    const QStringList listArgs = QApplication::arguments();
    if (listArgs.size() != 3) {
        qWarning("usage: systemshot <en|zh_CN|zh_TW> <folder>");
        return 2;
    }
    const QString strLanguage = listArgs.at(1);
    const QDir outDir(QDir(listArgs.at(2)).absolutePath());
    QTranslator appCatalogue;
    QTranslator qtCatalogue;
    if (strLanguage != QLatin1String("en")) {
        if (appCatalogue.load(QStringLiteral(":/Language/Language/%1.qm").arg(strLanguage)))
            QApplication::installTranslator(&appCatalogue);
        if (qtCatalogue.load(QStringLiteral(":/Language/Language/qt_%1.qm").arg(strLanguage)))
            QApplication::installTranslator(&qtCatalogue);
    }
    createSharedFonts();
    QFile styleSheet(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (styleSheet.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(styleSheet.readAll()));

    // The registry reads "port.prt" from the working directory: keep it away from the caller's.
    QTemporaryDir workDir;
    QDir::setCurrent(workDir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, workDir.path());
    g_settings.smtpAccount = QStringLiteral("alarms@rack-room.example");
    g_settings.smtpHost = QStringLiteral("mail.rack-room.example");
    g_settings.smtpPort = 465;
    g_settings.smtpSsl = true;
    g_settings.smtpReceiver = QStringLiteral("operators@rack-room.example");
    g_settings.smtpPassword = QStringLiteral("password");

    CRackmind rackmind;
    g_pRackmind = &rackmind;
    const struct
    {
        const char* szName;
        const char* szGroup;
    } devices[] = {{"Row A rack 1", "Row A"}, {"Row A rack 2", "Row A"}, {"Row A rack 3", "Row A"},
                   {"Row B rack 1", "Row B"}, {"Row B rack 2", "Row B"}, {"Lab bench", "Default"},
                   {"Storage", "Default"},    {"Core switch", "Default"}};
    uint uiIp = 0x0AC80101; // 10.200.1.1
    for (const auto& device : devices) {
        CPdu* pPdu = rackmind.addPdu(uiIp++);
        textFromString(QString::fromLatin1(device.szName), pPdu->stInfo.name, sizeof(pPdu->stInfo.name));
        pPdu->strGroup = QString::fromLatin1(device.szGroup);
    }
    rememberGroupName(QStringLiteral("Row A"));
    rememberGroupName(QStringLiteral("Row B"));

    bool bOk = true;
    CGroupConfigWidget groups;
    groups.resize(1100, 560);
    groups.show();
    bOk &= save(groups, outDir.filePath(QStringLiteral("groups-page-%1.png").arg(strLanguage)));

    CSystemConfigWidget system;
    system.resize(1100, 560);
    system.show();
    bOk &= save(system, outDir.filePath(QStringLiteral("smtp-page-%1.png").arg(strLanguage)));
    CSubTab* pSubTab = system.findChild<CSubTab*>(QStringLiteral("SubTab"));
    if (pSubTab) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pSubTab->buttons[1], &press);
    }
    bOk &= save(system, outDir.filePath(QStringLiteral("snmp-page-%1.png").arg(strLanguage)));
    g_pRackmind = nullptr;
    return bOk ? 0 : 1;
}
