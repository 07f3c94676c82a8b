// Reads string tables out of a resource-only PE/COFF module held as data:
// the .rsrc directory, type 6 (string table), block id / 16 + 1, exact
// language. No code of the module is ever run.
#ifndef KX_PLATFORM_PE_RESOURCES_H
#define KX_PLATFORM_PE_RESOURCES_H

#include <cstdint>
#include <string>
#include <vector>

class CPeResources {
public:
    // False (sError set) when the bytes are not a PE image with a resource
    // directory inside the file, or when any part of its string tables (a
    // directory, a block, one of a block's sixteen strings) lies outside
    // the file: a module cut short is refused whole, not read in part.
    bool Parse(std::vector<uint8_t> image, std::string& sError);
    bool IsLoaded() const { return !m_image.empty(); }
    void Clear() { m_image.clear(); }

    // The string nId in language nLangId; false when the block, the language
    // or the entry is missing, or the entry is empty.
    bool FindString(uint32_t nId, uint16_t nLangId, std::u16string& sText) const;

private:
    // The file offset of an RVA, or false when it is outside every section.
    bool FileOffset(uint32_t nRva, uint32_t cbNeeded, size_t& nOffset) const;
    // The entry with the id in the resource directory at nDirectory (an
    // offset into .rsrc); its raw OffsetToData field.
    bool FindEntry(uint32_t nDirectory, uint32_t nId, uint32_t& nEntryData) const;
    // Every directory entry, block and string of the string tables is inside the file.
    bool ValidateStringTables(std::string& sError) const;
    // The same for one block: each language's data and its sixteen strings.
    bool ValidateBlock(uint32_t nBlock, uint32_t nBlockDirectory, std::string& sError) const;
    // Calls fn(name, data) for each entry of the resource directory at
    // nDirectory until it returns false; false when the directory lies
    // outside the file.
    template <class Fn>
    bool VisitDirectory(uint32_t nDirectory, Fn fn) const;
    // The file offset and size of a language's block; false when outside the file.
    bool BlockData(uint32_t nLanguageEntry, size_t& nData, uint32_t& cbData) const;
    bool Read16(size_t nOffset, uint16_t& nValue) const;
    bool Read32(size_t nOffset, uint32_t& nValue) const;

    struct CSection {
        uint32_t nVirtualAddress, nVirtualSize, nRawOffset, nRawSize;
    };
    std::vector<uint8_t> m_image;
    std::vector<CSection> m_sections;
    size_t m_nResourceOffset = 0;  // file offset of the resource directory
    uint32_t m_cbResource = 0;
};

#endif  // KX_PLATFORM_PE_RESOURCES_H
