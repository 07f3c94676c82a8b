// The logging library's lock on Windows: a named mutex per name, private to
// the account (a protected DACL of the account and SYSTEM; one that exists
// is used only when it is the account's own). The system hands the mutex of
// a holder that dies to the next waiter; a lock held by a stuck writer costs
// a bounded wait.
#include "platform/logmodule/shared_log_lock.h"

#include <windows.h>

#include <string>

#include "platform/shared_section.h"
#include "platform/win32/private_security.h"
#include "platform/win32/wide.h"

namespace {

constexpr DWORD MAX_WAIT_MS = 250;

class CSharedLogLock final : public ILogLock {
public:
    CSharedLogLock(std::string sName, HANDLE hMutex) : m_sName(std::move(sName)), m_hMutex(hMutex) {}
    const char* Name() const override { return m_sName.c_str(); }

    // A mutex left by a holder that died is had as well (WAIT_ABANDONED).
    bool Lock() override {
        const DWORD dwWait = WaitForSingleObject(m_hMutex, MAX_WAIT_MS);
        return dwWait == WAIT_OBJECT_0 || dwWait == WAIT_ABANDONED;
    }
    void Unlock() override { ReleaseMutex(m_hMutex); }

private:
    std::string m_sName;
    HANDLE m_hMutex;
};

}  // namespace

ILogLock* OpenSharedLogLock(const std::string& sName) {
    CPrivateSecurity security(false);
    if (security.Attributes() == nullptr) return nullptr;
    const std::wstring sMutexName = Widen(SharedMemoryName("QuorvaneLogLock." + sName));
    HANDLE hMutex = CreateMutexW(security.Attributes(), FALSE, sMutexName.c_str());
    if (hMutex == nullptr) return nullptr;
    // A mutex another account made, or that grants anyone else, is refused.
    if (GetLastError() == ERROR_ALREADY_EXISTS && !IsOwnPrivate(hMutex, SE_KERNEL_OBJECT)) {
        CloseHandle(hMutex);
        return nullptr;
    }
    return new CSharedLogLock(sName, hMutex);
}
