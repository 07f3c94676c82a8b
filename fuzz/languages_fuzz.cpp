// Feeds arbitrary language lists (Accept-Language headers, directory
// cultures) to the language matching: the result is always a language of
// the resource module and its LANGID.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/sw_general_settings.h"

namespace {

class Settings : public CSWGeneralSettings {
public:
    Settings() { InitLanguageMap(); }
    bool InitTroubleEndRequestUrls() override { return true; }
    bool InitHandlerVirDir() override { return true; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    static Settings s_settings;
    const std::string sList(reinterpret_cast<const char*>(pData), cbData);
    std::string sLanguage;
    LANGID langId = 0;
    s_settings.ResolveLanguage(sList, sLanguage, langId);
    LANGID expected = 0;
    if (!s_settings.Resource().GetLangId(sLanguage, expected) || expected != langId) std::abort();
    return 0;
}
