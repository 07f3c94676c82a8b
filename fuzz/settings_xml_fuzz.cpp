// Arbitrary bytes as SWSettings.xml: parsing and every look-up must neither
// crash nor read out of bounds.
#include <cstddef>
#include <cstdint>
#include <pugixml.hpp>

#include "settings/sw_settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    pugi::xml_document document;
    if (!document.load_buffer(pData, cbData)) return 0;
    CSWSettings settings;
    CSWSettingsTables tables;
    settings.Parse(document, tables);
    for (const auto& [nId, item] : tables.general) {
        (void)nId;
        (void)item;
    }
    return 0;
}
