#include "settings/qv_cache.h"

#include "base/win_errors.h"
#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"
#include "platform/component_interfaces.h"
#include "platform/utf.h"
#include "settings/component_call.h"

namespace {
constexpr CComponentTexts CACHE_TEXTS = {
    "%s got EXCEPTION HR 0x%x %s",
    "Cache component  %s failed COM Exception with 0x%x %s",
    "%s cache component got STD EXCEPTION %s",
    "%s Cache component failed STD %s",
    "%s cache component got GENERAL EXCEPTION",
    "%s Cache component failed GE",
};
const HRESULT HR_MISS = HResultFromWin32(ERROR_NOT_FOUND);

// The item that says a value is absent: no property name of the callers
// begins with a control character, and older workers sharing a store never
// ask for it.
std::string AbsentName(const std::string& sPropertyName) { return "\x01" "absent" "\x01" + sPropertyName; }
}

std::shared_ptr<IQVCacheComponent> CQVCache::Instance() {
    std::shared_ptr<IQVCacheComponent> spCache;
    if (const HRESULT hr = CoCreateInstance(CLSID_QVCache, spCache); hr < 0) throw CHResultError(hr);
    return spCache;
}

HRESULT CQVCache::Failed(const char* pszOperation, const CComponentFailure& failure) {
    return ReportComponentFailure(m_eventLog, CACHE_TEXTS, pszOperation, failure);
}

HRESULT CQVCache::Init() {
    std::shared_ptr<IQVCacheComponent> spCache;
    HRESULT hr = CoCreateInstance(CLSID_QVCache, spCache);
    if (hr < 0) {
        Trace("[CQVCache::Init( ] m_spCache.CoCreateInstance failed hr: 0X%x", static_cast<unsigned>(hr));
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "Cache component failed to instantiate HRESULT: 0X%x",
                                static_cast<unsigned>(hr));
        return hr;
    }
    CComponentFailure failure;
    if (!RunComponentCall([&] { hr = spCache->Initialize(); }, failure)) return Failed("Init", failure);
    if (hr < 0) {
        Trace("[CQVCache::Init( ] Initialize failed hr: 0X%x", static_cast<unsigned>(hr));
        return hr;
    }
    m_bInitialized = true;
    return S_OK;
}

HRESULT CQVCache::CreateCache(const std::string& sCacheName, long nMaxItems, long nLifetimeMinutes) {
    if (!m_bInitialized) {
        Trace("CreateCache QVCache is not initialized");
        return E_UNEXPECTED;
    }
    HRESULT hr = S_OK;
    CComponentFailure failure;
    if (!RunComponentCall(
            [&] { hr = Instance()->CreateCache(Utf8ToUtf16(sCacheName), nMaxItems, nLifetimeMinutes); }, failure))
        return Failed("CreateCache", failure);
    if (hr < 0)
        Trace("[CQVCache::CreateCache() ] failed Cache %s hr: 0X%x", sCacheName.c_str(), static_cast<unsigned>(hr));
    return hr;
}

HRESULT CQVCache::AddItem(const std::string& sCacheName, const std::string& sKey, const std::string& sData,
                          const std::string& sSession, const std::string& sPropertyName) {
    HRESULT hr = S_OK;
    CComponentFailure failure;
    if (!RunComponentCall(
            [&] {
                hr = Instance()->AddItem(Utf8ToUtf16(sCacheName), Utf8ToUtf16(sKey), Utf8ToUtf16(sData),
                                         Utf8ToUtf16(sSession), Utf8ToUtf16(sPropertyName));
            },
            failure))
        return Failed("AddItem", failure);
    if (hr < 0)
        Trace("[CQVCache::AddItem() ]  failed Key %s Data %s Session %s PropName %s hr: 0X%x", sKey.c_str(),
              sData.c_str(), sSession.c_str(), sPropertyName.c_str(), static_cast<unsigned>(hr));
    return hr;
}

HRESULT CQVCache::AddAbsent(const std::string& sCacheName, const std::string& sKey, const std::string& sSession,
                            const std::string& sPropertyName) {
    return AddItem(sCacheName, sKey, {}, sSession, AbsentName(sPropertyName));
}

HRESULT CQVCache::GetItem(const std::string& sCacheName, const std::string& sKey, std::string& sData,
                          const std::string& sSession, const std::string& sPropertyName) {
    HRESULT hr = S_OK;
    std::u16string sValue;
    CComponentFailure failure;
    if (!RunComponentCall(
            [&] {
                const std::shared_ptr<IQVCacheComponent> spCache = Instance();
                const std::u16string sName = Utf8ToUtf16(sCacheName), sItemKey = Utf8ToUtf16(sKey),
                                     sItemSession = Utf8ToUtf16(sSession);
                hr = spCache->GetItem(sName, sItemKey, sValue, sItemSession, Utf8ToUtf16(sPropertyName));
                if (hr == HR_MISS &&
                    spCache->GetItem(sName, sItemKey, sValue, sItemSession, Utf8ToUtf16(AbsentName(sPropertyName))) ==
                        S_OK)
                    hr = S_FALSE;
            },
            failure))
        return Failed("GetItem", failure);
    if (hr == S_OK)
        sData = Utf16ToUtf8(sValue);
    else if (hr != HR_MISS && hr != S_FALSE)
        Trace("[CQVCache::GetItem() ]  failed Key %s Session %s PropName %s hr: 0X%x", sKey.c_str(), sSession.c_str(),
              sPropertyName.c_str(), static_cast<unsigned>(hr));
    return hr;
}
