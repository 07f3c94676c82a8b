#include "platform/adsi.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "base/ascii_case.h"
#include "ldap_api.h"
#include "platform/ldap_connection.h"
#include "platform/sid.h"
#include "platform/utf.h"

namespace {

constexpr HRESULT E_ADS_COLUMN_NOT_SET = static_cast<HRESULT>(0x80005011);
constexpr int GLOBAL_CATALOG_PORT = 3268;

typedef std::map<std::string, std::vector<std::string>, CNoCaseLess> CAttributeValues;

void AppendHexEscape(std::string& sOut, unsigned char byte) {
    static const char HEX[] = "0123456789abcdef";
    sOut.append({'\\', HEX[byte >> 4], HEX[byte & 15]});
}

// A parsed ADSI path.
struct CAdsPath {
    bool bGlobalCatalog = false;
    bool bNamespace = false;  // "LDAP:" or "GC:" alone
    std::string sServer;
    std::string sDn;
    bool bRootDse = false;
};

bool ParsePath(const std::u16string& sWidePath, CAdsPath& path) {
    const std::string sPath = Utf16ToUtf8(sWidePath);
    size_t nRest = 0;
    if (sPath.rfind("LDAP:", 0) == 0) {
        nRest = 5;
    } else if (sPath.rfind("GC:", 0) == 0) {
        nRest = 3;
        path.bGlobalCatalog = true;
    } else {
        return false;
    }
    if (nRest == sPath.size()) {
        path.bNamespace = true;
        return true;
    }
    if (sPath.compare(nRest, 2, "//") != 0) return false;
    std::string sRest = sPath.substr(nRest + 2);
    // The server ends at the first "/" that is not escaped ("\/" belongs to a DN).
    for (size_t n = 0; n < sRest.size(); ++n) {
        if (sRest[n] == '\\') {
            ++n;
        } else if (sRest[n] == '/') {
            path.sServer = sRest.substr(0, n);
            sRest.erase(0, n + 1);
            break;
        }
    }
    path.bRootDse = SameNoCase(sRest, "rootDSE");
    if (path.sServer.empty() && sRest.find('=') == std::string::npos && !path.bRootDse) {
        path.sServer = sRest;  // "LDAP://server"
        sRest.clear();
    }
    for (size_t n = 0; n + 1 < sRest.size(); ++n)
        if (sRest[n] == '\\' && sRest[n + 1] == '/') sRest.erase(n, 1);
    path.sDn = path.bRootDse ? "" : sRest;
    return !path.sServer.empty() || !sRest.empty();
}

// "ldap://host:port" with the port replaced (or added).
std::string WithPort(const std::string& sUri, int nPort) {
    const size_t nHost = sUri.find("://");
    const size_t nHostBegin = nHost == std::string::npos ? 0 : nHost + 3;
    size_t nHostEnd = sUri.find_first_of("/ ", nHostBegin);
    if (nHostEnd == std::string::npos) nHostEnd = sUri.size();
    std::string sHost = sUri.substr(nHostBegin, nHostEnd - nHostBegin);
    const size_t nColon = sHost.rfind(':');
    if (nColon != std::string::npos && sHost.find(']', nColon) == std::string::npos) sHost.erase(nColon);
    return (nHost == std::string::npos ? std::string("ldap://") : sUri.substr(0, nHostBegin)) + sHost + ":" +
           std::to_string(nPort);
}

std::string UriOf(const CAdsPath& path) {
    if (!path.sServer.empty()) {
        const bool bHasPort = path.sServer.find(':') != std::string::npos && path.sServer.back() != ']';
        std::string sUri = "ldap://" + path.sServer;
        if (path.bGlobalCatalog && !bHasPort) sUri.append(":").append(std::to_string(GLOBAL_CATALOG_PORT));
        return sUri;
    }
    if (!path.bGlobalCatalog) return "";
    const char* pszGc = std::getenv("QV_GC_URI");
    if (pszGc != nullptr && *pszGc != '\0') return pszGc;
    const std::string sDefault = CLdapConnection::DefaultUri();
    return WithPort(sDefault.empty() ? "ldap://localhost" : sDefault.substr(0, sDefault.find(' ')),
                    GLOBAL_CATALOG_PORT);
}

HRESULT Connect(const CAdsPath& path, const char16_t* pszUser, const char16_t* pszPassword,
                std::shared_ptr<CLdapConnection>& spConnection) {
    return CLdapConnection::Open(UriOf(path), pszUser == nullptr ? "" : Utf16ToUtf8(pszUser),
                                 pszPassword == nullptr ? "" : Utf16ToUtf8(pszPassword), spConnection);
}

std::vector<std::string> ValuesOf(LDAP* pLdap, LDAPMessage* pEntry, const char* pszName) {
    std::vector<std::string> values;
    if (berval** ppValues = ldap_get_values_len(pLdap, pEntry, const_cast<char*>(pszName))) {
        for (berval** pp = ppValues; *pp != nullptr; ++pp) values.emplace_back((*pp)->bv_val, (*pp)->bv_len);
        ldap_value_free_len(ppValues);
    }
    return values;
}

std::vector<std::string> AttributeNames(LDAP* pLdap, LDAPMessage* pEntry) {
    std::vector<std::string> names;
    BerElement* pBer = nullptr;
    for (char* pszName = ldap_first_attribute(pLdap, pEntry, &pBer); pszName != nullptr;
         pszName = ldap_next_attribute(pLdap, pEntry, pBer)) {
        names.emplace_back(pszName);
        ldap_memfree(pszName);
    }
    if (pBer != nullptr) ber_free(pBer, 0);
    return names;
}

// The values of a rootDSE attribute.
std::vector<std::string> RootDseValues(CLdapConnection& connection, const char* pszName) {
    LDAPMessage* pResult = nullptr;
    if (connection.Search("", LDAP_SCOPE_BASE, "(objectClass=*)", {"*", "+"}, &pResult) != S_OK) return {};
    LDAPMessage* pEntry = ldap_first_entry(connection.Handle(), pResult);
    std::vector<std::string> values =
        pEntry == nullptr ? std::vector<std::string>() : ValuesOf(connection.Handle(), pEntry, pszName);
    ldap_msgfree(pResult);
    return values;
}

// The first value of a rootDSE attribute; empty when there is none.
std::string RootDseValue(CLdapConnection& connection, const char* pszName) {
    std::vector<std::string> values = RootDseValues(connection, pszName);
    return values.empty() ? "" : std::move(values.front());
}

// The DN a path names: the default naming context for a bare server.
std::string DnOf(const CAdsPath& path, CLdapConnection& connection) {
    if (path.bRootDse || !path.sDn.empty()) return path.sDn;
    return RootDseValue(connection, "defaultNamingContext");
}

bool ParseInteger(const std::string& sText, int64_t& nValue) {
    const auto [pEnd, error] = std::from_chars(sText.data(), sText.data() + sText.size(), nValue);
    return error == std::errc() && pEnd == sText.data() + sText.size();
}

// "YYYYMMDDHHMMSS[.fraction]Z" as a time_t; false for a date that does not exist.
bool ParseGeneralizedTime(const std::string& sText, std::time_t& utcTime) {
    int nYear = 0, nMonth = 0, nDay = 0, nHour = 0, nMinute = 0, nSecond = 0;
    if (sText.size() < 15 || std::sscanf(sText.c_str(), "%4d%2d%2d%2d%2d%2d", &nYear, &nMonth, &nDay, &nHour,
                                         &nMinute, &nSecond) != 6)
        return false;
    const std::chrono::year_month_day date{std::chrono::year(nYear), std::chrono::month(static_cast<unsigned>(nMonth)),
                                           std::chrono::day(static_cast<unsigned>(nDay))};
    if (!date.ok() || nHour < 0 || nHour > 23 || nMinute < 0 || nMinute > 59 || nSecond < 0 || nSecond > 60)
        return false;
    const std::chrono::sys_days days(date);
    utcTime = static_cast<std::time_t>(days.time_since_epoch().count()) * 86400 + nHour * 3600 + nMinute * 60 + nSecond;
    return true;
}

// SID assertions written as text ("(objectSid=S-1-5-...)"), which the
// directory matches against the binary value, as Active Directory does.
std::string WithBinarySids(const std::string& sFilter) {
    std::string sOut;
    size_t nFrom = 0;
    for (size_t n = 0; n < sFilter.size(); ++n) {
        if (sFilter[n] != '(') continue;
        size_t nValue = std::string::npos;
        for (const char* pszName : {"objectSid=", "msExchMasterAccountSid="})
            if (StartsWithNoCase(std::string_view(sFilter).substr(n + 1), pszName))
                nValue = n + 1 + std::strlen(pszName);
        if (nValue == std::string::npos) continue;
        const size_t nEnd = sFilter.find(')', nValue);
        CSid sid;
        if (nEnd == std::string::npos || !ParseSidString(std::string_view(sFilter).substr(nValue, nEnd - nValue), sid))
            continue;
        sOut.append(sFilter, nFrom, nValue - nFrom);
        for (uint8_t byte : SidToBytes(sid)) AppendHexEscape(sOut, byte);
        nFrom = nEnd;
        n = nEnd;
    }
    return sOut.append(sFilter, nFrom, std::string::npos);
}

class CAdsObject : public IADs {
public:
    CAdsObject(std::shared_ptr<CLdapConnection> spConnection, CAttributeValues values)
        : m_spConnection(std::move(spConnection)), m_values(std::move(values)) {}

    HRESULT Get(const std::u16string& sName, CAdsVariant& value) override {
        std::vector<std::string> texts;
        ADSTYPE type = ADSTYPE_INVALID;
        if (const HRESULT hr = Find(sName, texts, type); hr != S_OK) return hr;
        if (texts.size() > 1) {
            value = Wide(texts);
        } else if (type == ADSTYPE_INTEGER) {
            int64_t nValue = 0;
            if (!ParseInteger(texts.front(), nValue) || nValue < INT32_MIN || nValue > INT32_MAX)
                return E_ADS_CANT_CONVERT_DATATYPE;
            value = static_cast<int32_t>(nValue);
        } else if (type == ADSTYPE_BOOLEAN) {
            value = texts.front() == "TRUE";
        } else {
            value = Utf8ToUtf16(texts.front());
        }
        return S_OK;
    }

    HRESULT GetEx(const std::u16string& sName, CAdsVariant& value) override {
        std::vector<std::string> texts;
        ADSTYPE type = ADSTYPE_INVALID;
        if (const HRESULT hr = Find(sName, texts, type); hr != S_OK) return hr;
        value = Wide(texts);
        return S_OK;
    }

private:
    static std::vector<std::u16string> Wide(const std::vector<std::string>& texts) {
        std::vector<std::u16string> wide;
        for (const std::string& sText : texts) wide.push_back(Utf8ToUtf16(sText));
        return wide;
    }

    HRESULT Find(const std::u16string& sName, std::vector<std::string>& texts, ADSTYPE& type) {
        const std::string sUtf8 = Utf16ToUtf8(sName);
        const auto it = m_values.find(sUtf8);
        if (it == m_values.end() || it->second.empty()) return E_ADS_PROPERTY_NOT_FOUND;
        type = m_spConnection->TypeOf(sUtf8);
        if (type == ADSTYPE_OCTET_STRING || type == ADSTYPE_PROV_SPECIFIC) return E_ADS_CANT_CONVERT_DATATYPE;
        texts = it->second;
        return S_OK;
    }

    std::shared_ptr<CLdapConnection> m_spConnection;
    CAttributeValues m_values;
};

}  // namespace

// One executed search and where its walk stands: an answer per base
// searched; an entry that two bases both hold (a naming context below
// another) is one row.
struct CAdsSearch {
    std::shared_ptr<CLdapConnection> spConnection;
    std::vector<LDAPMessage*> results;
    size_t nResult = 0;
    LDAPMessage* pRow = nullptr;
    bool bStarted = false;
    std::set<std::string> seen;  // the rows' DNs
    std::vector<std::string> columns;
    size_t nNextColumn = 0;

    ~CAdsSearch() {
        for (LDAPMessage* pResult : results) ldap_msgfree(pResult);
    }
    HRESULT EnterRow(LDAPMessage* pEntry) {
        LDAP* pLdap = spConnection->Handle();
        for (;;) {
            while (pEntry == nullptr && ++nResult < results.size()) pEntry = ldap_first_entry(pLdap, results[nResult]);
            if (pEntry == nullptr || seen.insert(DnOfEntry(pLdap, pEntry)).second) break;
            pEntry = ldap_next_entry(pLdap, pEntry);
        }
        pRow = pEntry;
        columns.clear();
        nNextColumn = 0;
        if (pRow == nullptr) return S_ADS_NOMORE_ROWS;
        columns = AttributeNames(pLdap, pRow);
        return S_OK;
    }

private:
    static std::string DnOfEntry(LDAP* pLdap, LDAPMessage* pEntry) {
        char* pszDn = ldap_get_dn(pLdap, pEntry);
        std::string sDn = pszDn == nullptr ? std::string() : pszDn;
        if (pszDn != nullptr) ldap_memfree(pszDn);
        return sDn;
    }
};

namespace {

ADSVALUE ValueOf(ADSTYPE type, const std::string& sRaw) {
    ADSVALUE value;
    value.dwType = type;
    int64_t nNumber = 0;
    switch (type) {
        case ADSTYPE_BOOLEAN: value.bBoolean = sRaw == "TRUE"; break;
        case ADSTYPE_INTEGER:
            if (ParseInteger(sRaw, nNumber) && nNumber >= INT32_MIN && nNumber <= INT32_MAX) {
                value.nInteger = static_cast<int32_t>(nNumber);
            } else if (ParseInteger(sRaw, nNumber)) {
                value.dwType = ADSTYPE_LARGE_INTEGER;
                value.nLargeInteger = nNumber;
            } else {
                value.dwType = ADSTYPE_CASE_IGNORE_STRING;
                value.sText = Utf8ToUtf16(sRaw);
            }
            break;
        case ADSTYPE_LARGE_INTEGER:
            if (!ParseInteger(sRaw, value.nLargeInteger)) value.dwType = ADSTYPE_PROV_SPECIFIC;
            break;
        case ADSTYPE_UTC_TIME:
            if (!ParseGeneralizedTime(sRaw, value.utcTime)) value.dwType = ADSTYPE_PROV_SPECIFIC;
            break;
        case ADSTYPE_OCTET_STRING:
        case ADSTYPE_PROV_SPECIFIC: break;
        default: value.sText = Utf8ToUtf16(sRaw); break;
    }
    if (value.dwType == ADSTYPE_OCTET_STRING || value.dwType == ADSTYPE_PROV_SPECIFIC)
        value.octets.assign(sRaw.begin(), sRaw.end());
    return value;
}

class CDirectorySearch : public IDirectorySearch {
public:
    CDirectorySearch(std::shared_ptr<CLdapConnection> spConnection, std::vector<std::string> bases)
        : m_spConnection(std::move(spConnection)), m_bases(std::move(bases)) {}

    HRESULT SetSearchPreference(const ADS_SEARCHPREF_INFO* pPreferences, DWORD dwCount) override {
        if (pPreferences == nullptr && dwCount != 0) return E_POINTER;
        for (DWORD n = 0; n < dwCount; ++n) {
            if (pPreferences[n].dwSearchPref != ADS_SEARCHPREF_SEARCH_SCOPE || pPreferences[n].dwValue > 2)
                return E_ADS_BAD_PARAMETER;
            static const int SCOPES[] = {LDAP_SCOPE_BASE, LDAP_SCOPE_ONELEVEL, LDAP_SCOPE_SUBTREE};
            m_nScope = SCOPES[pPreferences[n].dwValue];
        }
        return S_OK;
    }

    HRESULT ExecuteSearch(const std::u16string& sFilter, const std::vector<std::u16string>& attributeNames,
                          ADS_SEARCH_HANDLE* phSearch) override {
        if (phSearch == nullptr) return E_POINTER;
        *phSearch = nullptr;
        std::vector<std::string> attributes;
        for (const std::u16string& sName : attributeNames) attributes.push_back(Utf16ToUtf8(sName));
        auto pSearch = std::make_unique<CAdsSearch>();
        pSearch->spConnection = m_spConnection;
        const std::string sLdapFilter = WithBinarySids(Utf16ToUtf8(sFilter));
        for (const std::string& sBase : m_bases) {
            LDAPMessage* pResult = nullptr;
            const HRESULT hr = m_spConnection->Search(sBase, m_nScope, sLdapFilter, attributes, &pResult);
            // A context the catalog lists but does not search (an application
            // partition) holds no users; any other failure is the search's.
            if (hr == HResultFromWin32(ERROR_DS_NO_SUCH_OBJECT) && m_bases.size() > 1) continue;
            if (hr != S_OK) return hr;
            pSearch->results.push_back(pResult);
        }
        *phSearch = pSearch.release();
        return S_OK;
    }

    HRESULT GetFirstRow(ADS_SEARCH_HANDLE hSearch) override {
        if (hSearch == nullptr) return E_INVALIDARG;
        hSearch->bStarted = true;
        hSearch->nResult = 0;
        hSearch->seen.clear();
        if (hSearch->results.empty()) return hSearch->EnterRow(nullptr);
        return hSearch->EnterRow(ldap_first_entry(m_spConnection->Handle(), hSearch->results.front()));
    }

    HRESULT GetNextRow(ADS_SEARCH_HANDLE hSearch) override {
        if (hSearch == nullptr) return E_INVALIDARG;
        if (!hSearch->bStarted) return GetFirstRow(hSearch);
        if (hSearch->pRow == nullptr) return S_ADS_NOMORE_ROWS;
        return hSearch->EnterRow(ldap_next_entry(m_spConnection->Handle(), hSearch->pRow));
    }

    HRESULT GetNextColumnName(ADS_SEARCH_HANDLE hSearch, std::u16string& sName) override {
        if (hSearch == nullptr) return E_INVALIDARG;
        if (hSearch->pRow == nullptr || hSearch->nNextColumn >= hSearch->columns.size()) return S_ADS_NOMORE_COLUMNS;
        sName = Utf8ToUtf16(hSearch->columns[hSearch->nNextColumn++]);
        return S_OK;
    }

    HRESULT GetColumn(ADS_SEARCH_HANDLE hSearch, const std::u16string& sName, ADS_SEARCH_COLUMN* pColumn) override {
        if (hSearch == nullptr || pColumn == nullptr) return E_INVALIDARG;
        if (hSearch->pRow == nullptr) return E_ADS_COLUMN_NOT_SET;
        const std::string sUtf8 = Utf16ToUtf8(sName);
        const std::vector<std::string> raw = ValuesOf(m_spConnection->Handle(), hSearch->pRow, sUtf8.c_str());
        if (raw.empty()) return E_ADS_COLUMN_NOT_SET;
        pColumn->sAttrName = sName;
        pColumn->dwADsType = m_spConnection->TypeOf(sUtf8);
        pColumn->values.clear();
        for (const std::string& sRaw : raw) pColumn->values.push_back(ValueOf(pColumn->dwADsType, sRaw));
        // A column has one type: integers too large for 32 bits make it a large-integer column.
        if (pColumn->dwADsType == ADSTYPE_INTEGER)
            for (const ADSVALUE& value : pColumn->values)
                if (value.dwType != ADSTYPE_INTEGER) pColumn->dwADsType = value.dwType;
        return S_OK;
    }

    HRESULT FreeColumn(ADS_SEARCH_COLUMN* pColumn) override {
        if (pColumn == nullptr) return E_INVALIDARG;
        *pColumn = ADS_SEARCH_COLUMN();
        return S_OK;
    }

    HRESULT CloseSearchHandle(ADS_SEARCH_HANDLE hSearch) override {
        if (hSearch == nullptr) return E_INVALIDARG;
        delete hSearch;
        return S_OK;
    }

private:
    std::shared_ptr<CLdapConnection> m_spConnection;
    std::vector<std::string> m_bases;
    int m_nScope = LDAP_SCOPE_SUBTREE;
};

// "GC:" or "LDAP:": its one child is the directory the configuration names.
class CAdsNamespace : public IADsContainer {
public:
    explicit CAdsNamespace(CAdsPath path) : m_path(std::move(path)) {}

    HRESULT FirstChildSearch(std::unique_ptr<IDirectorySearch>& spSearch) override {
        std::shared_ptr<CLdapConnection> spConnection;
        if (const HRESULT hr = Connect(m_path, nullptr, nullptr, spConnection); hr != S_OK) return hr;
        // The Global Catalog holds every domain of the forest: its search
        // covers all of them. A domain controller's is its own domain.
        std::vector<std::string> contexts;
        if (m_path.bGlobalCatalog) {
            contexts = RootDseValues(*spConnection, "namingContexts");
        } else if (std::string sDefault = RootDseValue(*spConnection, "defaultNamingContext"); !sDefault.empty()) {
            contexts.push_back(std::move(sDefault));
        } else if (std::string sFirst = RootDseValue(*spConnection, "namingContexts"); !sFirst.empty()) {
            contexts.push_back(std::move(sFirst));
        }
        if (contexts.empty()) return S_FALSE;
        spSearch = std::make_unique<CDirectorySearch>(spConnection, std::move(contexts));
        return S_OK;
    }

private:
    CAdsPath m_path;
};

// Parses an object's path (not a namespace) and connects to its server.
HRESULT ConnectTo(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword, CAdsPath& path,
                  std::shared_ptr<CLdapConnection>& spConnection) {
    if (!ParsePath(sPath, path) || path.bNamespace) return E_ADS_BAD_PATHNAME;
    return Connect(path, pszUser, pszPassword, spConnection);
}

HRESULT Bind(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword,
             std::unique_ptr<IADs>& spObject) {
    CAdsPath path;
    std::shared_ptr<CLdapConnection> spConnection;
    if (const HRESULT hr = ConnectTo(sPath, pszUser, pszPassword, path, spConnection); hr != S_OK) return hr;
    LDAPMessage* pResult = nullptr;
    const std::vector<std::string> attributes =
        path.bRootDse ? std::vector<std::string>{"*", "+"} : std::vector<std::string>{"*"};
    if (const HRESULT hr = spConnection->Search(DnOf(path, *spConnection), LDAP_SCOPE_BASE, "(objectClass=*)",
                                                attributes, &pResult);
        hr != S_OK)
        return hr;
    CAttributeValues values;
    if (LDAPMessage* pEntry = ldap_first_entry(spConnection->Handle(), pResult))
        for (const std::string& sName : AttributeNames(spConnection->Handle(), pEntry))
            values[sName] = ValuesOf(spConnection->Handle(), pEntry, sName.c_str());
    ldap_msgfree(pResult);
    spObject = std::make_unique<CAdsObject>(spConnection, std::move(values));
    return S_OK;
}

HRESULT BindSearch(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword,
                   std::unique_ptr<IDirectorySearch>& spSearch) {
    CAdsPath path;
    std::shared_ptr<CLdapConnection> spConnection;
    if (const HRESULT hr = ConnectTo(sPath, pszUser, pszPassword, path, spConnection); hr != S_OK) return hr;
    spSearch = std::make_unique<CDirectorySearch>(spConnection, std::vector<std::string>{DnOf(path, *spConnection)});
    return S_OK;
}

}  // namespace

HRESULT ADsGetObject(const std::u16string& sPath, std::unique_ptr<IADs>& spObject) {
    return Bind(sPath, nullptr, nullptr, spObject);
}

HRESULT ADsGetObject(const std::u16string& sPath, std::unique_ptr<IDirectorySearch>& spSearch) {
    return BindSearch(sPath, nullptr, nullptr, spSearch);
}

HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword, DWORD,
                      std::unique_ptr<IADs>& spObject) {
    return Bind(sPath, pszUser, pszPassword, spObject);
}

HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t* pszUser, const char16_t* pszPassword, DWORD,
                      std::unique_ptr<IDirectorySearch>& spSearch) {
    return BindSearch(sPath, pszUser, pszPassword, spSearch);
}

HRESULT ADsOpenObject(const std::u16string& sPath, const char16_t*, const char16_t*, DWORD,
                      std::unique_ptr<IADsContainer>& spContainer) {
    CAdsPath path;
    if (!ParsePath(sPath, path) || !path.bNamespace) return E_ADS_BAD_PATHNAME;
    spContainer = std::make_unique<CAdsNamespace>(path);
    return S_OK;
}

std::string EscapeFilterValue(const std::string& sValue) {
    std::string sOut;
    for (char ch : sValue) {
        if (ch == '*' || ch == '(' || ch == ')' || ch == '\\' || ch == '\0')
            AppendHexEscape(sOut, static_cast<unsigned char>(ch));
        else
            sOut += ch;
    }
    return sOut;
}

std::u16string EscapeDnValue(std::u16string_view sValue) {
    std::u16string sOut;
    for (size_t n = 0; n < sValue.size(); ++n) {
        const char16_t ch = sValue[n];
        const bool bEdge = (n == 0 && (ch == u' ' || ch == u'#')) || (n + 1 == sValue.size() && ch == u' ');
        if (ch == u'\0') {
            sOut += u"\\00";
        } else if (bEdge || std::u16string_view(u",+\"\\<>;=").find(ch) != std::u16string_view::npos) {
            sOut += u'\\';
            sOut += ch;
        } else {
            sOut += ch;
        }
    }
    return sOut;
}

std::u16string EscapePathDn(std::u16string_view sDn) {
    std::u16string sOut;
    for (char16_t ch : sDn) {
        if (ch == u'/') sOut += u'\\';
        sOut += ch;
    }
    return sOut;
}

HRESULT ADsGetLastError(DWORD* pdwError, std::u16string& sText, std::u16string& sProvider) {
    if (pdwError == nullptr) return E_POINTER;
    std::string sUtf8;
    CLdapConnection::LastError(*pdwError, sUtf8);
    sText = Utf8ToUtf16(sUtf8);
    sProvider = u"LDAP Provider";
    return S_OK;
}
