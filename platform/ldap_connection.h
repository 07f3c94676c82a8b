// One bound LDAP connection with bounded waits, the directory's attribute
// types read from its schema, and the calling thread's last error.
#ifndef KX_PLATFORM_LDAP_CONNECTION_H
#define KX_PLATFORM_LDAP_CONNECTION_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ascii_case.h"
#include "platform/adsi.h"

// Attribute names compare ignoring case, as the directory compares them.
typedef std::map<std::string, ADSTYPE, CNoCaseLess> CAttributeTypes;

typedef struct ldap LDAP;
typedef struct ldapmsg LDAPMessage;

class CLdapConnection {
public:
    // Connects to sUri (empty: libldap's default) and binds: with sUser and
    // sPassword when given, else as the environment says (see adsi.h). A
    // server that was down or silent fails at once, with the error it gave,
    // until RetrySeconds() have passed.
    static HRESULT Open(const std::string& sUri, const std::string& sUser, const std::string& sPassword,
                        std::shared_ptr<CLdapConnection>& spConnection);
    ~CLdapConnection();
    CLdapConnection(const CLdapConnection&) = delete;
    CLdapConnection& operator=(const CLdapConnection&) = delete;

    // A synchronous search; the result is the caller's (ldap_msgfree).
    HRESULT Search(const std::string& sBase, int nScope, const std::string& sFilter,
                   const std::vector<std::string>& attributes, LDAPMessage** ppResult);
    // The type ADSI would give the attribute's values, from the server's
    // schema (read once per server and process).
    ADSTYPE TypeOf(const std::string& sAttribute);
    LDAP* Handle() const { return m_pLdap; }
    const std::string& Uri() const { return m_sUri; }

    // The timeout of every network wait, in seconds.
    static int TimeoutSeconds();
    // How long a server that was down or silent is not asked again, in
    // seconds (0: always asked).
    static int RetrySeconds();
    // libldap's default URI (ldap.conf, LDAPURI); empty when none is set.
    static std::string DefaultUri();
    // Records an LDAP result code as the thread's last error; its HRESULT.
    static HRESULT RecordError(int nLdapError, const std::string& sText);
    static void LastError(DWORD& dwError, std::string& sText);

private:
    CLdapConnection(LDAP* pLdap, std::string sUri) : m_pLdap(pLdap), m_sUri(std::move(sUri)) {}
    HRESULT Bind(const std::string& sUser, const std::string& sPassword);
    HRESULT SimpleBind(const std::string& sDn, const std::string& sPassword);
    // The attribute types of the schema; false when it cannot be read.
    bool LoadSchema(CAttributeTypes& types);

    LDAP* m_pLdap;
    std::string m_sUri;
    std::shared_ptr<const CAttributeTypes> m_spTypes;  // on first use
};

#endif  // KX_PLATFORM_LDAP_CONNECTION_H
