// Positioned reads and writes on a descriptor, and a file opened for them
// (trace log files).
#ifndef KX_PLATFORM_FILE_IO_H
#define KX_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "kx/win_types.h"

// Bytes read from qwOffset on (fewer at the end; 0 on failure).
size_t ReadAt(int fd, char* pBuffer, size_t cbBuffer, uint64_t qwOffset);
// Bytes written at qwOffset; fewer than cbData when a write failed (a full disk).
size_t WriteAt(int fd, const char* pData, size_t cbData, uint64_t qwOffset);

// Reads a whole regular file of at most cbMax bytes, checking its type and
// size before reading and opening it without blocking (a FIFO or a device
// at the path is refused at once). 0, or the Win32 code: 2 missing, 5 not
// allowed, 13 not a regular file, 223 larger than cbMax, 30 unreadable.
DWORD ReadRegularFile(const std::string& sPath, size_t cbMax, std::string& sText);

class CPlatformFile {
public:
    CPlatformFile() = default;
    ~CPlatformFile() { Close(); }
    CPlatformFile(const CPlatformFile&) = delete;
    CPlatformFile& operator=(const CPlatformFile&) = delete;

    // Opens or creates the file with the private mode of private_files.h.
    bool Open(const std::string& sPath, bool bTruncate);
    bool IsOpen() const { return m_fd >= 0; }
    size_t ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
        return ::ReadAt(m_fd, pBuffer, cbBuffer, qwOffset);
    }
    size_t WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
        return ::WriteAt(m_fd, pData, cbData, qwOffset);
    }
    bool Append(const char* pData, size_t cbData) const;
    void Sync() const;
    void Close();

private:
    int m_fd = -1;
};

#endif  // KX_PLATFORM_FILE_IO_H
