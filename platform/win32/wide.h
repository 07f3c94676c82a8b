// UTF-8 names and texts to and from the wide strings of the Win32 API.
#ifndef KX_PLATFORM_WIN32_WIDE_H
#define KX_PLATFORM_WIN32_WIDE_H

#include <string>

#include "platform/utf.h"

inline std::wstring Widen(const std::string& sText) {
    const std::u16string sWide = Utf8ToUtf16(sText);
    return std::wstring(sWide.begin(), sWide.end());
}

inline std::string Narrow(const wchar_t* pszText, size_t cchText) {
    return Utf16ToUtf8(std::u16string(pszText, pszText + cchText));
}

#endif  // KX_PLATFORM_WIN32_WIDE_H
