// The tag cache of a source. Answers the two primitive questions of every
// search: the tag at a position, and the nearest tag of a type.
#ifndef KX_HTMLPARSER_CACHE_H
#define KX_HTMLPARSER_CACHE_H

#include "htmlparser/position.h"

class CSource;
class CTag;
class CTagType;

class CCache {
public:
    explicit CCache(CSource* pSource) : m_pSource(pSource) {}
    CCache(const CCache&) = delete;
    CCache& operator=(const CCache&) = delete;

    CTag* getTagAt(Position nPos);
    CTag* findPreviousOrNextTag(Position nPos, const CTagType* pTagType, bool bPrevious);

private:
    CSource* m_pSource;
};

#endif  // KX_HTMLPARSER_CACHE_H
