#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// An object identifier as a list of sub-identifiers; QVector's operator< is the lexicographic order
// GETNEXT walks.
using Oid = QVector<quint32>;

// "1.3.6.1.2.1.47" -> the sub-identifiers; empty for a text that is not one.
Oid oidFromText(const QString& strText);
QString oidText(const Oid& oid);
// The OID followed by more sub-identifiers.
Oid operator+(const Oid& oid, std::initializer_list<quint32> list);
bool oidStartsWith(const Oid& oid, const Oid& prefix);

// One value as SNMP carries it; only the types these tables use.
struct SnmpValue
{
    enum Type
    {
        Integer,     // INTEGER, Integer32 and enumerations
        OctetString, // SnmpAdminString (UTF-8), BITS, DateAndTime
        ObjectId,
        TimeTicks, // TimeStamp
        Unsigned   // Unsigned32, Gauge32
    };
    Type eType = Integer;
    qint64 iValue = 0;
    QByteArray baValue;
    Oid oidValue;
    bool bBinary = false; // octets that are not text (BITS, DateAndTime)

    static SnmpValue integer(qint64 i) { return {Integer, i, {}, {}, false}; }
    static SnmpValue octets(const QByteArray& ba) { return {OctetString, 0, ba, {}, true}; }
    static SnmpValue text(const QString& str) { return {OctetString, 0, str.toUtf8(), {}, false}; }
    static SnmpValue objectId(const Oid& oid) { return {ObjectId, 0, {}, oid, false}; }
    static SnmpValue timeTicks(quint32 ui) { return {TimeTicks, ui, {}, {}, false}; }
    static SnmpValue unsignedValue(quint32 ui) { return {Unsigned, ui, {}, {}, false}; }

    // "i:3", "s:text", "x:0420" (binary octets in hex), "o:0.0", "t:12", "u:1000": for logs and tests.
    QString toText() const;
    bool operator==(const SnmpValue& other) const;
};
