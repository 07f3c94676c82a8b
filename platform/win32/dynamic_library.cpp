#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/win32/wide.h"

// A library given by its full path finds the libraries it needs beside it.
void* LoadDynamicLibrary(const std::string& sPath) {
    return LoadLibraryExW(Widen(sPath).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void* FindExport(void* pLibrary, const char* pszName) {
    if (pLibrary == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(pLibrary), pszName));
}

std::string DynamicLibraryFile(const std::string& sName) { return sName + ".dll"; }
