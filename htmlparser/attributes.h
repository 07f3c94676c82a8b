// The attribute list of a start tag, and the parser that makes it.
#ifndef KX_HTMLPARSER_ATTRIBUTES_H
#define KX_HTMLPARSER_ATTRIBUTES_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "htmlparser/segment.h"

class CAttribute;
class CStartTagType;

class CAttributes : public CSegment {
public:
    static CAttributes* CREATE_NEW_INST(CSource* pSource, Position nBegin, Position nEnd,
                                        std::vector<CAttribute*>* pAttributesVec);

    // Parses an attribute list from nAttributesBegin (NO_POS: just after the
    // tag name) up to the type's end of attributes or nMaxEnd. Null when the
    // list is rejected (the reason goes to the trace log).
    static CAttributes* construct(CSource* pSource, const char* pszType, int nInitialState, Position nBeginPos,
                                  Position nAttributesBegin, Position nMaxEnd, const CStartTagType* pStartTagType,
                                  const std::string& csName, int64_t nNameIndex, int nMaxErrorCount);

    // The list as a tag type parses it when it recognises a start tag at
    // nBeginPos. Recognising needs only its end (NO_POS when the list is
    // rejected), with construct's trace lines; the list itself is made,
    // without them, when it is first asked for.
    static Position checkForTag(CSource* pSource, const CStartTagType* pType, Position nBeginPos,
                                const std::string& csName, int64_t nNameIndex);
    static CAttributes* makeForTag(CSource* pSource, const CStartTagType* pType, Position nBeginPos,
                                   const std::string& csName, int64_t nNameIndex);

    std::span<CAttribute* const> getAttributes() const { return m_attributes; }
    // The first attribute with the name, ignoring ASCII case; null if none.
    CAttribute* get(std::string_view csName) const;

    // How a parse ends: with the list, with its end only, or with the list
    // and no trace line (a list already checked).
    enum class EMode { MAKE, CHECK, MAKE_QUIETLY };

private:
    friend class CSource;
    struct CResult {
        Position nEnd = NO_POS;
        CAttributes* pAttributes = nullptr;
    };
    static CResult parse(EMode eMode, CSource* pSource, const char* pszType, int nInitialState, Position nBeginPos,
                         Position nAttributesBegin, Position nMaxEnd, const CStartTagType* pStartTagType,
                         const std::string& csName, int64_t nNameIndex, int nMaxErrorCount);
    static CResult parseForTag(EMode eMode, CSource* pSource, const CStartTagType* pType, Position nBeginPos,
                               const std::string& csName, int64_t nNameIndex);

    CAttributes(CSource* pSource, Position nBegin, Position nEnd, std::span<CAttribute*> attributes)
        : CSegment(pSource, nBegin, nEnd), m_attributes(attributes) {}

    std::span<CAttribute*> m_attributes;  // in the source's arena
};

#endif  // KX_HTMLPARSER_ATTRIBUTES_H
