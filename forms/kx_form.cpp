#include "forms/kx_form.h"

#include "base/ascii_case.h"
#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_attribute.h"
#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "platform/component_interfaces.h"
#include "record/dll_context.h"
#include "record/sw_context.h"
#include "settings/kx_ex_access.h"
#include "settings/kx_general_settings.h"
#include "settings/security_access.h"

namespace {

bool IsCompleteContext(const CSWFormContext* pFormContext) {
    if (pFormContext == nullptr || pFormContext->m_pContext == nullptr ||
        pFormContext->m_pcobBufferInstructionList == nullptr || pFormContext->m_pCommonPointers == nullptr)
        return false;
    const CCommonPointers& pointers = *pFormContext->m_pCommonPointers;
    const CDLLContext& context = *pFormContext->m_pContext;
    return pointers.m_pBufferStart != nullptr && pointers.m_pBufferLast != nullptr &&
           pointers.m_pHtmlDataStart != nullptr && context.m_spOutboundContext.pObject != nullptr &&
           context.m_spExchangeURL.pObject != nullptr && context.m_spRequestInfo.pObject != nullptr &&
           context.m_pCoreServices != nullptr && pFormContext->m_spDom != nullptr &&
           !pFormContext->m_spDom->isUndefined();
}

// The parts of an href split at "/": a leading part only when not empty, and
// none after the first empty one (so a scheme's "//" ends the list).
std::vector<std::string_view> HrefParts(std::string_view sHref) {
    std::vector<std::string_view> parts;
    const size_t nSlash = sHref.find('/');
    if (nSlash != 0 && !sHref.empty()) parts.push_back(sHref.substr(0, nSlash));
    if (nSlash == std::string_view::npos) return parts;
    for (size_t nStart = nSlash + 1;;) {
        const size_t nNext = sHref.find('/', nStart);
        const std::string_view sPart = sHref.substr(nStart, nNext == std::string_view::npos ? nNext : nNext - nStart);
        if (sPart.empty()) break;
        parts.push_back(sPart);
        if (nNext == std::string_view::npos) break;
        nStart = nNext + 1;
    }
    return parts;
}

}  // namespace

DWORD CKXForm::Process(CSWFormContext* pFormContext) {
    const DWORD dwResult = Init(pFormContext);
    if (dwResult != ERROR_SUCCESS) return dwResult;
    Process();
    return ERROR_SUCCESS;
}

DWORD CKXForm::Init(CSWFormContext* pFormContext) {
    Trace("[CKXForm::Init] Starts.");
    if (!IsCompleteContext(pFormContext)) Trace("[CKXForm::Init] Invalid context.");
    m_pFormContext = pFormContext;
    m_bInit = true;
    Trace("[CKXForm::Init] returned. m_bInit <%s>.", "Y");
    return ERROR_SUCCESS;
}

CDLLContext* CKXForm::Context() const { return m_pFormContext == nullptr ? nullptr : m_pFormContext->m_pContext; }

void CKXForm::TraceOutcome(const char* pszClass, const char* pszAction, const char* pszNoun, bool bSucceeded) const {
    if (!IsTraceOn()) return;
    static constexpr char STARS[] = "****************************************************************************";
    static_assert(sizeof(STARS) - 1 == 76);
    Trace("[%s::Process] %s", pszClass, STARS);
    Trace("[%s::Process] *** %s <%s> %s %s! ***", pszClass, pszAction,
          m_pFormContext == nullptr ? "" : m_pFormContext->m_csTemplate.c_str(), pszNoun,
          bSucceeded ? "SUCCEEDED" : "FAILED");
    Trace("%s", STARS + 1);
}

std::string CKXForm::RequestValue(const char* pszName) const {
    std::string sValue;
    if (Context() != nullptr) GetRequestHeader(Context(), pszName, sValue);
    return sValue;
}

bool CKXForm::RequestUser(std::string& sUser, std::string& sDomain, std::string& sSid) const {
    sUser = RequestValue("QV_USERNAME");
    sSid = RequestValue("QV_USERSID");
    if (!sUser.empty()) {
        const size_t nSlash = sUser.find('\\');
        sDomain = nSlash == std::string::npos ? std::string() : sUser.substr(0, nSlash);
        return true;
    }
    std::string sThreadSid;
    if (CSecurityAccess().GetThreadUser(sUser, sDomain, sThreadSid) != 0) return false;
    if (sSid.empty()) sSid = sThreadSid;
    return true;
}

bool CKXForm::GetOptionRemindersEnabled() {
    std::string sUser, sDomain, sSid, sValue;
    RequestUser(sUser, sDomain, sSid);
    const auto* pOwn = Context() == nullptr ? nullptr : static_cast<const CKXSWContext*>(Context()->m_pMyOwnContext);
    if (CKXGeneralSettings::GetInstance()->GetOwaUserOption(
            sUser, RequestValue("HTTP_COOKIE"), pOwn == nullptr ? std::string() : pOwn->m_sEwsUrl, OWA_OPTION_REMINDERS,
            RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER"), sValue) < 0)
        return false;
    if (sValue.empty() || SameNoCase(sValue, "true") || sValue == "1") return true;
    if (SameNoCase(sValue, "false") || sValue == "0") return false;
    Trace("[CKXFormCalOptionsB::GetOptionRemindersEnabled] Failed to parse enablereminders user config option. "
          "Defaulting to false.");
    return false;
}

bool CKXForm::IsToolbarSeparator(const CDOMElement& cell) {
    if (cell.isUndefined()) return false;
    const CDOMAttribute kind = cell.getAttribute("class");
    return !kind.isUndefined() && SameNoCase(kind.getValue(), "dv");
}

void CKXForm::AppendJsVar(std::string& sScript, const char* pszName, std::string_view sValue) {
    sScript.append("\r\nvar ").append(pszName).append("=\"");
    AppendJsString(sScript, sValue);
    sScript.append("\";");
}

void CKXForm::AppendJsVar(std::string& sScript, const char* pszName, long nValue) {
    sScript.append("\r\nvar ").append(pszName).append("=").append(std::to_string(nValue)).append(";");
}

bool CKXForm::DetectUserLanguage(LANGID& langId, std::string& sLanguage) {
    Trace("[CKXForm::DetectUserLanguage] start");
    if (m_bLanguageDetected) {
        langId = m_wLanguageId;
        sLanguage = m_csLanguage;
        return true;
    }
    CDLLContext* pContext = Context();
    std::string sAcceptLanguage;
    if (pContext == nullptr || !GetRequestHeader(pContext, "HTTP_ACCEPT_LANGUAGE", sAcceptLanguage)) {
        Trace("[CFNForm::LoadResourceMap] Warning! error retrieving HTTP_ACCEPT_LANGUAGE, assume english");
        sAcceptLanguage = "en-us";
    }
    const std::string sExplicitLogon = RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER");
    std::string sUser, sDomain, sSid;
    if (!RequestUser(sUser, sDomain, sSid)) {
        Trace("[CFNForm::LoadResourceMap] Warning! CGeneralSettings::GetThreadUser() failed to retrieve username. "
              "Assume english.");
        sUser.clear();
        if (pContext == nullptr || !GetRequestHeader(pContext, "LOGON_USER", sUser))
            Trace("[CFNForm::LoadResourceMap] Warning! error retrieving LOGON_USER, assume english");
    }
    std::string sCookie;
    if (pContext == nullptr || !GetRequestHeader(pContext, "HTTP_COOKIE", sCookie))
        Trace("[CFNForm::LoadResourceMap] Warning! error retrieving HTTP_COOKIE");
    if (!CKXGeneralSettings::GetInstance()->DetectUserLanguage(sUser, sCookie, sAcceptLanguage, m_csLanguage,
                                                               m_wLanguageId, sExplicitLogon, sSid)) {
        Trace("[CKXForm::GetUserLanguageParameters] CKXGeneralSettings::DetectUserLanguage() failed. User <%s> "
              "AcceptLanguage <%s>.",
              sUser.c_str(), sAcceptLanguage.c_str());
        return false;
    }
    m_bLanguageDetected = true;
    langId = m_wLanguageId;
    sLanguage = m_csLanguage;
    return true;
}

bool CKXForm::LoadResources(const std::vector<uint32_t>& ids, std::map<uint32_t, std::string>& texts) {
    Trace("[CKXForm::LoadResources] start");
    bool bResult = false;
    LANGID langId = 0;
    std::string sLanguage;
    if (!IsInit()) {
    } else if (!DetectUserLanguage(langId, sLanguage)) {
        Trace("[CKXForm::LoadResources] CKXGeneralSettings::DetectUserLanguage() failed. User <%s> AcceptLanguage "
              "<%s>.",
              RequestValue("QV_USERNAME").c_str(), RequestValue("HTTP_ACCEPT_LANGUAGE").c_str());
    } else if (!(bResult = CKXGeneralSettings::GetInstance()->GetResources(ids, texts, true, langId, "utf-8"))) {
        Trace("[CKXForm::LoadResources] GetResources failed. langid: <%d>.", langId);
    }
    Trace("[CKXForm::LoadResources] returned bRet <%s>", bResult ? "TRUE" : "FALSE");
    return bResult;
}

DWORD CKXForm::LoadResourceMap(std::map<uint32_t, std::string>& texts, const std::vector<uint32_t>& ids) {
    if (ids.empty()) {
        Trace("[CKXForm::LoadResourceMap] Vector of resource ids is empty, do nothing");
        return ERROR_NO_DATA;
    }
    m_bLanguageDetected = false;
    LANGID langId = 0;
    std::string sLanguage;
    // The pages are UTF-8 whatever the browser accepts; the texts are written so.
    const bool bLoaded = IsInit() && DetectUserLanguage(langId, sLanguage) &&
                         CKXGeneralSettings::GetInstance()->GetResources(ids, texts, true, langId,
                                                                         RequestValue("HTTP_ACCEPT_CHARSET"));
    const DWORD dwResult = bLoaded ? ERROR_SUCCESS : ERROR_NO_DATA;
    Trace("[CKXForm::LoadResourceMap] method returned: %lu", static_cast<unsigned long>(dwResult));
    return dwResult;
}

const std::string& CKXForm::ResourceText(const std::map<uint32_t, std::string>& texts, uint32_t nId) {
    static const std::string EMPTY;
    const auto it = texts.find(nId);
    return it == texts.end() ? EMPTY : it->second;
}

bool CKXForm::GetOWABuildAndCurrentOWAThemeFromCSSLinkTags(std::string_view sName1, std::string_view sName2,
                                                           std::string& sBuild, std::string& sTheme) {
    sBuild.clear();
    sTheme.clear();
    Trace("[CKXForm::GetOWABuildAndCurrentOWAThemeFromCSSLinkTags] Starts.");
    if (!IsInit() || m_pFormContext->m_spDom == nullptr) return false;
    const CDOMElement head = m_pFormContext->m_spDom->getHead();
    if (head.isUndefined()) {
        Trace("[CKXForm::GetOWABuildAndCurrentOWAThemeFromCSSLinkTags] <HEAD> element was not found.");
        return false;
    }
    const CDOMStartTagVector links = head.getStartTagsByTagName("link");
    for (size_t n = 0; n < links.size() && sBuild.empty(); ++n) {
        const CDOMAttribute type = links[n].getAttribute("type");
        if (type.isUndefined() || !type.hasValue() || !SameNoCase(DecodeHtmlText(type.getValue()), "text/css"))
            continue;
        const CDOMAttribute href = links[n].getAttribute("href");
        if (href.isUndefined() || !href.hasValue()) continue;
        const std::string sHref = DecodeHtmlText(href.getValue());
        const std::vector<std::string_view> parts = HrefParts(sHref);
        if (parts.size() < 4 || !(SameNoCase(parts.back(), sName1) || SameNoCase(parts.back(), sName2))) continue;
        sBuild = parts[parts.size() - 4];
        sTheme = parts[parts.size() - 2];
    }
    if (sBuild.empty()) {
        Trace("[CKXForm::GetOWABuildAndCurrentOWAThemeFromCSSLinkTags] OWA build and/or current OWA theme was not "
              "found.");
        return false;
    }
    Trace("[CKXForm::GetOWABuildAndCurrentOWAThemeFromCSSLinkTags] returned bRet <%s> OWA build <%s> Current OWA "
          "theme <%s>.",
          "TRUE", sBuild.c_str(), sTheme.c_str());
    return true;
}

DWORD CKXForm::AppendJSVarHandlerVirPath(std::string& sText) {
    Trace("[CKXForm::AppendJSVarHandlerVirPath] start");
    DWORD dwResult = ERROR_ARENA_TRASHED;
    const CExchangeURL* pUrls = Context() == nullptr ? nullptr : ExchangeURL(Context());
    if (!IsInit()) {
    } else if (pUrls == nullptr) {
        Trace("[CKXForm::AppendJSVarHandlerVirPath] Error: Invalid parameter: pFormContext->m_pContext->m_spExchangeURL "
              "is null!");
    } else {
        const std::string sFolder = std::string(HostText(pUrls->m_sRoot)) + "/" +
                                    CKXGeneralSettings::GetInstance()->GetHandlerVirDir();
        AppendJsVar(sText, "g_qvkx_VDir", sFolder);
        dwResult = ERROR_SUCCESS;
    }
    Trace("[CKXForm::AppendJSVarHandlerVirPath] Done! dwRet : <%lu>", static_cast<unsigned long>(dwResult));
    return dwResult;
}

bool CKXForm::GetItemEwsID(const char* pszClass, const std::string& sOwaId, std::string& sEwsId) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    const std::string sExplicitLogon = RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER");
    std::string sMailbox = sExplicitLogon;
    bool bResult = true;
    if (!sMailbox.empty()) {
        Trace("[%s::GetItemEwsID] Other mailbox is opened. Explicit logon user header value <%s>.", pszClass,
              sMailbox.c_str());
    } else {
        std::string sCookie, sUser, sDomain, sSid;
        if (!GetRequestHeader(Context(), "HTTP_COOKIE", sCookie)) {
            Trace("[%s::GetItemEwsID] Failed to get cookie from header.", pszClass);
            bResult = false;
        } else {
            RequestUser(sUser, sDomain, sSid);
            const HRESULT hr = pSettings->DetectPrimarSmtpAddress(sUser, sCookie, sMailbox, sExplicitLogon, sSid);
            if (hr < 0) {
                const std::string sDescription = "User:" + sUser + " Domain:" + sDomain + " SID:" + sSid +
                                                 " Cookie:" + sCookie + " OtherMBX:" + sExplicitLogon;
                Trace("[%s::GetItemEwsID] CFNGeneralSettings::DetectPrimarSmtpAddress failed %s. HR: 0x%x", pszClass,
                      sDescription.c_str(), static_cast<unsigned>(hr));
                bResult = false;
            }
        }
    }
    if (bResult) {
        CKXExAccess access(pSettings->EventLog());
        std::vector<std::string> ids;
        if (!InitializeKXExchangeAccess(pszClass, access)) {
            bResult = false;
        } else if (const HRESULT hr = access.ConvertIdOwaToEws(sOwaId, sMailbox, ids); hr < 0 || ids.empty()) {
            Trace("[%s::GetItemEwsID] CKXExAccess::ConvertIdOwaToEws failed %s. HR: 0x%x", pszClass,
                  ("SMTP Address:" + sMailbox).c_str(), static_cast<unsigned>(hr));
            bResult = false;
        } else {
            sEwsId = ids.front();
        }
    }
    if (!bResult) Trace("[%s::GetItemEwsID] GetItemEwsID failed.", pszClass);
    return bResult;
}

bool CKXForm::InitializeKXExchangeAccess(const char* pszClass, CKXExAccess& access) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    const auto* pOwn = Context() == nullptr ? nullptr : static_cast<const CKXSWContext*>(Context()->m_pMyOwnContext);
    std::string sUser, sDomain, sSid;
    RequestUser(sUser, sDomain, sSid);
    CExchangeIdentity identity;
    if (const HRESULT hr = pSettings->GetExchangeIdentity(sUser, RequestValue("HTTP_COOKIE"), identity); hr < 0) {
        Trace("[%s::InitializeKXExchangeAccess] no Exchange identity for user %s hr 0x%x", pszClass, sUser.c_str(),
              static_cast<unsigned>(hr));
        return false;
    }
    HRESULT hr = access.Initialize(pSettings->ExchangeAccessVersion(), CONNECTION_EWS,
                                   pOwn == nullptr ? std::string() : pOwn->m_sEwsUrl, "", "", "", "");
    if (hr >= 0) hr = access.Impersonate(identity.nKind, identity.sName);
    if (hr < 0) {
        Trace("[%s::InitializeKXExchangeAccess] Initialize access to EWS failed hr 0x%x", pszClass,
              static_cast<unsigned>(hr));
        return false;
    }
    return true;
}
