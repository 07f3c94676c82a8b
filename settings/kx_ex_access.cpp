#include "settings/kx_ex_access.h"

#include "base/win_errors.h"
#include "diagnostics/event_log.h"
#include "diagnostics/trace.h"
#include "platform/component_interfaces.h"
#include "platform/utf.h"
#include "settings/component_call.h"

namespace {
constexpr CComponentTexts KX_ACCESS_TEXTS = {
    "CKXExAccess::%s got EXCEPTION HR 0x%x, %s %s",
    "KX Exchange Access %s failed with 0x%x to access WS %s %s",
    "CKXExAccess::%s got STD EXCEPTION  %s",
    "KX Exchange Access %s failed with to access WS STD %s",
    "CKXExAccess::%s got GENERAL EXCEPTION",
    "KX Exchange Access %s failed",
};
}  // namespace

HRESULT CKXExAccess::Failed(const char* pszOperation, const CComponentFailure& failure) {
    return ReportComponentFailure(m_eventLog, KX_ACCESS_TEXTS, pszOperation, failure);
}

void CKXExAccess::Check(HRESULT hr) {
    if (hr >= 0) return;
    std::u16string sDescription;
    m_spAccess->GetErrorInfo(sDescription);
    throw CHResultError(hr, Utf16ToUtf8(sDescription));
}

HRESULT CKXExAccess::Flag(const char* pszOperation, short bSuccess) {
    if (bSuccess != VARIANT_FALSE) return S_OK;
    std::u16string sDescription;
    m_spAccess->GetErrorInfo(sDescription);
    Trace("%s failed. HR: 0x%x, ret: %s", pszOperation, static_cast<unsigned>(S_OK), "false");
    Trace("[CKXExAccess::%s] %s", pszOperation, Utf16ToUtf8(sDescription).c_str());
    return E_FAIL;
}

template <class TCall>
HRESULT CKXExAccess::Run(const char* pszOperation, TCall call) {
    if (!m_spAccess) {
        Trace("%s called but has a NULL POINTER to EWS", pszOperation);
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    CComponentFailure failure;
    if (!RunComponentCall([&] { hr = call(); }, failure)) hr = Failed(pszOperation, failure);
    LogTraceData(pszOperation);
    return hr;
}

HRESULT CKXExAccess::Initialize(long nFirstValue, long nConnectionType, const std::string& sUrl,
                                const std::string& sCookie, const std::string& sUser, const std::string& sPassword,
                                const std::string& sDomain) {
    Trace("[CKXExAccess::Initialize] method start: conn type: %ld, url: %s, cookie: %s, user: %s, pass is %s empty, "
          "domain: %s",
          nConnectionType, sUrl.c_str(), sCookie.c_str(), sUser.c_str(), sPassword.empty() ? "" : "not",
          sDomain.c_str());
    m_spAccess.reset();
    std::shared_ptr<IKXExchangeAccess> spAccess;
    if (const HRESULT hr = CoCreateInstance(CLSID_KXExchangeAccess, spAccess); hr < 0) {
        Trace("[CKXExAccess::Initialize] service not instantiated, error %x", static_cast<unsigned>(hr));
        m_eventLog.ReportEventf(EVENTLOG_ERROR_TYPE, "KX Exchange Access component not instantiated: HR:0x%x",
                                static_cast<unsigned>(hr));
        return hr;
    }
    m_spAccess = std::move(spAccess);
    if (IsTraceOn())
        if (const HRESULT hr = m_spAccess->EnableTracing(); hr < 0)
            Trace("[CKXExAccess::Initialize] EnableTracing failed, HR: %x", static_cast<unsigned>(hr));
    return Run("Initialize", [&] {
        Check(m_spAccess->InitConnection(nConnectionType, Utf8ToUtf16(sUrl), Utf8ToUtf16(sCookie),
                                         Utf8ToUtf16(sUser), Utf8ToUtf16(sPassword), Utf8ToUtf16(sDomain)));
        Check(m_spAccess->SetServerVersion(nFirstValue));
        return S_OK;
    });
}

HRESULT CKXExAccess::Impersonate(long nKind, const std::string& sName) {
    return Run("Impersonate", [&] {
        Check(m_spAccess->Impersonate(nKind, Utf8ToUtf16(sName)));
        return S_OK;
    });
}

HRESULT CKXExAccess::SetMailbox(const std::string& sMailbox) {
    return Run("SetMailbox", [&] {
        Check(m_spAccess->SetMailbox(Utf8ToUtf16(sMailbox)));
        return S_OK;
    });
}

HRESULT CKXExAccess::GetMeetingReminderItem(const std::string& sItemId, bool& bReminderSet, std::string& sMinutes) {
    return Run("GetMeetingReminderItem", [&] {
        VARIANT_BOOL bSet = VARIANT_FALSE, bSuccess = VARIANT_FALSE;
        long nMinutes = 0;
        Check(m_spAccess->GetMeetingReminderItem(Utf8ToUtf16(sItemId), bSet, nMinutes, bSuccess));
        const HRESULT hr = Flag("GetMeetingReminderItem", bSuccess);
        if (hr == S_OK) {
            bReminderSet = bSet != VARIANT_FALSE;
            sMinutes = std::to_string(nMinutes);
        }
        return hr;
    });
}

HRESULT CKXExAccess::SetMeetingReminderItem(const std::string& sItemId, const std::string& sChangeKey,
                                            bool bReminderSet, const std::string& sMinutes) {
    return Run("SetMeetingReminderItem", [&] {
        VARIANT_BOOL bSuccess = VARIANT_FALSE;
        Check(m_spAccess->SetMeetingReminderItem(Utf8ToUtf16(sItemId), Utf8ToUtf16(sChangeKey),
                                                 bReminderSet ? VARIANT_TRUE : VARIANT_FALSE, Utf8ToUtf16(sMinutes),
                                                 bSuccess));
        return Flag("SetMeetingReminderItem", bSuccess);
    });
}

HRESULT CKXExAccess::ConvertIdOwaToEws(const std::string& sOwaId, const std::string& sMailbox,
                                       std::vector<std::string>& ids) {
    return Run("ConvertIdOwaToEws", [&] {
        VARIANT_BOOL bSuccess = VARIANT_FALSE;
        std::vector<std::u16string> converted;
        Check(m_spAccess->ConvertIdOwaToEws(Utf8ToUtf16(sOwaId), Utf8ToUtf16(sMailbox), converted, bSuccess));
        const HRESULT hr = Flag("ConvertIdOwaToEws", bSuccess);
        if (hr == S_OK) {
            ids.clear();
            for (const std::u16string& sId : converted) ids.push_back(Utf16ToUtf8(sId));
        }
        return hr;
    });
}

HRESULT CKXExAccess::GetOwaUserConfiguration(const std::string& sConfigName, long nFolder,
                                             std::vector<std::pair<std::string, std::string>>& values) {
    return Run("GetOwaUserConfiguration", [&] {
        VARIANT_BOOL bSuccess = VARIANT_FALSE;
        UserConfigValues entries;
        Check(m_spAccess->GetOwaUserConfiguration(Utf8ToUtf16(sConfigName), nFolder, entries, bSuccess));
        const HRESULT hr = Flag("GetOwaUserConfiguration", bSuccess);
        if (hr == S_OK) {
            values.clear();
            for (const auto& [sKey, sValue] : entries) values.emplace_back(Utf16ToUtf8(sKey), Utf16ToUtf8(sValue));
        }
        return hr;
    });
}

HRESULT CKXExAccess::LogTraceData(const char* pszMethodName) {
    if (!m_spAccess) return E_POINTER;
    if (!IsTraceOn()) return S_OK;
    std::u16string sText;
    const HRESULT hr = m_spAccess->GetTraceData(sText);
    if (hr < 0) {
        Trace("[CKXExAccess::LogTraceData] failed, HR: 0x%x", static_cast<unsigned>(hr));
        return hr;
    }
    if (!sText.empty()) Trace("[%s] trace: %s", pszMethodName, Utf16ToUtf8(sText).c_str());
    return S_OK;
}
