#include "platform/system_info.h"

#include <windows.h>

#include <vector>

#include "platform/win32/private_security.h"
#include "platform/win32/wide.h"

namespace {

bool ComputerName(COMPUTER_NAME_FORMAT format, std::string& sName) {
    DWORD cchName = 0;
    GetComputerNameExW(format, nullptr, &cchName);
    if (cchName == 0) return false;
    std::vector<wchar_t> name(cchName);
    if (!GetComputerNameExW(format, name.data(), &cchName) || cchName == 0) return false;
    sName = Narrow(name.data(), cchName);
    return true;
}

}  // namespace

bool GetHostComputerName(std::string& sName) { return ComputerName(ComputerNameDnsHostname, sName); }

bool GetFullyQualifiedComputerName(std::string& sName) {
    return ComputerName(ComputerNameDnsFullyQualified, sName) || GetHostComputerName(sName);
}

// The thread's token when it impersonates, else the process's.
DWORD GetEffectiveAccount(std::string& sUser, std::string& sDomain, std::string& sSid) {
    HANDLE hToken = nullptr;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &hToken) &&
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken))
        return GetLastError();
    DWORD cbUser = 0;
    GetTokenInformation(hToken, TokenUser, nullptr, 0, &cbUser);
    std::vector<BYTE> user(cbUser);
    const bool bRead = cbUser != 0 && GetTokenInformation(hToken, TokenUser, user.data(), cbUser, &cbUser);
    const DWORD dwTokenError = bRead ? ERROR_SUCCESS : GetLastError();
    CloseHandle(hToken);
    if (!bRead) return dwTokenError;
    const PSID pSid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    wchar_t szName[256], szDomain[256];
    DWORD cchName = 256, cchDomain = 256;
    SID_NAME_USE use{};
    if (!LookupAccountSidW(nullptr, pSid, szName, &cchName, szDomain, &cchDomain, &use)) return GetLastError();
    sUser = Narrow(szName, cchName);
    sDomain = Narrow(szDomain, cchDomain);
    sSid = SidText(pSid);
    return ERROR_SUCCESS;
}
