// What another account, or a careless mode, left under the trace log's names
// is refused and reported once; no one who may write the log can crash or
// stall a writer; a full disk never leaves the header ahead of the data.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "diagnostics/event_log.h"
#include "diagnostics/log_format.h"
#include "diagnostics/trace.h"
#include "tests/support/fake_trace_settings.h"

namespace {

namespace fs = std::filesystem;

std::vector<CEventRecord> g_events;
void Collect(const CEventRecord& event) { g_events.push_back(event); }

std::string ReadAll(const std::string& sPath) {
    std::ifstream file(sPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

int CountEvents(const std::string& sText) {
    int nCount = 0;
    for (const CEventRecord& event : g_events)
        nCount += !event.strings.empty() && event.strings[0].find(sText) != std::string::npos;
    return nCount;
}

class HostileTraceLog : public ::testing::Test {
protected:
    void SetUp() override {
        static int nCounter = 0;
        char szTemplate[] = "/tmp/kx-hostile-XXXXXX";
        m_sFolder = mkdtemp(szTemplate);
        const std::string sUnique = std::to_string(getpid()) + "-" + std::to_string(++nCounter);
        m_sName = "kxhostile-" + sUnique + ".log";
        m_settings.m_numbers = {{SETTING_TRACE_SWITCH, 1}, {SETTING_LOG_MODE, 1}, {SETTING_LOG_SIZE_KB, 24}};
        m_settings.m_strings = {{SETTING_LOG_FOLDER, m_sFolder}, {SETTING_PRODUCT_LOG_NAME, m_sName}};
        m_settings.m_sCommonFiles = KX_COMMON_FILES;
        m_settings.m_sLibraryFolder = "kxlock-" + sUnique;  // the lock's name, of this test alone
        g_events.clear();
        SetEventSink(&Collect);
    }
    void TearDown() override {
        FlushTrace(true);
        SetTraceLevel(0);
        SetTraceSink(nullptr);
        SetEventSink(nullptr);
        shm_unlink(SectionName().c_str());
        shm_unlink(LockName().c_str());
        std::error_code error;
        fs::remove_all(m_sFolder, error);
    }
    std::string SectionName() const { return "/Global." + m_sName + "." + std::to_string(geteuid()); }
    std::string LockName() const { return "/QuorvaneLogLock." + m_settings.m_sLibraryFolder + "." + std::to_string(geteuid()); }
    std::string LogPath() const { return m_sFolder + "/QuorvaneLogs/" + m_sName; }
    void Start() { InitTrace(m_settings, "KX_ServiceWorker.dll", -1); }

    // A shared-memory object made before the worker, as another account would.
    static int Precreate(const std::string& sName, mode_t mode, size_t cbSize) {
        const int fd = shm_open(sName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd < 0 || fchmod(fd, mode) != 0 || ftruncate(fd, static_cast<off_t>(cbSize)) != 0) return -1;
        return fd;
    }
    static void WriteHeader(int fd, int cbSize) {
        char szHeader[LOG_HEADER_SIZE];
        const int header[4] = {100, 100, 20480, cbSize};
        WriteLogHeader(szHeader, header, 4, false);
        ASSERT_EQ(pwrite(fd, szHeader, sizeof(szHeader), 0), static_cast<ssize_t>(sizeof(szHeader)));
    }
    std::string Section() const {
        const int fd = shm_open(SectionName().c_str(), O_RDONLY, 0);
        if (fd < 0) return {};
        std::string sText(64 * 1024, '\0');
        const ssize_t nRead = pread(fd, sText.data(), sText.size(), 0);
        close(fd);
        sText.resize(nRead > 0 ? static_cast<size_t>(nRead) : 0);
        return sText;
    }

    FakeTraceSettings m_settings;
    std::string m_sFolder;
    std::string m_sName;
};

TEST_F(HostileTraceLog, SectionOpenToOthersIsRefusedAndTheLinesGoToTheFile) {
    const int fd = Precreate(SectionName(), 0666, 24 * 1024);
    ASSERT_GE(fd, 0);
    WriteHeader(fd, 24 * 1024);
    close(fd);
    Start();
    Trace("first line.");
    Trace("second line.");
    FlushTrace(false);
    EXPECT_EQ(Section().find("line."), std::string::npos) << "nothing written where others can read";
    const std::string sFile = ReadAll(LogPath());
    EXPECT_NE(sFile.find("first line. "), std::string::npos);
    EXPECT_NE(sFile.find("second line. "), std::string::npos);
    EXPECT_EQ(CountEvents("shared section " + SectionName()), 1) << "reported once";
}

TEST_F(HostileTraceLog, SectionOfAnotherAccountIsRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "making an object of another account needs root";
    const int fd = Precreate(SectionName(), 0600, 24 * 1024);
    ASSERT_GE(fd, 0);
    WriteHeader(fd, 24 * 1024);
    ASSERT_EQ(fchown(fd, 65534, 65534), 0);
    close(fd);
    Start();
    Trace("secret cookie.");
    EXPECT_EQ(Section().find("secret"), std::string::npos);
    EXPECT_EQ(CountEvents("shared section"), 1);
}

TEST_F(HostileTraceLog, ShrunkSectionCannotCrashTheWriter) {
    Start();
    Trace("before.");
    const int fd = shm_open(SectionName().c_str(), O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, 0), 0);
    close(fd);
    Trace("after the section was cut to nothing.");
    EXPECT_NE(Section().find("after the section was cut to nothing. "), std::string::npos);
}

TEST_F(HostileTraceLog, LockHeldForeverCostsABoundedWaitAndDropsTheLine) {
    Start();
    ASSERT_TRUE(GetTraceLogConfig().bHasLock);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {  // the other writer, stuck while holding the lock
        const int fd = shm_open(LockName().c_str(), O_RDWR, 0);
        struct flock lock{};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const char chReady = fd >= 0 && fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 'y' : 'n';
        if (write(pipeFds[1], &chReady, 1) != 1) _exit(1);
        pause();
        _exit(0);
    }
    char chReady = 0;
    ASSERT_EQ(read(pipeFds[0], &chReady, 1), 1);
    ASSERT_EQ(chReady, 'y');
    Trace("dropped while the lock is held.");
    FlushTrace(false);  // nothing to write: takes no lock and returns
    const long nDropped = GetTraceLogConfig().nDroppedLines;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    close(pipeFds[0]);
    close(pipeFds[1]);
    EXPECT_EQ(nDropped, 1);
    Trace("written once the holder is gone.");
    const std::string sSection = Section();
    EXPECT_EQ(sSection.find("dropped"), std::string::npos);
    EXPECT_NE(sSection.find("written once the holder is gone. "), std::string::npos) << "the kernel released it";
}

TEST_F(HostileTraceLog, LockObjectOpenToOthersIsRefused) {
    const int fd = Precreate(LockName(), 0666, 1);
    ASSERT_GE(fd, 0);
    close(fd);
    Start();
    EXPECT_FALSE(GetTraceLogConfig().bHasLock);
}

TEST_F(HostileTraceLog, FolderOpenToOthersIsRefused) {
    const std::string sLogFolder = m_sFolder + "/QuorvaneLogs";
    ASSERT_EQ(mkdir(sLogFolder.c_str(), 0700), 0);
    ASSERT_EQ(chmod(sLogFolder.c_str(), 0777), 0);
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    EXPECT_EQ(GetTraceLogConfig().sLogPath, "/var/log/LogError.txt");
    EXPECT_EQ(CountEvents("folder " + sLogFolder), 1);
}

TEST_F(HostileTraceLog, LinkInsteadOfTheFolderIsRefused) {
    const std::string sOther = m_sFolder + "/elsewhere";
    ASSERT_EQ(mkdir(sOther.c_str(), 0700), 0);
    ASSERT_EQ(symlink(sOther.c_str(), (m_sFolder + "/QuorvaneLogs").c_str()), 0);
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    Trace("not through the link.");
    FlushTrace(false);
    EXPECT_FALSE(fs::exists(sOther + "/" + m_sName));
}

TEST_F(HostileTraceLog, LogFileOpenToOthersIsRefused) {
    ASSERT_EQ(mkdir((m_sFolder + "/QuorvaneLogs").c_str(), 0700), 0);
    std::ofstream(LogPath()) << "planted";
    ASSERT_EQ(chmod(LogPath().c_str(), 0666), 0);
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    Trace("secret session.");
    Trace("another secret.");
    FlushTrace(false);
    EXPECT_EQ(ReadAll(LogPath()), "planted");
    EXPECT_EQ(CountEvents("file " + LogPath()), 1);
}

TEST_F(HostileTraceLog, FullDiskNeverLeavesTheHeaderAheadOfTheData) {
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    m_settings.m_numbers[SETTING_LOG_SIZE_KB] = 64;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {  // a file-size limit stands in for the full disk
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{6000, 6000};
        setrlimit(RLIMIT_FSIZE, &limit);
        Start();
        for (int n = 0; n < 60; ++n) Trace("line %d %s.", n, std::string(150, 'x').c_str());
        FlushTrace(true);
        _exit(0);
    }
    int nStatus = 0;
    ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
    ASSERT_TRUE(WIFEXITED(nStatus));
    const std::string sFile = ReadAll(LogPath());
    ASSERT_GE(sFile.size(), static_cast<size_t>(LOG_HEADER_SIZE));
    int header[2] = {};
    ASSERT_TRUE(ReadLogHeader(sFile.data(), LOG_HEADER_SIZE, header, 2));
    EXPECT_LE(static_cast<size_t>(header[0]), sFile.size()) << "the header claims only what was written";
    EXPECT_LE(static_cast<size_t>(header[1]), sFile.size());
    EXPECT_EQ(sFile.find('\0'), std::string::npos) << "no hole of zero bytes";
}

}  // namespace
