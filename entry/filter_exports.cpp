// The worker's three exports, in the form of the IIS filter interface.
#include <cstdio>
#include <exception>
#include <type_traits>

#include "base/export.h"
#include "base/win_errors.h"
#include "components/register_components.h"
#include "diagnostics/trace.h"
#include "diagnostics/trace_log.h"
#include "entry/notifications.h"
#include "holidays/holiday_handling.h"
#include "kx/host_abi.h"
#include "settings/kx_general_settings.h"

namespace {

constexpr DWORD PRODUCT_NUMBER = 6;
constexpr DWORD EVENT_ID_SUCCESS = 0x60000065;
constexpr DWORD EVENT_ID_FAILURE = 0xE0000067;
constexpr DWORD EVENT_ID_ERROR = 0x60000068;
constexpr DWORD FILTER_VERSION = 0x00070000;
constexpr DWORD FILTER_FLAGS = SF_NOTIFY_SEND_RESPONSE | SF_NOTIFY_END_OF_REQUEST | SF_NOTIFY_SEND_RAW_DATA |
                               SF_NOTIFY_AUTHENTICATION | SF_NOTIFY_PREPROC_HEADERS | SF_NOTIFY_ORDER_LOW |
                               SF_NOTIFY_AUTH_COMPLETE;
static_assert(FILTER_FLAGS == 0x040264C0);

BOOL InitializeSettings(HTTP_FILTER_VERSION* pVer) {
    DebugOutput("\nInitialize Settings");
    Trace("[GetFilterVersion]Initialize Settings");
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    RegisterComponents(*pSettings);
    pSettings->SetProductNumber(PRODUCT_NUMBER);
    pSettings->SetEventIds(EVENT_ID_SUCCESS, EVENT_ID_FAILURE, EVENT_ID_ERROR);
    if (!pSettings->Init("Quorvane Kalyxa", "KX_ServiceWorker.dll", "KXRes.dll", "Software\\Quorvane\\Kalyxa", 1))
        return FALSE;
    CHolidayHandling* pHolidays = CHolidayHandling::GetInstance();
    pHolidays->CheckHolidayFiles(pSettings->Folders().m_productFolder);
    pHolidays->StartFolderMonitoring();
    Trace("[GetFilterVersion]Settings successfully Initialized.");
    pVer->dwFilterVersion = FILTER_VERSION;
    pVer->dwFlags = FILTER_FLAGS;
    std::snprintf(pVer->lpszFilterDesc, SF_MAX_FILTER_DESC_LEN, "%s", "Quorvane Vessa");
    Trace("[GetFilterVersion]returns %lu.", 0ul);
    return TRUE;
}

DWORD Dispatch(CDLLContext* pContext) {
    CKXGeneralSettings* pSettings = CKXGeneralSettings::GetInstance();
    CNotifications notifications;
    switch (pContext->m_dwNotificationType) {
        case SF_NOTIFY_SEND_RESPONSE: return notifications.NotifySendResponse(pContext);
        case SF_NOTIFY_END_OF_REQUEST: return notifications.NotifyEndOfRequest(pContext);
        case SF_NOTIFY_SEND_RAW_DATA: return notifications.NotifySendRawData(pContext);
        case SF_NOTIFY_PREPROC_HEADERS: return notifications.NotifyPreProcHeaders(pContext);
        case SF_NOTIFY_AUTH_COMPLETE: {
            bool bChanged = false;
            pSettings->RefreshSettings(bChanged);
            // A monitor whose thread ended (its folder went away, or it was stopped) is started again.
            CHolidayHandling* pHolidays = CHolidayHandling::GetInstance();
            if (!pHolidays->IsMonitorWatching()) pHolidays->StartFolderMonitoring();
            return notifications.NotifyAuthComplete(pContext);
        }
        default: return ERROR_SUCCESS;
    }
}

}  // namespace

KX_EXPORT BOOL GetFilterVersion(HTTP_FILTER_VERSION* pVer) {
    if (pVer == nullptr) return FALSE;
    try {
        return InitializeSettings(pVer);
    } catch (const std::exception& e) {
        Trace("[GetFilterVersion] exception: %s", e.what());
    } catch (...) {
        Trace("[GetFilterVersion] unexpected exception");
    }
    return FALSE;
}

// Nothing is ever thrown to the host: a failure that escapes a handler is
// answered as an unexpected error.
KX_EXPORT DWORD HttpFilterProc(CDLLContext* pContext) {
    if (pContext == nullptr) return ERROR_SUCCESS;
    try {
        return Dispatch(pContext);
    } catch (const std::exception& e) {
        Trace("[HttpFilterProc] exception: %s", e.what());
    } catch (...) {
        Trace("[HttpFilterProc] unexpected exception");
    }
    return static_cast<DWORD>(E_UNEXPECTED);
}

KX_EXPORT BOOL TerminateFilter(DWORD /*dwFlags*/) {
    try {
        CHolidayHandling::GetInstance()->StopFolderMonitoring();
        StopComponentWork();
        const BOOL bResult = CKXGeneralSettings::GetInstance()->Shutdown();
        FlushTrace(false);  // the lines kept back are written before the host lets go
        return bResult;
    } catch (...) {
        return FALSE;
    }
}

static_assert(std::is_same_v<decltype(&GetFilterVersion), PFN_GET_FILTER_VERSION>);
static_assert(std::is_same_v<decltype(&HttpFilterProc), PFN_HTTP_FILTER_PROC>);
static_assert(std::is_same_v<decltype(&TerminateFilter), PFN_TERMINATE_FILTER>);
