#include "dom/dom_start_tag.h"

#include "dom/dom_attribute.h"
#include "dom/dom_element.h"
#include "dom/dom_exception.h"
#include "htmlparser/start_tag.h"

CDOMAttribute CDOMStartTag::getAttribute(std::string_view sName) const {
    if (m_pStartTag == nullptr)
        throw CDOMParserUndefinedObjectException("CDOMStartTag::getAttribute() : m_pStartTag is 0");
    return CDOMAttribute::Of(m_spSource, m_pStartTag, sName);
}

CDOMElement CDOMStartTag::getElementNode() const {
    if (m_pStartTag == nullptr)
        throw CDOMParserUndefinedObjectException("CDOMStartTag::getElementNode() : m_pStartTag is 0");
    return CDOMElement(m_spSource, m_pStartTag->getElement());
}
