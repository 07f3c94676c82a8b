// Watches one folder tree on a thread of its own and reports each change
// to a handler. Started again after its thread ended, at most 100 times
// in its life; Stop ends the thread (the stand-in for posting a zero
// completion key) and reports On_WatchStopped.
#ifndef KX_HOLIDAYS_FOLDER_MONITOR_H
#define KX_HOLIDAYS_FOLDER_MONITOR_H

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "holidays/directory_change_handler.h"
#include "kx/win_types.h"
#include "platform/directory_changes.h"

class CFolderMonitor {
public:
    enum : DWORD { STATE_WATCHING = 0, STATE_ENDED = 1, STATE_NEVER_STARTED = 2 };
    static constexpr DWORD BUFFER_SIZE = 4048;
    static constexpr DWORD MAX_THREAD_STARTS = 100;

    CFolderMonitor() = default;
    ~CFolderMonitor();
    CFolderMonitor(const CFolderMonitor&) = delete;
    CFolderMonitor& operator=(const CFolderMonitor&) = delete;

    void SetDirectory(const std::string& sDirectory) { m_sDirectory = sDirectory; }
    const std::string& Directory() const { return m_sDirectory; }
    void SetHandler(std::shared_ptr<CDirectoryChangeHandler> spHandler) { m_spHandler = std::move(spHandler); }
    bool HasHandler() const { return m_spHandler != nullptr; }
    DWORD State() const { return m_state; }
    // Whether a monitoring thread runs (its set-up included).
    bool IsRunning() const { return m_bRunning; }
    void SetState(DWORD dwState) { m_state = dwState; }

    // Starts the monitoring thread unless one runs; 0 or the system error.
    DWORD StartThreadMonitor();
    // Ends the thread and waits for it.
    void Stop();

    // Reports the records of a buffer to the handler; returns the bytes of
    // an old-name record at the end that waits for its new name (moved to
    // the buffer's start), else 0.
    DWORD DispatchRecords(BYTE* pBuffer, DWORD cbBuffer);

private:
    DWORD SetUpWatch();
    void ThreadMonitor();
    void Watch();
    // The watched folder, "/" and the record's name (at most 520 bytes of it).
    std::string FullPath(const BYTE* pRecord, DWORD cbName) const;

    std::thread m_thread;
    std::mutex m_threadLock;
    CDirectoryChanges m_changes;
    bool m_bWatchSubtree = true;
    std::string m_sDirectory;
    alignas(4) BYTE m_buffer[BUFFER_SIZE] = {};
    std::atomic<DWORD> m_state{STATE_NEVER_STARTED};
    std::atomic<bool> m_bRunning{false};
    std::atomic<bool> m_bStopRequested{false};
    std::shared_ptr<CDirectoryChangeHandler> m_spHandler;
    DWORD m_dwStarts = 0;
};

#endif  // KX_HOLIDAYS_FOLDER_MONITOR_H
