// The nine start tag types.
#ifndef KX_HTMLPARSER_START_TAG_TYPES_H
#define KX_HTMLPARSER_START_TAG_TYPES_H

#include "base/singleton.h"
#include "htmlparser/tag_type.h"

class CStartTagTypeUnregistered : public CStartTagType {
public:
    CStartTagTypeUnregistered() : CStartTagType("unregistered", "<", ">", false, false, false) {}
    CTag* constructTagAt(CSource* pSource, Position nPos) const override;
    static const CStartTagTypeUnregistered* instance();
};

class CStartTagTypeNormal : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeNormal() : CStartTagTypeGenericImplementation("normal", "<", ">", false, true, true) {}
    const CEndTagType* getCorrespondingEndTagType() const override;
    bool atEndOfAttributes(CSource* pSource, Position nPos, bool bIsClosingSlashIgnored) const override;
    static const CStartTagTypeNormal* instance();
};

class CStartTagTypeComment : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeComment() : CStartTagTypeGenericImplementation("comment", "<!--", "-->", false, false, false) {}
    static const CStartTagTypeComment* instance();
};

class CStartTagTypeXMLDeclaration : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeXMLDeclaration()
        : CStartTagTypeGenericImplementation("XML declaration", "<?xml", "?>", false, true, false) {}
    static const CStartTagTypeXMLDeclaration* instance();
};

class CStartTagTypeXMLProcessingInstruction : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeXMLProcessingInstruction()
        : CStartTagTypeGenericImplementation("XML processing instruction", "<?", "?>", false, false, true) {}
    static const CStartTagTypeXMLProcessingInstruction* instance();
};

class CStartTagTypeDoctypeDeclaration : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeDoctypeDeclaration()
        : CStartTagTypeGenericImplementation("document type declaration", "<!doctype", ">", false, false, false) {}
    // Ends at the first '>' outside double quotes and square brackets.
    Position findEnd(CSource* pSource, Position nPos) const override;
    static const CStartTagTypeDoctypeDeclaration* instance();
};

class CStartTagTypeMarkupDeclaration : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeMarkupDeclaration()
        : CStartTagTypeGenericImplementation("markup declaration", "<!", ">", false, false, true) {}
    // Only !element, !attlist, !entity and !notation.
    CTag* constructTagAt(CSource* pSource, Position nPos) const override;
    // Ends at the first '>' outside double quotes.
    Position findEnd(CSource* pSource, Position nPos) const override;
    static const CStartTagTypeMarkupDeclaration* instance();
};

class CStartTagTypeCDATASection : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeCDATASection()
        : CStartTagTypeGenericImplementation("CDATA section", "<![cdata[", "]]>", false, false, false) {}
    static const CStartTagTypeCDATASection* instance();
};

class CStartTagTypeServerCommon : public CStartTagTypeGenericImplementation {
public:
    CStartTagTypeServerCommon()
        : CStartTagTypeGenericImplementation("common server tag", "<%", "%>", true, false, false) {}
    static const CStartTagTypeServerCommon* instance();
};

// The process-wide start tag types, built once.
class CStartTagTypeSingletonData : public CSingleton<CStartTagTypeSingletonData> {
public:
    CStartTagTypeUnregistered m_unregistered;
    CStartTagTypeNormal m_normal;
    CStartTagTypeComment m_comment;
    CStartTagTypeXMLDeclaration m_xmlDeclaration;
    CStartTagTypeXMLProcessingInstruction m_xmlProcessingInstruction;
    CStartTagTypeDoctypeDeclaration m_doctypeDeclaration;
    CStartTagTypeMarkupDeclaration m_markupDeclaration;
    CStartTagTypeCDATASection m_cdataSection;
    CStartTagTypeServerCommon m_serverCommon;

private:
    friend class CSingleton<CStartTagTypeSingletonData>;
    CStartTagTypeSingletonData() = default;
};

#endif  // KX_HTMLPARSER_START_TAG_TYPES_H
