#pragma once

#include "cli/CtlLink.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTextStream>
#include <QUrl>

// rackmind-ctl against a running service's API instead of the PDUs' own network: the same output, JSON
// and exit statuses, from the PDUs as the service knows them.
struct CtlService
{
    QUrl url;          // http(s)://host:port, the service's metrics endpoint
    QByteArray baAuth; // "Basic ..."; empty without credentials
    QString strCaFile; // a private CA the service's certificate is checked against; empty: the system's
};

// strUrl, strCredentials (a file holding "user:password" on its first line: a password is never given
// on the command line, where others may read it) and strCa as the options or the environment give them.
// False with the reason in pError.
bool serviceFromOptions(const QString& strUrl, const QString& strCredentials, const QString& strCa,
                        CtlService* pService, QString* pError);

// The service's online PDUs, in its order, as the local discovery would have found them. An exit
// status other than kExitOk, with the reason written to err, when the service did not answer so.
int fetchServicePdus(const CtlService& service, QList<CtlPdu>* pList, QTextStream& err);

int runServiceList(const CtlService& service, bool bJson, QTextStream& out, QTextStream& err);
int runServiceShow(const CtlService& service, const QString& strPdu, bool bJson, QTextStream& out,
                   QTextStream& err);
