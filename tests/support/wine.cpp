#include "tests/support/wine.h"

#ifdef _WIN32
#include <windows.h>

// Wine's ntdll exports its version; Windows' does not.
bool RunningUnderWine() {
    const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}
#else
bool RunningUnderWine() { return false; }
#endif
