#include "host/raw_response.h"

namespace kxhost {

bool ParseRawResponse(std::string_view sRaw, RawResponse& parsed) {
    const size_t nHeadEnd = sRaw.find("\r\n\r\n");
    if (nHeadEnd == std::string_view::npos || sRaw.substr(0, 5) != "HTTP/") return false;
    const size_t nStatusEnd = sRaw.find("\r\n");
    const size_t nBlank = sRaw.find(' ');
    if (nBlank == std::string_view::npos || nBlank + 4 > nStatusEnd) return false;
    parsed.nStatus = 0;
    for (size_t n = nBlank + 1; n < nBlank + 4; ++n) {
        if (sRaw[n] < '0' || sRaw[n] > '9') return false;
        parsed.nStatus = parsed.nStatus * 10 + (sRaw[n] - '0');
    }
    parsed.headers.clear();
    for (size_t nLine = nStatusEnd + 2; nLine < nHeadEnd;) {
        const size_t nEnd = sRaw.find("\r\n", nLine);
        const std::string_view sLine = sRaw.substr(nLine, nEnd - nLine);
        const size_t nColon = sLine.find(':');
        if (nColon != std::string_view::npos) {
            const size_t nValue = sLine.find_first_not_of(' ', nColon + 1);
            parsed.headers.emplace_back(sLine.substr(0, nColon),
                                        nValue == std::string_view::npos ? std::string_view() : sLine.substr(nValue));
        }
        nLine = nEnd + 2;
    }
    parsed.nBody = nHeadEnd + 4;
    return parsed.nStatus >= 100;
}

}  // namespace kxhost
