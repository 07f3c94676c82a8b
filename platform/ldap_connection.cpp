#include "platform/ldap_connection.h"

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "base/win_errors.h"
#include "ldap_api.h"
#include "platform/attribute_type_text.h"
#include "platform/ldap_native.h"
#include "platform/secret_file.h"

namespace {

constexpr int DEFAULT_TIMEOUT_SECONDS = 10;
constexpr int DEFAULT_RETRY_SECONDS = 30;

struct CLastError {
    DWORD dwError = 0;
    std::string sText;
};
thread_local CLastError t_lastError;

// Win32 codes of LDAP results, as the directory client on Windows maps them.
DWORD Win32FromLdap(int nLdapError) {
    switch (nLdapError) {
        case LDAP_SUCCESS: return 0;
        case LDAP_SERVER_DOWN:
        case LDAP_CONNECT_ERROR:
        case LDAP_UNAVAILABLE: return ERROR_DS_SERVER_DOWN;
        case LDAP_TIMEOUT: return ERROR_TIMEOUT;
        case LDAP_INVALID_CREDENTIALS: return ERROR_LOGON_FAILURE;
        case LDAP_INSUFFICIENT_ACCESS: return ERROR_ACCESS_DENIED;
        case LDAP_NO_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
        case LDAP_LOCAL_ERROR: return 8251;
        case LDAP_ENCODING_ERROR: return 8252;
        case LDAP_DECODING_ERROR: return 8253;
        case LDAP_FILTER_ERROR: return 8254;
        case LDAP_PARAM_ERROR: return 8255;
        case LDAP_NOT_SUPPORTED: return 8256;
        default:
            // Server results 1..53 follow the directory errors from 8223 on.
            if (nLdapError >= LDAP_OPERATIONS_ERROR && nLdapError <= LDAP_SIZELIMIT_EXCEEDED) return 8223 + nLdapError;
            if (nLdapError == LDAP_NO_SUCH_OBJECT) return ERROR_DS_NO_SUCH_OBJECT;
            if (nLdapError == LDAP_INVALID_DN_SYNTAX) return 8242;
            if (nLdapError == LDAP_UNWILLING_TO_PERFORM) return 8245;
            return ERROR_DS_GENERIC_ERROR;
    }
}

ADSTYPE TypeOfSyntax(const std::string& sSyntax) {
    static const std::map<std::string, ADSTYPE> SYNTAXES = {
        {"1.3.6.1.4.1.1466.115.121.1.12", ADSTYPE_DN_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.15", ADSTYPE_CASE_IGNORE_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.26", ADSTYPE_CASE_EXACT_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.38", ADSTYPE_CASE_IGNORE_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.44", ADSTYPE_PRINTABLE_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.36", ADSTYPE_NUMERIC_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.50", ADSTYPE_CASE_IGNORE_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.7", ADSTYPE_BOOLEAN},
        {"1.3.6.1.4.1.1466.115.121.1.27", ADSTYPE_INTEGER},
        {"1.3.6.1.4.1.1466.115.121.1.40", ADSTYPE_OCTET_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.5", ADSTYPE_OCTET_STRING},
        {"1.3.6.1.4.1.1466.115.121.1.24", ADSTYPE_UTC_TIME},
        {"1.3.6.1.4.1.1466.115.121.1.53", ADSTYPE_UTC_TIME},
    };
    const auto it = SYNTAXES.find(sSyntax);
    return it == SYNTAXES.end() ? ADSTYPE_PROV_SPECIFIC : it->second;
}

// Active Directory's Large Integer attributes, which an LDAP schema can
// only declare as integers.
bool IsLargeIntegerAttribute(const std::string& sName) {
    static const std::set<std::string, CNoCaseLess> NAMES = {
        "accountExpires", "badPasswordTime", "lastLogoff", "lastLogon", "lastLogonTimestamp",
        "lockoutTime",    "pwdLastSet",      "uSNChanged", "uSNCreated"};
    return NAMES.count(sName) != 0;
}

HRESULT Failed(int nLdapError, LDAP* pLdap, const std::string& sWhat) {
    const std::string sDiagnostic = LdapDiagnostic(pLdap);
    return CLdapConnection::RecordError(nLdapError, sWhat + ": " + LdapErrorText(nLdapError) +
                                                        (sDiagnostic.empty() ? "" : " (" + sDiagnostic + ")"));
}

// The bind DN and password of the bind file; false (with the last error)
// when the file is unsafe or unreadable.
bool ReadBindFile(const char* pszPath, std::string& sDn, std::string& sPassword) {
    std::map<std::string, std::string> values;
    std::string sWhyNot;
    if (!ReadSecretFile(pszPath, values, sWhyNot)) {
        CLdapConnection::RecordError(LDAP_INSUFFICIENT_ACCESS, "the bind file " + sWhyNot);
        return false;
    }
    sDn = values["binddn"];
    sPassword = values["password"];
    if (sDn.empty() || sPassword.empty()) {  // never an anonymous bind by mistake
        CLdapConnection::RecordError(LDAP_INSUFFICIENT_ACCESS, std::string("the bind file ") + pszPath +
                                                                    " must give both binddn= and password=");
        return false;
    }
    return true;
}

// Servers that could not be reached, by address, with the error they
// gave: not asked again before RetrySeconds() have passed, so that a
// directory that is down or silent costs one wait, not one per request.
class CUnreachableServers {
public:
    static CUnreachableServers& Instance() {
        static CUnreachableServers s_servers;
        return s_servers;
    }
    // True, with the remembered error, while sUri is not to be asked.
    bool Recall(const std::string& sUri, CLastError& error) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_servers.find(sUri);
        if (it == m_servers.end()) return false;
        if (std::chrono::steady_clock::now() >= it->second.failed + std::chrono::seconds(CLdapConnection::RetrySeconds())) {
            m_servers.erase(it);
            return false;
        }
        error = it->second.error;
        return true;
    }
    void Remember(const std::string& sUri, const CLastError& error) {
        const auto failed = std::chrono::steady_clock::now();
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_servers.insert_or_assign(sUri, CEntry{failed, error});
    }

private:
    struct CEntry {
        std::chrono::steady_clock::time_point failed;
        CLastError error;
    };
    std::mutex m_mutex;
    std::map<std::string, CEntry> m_servers;
};

}  // namespace


int CLdapConnection::TimeoutSeconds() {
    const char* pszValue = std::getenv("QV_LDAP_TIMEOUT");
    const int nValue = pszValue == nullptr ? 0 : std::atoi(pszValue);
    return nValue > 0 ? nValue : DEFAULT_TIMEOUT_SECONDS;
}

int CLdapConnection::RetrySeconds() {
    const char* pszValue = std::getenv("QV_LDAP_RETRY_SECONDS");
    const int nValue = pszValue == nullptr || *pszValue == '\0' ? DEFAULT_RETRY_SECONDS : std::atoi(pszValue);
    return nValue >= 0 ? nValue : DEFAULT_RETRY_SECONDS;
}

std::string CLdapConnection::DefaultUri() { return LdapDefaultUri(); }

HRESULT CLdapConnection::RecordError(int nLdapError, const std::string& sText) {
    t_lastError.dwError = Win32FromLdap(nLdapError);
    t_lastError.sText = sText;
    return HResultFromWin32(t_lastError.dwError);
}

void CLdapConnection::LastError(DWORD& dwError, std::string& sText) {
    dwError = t_lastError.dwError;
    sText = t_lastError.sText;
}

HRESULT CLdapConnection::Open(const std::string& sUri, const std::string& sUser, const std::string& sPassword,
                              std::shared_ptr<CLdapConnection>& spConnection) {
    CUnreachableServers& unreachable = CUnreachableServers::Instance();
    CLastError remembered;
    if (unreachable.Recall(sUri, remembered)) {
        t_lastError.dwError = remembered.dwError;
        t_lastError.sText = remembered.sText + " (not asked again yet)";
        return HResultFromWin32(t_lastError.dwError);
    }
    LDAP* pLdap = nullptr;
    const int nInit = LdapOpen(sUri, TimeoutSeconds(), pLdap);
    if (nInit != LDAP_SUCCESS) return Failed(nInit, nullptr, "cannot use the directory address <" + sUri + ">");
    std::shared_ptr<CLdapConnection> spNew(new CLdapConnection(pLdap, sUri));
    const HRESULT hr = spNew->Bind(sUser, sPassword);
    if (hr != S_OK) {
        if (t_lastError.dwError == ERROR_DS_SERVER_DOWN || t_lastError.dwError == ERROR_TIMEOUT)
            unreachable.Remember(sUri, t_lastError);
        return hr;
    }
    spConnection = std::move(spNew);
    return S_OK;
}

CLdapConnection::~CLdapConnection() { LdapClose(m_pLdap); }

HRESULT CLdapConnection::Bind(const std::string& sUser, const std::string& sPassword) {
    if (!sUser.empty()) return SimpleBind(sUser, sPassword);
    // A bind file the operator names wins over the process's own credentials.
    const char* pszBindFile = std::getenv("QV_LDAP_BIND_FILE");
    if (pszBindFile != nullptr && *pszBindFile != '\0') {
        std::string sDn, sFilePassword;
        if (!ReadBindFile(pszBindFile, sDn, sFilePassword)) return HResultFromWin32(t_lastError.dwError);
        return SimpleBind(sDn, sFilePassword);
    }
    if (LdapBindAsProcess(m_pLdap)) return S_OK;
    return SimpleBind("", "");
}

HRESULT CLdapConnection::SimpleBind(const std::string& sDn, const std::string& sPassword) {
    const int nResult = LdapSimpleBind(m_pLdap, sDn, sPassword);
    if (nResult != LDAP_SUCCESS) return Failed(nResult, m_pLdap, "bind to <" + m_sUri + "> as <" + sDn + ">");
    return S_OK;
}

HRESULT CLdapConnection::Search(const std::string& sBase, int nScope, const std::string& sFilter,
                                const std::vector<std::string>& attributes, LDAPMessage** ppResult) {
    std::vector<char*> names;
    for (const std::string& sName : attributes) names.push_back(const_cast<char*>(sName.c_str()));
    names.push_back(nullptr);
    *ppResult = nullptr;
    const int nResult = LdapSearch(m_pLdap, sBase, nScope, sFilter, attributes.empty() ? nullptr : names.data(),
                                   TimeoutSeconds(), ppResult);
    if (nResult == LDAP_SUCCESS) return S_OK;
    if (*ppResult != nullptr) ldap_msgfree(*ppResult);
    *ppResult = nullptr;
    return Failed(nResult, m_pLdap, "search <" + sFilter + "> under <" + sBase + ">");
}

ADSTYPE CLdapConnection::TypeOf(const std::string& sAttribute) {
    if (m_spTypes == nullptr) {
        static std::mutex s_mutex;
        static std::map<std::string, std::shared_ptr<const CAttributeTypes>> s_schemas;  // by server URI
        std::lock_guard<std::mutex> lock(s_mutex);
        std::shared_ptr<const CAttributeTypes>& spKnown = s_schemas[m_sUri];
        if (spKnown == nullptr) {
            auto spTypes = std::make_shared<CAttributeTypes>();
            if (LoadSchema(*spTypes)) spKnown = spTypes;  // an unreadable schema is tried again next time
            m_spTypes = std::move(spTypes);
        } else {
            m_spTypes = spKnown;
        }
    }
    const auto it = m_spTypes->find(sAttribute);
    const ADSTYPE type = it == m_spTypes->end() ? ADSTYPE_CASE_IGNORE_STRING : it->second;
    return type == ADSTYPE_INTEGER && IsLargeIntegerAttribute(sAttribute) ? ADSTYPE_LARGE_INTEGER : type;
}

bool CLdapConnection::LoadSchema(CAttributeTypes& types) {
    LDAPMessage* pRoot = nullptr;
    if (Search("", LDAP_SCOPE_BASE, "(objectClass=*)", {"subschemaSubentry"}, &pRoot) != S_OK) return false;
    std::string sSubschema = "cn=Subschema";
    if (LDAPMessage* pEntry = ldap_first_entry(m_pLdap, pRoot)) {
        if (berval** ppValues = ldap_get_values_len(m_pLdap, pEntry, const_cast<char*>("subschemaSubentry"))) {
            if (ppValues[0] != nullptr) sSubschema.assign(ppValues[0]->bv_val, ppValues[0]->bv_len);
            ldap_value_free_len(ppValues);
        }
    }
    ldap_msgfree(pRoot);
    LDAPMessage* pSchema = nullptr;
    if (Search(sSubschema, LDAP_SCOPE_BASE, "(objectClass=subschema)", {"attributeTypes"}, &pSchema) != S_OK)
        return false;
    // Each type's syntax, or the name of the type it inherits one from.
    std::map<std::string, std::pair<std::string, std::string>, CNoCaseLess> declared;
    if (LDAPMessage* pEntry = ldap_first_entry(m_pLdap, pSchema)) {
        if (berval** ppValues = ldap_get_values_len(m_pLdap, pEntry, const_cast<char*>("attributeTypes"))) {
            for (berval** pp = ppValues; *pp != nullptr; ++pp) {
                CAttributeTypeText type;
                if (!ParseAttributeTypeText(std::string_view((*pp)->bv_val, (*pp)->bv_len), type)) continue;
                for (const std::string& sName : type.names) declared[sName] = {type.sSyntax, type.sSuperior};
            }
            ldap_value_free_len(ppValues);
        }
    }
    ldap_msgfree(pSchema);
    for (const auto& [sName, syntax] : declared) {
        std::pair<std::string, std::string> current = syntax;
        for (int nDepth = 0; current.first.empty() && !current.second.empty() && nDepth < 16; ++nDepth) {
            const auto it = declared.find(current.second);
            if (it == declared.end()) break;
            current = it->second;
        }
        types[sName] = current.first.empty() ? ADSTYPE_CASE_IGNORE_STRING : TypeOfSyntax(current.first);
    }
    return true;
}
