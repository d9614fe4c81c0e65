#include "ui/system/GroupNames.h"

QStringList& groupNames()
{
    static QStringList s_listNames;
    return s_listNames;
}

void rememberGroupName(const QString& strName)
{
    QStringList& names = groupNames();
    if (!strName.isEmpty() && !names.contains(strName))
        names.append(strName);
}
