#include "platform/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace {

// Windows code pages and the iconv names of the same encodings. The Mac code
// pages 10001, 10002, 10004, 10005 and 10008 and HZ (52936) have no
// converter in glibc.
constexpr std::pair<uint32_t, const char*> CODE_PAGES[] = {
    {932, "CP932"},          {936, "CP936"},          {950, "CP950"},          {1250, "CP1250"},
    {1252, "CP1252"},        {1254, "CP1254"},        {1255, "CP1255"},        {1256, "CP1256"},
    {28592, "ISO-8859-2"},   {28597, "ISO-8859-7"},
};

const char* IconvName(uint32_t nCodePage) {
    const auto* pEnd = std::end(CODE_PAGES);
    const auto* pEntry = std::find_if(std::begin(CODE_PAGES), pEnd, [&](const auto& entry) { return entry.first == nCodePage; });
    return pEntry == pEnd ? nullptr : pEntry->second;
}

}  // namespace

CodePageResult ConvertToCodePage(std::u16string_view sText, uint32_t nCodePage, std::string& sResult) {
    const char* pszName = IconvName(nCodePage);
    if (pszName == nullptr) return CodePageResult::NO_CONVERTER;
    const iconv_t converter = iconv_open(pszName, "UTF-16LE");
    if (converter == reinterpret_cast<iconv_t>(-1)) return CodePageResult::NO_CONVERTER;
    std::string sInput;
    sInput.reserve(sText.size() * 2);
    for (const char16_t unit : sText) {
        sInput += static_cast<char>(unit & 0xFF);
        sInput += static_cast<char>(unit >> 8);
    }
    // Four bytes per UTF-16 unit hold any of these code pages' output.
    std::string sOutput(sText.size() * 4, '\0');
    char* pIn = sInput.data();
    size_t cbIn = sInput.size();
    char* pOut = sOutput.data();
    size_t cbOut = sOutput.size();
    const size_t nResult = iconv(converter, &pIn, &cbIn, &pOut, &cbOut);
    const bool bFlushed = nResult != static_cast<size_t>(-1) && iconv(converter, nullptr, nullptr, &pOut, &cbOut) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!bFlushed) return CodePageResult::UNMAPPABLE;
    sOutput.resize(sOutput.size() - cbOut);
    sResult = std::move(sOutput);
    return CodePageResult::CONVERTED;
}
