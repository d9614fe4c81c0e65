#include "metrics/GzipCache.h"

#include <zlib.h>

#include <functional>
#include <string_view>

bool CGzipCache::deflatePart(const char* pData, int iSize, std::string* pOut)
{
    // Raw deflate from a fresh state, ended by a sync flush: byte-aligned, not final, and referring
    // to nothing before it, so that parts compressed apart can be laid end to end.
    z_stream zs{};
    if (deflateInit2(&zs, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    pOut->assign(deflateBound(&zs, uLong(iSize)) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(pData));
    zs.avail_in = uInt(iSize);
    zs.next_out = reinterpret_cast<Bytef*>(&(*pOut)[0]);
    zs.avail_out = uInt(pOut->size());
    const int iResult = deflate(&zs, Z_SYNC_FLUSH);
    const bool bOk = iResult == Z_OK && zs.avail_in == 0 && zs.avail_out > 0;
    pOut->resize(bOk ? zs.total_out : 0);
    pOut->shrink_to_fit();
    deflateEnd(&zs);
    return bOk;
}

std::string CGzipCache::compress(const QByteArray& baText, const QVector<int>& vecStarts)
{
    QVector<int> vecBounds{0};
    for (int iStart : vecStarts)
        if (iStart > vecBounds.last() && iStart < baText.size())
            vecBounds << iStart;
    vecBounds << baText.size();

    std::lock_guard<std::mutex> lock(m_mutex);
    m_vecParts.resize(size_t(vecBounds.size() - 1));
    // Header: no name, no time, unknown system.
    std::string strOut("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    unsigned long ulCrc = crc32(0, nullptr, 0);
    for (int i = 0; i + 1 < vecBounds.size(); ++i) {
        const char* pData = baText.constData() + vecBounds.at(i);
        const int iSize = vecBounds.at(i + 1) - vecBounds.at(i);
        Part& part = m_vecParts[size_t(i)];
        // A 64-bit hash and the length tell an unchanged part; a change that kept both is as likely as
        // two random 64-bit numbers being equal.
        const size_t uiHash = std::hash<std::string_view>()(std::string_view(pData, size_t(iSize)));
        if (part.iSize != iSize || part.uiHash != uiHash) {
            part.iSize = -1;
            if (!deflatePart(pData, iSize, &part.strDeflated))
                return {};
            part.ulCrc = crc32(0, reinterpret_cast<const Bytef*>(pData), uInt(iSize));
            part.uiHash = uiHash;
            part.iSize = iSize;
        }
        strOut += part.strDeflated;
        ulCrc = crc32_combine(ulCrc, part.ulCrc, iSize);
    }
    // An empty final block with fixed codes, then the text's CRC and length, both little-endian.
    strOut.append("\x03\x00", 2);
    const quint32 auiTrailer[2] = {quint32(ulCrc), quint32(baText.size())};
    for (quint32 uiValue : auiTrailer)
        for (int iShift = 0; iShift < 32; iShift += 8)
            strOut += char((uiValue >> iShift) & 0xFF);
    return strOut;
}
