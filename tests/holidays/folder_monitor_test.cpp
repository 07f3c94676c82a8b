// The folder monitor on real folders (inotify), and its walk over the
// change records.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "holidays/folder_monitor.h"
#include "platform/directory_changes.h"
#include "tests/support/trace_capture.h"
#include "tests/support/system.h"

namespace {

namespace fs = std::filesystem;

// Every call as one line, for the tests to wait on.
class CRecorder : public CDirectoryChangeHandler {
public:
    void On_FileAdded(const std::string& sPath) override { Add("added " + sPath); }
    void On_FileRemoved(const std::string& sPath) override { Add("removed " + sPath); }
    void On_FileNameChanged(const std::string& sOld, const std::string& sNew) override {
        Add("renamed " + sOld + " -> " + sNew);
    }
    void On_FileModified(const std::string& sPath) override { Add("modified " + sPath); }
    void On_ReadDirectoryChangesError(DWORD dwError, const std::string& sDirectory) override {
        Add("error " + std::to_string(dwError) + " " + sDirectory);
    }
    void On_WatchStarted(DWORD dwError, const std::string& sDirectory) override {
        Add("started " + std::to_string(dwError) + " " + sDirectory);
    }
    void On_WatchStopped(DWORD dwError, const std::string& sDirectory) override {
        Add("stopped " + std::to_string(dwError) + " " + sDirectory);
    }

    // Waits up to five seconds for a line; true when it came.
    bool WaitFor(const std::string& sLine) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
            for (const std::string& sSeen : m_lines)
                if (sSeen == sLine) return true;
            return false;
        });
    }
    std::vector<std::string> Lines() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lines;
    }
    int Count(const std::string& sPrefix) {
        int nCount = 0;
        for (const std::string& sLine : Lines()) nCount += sLine.rfind(sPrefix, 0) == 0;
        return nCount;
    }

private:
    void Add(std::string sLine) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_lines.push_back(std::move(sLine));
        m_changed.notify_all();
    }
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

// A new empty folder under the system's temporary folder.
fs::path NewFolder(const std::string& sPrefix) {
    static std::atomic<unsigned> s_nNext{0};
    const fs::path folder =
        fs::temp_directory_path() / (sPrefix + std::to_string(std::random_device{}()) + "-" + std::to_string(++s_nNext));
    fs::create_directories(folder);
    return folder;
}

class FolderMonitor : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = NewFolder("kx-holiday-");
        fs::create_directories(m_root / "Import");
        fs::create_directories(m_root / "Delete");
        m_spRecorder = std::make_shared<CRecorder>();
    }
    void TearDown() override {
        m_monitor.Stop();
        fs::remove_all(m_root);
    }
    void Start() {
        m_monitor.SetDirectory(m_root.string());
        m_monitor.SetHandler(m_spRecorder);
        ASSERT_EQ(m_monitor.StartThreadMonitor(), 0u);
        ASSERT_TRUE(m_spRecorder->WaitFor("started 0 " + m_root.string()));
    }
    static void Write(const fs::path& path, const std::string& sText) { std::ofstream(path) << sText; }
    std::string Path(const std::string& sRelative) const { return m_root.string() + "/" + sRelative; }

    fs::path m_root;
    std::shared_ptr<CRecorder> m_spRecorder;
    CFolderMonitor m_monitor;
};

TEST_F(FolderMonitor, ReportsAddedChangedRenamedAndRemovedFilesOfTheTree) {
    if (RunningUnderWine()) GTEST_SKIP() << "wine reports no change in a subfolder";
    Start();
    EXPECT_EQ(m_monitor.State(), CFolderMonitor::STATE_WATCHING);
    Write(m_root / "Import" / "us.hol", "[United States] 0\n");
    EXPECT_TRUE(m_spRecorder->WaitFor("added " + Path("Import/us.hol")));
    EXPECT_TRUE(m_spRecorder->WaitFor("modified " + Path("Import/us.hol")));
    fs::rename(m_root / "Import" / "us.hol", m_root / "Import" / "usa.hol");
    EXPECT_TRUE(m_spRecorder->WaitFor("renamed " + Path("Import/us.hol") + " -> " + Path("Import/usa.hol")));
    fs::rename(m_root / "Import" / "usa.hol", m_root / "Delete" / "usa.hol");
    EXPECT_TRUE(m_spRecorder->WaitFor("renamed " + Path("Import/usa.hol") + " -> " + Path("Delete/usa.hol")))
        << "a move between watched folders is one rename";
    fs::remove(m_root / "Delete" / "usa.hol");
    EXPECT_TRUE(m_spRecorder->WaitFor("removed " + Path("Delete/usa.hol")));
    Write(m_root / "outside.txt", "x");
    fs::rename(m_root / "outside.txt", "/tmp/kx-moved-out.txt");
    EXPECT_TRUE(m_spRecorder->WaitFor("removed " + Path("outside.txt"))) << "moved out of the tree";
    fs::remove("/tmp/kx-moved-out.txt");
}

TEST_F(FolderMonitor, AFolderDeletedAndMadeAgainIsWatchedWithItsFiles) {
    if (RunningUnderWine()) GTEST_SKIP() << "wine reports no change in a subfolder";
    Start();
    fs::remove_all(m_root / "Import");
    EXPECT_TRUE(m_spRecorder->WaitFor("removed " + Path("Import")));
    fs::create_directories(m_root / "Import.new");
    Write(m_root / "Import.new" / "de.hol", "[Deutschland] 0\n");
    fs::rename(m_root / "Import.new", m_root / "Import");
    EXPECT_TRUE(m_spRecorder->WaitFor("renamed " + Path("Import.new") + " -> " + Path("Import")));
    Write(m_root / "Import" / "fr.hol", "[France] 0\n");
    EXPECT_TRUE(m_spRecorder->WaitFor("added " + Path("Import/fr.hol"))) << "the moved folder keeps its watch";
    fs::create_directories(m_root / "Import" / "2027");
    Write(m_root / "Import" / "2027" / "it.hol", "[Italia] 0\n");
    EXPECT_TRUE(m_spRecorder->WaitFor("added " + Path("Import/2027/it.hol")))
        << "a file made before its new folder is watched is found there";
}

TEST_F(FolderMonitor, AFolderThatDoesNotExistEndsTheThreadAtOnce) {
    m_monitor.SetDirectory(Path("missing"));
    m_monitor.SetHandler(m_spRecorder);
    EXPECT_EQ(m_monitor.StartThreadMonitor(), 0u);
    for (int n = 0; n < 500 && m_monitor.State() != CFolderMonitor::STATE_ENDED; ++n)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(m_monitor.State(), CFolderMonitor::STATE_ENDED);
    EXPECT_EQ(m_spRecorder->Count("started"), 0);
}

TEST_F(FolderMonitor, StartsAtMostAHundredTimes) {
    TraceCapture trace;
    m_monitor.SetDirectory(Path("missing"));
    m_monitor.SetHandler(m_spRecorder);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(m_monitor.StartThreadMonitor(), 0u);
        while (m_monitor.IsRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(trace.Contains("reached max start Count"));
    EXPECT_EQ(m_monitor.StartThreadMonitor(), 0u);
    EXPECT_TRUE(trace.Contains("CFolderMonitor::StartThreadMonitor Starting thread reached max start Count 100"));
}

TEST_F(FolderMonitor, StopEndsTheWatchAndSaysSo) {
    Start();
    m_monitor.Stop();
    EXPECT_EQ(m_monitor.State(), CFolderMonitor::STATE_ENDED);
    EXPECT_TRUE(m_spRecorder->WaitFor("stopped 0 " + m_root.string()));
}

// Records as the platform writes them, for the walk.
std::vector<BYTE> Records(const std::vector<std::pair<DWORD, std::u16string>>& changes) {
    std::vector<BYTE> buffer;
    for (size_t n = 0; n < changes.size(); ++n) {
        const size_t nStart = (buffer.size() + 3) & ~size_t{3};
        buffer.resize(nStart + FILE_NOTIFY_HEADER_SIZE + changes[n].second.size() * 2);
        const DWORD cbRecord = static_cast<DWORD>(((FILE_NOTIFY_HEADER_SIZE + changes[n].second.size() * 2) + 3) & ~3u);
        const DWORD header[3] = {n + 1 < changes.size() ? cbRecord : 0, changes[n].first,
                                 static_cast<DWORD>(changes[n].second.size() * 2)};
        std::memcpy(buffer.data() + nStart, header, sizeof(header));
        std::memcpy(buffer.data() + nStart + FILE_NOTIFY_HEADER_SIZE, changes[n].second.data(),
                    changes[n].second.size() * 2);
    }
    return buffer;
}

TEST(FolderMonitorRecords, ARenameSplitAcrossTwoReadsIsOneChange) {
    auto spRecorder = std::make_shared<CRecorder>();
    CFolderMonitor monitor;
    monitor.SetDirectory("/h/");
    monitor.SetHandler(spRecorder);
    BYTE buffer[CFolderMonitor::BUFFER_SIZE] = {};
    std::vector<BYTE> first = Records({{FILE_ACTION_ADDED, u"Import/a.hol"}, {FILE_ACTION_RENAMED_OLD_NAME, u"Import/b.hol"}});
    std::memcpy(buffer, first.data(), first.size());
    const DWORD cbCarried = monitor.DispatchRecords(buffer, static_cast<DWORD>(first.size()));
    EXPECT_EQ(cbCarried, 36u) << "the old name waits at the buffer's start";
    std::vector<BYTE> second = Records({{FILE_ACTION_RENAMED_NEW_NAME, u"Import/c.hol"}, {FILE_ACTION_REMOVED, u"x"}});
    std::memcpy(buffer + cbCarried, second.data(), second.size());
    EXPECT_EQ(monitor.DispatchRecords(buffer, cbCarried + static_cast<DWORD>(second.size())), 0u);
    EXPECT_EQ(spRecorder->Lines(), (std::vector<std::string>{"added /h/Import/a.hol",
                                                             "renamed /h/Import/b.hol -> /h/Import/c.hol",
                                                             "removed /h/x"}))
        << "a folder ending in / gets no second one";
}

TEST(FolderMonitorRecords, RecordsThatRunPastTheBufferEndTheWalk) {
    auto spRecorder = std::make_shared<CRecorder>();
    CFolderMonitor monitor;
    monitor.SetHandler(spRecorder);
    std::vector<BYTE> records = Records({{FILE_ACTION_ADDED, u"a"}, {FILE_ACTION_ADDED, u"b"}, {9, u"c"}});
    BYTE buffer[CFolderMonitor::BUFFER_SIZE] = {};
    std::memcpy(buffer, records.data(), records.size());
    const DWORD nHuge = 0xFFFFFF00;
    std::memcpy(buffer, &nHuge, sizeof(nHuge));
    EXPECT_EQ(monitor.DispatchRecords(buffer, static_cast<DWORD>(records.size())), 0u);
    EXPECT_EQ(spRecorder->Lines(), std::vector<std::string>{"added /a"});
    const DWORD cbLong = 0x7FFFFFFF;  // a name longer than the buffer
    std::memcpy(buffer + 8, &cbLong, sizeof(cbLong));
    EXPECT_EQ(monitor.DispatchRecords(buffer, static_cast<DWORD>(records.size())), 0u);
    EXPECT_EQ(spRecorder->Lines().size(), 1u);
}

// The platform splits a rename pair when the caller's buffer holds only the first record.
TEST(DirectoryChanges, ARenameThatDoesNotFitComesInTwoReads) {
    const fs::path root = NewFolder("kx-changes-");
    std::ofstream(root / "old.hol") << "x";
    CDirectoryChanges changes;
    ASSERT_EQ(changes.Open(root.string(), true), 0u);
    fs::rename(root / "old.hol", root / "new.hol");
    BYTE buffer[40] = {};
    DWORD cbRead = 0;
    ASSERT_EQ(changes.Read(buffer, sizeof(buffer), cbRead), 0u);
    DWORD header[3];
    std::memcpy(header, buffer, sizeof(header));
    EXPECT_EQ(header[0], 0u);
    EXPECT_EQ(header[1], FILE_ACTION_RENAMED_OLD_NAME);
    ASSERT_EQ(changes.Read(buffer, sizeof(buffer), cbRead), 0u);
    std::memcpy(header, buffer, sizeof(header));
    EXPECT_EQ(header[1], FILE_ACTION_RENAMED_NEW_NAME);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer + 12), header[2] / 2), u"new.hol");
    changes.Stop();
    EXPECT_EQ(changes.Read(buffer, sizeof(buffer), cbRead), 995u);
    EXPECT_EQ(CDirectoryChanges().Open((root / "missing").string(), true), 3u);
    fs::remove_all(root);
}

}  // namespace
