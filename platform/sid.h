// Security identifiers and their string form ("S-1-5-21-...").
#ifndef KX_PLATFORM_SID_H
#define KX_PLATFORM_SID_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct CSid {
    uint8_t nRevision = 1;
    uint64_t nAuthority = 0;  // 48 bits
    std::vector<uint32_t> subAuthorities;  // at most 15
    bool operator==(const CSid&) const = default;
};

// "S-R-A-S1-S2-...": revision 1, authority decimal (or 0x-prefixed hex)
// below 2^48, one to fifteen decimal 32-bit sub-authorities. False for
// anything else.
bool ParseSidString(std::string_view sText, CSid& sid);
std::string FormatSid(const CSid& sid);

// The binary form: revision, sub-authority count, 48-bit authority (big
// endian), 32-bit sub-authorities (little endian). False when the bytes are
// not exactly one SID.
bool SidFromBytes(const uint8_t* pBytes, size_t cbBytes, CSid& sid);
std::vector<uint8_t> SidToBytes(const CSid& sid);

#endif  // KX_PLATFORM_SID_H
