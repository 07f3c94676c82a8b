#include "htmlparser/end_tag.h"

#include "diagnostics/trace.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/html_elements.h"
#include "htmlparser/source.h"

bool CEndTag::checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd,
                                   const CEndTagType* pEndTagType, const std::string& csName) {
    if (!CTag::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CEndTag::checkConstructorArgs] CTag::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s> .",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return false;
    }
    if (pEndTagType == nullptr) {
        Trace("[CEndTag::checkConstructorArgs] pEndTagType is 0. nBegin <%d> nEnd <%d> csName <%s> .", PosArg(nBegin),
              PosArg(nEnd), csName.c_str());
        return false;
    }
    return true;
}

CEndTag* CEndTag::CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd, const CEndTagType* pEndTagType,
                                  const std::string& csName) {
    if (!checkConstructorArgs(pSource, nBegin, nEnd, pEndTagType, csName)) {
        Trace("[CTag::CREATE_NEW_INST] checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s>", PosArg(nBegin),
              PosArg(nEnd), csName.c_str());
        return nullptr;
    }
    return pSource->make<CEndTag>(nBegin, nEnd, pEndTagType, csName, CHTMLElementNameSingletonData::indexOf(csName));
}

const CTagType* CEndTag::getTagType() const { return m_pEndTagType; }

bool CEndTag::isUnregistered() const { return m_pEndTagType == CEndTagTypeUnregistered::instance(); }
