// Start tags, their attributes and the start tag searches.
#ifndef KX_HTMLPARSER_START_TAG_H
#define KX_HTMLPARSER_START_TAG_H

#include <string_view>

#include "htmlparser/tag.h"

class CAttributes;
class CStartTagType;
class CEndTag;
struct CTerminators;

class CStartTag : public CTag {
public:
    static CStartTag* CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd,
                                      const CStartTagType* pStartTagType, const std::string& csName,
                                      int64_t nNameIndex, CAttributes* pAttributes);
    static bool checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd,
                                     const CStartTagType* pStartTagType, const std::string& csName,
                                     const CAttributes* pAttributes);

    // The nearest start tag of any registered type.
    static CStartTag* findPreviousOrNext(CSource* pSource, Position nPos, bool bPrevious);
    // The next start tag that begins before nLimit: the search gives up at
    // the limit rather than walking every later end tag.
    static CStartTag* findNextBefore(CSource* pSource, Position nPos, Position nLimit);
    // The nearest start tag with the name (an empty name: any start tag).
    static CStartTag* findPreviousOrNext(CSource* pSource, Position nPos, std::string_view csSearchName,
                                         bool bPrevious);
    // The next start tag with the name that begins before nLimit: the text
    // beyond the limit is not searched.
    static CStartTag* findNextBefore(CSource* pSource, Position nPos, std::string_view csSearchName, Position nLimit);
    // The first start tag after nPos whose attribute has the value.
    static CStartTag* findNext(CSource* pSource, Position nPos, std::string_view csAttributeName,
                               std::string_view csValue, bool bValueCaseSensitive);

    // The attributes found when the tag was recognised, else a parse of the
    // inside of the tag (not stored).
    CAttributes* parseAttributes() override { return parseAttributes(2); }
    CAttributes* parseAttributes(int nMaxErrorCount);
    CAttributes* getAttributes() const;
    // The list that recognition checked is made when first asked for.
    void deferAttributes() { m_bAttributesDeferred = true; }

    CElement* getElement() override;
    // A normal tag ending in "/>".
    bool isEmptyElementTag() const;

    bool isStartTag() const override { return true; }
    const CTagType* getTagType() const override;
    const CStartTagType* getStartTagType() const { return m_pStartTagType; }
    bool isUnregistered() const override;

private:
    static CStartTag* findLimited(CSource* pSource, Position nPos, bool bPrevious, Position nLimit);
    // The named searches; forwards, nLimit (NO_POS: none) bounds the begin.
    static CStartTag* findNamedLimited(CSource* pSource, Position nPos, std::string_view csSearchName, bool bPrevious,
                                       Position nLimit);
    // The end tag that closes this tag's element, or null; sets pBlocker
    // instead when the element of a nested start tag must be built first.
    CEndTag* findEndTagInternal(CStartTag*& pBlocker);
    CEndTag* findOptionalEndTag(const CTerminators& terminators, CStartTag*& pBlocker);
    // The end tag that matches this one across nested same-name elements.
    CEndTag* matchNesting(CEndTag* pEndTag, bool bSkipEmptyElementTags);
    CStartTag* nextSameNameStartTag(Position nFrom, bool bSkipEmptyElementTags) const;
    CEndTag* impliedEndTag(Position nAt) const;
    void setElement(CEndTag* pEndTag);

    friend class CSource;
    CStartTag(CSource* pSource, Position nBegin, Position nEnd, const CStartTagType* pStartTagType,
              const std::string& csName, int64_t nNameIndex, CAttributes* pAttributes)
        : CTag(pSource, nBegin, nEnd, csName, nNameIndex), m_pAttributes(pAttributes), m_pStartTagType(pStartTagType) {}

    mutable CAttributes* m_pAttributes;
    const CStartTagType* m_pStartTagType;
    mutable bool m_bAttributesDeferred = false;
};

#endif  // KX_HTMLPARSER_START_TAG_H
