#pragma once

#include <QHash>
#include <QString>

// A group as an electrical circuit: the rating of the breaker that feeds it and the fraction of it that
// continuous load may use (80 % by custom). The group's load is the sum of its PDUs' currents.
struct GroupBudget
{
    double dBreakerAmps = 0; // 0: no budget
    double dDerating = 0.8;
    bool isSet() const { return dBreakerAmps > 0; }
    // The derated value the continuous load is held to.
    double budgetAmps() const { return dBreakerAmps * dDerating; }
};

// The budget of a group; none for "Default" or a group never given one.
GroupBudget groupBudget(const QString& strGroup);
void setGroupBudget(const QString& strGroup, const GroupBudget& budget);
// Every group that has a budget.
QHash<QString, GroupBudget> groupBudgets();
// Why a breaker rating or derating cannot be used, in the user's language; empty when it can.
QString groupBudgetError(double dBreakerAmps, double dDerating);
