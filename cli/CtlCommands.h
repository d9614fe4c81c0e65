#pragma once

#include "cli/CtlLink.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

// What every subcommand that talks to PDUs is given.
struct CtlContext
{
    CCtlLink* pLink = nullptr;
    QList<uint> listPorts;
    int iWaitMsecs = 2000;
    QTextStream* pOut = nullptr;
    QTextStream* pErr = nullptr;
};

int runList(CtlContext& ctx, bool bJson);
int runShow(CtlContext& ctx, const QString& strPdu, bool bJson);

struct CtlOutletRequest
{
    QString strPdu;
    QList<int> listOutlets;
    QString strAction;      // on, off, cycle
    int iDelayMsecs = 5000; // off to on, for cycle
    int iTimeoutMsecs = -1; // -1: the outlets' own delays plus a margin
    bool bForce = false;
};
int runOutlet(CtlContext& ctx, const CtlOutletRequest& req);
