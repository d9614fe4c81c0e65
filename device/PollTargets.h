#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Addresses and subnets polled by unicast, for PDUs that no broadcast reaches (behind a router). Kept in
// "target.prt" beside "port.prt", one entry a key; nothing listed leaves polling to the broadcast alone.

// One listed address (iPrefix 32) or subnet, its base with the host bits cleared.
struct PollTarget
{
    quint32 uiBase = 0;
    int iPrefix = 32;

    quint32 mask() const { return iPrefix == 0 ? 0 : ~quint32(0) << (32 - iPrefix); }
    bool isSubnet() const { return iPrefix < 32; }
    bool contains(quint32 uiAddress) const { return (uiAddress & mask()) == uiBase; }
    // Addresses a sweep of it queries: a subnet's own and its broadcast address are left out.
    quint32 sweptCount() const;
    quint32 sweptAt(quint32 uiIndex) const;
    // "10.1.2.3" or "10.1.2.0/24".
    QString text() const;
    bool operator==(const PollTarget& other) const
    {
        return uiBase == other.uiBase && iPrefix == other.iPrefix;
    }
};

// What the target file holds: the entries in its order and the sweep's pace.
struct PollTargetList
{
    QList<PollTarget> listTarget;
    int iSweepRate = 100;

    bool isEmpty() const { return listTarget.isEmpty(); }
    bool operator==(const PollTargetList& other) const
    {
        return listTarget == other.listTarget && iSweepRate == other.iSweepRate;
    }
    bool operator!=(const PollTargetList& other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(PollTargetList)

namespace PollTargets {
// Sweep datagrams a second, all subnets together: a /24 in under three seconds, gently for the routers
// and the PDUs on the way.
constexpr int kDefaultSweepRate = 100;
constexpr int kMaxSweepRate = 1000;
// The largest subnet swept: a /20 (4094 addresses, 41 s a round at the default pace); a /16 would take
// eleven minutes a round and is refused rather than swept for ever.
constexpr int kMinPrefix = 20;
// Entries, and addresses swept in all, past which the list is refused.
constexpr int kMaxTargets = 256;
constexpr quint32 kMaxSweptAddresses = 16384;

const char* const kFileName = "target.prt";

// "10.1.2.3", "10.1.2.0/24" (host bits given are cleared). False with the reason (translated) for
// anything else: a malformed address, a prefix past /32, a subnet larger than /20, an address that is no
// one host's (0.x, loopback, multicast, 255.255.255.255).
bool parse(const QString& strText, PollTarget* pTarget, QString* pstrWhy);
// Entries one by one into a list; duplicates are kept once. False with every reason when an entry is
// refused or the list grows past its bounds; the good entries are in pList all the same.
bool parseList(const QStringList& listText, QList<PollTarget>* pList, QString* pstrWhy);
// The entries as the logs show them: "10.1.2.3,10.9.0.0/24", or "none".
QString text(const QList<PollTarget>& listTarget);

// The file's entries and pace. A missing file lists none. False, with the reason, when something else
// than a file is in its place, it cannot be read or it holds an entry or pace that is refused (the rest
// is in pList all the same).
bool readFile(const QString& strFile, PollTargetList* pList, QString* pstrWhy);
// Replaces the file's whole content; false when it could not be written.
bool writeFile(const QString& strFile, const PollTargetList& list);

// The local address the system sends from towards uiAddress (its route's source), 0 when no route
// leads there. Sends nothing.
quint32 routeSource(quint32 uiAddress);
} // namespace PollTargets
