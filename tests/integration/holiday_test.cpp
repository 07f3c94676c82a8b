// Holiday files dropped into a product's holiday folder, through the built
// worker: noticed by the folder monitor, imported into or removed from a
// signing-in user's calendar on the fake EWS server, once per file version.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "host/host_request.h"
#include "host/worker_module.h"
#include "tests/integration/worker_fixture.h"
#include "tests/support/fake_ews_server.h"
#include "tests/support/slapd_directory.h"
#include "tests/support/temporary_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* LAST_IMPORTED = "D8ABEB56-C7FE-4bdb-943F-0D8F9D27941F|Last imported calendar";
constexpr const char* LAST_DELETED = "D08B8C82-E75C-401c-A299-1304E6CAC2AB|Last deleted calendar";

// Alice's mailbox, by the primary address the work acts as her with.
constexpr const char* ALICE = "alice@kalyxa.test";

class Holidays : public ::testing::Test {
protected:
    Holidays() { m_directory.ServeThisProcess(); }
    void SetUp() override {
        m_ews.m_configurations["OWA.UserOptions"] = {{"timezone", "W. Europe Standard Time"}};
        Start({});
    }
    // A product over the sample settings with these holiday settings changed.
    void Start(std::map<int, std::string> settings) {
        settings.emplace(38, m_ews.Url());
        settings.emplace(141, "United States;Canada");
        settings.emplace(143, "1");
        settings.emplace(142, "0");
        settings.emplace(14, "1");  // the trace log, for what only it shows
        settings.emplace(12, "2");
        settings.emplace(39, m_logFolder.string());
        m_spProduct = std::make_unique<TemporaryProduct>(true, settings);
        Start();
    }
    void Start() {
        m_spWorker = StartWorker(*m_spProduct);
        ASSERT_TRUE(m_spWorker->IsLoaded());
    }
    void TearDown() override {
        if (m_spWorker != nullptr) m_spWorker->TerminateFilter(0);
    }
    std::string Folder(const char* pszSide) const { return m_spProduct->ProductFolder() + "Holiday/" + pszSide + "/"; }
    // Writes a file as an administrator would: under a temporary name, then renamed.
    void Publish(const char* pszSide, const std::string& sName, const std::string& sText) {
        const std::string sTemporary = Folder(pszSide) + sName + ".tmp";
        std::ofstream(sTemporary) << sText;
        fs::rename(sTemporary, Folder(pszSide) + sName);
    }
    // A user (alice unless named) signs in: pre-processing and
    // authentication-complete of a calendar request.
    void SignIn(const std::string& sSession = "s1", const std::string& sUser = "alice") {
        kxhost::RequestSpec spec;
        spec.sUser = sUser;
        spec.sUrl = "/owa/?ae=Folder&t=IPF.Appointment";
        spec.nSubscriptionType = 4;
        spec.headers.emplace_back("Cookie", "UserContext=" + sSession);
        spec.serverVariables["QV_USERNAME"] = "KALYXA\\" + sUser;
        kxhost::HostRequest request(m_services, spec);
        for (DWORD dwNotification : {SF_NOTIFY_PREPROC_HEADERS, SF_NOTIFY_AUTH_COMPLETE, SF_NOTIFY_END_OF_REQUEST})
            request.Notify(m_spWorker->FilterProc(), dwNotification);
    }
    // Signs in until the record holds a value starting with sPrefix (up to ten seconds).
    bool SignInUntilRecorded(const char* pszKey, const std::string& sPrefix) {
        for (int n = 0; n < 200; ++n) {
            SignIn();
            const auto properties = m_ews.FolderProperties(ALICE);
            if (const auto it = properties.find(pszKey); it != properties.end() && it->second.rfind(sPrefix, 0) == 0)
                return true;
            std::this_thread::sleep_for(50ms);
        }
        return false;
    }
    std::multiset<std::string> Subjects() const {
        std::multiset<std::string> subjects;
        for (const auto& [sId, item] : m_ews.Calendar(ALICE)) subjects.insert(item.sSubject);
        return subjects;
    }

    // How often the trace log holds the text; the worker is stopped first,
    // which writes the lines it keeps back.
    int TraceCount(const std::string& sText) {
        return Occurrences(StopAndReadTraceLog(m_spWorker, m_logFolder.string()), sText);
    }

    CSlapdDirectory m_directory;
    CFakeEwsServer m_ews;
    TemporaryFolder m_logFolder;
    std::unique_ptr<TemporaryProduct> m_spProduct;
    std::unique_ptr<kxhost::WorkerModule> m_spWorker;
    kxhost::HostServices m_services;
};

const std::string US_FILE = "[United States] 2\nNew Year's Day,2027/01/01\nIndependence Day,2027/07/04\n"
                            "[Canada] 1\nCanada Day,2027/07/01\n[Mexico] 1\nDia de la Independencia,2027/09/16\n";

TEST_F(Holidays, ADroppedFileIsImportedOnceAtSignIn) {
    m_ews.m_calendars[ALICE]["own"] = CFakeEwsServer::CCalendarItem{"Dentist", "", "", "", "", "", ""};
    Publish("Import", "us.hol", US_FILE);
    std::ofstream(Folder("Import") + "notes.txt") << "not a holiday file";
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    EXPECT_EQ(Subjects(), (std::multiset<std::string>{"Dentist", "New Year's Day", "Independence Day", "Canada Day"}))
        << "the two sections of setting 141, beside the user's own item";
    EXPECT_EQ(m_ews.FolderProperties(ALICE).at(
                  "EE907310-B002-48fc-A713-F6018D2B35C0|Last imported sections"),
              "United States;Canada");
    const int nFinds = m_ews.Requests("FindItem");
    SignIn("s2");
    SignIn("s3");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m_ews.Requests("FindItem"), nFinds) << "a user whose record matches the file gets nothing";
    EXPECT_TRUE(m_ews.ShapeErrors().empty());
}

// A host that starts the worker twice, or stops it and starts it again in
// the same process, leaves a monitor watching; and a file saved again with
// new holidays is read again, not taken for the version loaded before.
TEST_F(Holidays, AFileSavedAgainAfterTheWorkerStartedAgainBringsItsNewHolidays) {
    HTTP_FILTER_VERSION version{};
    ASSERT_TRUE(m_spWorker->GetFilterVersion(&version)) << "a second start";
    Publish("Import", "us.hol", US_FILE);
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    m_spWorker->TerminateFilter(0);
    ASSERT_TRUE(m_spWorker->GetFilterVersion(&version)) << "started again after a stop";
    Publish("Import", "us.hol",
            "[United States] 3\nNew Year's Day,2027/01/01\nIndependence Day,2027/07/04\nThanksgiving,2027/11/25\n"
            "[Canada] 1\nCanada Day,2027/07/01\n");
    for (int n = 0; n < 200 && Subjects().count("Thanksgiving") == 0; ++n) {
        SignIn("s" + std::to_string(n));
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(Subjects(), (std::multiset<std::string>{"New Year's Day", "Independence Day", "Canada Day",
                                                       "Thanksgiving"}))
        << "the saved file's new holiday, each holiday once";
}

// A section added to setting 141 while the worker runs is imported at the
// user's next sign-in; the sections imported already are not made again.
TEST_F(Holidays, ASectionAddedWhileRunningIsImportedAtTheNextSignIn) {
    m_spWorker->TerminateFilter(0);
    Start({{81, "0"}});  // the settings files are looked at on every sign-in
    Publish("Import", "us.hol", US_FILE);
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    m_spProduct->Change({{141, "United States;Canada;Mexico"}});
    for (int n = 0; n < 200 && Subjects().count("Dia de la Independencia") == 0; ++n) {
        SignIn("s" + std::to_string(n));
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(Subjects(), (std::multiset<std::string>{"New Year's Day", "Independence Day", "Canada Day",
                                                       "Dia de la Independencia"}));
    const auto sections = [&] {
        const auto properties = m_ews.FolderProperties(ALICE);
        const auto it = properties.find("EE907310-B002-48fc-A713-F6018D2B35C0|Last imported sections");
        return it == properties.end() ? std::string() : it->second;
    };
    for (int n = 0; n < 100 && sections() != "United States;Canada;Mexico"; ++n) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sections(), "United States;Canada;Mexico");
}

TEST_F(Holidays, ADeleteFileRemovesWhatTheImportMadeAndNothingElse) {
    m_ews.m_calendars[ALICE]["own"] = CFakeEwsServer::CCalendarItem{"Canada Day", "", "", "", "", "", ""};
    Publish("Import", "us.hol", US_FILE);
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    Publish("Delete", "ca.hol", "[Canada] 1\nCanada Day,2027/07/01\n");
    ASSERT_TRUE(SignInUntilRecorded(LAST_DELETED, "ca.hol_"));
    EXPECT_EQ(Subjects(), (std::multiset<std::string>{"Canada Day", "New Year's Day", "Independence Day"}))
        << "the user's own Canada Day stays";
}

TEST_F(Holidays, WorkStoppedWithTheWorkerIsFinishedAfterwardsWithoutDuplicates) {
    std::string sText = "[United States] 150\n";
    for (int n = 0; n < 150; ++n)
        sText += "Day " + std::to_string(n) + ",2027/" + (n / 28 < 9 ? "0" : "") + std::to_string(n / 28 + 1) + "/" +
                 (n % 28 < 9 ? "0" : "") + std::to_string(n % 28 + 1) + "\n";
    sText += "[Canada] 0\n";
    m_ews.m_nCreateDelayMs = 400;
    Publish("Import", "many.hol", sText);
    for (int n = 0; n < 200 && m_ews.Requests("CreateItem") == 0; ++n) {
        SignIn();
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_GT(m_ews.Requests("CreateItem"), 0);
    m_spWorker->TerminateFilter(0);  // during the first batch
    m_spWorker.reset();
    EXPECT_LT(m_ews.Calendar(ALICE).size(), 150u);
    EXPECT_EQ(m_ews.FolderProperties(ALICE).count(LAST_IMPORTED), 0u) << "unfinished work is not recorded";

    m_ews.m_nCreateDelayMs = 0;
    Start();
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "many.hol_"));
    EXPECT_EQ(m_ews.Calendar(ALICE).size(), 150u) << "each holiday once";
}

TEST_F(Holidays, ABrokenFileIsTriedUpToTheLimitUntilSavedAgain) {
    Start({{145, "2"}});
    Publish("Import", "us.hol", "[United States] 3\nNew Year's Day,2027/01/01\n");
    for (int n = 0; n < 6; ++n) {
        SignIn("s" + std::to_string(n));
        std::this_thread::sleep_for(60ms);
    }
    EXPECT_EQ(TraceCount("LoadHolidayFile failed line 3: section [United States] announces 3 holidays and has 1"), 2)
        << "two loads, then none";
    EXPECT_GE(TraceCount("TriggerHolidayImport reached a max attemps 2 for loading import file"), 1);
    Start();
    Publish("Import", "us.hol", US_FILE);  // saved again: a new version
    EXPECT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
}

// The bound counts the loads of all users' sign-ins, and a corrected file
// is taken up by the running worker.
TEST_F(Holidays, TheAttemptBoundIsSharedAndACorrectedFileIsTakenUp) {
    Start({{145, "3"}});
    Publish("Import", "us.hol", "[United States] 3\nNew Year's Day,2027/01/01\n");
    for (int n = 0; n < 4; ++n) {
        SignIn("alice-" + std::to_string(n));
        SignIn("uma-" + std::to_string(n), "uma");
        std::this_thread::sleep_for(60ms);
    }
    std::this_thread::sleep_for(20ms);
    Publish("Import", "us.hol", US_FILE);  // corrected and saved again
    EXPECT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    EXPECT_EQ(TraceCount("LoadHolidayFile failed line 3: section [United States] announces 3 holidays and has 1"), 3)
        << "three loads of the broken version in all, then none";
}

TEST_F(Holidays, AFailedImportIsRetriedOnlyAfterTheWait) {
    Start({{142, "3"}});
    m_ews.m_sFailingOperation = "CreateItem";
    Publish("Import", "us.hol", US_FILE);
    for (int n = 0; n < 200 && m_ews.Requests("CreateItem") == 0; ++n) {
        SignIn();
        std::this_thread::sleep_for(20ms);
    }
    ASSERT_EQ(m_ews.Requests("CreateItem"), 1);
    std::this_thread::sleep_for(200ms);
    const int nFinds = m_ews.Requests("FindItem");
    SignIn("s2");
    SignIn("s3");
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(m_ews.Requests("FindItem"), nFinds) << "not again within three minutes";
}

TEST_F(Holidays, AFileSavedAgainOrRenamedIsANewVersion) {
    Publish("Import", "us.hol", US_FILE);
    ASSERT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us.hol_"));
    const std::string sFirst = m_ews.FolderProperties(ALICE).at(LAST_IMPORTED);
    std::this_thread::sleep_for(20ms);
    Publish("Import", "us.hol", US_FILE);
    for (int n = 0; n < 200 && m_ews.FolderProperties(ALICE).at(LAST_IMPORTED) == sFirst; ++n) {
        SignIn();
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_NE(m_ews.FolderProperties(ALICE).at(LAST_IMPORTED), sFirst) << "a new write time";
    fs::rename(Folder("Import") + "us.hol", Folder("Import") + "us-2027.hol");
    EXPECT_TRUE(SignInUntilRecorded(LAST_IMPORTED, "us-2027.hol_"));
    EXPECT_EQ(Subjects().size(), 3u) << "no holiday twice";
}

}  // namespace
