// The operating system's side of the trace logs: private files and folders,
// shared sections, the clock's text and the module's own name, on whichever
// system the build is for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "platform/dynamic_library.h"
#include "platform/file_io.h"
#include "platform/module_path.h"
#include "platform/shared_section.h"
#include "tests/support/system.h"

namespace {

class PrivateObjects : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = std::filesystem::temp_directory_path() /
                   ("kx-private-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_folder); }
    std::string Path(const std::string& sName) const { return (m_folder / sName).string(); }

    std::filesystem::path m_folder;
};

TEST_F(PrivateObjects, FilesAreCreatedReadWrittenAppendedAndTruncated) {
    const std::string sPath = Path("log.txt");
    {
        CPlatformFile file;
        ASSERT_EQ(file.Open(sPath, false), PrivateAccess::READY);
        EXPECT_EQ(file.WriteAt("0123456789", 10, 0), 10u);
        EXPECT_EQ(file.WriteAt("ab", 2, 4), 2u);
        EXPECT_TRUE(file.Append("XY", 2));
        char szText[32] = {};
        EXPECT_EQ(file.ReadAt(szText, sizeof(szText), 0), 12u) << "fewer at the end";
        EXPECT_STREQ(szText, "0123ab6789XY");
        EXPECT_EQ(file.ReadAt(szText, sizeof(szText), 100), 0u);
    }
    CPlatformFile again;
    ASSERT_EQ(again.Open(sPath, false), PrivateAccess::READY) << "the file it made is its own";
    char ch = 0;
    EXPECT_EQ(again.ReadAt(&ch, 1, 11), 1u);
    EXPECT_EQ(ch, 'Y');
    ASSERT_EQ(again.Open(sPath, true), PrivateAccess::READY);
    EXPECT_EQ(again.ReadAt(&ch, 1, 0), 0u) << "truncated";
}

TEST_F(PrivateObjects, WholeFilesAreReadWithinTheirBound) {
    const std::string sPath = Path("settings.xml");
    std::ofstream(sPath, std::ios::binary) << "<settings/>";
    std::string sText;
    EXPECT_EQ(ReadRegularFile(sPath, 100, sText), 0u);
    EXPECT_EQ(sText, "<settings/>");
    EXPECT_EQ(ReadRegularFile(sPath, 5, sText), 223u) << "larger than the bound";
    EXPECT_EQ(ReadRegularFile(Path("missing.xml"), 100, sText), 2u);
    EXPECT_EQ(ReadRegularFile(m_folder.string(), 100, sText), 13u) << "a folder";
}

TEST_F(PrivateObjects, FoldersAreMadePrivateOnce) {
    const std::string sFolder = Path("Logs");
    EXPECT_EQ(EnsurePrivateFolder(sFolder), PrivateAccess::READY);
    EXPECT_TRUE(std::filesystem::is_directory(sFolder));
    EXPECT_EQ(EnsurePrivateFolder(sFolder), PrivateAccess::READY) << "made before by this account";
    CPlatformFile file;
    EXPECT_EQ(file.Open(sFolder + "/trace.log", false), PrivateAccess::READY);
    EXPECT_NE(EnsurePrivateFolder(Path("missing/Logs")), PrivateAccess::READY) << "one level only";
}

TEST(SharedSection, OpenersOfOneNameShareItsBytes) {
    const std::string sName = SharedMemoryName("kx test/section");
    EXPECT_EQ(sName.find('/', 1), std::string::npos) << "the text's separators are replaced";
    RemoveSharedSection(sName);  // one an interrupted run left
    CSharedSection first;
    ASSERT_EQ(first.Open(sName, 4096), CSharedSection::CREATED);
    EXPECT_EQ(first.WriteAt("shared", 6, 100), 6u);
    CSharedSection second;
    ASSERT_EQ(second.Open(sName, 999999), CSharedSection::EXISTING) << "the creator's size stands";
    char szText[8] = {};
    EXPECT_EQ(second.ReadAt(szText, 6, 100), 6u);
    EXPECT_STREQ(szText, "shared");
    EXPECT_EQ(first.WriteAt("0123456789", 10, 4090), 6u) << "cut at the section's end";
    EXPECT_EQ(first.WriteAt("x", 1, 5000), 0u) << "nothing past it";
    EXPECT_EQ(second.ReadAt(szText, 4, 4096), 0u) << "the section did not grow";
    second.Close();
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(second.ReadAt(szText, 1, 0), 0u);
    RemoveSharedSection(sName);
}

TEST(Clock, TextsAndNamesOfTheRunningProcess) {
    // "Sun Dec  6 07:03:55 2026\n": A upper case, a lower case, D digit or blank, d digit.
    const std::string sShape = "Aaa Aaa Dd dd:dd:dd dddd\n";
    const std::string sNow = CTimeNow();
    bool bShaped = sNow.size() == sShape.size();
    for (size_t n = 0; bShaped && n < sShape.size(); ++n) {
        const char ch = sNow[n];
        switch (sShape[n]) {
            case 'A': bShaped = ch >= 'A' && ch <= 'Z'; break;
            case 'a': bShaped = ch >= 'a' && ch <= 'z'; break;
            case 'D': bShaped = ch == ' ' || (ch >= '0' && ch <= '9'); break;
            case 'd': bShaped = ch >= '0' && ch <= '9'; break;
            default: bShaped = ch == sShape[n];
        }
    }
    EXPECT_TRUE(bShaped) << sNow;
    CLocalTime local{};
    ASSERT_TRUE(ToLocalTime(1800000000, local));  // 2027-01-15 08:00 UTC
    EXPECT_EQ(local.nYear, 2027u);
    EXPECT_EQ(local.nMonth, 1u);
    EXPECT_TRUE(local.nDay == 15 || local.nDay == 14 || local.nDay == 16);
    const std::string sModule = GetOwnModuleFileName();
    EXPECT_NE(sModule.find("kx_unit_tests"), std::string::npos) << sModule;
    EXPECT_TRUE(std::filesystem::exists(sModule));
    EXPECT_EQ(LoadDynamicLibrary((std::filesystem::temp_directory_path() / "no-such-library").string()), nullptr);
    EXPECT_EQ(FindExport(nullptr, "GetFilterVersion"), nullptr);
}

}  // namespace
