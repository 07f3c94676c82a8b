// The holiday folder's change handler: which files become the current
// import or delete file, and a removed file dropped by the component.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include "components/holiday_component.h"
#include "holidays/holiday_directory_change_handler.h"
#include "holidays/holiday_handling.h"
#include "platform/component_interfaces.h"

namespace {

namespace fs = std::filesystem;

class CTestHolidayHandling : public CHolidayHandling {};

class HolidayHandler : public ::testing::Test {
protected:
    void SetUp() override {
        char szTemplate[] = "/tmp/kx-handler-XXXXXX";
        m_root = mkdtemp(szTemplate);
        m_handling.CheckHolidayFiles(m_root.string() + "/");  // makes Holiday/Import and Holiday/Delete
    }
    void TearDown() override {
        RegisterComponent(CLSID_CHoliday, nullptr);
        fs::remove_all(m_root);
    }
    std::string Write(const std::string& sRelative) {
        const fs::path path = m_root / "Holiday" / sRelative;
        std::ofstream(path) << "[A] 1\nx,2027/01/01\n";
        return path.string();
    }

    fs::path m_root;
    CTestHolidayHandling m_handling;
    CHolidayDirectoryChangeHandler m_handler{m_handling};
};

TEST_F(HolidayHandler, OnlyHolFilesOfTheImportAndDeleteFoldersCount) {
    m_handler.On_FileAdded(Write("notes.txt"));
    m_handler.On_FileAdded(Write("top.hol"));
    EXPECT_EQ(m_handling.Files().Get(true).sPath, "") << "neither another file nor one beside the subfolders";
    const std::string sImport = Write("Import/us.HOL");
    m_handler.On_FileAdded(sImport);
    const CCurrentHolidayFile file = m_handling.Files().Get(true);
    EXPECT_EQ(file.sPath, sImport);
    EXPECT_EQ(file.sHash.rfind("us.HOL_", 0), 0u) << file.sHash;
    EXPECT_EQ(file.sHash.substr(file.sHash.size() - 4), " UTC");
    m_handler.On_FileModified(Write("Delete/ca.hol"));
    EXPECT_EQ(m_handling.Files().Get(false).sPath, (m_root / "Holiday/Delete/ca.hol").string());
}

TEST_F(HolidayHandler, ANewVersionStartsItsAttemptsAndLoadingAgain) {
    const std::string sPath = Write("Import/us.hol");
    m_handler.On_FileAdded(sPath);
    m_handling.Files().SetLoaded(true, true);
    m_handling.Files().CountAttempt(true);
    // Saved again; the write time is moved on by hand, as the file system's clock may not tick between writes.
    const fs::file_time_type written = fs::last_write_time(sPath);
    std::ofstream(sPath, std::ios::app) << "\n";
    fs::last_write_time(sPath, written + std::chrono::seconds(1));
    const std::string sBefore = m_handling.Files().Get(true).sHash;
    m_handler.On_FileModified(sPath);
    const CCurrentHolidayFile file = m_handling.Files().Get(true);
    EXPECT_NE(file.sHash, sBefore);
    EXPECT_FALSE(file.bLoaded);
    EXPECT_EQ(file.nAttempts, 0);
    // Renamed: the stored file under its new name; a rename of another file to .hol counts as new too.
    const std::string sRenamed = (m_root / "Holiday/Import/usa.hol").string();
    fs::rename(sPath, sRenamed);
    m_handler.On_FileNameChanged(sPath, sRenamed);
    EXPECT_EQ(m_handling.Files().Get(true).sPath, sRenamed);
    const std::string sSaved = Write("Import/mx.hol");
    m_handler.On_FileNameChanged((m_root / "Holiday/Import/mx.tmp").string(), sSaved);
    EXPECT_EQ(m_handling.Files().Get(true).sPath, sSaved) << "saved through a rename";
    m_handler.On_FileNameChanged(sSaved, (m_root / "Holiday/Import/mx.bak").string());
    EXPECT_EQ(m_handling.Files().Get(true).sPath, sSaved) << "renamed away from .hol: ignored";
}

TEST_F(HolidayHandler, ARemovedFileIsDroppedByTheComponent) {
    auto spStore = std::make_shared<CHolidayStore>(CEwsTransportOptions{}, [] { return CEwsCredentials{}; });
    RegisterComponent(CLSID_CHoliday, [spStore] { return std::make_shared<CHolidayComponent>(spStore); });
    const std::string sPath = Write("Import/us.hol");
    std::string sError;
    ASSERT_TRUE(spStore->Load(CHolidayWork::IMPORT, sPath, sError)) << sError;
    m_handler.On_FileRemoved((m_root / "Holiday/Import/other.hol").string());
    EXPECT_TRUE(spStore->IsLoaded(CHolidayWork::IMPORT, sPath));
    m_handler.On_FileRemoved(sPath);
    EXPECT_FALSE(spStore->IsLoaded(CHolidayWork::IMPORT, sPath));
}

}  // namespace
