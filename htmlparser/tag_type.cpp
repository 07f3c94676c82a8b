#include "htmlparser/tag_type.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "diagnostics/trace.h"
#include "htmlparser/attributes.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/html_elements.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/tag_type_register.h"

CTagType::CTagType(const char* pszDescription, const char* pszStartDelimiter, const char* pszClosingDelimiter,
                   bool bServerTag, const char* pszGenericPrefix)
    : m_csDescription(pszDescription),
      m_csStartDelimiter(pszStartDelimiter),
      m_csClosingDelimiter(pszClosingDelimiter),
      m_bServerTag(bServerTag),
      m_csNamePrefix(m_csStartDelimiter.substr(std::string(pszGenericPrefix).size())) {}

CTag* CTagType::getTagAt(CSource* pSource, Position nPos, bool bAssumeNoNestedTags) {
    if (pSource == nullptr) {
        Trace("[CTagType::getTagAt] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    CProspectiveTagTypeIterator candidates(pSource, nPos);
    while (!candidates.isExhausted()) {
        const CTagType* pType = candidates.getNextTagType();
        if (!bAssumeNoNestedTags && !pType->isValidPosition(pSource, nPos)) continue;
        if (CTag* pTag = pType->constructTagAt(pSource, nPos)) return pTag;
    }
    return nullptr;
}

bool CTagType::isValidPosition(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CTagType::isValidPosition] pSource is 0. nPos <%d>.", PosArg(nPos));
        return false;
    }
    if (!pSource->contains(nPos)) return false;
    if (isServerTag()) return true;
    if (pSource->m_nEndOfLastTag != NO_POS) return nPos >= pSource->m_nEndOfLastTag;
    static const CTagTypeSingletonData* const pTypes = CTagTypeSingletonData::GetInstance();
    return std::none_of(pTypes->m_specialTagTypes.begin(), pTypes->m_specialTagTypes.end(),
                        [&](const CStartTagType* pSpecial) { return pSpecial->tagEncloses(pSource, nPos); });
}

bool CTagType::tagEncloses(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CTagType::tagEncloses] pSource is 0. nPos <%d>.", PosArg(nPos));
        return false;
    }
    if (nPos == 0 || !pSource->contains(nPos)) return false;
    const CTag* pTag = CTag::findPreviousOrNextTag(pSource, nPos - 1, this, true);
    return pTag != nullptr && pTag->getEnd() > nPos;
}

CStartTagType::CStartTagType(const char* pszDescription, const char* pszStartDelimiter,
                             const char* pszClosingDelimiter, bool bServerTag, bool bHasAttributes, bool bNameRequired)
    : CTagType(pszDescription, pszStartDelimiter, pszClosingDelimiter, bServerTag, "<"),
      m_bHasAttributes(bHasAttributes),
      m_bNameRequired(bNameRequired) {}

bool CStartTagType::atEndOfAttributes(CSource* pSource, Position nPos, bool) const {
    return pSource->startsWith(getClosingDelimiter(), nPos, pSource->getEnd());
}

Position CStartTagType::findEnd(CSource* pSource, Position nPos) const {
    const Position nDelimiter = pSource->findNext(getClosingDelimiter(), std::max(nPos, pSource->getBegin()));
    return nDelimiter == NO_POS ? NO_POS : nDelimiter + getClosingDelimiter().size();
}

CStartTag* CStartTagType::constructStartTag(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName,
                                            int64_t nNameIndex, CAttributes* pAttributes) const {
    CStartTag* pTag = CStartTag::CREATE_NEW_INST(pSource, nBegin, nEnd, this, csName, nNameIndex, pAttributes);
    if (pTag == nullptr)
        Trace("[CStartTagType::constructStartTag] CStartTag::CREATE_NEW_INST() failed. nBegin <%d> nEnd <%d> csName "
              "<%s> .",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
    return pTag;
}

bool CStartTagTypeGenericImplementation::prefixEndsInNonLetter() const {
    const std::string& csPrefix = getNamePrefix();
    return csPrefix.empty() || !IsAsciiAlpha(static_cast<unsigned char>(csPrefix.back()));
}

CTag* CStartTagTypeGenericImplementation::constructTagAt(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeGenericImplementation::constructTagAt] pSource is 0. nPos <%d>", PosArg(nPos));
        return nullptr;
    }
    if (!pSource->contains(nPos)) return nullptr;
    std::string csName = getNamePrefix();
    Position p = nPos + 1 + getNamePrefix().size();
    if (isNameRequired()) {
        const Position q = pSource->getNameEnd(p);
        if (q == NO_POS) return nullptr;
        csName.assign(pSource->getText() + nPos + 1, q - nPos - 1);
        p = q;
    } else if (!prefixEndsInNonLetter() && p < pSource->getEnd() &&
               CSource::isNameChar(static_cast<unsigned char>(pSource->getText()[p]))) {
        return nullptr;  // "<?xml-stylesheet" is no XML declaration
    }
    const int64_t nNameIndex = CHTMLElementNameSingletonData::indexOf(csName);
    Position nEnd;
    if (hasAttributes()) {
        // The list is checked now and made when it is first asked for.
        const Position nAttributesEnd = CAttributes::checkForTag(pSource, this, nPos, csName, nNameIndex);
        if (nAttributesEnd == NO_POS) {
            Trace("[CStartTagTypeGenericImplementation::constructTagAt] parseAttributes() returned 0. Attributes are not "
                  "properly formed. nPos <%d> csName <%s> nNameInd <%d>.",
                  PosArg(nPos), csName.c_str(), static_cast<int>(nNameIndex));
            return nullptr;
        }
        nEnd = findEnd(pSource, nAttributesEnd);
    } else {
        nEnd = findEnd(pSource, p);
    }
    if (nEnd == NO_POS) {
        Trace("[CStartTagTypeGenericImplementation::constructTagAt] StartTag <%s> at <%d> not recognized as type <%s> "
              "because it has no closing delimiter.",
              csName.c_str(), PosArg(nPos), getDescription().c_str());
        return nullptr;
    }
    CStartTag* pTag = constructStartTag(pSource, nPos, nEnd, csName, nNameIndex, nullptr);
    if (pTag == nullptr)
        Trace("[CStartTagTypeGenericImplementation::constructTagAt] constructStartTag failed. nPos <%d> nEnd <%d> "
              "csName <%s>. ",
              PosArg(nPos), PosArg(nEnd), csName.c_str());
    else if (hasAttributes())
        pTag->deferAttributes();
    return pTag;
}

CEndTag* CEndTagType::constructEndTag(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName) const {
    CEndTag* pTag = CEndTag::CREATE_NEW_INST(pSource, nBegin, nEnd, this, csName);
    if (pTag == nullptr)
        Trace("[CEndTagType::constructEndTag] CEndTag::CREATE_NEW_INST() failed. nBegin <%d> nEnd <%d>, csName <%s>.",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
    return pTag;
}

CTag* CEndTagTypeGenericImplementation::constructTagAt(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CEndTagTypeGenericImplementation::constructTagAt] pSource is 0. nPos <%d>. ", PosArg(nPos));
        return nullptr;
    }
    if (!pSource->contains(nPos)) return nullptr;
    const Position q = pSource->getNameEnd(nPos + getStartDelimiter().size());
    if (q == NO_POS) return nullptr;
    const std::string csName(pSource->getText() + nPos + 2, q - nPos - 2);
    if (!pSource->startsWith(getClosingDelimiter(), q, pSource->getEnd())) {
        Trace("[CEndTagGenericImplementation::constructTagAt] EndTag <%s> at <%d> not recognized as type <%s> because "
              "its closing delimiter does not immediately follow its name.",
              csName.c_str(), PosArg(nPos), getDescription().c_str());
        return nullptr;
    }
    const Position nEnd = q + getClosingDelimiter().size();
    CEndTag* pTag = constructEndTag(pSource, nPos, nEnd, csName);
    if (pTag == nullptr)
        Trace("[CEndTagGenericImplementation::constructTagAt] constructEndTag failed. nPos <%d> nEnd <%d> csName <%s>",
              PosArg(nPos), PosArg(nEnd), csName.c_str());
    return pTag;
}
