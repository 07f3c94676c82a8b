// Case-insensitive searches over a byte buffer. Only the ASCII letters are
// folded; every other byte (those above 127 included) matches only itself.
#ifndef KX_BASE_TEXT_SEARCH_H
#define KX_BASE_TEXT_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ascii_case.h"

// First offset in [nFrom, nTo) where the pattern starts and ends before nTo;
// SIZE_MAX when there is none. An empty pattern is found at nFrom.
size_t FindNoCase(const char* pText, size_t nFrom, size_t nTo, std::string_view pattern);

// Last offset in [nDownTo, nFrom] (counting down) where the pattern starts
// and ends before nTextEnd; SIZE_MAX when there is none.
size_t FindLastNoCase(const char* pText, size_t nFrom, size_t nDownTo, size_t nTextEnd, std::string_view pattern);

// The same over a whole text from nFrom; npos when there is none.
inline size_t FindNoCaseIn(std::string_view sText, std::string_view sPattern, size_t nFrom) {
    if (nFrom > sText.size()) return std::string_view::npos;
    const size_t nHit = FindNoCase(sText.data(), nFrom, sText.size(), sPattern);
    return nHit == SIZE_MAX ? std::string_view::npos : nHit;
}

// Whether the text holds a byte below 0x20 or DEL: such a value never goes
// into a header or a URL.
bool HasControlCharacters(std::string_view sText);

#endif  // KX_BASE_TEXT_SEARCH_H
