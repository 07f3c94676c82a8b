#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "diagnostics/log_format.h"
#include "diagnostics/trace.h"
#include "tests/support/fake_trace_settings.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& sPath) {
    std::ifstream file(sPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

// A fresh log folder and log name per test; removes both, and the section.
class TraceLog : public ::testing::Test {
protected:
    void SetUp() override {
        static int nCounter = 0;
        char szTemplate[] = "/tmp/kx-trace-XXXXXX";
        m_sFolder = mkdtemp(szTemplate);
        m_sName = "kxtest-" + std::to_string(getpid()) + "-" + std::to_string(++nCounter) + ".log";
        m_settings.m_numbers = {{SETTING_TRACE_SWITCH, 1}, {SETTING_LOG_MODE, 1}, {SETTING_LOG_SIZE_KB, 24}};
        m_settings.m_strings = {{SETTING_LOG_FOLDER, m_sFolder}, {SETTING_PRODUCT_LOG_NAME, m_sName}};
        m_settings.m_sCommonFiles = KX_COMMON_FILES;
    }
    void TearDown() override {
        FlushTrace(true);
        SetTraceLevel(0);
        SetTraceSink(nullptr);
        shm_unlink(SectionName().c_str());
        std::error_code error;
        fs::remove_all(m_sFolder, error);
    }
    std::string SectionName() const { return "/Global." + m_sName + "." + std::to_string(geteuid()); }
    std::string LogPath() const { return m_sFolder + "/QuorvaneLogs/" + m_sName; }
    void Start() { InitTrace(m_settings, "KX_ServiceWorker.dll", -1); }

    // The section as another process sees it.
    std::string Section() const {
        const int fd = shm_open(SectionName().c_str(), O_RDONLY, 0);
        if (fd < 0) return {};
        struct stat st{};
        fstat(fd, &st);
        std::string sText(static_cast<size_t>(st.st_size), '\0');
        void* pView = mmap(nullptr, sText.size(), PROT_READ, MAP_SHARED, fd, 0);
        close(fd);
        if (pView == MAP_FAILED) return {};
        std::memcpy(sText.data(), pView, sText.size());
        munmap(pView, sText.size());
        return sText;
    }

    void RunWriters(const std::vector<std::vector<std::string>>& commands) {
        std::vector<pid_t> pids;
        for (const auto& args : commands) {
            std::vector<char*> argv;
            argv.push_back(const_cast<char*>(KX_TRACE_WRITER));
            for (const std::string& sArg : args) argv.push_back(const_cast<char*>(sArg.c_str()));
            argv.push_back(nullptr);
            pid_t pid = 0;
            ASSERT_EQ(posix_spawn(&pid, KX_TRACE_WRITER, nullptr, nullptr, argv.data(), environ), 0);
            pids.push_back(pid);
        }
        for (pid_t pid : pids) {
            int nStatus = 0;
            ASSERT_EQ(waitpid(pid, &nStatus, 0), pid);
            ASSERT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0) << "writer failed";
        }
    }
    // Every line a writer wrote is there once, in order; a line the log lock
    // dropped on a loaded machine (it waits a bounded time) is counted.
    void ExpectWholeLinesFrom(std::map<std::string, std::vector<int>>& byTag, const char* pszTag, int nLines) const {
        const int nDropped = std::stoi(ReadAll(m_sFolder + "/" + pszTag + ".dropped"));
        const std::vector<int>& lines = byTag[pszTag];
        EXPECT_EQ(static_cast<int>(lines.size()) + nDropped, nLines) << pszTag;
        EXPECT_LE(nDropped, nLines / 100) << pszTag << ": the lock is rarely held that long";
        EXPECT_TRUE(std::is_sorted(lines.begin(), lines.end()) &&
                    std::adjacent_find(lines.begin(), lines.end()) == lines.end())
            << pszTag;
    }
    std::vector<std::string> WriterArgs(int nMode, int nSizeKb, int nLines, const std::string& sTag) const {
        return {std::to_string(nMode), m_sFolder, m_sName, std::to_string(nSizeKb), std::to_string(nLines),
                KX_COMMON_FILES, sTag};
    }

    FakeTraceSettings m_settings;
    std::string m_sFolder;
    std::string m_sName;
};

// "YYYY/MM/DD hh:mm:ss.mmm TID [KX_ServiceWorker.dll] TAG-n. " gives TAG and n.
bool ParseLine(const std::string& sLine, std::string& sTag, int& nNumber) {
    unsigned nDate[7];
    char szTid[16];
    int nConsumed = 0;
    if (std::sscanf(sLine.c_str(), "%4u/%2u/%2u %2u:%2u:%2u.%3u %15s %n", &nDate[0], &nDate[1], &nDate[2], &nDate[3],
                    &nDate[4], &nDate[5], &nDate[6], szTid, &nConsumed) != 8)
        return false;
    const std::string sPrefix = "[KX_ServiceWorker.dll] ";
    std::string sRest = sLine.substr(static_cast<size_t>(nConsumed));
    if (sRest.compare(0, sPrefix.size(), sPrefix) != 0 || sRest.size() < sPrefix.size() + 4) return false;
    sRest = sRest.substr(sPrefix.size());
    const size_t nDash = sRest.find('-');
    if (nDash == std::string::npos || sRest.substr(sRest.size() - 2) != ". ") return false;
    sTag = sRest.substr(0, nDash);
    const std::string sNumber = sRest.substr(nDash + 1, sRest.size() - nDash - 3);
    if (sNumber.empty() || sNumber.find_first_not_of("0123456789") != std::string::npos) return false;
    nNumber = std::stoi(sNumber);
    return true;
}

// Every "TAG-n." message in the text, by tag; each must be a whole line.
std::map<std::string, std::vector<int>> MessagesByTag(const std::string& sText, int& nMalformed) {
    std::map<std::string, std::vector<int>> byTag;
    nMalformed = 0;
    size_t nStart = sText.find("\r\n");
    while (nStart != std::string::npos) {
        const size_t nNext = sText.find("\r\n", nStart + 2);
        const std::string sLine =
            sText.substr(nStart + 2, nNext == std::string::npos ? std::string::npos : nNext - nStart - 2);
        std::string sTag;
        int nNumber = 0;
        if (ParseLine(sLine.substr(0, sLine.find('\0')), sTag, nNumber))
            byTag[sTag].push_back(nNumber);
        else
            ++nMalformed;
        nStart = nNext;
    }
    return byTag;
}

TEST_F(TraceLog, StartUpPicksPathPrefixAndLock) {
    Start();
    CTraceLogConfig config = GetTraceLogConfig();
    EXPECT_EQ(config.sLogPath, LogPath());
    EXPECT_EQ(config.sLinePrefix, "[KX_ServiceWorker.dll] ");
    EXPECT_EQ(config.nMaxSize, 24 * 1024);
    EXPECT_EQ(config.nMode, 1);
    EXPECT_TRUE(config.bHasLock) << "LogModule is staged in the common files folder";
    EXPECT_FALSE(config.bSectionOwner);
    EXPECT_EQ(GetTraceLevel(), TRACE_LEVEL_LOG);

    m_settings.m_strings[SETTING_PRODUCT_LOG_NAME] = "COM1.log";
    Start();
    EXPECT_EQ(GetTraceLogConfig().sLogPath, m_sFolder + "/QuorvaneLogs/QV_COM1.log");

    m_settings.m_strings[SETTING_PRODUCT_LOG_NAME] = "../../etc/kx.log";
    Start();
    EXPECT_EQ(GetTraceLogConfig().sLogPath, m_sFolder + "/QuorvaneLogs/.._.._etc_kx.log") << "a name, never a path";

    m_settings.m_strings[SETTING_PRODUCT_LOG_NAME] = "";
    Start();
    EXPECT_EQ(GetTraceLogConfig().sLogPath, m_sFolder + "/QuorvaneLogs/QVCommonLog.log");

    m_settings.m_numbers[SETTING_LIBRARY_LOG] = 1;
    Start();
    config = GetTraceLogConfig();
    EXPECT_EQ(config.sLogPath, m_sFolder + "/QuorvaneLogs/KX_ServiceWorker.log");
    EXPECT_TRUE(config.bSectionOwner);

    m_settings.m_strings[SETTING_LOG_FOLDER] = std::string(240, 'f');
    Start();
    EXPECT_EQ(GetTraceLogConfig().sLogPath, "/var/log/LogError.txt") << "too long for the path limit";
}

TEST_F(TraceLog, SwitchOffWritesNothing) {
    m_settings.m_numbers[SETTING_TRACE_SWITCH] = 0;
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    EXPECT_EQ(GetTraceLevel(), 0u);
    Trace("never written");
    FlushTrace(false);
    EXPECT_FALSE(fs::exists(LogPath()));
    EXPECT_TRUE(Section().empty());
}

TEST_F(TraceLog, SectionWrapsAboveTheWrapOffsetAndKeepsItsHeaderConsistent) {
    Start();
    const int cbMax = 24 * 1024;
    int nLine = 0;
    // Fill past the wrap offset; the text below it must survive every wrap.
    while (Section().size() == 0 || [&] {
        int header[4];
        return ReadLogHeader(Section().data(), LOG_HEADER_SIZE, header, 4) && header[0] < 20480;
    }())
        Trace("first-%d.", nLine++);
    const std::string sBelowWrap = Section().substr(LOG_HEADER_SIZE, 20480 - LOG_HEADER_SIZE);
    for (int n = 0; n < 2000; ++n) Trace("later-%d.%s", n, std::string(n % 300, 'x').c_str());

    const std::string sSection = Section();
    ASSERT_EQ(sSection.size(), static_cast<size_t>(cbMax));
    EXPECT_EQ(sSection.substr(LOG_HEADER_SIZE, 20480 - LOG_HEADER_SIZE), sBelowWrap);
    int header[4];
    ASSERT_TRUE(ReadLogHeader(sSection.data(), LOG_HEADER_SIZE, header, 4));
    EXPECT_GE(header[0], 20480);
    EXPECT_GE(header[1], header[0]);
    EXPECT_LT(header[1] + 257, cbMax) << "no line ends within 257 bytes of the size";
    EXPECT_EQ(header[2], 20480);
    EXPECT_EQ(header[3], cbMax);
    EXPECT_EQ(sSection[LOG_HEADER_SIZE - 1], ' ');
    const std::string sLast = "later-1999." + std::string(1999 % 300, 'x') + " ";
    EXPECT_EQ(sSection.substr(header[0] - sLast.size(), sLast.size()), sLast);
}

TEST_F(TraceLog, SecondProcessAdoptsTheRecordedSize) {
    Start();
    Trace("creator.");
    RunWriters({WriterArgs(1, 48, 500, "opener")});
    const std::string sSection = Section();
    ASSERT_EQ(sSection.size(), 24u * 1024);
    int header[4];
    ASSERT_TRUE(ReadLogHeader(sSection.data(), LOG_HEADER_SIZE, header, 4));
    EXPECT_EQ(header[3], 24 * 1024);
    EXPECT_LT(header[1], 24 * 1024);
}

TEST_F(TraceLog, ConcurrentProcessesWriteOnlyWholeLinesToOneSection) {
    constexpr int LINES = 3000;
    RunWriters({WriterArgs(1, 4096, LINES, "alpha"), WriterArgs(1, 4096, LINES, "beta")});
    int nMalformed = 0;
    auto byTag = MessagesByTag(Section(), nMalformed);
    EXPECT_EQ(nMalformed, 0);
    for (const char* pszTag : {"alpha", "beta"}) ExpectWholeLinesFrom(byTag, pszTag, LINES);
}

TEST_F(TraceLog, ConcurrentProcessesWriteOnlyWholeLinesToOneFile) {
    constexpr int LINES = 3000;
    RunWriters({WriterArgs(2, 4096, LINES, "gamma"), WriterArgs(2, 4096, LINES, "delta")});
    const std::string sFile = ReadAll(LogPath());
    int header[2];
    ASSERT_TRUE(ReadLogHeader(sFile.data(), sFile.size(), header, 2));
    EXPECT_EQ(static_cast<size_t>(header[0]), sFile.size());
    int nMalformed = 0;
    auto byTag = MessagesByTag(sFile, nMalformed);
    EXPECT_EQ(nMalformed, 0);
    for (const char* pszTag : {"gamma", "delta"}) ExpectWholeLinesFrom(byTag, pszTag, LINES);
}

TEST_F(TraceLog, FileWrapsAndStaysWithinItsSize) {
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    for (int n = 0; n < 3000; ++n) Trace("wrap-%d.%s", n, std::string(n % 200, 'y').c_str());
    FlushTrace(false);
    const std::string sFile = ReadAll(LogPath());
    EXPECT_LE(sFile.size(), 24u * 1024);
    int header[2];
    ASSERT_TRUE(ReadLogHeader(sFile.data(), sFile.size(), header, 2));
    EXPECT_GE(header[0], LOG_HEADER_SIZE + 20480 - 1024);
    EXPECT_GE(header[1], header[0]);
    const std::string sLast = "wrap-2999." + std::string(2999 % 200, 'y') + " ";
    EXPECT_EQ(sFile.substr(header[0] - sLast.size(), sLast.size()), sLast);
}

TEST_F(TraceLog, OwnerFlushWritesTheSectionOverTheLogFile) {
    m_settings.m_numbers[SETTING_LIBRARY_LOG] = 1;
    m_sName = "KX_ServiceWorker.log";  // the per-library log's name
    Start();
    Trace("kept in the section.");
    FlushTrace(true);
    const std::string sFile = ReadAll(LogPath());
    ASSERT_GE(sFile.size(), static_cast<size_t>(LOG_HEADER_SIZE));
    EXPECT_NE(sFile.find("kept in the section. "), std::string::npos);
    EXPECT_EQ(sFile.find('\0'), std::string::npos);
}

TEST_F(TraceLog, SectionAndFileAreReadableByTheOwnerOnly) {
    Start();
    Trace("private.");
    struct stat st{};
    ASSERT_EQ(stat(("/dev/shm" + SectionName()).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    Trace("private.");
    FlushTrace(false);
    ASSERT_EQ(stat(LogPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(stat((m_sFolder + "/QuorvaneLogs").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(TraceLog, NamedGroupWidensTheModeToTheGroup) {
    const group* pGroup = getgrgid(getgid());
    ASSERT_NE(pGroup, nullptr);
    setenv("QV_LOG_GROUP", pGroup->gr_name, 1);
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    Trace("shared with the group.");
    FlushTrace(false);
    unsetenv("QV_LOG_GROUP");
    struct stat st{};
    ASSERT_EQ(stat(LogPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0660u);
    EXPECT_EQ(st.st_gid, getgid());
}

TEST_F(TraceLog, UnusableSectionLosesTheLineAndIsTriedAgain) {
    // An object of that name exists but has no size yet.
    const int fd = shm_open(SectionName().c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    Start();
    Trace("lost.");
    ASSERT_EQ(ftruncate(fd, 24 * 1024), 0);
    Trace("lost too: the header makes no sense.");
    char szHeader[LOG_HEADER_SIZE];
    const int header[4] = {100, 100, 20480, 24 * 1024};
    WriteLogHeader(szHeader, header, 4, false);
    ASSERT_EQ(pwrite(fd, szHeader, sizeof(szHeader), 0), static_cast<ssize_t>(sizeof(szHeader)));
    close(fd);
    Trace("written.");
    const std::string sSection = Section();
    EXPECT_EQ(sSection.find("lost"), std::string::npos);
    EXPECT_NE(sSection.find("written. "), std::string::npos);
}

TEST_F(TraceLog, LogFileThatCannotBeOpenedLosesLinesQuietly) {
    std::ofstream(m_sFolder + "/QuorvaneLogs") << "a file where the folder should be";
    m_settings.m_numbers[SETTING_LOG_MODE] = 2;
    Start();
    for (int n = 0; n < 100; ++n) Trace("nowhere %d %s", n, std::string(5000, 'z').c_str());
    FlushTrace(true);
    SUCCEED();
}

}  // namespace
