#include "metrics/HttpHead.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

bool isTokenChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           (c != '\0' && std::strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

bool equalsNoCase(std::string_view a, const char* pszB)
{
    const size_t uiLength = std::strlen(pszB);
    if (a.size() != uiLength)
        return false;
    for (size_t i = 0; i < uiLength; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != pszB[i])
            return false;
    }
    return true;
}

std::string_view trimmed(std::string_view sv)
{
    while (!sv.empty() && (sv.front() == ' ' || sv.front() == '\t'))
        sv.remove_prefix(1);
    while (!sv.empty() && (sv.back() == ' ' || sv.back() == '\t'))
        sv.remove_suffix(1);
    return sv;
}

// method SP target SP version, and nothing else: readers that split on runs of spaces, or keep a
// trailing one with the version, each see another request in anything looser.
bool isRequestLine(std::string_view line)
{
    size_t uiMethod = 0;
    while (uiMethod < line.size() && isTokenChar(line[uiMethod]))
        ++uiMethod;
    if (uiMethod == 0 || uiMethod == line.size() || line[uiMethod] != ' ')
        return false;
    const size_t uiTarget = line.find(' ', uiMethod + 1);
    if (uiTarget == std::string_view::npos || uiTarget == uiMethod + 1)
        return false;
    for (size_t i = uiMethod + 1; i < uiTarget; ++i) {
        const auto uc = static_cast<unsigned char>(line[i]);
        if (uc <= 0x20 || uc >= 0x7f)
            return false;
    }
    const std::string_view version = line.substr(uiTarget + 1);
    return version.size() == 8 && version.substr(0, 5) == "HTTP/" && std::isdigit(uint8_t(version[5])) &&
           version[6] == '.' && std::isdigit(uint8_t(version[7]));
}

} // namespace

bool isStrictRequestHead(const std::string& strHead)
{
    std::string_view rest(strHead);
    bool bFirst = true;
    bool bNeedsHost = false;
    int iHosts = 0;
    while (!rest.empty()) {
        const size_t uiEnd = rest.find('\n');
        std::string_view line = rest.substr(0, uiEnd);
        rest = uiEnd == std::string_view::npos ? std::string_view() : rest.substr(uiEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // A CR anywhere else ends a line for some readers and not for others.
        if (line.find('\r') != std::string_view::npos)
            return false;
        if (bFirst) {
            bFirst = false;
            if (!isRequestLine(line))
                return false;
            bNeedsHost = line.substr(line.size() - 9) == " HTTP/1.1";
            continue;
        }
        if (line.empty())
            break;
        // A folded line continues the field above it for some readers and starts one for others.
        size_t uiColon = 0;
        while (uiColon < line.size() && isTokenChar(line[uiColon]))
            ++uiColon;
        if (uiColon == 0 || uiColon == line.size() || line[uiColon] != ':')
            return false;
        const std::string_view name = line.substr(0, uiColon);
        const std::string_view value = trimmed(line.substr(uiColon + 1));
        for (char c : value) {
            const auto uc = static_cast<unsigned char>(c);
            if ((uc < 0x20 && c != '\t') || uc == 0x7f)
                return false;
        }
        if (equalsNoCase(name, "host")) {
            ++iHosts;
        } else if (equalsNoCase(name, "content-length")) {
            if (value.empty() || value.find_first_not_of("0123456789") != std::string_view::npos)
                return false;
        }
    }
    return bNeedsHost ? iHosts == 1 : iHosts <= 1;
}
