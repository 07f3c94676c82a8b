// Values of the request's cookie text.
#ifndef KX_SETTINGS_COOKIES_H
#define KX_SETTINGS_COOKIES_H

#include <string>
#include <string_view>

class CCookies {
public:
    // The value after key (which must end with '='), found ignoring case
    // at a cookie boundary of the cookie text, up to the next ';'.
    static bool extractCookie(std::string_view sCookies, std::string_view sKey, std::string& sValue);
    // The user-context cookie of another opened mailbox ("UserContext_<hex>="),
    // its value cut before the first '&'.
    static bool GetOtherMBXUserContextCookieValue(std::string_view sCookies, std::string& sValue);
};

#endif  // KX_SETTINGS_COOKIES_H
