#include "dom/dom_element.h"

#include <vector>

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "dom/dom_attribute.h"
#include "dom/dom_exception.h"
#include "dom/dom_vectors.h"
#include "htmlparser/element.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

namespace {

bool SameSpan(const CSegment& a, const CSegment& b) { return !(a != b); }

}  // namespace

CElement* CDOMElement::defined(const char* pszOperation) const {
    if (m_pElement == nullptr)
        throw CDOMParserUndefinedObjectException(std::string("CDOMElement::") + pszOperation + " : m_pElement is 0");
    return m_pElement;
}

std::string CDOMElement::tagName() const { return defined("tagName()")->getName(); }

CDOMElement CDOMElement::parentNode() const {
    return CDOMElement(m_spSource, defined("parentNode()")->getParentElement());
}

CDOMElement CDOMElement::lastChild() const {
    const std::vector<CElement*>& children = defined("lastChild()")->getChildElements();
    if (children.empty()) return CDOMElement();
    return CDOMElement(m_spSource, children.back(), children.size() - 1);
}

CDOMElement CDOMElement::nextSibling() { return sibling("nextSibling()", true); }

CDOMElement CDOMElement::previousSibling() { return sibling("previousSibling()", false); }

CDOMElement CDOMElement::sibling(const char* pszOperation, bool bNext) {
    CElement* pElement = defined(pszOperation);
    CElement* pParent = pElement->getParentElement();
    if (pParent == nullptr) m_spSource->fullSequentialParse();
    const std::vector<CElement*>& siblings =
        pParent == nullptr ? m_spSource->getChildElements() : pParent->getChildElements();
    if (m_nIndex == NO_POS) {
        for (size_t n = 0; n < siblings.size(); ++n)
            if (SameSpan(*siblings[n], *pElement)) {
                m_nIndex = n;
                break;
            }
        if (m_nIndex == NO_POS) return CDOMElement();
    }
    if (bNext ? m_nIndex + 1 >= siblings.size() : m_nIndex == 0 || m_nIndex > siblings.size()) return CDOMElement();
    const Position nNeighbour = bNext ? m_nIndex + 1 : m_nIndex - 1;
    return CDOMElement(m_spSource, siblings[nNeighbour], nNeighbour);
}

CDOMElement CDOMElement::getElementById(std::string_view sId) const {
    return CDOMElement(m_spSource, defined("getElementById()")->getFirstChildOrNestedChildElementById(sId));
}

CDOMElementVector CDOMElement::getElementsByTagName(std::string_view sName) const {
    std::vector<CElement*> vElements;
    defined("getElementsByTagName()")->findAllChildOrNestedChildElementsByName(sName, vElements);
    return CDOMElementVector(m_spSource, std::move(vElements));
}

CDOMStartTagVector CDOMElement::getStartTagsByTagName(std::string_view sName) const {
    std::vector<CStartTag*> vStartTags;
    defined("getStartTagsByTagName()")->findAllChildOrNestedChildStartTagsByName(sName, vStartTags);
    return CDOMStartTagVector(m_spSource, std::move(vStartTags));
}

CDOMStartTag CDOMElement::getFirstStartTagByTagName(std::string_view sName,
                                                    const std::function<bool(const CDOMStartTag&)>& accept) const {
    return CDOMStartTag(m_spSource, defined("getFirstStartTagByTagName()")
                                        ->findFirstChildOrNestedChildStartTagByName(sName, [&](CStartTag* pTag) {
                                            return accept(CDOMStartTag(m_spSource, pTag));
                                        }));
}

CDOMElement CDOMElement::getFirstElementByTagName(std::string_view sName) const {
    return CDOMElement(m_spSource,
                       defined("getFirstElementByTagName()")->findFirstChildOrNestedChildElementByName(sName));
}

CDOMElementVector CDOMElement::getElementsByAttributeValue(std::string_view sAttributeName, std::string_view sValue,
                                                           bool bValueCaseSensitive) const {
    std::vector<CElement*> vElements;
    defined("getElementsByAttributeValue()")
        ->findAllChildOrNestedChildElementsByNameAttribute(sAttributeName, sValue, bValueCaseSensitive, vElements);
    return CDOMElementVector(m_spSource, std::move(vElements));
}

CDOMElement CDOMElement::getFirstElementByAttributeValue(std::string_view sAttributeName, std::string_view sValue,
                                                         bool bValueCaseSensitive) const {
    return CDOMElement(m_spSource, defined("getFirstElementByAttributeValue()")
                                       ->findFirstChildOrNestedChildElementByNameAttribute(sAttributeName, sValue,
                                                                                           bValueCaseSensitive));
}

CDOMAttribute CDOMElement::getAttribute(std::string_view sName) const {
    return CDOMAttribute::Of(m_spSource, defined("getAttribute()")->getStartTag(), sName);
}

std::string CDOMElement::getOuterHTML() const {
    const CElement* pElement = defined("getOuterHTML()");
    return std::string(m_spSource->view(pElement->getBegin(), pElement->getEnd()));
}

const CSegment* CDOMElement::content(const char* pszOperation) const {
    CElement* pElement = defined((std::string(pszOperation) + "()").c_str());
    const CSegment* pContent = pElement->getContent();
    if (pContent == nullptr)
        Trace("[CDOMElement::%s] CElement::getContent() failed. Element <%s> nBegin <%d> nEnd <%d>.", pszOperation,
              pElement->getName().c_str(), PosArg(pElement->getBegin()), PosArg(pElement->getEnd()));
    return pContent;
}

std::string CDOMElement::getInnerHTML() const {
    const CSegment* pContent = content("getInnerHTML");
    return pContent == nullptr ? "" : std::string(m_spSource->view(pContent->getBegin(), pContent->getEnd()));
}

std::string CDOMElement::getInnerText() const {
    const CSegment* pContent = content("getInnerText");
    if (pContent == nullptr) return "";
    CSource* pSource = m_spSource.get();
    const Position nEnd = pContent->getEnd();
    std::string sText;
    Position nPos = pContent->getBegin();
    while (nPos < nEnd) {
        const CTag* pTag = CTag::findPreviousOrNextTag(pSource, nPos, false);
        const Position nTagBegin = pTag == nullptr || pTag->getBegin() > nEnd ? nEnd : pTag->getBegin();
        sText.append(pSource->view(nPos, nTagBegin));
        if (pTag == nullptr || nTagBegin == nEnd) break;
        nPos = pTag->getEnd();
    }
    return sText;
}

Position CDOMElement::scanContentForString(std::string_view sText) const {
    const CElement* pElement = defined("scanContentForString()");
    const size_t nHit = FindNoCase(m_spSource->getText(), pElement->getContentBegin(), pElement->getContentEnd(), sText);
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

Position CDOMElement::getElementInd(const CDOMElementVector& list) const {
    const CElement* pElement = defined("getElementInd()");
    const std::vector<CElement*>& items = list.parserObjects();
    for (size_t n = 0; n < items.size(); ++n)
        if (items[n] != nullptr && SameSpan(*items[n], *pElement)) return n;
    return NO_POS;
}

Position CDOMElement::getBeginPos() const { return defined("getBeginPos()")->getBegin(); }

DWORD CDOMElement::appendContentData(const char* pszData, CBufferInstructionList* pList) const {
    const CElement* pElement = defined("appendContentData()");
    return InsertAtSourcePosition(*m_spSource, pElement->getContentEnd(), pszData, pList);
}

DWORD CDOMElement::insertContentDataBefore(const char* pszData, const CDOMElement& child,
                                           CBufferInstructionList* pList) const {
    return insertAtChild("insertContentDataBefore()", pszData, child, false, pList);
}

DWORD CDOMElement::insertContentDataAfter(const char* pszData, const CDOMElement& child,
                                          CBufferInstructionList* pList) const {
    return insertAtChild("insertContentDataAfter()", pszData, child, true, pList);
}

DWORD CDOMElement::insertAtChild(const char* pszOperation, const char* pszData, const CDOMElement& child, bool bAfter,
                                 CBufferInstructionList* pList) const {
    const CElement* pElement = defined(pszOperation);
    return InsertNextToChild(std::string("CDOMElement::") + pszOperation, child.m_pElement, bAfter, *m_spSource,
                             pElement->getContentBegin(), pElement->getContentEnd(), "this element's source",
                             static_cast<int64_t>(pElement->getBegin()), pszData, pList);
}
