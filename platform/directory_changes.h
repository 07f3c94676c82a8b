// Changes below a folder, delivered as the directory-change records of
// Windows (FILE_NOTIFY_INFORMATION): inotify with a watch per subfolder.
// A rename inside the tree is an old-name record followed by a new-name
// record (inotify's two events paired by their cookie); a folder created
// later is watched from then on and the files already in it are reported.
#ifndef KX_PLATFORM_DIRECTORY_CHANGES_H
#define KX_PLATFORM_DIRECTORY_CHANGES_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <string>

#include "base/win_errors.h"

// One record: three DWORDs (the offset of the next record, 0 on the last;
// the action; the name's length in bytes), then the UTF-16 name relative to
// the watched folder ("/" between folders). Records start on four-byte
// boundaries.
constexpr DWORD FILE_NOTIFY_HEADER_SIZE = 12;

class CDirectoryChanges {
public:
    CDirectoryChanges();
    ~CDirectoryChanges();
    CDirectoryChanges(const CDirectoryChanges&) = delete;
    CDirectoryChanges& operator=(const CDirectoryChanges&) = delete;

    // Starts watching the folder (and its subfolders with bSubtree), after
    // closing any earlier watch and forgetting an earlier Stop; 0, 3 when the folder does not exist, or the
    // system error.
    DWORD Open(const std::string& sDirectory, bool bSubtree);
    // Waits for changes and writes as many records as fit into pBuffer;
    // the rest wait for the next call. 0 with the bytes written; 995 once
    // Stop was called; 5 when the watched folder itself went away.
    DWORD Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned);
    // Ends a waiting Read and every later one until the next Open. Safe from
    // any thread.
    void Stop();

private:
    struct CChange {
        DWORD dwAction;
        std::u16string sName;
    };
    void Close();
    // Watches the folder at sRelative ("" for the root) and, with the
    // subtree, its subfolders; bReport adds a change for each file found.
    void WatchTree(const std::string& sRelative, bool bReport);
    void Queue(DWORD dwAction, const std::string& sRelative);
    // inotify events into changes; false when the watched folder went away.
    bool Translate(const char* pEvents, size_t cbEvents);
    // Appends inotify events to m_events; waits up to nWaitMs (-1: no
    // limit) for them. 0 (nothing added when the wait ran out), 995 on
    // stop, or the error.
    DWORD ReadEvents(int nWaitMs);
    // Whether the last event read is a move out of its folder, whose
    // partner may follow in the next read.
    bool EndsWithMoveFrom() const;

    int m_inotify = -1;
    int m_stop = -1;
    std::atomic<bool> m_bStopped{false};
    bool m_bSubtree = true;
    bool m_bGone = false;
    std::string m_sRoot;
    std::map<int, std::string> m_watches;  // descriptor -> folder relative to the root, "" or ending in "/"
    std::deque<CChange> m_pending;
    size_t m_cbEvents = 0;
    alignas(8) char m_events[65536];
};

#endif  // KX_PLATFORM_DIRECTORY_CHANGES_H
