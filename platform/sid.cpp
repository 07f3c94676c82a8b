#include "platform/sid.h"

#include <charconv>
#include <cstdio>

namespace {

constexpr size_t MAX_SUB_AUTHORITIES = 15;
constexpr uint64_t MAX_AUTHORITY = (uint64_t{1} << 48) - 1;

// A decimal (or, when bHexAllowed, 0x-prefixed hex) number filling the whole field.
bool ParseField(std::string_view sField, uint64_t nMax, bool bHexAllowed, uint64_t& nValue) {
    int nBase = 10;
    if (bHexAllowed && sField.size() > 2 && sField[0] == '0' && (sField[1] == 'x' || sField[1] == 'X')) {
        sField.remove_prefix(2);
        nBase = 16;
    }
    if (sField.empty()) return false;
    const auto [pEnd, error] = std::from_chars(sField.data(), sField.data() + sField.size(), nValue, nBase);
    return error == std::errc() && pEnd == sField.data() + sField.size() && nValue <= nMax;
}

}  // namespace

bool ParseSidString(std::string_view sText, CSid& sid) {
    if (sText.size() < 2 || (sText[0] != 'S' && sText[0] != 's') || sText[1] != '-') return false;
    sText.remove_prefix(2);
    std::vector<std::string_view> fields;
    for (size_t nDash; (nDash = sText.find('-')) != std::string_view::npos; sText.remove_prefix(nDash + 1))
        fields.push_back(sText.substr(0, nDash));
    fields.push_back(sText);
    if (fields.size() < 3 || fields.size() > 2 + MAX_SUB_AUTHORITIES) return false;
    CSid parsed;
    uint64_t nValue = 0;
    if (!ParseField(fields[0], 1, false, nValue) || nValue != 1) return false;
    parsed.nRevision = 1;
    if (!ParseField(fields[1], MAX_AUTHORITY, true, parsed.nAuthority)) return false;
    for (size_t n = 2; n < fields.size(); ++n) {
        if (!ParseField(fields[n], UINT32_MAX, false, nValue)) return false;
        parsed.subAuthorities.push_back(static_cast<uint32_t>(nValue));
    }
    sid = std::move(parsed);
    return true;
}

std::string FormatSid(const CSid& sid) {
    char szAuthority[32];
    if (sid.nAuthority >= (uint64_t{1} << 32))
        std::snprintf(szAuthority, sizeof(szAuthority), "0x%012llX", static_cast<unsigned long long>(sid.nAuthority));
    else
        std::snprintf(szAuthority, sizeof(szAuthority), "%llu", static_cast<unsigned long long>(sid.nAuthority));
    std::string sText = "S-";
    sText.append(std::to_string(sid.nRevision)).append("-").append(szAuthority);
    for (uint32_t nSub : sid.subAuthorities) sText.append("-").append(std::to_string(nSub));
    return sText;
}

bool SidFromBytes(const uint8_t* pBytes, size_t cbBytes, CSid& sid) {
    if (cbBytes < 8 || pBytes[1] > MAX_SUB_AUTHORITIES || cbBytes != 8 + 4 * size_t{pBytes[1]}) return false;
    sid.nRevision = pBytes[0];
    sid.nAuthority = 0;
    for (size_t n = 2; n < 8; ++n) sid.nAuthority = (sid.nAuthority << 8) | pBytes[n];
    sid.subAuthorities.clear();
    for (size_t n = 8; n < cbBytes; n += 4)
        sid.subAuthorities.push_back(uint32_t{pBytes[n]} | uint32_t{pBytes[n + 1]} << 8 | uint32_t{pBytes[n + 2]} << 16 |
                                     uint32_t{pBytes[n + 3]} << 24);
    return true;
}

std::vector<uint8_t> SidToBytes(const CSid& sid) {
    std::vector<uint8_t> bytes{sid.nRevision, static_cast<uint8_t>(sid.subAuthorities.size())};
    for (int nShift = 40; nShift >= 0; nShift -= 8) bytes.push_back(static_cast<uint8_t>(sid.nAuthority >> nShift));
    for (uint32_t nSub : sid.subAuthorities)
        for (int nShift = 0; nShift < 32; nShift += 8) bytes.push_back(static_cast<uint8_t>(nSub >> nShift));
    return bytes;
}
