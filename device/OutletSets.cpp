#include "device/OutletSets.h"

#include "device/LockedFile.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace {

bool isUpperHex(QChar c)
{
    return c.isDigit() || (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

QString checkSteps(const OutletSetsData& data, const OutletSequence& seq)
{
    if (seq.listSteps.isEmpty() || seq.listSteps.size() > COutletSets::MaxSteps)
        return COutletSets::tr("sequence %1 needs 1 to %2 steps")
            .arg(seq.strName)
            .arg(int(COutletSets::MaxSteps));
    for (int i = 0; i < seq.listSteps.size(); ++i) {
        const SequenceStep& step = seq.listSteps.at(i);
        const QString strStep = COutletSets::tr("sequence %1, step %2: ").arg(seq.strName).arg(i + 1);
        if (step.iWaitSecs < 0 || step.iWaitSecs > COutletSets::MaxWaitSecs)
            return strStep + COutletSets::tr("the wait must be 0 to %1 s").arg(int(COutletSets::MaxWaitSecs));
        if (!step.strSet.isEmpty() && !data.mapSets.contains(step.strSet))
            return COutletSets::tr("sequence %1 uses set %2 in step %3, and there is no such set")
                .arg(seq.strName, step.strSet)
                .arg(i + 1);
        OutletRef ref;
        if (step.strSet.isEmpty() &&
            (!OutletRef::parse(step.outlet.text(), &ref) || ref != step.outlet || step.outlet.iOutlet < 1 ||
             step.outlet.iOutlet > COutletSets::OutletsPerPdu))
            return strStep + COutletSets::tr("%1 is no outlet").arg(step.outlet.text());
    }
    return QString();
}

QString checkSet(const OutletSet& set)
{
    if (set.listOutlets.isEmpty() || set.listOutlets.size() > COutletSets::MaxOutletsInSet)
        return COutletSets::tr("set %1 needs 1 to %2 outlets")
            .arg(set.strName)
            .arg(int(COutletSets::MaxOutletsInSet));
    QSet<QString> setSeen;
    for (const OutletRef& out : set.listOutlets) {
        OutletRef ref;
        if (!OutletRef::parse(out.text(), &ref) || ref != out || out.iOutlet < 1 ||
            out.iOutlet > COutletSets::OutletsPerPdu)
            return COutletSets::tr("set %1: %2 is no outlet").arg(set.strName, out.text());
        if (setSeen.contains(out.text()))
            return COutletSets::tr("set %1 holds %2 twice").arg(set.strName, out.text());
        setSeen.insert(out.text());
    }
    return QString();
}

QJsonObject stepJson(const SequenceStep& step)
{
    QJsonObject obj;
    if (step.strSet.isEmpty())
        obj.insert(QStringLiteral("outlet"), step.outlet.text());
    else
        obj.insert(QStringLiteral("set"), step.strSet);
    obj.insert(QStringLiteral("on"), step.bOn);
    obj.insert(QStringLiteral("wait"), step.iWaitSecs);
    return obj;
}

// An outlet written as text; an unparsable one is kept as its text so that the check names it.
OutletRef refFrom(const QJsonValue& value, bool* pbOk)
{
    OutletRef ref;
    *pbOk = value.isString() && OutletRef::parse(value.toString(), &ref);
    if (!*pbOk)
        ref.strMac = value.toVariant().toString();
    return ref;
}

bool stepFrom(const QJsonValue& value, SequenceStep* pStep)
{
    const QJsonObject obj = value.toObject();
    bool bOk = value.isObject() && obj.value(QStringLiteral("on")).isBool() &&
               obj.value(QStringLiteral("wait")).isDouble() &&
               obj.contains(QStringLiteral("set")) != obj.contains(QStringLiteral("outlet"));
    pStep->bOn = obj.value(QStringLiteral("on")).toBool();
    const double dWait = obj.value(QStringLiteral("wait")).toDouble();
    pStep->iWaitSecs =
        dWait >= 0 && dWait <= COutletSets::MaxWaitSecs && dWait == int(dWait) ? int(dWait) : -1;
    if (obj.contains(QStringLiteral("set"))) {
        bOk = bOk && obj.value(QStringLiteral("set")).isString();
        pStep->strSet = obj.value(QStringLiteral("set")).toString();
        return bOk && !pStep->strSet.isEmpty();
    }
    bool bRef = false;
    pStep->outlet = refFrom(obj.value(QStringLiteral("outlet")), &bRef);
    return bOk && bRef;
}

} // namespace

QString OutletRef::text() const
{
    return strMac + QLatin1Char('/') + QString::number(iOutlet);
}

bool OutletRef::parse(const QString& strText, OutletRef* pRef)
{
    const int iSlash = strText.indexOf(QLatin1Char('/'));
    if (iSlash <= 0)
        return false;
    QString strMac = strText.left(iSlash).trimmed().toUpper();
    strMac.remove(QLatin1Char(':')).remove(QLatin1Char('-'));
    bool bOutlet = false;
    const int iOutlet = strText.mid(iSlash + 1).trimmed().toInt(&bOutlet);
    if (!bOutlet || strMac.size() != 12 || !std::all_of(strMac.begin(), strMac.end(), isUpperHex))
        return false;
    pRef->strMac = strMac;
    pRef->iOutlet = iOutlet;
    return true;
}

QString COutletSets::defaultPath()
{
    const QByteArray baPath = qgetenv("RACKMIND_OUTLET_SETS");
    return baPath.isEmpty() ? QStringLiteral("/var/lib/rackmind/outlet-sets")
                            : QString::fromLocal8Bit(baPath);
}

COutletSets::COutletSets(const QString& strPath) : m_strPath(strPath) {}

bool COutletSets::isValidName(const QString& strName)
{
    static const QStringList kWords{QStringLiteral("list"),   QStringLiteral("show"), QStringLiteral("add"),
                                    QStringLiteral("remove"), QStringLiteral("run"),  QStringLiteral("help")};
    if (strName.isEmpty() || strName.size() > MaxNameLength || strName.startsWith(QLatin1Char('-')) ||
        kWords.contains(strName, Qt::CaseInsensitive))
        return false;
    return std::all_of(strName.begin(), strName.end(), [](QChar c) {
        return (c.unicode() < 128 && c.isLetterOrNumber()) || QStringLiteral("-_.@").contains(c);
    });
}

QString COutletSets::check(const OutletSetsData& data)
{
    for (auto it = data.mapSets.cbegin(); it != data.mapSets.cend(); ++it) {
        if (!isValidName(it.key()) || it->strName != it.key())
            return COutletSets::tr("%1 is no name for a set").arg(it.key());
        const QString strWhy = checkSet(*it);
        if (!strWhy.isEmpty())
            return strWhy;
    }
    for (auto it = data.mapSequences.cbegin(); it != data.mapSequences.cend(); ++it) {
        if (!isValidName(it.key()) || it->strName != it.key())
            return COutletSets::tr("%1 is no name for a sequence").arg(it.key());
        const QString strWhy = checkSteps(data, *it);
        if (!strWhy.isEmpty())
            return strWhy;
    }
    return QString();
}

QByteArray COutletSets::toJson(const OutletSetsData& data)
{
    QJsonArray arSets;
    for (const OutletSet& set : data.mapSets) {
        QJsonArray arOutlets;
        for (const OutletRef& ref : set.listOutlets)
            arOutlets.append(ref.text());
        arSets.append(
            QJsonObject{{QStringLiteral("name"), set.strName}, {QStringLiteral("outlets"), arOutlets}});
    }
    QJsonArray arSequences;
    for (const OutletSequence& seq : data.mapSequences) {
        QJsonArray arSteps;
        for (const SequenceStep& step : seq.listSteps)
            arSteps.append(stepJson(step));
        arSequences.append(
            QJsonObject{{QStringLiteral("name"), seq.strName}, {QStringLiteral("steps"), arSteps}});
    }
    const QJsonObject obj{{QStringLiteral("sets"), arSets}, {QStringLiteral("sequences"), arSequences}};
    return QJsonDocument(obj).toJson(QJsonDocument::Indented);
}

bool COutletSets::fromJson(const QByteArray& baText, OutletSetsData* pData, QString* pError)
{
    OutletSetsData data;
    QJsonParseError err;
    const QJsonDocument doc = QJsonDocument::fromJson(baText, &err);
    bool bOk = baText.trimmed().isEmpty() || (doc.isObject() && err.error == QJsonParseError::NoError);
    const QJsonObject obj = doc.object();
    for (const QJsonValue& value : obj.value(QStringLiteral("sets")).toArray()) {
        const QJsonObject objSet = value.toObject();
        OutletSet set;
        set.strName = objSet.value(QStringLiteral("name")).toString();
        bOk = bOk && !data.mapSets.contains(set.strName) && objSet.value(QStringLiteral("outlets")).isArray();
        for (const QJsonValue& valueRef : objSet.value(QStringLiteral("outlets")).toArray()) {
            bool bRef = false;
            set.listOutlets.append(refFrom(valueRef, &bRef));
            bOk = bOk && bRef;
        }
        data.mapSets.insert(set.strName, set);
    }
    for (const QJsonValue& value : obj.value(QStringLiteral("sequences")).toArray()) {
        const QJsonObject objSeq = value.toObject();
        OutletSequence seq;
        seq.strName = objSeq.value(QStringLiteral("name")).toString();
        bOk = bOk && !data.mapSequences.contains(seq.strName) &&
              objSeq.value(QStringLiteral("steps")).isArray();
        for (const QJsonValue& valueStep : objSeq.value(QStringLiteral("steps")).toArray()) {
            seq.listSteps.append(SequenceStep());
            bOk = bOk && stepFrom(valueStep, &seq.listSteps.last());
        }
        data.mapSequences.insert(seq.strName, seq);
    }
    const QString strWhy = bOk ? check(data) : COutletSets::tr("it is no list of outlet sets");
    if (!strWhy.isEmpty()) {
        if (pError)
            *pError = strWhy;
        return false;
    }
    *pData = data;
    return true;
}

bool COutletSets::load(QString* pError)
{
    QByteArray baText;
    QString strWhy;
    OutletSetsData data;
    if (!LockedFile::read(m_strPath, &baText, pError))
        return false;
    if (!fromJson(baText, &data, &strWhy)) {
        if (pError)
            *pError = QStringLiteral("%1: %2").arg(m_strPath, strWhy);
        return false;
    }
    m_data = data;
    return true;
}

QList<OutletRef> COutletSets::outletsOf(const SequenceStep& step) const
{
    if (step.strSet.isEmpty())
        return {step.outlet};
    return m_data.mapSets.value(step.strSet).listOutlets;
}

bool COutletSets::change(const std::function<bool(OutletSetsData&, QString*)>& fnChange, QString* pError)
{
    OutletSetsData data;
    const bool bOk = LockedFile::change(
        m_strPath,
        [&](QByteArray& baText, QString* pWhy) {
            QString strWhy;
            if (!fromJson(baText, &data, &strWhy)) {
                // Never written over: what the file held is the operators' to mend, not ours to drop.
                *pWhy = QStringLiteral("%1: %2").arg(m_strPath, strWhy);
                return false;
            }
            if (!fnChange(data, pWhy))
                return false;
            for (auto it = data.mapSets.begin(); it != data.mapSets.end(); ++it)
                it->strName = it.key();
            for (auto it = data.mapSequences.begin(); it != data.mapSequences.end(); ++it)
                it->strName = it.key();
            *pWhy = check(data);
            if (!pWhy->isEmpty())
                return false;
            baText = toJson(data);
            return true;
        },
        pError);
    if (bOk)
        m_data = data;
    return bOk;
}
