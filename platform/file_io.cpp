#include "platform/file_io.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/private_files.h"

bool CPlatformFile::Open(const std::string& sPath, bool bTruncate) {
    Close();
    m_fd = OpenPrivateFile(sPath, bTruncate);
    return m_fd >= 0;
}

size_t CPlatformFile::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    const ssize_t nRead = m_fd < 0 ? -1 : pread(m_fd, pBuffer, cbBuffer, static_cast<off_t>(qwOffset));
    return nRead > 0 ? static_cast<size_t>(nRead) : 0;
}

bool CPlatformFile::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    while (cbData > 0) {
        const ssize_t nWritten = m_fd < 0 ? -1 : pwrite(m_fd, pData, cbData, static_cast<off_t>(qwOffset));
        if (nWritten <= 0) return false;
        pData += nWritten;
        cbData -= static_cast<size_t>(nWritten);
        qwOffset += static_cast<uint64_t>(nWritten);
    }
    return true;
}

bool CPlatformFile::Append(const char* pData, size_t cbData) const {
    const off_t nEnd = m_fd < 0 ? -1 : lseek(m_fd, 0, SEEK_END);
    return nEnd >= 0 && WriteAt(pData, cbData, static_cast<uint64_t>(nEnd));
}

void CPlatformFile::Sync() const {
    if (m_fd >= 0) fdatasync(m_fd);
}

void CPlatformFile::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}
