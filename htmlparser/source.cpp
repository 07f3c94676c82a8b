#include "htmlparser/source.h"

#include <algorithm>

#include "base/ascii_case.h"
#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "htmlparser/element.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/tag.h"
#include "htmlparser/tag_type.h"

CSource::CSource(const char* pText, Position nBegin, Position nEnd)
    : CSegment(nBegin, nEnd), m_pText(pText), m_Cache(this) {
    m_pSource = this;
    m_vAllTags.reserve(128);
    m_vAllStartTags.reserve(64);
}

CSource::~CSource() {
    for (CSegment* pSegment : m_vOwnedSegments) pSegment->~CSegment();
}

CSource* CSource::CREATE_NEW_INT(const char* pText, Position nHtmlDataBeginPos, Position nDataLength) {
    if (nHtmlDataBeginPos == NO_POS || nDataLength == NO_POS || nHtmlDataBeginPos > nDataLength ||
        (pText == nullptr && nDataLength != 0)) {
        Trace("[CSource::checkConstructorArgs] CSegment::checkConstructorArgs() failed. nHtmlDataBeginPos <%d> "
              "nDataLength <%d>",
              PosArg(nHtmlDataBeginPos), PosArg(nDataLength));
        Trace("[CSource::CREATE_NEW_INT] checkConstructorArgs() failed. nHtmlDataBeginPos <%d> nDataLength <%d>.",
              PosArg(nHtmlDataBeginPos), PosArg(nDataLength));
        return nullptr;
    }
    return new CSource(pText, nHtmlDataBeginPos, nDataLength);
}

std::string CSource::substring(Position nPos, Position nCount) const {
    std::string sOut;
    substring(nPos, nCount, sOut);
    return sOut;
}

void CSource::substring(Position nPos, Position nCount, std::string& sOut) const {
    if (!contains(nPos)) {
        Trace("[CSource::substring] Invalid nPos <%d> value. nBegin <%d> nEnd <%d>. ", PosArg(nPos), PosArg(m_nBegin),
              PosArg(m_nEnd));
        sOut.clear();
        return;
    }
    sOut.assign(m_pText + nPos, std::min(m_nEnd - nPos, nCount));
}

bool CSource::isNameStartChar(unsigned char ch) { return IsAsciiAlpha(ch) || ch == '_' || ch == ':'; }

bool CSource::isNameChar(unsigned char ch) {
    return IsAsciiAlpha(ch) || IsAsciiDigit(ch) || ch == '.' || ch == '-' || ch == '_' || ch == ':';
}

bool CSource::isXMLName(std::string_view sName) {
    if (sName.empty() || !isNameStartChar(static_cast<unsigned char>(sName[0]))) return false;
    return std::all_of(sName.begin() + 1, sName.end(), [](char ch) { return isNameChar(static_cast<unsigned char>(ch)); });
}

Position CSource::getNameEnd(Position nPos) const {
    if (!contains(nPos) || !isNameStartChar(static_cast<unsigned char>(m_pText[nPos]))) return NO_POS;
    Position nEnd = nPos + 1;
    while (nEnd < m_nEnd && isNameChar(static_cast<unsigned char>(m_pText[nEnd]))) ++nEnd;
    return nEnd;
}

Position CSource::memoised(CSearchMemos& memo, std::string_view sText, Position nFrom,
                           bool bForward, Position (*pfnSearch)(const CSource&, std::string_view, Position)) const {
    if (sText.empty()) return pfnSearch(*this, sText, nFrom);
    CSearchMemo* pLast = nullptr;
    if (sText.size() == 1) {
        pLast = &(bForward ? m_forwardCharSearches : m_backwardCharSearches)[FoldAscii(static_cast<unsigned char>(sText[0]))];
    } else {
        auto it = memo.find(sText);
        if (it == memo.end()) it = memo.emplace(std::string(sText), CSearchMemo{}).first;
        pLast = &it->second;
    }
    CSearchMemo& last = *pLast;
    if (last.nFrom != NO_POS) {
        const bool bSame = bForward ? last.nFrom <= nFrom && (last.nFound == NO_POS || nFrom <= last.nFound)
                                    : nFrom <= last.nFrom && (last.nFound == NO_POS || nFrom >= last.nFound);
        if (bSame) return last.nFound;
        // A search starting before the last one (after it, backward) scans
        // only the stretch up to the last start: beyond, the answer is known.
        // Stepping back through a page tag by tag then scans it once.
        const bool bBefore = bForward ? nFrom < last.nFrom : nFrom > last.nFrom;
        if (bBefore) {
            size_t nHit = SIZE_MAX;
            if (bForward) {
                const Position nTo = std::min(m_nEnd, last.nFrom + sText.size() - 1);
                if (nFrom < nTo) nHit = FindNoCase(m_pText, nFrom, nTo, sText);
            } else {
                nHit = FindLastNoCase(m_pText, nFrom, last.nFrom + 1, m_nEnd, sText);
            }
            last = CSearchMemo{nFrom, nHit == SIZE_MAX ? last.nFound : static_cast<Position>(nHit)};
            return last.nFound;
        }
    }
    last = CSearchMemo{nFrom, pfnSearch(*this, sText, nFrom)};
    return last.nFound;
}

Position CSource::findNextChar(char ch, Position nPos, Position nCount) const {
    const Position nFrom = std::max(nPos, m_nBegin);
    const bool bToEnd = nCount > m_nEnd - std::min(nPos, m_nEnd);
    const Position nTo = bToEnd ? m_nEnd : nPos + nCount;
    if (nFrom >= nTo) return NO_POS;
    if (bToEnd) return findNext(std::string_view(&ch, 1), nFrom);
    const size_t nHit = FindNoCase(m_pText, nFrom, nTo, std::string_view(&ch, 1));
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

Position CSource::findPreviousChar(char ch, Position nPos, Position nCount) const {
    if (nPos == NO_POS || nCount == 0 || nPos < m_nBegin) return NO_POS;
    const Position nDownTo = nCount - 1 >= nPos - m_nBegin ? m_nBegin : nPos - (nCount - 1);
    const size_t nHit = FindLastNoCase(m_pText, nPos, nDownTo, m_nEnd, std::string_view(&ch, 1));
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

Position CSource::findNext(std::string_view sText, Position nPos) const {
    if (nPos == NO_POS || nPos >= m_nEnd) return NO_POS;
    return memoised(m_forwardSearches, sText, std::max(nPos, m_nBegin), true,
                    [](const CSource& source, std::string_view text, Position nFrom) {
                        const size_t nHit = FindNoCase(source.m_pText, nFrom, source.m_nEnd, text);
                        return nHit == SIZE_MAX ? NO_POS : nHit;
                    });
}

Position CSource::findNext(std::string_view sText, Position nPos, Position nLimit) const {
    if (nLimit == NO_POS || nLimit >= m_nEnd) return findNext(sText, nPos);
    if (nPos == NO_POS) return NO_POS;
    const Position nFrom = std::max(nPos, m_nBegin);
    if (nFrom >= nLimit) return NO_POS;
    // Not remembered: the answer holds for the stretch before the limit only.
    const size_t nHit = FindNoCase(m_pText, nFrom, std::min(m_nEnd, nLimit - 1 + sText.size()), sText);
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

Position CSource::findPrevious(std::string_view sText, Position nPos, Position nLimit) const {
    if (nPos == NO_POS || nPos < m_nBegin) return NO_POS;
    auto search = [](const CSource& source, std::string_view text, Position nFrom, Position nDownTo) {
        const size_t nHit = FindLastNoCase(source.m_pText, nFrom, nDownTo, source.m_nEnd, text);
        return nHit == SIZE_MAX ? NO_POS : nHit;
    };
    if (nLimit != NO_POS && nLimit >= m_nBegin && nLimit < m_nEnd) {
        if (nPos <= nLimit) return NO_POS;
        return search(*this, sText, nPos, nLimit + 1);
    }
    // Whatever could match from beyond the end starts at most there.
    const Position nFrom = std::min(nPos, m_nEnd - std::min(m_nEnd, static_cast<Position>(sText.size())));
    if (nFrom < m_nBegin || sText.size() > m_nEnd - m_nBegin) return NO_POS;
    return memoised(m_backwardSearches, sText, nFrom, false,
                    [](const CSource& source, std::string_view text, Position nStart) {
                        const size_t nHit = FindLastNoCase(source.m_pText, nStart, source.m_nBegin, source.m_nEnd, text);
                        return nHit == SIZE_MAX ? NO_POS : nHit;
                    });
}

bool CSource::startsWith(std::string_view sText, Position nPos, Position nEnd) const {
    if (!contains(nPos) || nEnd > m_nEnd || sText.size() > nEnd - std::min(nPos, nEnd)) return false;
    return EqualsNoCase(m_pText + nPos, sText);
}

const std::vector<CTag*>& CSource::fullSequentialParse() {
    if (m_bFullSequentialParseDone) return m_vAllTags;
    if (m_Cache.hasEntries()) m_Cache.clear();
    m_idIndex.clear();
    // Tags are recognised directly; only the look-ups of comments and CDATA
    // sections before the first tag go through the cache's forward pass.
    const bool bUseCacheForTagAt = m_bUseCacheForTagAt;
    m_bUseCacheForTagAt = false;
    m_bUseCacheForFind = true;
    CTag::parseAll(this, false);
    m_bUseCacheForTagAt = bUseCacheForTagAt;
    m_bUseCacheForFind = true;
    m_nEndOfLastTag = NO_POS;
    m_bFullSequentialParseDone = true;
    return m_vAllTags;
}

void CSource::setAllTags(const std::vector<CTag*>& tags, size_t nRegistered, size_t nStartTags) {
    m_vAllTags.clear();
    m_vAllStartTags.clear();
    m_vAllTags.reserve(nRegistered);
    m_vAllStartTags.reserve(nStartTags);
    for (CTag* pTag : tags) {
        if (pTag->getSource() != this || pTag->isUnregistered()) continue;
        pTag->setTagIndex(static_cast<int64_t>(m_vAllTags.size()));
        m_vAllTags.push_back(pTag);
        if (pTag->isStartTag()) m_vAllStartTags.push_back(static_cast<CStartTag*>(pTag));
    }
    m_bAllTagsSet = true;
    m_bAllStartTagsSet = true;
}

const std::vector<CElement*>& CSource::getChildElements() {
    if (!childElementsBuilt() && m_vAllTags.empty())
        Trace("[CSource::getChildElements] NOTE: Calling CSource.fullSequentialParse() can significantly improve the "
              "performance of this operation.");
    return buildChildElements(0);
}
