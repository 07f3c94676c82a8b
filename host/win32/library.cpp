#include "host/library.h"

#include <windows.h>

namespace kxhost {

// The path is UTF-8; the libraries a worker needs are found beside it.
void* OpenLibrary(const std::string& sPath, std::string& sError) {
    std::wstring sWide(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, sPath.c_str(), -1, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, sPath.c_str(), -1, sWide.data(), static_cast<int>(sWide.size()));
    HMODULE hLibrary = LoadLibraryExW(sWide.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (hLibrary == nullptr) sError = "LoadLibrary failed with error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(hLibrary);
}

void* LibraryExport(void* pLibrary, const char* pszName) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(pLibrary), pszName));
}

void CloseLibrary(void* pLibrary) { FreeLibrary(static_cast<HMODULE>(pLibrary)); }

}  // namespace kxhost
