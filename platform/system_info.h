// Facts about this computer and the calling thread's account.
#ifndef KX_PLATFORM_SYSTEM_INFO_H
#define KX_PLATFORM_SYSTEM_INFO_H

#include <string>

#include "kx/win_types.h"

// The fully qualified DNS name; false when it cannot be had.
bool GetFullyQualifiedComputerName(std::string& sName);
// The DNS host name (up to the first '.'); false when it cannot be had.
bool GetHostComputerName(std::string& sName);

// The effective account: name, domain and SID in string form (POSIX: this
// host's short name and "S-1-22-1-<uid>"; Windows: the account's own).
// Returns 0 or the system error.
DWORD GetEffectiveAccount(std::string& sUser, std::string& sDomain, std::string& sSid);

#endif  // KX_PLATFORM_SYSTEM_INFO_H
