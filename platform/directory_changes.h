// Changes below a folder, delivered as the directory-change records of
// Windows (FILE_NOTIFY_INFORMATION): ReadDirectoryChangesW there, inotify
// with a watch per subfolder on Linux. A rename inside the tree is an
// old-name record followed by a new-name record (inotify's two events
// paired by their cookie); on Linux a folder created later is watched from
// then on and the files already in it are reported.
#ifndef KX_PLATFORM_DIRECTORY_CHANGES_H
#define KX_PLATFORM_DIRECTORY_CHANGES_H

#include <cstdint>
#include <memory>
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
    class CNative;
    std::unique_ptr<CNative> m_pNative;
};

#endif  // KX_PLATFORM_DIRECTORY_CHANGES_H
