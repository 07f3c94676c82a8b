#include "platform/module_path.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/wide.h"

std::string GetOwnModuleFileName() {
    HMODULE hModule = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&GetOwnModuleFileName), &hModule))
        return {};
    // Long paths may exceed MAX_PATH: grow until the name fits.
    std::vector<wchar_t> name(MAX_PATH);
    while (true) {
        const DWORD cchName = GetModuleFileNameW(hModule, name.data(), static_cast<DWORD>(name.size()));
        if (cchName == 0) return {};
        if (cchName < name.size()) {
            std::string sName = Narrow(name.data(), cchName);
            std::replace(sName.begin(), sName.end(), '\\', '/');
            return sName;
        }
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
}
