#include "diagnostics/trace_log.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "base/ascii_case.h"
#include "base/file_names.h"
#include "diagnostics/event_log.h"
#include "diagnostics/file_log.h"
#include "diagnostics/log_format.h"
#include "diagnostics/log_module_client.h"
#include "diagnostics/shared_section_log.h"
#include "diagnostics/trace.h"
#include "platform/clock.h"
#include "platform/file_io.h"
#include "platform/shared_section.h"

namespace {

constexpr int DEFAULT_MAX_SIZE = 10 * 1024 * 1024;
constexpr int DEFAULT_WRAP_OFFSET = 20480;
constexpr size_t MAX_PATH_CHARS = 260;
constexpr const char* FALLBACK_LOG_PATH = "/var/log/LogError.txt";
constexpr const char* SYSTEM_LOG_FOLDER = "/var/log";
constexpr const char* LOG_SUBFOLDER = "QuorvaneLogs";
constexpr size_t LINE_LIMIT = 64 + MAX_PATH_CHARS + TRACE_MESSAGE_LIMIT + 2;

// The process-wide log state. Every sink and InitTrace hold m_mutex, so a
// settings refresh can restart the log while request threads trace.
struct CTraceLogState {
    std::mutex m_mutex;
    CTraceLogState() { SetLogPath(FALLBACK_LOG_PATH); }

    std::string m_sLogPath;
    std::string m_sSectionName;
    std::string m_sLinePrefix;
    int m_nMaxSize = DEFAULT_MAX_SIZE;
    int m_nWrapOffset = DEFAULT_WRAP_OFFSET;
    bool m_bWriteBehind = true;
    int m_nMode = 0;
    bool m_bSectionOwner = false;
    ILogLock* m_pLock = nullptr;
    CLogModule m_logModule;
    CSharedSectionLog m_section;
    CFileLog m_file;
    long m_nDroppedLines = 0;
    CEventLog m_events;
    std::string m_sReportedRefusal;  // the last object whose refusal was reported

    // An operator must know why nothing is traced; said once per object.
    void ReportRefusal(const std::string& sWhat, const std::string& sName) {
        if (m_sReportedRefusal == sName) return;
        m_sReportedRefusal = sName;
        m_events.Register();
        m_events.ReportEventf(EVENTLOG_WARNING_TYPE,
                              "The trace log's %s %s belongs to another account or is open to others; it is not used.",
                              sWhat.c_str(), sName.c_str());
    }

    // Holds the cross-process log lock, when there is one, for a scope.
    // The lock waits a bounded time; a writer that did not get it writes
    // nothing and counts its line as dropped.
    class LogLockGuard {
    public:
        explicit LogLockGuard(ILogLock* pLock) : m_pLock(pLock) {
            if (m_pLock != nullptr && !m_pLock->Lock()) {
                m_pLock = nullptr;
                m_bHeld = false;
            }
        }
        ~LogLockGuard() {
            if (m_pLock != nullptr) m_pLock->Unlock();
        }
        LogLockGuard(const LogLockGuard&) = delete;
        LogLockGuard& operator=(const LogLockGuard&) = delete;
        bool Held() const { return m_bHeld; }

    private:
        ILogLock* m_pLock;
        bool m_bHeld = true;
    };

    // Writes one line to the file (or its write-behind batch).
    void WriteFileLine(const char* pLine, size_t cbLine) {
        m_file.Write(m_sLogPath, m_nMaxSize, m_nWrapOffset, m_bWriteBehind, pLine, cbLine);
        ReportIfFileRefused();
    }
    void ReportIfFileRefused() {
        if (m_file.Refused()) ReportRefusal("file", m_sLogPath);
    }

    // Stamp, prefix, message and one blank.
    size_t BuildLine(char* pLine, const char* pszMessage, size_t cbMessage) const {
        size_t cbLine = FormatLineStamp(pLine, LINE_LIMIT);
        const size_t cbPrefix = std::min(m_sLinePrefix.size(), LINE_LIMIT - cbLine - 1);
        std::copy_n(m_sLinePrefix.data(), cbPrefix, pLine + cbLine);
        cbLine += cbPrefix;
        const size_t cbCopy = std::min(cbMessage, LINE_LIMIT - cbLine - 1);
        std::copy_n(pszMessage, cbCopy, pLine + cbLine);
        cbLine += cbCopy;
        pLine[cbLine++] = ' ';
        return cbLine;
    }

    // The section is named after the log file's name.
    void SetLogPath(const std::string& sLogPath) {
        m_sLogPath = sLogPath;
        const size_t nSlash = sLogPath.rfind('/');
        m_sSectionName = SharedMemoryName("Global." + sLogPath.substr(nSlash == std::string::npos ? 0 : nSlash + 1));
    }
};

// Built when the library loads. Singletons are built later, so their
// destructors (which may trace) run before this one; once it has run, the
// level is 0 and no sink is called again.
struct CTraceLogInstance : CTraceLogState {
    ~CTraceLogInstance() {
        SetTraceLevel(0);
        FlushTrace(true);  // pending write-behind text must not be lost at unload
    }
} g_state;

CTraceLogState& State() { return g_state; }

void ShowMessage(const char* pszMessage) {
    if (GetTraceLevel() & TRACE_LEVEL_MESSAGE_BOX) DebugOutput(pszMessage);
}

bool IsDllAt(const std::string& sName, size_t nAt) { return StartsWithNoCase(std::string_view(sName).substr(nAt), ".dll"); }

void SharedSectionSink(const char* pszMessage, size_t cbMessage) {
    ShowMessage(pszMessage);
    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    if (!(GetTraceLevel() & TRACE_LEVEL_LOG) || state.m_nMaxSize <= state.m_nWrapOffset) return;
    char szLine[LINE_LIMIT];
    const size_t cbLine = state.BuildLine(szLine, pszMessage, cbMessage);
    CTraceLogState::LogLockGuard lock(state.m_pLock);
    if (!lock.Held()) {
        ++state.m_nDroppedLines;
        return;
    }
    if (state.m_section.Write(state.m_sSectionName, state.m_nMaxSize, state.m_nWrapOffset, szLine, cbLine) ==
        CSharedSectionLog::REFUSED) {
        state.ReportRefusal("shared section", state.m_sSectionName);
        state.WriteFileLine(szLine, cbLine);
    }
}

void FileSink(const char* pszMessage, size_t cbMessage) {
    ShowMessage(pszMessage);
    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    if (!(GetTraceLevel() & TRACE_LEVEL_LOG)) return;
    char szLine[LINE_LIMIT];
    const size_t cbLine = state.BuildLine(szLine, pszMessage, cbMessage);
    // A line that only joins the write-behind batch needs no cross-process lock.
    const bool bWrites = state.m_file.WouldWrite(state.m_sLogPath, state.m_bWriteBehind, cbLine);
    CTraceLogState::LogLockGuard lock(bWrites ? state.m_pLock : nullptr);
    if (!lock.Held()) {
        ++state.m_nDroppedLines;
        return;
    }
    state.WriteFileLine(szLine, cbLine);
}

std::string ReplaceDllWithLog(std::string sName) {
    for (size_t nAt = 0; nAt + 4 <= sName.size();) {
        if (IsDllAt(sName, nAt)) {
            sName.replace(nAt, 4, ".log");
            nAt += 4;
        } else {
            ++nAt;
        }
    }
    return sName;
}

// The log path: folder/QuorvaneLogs/name, or the fallback when too long or
// when the QuorvaneLogs folder that exists is not ours.
std::string LogPath(CTraceLogState& state, ITraceSettings& settings, const std::string& sFileName, int nCriteria) {
    std::string sFolder;
    const bool bFolderSet = settings.GetSettingFromID(SETTING_LOG_FOLDER, sFolder, nCriteria) && !sFolder.empty();
    size_t cbLimit = 243;
    if (!bFolderSet) {
        sFolder = SYSTEM_LOG_FOLDER;
        cbLimit = 234;
    }
    while (sFolder.size() > 1 && sFolder.back() == '/') sFolder.pop_back();
    if (sFolder.size() + sFileName.size() >= cbLimit) return FALLBACK_LOG_PATH;
    const std::string sLogFolder = sFolder + "/" + LOG_SUBFOLDER;
    if (EnsurePrivateFolder(sLogFolder) == PrivateAccess::REFUSED) {
        state.ReportRefusal("folder", sLogFolder);
        return FALLBACK_LOG_PATH;
    }
    return (sLogFolder + "/" + sFileName).substr(0, MAX_PATH_CHARS);
}

}  // namespace

void BasicTraceSink(const char* pszMessage, size_t cbMessage) {
    ShowMessage(pszMessage);
    if (!(GetTraceLevel() & TRACE_LEVEL_LOG)) return;
    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    std::string sText = "\n\n ****  " + CTimeNow() + " ";
    sText.append(pszMessage, cbMessage);
    CPlatformFile file;
    if (file.Open(state.m_sLogPath, false) == PrivateAccess::READY) file.Append(sText.data(), sText.size());
}

void InitTrace(ITraceSettings& settings, const char* pszLibraryFileName, int nCriteria) {
    const std::string sLibrary = pszLibraryFileName != nullptr ? pszLibraryFileName : "";
    SetTraceLevel(0);
    int nSwitch = 0, nMode = 1, nSizeKb = 10240;
    settings.GetSettingFromID(SETTING_TRACE_SWITCH, nSwitch, nCriteria);
    settings.GetSettingFromID(SETTING_LOG_MODE, nMode, nCriteria);
    settings.GetSettingFromID(SETTING_LOG_SIZE_KB, nSizeKb, nCriteria);
    const DWORD dwLevel = (nSwitch == 1 || nSwitch == 10) ? TRACE_LEVEL_LOG : 0;

    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    const int nPreviousMode = state.m_nMode;
    if (nSwitch != 10) {
        if (nMode == 1) SetTraceSink(&SharedSectionSink);
        if (nMode == 2) SetTraceSink(&FileSink);
        if (nMode == 1 || nMode == 2) state.m_nMode = nMode;
        if (nSizeKb > 0 && nSizeKb <= 0x7FFFFFFF / 1024) state.m_nMaxSize = nSizeKb * 1024;
    }

    state.m_logModule.Load(settings.CommonFilesFolder());
    int nLibraryLog = 0;
    std::string sFileName;
    settings.GetSettingFromID(SETTING_LIBRARY_LOG, nLibraryLog, nCriteria);
    state.m_bSectionOwner = nLibraryLog != 0;
    if (nLibraryLog != 0) {
        sFileName = ReplaceDllWithLog(sLibrary);
        CleanFileName(sFileName);
        state.m_pLock = state.m_logModule.ProductLock(sLibrary);
    } else {
        std::string sProductLog;
        settings.GetSettingFromID(SETTING_PRODUCT_LOG_NAME, sProductLog, nCriteria);
        state.m_sLinePrefix = "[" + sLibrary + "] ";
        if (!sProductLog.empty()) {
            sFileName = sProductLog.substr(0, MAX_PATH_CHARS);
            CleanFileName(sFileName);  // a name, never a path
            if (!IsValidFileName(sFileName)) sFileName = "QV_" + sFileName;
            state.m_pLock = nMode == 1   ? state.m_logModule.ProductLock(settings.LibraryFolderName())
                            : nMode == 2 ? state.m_logModule.ProductLock(sLibrary)
                                         : nullptr;
        } else {
            sFileName = "QVCommonLog.log";
            state.m_pLock = state.m_logModule.GeneralLock();
        }
    }
    const std::string sLogPath = LogPath(state, settings, sFileName, nCriteria);
    if (sLogPath != state.m_sLogPath || state.m_nMode != nPreviousMode) {
        state.m_file.Close();
        state.m_section.Release();
    }
    state.SetLogPath(sLogPath);
    SetTraceLevel(dwLevel);
}

void FlushTrace(bool bUnmap) {
    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    const bool bSectionToWrite = state.m_section.IsMapped() && state.m_bSectionOwner;
    if (bSectionToWrite || state.m_file.HasPending()) {
        CTraceLogState::LogLockGuard lock(state.m_pLock);
        if (lock.Held()) {  // else the pending batch waits for the next flush
            if (bSectionToWrite) {
                const std::string sText = state.m_section.Text();
                CPlatformFile file;
                if (file.Open(state.m_sLogPath, true) == PrivateAccess::READY) file.WriteAt(sText.data(), sText.size(), 0);
            }
            state.m_file.Flush(true);
            state.ReportIfFileRefused();
        }
    }
    if (bUnmap) state.m_section.Release();
}

CTraceLogConfig GetTraceLogConfig() {
    CTraceLogState& state = State();
    std::lock_guard<std::mutex> guard(state.m_mutex);
    return CTraceLogConfig{state.m_sLogPath,   state.m_sLinePrefix,   state.m_sSectionName,
                           state.m_nMaxSize,   state.m_nWrapOffset,   state.m_nMode,
                           state.m_bSectionOwner, state.m_pLock != nullptr, state.m_nDroppedLines};
}
