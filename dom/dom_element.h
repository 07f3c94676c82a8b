// One element of the page: a light value over a parser element, undefined
// when that is null. Every operation on an undefined element throws
// CDOMParserUndefinedObjectException.
#ifndef KX_DOM_DOM_ELEMENT_H
#define KX_DOM_DOM_ELEMENT_H

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "dom/dom_edit.h"

class CElement;
class CDOMAttribute;
class CDOMElementVector;
class CDOMStartTag;
class CDOMStartTagVector;

class CDOMElement {
public:
    CDOMElement() = default;
    CDOMElement(CSourceHandle spSource, CElement* pElement, Position nIndex = NO_POS)
        : m_spSource(std::move(spSource)), m_pElement(pElement), m_nIndex(nIndex) {}
    virtual ~CDOMElement() = default;

    bool isUndefined() const { return m_pElement == nullptr; }

    // The start tag's name as written.
    std::string tagName() const;
    CDOMElement parentNode() const;
    CDOMElement lastChild() const;
    // The neighbours in the parent's child list (the top-level elements for
    // a top-level element); the element's index there is kept.
    CDOMElement nextSibling();
    CDOMElement previousSibling();

    CDOMElement getElementById(std::string_view sId) const;
    CDOMElementVector getElementsByTagName(std::string_view sName) const;
    CDOMStartTagVector getStartTagsByTagName(std::string_view sName) const;
    // The first start tag of that name in the content that accept takes;
    // the page after it is not read. Undefined when there is none.
    CDOMStartTag getFirstStartTagByTagName(std::string_view sName,
                                           const std::function<bool(const CDOMStartTag&)>& accept) const;
    CDOMElement getFirstElementByTagName(std::string_view sName) const;
    CDOMElementVector getElementsByAttributeValue(std::string_view sAttributeName, std::string_view sValue,
                                                  bool bValueCaseSensitive) const;
    CDOMElement getFirstElementByAttributeValue(std::string_view sAttributeName, std::string_view sValue,
                                                bool bValueCaseSensitive) const;
    // The start tag's attribute of that name (any case).
    CDOMAttribute getAttribute(std::string_view sName) const;

    std::string getOuterHTML() const;
    std::string getInnerHTML() const;
    // The content without its tags; no entity or blank processing.
    std::string getInnerText() const;
    // First occurrence (any case) inside the content; NO_POS when none.
    Position scanContentForString(std::string_view sText) const;
    // Index of the first item with this element's source and span; NO_POS when none.
    Position getElementInd(const CDOMElementVector& list) const;
    Position getBeginPos() const;

    // Edits, as buffer instructions on pList; each returns the instruction's status.
    // Inserts at the end of the content (before the end tag).
    DWORD appendContentData(const char* pszData, CBufferInstructionList* pList) const;
    // Inserts before / after an element that lies inside this one's content.
    DWORD insertContentDataBefore(const char* pszData, const CDOMElement& child, CBufferInstructionList* pList) const;
    DWORD insertContentDataAfter(const char* pszData, const CDOMElement& child, CBufferInstructionList* pList) const;

    CElement* getParserElement() const { return m_pElement; }
    const CSourceHandle& getSourceHandle() const { return m_spSource; }
    Position getIndex() const { return m_nIndex; }

private:
    CElement* defined(const char* pszOperation) const;
    // The element's content; null after a trace line when it cannot be made.
    const CSegment* content(const char* pszOperation) const;
    CDOMElement sibling(const char* pszOperation, bool bNext);
    DWORD insertAtChild(const char* pszOperation, const char* pszData, const CDOMElement& child, bool bAfter,
                        CBufferInstructionList* pList) const;

    CSourceHandle m_spSource;
    CElement* m_pElement = nullptr;
    Position m_nIndex = NO_POS;
};

#endif  // KX_DOM_DOM_ELEMENT_H
