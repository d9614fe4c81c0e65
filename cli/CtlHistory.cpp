#include "cli/CtlHistory.h"

#include "cli/CtlTarget.h"
#include "cli/CtlText.h"

int printHistory(const QString&, const QString&, const QString&, bool, QTextStream&, QTextStream& err)
{
    err << "rackmind-ctl: " << RackmindCtl::tr("this build has no history store") << '\n';
    return kExitUnavailable;
}
