// The directory services the worker uses, in the form of ADSI, over LDAP
// (libldap, or Wldap32 on Windows). Paths: "LDAP://[server/]DN",
// "LDAP://[server/]rootDSE", "GC://[server/]...", and the namespaces
// "LDAP:" and "GC:".
//   - Without a server, LDAP uses libldap's own configuration (ldap.conf,
//     LDAPURI); the Global Catalog is QV_GC_URI, else the same host on
//     port 3268.
//   - Each connection binds as the DN with the password of the file named
//     by QV_LDAP_BIND_FILE ("binddn=" and "password=" lines; the file must
//     be readable by its owner only), else with the process's credentials
//     (SASL GSSAPI when a Kerberos credential is there; on Windows,
//     Negotiate), else anonymously.
//   - A search from the namespace "GC:" covers every naming context the
//     Global Catalog lists (every domain of the forest), "LDAP:" the
//     server's default naming context (else the first it lists).
//   - Every network wait is bounded by QV_LDAP_TIMEOUT seconds (default 10).
//   - A server that was down or did not answer is not asked again for
//     QV_LDAP_RETRY_SECONDS (default 30): calls fail at once with its error.
#ifndef KX_PLATFORM_ADSI_H
#define KX_PLATFORM_ADSI_H

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "base/win_errors.h"
#include "kx/win_types.h"

constexpr HRESULT E_ADS_BAD_PATHNAME = static_cast<HRESULT>(0x80005000);
constexpr HRESULT E_ADS_BAD_PARAMETER = static_cast<HRESULT>(0x80005008);
constexpr HRESULT E_ADS_CANT_CONVERT_DATATYPE = static_cast<HRESULT>(0x8000500C);
constexpr HRESULT E_ADS_PROPERTY_NOT_FOUND = static_cast<HRESULT>(0x8000500D);
constexpr HRESULT S_ADS_NOMORE_ROWS = 0x00005012;
constexpr HRESULT S_ADS_NOMORE_COLUMNS = 0x00005013;

// A property value as IADs hands it out: a number, a flag, a text, or the
// texts of a multi-valued property.
typedef std::variant<std::monostate, int32_t, bool, std::u16string, std::vector<std::u16string>> CAdsVariant;

enum ADSTYPE : uint32_t {
    ADSTYPE_INVALID = 0,
    ADSTYPE_DN_STRING = 1,
    ADSTYPE_CASE_EXACT_STRING = 2,
    ADSTYPE_CASE_IGNORE_STRING = 3,
    ADSTYPE_PRINTABLE_STRING = 4,
    ADSTYPE_NUMERIC_STRING = 5,
    ADSTYPE_BOOLEAN = 6,
    ADSTYPE_INTEGER = 7,
    ADSTYPE_OCTET_STRING = 8,
    ADSTYPE_UTC_TIME = 9,
    ADSTYPE_LARGE_INTEGER = 10,
    ADSTYPE_PROV_SPECIFIC = 11,
    ADSTYPE_NT_SECURITY_DESCRIPTOR = 25,
};

struct ADSVALUE {
    ADSTYPE dwType = ADSTYPE_INVALID;
    std::u16string sText;          // the string types
    bool bBoolean = false;         // ADSTYPE_BOOLEAN
    int32_t nInteger = 0;          // ADSTYPE_INTEGER
    int64_t nLargeInteger = 0;     // ADSTYPE_LARGE_INTEGER
    std::vector<uint8_t> octets;   // ADSTYPE_OCTET_STRING and the provider-specific kinds
    std::time_t utcTime = 0;       // ADSTYPE_UTC_TIME
};

struct ADS_SEARCH_COLUMN {
    std::u16string sAttrName;
    ADSTYPE dwADsType = ADSTYPE_INVALID;
    std::vector<ADSVALUE> values;
};

enum : DWORD { ADS_SEARCHPREF_SEARCH_SCOPE = 5 };
enum : DWORD { ADS_SCOPE_BASE = 0, ADS_SCOPE_ONELEVEL = 1, ADS_SCOPE_SUBTREE = 2 };
struct ADS_SEARCHPREF_INFO {
    DWORD dwSearchPref;
    DWORD dwValue;
};

struct CAdsSearch;
typedef CAdsSearch* ADS_SEARCH_HANDLE;

// One directory object.
class IADs {
public:
    virtual ~IADs() = default;
    // One value (a multi-valued property gives its texts);
    // E_ADS_PROPERTY_NOT_FOUND when the object has no such property.
    virtual HRESULT Get(const std::u16string& sName, CAdsVariant& value) = 0;
    // Every value, as texts.
    virtual HRESULT GetEx(const std::u16string& sName, CAdsVariant& value) = 0;
};

// Searches below one directory object (or a whole Global Catalog).
class IDirectorySearch {
public:
    virtual ~IDirectorySearch() = default;
    virtual HRESULT SetSearchPreference(const ADS_SEARCHPREF_INFO* pPreferences, DWORD dwCount) = 0;
    // No attribute names asks for all of them.
    virtual HRESULT ExecuteSearch(const std::u16string& sFilter, const std::vector<std::u16string>& attributeNames,
                                  ADS_SEARCH_HANDLE* phSearch) = 0;
    virtual HRESULT GetFirstRow(ADS_SEARCH_HANDLE hSearch) = 0;
    virtual HRESULT GetNextRow(ADS_SEARCH_HANDLE hSearch) = 0;
    virtual HRESULT GetNextColumnName(ADS_SEARCH_HANDLE hSearch, std::u16string& sName) = 0;
    virtual HRESULT GetColumn(ADS_SEARCH_HANDLE hSearch, const std::u16string& sName, ADS_SEARCH_COLUMN* pColumn) = 0;
    virtual HRESULT FreeColumn(ADS_SEARCH_COLUMN* pColumn) = 0;
    virtual HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE hSearch) = 0;
};

// A namespace ("GC:", "LDAP:") and its servers.
class IADsContainer {
public:
    virtual ~IADsContainer() = default;
    // The directory-search interface of the first server; S_FALSE (1) when
    // there is none.
    virtual HRESULT FirstChildSearch(std::unique_ptr<IDirectorySearch>& spSearch) = 0;
};

constexpr DWORD ADS_SECURE_AUTHENTICATION = 1;

HRESULT ADsGetObject(const std::u16string& sPath, std::unique_ptr<IADs>& spObject);
HRESULT ADsGetObject(const std::u16string& sPath, std::unique_ptr<IDirectorySearch>& spSearch);
// The same with explicit credentials (none given: the connection's own bind).
HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword,
                      DWORD dwReserved, std::unique_ptr<IADs>& spObject);
HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword,
                      DWORD dwReserved, std::unique_ptr<IDirectorySearch>& spSearch);
HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword,
                      DWORD dwReserved, std::unique_ptr<IADsContainer>& spContainer);

// sValue as an LDAP filter value: "*", "(", ")", "\" and NUL escaped as "\XX".
std::string EscapeFilterValue(const std::string& sValue);

// A text as the value of one RDN (RFC 4514): "," "+" """ "\" "<" ">" ";"
// "=" and NUL escaped, and a leading "#" or blank and a trailing blank.
std::u16string EscapeDnValue(std::u16string_view sValue);
// A DN as it stands in an ADSI path: every "/" escaped as "\/", so that it
// never ends the server part.
std::u16string EscapePathDn(std::u16string_view sDn);

// The calling thread's last directory error: its Win32 code, the server's
// text and the provider's name.
HRESULT ADsGetLastError(DWORD* pdwError, std::u16string& sText, std::u16string& sProvider);

#endif  // KX_PLATFORM_ADSI_H
