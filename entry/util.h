// Text helpers of the request handling: cookies (CCookies), the EWS address.
#ifndef KX_ENTRY_UTIL_H
#define KX_ENTRY_UTIL_H

#include <string>
#include <string_view>

#include "kx/win_types.h"
#include "settings/cookies.h"

struct CDLLContext;

class CUtil : public CCookies {
public:
    // Setting 38 when set, else this server's address from the request:
    // scheme + local address (IPv6 in brackets) + "/EWS/exchange.asmx".
    static std::string BuildEwsUrl(CDLLContext* pContext);
    // The text between the first startMarker and the next endMarker after
    // it (ignoring case), or to the end; empty when startMarker is absent.
    static std::string ExtractBetween(std::string_view sText, std::string_view sStart, std::string_view sEnd);
};

#endif  // KX_ENTRY_UTIL_H
