#include "settings/link_criteria.h"

#include <pugixml.hpp>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/error_text.h"
#include "platform/utf.h"
#include "settings/element_walker.h"
#include "settings/settings_document.h"

namespace {
constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002);
}

HRESULT CLinkCriteria::HandleLink(const CAttributeItems& items, CServiceWorkerLinks& record) {
    if (items.size() != 2) return 0;
    const auto* pCriteria = std::get_if<std::u16string>(&items[0].second);
    const auto* pSettings = std::get_if<std::u16string>(&items[1].second);
    if (pCriteria == nullptr || pSettings == nullptr) return 0;
    record.links[DecimalValue(*pCriteria)] = DecimalValue(*pSettings);
    return 0;
}

HRESULT CLinkCriteria::LoadLinkCriteria(const std::string& sPath) {
    FILETIME64 fileDate = 0;
    if (GetFileDate(sPath, fileDate) != 0) {
        Trace("Load LoadLinkCriteria can not find file %s error %d", sPath.c_str(), 2);
        m_sLastFailure = sPath + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND);
        return HRESULT_FILE_NOT_FOUND;
    }
    try {
        pugi::xml_document document;
        CSettingsLoadFailure failure;
        if (const HRESULT hr = LoadSettingsDocument(sPath, "SERVICEWORKERS", document, failure); hr != 0) {
            Trace("Load Criteria can not load file %s error %x %s", sPath.c_str(), static_cast<unsigned>(hr),
                  failure.sReason.c_str());
            m_sLastFailure = failure.sReason;
            return hr;
        }
        auto pTable = std::make_shared<CServiceWorkerTable>();
        const _functTrans<CLinkCriteria, CServiceWorkerLinks> linkHandler(this, &CLinkCriteria::HandleLink);
        for (const pugi::xml_node& worker : document.child("SERVICEWORKERS").children("SW")) {
            const CAttributeItems items = ReadAttributeItems(worker, {"ID", "DESCR"});
            const auto* pId = std::get_if<std::u16string>(&items[0].second);
            if (pId == nullptr) continue;  // neither a number nor text
            const int32_t nId = DecimalValue(*pId);
            CServiceWorkerLinks& record = (*pTable)[nId];
            record.nId = nId;
            if (const auto* pDescription = std::get_if<std::u16string>(&items[1].second))
                record.sDescription = Utf16ToUtf8(*pDescription);
            const HRESULT hr = WalkElements(worker, "LINK", {"CRITERIA_ID", "SETTINGS_ID"}, linkHandler, record);
            if (hr < 0) {
                Trace("LoadLinkCriteria HRESULT exception %x", static_cast<unsigned>(hr));
                return hr;
            }
        }
        m_table.Set(std::move(pTable));
        MarkLoaded(sPath);
        return 0;
    } catch (const std::exception&) {
        Trace("LoadLinkCriteria General exception");
        return E_FAIL;
    }
}
