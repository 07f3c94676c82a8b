// Arbitrary bytes as a page: the tag at every position, the attributes of
// every start tag, and the searches must stay inside the source.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

namespace {

void CheckInside(const CSource* pSource, const CSegment* pSegment) {
    if (pSegment == nullptr) return;
    if (pSegment->getSource() != pSource || pSegment->getBegin() > pSegment->getEnd() ||
        pSegment->getBegin() < pSource->getBegin() || pSegment->getEnd() > pSource->getEnd())
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData) {
    // The first byte chooses where the HTML begins, as a response head would.
    const size_t nHtmlBegin = cbData == 0 ? 0 : pData[0] % (cbData + 1);
    std::unique_ptr<CSource> pSource(
        CSource::CREATE_NEW_INT(reinterpret_cast<const char*>(pData), nHtmlBegin, cbData));
    if (!pSource) std::abort();
    for (Position n = pSource->getBegin(); n < pSource->getEnd(); ++n) {
        CTag* pTag = CTag::getTagAt(pSource.get(), n);
        CheckInside(pSource.get(), pTag);
        if (pTag == nullptr || !pTag->isStartTag()) continue;
        if (pTag->getBegin() != n) std::abort();
        CAttributes* pAttributes = static_cast<CStartTag*>(pTag)->parseAttributes();
        CheckInside(pSource.get(), pAttributes);
        if (pAttributes == nullptr) continue;
        for (const CAttribute* pAttribute : pAttributes->getAttributes()) {
            CheckInside(pSource.get(), pAttribute);
            CheckInside(pSource.get(), pAttribute->getValueSegmentIncludingQuotes());
        }
    }
    const Position nMiddle = pSource->getBegin() + (pSource->getEnd() - pSource->getBegin()) / 2;
    CheckInside(pSource.get(), CStartTag::findPreviousOrNext(pSource.get(), nMiddle, "a", false));
    CheckInside(pSource.get(), CStartTag::findPreviousOrNext(pSource.get(), nMiddle, "div", true));
    CheckInside(pSource.get(), CStartTag::findNext(pSource.get(), pSource->getBegin(), "id", "a", true));
    CheckInside(pSource.get(), CTag::findPreviousOrNextTag(pSource.get(), pSource->getEnd(), true));
    return 0;
}
