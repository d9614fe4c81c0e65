// rackmind-ctl: the PDUs from a shell or a script. Speaks the protocol itself from ports of its own,
// so no console or service has to run, and it runs beside them; it needs no display.
#include "cli/CtlCommands.h"
#include "cli/CtlHistory.h"
#include "cli/CtlReport.h"
#include "cli/CtlService.h"
#include "cli/CtlSets.h"
#include "cli/CtlTarget.h"
#include "cli/CtlText.h"
#include "device/Rackmind.h"
#include "power/MonthlyReport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {

struct Subcommand
{
    const char* pszName;
    const char* pszArgs;
    const char* pszWhat;
};

const Subcommand s_subcommands[] = {
    {"list", "",
     QT_TRANSLATE_NOOP("RackmindCtl", "Discover the PDUs and print one line each (address, MAC, name, "
                                      "position, online, V, A, °C, %RH, outlets 1-8).")},
    {"show", "PDU",
     QT_TRANSLATE_NOOP("RackmindCtl", "Everything known of one PDU: readings, thresholds, delays, "
                                      "outlet names.")},
    {"outlet", "PDU N on|off|cycle",
     QT_TRANSLATE_NOOP("RackmindCtl", "Switch outlets (N: 1,3-5 or all) and wait "
                                      "until the PDU shows them so.")},
    {"set", "list|show NAME|add NAME OUTLET...|remove NAME|NAME on|off|cycle",
     QT_TRANSLATE_NOOP("RackmindCtl",
                       "The machine's outlet sets (OUTLET: MAC/N): list, show, add or remove "
                       "them, or switch the outlets of one on, off or through a cycle together.")},
    {"sequence", "list|show NAME|add NAME STEP...|remove NAME|run NAME",
     QT_TRANSLATE_NOOP("RackmindCtl",
                       "The machine's sequences (STEP: SET,on|off[,WAIT] or MAC/N,on|off[,WAIT]): "
                       "list, show, add or remove them, or run one step by step.")},
    {"history", "PDU",
     QT_TRANSLATE_NOOP("RackmindCtl", "Print the stored history of one PDU, the last 24 hours unless "
                                      "--from or --to say otherwise.")},
    {"report", "",
     QT_TRANSLATE_NOOP("RackmindCtl", "Print the monthly report from the history store: energy, peak, 95th "
                                      "percentile and hours over budget per group and PDU.")},
};

QString overview()
{
    QString str = RackmindCtl::tr("Usage: rackmind-ctl COMMAND [options]\n\n"
                                  "PDU is an address, a MAC address or a name.\n\nCommands:\n");
    for (const Subcommand& sub : s_subcommands)
        str += QStringLiteral("  %1\n      %2\n")
                   .arg(QStringLiteral("%1 %2")
                            .arg(QLatin1String(sub.pszName), QLatin1String(sub.pszArgs))
                            .trimmed(),
                        RackmindCtl::tr(sub.pszWhat));
    str +=
        RackmindCtl::tr("\n`rackmind-ctl COMMAND --help` tells a command's options; --version the version.\n"
                        "Exit status: 0 done, 1 failure, 2 usage, 3 PDU not found, 4 no confirmation from\n"
                        "the PDU, 5 refused: protected outlet, 6 no history store, 7 the service did not\n"
                        "answer, 8 the service refused the user.\n"
                        "Every command goes through a service's API with --service URL\n"
                        "(or $RACKMIND_SERVICE).\n");
    return str;
}

void addOption(QCommandLineParser& parser, const QString& strName, const QString& strHelp,
               const QString& strValue = QString())
{
    parser.addOption(QCommandLineOption(strName, strHelp, strValue));
}

// Seconds as given on the command line, into milliseconds; -1 when not a number of seconds >= 0.
int msecsOf(const QString& strSeconds)
{
    bool bOk = false;
    const double d = strSeconds.toDouble(&bOk);
    return bOk && d >= 0 && d < 86400 ? int(d * 1000) : -1;
}

int usage(QTextStream& err, const QString& strWhy)
{
    err << "rackmind-ctl: " << strWhy << '\n' << RackmindCtl::tr("Try rackmind-ctl --help.") << '\n';
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("rackmind-ctl"));
    installCtlCatalogues();
    QTextStream out(stdout);
    QTextStream err(stderr);
    const QStringList listArgs = QCoreApplication::arguments();
    const QString strCommand = listArgs.value(1);
    const auto sub =
        std::find_if(std::begin(s_subcommands), std::end(s_subcommands),
                     [&](const Subcommand& s) { return strCommand == QLatin1String(s.pszName); });
    if (strCommand == QLatin1String("--help") || strCommand == QLatin1String("-h")) {
        out << overview();
        return kExitOk;
    }
    if (strCommand == QLatin1String("--version") || strCommand == QLatin1String("-v")) {
        out << "rackmind-ctl " << PROJECT_VERSION_TEXT << '\n';
        return kExitOk;
    }
    if (sub == std::end(s_subcommands))
        return usage(err, strCommand.isEmpty() ? RackmindCtl::tr("no command given")
                                               : RackmindCtl::tr("unknown command \"%1\"").arg(strCommand));

    QCommandLineParser parser;
    parser.setApplicationDescription(RackmindCtl::tr(sub->pszWhat));
    addOption(parser, QStringLiteral("help"), RackmindCtl::tr("Show this help."));
    const QString strName = QLatin1String(sub->pszName);
    // history and report read the store and poll nothing: the polling options would be silently ignored.
    const bool bStore = strName == QLatin1String("history") || strName == QLatin1String("report");
    if (!bStore) {
        addOption(parser, QStringLiteral("port"),
                  RackmindCtl::tr("Device port to poll (repeatable); default 51230, "
                                  "those in ./port.prt and those of this machine's service."),
                  QStringLiteral("PORT"));
        addOption(
            parser, QStringLiteral("target"),
            RackmindCtl::tr("Address or subnet to poll by unicast beside the broadcast (repeatable), as "
                            "10.1.2.3 or 10.1.2.0/24 for PDUs behind a router; default those in "
                            "./target.prt and those of this machine's service."),
            QStringLiteral("ADDR|SUBNET"));
        addOption(parser, QStringLiteral("source-port"),
                  RackmindCtl::tr("Local port to send from; default a free one."), QStringLiteral("PORT"));
        addOption(parser, QStringLiteral("wait"),
                  RackmindCtl::tr("Seconds to wait for PDUs to answer (default 2)."),
                  QStringLiteral("SECONDS"));
    }
    if (strName != QLatin1String("outlet") && strName != QLatin1String("report"))
        addOption(parser, QStringLiteral("json"), RackmindCtl::tr("Print JSON instead of text."));
    // Every command may ask a service's API instead of the PDUs and the files here.
    {
        addOption(parser, QStringLiteral("service"),
                  RackmindCtl::tr("Ask the service at this address (https://HOST:PORT) instead of the PDUs; "
                                  "default $RACKMIND_SERVICE."),
                  QStringLiteral("URL"));
        addOption(
            parser, QStringLiteral("credentials"),
            RackmindCtl::tr("File holding USER:PASSWORD for the service; default $RACKMIND_CREDENTIALS."),
            QStringLiteral("FILE"));
        addOption(parser, QStringLiteral("ca"),
                  RackmindCtl::tr("CA certificate the service's certificate is checked against."),
                  QStringLiteral("FILE"));
    }
    if (strName == QLatin1String("report")) {
        addOption(parser, QStringLiteral("month"),
                  RackmindCtl::tr("The calendar month in local time, as 2026-11 (required)."),
                  QStringLiteral("YYYY-MM"));
        addOption(parser, QStringLiteral("group"), RackmindCtl::tr("Only this group and its PDUs."),
                  QStringLiteral("NAME"));
        addOption(parser, QStringLiteral("csv"),
                  RackmindCtl::tr("Comma-separated values, to standard output or to the FILE that follows."));
        addOption(parser, QStringLiteral("pdf"),
                  RackmindCtl::tr("A PDF document written to the FILE that follows."));
        addOption(parser, QStringLiteral("store"),
                  RackmindCtl::tr("The history store to read (default: as history finds it)."),
                  QStringLiteral("PATH"));
    }
    const bool bSets = strName == QLatin1String("set") || strName == QLatin1String("sequence");
    if (bSets) {
        addOption(parser, QStringLiteral("force"), RackmindCtl::tr("Switch protected outlets off too."));
        if (strName == QLatin1String("set"))
            addOption(parser, QStringLiteral("delay"),
                      RackmindCtl::tr("Seconds between the last off seen and on in a cycle (default 5)."),
                      QStringLiteral("SECONDS"));
        else
            addOption(
                parser, QStringLiteral("dry-run"),
                RackmindCtl::tr("Find every PDU and check protection, print the steps, switch nothing."));
    }
    if (strName == QLatin1String("outlet")) {
        addOption(parser, QStringLiteral("delay"),
                  RackmindCtl::tr("Seconds between off and on in a cycle (default 5)."),
                  QStringLiteral("SECONDS"));
        addOption(parser, QStringLiteral("timeout"),
                  RackmindCtl::tr("Seconds to wait for the PDU to show the new state "
                                  "(default: its outlet delay + 5)."),
                  QStringLiteral("SECONDS"));
        addOption(parser, QStringLiteral("force"), RackmindCtl::tr("Switch protected outlets off too."));
    }
    if (strName == QLatin1String("history")) {
        addOption(parser, QStringLiteral("from"),
                  RackmindCtl::tr("Start time: ISO 8601 local time or seconds since 1970 "
                                  "(default: 24 hours before --to)."),
                  QStringLiteral("T"));
        addOption(parser, QStringLiteral("to"), RackmindCtl::tr("End time, as --from (default: now)."),
                  QStringLiteral("T"));
        addOption(parser, QStringLiteral("csv"), RackmindCtl::tr("Print comma-separated values."));
    }
    QStringList listParsed = listArgs;
    listParsed.removeAt(1);
    if (!parser.parse(listParsed))
        return usage(err, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        QString strHelp = parser.helpText();
        strHelp.remove(0, strHelp.indexOf(QLatin1Char('\n')));
        out << RackmindCtl::tr("Usage: rackmind-ctl %1 %2 [options]")
                   .arg(strName, QLatin1String(sub->pszArgs))
                   .simplified()
            << strHelp;
        return kExitOk;
    }
    const QStringList listPos = parser.positionalArguments();
    const QString strService = parser.isSet(QStringLiteral("service"))
                                   ? parser.value(QStringLiteral("service"))
                                   : qEnvironmentVariable("RACKMIND_SERVICE");
    CtlService service;
    if (!strService.isEmpty()) {
        QString strWhy;
        if (!serviceFromOptions(strService,
                                parser.isSet(QStringLiteral("credentials"))
                                    ? parser.value(QStringLiteral("credentials"))
                                    : qEnvironmentVariable("RACKMIND_CREDENTIALS"),
                                parser.value(QStringLiteral("ca")), &service, &strWhy))
            return usage(err, strWhy);
        // They would be silently ignored: the service polls as it is set up to.
        for (const char* pszOption : {"port", "target", "source-port", "wait"})
            if (!bStore && parser.isSet(QLatin1String(pszOption)))
                return usage(err, RackmindCtl::tr("--%1 goes with the PDUs' own network, not with --service")
                                      .arg(QLatin1String(pszOption)));
    }
    if (strName == QLatin1String("report")) {
        CtlReportRequest req;
        req.strMonth = parser.value(QStringLiteral("month"));
        req.strGroup = parser.value(QStringLiteral("group"));
        const bool bCsv = parser.isSet(QStringLiteral("csv")), bPdf = parser.isSet(QStringLiteral("pdf"));
        if (bCsv && bPdf)
            return usage(err, RackmindCtl::tr("--csv and --pdf exclude each other"));
        req.format = bPdf ? CtlReportRequest::Pdf : bCsv ? CtlReportRequest::Csv : CtlReportRequest::Text;
        qint64 iFrom = 0, iTo = 0;
        if (req.strMonth.isEmpty())
            return usage(err, RackmindCtl::tr("report needs --month YYYY-MM"));
        if (!CMonthlyReport::monthSpan(req.strMonth, &iFrom, &iTo))
            return usage(err, RackmindCtl::tr("--month takes a month as YYYY-MM, as 2026-11"));
        if (listPos.size() > ((bCsv || bPdf) ? 1 : 0))
            return usage(err, RackmindCtl::tr("report takes a FILE only after --csv or --pdf"));
        req.strFile = listPos.value(0);
        if (bPdf && req.strFile.isEmpty())
            return usage(err, RackmindCtl::tr("--pdf needs a FILE to write"));
        if (!strService.isEmpty())
            return runServiceReport(service, req, out, err);
        const int iExit = findStore(parser.value(QStringLiteral("store")), &req.strStore, err);
        if (iExit != kExitOk)
            return iExit;
        return bPdf ? runReportPdfHelper(req, err) : runReport(req, out, err);
    }
    const int iWanted = QString::fromLatin1(sub->pszArgs).split(QLatin1Char(' '), Qt::SkipEmptyParts).size();
    if (listPos.size() != iWanted && !bSets)
        return usage(err, RackmindCtl::tr("%1 takes: %2").arg(strName, QLatin1String(sub->pszArgs)));

    if (!strService.isEmpty() && strName == QLatin1String("list"))
        return runServiceList(service, parser.isSet(QStringLiteral("json")), out, err);
    if (!strService.isEmpty() && strName == QLatin1String("show"))
        return runServiceShow(service, listPos.at(0), parser.isSet(QStringLiteral("json")), out, err);

    if (strName == QLatin1String("history")) {
        if (parser.isSet(QStringLiteral("csv")) && parser.isSet(QStringLiteral("json")))
            return usage(err, RackmindCtl::tr("--csv and --json exclude each other"));
        const HistoryFormat format = parser.isSet(QStringLiteral("csv"))    ? HistoryFormat::Csv
                                     : parser.isSet(QStringLiteral("json")) ? HistoryFormat::Json
                                                                            : HistoryFormat::Text;
        if (!strService.isEmpty()) {
            qint64 iFrom = 0, iTo = 0;
            if (!historySpan(parser.value(QStringLiteral("from")), parser.value(QStringLiteral("to")), &iFrom,
                             &iTo, err))
                return kExitUsage;
            return runServiceHistory(service, listPos.at(0), iFrom, iTo, format, out, err);
        }
        return printHistory(listPos.at(0), parser.value(QStringLiteral("from")),
                            parser.value(QStringLiteral("to")), format, out, err);
    }

    CtlContext ctx;
    ctx.pOut = &out;
    ctx.pErr = &err;
    if (parser.isSet(QStringLiteral("wait"))) {
        ctx.iWaitMsecs = msecsOf(parser.value(QStringLiteral("wait")));
        if (ctx.iWaitMsecs < 0)
            return usage(err, RackmindCtl::tr("--wait takes seconds"));
    }
    for (const QString& strPort : parser.values(QStringLiteral("port"))) {
        const uint uiPort = strPort.toUInt();
        if (uiPort == 0 || uiPort > 65535)
            return usage(err, RackmindCtl::tr("bad port \"%1\"").arg(strPort));
        ctx.listPorts.append(uiPort);
    }
    if (ctx.listPorts.isEmpty()) {
        // The ports in ./port.prt, and those this machine's service polls: a PDU it found on a port of
        // its own is found here too.
        ctx.listPorts = CRackmind(nullptr).listDevicePort;
        const QList<uint> listService = servicePorts();
        for (uint uiPort : listService)
            if (!ctx.listPorts.contains(uiPort))
                ctx.listPorts.append(uiPort);
    }
    PollTargetList targets;
    if (parser.isSet(QStringLiteral("target"))) {
        QString strWhy;
        if (!PollTargets::parseList(parser.values(QStringLiteral("target")), &targets.listTarget, &strWhy))
            return usage(err, strWhy);
    } else {
        // As for the ports: the local list, then what this machine's service polls.
        targets = CRackmind(nullptr).targets;
        const PollTargetList service = serviceTargets();
        QStringList listText;
        for (const PollTarget& target : service.listTarget)
            listText << target.text();
        QString strWhy;
        PollTargets::parseList(listText, &targets.listTarget, &strWhy);
    }
    uint uiSourcePort = 0;
    if (parser.isSet(QStringLiteral("source-port"))) {
        uiSourcePort = parser.value(QStringLiteral("source-port")).toUInt();
        if (uiSourcePort == 0 || uiSourcePort > 65535)
            return usage(err, RackmindCtl::tr("bad source port"));
    }

    // The console's bounds: a cycle's delay is 1 to 600 whole seconds.
    bool bDelay = false;
    const bool bDelayOption = strName == QLatin1String("outlet") || strName == QLatin1String("set");
    int iDelay = bDelayOption ? parser.value(QStringLiteral("delay")).toInt(&bDelay) : 0;
    if (!bDelay || iDelay < 1 || iDelay > 600)
        iDelay = -1;
    CtlOutletRequest req;
    if (strName == QLatin1String("outlet")) {
        req.strPdu = listPos.at(0);
        req.strAction = listPos.at(2);
        req.bForce = parser.isSet(QStringLiteral("force"));
        if (!parseOutletList(listPos.at(1), &req.listOutlets))
            return usage(err, RackmindCtl::tr("outlets are 1-8, as 1,3-5 or all"));
        if (!QStringList{QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("cycle")}.contains(
                req.strAction))
            return usage(err, RackmindCtl::tr("outlet action is on, off or cycle"));
        // A wait of nothing would fail every command.
        if (parser.isSet(QStringLiteral("delay"))) {
            if (req.strAction != QLatin1String("cycle"))
                return usage(err, RackmindCtl::tr("--delay goes with cycle only"));
            if (iDelay < 0)
                return usage(err, RackmindCtl::tr("--delay takes whole seconds from 1 to 600"));
            req.iDelayMsecs = iDelay * 1000;
        }
        if (parser.isSet(QStringLiteral("timeout"))) {
            req.iTimeoutMsecs = msecsOf(parser.value(QStringLiteral("timeout")));
            if (req.iTimeoutMsecs <= 0)
                return usage(err, RackmindCtl::tr("--timeout takes seconds above 0"));
        }
    }

    CCtlLink link;
    const auto openLink = [&]() -> int {
        QString strError;
        if (!link.open(quint16(uiSourcePort), &strError)) {
            err << "rackmind-ctl: " << RackmindCtl::tr("cannot open %1").arg(strError) << '\n';
            if (uiSourcePort != 0)
                err << RackmindCtl::tr(
                           "  (is the console or the service running? leave out --source-port to use "
                           "a free port)")
                    << '\n';
            return kExitFailure;
        }
        if (link.socketCount() == 0) {
            err << "rackmind-ctl: " << RackmindCtl::tr("no running network interface with an IPv4 address")
                << '\n';
            return kExitFailure;
        }
        ctx.pLink = &link;
        // A PDU found by the sweep needs a whole round of it to be heard; a wait of one's own is kept.
        const qint64 iRound = link.setTargets(targets, ctx.listPorts);
        if (iRound > 0 && !parser.isSet(QStringLiteral("wait")))
            ctx.iWaitMsecs = int(qMax<qint64>(ctx.iWaitMsecs, qMin<qint64>(iRound + 2000, 600000)));
        return int(kExitOk);
    };
    if (bSets) {
        CtlSetOptions opt;
        opt.bJson = parser.isSet(QStringLiteral("json"));
        opt.bForce = parser.isSet(QStringLiteral("force"));
        opt.bDryRun = !bDelayOption && parser.isSet(QStringLiteral("dry-run"));
        opt.bDelayGiven = bDelayOption && parser.isSet(QStringLiteral("delay"));
        if (opt.bDelayGiven && iDelay < 0)
            return usage(err, RackmindCtl::tr("--delay takes whole seconds from 1 to 600"));
        opt.iDelaySecs = opt.bDelayGiven ? iDelay : 5;
        opt.pService = strService.isEmpty() ? nullptr : &service;
        return strName == QLatin1String("set") ? runSetCommand(ctx, listPos, opt, openLink)
                                               : runSequenceCommand(ctx, listPos, opt, openLink);
    }
    if (!strService.isEmpty())
        return runServiceOutlet(service, req, err);
    const int iLink = openLink();
    if (iLink != kExitOk)
        return iLink;
    if (strName == QLatin1String("list"))
        return runList(ctx, parser.isSet(QStringLiteral("json")));
    if (strName == QLatin1String("show"))
        return runShow(ctx, listPos.at(0), parser.isSet(QStringLiteral("json")));
    return runOutlet(ctx, req);
}
