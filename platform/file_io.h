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

// Creates the folder (one level) with the private mode of private_files.h
// (where it is defined) when it is missing. REFUSED when what exists is not this account's own
// private folder (a link included), FAILED when it cannot be made.
PrivateAccess EnsurePrivateFolder(const std::string& sPath);

// A file of this account's own, created private (see private_files.h).
class CPlatformFile {
public:
    CPlatformFile() = default;
    ~CPlatformFile() { Close(); }
    CPlatformFile(const CPlatformFile&) = delete;
    CPlatformFile& operator=(const CPlatformFile&) = delete;

    // Opens or creates the file with the private mode of private_files.h;
    // REFUSED when what exists is not this account's own private file.
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
