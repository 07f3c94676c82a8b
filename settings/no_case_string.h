// A string whose comparisons and searches ignore the case of ASCII letters.
#ifndef KX_SETTINGS_NO_CASE_STRING_H
#define KX_SETTINGS_NO_CASE_STRING_H

#include <string>

#include "htmlparser/text_search.h"

struct CNoCaseTraits : std::char_traits<char> {
    static bool eq(char a, char b) {
        return FoldAscii(static_cast<unsigned char>(a)) == FoldAscii(static_cast<unsigned char>(b));
    }
    static bool lt(char a, char b) {
        return FoldAscii(static_cast<unsigned char>(a)) < FoldAscii(static_cast<unsigned char>(b));
    }
    static int compare(const char* a, const char* b, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (lt(a[i], b[i])) return -1;
            if (lt(b[i], a[i])) return 1;
        }
        return 0;
    }
    static const char* find(const char* p, size_t n, char ch) {
        for (size_t i = 0; i < n; ++i)
            if (eq(p[i], ch)) return p + i;
        return nullptr;
    }
};

typedef std::basic_string<char, CNoCaseTraits> CNoCaseString;

#endif  // KX_SETTINGS_NO_CASE_STRING_H
