// Comments and CDATA sections, inside which no other tag is recognised.
// They are found by one forward pass that advances only as far as a
// question needs: every special tag that begins before the pass's position
// is listed, so deciding whether a position lies inside one is a look-up,
// not a chain of backward searches.
#ifndef KX_HTMLPARSER_SPECIAL_TAGS_H
#define KX_HTMLPARSER_SPECIAL_TAGS_H

#include <vector>

#include "htmlparser/position.h"

class CSource;
class CSubCache;
class CTag;
class CTagType;

class CSpecialTags {
public:
    CSpecialTags(CSource* pSource, CSubCache& allTypes);
    CSpecialTags(const CSpecialTags&) = delete;
    CSpecialTags& operator=(const CSpecialTags&) = delete;

    // Whether pType is a special type (comment or CDATA section).
    static bool isSpecial(const CTagType* pType);
    // The nearest tag of the special type at or after (at or before) nPos.
    CTag* findPreviousOrNextTag(Position nPos, const CTagType* pType, bool bPrevious);
    // Whether a tag of the special type begins before nPos and ends after it.
    bool encloses(const CTagType* pType, Position nPos);

    void clear();
    // The special tags of a full parse; the pass is then complete.
    void bulkLoad(const std::vector<CTag*>& tags);

private:
    std::vector<CTag*>& listOf(const CTagType* pType);
    // Advances the pass until every special tag beginning before nPos is listed.
    void scanBefore(Position nPos);
    // Lists the next special tag, or moves to the end; false at the end.
    bool scanNext();
    // One marker's search from the pass's position: where it began and what it found.
    struct CMarkerSearch {
        Position nFrom = NO_POS;
        Position nFound = NO_POS;
    };
    // The next marker at or after nFrom, searching again only when the pass
    // has gone past the last answer; each marker's searches together read
    // the page once.
    Position nextOf(CMarkerSearch& search, const char* pszMarker, bool bExactBytes, Position nFrom);
    Position nextCandidate(Position nFrom);

    CSource* m_pSource;
    CSubCache& m_allTypes;
    std::vector<CTag*> m_comments;
    std::vector<CTag*> m_cdataSections;
    Position m_nScanned;  // every special tag beginning before this is listed
    Position m_nCandidate = NO_POS;  // the next "<!--" or "<![cdata[" at or after m_nScanned, when known
    CMarkerSearch m_commentSearch;
    CMarkerSearch m_cdataSearch;
};

#endif  // KX_HTMLPARSER_SPECIAL_TAGS_H
