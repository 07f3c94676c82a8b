// The LDAP C API of the directory client: OpenLDAP's libldap.
#ifndef KX_PLATFORM_POSIX_LDAP_API_H
#define KX_PLATFORM_POSIX_LDAP_API_H

#include <ldap.h>

#endif  // KX_PLATFORM_POSIX_LDAP_API_H
