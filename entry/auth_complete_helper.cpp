#include "entry/auth_complete_helper.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "record/dll_context.h"

DWORD CAuthCompleteHelper::GetBasicCalendarViewType(CDLLContext* pContext, std::string& sViewType) {
    sViewType.clear();
    DWORD dwResult = ERROR_SUCCESS;
    if (pContext == nullptr || RequestInfo(pContext) == nullptr) {
        Trace("[CAuthCompleteHelper::GetBasicCalendarViewType] Invalid pointers!");
        dwResult = ERROR_ARENA_TRASHED;
    } else if (GetUserProperty(pContext, VIEW_TYPE_PROPERTY, sViewType, 0)) {
        Trace("[CAuthCompleteHelper::GetBasicCalendarViewType] GetUserProperty(0x8108) succeeded. Basic calendar view "
              "type <%s>.",
              sViewType.c_str());
    } else {
        Trace("[CAuthCompleteHelper::GetBasicCalendarViewType] GetUserProperty(0x8108) failed.");
        dwResult = ERROR_INVALID_DATA;
    }
    Trace("[CAuthCompleteHelper::GetBasicCalendarViewType] returned dwRet <%d>", static_cast<int>(dwResult));
    return dwResult;
}

DWORD CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete(CDLLContext* pContext,
                                                                   const std::string& sViewType) {
    Trace("[CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete] Starts.");
    DWORD dwResult = ERROR_SUCCESS;
    if (pContext == nullptr || RequestInfo(pContext) == nullptr) {
        Trace("[CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete] Invalid pointers.");
        dwResult = ERROR_ARENA_TRASHED;
    } else if (SaveUserPropOnAuthComplete(pContext, VIEW_TYPE_PROPERTY, sViewType)) {
        Trace("[CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete] Basic calendar view type user property "
              "(value: %s) was successfully saved.",
              sViewType.c_str());
    } else {
        Trace("[CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete] SaveUserPropOnAuthComplete(0x8108) "
              "failed.");
        dwResult = ERROR_INVALID_DATA;
    }
    Trace("[CAuthCompleteHelper::SaveBasicCalendarViewTypeOnAuthComplete] returned dwRet <%d>",
          static_cast<int>(dwResult));
    return dwResult;
}
