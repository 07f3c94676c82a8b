#include "platform/directory_changes.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <deque>
#include <map>
#include <utility>
#include <vector>

#include "base/win_errors.h"
#include "platform/notify_records.h"
#include "platform/utf.h"

namespace {

constexpr uint32_t WATCH_MASK = IN_CREATE | IN_DELETE | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
                                IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
// A rename's second event that a read split off follows at once.
constexpr int PARTNER_WAIT_MS = 20;

DWORD Win32FromErrno(int nError) {
    switch (nError) {
        case ENOENT:
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM: return ERROR_ACCESS_DENIED;
        case ENOMEM:
        case ENOSPC:
        case EMFILE:
        case ENFILE: return ERROR_NOT_ENOUGH_MEMORY;
        default: return ERROR_INVALID_PARAMETER;
    }
}

const inotify_event* EventAt(const char* pEvents, size_t nOffset) {
    return reinterpret_cast<const inotify_event*>(pEvents + nOffset);
}

size_t EventSize(const inotify_event* pEvent) { return sizeof(inotify_event) + pEvent->len; }

}  // namespace

// The inotify watch and the changes read but not yet handed out.
class CDirectoryChanges::CNative {
public:
    CNative();
    ~CNative();
    DWORD Open(const std::string& sDirectory, bool bSubtree);
    DWORD Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned);
    void Stop();

private:
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
    std::deque<CNotifyChange> m_pending;
    size_t m_cbEvents = 0;
    alignas(8) char m_events[65536];
};

CDirectoryChanges::CNative::CNative() : m_stop(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

CDirectoryChanges::CNative::~CNative() {
    Close();
    if (m_stop >= 0) close(m_stop);
}

void CDirectoryChanges::CNative::Close() {
    if (m_inotify >= 0) close(m_inotify);
    m_inotify = -1;
    m_watches.clear();
    m_pending.clear();
    m_cbEvents = 0;
    m_bGone = false;
}

DWORD CDirectoryChanges::CNative::Open(const std::string& sDirectory, bool bSubtree) {
    Close();
    if (m_stop < 0) return ERROR_NOT_ENOUGH_MEMORY;
    uint64_t nSignalled = 0;  // a stop of the earlier watch
    if (read(m_stop, &nSignalled, sizeof(nSignalled)) < 0 && errno != EAGAIN) return Win32FromErrno(errno);
    m_bStopped = false;
    m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_inotify < 0) return Win32FromErrno(errno);
    m_sRoot = sDirectory.empty() || sDirectory.back() == '/' ? sDirectory : sDirectory + "/";
    m_bSubtree = bSubtree;
    const int wd = inotify_add_watch(m_inotify, m_sRoot.c_str(), WATCH_MASK);
    if (wd < 0) {
        const DWORD dwError = Win32FromErrno(errno);
        Close();
        return dwError;
    }
    m_watches[wd] = "";
    if (m_bSubtree) WatchTree("", false);  // the subfolders already there; their files are no change
    return ERROR_SUCCESS;
}

void CDirectoryChanges::CNative::WatchTree(const std::string& sRelative, bool bReport) {
    std::vector<std::string> folders{sRelative};
    while (!folders.empty()) {
        const std::string sFolder = std::move(folders.back());
        folders.pop_back();
        const int wd = inotify_add_watch(m_inotify, (m_sRoot + sFolder).c_str(), WATCH_MASK);
        if (wd < 0) continue;
        m_watches[wd] = sFolder;
        DIR* pDir = opendir((m_sRoot + sFolder).c_str());
        if (pDir == nullptr) continue;
        while (const dirent* pEntry = readdir(pDir)) {
            const std::string sName = pEntry->d_name;
            if (sName == "." || sName == "..") continue;
            if (pEntry->d_type == DT_DIR) {
                if (m_bSubtree) folders.push_back(sFolder + sName + "/");
            } else if (bReport && pEntry->d_type == DT_REG) {
                Queue(FILE_ACTION_ADDED, sFolder + sName);
            }
        }
        closedir(pDir);
    }
}

void CDirectoryChanges::CNative::Queue(DWORD dwAction, const std::string& sRelative) {
    m_pending.push_back(CNotifyChange{dwAction, Utf8ToUtf16(sRelative)});
}

DWORD CDirectoryChanges::CNative::ReadEvents(int nWaitMs) {
    pollfd fds[2] = {{m_stop, POLLIN, 0}, {m_inotify, POLLIN, 0}};
    for (;;) {
        if (m_bStopped) return ERROR_OPERATION_ABORTED;
        const int nReady = poll(fds, 2, nWaitMs);
        if (nReady < 0 && errno == EINTR) continue;
        if (nReady < 0) return Win32FromErrno(errno);
        if (m_bStopped || (fds[0].revents & POLLIN) != 0) return ERROR_OPERATION_ABORTED;
        if (nReady == 0) return ERROR_SUCCESS;
        const ssize_t cbRead = read(m_inotify, m_events + m_cbEvents, sizeof(m_events) / 2);
        if (cbRead < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (cbRead < 0) return Win32FromErrno(errno);
        m_cbEvents += static_cast<size_t>(cbRead);
        return ERROR_SUCCESS;
    }
}

bool CDirectoryChanges::CNative::EndsWithMoveFrom() const {
    size_t nOffset = 0;
    const inotify_event* pLast = nullptr;
    while (nOffset + sizeof(inotify_event) <= m_cbEvents) {
        pLast = EventAt(m_events, nOffset);
        nOffset += EventSize(pLast);
    }
    return pLast != nullptr && (pLast->mask & IN_MOVED_FROM) != 0;
}

bool CDirectoryChanges::CNative::Translate(const char* pEvents, size_t cbEvents) {
    for (size_t nOffset = 0; nOffset + sizeof(inotify_event) <= cbEvents;) {
        const inotify_event* pEvent = EventAt(pEvents, nOffset);
        nOffset += EventSize(pEvent);
        if ((pEvent->mask & IN_Q_OVERFLOW) != 0) {
            // Changes were lost: every file counts as changed.
            const std::map<int, std::string> watches = m_watches;
            for (const auto& [wd, sFolder] : watches) {
                inotify_rm_watch(m_inotify, wd);
                m_watches.erase(wd);
            }
            WatchTree("", true);
            for (CNotifyChange& change : m_pending)
                if (change.dwAction == FILE_ACTION_ADDED) change.dwAction = FILE_ACTION_MODIFIED;
            continue;
        }
        const auto itWatch = m_watches.find(pEvent->wd);
        if (itWatch == m_watches.end()) continue;
        const std::string sFolder = itWatch->second;
        if ((pEvent->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
            if (sFolder.empty()) m_bGone = true;
            if ((pEvent->mask & IN_IGNORED) != 0) m_watches.erase(itWatch);
            continue;
        }
        if (pEvent->len == 0) continue;
        const std::string sName = sFolder + pEvent->name;
        const bool bFolder = (pEvent->mask & IN_ISDIR) != 0;
        if ((pEvent->mask & IN_CREATE) != 0) {
            Queue(FILE_ACTION_ADDED, sName);
            if (bFolder && m_bSubtree) WatchTree(sName + "/", true);
        } else if ((pEvent->mask & IN_DELETE) != 0) {
            Queue(FILE_ACTION_REMOVED, sName);
        } else if ((pEvent->mask & (IN_CLOSE_WRITE | IN_ATTRIB)) != 0) {
            if (!bFolder) Queue(FILE_ACTION_MODIFIED, sName);
        } else if ((pEvent->mask & IN_MOVED_FROM) != 0) {
            const inotify_event* pNext =
                nOffset + sizeof(inotify_event) <= cbEvents ? EventAt(pEvents, nOffset) : nullptr;
            const bool bPaired = pNext != nullptr && (pNext->mask & IN_MOVED_TO) != 0 &&
                                 pNext->cookie == pEvent->cookie && m_watches.count(pNext->wd) != 0;
            if (!bPaired) {
                Queue(FILE_ACTION_REMOVED, sName);  // moved out of the tree
                continue;
            }
            nOffset += EventSize(pNext);
            const std::string sNewName = m_watches[pNext->wd] + pNext->name;
            Queue(FILE_ACTION_RENAMED_OLD_NAME, sName);
            Queue(FILE_ACTION_RENAMED_NEW_NAME, sNewName);
            if (!bFolder || !m_bSubtree) continue;
            // The folder's watches move with it; a folder renamed before its
            // watch was added gets one now, with its files.
            bool bWatched = false;
            for (auto& [wd, sWatched] : m_watches)
                if (sWatched.compare(0, sName.size() + 1, sName + "/") == 0) {
                    sWatched = sNewName + sWatched.substr(sName.size());
                    bWatched = true;
                }
            if (!bWatched) WatchTree(sNewName + "/", true);
        } else if ((pEvent->mask & IN_MOVED_TO) != 0) {
            Queue(FILE_ACTION_ADDED, sName);  // moved in from outside
            if (bFolder && m_bSubtree) WatchTree(sName + "/", true);
        }
    }
    return !m_bGone;
}

DWORD CDirectoryChanges::CNative::Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned) {
    cbReturned = 0;
    if (m_inotify < 0) return ERROR_INVALID_HANDLE;
    while (m_pending.empty()) {
        if (m_bStopped) return ERROR_OPERATION_ABORTED;
        if (m_bGone) return ERROR_ACCESS_DENIED;
        m_cbEvents = 0;
        if (const DWORD dwError = ReadEvents(-1); dwError != ERROR_SUCCESS) return dwError;
        if (EndsWithMoveFrom())
            if (const DWORD dwError = ReadEvents(PARTNER_WAIT_MS); dwError != ERROR_SUCCESS) return dwError;
        Translate(m_events, m_cbEvents);
    }
    if (m_bStopped) return ERROR_OPERATION_ABORTED;
    cbReturned = WriteNotifyRecords(m_pending, pBuffer, cbBuffer);
    return ERROR_SUCCESS;
}

void CDirectoryChanges::CNative::Stop() {
    m_bStopped = true;
    const uint64_t nOne = 1;
    if (m_stop >= 0) {
        const ssize_t cbWritten = write(m_stop, &nOne, sizeof(nOne));
        static_cast<void>(cbWritten);  // a full counter is signalled already
    }
}

CDirectoryChanges::CDirectoryChanges() : m_pNative(std::make_unique<CNative>()) {}
CDirectoryChanges::~CDirectoryChanges() = default;

DWORD CDirectoryChanges::Open(const std::string& sDirectory, bool bSubtree) {
    return m_pNative->Open(sDirectory, bSubtree);
}

DWORD CDirectoryChanges::Read(BYTE* pBuffer, DWORD cbBuffer, DWORD& cbReturned) {
    return m_pNative->Read(pBuffer, cbBuffer, cbReturned);
}

void CDirectoryChanges::Stop() { m_pNative->Stop(); }
