// The worker library, loaded and reached through its exports.
#ifndef KX_HOST_WORKER_MODULE_H
#define KX_HOST_WORKER_MODULE_H

#include <string>

#include "kx/host_abi.h"

namespace kxhost {

class WorkerModule {
public:
    // Loads the library at sPath; IsLoaded() tells whether that and every
    // export lookup worked, Error() why not.
    explicit WorkerModule(const std::string& sPath);
    ~WorkerModule();
    WorkerModule(const WorkerModule&) = delete;
    WorkerModule& operator=(const WorkerModule&) = delete;

    bool IsLoaded() const { return m_pfnHttpFilterProc != nullptr; }
    const std::string& Error() const { return m_sError; }

    BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) const { return m_pfnGetFilterVersion(pVer); }
    DWORD HttpFilterProc(CDLLContext* pContext) const { return m_pfnHttpFilterProc(pContext); }
    BOOL TerminateFilter(DWORD dwFlags) const { return m_pfnTerminateFilter(dwFlags); }
    PFN_HTTP_FILTER_PROC FilterProc() const { return m_pfnHttpFilterProc; }

private:
    void* m_pHandle = nullptr;
    PFN_GET_FILTER_VERSION m_pfnGetFilterVersion = nullptr;
    PFN_HTTP_FILTER_PROC m_pfnHttpFilterProc = nullptr;
    PFN_TERMINATE_FILTER m_pfnTerminateFilter = nullptr;
    std::string m_sError;
};

}  // namespace kxhost

#endif  // KX_HOST_WORKER_MODULE_H
