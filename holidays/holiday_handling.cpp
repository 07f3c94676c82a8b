#include "holidays/holiday_handling.h"

#include "diagnostics/trace.h"

void LoadImportHoliday() { Trace("[LoadImportHoliday] holiday files are not handled yet"); }

void ProcessUserHolidays(const CHolidayUser& user) {
    Trace("[ProcessUserHolidays] holidays are not handled yet; user %s", user.sUser.c_str());
}
