#include "history/BudgetHistory.h"

#include "history/HistoryReader.h"
#include "history/HistoryStore.h"
#include "settings/GroupSettings.h"

void keepBudgetHistory(CHistoryStore* pStore)
{
    if (!pStore || !pStore->isAvailable())
        return;
    const QHash<QString, GroupBudget> hashBudgets = groupBudgets();
    QHash<QString, double> hashKept; // group -> breaker the store last holds
    for (const CHistoryReader::Budget& budget : CHistoryReader(pStore->path()).budgets())
        hashKept.insert(budget.strGroup, budget.dBreakerAmps);
    for (auto it = hashKept.cbegin(); it != hashKept.cend(); ++it)
        if (it.value() > 0 && !hashBudgets.contains(it.key()))
            pStore->setBudget(it.key(), 0, GroupBudget().dDerating);
    // The store keeps an entry only when it differs from the group's last one.
    for (auto it = hashBudgets.cbegin(); it != hashBudgets.cend(); ++it)
        pStore->setBudget(it.key(), it->dBreakerAmps, it->dDerating);
}
