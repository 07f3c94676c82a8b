// One request as the host filter sees it: the CDLLContext record and every
// host object it reaches, built from a RequestSpec.
#ifndef KX_HOST_HOST_REQUEST_H
#define KX_HOST_HOST_REQUEST_H

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host_services.h"
#include "host/request_info.h"
#include "kx/host_abi.h"

namespace kxhost {

struct RequestSpec {
    std::string sMethod = "GET";
    std::string sUrl = "/owa/";  // path and optional "?query"
    // As sent: "Cookie", "a=b". A browser always names itself.
    std::vector<std::pair<std::string, std::string>> headers = {
        {"User-Agent", "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:128.0) Gecko/20100101 Firefox/128.0"}};
    std::map<std::string, std::string> serverVariables;        // by IIS name: "LOCAL_ADDR"
    std::string sUser;                                         // whose user properties apply
    int32_t nSubscriptionType = 0;
    DWORD dwHttpStatus = 200;
    std::string sResponseHead = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n";
    std::string sBody;  // the HTML the response carries
    // The Exchange URLs the host computed. The base is OWA's path below the
    // root, naming the mailbox when another one is open ("/owa/bob@example.test").
    std::string sBase = "/owa";
    std::string sIntRoot = "/owa/X-Kalyxa/";
    std::string sRoot = "/owa/X-Kalyxa/";
    std::string sOwaPath = "/owa/";
};

struct HeaderAction {
    DWORD dwNotification;
    std::string sAction;  // "add" or "set"
    std::string sName;
    std::string sValue;
};

class HostRequest {
public:
    HostRequest(HostServices& services, RequestSpec spec);
    ~HostRequest();
    HostRequest(const HostRequest&) = delete;
    HostRequest& operator=(const HostRequest&) = delete;

    CDLLContext* Context() { return &m_context; }
    const RequestSpec& Spec() const { return m_spec; }
    const std::string& Buffer() const { return m_buffer; }

    // The response OWA gave, for the notifications that follow; a proxy
    // knows it only after the request's own notifications.
    void SetResponse(DWORD dwHttpStatus, std::string sHead, std::string sBody);
    // The same for a host that receives the body in pieces: the status and
    // head, the body's pieces straight into the buffer, then EndBody before
    // the page's notification.
    void BeginBody(DWORD dwHttpStatus, std::string sHead, size_t cbExpected);
    void AppendBody(const char* pData, size_t cbData) { m_buffer.append(pData, cbData); }
    std::string_view Body() const { return std::string_view(m_buffer).substr(m_spec.sResponseHead.size()); }
    void EndBody();

    // The user the host identified, known once the request is authenticated
    // ("QV_USERNAME", "LOGON_USER"; empty: none).
    void SetUser(const std::string& sUser);
    // A value the host gives the worker by name ("Set-Cookie"), beside the
    // request's own headers.
    void SetRequestValue(const std::string& sName, const std::string& sValue) {
        m_pRequestInfo->SetRawHeader(sName, sValue);
    }

    // Sets the notification code and structure and calls the worker.
    DWORD Notify(PFN_HTTP_FILTER_PROC pfnHttpFilterProc, DWORD dwNotification);

    // What the worker did through the header functions.
    const std::vector<HeaderAction>& HeaderActions() const { return m_headerActions; }
    // Header functions answer FALSE while this is set.
    bool m_bRefuseHeaders = false;

    // The response as it would leave: the buffer with the submitted
    // instructions applied, or the replace buffer the worker put in.
    const std::string& SentResponse() const { return m_bSentChanged ? m_sent : m_buffer; }
    // Whether the worker's instructions or replacement changed the response.
    bool Changed() const { return m_bSentChanged; }
    // Why the last submission was refused; empty when it was applied.
    const std::string& SubmitError() const { return m_submitError; }

    // Fills the user-property entries from the store (the load service);
    // false when the store cannot answer.
    bool LoadUserProperties();
    // Stores the changed entry with dwId; false when there is none.
    bool SaveUserProperty(DWORD dwId);
    // Applies a submitted list to the buffer; 0 or 13.
    DWORD Submit(const CBufferInstructionList* pList);

    HostServices& Services() { return m_services; }

private:
    static HostRequest* From(HTTP_FILTER_CONTEXT* pfc);
    static BOOL GetServerVariable(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize);
    static BOOL GetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize);
    static BOOL SetHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);
    static BOOL AddHeader(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPSTR lpszValue);
    BOOL RecordHeader(const char* pszAction, LPSTR lpszName, LPSTR lpszValue);
    void LocateTags();
    void ClearUserProperties();

    HostServices& m_services;
    RequestSpec m_spec;
    std::string m_buffer;  // response head and body, as the worker sees it
    std::string m_sent;  // when m_bSentChanged; else the buffer goes out as it is
    bool m_bSentChanged = false;
    std::string m_submitError;
    std::vector<HeaderAction> m_headerActions;
    std::vector<CUserPropertyEntry> m_userProperties;

    CDLLContext m_context{};
    HTTP_FILTER_CONTEXT m_filterContext{};
    HTTP_FILTER_PREPROC_HEADERS m_preprocHeaders{};
    HTTP_FILTER_SEND_RESPONSE m_sendResponse{};
    HTTP_FILTER_AUTH_COMPLETE_INFO m_authComplete{};
    HTTP_FILTER_RAW_DATA m_rawData{};
    COutboundContext m_outbound{};
    CCommonPointers m_commonPointers{};
    CExchangeURL m_exchangeUrl{};
    std::unique_ptr<RequestInfo> m_pRequestInfo;
    // Use counts and tags of the host's shared-pointer slots.
    int32_t m_useCounts[3] = {1, 1, 1};
    uint8_t m_tags[3] = {1, 1, 1};
};

}  // namespace kxhost

#endif  // KX_HOST_HOST_REQUEST_H
