#include "htmlparser/tag.h"

#include "diagnostics/trace.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/start_tag_types.h"
#include "htmlparser/tag_type.h"

bool CTag::checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd) {
    if (CSegment::checkConstructorArgs(pSource, nBegin, nEnd)) return true;
    Trace("[CTag::checkConstructorArgs] CSegment::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> .", PosArg(nBegin),
          PosArg(nEnd));
    return false;
}

CTag* CTag::getTagAt(CSource* pSource, Position nPos) {
    if (pSource == nullptr) {
        Trace("[CTag::getTagAt] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (!pSource->contains(nPos)) return nullptr;
    return pSource->getCache().getTagAt(nPos);
}

CTag* CTag::getTagAtUncached(CSource* pSource, Position nPos) {
    if (pSource == nullptr) {
        Trace("[CTag::getTagAtUncached] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    return CTagType::getTagAt(pSource, nPos, false);
}

CTag* CTag::findPreviousOrNextTag(CSource* pSource, Position nPos, bool bPrevious) {
    if (pSource == nullptr) {
        Trace("[CTag::findPreviousOrNextTag] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    return findPreviousOrNextTag(pSource, nPos, nullptr, bPrevious);
}

CTag* CTag::findPreviousOrNextTag(CSource* pSource, Position nPos, const CTagType* pTagType, bool bPrevious) {
    if (pSource == nullptr) {
        Trace("[CTag::findPreviousOrNextTag] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (pSource->m_bUseCacheForFind) return pSource->getCache().findPreviousOrNextTag(nPos, pTagType, bPrevious);
    return findPreviousOrNextTagUncached(pSource, nPos, pTagType, bPrevious, NO_POS);
}

CTag* CTag::findPreviousOrNextTagUncached(CSource* pSource, Position nPos, const CTagType* pTagType, bool bPrevious,
                                          Position nLimit) {
    if (pSource == nullptr) {
        Trace("[CTag::findPreviousOrNextTagUncached] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (nPos == NO_POS) return nullptr;
    const std::string_view delimiter = pTagType == nullptr ? std::string_view("<") : pTagType->getStartDelimiter();
    const bool bLimitInside = nLimit != NO_POS && pSource->contains(nLimit);
    Position p = bPrevious ? nPos : std::max(nPos, pSource->getBegin());
    while (true) {
        p = bPrevious ? pSource->findPrevious(delimiter, p, bLimitInside ? nLimit : NO_POS)
                      : pSource->findNext(delimiter, p);
        if (p == NO_POS || (!bPrevious && bLimitInside && p >= nLimit)) return nullptr;
        CTag* pTag = pSource->m_bUseCacheForTagAt ? getTagAt(pSource, p) : getTagAtUncached(pSource, p);
        if (pTag != nullptr && (pTagType == nullptr ? !pTag->isUnregistered() : pTag->getTagType() == pTagType))
            return pTag;
        if (bPrevious) {
            if (p == 0) return nullptr;
            --p;
        } else {
            ++p;
        }
    }
}

CTag* CTag::parseAllFindNextTag(CSource* pSource, Position nPos, bool bAssumeNoNestedTags) {
    if (pSource == nullptr) {
        Trace("[CTag::parseAllFindNextTag] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    for (Position p = pSource->findNextChar('<', std::max(nPos, pSource->getBegin()), NO_POS); p != NO_POS;
         p = pSource->findNextChar('<', p + 1, NO_POS)) {
        CTag* pTag = CTagType::getTagAt(pSource, p, bAssumeNoNestedTags);
        if (pTag == nullptr) continue;
        if (bAssumeNoNestedTags) return pTag;
        const CTagType* pType = pTag->getTagType();
        const bool bShadows = !pType->isServerTag() && pType != CStartTagTypeDoctypeDeclaration::instance() &&
                              pType != CStartTagTypeUnregistered::instance() &&
                              pType != CEndTagTypeUnregistered::instance();
        if (bShadows && (pSource->m_nEndOfLastTag == NO_POS || pTag->getEnd() > pSource->m_nEndOfLastTag))
            pSource->m_nEndOfLastTag = pTag->getEnd();
        return pTag;
    }
    return nullptr;
}

void CTag::parseAll(CSource* pSource, bool bAssumeNoNestedTags) {
    if (pSource == nullptr) {
        Trace("[CTag::parseAll] pSource is 0.");
        return;
    }
    std::vector<CTag*> tags;
    size_t nRegistered = 0, nStartTags = 0;
    Position nPos = pSource->getBegin();
    while (nPos < pSource->getEnd()) {
        CTag* pTag = parseAllFindNextTag(pSource, nPos, bAssumeNoNestedTags);
        if (pTag == nullptr) break;
        tags.push_back(pTag);
        if (!pTag->isUnregistered()) {
            ++nRegistered;
            if (pTag->isStartTag()) ++nStartTags;
        }
        nPos = bAssumeNoNestedTags && !pTag->isUnregistered() ? pTag->getEnd() : pTag->getBegin() + 1;
    }
    pSource->setAllTags(tags, nRegistered, nStartTags);
    pSource->getCache().bulkLoad(tags);
}
