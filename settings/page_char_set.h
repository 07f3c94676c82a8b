// Localized strings into an OWA page's character set: UTF-8 with quotes and
// angle brackets escaped for HTML, or a Windows code page by the page's
// character-set name.
#ifndef KX_SETTINGS_PAGE_CHAR_SET_H
#define KX_SETTINGS_PAGE_CHAR_SET_H

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "base/ascii_case.h"

class CPageCharSet {
public:
    CPageCharSet();
    virtual ~CPageCharSet() = default;

    // False when the character set is not supported, or the text holds a
    // character it cannot carry.
    bool Convert(std::u16string_view sText, std::string_view sCharSet, std::string& sResult) const;

    // "&quot;", "&lt;" and "&gt;" for the three characters, everything else
    // as UTF-8 (a surrogate pair as one character, a lone surrogate as U+FFFD).
    static std::string EncodeHtmlUtf8(std::u16string_view sText);

private:
    std::map<std::string, uint32_t, CNoCaseLess> m_codePages;
};

#endif  // KX_SETTINGS_PAGE_CHAR_SET_H
