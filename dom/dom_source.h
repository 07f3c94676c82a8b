// The page of one response, parsed lazily over the host's buffer. Its html,
// head and body elements come from the tags the host located, or from a
// search of the text on first request.
#ifndef KX_DOM_DOM_SOURCE_H
#define KX_DOM_DOM_SOURCE_H

#include <string>
#include <string_view>

#include "dom/dom_edit.h"
#include "dom/dom_element.h"

struct CCommonPointers;

class CStartTag;
class CEndTag;

class CDOMSource {
public:
    // Parses nothing yet; undefined (after a trace line) when the record's
    // buffer pointers do not make a valid span.
    explicit CDOMSource(const CCommonPointers& pointers);
    virtual ~CDOMSource() = default;

    bool isUndefined() const { return m_spSource == nullptr; }

    CDOMElement getHtml();
    CDOMElement getHead();
    CDOMElement getBody();
    // The element of the first start tag whose id is exactly sId.
    CDOMElement getElementById(std::string_view sId) const;
    // The nearest start tag at or before nPos whose element ends after nPos.
    CDOMElement getEnclosingElement(Position nPos) const;
    Position getBeginPos() const;
    // First occurrence (any case) in [max(nPos, begin), nPos + nLength), or
    // to the source end without a length or when that end lies outside.
    Position scanForString(std::string_view sText, Position nPos, Position nLength = NO_POS) const;
    std::string substringData(Position nPos, Position nCount) const;

    // Edits next to an element anywhere in the page.
    DWORD insertContentDataBefore(const char* pszData, const CDOMElement& child, CBufferInstructionList* pList) const;
    DWORD insertContentDataAfter(const char* pszData, const CDOMElement& child, CBufferInstructionList* pList) const;

    const CSourceHandle& getSourceHandle() const { return m_spSource; }

private:
    CSource* defined(const char* pszOperation) const;
    // The located tag's offset, or NO_POS when it is not inside the source.
    Position located(const CCommonPointers& pointers, const BYTE* pTag) const;
    void initHtmlFromHost(Position nTag);
    // Head or body from the located start and end tags.
    bool initFromHost(Position nTag, Position nEndTag, CDOMElement& element, const char* pszKind);
    // The last </html>, or an empty one at the source end.
    CEndTag* htmlEndTag(const char* pszCaller);
    // The element of a start tag and its end tag (or, without one, the start
    // tag's own); trace lines name the caller and the kind of element.
    CDOMElement elementOf(CStartTag* pStartTag, CEndTag* pEndTag, const char* pszCaller, const char* pszKind,
                          const char* pszGetElementFailed);
    DWORD insertAtChild(const char* pszOperation, const char* pszData, const CDOMElement& child, bool bAfter,
                        CBufferInstructionList* pList) const;

    CSourceHandle m_spSource;
    bool m_bHtmlInitialized = false;
    CDOMElement m_html;
    bool m_bHeadInitialized = false;
    CDOMElement m_head;
    bool m_bBodyInitialized = false;
    CDOMElement m_body;
};

#endif  // KX_DOM_DOM_SOURCE_H
