#include "htmlparser/id_index.h"

#include <algorithm>

#include "diagnostics/trace.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

void CIdIndex::clear() {
    m_slots.clear();
    m_nUsedSlots = 0;
    m_links.clear();
    m_cbSearched = 0;
    m_nIndexedTo = 0;
    m_nLastTagEnd = 0;
    m_bStarted = false;
    m_bUsable = true;
}

namespace {

std::string_view IdOf(CSource* pSource, const CStartTag* pTag) {
    const CSegment* pValue = pTag->getAttributes()->get("id")->getValueSegment();
    return pSource->view(pValue->getBegin(), pValue->getEnd());
}

}  // namespace

CStartTag* CIdIndex::firstExact(CSource* pSource, uint32_t nFrom, std::string_view csId) const {
    for (uint32_t n = nFrom; n != NONE; n = m_links[n].nNext) {
        CStartTag* pTag = m_links[n].pTag;
        const std::string_view value = IdOf(pSource, pTag);
        if (value == csId) return pTag;
        if (IsTraceOn())
            Trace("[CStartTag::findNext] StartTag <%s> at <%d> with attribute <%s=\"%s\"> ignored during search "
                  "because its case does not match search value.",
                  pTag->getName().c_str(), PosArg(pTag->getBegin()), pTag->getAttributes()->get("id")->getName().c_str(),
                  std::string(value).c_str());
    }
    return nullptr;
}

CIdIndex::CChain* CIdIndex::findChain(std::string_view sId) {
    if (m_slots.empty()) return nullptr;
    const size_t nMask = m_slots.size() - 1;
    for (size_t n = CNoCaseHash{}(sId) & nMask;; n = (n + 1) & nMask) {
        CSlot& slot = m_slots[n];
        if (slot.sId.empty()) return nullptr;
        if (SameNoCase(slot.sId, sId)) return &slot.chain;
    }
}

void CIdIndex::addToChain(std::string_view sId, uint32_t nLink) {
    if (CChain* pChain = findChain(sId)) {
        m_links[pChain->nLast].nNext = nLink;
        pChain->nLast = nLink;
        return;
    }
    if (2 * (m_nUsedSlots + 1) > m_slots.size()) {
        std::vector<CSlot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        const size_t nMask = m_slots.size() - 1;
        for (const CSlot& slot : old) {
            if (slot.sId.empty()) continue;
            size_t n = CNoCaseHash{}(slot.sId) & nMask;
            while (!m_slots[n].sId.empty()) n = (n + 1) & nMask;
            m_slots[n] = slot;
        }
    }
    const size_t nMask = m_slots.size() - 1;
    size_t n = CNoCaseHash{}(sId) & nMask;
    while (!m_slots[n].sId.empty()) n = (n + 1) & nMask;
    m_slots[n] = CSlot{sId, CChain{nLink, nLink}};
    ++m_nUsedSlots;
}

bool CIdIndex::indexNext(CSource* pSource, std::string_view& sId, uint32_t& nLink) {
    sId = {};
    nLink = NONE;
    CStartTag* pTag = CStartTag::findPreviousOrNext(pSource, m_nIndexedTo, false);
    if (pTag == nullptr) {
        m_nIndexedTo = pSource->getEnd();
        return false;
    }
    // A start tag inside another (a '<' in an attribute value) would be seen
    // by the text search only when no text of the outer one matched first.
    if (m_bStarted && pTag->getBegin() < m_nLastTagEnd) m_bUsable = false;
    m_bStarted = true;
    m_nLastTagEnd = pTag->getEnd();
    m_nIndexedTo = pTag->getBegin() + 1;
    if (const CAttributes* pAttributes = pTag->getAttributes()) {
        const CAttribute* pId = pAttributes->get("id");
        // An empty id is never looked up here (the text search answers it).
        if (pId != nullptr && pId->hasValue()) sId = IdOf(pSource, pTag);
        if (!sId.empty()) {
            nLink = static_cast<uint32_t>(m_links.size());
            m_links.push_back(CLink{pTag, NONE});
            addToChain(sId, nLink);
        }
    }
    return true;
}

namespace {

// Text searches may scan the page this many times before the index is built.
constexpr Position SEARCHES_BEFORE_INDEX = 4;

}  // namespace

CStartTag* CIdIndex::find(CSource* pSource, std::string_view csId) {
    const auto textSearch = [&] { return CStartTag::findNext(pSource, pSource->getBegin(), "id", csId, true); };
    // Without the cache every look-up makes new tag objects: nothing to keep.
    if (csId.empty() || !pSource->m_bUseCacheForTagAt || !pSource->m_bUseCacheForFind) return textSearch();
    if (!m_bUsable) return textSearch();
    if (m_cbSearched < SEARCHES_BEFORE_INDEX * pSource->length()) {
        CStartTag* pTag = textSearch();
        m_cbSearched += (pTag != nullptr ? pTag->getEnd() : pSource->getEnd()) - pSource->getBegin();
        return pTag;
    }
    if (!m_bStarted) m_nIndexedTo = pSource->getBegin();
    // The tags with this id indexed so far; the later ones are looked at as they are indexed.
    if (const CChain* pChain = findChain(csId))
        if (CStartTag* pTag = firstExact(pSource, pChain->nFirst, csId)) return pTag;
    std::string_view sId;
    uint32_t nLink = NONE;
    while (indexNext(pSource, sId, nLink)) {
        if (!m_bUsable) return textSearch();
        if (nLink == NONE || !SameNoCase(sId, csId)) continue;
        if (CStartTag* pTag = firstExact(pSource, nLink, csId)) return pTag;
    }
    return nullptr;
}
