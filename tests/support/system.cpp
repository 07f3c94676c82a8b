#include "tests/support/system.h"

#ifdef _WIN32
#include <windows.h>

// Wine's ntdll exports its version; Windows' does not.
bool RunningUnderWine() {
    const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

void RemoveSharedSection(const std::string&) {}
#else
#include <sys/mman.h>

bool RunningUnderWine() { return false; }

void RemoveSharedSection(const std::string& sName) { shm_unlink(sName.c_str()); }
#endif
