// LinkCriteriaSettings.xml: which settings set each service worker uses for
// each criteria. Loaded and refreshed; nothing looks it up yet.
#ifndef KX_SETTINGS_LINK_CRITERIA_H
#define KX_SETTINGS_LINK_CRITERIA_H

#include <map>
#include <memory>
#include <string>

#include "base/snapshot.h"
#include "settings/basic_settings.h"

struct CServiceWorkerLinks {
    int32_t nId = 0;
    std::string sDescription;
    std::map<int32_t, int32_t> links;  // criteria id -> settings id
};
typedef std::map<int32_t, CServiceWorkerLinks> CServiceWorkerTable;

class CLinkCriteria : public CBasicSettings {
public:
    HRESULT Load(const std::string& sPath) override { return LoadLinkCriteria(sPath); }
    HRESULT LoadLinkCriteria(const std::string& sPath);
    std::shared_ptr<const CServiceWorkerTable> Table() const { return m_table.Get(); }

private:
    HRESULT HandleLink(const CAttributeItems& items, CServiceWorkerLinks& record);

    CSnapshot<CServiceWorkerTable> m_table;
};

#endif  // KX_SETTINGS_LINK_CRITERIA_H
