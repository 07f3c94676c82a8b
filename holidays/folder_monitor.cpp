#include "holidays/folder_monitor.h"

#include <cstring>
#include <system_error>

#include "base/win_errors.h"
#include "diagnostics/trace.h"
#include "platform/signal_mask.h"
#include "platform/utf.h"
#include "settings/kx_general_settings.h"

namespace {

constexpr DWORD MAX_NAME_BYTES = 520;

struct CRecordHeader {
    DWORD dwNextEntryOffset;
    DWORD dwAction;
    DWORD cbFileName;
};

CRecordHeader HeaderAt(const BYTE* pRecord) {
    CRecordHeader header;
    std::memcpy(&header, pRecord, sizeof(header));
    return header;
}

DWORD AlignedRecordSize(DWORD cbName) { return (FILE_NOTIFY_HEADER_SIZE + cbName + 3) & ~3u; }

}  // namespace

CFolderMonitor::~CFolderMonitor() { Stop(); }

DWORD CFolderMonitor::StartThreadMonitor() {
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_dwStarts >= MAX_THREAD_STARTS) {
        Trace("CFolderMonitor::StartThreadMonitor Starting thread reached max start Count %d", static_cast<int>(m_dwStarts));
        return ERROR_SUCCESS;
    }
    if (m_bRunning) return ERROR_SUCCESS;       // its set-up has not finished yet
    if (m_thread.joinable()) m_thread.join();  // the earlier thread has ended
    DWORD dwResult = ERROR_SUCCESS;
    try {
        m_bStopRequested = false;
        m_bRunning = true;
        const CAllSignalsBlocked blocked;
        m_thread = std::thread(&CFolderMonitor::ThreadMonitor, this);
    } catch (const std::system_error& e) {
        m_bRunning = false;
        dwResult = ERROR_NOT_ENOUGH_MEMORY;
        TraceError(dwResult, "CFolderMonitor::StartThreadMonitor failed to start thread %d Count %d",
                   static_cast<int>(e.code().value()), static_cast<int>(m_dwStarts));
    }
    ++m_dwStarts;
    return dwResult;
}

void CFolderMonitor::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_threadLock);
        m_bStopRequested = true;  // before the stop: a watch opened after it sees the request
        m_changes.Stop();
        if (!m_thread.joinable()) return;
        m_thread.join();
    }
    // Outside the lock: the handler may take locks of its own that a start holds.
    if (m_spHandler != nullptr) m_spHandler->On_WatchStopped(ERROR_SUCCESS, m_sDirectory);
}

DWORD CFolderMonitor::SetUpWatch() {
    if (m_spHandler == nullptr) return static_cast<DWORD>(E_POINTER);
    DWORD dwResult = ERROR_SUCCESS;
    if (!m_sDirectory.empty()) {
        dwResult = m_changes.Open(m_sDirectory, m_bWatchSubtree);
        if (dwResult == ERROR_SUCCESS && m_bStopRequested) return ERROR_OPERATION_ABORTED;
        if (dwResult == ERROR_SUCCESS) m_state = STATE_WATCHING;
    }
    if (dwResult == ERROR_SUCCESS) m_spHandler->On_WatchStarted(ERROR_SUCCESS, m_sDirectory);
    return dwResult;
}

void CFolderMonitor::ThreadMonitor() {
    try {
        if (SetUpWatch() == ERROR_SUCCESS) Watch();
    } catch (const std::exception& e) {
        Trace("CFolderMonitor::ThreadMonitor failed with STD ERROR %s", e.what());
        CKXGeneralSettings::GetInstance()->EventLog().ReportEventf(
            EVENTLOG_ERROR_TYPE, "FolderMonitor thread got a std Exception with STD ERROR %s", e.what());
    } catch (...) {
        Trace("CFolderMonitor::ThreadMonitor with GENERAL EXCEPTION ");
        CKXGeneralSettings::GetInstance()->EventLog().ReportEventf(EVENTLOG_ERROR_TYPE,
                                                                   "FolderMonitor thread got a GENERAL EXCEPTION");
    }
    m_state = STATE_ENDED;
    m_bRunning = false;
}

void CFolderMonitor::Watch() {
    DWORD cbCarried = 0;
    for (;;) {
        DWORD cbRead = 0;
        const DWORD dwError = m_changes.Read(m_buffer + cbCarried, BUFFER_SIZE - cbCarried, cbRead);
        if (dwError == ERROR_OPERATION_ABORTED) return;
        if (dwError != ERROR_SUCCESS) {
            m_spHandler->On_ReadDirectoryChangesError(dwError, m_sDirectory);
            return;
        }
        cbCarried = DispatchRecords(m_buffer, cbCarried + cbRead);
    }
}

std::string CFolderMonitor::FullPath(const BYTE* pRecord, DWORD cbName) const {
    std::u16string sName(std::min(cbName, MAX_NAME_BYTES) / 2, u'\0');
    std::memcpy(sName.data(), pRecord + FILE_NOTIFY_HEADER_SIZE, sName.size() * 2);
    std::string sPath = m_sDirectory;
    if (sPath.empty() || sPath.back() != '/') sPath += '/';
    return sPath + Utf16ToUtf8(sName);
}

DWORD CFolderMonitor::DispatchRecords(BYTE* pBuffer, DWORD cbBuffer) {
    if (cbBuffer > BUFFER_SIZE) cbBuffer = BUFFER_SIZE;
    for (DWORD nOffset = 0; nOffset + FILE_NOTIFY_HEADER_SIZE <= cbBuffer;) {
        BYTE* pRecord = pBuffer + nOffset;
        CRecordHeader header = HeaderAt(pRecord);
        if (nOffset + FILE_NOTIFY_HEADER_SIZE + header.cbFileName > cbBuffer) break;
        switch (header.dwAction) {
            case FILE_ACTION_ADDED: m_spHandler->On_FileAdded(FullPath(pRecord, header.cbFileName)); break;
            case FILE_ACTION_REMOVED: m_spHandler->On_FileRemoved(FullPath(pRecord, header.cbFileName)); break;
            case FILE_ACTION_MODIFIED: m_spHandler->On_FileModified(FullPath(pRecord, header.cbFileName)); break;
            case FILE_ACTION_RENAMED_OLD_NAME: {
                if (header.dwNextEntryOffset == 0) {
                    // The new name comes with the next read: keep this record at the start.
                    const DWORD cbRecord = AlignedRecordSize(header.cbFileName);
                    std::memmove(pBuffer, pRecord, FILE_NOTIFY_HEADER_SIZE + header.cbFileName);
                    std::memcpy(pBuffer, &cbRecord, sizeof(cbRecord));
                    return cbRecord;
                }
                const DWORD nNew = nOffset + header.dwNextEntryOffset;
                if (nNew + FILE_NOTIFY_HEADER_SIZE > cbBuffer) return 0;
                const CRecordHeader newHeader = HeaderAt(pBuffer + nNew);
                if (nNew + FILE_NOTIFY_HEADER_SIZE + newHeader.cbFileName > cbBuffer) return 0;
                m_spHandler->On_FileNameChanged(FullPath(pRecord, header.cbFileName),
                                                FullPath(pBuffer + nNew, newHeader.cbFileName));
                nOffset = nNew;  // the new-name record is done
                header = newHeader;
                break;
            }
            default: break;
        }
        if (header.dwNextEntryOffset == 0 || nOffset + header.dwNextEntryOffset >= cbBuffer) break;
        nOffset += header.dwNextEntryOffset;
    }
    return 0;
}
