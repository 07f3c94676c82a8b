#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "diagnostics/event_log.h"
#include "platform/error_text.h"
#include "platform/utf.h"
#include "settings/page_char_set.h"
#include "settings/resource.h"
#include "tests/support/trace_capture.h"

namespace {

std::string Text(const CResource& resource, uint32_t nId, LANGID langId) {
    std::u16string sText;
    return resource.LoadString(nId, sText, langId) ? Utf16ToUtf8(sText) : "<missing>";
}

TEST(Resource, StringsByIdInExactlyTheLanguageAsked) {
    CResource resource;
    ASSERT_TRUE(resource.LoadModule(KX_RESOURCE_MODULE, nullptr));
    EXPECT_EQ(Text(resource, 1320, LANGID_ENGLISH), "Day");
    EXPECT_EQ(Text(resource, 1111, 1036), "Gérer les délégués");
    EXPECT_EQ(Text(resource, 1500, 1031), "Feiertage hinzufügen");
    EXPECT_EQ(Text(resource, 1320, 1033), "<missing>") << "US English is not English (4105): no fallback";
    EXPECT_EQ(Text(resource, 801, LANGID_ENGLISH), "<missing>") << "an empty entry of an existing block";
    EXPECT_EQ(Text(resource, 60000, LANGID_ENGLISH), "<missing>") << "no such block";
}

// Every language of the language table has every text English has, and
// each text can be sent in each character set a page of that language comes
// in (the legacy sets of its script; UTF-8 always).
TEST(Resource, EveryLanguageHasEveryTextInItsPagesCharacterSets) {
    CResource resource;
    ASSERT_TRUE(resource.LoadModule(KX_RESOURCE_MODULE, nullptr));
    std::vector<uint32_t> englishIds;
    for (uint32_t nId = 0; nId < 0x10000; ++nId) {
        std::u16string sText;
        if (resource.LoadString(nId, sText, LANGID_ENGLISH)) englishIds.push_back(nId);
    }
    ASSERT_GE(englishIds.size(), 40u);
    // The page character sets (besides UTF-8) a page of each language is sent in.
    const std::vector<const char*> WESTERN = {"iso-8859-1"};
    const std::vector<std::pair<const char*, std::vector<const char*>>> LANGUAGES = {
        {"en", WESTERN},  {"fr", WESTERN},  {"de", WESTERN},  {"es", WESTERN},
        {"pt-br", WESTERN}, {"pt", WESTERN}, {"da", WESTERN}, {"sv", WESTERN},
        {"hu", {"iso-8859-2", "windows-1250"}},
        {"fi", WESTERN},
        {"he", {"windows-1255", "iso-8859-8", "iso-8859-8-i"}},
        {"it", WESTERN},
        {"ar", {"windows-1256", "iso-8859-6"}},
        {"ja", {"shift_jis", "iso-2022-jp"}},
        {"no", WESTERN},
        {"chs", {"gb2312"}},
        {"cht", {"big5"}},
        {"nl", WESTERN},
        {"tr", {"iso-8859-9", "windows-1254"}},
        {"el", {"iso-8859-7", "windows-1253"}},
    };
    const CPageCharSet charSets;
    for (const auto& [pszCode, sets] : LANGUAGES) {
        LANGID langId = 0;
        ASSERT_TRUE(resource.GetLangId(pszCode, langId)) << pszCode;
        for (const uint32_t nId : englishIds) {
            std::u16string sText;
            ASSERT_TRUE(resource.LoadString(nId, sText, langId)) << pszCode << " lacks " << nId;
            EXPECT_FALSE(sText.empty()) << pszCode << " " << nId;
            std::string sSent;
            for (const char* pszSet : sets)
                EXPECT_TRUE(charSets.Convert(sText, pszSet, sSent)) << pszCode << " " << nId << " in " << pszSet;
            EXPECT_TRUE(charSets.Convert(sText, "utf-8", sSent)) << pszCode << " " << nId;
        }
    }
}

TEST(Resource, WithoutAModuleNothingIsFound) {
    TraceCapture trace;
    CResource resource;
    EXPECT_FALSE(resource.LoadModule("/nonexistent/KXRes.dll", nullptr));
    EXPECT_EQ(Text(resource, 1320, LANGID_ENGLISH), "<missing>");
    EXPECT_TRUE(trace.Contains("Resource class NULL handler LoadString"));
}

std::vector<CEventRecord> g_events;
void Collect(const CEventRecord& event) { g_events.push_back(event); }

TEST(Resource, LoadFailureEventIsTheMessageThenTheSystemText) {
    CEventLog eventLog;
    eventLog.Register("Quorvane Kalyxa");
    eventLog.SetMessageIds(0x60000065, 0xE0000067, 0x60000068);
    g_events.clear();
    SetEventSink(&Collect);
    CResource resource;
    EXPECT_FALSE(resource.LoadModule("/nonexistent/KXRes.dll", &eventLog));
    SetEventSink(nullptr);
    ASSERT_EQ(g_events.size(), 1u) << "reported once";
    ASSERT_EQ(g_events[0].strings.size(), 1u);
    EXPECT_EQ(g_events[0].strings[0],
              " Resource Class LoadModule failed  /nonexistent/KXRes.dll error 2   " + SystemErrorText(2));
}

TEST(PeResources, TruncatedAndCorruptedModulesAreRefused) {
    std::ifstream file(KX_RESOURCE_MODULE, std::ios::binary);
    const std::vector<uint8_t> image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(image.size(), 1024u);
    std::string sError;
    for (size_t cbKeep : {0ul, 2ul, 64ul, 300ul, 1100ul}) {
        CPeResources resources;
        const bool bParsed = resources.Parse(std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(cbKeep)), sError);
        std::u16string sText;
        EXPECT_FALSE(bParsed && resources.FindString(1320, LANGID_ENGLISH, sText)) << cbKeep;
    }
    // Cut anywhere inside the string tables: refused whole at load, never
    // started with strings missing.
    // (The .rsrc section's entry in the section table gives where its data ends.)
    const char szRsrc[8] = {'.', 'r', 's', 'r', 'c', 0, 0, 0};
    const auto itEntry = std::search(image.begin(), image.end(), szRsrc, szRsrc + 8);
    ASSERT_NE(itEntry, image.end());
    const auto field = [&](size_t nOffset) {
        const auto it = itEntry + static_cast<long>(nOffset);
        return static_cast<size_t>(it[0] | it[1] << 8 | it[2] << 16 | it[3] << 24);
    };
    const size_t cbData = field(20) + field(8);  // raw offset + virtual size
    for (size_t cbKeep = image.size() / 2; cbKeep < cbData; cbKeep += (cbData - image.size() / 2) / 8 + 1) {
        CPeResources resources;
        EXPECT_FALSE(resources.Parse(std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(cbKeep)), sError))
            << cbKeep;
    }
    // Every byte of the resource section flipped in turn: never a crash.
    for (size_t n = 0x800; n < image.size(); n += 7) {
        std::vector<uint8_t> corrupted = image;
        corrupted[n] ^= 0xFF;
        CPeResources resources;
        std::u16string sText;
        if (resources.Parse(std::move(corrupted), sError)) resources.FindString(1320, LANGID_ENGLISH, sText);
    }
}

}  // namespace
