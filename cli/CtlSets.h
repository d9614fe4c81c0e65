#pragma once

#include "cli/CtlCommands.h"
#include "device/OutletSets.h"

#include <QJsonObject>
#include <QMap>

struct CtlService;

// What `set` and `sequence` were given besides their words.
struct CtlSetOptions
{
    bool bJson = false;
    bool bForce = false;
    bool bDryRun = false;
    int iDelaySecs = 5; // off to on, for a cycle
    bool bDelayGiven = false;
    const CtlService* pService = nullptr; // through this service's API instead of the PDUs and files here
};

// `set list|show NAME|add NAME OUTLET...|remove NAME` (the machine's sets file only) and
// `set NAME on|off|cycle` (its outlets on their PDUs). fnOpenLink opens the network when a command
// needs it: kExitOk or the exit code.
int runSetCommand(CtlContext& ctx, const QStringList& listWords, const CtlSetOptions& opt,
                  const std::function<int()>& fnOpenLink);
// `sequence list|show NAME|add NAME STEP...|remove NAME|run NAME`.
int runSequenceCommand(CtlContext& ctx, const QStringList& listWords, const CtlSetOptions& opt,
                       const std::function<int()>& fnOpenLink);

// The machine's sets (or the service's), read; kExitFailure with the reason told when they cannot be read.
int loadSets(CtlContext& ctx, const CtlSetOptions& opt, COutletSets* pSets,
             QJsonObject* pServiceView = nullptr);
// add and remove change the machine's own file: through a service they are refused, told, as usage.
int refuseServiceChange(CtlContext& ctx, const QString& strCommand);
// Changes the machine's sets; kExitFailure with the reason told when refused or not written.
int changeSets(CtlContext& ctx, const std::function<bool(OutletSetsData&, QString*)>& fnChange);
// The PDUs of these outlets, found in one discovery with their states and delays; a PDU that does not
// answer is named and nothing may be sent.
int findOutlets(CtlContext& ctx, const QList<OutletRef>& listRefs, QMap<QString, const CtlPdu*>* pMap);
// The outlets grouped by their PDU, in the order first named.
QList<CtlSwitch> switchesOf(const QList<OutletRef>& listRefs, const QMap<QString, const CtlPdu*>& mapPdus);
// "02:50:44:00:00:01/3", as an operator reads it.
QString refText(const OutletRef& ref);
// The record of a set's cycle while rackmind-ctl runs it, beside the sequences' runs, so that one killed
// half way is reported by the next command on the set. False, with the reason, when it cannot be kept
// or another run of this set is going: nothing may be sent then, which the reason says.
bool beginSetRecord(const QString& strSet, const QString& strWhat, QString* pWhy);
void endSetRecord(const QString& strSet, const QString& strWhat, bool bCompleted);
// Where the last cycle of the set stopped when it did not end by itself, or its running process; else empty.
QString setLastRun(const QString& strSet);
