#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/win_errors.h"
#include "platform/posix/private_files.h"

DWORD ReadRegularFile(const std::string& sPath, size_t cbMax, std::string& sText) {
    sText.clear();
    const int fd = open(sPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
    struct stat st{};
    DWORD dwResult = 0;
    if (fstat(fd, &st) != 0)
        dwResult = ERROR_READ_FAULT;
    else if (!S_ISREG(st.st_mode))
        dwResult = ERROR_INVALID_DATA;
    else if (static_cast<uint64_t>(st.st_size) > cbMax)
        dwResult = ERROR_FILE_TOO_LARGE;
    if (dwResult == 0) {
        // The file may grow while it is read: never more than cbMax.
        sText.resize(static_cast<size_t>(st.st_size));
        sText.resize(ReadAt(fd, sText.data(), sText.size(), 0));
    }
    close(fd);
    return dwResult;
}

PrivateAccess CPlatformFile::Open(const std::string& sPath, bool bTruncate) {
    Close();
    m_handle = OpenPrivateFile(sPath, bTruncate);
    if (IsOpen()) return PrivateAccess::READY;
    return errno == EPERM ? PrivateAccess::REFUSED : PrivateAccess::FAILED;
}

size_t CPlatformFile::ReadAt(char* pBuffer, size_t cbBuffer, uint64_t qwOffset) const {
    return ::ReadAt(static_cast<int>(m_handle), pBuffer, cbBuffer, qwOffset);
}

size_t CPlatformFile::WriteAt(const char* pData, size_t cbData, uint64_t qwOffset) const {
    return ::WriteAt(static_cast<int>(m_handle), pData, cbData, qwOffset);
}

bool CPlatformFile::Append(const char* pData, size_t cbData) const {
    const off_t nEnd = IsOpen() ? lseek(static_cast<int>(m_handle), 0, SEEK_END) : -1;
    return nEnd >= 0 && WriteAt(pData, cbData, static_cast<uint64_t>(nEnd)) == cbData;
}

void CPlatformFile::Sync() const {
    if (IsOpen()) fdatasync(static_cast<int>(m_handle));
}

void CPlatformFile::Close() {
    if (IsOpen()) close(static_cast<int>(m_handle));
    m_handle = -1;
}
