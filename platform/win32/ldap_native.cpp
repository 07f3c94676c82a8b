#include "platform/ldap_native.h"

#include "ldap_api.h"

namespace {

// "ldap://host[:port]" or "ldaps://host[:port]"; false for anything else.
bool ParseUri(const std::string& sUri, std::string& sHost, ULONG& nPort, bool& bSecure) {
    const size_t nScheme = sUri.find("://");
    if (nScheme == std::string::npos) return false;
    const std::string sScheme = sUri.substr(0, nScheme);
    if (sScheme != "ldap" && sScheme != "ldaps") return false;
    bSecure = sScheme == "ldaps";
    nPort = bSecure ? LDAP_SSL_PORT : LDAP_PORT;
    std::string sAuthority = sUri.substr(nScheme + 3);
    sAuthority = sAuthority.substr(0, sAuthority.find('/'));
    const size_t nColon = sAuthority.rfind(':');
    if (nColon != std::string::npos && sAuthority.find(']', nColon) == std::string::npos) {
        const std::string sPort = sAuthority.substr(nColon + 1);
        if (sPort.empty() || sPort.size() > 5 || sPort.find_first_not_of("0123456789") != std::string::npos)
            return false;
        nPort = static_cast<ULONG>(std::stoul(sPort));
        sAuthority.resize(nColon);
    }
    sHost = sAuthority;
    return true;
}

}  // namespace

// Without a URI Wldap32 finds a domain controller of the computer's domain.
int LdapOpen(const std::string& sUri, int nTimeoutSeconds, LDAP*& pLdap) {
    pLdap = nullptr;
    std::string sHost;
    ULONG nPort = LDAP_PORT;
    bool bSecure = false;
    if (!sUri.empty() && !ParseUri(sUri, sHost, nPort, bSecure)) return LDAP_PARAM_ERROR;
    pLdap = ldap_sslinitA(sHost.empty() ? nullptr : sHost.data(), nPort, bSecure ? 1 : 0);
    if (pLdap == nullptr) return static_cast<int>(LdapGetLastError());
    ULONG nVersion = LDAP_VERSION3;
    ldap_set_option(pLdap, LDAP_OPT_PROTOCOL_VERSION, &nVersion);
    ldap_set_option(pLdap, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ULONG nLimit = static_cast<ULONG>(nTimeoutSeconds);
    ldap_set_option(pLdap, LDAP_OPT_TIMELIMIT, &nLimit);
    l_timeval timeout{nTimeoutSeconds, 0};
    const ULONG nConnect = ldap_connect(pLdap, &timeout);
    if (nConnect != LDAP_SUCCESS) {
        ldap_unbind_s(pLdap);
        pLdap = nullptr;
    }
    return static_cast<int>(nConnect);
}

void LdapClose(LDAP* pLdap) {
    if (pLdap != nullptr) ldap_unbind_s(pLdap);
}

int LdapSimpleBind(LDAP* pLdap, const std::string& sDn, const std::string& sPassword) {
    std::string sDnCopy = sDn, sPasswordCopy = sPassword;
    return static_cast<int>(
        ldap_simple_bind_sA(pLdap, sDn.empty() ? nullptr : sDnCopy.data(), sPassword.empty() ? nullptr : sPasswordCopy.data()));
}

bool LdapBindAsProcess(LDAP* pLdap) {
    return ldap_bind_sA(pLdap, nullptr, nullptr, LDAP_AUTH_NEGOTIATE) == LDAP_SUCCESS;
}

int LdapSearch(LDAP* pLdap, const std::string& sBase, int nScope, const std::string& sFilter, char** ppAttributes,
               int nTimeoutSeconds, LDAPMessage** ppResult) {
    l_timeval timeout{nTimeoutSeconds, 0};
    return static_cast<int>(ldap_search_ext_sA(pLdap, const_cast<char*>(sBase.c_str()), static_cast<ULONG>(nScope),
                                               sFilter.empty() ? nullptr : const_cast<char*>(sFilter.c_str()),
                                               ppAttributes, 0, nullptr, nullptr, &timeout, 0, ppResult));
}

std::string LdapErrorText(int nLdapError) {
    const char* pszText = ldap_err2stringA(static_cast<ULONG>(nLdapError));
    return pszText != nullptr ? pszText : "";
}

std::string LdapDiagnostic(LDAP* pLdap) {
    char* pszMessage = nullptr;
    if (pLdap == nullptr || ldap_get_option(pLdap, LDAP_OPT_SERVER_ERROR, &pszMessage) != LDAP_SUCCESS ||
        pszMessage == nullptr)
        return "";
    std::string sMessage(pszMessage);
    ldap_memfreeA(pszMessage);
    return sMessage;
}

// Wldap32 keeps no configured server; LdapOpen("") finds one.
std::string LdapDefaultUri() { return ""; }
