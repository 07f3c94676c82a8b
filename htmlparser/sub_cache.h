// What is known about the tags of a source, position by position: an entry
// per position already examined (the tag that begins there, or none), and
// per gap between two entries whether it is known to hold no tag at all.
// After a full parse everything is known: the tags are then kept in two
// flat arrays in document order and answered by binary search.
#ifndef KX_HTMLPARSER_SUB_CACHE_H
#define KX_HTMLPARSER_SUB_CACHE_H

#include <cstdint>
#include <map>
#include <memory_resource>
#include <vector>

#include "htmlparser/position.h"

class CSource;
class CTag;

class CSubCache {
public:
    explicit CSubCache(CSource* pSource);
    CSubCache(const CSubCache&) = delete;
    CSubCache& operator=(const CSubCache&) = delete;

    // The tag at nPos, recognising it once.
    CTag* getTagAt(Position nPos) { return lookup(nPos, false); }
    // The same where no comment or CDATA section can enclose nPos, so that
    // the validity rule need not be asked.
    CTag* getTagAtKnown(Position nPos) { return lookup(nPos, true); }
    // The nearest registered tag at or after (at or before) nPos.
    CTag* findPreviousOrNextTag(Position nPos, bool bPrevious);
    // Records what was recognised at nPos (a tag or none) if not yet known.
    void record(Position nPos, CTag* pTag);

    bool isEmpty() const { return m_bFlat ? m_flatPositions.empty() : m_entries.empty(); }
    void clear();
    // Every tag of a full parse, in document order; every gap is complete.
    void bulkLoad(const std::vector<CTag*>& tags);

private:
    struct CEntry {
        CTag* pTag;
        bool bGapAfterComplete;  // no tag begins between this entry and the next
    };
    using Map = std::pmr::map<Position, CEntry>;

    CTag* lookup(Position nPos, bool bAssumeNoNestedTags);
    // The first entry at or after nPos. Searches step through a page, so
    // the entry found last is tried first, with its neighbours; a walk over
    // the page then costs no tree search per step.
    Map::iterator lowerBound(Position nPos);
    Map::iterator find(Position nPos) {
        const auto it = lowerBound(nPos);
        return it != m_entries.end() && it->first == nPos ? it : m_entries.end();
    }
    bool isRegistered(const CTag* pTag) const;
    // The gap flag to the right of an entry, or of the bottom marker.
    bool& gapAfter(Map::iterator itLeft) { return itLeft == m_entries.end() ? m_bBottomGapComplete : itLeft->second.bGapAfterComplete; }
    // The entry before it, or end() for the bottom marker.
    Map::iterator leftOf(Map::iterator it) { return it == m_entries.begin() ? m_entries.end() : std::prev(it); }
    // Ensures an entry at nPos, known to hold no registered tag.
    Map::iterator entryAt(Position nPos);
    // Marks complete every gap from the entry at nFrom (or the bottom marker
    // when nFrom is NO_POS) up to the next entry at or after nTo.
    void markComplete(Position nFrom, Position nTo);
    CTag* findNext(Position nPos);
    CTag* findPrevious(Position nPos);

    // The flat arrays' index of the first tag at or after nPos.
    size_t flatIndexAtOrAfter(Position nPos) const;
    // The page is cut in buckets of this many bytes; each knows the index of
    // the first tag at or after its start, so finding an index reads a
    // bucket and the few tags beginning inside it.
    static constexpr unsigned BUCKET_BITS = 6;

    CSource* m_pSource;
    std::pmr::monotonic_buffer_resource m_memory;
    Map m_entries{&m_memory};
    Map::iterator m_finger = m_entries.end();  // the entry found last
    bool m_bBottomGapComplete = false;
    bool m_bFlat = false;  // loaded from a full parse: only the flat arrays are used
    std::vector<Position> m_flatPositions;
    std::vector<CTag*> m_flatTags;
    std::vector<uint32_t> m_flatBuckets;
};

#endif  // KX_HTMLPARSER_SUB_CACHE_H
