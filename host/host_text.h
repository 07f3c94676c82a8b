// ASCII case folding for the host's own matching of names and paths.
#ifndef KX_HOST_HOST_TEXT_H
#define KX_HOST_HOST_TEXT_H

#include <string_view>

namespace kxhost {

inline char FoldAscii(char ch) { return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch; }

inline bool StartsWithNoCase(std::string_view sText, std::string_view sPrefix) {
    if (sText.size() < sPrefix.size()) return false;
    for (size_t n = 0; n < sPrefix.size(); ++n)
        if (FoldAscii(sText[n]) != FoldAscii(sPrefix[n])) return false;
    return true;
}

inline bool SameNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && StartsWithNoCase(a, b);
}

}  // namespace kxhost

#endif  // KX_HOST_HOST_TEXT_H
