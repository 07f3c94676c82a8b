// SWSettings.xml: the general settings and the per-criteria overrides.
#ifndef KX_SETTINGS_SW_SETTINGS_H
#define KX_SETTINGS_SW_SETTINGS_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/snapshot.h"
#include "platform/sid.h"
#include "settings/basic_settings.h"

namespace pugi {
class xml_document;
}

struct CSettingItem {
    std::u16string sDescription;
    CVariant value;
};
typedef std::map<int32_t, CSettingItem> CSettingItemTable;

struct CCriteriaRecord {
    std::string sDescription;
    CSettingItemTable items;
};

// One load of the file; replaced whole, never changed in place.
struct CSWSettingsTables {
    CSettingItemTable general;
    std::map<int32_t, CCriteriaRecord> criteria;
    std::vector<CSid> bypassSids;
};

class CSWSettings : public CBasicSettings {
public:
    HRESULT Load(const std::string& sPath) override { return LoadSettings(sPath); }
    // Loads the file; on any failure the previous tables stay.
    HRESULT LoadSettings(const std::string& sPath);
    // The tables from a document already parsed.
    HRESULT Parse(const pugi::xml_document& document, CSWSettingsTables& tables);

    // The criteria's item, else the general one. False (value untouched)
    // when there is none or it has no usable value.
    bool GetSettingFromID(int32_t nId, int32_t& nValue, int32_t nCriteria) const;
    bool GetSettingFromID(int32_t nId, std::string& sValue, int32_t nCriteria) const;

    std::shared_ptr<const CSWSettingsTables> Tables() const { return m_tables.Get(); }

private:
    HRESULT HandleItem(const CAttributeItems& items, CSettingItemTable& table);
    HRESULT HandleCriteria(const CAttributeItems& items, std::map<int32_t, CCriteriaRecord>& table);
    void ParseBuildByPassList(CSWSettingsTables& tables) const;
    static const CVariant* Find(const CSWSettingsTables& tables, int32_t nId, int32_t nCriteria);

    CSnapshot<CSWSettingsTables> m_tables;
};

#endif  // KX_SETTINGS_SW_SETTINGS_H
