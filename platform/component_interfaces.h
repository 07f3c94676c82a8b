// The interfaces of the outside components as the worker calls them: the
// Exchange-access component, the older Exchange-access component, the
// cache component and the holiday component. Text is wide (UTF-16, as a BSTR holds it); every call
// answers an HRESULT, and a negative one leaves the outputs unset.
#ifndef KX_PLATFORM_COMPONENT_INTERFACES_H
#define KX_PLATFORM_COMPONENT_INTERFACES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/component_registry.h"

using VARIANT_BOOL = int16_t;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// The connection type every caller of the Exchange-access components passes.
constexpr long CONNECTION_EWS = 2;

// How the user an Exchange-access component acts as is named.
constexpr long IMPERSONATE_SMTP_ADDRESS = 1;
constexpr long IMPERSONATE_PRINCIPAL_NAME = 2;

constexpr std::string_view CLSID_KXExchangeAccess = "{ABDA9E8C-5CD8-40CE-8102-F7D0090A6882}";
constexpr std::string_view CLSID_ExchangeAccess = "{C1DEDE10-F5B9-4EB0-BE7D-823CCBF241FA}";
constexpr std::string_view CLSID_QVCache = "{67EA23E7-C621-4890-827D-72111D82417C}";
constexpr std::string_view CLSID_CHoliday = "{423729A0-E186-47ED-944E-1B97CBAC0122}";

// The description of a component's last failure, as COM error info carries it.
class IErrorSource : public IComponent {
public:
    virtual HRESULT GetErrorInfo(std::u16string& sText) = 0;
};

// The values of one OWA user configuration: its dictionary, in order.
using UserConfigValues = std::vector<std::pair<std::u16string, std::u16string>>;

// Exchange Web Services operations for the product's pages.
class IKXExchangeAccess : public IErrorSource {
public:
    // Keeps the SOAP exchange for GetTraceData from now on.
    virtual HRESULT EnableTracing() = 0;
    virtual HRESULT InitConnection(long nConnectionType, const std::u16string& sUrl, const std::u16string& sCookie,
                                   const std::u16string& sUser, const std::u16string& sPassword,
                                   const std::u16string& sDomain) = 0;
    // The Exchange version the requests are written for: 4 for 2007 SP1, else 2010.
    virtual HRESULT SetServerVersion(long nVersion) = 0;
    // Acts as the user from now on (an IMPERSONATE_ kind and the name).
    virtual HRESULT Impersonate(long nKind, const std::u16string& sName) = 0;
    // Asks for another user's mailbox from now on.
    virtual HRESULT SetMailbox(const std::u16string& sMailbox) = 0;
    virtual HRESULT GetMeetingReminderItem(const std::u16string& sItemId, VARIANT_BOOL& bReminderSet,
                                           long& nMinutesBeforeStart, VARIANT_BOOL& bSuccess) = 0;
    virtual HRESULT SetMeetingReminderItem(const std::u16string& sItemId, const std::u16string& sChangeKey,
                                           VARIANT_BOOL bReminderSet, const std::u16string& sMinutesBeforeStart,
                                           VARIANT_BOOL& bSuccess) = 0;
    virtual HRESULT ConvertIdOwaToEws(const std::u16string& sOwaId, const std::u16string& sMailbox,
                                      std::vector<std::u16string>& ewsIds, VARIANT_BOOL& bSuccess) = 0;
    // nFolder is -1 for the mailbox root, else a distinguished folder by
    // its number (0 calendar, 1 contacts, ... 12 root).
    virtual HRESULT GetOwaUserConfiguration(const std::u16string& sConfigName, long nFolder,
                                            UserConfigValues& values, VARIANT_BOOL& bSuccess) = 0;
    // The SOAP exchange since the last call, and clears it.
    virtual HRESULT GetTraceData(std::u16string& sText) = 0;
};

// One custom property of a mailbox: asked by property-set GUID and name.
struct CustomProperty {
    std::u16string sPropertySetGuid;
    std::u16string sName;
    std::u16string sValue;  // set when found
    VARIANT_BOOL bFound = VARIANT_FALSE;
};

// The older component: the mailbox's custom properties.
class IExchangeAccess : public IErrorSource {
public:
    // nReturnCode is 0 on success, else the component's own failure code.
    virtual HRESULT Initialize(long nVersion, long nConnectionType, const std::u16string& sUrl,
                               const std::u16string& sMailbox, const std::u16string& sPassword,
                               const std::u16string& sDomain, long& nReturnCode) = 0;
    // Acts as the user from now on (an IMPERSONATE_ kind and the name).
    virtual HRESULT Impersonate(long nKind, const std::u16string& sName) = 0;
    // Fills the values of the properties found; nFailed counts the others.
    virtual HRESULT GetCustomProperties(std::vector<CustomProperty>& properties, long& nFailed) = 0;
};

// Named caches in a store that outlives every instance.
class IQVCacheComponent : public IComponent {
public:
    virtual HRESULT Initialize() = 0;
    virtual HRESULT CreateCache(const std::u16string& sCacheName, long nMaxItems, long nLifetimeMinutes) = 0;
    // An empty property name stands for none.
    virtual HRESULT AddItem(const std::u16string& sCacheName, const std::u16string& sKey,
                            const std::u16string& sData, const std::u16string& sSession,
                            const std::u16string& sPropertyName) = 0;
    // 0x80070490 (element not found) on a miss.
    virtual HRESULT GetItem(const std::u16string& sCacheName, const std::u16string& sKey, std::u16string& sData,
                            const std::u16string& sSession, const std::u16string& sPropertyName) = 0;
};

// What LoadHolidayFile and LoadDeleteFile answer for a file without errors.
constexpr uint16_t HOLIDAY_FILE_LOADED = 65535;

// Holiday files, kept once loaded, and the holidays they add to users'
// calendars or remove again; the work for a user runs in the background.
class IHoliday : public IComponent {
public:
    // nResult 0 once the work for the user is queued (or already is).
    virtual HRESULT AddHolidays(const std::u16string& sUser, const std::vector<std::u16string>& sections,
                                const std::u16string& sMailbox, int16_t nFlag, long& nResult) = 0;
    virtual HRESULT DeleteHolidays(const std::u16string& sRequest, long& nResult) = 0;
    // nKind 1: the connection and the user the next calls work for.
    virtual HRESULT Configure(long nKind, const std::u16string& sConfiguration, long& nResult) = 0;
    // The import file's state: 0 loaded, 2 holidays being added, 3 the
    // file could not be read, 4 it has errors, 5 no file loaded.
    virtual HRESULT GetHolidayStatus(long& nState) = 0;
    virtual HRESULT LoadHolidayFile(const std::u16string& sPath, uint16_t& nResult) = 0;
    virtual HRESULT LoadDeleteFile(const std::u16string& sPath, uint16_t& nResult) = 0;
    virtual HRESULT IsHolydayFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) = 0;
    virtual HRESULT IsDeleteFileLoaded(const std::u16string& sPath, VARIANT_BOOL& bLoaded) = 0;
    // The last load failure: what it was and where.
    virtual HRESULT GetErrorDescription(std::u16string& sDescription, std::u16string& sSource) = 0;
    virtual HRESULT RemoveHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) = 0;
    virtual HRESULT RemoveDeleteHolidayFile(const std::u16string& sPath, VARIANT_BOOL& bRemoved) = 0;
};

class IHoliday2 : public IHoliday {
public:
    virtual HRESULT Initialize(const std::u16string& sPath, long nFlags) = 0;
};

#endif  // KX_PLATFORM_COMPONENT_INTERFACES_H
