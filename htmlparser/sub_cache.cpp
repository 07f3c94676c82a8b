#include "htmlparser/sub_cache.h"

#include <algorithm>

#include "htmlparser/source.h"
#include "htmlparser/tag.h"
#include "htmlparser/tag_type.h"

CSubCache::CSubCache(CSource* pSource) : m_pSource(pSource) {}

bool CSubCache::isRegistered(const CTag* pTag) const { return pTag != nullptr && !pTag->isUnregistered(); }

size_t CSubCache::flatIndexAtOrAfter(Position nPos) const {
    const Position nBegin = m_pSource->getBegin();
    if (nPos <= nBegin) return 0;
    const Position nBucket = (nPos - nBegin) >> BUCKET_BITS;
    if (nBucket >= m_flatBuckets.size()) return m_flatPositions.size();
    size_t n = m_flatBuckets[nBucket];
    while (n < m_flatPositions.size() && m_flatPositions[n] < nPos) ++n;
    return n;
}

void CSubCache::record(Position nPos, CTag* pTag) {
    if (m_bFlat) return;  // everything is known
    const auto itRight = lowerBound(nPos);
    if (itRight != m_entries.end() && itRight->first == nPos) return;
    const auto itLeft = leftOf(itRight);
    const Position nRight = itRight == m_entries.end() ? m_pSource->getEnd() : itRight->first;
    // A new entry splits its gap; a gap that held no tag still holds none.
    const CEntry entry{pTag, gapAfter(itLeft) || nRight == nPos + 1};
    if (itLeft == m_entries.end() ? nPos == m_pSource->getBegin() : itLeft->first + 1 == nPos) gapAfter(itLeft) = true;
    m_finger = m_entries.emplace_hint(itRight, nPos, entry);
}

CTag* CSubCache::lookup(Position nPos, bool bAssumeNoNestedTags) {
    if (!m_pSource->contains(nPos)) return nullptr;
    if (m_bFlat) {
        const size_t n = flatIndexAtOrAfter(nPos);
        return n < m_flatPositions.size() && m_flatPositions[n] == nPos ? m_flatTags[n] : nullptr;
    }
    const auto it = lowerBound(nPos);
    if (it != m_entries.end() && it->first == nPos) return it->second.pTag;
    if (gapAfter(leftOf(it))) return nullptr;
    record(nPos, CTagType::getTagAt(m_pSource, nPos, bAssumeNoNestedTags));
    return find(nPos)->second.pTag;  // what was recorded first, should recognition have recorded it
}

CSubCache::Map::iterator CSubCache::lowerBound(Position nPos) {
    constexpr int STEPS = 2;
    auto it = m_finger;
    if (it != m_entries.end() && it->first <= nPos) {
        // Every entry before the finger lies below nPos.
        for (int n = 0; n < STEPS && it != m_entries.end() && it->first < nPos; ++n) ++it;
        if (it == m_entries.end() || it->first >= nPos) return it == m_entries.end() ? it : m_finger = it;
    } else if (it != m_entries.end()) {
        // The answer is the finger or an entry before it.
        for (int n = 0; n < STEPS; ++n) {
            if (it == m_entries.begin() || std::prev(it)->first < nPos) return m_finger = it;
            --it;
        }
    }
    it = m_entries.lower_bound(nPos);
    if (it != m_entries.end()) m_finger = it;
    return it;
}

CSubCache::Map::iterator CSubCache::entryAt(Position nPos) {
    auto it = find(nPos);
    if (it != m_entries.end()) return it;
    if (m_pSource->getText()[nPos] == '<')
        getTagAt(nPos);
    else
        record(nPos, nullptr);  // no tag begins without a '<'
    return find(nPos);
}

void CSubCache::markComplete(Position nFrom, Position nTo) {
    if (nFrom != NO_POS && nFrom >= nTo) return;
    auto it = nFrom == NO_POS ? m_entries.end() : find(nFrom);
    gapAfter(it) = true;
    for (it = it == m_entries.end() ? m_entries.begin() : std::next(it); it != m_entries.end() && it->first < nTo; ++it)
        it->second.bGapAfterComplete = true;
}

CTag* CSubCache::findPreviousOrNextTag(Position nPos, bool bPrevious) {
    return bPrevious ? findPrevious(nPos) : findNext(nPos);
}

CTag* CSubCache::findNext(Position nPos) {
    if (nPos == NO_POS) return nullptr;
    if (m_bFlat) {
        for (size_t n = flatIndexAtOrAfter(std::max(nPos, m_pSource->getBegin())); n < m_flatTags.size(); ++n)
            if (isRegistered(m_flatTags[n])) return m_flatTags[n];
        return nullptr;
    }
    Position nCur = std::max(nPos, m_pSource->getBegin());
    const Position nSourceEnd = m_pSource->getEnd();
    while (nCur < nSourceEnd) {
        auto it = lowerBound(nCur);
        const bool bEntryHere = it != m_entries.end() && it->first == nCur;
        if (bEntryHere && isRegistered(it->second.pTag)) return it->second.pTag;
        const bool bGapComplete = bEntryHere ? it->second.bGapAfterComplete : gapAfter(leftOf(it));
        auto itNext = bEntryHere ? std::next(it) : it;
        const Position nGapEnd = itNext == m_entries.end() ? nSourceEnd : itNext->first;
        const Position nScanFrom = bEntryHere ? nCur + 1 : nCur;
        if (!bGapComplete && nScanFrom < nGapEnd) {
            CTag* pTag = CTag::findPreviousOrNextTagUncached(m_pSource, nScanFrom, nullptr, false, nGapEnd);
            entryAt(nCur);
            if (pTag != nullptr) {
                markComplete(nCur, pTag->getBegin());
                return pTag;
            }
            markComplete(nCur, nGapEnd);
        }
        nCur = nGapEnd;
    }
    return nullptr;
}

CTag* CSubCache::findPrevious(Position nPos) {
    const Position nBegin = m_pSource->getBegin(), nSourceEnd = m_pSource->getEnd();
    if (nPos == NO_POS || nBegin == nSourceEnd) return nullptr;
    Position nCur = nPos >= nSourceEnd ? nSourceEnd - 1 : nPos;
    if (nCur < nBegin) return nullptr;
    if (m_bFlat) {
        for (size_t n = flatIndexAtOrAfter(nCur + 1); n-- > 0;)
            if (isRegistered(m_flatTags[n])) return m_flatTags[n];
        return nullptr;
    }
    while (true) {
        const auto it = lowerBound(nCur);
        const bool bEntryHere = it != m_entries.end() && it->first == nCur;
        if (bEntryHere && isRegistered(it->second.pTag)) return it->second.pTag;
        const auto itLeft = leftOf(it);
        const bool bBottom = itLeft == m_entries.end();
        const Position nLeft = bBottom ? NO_POS : itLeft->first;
        const Position nScanFrom = bBottom ? nBegin : nLeft + 1;
        const Position nScanTo = bEntryHere ? nCur : nCur + 1;  // exclusive
        if (!gapAfter(itLeft) && nScanFrom < nScanTo) {
            CTag* pTag = CTag::findPreviousOrNextTagUncached(m_pSource, nScanTo - 1, nullptr, true, nLeft);
            entryAt(nCur);
            if (pTag != nullptr) {
                markComplete(pTag->getBegin(), nCur);
                return pTag;
            }
            markComplete(nLeft, nCur);
        }
        if (bBottom) return nullptr;
        nCur = nLeft;
    }
}

void CSubCache::clear() {
    m_entries.clear();
    m_finger = m_entries.end();
    m_memory.release();
    m_bBottomGapComplete = false;
    m_bFlat = false;
    m_flatPositions.clear();
    m_flatTags.clear();
    m_flatBuckets.clear();
}

void CSubCache::bulkLoad(const std::vector<CTag*>& tags) {
    clear();
    m_flatPositions.reserve(tags.size());
    for (CTag* pTag : tags) m_flatPositions.push_back(pTag->getBegin());
    m_flatTags = tags;
    const Position nBegin = m_pSource->getBegin();
    m_flatBuckets.resize(((m_pSource->getEnd() - nBegin) >> BUCKET_BITS) + 1);
    size_t n = 0;
    for (size_t nBucket = 0; nBucket < m_flatBuckets.size(); ++nBucket) {
        const Position nStart = nBegin + (static_cast<Position>(nBucket) << BUCKET_BITS);
        while (n < m_flatPositions.size() && m_flatPositions[n] < nStart) ++n;
        m_flatBuckets[nBucket] = static_cast<uint32_t>(n);
    }
    m_bFlat = true;
}
