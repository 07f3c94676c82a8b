#include "htmlparser/cache.h"

#include "htmlparser/source.h"
#include "htmlparser/tag.h"

// Every answer is computed afresh for now; remembering them must not change them.
CTag* CCache::getTagAt(Position nPos) { return CTag::getTagAtUncached(m_pSource, nPos); }

CTag* CCache::findPreviousOrNextTag(Position nPos, const CTagType* pTagType, bool bPrevious) {
    return CTag::findPreviousOrNextTagUncached(m_pSource, nPos, pTagType, bPrevious, NO_POS);
}
