// Arbitrary bytes as a ".reg" file: parsed or refused, never a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/posix/registry_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    CRegistryFile registry;
    std::string sError;
    if (registry.Parse(std::string_view(reinterpret_cast<const char*>(pData), cbData), sError))
        registry.FindLocalMachineValue("Software\\Microsoft\\Exchange\\Setup", "MsiProductMajor");
    return 0;
}
