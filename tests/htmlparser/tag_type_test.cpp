#include <gtest/gtest.h>

#include <vector>

#include "htmlparser/attributes.h"
#include "htmlparser/end_tag.h"
#include "htmlparser/end_tag_types.h"
#include "htmlparser/start_tag_types.h"
#include "htmlparser/tag_type_register.h"
#include "tests/htmlparser/parser_test_support.h"
#include "tests/support/trace_capture.h"

namespace {

std::vector<std::string> Candidates(const std::string& sText) {
    Doc doc(sText);
    CProspectiveTagTypeIterator candidates(doc.get(), 0);
    std::vector<std::string> names;
    while (!candidates.isExhausted()) names.push_back(candidates.getNextTagType()->getDescription());
    return names;
}

TEST(TagTypes, CandidatesLongestDelimiterFirstThenLatestRegistered) {
    EXPECT_EQ(Candidates("<!-- x -->"),
              (std::vector<std::string>{"comment", "markup declaration", "normal", "unregistered"}));
    EXPECT_EQ(Candidates("<div>"), (std::vector<std::string>{"normal", "unregistered"}));
    EXPECT_EQ(Candidates("</div>"), (std::vector<std::string>{"/normal", "/unregistered", "normal", "unregistered"}));
    EXPECT_EQ(Candidates("<?xml version='1.0'?>"),
              (std::vector<std::string>{"XML declaration", "XML processing instruction", "normal", "unregistered"}));
    EXPECT_TRUE(Candidates("x<div>").empty());
}

TEST(TagTypes, RegisterMatchIsCaseSensitive) {
    EXPECT_EQ(Candidates("<!doctype html>")[0], "document type declaration");
    EXPECT_EQ(Candidates("<!DOCTYPE html>")[0], "markup declaration");
    Doc upper("<!DOCTYPE html>");
    CTag* pTag = CTag::getTagAt(upper.get(), 0);
    ASSERT_NE(pTag, nullptr);
    EXPECT_TRUE(pTag->isUnregistered()) << "no markup declaration accepts DOCTYPE";
    Doc lower("<!doctype html><p>");
    pTag = CTag::getTagAt(lower.get(), 0);
    ASSERT_NE(pTag, nullptr);
    EXPECT_EQ(pTag->getTagType(), CStartTagTypeDoctypeDeclaration::instance());
    EXPECT_EQ(pTag->getEnd(), 15u);
}

TEST(TagTypes, DoctypeEndsAfterItsInternalSubset) {
    Doc doc("<!doctype x [ <!ENTITY a \"b>c\"> ] \"q>r\"> tail");
    CTag* pTag = doc.tagAt("<!doctype");
    ASSERT_NE(pTag, nullptr);
    EXPECT_EQ(doc.text(pTag), "<!doctype x [ <!ENTITY a \"b>c\"> ] \"q>r\">");
}

TEST(TagTypes, NormalAndUnregisteredStartTags) {
    Doc doc("<div>< div><1><\xe9><div\n>");
    CTag* pDiv = doc.tagAt("<div>");
    ASSERT_NE(pDiv, nullptr);
    EXPECT_EQ(pDiv->getTagType(), CStartTagTypeNormal::instance());
    EXPECT_EQ(pDiv->getName(), "div");
    EXPECT_EQ(pDiv->getNameIndex(), 25);
    for (const char* pszText : {"< div>", "<1>", "<\xe9>"}) {
        CTag* pTag = doc.tagAt(pszText);
        ASSERT_NE(pTag, nullptr) << pszText;
        EXPECT_TRUE(pTag->isUnregistered()) << pszText;
        EXPECT_EQ(doc.text(pTag), pszText);
    }
}

TEST(TagTypes, MarkupDeclarationsXmlAndProcessingInstructions) {
    Doc doc("<!ELEMENT x><!foo><?xml version=\"1.0\"?><?xml-stylesheet href=\"a\"?>");
    CTag* pElement = doc.tagAt("<!ELEMENT");
    ASSERT_NE(pElement, nullptr);
    EXPECT_EQ(pElement->getTagType(), CStartTagTypeMarkupDeclaration::instance());
    EXPECT_EQ(pElement->getName(), "!ELEMENT");
    EXPECT_TRUE(doc.tagAt("<!foo>")->isUnregistered());
    CTag* pXml = doc.tagAt("<?xml ");
    ASSERT_NE(pXml, nullptr);
    EXPECT_EQ(pXml->getTagType(), CStartTagTypeXMLDeclaration::instance());
    ASSERT_NE(static_cast<CStartTag*>(pXml)->getAttributes(), nullptr);
    EXPECT_EQ(static_cast<CStartTag*>(pXml)->getAttributes()->getAttributes().size(), 1u);
    CTag* pPi = doc.tagAt("<?xml-");
    ASSERT_NE(pPi, nullptr);
    EXPECT_EQ(pPi->getTagType(), CStartTagTypeXMLProcessingInstruction::instance());
    EXPECT_EQ(pPi->getName(), "?xml-stylesheet");
}

TEST(TagTypes, CommentsAndTheirInside) {
    Doc doc("<!-- a <b> <% s %> --><i><!-- open <u>");
    CTag* pComment = doc.tagAt("<!-- a");
    ASSERT_NE(pComment, nullptr);
    EXPECT_EQ(pComment->getTagType(), CStartTagTypeComment::instance());
    EXPECT_EQ(doc.text(pComment), "<!-- a <b> <% s %> -->");
    EXPECT_EQ(doc.tagAt("<b>"), nullptr) << "no tag inside a comment";
    CTag* pServer = doc.tagAt("<% s");
    ASSERT_NE(pServer, nullptr) << "server tags stand anywhere";
    EXPECT_EQ(pServer->getTagType(), CStartTagTypeServerCommon::instance());
    CTag* pOpen = doc.tagAt("<!-- open");
    ASSERT_NE(pOpen, nullptr) << "no comment without its end: the next candidates";
    EXPECT_TRUE(pOpen->isUnregistered());
    EXPECT_EQ(doc.text(pOpen), "<!-- open <u>");
}

TEST(TagTypes, EndTags) {
    TraceCapture trace;
    Doc doc("</div></div ></ div></x");
    CTag* pDiv = doc.tagAt("</div>");
    ASSERT_NE(pDiv, nullptr);
    EXPECT_EQ(pDiv->getTagType(), CEndTagTypeNormal::instance());
    EXPECT_EQ(pDiv->getName(), "div");
    CTag* pSpaced = doc.tagAt("</div >");
    ASSERT_NE(pSpaced, nullptr);
    EXPECT_TRUE(pSpaced->isUnregistered());
    EXPECT_EQ(doc.text(pSpaced), "</div >");
    EXPECT_TRUE(trace.Contains("[CEndTagGenericImplementation::constructTagAt] EndTag <div> at <6> not recognized as "
                               "type </normal> because its closing delimiter does not immediately follow its name."));
    CTag* pLeading = doc.tagAt("</ div>");
    ASSERT_NE(pLeading, nullptr);
    EXPECT_TRUE(pLeading->isUnregistered());
    EXPECT_EQ(pLeading->getName(), " div");
    EXPECT_EQ(doc.tagAt("</x"), nullptr) << "no closing '>' at all";
}

TEST(TagTypes, PreviousAndNextTagSearchesPassOverUnregisteredTags) {
    Doc doc("text <1> <p> mid </ x> <b>");
    CTag* pNext = CTag::findPreviousOrNextTag(doc.get(), 0, false);
    ASSERT_NE(pNext, nullptr);
    EXPECT_EQ(pNext->getName(), "p");
    CTag* pPrevious = CTag::findPreviousOrNextTag(doc.get(), doc.at(" mid"), true);
    ASSERT_NE(pPrevious, nullptr);
    EXPECT_EQ(pPrevious->getName(), "p");
    EXPECT_EQ(CStartTag::findPreviousOrNext(doc.get(), doc.at(" mid"), false)->getName(), "b");
}

}  // namespace
