#include "htmlparser/cache.h"

#include "htmlparser/source.h"
#include "htmlparser/tag.h"

CTag* CCache::getTagAt(Position nPos) {
    return m_pSource->m_bUseCacheForTagAt ? m_allTypes.getTagAt(nPos) : CTag::getTagAtUncached(m_pSource, nPos);
}

CTag* CCache::findPreviousOrNextTag(Position nPos, const CTagType* pTagType, bool bPrevious) {
    if (pTagType == nullptr && m_pSource->m_bUseCacheForTagAt) return m_allTypes.findPreviousOrNextTag(nPos, bPrevious);
    if (pTagType != nullptr && CSpecialTags::isSpecial(pTagType))
        return m_specialTags.findPreviousOrNextTag(nPos, pTagType, bPrevious);
    return CTag::findPreviousOrNextTagUncached(m_pSource, nPos, pTagType, bPrevious, NO_POS);
}

void CCache::clear() {
    m_allTypes.clear();
    m_specialTags.clear();
}

void CCache::bulkLoad(const std::vector<CTag*>& tags) {
    m_allTypes.bulkLoad(tags);
    m_specialTags.bulkLoad(tags);
}
