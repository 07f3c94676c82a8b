// The HTML element names and the element sets the parser consults.
#ifndef KX_HTMLPARSER_HTML_ELEMENTS_H
#define KX_HTMLPARSER_HTML_ELEMENTS_H

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "base/singleton.h"

// A set of element-name indices as a bit array.
class CHTMLElementSet {
public:
    CHTMLElementSet() : m_words(4, 0) {}
    void add(int64_t nIndex);
    void add(const CHTMLElementSet& other);
    void remove(const CHTMLElementSet& other);
    bool contains(int64_t nIndex) const;

private:
    std::vector<uint32_t> m_words;
};

// The 91 HTML element names; an index is a position in this table.
class CHTMLElementNameSingletonData : public CSingleton<CHTMLElementNameSingletonData> {
public:
    // The index of the name, ignoring ASCII case; -1 when it is no element name.
    int64_t getNameIndex(std::string_view csName) const;
    const std::string& getName(int64_t nIndex) const { return m_names[static_cast<size_t>(nIndex)]; }
    size_t size() const { return m_names.size(); }

    // The index of a name known to be in the table.
    static int64_t indexOf(std::string_view csName);
    // The set of the given names.
    static CHTMLElementSet setOf(std::initializer_list<std::string_view> names);

private:
    friend class CSingleton<CHTMLElementNameSingletonData>;
    CHTMLElementNameSingletonData();

    std::vector<std::string> m_names;
    static constexpr size_t MAX_NAME = 10;  // "blockquote"
    // The indexes of the names of each length and initial letter.
    static size_t bucketOf(size_t nLength, unsigned char chInitial) { return (nLength - 1) * 26 + (chInitial - 'A'); }
    std::array<std::vector<int8_t>, MAX_NAME * 26> m_buckets;
};

// What implicitly closes an element whose end tag is optional.
struct CTerminators {
    CHTMLElementSet m_startTags;        // start tags that close it
    CHTMLElementSet m_endTags;          // end tags that close it
    CHTMLElementSet m_nestedElements;   // start tags whose whole element is stepped over
};

class CHTMLElementsSingletonData : public CSingleton<CHTMLElementsSingletonData> {
public:
    CHTMLElementSet m_allElements;
    CHTMLElementSet m_blockElements;
    CHTMLElementSet m_endTagForbidden;
    CHTMLElementSet m_endTagOptional;
    CHTMLElementSet m_endTagRequired;
    CHTMLElementSet m_hasEndTag;
    CHTMLElementSet m_noNestedSameNameStartTag;

    // The terminators of an element with an optional end tag; null for others.
    const CTerminators* getTerminators(int64_t nNameIndex) const;

    static const CHTMLElementsSingletonData& instance();

private:
    friend class CSingleton<CHTMLElementsSingletonData>;
    CHTMLElementsSingletonData();

    std::vector<std::pair<int64_t, CTerminators>> m_terminators;  // by name index
};

#endif  // KX_HTMLPARSER_HTML_ELEMENTS_H
