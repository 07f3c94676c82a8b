// Result lists of the DOM queries: the parser objects found, shared by all
// copies, handed out as facade objects on the same page.
#ifndef KX_DOM_DOM_VECTORS_H
#define KX_DOM_DOM_VECTORS_H

#include <memory>
#include <utility>
#include <vector>

#include "dom/dom_edit.h"
#include "dom/dom_element.h"
#include "dom/dom_start_tag.h"

template <class TItem, class TParserObject>
class CDOMVector {
public:
    CDOMVector() = default;
    CDOMVector(CSourceHandle spSource, std::vector<TParserObject*> vItems)
        : m_spSource(std::move(spSource)),
          m_spItems(std::make_shared<const std::vector<TParserObject*>>(std::move(vItems))) {}
    virtual ~CDOMVector() = default;

    size_t size() const { return m_spItems ? m_spItems->size() : 0; }
    // The item at nIndex; undefined when nIndex is not below size().
    TItem item(size_t nIndex) const { return nIndex < size() ? TItem(m_spSource, (*m_spItems)[nIndex]) : TItem(); }
    TItem operator[](size_t nIndex) const { return item(nIndex); }
    const std::vector<TParserObject*>& parserObjects() const {
        static const std::vector<TParserObject*> EMPTY;
        return m_spItems ? *m_spItems : EMPTY;
    }

private:
    CSourceHandle m_spSource;
    std::shared_ptr<const std::vector<TParserObject*>> m_spItems;
};

class CElement;
class CStartTag;

class CDOMElementVector : public CDOMVector<CDOMElement, CElement> {
public:
    using CDOMVector::CDOMVector;
};

class CDOMStartTagVector : public CDOMVector<CDOMStartTag, CStartTag> {
public:
    using CDOMVector::CDOMVector;
};

#endif  // KX_DOM_DOM_VECTORS_H
