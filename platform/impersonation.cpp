#include "platform/impersonation.h"

namespace {
thread_local int t_nDepth = 0;
}

CRevertToSelf::CRevertToSelf() { ++t_nDepth; }

CRevertToSelf::~CRevertToSelf() { --t_nDepth; }

bool CRevertToSelf::IsActive() { return t_nDepth > 0; }
