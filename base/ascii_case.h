// The one ASCII case fold and the ASCII character classes. Only a-z are
// folded (to A-Z); every other byte, those above 127 included, matches only
// itself, whatever the locale.
#ifndef KX_BASE_ASCII_CASE_H
#define KX_BASE_ASCII_CASE_H

#include <cstddef>
#include <string>
#include <string_view>

inline unsigned char FoldAscii(unsigned char ch) {
    return static_cast<unsigned char>(ch - 'a') < 26u ? static_cast<unsigned char>(ch - 32) : ch;
}

// The C locale's character classes, whatever locale the host process set.
inline bool IsAsciiSpace(unsigned char ch) { return ch == ' ' || (ch >= '\t' && ch <= '\r'); }
inline bool IsAsciiAlpha(unsigned char ch) { return static_cast<unsigned char>((ch | 0x20) - 'a') < 26u; }
inline bool IsAsciiDigit(unsigned char ch) { return static_cast<unsigned char>(ch - '0') < 10u; }
// 0 to 15; -1 when ch is no hex digit.
inline int AsciiHexValue(unsigned char ch) {
    if (IsAsciiDigit(ch)) return ch - '0';
    const unsigned char upper = FoldAscii(ch);
    return upper >= 'A' && upper <= 'F' ? upper - 'A' + 10 : -1;
}

// The text without its leading and trailing white space.
inline std::string_view TrimAsciiSpace(std::string_view sText) {
    while (!sText.empty() && IsAsciiSpace(static_cast<unsigned char>(sText.front()))) sText.remove_prefix(1);
    while (!sText.empty() && IsAsciiSpace(static_cast<unsigned char>(sText.back()))) sText.remove_suffix(1);
    return sText;
}

inline int CompareFolded(char a, char b) {
    return static_cast<int>(FoldAscii(static_cast<unsigned char>(a))) - FoldAscii(static_cast<unsigned char>(b));
}

// pText holds at least pattern.size() bytes.
inline bool EqualsNoCase(const char* pText, std::string_view pattern) {
    for (size_t n = 0; n < pattern.size(); ++n)
        if (CompareFolded(pText[n], pattern[n]) != 0) return false;
    return true;
}

inline bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && EqualsNoCase(a.data(), b);
}

inline bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.data(), prefix);
}

inline std::string UpperAscii(std::string_view sText) {
    std::string sUpper(sText);
    for (char& ch : sUpper) ch = static_cast<char>(FoldAscii(static_cast<unsigned char>(ch)));
    return sUpper;
}

// Orders texts as their folded forms; for maps keyed by names that compare
// ignoring case.
struct CNoCaseLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        const size_t nCommon = a.size() < b.size() ? a.size() : b.size();
        for (size_t n = 0; n < nCommon; ++n)
            if (const int nOrder = CompareFolded(a[n], b[n]); nOrder != 0) return nOrder < 0;
        return a.size() < b.size();
    }
};

// Hashes and compares texts as their folded forms; for hash maps keyed by
// views that compare ignoring case.
struct CNoCaseHash {
    size_t operator()(std::string_view sText) const {
        size_t nHash = 14695981039346656037ull;  // FNV-1a
        for (char ch : sText) nHash = (nHash ^ FoldAscii(static_cast<unsigned char>(ch))) * 1099511628211ull;
        return nHash;
    }
};
struct CNoCaseEqual {
    bool operator()(std::string_view a, std::string_view b) const { return SameNoCase(a, b); }
};

#endif  // KX_BASE_ASCII_CASE_H
