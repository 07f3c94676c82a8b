// Starting the trace log from the settings, and the sinks that write it.
#ifndef KX_DIAGNOSTICS_TRACE_LOG_H
#define KX_DIAGNOSTICS_TRACE_LOG_H

#include <cstddef>
#include <string>

// Setting ids the trace log reads.
constexpr int SETTING_LOG_MODE = 12;           // 1 shared section, 2 file
constexpr int SETTING_LOG_SIZE_KB = 13;        // maximum log size in KB
constexpr int SETTING_TRACE_SWITCH = 14;       // 1 or 10 switch tracing on
constexpr int SETTING_PRODUCT_LOG_NAME = 23;   // product log file name
constexpr int SETTING_LOG_FOLDER = 39;         // folder that holds "QuorvaneLogs"
constexpr int SETTING_LIBRARY_LOG = 75;        // non-zero: a log of this library's own

// What the trace log needs to know from the settings object.
class ITraceSettings {
public:
    virtual bool GetSettingFromID(int nId, int& nValue, int nCriteria) = 0;
    virtual bool GetSettingFromID(int nId, std::string& sValue, int nCriteria) = 0;
    // "Common Files/" beside the product folder, with its trailing '/'.
    virtual std::string CommonFilesFolder() const = 0;
    // The name of the folder that holds the worker library.
    virtual std::string LibraryFolderName() const = 0;

protected:
    ~ITraceSettings() = default;
};

// The sink in place until InitTrace picks another: appends each line to the
// log path (level bit 2) and shows it (bit 1).
void BasicTraceSink(const char* pszMessage, size_t cbMessage);

// Reads the logging settings, picks the sink, the log path and the lock.
// Tracing is off while it runs; lines of other threads are dropped then.
void InitTrace(ITraceSettings& settings, const char* pszLibraryFileName, int nCriteria);

// Writes what is pending: the shared section over the log file when this
// process owns it, else the write-behind batch. bUnmap releases the section.
void FlushTrace(bool bUnmap);

// The current configuration, for diagnostics and tests.
struct CTraceLogConfig {
    std::string sLogPath;
    std::string sLinePrefix;
    std::string sSectionName;  // the shared-memory name the shared-section sink uses
    int nMaxSize = 0;
    int nWrapOffset = 0;
    int nMode = 0;            // 1 shared section, 2 file, 0 basic
    bool bSectionOwner = false;
    bool bHasLock = false;
    long nDroppedLines = 0;  // lines not written because the log lock was not had in time
};
CTraceLogConfig GetTraceLogConfig();

#endif  // KX_DIAGNOSTICS_TRACE_LOG_H
