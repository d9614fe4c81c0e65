#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

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
// Sets (or, with a budget that is not set, clears) a group's budget and saves it. A budget that
// groupBudgetError refuses, or one for "Default", changes nothing.
void setGroupBudget(const QString& strGroup, const GroupBudget& budget);
// Every group that has a budget.
QHash<QString, GroupBudget> groupBudgets();
// Why a breaker rating or derating cannot be used, in the user's language; empty when it can.
QString groupBudgetError(double dBreakerAmps, double dDerating);

// The group a device was put in, kept by its MAC ("00:04:A3:..."); empty when it has none of its own.
QString savedGroup(const QString& strMac);
// The MACs kept in a group.
QStringList savedMacs(const QString& strGroup);
// Keeps the group of a MAC and saves it; "Default" or empty forgets it.
void setSavedGroup(const QString& strMac, const QString& strGroup);
// Reads budgets and memberships from the settings store, replacing what was read before. Absent keys
// leave every device in "Default" and no group with a budget.
void loadGroupSettings();
