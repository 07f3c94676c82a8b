// Authentication-complete: the request's user, session, EWS address and
// time zone, and its routing (the worker's own handler pages, the calendar
// view the user chose, feature bits for the page modifiers).
#include <new>
#include <string_view>

#include "base/ascii_case.h"
#include "base/base64.h"
#include "base/text_search.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "directory/ad_user_config.h"
#include "entry/auth_complete_helper.h"
#include "entry/notifications.h"
#include "entry/subscription_types.h"
#include "entry/util.h"
#include "holidays/holiday_handling.h"
#include "record/dll_context.h"
#include "record/sw_context.h"
#include "settings/kx_general_settings.h"
#include "settings/kx_setting_ids.h"
#include "settings/security_access.h"

namespace {

constexpr const char* HANDLER_FOLDER = "/owa/X-Kalyxa/";

struct CHandlerPage {
    const char* pszCommand;
    const char* pszPage;
    bool bLoadsHolidays;
};

constexpr CHandlerPage OWN_PAGES[] = {
    {"mngdgs", "MngDgs.srf", false},           {"mngcds", "MngCds.srf", false},
    {"opncd", "OpnCd.srf", false},             {"finddg", "FindDg.srf", false},
    {"strjs", "CommStr.srf", false},           {"vercdacc", "VerCdAcc.srf", false},
    {"custerr", "ErrorDialog.srf", false},     {"calsearch", "qv_calsearch.srf", false},
    {"calsearchlist", "qv_calsearchlist.srf", false}, {"addhld", "AddHolidays.srf", true},
    {"findorgr", "FindOrgr.srf", true},
};
constexpr CHandlerPage REMINDER_PAGES[] = {
    {"qvsetrmnd", "SetRmndEnable.srf", false},
    {"qvgetrmndpg", "GetRmndPg.srf", false},
};

template <size_t N>
const CHandlerPage* FindPage(const CHandlerPage (&pages)[N], const std::string& sCommand) {
    for (const CHandlerPage& page : pages)
        if (SameNoCase(sCommand, page.pszCommand)) return &page;
    return nullptr;
}

bool IsAnonymous(const std::string& sUser) {
    return SameNoCase(sUser, "IUSR") || (sUser.size() > 5 && StartsWithNoCase(sUser, "IUSR_"));
}

// Every occurrence of sFrom in sText, ignoring case, replaced by sTo.
std::string ReplaceAllNoCase(const std::string& sText, const std::string& sFrom, const std::string& sTo) {
    std::string sResult;
    size_t nFrom = 0;
    for (size_t nHit = FindNoCaseIn(sText, sFrom, 0); !sFrom.empty() && nHit != std::string_view::npos;
         nHit = FindNoCaseIn(sText, sFrom, nFrom)) {
        sResult.append(sText, nFrom, nHit - nFrom).append(sTo);
        nFrom = nHit + sFrom.size();
    }
    return sResult.append(sText, nFrom, std::string::npos);
}

// The working values of one call and its steps.
class CAuthComplete {
public:
    explicit CAuthComplete(CDLLContext* pContext)
        : m_pContext(pContext), m_pSettings(CKXGeneralSettings::GetInstance()) {}

    DWORD Run();

private:
    DWORD ReadRequest();
    void IdentifyUser();
    DWORD CreateOwnContext();
    void RouteOwnCommand();
    void RouteReminderCommand();
    void RouteOwaPage();
    void RouteCalendarView(const std::string& sA);
    void ReadDelegateLegacyDn();
    void HandleViewType(const std::string& sView);
    void RewriteToOwaCalendar(const std::string& sA);
    DWORD Rewrite();
    std::string Parameter(const char* pszName) const {
        std::string sValue;
        GetQueryParameter(m_pContext, pszName, sValue);
        return sValue;
    }
    void RewriteTo(const CHandlerPage& page) {
        m_sNewUrl = std::string(HANDLER_FOLDER) + page.pszPage + "?" + m_sQuery;
        m_bRewrite = m_bOwnPage = true;
    }

    CDLLContext* m_pContext;
    CKXGeneralSettings* m_pSettings;
    std::string m_sQuery, m_sMethod, m_sMailbox, m_sUrl, m_sUserAgent, m_sCookie, m_sUserContext;
    std::string m_sUser, m_sSessionId, m_sEwsUrl, m_sTimeZone;
    std::string m_sNewUrl;
    bool m_bRewrite = false;
    bool m_bOwnPage = false;
    bool m_bDelegate = false;
    std::string m_sLegacyDn;  // the delegate's legacyExchangeDN in Base64
};

DWORD CAuthComplete::ReadRequest() {
    if (!GetRequestHeader(m_pContext, "QUERY_STRING", m_sQuery)) {
        Trace("[CNotifications::NotifyAuthComplete] Reading QURERY_STRING header failed.");
        return ERROR_ARENA_TRASHED;
    }
    if (!GetRequestHeader(m_pContext, "HTTP_METHOD", m_sMethod)) {
        Trace("[CNotifications::NotifyAuthComplete] Reading HTTP_METHOD header failed.");
        return ERROR_ARENA_TRASHED;
    }
    if (SameNoCase(m_sMethod, "POST")) m_pContext->m_dwFeatureFlags |= KX_FEATURE_POST;
    if (GetRequestHeader(m_pContext, "HTTP_X_OWA_EXPLICITLOGONUSER", m_sMailbox))
        Trace("[CNotifications::NotifyAuthComplete] Other mailbox is opened. Explicit logon user header value <%s>.",
              m_sMailbox.c_str());
    if (!GetRequestHeader(m_pContext, "HTTP_URL", m_sUrl)) {
        Trace("[CNotifications::NotifyAuthComplete] Reading HTTP_URL header failed.");
        return ERROR_ARENA_TRASHED;
    }
    if (!GetRequestHeader(m_pContext, "HTTP_USER_AGENT", m_sUserAgent)) {
        Trace("[CNotifications::NotifyAuthComplete] HTTP_URL <%s> HTTP_METHOD <%s>. Reading HTTP_USER_AGENT header "
              "failed. ",
              m_sUrl.c_str(), m_sMethod.c_str());
        return ERROR_ARENA_TRASHED;
    }
    return ERROR_SUCCESS;
}

void CAuthComplete::IdentifyUser() {
    if (GetRequestHeader(m_pContext, "HTTP_COOKIE", m_sCookie)) {
        const bool bFound = m_sMailbox.empty() ? CUtil::extractCookie(m_sCookie, "UserContext=", m_sUserContext)
                                               : CUtil::GetOtherMBXUserContextCookieValue(m_sCookie, m_sUserContext);
        if (bFound && !m_sUserContext.empty()) m_pContext->m_dwFeatureFlags |= KX_FEATURE_USER_CONTEXT;
    }
    if (!GetRequestHeader(m_pContext, "QV_USERNAME", m_sUser) || m_sUser.empty()) {
        std::string sDomain, sSid;
        if (CSecurityAccess().GetThreadUser(m_sUser, sDomain, sSid) != 0)
            Trace("[CNotifications::NotifyAuthComplete] CGeneralSettings::GetThreadUser() failed.");
    }
    if (m_sUser.empty()) {
        Trace("[CNotifications::NotifyAuthComplete] CGeneralSettings::GetThreadUser() returned empty username.");
    } else if (m_pSettings->GetSessionId(m_sUser, m_sCookie, m_sSessionId)) {
        Trace("[CNotifications::NotifyAuthComplete] retrieved sessionid. sUserName <%s> sSessionId <%s>.",
              m_sUser.c_str(), m_sSessionId.c_str());
    } else {
        Trace("[CNotifications::NotifyAuthComplete] failed to retrieve sessionid. UserName <%s>.", m_sUser.c_str());
    }
    m_sEwsUrl = CUtil::BuildEwsUrl(m_pContext);
    Trace("[CNotifications::NotifyAuthComplete] Method <%s> URL <%s> Query string <%s> UA <%s> EWS <%s>.",
          m_sMethod.c_str(), m_sUrl.c_str(), m_sQuery.c_str(), m_sUserAgent.c_str(), m_sEwsUrl.c_str());
}

DWORD CAuthComplete::CreateOwnContext() {
    auto* pOwn = new (std::nothrow) CKXSWContext;
    if (pOwn == nullptr) {
        Trace("[CNotifications::NotifyAuthComplete] pContext->m_pMyOwnContext is NULL.");
        return ERROR_ARENA_TRASHED;
    }
    pOwn->m_sEwsUrl = m_sEwsUrl;
    m_pContext->m_pMyOwnContext = pOwn;
    if (IsAnonymous(m_sUser)) {
        Trace("[CNotifications::NotifyAuthComplete] found an anonymous access user %s all OU, do not retrieve user "
              "options",
              m_sUser.c_str());
    } else if (m_pSettings->GetOwaUserOption(m_sUser, m_sCookie, m_sEwsUrl, OWA_OPTION_TIME_ZONE, m_sMailbox,
                                                 m_sTimeZone) >= 0) {
        pOwn->m_sTimeZone = m_sTimeZone;
    } else {
        Trace("[CNotifications::NotifyAuthComplete] Failed to retrieve timezone from OWA User Options.");
    }
    if (!m_sTimeZone.empty() && !StartsWithNoCase(m_sUrl, "owa"))
        CHolidayHandling::GetInstance()->ProcessUserHolidays(
            {m_sUser, m_sEwsUrl, m_sCookie, m_sSessionId, m_sTimeZone, m_sMailbox});
    return ERROR_SUCCESS;
}

void CAuthComplete::RouteOwnCommand() {
    const std::string sCommand = Parameter("qvkxcmd");
    if (sCommand.empty() || !CNotifications::AddKXSpecificHeaders(m_pContext)) return;
    const CHandlerPage* pPage = FindPage(OWN_PAGES, sCommand);
    if (pPage == nullptr) return;
    if (pPage->bLoadsHolidays) CHolidayHandling::GetInstance()->LoadImportHoliday();
    RewriteTo(*pPage);
}

void CAuthComplete::RouteReminderCommand() {
    const std::string sCommand = Parameter("cmd");
    if (sCommand.empty() || !CNotifications::AddKXSpecificHeaders(m_pContext)) return;
    if (const CHandlerPage* pPage = FindPage(REMINDER_PAGES, sCommand)) RewriteTo(*pPage);
}

void CAuthComplete::RouteOwaPage() {
    const std::string sAe = Parameter("ae"), sT = Parameter("t"), sA = Parameter("a");
    if (SameNoCase(Parameter("qvkxdgi"), "rb")) m_pContext->m_dwFeatureFlags |= KX_FEATURE_QVKXDGI_RB;
    if (SameNoCase(sAe, "Folder") && SameNoCase(sT, "IPF.Appointment")) {
        RouteCalendarView(sA);
    } else if (SameNoCase(sAe, "Options")) {
        m_pContext->m_dwFeatureFlags |= KX_FEATURE_OPTIONS;
        if (SameNoCase(sT, "Calendar")) {
            m_pContext->m_dwFeatureFlags |= KX_FEATURE_CALENDAR_OPTIONS;
            CHolidayHandling::GetInstance()->LoadImportHoliday();
        }
    }
}

void CAuthComplete::ReadDelegateLegacyDn() {
    const std::string sMailbox = Parameter("qvdgmx");
    if (!Parameter("qvdglgx").empty() || sMailbox.empty()) return;
    std::string sLegacyDn;
    if (m_pSettings->GetSharedADProperty(sMailbox, CADUserConfig::ID_SMTP_ADDRESS, "legacyExchangeDN", sLegacyDn) < 0) {
        Trace("[CPrintContactHandler::ValidateAndExchange] GetSharedADProperty failed to retrieve legacyExchangeDN for "
              "the mailbox");
        return;
    }
    if (sLegacyDn.empty()) {
        Trace("[CPrintContactHandler::ValidateAndExchange] invalid legacyExchangeDN value: %s", sLegacyDn.c_str());
        return;
    }
    m_sLegacyDn = EncodeBase64(sLegacyDn);
    Trace("[CNotifications::NotifyAuthComplete] Adding heder %s %s", "X-QVLgExDN:", m_sLegacyDn.c_str());
    AddRequestHeader(m_pContext, "X-QVLgExDN:", m_sLegacyDn);
}

void CAuthComplete::RouteCalendarView(const std::string& sA) {
    std::string sView;
    if (StartsWithNoCase(sA, "QvDgView")) {
        m_bDelegate = true;
        sView = sA.substr(8);
        ReadDelegateLegacyDn();
        HandleViewType(sView);
    } else {
        if (StartsWithNoCase(sA, "QvView"))
            sView = sA.substr(6);
        else if (!sA.empty())
            return;  // another OWA action
        if (m_pSettings->GetFeatureSettingOn(kx_setting::FEATURE_VIEWS, 1) == 0) {
            RewriteToOwaCalendar(sA);
            return;
        }
        HandleViewType(sView);
    }
    if (m_bDelegate && !m_sLegacyDn.empty()) {
        m_bRewrite = true;
        if (m_sNewUrl.empty()) m_sNewUrl = "/owa/?" + m_sQuery;
        m_sNewUrl += "&qvdglgx=" + m_sLegacyDn;
    }
}

void CAuthComplete::RewriteToOwaCalendar(const std::string& sA) {
    m_bRewrite = true;
    if (sA.empty()) {
        m_sNewUrl = "/owa/?" + m_sQuery + "&a=QvOWA";
    } else {
        const bool bFirst = StartsWithNoCase(m_sQuery, "a=");
        m_sNewUrl = "/owa/?" + ReplaceAllNoCase(m_sQuery, (bFirst ? "a=" : "&a=") + sA, bFirst ? "a=QvOWA" : "&a=QvOWA");
    }
}

void CAuthComplete::HandleViewType(const std::string& sViewIn) {
    std::string sStored;
    if (!sViewIn.empty()) {
        const std::string sView = sViewIn.find_first_of("1234") == std::string::npos ? "1" : sViewIn;
        if (CAuthCompleteHelper::GetBasicCalendarViewType(m_pContext, sStored) == ERROR_SUCCESS && sStored == sView)
            return;
        if (CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete(m_pContext, sView) != ERROR_SUCCESS)
            Trace("[CNotifications::NotifyAuthComplete] CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete() "
                  "failed to set view type user preference to <%s>, continue default behaviour.",
                  sView.c_str());
        return;
    }
    if (CAuthCompleteHelper::GetBasicCalendarViewType(m_pContext, sStored) != ERROR_SUCCESS) {
        Trace("[CNotifications::NotifyAuthComplete] CFNFormsHelper::GetBasicCalendarViewType() failed.");
        return;
    }
    if (sStored.empty()) {
        Trace("[CNotifications::NotifyAuthComplete] CFNFormsHelper::GetBasicCalendarViewType() returned empty basic "
              "calendar view type.");
        return;
    }
    const std::string sMarker =
        std::string(StartsWithNoCase(m_sQuery, "a=") ? "" : "&") + (m_bDelegate ? "a=QvDgView" : "a=QvView");
    const size_t nMarker = FindNoCaseIn(m_sQuery, sMarker, 0);
    const std::string sQuery = nMarker == std::string_view::npos
                                   ? m_sQuery + sMarker + sStored
                                   : m_sQuery.substr(0, nMarker) + sMarker + sStored + m_sQuery.substr(nMarker + sMarker.size());
    m_sNewUrl = "/owa/?" + sQuery;
    m_bRewrite = true;
}

DWORD CAuthComplete::Rewrite() {
    if (!m_bRewrite) {
        Trace("[CNotifications::NotifyAuthComplete] No need to redirect the request.");
        return ERROR_SUCCESS;
    }
    if (m_sNewUrl.empty()) {
        Trace("[CNotifications::NotifyAuthComplete] The request should be redirected but the redirection URL is "
              "empty.");
        return ERROR_INVALID_DATA;
    }
    if (HasControlCharacters(m_sNewUrl)) {
        Trace("[CNotifications::NotifyAuthComplete] The new URL holds control characters from the request; it is not "
              "rewritten.");
        return ERROR_SUCCESS;
    }
    if (!CBaseNotifications::SetWorkerHeader(m_pContext, "URL", m_sNewUrl.c_str())) {
        Trace("[CNotifications::NotifyAuthComplete] CBaseNotifications::SetWorkerHeader failed when redirecting URL "
              "to <%s>.",
              m_sNewUrl.c_str());
        return ERROR_ARENA_TRASHED;
    }
    Trace("[CNotifications::NotifyAuthComplete] URL was successfully redirected to <%s>. The request needs further SW "
          "processing <%s>.",
          m_sNewUrl.c_str(), m_bOwnPage ? "N" : "Y");
    if (m_bOwnPage) m_pContext->m_dwControlMessage = KX_CONTROL_HANDLED;
    return ERROR_SUCCESS;
}

DWORD CAuthComplete::Run() {
    if (m_pContext == nullptr || RequestInfo(m_pContext) == nullptr || ExchangeURL(m_pContext) == nullptr) {
        Trace("[CNotifications::NotifyAuthComplete] Invalid pointer(s)!");
        return ERROR_ARENA_TRASHED;
    }
    m_pContext->m_pMyOwnContext = nullptr;
    Trace("[CNotifications::NotifyAuthComplete] Subcription Type (%d).", m_pContext->m_dwSubscriptionType);
    if (const DWORD dwResult = ReadRequest(); dwResult != ERROR_SUCCESS) return dwResult;
    IdentifyUser();
    if (const DWORD dwResult = CreateOwnContext(); dwResult != ERROR_SUCCESS) return dwResult;
    switch (m_pContext->m_dwSubscriptionType) {
        case SUBSCRIPTION_POLL:
        case SUBSCRIPTION_5: break;  // their parameters change nothing here
        case SUBSCRIPTION_OWN_COMMAND: RouteOwnCommand(); break;
        case SUBSCRIPTION_REMINDER_COMMAND: RouteReminderCommand(); break;
        case SUBSCRIPTION_31:
            m_pContext->m_dwFeatureFlags |= KX_FEATURE_SUBSCRIPTION_31;
            CHolidayHandling::GetInstance()->LoadImportHoliday();
            break;
        case SUBSCRIPTION_OWA_PAGE: RouteOwaPage(); break;
        default: break;
    }
    return Rewrite();
}

}  // namespace

DWORD CNotifications::NotifyAuthComplete(CDLLContext* pContext) {
    const DWORD dwResult = CAuthComplete(pContext).Run();
    if (dwResult != ERROR_SUCCESS && pContext != nullptr) pContext->m_dwControlMessage = KX_CONTROL_IGNORE;
    Trace("[CNotifications::NotifyAuthComplete] finished.  Win32 RC=%d.  Control Message=<%s>",
          static_cast<int>(dwResult), ControlMessageName(pContext));
    return dwResult;
}
