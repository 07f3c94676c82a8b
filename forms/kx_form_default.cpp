#include "forms/kx_form_default.h"

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "settings/kx_general_settings.h"

namespace {

constexpr int SETTING_REMINDERS = 125;

}  // namespace

DWORD CKXFormDefault::Process() {
    // The cheap conditions first: the user's option costs a look-up in Exchange.
    int nReminders = 0;
    if (!CKXGeneralSettings::GetInstance()->GetSettingFromID(SETTING_REMINDERS, nReminders, 0) || nReminders != 1 ||
        !RequestValue("HTTP_X_OWA_EXPLICITLOGONUSER").empty() || !GetOptionRemindersEnabled())
        return ERROR_SUCCESS;
    Trace("[CKXFormDefault::Process] Reminders are on; this version adds no reminders bell.");
    return ERROR_SUCCESS;
}
