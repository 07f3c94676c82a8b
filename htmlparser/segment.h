// A half-open span [begin, end) of one source; the base of every parser object.
#ifndef KX_HTMLPARSER_SEGMENT_H
#define KX_HTMLPARSER_SEGMENT_H

#include <string_view>
#include <utility>
#include <vector>

#include "htmlparser/position.h"

class CSource;
class CAttributes;
class CElement;
class CTag;
class CTagType;

class CSegment {
public:
    // Null (after its trace lines) when the span rule fails.
    static CSegment* CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd);
    // The span rule: a source, begin and end set, begin <= end, inside the source.
    static bool checkConstructorArgs(const CSource* pSource, Position nBegin, Position nEnd);

    virtual ~CSegment();
    CSegment(const CSegment&) = delete;
    CSegment& operator=(const CSegment&) = delete;

    // The elements whose start tags lie in the span (not those nested in
    // them), each with its whole subtree built; computed once.
    virtual const std::vector<CElement*>& getChildElements();
    // The span parsed as the attribute list of a normal start tag (at most 2 errors).
    virtual CAttributes* parseAttributes();

    // The tags of one type that begin inside the span, in order.
    std::vector<CTag*> findAllTags(const CTagType* pTagType) const;
    // The innermost element enclosing nPos (optionally with the name).
    CElement* findEnclosingElement(Position nPos, std::string_view csName = {}) const;
    // The element of the first start tag, from the source begin, whose id is csId.
    CElement* getElementById(std::string_view csId) const;

    CSource* getSource() const { return m_pSource; }
    Position getBegin() const { return m_nBegin; }
    Position getEnd() const { return m_nEnd; }
    Position length() const { return m_nEnd - m_nBegin; }
    bool operator!=(const CSegment& other) const {
        return m_pSource != other.m_pSource || m_nBegin != other.m_nBegin || m_nEnd != other.m_nEnd;
    }

protected:
    friend class CSource;
    // Made through CSource::make, which hands it to the source to own.
    CSegment(CSource* pSource, Position nBegin, Position nEnd) : m_pSource(pSource), m_nBegin(nBegin), m_nEnd(nEnd) {}
    // For the source itself, which then points m_pSource at itself.
    CSegment(Position nBegin, Position nEnd);
    // The elements whose start tags lie in the span, each with its subtree
    // built from nDepth; at depth 0 (the top of the document) they are
    // marked as having no parent.
    const std::vector<CElement*>& buildChildElements(int nDepth);

    CSource* m_pSource;
    Position m_nBegin;
    Position m_nEnd;
    // The child elements (not owned): null until built; a list with no
    // element is one shared empty list, so most segments allocate none.
    bool childElementsBuilt() const { return m_pChildElements != nullptr; }
    const std::vector<CElement*>& childElements() const { return *m_pChildElements; }
    // Marks the list built, keeping what was added.
    void endChildElements();
    void addChildElement(CElement* pElement);

private:
    static std::vector<CElement*> s_noChildElements;
    std::vector<CElement*>* m_pChildElements = nullptr;
};

#endif  // KX_HTMLPARSER_SEGMENT_H
