#include <gtest/gtest.h>
#include <iconv.h>

#include "platform/utf.h"
#include "tests/directory/directory_test_support.h"
#include "tests/settings/sw_settings_support.h"
#include "tests/support/trace_capture.h"

namespace {

// The service-worker settings with the language map and the resource module.
class LocalizedSettings : public TestSWSettings {
public:
    LocalizedSettings() {
        InitLanguageMap();
        m_resource.LoadModule(KX_RESOURCE_MODULE, nullptr);
    }
};

class Languages : public ::testing::Test {
protected:
    std::pair<std::string, LANGID> Resolve(const std::string& sList) {
        std::string sLanguage;
        LANGID langId = 0;
        m_settings.ResolveLanguage(sList, sLanguage, langId);
        return {sLanguage, langId};
    }
    LocalizedSettings m_settings;
};

TEST_F(Languages, BrowserListsFindTheFirstFittingTagOfTheMap) {
    using Result = std::pair<std::string, LANGID>;
    EXPECT_EQ(Resolve("fr-CA"), Result("fr", 1036));
    EXPECT_EQ(Resolve("pt-BR"), Result("pt-br", 1046)) << "pt-br precedes pt";
    EXPECT_EQ(Resolve("pt-PT"), Result("pt", 2070));
    EXPECT_EQ(Resolve("nb-NO"), Result("no", 1044));
    EXPECT_EQ(Resolve("zh-HK"), Result("chs", 2052));
    EXPECT_EQ(Resolve("zh-Hant"), Result("cht", 1028));
    EXPECT_EQ(Resolve("DE-at"), Result("de", 1031)) << "tags compare without case";
    EXPECT_EQ(Resolve("en-US,en;q=0.8"), Result("en", 4105));
    EXPECT_EQ(Resolve("ko-KR;fr"), Result("fr", 1036)) << "the second piece";
    // The list's order decides, not the map's: each first choice comes later in the map than the second.
    EXPECT_EQ(Resolve("nl-NL;de"), Result("nl", 1043));
    EXPECT_EQ(Resolve("el,fr;q=0.9"), Result("el", 1032)) << "the piece begins with the first choice";
    EXPECT_EQ(Resolve("zh-TW;en"), Result("cht", 1028)) << "zh-tw before zh-hk and zh";
    EXPECT_EQ(Resolve("ko-KR;;fr"), Result("en", 4105)) << "an empty piece ends the list";
}

TEST_F(Languages, UnsupportedOrMalformedListsFallBackToEnglish) {
    TraceCapture trace;
    EXPECT_EQ(Resolve("ko-KR").second, LANGID_ENGLISH);
    EXPECT_TRUE(trace.Contains("[CSWGeneralSettings::DetectUserLanguage] Languages: ko-KR not supported. Set english "
                               "as default"));
    for (const char* pszList : {"", ";", " fr-FR", "q=0.9", "*", "\xff\xfe"}) {
        const auto [sLanguage, langId] = Resolve(pszList);
        EXPECT_EQ(sLanguage, "en") << pszList;
        EXPECT_EQ(langId, LANGID_ENGLISH) << pszList;
    }
}

class UserLanguage : public DirectoryTest {
protected:
    LocalizedSettings m_settings;
    ComponentsForTest m_components{std::make_shared<CMemoryCacheStore>()};
};

TEST_F(UserLanguage, TheDirectoryCultureWinsOverTheBrowser) {
    ASSERT_TRUE(m_settings.InitializeCaches());
    std::string sLanguage;
    LANGID langId = 0;
    ASSERT_TRUE(m_settings.DetectUserLanguage("KALYXA\\jdoe", "", "de-DE,de;q=0.9", sLanguage, langId, "", ""));
    EXPECT_EQ(sLanguage, "fr") << "jdoe's culture is fr-CA";
    EXPECT_EQ(langId, 1036);
    ASSERT_TRUE(m_settings.DetectUserLanguage("rroe", "", "de-DE,de;q=0.9", sLanguage, langId, "", ""));
    EXPECT_EQ(sLanguage, "de") << "rroe has no culture: the browser's list";
}

TEST_F(Languages, ResourcesInThePageCharacterSet) {
    std::string sText;
    ASSERT_TRUE(m_settings.GetResource(1111, sText, 1036, "UTF-8"));
    EXPECT_EQ(sText, "G\xc3\xa9rer les d\xc3\xa9l\xc3\xa9gu\xc3\xa9s");
    ASSERT_TRUE(m_settings.GetResource(1111, sText, 1036, "iso-8859-1"));
    EXPECT_EQ(sText, "G\xe9rer les d\xe9l\xe9gu\xe9s");
    TraceCapture trace;
    EXPECT_FALSE(m_settings.GetResource(1111, sText, 1036, "koi8-r"));
    EXPECT_TRUE(trace.Contains("GetResource can not translate the res ID 1111 LANGID 1036, CharSet koi8-r"));
    EXPECT_FALSE(m_settings.GetResource(1111, sText, 1033, "utf-8")) << "US English is not the module's English";
    EXPECT_TRUE(trace.Contains("GetResource can not get res ID 1111 for LANGID 1033."));
    EXPECT_FALSE(m_settings.GetResource(1111, sText, 1041, "iso-8859-1")) << "Japanese in a Western page";
    EXPECT_TRUE(trace.Contains("GetResource can not translate the res ID 1111 LANGID 1041, CharSet iso-8859-1"));
    std::map<uint32_t, std::string> texts;
    EXPECT_FALSE(m_settings.GetResources({1320, 9999, 1105}, texts, true, 1036, "gb2312"));
    EXPECT_EQ(texts.size(), 2u) << "a missing id does not stop the others";
    EXPECT_EQ(texts[1320], "Jour");
}

TEST(PageCharSets, TheHtmlSafeUtf8Encoder) {
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(u"a<b>\"c\""), "a&lt;b&gt;&quot;c&quot;");
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(u"&amp; & '"), "&amp; & '") << "ampersands and apostrophes stay";
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(u"\u00e9\u20ac"), "\xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(u"\U0001F4C5"), "\xf0\x9f\x93\x85") << "a pair is one character";
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(std::u16string(1, char16_t(0xD83D)) + u"x"), "\xef\xbf\xbdx");
    EXPECT_EQ(CPageCharSet::EncodeHtmlUtf8(std::u16string(1, char16_t(0xDC05))), "\xef\xbf\xbd");
    EXPECT_TRUE(IsValidUtf8(CPageCharSet::EncodeHtmlUtf8(u"\U00020BB7\U0001F600<")));
    CPageCharSet charSets;
    std::string sResult;
    for (const char* pszName : {"utf-8", "UTF-8", "Utf-8"}) {
        ASSERT_TRUE(charSets.Convert(u"<", pszName, sResult)) << pszName;
        EXPECT_EQ(sResult, "&lt;");
    }
}

// The code page's bytes read back as the browser would (iconv, by the name).
std::u16string ReadBack(const std::string& sBytes, const char* pszIconvName) {
    iconv_t converter = iconv_open("UTF-16LE", pszIconvName);
    std::string sOut(sBytes.size() * 4 + 4, '\0');
    char* pIn = const_cast<char*>(sBytes.data());
    size_t cbIn = sBytes.size(), cbOut = sOut.size();
    char* pOut = sOut.data();
    const bool bRead = iconv(converter, &pIn, &cbIn, &pOut, &cbOut) != static_cast<size_t>(-1) &&
                       iconv(converter, nullptr, nullptr, &pOut, &cbOut) != static_cast<size_t>(-1);  // a held character
    iconv_close(converter);
    if (!bRead) return u"(not readable)";
    std::u16string sText;
    for (size_t n = 0; n + 1 < sOut.size() - cbOut; n += 2)
        sText += static_cast<char16_t>(static_cast<unsigned char>(sOut[n]) | static_cast<unsigned char>(sOut[n + 1]) << 8);
    return sText;
}

struct CCharSetSample {
    const char* pszName;
    const char* pszReadAs;  // what a browser decodes the bytes as
    std::u16string sText;
};

void PrintTo(const CCharSetSample& sample, std::ostream* pStream) { *pStream << sample.pszName; }

class PageCharSetRoundTrips : public ::testing::TestWithParam<CCharSetSample> {};

TEST_P(PageCharSetRoundTrips, TextTheCharacterSetHoldsComesBackWhole) {
    CPageCharSet charSets;
    std::string sBytes;
    ASSERT_TRUE(charSets.Convert(GetParam().sText, GetParam().pszName, sBytes)) << GetParam().pszName;
    EXPECT_EQ(ReadBack(sBytes, GetParam().pszReadAs), GetParam().sText);
    EXPECT_FALSE(charSets.Convert(u"\u0F00 Tibetan", GetParam().pszName, sBytes)) << "a character it lacks";
}

INSTANTIATE_TEST_SUITE_P(
    Table, PageCharSetRoundTrips,
    ::testing::Values(CCharSetSample{"iso-8859-1", "WINDOWS-1252", u"Caf\u00e9 \u20ac5 \u201cquoted\u201d \u2014 ok"},
                      CCharSetSample{"iso-8859-2", "ISO-8859-2", u"\u017b\u00f3\u0142w"},
                      CCharSetSample{"ISO-8859-9", "WINDOWS-1254", u"\u0130stanbul \u015fi\u015f"},
                      CCharSetSample{"windows-1250", "WINDOWS-1250", u"P\u0159\u00edli\u0161"},
                      CCharSetSample{"windows-1254", "WINDOWS-1254", u"\u011f\u00fc"},
                      CCharSetSample{"iso-8859-7", "ISO-8859-7", u"\u0395\u03bb\u03bb\u03ac\u03b4\u03b1"},
                      CCharSetSample{"windows-1255", "WINDOWS-1255", u"\u05e9\u05dc\u05d5\u05dd"},
                      CCharSetSample{"iso-8859-8-i", "WINDOWS-1255", u"\u05e9\u05dc\u05d5\u05dd"},
                      CCharSetSample{"iso-8859-6", "WINDOWS-1256", u"\u0645\u0631\u062d\u0628\u0627"},
                      CCharSetSample{"shift_jis", "SHIFT_JIS", u"\u65e5\u672c\u8a9e"},
                      CCharSetSample{"big5", "BIG5", u"\u81fa\u7063 \u65e5\u66c6"},
                      CCharSetSample{"gb2312", "GBK", u"\u4e2d\u6587"}),
    [](const ::testing::TestParamInfo<CCharSetSample>& info) {
        std::string sName;
        for (const char* p = info.param.pszName; *p != '\0'; ++p)
            if (IsAsciiAlpha(*p) || IsAsciiDigit(*p)) sName += *p;
        return sName;
    });

TEST(PageCharSets, NamesWithoutAConverterAreRefused) {
    CPageCharSet charSets;
    std::string sResult = "untouched";
    for (const char* pszName : {"koi8-r", "", "utf-7", "x-mac-hebrew", "hz-gb-2312", "iso-8859-1x"})
        EXPECT_FALSE(charSets.Convert(u"abc", pszName, sResult)) << pszName;
    EXPECT_EQ(sResult, "untouched");
}

}  // namespace
