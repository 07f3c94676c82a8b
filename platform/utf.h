// UTF-8 (the narrow code page here) and UTF-16 (wide text).
#ifndef KX_PLATFORM_UTF_H
#define KX_PLATFORM_UTF_H

#include <string>
#include <string_view>

// Appends the code point (at most U+10FFFF) as UTF-8.
void AppendUtf8(std::string& sOut, char32_t ch);
// Malformed input becomes U+FFFD; nothing is dropped silently.
std::u16string Utf8ToUtf16(std::string_view sText);
std::string Utf16ToUtf8(std::u16string_view sText);
// Whether the bytes are well-formed UTF-8 (no surrogates, no overlong forms).
bool IsValidUtf8(std::string_view sText);
// Whether every surrogate of the text is one of a high-low pair.
bool IsValidUtf16(std::u16string_view sText);

#endif  // KX_PLATFORM_UTF_H
