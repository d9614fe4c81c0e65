#pragma once

#include <QByteArray>
#include <QVector>

#include <mutex>
#include <string>
#include <vector>

// Compresses one page after another into gzip, a part at a time: a part that reads as it did in the
// page before is not compressed again, its compressed bytes are reused. A room's metrics page is
// megabytes, and only the parts with readings change from one second to the next. Any thread.
class CGzipCache
{
public:
    // vecStarts: where each part of baText begins (ascending; the first part may begin after 0, the
    // text before it is a part of its own). Empty on failure.
    std::string compress(const QByteArray& baText, const QVector<int>& vecStarts);

private:
    struct Part
    {
        size_t uiHash = 0;
        int iSize = -1;
        unsigned long ulCrc = 0;
        std::string strDeflated;
    };
    static bool deflatePart(const char* pData, int iSize, std::string* pOut);

    std::mutex m_mutex;
    std::vector<Part> m_vecParts;
};
