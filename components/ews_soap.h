// The SOAP bodies of the Exchange Web Services operations the components
// use, and the readers of their answers. Request values are set through the
// XML library (escaped), never pasted into text; a value that XML cannot
// carry (control characters, malformed UTF-8) is refused.
#ifndef KX_COMPONENTS_EWS_SOAP_H
#define KX_COMPONENTS_EWS_SOAP_H

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kx/win_types.h"

// How the user the service acts as is named to Exchange.
enum class CEwsUserName { SMTP_ADDRESS, PRINCIPAL_NAME };

// What every request says of version, user and mailbox.
struct CEwsHeader {
    std::string sServerVersion;  // "Exchange2007_SP1" or "Exchange2010"
    std::string sImpersonated;   // the user acted as; empty: the connecting account
    CEwsUserName impersonatedAs = CEwsUserName::SMTP_ADDRESS;
    std::string sMailbox;        // another user's mailbox whose folders are asked for; empty: the user's own
};

// An extended property of a folder: asked by property-set GUID and name.
struct CEwsExtendedProperty {
    std::string sPropertySetId;
    std::string sName;
    std::string sValue;
    bool bFound = false;
};

// What an answer said when it is not a success: the HRESULT and a text
// that names the cause (SOAP fault, EWS response code, malformed answer).
struct CEwsError {
    HRESULT hr = 0;
    std::string sText;
};

// Distinguished folder names by the number callers pass; -1 is "root".
const char* DistinguishedFolderName(long nFolder);

// Each builder gives false (and the reason) for a value XML cannot carry.
bool BuildGetReminder(const CEwsHeader& header, const std::string& sItemId, std::string& sBody, CEwsError& error);
bool BuildSetReminder(const CEwsHeader& header, const std::string& sItemId, bool bReminderSet, long nMinutes,
                      std::string& sBody, CEwsError& error);
bool BuildConvertId(const CEwsHeader& header, const std::string& sOwaId, const std::string& sMailbox,
                    std::string& sBody, CEwsError& error);
bool BuildGetUserConfiguration(const CEwsHeader& header, const std::string& sName, const char* pszFolder,
                               std::string& sBody, CEwsError& error);
bool BuildGetFolderProperties(const CEwsHeader& header, const char* pszFolder,
                              const std::vector<CEwsExtendedProperty>& properties, std::string& sBody,
                              CEwsError& error);

// Readers: S_OK with the values; a negative HRESULT for a SOAP fault or a
// malformed answer; S_FALSE when Exchange answered with an error response
// code (error names it).
HRESULT ReadGetReminder(std::string_view sAnswer, bool& bReminderSet, long& nMinutes, CEwsError& error);
HRESULT ReadUpdateItem(std::string_view sAnswer, CEwsError& error);
HRESULT ReadConvertId(std::string_view sAnswer, std::vector<std::string>& ids, CEwsError& error);
HRESULT ReadGetUserConfiguration(std::string_view sAnswer, std::vector<std::pair<std::string, std::string>>& values,
                                 CEwsError& error);
HRESULT ReadGetFolderProperties(std::string_view sAnswer, std::vector<CEwsExtendedProperty>& properties,
                                CEwsError& error);

#endif  // KX_COMPONENTS_EWS_SOAP_H
