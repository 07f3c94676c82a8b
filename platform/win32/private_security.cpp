#include "platform/win32/private_security.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

#include "platform/win32/wide.h"

namespace {

// A SID of this process's token (its user, or the default owner it gives
// what it creates), copied into sid; false when it cannot be read.
bool TokenSid(TOKEN_INFORMATION_CLASS kind, std::vector<BYTE>& sid) {
    HANDLE hToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &hToken)) return false;
    DWORD cbInfo = 0;
    GetTokenInformation(hToken, kind, nullptr, 0, &cbInfo);
    std::vector<BYTE> info(cbInfo);
    const bool bRead = cbInfo != 0 && GetTokenInformation(hToken, kind, info.data(), cbInfo, &cbInfo);
    CloseHandle(hToken);
    if (!bRead) return false;
    const PSID pSid = kind == TokenUser ? reinterpret_cast<TOKEN_USER*>(info.data())->User.Sid
                                        : reinterpret_cast<TOKEN_OWNER*>(info.data())->Owner;
    sid.assign(static_cast<BYTE*>(pSid), static_cast<BYTE*>(pSid) + GetLengthSid(pSid));
    return true;
}

bool IsWellKnown(PSID pSid, WELL_KNOWN_SID_TYPE kind) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD cbKnown = sizeof(known);
    return CreateWellKnownSid(kind, nullptr, known, &cbKnown) && EqualSid(pSid, known);
}

bool IsAdministration(PSID pSid) {
    return IsWellKnown(pSid, WinLocalSystemSid) || IsWellKnown(pSid, WinBuiltinAdministratorsSid);
}

}  // namespace

std::string SidText(PSID pSid) {
    LPWSTR pszSid = nullptr;
    if (!ConvertSidToStringSidW(pSid, &pszSid)) return {};
    std::string sText = Narrow(pszSid, wcslen(pszSid));
    LocalFree(pszSid);
    return sText;
}

std::string ProcessUserSid() {
    std::vector<BYTE> sid;
    return TokenSid(TokenUser, sid) ? SidText(sid.data()) : std::string();
}

CPrivateSecurity::CPrivateSecurity(bool bInherit) {
    const std::wstring sUser = Widen(ProcessUserSid());
    if (sUser.empty()) return;
    const std::wstring sFlags = bInherit ? L"OICI" : L"";
    const std::wstring sSddl = L"D:P(A;" + sFlags + L";GA;;;" + sUser + L")(A;" + sFlags + L";GA;;;SY)";
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sSddl.c_str(), SDDL_REVISION_1, &pDescriptor, nullptr))
        return;
    m_attributes.nLength = sizeof(m_attributes);
    m_attributes.lpSecurityDescriptor = pDescriptor;
    m_attributes.bInheritHandle = FALSE;
}

CPrivateSecurity::~CPrivateSecurity() {
    if (m_attributes.lpSecurityDescriptor != nullptr) LocalFree(m_attributes.lpSecurityDescriptor);
}

bool IsOwnPrivate(HANDLE hObject, SE_OBJECT_TYPE type, bool bAdministered) {
    std::vector<BYTE> user, defaultOwner;
    if (!TokenSid(TokenUser, user) || !TokenSid(TokenOwner, defaultOwner)) return false;
    PSID pOwner = nullptr;
    PACL pDacl = nullptr;
    PSECURITY_DESCRIPTOR pDescriptor = nullptr;
    if (GetSecurityInfo(hObject, type, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &pOwner, nullptr,
                        &pDacl, nullptr, &pDescriptor) != ERROR_SUCCESS)
        return false;
    // A null DACL grants everyone everything.
    bool bOwn = pOwner != nullptr && pDacl != nullptr &&
                (EqualSid(pOwner, user.data()) || EqualSid(pOwner, defaultOwner.data()) ||
                 (bAdministered && IsAdministration(pOwner)));
    for (DWORD nAce = 0; bOwn && nAce < pDacl->AceCount; ++nAce) {
        ACE_HEADER* pAce = nullptr;
        if (!GetAce(pDacl, nAce, reinterpret_cast<void**>(&pAce))) {
            bOwn = false;
        } else if (pAce->AceType == ACCESS_ALLOWED_ACE_TYPE) {
            const PSID pGrantee = &reinterpret_cast<ACCESS_ALLOWED_ACE*>(pAce)->SidStart;
            bOwn = EqualSid(pGrantee, user.data()) || IsWellKnown(pGrantee, WinLocalSystemSid) ||
                   (bAdministered && IsAdministration(pGrantee));
        } else if (pAce->AceType != ACCESS_DENIED_ACE_TYPE) {
            bOwn = false;  // object and callback entries are not ours to judge
        }
    }
    LocalFree(pDescriptor);
    return bOwn;
}
