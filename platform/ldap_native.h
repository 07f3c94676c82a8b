// The directory client's calls that differ between libldap and Wldap32.
// Results are LDAP result codes of the client's own API (ldap_api.h).
#ifndef KX_PLATFORM_LDAP_NATIVE_H
#define KX_PLATFORM_LDAP_NATIVE_H

#include <string>

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;

// A handle for sUri ("ldap[s]://host[:port]"; empty: the client's default
// server), speaking LDAP 3, following no referrals, every network wait
// bounded by nTimeoutSeconds. Nothing is sent yet.
int LdapOpen(const std::string& sUri, int nTimeoutSeconds, LDAP*& pLdap);
void LdapClose(LDAP* pLdap);

int LdapSimpleBind(LDAP* pLdap, const std::string& sDn, const std::string& sPassword);
// Binds with the process's own credentials (libldap: SASL GSSAPI with a
// Kerberos ticket, when there is one; Wldap32: Negotiate); false when there
// are none or the server refuses them.
bool LdapBindAsProcess(LDAP* pLdap);

// ppAttributes: the names, null-terminated; null asks for every attribute.
int LdapSearch(LDAP* pLdap, const std::string& sBase, int nScope, const std::string& sFilter, char** ppAttributes,
               int nTimeoutSeconds, LDAPMessage** ppResult);

std::string LdapErrorText(int nLdapError);
// The server's message with its last result; empty when none.
std::string LdapDiagnostic(LDAP* pLdap);
// The client's configured default server URI; empty when none is set.
std::string LdapDefaultUri();

#endif  // KX_PLATFORM_LDAP_NATIVE_H
