// Arbitrary page text decoded as the user sees it and written into a script
// string and into markup: the string never ends early, never holds a line
// break or "<", and markup never holds a quote or an angle bracket.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "forms/page_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    const std::string_view sInput(reinterpret_cast<const char*>(pData), cbData);
    const std::string sSeen = DecodeHtmlText(sInput);
    if (sSeen.size() > sInput.size()) std::abort();  // a reference never grows
    std::string sScript;
    AppendJsString(sScript, sSeen);
    for (size_t n = 0; n < sScript.size(); ++n) {
        const char ch = sScript[n];
        if (ch == '<' || ch == '\n' || ch == '\r' || ch == '\0') std::abort();
        if (ch == '"' || ch == '\'') {
            size_t nBackslashes = 0;
            while (nBackslashes < n && sScript[n - 1 - nBackslashes] == '\\') ++nBackslashes;
            if (nBackslashes % 2 == 0) std::abort();  // an unescaped quote ends the string
        }
    }
    if (sScript.find("\xE2\x80\xA8") != std::string::npos || sScript.find("\xE2\x80\xA9") != std::string::npos)
        std::abort();
    for (char ch : EscapeHtml(sSeen))
        if (ch == '<' || ch == '>' || ch == '"' || ch == '\'') std::abort();
    return 0;
}
