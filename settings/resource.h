// The resource module "KXRes.dll": one string table per language.
#ifndef KX_SETTINGS_RESOURCE_H
#define KX_SETTINGS_RESOURCE_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "kx/win_types.h"  // first: built for Windows, its LoadString macro renames ours everywhere alike
#include "platform/pe_resources.h"

class CEventLog;

typedef uint16_t LANGID;
constexpr LANGID LANGID_ENGLISH = 4105;  // 0x1009, the fallback everywhere

class CResource {
public:
    CResource();

    // Loads the module as data; on failure reports it (error event and trace).
    bool LoadModule(const std::string& sPath, CEventLog* pEventLog);
    // False only when a loaded module could not be freed (never here).
    bool UnloadModule();
    bool IsLoaded() const { return m_module.IsLoaded(); }
    const std::string& ModulePath() const { return m_modulePath; }

    // The string resId in exactly langId; false when it is missing or empty.
    bool LoadString(uint32_t resId, std::u16string& sText, LANGID langId) const;
    // The LANGID of a language code of the table; English (4105) and false otherwise.
    bool GetLangId(const std::string& sCode, LANGID& langId) const;

private:
    std::string m_modulePath;
    CPeResources m_module;
    std::vector<std::pair<std::string, LANGID>> m_languages;
};

#endif  // KX_SETTINGS_RESOURCE_H
