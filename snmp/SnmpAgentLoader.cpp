#include "snmp/SnmpAgentLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

QString CSnmpAgentLoader::modulePath()
{
    const QString strOverride = qEnvironmentVariable("RACKMIND_SNMP_MODULE");
    if (!strOverride.isEmpty())
        return strOverride;
    // The package puts it in /usr/lib/rackmind beside the programs' /usr/bin.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QStringLiteral("/../lib/rackmind/rackmind-snmp-agent.so"));
}

std::unique_ptr<CSnmpAgent> CSnmpAgentLoader::load(QString* pstrWhy)
{
    const QString strPath = modulePath();
    if (!QFileInfo::exists(strPath)) {
        *pstrWhy = QStringLiteral("%1 is missing (the package rackmind-snmp installs it)").arg(strPath);
        return nullptr;
    }
    QLibrary library(strPath);
    auto fnCreate = reinterpret_cast<RackmindSnmpAgentFactory>(library.resolve(RACKMIND_SNMP_AGENT_FACTORY));
    if (!fnCreate) {
        *pstrWhy = library.errorString();
        return nullptr;
    }
    return std::unique_ptr<CSnmpAgent>(fnCreate());
}
