#pragma once

class CHistoryStore;

// Brings the store's budget history in line with the settings: every group's budget as it is now, and a
// clear (breaker 0) for each group the store last knew with a budget that the settings no longer give
// one (taken away while the program was stopped, or by a reload of the service's file).
void keepBudgetHistory(CHistoryStore* pStore);
