// End tags.
#ifndef KX_HTMLPARSER_END_TAG_H
#define KX_HTMLPARSER_END_TAG_H

#include <string_view>

#include "htmlparser/tag.h"

class CEndTagType;

class CEndTag : public CTag {
public:
    static CEndTag* CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd, const CEndTagType* pEndTagType,
                                    const std::string& csName);
    static bool checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd,
                                     const CEndTagType* pEndTagType, const std::string& csName);

    // The nearest end tag of the type named csName (any name when empty).
    static CEndTag* findPreviousOrNext(CSource* pSource, Position nPos, std::string_view csName,
                                       const CEndTagType* pEndTagType, bool bPrevious);
    static CEndTag* findNextNormal(CSource* pSource, Position nPos, std::string_view csName);

    CElement* getElement() override;
    // Records an element whose start tag found this end tag; false when
    // another had already. The nearest such start tag's claim is kept.
    bool setElement(CElement* pElement);

    const CTagType* getTagType() const override;
    const CEndTagType* getEndTagType() const { return m_pEndTagType; }
    bool isUnregistered() const override;

private:
    friend class CSource;
    CEndTag(CSource* pSource, Position nBegin, Position nEnd, const CEndTagType* pEndTagType, const std::string& csName,
            int64_t nNameIndex)
        : CTag(pSource, nBegin, nEnd, csName, nNameIndex), m_pEndTagType(pEndTagType) {}

    const CEndTagType* m_pEndTagType;
    CElement* m_pClaimedBy = nullptr;
};

#endif  // KX_HTMLPARSER_END_TAG_H
