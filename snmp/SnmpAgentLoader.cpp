#include "snmp/SnmpAgentLoader.h"

#include <QFileInfo>
#include <QLibrary>

QString CSnmpAgentLoader::modulePath()
{
    const QString strOverride = qEnvironmentVariable("RACKMIND_SNMP_MODULE");
    return strOverride.isEmpty() ? QStringLiteral(RACKMIND_SNMP_MODULE_PATH) : strOverride;
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
