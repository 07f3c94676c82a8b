// The proxy's subscription-type rules.
#include <gtest/gtest.h>

#include <string>

#include "host/request_rules.h"

namespace {

TEST(RequestRules, TheDefaultsSortOwaRequests) {
    kxhost::RequestRules rules;
    std::string sError;
    ASSERT_TRUE(rules.Parse(kxhost::RequestRules::DefaultText(), sError)) << sError;
    EXPECT_EQ(rules.Classify("/owa/?qvkxcmd=mngdgs"), 6);
    EXPECT_EQ(rules.Classify("/OWA/?ae=Folder&QVKXCMD"), 6) << "path and name ignore case; no value needed";
    EXPECT_EQ(rules.Classify("/owa/?cmd=qvsetrmnd"), 3);
    EXPECT_EQ(rules.Classify("/owa/?cmd=delete"), 4) << "OWA's own commands are pages";
    EXPECT_EQ(rules.Classify("/owa/ev.owa?oeh=1&ns=Notify&ev=Poll"), 2);
    EXPECT_EQ(rules.Classify("/ecp/Customize/Calendar.aspx"), 31);
    EXPECT_EQ(rules.Classify("/owa/?ae=Folder&t=IPF.Appointment"), 4);
    EXPECT_EQ(rules.Classify("/owa"), 0) << "a prefix of the prefix is not enough";
    EXPECT_EQ(rules.Classify("/favicon.ico"), 0);
    EXPECT_EQ(rules.Classify("/owa/?xqvkxcmd=1&qvkxcmdx=2"), 4) << "whole parameter names only";
}

TEST(RequestRules, ValuesWholeOrByPrefix) {
    kxhost::RequestRules rules;
    std::string sError;
    ASSERT_TRUE(rules.Parse("7 /a/ x=on\n8 /a/ x=pre*\n9 /a/ x=\n", sError)) << sError;
    EXPECT_EQ(rules.Classify("/a/?x=ON"), 7);
    EXPECT_EQ(rules.Classify("/a/?x=on2"), 0) << "a whole value must match whole";
    EXPECT_EQ(rules.Classify("/a/?y=1&x=prefix"), 8);
    EXPECT_EQ(rules.Classify("/a/?x"), 9) << "no '=': an empty value";
    EXPECT_EQ(rules.Classify("/a/?x=%6Fn"), 0) << "values are not decoded";
}

TEST(RequestRules, AMalformedLineNamesItselfAndKeepsTheRules) {
    kxhost::RequestRules rules;
    std::string sError;
    ASSERT_TRUE(rules.Parse("4 /owa/\n", sError));
    for (const char* pszText : {"4 /owa/\nfour /owa/\n", "4 /owa/\n5 owa/\n", "4 /owa/\n5 /owa/ a b\n", "4 /owa/\n5\n",
                                "4 /owa/\n5 /owa/ =x\n", "4 /owa/\n99999999999 /owa/\n"}) {
        EXPECT_FALSE(rules.Parse(pszText, sError)) << pszText;
        EXPECT_EQ(sError.rfind("line 2:", 0), 0u) << sError;
    }
    EXPECT_EQ(rules.Classify("/owa/x"), 4) << "the earlier rules stay";
    ASSERT_TRUE(rules.Parse("# only a comment\n\n   \n", sError));
    EXPECT_EQ(rules.Classify("/owa/x"), 0);
}

}  // namespace
