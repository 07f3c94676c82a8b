#include "platform/utf.h"

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;

// The code point of the sequence at n and its length; 0 for a malformed one.
size_t DecodeUtf8(std::string_view sText, size_t n, char32_t& ch) {
    const unsigned char lead = static_cast<unsigned char>(sText[n]);
    const size_t cbLength = lead < 0x80                    ? 1
                            : lead >= 0xC2 && lead < 0xE0 ? 2
                            : lead >= 0xE0 && lead < 0xF0 ? 3
                            : lead >= 0xF0 && lead < 0xF5 ? 4
                                                          : 0;
    if (cbLength == 0 || n + cbLength > sText.size()) return 0;
    ch = cbLength == 1 ? lead : cbLength == 2 ? lead & 0x1F : cbLength == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; k < cbLength; ++k) {
        const unsigned char next = static_cast<unsigned char>(sText[n + k]);
        if ((next & 0xC0) != 0x80) return 0;
        ch = ch << 6 | (next & 0x3F);
    }
    static const char32_t MINIMUM[] = {0, 0, 0x80, 0x800, 0x10000};
    if (ch < MINIMUM[cbLength] || ch > 0x10FFFF || (ch >= 0xD800 && ch < 0xE000)) return 0;
    return cbLength;
}

}  // namespace

void AppendUtf8(std::string& sOut, char32_t ch) {
    if (ch < 0x80) {
        sOut += static_cast<char>(ch);
    } else if (ch < 0x800) {
        sOut += static_cast<char>(0xC0 | (ch >> 6));
        sOut += static_cast<char>(0x80 | (ch & 0x3F));
    } else if (ch < 0x10000) {
        sOut += static_cast<char>(0xE0 | (ch >> 12));
        sOut += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        sOut += static_cast<char>(0x80 | (ch & 0x3F));
    } else {
        sOut += static_cast<char>(0xF0 | (ch >> 18));
        sOut += static_cast<char>(0x80 | ((ch >> 12) & 0x3F));
        sOut += static_cast<char>(0x80 | ((ch >> 6) & 0x3F));
        sOut += static_cast<char>(0x80 | (ch & 0x3F));
    }
}

bool IsValidUtf8(std::string_view sText) {
    char32_t ch;
    for (size_t n = 0; n < sText.size();) {
        const size_t cbLength = DecodeUtf8(sText, n, ch);
        if (cbLength == 0) return false;
        n += cbLength;
    }
    return true;
}

std::u16string Utf8ToUtf16(std::string_view sText) {
    // Never more units than bytes: written in place, cut to size at the end.
    std::u16string sOut(sText.size(), u'\0');
    size_t nOut = 0;
    for (size_t n = 0; n < sText.size();) {
        const auto lead = static_cast<unsigned char>(sText[n]);
        if (lead < 0x80) {
            sOut[nOut++] = lead;
            ++n;
            continue;
        }
        char32_t ch = 0;
        const size_t cbLength = DecodeUtf8(sText, n, ch);
        if (cbLength == 0) {
            sOut[nOut++] = static_cast<char16_t>(REPLACEMENT);
            ++n;
            continue;
        }
        if (ch >= 0x10000) {
            sOut[nOut++] = static_cast<char16_t>(0xD800 + ((ch - 0x10000) >> 10));
            sOut[nOut++] = static_cast<char16_t>(0xDC00 + ((ch - 0x10000) & 0x3FF));
        } else {
            sOut[nOut++] = static_cast<char16_t>(ch);
        }
        n += cbLength;
    }
    sOut.resize(nOut);
    return sOut;
}

std::string Utf16ToUtf8(std::u16string_view sText) {
    // The ASCII run at the start (often the whole text) is copied in one pass.
    size_t nAscii = 0;
    while (nAscii < sText.size() && sText[nAscii] < 0x80) ++nAscii;
    std::string sOut(nAscii, '\0');
    for (size_t n = 0; n < nAscii; ++n) sOut[n] = static_cast<char>(sText[n]);
    if (nAscii == sText.size()) return sOut;
    sOut.reserve(sText.size() + 8);
    for (size_t n = nAscii; n < sText.size(); ++n) {
        char32_t ch = sText[n];
        if (ch < 0x80) {
            sOut += static_cast<char>(ch);
            continue;
        }
        if (ch >= 0xD800 && ch < 0xDC00 && n + 1 < sText.size() && sText[n + 1] >= 0xDC00 && sText[n + 1] < 0xE000) {
            ch = 0x10000 + ((ch - 0xD800) << 10) + (sText[n + 1] - 0xDC00);
            ++n;
        } else if (ch >= 0xD800 && ch < 0xE000) {
            ch = REPLACEMENT;
        }
        AppendUtf8(sOut, ch);
    }
    return sOut;
}

bool IsValidUtf16(std::u16string_view sText) {
    for (size_t n = 0; n < sText.size(); ++n) {
        const char16_t ch = sText[n];
        if (ch >= 0xDC00 && ch <= 0xDFFF) return false;
        if (ch >= 0xD800 && ch <= 0xDBFF && (++n == sText.size() || sText[n] < 0xDC00 || sText[n] > 0xDFFF))
            return false;
    }
    return true;
}
