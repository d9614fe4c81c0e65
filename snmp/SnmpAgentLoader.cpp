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
    // Nothing else of a module of another build is called: its objects would not fit this one's.
    const auto fnBuild = reinterpret_cast<RackmindSnmpAgentBuild>(library.resolve(RACKMIND_SNMP_AGENT_BUILD));
    const QString strBuild = fnBuild ? QString::fromUtf8(fnBuild()) : QStringLiteral("an earlier one");
    if (strBuild != QLatin1String(RACKMIND_SNMP_BUILD)) {
        *pstrWhy = QStringLiteral("%1 is of version %2, this program of %3 (install rackmind-snmp %3)")
                       .arg(strPath, strBuild, QStringLiteral(RACKMIND_SNMP_BUILD));
        return nullptr;
    }
    auto fnCreate = reinterpret_cast<RackmindSnmpAgentFactory>(library.resolve(RACKMIND_SNMP_AGENT_FACTORY));
    if (!fnCreate) {
        *pstrWhy = library.errorString();
        return nullptr;
    }
    return std::unique_ptr<CSnmpAgent>(fnCreate());
}
