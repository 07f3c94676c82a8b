#include "tests/support/system.h"

#ifdef _WIN32
#include <windows.h>

// Wine's ntdll exports its version; Windows' does not.
bool RunningUnderWine() {
    const HMODULE hNtdll = GetModuleHandleW(L"ntdll.dll");
    return hNtdll != nullptr && GetProcAddress(hNtdll, "wine_get_version") != nullptr;
}

void RemoveSharedSection(const std::string&) {}

std::string MakeTemporaryFolder(const std::string& sPrefix) {
    char szTemp[MAX_PATH + 1];
    const DWORD cchTemp = GetTempPathA(sizeof(szTemp), szTemp);
    std::string sBase(szTemp, cchTemp < sizeof(szTemp) ? cchTemp : 0);
    for (char& ch : sBase)
        if (ch == '\\') ch = '/';
    for (unsigned nTry = 0;; ++nTry) {
        const std::string sPath = sBase + sPrefix + std::to_string(GetCurrentProcessId()) + "-" +
                                  std::to_string(GetTickCount64()) + "-" + std::to_string(nTry);
        if (CreateDirectoryA(sPath.c_str(), nullptr)) return sPath;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
}
#else
#include <stdlib.h>
#include <sys/mman.h>

bool RunningUnderWine() { return false; }

void RemoveSharedSection(const std::string& sName) { shm_unlink(sName.c_str()); }

std::string MakeTemporaryFolder(const std::string& sPrefix) {
    std::string sTemplate = "/tmp/" + sPrefix + "XXXXXX";
    return mkdtemp(sTemplate.data()) != nullptr ? sTemplate : std::string();
}
#endif
