// One attribute of a start tag: a light value over a parser attribute,
// undefined when that is null.
#ifndef KX_DOM_DOM_ATTRIBUTE_H
#define KX_DOM_DOM_ATTRIBUTE_H

#include <string>
#include <string_view>
#include <utility>

#include "dom/dom_edit.h"

class CAttribute;
class CStartTag;

class CDOMAttribute {
public:
    CDOMAttribute() = default;
    CDOMAttribute(CSourceHandle spSource, CAttribute* pAttribute)
        : m_spSource(std::move(spSource)), m_pAttribute(pAttribute) {}
    virtual ~CDOMAttribute() = default;

    // The attribute named sName of pStartTag (any case); undefined when the
    // tag has no attribute list or no such attribute.
    static CDOMAttribute Of(const CSourceHandle& spSource, const CStartTag* pStartTag, std::string_view sName);

    bool isUndefined() const { return m_pAttribute == nullptr; }
    // False for an attribute written without "=".
    bool hasValue() const;
    // The value without its quotes; "" when there is none.
    std::string getValue() const;
    // The value's span without quotes; NO_POS when there is none.
    Position getValueBeginPos() const;
    Position getValueEndPos() const;
    // Inserts pszData into the value at nOffset (0 to the value's length);
    // an attribute without value is rewritten as name="data" in place.
    DWORD insertValueData(Position nOffset, const char* pszData, CBufferInstructionList* pList) const;

private:
    CAttribute* defined(const char* pszOperation) const;

    CSourceHandle m_spSource;
    CAttribute* m_pAttribute = nullptr;
};

#endif  // KX_DOM_DOM_ATTRIBUTE_H
