#include "htmlparser/end_tag_types.h"

#include <algorithm>

#include "diagnostics/trace.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag_types.h"

namespace {

const CEndTagTypeSingletonData& Types() {
    static const CEndTagTypeSingletonData* const pTypes = CEndTagTypeSingletonData::GetInstance();
    return *pTypes;
}

}  // namespace

const CEndTagTypeUnregistered* CEndTagTypeUnregistered::instance() { return &Types().m_unregistered; }
const CEndTagTypeNormal* CEndTagTypeNormal::instance() { return &Types().m_normal; }

const CStartTagType* CEndTagTypeNormal::getCorrespondingStartTagType() const { return CStartTagTypeNormal::instance(); }

CTag* CEndTagTypeUnregistered::constructTagAt(CSource* pSource, Position nPos) const {
    if (pSource == nullptr) {
        Trace("[CEndTagTypeUnregistered::constructTagAt] pSource is 0. nPos <%d>. ", PosArg(nPos));
        return nullptr;
    }
    if (!pSource->contains(nPos)) return nullptr;
    const Position p = nPos + getStartDelimiter().size();
    const Position nClose = pSource->findNextChar('>', std::max(p, pSource->getBegin()), NO_POS);
    if (nClose == NO_POS) {
        Trace("[CEndTagTypeUnregistered::getTagAt] Tag at <%d> not recognized as type <%s> because it has no end "
              "delimiter.",
              PosArg(nPos), getDescription().c_str());
        return nullptr;
    }
    const std::string csName(pSource->getText() + p, nClose - p);
    CEndTag* pTag = constructEndTag(pSource, nPos, nClose + 1, csName);
    if (pTag != nullptr)
        Trace("[CEndTagTypeUnregistered::constructTagAt] Encountered possible EndTag <%s> at <%d> whose content does "
              "not match a registered EndTagType.",
              csName.c_str(), PosArg(nPos));
    else
        Trace("[CEndTagTypeUnregistered::constructTagAt] Encountered possible EndTag <%s> at <%d> whose content does "
              "not match a registered EndTagType. constructEndTag failed.",
              csName.c_str(), PosArg(nPos));
    return pTag;
}
