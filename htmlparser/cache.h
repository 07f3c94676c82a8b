// The tag cache of a source. Answers the two primitive questions of every
// search, the tag at a position and the nearest tag of a type, remembering
// each answer (negative ones too) so that no position is recognised twice.
// It never changes an answer of the uncached operations.
#ifndef KX_HTMLPARSER_CACHE_H
#define KX_HTMLPARSER_CACHE_H

#include <vector>

#include "htmlparser/position.h"
#include "htmlparser/special_tags.h"
#include "htmlparser/sub_cache.h"

class CSource;
class CTag;
class CTagType;

class CCache {
public:
    explicit CCache(CSource* pSource) : m_pSource(pSource), m_allTypes(pSource), m_specialTags(pSource, m_allTypes) {}
    CCache(const CCache&) = delete;
    CCache& operator=(const CCache&) = delete;

    CTag* getTagAt(Position nPos);
    // A null type means any registered type.
    CTag* findPreviousOrNextTag(Position nPos, const CTagType* pTagType, bool bPrevious);

    bool hasEntries() const { return !m_allTypes.isEmpty(); }
    void clear();
    // Every tag of a full parse (unregistered ones included), in order.
    void bulkLoad(const std::vector<CTag*>& tags);

private:
    CSource* m_pSource;
    CSubCache m_allTypes;
    CSpecialTags m_specialTags;
};

#endif  // KX_HTMLPARSER_CACHE_H
