// The account of the calling thread.
#ifndef KX_SETTINGS_SECURITY_ACCESS_H
#define KX_SETTINGS_SECURITY_ACCESS_H

#include <string>

#include "kx/win_types.h"

class CSecurityAccess {
public:
    virtual ~CSecurityAccess() = default;
    // The thread's user, domain and SID in string form; 0 or the system error.
    DWORD GetThreadUser(std::string& sUser, std::string& sDomain, std::string& sSid) const;
};

#endif  // KX_SETTINGS_SECURITY_ACCESS_H
