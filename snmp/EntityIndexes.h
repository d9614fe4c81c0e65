#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The number each PDU is published under, kept by its MAC in a file of the data folder: a PDU keeps its
// number across restarts, re-orderings and address changes, and the number of a PDU that went away is
// never given to another (a management system would graft the new unit onto the old one's history).
// Numbers start at 1 and only grow; an entry is never dropped.
class CEntityIndexes
{
public:
    // The file in the program's data folder.
    static QString defaultPath();

    // Each PDU's entities are numbered within a block of 100 from its number times 100, and an entity's
    // number (PhysicalIndex) is at most 2147483647.
    static constexpr quint32 kBlock = 100;
    static constexpr quint32 kHighestIndex = 2147483647u / kBlock - 1;

    explicit CEntityIndexes(const QString& strPath);

    // Reads the file; a missing file is an empty list. False, with the reason, when it cannot be read or
    // holds a line that is not "MAC number": then no number is handed out, rather than one the lost
    // lines may hold.
    bool load();
    bool isUsable() const { return m_bUsable; }
    QString errorString() const { return m_strError; }

    // The number of the PDU with these MAC digits ("0004A3123456"); 0 for none yet.
    quint32 numberOf(const QString& strMacDigits) const { return m_hashIndexes.value(strMacDigits); }
    // Gives each of these MACs without a number the next one, and writes the file once for them all (a
    // room found at once is one write, not one per PDU). False, with none of them given, when the file is
    // unusable or cannot be written: a number handed out but not kept could go to another PDU next start.
    bool assign(const QStringList& listMacDigits);

private:
    bool save();

    QString m_strPath;
    QHash<QString, quint32> m_hashIndexes;
    quint32 m_uiHighest = 0;
    bool m_bUsable = false;
    QString m_strError;
};
