// How a start tag finds the end tag that closes its element.
#include "diagnostics/trace.h"
#include "htmlparser/element.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/html_elements.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/start_tag_types.h"

bool CStartTag::isEmptyElementTag() const {
    return m_pStartTagType == CStartTagTypeNormal::instance() && m_nEnd - m_nBegin >= 2 &&
           m_pSource->getText()[m_nEnd - 2] == '/';
}

// Elements whose end depends on the element of a nested tag (html inside
// body or html) are built innermost first from an explicit stack, so that
// deep nesting costs heap, not the thread's stack.
CElement* CStartTag::getElement() {
    std::vector<CStartTag*> pending{this};
    while (!pending.empty()) {
        CStartTag* pTag = pending.back();
        if (pTag->m_bElementBuilt) {
            pending.pop_back();
            continue;
        }
        CStartTag* pBlocker = nullptr;
        CEndTag* pEndTag = pTag->findEndTagInternal(pBlocker);
        if (pBlocker != nullptr) {
            pending.push_back(pBlocker);
            continue;
        }
        pTag->setElement(pEndTag);
        pending.pop_back();
    }
    return m_pElement;
}

void CStartTag::setElement(CEndTag* pEndTag) {
    m_pElement = CElement::CREATE_NEW_INST(m_pSource, this, pEndTag);
    if (m_pElement == nullptr)
        Trace("[CStartTag::getElement] CElement::CREATE_NEW_INST() failed. Start tag <%s> nBegin <%d> nEnd <%d>.",
              getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd));
    m_bElementBuilt = true;
    if (pEndTag != nullptr && !pEndTag->setElement(m_pElement))
        Trace("[CStartTag::getElement] EndTag <%s> at pos <%d> terminates more than one element.",
              pEndTag->getName().c_str(), PosArg(pEndTag->getBegin()));
}

CEndTag* CStartTag::impliedEndTag(Position nAt) const {
    return CEndTag::CREATE_NEW_INST(m_pSource, nAt, nAt, CEndTagTypeNormal::instance(), getName());
}

CStartTag* CStartTag::nextSameNameStartTag(Position nFrom, bool bSkipEmptyElementTags) const {
    CStartTag* pNested = findPreviousOrNext(m_pSource, nFrom, getName(), false);
    while (bSkipEmptyElementTags && pNested != nullptr && pNested->isEmptyElementTag())
        pNested = findPreviousOrNext(m_pSource, pNested->getEnd(), getName(), false);
    return pNested;
}

CEndTag* CStartTag::findEndTagInternal(CStartTag*& pBlocker) {
    const CHTMLElementsSingletonData& elements = CHTMLElementsSingletonData::instance();
    const int64_t nIndex = getNameIndex();
    bool bSkipEmptyElementTags = false;
    if (m_pStartTagType == CStartTagTypeNormal::instance()) {
        if (const CTerminators* pTerminators = elements.getTerminators(nIndex)) {
            CEndTag* pEndTag = findOptionalEndTag(*pTerminators, pBlocker);
            if (pEndTag == nullptr && pBlocker == nullptr)
                Trace("[CStartTag::findEndTagInternal] findOptionalEndTag failed. Start tag <%s> nBegin <%d> nEnd <%d>.",
                      getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd));
            return pEndTag;
        }
        if (elements.m_endTagForbidden.contains(nIndex)) return nullptr;
        bSkipEmptyElementTags = !elements.m_endTagRequired.contains(nIndex);
        if (bSkipEmptyElementTags && isEmptyElementTag()) return nullptr;
    }
    const CEndTagType* pEndTagType = m_pStartTagType->getCorrespondingEndTagType();
    if (pEndTagType == nullptr) return nullptr;
    CEndTag* pEndTag = CEndTag::findPreviousOrNext(m_pSource, m_nEnd, getName(), pEndTagType, false);
    if (pEndTag == nullptr) {
        Trace("[CStartTag::findEndTagInternal] StartTag <%s> at <%d> missing required end tag.", getName().c_str(),
              PosArg(m_nBegin));
        return nullptr;
    }
    if (!elements.m_noNestedSameNameStartTag.contains(nIndex)) return matchNesting(pEndTag, bSkipEmptyElementTags);
    const CStartTag* pNested = findPreviousOrNext(m_pSource, m_nEnd, getName(), false);
    if (pNested == nullptr || pNested->getBegin() > pEndTag->getBegin()) return pEndTag;
    Trace("[CStartTag::findEndTagInternal] StartTag <%s> at <%d> missing required end tag - invalid nested start tag "
          "encountered before and tag.",
          getName().c_str(), PosArg(m_nBegin));
    CEndTag* pImplied = impliedEndTag(pNested->getBegin());
    if (pImplied == nullptr)
        Trace("[CStartTag::findEndTagInternal] CEndTag::CREATE_NEW_INST() failed when creating an empty end tag at "
              "<%d>. Start tag <%s> nBegin <%d> nEnd <%d>.",
              PosArg(pNested->getBegin()), getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd));
    return pImplied;
}

// Pairs nested same-name start tags with end tags in document order; the
// end tag left over when every nested one is closed closes this tag. The
// nested tags get the end tags they were paired with (what their own match
// would find), so each tag of a deep nest is matched once, not once per
// enclosing tag.
CEndTag* CStartTag::matchNesting(CEndTag* pEndTag, bool bSkipEmptyElementTags) {
    std::vector<CStartTag*> open;
    CStartTag* pNested = nextSameNameStartTag(m_nEnd, bSkipEmptyElementTags);
    while (true) {
        if (pNested != nullptr && pNested->getBegin() <= pEndTag->getBegin()) {
            open.push_back(pNested);
            pNested = nextSameNameStartTag(pNested->getEnd(), bSkipEmptyElementTags);
            continue;
        }
        if (open.empty()) return pEndTag;
        if (!open.back()->m_bElementBuilt) open.back()->setElement(pEndTag);
        open.pop_back();
        pEndTag = CEndTag::findNextNormal(m_pSource, pEndTag->getEnd(), getName());
        if (pEndTag == nullptr) {
            // The end tags ran out: no nested tag still open finds one either.
            for (CStartTag* pUnclosed : open)
                if (!pUnclosed->m_bElementBuilt) pUnclosed->setElement(nullptr);
            return nullptr;
        }
    }
}

CEndTag* CStartTag::findOptionalEndTag(const CTerminators& terminators, CStartTag*& pBlocker) {
    const CHTMLElementsSingletonData& elements = CHTMLElementsSingletonData::instance();
    const Position nSourceEnd = m_pSource->getEnd();
    auto atSourceEnd = [&]() {
        CEndTag* pImplied = impliedEndTag(nSourceEnd);
        if (pImplied == nullptr)
            Trace("[CStartTag::findOptionalEndTag] CEndTag::CREATE_NEW_INST() failed when creating an empty end tag at "
                  "the end of the source document. Start tag <%s> nBegin <%d> nEnd <%d> .",
                  getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd));
        return pImplied;
    };
    auto at = [&](Position nAt) {
        CEndTag* pImplied = impliedEndTag(nAt);
        if (pImplied == nullptr)
            Trace("[CStartTag::findOptionalEndTag] CEndTag::CREATE_NEW_INST() failed when creating an empty end tag at "
                  "<%d>. Start tag <%s> nBegin <%d> nEnd <%d>",
                  PosArg(nAt), getName().c_str(), PosArg(m_nBegin), PosArg(m_nEnd));
        return pImplied;
    };
    Position nPos = m_nEnd;
    while (true) {
        CTag* pTag = CTag::findPreviousOrNextTag(m_pSource, nPos, false);
        if (pTag == nullptr) return atSourceEnd();
        const int64_t nIndex = pTag->getNameIndex();
        if (pTag->isStartTag()) {
            auto* pStartTag = static_cast<CStartTag*>(pTag);
            if (terminators.m_nestedElements.contains(nIndex)) {
                // Without the cache every look-up makes a new tag object, so a
                // deferred tag would never be seen built: recurse instead.
                if (!pStartTag->m_bElementBuilt && elements.getTerminators(nIndex) != nullptr &&
                    m_pSource->m_bUseCacheForTagAt) {
                    pBlocker = pStartTag;
                    return nullptr;
                }
                const CElement* pNested = pStartTag->getElement();
                nPos = pNested != nullptr ? pNested->getEnd() : pStartTag->getEnd();
                if (nPos >= nSourceEnd) return atSourceEnd();
                continue;
            }
            if (terminators.m_startTags.contains(nIndex)) return at(pTag->getBegin());
        } else {
            if (nIndex == getNameIndex()) return static_cast<CEndTag*>(pTag);
            if (terminators.m_endTags.contains(nIndex)) return at(pTag->getBegin());
        }
        nPos = pTag->getBegin() + 1;
    }
}
