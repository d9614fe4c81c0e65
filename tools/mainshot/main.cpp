// mainshot --lang en|zh_CN|zh_TW --out DIR [--wait MS]: logs in to the demo rack (started here in the
// bed's device namespace), then saves DIR/main-<page>-<lang>.png for the four pages and prints the paths.
#include "app/AppShell.h"
#include "app/Settings.h"
#include "device/MetaTypes.h"
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceOverviewWidget.h"
#include "ui/frame/AppWindows.h"
#include "ui/frame/MainDialog.h"
#include "ui/frame/MainTab.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <QTreeWidget>

#include <cstdio>

namespace {
void waitFor(int iMsec, const std::function<bool()>& done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < iMsec) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(20);
    }
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption optLang(QStringLiteral("lang"), QStringLiteral("en, zh_CN or zh_TW"), QStringLiteral("lang"),
                                     QStringLiteral("en"));
    const QCommandLineOption optOut(QStringLiteral("out"), QStringLiteral("output folder"), QStringLiteral("dir"),
                                    QStringLiteral("."));
    parser.addOptions({optLang, optOut});
    parser.process(app);
    const QString strLang = parser.value(optLang);
    const QDir dirOut(QFileInfo(parser.value(optOut)).absoluteFilePath());

    CSimThread sim;
    CSimConfig config;
    config.bNoise = false;
    QString strError;
    if (!sim.startFleet(config, &strError)) {
        std::fprintf(stderr, "mainshot: %s\n", qPrintable(strError));
        return 1;
    }
    for (const QString& strLine : CSimControl::demoRackText().split(QLatin1Char('\n')))
        if (!strLine.trimmed().isEmpty() && !strLine.startsWith(QLatin1Char('#')))
            sim.command(strLine);

    // A private settings store and working folder: the operator's own are never touched.
    QTemporaryDir dirWork;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dirWork.path());
    QDir::setCurrent(dirWork.path());
    QFile filePorts(QStringLiteral("port.prt"));
    if (filePorts.open(QIODevice::WriteOnly))
        filePorts.write("[0]\nport=51230\n\n[1]\nport=6000\n");
    filePorts.close();
    g_settings.language = strLang == QLatin1String("zh_CN") ? 2 : strLang == QLatin1String("zh_TW") ? 3 : 1;
    g_settings.rememberPassword = true;
    g_settings.autoLogin = true;
    saveSettings();

    createSharedResources();
    prepareLanguage();
    registerDeviceMetaTypes();
    createLongLivedWindows();
    if (!runLogin()) {
        std::fprintf(stderr, "mainshot: the login failed\n");
        runExitSequence();
        return 1;
    }
    showMainWindow();
    g_pMainDialog->resize(1400, 820);
    QTreeWidget* pTree = g_pMainDialog->deviceOverviewWidget()->treeWidget();
    const auto rows = [pTree] {
        int n = 0;
        for (int g = 0; g < pTree->topLevelItemCount(); ++g)
            n += pTree->topLevelItem(g)->childCount();
        return n;
    };
    waitFor(8000, [&] { return rows() >= 12; });
    waitFor(1500, [] { return false; });
    if (pTree->topLevelItemCount() > 0 && pTree->topLevelItem(0)->childCount() > 0)
        pTree->setCurrentItem(pTree->topLevelItem(0)->child(0));

    static const char* const kPages[] = {"overview", "config", "groups", "system"};
    for (int i = 0; i < 4; ++i) {
        // The tab buttons switch on the press, as an operator's click does.
        QWidget* pBtn = g_pMainDialog->mainTab()->buttons[i];
        const QPointF ptCentre(pBtn->rect().center());
        QMouseEvent press(QEvent::MouseButtonPress, ptCentre, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, ptCentre, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(pBtn, &press);
        QApplication::sendEvent(pBtn, &release);
        waitFor(700, [] { return false; });
        const QString strPath = dirOut.absoluteFilePath(QStringLiteral("main-%1-%2.png").arg(QLatin1String(kPages[i]), strLang));
        g_pMainDialog->grab().save(strPath);
        std::printf("%s\n", qPrintable(strPath));
    }
    runExitSequence();
    return 0;
}
