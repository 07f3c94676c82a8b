// A tag: a start or end tag of some tag type, and the tag searches.
#ifndef KX_HTMLPARSER_TAG_H
#define KX_HTMLPARSER_TAG_H

#include <cstdint>
#include <string>

#include "htmlparser/segment.h"

class CTagType;

class CTag : public CSegment {
public:
    static bool checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd);

    // The tag beginning at nPos, through the source's cache; null when none.
    static CTag* getTagAt(CSource* pSource, Position nPos);
    static CTag* getTagAtUncached(CSource* pSource, Position nPos);
    // The nearest tag of any registered type at or after nPos (at or before
    // it when bPrevious); unregistered tags are passed over.
    static CTag* findPreviousOrNextTag(CSource* pSource, Position nPos, bool bPrevious);
    // The same for tags of one type (any registered type when null).
    static CTag* findPreviousOrNextTag(CSource* pSource, Position nPos, const CTagType* pTagType, bool bPrevious);
    // Without the cache; a forward scan stops at nLimit when it lies inside
    // the source, a backward scan stays above it.
    static CTag* findPreviousOrNextTagUncached(CSource* pSource, Position nPos, const CTagType* pTagType,
                                               bool bPrevious, Position nLimit);

    // Recognises every tag of the source in one forward pass, hands the
    // registered ones to the source's all-tags lists and bulk-loads its cache.
    static void parseAll(CSource* pSource, bool bAssumeNoNestedTags);
    // The next tag from nPos during the full parse.
    static CTag* parseAllFindNextTag(CSource* pSource, Position nPos, bool bAssumeNoNestedTags);

    // The element this tag starts or ends; computed once.
    virtual CElement* getElement() = 0;
    virtual bool isStartTag() const { return false; }
    virtual const CTagType* getTagType() const = 0;
    virtual bool isUnregistered() const = 0;

    // The name as written (start tags include a prefix such as "!").
    const std::string& getName() const { return m_csName; }
    // Index in the HTML element-name table; -1 when not an HTML element name.
    int64_t getNameIndex() const { return m_nNameIndex; }
    // Position in the source's all-tags list after a full parse; -1 before.
    int64_t getTagIndex() const { return m_nTagIndex; }
    void setTagIndex(int64_t nTagIndex) { m_nTagIndex = nTagIndex; }

protected:
    CTag(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName, int64_t nNameIndex)
        : CSegment(pSource, nBegin, nEnd), m_csName(csName), m_nNameIndex(nNameIndex) {}

protected:
    CElement* m_pElement = nullptr;
    bool m_bElementBuilt = false;

private:
    std::string m_csName;
    int64_t m_nNameIndex;
    int64_t m_nTagIndex = -1;
};

#endif  // KX_HTMLPARSER_TAG_H
