// What the request handling hands to the holiday handling. The holiday
// files and their import are not handled yet: each step only says so.
#ifndef KX_HOLIDAYS_HOLIDAY_HANDLING_H
#define KX_HOLIDAYS_HOLIDAY_HANDLING_H

#include <string>

// Loads the holiday files dropped into the holiday folder.
void LoadImportHoliday();

// The user and request a pending holiday import or deletion would run for.
struct CHolidayUser {
    std::string sUser;
    std::string sEwsUrl;
    std::string sCookie;
    std::string sSessionId;
    std::string sTimeZone;
    std::string sMailbox;
};

// Imports or deletes the holidays pending for the user.
void ProcessUserHolidays(const CHolidayUser& user);

#endif  // KX_HOLIDAYS_HOLIDAY_HANDLING_H
