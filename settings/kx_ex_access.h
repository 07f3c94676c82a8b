// The wrapper of the Exchange-access component: one instance per page
// modification. Every failure becomes an HRESULT, trace lines and an error
// event; nothing is thrown to the caller. A false success flag from the
// component is returned as 0x80004005.
#ifndef KX_SETTINGS_KX_EX_ACCESS_H
#define KX_SETTINGS_KX_EX_ACCESS_H

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kx/win_types.h"

class CEventLog;
class IKXExchangeAccess;
struct CComponentFailure;

class CKXExAccess {
public:
    explicit CKXExAccess(CEventLog& eventLog) : m_eventLog(eventLog) {}

    HRESULT Initialize(long nFirstValue, long nConnectionType, const std::string& sUrl, const std::string& sCookie,
                       const std::string& sUser, const std::string& sPassword, const std::string& sDomain);
    // Acts as the user (an IMPERSONATE_ kind and the name) from now on.
    HRESULT Impersonate(long nKind, const std::string& sName);
    HRESULT SetMailbox(const std::string& sMailbox);
    HRESULT GetMeetingReminderItem(const std::string& sItemId, bool& bReminderSet, std::string& sMinutes);
    HRESULT SetMeetingReminderItem(const std::string& sItemId, const std::string& sChangeKey, bool bReminderSet,
                                   const std::string& sMinutes);
    HRESULT ConvertIdOwaToEws(const std::string& sOwaId, const std::string& sMailbox, std::vector<std::string>& ids);
    HRESULT GetOwaUserConfiguration(const std::string& sConfigName, long nFolder,
                                    std::vector<std::pair<std::string, std::string>>& values);
    // Writes the component's accumulated trace when tracing is on.
    HRESULT LogTraceData(const char* pszMethodName);

private:
    template <class TCall>
    HRESULT Run(const char* pszOperation, TCall call);
    HRESULT Failed(const char* pszOperation, const CComponentFailure& failure);
    // Raises the component's error as a COM error when hr is negative.
    void Check(HRESULT hr);
    HRESULT Flag(const char* pszOperation, short bSuccess);

    CEventLog& m_eventLog;
    std::shared_ptr<IKXExchangeAccess> m_spAccess;
};

#endif  // KX_SETTINGS_KX_EX_ACCESS_H
