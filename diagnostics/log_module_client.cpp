#include "diagnostics/log_module_client.h"

#include "platform/dynamic_library.h"

void CLogModule::Load(const std::string& sCommonFilesFolder) {
    if (m_pHandle != nullptr) return;
    const std::string sFile = DynamicLibraryFile("LogModule");
    if (!sCommonFilesFolder.empty()) m_pHandle = LoadDynamicLibrary(sCommonFilesFolder + "bin/" + sFile);
    if (m_pHandle == nullptr) m_pHandle = LoadDynamicLibrary(sFile);
}

ILogLock* CLogModule::ProductLock(const std::string& sName) const {
    auto pfnGetProductCS = reinterpret_cast<PFN_GET_PRODUCT_CS>(FindExport(m_pHandle, "GetProductCS"));
    ILogLock* pLock = nullptr;
    if (pfnGetProductCS != nullptr) pfnGetProductCS(sName.c_str(), &pLock, 1);
    return pLock;
}

ILogLock* CLogModule::GeneralLock() const {
    auto pfnGetGeneralCS = reinterpret_cast<PFN_GET_GENERAL_CS>(FindExport(m_pHandle, "GetGeneralCS"));
    ILogLock* pLock = nullptr;
    if (pfnGetGeneralCS != nullptr) pfnGetGeneralCS(&pLock, 1);
    return pLock;
}
