#include "settings/sw_settings.h"

#include <cstdio>
#include <pugixml.hpp>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/error_text.h"
#include "platform/utf.h"
#include "settings/element_walker.h"
#include "settings/settings_document.h"

namespace {

constexpr int SETTING_BYPASS_GROUPS = 48;
constexpr int SETTING_BYPASS_GROUPS_MORE = 49;
constexpr int SETTING_REFRESH_MINUTES = 81;
constexpr size_t MAX_ID_LENGTH = 30;
constexpr HRESULT HRESULT_FILE_NOT_FOUND = static_cast<HRESULT>(0x80070002);

const std::u16string* Text(const CVariant& value) { return std::get_if<std::u16string>(&value); }

// An id attribute that converts: text shorter than 30 characters.
bool IdOf(const CVariant& value, int32_t& nId) {
    const std::u16string* pText = Text(value);
    if (pText == nullptr || pText->size() >= MAX_ID_LENGTH) return false;
    nId = DecimalValue(*pText);
    return true;
}

// An integer value, or the decimal conversion of a text; false for others.
// An empty text is no number: a value an operator cleared gives the
// caller's default, not 0 (which turns features off).
bool NumberOf(const CVariant& value, int32_t& nValue) {
    if (const int32_t* pNumber = std::get_if<int32_t>(&value)) {
        nValue = *pNumber;
        return true;
    }
    if (const std::u16string* pText = Text(value); pText != nullptr && !pText->empty()) {
        nValue = DecimalValue(*pText);
        return true;
    }
    return false;
}

}  // namespace

HRESULT CSWSettings::HandleItem(const CAttributeItems& items, CSettingItemTable& table) {
    int32_t nId = 0;
    if (items.size() != 3 || !IdOf(items[0].second, nId)) return 0;  // an element that does not convert
    CSettingItem item;
    if (const std::u16string* pDescription = Text(items[1].second)) item.sDescription = *pDescription;
    item.value = items[2].second;
    table[nId] = std::move(item);  // the last element of an id wins
    return 0;
}

HRESULT CSWSettings::HandleCriteria(const CAttributeItems& items, std::map<int32_t, CCriteriaRecord>& table) {
    int32_t nId = 0;
    if (items.size() != 2 || !IdOf(items[0].second, nId)) return 0;
    CCriteriaRecord& record = table[nId];
    if (const std::u16string* pDescription = Text(items[1].second)) record.sDescription = Utf16ToUtf8(*pDescription);
    return 0;
}

HRESULT CSWSettings::Parse(const pugi::xml_document& document, CSWSettingsTables& tables) {
    const _functTrans<CSWSettings, CSettingItemTable> itemHandler(this, &CSWSettings::HandleItem);
    const _functTrans<CSWSettings, std::map<int32_t, CCriteriaRecord>> criteriaHandler(this, &CSWSettings::HandleCriteria);
    const pugi::xml_node root = document.child("SETTINGS");
    HRESULT hr = WalkElements(root.child("GENERALSETTINGS"), "ITEM", {"ID", "DESCR", "VALUE"}, itemHandler, tables.general);
    if (hr < 0) return hr;
    for (const pugi::xml_node& setting : root.children("SETTING")) {
        const CAttributeItems items = ReadAttributeItems(setting, {"ID", "DESCR"});
        int32_t nId = 0;
        if (!IdOf(items[0].second, nId)) continue;
        criteriaHandler(items, tables.criteria);  // finds or makes the record
        hr = WalkElements(setting.child("ITEMS"), "ITEM", {"ID", "DESCR", "VALUE"}, itemHandler,
                          tables.criteria[nId].items);
        if (hr < 0) return hr;
    }
    ParseBuildByPassList(tables);
    return 0;
}

void CSWSettings::ParseBuildByPassList(CSWSettingsTables& tables) const {
    std::string sGroups, sMore;
    const CVariant* pGroups = Find(tables, SETTING_BYPASS_GROUPS, 0);
    const CVariant* pMore = Find(tables, SETTING_BYPASS_GROUPS_MORE, 0);
    if (pGroups != nullptr && Text(*pGroups) != nullptr) sGroups = Utf16ToUtf8(*Text(*pGroups));
    if (pMore != nullptr && Text(*pMore) != nullptr) {
        sMore = Utf16ToUtf8(*Text(*pMore));
        if (!sGroups.empty() && sGroups.back() != ';') sGroups += ';';
        sGroups += sMore;
    }
    size_t nStart = 0;
    while (nStart <= sGroups.size() && !sGroups.empty()) {
        size_t nEnd = sGroups.find(';', nStart);
        if (nEnd == std::string::npos) nEnd = sGroups.size();
        const std::string sEntry = sGroups.substr(nStart, nEnd - nStart);
        if (!sEntry.empty()) {
            CSid sid;
            if (ParseSidString(sEntry, sid))
                tables.bypassSids.push_back(std::move(sid));
            else
                Trace("Reading Groups from Global settings got an error %d . This group %s will be ignored",
                      static_cast<int>(ERROR_INVALID_SID), sEntry.c_str());
        }
        nStart = nEnd + 1;
    }
}

HRESULT CSWSettings::LoadSettings(const std::string& sPath) {
    FILETIME64 fileDate = 0;
    if (GetFileDate(sPath, fileDate) != 0) {
        Trace("Load LoadSettings can not find file %s error %d", sPath.c_str(), 2);
        m_sLastFailure = sPath + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND);
        return HRESULT_FILE_NOT_FOUND;
    }
    try {
        pugi::xml_document document;
        CSettingsLoadFailure failure;
        if (const HRESULT hr = LoadSettingsDocument(sPath, "SETTINGS", document, failure); hr != 0) {
            if (failure.pszParserText != nullptr) {
                std::fprintf(stderr, "%s\n", failure.pszParserText);
                std::fprintf(stderr, "Error on line %d, position %d in \"%s\".\n", failure.nLine, failure.nPosition,
                             sPath.c_str());
            }
            Trace("LoadSettings HRESULT exception %x %s", static_cast<unsigned>(hr), failure.sReason.c_str());
            m_sLastFailure = failure.sReason;
            return hr;
        }
        std::fprintf(stderr, "XML document loaded successfully\n");
        auto pTables = std::make_shared<CSWSettingsTables>();
        const HRESULT hr = Parse(document, *pTables);
        if (hr < 0) {
            Trace("LoadSettings HRESULT exception %x", static_cast<unsigned>(hr));
            return hr;
        }
        int32_t nRefreshMinutes = DEFAULT_REFRESH_MINUTES;
        if (const CVariant* pMinutes = Find(*pTables, SETTING_REFRESH_MINUTES, -1)) NumberOf(*pMinutes, nRefreshMinutes);
        m_tables.Set(std::move(pTables));
        MarkLoaded(sPath);
        SetRefreshMinutes(nRefreshMinutes);
        return 0;
    } catch (const std::exception&) {
        Trace("LoadSettings General exception");
        return E_FAIL;
    }
}

const CVariant* CSWSettings::Find(const CSWSettingsTables& tables, int32_t nId, int32_t nCriteria) {
    const auto itCriteria = tables.criteria.find(nCriteria);
    if (itCriteria != tables.criteria.end()) {
        const auto itItem = itCriteria->second.items.find(nId);
        if (itItem != itCriteria->second.items.end()) return &itItem->second.value;
    }
    const auto itGeneral = tables.general.find(nId);
    return itGeneral == tables.general.end() ? nullptr : &itGeneral->second.value;
}

bool CSWSettings::GetSettingFromID(int32_t nId, int32_t& nValue, int32_t nCriteria) const {
    const auto pTables = Tables();
    const CVariant* pValue = Find(*pTables, nId, nCriteria);
    return pValue != nullptr && NumberOf(*pValue, nValue);
}

bool CSWSettings::GetSettingFromID(int32_t nId, std::string& sValue, int32_t nCriteria) const {
    const auto pTables = Tables();
    const CVariant* pValue = Find(*pTables, nId, nCriteria);
    const std::u16string* pText = pValue == nullptr ? nullptr : Text(*pValue);
    if (pText == nullptr) return false;
    sValue = Utf16ToUtf8(*pText);
    return true;
}
