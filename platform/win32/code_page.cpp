#include "platform/code_page.h"

#include <windows.h>

#include <climits>

// Every code page the system has a table for converts (the Mac ones too).
CodePageResult ConvertToCodePage(std::u16string_view sText, uint32_t nCodePage, std::string& sResult) {
    if (!IsValidCodePage(nCodePage)) return CodePageResult::NO_CONVERTER;
    if (sText.empty()) {
        sResult.clear();
        return CodePageResult::CONVERTED;
    }
    if (sText.size() > static_cast<size_t>(INT_MAX) / 4) return CodePageResult::UNMAPPABLE;
    const auto* pszWide = reinterpret_cast<const wchar_t*>(sText.data());
    const int cchWide = static_cast<int>(sText.size());
    // No best-fit characters: a text this code page cannot hold is refused,
    // not changed into a look-alike.
    BOOL bUsedDefault = FALSE;
    const int cbNeeded =
        WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pszWide, cchWide, nullptr, 0, nullptr, &bUsedDefault);
    if (cbNeeded <= 0 || bUsedDefault) return CodePageResult::UNMAPPABLE;
    std::string sOutput(static_cast<size_t>(cbNeeded), '\0');
    WideCharToMultiByte(nCodePage, WC_NO_BEST_FIT_CHARS, pszWide, cchWide, sOutput.data(), cbNeeded, nullptr,
                        &bUsedDefault);
    if (bUsedDefault) return CodePageResult::UNMAPPABLE;
    sResult = std::move(sOutput);
    return CodePageResult::CONVERTED;
}
