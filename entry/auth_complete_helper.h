// The user's basic calendar view type, kept as user property 0x8602 through
// the host.
#ifndef KX_ENTRY_AUTH_COMPLETE_HELPER_H
#define KX_ENTRY_AUTH_COMPLETE_HELPER_H

#include <string>

#include "kx/win_types.h"

struct CDLLContext;

class CAuthCompleteHelper {
public:
    static constexpr DWORD VIEW_TYPE_PROPERTY = 0x8602;

    // 0 with the stored type; 7 without a context or request info; 13 when
    // the host cannot load the properties.
    static DWORD GetBasicCalendarViewType(CDLLContext* pContext, std::string& sViewType);
    // 0 when the host stored it; 7 or 13 as above.
    static DWORD SaveBasicCalendarViewTypeOnAuthComplete(CDLLContext* pContext, const std::string& sViewType);
};

#endif  // KX_ENTRY_AUTH_COMPLETE_HELPER_H
