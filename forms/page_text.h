// Text that crosses from one context of a page into another: markup text
// decoded to what the user sees, values encoded for an HTML attribute or
// text, and for a JavaScript string inside an HTML script element.
#ifndef KX_FORMS_PAGE_TEXT_H
#define KX_FORMS_PAGE_TEXT_H

#include <string>
#include <string_view>

// Character references decoded: decimal and hexadecimal ones and the named
// ones OWA writes (amp, lt, gt, quot, apos, nbsp). Anything else, and a
// reference to no valid character, stays as written.
std::string DecodeHtmlText(std::string_view sText);

// &, <, >, " and ' as character references.
std::string EscapeHtml(std::string_view sText);

// Appends sText for the inside of a quoted JavaScript string in a script
// element: backslash, both quotes, "<" (so "</script" and "<!--" cannot
// occur), U+2028, U+2029 and every control character are escaped.
void AppendJsString(std::string& sOut, std::string_view sText);

#endif  // KX_FORMS_PAGE_TEXT_H
