#pragma once

#include <QCoreApplication>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

// One outlet as sets and sequences name it: the PDU by its MAC (twelve upper-case hex digits, the
// protection list's form), so that a readdressed PDU keeps its place.
struct OutletRef
{
    QString strMac;
    int iOutlet = 0; // 1..8
    // "MAC/outlet", as the protection list writes it.
    QString text() const;
    // Accepts 02:50:44:00:00:01/3 and lower case too; false when the text names no outlet.
    static bool parse(const QString& strText, OutletRef* pRef);
    bool operator==(const OutletRef& o) const { return strMac == o.strMac && iOutlet == o.iOutlet; }
    bool operator!=(const OutletRef& o) const { return !(*this == o); }
};

struct OutletSet
{
    QString strName;
    QList<OutletRef> listOutlets;
};

struct SequenceStep
{
    QString strSet; // a set's name, or empty: the single outlet below
    OutletRef outlet;
    bool bOn = true;
    int iWaitSecs = 0; // once the step showed its state, before the next step
};

struct OutletSequence
{
    QString strName;
    QList<SequenceStep> listSteps;
};

struct OutletSetsData
{
    QMap<QString, OutletSet> mapSets;
    QMap<QString, OutletSequence> mapSequences;
};

// The machine's outlet sets and sequences, one JSON file beside the protection list, with the same
// conventions (readable by all, changed by root and group rackmind, shared lock to read, exclusive to
// change, opened without following links).
class COutletSets
{
    Q_DECLARE_TR_FUNCTIONS(COutletSets)

public:
    enum Limits
    {
        MaxNameLength = 48,
        MaxOutletsInSet = 64,
        MaxSteps = 200,
        MaxWaitSecs = 3600,
        OutletsPerPdu = 8
    };

    // $RACKMIND_OUTLET_SETS when set (tests, a second installation), else /var/lib/rackmind/outlet-sets.
    static QString defaultPath();
    explicit COutletSets(const QString& strPath = defaultPath());
    const QString& path() const { return m_strPath; }

    // A missing file holds nothing; unreadable or malformed: false, with the reason, and the data kept
    // as it was (callers then refuse to switch rather than guess).
    bool load(QString* pError = nullptr);
    const OutletSetsData& data() const { return m_data; }
    // Sets and sequences known otherwise (a service's), in place of the file's.
    void assign(const OutletSetsData& data) { m_data = data; }
    // The outlets a step switches; empty when its set is gone.
    QList<OutletRef> outletsOf(const SequenceStep& step) const;

    // Re-reads, lets fnChange edit (it returns false with a reason to refuse), validates, writes back,
    // all under one lock.
    bool change(const std::function<bool(OutletSetsData&, QString*)>& fnChange, QString* pError = nullptr);

    // A name is a command line argument, a file key and a metrics label: letters, digits and -_.+@:,
    // not starting with '-', and none of the words rackmind-ctl takes in its place.
    static bool isValidName(const QString& strName);
    // Empty when the data may be written, else why not.
    static QString check(const OutletSetsData& data);

    static bool fromJson(const QByteArray& baText, OutletSetsData* pData, QString* pError);
    static QByteArray toJson(const OutletSetsData& data);

private:
    QString m_strPath;
    OutletSetsData m_data;
};
