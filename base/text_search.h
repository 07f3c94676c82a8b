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

#endif  // KX_BASE_TEXT_SEARCH_H
