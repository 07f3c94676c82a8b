// The LDAP C API of the directory client: Wldap32 (its ANSI names).
#ifndef KX_PLATFORM_WIN32_LDAP_API_H
#define KX_PLATFORM_WIN32_LDAP_API_H

#include <windows.h>
// After windows.h, which they need.
#include <winber.h>
#include <winldap.h>

#endif  // KX_PLATFORM_WIN32_LDAP_API_H
