#pragma once

#include "cli/CtlLink.h"

#include <QList>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <initializer_list>

// What every subcommand that talks to PDUs is given.
struct CtlContext
{
    CCtlLink* pLink = nullptr;
    QList<uint> listPorts;
    int iWaitMsecs = 2000;
    QTextStream* pOut = nullptr;
    QTextStream* pErr = nullptr;
};

// The polling replies as a set of bits, 1 << command.
quint32 bits(std::initializer_list<quint8> cmds);
// Finds the PDUs meant by each text (an address, MAC or name) once each has sent what uiNeeded asks, in
// one discovery. An exit code, with each PDU that did not answer named, when not all were found.
int findPdus(CtlContext& ctx, const QStringList& listPdus, quint32 uiNeeded, QList<const CtlPdu*>* pList);
int findPdu(CtlContext& ctx, const QString& strPdu, quint32 uiNeeded, const CtlPdu** ppPdu);

// Some outlets of one PDU.
struct CtlSwitch
{
    const CtlPdu* pPdu = nullptr;
    QList<int> listOutlets;
};
// Switches the outlets of every PDU at once and waits until a status reply of each shows them so, or
// fnStop holds. pNotShown: the PDUs that did not show it.
bool switchAndConfirm(CtlContext& ctx, const QList<CtlSwitch>& listSwitches, bool bOn, int iTimeoutMsecs,
                      const std::function<bool()>& fnStop = {}, QStringList* pNotShown = nullptr);
// Before outlets go off: protected ones are refused without bForce, and with it the override goes on
// record first. kExitOk, or the exit code with the reason told.
int guardProtected(CtlContext& ctx, const QList<CtlSwitch>& listSwitches, const QString& strAction,
                   bool bForce);
// What a command waits for, on a terminal only: scripts read stderr for errors, not for progress.
void progress(CtlContext& ctx, const QString& strText);
// True once, when bInterrupted first holds (SIGINT and the like): the operator is told the power comes back.
bool firstInterrupt(CtlContext& ctx, bool bInterrupted, bool* pbCancelSent);

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
