// The worker's own per-request object, kept in CDLLContext::m_pMyOwnContext
// from auth-complete to end of request.
#ifndef KX_RECORD_SW_CONTEXT_H
#define KX_RECORD_SW_CONTEXT_H

#include <string>

class CKXSWContext {
public:
    virtual ~CKXSWContext() = default;

    std::string m_sEwsUrl;    // the EWS URL computed for the request
    std::string m_sTimeZone;  // the user's OWA time zone name; empty when unknown
};

#endif  // KX_RECORD_SW_CONTEXT_H
