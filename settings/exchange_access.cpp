#include "settings/exchange_access.h"

#include "base/win_errors.h"
#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"
#include "platform/component_interfaces.h"
#include "platform/utf.h"
#include "settings/component_call.h"

namespace {
constexpr CComponentTexts ACCESS_TEXTS = {
    "CExchangeAccess::%s got EXCEPTION HR 0x%x, %s %s",
    "Exchange Access %s failed with 0x%x to access WS %s %s",
    "CExchangeAccess::%s got STD EXCEPTION  %s",
    "Exchange Access %s failed with to access WS STD %s",
    "CExchangeAccess::%s got GENERAL EXCEPTION",
    "Exchange Access %s failed",
};
}  // namespace

HRESULT CExchangeAccess::Failed(const char* pszOperation, const CComponentFailure& failure) {
    return ReportComponentFailure(m_eventLog, ACCESS_TEXTS, pszOperation, failure);
}

std::string CExchangeAccess::GetErrorInfo() {
    std::u16string sText;
    if (m_spAccess) m_spAccess->GetErrorInfo(sText);
    return Utf16ToUtf8(sText);
}

HRESULT CExchangeAccess::Initialize(long nVersion, long nConnectionType, const std::string& sUrl,
                                    const std::string& sUser, const std::string& sPassword,
                                    const std::string& sDomain) {
    m_spAccess.reset();
    std::shared_ptr<IExchangeAccess> spAccess;
    if (const HRESULT hr = CoCreateInstance(CLSID_ExchangeAccess, spAccess); hr < 0) {
        Trace("Initialize ExchangeAccess CoCreateInstance failed HR:0x%x", static_cast<unsigned>(hr));
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "Exchange Access component not instantiated: HR:0x%x",
                                static_cast<unsigned>(hr));
        return hr;
    }
    m_spAccess = std::move(spAccess);
    HRESULT hr = S_OK;
    long nReturnCode = 0;
    CComponentFailure failure;
    if (!RunComponentCall(
            [&] {
                hr = m_spAccess->Initialize(nVersion, nConnectionType, Utf8ToUtf16(sUrl), Utf8ToUtf16(sUser),
                                            Utf8ToUtf16(sPassword), Utf8ToUtf16(sDomain), nReturnCode);
            },
            failure))
        return Failed("Initialize", failure);
    if (hr < 0) {
        Trace("Initialize ExchangeAccess Initialize failed %s HR:0x%x", GetErrorInfo().c_str(),
              static_cast<unsigned>(hr));
        return hr;
    }
    if (nReturnCode != 0) {
        Trace("Initialize ExchangeAccess Initialize returned a failure code %s RC: %ld", GetErrorInfo().c_str(),
              nReturnCode);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CExchangeAccess::Impersonate(long nKind, const std::string& sName) {
    if (!m_spAccess) return E_POINTER;
    HRESULT hr = S_OK;
    CComponentFailure failure;
    if (!RunComponentCall([&] { hr = m_spAccess->Impersonate(nKind, Utf8ToUtf16(sName)); }, failure))
        return Failed("Impersonate", failure);
    if (hr < 0)
        Trace("Impersonate ExchangeAccess failed %s HR:0x%x", GetErrorInfo().c_str(), static_cast<unsigned>(hr));
    return hr;
}

HRESULT CExchangeAccess::GetCustomProperties(std::vector<CUserPropertyDefinition>& definitions) {
    if (!m_spAccess) return E_POINTER;
    std::vector<CustomProperty> properties;
    for (const CUserPropertyDefinition& definition : definitions)
        properties.push_back({Utf8ToUtf16(definition.sPropertySetGuid), Utf8ToUtf16(definition.sPropertyName), {},
                              VARIANT_FALSE});
    HRESULT hr = S_OK;
    long nFailed = 0;
    CComponentFailure failure;
    if (!RunComponentCall([&] { hr = m_spAccess->GetCustomProperties(properties, nFailed); }, failure))
        return Failed("GetCustomProperties", failure);
    if (hr < 0) {
        Trace("GetCustomProperties failed %s. HR: 0x%x, NO: %ld", GetErrorInfo().c_str(), static_cast<unsigned>(hr),
              nFailed);
        return hr;
    }
    for (size_t n = 0; n < definitions.size(); ++n)
        if (properties[n].bFound != VARIANT_FALSE) definitions[n].sDefaultValue = Utf16ToUtf8(properties[n].sValue);
    return S_OK;
}
