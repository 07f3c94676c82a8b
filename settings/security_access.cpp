#include "settings/security_access.h"

#include "platform/system_info.h"

DWORD CSecurityAccess::GetThreadUser(std::string& sUser, std::string& sDomain, std::string& sSid) const {
    return GetEffectiveAccount(sUser, sDomain, sSid);
}
