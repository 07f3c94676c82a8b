// Hands the named attributes of every child element of a given name to a
// handler, in document order.
#ifndef KX_SETTINGS_ELEMENT_WALKER_H
#define KX_SETTINGS_ELEMENT_WALKER_H

#include <initializer_list>

#include <pugixml.hpp>

#include "platform/utf.h"
#include "settings/basic_settings.h"

// The element's attributes in the order asked for; from the first one the
// element lacks, the items are empty.
inline CAttributeItems ReadAttributeItems(const pugi::xml_node& element, std::initializer_list<const char*> names) {
    CAttributeItems items;
    bool bMissing = false;
    for (const char* pszName : names) {
        const pugi::xml_attribute attribute = element.attribute(pszName);
        bMissing = bMissing || !attribute;
        items.emplace_back(Utf8ToUtf16(pszName), bMissing ? CVariant() : CVariant(Utf8ToUtf16(attribute.value())));
    }
    return items;
}

// Calls the handler with the attribute items of every child element named
// pszChild; stops at the first failing handler.
template <class Handler, class Table>
HRESULT WalkElements(const pugi::xml_node& parent, const char* pszChild, std::initializer_list<const char*> names,
                     const Handler& handler, Table& table) {
    for (const pugi::xml_node& element : parent.children(pszChild)) {
        const HRESULT hr = handler(ReadAttributeItems(element, names), table);
        if (hr < 0) return hr;
    }
    return 0;
}

#endif  // KX_SETTINGS_ELEMENT_WALKER_H
