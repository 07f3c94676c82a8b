// A string whose comparisons and searches ignore the case of ASCII letters.
#ifndef KX_BASE_NO_CASE_STRING_H
#define KX_BASE_NO_CASE_STRING_H

#include <string>

#include "base/ascii_case.h"

struct CNoCaseTraits : std::char_traits<char> {
    static bool eq(char a, char b) { return CompareFolded(a, b) == 0; }
    static bool lt(char a, char b) { return CompareFolded(a, b) < 0; }
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

#endif  // KX_BASE_NO_CASE_STRING_H
