// An element: a start tag with the end tag that closes it (or none, or an
// implied end), its content, parent and children.
#ifndef KX_HTMLPARSER_ELEMENT_H
#define KX_HTMLPARSER_ELEMENT_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "htmlparser/segment.h"

class CStartTag;
class CEndTag;

class CElement : public CSegment {
public:
    // A zero-length end tag (an implied end) is not stored; the element
    // still ends where it stands.
    static CElement* CREATE_NEW_INST(CSource* pSource, CStartTag* pStartTag, CEndTag* pEndTag);
    static bool checkConstructorArgs(const CSource* pSource, const CStartTag* pStartTag, const CEndTag* pEndTag);

    CStartTag* getStartTag() const { return m_pStartTag; }
    CEndTag* getEndTag() const { return m_pEndTag; }
    const std::string& getName() const;
    // [start tag end, end tag begin or element end).
    Position getContentBegin() const;
    Position getContentEnd() const;
    CSegment* getContent();

    const std::vector<CElement*>& getChildElements() override { return getChildElements(-1); }
    // Builds the whole subtree once, assigning parents (and depths from nDepth).
    const std::vector<CElement*>& getChildElements(int nDepth);
    CElement* getParentElement();
    int getDepth() const { return m_nDepth; }

    CElement* getFirstChildOrNestedChildElementById(std::string_view csId);
    CElement* findFirstChildOrNestedChildElementByName(std::string_view csName);
    CElement* findFirstChildOrNestedChildElementByNameAttribute(std::string_view csAttributeName,
                                                                std::string_view csValue, bool bValueCaseSensitive);
    void findAllChildOrNestedChildElementsByName(std::string_view csName, std::vector<CElement*>& vElements);
    void findAllChildOrNestedChildElementsByNameAttribute(std::string_view csAttributeName, std::string_view csValue,
                                                          bool bValueCaseSensitive, std::vector<CElement*>& vElements);
    void findAllChildOrNestedChildStartTagsByName(std::string_view csName, std::vector<CStartTag*>& vStartTags);
    // The first child or nested child start tag named csName that accept
    // takes; the tags after it are not read. Null when there is none.
    CStartTag* findFirstChildOrNestedChildStartTagByName(std::string_view csName,
                                                         const std::function<bool(CStartTag*)>& accept);

private:
    friend class CSource;
    friend class CSegment;
    CElement(CSource* pSource, Position nBegin, Position nEnd, CStartTag* pStartTag, CEndTag* pEndTag)
        : CSegment(pSource, nBegin, nEnd), m_pStartTag(pStartTag), m_pEndTag(pEndTag) {}

    // Sets the parent when both belong to one source (else logs); marks it determined.
    void setParentElement(CElement* pParent);
    // The element of a start tag found in the content, with the
    // "extends beyond end of parent" line for the operation named.
    CElement* childOf(CStartTag* pStartTag, const char* pszOperation) const;

    CStartTag* m_pStartTag;
    CEndTag* m_pEndTag;
    CSegment* m_pContent = nullptr;
    CElement* m_pParent = nullptr;
    bool m_bParentDetermined = false;
    int m_nDepth = -1;
};

#endif  // KX_HTMLPARSER_ELEMENT_H
