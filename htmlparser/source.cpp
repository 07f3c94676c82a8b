#include "htmlparser/source.h"

#include <algorithm>
#include <cctype>

#include "diagnostics/trace.h"
#include "htmlparser/text_search.h"

CSource::CSource(const char* pText, Position nBegin, Position nEnd)
    : CSegment(nBegin, nEnd), m_pText(pText), m_Cache(this) {
    m_pSource = this;
    m_vOwnedSegments.reserve(128);
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

bool CSource::isNameStartChar(unsigned char ch) { return std::isalpha(ch) || ch == '_' || ch == ':'; }

bool CSource::isNameChar(unsigned char ch) {
    return std::isalnum(ch) || ch == '.' || ch == '-' || ch == '_' || ch == ':';
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

Position CSource::findNextChar(char ch, Position nPos, Position nCount) const {
    const Position nFrom = std::max(nPos, m_nBegin);
    const Position nTo = nCount > m_nEnd - std::min(nPos, m_nEnd) ? m_nEnd : nPos + nCount;
    if (nFrom >= nTo) return NO_POS;
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
    if (nPos == NO_POS) return NO_POS;
    const size_t nHit = FindNoCase(m_pText, std::max(nPos, m_nBegin), m_nEnd, sText);
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

Position CSource::findPrevious(std::string_view sText, Position nPos, Position nLimit) const {
    if (nPos == NO_POS || nPos < m_nBegin) return NO_POS;
    Position nDownTo = m_nBegin;
    if (nLimit != NO_POS && nLimit >= m_nBegin && nLimit < m_nEnd) {
        if (nPos <= nLimit) return NO_POS;
        nDownTo = nLimit + 1;
    }
    const size_t nHit = FindLastNoCase(m_pText, nPos, nDownTo, m_nEnd, sText);
    return nHit == SIZE_MAX ? NO_POS : nHit;
}

bool CSource::startsWith(std::string_view sText, Position nPos, Position nEnd) const {
    if (!contains(nPos) || nEnd > m_nEnd || sText.size() > nEnd - std::min(nPos, nEnd)) return false;
    return EqualsNoCase(m_pText + nPos, sText);
}
