#include "history/HistoryCodec.h"

#include <QtEndian>

#include <algorithm>
#include <type_traits>

namespace {
enum Format : quint8
{
    Plain = 0,
    Zlib = 1
};

QByteArray wrap(const QByteArray& baBody, bool bCompress)
{
    if (bCompress)
        return char(Zlib) + qCompress(baBody, 9);
    return char(Plain) + baBody;
}

QByteArray unwrap(const QByteArray& baRow)
{
    if (baRow.isEmpty())
        return QByteArray();
    if (quint8(baRow.at(0)) == Zlib)
        return qUncompress(baRow.mid(1));
    return baRow.mid(1);
}

// Big-endian, as QDataStream reads it back; written straight into the row, which is rewritten every
// second for every device that answered.
template <typename V> void put(QByteArray& out, V value)
{
    static_assert(std::is_integral<V>::value, "integers only");
    const auto uiValue = std::make_unsigned_t<V>(value);
    for (int iShift = int(sizeof(V) - 1) * 8; iShift >= 0; iShift -= 8)
        out.append(char((uiValue >> iShift) & 0xFF));
}

template <typename T, typename Fn> void column(QByteArray& out, const QVector<T>& vec, Fn fn)
{
    for (const T& item : vec)
        put(out, fn(item));
}

// Reads the big-endian fields of a row straight from its bytes (the figures of a month of a large room
// read hundreds of thousands of rows); past the end every read gives 0 and the row counts as broken.
class RowReader
{
public:
    explicit RowReader(const QByteArray& ba)
        : m_p(reinterpret_cast<const uchar*>(ba.constData())), m_pEnd(m_p + ba.size())
    {
    }
    template <typename V> V get()
    {
        if (m_pEnd - m_p < qptrdiff(sizeof(V))) {
            m_bOk = false;
            m_p = m_pEnd;
            return 0;
        }
        const V value = qFromBigEndian<V>(m_p);
        m_p += sizeof(V);
        return value;
    }
    bool ok() const { return m_bOk; }
    bool atEnd() const { return m_p == m_pEnd; }

private:
    const uchar* m_p;
    const uchar* m_pEnd;
    bool m_bOk = true;
};

quint16 average(qint64 iSum, int iCount)
{
    return iCount ? quint16((iSum + iCount / 2) / iCount) : 0;
}
} // namespace

void HistoryAggregate::add(const HistorySample& sample)
{
    HistoryAggregate one;
    one.uiSamples = 1;
    // Known (the caller adds the energy of the interval the poll ends).
    one.bEnergy = true;
    one.uiOutlets = sample.uiOutlets;
    // A reading that cannot be right (kept as read in the polls) makes no minimum, average or peak.
    if (sample.bOnline && !sample.bNoEnergy) {
        one.uiOnline = 1;
        std::fill(std::begin(one.aVoltage), std::end(one.aVoltage), sample.uiVoltage);
        std::fill(std::begin(one.aCentiAmps), std::end(one.aCentiAmps), sample.uiCentiAmps);
        std::fill(std::begin(one.aTemperature), std::end(one.aTemperature), sample.uiTemperature);
        std::fill(std::begin(one.aHumidity), std::end(one.aHumidity), sample.uiHumidity);
    }
    add(one);
}

void HistoryAggregate::add(const HistoryAggregate& finer)
{
    // A span's energy is known only when that of every part is.
    bEnergy = uiSamples == 0 ? finer.bEnergy : bEnergy && finer.bEnergy;
    iEnergy += finer.iEnergy;
    uiSamples = quint16(uiSamples + finer.uiSamples);
    if (finer.uiOnline == 0)
        return;
    uiOutlets = finer.uiOutlets;
    const int iBefore = uiOnline;
    const int iAfter = iBefore + finer.uiOnline;
    int iField = 0;
    auto fold = [&](auto& a, const auto& b) {
        using V = std::remove_reference_t<decltype(a[0])>;
        a[0] = iBefore ? std::min(a[0], b[0]) : b[0];
        a[2] = iBefore ? std::max(a[2], b[2]) : b[2];
        aSum[iField] += qint64(b[1]) * finer.uiOnline;
        a[1] = V(average(aSum[iField], iAfter));
        ++iField;
    };
    fold(aVoltage, finer.aVoltage);
    fold(aCentiAmps, finer.aCentiAmps);
    fold(aTemperature, finer.aTemperature);
    fold(aHumidity, finer.aHumidity);
    uiOnline = quint16(iAfter);
}

namespace HistoryCodec {

QByteArray packSamples(const QVector<HistorySample>& vec, qint64 iRowStart, bool bCompress)
{
    QByteArray out;
    out.reserve(2 + vec.size() * 9);
    put(out, quint16(vec.size()));
    column(out, vec, [&](const HistorySample& s) { return quint16(s.iMsecs - iRowStart); });
    // Bit 0: answered; bit 1: counts no energy (rows written before had only bit 0).
    column(out, vec, [](const HistorySample& s) { return quint8(s.bOnline | (s.bNoEnergy << 1)); });
    column(out, vec, [](const HistorySample& s) { return s.uiVoltage; });
    column(out, vec, [](const HistorySample& s) { return s.uiCentiAmps; });
    column(out, vec, [](const HistorySample& s) { return s.uiTemperature; });
    column(out, vec, [](const HistorySample& s) { return s.uiHumidity; });
    column(out, vec, [](const HistorySample& s) { return s.uiOutlets; });
    return wrap(out, bCompress);
}

QVector<HistorySample> unpackSamples(const QByteArray& baRow, qint64 iRowStart)
{
    const QByteArray baBody = unwrap(baRow);
    RowReader in(baBody);
    QVector<HistorySample> vec(in.get<quint16>());
    for (HistorySample& s : vec)
        s.iMsecs = iRowStart + in.get<quint16>();
    for (HistorySample& s : vec) {
        const quint8 uiOnline = in.get<quint8>();
        s.bOnline = uiOnline & 1;
        s.bNoEnergy = uiOnline & 2;
    }
    for (HistorySample& s : vec)
        s.uiVoltage = in.get<quint16>();
    for (HistorySample& s : vec)
        s.uiCentiAmps = in.get<quint16>();
    for (HistorySample& s : vec)
        s.uiTemperature = in.get<quint8>();
    for (HistorySample& s : vec)
        s.uiHumidity = in.get<quint8>();
    for (HistorySample& s : vec)
        s.uiOutlets = in.get<quint8>();
    return in.ok() ? vec : QVector<HistorySample>();
}

QByteArray packAggregates(const QVector<HistoryAggregate>& vec, qint64 iRowStart, bool bCompress)
{
    QByteArray out;
    out.reserve(2 + vec.size() * 34);
    put(out, quint16(vec.size()));
    // Offsets in seconds: an hour row spans a day, which milliseconds would overflow.
    column(out, vec, [&](const HistoryAggregate& a) { return quint32((a.iMsecs - iRowStart) / 1000); });
    for (int k = 0; k < 3; ++k) {
        column(out, vec, [k](const HistoryAggregate& a) { return a.aVoltage[k]; });
        column(out, vec, [k](const HistoryAggregate& a) { return a.aCentiAmps[k]; });
        column(out, vec, [k](const HistoryAggregate& a) { return a.aTemperature[k]; });
        column(out, vec, [k](const HistoryAggregate& a) { return a.aHumidity[k]; });
    }
    column(out, vec, [](const HistoryAggregate& a) { return a.uiOutlets; });
    column(out, vec, [](const HistoryAggregate& a) { return a.uiOnline; });
    column(out, vec, [](const HistoryAggregate& a) { return a.uiSamples; });
    // Appended columns: rows written before energy was kept end above.
    column(out, vec, [](const HistoryAggregate& a) { return quint8(a.bEnergy); });
    column(out, vec, [](const HistoryAggregate& a) { return a.iEnergy; });
    return wrap(out, bCompress);
}

QVector<HistoryAggregate> unpackAggregates(const QByteArray& baRow, qint64 iRowStart)
{
    const QByteArray baBody = unwrap(baRow);
    RowReader in(baBody);
    QVector<HistoryAggregate> vec(in.get<quint16>());
    for (HistoryAggregate& a : vec)
        a.iMsecs = iRowStart + qint64(in.get<quint32>()) * 1000;
    for (int k = 0; k < 3; ++k) {
        for (HistoryAggregate& a : vec)
            a.aVoltage[k] = in.get<quint16>();
        for (HistoryAggregate& a : vec)
            a.aCentiAmps[k] = in.get<quint16>();
        for (HistoryAggregate& a : vec)
            a.aTemperature[k] = in.get<quint8>();
        for (HistoryAggregate& a : vec)
            a.aHumidity[k] = in.get<quint8>();
    }
    for (HistoryAggregate& a : vec)
        a.uiOutlets = in.get<quint8>();
    for (HistoryAggregate& a : vec)
        a.uiOnline = in.get<quint16>();
    for (HistoryAggregate& a : vec)
        a.uiSamples = in.get<quint16>();
    if (in.ok() && !in.atEnd()) {
        for (HistoryAggregate& a : vec)
            a.bEnergy = in.get<quint8>() != 0;
        for (HistoryAggregate& a : vec)
            a.iEnergy = in.get<qint64>();
    }
    return in.ok() ? vec : QVector<HistoryAggregate>();
}

} // namespace HistoryCodec
