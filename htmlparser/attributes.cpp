#include "htmlparser/attributes.h"

#include <algorithm>
#include <cstring>

#include "base/ascii_case.h"
#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "htmlparser/attribute.h"
#include "htmlparser/html_elements.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag_types.h"

namespace {

enum State { AFTER_NAME = 0, BETWEEN = 1, IN_NAME = 2, BEFORE_EQUALS = 3, AFTER_EQUALS = 4, IN_VALUE = 5 };
constexpr char NO_QUOTE = ' ';

// One run of the attribute state machine over a tag.
class CAttributeParser {
public:
    CAttributeParser(CSource* pSource, const char* pszType, Position nBeginPos, const CStartTagType* pType,
                     const std::string& csName, int nMaxErrorCount, CAttributes::EMode eMode)
        : m_pSource(pSource),
          m_eMode(eMode),
          m_pszType(pszType),
          m_nBeginPos(nBeginPos),
          m_pType(pType),
          m_csName(csName),
          m_nMaxErrorCount(nMaxErrorCount),
          m_vAttributes(pSource->takeAttributeList()) {}
    ~CAttributeParser() { m_pSource->returnAttributeList(std::move(m_vAttributes)); }
    CAttributeParser(const CAttributeParser&) = delete;
    CAttributeParser& operator=(const CAttributeParser&) = delete;

    // The end of the list, or NO_POS when it is rejected.
    Position run(int nState, Position nAttributesBegin, Position nMaxEnd, bool bIsClosingSlashIgnored);
    std::vector<CAttribute*>& attributes() { return m_vAttributes; }
    bool traced() const { return m_eMode != CAttributes::EMode::MAKE_QUIETLY && IsTraceOn(); }

private:
    // Writes "[CAttributes::construct] Type <..> Tag name <..> Begin pos <..>" and the rest.
    void reject(const char* pszReason, Position nAt) {
        if (traced())
            Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> %s at <%d>.", m_pszType,
                  m_csName.c_str(), PosArg(m_nBeginPos), pszReason, PosArg(nAt));
    }
    // Counts an error; false when the budget is exceeded (rejected).
    bool error() {
        if (++m_nErrors <= m_nMaxErrorCount) return true;
        if (traced())
            Trace("[CAttributes::reachedMaxErrorCount] Type <%s> Tag name <%s> Begin pos <%d> Rejected because it "
                  "contains too many errors.",
                  m_pszType, m_csName.c_str(), PosArg(m_nBeginPos));
        return false;
    }
    bool isInvalidEmptyElement(Position nPos) {
        if (m_pType != CStartTagTypeNormal::instance() || !m_pType->atEndOfAttributes(m_pSource, nPos, false))
            return false;
        if (traced())
            Trace("[CAttributes::isInvalidEmptyElementTag] Type <%s> Tag name <%s> Begin pos <%d> Contains a '/' "
                  "character before the closing '>', which is ignored because tags of this name cannot be "
                  "empty-element tags.",
                  m_pszType, m_csName.c_str(), PosArg(m_nBeginPos));
        return true;
    }
    // The first chQuote in [nPos, nMaxEnd), else nMaxEnd; the source end
    // when neither lies inside the source.
    Position skipTo(char chQuote, Position nPos, Position nMaxEnd) const {
        const Position nTo = std::min(nMaxEnd, m_pSource->getEnd());
        if (nPos >= nTo) return nPos;
        const char* pText = m_pSource->getText();
        const void* pHit = std::memchr(pText + nPos, chQuote, nTo - nPos);
        return pHit != nullptr ? static_cast<const char*>(pHit) - pText : nTo;
    }
    bool addAttribute(Position nValueBegin, Position nValueEnd, Position nQuotedBegin, Position nQuotedEnd,
                      Position nAt);
    bool addAttributeWithoutValue(Position nAt) { return add(nullptr, nullptr, nAt); }
    bool add(CSegment* pValue, CSegment* pQuoted, Position nAt);
    bool makes() const { return m_eMode != CAttributes::EMode::CHECK; }

    CSource* m_pSource;
    CAttributes::EMode m_eMode;
    const char* m_pszType;
    Position m_nBeginPos;
    const CStartTagType* m_pType;
    const std::string& m_csName;
    int m_nMaxErrorCount;
    int m_nErrors = 0;
    std::vector<CAttribute*> m_vAttributes;
    Position m_nNameBegin = 0;
    Position m_nNameEnd = 0;
};

bool CAttributeParser::addAttribute(Position nValueBegin, Position nValueEnd, Position nQuotedBegin,
                                    Position nQuotedEnd, Position nAt) {
    if (!makes()) return true;
    CSegment* pValue = CSegment::CREATE_NEW_INST(m_pSource, nValueBegin, nValueEnd);
    CSegment* pQuoted = pValue == nullptr ? nullptr
                        : nQuotedBegin == nValueBegin && nQuotedEnd == nValueEnd
                            ? pValue
                            : CSegment::CREATE_NEW_INST(m_pSource, nQuotedBegin, nQuotedEnd);
    if (pValue == nullptr || pQuoted == nullptr) {
        reject("Rejected because CSegment::CREATE_NEW_INST() failed", nAt);
        return false;
    }
    return add(pValue, pQuoted, nAt);
}

bool CAttributeParser::add(CSegment* pValue, CSegment* pQuoted, Position nAt) {
    if (!makes()) return true;
    CSegment* pNameSegment = CSegment::CREATE_NEW_INST(m_pSource, m_nNameBegin, m_nNameEnd);
    if (pNameSegment == nullptr) {
        reject("Rejected because CSegment::CREATE_NEW_INST() failed", nAt);
        return false;
    }
    const std::string csName(m_pSource->view(m_nNameBegin, m_nNameEnd));
    CAttribute* pAttribute = CAttribute::CREATE_NEW_INST(m_pSource, csName, pNameSegment, pValue, pQuoted);
    if (pAttribute == nullptr) {
        reject("Rejected because CAttribute::CREATE_NEW_INST() failed", nAt);
        return false;
    }
    m_vAttributes.push_back(pAttribute);
    return true;
}

Position CAttributeParser::run(int nState, Position nAttributesBegin, Position nMaxEnd,
                                   bool bIsClosingSlashIgnored) {
    const char* pText = m_pSource->getText();
    Position nPos = nAttributesBegin;
    Position nAttributesEnd = nAttributesBegin;
    Position nNameBegin = 0, nValueBegin = 0;
    char chQuote = NO_QUOTE;
    bool bEndDetected = false;
    while (true) {
        if (bEndDetected) return nAttributesEnd;
        if (!m_pSource->contains(nPos)) {
            if (traced())
                Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Rejected because it has no "
                      "closing '>' character.",
                      m_pszType, m_csName.c_str(), PosArg(m_nBeginPos));
            return NO_POS;
        }
        // Inside a quoted value only the quote and the forced end matter;
        // inside a name only what is not a name character (no end of a
        // normal tag's attributes begins with one).
        if (nState == IN_VALUE && chQuote != NO_QUOTE) {
            nPos = skipTo(chQuote, nPos, nMaxEnd);
            if (!m_pSource->contains(nPos)) continue;
        } else if (nState == IN_NAME && m_pType == CStartTagTypeNormal::instance()) {
            while (nPos + 1 < nMaxEnd && m_pSource->contains(nPos + 1) &&
                   CSource::isNameChar(static_cast<unsigned char>(pText[nPos])))
                ++nPos;
        }
        const bool bAtEnd = nPos == nMaxEnd || m_pType->atEndOfAttributes(m_pSource, nPos, bIsClosingSlashIgnored);
        const unsigned char ch = static_cast<unsigned char>(pText[nPos]);
        const bool bSpace = IsAsciiSpace(ch);
        bool bReread = false;
        switch (nState) {
            case AFTER_NAME:
                if (bAtEnd) {
                    bEndDetected = true;
                } else if (bSpace) {
                    nState = BETWEEN;
                } else if (!isInvalidEmptyElement(nPos)) {
                    reject("Rejected because name contains invalid character", nPos);
                    return NO_POS;
                }
                break;
            case BETWEEN:
                if (bAtEnd) {
                    bEndDetected = true;
                    break;
                }
                if (bSpace) {
                    chQuote = NO_QUOTE;
                    break;
                }
                if (chQuote != NO_QUOTE && traced())
                    Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Has missing whitespace "
                          "after quoted attribute value at <%d>.",
                          m_pszType, m_csName.c_str(), PosArg(m_nBeginPos), PosArg(nPos));
                if (CSource::isNameStartChar(ch)) {
                    nNameBegin = nPos;
                    nState = IN_NAME;
                } else if (ch == '<') {
                    reject("Rejected because of '<' character", nPos);
                    return NO_POS;
                } else if (!isInvalidEmptyElement(nPos)) {
                    if (traced())
                        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Contains attribute name "
                              "with invalid first character at <%d>.",
                              m_pszType, m_csName.c_str(), PosArg(m_nBeginPos), PosArg(nPos));
                    if (!error()) return NO_POS;
                    nNameBegin = nPos;
                    nState = IN_NAME;
                }
                break;
            case IN_NAME:
                if (!bAtEnd && ch != '=' && !bSpace) {
                    if (CSource::isNameChar(ch)) break;
                    if (ch == '<') {
                        reject("Rejected because of '<' character in attribute name", nPos);
                        return NO_POS;
                    }
                    if (isInvalidEmptyElement(nPos)) break;
                    if (traced())
                        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Contains attribute name "
                              "with invalid character at <%d>",
                              m_pszType, m_csName.c_str(), PosArg(m_nBeginPos), PosArg(nPos));
                    if (!error()) return NO_POS;
                    break;
                }
                m_nNameBegin = nNameBegin;
                m_nNameEnd = nPos;
                if (bAtEnd) {
                    if (!addAttributeWithoutValue(nPos)) return NO_POS;
                    nAttributesEnd = nPos;
                    bEndDetected = true;
                } else {
                    nState = ch == '=' ? AFTER_EQUALS : BEFORE_EQUALS;
                }
                break;
            case BEFORE_EQUALS:
                if (ch == '=' && !bAtEnd) {
                    nState = AFTER_EQUALS;
                } else if (!bSpace || bAtEnd) {
                    if (!addAttributeWithoutValue(nPos)) return NO_POS;
                    nAttributesEnd = m_nNameEnd;
                    if (bAtEnd) {
                        bEndDetected = true;
                    } else {
                        nState = BETWEEN;
                        bReread = true;
                    }
                }
                break;
            case AFTER_EQUALS:
                nValueBegin = nPos;
                if (bAtEnd) {
                    if (traced())
                        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Has missing attribute "
                              "value after '=' sign at <%d>.",
                              m_pszType, m_csName.c_str(), PosArg(m_nBeginPos), PosArg(nPos));
                    if (!addAttribute(nPos, nPos, nPos, nPos, nPos)) return NO_POS;
                    nAttributesEnd = nPos;
                    nState = BETWEEN;
                    bEndDetected = true;
                } else if (bSpace) {
                } else if (ch == '<') {
                    reject("Rejected because of '<' character at start of attribute value", nPos);
                    return NO_POS;
                } else if (ch == '\'' || ch == '"') {
                    chQuote = static_cast<char>(ch);
                    nValueBegin = nPos + 1;
                    nState = IN_VALUE;
                } else {
                    chQuote = NO_QUOTE;
                    nState = IN_VALUE;
                }
                break;
            case IN_VALUE:
                if (chQuote == NO_QUOTE) {
                    if (bSpace || bAtEnd) {
                        if (!addAttribute(nValueBegin, nPos, nValueBegin, nPos, nPos)) return NO_POS;
                        nAttributesEnd = nPos;
                        nState = BETWEEN;
                        bReread = bAtEnd;  // the end is seen again between attributes
                    } else if (ch == '<') {
                        reject("Rejected because of '<' character in unquoted attribute value", nPos);
                        return NO_POS;
                    }
                } else if (ch == static_cast<unsigned char>(chQuote)) {
                    if (!addAttribute(nValueBegin, nPos, nValueBegin - 1, nPos + 1, nPos)) return NO_POS;
                    nAttributesEnd = nPos + 1;
                    nState = BETWEEN;
                } else if (bAtEnd && nPos == nMaxEnd) {
                    if (traced())
                        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d>. Tag terminated in the "
                              "middle of a quoted attribute value at <%d>. ",
                              m_pszType, m_csName.c_str(), PosArg(m_nBeginPos), PosArg(nPos));
                    if (!error()) return NO_POS;
                    if (!addAttribute(nValueBegin, nPos, nValueBegin - 1, nPos, nPos)) return NO_POS;
                    nAttributesEnd = nPos;
                    nState = BETWEEN;
                    bReread = true;
                }
                break;
            default: return NO_POS;
        }
        if (!bReread) ++nPos;
    }
}

}  // namespace

CAttributes* CAttributes::CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd,
                                          std::vector<CAttribute*>* pAttributesVec) {
    bool bValid = true;
    if (!CSegment::checkConstructorArgs(pSource, nBegin, nEnd)) {
        Trace("[CAttribute::checkConstructorArgs] CSegment::checkConstructorArgs() failed. nBegin <%d> nEnd <%d> .",
              PosArg(nBegin), PosArg(nEnd));
        bValid = false;
    } else if (pAttributesVec == nullptr) {
        Trace("[CAttribute::checkConstructorArgs] pAttributesVec is 0. nBegin <%d> nEnd <%d>. ", PosArg(nBegin),
              PosArg(nEnd));
        bValid = false;
    }
    if (!bValid) {
        Trace("[CAttributes::CREATE_NEW_INST] checkConstructorArgs() failed. nBegin <%d> nEnd <%d>.", PosArg(nBegin),
              PosArg(nEnd));
        return nullptr;
    }
    return pSource->make<CAttributes>(nBegin, nEnd, pSource->copyToArena(*pAttributesVec));
}

CAttributes* CAttributes::construct(CSource* pSource, const char* pszType, int nInitialState, Position nBeginPos,
                                    Position nAttributesBegin, Position nMaxEnd, const CStartTagType* pStartTagType,
                                    const std::string& csName, int64_t nNameIndex, int nMaxErrorCount) {
    return parse(EMode::MAKE, pSource, pszType, nInitialState, nBeginPos, nAttributesBegin, nMaxEnd, pStartTagType,
                 csName, nNameIndex, nMaxErrorCount)
        .pAttributes;
}

Position CAttributes::checkForTag(CSource* pSource, const CStartTagType* pType, Position nBeginPos,
                                  const std::string& csName, int64_t nNameIndex) {
    return parseForTag(EMode::CHECK, pSource, pType, nBeginPos, csName, nNameIndex).nEnd;
}

CAttributes* CAttributes::makeForTag(CSource* pSource, const CStartTagType* pType, Position nBeginPos,
                                     const std::string& csName, int64_t nNameIndex) {
    return parseForTag(EMode::MAKE_QUIETLY, pSource, pType, nBeginPos, csName, nNameIndex).pAttributes;
}

CAttributes::CResult CAttributes::parseForTag(EMode eMode, CSource* pSource, const CStartTagType* pType,
                                              Position nBeginPos, const std::string& csName, int64_t nNameIndex) {
    return parse(eMode, pSource, pType->getDescription().c_str(), 0, nBeginPos, NO_POS, NO_POS, pType, csName,
                 nNameIndex, 2);
}

CAttributes::CResult CAttributes::parse(EMode eMode, CSource* pSource, const char* pszType, int nInitialState,
                                        Position nBeginPos, Position nAttributesBegin, Position nMaxEnd,
                                        const CStartTagType* pStartTagType, const std::string& csName,
                                        int64_t nNameIndex, int nMaxErrorCount) {
    if (pSource == nullptr || pStartTagType == nullptr) {
        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> pSource or pStartTagType is 0.", pszType,
              csName.c_str(), PosArg(nBeginPos));
        return {};
    }
    bool bIsClosingSlashIgnored = false;
    if (!csName.empty()) {
        if (nAttributesBegin == NO_POS) nAttributesBegin = nBeginPos + csName.size() + 1;
        bIsClosingSlashIgnored = pStartTagType == CStartTagTypeNormal::instance() &&
                                 CHTMLElementsSingletonData::instance().m_hasEndTag.contains(nNameIndex);
    } else {
        nAttributesBegin = nBeginPos;
    }
    CAttributeParser parser(pSource, pszType, nBeginPos, pStartTagType, csName, nMaxErrorCount, eMode);
    const Position nEnd = parser.run(nInitialState, nAttributesBegin, nMaxEnd, bIsClosingSlashIgnored);
    if (nEnd == NO_POS || eMode == EMode::CHECK) return {nEnd, nullptr};
    CAttributes* pAttributes = CREATE_NEW_INST(pSource, nAttributesBegin, nEnd, &parser.attributes());
    if (pAttributes == nullptr && parser.traced())
        Trace("[CAttributes::construct] Type <%s> Tag name <%s> Begin pos <%d> Rejected because "
              "CAttributes::CREATE_NEW_INST failed.",
              pszType, csName.c_str(), PosArg(nBeginPos));
    return {pAttributes == nullptr ? NO_POS : nEnd, pAttributes};
}

CAttribute* CAttributes::get(std::string_view csName) const {
    for (CAttribute* pAttribute : m_attributes)
        if (pAttribute->getName().size() == csName.size() && EqualsNoCase(pAttribute->getName().data(), csName))
            return pAttribute;
    return nullptr;
}
