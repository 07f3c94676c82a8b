#include "dom/dom_attribute.h"

#include "base/win_errors.h"
#include "dom/dom_exception.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

CDOMAttribute CDOMAttribute::Of(const CSourceHandle& spSource, const CStartTag* pStartTag, std::string_view sName) {
    const CAttributes* pAttributes = pStartTag->getAttributes();
    return CDOMAttribute(spSource, pAttributes == nullptr ? nullptr : pAttributes->get(sName));
}

CAttribute* CDOMAttribute::defined(const char* pszOperation) const {
    if (m_pAttribute == nullptr)
        throw CDOMParserUndefinedObjectException(std::string("CDOMAttribute::") + pszOperation + " : m_pAttribute is 0");
    return m_pAttribute;
}

bool CDOMAttribute::hasValue() const { return defined("hasValue()")->hasValue(); }

std::string CDOMAttribute::getValue() const { return defined("getValue()")->getValue(); }

Position CDOMAttribute::getValueBeginPos() const {
    const CSegment* pValue = defined("getValueBeginPos()")->getValueSegment();
    return pValue == nullptr ? NO_POS : pValue->getBegin();
}

Position CDOMAttribute::getValueEndPos() const {
    const CSegment* pValue = defined("getValueEndPos()")->getValueSegment();
    return pValue == nullptr ? NO_POS : pValue->getEnd();
}

DWORD CDOMAttribute::insertValueData(Position nOffset, const char* pszData, CBufferInstructionList* pList) const {
    const CAttribute* pAttribute = defined("insertValueData()");
    const CSource& source = *m_spSource;
    const auto nAttributeBegin = static_cast<int64_t>(pAttribute->getBegin());
    if (const CSegment* pValue = pAttribute->getValueSegment()) {
        if (nOffset > pValue->length())
            throw CDOMParserIllegalArgumentException("CDOMAttribute::insertValueData() : invalid nOffset value",
                                                     nAttributeBegin);
        return InsertAtSourcePosition(source, pValue->getBegin() + nOffset, pszData, pList);
    }
    if (nOffset != 0)
        throw CDOMParserIllegalArgumentException("CDOMAttribute::insertValueData() : ValueSegment is 0 and nOffset > 0 ",
                                                 nAttributeBegin);
    if (pszData == nullptr) return InsertAtSourcePosition(source, pAttribute->getBegin(), pszData, pList);
    const CSegment* pName = pAttribute->getNameSegment();
    const std::string sReplacement =
        std::string(source.view(pName->getBegin(), pName->getEnd())) + "=\"" + pszData + "\" ";
    const DWORD dwDelete =
        DeleteAtSourcePosition(source, pAttribute->getBegin(), static_cast<DWORD>(pAttribute->length()), pList);
    if (dwDelete != ERROR_SUCCESS) return dwDelete;
    return InsertAtSourcePosition(source, pAttribute->getBegin(), sReplacement.c_str(), pList);
}
