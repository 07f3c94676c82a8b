// Arbitrary bytes as a resource module: refused or read, never a crash or
// a read outside the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/pe_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    CPeResources resources;
    std::string sError;
    if (!resources.Parse(std::vector<uint8_t>(pData, pData + cbData), sError)) return 0;
    std::u16string sText;
    for (uint32_t nId : {0u, 800u, 1320u, 1511u, 65535u})
        for (uint16_t nLangId : {uint16_t{4105}, uint16_t{1036}, uint16_t{0}}) resources.FindString(nId, nLangId, sText);
    return 0;
}
