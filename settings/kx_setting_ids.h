// The product settings the page modifiers, the routing and the holiday
// handling read, by id.
#ifndef KX_SETTINGS_KX_SETTING_IDS_H
#define KX_SETTINGS_KX_SETTING_IDS_H

namespace kx_setting {

// Feature switches, read with GetFeatureSettingOn (default on).
constexpr int FEATURE_OTHER_CALENDARS = 122;  // manage other calendars
constexpr int FEATURE_DELEGATES = 123;        // manage delegates
constexpr int FEATURE_VIEWS = 124;            // the extra calendar views
constexpr int FEATURE_SEARCH = 126;           // calendar search
constexpr int FEATURE_ADD_HOLIDAYS = 146;     // holiday import from the options pages

constexpr int REMINDERS = 125;               // meeting reminders; on only at 1
constexpr int REMINDERS_POLL_INTERVAL = 127;  // handed to the reminders script as it stands
constexpr int REMINDERS_POLL_DEFAULT = 60;
constexpr int HOLIDAY_SECTIONS = 141;         // ";"-separated

}  // namespace kx_setting

#endif  // KX_SETTINGS_KX_SETTING_IDS_H
