// The parsed document: the caller's buffer, borrowed and never copied, and
// the span of it that holds HTML. Owns every parser object made on it.
#ifndef KX_HTMLPARSER_SOURCE_H
#define KX_HTMLPARSER_SOURCE_H

#include <array>
#include <deque>
#include <memory>
#include <new>
#include <span>
#include <type_traits>
#include <utility>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htmlparser/cache.h"
#include "htmlparser/id_index.h"
#include "htmlparser/segment.h"
#include "htmlparser/segment_arena.h"

class CAttribute;
class CTag;
class CStartTag;

class CSource : public CSegment {
public:
    // The HTML is [nHtmlDataBeginPos, nDataLength) of pText; null (after its
    // trace lines) when the span is invalid.
    static CSource* CREATE_NEW_INT(const char* pText, Position nHtmlDataBeginPos, Position nDataLength);
    ~CSource() override;

    // The top-level elements, each with its subtree and parents (depth 0 at the top).
    const std::vector<CElement*>& getChildElements() override;

    const char* getText() const { return m_pText; }
    bool contains(Position nPos) const { return nPos >= m_nBegin && nPos < m_nEnd; }

    // Up to nCount bytes at nPos; "" (with a trace line) when nPos is outside.
    std::string substring(Position nPos, Position nCount) const;
    void substring(Position nPos, Position nCount, std::string& sOut) const;
    std::string_view view(Position nBegin, Position nEnd) const { return {m_pText + nBegin, nEnd - nBegin}; }

    // End of the name starting at nPos, or NO_POS when no name starts there.
    Position getNameEnd(Position nPos) const;
    static bool isNameStartChar(unsigned char ch);
    static bool isNameChar(unsigned char ch);
    static bool isXMLName(std::string_view sName);

    // Case-insensitive searches; NO_POS when nothing is found.
    // First ch in [nPos, nPos + nCount), clipped to the source.
    Position findNextChar(char ch, Position nPos, Position nCount) const;
    // Last ch in [nPos - nCount + 1, nPos], clipped to the source.
    Position findPreviousChar(char ch, Position nPos, Position nCount) const;
    // First occurrence starting at or after nPos that ends inside the source.
    Position findNext(std::string_view sText, Position nPos) const;
    // The same, starting before nLimit (NO_POS: anywhere); the text from
    // the limit on is not searched.
    Position findNext(std::string_view sText, Position nPos, Position nLimit) const;
    // Last occurrence starting at or before nPos and above nLimit (when the
    // limit lies inside the source), else at or above the source begin.
    Position findPrevious(std::string_view sText, Position nPos, Position nLimit = NO_POS) const;
    // Whether the text at nPos starts with sText, which must end by nEnd.
    bool startsWith(std::string_view sText, Position nPos, Position nEnd) const;

    // Parses the whole document once and fills the cache; returns all
    // registered tags in document order.
    const std::vector<CTag*>& fullSequentialParse();
    const std::vector<CTag*>& getAllTags() const { return m_vAllTags; }
    const std::vector<CStartTag*>& getAllStartTags() const { return m_vAllStartTags; }
    // The registered tags of a full parse, each given its tag index.
    void setAllTags(const std::vector<CTag*>& tags, size_t nRegistered, size_t nStartTags);

    CCache& getCache() { return m_Cache; }
    CIdIndex& getIdIndex() { return m_idIndex; }
    // Answers of scans whose outcome depends only on where they stand and in
    // which state; keyed by the scanner.
    std::unordered_map<uint64_t, Position>& getScanMemo() { return m_scanMemo; }
    bool m_bUseCacheForTagAt = true;
    bool m_bUseCacheForFind = true;
    // End of the last tag accepted during a full sequential parse.
    Position m_nEndOfLastTag = NO_POS;

    // Makes a parser object in the source's arena; the source destroys it.
    // It is registered only once fully constructed.
    template <class T, class... Args>
    T* make(Args&&... args) {
        void* pStorage = m_arena.Allocate(sizeof(T), alignof(T));
        T* pObject = ::new (pStorage) T(this, std::forward<Args>(args)...);
        try {
            m_vOwnedSegments.push_back(pObject);
        } catch (...) {
            pObject->~T();
            throw;
        }
        return pObject;
    }
    size_t ownedSegmentCount() const { return m_vOwnedSegments.size(); }
    // A copy of the items in the source's arena, for the lists of parser objects.
    template <class T>
    std::span<T> copyToArena(const std::vector<T>& items) {
        static_assert(std::is_trivially_destructible_v<T>, "the arena runs no destructor");
        if (items.empty()) return {};
        T* pItems = static_cast<T*>(m_arena.Allocate(sizeof(T) * items.size(), alignof(T)));
        std::uninitialized_copy(items.begin(), items.end(), pItems);
        return {pItems, items.size()};
    }
    // A list the attribute parser fills and hands back empty; reused so that
    // parsing a tag allocates no list of its own.
    std::vector<CAttribute*> takeAttributeList() { return std::move(m_vAttributeList); }
    void returnAttributeList(std::vector<CAttribute*>&& vList) {
        vList.clear();
        m_vAttributeList = std::move(vList);
    }

private:
    friend class CSegment;
    CSource(const char* pText, Position nBegin, Position nEnd);

    // The last answer of a search that ran to the source end (forward) or to
    // its begin (backward), per pattern. A later search starting between the
    // last start and its answer has the same answer, so the searches that
    // step through a document one tag at a time do not rescan its rest.
    struct CSearchMemo {
        Position nFrom = NO_POS;  // none yet
        Position nFound = NO_POS;
    };
    // Looked up by the pattern's view, without making a string.
    struct CPatternHash {
        using is_transparent = void;
        size_t operator()(std::string_view sText) const { return std::hash<std::string_view>{}(sText); }
    };
    using CSearchMemos = std::unordered_map<std::string, CSearchMemo, CPatternHash, std::equal_to<>>;
    Position memoised(CSearchMemos& memo, std::string_view sText, Position nFrom,
                      bool bForward, Position (*pfnSearch)(const CSource&, std::string_view, Position)) const;

    const char* m_pText;
    mutable CSearchMemos m_forwardSearches;
    mutable CSearchMemos m_backwardSearches;
    // Single characters, the most frequent patterns, by their folded byte.
    mutable std::array<CSearchMemo, 256> m_forwardCharSearches;
    mutable std::array<CSearchMemo, 256> m_backwardCharSearches;
    std::unordered_map<uint64_t, Position> m_scanMemo;
    CCache m_Cache;
    CIdIndex m_idIndex;
    CSegmentArena m_arena;
    std::vector<CTag*> m_vAllTags;
    bool m_bAllTagsSet = false;
    std::vector<CStartTag*> m_vAllStartTags;
    bool m_bAllStartTagsSet = false;
    std::deque<CSegment*> m_vOwnedSegments;  // grows without copying itself
    std::vector<CAttribute*> m_vAttributeList;
    bool m_bFullSequentialParseDone = false;
};

#endif  // KX_HTMLPARSER_SOURCE_H
