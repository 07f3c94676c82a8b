#include "htmlparser/special_tags.h"

#include <algorithm>
#include <cstring>

#include "htmlparser/source.h"
#include "htmlparser/start_tag_types.h"
#include "htmlparser/sub_cache.h"
#include "htmlparser/tag.h"

namespace {

bool BeginsBefore(const CTag* pTag, Position nPos) { return pTag->getBegin() < nPos; }

}  // namespace

CSpecialTags::CSpecialTags(CSource* pSource, CSubCache& allTypes)
    : m_pSource(pSource), m_allTypes(allTypes), m_nScanned(pSource->getBegin()) {}

bool CSpecialTags::isSpecial(const CTagType* pType) {
    return pType == CStartTagTypeComment::instance() || pType == CStartTagTypeCDATASection::instance();
}

std::vector<CTag*>& CSpecialTags::listOf(const CTagType* pType) {
    return pType == CStartTagTypeComment::instance() ? m_comments : m_cdataSections;
}

Position CSpecialTags::nextOf(CMarkerSearch& search, const char* pszMarker, bool bExactBytes, Position nFrom) {
    // An earlier answer holds while the pass has not gone past it: nothing
    // lies between where that search began and what it found.
    if (search.nFrom != NO_POS && search.nFrom <= nFrom && (search.nFound == NO_POS || search.nFound >= nFrom))
        return search.nFound;
    const size_t cbMarker = std::strlen(pszMarker);
    Position nFound = m_pSource->findNext(pszMarker, nFrom);
    while (bExactBytes && nFound != NO_POS && std::memcmp(m_pSource->getText() + nFound, pszMarker, cbMarker) != 0)
        nFound = m_pSource->findNext(pszMarker, nFound + 1);
    search = CMarkerSearch{nFrom, nFound};
    return nFound;
}

Position CSpecialTags::nextCandidate(Position nFrom) {
    // The register matches "<![cdata[" byte for byte.
    return std::min(nextOf(m_commentSearch, "<!--", false, nFrom), nextOf(m_cdataSearch, "<![cdata[", true, nFrom));
}

bool CSpecialTags::scanNext() {
    if (m_nScanned >= m_pSource->getEnd()) return false;
    if (m_nCandidate == NO_POS || m_nCandidate < m_nScanned) m_nCandidate = nextCandidate(m_nScanned);
    const Position nAt = m_nCandidate;
    if (nAt == NO_POS) {
        m_nScanned = m_pSource->getEnd();
        return false;
    }
    // No special tag encloses nAt (the pass is past all that begin before
    // it), so recognising without the validity rule gives the same answer.
    CTag* pTag = m_allTypes.getTagAtKnown(nAt);
    if (pTag != nullptr && isSpecial(pTag->getTagType())) {
        listOf(pTag->getTagType()).push_back(pTag);
        m_nScanned = pTag->getEnd();
    } else {
        m_nScanned = nAt + 1;
    }
    return true;
}

void CSpecialTags::scanBefore(Position nPos) {
    while (m_nScanned < nPos) {
        if (m_nCandidate == NO_POS || m_nCandidate < m_nScanned) m_nCandidate = nextCandidate(m_nScanned);
        if (m_nCandidate == NO_POS || m_nCandidate >= nPos) {
            m_nScanned = m_nCandidate == NO_POS ? m_pSource->getEnd() : nPos;
            return;
        }
        scanNext();
    }
}

CTag* CSpecialTags::findPreviousOrNextTag(Position nPos, const CTagType* pType, bool bPrevious) {
    const std::vector<CTag*>& tags = listOf(pType);
    const Position nEnd = m_pSource->getEnd();
    if (bPrevious) {
        if (nPos == NO_POS || nEnd == m_pSource->getBegin()) return nullptr;
        const Position nStart = nPos >= nEnd ? nEnd - 1 : nPos;
        if (nStart < m_pSource->getBegin()) return nullptr;
        scanBefore(nStart + 1);
        const auto it = std::partition_point(tags.begin(), tags.end(), [&](const CTag* p) { return BeginsBefore(p, nStart + 1); });
        return it == tags.begin() ? nullptr : *std::prev(it);
    }
    if (nPos == NO_POS) return nullptr;
    const Position nStart = std::max(nPos, m_pSource->getBegin());
    while (true) {
        const auto it = std::partition_point(tags.begin(), tags.end(), [&](const CTag* p) { return BeginsBefore(p, nStart); });
        if (it != tags.end()) return *it;
        if (!scanNext()) return nullptr;
    }
}

bool CSpecialTags::encloses(const CTagType* pType, Position nPos) {
    if (nPos == 0 || !m_pSource->contains(nPos)) return false;
    const CTag* pTag = findPreviousOrNextTag(nPos - 1, pType, true);
    return pTag != nullptr && pTag->getEnd() > nPos;
}

void CSpecialTags::clear() {
    m_comments.clear();
    m_cdataSections.clear();
    m_nScanned = m_pSource->getBegin();
    m_nCandidate = NO_POS;
    m_commentSearch = CMarkerSearch{};
    m_cdataSearch = CMarkerSearch{};
}

void CSpecialTags::bulkLoad(const std::vector<CTag*>& tags) {
    clear();
    for (CTag* pTag : tags)
        if (isSpecial(pTag->getTagType())) listOf(pTag->getTagType()).push_back(pTag);
    m_nScanned = m_pSource->getEnd();
}
