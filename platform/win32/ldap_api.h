// The LDAP C API of the directory client: Wldap32 (its ANSI names).
#ifndef KX_PLATFORM_WIN32_LDAP_API_H
#define KX_PLATFORM_WIN32_LDAP_API_H

#include <windows.h>
// In this order: each needs what the one before declares.
#include <winldap.h>
#include <winber.h>

// The C API's name (RFC 1823) for result 50, which Wldap32 spells otherwise.
#define LDAP_INSUFFICIENT_ACCESS LDAP_INSUFFICIENT_RIGHTS

#endif  // KX_PLATFORM_WIN32_LDAP_API_H
