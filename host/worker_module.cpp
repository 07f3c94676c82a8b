#include "host/worker_module.h"

#include "host/library.h"

namespace kxhost {

namespace {

template <class Fn>
Fn Lookup(void* pHandle, const char* pszName, std::string& sError) {
    void* pSymbol = LibraryExport(pHandle, pszName);
    if (pSymbol == nullptr && sError.empty()) sError = std::string("missing export ") + pszName;
    return reinterpret_cast<Fn>(pSymbol);
}

}  // namespace

WorkerModule::WorkerModule(const std::string& sPath) {
    m_pHandle = OpenLibrary(sPath, m_sError);
    if (m_pHandle == nullptr) return;
    auto pfnGetFilterVersion = Lookup<PFN_GET_FILTER_VERSION>(m_pHandle, "GetFilterVersion", m_sError);
    auto pfnHttpFilterProc = Lookup<PFN_HTTP_FILTER_PROC>(m_pHandle, "HttpFilterProc", m_sError);
    auto pfnTerminateFilter = Lookup<PFN_TERMINATE_FILTER>(m_pHandle, "TerminateFilter", m_sError);
    if (!m_sError.empty()) return;
    m_pfnGetFilterVersion = pfnGetFilterVersion;
    m_pfnTerminateFilter = pfnTerminateFilter;
    m_pfnHttpFilterProc = pfnHttpFilterProc;
}

WorkerModule::~WorkerModule() {
    if (m_pHandle != nullptr) CloseLibrary(m_pHandle);
}

}  // namespace kxhost
