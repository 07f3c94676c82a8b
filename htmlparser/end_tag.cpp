#include "htmlparser/end_tag.h"

#include "diagnostics/trace.h"
#include "htmlparser/element.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/html_elements.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

bool CEndTag::checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd,
                                   const CEndTagType* pEndTagType, const std::string& csName) {
    if (!CTag::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CEndTag::checkConstructorArgs] CTag::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s> .",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return false;
    }
    if (pEndTagType == nullptr) {
        Trace("[CEndTag::checkConstructorArgs] pEndTagType is 0. nBegin <%d> nEnd <%d> csName <%s> .", PosArg(nBegin),
              PosArg(nEnd), csName.c_str());
        return false;
    }
    return true;
}

CEndTag* CEndTag::CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd, const CEndTagType* pEndTagType,
                                  const std::string& csName) {
    if (!checkConstructorArgs(pSource, nBegin, nEnd, pEndTagType, csName)) {
        Trace("[CTag::CREATE_NEW_INST] checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s>", PosArg(nBegin),
              PosArg(nEnd), csName.c_str());
        return nullptr;
    }
    return pSource->make<CEndTag>(nBegin, nEnd, pEndTagType, csName, CHTMLElementNameSingletonData::indexOf(csName));
}

const CTagType* CEndTag::getTagType() const { return m_pEndTagType; }

bool CEndTag::isUnregistered() const { return m_pEndTagType == CEndTagTypeUnregistered::instance(); }

CEndTag* CEndTag::findPreviousOrNext(CSource* pSource, Position nPos, std::string_view csName,
                                     const CEndTagType* pEndTagType, bool bPrevious) {
    if (pSource == nullptr || pEndTagType == nullptr) {
        Trace("[CEndTag::findPreviousOrNext] pSource or pEndTagType is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (csName.empty()) {
        CTag* pTag = CTag::findPreviousOrNextTag(pSource, nPos, pEndTagType, bPrevious);
        return pTag == nullptr || pTag->isStartTag() ? nullptr : static_cast<CEndTag*>(pTag);
    }
    const std::string csSearch = pEndTagType->getStartDelimiter() + std::string(csName) + pEndTagType->getClosingDelimiter();
    Position nHit = bPrevious ? pSource->findPrevious(csSearch, nPos) : pSource->findNext(csSearch, nPos);
    while (nHit != NO_POS) {
        CTag* pTag = CTag::getTagAt(pSource, nHit);
        if (pTag != nullptr && !pTag->isStartTag() && pTag->getTagType() == pEndTagType)
            return static_cast<CEndTag*>(pTag);
        if (bPrevious) {
            if (nHit == pSource->getBegin()) return nullptr;
            nHit = pSource->findPrevious(csSearch, nHit - 1);
        } else {
            nHit = pSource->findNext(csSearch, nHit + 1);
        }
    }
    return nullptr;
}

CEndTag* CEndTag::findNextNormal(CSource* pSource, Position nPos, std::string_view csName) {
    return findPreviousOrNext(pSource, nPos, csName, CEndTagTypeNormal::instance(), false);
}

bool CEndTag::setElement(CElement* pElement) {
    const bool bFirst = m_pClaimedBy == nullptr;
    if (pElement != nullptr && (bFirst || pElement->getBegin() > m_pClaimedBy->getBegin())) m_pClaimedBy = pElement;
    return bFirst;
}

// The element of the nearest start tag, walking back, whose element ends
// here. A start tag inside another tag's quoted value can claim this end
// tag too; the walk stops at the nearest claim, so the answer does not
// depend on which elements were built first.
CElement* CEndTag::getElement() {
    if (m_bElementBuilt) return m_pElement;
    CElement* pFound = nullptr;
    Position nPos = m_nBegin;
    while (nPos > m_pSource->getBegin()) {
        CStartTag* pStartTag = CStartTag::findPreviousOrNext(m_pSource, nPos - 1, true);
        if (pStartTag == nullptr) break;
        if (m_pClaimedBy != nullptr && pStartTag->getBegin() <= m_pClaimedBy->getBegin()) break;
        CElement* pElement = pStartTag->getElement();
        // The same end tag is the same position (without the cache, another object).
        const CEndTag* pEndTag = pElement == nullptr ? nullptr : pElement->getEndTag();
        if (pEndTag != nullptr && pEndTag->getBegin() == m_nBegin && pEndTag->getEnd() == m_nEnd) {
            pFound = pElement;
            break;
        }
        nPos = pStartTag->getBegin();
    }
    m_pElement = pFound != nullptr ? pFound : m_pClaimedBy;
    m_bElementBuilt = true;
    return m_pElement;
}
