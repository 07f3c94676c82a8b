// Files opened for positioned reads and writes (trace log files), whole
// files read at once, and the folders that hold trace logs.
#ifndef KX_PLATFORM_FILE_IO_H
#define KX_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "kx/win_types.h"

// Reads a whole regular file of at most cbMax bytes, checking its type and
// size before reading and opening it without blocking (a FIFO or a device
// at the path is refused at once). 0, or the Win32 code: 2 missing, 5 not
// allowed, 13 not a regular file, 223 larger than cbMax, 30 unreadable.
DWORD ReadRegularFile(const std::string& sPath, size_t cbMax, std::string& sText);

enum class PrivateAccess { READY, REFUSED, FAILED };

// Creates the folder (one level) with the private mode when it is missing. REFUSED when what exists is not this account's own
// private folder (a link included), FAILED when it cannot be made.
PrivateAccess EnsurePrivateFolder(const std::string& sPath);

// A file of this account's own. Trace logs carry user names and session
// cookies, so files and folders are made private: readable and writable by
// this account only (POSIX: mode 0600, or 0660 for the group QV_LOG_GROUP
// names; Windows: the owner and SYSTEM). Whatever already exists under the
// name is used only when it is this account's own and no wider.
class CPlatformFile {
public:
    CPlatformFile() = default;
    ~CPlatformFile() { Close(); }
    CPlatformFile(const CPlatformFile&) = delete;
    CPlatformFile& operator=(const CPlatformFile&) = delete;

    // Opens or creates the file, private; REFUSED when what exists is not
    // this account's own private file.
    PrivateAccess Open(const std::string& sPath, bool bTruncate);
    bool IsOpen() const { return m_handle != -1; }
    // Bytes read from qwOffset on (fewer at the end; 0 on failure).
    size_t ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const;
    // Bytes written at qwOffset; fewer than cbData when a write failed (a full disk).
    size_t WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const;
    bool Append(const char* pData, size_t cbData) const;
    void Sync() const;
    void Close();

private:
    intptr_t m_handle = -1;  // the descriptor, or the Windows file handle
};

#endif  // KX_PLATFORM_FILE_IO_H
