#include "htmlparser/start_tag_types.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "base/text_search.h"
#include "diagnostics/trace.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

namespace {

const CStartTagTypeSingletonData& Types() {
    static const CStartTagTypeSingletonData* const pTypes = CStartTagTypeSingletonData::GetInstance();
    return *pTypes;
}

// The first '>' from nPos outside double quotes (and, with brackets, outside
// square brackets); the position after it, or NO_POS. Scans from different
// starts that reach a checkpoint in the same state end alike, so each
// checkpoint remembers its outcome: a page of unterminated declarations costs
// a few passes over the text, not one per declaration.
Position FindDeclarationEnd(CSource* pSource, Position nPos, bool bBrackets) {
    constexpr Position CHECKPOINT = 256;
    const char* pText = pSource->getText();
    std::unordered_map<uint64_t, Position>& memo = pSource->getScanMemo();
    std::vector<uint64_t> checkpoints;
    bool bQuoted = false;
    bool bBracketed = false;
    Position nResult = NO_POS;
    const Position nStart = std::max(nPos, pSource->getBegin());
    for (Position n = nStart; n < pSource->getEnd(); ++n) {
        if (n % CHECKPOINT == 0 && n != nStart) {
            const uint64_t nKey = n << 3 | (bQuoted ? 1u : 0u) | (bBracketed ? 2u : 0u) | (bBrackets ? 4u : 0u);
            const auto it = memo.find(nKey);
            if (it != memo.end()) {
                nResult = it->second;
                break;
            }
            checkpoints.push_back(nKey);
        }
        const char ch = pText[n];
        if (ch == '"') {
            bQuoted = !bQuoted;
        } else if (!bQuoted && bBrackets && ch == '[') {
            bBracketed = true;
        } else if (!bQuoted && bBrackets && ch == ']') {
            bBracketed = false;
        } else if (!bQuoted && !bBracketed && ch == '>') {
            nResult = n + 1;
            break;
        }
    }
    for (uint64_t nKey : checkpoints) memo.emplace(nKey, nResult);
    return nResult;
}

}  // namespace

const CStartTagTypeUnregistered* CStartTagTypeUnregistered::instance() { return &Types().m_unregistered; }
const CStartTagTypeNormal* CStartTagTypeNormal::instance() { return &Types().m_normal; }
const CStartTagTypeComment* CStartTagTypeComment::instance() { return &Types().m_comment; }
const CStartTagTypeXMLDeclaration* CStartTagTypeXMLDeclaration::instance() { return &Types().m_xmlDeclaration; }
const CStartTagTypeXMLProcessingInstruction* CStartTagTypeXMLProcessingInstruction::instance() {
    return &Types().m_xmlProcessingInstruction;
}
const CStartTagTypeDoctypeDeclaration* CStartTagTypeDoctypeDeclaration::instance() {
    return &Types().m_doctypeDeclaration;
}
const CStartTagTypeMarkupDeclaration* CStartTagTypeMarkupDeclaration::instance() { return &Types().m_markupDeclaration; }
const CStartTagTypeCDATASection* CStartTagTypeCDATASection::instance() { return &Types().m_cdataSection; }
const CStartTagTypeServerCommon* CStartTagTypeServerCommon::instance() { return &Types().m_serverCommon; }

CTag* CStartTagTypeUnregistered::constructTagAt(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeUnregistered::constructTagAt] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    if (!pSource->contains(nPos)) return nullptr;
    const Position nClose = pSource->findNextChar('>', std::max(nPos + 1, pSource->getBegin()), NO_POS);
    if (nClose == NO_POS) return nullptr;
    CStartTag* pTag = constructStartTag(pSource, nPos, nClose + 1, "", -1, nullptr);
    if (!IsTraceOn()) return pTag;
    const std::string sText = pSource->substring(nPos, nClose + 1 - nPos);
    if (pTag != nullptr)
        Trace("[CStartTagTypeUnregistered::constructTagAt] Encountered possible StartTag <%s> at <%d> whose content "
              "does not match a registered StartTagType.",
              sText.c_str(), PosArg(nPos));
    else
        Trace("[CStartTagTypeUnregistered::constructTagAt] Encountered possible StartTag <%s> at <%d> whose content "
              "does not match a registered StartTagType. CStartTagType::constructStartTag() failed.",
              sText.c_str(), PosArg(nPos));
    return pTag;
}

const CEndTagType* CStartTagTypeNormal::getCorrespondingEndTagType() const { return CEndTagTypeNormal::instance(); }

bool CStartTagTypeNormal::atEndOfAttributes(CSource* pSource, Position nPos, bool bIsClosingSlashIgnored) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeNormal::atEndOfAttributes] pSource is 0. nPos <%d>.", PosArg(nPos));
        return false;
    }
    if (!pSource->contains(nPos)) return false;
    if (pSource->getText()[nPos] == '>') return true;
    return !bIsClosingSlashIgnored && pSource->startsWith("/>", nPos, pSource->getEnd());
}

Position CStartTagTypeDoctypeDeclaration::findEnd(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeDoctypeDeclaration::findEnd] pSource is 0. nPos <%d>.", PosArg(nPos));
        return NO_POS;
    }
    return FindDeclarationEnd(pSource, nPos, true);
}

Position CStartTagTypeMarkupDeclaration::findEnd(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeMarkupDeclaration::findEnd] pSource is 0. nPos <%d>.", PosArg(nPos));
        return NO_POS;
    }
    return FindDeclarationEnd(pSource, nPos, false);
}

CTag* CStartTagTypeMarkupDeclaration::constructTagAt(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CStartTagTypeMarkupDeclaration::constructTagAt] pSource is 0. nPos <%d>.", PosArg(nPos));
        return nullptr;
    }
    // Names are checked before the tag is made, so a rejected name costs no object.
    const Position nNameEnd = pSource->getNameEnd(nPos + 2);
    if (nNameEnd == NO_POS) return nullptr;
    const std::string_view name = pSource->view(nPos + 1, nNameEnd);
    static const char* const NAMES[] = {"!element", "!attlist", "!entity", "!notation"};
    const bool bKnown = std::any_of(std::begin(NAMES), std::end(NAMES), [&](const char* pszName) {
        return name.size() == std::char_traits<char>::length(pszName) && EqualsNoCase(name.data(), pszName);
    });
    return bKnown ? CStartTagTypeGenericImplementation::constructTagAt(pSource, nPos) : nullptr;
}
