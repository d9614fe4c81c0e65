// overviewshot: the overview page against the simulated demo rack (twelve PDUs, one of them past a
// voltage limit, one silent), saved as a PNG. Must run inside the test bed's console namespace.
#include "app/MenuIconStyle.h"
#include "app/SharedFonts.h"
#include "tests/common/ConsoleRig.h"
#include "tools/pdusim/SimControl.h"
#include "tools/pdusim/SimThread.h"
#include "ui/device/DeviceOverviewWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTranslator>
#include <QTreeWidget>

#include <cstdio>

namespace {
// Runs the event loop until done() holds or the time is up.
template <typename F> bool waitFor(F done, int iMs)
{
    QDeadlineTimer deadline(iMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return true;
}

QTreeWidgetItem* rowOf(CDeviceOverviewWidget& overview, const QString& strAddress)
{
    QTreeWidgetItem* pGroup = overview.treeWidget()->topLevelItem(0);
    for (int i = 0; i < pGroup->childCount(); ++i)
        if (pGroup->child(i)->text(CDeviceOverviewWidget::ColumnIPAddress) == strAddress)
            return pGroup->child(i);
    return nullptr;
}

int fail(const char* pszWhy)
{
    std::fprintf(stderr, "overviewshot: %s\n", pszWhy);
    return 1;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption optLang(QStringLiteral("lang"), QStringLiteral("en, zh_CN or zh_TW"),
                                     QStringLiteral("CODE"), QStringLiteral("en"));
    const QCommandLineOption optOut(QStringLiteral("out"), QStringLiteral("PNG to write"),
                                    QStringLiteral("FILE"));
    parser.addHelpOption();
    parser.addOptions({optLang, optOut});
    parser.process(app);
    if (!parser.isSet(optOut) || !qEnvironmentVariableIsSet("RACKMIND_BED"))
        return fail("needs --out and must run inside scripts/netbed");
    const QString strOut = QFileInfo(parser.value(optOut)).absoluteFilePath();

    // The port file lands in the working folder; keep it out of the caller's.
    QTemporaryDir dirWork;
    QDir::setCurrent(dirWork.path());

    QApplication::setStyle(new CMenuIconStyle(QStyleFactory::create(QStringLiteral("fusion"))));
    createSharedFonts();
    QFile fileStyle(QStringLiteral(":/StyleSheet/StyleSheet/StyleSheet.qss"));
    if (fileStyle.open(QIODevice::ReadOnly))
        app.setStyleSheet(QString::fromUtf8(fileStyle.readAll()));
    QTranslator translatorApp, translatorQt;
    const QString strLang = parser.value(optLang);
    if (strLang != QLatin1String("en")) {
        if (!translatorApp.load(QStringLiteral(":/Language/Language/%1.qm").arg(strLang)))
            return fail("unknown language");
        translatorQt.load(QStringLiteral(":/Language/Language/qt_%1.qm").arg(strLang));
        QCoreApplication::installTranslator(&translatorApp);
        QCoreApplication::installTranslator(&translatorQt);
    }

    CSimThread sim;
    CSimConfig config;
    config.iDevices = CSimControl::kDemoRackSize;
    config.bNoise = false;
    QString strError;
    if (!sim.startFleet(config, &strError))
        return fail(qPrintable(strError));
    for (const QString& strLine : CSimControl::demoRackText().split(QLatin1Char('\n')))
        if (!strLine.trimmed().isEmpty() && !strLine.startsWith(QLatin1Char('#')))
            sim.command(strLine);
    // One device past its voltage warning limit.
    sim.command(QStringLiteral("set 4 voltage 252"));

    ConsoleRig rig;
    rig.registry()->listDevicePort.append(6000);
    emit rig.registry()->signalUpdateDevicePort(rig.registry()->listDevicePort);
    rig.overview.setWindowTitle(QStringLiteral("Rackmind"));
    rig.overview.resize(1500, 600);
    rig.overview.retranslate();
    rig.overview.show();
    if (!rig.start())
        return fail("cannot open the console's port");

    const auto allOnline = [&] { return rig.registry()->onlineCount() == CSimControl::kDemoRackSize; };
    if (!waitFor(allOnline, 10000))
        return fail("the demo rack did not answer");
    const QString strSilent =
        QHostAddress(sim.call([](CSimFleet& fleet) { return fleet.device(10)->st.ip; })).toString();
    sim.command(QStringLiteral("silent 10"));
    if (!waitFor([&] { return rig.registry()->onlineCount() == CSimControl::kDemoRackSize - 1; }, 8000))
        return fail("the silent device stayed online");
    QTreeWidgetItem* pSilent = rowOf(rig.overview, strSilent);
    const QString strOffline = QCoreApplication::translate("CDeviceOverviewWidget", "Offline");
    if (!pSilent ||
        !waitFor([&] { return pSilent->text(CDeviceOverviewWidget::ColumnOnline) == strOffline; }, 2000))
        return fail("the silent device's row stayed online");

    const QString strFirst =
        QHostAddress(sim.call([](CSimFleet& fleet) { return fleet.device(1)->st.ip; })).toString();
    rig.overview.treeWidget()->setCurrentItem(rowOf(rig.overview, strFirst));
    waitFor([] { return false; }, 700);
    if (!rig.overview.grab().save(strOut))
        return fail("cannot write the picture");
    std::printf("%s\n", qPrintable(strOut));
    deleteSharedFonts();
    return 0;
}
