// The lock one name stands for, shared by every process of this account
// that asks for it; each system has its own kind.
#ifndef KX_PLATFORM_LOGMODULE_SHARED_LOG_LOCK_H
#define KX_PLATFORM_LOGMODULE_SHARED_LOG_LOCK_H

#include <string>

#include "kx/log_module.h"

// Null when the lock cannot be had or is not this account's own. The lock
// is never freed.
ILogLock* OpenSharedLogLock(const std::string& sName);

#endif  // KX_PLATFORM_LOGMODULE_SHARED_LOG_LOCK_H
