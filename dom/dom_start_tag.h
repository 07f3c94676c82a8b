// One start tag of the page: a light value over a parser start tag,
// undefined when that is null.
#ifndef KX_DOM_DOM_START_TAG_H
#define KX_DOM_DOM_START_TAG_H

#include <string_view>
#include <utility>

#include "dom/dom_edit.h"

class CStartTag;
class CDOMAttribute;
class CDOMElement;

class CDOMStartTag {
public:
    CDOMStartTag() = default;
    CDOMStartTag(CSourceHandle spSource, CStartTag* pStartTag)
        : m_spSource(std::move(spSource)), m_pStartTag(pStartTag) {}
    virtual ~CDOMStartTag() = default;

    bool isUndefined() const { return m_pStartTag == nullptr; }
    // The attribute of that name (any case); undefined when there is none.
    CDOMAttribute getAttribute(std::string_view sName) const;
    CDOMElement getElementNode() const;

private:
    CSourceHandle m_spSource;
    CStartTag* m_pStartTag = nullptr;
};

#endif  // KX_DOM_DOM_START_TAG_H
