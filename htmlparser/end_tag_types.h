// The two end tag types.
#ifndef KX_HTMLPARSER_END_TAG_TYPES_H
#define KX_HTMLPARSER_END_TAG_TYPES_H

#include "base/singleton.h"
#include "htmlparser/tag_type.h"

class CEndTagTypeUnregistered : public CEndTagType {
public:
    CEndTagTypeUnregistered() : CEndTagType("/unregistered", "</", ">") {}
    CTag* constructTagAt(CSource* pSource, Position nPos) const override;
    static const CEndTagTypeUnregistered* instance();
};

class CEndTagTypeNormal : public CEndTagTypeGenericImplementation {
public:
    CEndTagTypeNormal() : CEndTagTypeGenericImplementation("/normal", "</", ">") {}
    const CStartTagType* getCorrespondingStartTagType() const override;
    static const CEndTagTypeNormal* instance();
};

class CEndTagTypeSingletonData : public CSingleton<CEndTagTypeSingletonData> {
public:
    CEndTagTypeUnregistered m_unregistered;
    CEndTagTypeNormal m_normal;

private:
    friend class CSingleton<CEndTagTypeSingletonData>;
    CEndTagTypeSingletonData() = default;
};

#endif  // KX_HTMLPARSER_END_TAG_TYPES_H
