// Wide text into a Windows code page (the stand-in for
// WideCharToMultiByte), through iconv.
#ifndef KX_PLATFORM_CODE_PAGE_H
#define KX_PLATFORM_CODE_PAGE_H

#include <cstdint>
#include <string>
#include <string_view>

enum class CodePageResult {
    CONVERTED,
    NO_CONVERTER,  // this system has no converter for the code page
    UNMAPPABLE     // the text holds a character the code page lacks, or a lone surrogate
};

// Converts sText into code page nCodePage; sResult is set only on success.
CodePageResult ConvertToCodePage(std::u16string_view sText, uint32_t nCodePage, std::string& sResult);

#endif  // KX_PLATFORM_CODE_PAGE_H
