#include <gtest/gtest.h>

#include "platform/attribute_type_text.h"

namespace {

TEST(AttributeTypeText, NamesSyntaxAndSuperiorOfEachServersSpelling) {
    struct Case {
        const char* pszText;
        std::vector<std::string> names;
        const char* pszSyntax;
        const char* pszSuperior;
    };
    const Case cases[] = {
        // OpenLDAP: a name list, an inherited syntax, an extension.
        {"( 2.5.4.3 NAME ( 'cn' 'commonName' ) DESC 'RFC4519: common name(s)' SUP name X-ORIGIN 'RFC 4519' )",
         {"cn", "commonName"}, "", "name"},
        {"( 0.9.2342.19200300.100.1.3 NAME ( 'mail' 'rfc822Mailbox' ) EQUALITY caseIgnoreIA5Match "
         "SUBSTR caseIgnoreIA5SubstringsMatch SYNTAX 1.3.6.1.4.1.1466.115.121.1.26{256} )",
         {"mail", "rfc822Mailbox"}, "1.3.6.1.4.1.1466.115.121.1.26", ""},
        // Active Directory: quoted OIDs, flags.
        {"( 1.2.840.113556.1.4.221 NAME 'sAMAccountName' SYNTAX '1.3.6.1.4.1.1466.115.121.1.15' SINGLE-VALUE )",
         {"sAMAccountName"}, "1.3.6.1.4.1.1466.115.121.1.15", ""},
        {"( 1.2.840.113556.1.2.102 NAME 'memberOf' SYNTAX '1.3.6.1.4.1.1466.115.121.1.12' "
         "NO-USER-MODIFICATION X-NDS ( 'a' 'b' ) )",
         {"memberOf"}, "1.3.6.1.4.1.1466.115.121.1.12", ""},
    };
    for (const Case& c : cases) {
        CAttributeTypeText type;
        ASSERT_TRUE(ParseAttributeTypeText(c.pszText, type)) << c.pszText;
        EXPECT_EQ(type.names, c.names) << c.pszText;
        EXPECT_EQ(type.sSyntax, c.pszSyntax) << c.pszText;
        EXPECT_EQ(type.sSuperior, c.pszSuperior) << c.pszText;
    }
}

TEST(AttributeTypeText, MalformedDescriptionsAreRefused) {
    for (const char* pszText : {"", "2.5.4.3 NAME 'cn' )", "( 2.5.4.3 NAME 'cn'", "( 2.5.4.3 NAME 'cn )",
                                "( 2.5.4.3 NAME ( 'cn' )", "( 2.5.4.3 BOGUS x )", "( ( NAME 'cn' )",
                                "( 2.5.4.3 NAME )", "( 2.5.4.3 'stray' )"}) {
        CAttributeTypeText type;
        EXPECT_FALSE(ParseAttributeTypeText(pszText, type)) << pszText;
    }
}

}  // namespace
