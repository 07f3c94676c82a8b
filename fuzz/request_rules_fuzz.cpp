// Arbitrary bytes as a rule file (and, after a NUL, a request URL): the
// rules parse or say which line is wrong, and a URL gets a type a rule
// names or 0, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/request_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    const std::string_view sInput(reinterpret_cast<const char*>(pData), cbData);
    const size_t nSplit = sInput.find('\0');
    const std::string_view sText = sInput.substr(0, nSplit);
    const std::string_view sUrl = nSplit == std::string_view::npos ? "/owa/?qvkxcmd=x" : sInput.substr(nSplit + 1);
    kxhost::RequestRules rules;
    std::string sError;
    if (!rules.Parse(sText, sError)) {
        if (sError.rfind("line ", 0) != 0) std::abort();
        return 0;
    }
    const int32_t nType = rules.Classify(sUrl);
    if (nType < 0) std::abort();
    if (nType != 0 && sText.find(std::to_string(nType)) == std::string_view::npos) std::abort();
    return 0;
}
