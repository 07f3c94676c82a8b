#include "settings/page_char_set.h"

#include "platform/code_page.h"
#include "platform/utf.h"

namespace {

// Browsers read "iso-8859-1" as windows-1252, so 1252 writes what they show
// (curly quotes, the euro sign and dashes included); for "big5" the
// Microsoft code page 950, whose mappings browsers' Big5 decoder shares.
constexpr std::pair<const char*, uint32_t> CODE_PAGES[] = {
    {"iso-8859-1", 1252},         {"iso-8859-2", 28592},  {"iso-8859-9", 1254},   {"windows-1250", 1250},
    {"windows-1254", 1254},       {"iso-8859-7", 28597},  {"windows-1253", 28597}, {"x-mac-greek", 28597},
    {"windows-1255", 1255},       {"iso-8859-8", 1255},   {"iso-8859-8-i", 1255}, {"x-mac-hebrew", 10005},
    {"iso-8859-6", 1256},         {"windows-1256", 1256}, {"x-mac-arabic", 10004}, {"shift_jis", 932},
    {"iso-2022-jp", 932},         {"x-mac-japan", 10001}, {"big5", 950},          {"x-mac-chinesetrad", 10002},
    {"gb2312", 936},              {"hz-gb-2312", 52936},  {"x-mac-chineseimp", 10008},
};

}  // namespace

CPageCharSet::CPageCharSet() {
    for (const auto& [pszName, nCodePage] : CODE_PAGES) m_codePages.emplace(pszName, nCodePage);
}

std::string CPageCharSet::EncodeHtmlUtf8(std::u16string_view sText) {
    std::string sResult;
    sResult.reserve(sText.size() + 16);
    size_t nRun = 0;
    for (size_t n = 0; n < sText.size(); ++n) {
        const char* pszEntity = sText[n] == u'"' ? "&quot;" : sText[n] == u'<' ? "&lt;" : sText[n] == u'>' ? "&gt;" : nullptr;
        if (pszEntity == nullptr) continue;
        sResult += Utf16ToUtf8(sText.substr(nRun, n - nRun));
        sResult += pszEntity;
        nRun = n + 1;
    }
    sResult += Utf16ToUtf8(sText.substr(nRun));
    return sResult;
}

bool CPageCharSet::Convert(std::u16string_view sText, std::string_view sCharSet, std::string& sResult) const {
    if (SameNoCase(sCharSet, "utf-8")) {
        sResult = EncodeHtmlUtf8(sText);
        return true;
    }
    if (SameNoCase(sCharSet, "utf-16")) {  // the narrow code page here is UTF-8
        sResult = Utf16ToUtf8(sText);
        return true;
    }
    const auto it = m_codePages.find(sCharSet);
    return it != m_codePages.end() && ConvertToCodePage(sText, it->second, sResult) == CodePageResult::CONVERTED;
}
