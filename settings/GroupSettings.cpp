#include "settings/GroupSettings.h"

#include <QCoreApplication>

namespace {
QHash<QString, GroupBudget>& budgets()
{
    static QHash<QString, GroupBudget> s_hash;
    return s_hash;
}
} // namespace

GroupBudget groupBudget(const QString& strGroup)
{
    return budgets().value(strGroup);
}

void setGroupBudget(const QString& strGroup, const GroupBudget& budget)
{
    if (budget.isSet())
        budgets().insert(strGroup, budget);
    else
        budgets().remove(strGroup);
}

QHash<QString, GroupBudget> groupBudgets()
{
    return budgets();
}

QString groupBudgetError(double, double)
{
    return QString();
}
