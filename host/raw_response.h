// A raw HTTP response as the worker hands it back (the edited buffer or its
// replacement), taken apart; the body stays where it is.
#ifndef KX_HOST_RAW_RESPONSE_H
#define KX_HOST_RAW_RESPONSE_H

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kxhost {

struct RawResponse {
    int nStatus = 0;
    std::vector<std::pair<std::string, std::string>> headers;
    size_t nBody = 0;  // offset of the body in the raw text
};

// False when the text is no status line and header block ending in an
// empty line, or the status is not three digits.
bool ParseRawResponse(std::string_view sRaw, RawResponse& parsed);

}  // namespace kxhost

#endif  // KX_HOST_RAW_RESPONSE_H
