#include "platform/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace {

constexpr uint32_t RT_STRING = 6;
constexpr uint32_t SUBDIRECTORY = 0x80000000u;
constexpr uint16_t PE32_PLUS = 0x20B;
constexpr uint16_t PE32 = 0x10B;
constexpr uint32_t RESOURCE_DIRECTORY_INDEX = 2;
constexpr size_t MAX_SECTIONS = 96;
constexpr size_t MAX_DIRECTORY_ENTRIES = 4096;

bool Fail(std::string& sError, std::string sWhy) {
    sError = std::move(sWhy);
    return false;
}

}  // namespace

bool CPeResources::Read16(size_t nOffset, uint16_t& nValue) const {
    if (nOffset > m_image.size() || m_image.size() - nOffset < 2) return false;
    nValue = static_cast<uint16_t>(m_image[nOffset] | m_image[nOffset + 1] << 8);
    return true;
}

bool CPeResources::Read32(size_t nOffset, uint32_t& nValue) const {
    if (nOffset > m_image.size() || m_image.size() - nOffset < 4) return false;
    nValue = static_cast<uint32_t>(m_image[nOffset]) | static_cast<uint32_t>(m_image[nOffset + 1]) << 8 |
             static_cast<uint32_t>(m_image[nOffset + 2]) << 16 | static_cast<uint32_t>(m_image[nOffset + 3]) << 24;
    return true;
}

bool CPeResources::FileOffset(uint32_t nRva, uint32_t cbNeeded, size_t& nOffset) const {
    for (const CSection& section : m_sections) {
        const uint64_t nStart = section.nVirtualAddress;
        const uint64_t nSize = std::min(section.nVirtualSize == 0 ? section.nRawSize : section.nVirtualSize, section.nRawSize);
        if (nRva < nStart || static_cast<uint64_t>(nRva) + cbNeeded > nStart + nSize) continue;
        const uint64_t nFile = static_cast<uint64_t>(section.nRawOffset) + (nRva - nStart);
        if (nFile + cbNeeded > m_image.size()) return false;
        nOffset = static_cast<size_t>(nFile);
        return true;
    }
    return false;
}

bool CPeResources::Parse(std::vector<uint8_t> image, std::string& sError) {
    m_image = std::move(image);
    m_sections.clear();
    auto fail = [&](const char* pszWhy) {
        m_image.clear();
        m_sections.clear();
        sError = pszWhy;
        return false;
    };
    uint16_t nMagic = 0, nSections = 0, cbOptional = 0, nOptionalMagic = 0;
    uint32_t nPeOffset = 0, nSignature = 0;
    if (!Read16(0, nMagic) || nMagic != 0x5A4D) return fail("no MZ header");
    if (!Read32(0x3C, nPeOffset) || !Read32(nPeOffset, nSignature) || nSignature != 0x00004550) return fail("no PE header");
    const size_t nCoff = static_cast<size_t>(nPeOffset) + 4;
    if (!Read16(nCoff + 2, nSections) || !Read16(nCoff + 16, cbOptional)) return fail("truncated COFF header");
    const size_t nOptional = nCoff + 20;
    if (!Read16(nOptional, nOptionalMagic) || (nOptionalMagic != PE32_PLUS && nOptionalMagic != PE32))
        return fail("unknown optional header");
    const size_t nDirectories = nOptional + (nOptionalMagic == PE32_PLUS ? 112 : 96);
    uint32_t nDirectoryCount = 0, nResourceRva = 0;
    const size_t nCountField = nOptional + (nOptionalMagic == PE32_PLUS ? 108 : 92);
    if (!Read32(nCountField, nDirectoryCount) || nDirectoryCount <= RESOURCE_DIRECTORY_INDEX ||
        !Read32(nDirectories + 8 * RESOURCE_DIRECTORY_INDEX, nResourceRva) ||
        !Read32(nDirectories + 8 * RESOURCE_DIRECTORY_INDEX + 4, m_cbResource) || nResourceRva == 0)
        return fail("no resource directory");
    if (nSections > MAX_SECTIONS) return fail("too many sections");
    const size_t nSectionTable = nOptional + cbOptional;
    for (size_t n = 0; n < nSections; ++n) {
        const size_t nEntry = nSectionTable + 40 * n;
        CSection section{};
        if (!Read32(nEntry + 8, section.nVirtualSize) || !Read32(nEntry + 12, section.nVirtualAddress) ||
            !Read32(nEntry + 16, section.nRawSize) || !Read32(nEntry + 20, section.nRawOffset))
            return fail("truncated section table");
        m_sections.push_back(section);
    }
    if (!FileOffset(nResourceRva, 16, m_nResourceOffset)) return fail("resource directory outside the file");
    std::string sWhy;
    if (!ValidateStringTables(sWhy)) return fail(sWhy.c_str());
    return true;
}

template <class Fn>
bool CPeResources::VisitDirectory(uint32_t nDirectory, Fn fn) const {
    const size_t nBase = m_nResourceOffset + nDirectory;
    uint16_t nNamed = 0, nIds = 0;
    if (nDirectory > m_cbResource || !Read16(nBase + 12, nNamed) || !Read16(nBase + 14, nIds)) return false;
    const size_t nEntries = static_cast<size_t>(nNamed) + nIds;
    if (nEntries > MAX_DIRECTORY_ENTRIES) return false;
    for (size_t n = 0; n < nEntries; ++n) {
        uint32_t nName = 0, nData = 0;
        if (!Read32(nBase + 16 + 8 * n, nName) || !Read32(nBase + 20 + 8 * n, nData)) return false;
        if (!fn(nName, nData)) return true;
    }
    return true;
}

bool CPeResources::BlockData(uint32_t nLanguageEntry, size_t& nData, uint32_t& cbData) const {
    uint32_t nDataRva = 0;
    return nLanguageEntry <= m_cbResource && Read32(m_nResourceOffset + nLanguageEntry, nDataRva) &&
           Read32(m_nResourceOffset + nLanguageEntry + 4, cbData) && FileOffset(nDataRva, cbData, nData);
}

bool CPeResources::ValidateBlock(uint32_t nBlock, uint32_t nBlockDirectory, std::string& sError) const {
    const std::string sBlock = "string block " + std::to_string(nBlock);
    bool bValid = (nBlockDirectory & SUBDIRECTORY) != 0;
    const bool bRead = bValid && VisitDirectory(nBlockDirectory & ~SUBDIRECTORY, [&](uint32_t nLanguage, uint32_t nEntry) {
        const std::string sWhere = sBlock + " language " + std::to_string(nLanguage);
        size_t nData = 0;
        uint32_t cbData = 0;
        if ((nEntry & SUBDIRECTORY) != 0 || !BlockData(nEntry, nData, cbData))
            return bValid = Fail(sError, sWhere + ": outside the file");
        const size_t nEnd = nData + cbData;
        for (int n = 0; n < 16; ++n) {
            uint16_t cchEntry = 0;
            if (nData + 2 > nEnd || !Read16(nData, cchEntry) || nData + 2 + 2ull * cchEntry > nEnd)
                return bValid = Fail(sError, sWhere + ": string " + std::to_string(n) + " cut short");
            nData += 2 + 2ull * cchEntry;
        }
        return true;
    });
    return bValid && (bRead || Fail(sError, sBlock + ": directory cut short"));
}

bool CPeResources::ValidateStringTables(std::string& sError) const {
    if (!VisitDirectory(0, [](uint32_t, uint32_t) { return true; })) return Fail(sError, "resource directory cut short");
    uint32_t nTypeDirectory = 0;
    if (!FindEntry(0, RT_STRING, nTypeDirectory) || (nTypeDirectory & SUBDIRECTORY) == 0)
        return Fail(sError, "no string table");
    bool bValid = true;
    const bool bRead = VisitDirectory(nTypeDirectory & ~SUBDIRECTORY, [&](uint32_t nBlock, uint32_t nBlockDirectory) {
        return bValid = ValidateBlock(nBlock, nBlockDirectory, sError);
    });
    return bValid && (bRead || Fail(sError, "string table directory cut short"));
}

bool CPeResources::FindEntry(uint32_t nDirectory, uint32_t nId, uint32_t& nEntryData) const {
    bool bFound = false;
    const bool bRead = VisitDirectory(nDirectory, [&](uint32_t nName, uint32_t nData) {
        bFound = (nName & SUBDIRECTORY) == 0 && nName == nId;
        if (bFound) nEntryData = nData;
        return !bFound;
    });
    return bRead && bFound;
}

bool CPeResources::FindString(uint32_t nId, uint16_t nLangId, std::u16string& sText) const {
    if (m_image.empty()) return false;
    uint32_t nTypeDirectory = 0, nBlockDirectory = 0, nLanguageEntry = 0;
    if (!FindEntry(0, RT_STRING, nTypeDirectory) || (nTypeDirectory & SUBDIRECTORY) == 0) return false;
    if (!FindEntry(nTypeDirectory & ~SUBDIRECTORY, nId / 16 + 1, nBlockDirectory) ||
        (nBlockDirectory & SUBDIRECTORY) == 0)
        return false;
    if (!FindEntry(nBlockDirectory & ~SUBDIRECTORY, nLangId, nLanguageEntry) || (nLanguageEntry & SUBDIRECTORY) != 0)
        return false;
    uint32_t cbData = 0;
    size_t nData = 0;
    if (!BlockData(nLanguageEntry, nData, cbData)) return false;
    const size_t nEnd = nData + cbData;
    size_t nPos = nData;
    for (uint32_t n = 0; n <= nId % 16; ++n) {
        uint16_t cchEntry = 0;
        if (nPos + 2 > nEnd || !Read16(nPos, cchEntry)) return false;
        nPos += 2;
        if (nPos + 2ull * cchEntry > nEnd) return false;
        if (n == nId % 16) {
            if (cchEntry == 0) return false;  // an empty entry counts as missing
            sText.resize(cchEntry);
            for (uint16_t k = 0; k < cchEntry; ++k) {
                uint16_t nUnit = 0;
                Read16(nPos + 2ull * k, nUnit);
                sText[k] = static_cast<char16_t>(nUnit);
            }
            return true;
        }
        nPos += 2ull * cchEntry;
    }
    return false;
}
