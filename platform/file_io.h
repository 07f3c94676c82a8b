// A file opened for positioned reads and writes (trace log files).
#ifndef KX_PLATFORM_FILE_IO_H
#define KX_PLATFORM_FILE_IO_H

#include <cstddef>
#include <cstdint>
#include <string>

class CPlatformFile {
public:
    CPlatformFile() = default;
    ~CPlatformFile() { Close(); }
    CPlatformFile(const CPlatformFile&) = delete;
    CPlatformFile& operator=(const CPlatformFile&) = delete;

    // Opens or creates the file with the private mode of private_files.h.
    bool Open(const std::string& sPath, bool bTruncate);
    bool IsOpen() const { return m_fd >= 0; }
    // Bytes read (0 at the end or on failure).
    size_t ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const;
    // False when not everything could be written.
    bool WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const;
    bool Append(const char* pData, size_t cbData) const;
    void Sync() const;
    void Close();

private:
    int m_fd = -1;
};

#endif  // KX_PLATFORM_FILE_IO_H
