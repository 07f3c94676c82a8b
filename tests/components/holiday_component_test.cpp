// Holiday files, and the holiday component's imports and removals against
// the fake EWS server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "components/holiday_component.h"
#include "components/holiday_file.h"
#include "components/holiday_store.h"
#include "tests/support/fake_ews_server.h"

namespace {

namespace fs = std::filesystem;

std::string Utf16File(const std::u16string& sText) {
    std::string sBytes = "\xFF\xFE";
    for (char16_t ch : sText) {
        sBytes += static_cast<char>(ch & 0xFF);
        sBytes += static_cast<char>(ch >> 8);
    }
    return sBytes;
}

TEST(HolidayFile, ReadsTheClientsFormatInUtf16AndUtf8) {
    CHolidayFile file;
    ASSERT_TRUE(file.Parse(Utf16File(u"[Deutschland] 2\r\nNeujahr,2027/01/01\r\nTag der Deutschen Einheit,2027/10/03\r\n"
                                     u"\r\n[Fran\u00E7e] 1\r\nF\u00EAte nationale, 2027/07/14\r\n")))
        << file.Error();
    ASSERT_EQ(file.Sections().size(), 2u);
    EXPECT_EQ(file.Sections()[0].holidays[1].sName, "Tag der Deutschen Einheit");
    EXPECT_EQ(file.Sections()[1].sName, "Fran\xC3\xA7" "e");
    EXPECT_EQ(file.Sections()[1].holidays[0].nMonth, 7);
    EXPECT_NE(file.Find("DEUTSCHLAND"), nullptr) << "section names in any case";
    EXPECT_EQ(file.Find("Italia"), nullptr);
    EXPECT_TRUE(file.Parse("\xEF\xBB\xBF[Italia] 1\nFerragosto,2027/08/15"));
    EXPECT_TRUE(file.Parse("[Italia] 1\nSan Giovanni, Firenze,2027/06/24\n")) << "a comma inside the name";
    EXPECT_EQ(file.Sections()[0].holidays[0].sName, "San Giovanni, Firenze");
}

TEST(HolidayFile, NamesTheLineOfTheFirstError) {
    CHolidayFile file;
    const auto error = [&](const std::string& sText) { return file.Parse(sText) ? "(parsed)" : file.Error(); };
    EXPECT_EQ(error("[A] 2\nx,2027/01/01\n[B] 0\n"), "line 2: section [A] announces 2 holidays and has 1");
    EXPECT_EQ(error("x,2027/01/01\n"), "line 1: a holiday before the first section");
    EXPECT_EQ(error("[] 0\n"), "line 1: a section is written \"[Name] count\"");
    EXPECT_EQ(error("[A] -1\n"), "line 1: a section is written \"[Name] count\"");
    EXPECT_EQ(error("\n\n"), "line 3: the file holds no section");
    EXPECT_EQ(error("[A] 0\n\xC3("), "the file is neither UTF-16 with a byte-order mark nor UTF-8");
    EXPECT_EQ(error("\xFF\xFE[\0"), "the file is neither UTF-16 with a byte-order mark nor UTF-8");
    // UTF-16 "[A] 1\nx,2027/01/01\n" with x a lone high, a lone low or a reversed pair of surrogates.
    const auto utf16 = [](const std::u16string& sText) {
        std::string sBytes = "\xFF\xFE";
        for (const char16_t ch : sText) sBytes += {static_cast<char>(ch & 0xFF), static_cast<char>(ch >> 8)};
        return sBytes;
    };
    EXPECT_EQ(error(utf16(u"[A] 1\n\U0001F389,2027/01/01\n")), "(parsed)") << "a pair is one character";
    for (const std::u16string& sName :
         {std::u16string(1, u'\xD83C'), std::u16string(1, u'\xDF89'), std::u16string(u"\xDF89\xD83C")})
        EXPECT_EQ(error(utf16(u"[A] 1\n" + sName + u",2027/01/01\n")),
                  "the file is neither UTF-16 with a byte-order mark nor UTF-8");
}

// Each bound at, below and above its limit; the dates a full calendar rule
// needs (century years are leap years only every fourth century).
TEST(HolidayFile, EveryBoundAtAndPastItsLimit) {
    const std::string DATE_ERROR = "line 2: a holiday is written \"Name,YYYY/MM/DD\" with a date from 1601 to 4500";
    const auto holiday = [](const std::string& sName, const std::string& sDate) {
        return "[A] 1\n" + sName + "," + sDate + "\n";
    };
    const auto sections = [](size_t nCount) {
        std::string sText;
        for (size_t n = 0; n < nCount; ++n) sText += "[S" + std::to_string(n) + "] 0\n";
        return sText;
    };
    const auto holidays = [](size_t nCount) {
        std::string sText = "[A] " + std::to_string(nCount) + "\n";
        for (size_t n = 0; n < nCount; ++n) sText += "h,2027/01/01\n";
        return sText;
    };
    struct Case {
        std::string sText;
        std::string sError;  // empty: parsed
    } const cases[] = {
        {holiday("x", "1600/12/31"), DATE_ERROR},
        {holiday("x", "1601/01/01"), ""},
        {holiday("x", "4500/12/31"), ""},
        {holiday("x", "4501/01/01"), DATE_ERROR},
        {holiday("x", "2027/02/29"), DATE_ERROR},
        {holiday("x", "2028/02/29"), ""},
        {holiday("x", "1900/02/29"), DATE_ERROR},
        {holiday("x", "2000/02/29"), ""},
        {holiday("x", "2100/02/29"), DATE_ERROR},
        {holiday("x", "2400/02/29"), ""},
        {holiday("x", "2027/04/30"), ""},
        {holiday("x", "2027/04/31"), DATE_ERROR},
        {holiday("x", "2027/12/31"), ""},
        {holiday("x", "2027/12/32"), DATE_ERROR},
        {holiday("x", "2027/13/01"), DATE_ERROR},
        {holiday("x", "2027/00/10"), DATE_ERROR},
        {holiday("x", "2027/01/00"), DATE_ERROR},
        {holiday(std::string(255, 'n'), "2027/01/01"), ""},
        {holiday(std::string(256, 'n'), "2027/01/01"), "line 2: a holiday name of 1 to 255 bytes"},
        {"[" + std::string(255, 's') + "] 0\n", ""},
        {"[" + std::string(256, 's') + "] 0\n", "line 1: a section name of 1 to 255 bytes"},
        {sections(CHolidayFile::MAX_SECTIONS), ""},
        {sections(CHolidayFile::MAX_SECTIONS + 1), "line 5001: more than 5000 sections"},
        {holidays(CHolidayFile::MAX_HOLIDAYS), ""},
        {holidays(CHolidayFile::MAX_HOLIDAYS + 1), "line 100002: more than 100000 holidays"},
    };
    CHolidayFile file;
    for (const Case& c : cases) {
        EXPECT_EQ(file.Parse(c.sText) ? "" : file.Error(), c.sError) << c.sText.substr(0, 40);
    }
    const fs::path path = fs::temp_directory_path() / "kx-big.hol";
    for (const size_t cbFile : {CHolidayFile::MAX_FILE_BYTES, CHolidayFile::MAX_FILE_BYTES + 1}) {
        std::ofstream(path, std::ios::binary) << "[Big] 0" << std::string(cbFile - 7, '\n');
        EXPECT_EQ(file.Load(path.string()) ? "" : file.Error(),
                  cbFile == CHolidayFile::MAX_FILE_BYTES ? "" : "the file is larger than 4 MB");
    }
    fs::remove(path);
    EXPECT_FALSE(file.Load("/nonexistent/us.hol"));
    EXPECT_EQ(file.Error(), "the file cannot be read (error 2)");
}

TEST(HolidayConfiguration, KeysAndPercentEncodedValues) {
    CHolidayConnection connection;
    std::string sWhy;
    ASSERT_TRUE(CHolidayComponent::ParseConfiguration(
        "ews=http://x/EWS/exchange.asmx;mailbox=ana%40example.test;actas=2%7Cana%40corp.example.test;"
        "tz=W.%20Europe%20Standard%20Time;version=4;"
        "record=D8AB|Last imported calendar|us.hol_1.1.2027%3B a;",
        connection, sWhy))
        << sWhy;
    EXPECT_EQ(connection.sMailbox, "ana@example.test");
    EXPECT_EQ(connection.nActAsKind, IMPERSONATE_PRINCIPAL_NAME);
    EXPECT_EQ(connection.sActAs, "ana@corp.example.test");
    EXPECT_EQ(connection.sTimeZone, "W. Europe Standard Time");
    EXPECT_EQ(connection.nVersion, 4);
    ASSERT_EQ(connection.records.size(), 1u);
    EXPECT_EQ(connection.records[0].sName, "Last imported calendar");
    EXPECT_EQ(connection.records[0].sValue, "us.hol_1.1.2027; a");
    for (const char* pszBad : {"mailbox=x", "ews=http://x;colour=red", "ews=http://x;tz", "ews=http://x;tz=%4",
                               "ews=http://x;version=four", "ews=http://x;record=a|b", "ews=http://x;tz=%FF",
                               "ews=http://x;actas=3|a@x", "ews=http://x;actas=1|", "ews=http://x;actas=a@x"}) {
        EXPECT_FALSE(CHolidayComponent::ParseConfiguration(pszBad, connection, sWhy)) << pszBad;
        EXPECT_FALSE(sWhy.empty());
    }
}

// The mailbox the work acts in, as its own user.
const std::string ANA = "ana@example.test";

class HolidayWork : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = fs::temp_directory_path() / ("kx-hol-" + std::to_string(::getpid()));
        fs::create_directories(m_folder);
        m_spStore = MakeStore();
    }
    void TearDown() override {
        m_spStore->Stop();
        fs::remove_all(m_folder);
    }
    static std::shared_ptr<CHolidayStore> MakeStore() {
        return std::make_shared<CHolidayStore>(CEwsTransportOptions{}, [] { return CEwsCredentials{}; });
    }
    std::string Write(const std::string& sName, const std::string& sText) {
        const fs::path path = m_folder / sName;
        std::ofstream(path, std::ios::binary) << sText;
        return path.string();
    }
    // A configured component over the store.
    std::unique_ptr<CHolidayComponent> Component(const std::string& sRecord) {
        auto spComponent = std::make_unique<CHolidayComponent>(m_spStore);
        long nResult = -1;
        EXPECT_EQ(spComponent->Configure(1, Utf16(("ews=" + m_ews.Url() + ";mailbox=" + ANA + ";actas=1%7C" + ANA +
                                                   ";tz=UTC;record=" + sRecord)),
                                         nResult),
                  0);
        return spComponent;
    }
    static std::u16string Utf16(const std::string& sText) { return std::u16string(sText.begin(), sText.end()); }
    // Waits up to ten seconds for the folder property to hold the value.
    bool WaitForRecord(const std::string& sKey, const std::string& sValue) {
        for (int n = 0; n < 1000; ++n) {
            const auto properties = m_ews.FolderProperties(ANA);
            if (const auto it = properties.find(sKey); it != properties.end() && it->second == sValue) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    fs::path m_folder;
    CFakeEwsServer m_ews;
    std::shared_ptr<CHolidayStore> m_spStore;
};

TEST_F(HolidayWork, AnImportMakesEachHolidayOnceAndARemovalTakesOnlyWhatItMade) {
    m_ews.m_calendars[ANA]["own-1"] = CFakeEwsServer::CCalendarItem{"Dentist", "", "2027-01-01T09:00:00",
                                                                      "2027-01-01T10:00:00", "", "", ""};
    const std::string sImport =
        Write("us.hol", "[United States] 2\nNew Year's Day,2027/01/01\nIndependence Day,2027/07/04\n"
                        "[Canada] 1\nCanada Day,2027/07/01\n[Mexico] 1\nAño Nuevo,2027/12/31\n");
    std::unique_ptr<CHolidayComponent> spComponent = Component("G1|Last imported calendar|us.hol_1");
    uint16_t nLoaded = 0;
    ASSERT_EQ(spComponent->LoadHolidayFile(Utf16(sImport), nLoaded), 0);
    EXPECT_EQ(nLoaded, HOLIDAY_FILE_LOADED);
    long nState = -1;
    spComponent->GetHolidayStatus(nState);
    EXPECT_EQ(nState, 0);
    VARIANT_BOOL bLoaded = VARIANT_FALSE;
    spComponent->IsHolydayFileLoaded(Utf16(sImport), bLoaded);
    EXPECT_EQ(bLoaded, VARIANT_TRUE);
    long nResult = -1;
    ASSERT_EQ(spComponent->AddHolidays(u"ana", {u"United States", u"mexico", u"Atlantis"}, u"", 0, nResult), 0);
    EXPECT_EQ(nResult, 0);
    EXPECT_TRUE(WaitForRecord("G1|Last imported calendar", "us.hol_1"));
    auto calendar = m_ews.Calendar(ANA);
    ASSERT_EQ(calendar.size(), 4u) << "three holidays beside the user's own item";
    int nHolidays = 0;
    for (const auto& [sId, item] : calendar) {
        if (item.sMarker.empty()) continue;
        ++nHolidays;
        EXPECT_EQ(item.sCategory, "Holiday");
        EXPECT_EQ(item.sTimeZone, "UTC");
        if (item.sSubject == "Año Nuevo") {
            EXPECT_EQ(item.sStart, "2027-12-31T00:00:00");
            EXPECT_EQ(item.sEnd, "2028-01-01T00:00:00") << "an all-day item ends at the next midnight";
            EXPECT_EQ(item.sLocation, "Mexico");
        }
    }
    EXPECT_EQ(nHolidays, 3);

    // Again, with one more section: only the new holiday is made.
    spComponent = Component("G1|Last imported calendar|us.hol_2");
    ASSERT_EQ(spComponent->AddHolidays(u"ana", {u"United States", u"Canada"}, u"", 0, nResult), 0);
    EXPECT_TRUE(WaitForRecord("G1|Last imported calendar", "us.hol_2"));
    EXPECT_EQ(m_ews.Calendar(ANA).size(), 5u);

    const std::string sDelete = Write("del.hol", "[United States] 2\nIndependence Day,2027/07/04\n"
                                                 "Thanksgiving,2027/11/25\n[Canada] 1\nCanada Day,2027/07/01\n");
    spComponent = Component("G2|Last deleted calendar|del.hol_1");
    ASSERT_EQ(spComponent->LoadDeleteFile(Utf16(sDelete), nLoaded), 0);
    ASSERT_EQ(nLoaded, HOLIDAY_FILE_LOADED);
    ASSERT_EQ(spComponent->DeleteHolidays(u"ana", nResult), 0);
    EXPECT_EQ(nResult, 0);
    EXPECT_TRUE(WaitForRecord("G2|Last deleted calendar", "del.hol_1"));
    calendar = m_ews.Calendar(ANA);
    std::set<std::string> subjects;
    for (const auto& [sId, item] : calendar) subjects.insert(item.sSubject);
    EXPECT_EQ(subjects, (std::set<std::string>{"Dentist", "New Year's Day", "Año Nuevo"}));
    for (const std::string& sCall : m_ews.Impersonations())
        EXPECT_EQ(sCall.substr(sCall.find(' ')), " PrimarySmtpAddress=" + ANA) << "every call as the user";
    EXPECT_TRUE(m_ews.ShapeErrors().empty()) << m_ews.ShapeErrors().front();
}

TEST_F(HolidayWork, ABrokenFileIsReportedAndNothingIsQueued) {
    const std::string sPath = Write("bad.hol", "[A] 2\nx,2027/01/01\n");
    std::unique_ptr<CHolidayComponent> spComponent = Component("G|n|v");
    uint16_t nLoaded = HOLIDAY_FILE_LOADED;
    ASSERT_EQ(spComponent->LoadHolidayFile(Utf16(sPath), nLoaded), 0);
    EXPECT_LT(nLoaded, HOLIDAY_FILE_LOADED);
    std::u16string sDescription, sSource;
    spComponent->GetErrorDescription(sDescription, sSource);
    EXPECT_EQ(sDescription, u"line 3: section [A] announces 2 holidays and has 1");
    EXPECT_EQ(sSource, Utf16(sPath));
    long nState = -1;
    spComponent->GetHolidayStatus(nState);
    EXPECT_EQ(nState, 4) << "the file has errors";
    spComponent->LoadHolidayFile(Utf16(m_folder.string() + "/missing.hol"), nLoaded);
    spComponent->GetHolidayStatus(nState);
    EXPECT_EQ(nState, 3) << "the file could not be read";
    long nResult = -1;
    spComponent->AddHolidays(u"ana", {u"A"}, u"", 0, nResult);
    EXPECT_EQ(nResult, CHolidayComponent::RESULT_NO_FILE);
    CHolidayComponent unconfigured(m_spStore);
    unconfigured.AddHolidays(u"ana", {u"A"}, u"", 0, nResult);
    EXPECT_EQ(nResult, CHolidayComponent::RESULT_NOT_CONFIGURED);
}

// Work stopped midway records nothing; running it again completes it
// without making any holiday twice.
TEST_F(HolidayWork, StoppedWorkIsFinishedLaterWithoutDuplicates) {
    std::string sText = "[Many] 120\n";
    for (int n = 0; n < 120; ++n) sText += "Day " + std::to_string(n) + ",2027/" + (n / 28 < 9 ? "0" : "") +
                                             std::to_string(n / 28 + 1) + "/" + (n % 28 + 1 < 10 ? "0" : "") +
                                             std::to_string(n % 28 + 1) + "\n";
    const std::string sPath = Write("many.hol", sText);
    m_ews.m_nCreateDelayMs = 300;
    std::unique_ptr<CHolidayComponent> spComponent = Component("G1|Last imported calendar|many_1");
    uint16_t nLoaded = 0;
    ASSERT_EQ(spComponent->LoadHolidayFile(Utf16(sPath), nLoaded), 0);
    ASSERT_EQ(nLoaded, HOLIDAY_FILE_LOADED) << sText.substr(0, 200);
    long nResult = -1;
    spComponent->AddHolidays(u"ana", {u"Many"}, u"", 0, nResult);
    for (int n = 0; n < 500 && m_ews.Requests("CreateItem") == 0; ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    m_spStore->Stop();  // the worker stops during the first batch
    const size_t nMade = m_ews.Calendar(ANA).size();
    EXPECT_GT(nMade, 0u);
    EXPECT_LT(nMade, 120u);
    EXPECT_TRUE(m_ews.FolderProperties(ANA).empty()) << "nothing recorded for unfinished work";

    m_ews.m_nCreateDelayMs = 0;
    m_spStore = MakeStore();
    spComponent = Component("G1|Last imported calendar|many_1");
    spComponent->LoadHolidayFile(Utf16(sPath), nLoaded);
    spComponent->AddHolidays(u"ana", {u"Many"}, u"", 0, nResult);
    EXPECT_TRUE(WaitForRecord("G1|Last imported calendar", "many_1"));
    EXPECT_EQ(m_ews.Calendar(ANA).size(), 120u) << "each holiday exactly once";
}

}  // namespace
