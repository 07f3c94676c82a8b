// The handlers of the five request notifications.
#ifndef KX_ENTRY_NOTIFICATIONS_H
#define KX_ENTRY_NOTIFICATIONS_H

#include "kx/host_abi.h"

class CBufferInstructionList;

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
};

// One per HttpFilterProc call; keeps nothing between calls.
class CNotifications : public CBaseNotifications {
public:
    DWORD NotifyAuthComplete(CDLLContext* pContext) override;
    DWORD NotifyPreProcHeaders(CDLLContext* pContext) override;
    DWORD NotifySendResponse(CDLLContext* pContext) override;
    DWORD NotifySendRawData(CDLLContext* pContext) override;
    DWORD NotifyEndOfRequest(CDLLContext* pContext) override;

protected:
    // Lets the page modifiers fill the list for a status 200 page.
    virtual DWORD ProcessForm(CDLLContext* pContext, CBufferInstructionList* pList);

private:
    DWORD SendRawData(CDLLContext* pContext, CBufferInstructionList* pList);
};

#endif  // KX_ENTRY_NOTIFICATIONS_H
