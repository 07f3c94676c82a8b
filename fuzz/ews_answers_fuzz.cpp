// Feeds arbitrary bytes to every reader of Exchange Web Services answers.
// A reader must give a result or a failure with its text, never crash; a
// success must come with what it promises.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "components/ews_soap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    const std::string_view sAnswer(reinterpret_cast<const char*>(pData), cbData);
    CEwsError error;
    bool bSet = false;
    long nMinutes = 0;
    if (ReadGetReminder(sAnswer, bSet, nMinutes, error) < 0 && error.sText.empty()) std::abort();
    ReadUpdateItem(sAnswer, error);
    std::vector<std::string> ids;
    if (ReadConvertId(sAnswer, ids, error) == 0 && ids.empty()) std::abort();
    std::vector<std::pair<std::string, std::string>> values;
    ReadGetUserConfiguration(sAnswer, values, error);
    std::vector<CEwsExtendedProperty> properties{{"{11111111-2222-3333-4444-555555555555}", "View Type", {}, false}};
    ReadGetFolderProperties(sAnswer, properties, error);
    return 0;
}
