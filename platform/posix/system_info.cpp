#include "platform/system_info.h"

#include <netdb.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "base/win_errors.h"

bool GetHostComputerName(std::string& sName) {
    char szName[256] = {};
    if (gethostname(szName, sizeof(szName) - 1) != 0 || szName[0] == '\0') return false;
    sName.assign(szName, strcspn(szName, "."));
    return true;
}

bool GetFullyQualifiedComputerName(std::string& sName) {
    char szName[256] = {};
    if (gethostname(szName, sizeof(szName) - 1) != 0 || szName[0] == '\0') return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* pResult = nullptr;
    if (getaddrinfo(szName, nullptr, &hints, &pResult) == 0 && pResult != nullptr && pResult->ai_canonname != nullptr)
        sName = pResult->ai_canonname;
    else
        sName = szName;
    if (pResult != nullptr) freeaddrinfo(pResult);
    return true;
}

DWORD GetEffectiveAccount(std::string& sUser, std::string& sDomain, std::string& sSid) {
    // The account database is read once per thread and effective uid: pages
    // ask for the thread's account on every view.
    struct CAccountName {
        bool bKnown = false;
        uid_t uid = 0;
        std::string sName;
    };
    thread_local CAccountName t_account;
    const uid_t uid = geteuid();
    if (!t_account.bKnown || t_account.uid != uid) {
        passwd entry{};
        passwd* pResult = nullptr;
        std::vector<char> buffer(16384);
        const int nError = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &pResult);
        if (nError != 0 || pResult == nullptr) return nError != 0 ? static_cast<DWORD>(nError) : ERROR_INVALID_SID;
        t_account = CAccountName{true, uid, entry.pw_name};
    }
    sUser = t_account.sName;
    if (!GetHostComputerName(sDomain)) sDomain.clear();
    sSid = "S-1-22-1-" + std::to_string(uid);
    return ERROR_SUCCESS;
}
