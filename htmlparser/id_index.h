// Element look-ups by id. The first ones search the text for the id, which
// recognises only the tags it lands in; once those searches have scanned a
// few times the page, the look-ups go through an index of the start tags
// with an id, filled as far as they have walked the page, so that looking up
// every id of a page walks it once.
#ifndef KX_HTMLPARSER_ID_INDEX_H
#define KX_HTMLPARSER_ID_INDEX_H

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "htmlparser/position.h"

class CSource;
class CStartTag;

class CIdIndex {
public:
    // The first start tag whose id is exactly csId, as CStartTag::findNext
    // finds it from the source begin (with the same lines for ids that differ
    // only in case); null when there is none.
    CStartTag* find(CSource* pSource, std::string_view csId);
    // Forgets everything: the tags of the source were replaced.
    void clear();

private:
    // Indexes the next start tag; false at the end of the source. The
    // tag's list when it has an id, else null.
    bool indexNext(CSource* pSource, const std::string*& pKey, std::vector<CStartTag*>*& pTags);
    // The first of the tags with this id (ignoring case) whose id matches
    // exactly; the others before it are traced as the search traces them.
    static CStartTag* firstExact(CSource* pSource, const std::vector<CStartTag*>& tags, size_t nFrom,
                                 std::string_view csId);

    std::unordered_map<std::string, std::vector<CStartTag*>> m_tagsById;  // key: the id folded to upper case
    Position m_cbSearched = 0;     // bytes the text searches have scanned
    Position m_nIndexedTo = 0;     // every start tag beginning before it is indexed
    Position m_nLastTagEnd = 0;    // end of the last start tag indexed
    bool m_bStarted = false;
    bool m_bUsable = true;  // false once a start tag begins inside another: the text search decides then
};

#endif  // KX_HTMLPARSER_ID_INDEX_H
