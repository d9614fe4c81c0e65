#include "settings/GroupSettings.h"

#include "common/DeviceText.h"
#include "settings/AlarmSettings.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QSettings>

#include <cmath>
#include <memory>

namespace {
const QString kDefaultGroup = QStringLiteral("Default");
// Arrays of their own, so that any group name (spaces, slashes, any script) is a value, never a key.
const QString kBudgetsArray = QStringLiteral("GroupBudgets");
const QString kMembersArray = QStringLiteral("GroupMembers");
constexpr double kMaxBreakerAmps = 1000;

struct GroupStore
{
    QHash<QString, GroupBudget> hashBudgets;
    QHash<QString, QString> hashMembers; // MAC (upper case) -> group
};

GroupStore& groups()
{
    static GroupStore s_store;
    return s_store;
}

// Both arrays at once, after the records beside them: a store that cannot be merged with is written
// afresh, and must not be left with the groups alone.
// A MAC as the devices' records write it ("00:04:A3:12:34:56"), whether it was typed with colons, dashes
// or none (as the metrics labels show it), in either case; anything else is kept as typed.
QString macKey(const QString& strMac)
{
    QString strHex = strMac.trimmed().toUpper();
    strHex.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    bool bHex = false;
    strHex.toULongLong(&bHex, 16);
    if (strHex.size() != 12 || !bHex)
        return strMac.trimmed().toUpper();
    for (int i = 10; i > 0; i -= 2)
        strHex.insert(i, QLatin1Char(':'));
    return strHex;
}

void saveGroups()
{
    saveAlarmSettings();
    writeSettingsGuarded(openSettingsStore, [](QSettings& store) {
        store.remove(kBudgetsArray);
        const QHash<QString, GroupBudget>& hashBudgets = groups().hashBudgets;
        store.beginWriteArray(kBudgetsArray, hashBudgets.size());
        int i = 0;
        for (auto it = hashBudgets.cbegin(); it != hashBudgets.cend(); ++it) {
            store.setArrayIndex(i++);
            store.setValue(QStringLiteral("Group"), it.key());
            store.setValue(QStringLiteral("BreakerAmps"), it->dBreakerAmps);
            store.setValue(QStringLiteral("Derating"), it->dDerating);
        }
        store.endArray();
        store.remove(kMembersArray);
        const QHash<QString, QString>& hashMembers = groups().hashMembers;
        store.beginWriteArray(kMembersArray, hashMembers.size());
        i = 0;
        for (auto it = hashMembers.cbegin(); it != hashMembers.cend(); ++it) {
            store.setArrayIndex(i++);
            store.setValue(QStringLiteral("Mac"), it.key());
            store.setValue(QStringLiteral("Group"), it.value());
        }
        store.endArray();
    });
}
} // namespace

GroupBudget groupBudget(const QString& strGroup)
{
    return groups().hashBudgets.value(strGroup);
}

void setGroupBudget(const QString& strGroup, const GroupBudget& budget)
{
    if (strGroup.isEmpty() || strGroup == kDefaultGroup)
        return;
    if (budget.isSet()) {
        if (!groupBudgetError(budget.dBreakerAmps, budget.dDerating).isEmpty())
            return;
        groups().hashBudgets.insert(strGroup, budget);
    } else if (!groups().hashBudgets.remove(strGroup)) {
        return;
    }
    saveGroups();
}

QHash<QString, GroupBudget> groupBudgets()
{
    return groups().hashBudgets;
}

QString groupBudgetError(double dBreakerAmps, double dDerating)
{
    // Written as negations so that a value that is not a number is refused as well.
    if (!(dBreakerAmps > 0))
        return QCoreApplication::translate("GroupBudget", "The breaker rating must be more than 0 A.");
    if (!(dBreakerAmps <= kMaxBreakerAmps))
        return QCoreApplication::translate("GroupBudget",
                                           "A breaker rating over %1 A is not a rack circuit's: enter the "
                                           "rating of the breaker that feeds the group, in amperes.")
            .arg(kMaxBreakerAmps);
    if (!(dDerating > 0 && dDerating <= 1))
        return QCoreApplication::translate("GroupBudget",
                                           "The derating must be more than 0 % and at most 100 %.");
    return QString();
}

QString savedGroup(const QString& strMac)
{
    return groups().hashMembers.value(macKey(strMac));
}

QStringList savedMacs(const QString& strGroup)
{
    return groups().hashMembers.keys(strGroup);
}

void setSavedGroup(const QString& strMac, const QString& strGroup)
{
    const QString strKey = macKey(strMac);
    const bool bForget = strGroup.isEmpty() || strGroup == kDefaultGroup;
    if (bForget ? !groups().hashMembers.contains(strKey) : groups().hashMembers.value(strKey) == strGroup)
        return;
    if (bForget)
        groups().hashMembers.remove(strKey);
    else
        groups().hashMembers.insert(strKey, strGroup);
    saveGroups();
}

void loadGroupSettings()
{
    const std::unique_ptr<QSettings> pStore = openSettingsStore();
    GroupStore loaded;
    const bool bRead = readSettingsGuarded([&] {
        const int iBudgets = pStore->beginReadArray(kBudgetsArray);
        for (int i = 0; i < iBudgets; ++i) {
            pStore->setArrayIndex(i);
            const QString strGroup = pStore->value(QStringLiteral("Group")).toString();
            GroupBudget budget;
            budget.dBreakerAmps = pStore->value(QStringLiteral("BreakerAmps")).toDouble();
            if (pStore->contains(QStringLiteral("Derating")))
                budget.dDerating = pStore->value(QStringLiteral("Derating")).toDouble();
            // A hand-edited entry that the page would refuse is left out, and said.
            const QString strError = groupBudgetError(budget.dBreakerAmps, budget.dDerating);
            if (strGroup.isEmpty() || strGroup == kDefaultGroup || !strError.isEmpty()) {
                // The page asks for percent, the file holds a fraction: say so to whoever wrote 80.
                const bool bFraction = !(budget.dDerating > 0 && budget.dDerating <= 1);
                qWarning(
                    "settings: budget of group \"%s\" ignored: %s%s", qPrintable(logText(strGroup)),
                    qPrintable(strError.isEmpty() ? QStringLiteral("this group has no budget") : strError),
                    bFraction ? " (Derating is a fraction here: 0.8 for 80 %)" : "");
                continue;
            }
            loaded.hashBudgets.insert(strGroup, budget);
        }
        pStore->endArray();
        const int iMembers = pStore->beginReadArray(kMembersArray);
        for (int i = 0; i < iMembers; ++i) {
            pStore->setArrayIndex(i);
            const QString strMac = macKey(pStore->value(QStringLiteral("Mac")).toString());
            const QString strGroup = pStore->value(QStringLiteral("Group")).toString();
            if (!strMac.isEmpty() && !strGroup.isEmpty() && strGroup != kDefaultGroup)
                loaded.hashMembers.insert(strMac, strGroup);
        }
        pStore->endArray();
    });
    if (bRead)
        groups() = loaded;
}
