// shots --window NAME [--lang en|zh_CN|zh_TW] --out FOLDER|FILE.png [--picture NAME]: shows one of
// the console's windows with the program's style, fonts and catalogues, and saves its pictures.
// The windows on the demo rack run inside the test bed (scripts/mainshot shows how).
#include "app/AppShell.h"
#include "settings/Catalogues.h"
#include "tools/shots/Shot.h"
#include "tools/shots/Windows.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

namespace {

const struct
{
    const char* pszName;
    bool (*shoot)(CShot&);
    bool bBed;
} kWindows[] = {
    {"frame", shootFrame, false},   {"login", shootLogin, false},        {"config", shootConfig, false},
    {"system", shootSystem, false}, {"sheet", shootContactSheet, false}, {"overview", shootOverview, true},
    {"main", shootMain, true},      {"history", shootHistory, false},    {"power", shootPower, false},
    {"first", shootFirst, true},    {"firstrun", shootFirstRun, true},   {"sets", shootSets, false}};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QStringList listWindows;
    for (const auto& window : kWindows)
        listWindows << QLatin1String(window.pszName);
    QCommandLineParser parser;
    const QCommandLineOption optWindow(QStringLiteral("window"), listWindows.join(QStringLiteral(", ")),
                                       QStringLiteral("NAME"));
    const QCommandLineOption optLang(QStringLiteral("lang"), QStringLiteral("en, zh_CN or zh_TW"),
                                     QStringLiteral("CODE"), QStringLiteral("en"));
    const QCommandLineOption optOut(QStringLiteral("out"),
                                    QStringLiteral("folder for <picture>-<lang>.png, or one .png file"),
                                    QStringLiteral("PATH"));
    const QCommandLineOption optPicture(
        QStringLiteral("picture"), QStringLiteral("the picture a .png output takes (default: the first)"),
        QStringLiteral("NAME"));
    parser.addHelpOption();
    parser.addOptions({optWindow, optLang, optOut, optPicture});
    parser.process(app);

    const QString strLang = parser.value(optLang);
    const int iWindow = int(listWindows.indexOf(parser.value(optWindow)));
    if (iWindow < 0 || !parser.isSet(optOut) ||
        !QStringList({QStringLiteral("en"), QStringLiteral("zh_CN"), QStringLiteral("zh_TW")})
             .contains(strLang)) {
        fail(QStringLiteral("usage: shots --window %1 [--lang en|zh_CN|zh_TW] --out FOLDER|FILE.png")
                 .arg(listWindows.join(QLatin1Char('|'))));
        return 2;
    }
    if (kWindows[iWindow].bBed && !qEnvironmentVariableIsSet("RACKMIND_BED")) {
        fail(QStringLiteral("the %1 window must run inside scripts/netbed").arg(listWindows.at(iWindow)));
        return 2;
    }
    CShot shot(strLang, parser.value(optOut), parser.value(optPicture));

    // Never the operator's settings store or working folder (the registry writes its port file there).
    QTemporaryDir dirWork;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dirWork.path());
    QDir::setCurrent(dirWork.path());
    // Nor the operator's data folder: the history file there would carry alarms from one picture to
    // the next.
    qputenv("XDG_DATA_HOME", QFile::encodeName(dirWork.filePath(QStringLiteral("data"))));

    createSharedResources();
    // A first start chooses its language in the program's own dialog.
    if (listWindows.at(iWindow) != QLatin1String("firstrun"))
        installCatalogues(shot.language());
    const bool bOk = kWindows[iWindow].shoot(shot) && shot.finish();
    runExitSequence();
    return bOk ? 0 : 1;
}
