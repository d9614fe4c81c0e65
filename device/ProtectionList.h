#pragma once

#include <QSet>
#include <QString>

#include <functional>

// The machine's one list of protected outlets, read by every program that switches outlets (the
// console of any user, rackmind-ctl run by anyone, the service under its own user), so that an outlet
// protected anywhere is protected everywhere. One entry a line, "MAC/outlet" with the MAC as twelve
// upper-case hex digits; '#' starts a comment. Readers take a shared lock and writers an exclusive one
// on the file itself, so nobody sees half a write and the folder need not be writable.
class CProtectionList
{
public:
    // $RACKMIND_PROTECTION_LIST when set (tests, a second installation), else
    // /var/lib/rackmind/protected-outlets.
    static QString defaultPath();
    static QString entry(const QString& strMac, int iOutlet);

    explicit CProtectionList(const QString& strPath = defaultPath());
    const QString& path() const { return m_strPath; }

    // Reads the file; a missing file is an empty list. False, with the reason, when it exists but cannot
    // be read: callers then refuse to switch off, since they cannot tell what is protected.
    bool load(QString* pError = nullptr);
    bool contains(const QString& strMac, int iOutlet) const { return m_set.contains(entry(strMac, iOutlet)); }
    const QSet<QString>& entries() const { return m_set; }

    // Re-reads the file, lets fnChange edit the entries and writes them back, all under one lock, so
    // that two programs changing it at once lose neither change. False, with the reason, on failure.
    bool change(const std::function<void(QSet<QString>&)>& fnChange, QString* pError = nullptr);

private:
    QString m_strPath;
    QSet<QString> m_set;
};
