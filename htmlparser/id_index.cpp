#include "htmlparser/id_index.h"

#include "base/ascii_case.h"
#include "diagnostics/trace.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

void CIdIndex::clear() {
    m_tagsById.clear();
    m_cbSearched = 0;
    m_nIndexedTo = 0;
    m_nLastTagEnd = 0;
    m_bStarted = false;
    m_bUsable = true;
}

CStartTag* CIdIndex::firstExact(CSource* pSource, const std::vector<CStartTag*>& tags, size_t nFrom,
                                std::string_view csId) {
    for (size_t n = nFrom; n < tags.size(); ++n) {
        CStartTag* pTag = tags[n];
        const CSegment* pValue = pTag->getAttributes()->get("id")->getValueSegment();
        const std::string_view value = pSource->view(pValue->getBegin(), pValue->getEnd());
        if (value == csId) return pTag;
        Trace("[CStartTag::findNext] StartTag <%s> at <%d> with attribute <%s=\"%s\"> ignored during search because its "
              "case does not match search value.",
              pTag->getName().c_str(), PosArg(pTag->getBegin()), pTag->getAttributes()->get("id")->getName().c_str(),
              std::string(value).c_str());
    }
    return nullptr;
}

bool CIdIndex::indexNext(CSource* pSource, const std::string*& pKey, std::vector<CStartTag*>*& pTags) {
    pKey = nullptr;
    pTags = nullptr;
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
            const CSegment* pValue = pId->getValueSegment();
            auto& entry = *m_tagsById.try_emplace(UpperAscii(pSource->view(pValue->getBegin(), pValue->getEnd()))).first;
            entry.second.push_back(pTag);
            pKey = &entry.first;
            pTags = &entry.second;
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
    const std::string sKey = UpperAscii(csId);
    size_t nSeen = 0;
    if (const auto it = m_tagsById.find(sKey); it != m_tagsById.end()) {
        if (CStartTag* pTag = firstExact(pSource, it->second, 0, csId)) return pTag;
        nSeen = it->second.size();
    }
    const std::string* pKey = nullptr;
    std::vector<CStartTag*>* pTags = nullptr;
    while (indexNext(pSource, pKey, pTags)) {
        if (!m_bUsable) return textSearch();
        if (pKey == nullptr || *pKey != sKey) continue;
        CStartTag* pTag = firstExact(pSource, *pTags, nSeen, csId);
        nSeen = pTags->size();
        if (pTag != nullptr) return pTag;
    }
    return nullptr;
}
