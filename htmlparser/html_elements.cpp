#include "htmlparser/html_elements.h"

#include <algorithm>
#include <string_view>

#include "base/ascii_case.h"
#include "base/text_search.h"

namespace {

const char* const ELEMENT_NAMES[] = {
    "a",      "abbr",     "acronym", "address", "applet",   "area",     "b",        "base",   "basefont", "bdo",
    "big",    "blockquote", "body",  "br",      "button",   "caption",  "center",   "cite",   "code",     "col",
    "colgroup", "dd",     "del",     "dfn",     "dir",      "div",      "dl",       "dt",     "em",       "fieldset",
    "font",   "form",     "frame",   "frameset", "h1",      "h2",       "h3",       "h4",     "h5",       "h6",
    "head",   "hr",       "html",    "i",       "iframe",   "img",      "input",    "ins",    "isindex",  "kbd",
    "label",  "legend",   "li",      "link",    "map",      "menu",     "meta",     "noframes", "noscript", "object",
    "ol",     "optgroup", "option",  "p",       "param",    "pre",      "q",        "s",      "samp",     "script",
    "select", "small",    "span",    "strike",  "strong",   "style",    "sub",      "sup",    "table",    "tbody",
    "td",     "textarea", "tfoot",   "th",      "thead",    "title",    "tr",       "tt",     "u",        "ul",
    "var"};
static_assert(sizeof(ELEMENT_NAMES) / sizeof(ELEMENT_NAMES[0]) == 91);

}  // namespace

void CHTMLElementSet::add(int64_t nIndex) {
    if (nIndex < 0) return;
    const size_t nWord = static_cast<size_t>(nIndex) / 32;
    if (nWord >= m_words.size()) m_words.resize(nWord + 1, 0);
    m_words[nWord] |= 1u << (nIndex % 32);
}

void CHTMLElementSet::add(const CHTMLElementSet& other) {
    if (other.m_words.size() > m_words.size()) m_words.resize(other.m_words.size(), 0);
    for (size_t n = 0; n < other.m_words.size(); ++n) m_words[n] |= other.m_words[n];
}

void CHTMLElementSet::remove(const CHTMLElementSet& other) {
    for (size_t n = 0; n < std::min(m_words.size(), other.m_words.size()); ++n) m_words[n] &= ~other.m_words[n];
}

bool CHTMLElementSet::contains(int64_t nIndex) const {
    if (nIndex < 0) return false;
    const size_t nWord = static_cast<size_t>(nIndex) / 32;
    return nWord < m_words.size() && (m_words[nWord] >> (nIndex % 32) & 1u) != 0;
}

CHTMLElementNameSingletonData::CHTMLElementNameSingletonData() {
    for (const char* pszName : ELEMENT_NAMES) {
        const std::string_view name(pszName);
        m_buckets[bucketOf(name.size(), FoldAscii(static_cast<unsigned char>(name[0])))].push_back(
            static_cast<int8_t>(m_names.size()));
        m_names.emplace_back(name);
    }
}

int64_t CHTMLElementNameSingletonData::getNameIndex(std::string_view csName) const {
    if (csName.empty() || csName.size() > MAX_NAME || !IsAsciiAlpha(static_cast<unsigned char>(csName[0]))) return -1;
    for (const int8_t nIndex : m_buckets[bucketOf(csName.size(), FoldAscii(static_cast<unsigned char>(csName[0])))])
        if (SameNoCase(m_names[static_cast<size_t>(nIndex)], csName)) return nIndex;
    return -1;
}

int64_t CHTMLElementNameSingletonData::indexOf(std::string_view csName) {
    return GetInstance()->getNameIndex(csName);
}

CHTMLElementSet CHTMLElementNameSingletonData::setOf(std::initializer_list<std::string_view> names) {
    CHTMLElementSet set;
    for (std::string_view name : names) set.add(indexOf(name));
    return set;
}

CHTMLElementsSingletonData::CHTMLElementsSingletonData() {
    for (size_t n = 0; n < CHTMLElementNameSingletonData::GetInstance()->size(); ++n)
        m_allElements.add(static_cast<int64_t>(n));
    m_endTagForbidden = CHTMLElementNameSingletonData::setOf(
        {"area", "base", "basefont", "br", "col", "frame", "hr", "img", "input", "isindex", "link", "meta", "param"});
    m_endTagOptional = CHTMLElementNameSingletonData::setOf({"body", "colgroup", "dd", "dt", "head", "html", "li",
                                                             "option", "p", "tbody", "td", "tfoot", "th", "thead", "tr"});
    m_endTagRequired = m_allElements;
    m_endTagRequired.remove(m_endTagForbidden);
    m_endTagRequired.remove(m_endTagOptional);
    m_hasEndTag = m_endTagOptional;
    m_hasEndTag.add(m_endTagRequired);
    m_blockElements = CHTMLElementNameSingletonData::setOf(
        {"p", "h1", "h2", "h3", "h4", "h5", "h6", "ul", "ol", "dir", "menu", "pre", "dl", "div", "center", "noscript",
         "noframes", "blockquote", "form", "isindex", "hr", "table", "fieldset", "address"});
    m_noNestedSameNameStartTag =
        CHTMLElementNameSingletonData::setOf({"a", "address", "applet", "button", "caption", "form", "iframe", "label",
                                              "legend", "optgroup", "script", "select", "style", "textarea", "title"});

    using Names = std::initializer_list<std::string_view>;
    m_terminators.reserve(16);  // add() hands out pointers into the vector
    auto add = [&](std::string_view element, Names startTags, Names endTags, Names nested) {
        CTerminators terminators{CHTMLElementNameSingletonData::setOf(startTags),
                                 CHTMLElementNameSingletonData::setOf(endTags),
                                 CHTMLElementNameSingletonData::setOf(nested)};
        m_terminators.emplace_back(CHTMLElementNameSingletonData::indexOf(element), std::move(terminators));
        return &m_terminators.back().second;
    };
    const Names sections = {"tbody", "tfoot", "thead"};
    const Names cellClosers = {"tbody", "td", "tfoot", "th", "thead", "tr"};
    add("body", {}, {"html", "body"}, {"html"});
    add("colgroup", {"tbody", "tfoot", "thead", "tr", "colgroup"}, {"table", "colgroup"}, {"table"});
    add("dd", {"dd", "dt"}, {"dl", "dd"}, {"dl"});
    add("dt", {"dd", "dt"}, {"dl", "dt"}, {"dl"});
    add("head", {"body", "frameset"}, {"html", "head"}, {});
    add("html", {}, {"html"}, {"html"});
    add("li", {"li"}, {"ol", "ul", "li"}, {"ol", "ul"});
    add("option", {"option", "optgroup"}, {"select", "option"}, {});
    CTerminators* pP = add("p", {"dd", "dt", "li", "td", "th"},
                           {"dd", "dt", "body", "html", "tbody", "td", "tfoot", "th", "thead", "tr", "caption", "legend"}, {});
    pP->m_startTags.add(m_blockElements);
    pP->m_endTags.add(m_blockElements);
    add("tbody", sections, {"table", "tbody"}, {"table"});
    add("td", cellClosers, {"tbody", "tfoot", "thead", "tr", "table", "td"}, {"table"});
    add("tfoot", sections, {"table", "tfoot"}, {"table"});
    add("th", cellClosers, {"tbody", "tfoot", "thead", "tr", "table", "th"}, {"table"});
    add("thead", sections, {"table", "thead"}, {"table"});
    add("tr", {"tbody", "tfoot", "thead", "tr"}, {"tbody", "tfoot", "thead", "tr", "table"}, {"table"});
}

const CTerminators* CHTMLElementsSingletonData::getTerminators(int64_t nNameIndex) const {
    for (const auto& [nIndex, terminators] : m_terminators)
        if (nIndex == nNameIndex) return &terminators;
    return nullptr;
}

const CHTMLElementsSingletonData& CHTMLElementsSingletonData::instance() {
    static const CHTMLElementsSingletonData* const pInstance = GetInstance();
    return *pInstance;
}
