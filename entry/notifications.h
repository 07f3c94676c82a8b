// The handlers of the five request notifications.
#ifndef KX_ENTRY_NOTIFICATIONS_H
#define KX_ENTRY_NOTIFICATIONS_H

#include <string>
#include <string_view>

#include "kx/win_types.h"

struct CCommonPointers;
struct CDLLContext;
struct HTTP_FILTER_CONTEXT;

class CBufferInstructionList;
class CSWFormContext;

class CBaseNotifications {
public:
    virtual ~CBaseNotifications() = default;
    virtual DWORD NotifyAuthComplete(CDLLContext* pContext) = 0;
    virtual DWORD NotifyPreProcHeaders(CDLLContext* pContext) = 0;
    virtual DWORD NotifySendResponse(CDLLContext* pContext) = 0;
    virtual DWORD NotifySendRawData(CDLLContext* pContext) = 0;
    virtual DWORD NotifyEndOfRequest(CDLLContext* pContext) = 0;

    // Adds a header (name with its colon) through the notification's
    // AddHeader; only at send-response, pre-process headers and
    // auth-complete. Returns the IIS result, 0 when nothing was added.
    static BOOL AddWorkerHeader(CDLLContext* pContext, const char* pszName, const char* pszValue);
    // The same through SetHeader ("URL" at auth-complete rewrites the request URL).
    static BOOL SetWorkerHeader(CDLLContext* pContext, const char* pszName, const char* pszValue);

    typedef BOOL (*ServerVariableGetter)(HTTP_FILTER_CONTEXT* pfc, LPSTR lpszName, LPVOID lpvBuffer, LPDWORD lpdwSize);
    // Reads a server variable the IIS way (size first, then the value);
    // false, value untouched, when it does not exist; an empty value leaves
    // it untouched too.
    static bool GetIISParmT(HTTP_FILTER_CONTEXT* pfc, ServerVariableGetter pfnGetter, const char* pszName,
                            std::string& sValue);
    // GetIISParmT through the record's filter context, during the five
    // notifications only; always 0 (a failure leaves sValue as it was).
    static DWORD GetWorkerServerVariable(CDLLContext* pContext, const char* pszName, std::string& sValue);
};

// AddWorkerHeader of a value from the request; 0 (and a trace line) for a
// value with control characters.
BOOL AddRequestHeader(CDLLContext* pContext, const char* pszName, const std::string& sValue);

// One per HttpFilterProc call; keeps nothing between calls.
class CNotifications : public CBaseNotifications {
public:
    DWORD NotifyAuthComplete(CDLLContext* pContext) override;
    DWORD NotifyPreProcHeaders(CDLLContext* pContext) override;
    DWORD NotifySendResponse(CDLLContext* pContext) override;
    DWORD NotifySendRawData(CDLLContext* pContext) override;
    DWORD NotifyEndOfRequest(CDLLContext* pContext) override;

    // Adds "x-qvkxroot:", "x-qvkxintroot:" and "x-qvkxbase:" from the
    // Exchange URL record for the worker's own pages; the last header
    // operation's result, 0 at the first refusal.
    static BOOL AddKXSpecificHeaders(CDLLContext* pContext);

protected:
    // Runs the page modifiers on a status 200 page; they fill the context's list.
    virtual DWORD RunForms(CSWFormContext* pFormContext);
    // Whether RunForms may change the page; read from the buffer without
    // building a form context, so other pages cost no allocation.
    virtual bool IsPageForForms(const CDLLContext* pContext, const CCommonPointers& pointers);

private:
    // Builds the form context and runs the forms; never throws.
    DWORD ProcessForm(CDLLContext* pContext, CBufferInstructionList* pList);
    static bool IsPageWithinBound(const CCommonPointers& pointers);
    DWORD SendRawData(CDLLContext* pContext);
};

#endif  // KX_ENTRY_NOTIFICATIONS_H
