// The wrapper of the older Exchange-access component, which reads the
// user-property custom properties of a mailbox. Failures become an HRESULT,
// trace lines and an error event; nothing is thrown to the caller.
#ifndef KX_SETTINGS_EXCHANGE_ACCESS_H
#define KX_SETTINGS_EXCHANGE_ACCESS_H

#include <memory>
#include <string>
#include <vector>

#include "kx/win_types.h"
#include "settings/user_property_definition.h"

class CEventLog;
class IExchangeAccess;
struct CComponentFailure;

class CExchangeAccess {
public:
    explicit CExchangeAccess(CEventLog& eventLog) : m_eventLog(eventLog) {}

    // sUser is the mailbox opened; no password: the service account's access.
    HRESULT Initialize(long nVersion, long nConnectionType, const std::string& sUrl, const std::string& sUser,
                       const std::string& sPassword, const std::string& sDomain);
    // Acts as the user (an IMPERSONATE_ kind and the name) from now on.
    HRESULT Impersonate(long nKind, const std::string& sName);
    // Reads each definition's custom property; a value found replaces the
    // definition's default.
    HRESULT GetCustomProperties(std::vector<CUserPropertyDefinition>& definitions);
    // The component's description of its last failure.
    std::string GetErrorInfo();

private:
    HRESULT Failed(const char* pszOperation, const CComponentFailure& failure);

    CEventLog& m_eventLog;
    std::shared_ptr<IExchangeAccess> m_spAccess;
};

#endif  // KX_SETTINGS_EXCHANGE_ACCESS_H
