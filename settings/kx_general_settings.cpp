#include "settings/kx_general_settings.h"

#include "diagnostics/trace.h"

BOOL CKXGeneralSettings::Init(const char* pszProductName, const char* pszModuleName,
                              const char* pszResourceModuleName, const char* pszRegistryKey, int nLevelsUp) {
    CCritSecLock guard(m_initLock);
    if (m_initialized) return TRUE;
    if (!GetComputerName()) Trace("[CKXGeneralSettings::Init] GetComputerName failed");
    const BOOL bBase =
        CSWGeneralSettings::Init(pszProductName, pszModuleName, pszResourceModuleName, pszRegistryKey, nLevelsUp);
    Trace("[CKXGeneralSettings::Init] base::Init() %s, ReadOWAAD %s.", bBase ? "SUCCEEDED" : "FAILED", "SUCCEEDED");
    const bool bResult = bBase && InitHandlerVirDir() && InitTroubleEndRequestUrls();
    Trace("[CKXGeneralSettings::Init] returned bRet <%s>", bResult ? "TRUE" : "FALSE");
    return bResult ? TRUE : FALSE;
}
