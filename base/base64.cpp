#include "base/base64.h"

#include <cstdint>

std::string EncodeBase64(std::string_view sBytes) {
    static constexpr char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string sText;
    sText.reserve((sBytes.size() + 2) / 3 * 4);
    for (size_t n = 0; n < sBytes.size(); n += 3) {
        const size_t nLeft = sBytes.size() - n;
        uint32_t nGroup = static_cast<unsigned char>(sBytes[n]) << 16;
        if (nLeft > 1) nGroup |= static_cast<unsigned char>(sBytes[n + 1]) << 8;
        if (nLeft > 2) nGroup |= static_cast<unsigned char>(sBytes[n + 2]);
        sText += ALPHABET[nGroup >> 18 & 63];
        sText += ALPHABET[nGroup >> 12 & 63];
        sText += nLeft > 1 ? ALPHABET[nGroup >> 6 & 63] : '=';
        sText += nLeft > 2 ? ALPHABET[nGroup & 63] : '=';
    }
    return sText;
}
