// LogModule: the logging library. Hands out the named locks that serialise
// writers of one log across processes.
#include <map>
#include <mutex>
#include <string>

#include "base/export.h"
#include "platform/logmodule/shared_log_lock.h"

namespace {

// The locks live until the process ends: writers may still log from static
// destructors that run after this library's own would have.
ILogLock* LockFor(const std::string& sName) {
    static auto* pMutex = new std::mutex();
    static auto* pLocks = new std::map<std::string, ILogLock*>();
    std::lock_guard<std::mutex> guard(*pMutex);
    auto it = pLocks->find(sName);
    if (it != pLocks->end()) return it->second;
    ILogLock* pLock = OpenSharedLogLock(sName);
    if (pLock != nullptr) pLocks->emplace(sName, pLock);
    return pLock;
}

}  // namespace

KX_EXPORT void GetProductCS(const char* pszName, ILogLock** ppLock, int /*bCreate*/) {
    if (ppLock == nullptr) return;
    *ppLock = nullptr;
    if (pszName == nullptr || *pszName == '\0') return;
    try {
        *ppLock = LockFor(pszName);
    } catch (...) {
        *ppLock = nullptr;
    }
}

KX_EXPORT void GetGeneralCS(ILogLock** ppLock, int bCreate) { GetProductCS("QVCommonLog", ppLock, bCreate); }
