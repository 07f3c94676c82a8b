// The parser on the 150 KB basic calendar view, all in one run:
//   lookups  a fresh source answering what a page modifier asks (elements by
//            id, start tags by name and attribute value, parent, children,
//            siblings, inner text),
//   full     the full sequential parse,
//   gumbo    gumbo parsing the same page into its tree,
//   memchr   one memchr pass for '<' (the floor),
// and adversarial pages of 200 KB to 1.6 MB (full parse and every start
// tag's element, against gumbo on the same page).
// Peak bytes allocated per page are reported as counters.
#include <benchmark/benchmark.h>
#include <gumbo.h>
#include <malloc.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <new>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench/support/ratio_reporter.h"
#include "htmlparser/attribute.h"
#include "htmlparser/attributes.h"
#include "htmlparser/element.h"
#include "htmlparser/source.h"
#include "htmlparser/start_tag.h"

namespace {

// The replacement operator new below allocates with malloc on purpose.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

size_t g_cbLive = 0;
size_t g_cbPeak = 0;

}  // namespace

// Counts what operator new hands out (the parser's and gumbo's C++ side;
// gumbo itself allocates with malloc, counted through its allocator hook).
void* operator new(size_t cbSize) {
    void* p = std::malloc(cbSize == 0 ? 1 : cbSize);
    if (p == nullptr) throw std::bad_alloc();
    g_cbLive += malloc_usable_size(p);
    g_cbPeak = std::max(g_cbPeak, g_cbLive);
    return p;
}
void operator delete(void* p) noexcept {
    if (p == nullptr) return;
    g_cbLive -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

void* GumboAllocate(void*, size_t cbSize) {
    void* p = std::malloc(cbSize);
    g_cbLive += malloc_usable_size(p);
    g_cbPeak = std::max(g_cbPeak, g_cbLive);
    return p;
}
void GumboFree(void*, void* p) {
    if (p == nullptr) return;
    g_cbLive -= malloc_usable_size(p);
    std::free(p);
}

const std::string& CalendarPage() {
    static const std::string sPage = [] {
        std::ifstream file(KX_CALENDAR_PAGE, std::ios::binary);
        std::ostringstream text;
        text << file.rdbuf();
        return text.str();
    }();
    return sPage;
}

// Unclosed and same-name nesting, runs of '<', unterminated comments and
// quotes; cbSize bytes.
std::string AdversarialPage(size_t cbSize) {
    std::string sText;
    unsigned nSeed = 7;
    const char* const pieces[] = {"<div>", "<div><div>", "</div>", "<<<<<<<<", "<!-- open ", "<a href=\"x",
                                  "<p>", "<li>", "<td>", "text ", "<span title='>'>", "</span>", "<ul>", "-->",
                                  "<!doctype x [ ", "<![cdata[ "};
    while (sText.size() < cbSize) {
        nSeed = nSeed * 1103515245 + 12345;
        sText += pieces[(nSeed >> 16) % (sizeof(pieces) / sizeof(pieces[0]))];
    }
    return sText;
}

struct CPeak {
    CPeak() : m_cbStart(g_cbLive) { g_cbPeak = g_cbLive; }
    size_t Bytes() const { return g_cbPeak - m_cbStart; }
    size_t m_cbStart;
};

// What the basic calendar view modifier asks of a page.
size_t PageModifierLookups(const std::string& sPage) {
    CSource* pSource = CSource::CREATE_NEW_INT(sPage.data(), 0, sPage.size());
    size_t nAnswers = 0;
    if (CElement* pToday = pSource->getElementById("lnkHdrtoday")) {
        CElement* pCell = pToday->getParentElement();
        if (pCell != nullptr && pCell->getParentElement() != nullptr)
            nAnswers += pCell->getParentElement()->getChildElements().size();  // the cell's siblings
    }
    if (CElement* pManage = pSource->getElementById("lnkMngFldr")) nAnswers += pManage->getContent()->length();
    for (CStartTag* pLink = CStartTag::findPreviousOrNext(pSource, 0, "link", false); pLink != nullptr;
         pLink = CStartTag::findPreviousOrNext(pSource, pLink->getEnd(), "link", false))
        if (pLink->getAttributes() != nullptr && pLink->getAttributes()->get("href") != nullptr) ++nAnswers;
    if (CStartTag* pTable = CStartTag::findNext(pSource, 0, "class", "snt", false)) {
        if (CElement* pCell = pTable->getElement()->findFirstChildOrNestedChildElementByNameAttribute("class", "fld sl", false))
            nAnswers += pSource->substring(pCell->getContentBegin(), pCell->getContentEnd() - pCell->getContentBegin()).size();
    }
    if (CStartTag* pHead = CStartTag::findPreviousOrNext(pSource, 0, "head", false))
        nAnswers += pHead->getElement()->getChildElements().size();
    delete pSource;
    return nAnswers;
}

void BM_Lookups(benchmark::State& state) {
    size_t cbPeak = 0;
    for (auto _ : state) {
        CPeak peak;
        benchmark::DoNotOptimize(PageModifierLookups(CalendarPage()));
        cbPeak = peak.Bytes();
    }
    state.counters["peak_bytes"] = static_cast<double>(cbPeak);
}

void BM_FullParse(benchmark::State& state) {
    size_t cbPeak = 0;
    for (auto _ : state) {
        CPeak peak;
        CSource* pSource = CSource::CREATE_NEW_INT(CalendarPage().data(), 0, CalendarPage().size());
        benchmark::DoNotOptimize(pSource->fullSequentialParse().size());
        cbPeak = peak.Bytes();
        delete pSource;
    }
    state.counters["peak_bytes"] = static_cast<double>(cbPeak);
}

void BM_Gumbo(benchmark::State& state) {
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &GumboAllocate;
    options.deallocator = &GumboFree;
    size_t cbPeak = 0;
    for (auto _ : state) {
        CPeak peak;
        GumboOutput* pOutput = gumbo_parse_with_options(&options, CalendarPage().data(), CalendarPage().size());
        benchmark::DoNotOptimize(pOutput->root);
        cbPeak = peak.Bytes();
        gumbo_destroy_output(&options, pOutput);
    }
    state.counters["peak_bytes"] = static_cast<double>(cbPeak);
}

void BM_MemchrFloor(benchmark::State& state) {
    const std::string& sPage = CalendarPage();
    for (auto _ : state) {
        size_t nCount = 0;
        for (const char* p = sPage.data(); (p = static_cast<const char*>(std::memchr(p, '<', sPage.data() + sPage.size() - p))) != nullptr; ++p)
            ++nCount;
        benchmark::DoNotOptimize(nCount);
    }
}

// Runs ours and gumbo's version of the same work in each iteration; the
// iteration's time is ours, and the counter gumbo_ratio ours over gumbo's.
template <class Ours, class Gumbo>
void TimeAgainstGumbo(benchmark::State& state, Ours ours, Gumbo gumbo) {
    double dOurs = 0, dGumbo = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        ours();
        const auto middle = std::chrono::steady_clock::now();
        gumbo();
        const auto end = std::chrono::steady_clock::now();
        const double dIteration = std::chrono::duration<double>(middle - start).count();
        dOurs += dIteration;
        dGumbo += std::chrono::duration<double>(end - middle).count();
        state.SetIterationTime(dIteration);
    }
    state.counters["gumbo_ratio"] = dGumbo > 0 ? dOurs / dGumbo : 0;
}

// The full parse and every start tag's element against gumbo's parse of the
// same adversarial page (range(0) KB).
void BM_AdversarialFullParseAndElements(benchmark::State& state) {
    const std::string sPage = AdversarialPage(static_cast<size_t>(state.range(0)) * 1024);
    TimeAgainstGumbo(
        state,
        [&] {
            CSource* pSource = CSource::CREATE_NEW_INT(sPage.data(), 0, sPage.size());
            pSource->fullSequentialParse();
            for (CStartTag* pTag : pSource->getAllStartTags()) benchmark::DoNotOptimize(pTag->getElement());
            delete pSource;
        },
        [&] {
            GumboOutput* pOutput = gumbo_parse_with_options(&kGumboDefaultOptions, sPage.data(), sPage.size());
            benchmark::DoNotOptimize(pOutput->root);
            gumbo_destroy_output(&kGumboDefaultOptions, pOutput);
        });
}

void BM_CalendarFullParseAndElements(benchmark::State& state) {
    for (auto _ : state) {
        CSource* pSource = CSource::CREATE_NEW_INT(CalendarPage().data(), 0, CalendarPage().size());
        pSource->fullSequentialParse();
        for (CStartTag* pTag : pSource->getAllStartTags()) benchmark::DoNotOptimize(pTag->getElement());
        delete pSource;
    }
}

// N unclosed <div> before a link in its table cell: the basic calendar view
// modifier's "lnkHdrtoday" look-up and its parent, on a page shaped by an
// outside sender.
std::string UnclosedDivsPage(int64_t nDivs) {
    std::string sPage = "<html><body><table><tr><td>";
    for (int64_t n = 0; n < nDivs; ++n) sPage += "<div>";
    return sPage + "<a id=\"lnkHdrtoday\">today</a></td></tr></table></body></html>";
}

void BM_HostileParentOfTheLink(benchmark::State& state) {
    const std::string sPage = UnclosedDivsPage(state.range(0));
    for (auto _ : state) {
        CSource* pSource = CSource::CREATE_NEW_INT(sPage.data(), 0, sPage.size());
        CElement* pLink = pSource->getElementById("lnkHdrtoday");
        benchmark::DoNotOptimize(pLink != nullptr ? pLink->getParentElement() : nullptr);
        delete pSource;
    }
}

void BM_HostileFullParseEveryParent(benchmark::State& state) {
    const std::string sPage = UnclosedDivsPage(state.range(0));
    for (auto _ : state) {
        CSource* pSource = CSource::CREATE_NEW_INT(sPage.data(), 0, sPage.size());
        pSource->fullSequentialParse();
        for (CStartTag* pTag : pSource->getAllStartTags())
            if (CElement* pElement = pTag->getElement()) benchmark::DoNotOptimize(pElement->getParentElement());
        delete pSource;
    }
}

// N anchors with ids; every id looked up once, against gumbo parsing the page
// and indexing its ids in one walk of the tree (the same work done its way).
// Reported time is ours; the counter gumbo_ratio is ours over gumbo's.
void BM_IdLookups(benchmark::State& state) {
    std::string sPage = "<html><body>";
    std::vector<std::string> ids;
    for (int64_t n = 0; n < state.range(0); ++n) {
        ids.push_back("anchor" + std::to_string(n));
        sPage += "<a id=\"" + ids.back() + "\" href=\"#x\">" + std::to_string(n) + "</a>\n";
    }
    sPage += "</body></html>";
    TimeAgainstGumbo(
        state,
        [&] {
            CSource* pSource = CSource::CREATE_NEW_INT(sPage.data(), 0, sPage.size());
            for (const std::string& sId : ids) benchmark::DoNotOptimize(pSource->getElementById(sId));
            delete pSource;
        },
        [&] {
            GumboOutput* pOutput = gumbo_parse(sPage.c_str());
            std::unordered_map<std::string, const GumboNode*> byId;
            std::vector<const GumboNode*> pending{pOutput->root};
            while (!pending.empty()) {
                const GumboNode* pNode = pending.back();
                pending.pop_back();
                if (pNode->type != GUMBO_NODE_ELEMENT) continue;
                if (const GumboAttribute* pId = gumbo_get_attribute(&pNode->v.element.attributes, "id"))
                    byId.emplace(pId->value, pNode);
                for (unsigned n = 0; n < pNode->v.element.children.length; ++n)
                    pending.push_back(static_cast<const GumboNode*>(pNode->v.element.children.data[n]));
            }
            for (const std::string& sId : ids) benchmark::DoNotOptimize(byId.find(sId));
            gumbo_destroy_output(&kGumboDefaultOptions, pOutput);
        });
}

BENCHMARK(BM_MemchrFloor);
BENCHMARK(BM_Gumbo);
BENCHMARK(BM_Lookups);
BENCHMARK(BM_FullParse);
BENCHMARK(BM_CalendarFullParseAndElements);
BENCHMARK(BM_AdversarialFullParseAndElements)->Arg(200)->Arg(400)->Arg(800)->Arg(1600)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdLookups)->Arg(5000)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileParentOfTheLink)->Arg(25000)->Arg(50000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileFullParseEveryParent)->Arg(8000)->Arg(16000)->Arg(32000)->Arg(64000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return RunWithRatios(argc, argv, {"BM_Gumbo", "BM_MemchrFloor"}); }
