#include "components/cache_component.h"

#include "base/win_errors.h"
#include "platform/utf.h"

namespace {

// Each part length-prefixed, so that no two triples make the same key.
std::string ItemKey(const std::u16string& sKey, const std::u16string& sSession, const std::u16string& sPropertyName) {
    std::string sItemKey;
    sItemKey.reserve(sKey.size() + sSession.size() + sPropertyName.size() + 16);
    for (const std::u16string* pPart : {&sKey, &sSession, &sPropertyName}) {
        const std::string sPart = Utf16ToUtf8(*pPart);
        sItemKey.append(std::to_string(sPart.size())).append(1, ':').append(sPart);
    }
    return sItemKey;
}

}  // namespace

HRESULT CCacheComponent::Initialize() { return m_spStore ? S_OK : E_POINTER; }

HRESULT CCacheComponent::CreateCache(const std::u16string& sCacheName, long nMaxItems, long nLifetimeMinutes) {
    if (!m_spStore) return E_POINTER;
    return m_spStore->CreateCache(Utf16ToUtf8(sCacheName), nMaxItems, nLifetimeMinutes);
}

HRESULT CCacheComponent::AddItem(const std::u16string& sCacheName, const std::u16string& sKey,
                                 const std::u16string& sData, const std::u16string& sSession,
                                 const std::u16string& sPropertyName) {
    if (!m_spStore) return E_POINTER;
    return m_spStore->Add(Utf16ToUtf8(sCacheName), ItemKey(sKey, sSession, sPropertyName), Utf16ToUtf8(sData));
}

HRESULT CCacheComponent::GetItem(const std::u16string& sCacheName, const std::u16string& sKey, std::u16string& sData,
                                 const std::u16string& sSession, const std::u16string& sPropertyName) {
    if (!m_spStore) return E_POINTER;
    std::string sValue;
    const HRESULT hr = m_spStore->Get(Utf16ToUtf8(sCacheName), ItemKey(sKey, sSession, sPropertyName), sValue);
    if (hr == S_OK) sData = Utf8ToUtf16(sValue);
    return hr;
}
