// The product layer of the settings object, and the process-wide instance.
#ifndef KX_SETTINGS_KX_GENERAL_SETTINGS_H
#define KX_SETTINGS_KX_GENERAL_SETTINGS_H

#include "base/singleton.h"
#include "settings/sw_general_settings.h"

class CKXGeneralSettings final : public CSWGeneralSettings, public CSingleton<CKXGeneralSettings> {
public:
    // The product's start-up: the computer name first, then the service-worker
    // and base layers, then the product's own steps.
    BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
              const char* pszRegistryKey, int nLevelsUp) override;
    // The product steps run with the product settings; until then they succeed.
    bool InitTroubleEndRequestUrls() override { return true; }
    bool InitHandlerVirDir() override { return true; }

    void SetProductNumber(DWORD dwProduct) { m_dwProductNumber = dwProduct; }
    DWORD ProductNumber() const { return m_dwProductNumber; }

private:
    friend class CSingleton<CKXGeneralSettings>;
    CKXGeneralSettings() = default;

    DWORD m_dwProductNumber = 0;
};

#endif  // KX_SETTINGS_KX_GENERAL_SETTINGS_H
