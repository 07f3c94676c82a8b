#include "htmlparser/start_tag.h"

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag_types.h"

bool CStartTag::checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd,
                                     const CStartTagType* pStartTagType, const std::string& csName,
                                     const CAttributes* pAttributes) {
    if (!CTag::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CStartTag::checkConstructorArgs] CTag::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s>.",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return false;
    }
    if (pStartTagType == nullptr) {
        Trace("[CStartTag::checkConstructorArgs] pStartTagTypes is 0. nBegin <%d> nEnd <%d> csName <%s> . ",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return false;
    }
    if (pAttributes != nullptr && pAttributes->getSource() != pSource) {
        Trace("[CStartTag::checkConstructorArgs] pAttributes's source differs from pSource. nBegin <%d> nEnd <%d> csName "
              "<%s>.",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return false;
    }
    return true;
}

CStartTag* CStartTag::CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd,
                                      const CStartTagType* pStartTagType, const std::string& csName,
                                      int64_t nNameIndex, CAttributes* pAttributes) {
    if (!checkConstructorArgs(pSource, nBegin, nEnd, pStartTagType, csName, pAttributes)) {
        Trace("[CStartTag::CREATE_NEW_INST] checkConstructorArgs() failed. nBegin <%d> nEnd <%d> csName <%s> .",
              PosArg(nBegin), PosArg(nEnd), csName.c_str());
        return nullptr;
    }
    return pSource->make<CStartTag>(nBegin, nEnd, pStartTagType, csName, nNameIndex, pAttributes);
}

const CTagType* CStartTag::getTagType() const { return m_pStartTagType; }

bool CStartTag::isUnregistered() const { return m_pStartTagType == CStartTagTypeUnregistered::instance(); }

CAttributes* CStartTag::getAttributes() const {
    if (m_bAttributesDeferred) {
        m_bAttributesDeferred = false;
        m_pAttributes = CAttributes::makeForTag(m_pSource, m_pStartTagType, m_nBegin, getName(), getNameIndex());
    }
    return m_pAttributes;
}

CAttributes* CStartTag::parseAttributes(int nMaxErrorCount) {
    if (CAttributes* pAttributes = getAttributes()) return pAttributes;
    const Position nRegionBegin = m_nBegin + getName().size() + 1;
    const size_t cbClosing = m_pStartTagType->getClosingDelimiter().size();
    if (m_nEnd - m_nBegin < cbClosing || nRegionBegin >= m_nEnd - cbClosing) return nullptr;
    const Position nRegionEnd = m_nEnd - cbClosing;
    const char* pText = m_pSource->getText();
    Position nFirst = nRegionBegin;
    while (nFirst < nRegionEnd && !CSource::isNameStartChar(static_cast<unsigned char>(pText[nFirst]))) ++nFirst;
    if (nFirst == nRegionEnd) return nullptr;
    return CAttributes::construct(m_pSource, "Attributes for StartTag", 1, m_nBegin, nFirst, nRegionEnd,
                                  m_pStartTagType, getName(), getNameIndex(), nMaxErrorCount);
}

CStartTag* CStartTag::findPreviousOrNext(CSource* pSource, Position nPos, bool bPrevious) {
    return findLimited(pSource, nPos, bPrevious, NO_POS);
}

CStartTag* CStartTag::findNextBefore(CSource* pSource, Position nPos, Position nLimit) {
    return findLimited(pSource, nPos, false, nLimit);
}

CStartTag* CStartTag::findLimited(CSource* pSource, Position nPos, bool bPrevious, Position nLimit) {
    if (pSource == nullptr) {
        Trace("[CStartTag::findPreviousOrNext] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    Position p = nPos;
    while (p != NO_POS) {
        CTag* pTag = CTag::findPreviousOrNextTag(pSource, p, bPrevious);
        if (pTag == nullptr || (nLimit != NO_POS && pTag->getBegin() >= nLimit)) return nullptr;
        if (pTag->isStartTag()) return static_cast<CStartTag*>(pTag);
        p = bPrevious ? (pTag->getBegin() == 0 ? NO_POS : pTag->getBegin() - 1) : pTag->getBegin() + 1;
    }
    return nullptr;
}

CStartTag* CStartTag::findPreviousOrNext(CSource* pSource, Position nPos, std::string_view csSearchName,
                                         bool bPrevious) {
    return findNamedLimited(pSource, nPos, csSearchName, bPrevious, NO_POS);
}

CStartTag* CStartTag::findNextBefore(CSource* pSource, Position nPos, std::string_view csSearchName,
                                     Position nLimit) {
    return findNamedLimited(pSource, nPos, csSearchName, false, nLimit);
}

CStartTag* CStartTag::findNamedLimited(CSource* pSource, Position nPos, std::string_view csSearchName, bool bPrevious,
                                       Position nLimit) {
    if (pSource == nullptr) {
        Trace("[CStartTag::findPreviousOrNext] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (csSearchName.empty()) return findLimited(pSource, nPos, bPrevious, nLimit);
    std::string csSearch = "<";
    csSearch.append(csSearchName);
    if (csSearch[1] == '/') {
        Trace("[CStartTag::findPreviousOrNext] csSearchName argument \"%s\" must not start with '/' character.",
              std::string(csSearchName).c_str());
        return nullptr;
    }
    const bool bCheckRegistered = CSource::isXMLName(csSearchName);
    const bool bPrefixSearch = csSearchName.back() == ':' ||
                               !CSource::isNameChar(static_cast<unsigned char>(csSearchName.back()));
    Position nHit = bPrevious ? pSource->findPrevious(csSearch, nPos)
                              : pSource->findNext(csSearch, std::max(nPos, pSource->getBegin()), nLimit);
    while (nHit != NO_POS) {
        CTag* pTag = CTag::getTagAt(pSource, nHit);
        if (pTag != nullptr && pTag->isStartTag() && !(bCheckRegistered && pTag->isUnregistered())) {
            const auto* pStartTag = static_cast<CStartTag*>(pTag);
            if (!pStartTag->getStartTagType()->isNameRequired() || pTag->getName().size() <= csSearchName.size() ||
                bPrefixSearch)
                return static_cast<CStartTag*>(pTag);
        }
        if (bPrevious) {
            if (nHit < pSource->getBegin() + 2) return nullptr;
            nHit = pSource->findPrevious(csSearch, nHit - 2);
        } else {
            if (nHit + 1 >= pSource->getEnd()) return nullptr;
            nHit = pSource->findNext(csSearch, nHit + 1, nLimit);
        }
    }
    return nullptr;
}

CStartTag* CStartTag::findNext(CSource* pSource, Position nPos, std::string_view csAttributeName,
                               std::string_view csValue, bool bValueCaseSensitive) {
    if (pSource == nullptr) {
        Trace("[CStartTag::findNext] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    Position p = nPos;
    while (p != NO_POS && pSource->contains(p)) {
        const Position nHit = pSource->findNext(csValue, p);
        if (nHit == NO_POS) return nullptr;
        p = nHit + 1;
        CTag* pTag = CTag::findPreviousOrNextTag(pSource, nHit, true);
        if (pTag == nullptr || pTag->getEnd() <= nHit || !pTag->isStartTag()) continue;
        auto* pStartTag = static_cast<CStartTag*>(pTag);
        p = pTag->getEnd() + 5;
        if (pStartTag->getAttributes() == nullptr) continue;
        const CAttribute* pAttribute = pStartTag->getAttributes()->get(csAttributeName);
        if (pAttribute == nullptr || !pAttribute->hasValue()) continue;
        const CSegment* pValue = pAttribute->getValueSegment();
        const std::string_view value = pSource->view(pValue->getBegin(), pValue->getEnd());
        if (value == csValue) return pStartTag;
        if (value.size() != csValue.size() || !EqualsNoCase(value.data(), csValue)) continue;
        if (!bValueCaseSensitive) return pStartTag;
        Trace("[CStartTag::findNext] StartTag <%s> at <%d> with attribute <%s=\"%s\"> ignored during search because its "
              "case does not match search value.",
              pTag->getName().c_str(), PosArg(pTag->getBegin()), pAttribute->getName().c_str(),
              std::string(value).c_str());
    }
    return nullptr;
}
