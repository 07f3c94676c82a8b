#include "forms/page_text.h"

#include <cstdint>

#include "base/ascii_case.h"
#include "platform/utf.h"

namespace {

constexpr char HEX[] = "0123456789ABCDEF";

struct CNamedReference {
    std::string_view sName;
    const char* pszText;
};

constexpr CNamedReference NAMED[] = {{"amp", "&"},  {"lt", "<"},   {"gt", ">"},
                                     {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"}};

// The numeric reference "#..." of sBody decoded into sOut; false when it
// names no character that may stand in text.
bool DecodeNumeric(std::string_view sBody, std::string& sOut) {
    const bool bHex = sBody.size() > 1 && (sBody[1] == 'x' || sBody[1] == 'X');
    const size_t nFirst = bHex ? 2 : 1;
    if (sBody.size() <= nFirst) return false;
    uint32_t ch = 0;
    for (size_t n = nFirst; n < sBody.size(); ++n) {
        const int nDigit = bHex ? AsciiHexValue(static_cast<unsigned char>(sBody[n]))
                                : IsAsciiDigit(static_cast<unsigned char>(sBody[n])) ? sBody[n] - '0' : -1;
        if (nDigit < 0) return false;
        ch = ch * (bHex ? 16 : 10) + static_cast<uint32_t>(nDigit);
        if (ch > 0x10FFFF) return false;
    }
    if (ch == 0 || (ch >= 0xD800 && ch <= 0xDFFF)) return false;
    AppendUtf8(sOut, ch);
    return true;
}

bool DecodeReference(std::string_view sBody, std::string& sOut) {
    if (!sBody.empty() && sBody[0] == '#') return DecodeNumeric(sBody, sOut);
    for (const CNamedReference& reference : NAMED)
        if (sBody == reference.sName) {
            sOut += reference.pszText;
            return true;
        }
    return false;
}

}  // namespace

std::string DecodeHtmlText(std::string_view sText) {
    constexpr size_t MAX_REFERENCE = 10;  // "#x10FFFF" and the longest name fit
    std::string sOut;
    sOut.reserve(sText.size());
    size_t n = 0;
    while (n < sText.size()) {
        const size_t nAmp = sText.find('&', n);
        if (nAmp == std::string_view::npos) break;
        sOut.append(sText, n, nAmp - n);
        const size_t nSemicolon = sText.substr(nAmp + 1, MAX_REFERENCE + 1).find(';');
        if (nSemicolon == std::string_view::npos || !DecodeReference(sText.substr(nAmp + 1, nSemicolon), sOut)) {
            sOut += '&';
            n = nAmp + 1;
        } else {
            n = nAmp + nSemicolon + 2;
        }
    }
    if (n < sText.size()) sOut.append(sText, n);
    return sOut;
}

std::string EscapeHtml(std::string_view sText) {
    std::string sOut;
    sOut.reserve(sText.size());
    for (char ch : sText) {
        switch (ch) {
            case '&': sOut += "&amp;"; break;
            case '<': sOut += "&lt;"; break;
            case '>': sOut += "&gt;"; break;
            case '"': sOut += "&quot;"; break;
            case '\'': sOut += "&#39;"; break;
            default: sOut += ch;
        }
    }
    return sOut;
}

void AppendJsString(std::string& sOut, std::string_view sText) {
    sOut.reserve(sOut.size() + sText.size());
    for (size_t n = 0; n < sText.size(); ++n) {
        const auto ch = static_cast<unsigned char>(sText[n]);
        switch (ch) {
            case '\\': sOut += "\\\\"; continue;
            case '"': sOut += "\\\""; continue;
            case '\'': sOut += "\\'"; continue;
            case '\n': sOut += "\\n"; continue;
            case '\r': sOut += "\\r"; continue;
            case '<': sOut += "\\x3C"; continue;
            default: break;
        }
        // U+2028 and U+2029 end a line in older engines: E2 80 A8 / A9.
        if (ch == 0xE2 && n + 2 < sText.size() && static_cast<unsigned char>(sText[n + 1]) == 0x80 &&
            (static_cast<unsigned char>(sText[n + 2]) & 0xFE) == 0xA8) {
            sOut += static_cast<unsigned char>(sText[n + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
            n += 2;
        } else if (ch < 0x20 || ch == 0x7F) {
            sOut.append("\\x").append(1, HEX[ch >> 4]).append(1, HEX[ch & 15]);
        } else {
            sOut += static_cast<char>(ch);
        }
    }
}
