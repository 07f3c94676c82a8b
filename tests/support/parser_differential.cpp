#include "tests/support/parser_differential.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "htmlparser/element.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"
#include "htmlparser/start_tag_types.h"
#include "htmlparser/tag.h"
#include "htmlparser/tag_type.h"

namespace {

std::string Describe(const CSegment* pSegment) {
    if (pSegment == nullptr) return "none";
    std::string sText = std::to_string(pSegment->getBegin()) + "-" + std::to_string(pSegment->getEnd());
    if (const auto* pTag = dynamic_cast<const CTag*>(pSegment))
        sText += ":" + pTag->getTagType()->getDescription() + ":" + pTag->getName();
    if (const auto* pElement = dynamic_cast<const CElement*>(pSegment))
        sText += ":element/" + (pElement->getEndTag() ? std::to_string(pElement->getEndTag()->getBegin()) : "-");
    return sText;
}

// The positions asked about: every '<' and a spread of others, at most nMax.
std::vector<Position> Positions(const CSource* pSource, size_t nMax) {
    std::vector<Position> positions;
    const std::string_view text = pSource->view(pSource->getBegin(), pSource->getEnd());
    for (size_t n = 0; n < text.size(); ++n)
        if (text[n] == '<' || n % 97 == 0) positions.push_back(pSource->getBegin() + n);
    positions.push_back(pSource->getEnd());
    if (positions.size() > nMax && nMax > 0) {
        std::vector<Position> sampled;
        const double dStep = static_cast<double>(positions.size()) / static_cast<double>(nMax);
        for (size_t n = 0; n < nMax; ++n) sampled.push_back(positions[static_cast<size_t>(static_cast<double>(n) * dStep)]);
        positions.swap(sampled);
    }
    return positions;
}

using Question = std::function<std::string(CSource*, Position)>;

std::vector<std::pair<const char*, Question>> Questions(bool bElements) {
    std::vector<std::pair<const char*, Question>> questions = {
        {"tag at", [](CSource* s, Position p) { return Describe(CTag::getTagAt(s, p)); }},
        {"next tag", [](CSource* s, Position p) { return Describe(CTag::findPreviousOrNextTag(s, p, false)); }},
        {"previous tag", [](CSource* s, Position p) { return Describe(CTag::findPreviousOrNextTag(s, p, true)); }},
        {"next comment",
         [](CSource* s, Position p) {
             return Describe(CTag::findPreviousOrNextTag(s, p, CStartTagTypeComment::instance(), false));
         }},
        {"previous CDATA",
         [](CSource* s, Position p) {
             return Describe(CTag::findPreviousOrNextTag(s, p, CStartTagTypeCDATASection::instance(), true));
         }},
        {"next normal end tag",
         [](CSource* s, Position p) {
             return Describe(CTag::findPreviousOrNextTag(s, p, CEndTagTypeNormal::instance(), false));
         }},
        {"previous start tag", [](CSource* s, Position p) { return Describe(CStartTag::findPreviousOrNext(s, p, true)); }},
        {"next div", [](CSource* s, Position p) { return Describe(CStartTag::findPreviousOrNext(s, p, "div", false)); }},
        {"previous td", [](CSource* s, Position p) { return Describe(CStartTag::findPreviousOrNext(s, p, "td", true)); }},
        {"next id=a",
         [](CSource* s, Position p) { return Describe(CStartTag::findNext(s, p, "id", "a", true)); }},
        {"next class=fld sl",
         [](CSource* s, Position p) { return Describe(CStartTag::findNext(s, p, "class", "FLD SL", false)); }},
        {"next </div>", [](CSource* s, Position p) { return Describe(CEndTag::findNextNormal(s, p, "div")); }},
    };
    if (bElements) {
        questions.push_back({"element", [](CSource* s, Position p) {
                                 CTag* pTag = CTag::getTagAt(s, p);
                                 return pTag == nullptr ? "none" : Describe(pTag->getElement());
                             }});
        // Parents are not asked: without the cache every look-up makes new
        // objects, so a parent found later is recorded on another object.
        questions.push_back({"children", [](CSource* s, Position p) {
                                 CTag* pTag = CTag::getTagAt(s, p);
                                 CElement* pElement = pTag == nullptr || !pTag->isStartTag() ? nullptr : pTag->getElement();
                                 if (pElement == nullptr) return std::string("none");
                                 std::string sText;
                                 for (const CElement* pChild : pElement->getChildElements()) sText += Describe(pChild) + ",";
                                 return sText;
                             }});
    }
    return questions;
}

std::unique_ptr<CSource> Make(const std::string& sText, Position nHtmlBegin) {
    return std::unique_ptr<CSource>(CSource::CREATE_NEW_INT(sText.data(), nHtmlBegin, sText.size()));
}

}  // namespace

std::string CompareCachedWithUncached(const std::string& sText, Position nHtmlBegin, size_t nMaxPositions,
                                      bool bFullParseFirst) {
    auto pCached = Make(sText, nHtmlBegin);
    auto pUncached = Make(sText, nHtmlBegin);
    if (!pCached || !pUncached) return "no source";
    pUncached->m_bUseCacheForTagAt = false;
    // Without any cache, deciding whether a position lies in a comment asks
    // about every earlier "<!" again, recursively: exponential in their
    // number. Past a dozen, comments and CDATA sections keep their index.
    size_t nMarkupStarts = 0;
    for (size_t n = sText.find("<!"); n != std::string::npos; n = sText.find("<!", n + 1)) ++nMarkupStarts;
    pUncached->m_bUseCacheForFind = nMarkupStarts > 12;
    if (bFullParseFirst) pCached->fullSequentialParse();
    const std::vector<Position> positions = Positions(pCached.get(), nMaxPositions);
    // Elements cost the uncached source a great deal: ask about fewer of them.
    const size_t nElementEvery = std::max<size_t>(1, positions.size() / 40);
    for (size_t n = 0; n < positions.size(); ++n)
        for (const auto& [pszQuestion, question] : Questions(n % nElementEvery == 0)) {
            const std::string sCached = question(pCached.get(), positions[n]);
            const std::string sUncached = question(pUncached.get(), positions[n]);
            if (sCached != sUncached)
                return std::string(pszQuestion) + " at " + std::to_string(positions[n]) + ": cached " + sCached +
                       ", uncached " + sUncached;
        }
    return {};
}

std::string CheckFullParse(const std::string& sText, Position nHtmlBegin, size_t nMaxPositions) {
    auto pSource = Make(sText, nHtmlBegin);
    if (!pSource) return "no source";
    const std::vector<CTag*>& tags = pSource->fullSequentialParse();
    for (size_t n = 0; n < tags.size(); ++n) {
        if (tags[n]->getTagIndex() != static_cast<int64_t>(n)) return "tag index " + std::to_string(n);
        if (tags[n]->isUnregistered()) return "unregistered tag listed at " + std::to_string(n);
        if (n > 0 && tags[n]->getBegin() <= tags[n - 1]->getBegin()) return "tags out of order at " + std::to_string(n);
    }
    auto firstAtOrAfter = [&](Position p) {
        return std::lower_bound(tags.begin(), tags.end(), p, [](const CTag* t, Position q) { return t->getBegin() < q; });
    };
    for (Position p : Positions(pSource.get(), nMaxPositions)) {
        const auto it = firstAtOrAfter(p);
        CTag* pAt = CTag::getTagAt(pSource.get(), p);
        if (it != tags.end() && (*it)->getBegin() == p ? pAt != *it : pAt != nullptr && !pAt->isUnregistered())
            return "tag at " + std::to_string(p) + ": " + Describe(pAt);
        CTag* pExpectedNext = it == tags.end() || p >= pSource->getEnd() ? nullptr : *it;
        if (CTag::findPreviousOrNextTag(pSource.get(), p, false) != pExpectedNext) return "next tag at " + std::to_string(p);
        const auto itAfter = firstAtOrAfter(std::min(p, pSource->getEnd() - 1) + 1);
        CTag* pExpectedPrevious = itAfter == tags.begin() ? nullptr : *std::prev(itAfter);
        if (pSource->getEnd() > pSource->getBegin() &&
            CTag::findPreviousOrNextTag(pSource.get(), p, true) != pExpectedPrevious)
            return "previous tag at " + std::to_string(p);
    }
    return {};
}
