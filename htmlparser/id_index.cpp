#include "htmlparser/id_index.h"

#include "diagnostics/trace.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

void CIdIndex::clear() {
    m_chains.clear();
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
        Trace("[CStartTag::findNext] StartTag <%s> at <%d> with attribute <%s=\"%s\"> ignored during search because its "
              "case does not match search value.",
              pTag->getName().c_str(), PosArg(pTag->getBegin()), pTag->getAttributes()->get("id")->getName().c_str(),
              std::string(value).c_str());
    }
    return nullptr;
}

bool CIdIndex::indexNext(CSource* pSource, std::string_view& sId, uint32_t& nLink) {
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
        if (pId != nullptr && pId->hasValue()) {
            sId = IdOf(pSource, pTag);
            nLink = static_cast<uint32_t>(m_links.size());
            m_links.push_back(CLink{pTag, NONE});
            const auto [it, bNew] = m_chains.try_emplace(sId, CChain{nLink, nLink});
            if (!bNew) {
                m_links[it->second.nLast].nNext = nLink;
                it->second.nLast = nLink;
            }
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
    if (const auto it = m_chains.find(csId); it != m_chains.end())
        if (CStartTag* pTag = firstExact(pSource, it->second.nFirst, csId)) return pTag;
    std::string_view sId;
    uint32_t nLink = NONE;
    while (indexNext(pSource, sId, nLink)) {
        if (!m_bUsable) return textSearch();
        if (nLink == NONE || !SameNoCase(sId, csId)) continue;
        if (CStartTag* pTag = firstExact(pSource, nLink, csId)) return pTag;
    }
    return nullptr;
}
