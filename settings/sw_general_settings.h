// The service-worker layer of the settings object: the trace log, the
// Exchange Web Services address (and, as they come, user properties and
// caches).
#ifndef KX_SETTINGS_SW_GENERAL_SETTINGS_H
#define KX_SETTINGS_SW_GENERAL_SETTINGS_H

#include <mutex>

#include "diagnostics/event_log.h"
#include "settings/general_settings.h"
#include "settings/handle_sw_settings.h"
#include "settings/resource.h"

class CSWGeneralSettings : public CGeneralSettings<CHandleSWSettings, CResource, CEventLog> {
public:
    BOOL Init(const char* pszProductName, const char* pszModuleName, const char* pszResourceModuleName,
              const char* pszRegistryKey, int nLevelsUp) override;
    void InitLog(const std::string& sModuleName, int nCriteria) override { InitTrace(*this, sModuleName.c_str(), nCriteria); }
    // The product layer adds the user-property definitions.
    void InitUserConfigIds() override {}
    // Setting 38, when set, is the EWS address; else each request's own server is used.
    bool InitEWSUrl() override;

    // The EWS address of setting 38 as last read; empty when it is not set.
    std::string EwsUrl() const;
};

#endif  // KX_SETTINGS_SW_GENERAL_SETTINGS_H
