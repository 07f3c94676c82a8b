#include "forms/sw_form.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "dom/dom_attribute.h"
#include "dom/dom_source.h"
#include "dom/dom_vectors.h"
#include "forms/cached_script_decorator.h"
#include "forms/page_text.h"
#include "forms/sw_form_context.h"
#include "forms/sw_form_script_path.h"
#include "record/dll_context.h"

namespace {

constexpr const char* CSM_PREFIX_HEADER = "HEADER_QV_CSMPREFIX";

// The path of a script or style sheet is an attribute value: a prefix from
// the request must not end it.
std::string LinkMarkup(const std::string& sPath, DWORD dwLinkKind) {
    switch (dwLinkKind) {
        case CSWForm::LINK_SCRIPT:
            return "<SCRIPT language=\"javascript\" src=\"" + EscapeHtml(sPath) + "\"></SCRIPT>\n";
        case CSWForm::LINK_STYLESHEET:
            return "<LINK rel=\"stylesheet\" type=\"text/css\" href=\"" + EscapeHtml(sPath) + "\">\n";
        case CSWForm::LINK_DIV: return "<div>" + sPath + "</div>\n";
        default: return "";
    }
}

DWORD DefaultPosition(DWORD dwLinkKind) {
    return dwLinkKind == CSWForm::LINK_SCRIPT || dwLinkKind == CSWForm::LINK_STYLESHEET ? CSWForm::POSITION_HEAD
                                                                                         : CSWForm::POSITION_DEFAULT;
}

bool HasDom(const CSWFormContext* pFormContext) {
    return pFormContext != nullptr && pFormContext->m_spDom != nullptr && !pFormContext->m_spDom->isUndefined();
}

}  // namespace

std::unique_ptr<CCachedScriptDecorator> CSWForm::GetCachedScriptManager(CSWFormContext* pFormContext) {
    std::string sPrefix;
    const IRequestInfo* pRequestInfo =
        pFormContext == nullptr || pFormContext->m_pContext == nullptr ? nullptr : RequestInfo(pFormContext->m_pContext);
    KxStringView value{};
    if (pRequestInfo != nullptr && pRequestInfo->GetRequestHeader(CSM_PREFIX_HEADER, &value) && value.pData != nullptr)
        sPrefix.assign(value.pData, value.cbSize);
    if (sPrefix.empty()) {
        Trace("[CSWForm::PrefixLinkedScripts] Error: HEADER_QV_CSMPREFIX empty !");
        return nullptr;
    }
    if (sPrefix.size() < CCachedScriptDecorator::HEAD_LENGTH) return nullptr;
    if (!CCachedScriptDecorator::IsUsablePrefix(sPrefix)) {
        Trace("[CSWForm::GetCachedScriptManager] Error: HEADER_QV_CSMPREFIX holds a character a script path "
              "cannot hold; the scripts are linked without it.");
        return nullptr;
    }
    try {
        return std::make_unique<CCachedScriptDecorator>(sPrefix);
    } catch (const std::exception&) {
        Trace("[CSWForm::GetCachedScriptManager] Error: Exception initializing CSM !");
        return nullptr;
    }
}

CDOMElement CSWForm::GetInsertionElement(DWORD dwPosition, CSWFormContext* pFormContext) {
    if (!HasDom(pFormContext)) return CDOMElement();
    CDOMSource& dom = *pFormContext->m_spDom;
    switch (dwPosition) {
        case POSITION_HTML: return dom.getHtml();
        case POSITION_HEAD: return dom.getHead();
        case POSITION_BODY: return dom.getBody();
        default: return dom.getElementById("---");
    }
}

DWORD CSWForm::InsertScriptLink(CSWFormContext* pFormContext, const std::string& sScriptPath, DWORD dwLinkKind,
                                DWORD dwPosition) {
    Trace("[CSWForm::InsertScriptLink] Start, path: %s", sScriptPath.c_str());
    if (sScriptPath.empty()) {
        Trace("[CSWForm::InsertScriptLink] csScriptPath paramter not found");
        return ERROR_BAD_FORMAT;
    }
    if (pFormContext == nullptr) {
        Trace("[CSWForm::InsertScriptLink] Error: Invalid parameter: pFormContext is null!");
        return ERROR_INVALID_DATA;
    }
    const std::string sMarkup = LinkMarkup(sScriptPath, dwLinkKind);
    const CDOMElement element =
        GetInsertionElement(dwPosition == POSITION_DEFAULT ? DefaultPosition(dwLinkKind) : dwPosition, pFormContext);
    if (element.isUndefined()) {
        Trace("[CSWForm::InsertScriptLink] Error: GetInsertionElement got an NULL HEAD element!");
        return ERROR_SUCCESS;
    }
    const DWORD dwResult = element.appendContentData(sMarkup.c_str(), pFormContext->m_pcobBufferInstructionList);
    if (dwResult != ERROR_SUCCESS) {
        Trace("[CSWForm::InsertScriptLink] Error: InsertHtmlStringAtPosition for script failed!");
        return dwResult;
    }
    Trace("[CCalForm:InsertScriptLink] Done! dwRet : <%lu>", static_cast<unsigned long>(dwResult));
    return dwResult;
}

DWORD CSWForm::InsertScriptLink(CSWFormContext* pFormContext, const std::string& sBaseUrl,
                                const std::string& sFileName, DWORD dwLinkKind, CSWFormScriptPath& scriptPath,
                                bool bUseDecorator, DWORD dwPosition) {
    Trace("[CSWForm::InsertScriptLink] Start ");
    if (sFileName.empty()) {
        Trace("[CSWForm::InsertScriptLink] csFileName paramter not found");
        return ERROR_BAD_FORMAT;
    }
    std::string sRelativePath;
    if (bUseDecorator) {
        const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(pFormContext);
        sRelativePath = scriptPath.GetScriptPath(sFileName, pDecorator.get());
        if (pDecorator == nullptr) Trace("[CSWForm::InsertScriptLink] Error: failed to initialize script decorator ");
    } else {
        sRelativePath = scriptPath.GetScriptPath(sFileName);
    }
    // Without a path there is no link, whatever the base URL (it alone would
    // make the browser load the base page as a script).
    const DWORD dwResult =
        InsertScriptLink(pFormContext, sRelativePath.empty() ? sRelativePath : sBaseUrl + sRelativePath, dwLinkKind,
                         dwPosition);
    Trace("[CCalForm:AddExternalScript] Done! dwRet : <%lu>", static_cast<unsigned long>(dwResult));
    return dwResult;
}

DWORD CSWForm::InsertScriptLink(CSWFormContext* pFormContext, const std::string& sFileName, DWORD dwLinkKind,
                                CSWFormScriptPath& scriptPath, bool bUseDecorator, DWORD dwPosition) {
    return InsertScriptLink(pFormContext, std::string(), sFileName, dwLinkKind, scriptPath, bUseDecorator, dwPosition);
}

DWORD CSWForm::PrefixLinkedScripts(CSWFormContext* pFormContext, const std::string& sFileName,
                                   const CCachedScriptDecorator* pDecorator, bool bInHead) {
    DWORD dwResult = ERROR_INVALID_DATA;
    if (pFormContext == nullptr) {
        Trace("[CSWForm::PrefixLinkedScripts] Error: Invalid parameter: pFormContext is null!");
    } else if (sFileName.empty()) {
        Trace("[CSWForm::PrefixLinkedScripts] Error: Invalid parameter: csFileName is empty!");
    } else if (pDecorator == nullptr) {
        Trace("[CSWForm::PrefixLinkedScripts] Error: Invalid parameter: csm is not initialized!");
    } else {
        dwResult = PrefixFirstScript(pFormContext, sFileName, pDecorator->GetPrefixFolder(), bInHead);
    }
    Trace("[CCalForm:PrefixLinkedFiles] Done! dwRet : <%lu>", static_cast<unsigned long>(dwResult));
    return dwResult;
}

DWORD CSWForm::PrefixFirstScript(CSWFormContext* pFormContext, const std::string& sFileName,
                                 const std::string& sPrefix, bool bInHead) {
    const CDOMElement root = GetInsertionElement(bInHead ? POSITION_HEAD : POSITION_HTML, pFormContext);
    if (root.isUndefined()) return ERROR_SUCCESS;
    const CDOMSource& dom = *pFormContext->m_spDom;
    const CDOMStartTagVector scripts = root.getStartTagsByTagName("SCRIPT");
    for (size_t n = 0; n < scripts.size(); ++n) {
        CDOMAttribute source = scripts[n].getAttribute("src");
        if (source.isUndefined()) source = scripts[n].getAttribute("_src");
        if (source.isUndefined() || !source.hasValue()) continue;
        const Position nValue = source.getValueBeginPos();
        const Position nHit = dom.scanForString(sFileName, nValue, source.getValueEndPos() - nValue);
        if (nHit == NO_POS) continue;
        const DWORD dwResult =
            source.insertValueData(nHit - nValue, sPrefix.c_str(), pFormContext->m_pcobBufferInstructionList);
        if (dwResult != ERROR_SUCCESS)
            Trace("[CSWForm::PrefixLinkedScripts] Error: InsertHtmlStringAtPosition failed with error: <%lu> !",
                  static_cast<unsigned long>(dwResult));
        return dwResult;
    }
    Trace("[CSWForm::PrefixLinkedScripts] Error: File name: <%s> not found!", sFileName.c_str());
    return ERROR_BAD_FORMAT;
}

DWORD CSWForm::PrefixLinkedScripts(CSWFormContext* pFormContext, const std::string& sFileName, bool bInHead) {
    const std::unique_ptr<CCachedScriptDecorator> pDecorator = GetCachedScriptManager(pFormContext);
    if (pDecorator == nullptr) return ERROR_INVALID_DATA;
    return PrefixLinkedScripts(pFormContext, sFileName, pDecorator.get(), bInHead);
}

DWORD CSWForm::InsertJSScript(CSWFormContext* pFormContext, const std::string& sScript) {
    if (pFormContext == nullptr) {
        Trace("[CSWForm::InsertJSScript] Error: Invalid parameter: pFormContext is null!");
        return ERROR_INVALID_DATA;
    }
    if (sScript.empty()) {
        Trace("[CSWForm::InsertJSScript] Error: Invalid parameter: js script is empty!");
        return ERROR_INVALID_DATA;
    }
    const std::string sMarkup = "<script language=\"javascript\">" + sScript + "\n</script>";
    // Without a HEAD the append throws the undefined-object exception: the
    // page modifier stops there and makes no further changes.
    const CDOMElement head = GetInsertionElement(POSITION_HEAD, pFormContext);
    const DWORD dwResult = head.appendContentData(sMarkup.c_str(), pFormContext->m_pcobBufferInstructionList);
    if (dwResult != ERROR_SUCCESS)
        Trace("[CSWForm::InsertJSScript] CDOMStartTag::insertDataAfter failed. dwRet <%d>.", static_cast<int>(dwResult));
    Trace("[CSWForm::InsertJSScript] Done! dwRet : <%lu>", static_cast<unsigned long>(dwResult));
    return dwResult;
}
