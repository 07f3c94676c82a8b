// Case-insensitive searches over a byte buffer. Only the ASCII letters are
// folded; every other byte (those above 127 included) matches only itself.
#ifndef KX_HTMLPARSER_TEXT_SEARCH_H
#define KX_HTMLPARSER_TEXT_SEARCH_H

#include <cstddef>
#include <cstdint>
#include <string_view>

inline unsigned char FoldAscii(unsigned char ch) {
    return static_cast<unsigned char>(ch - 'a') < 26u ? static_cast<unsigned char>(ch - 32) : ch;
}

inline bool EqualsNoCase(const char* pText, std::string_view pattern) {
    for (size_t n = 0; n < pattern.size(); ++n)
        if (FoldAscii(static_cast<unsigned char>(pText[n])) != FoldAscii(static_cast<unsigned char>(pattern[n])))
            return false;
    return true;
}

// First offset in [nFrom, nTo) where the pattern starts and ends before nTo;
// SIZE_MAX when there is none. An empty pattern is found at nFrom.
size_t FindNoCase(const char* pText, size_t nFrom, size_t nTo, std::string_view pattern);

// Last offset in [nDownTo, nFrom] (counting down) where the pattern starts
// and ends before nTextEnd; SIZE_MAX when there is none.
size_t FindLastNoCase(const char* pText, size_t nFrom, size_t nDownTo, size_t nTextEnd, std::string_view pattern);

#endif  // KX_HTMLPARSER_TEXT_SEARCH_H
