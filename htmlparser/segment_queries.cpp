// The queries of a segment: they need the tags and elements built on it.
#include "htmlparser/segment.h"

#include "htmlparser/attributes.h"
#include "htmlparser/element.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/start_tag_types.h"
#include "htmlparser/tag_type.h"

CAttributes* CSegment::parseAttributes() {
    return CAttributes::construct(m_pSource, "Attributes", 1, m_nBegin, m_nBegin, m_nEnd,
                                  CStartTagTypeNormal::instance(), "", -1, 2);
}

const std::vector<CElement*>& CSegment::getChildElements() { return buildChildElements(-1); }

const std::vector<CElement*>& CSegment::buildChildElements(int nDepth) {
    if (childElementsBuilt()) return childElements();
    endChildElements();
    Position nPos = m_nBegin;
    while (nPos < m_nEnd) {
        CStartTag* pTag = CStartTag::findNextBefore(m_pSource, nPos, m_nEnd);
        if (pTag == nullptr) break;
        CElement* pElement = pTag->getTagType()->isServerTag() ? nullptr : pTag->getElement();
        if (pElement == nullptr) {
            nPos = pTag->getEnd();
            continue;
        }
        if (nDepth == 0) pElement->setParentElement(nullptr);
        addChildElement(pElement);
        pElement->getChildElements(nDepth);
        nPos = pElement->getEnd();
    }
    return childElements();
}

std::vector<CTag*> CSegment::findAllTags(const CTagType* pTagType) const {
    std::vector<CTag*> tags;
    for (Position nPos = m_nBegin; nPos < m_nEnd;) {
        CTag* pTag = CTag::findPreviousOrNextTag(m_pSource, nPos, pTagType, false);
        if (pTag == nullptr || pTag->getBegin() >= m_nEnd) break;
        tags.push_back(pTag);
        nPos = pTag->getBegin() + 1;
    }
    return tags;
}

CElement* CSegment::findEnclosingElement(Position nPos, std::string_view csName) const {
    if (nPos == NO_POS || !m_pSource->contains(nPos)) return nullptr;
    Position nFrom = nPos;
    while (true) {
        CStartTag* pTag = CStartTag::findPreviousOrNext(m_pSource, nFrom, csName, true);
        if (pTag == nullptr) return nullptr;
        CElement* pElement = pTag->getTagType()->isServerTag() ? nullptr : pTag->getElement();
        if (pElement != nullptr && pElement->getBegin() <= nPos && pElement->getEnd() > nPos) return pElement;
        if (pTag->getBegin() == m_pSource->getBegin()) return nullptr;
        nFrom = pTag->getBegin() - 1;
    }
}

CElement* CSegment::getElementById(std::string_view csId) const {
    CStartTag* pTag = m_pSource->getIdIndex().find(m_pSource, csId);
    return pTag == nullptr ? nullptr : pTag->getElement();
}
