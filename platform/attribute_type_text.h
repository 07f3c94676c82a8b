// An attribute type description as a directory's schema lists it
// ("( 2.5.4.3 NAME ( 'cn' 'commonName' ) SUP name )"): its names, its
// syntax OID, and the type it inherits a syntax from. Active Directory's
// quoted OIDs are read as well.
#ifndef KX_PLATFORM_ATTRIBUTE_TYPE_TEXT_H
#define KX_PLATFORM_ATTRIBUTE_TYPE_TEXT_H

#include <string>
#include <string_view>
#include <vector>

struct CAttributeTypeText {
    std::vector<std::string> names;
    std::string sSyntax;    // without a length bound ("{64}"); empty when not given
    std::string sSuperior;  // empty when not given
};

// False when the text is not a well-formed description.
bool ParseAttributeTypeText(std::string_view sText, CAttributeTypeText& type);

#endif  // KX_PLATFORM_ATTRIBUTE_TYPE_TEXT_H
