#include "platform/ldap_native.h"

#include <ldap.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace {

bool KerberosCredentialPresent() {
    const char* pszCache = std::getenv("KRB5CCNAME");
    if (pszCache != nullptr && *pszCache != '\0') return true;
    struct stat st{};
    return ::stat(("/tmp/krb5cc_" + std::to_string(::geteuid())).c_str(), &st) == 0;
}

// GSSAPI takes everything from the Kerberos credential: nothing to answer.
int SaslInteract(LDAP*, unsigned, void*, void*) { return LDAP_SUCCESS; }

}  // namespace

int LdapOpen(const std::string& sUri, int nTimeoutSeconds, LDAP*& pLdap) {
    pLdap = nullptr;
    const int nInit = ldap_initialize(&pLdap, sUri.empty() ? nullptr : sUri.c_str());
    if (nInit != LDAP_SUCCESS) return nInit;
    const int nVersion = LDAP_VERSION3;
    const timeval timeout{nTimeoutSeconds, 0};
    ldap_set_option(pLdap, LDAP_OPT_PROTOCOL_VERSION, &nVersion);
    ldap_set_option(pLdap, LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
    ldap_set_option(pLdap, LDAP_OPT_NETWORK_TIMEOUT, &timeout);
    ldap_set_option(pLdap, LDAP_OPT_TIMEOUT, &timeout);
    return LDAP_SUCCESS;
}

void LdapClose(LDAP* pLdap) { ldap_unbind_ext_s(pLdap, nullptr, nullptr); }

int LdapSimpleBind(LDAP* pLdap, const std::string& sDn, const std::string& sPassword) {
    berval credentials{static_cast<ber_len_t>(sPassword.size()), const_cast<char*>(sPassword.data())};
    return ldap_sasl_bind_s(pLdap, sDn.empty() ? nullptr : sDn.c_str(), LDAP_SASL_SIMPLE, &credentials, nullptr,
                            nullptr, nullptr);
}

bool LdapBindAsProcess(LDAP* pLdap) {
    return KerberosCredentialPresent() && ldap_sasl_interactive_bind_s(pLdap, nullptr, "GSSAPI", nullptr, nullptr,
                                                                       LDAP_SASL_QUIET, SaslInteract,
                                                                       nullptr) == LDAP_SUCCESS;
}

int LdapSearch(LDAP* pLdap, const std::string& sBase, int nScope, const std::string& sFilter, char** ppAttributes,
               int nTimeoutSeconds, LDAPMessage** ppResult) {
    timeval timeout{nTimeoutSeconds, 0};
    return ldap_search_ext_s(pLdap, sBase.c_str(), nScope, sFilter.empty() ? nullptr : sFilter.c_str(), ppAttributes,
                             0, nullptr, nullptr, &timeout, 0, ppResult);
}

std::string LdapErrorText(int nLdapError) { return ldap_err2string(nLdapError); }

std::string LdapDiagnostic(LDAP* pLdap) {
    char* pszMessage = nullptr;
    if (pLdap == nullptr || ldap_get_option(pLdap, LDAP_OPT_DIAGNOSTIC_MESSAGE, &pszMessage) != LDAP_OPT_SUCCESS ||
        pszMessage == nullptr)
        return "";
    std::string sMessage(pszMessage);
    ldap_memfree(pszMessage);
    return sMessage;
}

std::string LdapDefaultUri() {
    char* pszUri = nullptr;
    if (ldap_get_option(nullptr, LDAP_OPT_URI, &pszUri) != LDAP_OPT_SUCCESS || pszUri == nullptr) return "";
    std::string sUri(pszUri);
    ldap_memfree(pszUri);
    return sUri;
}
