// Tag types: what opens and closes a tag, and how a tag of the type is
// recognised at a position.
#ifndef KX_HTMLPARSER_TAG_TYPE_H
#define KX_HTMLPARSER_TAG_TYPE_H

#include <cstdint>
#include <string>

#include "htmlparser/position.h"

class CSource;
class CTag;
class CStartTag;
class CEndTag;
class CAttributes;
class CEndTagType;
class CStartTagType;

class CTagType {
public:
    virtual ~CTagType() = default;
    CTagType(const CTagType&) = delete;
    CTagType& operator=(const CTagType&) = delete;

    // Null when no tag of this type begins at nPos.
    virtual CTag* constructTagAt(CSource* pSource, Position nPos) const = 0;

    // The uncached recogniser: the first candidate type (longest delimiter,
    // then latest registered) that constructs a tag at nPos.
    static CTag* getTagAt(CSource* pSource, Position nPos, bool bAssumeNoNestedTags);
    // Whether a tag of this type may begin at nPos (not inside a comment or
    // CDATA section, unless the type is a server tag type).
    bool isValidPosition(CSource* pSource, Position nPos) const;
    // Whether a tag of this type begins before nPos and ends after it.
    bool tagEncloses(CSource* pSource, Position nPos) const;

    const std::string& getDescription() const { return m_csDescription; }
    const std::string& getStartDelimiter() const { return m_csStartDelimiter; }
    const std::string& getClosingDelimiter() const { return m_csClosingDelimiter; }
    bool isServerTag() const { return m_bServerTag; }
    const std::string& getNamePrefix() const { return m_csNamePrefix; }

protected:
    CTagType(const char* pszDescription, const char* pszStartDelimiter, const char* pszClosingDelimiter,
             bool bServerTag, const char* pszGenericPrefix);

private:
    std::string m_csDescription;
    std::string m_csStartDelimiter;
    std::string m_csClosingDelimiter;
    bool m_bServerTag;
    std::string m_csNamePrefix;
};

class CStartTagType : public CTagType {
public:
    virtual const CEndTagType* getCorrespondingEndTagType() const { return nullptr; }
    bool hasAttributes() const { return m_bHasAttributes; }
    bool isNameRequired() const { return m_bNameRequired; }

    // True at the closing delimiter.
    virtual bool atEndOfAttributes(CSource* pSource, Position nPos, bool bIsClosingSlashIgnored) const;
    // The position just after the closing delimiter at or after nPos, or NO_POS.
    virtual Position findEnd(CSource* pSource, Position nPos) const;

    CStartTag* constructStartTag(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName,
                                 int64_t nNameIndex, CAttributes* pAttributes) const;

protected:
    CStartTagType(const char* pszDescription, const char* pszStartDelimiter, const char* pszClosingDelimiter,
                  bool bServerTag, bool bHasAttributes, bool bNameRequired);

private:
    bool m_bHasAttributes;
    bool m_bNameRequired;
};

// Start tag types recognised from their delimiters alone.
class CStartTagTypeGenericImplementation : public CStartTagType {
public:
    CTag* constructTagAt(CSource* pSource, Position nPos) const override;

protected:
    using CStartTagType::CStartTagType;

private:
    // The name prefix is empty or ends in a non-letter: then the delimiter may
    // be followed by a name character.
    bool prefixEndsInNonLetter() const;
};

class CEndTagType : public CTagType {
public:
    virtual const CStartTagType* getCorrespondingStartTagType() const { return nullptr; }
    CEndTag* constructEndTag(CSource* pSource, Position nBegin, Position nEnd, const std::string& csName) const;

protected:
    CEndTagType(const char* pszDescription, const char* pszStartDelimiter, const char* pszClosingDelimiter)
        : CTagType(pszDescription, pszStartDelimiter, pszClosingDelimiter, false, "</") {}
};

// End tag types: a name directly followed by the closing delimiter.
class CEndTagTypeGenericImplementation : public CEndTagType {
public:
    CTag* constructTagAt(CSource* pSource, Position nPos) const override;

protected:
    using CEndTagType::CEndTagType;
};

#endif  // KX_HTMLPARSER_TAG_TYPE_H
