// Element look-ups by id. The first ones search the text for the id, which
// recognises only the tags it lands in; once those searches have scanned a
// few times the page, the look-ups go through an index of the start tags
// with an id, filled as far as they have walked the page, so that looking up
// every id of a page walks it once.
#ifndef KX_HTMLPARSER_ID_INDEX_H
#define KX_HTMLPARSER_ID_INDEX_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/ascii_case.h"
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
    static constexpr uint32_t NONE = UINT32_MAX;
    // The tags with one id (ignoring case), in document order: a chain
    // through m_links.
    struct CChain {
        uint32_t nFirst;
        uint32_t nLast;
    };
    struct CLink {
        CStartTag* pTag;
        uint32_t nNext;
    };
    // Indexes the next start tag; false at the end of the source. The
    // link of the tag when it has an id, else NONE.
    bool indexNext(CSource* pSource, std::string_view& sId, uint32_t& nLink);
    // The first tag from link nFrom on whose id matches exactly; the others
    // before it are traced as the search traces them.
    CStartTag* firstExact(CSource* pSource, uint32_t nFrom, std::string_view csId) const;

    // The chain of an id (ignoring case), or null.
    CChain* findChain(std::string_view sId);
    // Appends link nLink to the chain of its id, making the chain if needed.
    void addToChain(std::string_view sId, uint32_t nLink);
    // Open addressing in one flat array (ids as written in the page), at most half full.
    struct CSlot {
        std::string_view sId;  // empty: a free slot
        CChain chain;
    };
    std::vector<CSlot> m_slots;
    size_t m_nUsedSlots = 0;
    std::vector<CLink> m_links;
    Position m_cbSearched = 0;     // bytes the text searches have scanned
    Position m_nIndexedTo = 0;     // every start tag beginning before it is indexed
    Position m_nLastTagEnd = 0;    // end of the last start tag indexed
    bool m_bStarted = false;
    bool m_bUsable = true;  // false once a start tag begins inside another: the text search decides then
};

#endif  // KX_HTMLPARSER_ID_INDEX_H
